// HEIC pictures made by libheif itself: found as HEIC, decoded, written as JPEG; damaged files and
// links refused without harm.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "backup/heic_pictures.h"
#include "backup/media_types.h"
#include "tests/support/heic_fixture.h"
#include "tests/support/temp_dir.h"

namespace dunmere {
namespace {

namespace fs = std::filesystem;

void Write(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

// A pixel's colour within the error of lossy coding.
void ExpectNear(const RgbPicture& picture, int x, int y, testing::Colour c) {
  const std::uint8_t* p = picture.rgb.data() + (static_cast<std::size_t>(y) * picture.width + x) * 3;
  EXPECT_NEAR(p[0], c.r, 24) << x << "," << y;
  EXPECT_NEAR(p[1], c.g, 24) << x << "," << y;
  EXPECT_NEAR(p[2], c.b, 24) << x << "," << y;
}

TEST(HeicPictures, FoundDecodedAndWrittenAsJpeg) {
  testing::TempDir dir;
  const testing::Colour red{220, 30, 30}, blue{30, 40, 210};
  const std::string heic = testing::MakeHeic(128, 96, red, blue);
  ASSERT_GE(heic.size(), kMediaHeaderBytes);
  Write(dir / "IMG_0002.HEIC", heic);
  EXPECT_EQ(DetectMediaType(dir / "IMG_0002.HEIC"), "heic");

  RgbPicture picture;
  ASSERT_EQ(DecodeHeic(dir / "IMG_0002.HEIC", picture), kOk);
  EXPECT_EQ(picture.width, 128);
  EXPECT_EQ(picture.height, 96);
  ASSERT_EQ(picture.rgb.size(), 128u * 96u * 3u);
  ExpectNear(picture, 10, 50, red);
  ExpectNear(picture, 118, 50, blue);

  ASSERT_EQ(HeicToJpeg(dir / "IMG_0002.HEIC", dir / "IMG_0002.jpg"), kOk);
  EXPECT_EQ(DetectMediaType(dir / "IMG_0002.jpg"), "jpg");
  EXPECT_GT(fs::file_size(dir / "IMG_0002.jpg"), 600u);
}

TEST(HeicPictures, DamagedFilesLinksAndUnwritableFolders) {
  testing::TempDir dir;
  const std::string heic = testing::MakeHeic(64, 64, {0, 200, 0}, {0, 200, 0});
  RgbPicture picture;
  // Cut anywhere, or overwritten in the middle: refused as damaged, never a crash.
  for (const std::size_t keep : {heic.size() / 4, heic.size() / 2, heic.size() - 8}) {
    Write(dir / "cut.heic", heic.substr(0, keep));
    EXPECT_NE(DecodeHeic(dir / "cut.heic", picture), kOk) << keep;
  }
  std::string garbled = heic;
  for (std::size_t i = 40; i < garbled.size() && i < 400; ++i) garbled[i] = static_cast<char>(0xA5);
  Write(dir / "garbled.heic", garbled);
  EXPECT_EQ(DecodeHeic(dir / "garbled.heic", picture), kInvalidData);
  Write(dir / "text.heic", std::string(1000, 'x'));
  EXPECT_EQ(DecodeHeic(dir / "text.heic", picture), kInvalidData);
  EXPECT_EQ(DecodeHeic(dir / "missing.heic", picture), kInvalidParameter);
  // A link is not followed.
  Write(dir / "real.heic", heic);
  fs::create_symlink(dir / "real.heic", dir / "link.heic");
  EXPECT_EQ(DecodeHeic(dir / "link.heic", picture), kInvalidParameter);
  EXPECT_TRUE(picture.rgb.empty());

  ASSERT_EQ(DecodeHeic(dir / "real.heic", picture), kOk);
  EXPECT_NE(WriteJpeg(picture, dir / "no such folder" / "a.jpg"), kOk);
  EXPECT_EQ(WriteJpeg(RgbPicture{4, 4, std::vector<std::uint8_t>(10)}, dir / "short.jpg"), kInvalidParameter);
  EXPECT_FALSE(fs::exists(dir / "short.jpg"));
}

// A picture of more pixels than the limit is not decoded (the limit here small enough for a test
// picture), and a file beyond the largest is not even read whole (a sparse file, a gigabyte long):
// both are told as too large, the picture left as it is.
TEST(HeicPictures, PicturesAndFilesBeyondTheLimits) {
  testing::TempDir dir;
  Write(dir / "small.heic", testing::MakeHeic(96, 64, {10, 10, 10}, {10, 10, 10}));
  RgbPicture picture;
  EXPECT_EQ(DecodeHeic(dir / "small.heic", picture, 96 * 64), kOk);
  EXPECT_EQ(DecodeHeic(dir / "small.heic", picture, 96 * 64 - 1), StatusFromErrno(EFBIG));
  EXPECT_TRUE(picture.rgb.empty());

  // Within the largest file, a long tail after the picture's boxes is not read.
  Write(dir / "tail.heic", testing::MakeHeic(96, 64, {10, 10, 10}, {10, 10, 10}));
  fs::resize_file(dir / "tail.heic", kLargestHeicFile);
  EXPECT_EQ(DecodeHeic(dir / "tail.heic", picture), kOk);
  EXPECT_EQ(picture.width, 96);

  Write(dir / "huge.heic", testing::MakeHeic(96, 64, {10, 10, 10}, {10, 10, 10}));
  fs::resize_file(dir / "huge.heic", std::uint64_t{1} << 30);
  EXPECT_EQ(DecodeHeic(dir / "huge.heic", picture), StatusFromErrno(EFBIG));
  EXPECT_EQ(HeicToJpeg(dir / "huge.heic", dir / "huge.jpg"), StatusFromErrno(EFBIG));
  EXPECT_FALSE(fs::exists(dir / "huge.jpg"));
}

}  // namespace
}  // namespace dunmere
