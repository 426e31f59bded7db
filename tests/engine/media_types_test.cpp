#include "backup/media_types.h"

#include <gtest/gtest.h>

namespace dunmere {
namespace {

std::string Header(std::string_view start) {
  std::string h(512, '\0');
  h.replace(0, start.size(), start);
  return h;
}

// Today's phones: HEIF pictures by every brand they are written with, QuickTime movies whatever brand
// comes first, iTunes video and sound, WebP.
TEST(DetectMediaType, HeifQuickTimeAndWebp) {
  using namespace std::string_view_literals;
  for (const char* brand : {"heic", "heix", "heim", "heis", "hevc", "hevx", "mif1", "msf1"}) {
    const std::string box = std::string("\x00\x00\x00\x18" "ftyp"sv) + brand + std::string("\x00\x00\x00\x00" "mif1heic"sv);
    EXPECT_EQ(DetectMediaTypeOfHeader(Header(box)), "heic") << brand;
  }
  EXPECT_EQ(DetectMediaTypeOfHeader(Header("\x00\x00\x00\x1C" "ftypavif\x00\x00\x00\x00" "avifmif1miaf"sv)),
            std::nullopt);  // AVIF: not a phone's HEIF
  // A HEVC movie naming another brand first, "qt  " among the compatible ones.
  EXPECT_EQ(DetectMediaTypeOfHeader(Header("\x00\x00\x00\x1C" "ftyphvc1\x00\x00\x00\x00" "hvc1qt  isom"sv)), "mov");
  // "qt  " past the box's own end is no brand of it.
  EXPECT_EQ(DetectMediaTypeOfHeader(Header("\x00\x00\x00\x14" "ftyphvc1\x00\x00\x00\x00" "hvc1qt  "sv)), std::nullopt);
  // Older QuickTime: a wide atom, then the media data.
  EXPECT_EQ(DetectMediaTypeOfHeader(Header("\x00\x00\x00\x08" "wide\x00\x00\x10\x00" "mdat"sv)), "mov");
  EXPECT_EQ(DetectMediaTypeOfHeader(Header("\x00\x00\x00\x08" "free\x00\x00\x10\x00" "junk"sv)), std::nullopt);
  EXPECT_EQ(DetectMediaTypeOfHeader(Header("\x00\x00\x00\x18" "ftypM4V "sv)), "m4v");
  EXPECT_EQ(DetectMediaTypeOfHeader(Header("\x00\x00\x00\x18" "ftypM4A "sv)), "m4a");
  EXPECT_EQ(DetectMediaTypeOfHeader(Header("RIFF\x24\x00\x00\x00WEBPVP8 "sv)), "webp");
  EXPECT_EQ(DetectMediaTypeOfHeader(Header("RIFF\x24\x00\x00\x00WEBPVP8L"sv)), "webp");
  // Listed among the pictures: an app's HEIC goes to App Photos.
  EXPECT_FALSE(IsAppVideoFile("IMG_0002.HEIC"));
  EXPECT_TRUE(ExtensionListHas(kPictureExtensions, "IMG_0002.HEIC"));
}

TEST(DetectMediaType, SignatureTableInOrder) {
  using namespace std::string_view_literals;
  EXPECT_EQ(DetectMediaTypeOfHeader(Header("\xFF\xD8\xFF\xE0\x00\x10JFIF"sv)), "jpg");
  EXPECT_EQ(DetectMediaTypeOfHeader(Header("\xFF\xD8\xFF\xE1\x00\x10" "Exif"sv)), "jpg");
  EXPECT_EQ(DetectMediaTypeOfHeader(Header("\x89PNG\r\n\x1A\n")), "png");
  EXPECT_EQ(DetectMediaTypeOfHeader(Header("GIF89a")), "gif");
  EXPECT_EQ(DetectMediaTypeOfHeader(Header("GIF8Xa")), std::nullopt);
  // An ftyp box with brand mp42 is mp4 before the mov test is reached; "qt  " is mov.
  EXPECT_EQ(DetectMediaTypeOfHeader(Header("\x00\x00\x00\x18" "ftypmp42"sv)), "mp4");
  EXPECT_EQ(DetectMediaTypeOfHeader(Header("\x00\x00\x00\x18" "ftypmp41"sv)), "mp4");
  EXPECT_EQ(DetectMediaTypeOfHeader(Header("\x00\x00\x00\x14" "ftypqt  "sv)), "mov");
  EXPECT_EQ(DetectMediaTypeOfHeader(Header("\x00\x00\x00\x18" "ftyp3gp4"sv)), "3gp");
  EXPECT_EQ(DetectMediaTypeOfHeader(Header("RIFF\x24\x00\x00\x00WAVEfmt "sv)), "wav");
  EXPECT_EQ(DetectMediaTypeOfHeader(Header("RIFF\x24\x00\x00\x00" "AVI LIST"sv)), "avi");
  EXPECT_EQ(DetectMediaTypeOfHeader(Header("ID3\x03\x00\x00\x00\x00\x10\x20"sv)), "mp3");
  EXPECT_EQ(DetectMediaTypeOfHeader(Header("ID3\x03\x00\x00\x80\x00\x10\x20"sv)), std::nullopt);
  EXPECT_EQ(DetectMediaTypeOfHeader(Header("MThd\x00\x00\x00\x06\x00\x01\x00\x02\x00\x60MTrk"sv)), "mid");
  EXPECT_EQ(DetectMediaTypeOfHeader(Header("BM\x36\x00\x00\x00\x00\x00\x00\x00\x36\x00\x00\x00\x28\x00\x00\x00"sv)),
            "bmp");
  // An icon with one image of 1,000 bytes right after its directory.
  EXPECT_EQ(DetectMediaTypeOfHeader(Header("\x00\x00\x01\x00\x01\x00"
                                           "\x10\x10\x00\x00\x01\x00\x20\x00\xE8\x03\x00\x00\x16\x00\x00\x00"sv)),
            "ico");
  EXPECT_EQ(DetectMediaTypeOfHeader(Header("\x00\x00\x01\xBA\x44\x00\x00\x01\xBB"sv)), "mpeg");
  // Fewer than 512 bytes: no type, whatever they hold.
  EXPECT_EQ(DetectMediaTypeOfHeader(std::string("\x89PNG\r\n\x1A\n") + std::string(292, '\0')), std::nullopt);
}

}  // namespace
}  // namespace dunmere
