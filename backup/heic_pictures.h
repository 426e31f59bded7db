#pragma once
// HEIC pictures (the photos of phones since 2017): their primary image decoded to 8-bit RGB with
// libheif, and written as a JPEG with libjpeg for programs that cannot show HEIC.
#include <cstdint>
#include <filesystem>
#include <vector>

#include "platform/status.h"

namespace dunmere {

struct RgbPicture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;  // rows of width * 3 bytes, top to bottom
};

// The largest width or height decoded, the most pixels (a 48-megapixel photo, or a panorama of 64
// megapixels, fit), and the largest file decoded: a hostile file (a grid of one tile used a thousand
// times, a file of a gigabyte) cannot ask for gigabytes of memory or minutes of work. The file is read
// as the library asks for its parts, never whole.
inline constexpr int kLargestHeicSide = 16384;
inline constexpr std::uint64_t kMostHeicPixels = std::uint64_t{8192} * 8192;
inline constexpr std::uint64_t kLargestHeicFile = std::uint64_t{128} << 20;

// Decodes the primary image of a HEIC file (a regular file, never through a link): kInvalidData for
// a damaged or unsupported file, kInvalidParameter for a file that is not there or not regular, the
// system's "file too large" for a picture of more than mostPixels pixels or a file beyond the largest
// (it is not decoded).
Status DecodeHeic(const std::filesystem::path& file, RgbPicture& out, std::uint64_t mostPixels = kMostHeicPixels);

// Writes a picture as a baseline JPEG (quality 1 to 100); the system's code when it cannot be written.
Status WriteJpeg(const RgbPicture& picture, const std::filesystem::path& file, int quality = 92);

// Both: a JPEG of the HEIC file's primary image.
Status HeicToJpeg(const std::filesystem::path& heic, const std::filesystem::path& jpeg);

}  // namespace dunmere
