#include "categories/typed_stream.h"

#include <cstdint>

#include "platform/utf8.h"

namespace dunmere {
namespace {

constexpr std::string_view kSignature = "\x04\x0bstreamtyped";
constexpr std::size_t kSearchAfterClass = 16;  // the string's "+" follows its class within a few bytes

// An integer of the typed-stream format: 0x81 then 16 bits, 0x82 then 32 bits (little-endian), or the
// byte itself (signed). False when it runs past the end.
bool ReadInteger(std::string_view data, std::size_t& pos, std::int64_t& out) {
  if (pos >= data.size()) return false;
  const auto lead = static_cast<std::uint8_t>(data[pos++]);
  auto bytes = [&](std::size_t n) -> bool {
    if (n > data.size() - pos) return false;
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < n; ++i) v |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(data[pos + i])) << (8 * i);
    pos += n;
    out = n == 2 ? static_cast<std::int16_t>(v) : static_cast<std::int32_t>(v);
    return true;
  };
  if (lead == 0x81) return bytes(2);
  if (lead == 0x82) return bytes(4);
  out = static_cast<std::int8_t>(lead);
  return true;
}

}  // namespace

std::optional<std::string> AttributedBodyText(std::string_view blob) {
  if (blob.substr(0, kSignature.size()) != kSignature) return std::nullopt;
  for (const std::string_view cls : {std::string_view("NSString"), std::string_view("NSMutableString")}) {
    const std::size_t at = blob.find(cls, kSignature.size());
    if (at == std::string_view::npos) continue;
    const std::size_t from = at + cls.size();
    const std::size_t plus = blob.substr(from, kSearchAfterClass).find('+');
    if (plus == std::string_view::npos) continue;
    std::size_t pos = from + plus + 1;
    std::int64_t length = 0;
    if (!ReadInteger(blob, pos, length) || length <= 0 || static_cast<std::uint64_t>(length) > blob.size() - pos) {
      continue;
    }
    const std::string_view text = blob.substr(pos, static_cast<std::size_t>(length));
    if (SanitizeUtf8(text) != text) continue;
    return std::string(text);
  }
  return std::nullopt;
}

}  // namespace dunmere
