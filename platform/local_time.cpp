#include "platform/local_time.h"

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

}  // namespace dunmere
