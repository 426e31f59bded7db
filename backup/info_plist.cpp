#include "backup/info_plist.h"

#include <plist/plist.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/file_util.h"
#include "platform/local_time.h"
#include "platform/plist_limits.h"
#include "platform/utf8.h"

namespace dunmere {
namespace {

constexpr std::size_t kMaxLineBytes = 2048;
// Binary Info.plist files hold a few megabytes at most (app icons and metadata); anything larger is
// not one, and is not read whole into memory.
constexpr std::size_t kMaxBinaryPlistBytes = 256u << 20;
constexpr std::int64_t kAppleEpochOffset = 978307200;  // 2001-01-01 minus 1970-01-01, in seconds

enum class InfoKey { kNone, kDisplayName, kLastBackupDate, kPhoneNumber, kProductVersion, kSerialNumber };

// The keys in the order a line is tested for them; the first found wins.
InfoKey KeyInLine(std::string_view line) {
  if (line.find("<key>Display Name</key>") != std::string_view::npos) return InfoKey::kDisplayName;
  if (line.find("<key>Last Backup Date</key>") != std::string_view::npos) return InfoKey::kLastBackupDate;
  if (line.find("<key>Phone Number</key>") != std::string_view::npos) return InfoKey::kPhoneNumber;
  if (line.find("<key>Product Version</key>") != std::string_view::npos) return InfoKey::kProductVersion;
  if (line.find("<key>Serial Number</key>") != std::string_view::npos) return InfoKey::kSerialNumber;
  return InfoKey::kNone;
}

// The value line is cut at the first closing tag; the value is what follows the first opening tag.
// A line without the opening tag gives an empty value.
std::string TagValue(std::string_view line, std::string_view open, std::string_view close) {
  const std::size_t end = line.find(close);
  if (end != std::string_view::npos) line = line.substr(0, end);
  const std::size_t start = line.find(open);
  if (start == std::string_view::npos) return std::string();
  return std::string(line.substr(start + open.size()));
}

void AppendUtf8(std::uint32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// The character behind one XML reference ("amp", "#233", "#xE9"), or false when it is none.
bool ResolveReference(std::string_view name, std::string& out) {
  static constexpr std::pair<std::string_view, char> kNamed[] = {
      {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
  for (const auto& [entity, ch] : kNamed) {
    if (name == entity) {
      out += ch;
      return true;
    }
  }
  if (name.size() < 2 || name[0] != '#') return false;
  const bool hex = name[1] == 'x' || name[1] == 'X';
  const std::string_view digits = name.substr(hex ? 2 : 1);
  if (digits.empty() || digits.size() > 8) return false;
  std::uint32_t cp = 0;
  for (const char c : digits) {
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    cp = cp * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
  }
  if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
  AppendUtf8(cp, out);
  return true;
}

// A name as shown: XML character references resolved ("Tom &amp; Jerry" is "Tom & Jerry"),
// ill-formed UTF-8 shown as U+FFFD. Text that is no reference stays as it is.
std::string DisplayText(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  std::size_t i = 0;
  while (i < value.size()) {
    const std::size_t semicolon = value[i] == '&' ? value.find(';', i + 1) : std::string_view::npos;
    if (semicolon != std::string_view::npos && semicolon - i <= 10 &&
        ResolveReference(value.substr(i + 1, semicolon - i - 1), out)) {
      i = semicolon + 1;
      continue;
    }
    out += value[i++];
  }
  return SanitizeUtf8(out);
}

Status ReadXmlInfoPlist(const std::filesystem::path& file, BackupSummary& summary) {
  LineReader reader(file, kMaxLineBytes);
  if (!reader.IsOpen()) return StatusFromErrno(errno);
  std::string line;
  std::string valueLine;
  bool anyKey = false;
  while (reader.Next(line)) {
    const InfoKey key = KeyInLine(line);
    if (key == InfoKey::kNone) continue;
    anyKey = true;
    if (!reader.Next(valueLine)) break;
    switch (key) {
      case InfoKey::kDisplayName:
        summary.displayName = DisplayText(TagValue(valueLine, "<string>", "</string>"));
        break;
      case InfoKey::kLastBackupDate:
        summary.lastBackupDate = ConvertBackupDate(TagValue(valueLine, "<date>", "</date>"));
        summary.lastBackupUnix = BackupDateSeconds(TagValue(valueLine, "<date>", "</date>"));
        break;
      case InfoKey::kPhoneNumber:
        summary.phoneNumber = TagValue(valueLine, "<string>", "</string>");
        break;
      case InfoKey::kProductVersion:
        summary.versionAbove11 = LeadingInteger(TagValue(valueLine, "<string>", "</string>")) > 11;
        break;
      case InfoKey::kSerialNumber:
        summary.serialNumber = TagValue(valueLine, "<string>", "</string>");
        return kOk;  // nothing after the serial number is read
      case InfoKey::kNone: break;
    }
  }
  return anyKey ? kOk : kInvalidParameter;  // an empty or keyless file is no backup's
}

struct PlistDeleter {
  void operator()(plist_t node) const { plist_free(node); }
};
using PlistHandle = std::unique_ptr<void, PlistDeleter>;

std::string PlistString(plist_t dict, const char* key) {
  plist_t node = plist_dict_get_item(dict, key);
  if (node == nullptr || plist_get_node_type(node) != PLIST_STRING) return std::string();
  std::uint64_t length = 0;
  const char* value = plist_get_string_ptr(node, &length);
  if (value == nullptr) return std::string();
  return std::string(value, strnlen(value, length));  // up to a NUL, as the text would end there
}

// The date of the key as local text, and in Unix seconds (0 when there is none).
std::string PlistDateText(plist_t dict, const char* key, std::int64_t& unixSeconds) {
  unixSeconds = 0;
  plist_t node = plist_dict_get_item(dict, key);
  if (node == nullptr) return std::string();
  if (plist_get_node_type(node) == PLIST_STRING) {
    unixSeconds = BackupDateSeconds(PlistString(dict, key));
    return ConvertBackupDate(PlistString(dict, key));
  }
  if (plist_get_node_type(node) != PLIST_DATE) return std::string();
  std::int32_t sec = 0;
  std::int32_t usec = 0;
  plist_get_date_val(node, &sec, &usec);
  // The library keeps the date's seconds in 32 bits: a date beyond them (or none, NaN) comes out as
  // one of the two limits, which no backup was made at.
  if (sec == INT32_MIN || sec == INT32_MAX) return std::string();
  std::string out;
  if (!FormatLocalTime(static_cast<std::int64_t>(sec) + kAppleEpochOffset, out)) return std::string();
  unixSeconds = static_cast<std::int64_t>(sec) + kAppleEpochOffset;
  return out;
}

Status ReadBinaryInfoPlist(const std::filesystem::path& file, BackupSummary& summary) {
  std::string data;
  const Status rc = ReadFilePrefix(file, kMaxBinaryPlistBytes + 1, data);
  if (rc != kOk) return rc;
  if (data.size() > kMaxBinaryPlistBytes) return kOk;  // fields stay empty
  // Nested too deep to parse safely, unsound, or no dictionary: no backup's.
  if (!PlistWithinLimits(data)) return kInvalidParameter;
  plist_t raw = nullptr;
  plist_from_bin(data.data(), static_cast<std::uint32_t>(data.size()), &raw);
  const PlistHandle root(raw);
  if (!root || plist_get_node_type(root.get()) != PLIST_DICT) return kInvalidParameter;
  bool anyKey = false;
  for (const char* key : {"Display Name", "Last Backup Date", "Phone Number", "Product Version", "Serial Number"}) {
    anyKey = anyKey || plist_dict_get_item(root.get(), key) != nullptr;
  }
  if (!anyKey) return kInvalidParameter;
  summary.displayName = SanitizeUtf8(PlistString(root.get(), "Display Name"));
  summary.lastBackupDate = PlistDateText(root.get(), "Last Backup Date", summary.lastBackupUnix);
  summary.phoneNumber = PlistString(root.get(), "Phone Number");
  summary.versionAbove11 = LeadingInteger(PlistString(root.get(), "Product Version")) > 11;
  summary.serialNumber = PlistString(root.get(), "Serial Number");
  return kOk;
}

}  // namespace

int LeadingInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (value <= INT_MAX) value = value * 10 + (text[i] - '0');  // stays in range; clamped below
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

std::string ConvertBackupDate(std::string_view raw) {
  const std::int64_t seconds = BackupDateSeconds(raw);
  std::string out;
  if (seconds == 0 || !FormatLocalTime(seconds, out)) return std::string(raw);
  return out;
}

std::int64_t BackupDateSeconds(std::string_view raw) {
  std::string text(raw);
  if (const std::size_t t = text.find('T'); t != std::string::npos) text[t] = ' ';
  if (const std::size_t z = text.find('Z'); z != std::string::npos) text.resize(z);
  // Each field follows its separator; the separators are searched in order.
  const std::size_t dash1 = text.find('-');
  const std::size_t dash2 = dash1 == std::string::npos ? dash1 : text.find('-', dash1 + 1);
  const std::size_t blank = dash2 == std::string::npos ? dash2 : text.find(' ', dash2 + 1);
  const std::size_t colon1 = blank == std::string::npos ? blank : text.find(':', blank + 1);
  const std::size_t colon2 = colon1 == std::string::npos ? colon1 : text.find(':', colon1 + 1);
  if (colon2 == std::string::npos) return 0;
  const std::string_view view(text);
  return UnixSecondsFromUtc(LeadingInteger(view), LeadingInteger(view.substr(dash1 + 1)),
                            LeadingInteger(view.substr(dash2 + 1)), LeadingInteger(view.substr(blank + 1)),
                            LeadingInteger(view.substr(colon1 + 1)), LeadingInteger(view.substr(colon2 + 1)));
}

Status ReadInfoPlist(const std::filesystem::path& file, BackupSummary& summary) {
  std::string head;
  const Status rc = ReadFilePrefix(file, 8, head);
  if (rc != kOk) return rc;
  if (head == "bplist00") return ReadBinaryInfoPlist(file, summary);
  return ReadXmlInfoPlist(file, summary);
}

}  // namespace dunmere
