#include "sqlite_recovery/text_encoding.h"

namespace dunmere {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

void AppendUnit(std::string& out, char16_t unit, TextEncoding encoding) {
  const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
  if (encoding == TextEncoding::kUtf16Le) {
    out.push_back(low);
    out.push_back(high);
  } else {
    out.push_back(high);
    out.push_back(low);
  }
}

}  // namespace

TextEncoding TextEncodingOf(std::uint32_t headerValue) {
  if (headerValue == 2) return TextEncoding::kUtf16Le;
  if (headerValue == 3) return TextEncoding::kUtf16Be;
  return TextEncoding::kUtf8;
}

std::string TextToUtf8(std::string_view stored, TextEncoding encoding) {
  if (encoding == TextEncoding::kUtf8) return std::string(stored);
  const bool little = encoding == TextEncoding::kUtf16Le;
  const auto unit = [&](std::size_t i) -> char16_t {
    const auto a = static_cast<unsigned char>(stored[i]), b = static_cast<unsigned char>(stored[i + 1]);
    return static_cast<char16_t>(little ? (b << 8) | a : (a << 8) | b);
  };
  std::string out;
  out.reserve(stored.size());
  std::size_t i = 0;
  for (; i + 1 < stored.size(); i += 2) {
    const char16_t u = unit(i);
    if (u >= 0xD800 && u <= 0xDBFF && i + 3 < stored.size()) {
      const char16_t next = unit(i + 2);
      if (next >= 0xDC00 && next <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (next - 0xDC00));
        i += 2;
        continue;
      }
    }
    AppendUtf8(out, u >= 0xD800 && u <= 0xDFFF ? kReplacement : static_cast<char32_t>(u));
  }
  if (i < stored.size()) AppendUtf8(out, kReplacement);  // a lone last byte
  return out;
}

std::string Utf8ToStored(std::string_view utf8, TextEncoding encoding) {
  if (encoding == TextEncoding::kUtf8) return std::string(utf8);
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    char32_t c = kReplacement;
    std::size_t length = 1;
    if (b < 0x80) {
      c = b;
    } else if ((b >> 5) == 0x6 && i + 1 < utf8.size()) {
      c = ((b & 0x1F) << 6) | (utf8[i + 1] & 0x3F);
      length = 2;
    } else if ((b >> 4) == 0xE && i + 2 < utf8.size()) {
      c = ((b & 0x0F) << 12) | ((utf8[i + 1] & 0x3F) << 6) | (utf8[i + 2] & 0x3F);
      length = 3;
    } else if ((b >> 3) == 0x1E && i + 3 < utf8.size()) {
      c = ((b & 0x07) << 18) | ((utf8[i + 1] & 0x3F) << 12) | ((utf8[i + 2] & 0x3F) << 6) | (utf8[i + 3] & 0x3F);
      length = 4;
    }
    i += length;
    if (c >= 0x10000) {
      AppendUnit(out, static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)), encoding);
      AppendUnit(out, static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)), encoding);
    } else {
      AppendUnit(out, static_cast<char16_t>(c), encoding);
    }
  }
  return out;
}

}  // namespace dunmere
