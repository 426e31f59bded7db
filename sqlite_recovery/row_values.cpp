#include "sqlite_recovery/row_values.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "platform/utf8.h"
#include "sqlite_recovery/varint.h"

namespace dunmere {

namespace {

constexpr std::int64_t kAppleEpochOffset = 978307200;

bool IsWellFormedUtf8(std::string_view text) { return SanitizeUtf8(text) == text; }

// Integers a date can be stored as: 1 to 4 and 8 bytes, and the constants 0 and 1 (types 8 and 9),
// which is how the file format stores those two values. The 6-byte form is skipped.
bool IsDateInteger(const ColumnValue& v) {
  return (v.serialType >= 1 && v.serialType <= 4) || v.serialType == 6 || v.serialType == 8 || v.serialType == 9;
}

}  // namespace

const ColumnValue* DecodedRow::At(std::uint32_t position) const {
  if (columns.empty() || position < columns.front().column) return nullptr;
  const std::uint32_t index = position - columns.front().column;
  return index < columns.size() ? &columns[index] : nullptr;
}

bool IsCleanText(std::string_view text) {
  if (text.find('\0') != std::string_view::npos) return false;
  if (text.find("\xEF\xBF\xBD") != std::string_view::npos) return false;
  return IsWellFormedUtf8(text);
}

Status TextAt(const DecodedRow& row, std::uint32_t position, bool clean, std::string& out) {
  out.clear();
  const ColumnValue* v = row.At(position);
  if (v == nullptr || !v->IsText()) return kOk;
  if (clean && !IsCleanText(v->AsText())) return kInvalidParameter;
  out = SanitizeUtf8(v->AsText());
  return kOk;
}

Status TextOrBlobAt(const DecodedRow& row, std::uint32_t position, bool clean, std::string& out) {
  out.clear();
  const ColumnValue* v = row.At(position);
  if (v == nullptr || (!v->IsText() && !v->IsBlob())) return kOk;
  if (clean && !IsCleanText(v->AsText())) return kInvalidParameter;
  out = SanitizeUtf8(v->AsText());
  return kOk;
}

std::int64_t IntegerAt(const DecodedRow& row, std::uint32_t position) {
  const ColumnValue* v = row.At(position);
  return (v != nullptr && v->IsInteger()) ? v->AsInteger() : 0;
}

std::int64_t SerialTypeAt(const DecodedRow& row, std::uint32_t position) {
  const ColumnValue* v = row.At(position);
  return v == nullptr ? -1 : static_cast<std::int64_t>(v->serialType);
}

std::string UnixDateText(std::int64_t unixSeconds) {
  const std::time_t t = static_cast<std::time_t>(unixSeconds);
  std::tm local{};
  if (::localtime_r(&t, &local) == nullptr) return std::string();
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return buf;
}

std::string AppleSecondsDateText(std::int64_t appleSeconds) {
  if (appleSeconds > INT64_MAX - kAppleEpochOffset) return std::string();
  return UnixDateText(appleSeconds + kAppleEpochOffset);
}

std::string AppleSecondsAt(const DecodedRow& row, std::uint32_t position) {
  const ColumnValue* v = row.At(position);
  if (v == nullptr) return std::string();
  if (v->IsReal()) {
    const double seconds = std::trunc(v->AsReal());
    if (!std::isfinite(seconds) || std::fabs(seconds) > 1e15) return std::string();
    return AppleSecondsDateText(static_cast<std::int64_t>(seconds));
  }
  if (IsDateInteger(*v)) return AppleSecondsDateText(v->AsInteger());
  return std::string();
}

std::string UnixSecondsAt(const DecodedRow& row, std::uint32_t position) {
  const ColumnValue* v = row.At(position);
  if (v == nullptr || !IsDateInteger(*v)) return std::string();
  return UnixDateText(v->AsInteger());
}

std::string MessageDateAt(const DecodedRow& row, std::uint32_t position) {
  const ColumnValue* v = row.At(position);
  if (v == nullptr) return std::string();
  if ((v->serialType >= 1 && v->serialType <= 4) || v->serialType == 8 || v->serialType == 9) {
    return AppleSecondsDateText(v->AsInteger());
  }
  if (v->serialType == 6 || v->serialType == 7) {
    const auto nanoseconds = static_cast<std::int64_t>(ReadBeUnsigned(v->data, 8));
    return AppleSecondsDateText(nanoseconds / 1000000000);
  }
  return std::string();
}

}  // namespace dunmere
