#include "platform/local_time.h"

#include <cstdio>
#include <ctime>

namespace dunmere {
namespace {

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

// Days since 1970-01-01 of a proleptic Gregorian date (month 1..12).
std::int64_t DaysFromCivil(std::int64_t y, std::int64_t m, std::int64_t d) {
  y -= m <= 2 ? 1 : 0;
  const std::int64_t era = FloorDiv(y, 400);
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

}  // namespace

std::int64_t UnixSecondsFromUtc(std::int64_t year, std::int64_t month, std::int64_t day, std::int64_t hour,
                                std::int64_t minute, std::int64_t second) {
  // Bring the month into 1..12 first; days and times roll over by plain arithmetic below.
  const std::int64_t monthIndex = month - 1;
  year += FloorDiv(monthIndex, 12);
  month = monthIndex - FloorDiv(monthIndex, 12) * 12 + 1;
  const std::int64_t days = DaysFromCivil(year, month, 1) + (day - 1);
  return days * 86400 + hour * 3600 + minute * 60 + second;
}

bool FormatLocalTime(std::int64_t unixSeconds, std::string& out) {
  const std::time_t t = static_cast<std::time_t>(unixSeconds);
  std::tm local{};
  if (::localtime_r(&t, &local) == nullptr) return false;
  char buf[64];
  const std::size_t n = std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &local);
  if (n == 0) return false;
  out.assign(buf, n);
  return true;
}

std::string IsoDate(const std::string& localDate) {
  std::tm t{};
  char end = 0;
  if (localDate.size() != 19 ||
      std::sscanf(localDate.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &t.tm_year, &t.tm_mon, &t.tm_mday, &t.tm_hour,
                  &t.tm_min, &t.tm_sec, &end) != 6) {
    return localDate;
  }
  t.tm_year -= 1900;
  t.tm_mon -= 1;
  t.tm_isdst = -1;  // the zone's own rule for that day
  if (std::mktime(&t) == static_cast<std::time_t>(-1)) return localDate;
  const long offset = t.tm_gmtoff;
  const long minutes = (offset < 0 ? -offset : offset) / 60;
  char zone[40];
  std::snprintf(zone, sizeof zone, "%c%02ld:%02ld", offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
  return localDate.substr(0, 10) + "T" + localDate.substr(11) + zone;
}

}  // namespace dunmere
