#pragma once
// Calendar conversions. Every date the program shows is local time with the full rules of the
// user's time zone (daylight saving included), in the one format "YYYY-MM-DD hh:mm:ss".
#include <cstdint>
#include <string>

namespace dunmere {

// Seconds since 1970-01-01 00:00:00 UTC of a UTC calendar time. Out-of-range months, days and
// times roll over into the next unit, as a calendar normaliser does.
std::int64_t UnixSecondsFromUtc(std::int64_t year, std::int64_t month, std::int64_t day, std::int64_t hour,
                                std::int64_t minute, std::int64_t second);

// "%Y-%m-%d %H:%M:%S" of the instant in local time; false when the system cannot represent it.
bool FormatLocalTime(std::int64_t unixSeconds, std::string& out);

// "2020-01-01 10:00:00" (local time) as "2020-01-01T10:00:00+01:00", with the offset the local time
// zone had then; a text that is no such date as it stands.
std::string IsoDate(const std::string& localDate);

}  // namespace dunmere
