#include "backup/media_types.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/file_util.h"

namespace dunmere {

const char* const kPictureExtensions =
    "*.bmp|*.gif|*.jpg|*.jpeg|*.png|*.psd|*.tif|*.tiff|*.pcx|*.scr|*.ico|*.nef|*.nrw|*.crw|*.cr2|*.sr2|*.arw|*.srf|"
    "*.divu|*.pgm|*.k25|*.kdc|*.dcr|*.raf|*.iff|*.pbm|*.mef|*.jp2|*.mos|*.x3f|*.orf|*.erf|*.indd|*.pef|*.psp|*.mrw|"
    "*.dng|*.raw|*.pct|*.tga|*.heic|*.heif|*.webp";
const char* const kSoundExtensions =
    "*.mp3|*.wav|*.aiff|*.rps|*.mid|*.midi|*.m4a|*.m4p|*.au|*.ogg|*.wma|*.rm|*.ra|*.acd|*.amr|*.at3|*.caf|*.dss|*.m4r|"
    "*.nra|*.snd";
const char* const kVideoExtensions =
    "*.rmvb|*.rm|*.mpeg|*.mov|*.avi|*.wmv|*.asf|*.mp4|*.flv|*.fla|*.swf|*.ape|*.m4v|*.3gp|*.dv|*.3g2|*.m4b|*.mkv|*.mts|"
    "*.divx|*.ogm|*.moi|*.vob|*.ajp|*.f4v|*.mqv|*.svi|*.vid|*.tod|*.hdmov|*.mod|*.m2t|*.lrv";

namespace {

using Header = std::string_view;

bool At(Header h, std::size_t offset, std::string_view bytes) {
  return offset + bytes.size() <= h.size() && h.substr(offset, bytes.size()) == bytes;
}

std::uint8_t Byte(Header h, std::size_t i) { return static_cast<std::uint8_t>(h[i]); }
std::uint32_t Le16(Header h, std::size_t i) { return Byte(h, i) | (Byte(h, i + 1) << 8); }
std::uint32_t Le32(Header h, std::size_t i) {
  return Byte(h, i) | (Byte(h, i + 1) << 8) | (Byte(h, i + 2) << 16) | (static_cast<std::uint32_t>(Byte(h, i + 3)) << 24);
}

bool FoundWithin(Header h, std::string_view bytes, std::size_t lastOffset) {
  for (std::size_t o = 0; o <= lastOffset; ++o) {
    if (At(h, o, bytes)) return true;
  }
  return false;
}

bool IsMpeg(Header h) {
  using namespace std::string_view_literals;
  return (At(h, 0, "\x00\x00\x01\xBA"sv) && FoundWithin(h, "\x00\x00\x01\xBB"sv, 28)) ||
         (At(h, 0, "\x00\x00\x01\xB3"sv) && FoundWithin(h, "\x00\x00\x01\xB8"sv, 28));
}
bool IsMp4(Header h) { return At(h, 4, "ftyp") && (At(h, 8, "iso") || At(h, 8, "mp42") || At(h, 8, "mp41")); }
bool IsRmvb(Header h) { return At(h, 0, ".RMF"); }
bool IsAsf(Header h) {
  return At(h, 0, std::string_view("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16));
}
bool IsAvi(Header h) { return At(h, 0, "RIFF") && At(h, 8, "AVI ") && At(h, 12, "LIST"); }
bool Is3gp(Header h) { return At(h, 4, "ftyp") && At(h, 8, "3gp"); }
bool IsMp3(Header h) {
  if (!At(h, 0, "ID3") || Byte(h, 3) == 0xFF || Byte(h, 4) == 0xFF || (Byte(h, 5) & 0x1F) != 0) return false;
  for (std::size_t i = 6; i <= 9; ++i) {
    if (Byte(h, i) >= 0x80) return false;
  }
  return true;
}
bool IsMidi(Header h) {
  using namespace std::string_view_literals;
  return At(h, 0, "MThd") && At(h, 4, "\x00\x00\x00\x06"sv) && At(h, 14, "MTrk");
}
bool IsWav(Header h) { return At(h, 0, "RIFF") && At(h, 8, "WAVE") && At(h, 12, "fmt "); }
std::uint32_t Be32(Header h, std::size_t i) {
  return (static_cast<std::uint32_t>(Byte(h, i)) << 24) | (Byte(h, i + 1) << 16) | (Byte(h, i + 2) << 8) | Byte(h, i + 3);
}

// The brands of a file type box at the start (its major brand first), as far as the header holds them.
std::vector<std::string_view> Brands(Header h) {
  std::vector<std::string_view> brands;
  if (!At(h, 4, "ftyp")) return brands;
  const std::size_t end = std::min<std::size_t>(Be32(h, 0), h.size());
  brands.push_back(h.substr(8, 4));
  for (std::size_t at = 16; at + 4 <= end; at += 4) brands.push_back(h.substr(at, 4));
  return brands;
}

bool HasBrand(Header h, std::string_view brand) {
  const std::vector<std::string_view> brands = Brands(h);
  return std::find(brands.begin(), brands.end(), brand) != brands.end();
}

// A QuickTime movie: its movie box first, a file type box of brand "qt  " (major or compatible: HEVC
// movies of phones name other brands first), or the older files that begin with a free-space, wide or
// media-data atom followed by another atom of those kinds.
bool IsMov(Header h) {
  if (At(h, 0, "moov") || (At(h, 4, "ftyp") && HasBrand(h, "qt  "))) return true;
  const auto isQuickTimeAtom = [&h](std::size_t at) {
    for (const char* type : {"wide", "mdat", "free", "skip", "pnot", "moov"}) {
      if (At(h, at + 4, type)) return true;
    }
    return false;
  };
  const std::uint32_t first = Be32(h, 0);
  return first >= 8 && first + 8 <= h.size() && !At(h, 4, "moov") && isQuickTimeAtom(0) && isQuickTimeAtom(first);
}

// HEIF pictures (HEIC of phones since 2017) and image sequences, by their major brand.
bool IsHeif(Header h) {
  if (!At(h, 4, "ftyp")) return false;
  for (const char* brand : {"heic", "heix", "heim", "heis", "hevc", "hevx", "mif1", "msf1"}) {
    if (At(h, 8, brand)) return true;
  }
  return false;
}
bool IsM4v(Header h) { return At(h, 4, "ftyp") && At(h, 8, "M4V "); }
bool IsM4a(Header h) { return At(h, 4, "ftyp") && At(h, 8, "M4A "); }
bool IsWebp(Header h) { return At(h, 0, "RIFF") && At(h, 8, "WEBP") && At(h, 12, "VP8"); }
bool IsGif(Header h) {
  auto digit = [&](std::size_t i) { return h[i] >= '0' && h[i] <= '9'; };
  return At(h, 0, "GIF") && digit(3) && digit(4) && h[5] >= 'a' && h[5] <= 'z';
}
bool IsBmp(Header h) {
  return (At(h, 0, "BM") || At(h, 0, "BA")) && Le16(h, 6) == 0 && Le16(h, 8) == 0 && Le32(h, 14) == 40;
}
bool IsJpeg(Header h) {
  using namespace std::string_view_literals;
  return (At(h, 0, "\xFF\xD8\xFF\xE0"sv) && At(h, 6, "JFIF")) || (At(h, 0, "\xFF\xD8\xFF\xE1"sv) && At(h, 6, "Exif"));
}
bool IsPng(Header h) { return At(h, 0, "\x89PNG\r\n\x1A\n"); }
bool IsIco(Header h) {
  using namespace std::string_view_literals;
  if (!At(h, 0, "\x00\x00\x01\x00"sv)) return false;
  const std::uint32_t count = Le16(h, 4);
  if (count == 0 || 6 + 16 * count > kMediaHeaderBytes) return false;
  std::uint64_t offset = 6 + 16 * count;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t entry = 6 + 16 * i;
    if (Byte(h, entry + 3) != 0 || Le32(h, entry + 12) != offset) return false;
    offset += Le32(h, entry + 8);
  }
  return true;
}

struct Signature {
  const char* extension;  // the extension of the type (the first row of its test)
  bool (*test)(Header);
};

// In the order they are tried: the first match decides.
constexpr Signature kSignatures[] = {
    {"mpeg", IsMpeg}, {"mp4", IsMp4}, {"rmvb", IsRmvb}, {"wmv", IsAsf}, {"avi", IsAvi},  {"3gp", Is3gp},
    {"mp3", IsMp3},   {"mid", IsMidi}, {"wav", IsWav},  {"mov", IsMov}, {"gif", IsGif},  {"bmp", IsBmp},
    {"jpg", IsJpeg},  {"png", IsPng},  {"ico", IsIco}, {"heic", IsHeif}, {"m4v", IsM4v}, {"m4a", IsM4a},
    {"webp", IsWebp},
};

}  // namespace

std::optional<std::string> DetectMediaTypeOfHeader(std::string_view header) {
  if (header.size() < kMediaHeaderBytes) return std::nullopt;
  for (const Signature& s : kSignatures) {
    if (s.test(header)) return std::string(s.extension);
  }
  return std::nullopt;
}

std::optional<std::string> DetectMediaType(const std::filesystem::path& file) {
  std::string header;
  if (ReadFilePrefix(file, kMediaHeaderBytes, header) != kOk) return std::nullopt;
  return DetectMediaTypeOfHeader(header);
}

}  // namespace dunmere

namespace dunmere {

bool ExtensionListHas(const char* list, std::string_view fileName) {
  const std::size_t dot = fileName.rfind('.');
  if (dot == std::string_view::npos) return false;
  std::string entry = "*" + std::string(fileName.substr(dot));
  for (char& c : entry) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  // Whole entries only: the list's separators (or its ends) on both sides.
  const std::string_view all(list);
  for (std::size_t at = all.find(entry); at != std::string_view::npos; at = all.find(entry, at + 1)) {
    const std::size_t end = at + entry.size();
    if ((at == 0 || all[at - 1] == '|') && (end == all.size() || all[end] == '|')) return true;
  }
  return false;
}

bool IsAppVideoFile(std::string_view fileName) {
  return ExtensionListHas(kVideoExtensions, fileName) || ExtensionListHas(kSoundExtensions, fileName);
}

}  // namespace dunmere
