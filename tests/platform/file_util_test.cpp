#include "platform/file_util.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tests/support/temp_dir.h"

namespace dunmere {
namespace {
namespace fs = std::filesystem;
using testing::TempDir;
using testing::WriteFile;

TEST(ListFolder, OneLevelSortedWithoutDotNamesAndCountsSizes) {
  TempDir dir;
  WriteFile(dir / "b-file", std::string(10, 'x'));
  WriteFile(dir / "a-folder" / "inner", std::string(1000, 'y'));
  WriteFile(dir / ".hidden", std::string(5, 'z'));
  WriteFile(dir / "c-file", std::string(7, 'w'));
  std::vector<fs::path> out{"/already/there"};
  std::uint64_t total = 3;
  ASSERT_TRUE(ListFolder(dir.path(), out, total));
  ASSERT_EQ(out.size(), 4u);
  EXPECT_EQ(out[0], "/already/there");  // appends
  EXPECT_EQ(out[1], dir / "a-folder");
  EXPECT_EQ(out[2], dir / "b-file");
  EXPECT_EQ(out[3], dir / "c-file");
  EXPECT_EQ(total, 3u + 10u + 7u);  // one level: the folder's contents are not counted
  EXPECT_FALSE(ListFolder(dir / "missing", out, total));
}

TEST(ReadFiles, PrefixWholeAndFailures) {
  TempDir dir;
  WriteFile(dir / "f", "SQLite format 3");
  std::string out;
  ASSERT_EQ(ReadFilePrefix(dir / "f", 6, out), kOk);
  EXPECT_EQ(out, "SQLite");
  ASSERT_EQ(ReadFilePrefix(dir / "f", 4096, out), kOk);
  EXPECT_EQ(out.size(), 15u);
  ASSERT_EQ(ReadWholeFile(dir / "f", out), kOk);
  EXPECT_EQ(out, "SQLite format 3");
  EXPECT_EQ(ReadWholeFile(dir / "nothing", out), kPathNotFound);
  EXPECT_TRUE(out.empty());
  EXPECT_NE(ReadFilePrefix(dir.path(), 10, out), kOk);  // a folder is not a file
}

// Only regular files are read: a link is not followed, a FIFO is refused without waiting for a
// writer, a folder is no file.
TEST(ReadFiles, RegularFilesOnly) {
  testing::TempDir dir;
  testing::WriteFile(dir / "plain", "line one\nline two\n");
  fs::create_symlink(dir / "plain", dir / "link");
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  fs::create_directory(dir / "folder");

  const int fd = OpenRegularFile(dir / "plain");
  ASSERT_GE(fd, 0);
  char byte = 0;
  EXPECT_EQ(::read(fd, &byte, 1), 1);  // an ordinary, blocking descriptor
  ::close(fd);
  EXPECT_TRUE(IsRegularFileNoFollow(dir / "plain"));
  for (const char* name : {"link", "fifo", "folder", "missing"}) {
    SCOPED_TRACE(name);
    errno = 0;
    EXPECT_LT(OpenRegularFile(dir / name), 0);
    EXPECT_FALSE(IsRegularFileNoFollow(dir / name));
    std::string out = "stale";
    EXPECT_NE(ReadFilePrefix(dir / name, 100, out), kOk);
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(LineReader(dir / name, 100).IsOpen());
  }
  std::string text;
  EXPECT_EQ(ReadFilePrefix(dir / "link", 100, text), kInvalidParameter);  // told as no file of ours
  std::string line;
  LineReader reader(dir / "plain", 100);
  ASSERT_TRUE(reader.Next(line));
  EXPECT_EQ(line, "line one");
}

TEST(LineReader, SplitsLongLinesLikeAFixedBufferAndStripsLineEnds) {
  TempDir dir;
  WriteFile(dir / "t", "one\r\n" + std::string(10, 'a') + "\nlast");
  LineReader reader(dir / "t", 5);  // 4 bytes of text per piece
  ASSERT_TRUE(reader.IsOpen());
  std::vector<std::string> lines;
  std::string line;
  while (reader.Next(line)) lines.push_back(line);
  const std::vector<std::string> expected{"one", "aaaa", "aaaa", "aa", "last"};
  EXPECT_EQ(lines, expected);
  EXPECT_FALSE(LineReader(dir / "missing", 10).IsOpen());
}

TEST(IsInsideFolder, RefusesClimbingOutAndSiblingsWithACommonPrefix) {
  TempDir dir;
  const fs::path copy = dir / "copy";
  fs::create_directories(copy);
  EXPECT_TRUE(IsInsideFolder(copy / "abc", copy));
  EXPECT_TRUE(IsInsideFolder(copy / "x" / ".." / "abc", copy));
  EXPECT_FALSE(IsInsideFolder(copy / ".." / "abc", copy));
  EXPECT_FALSE(IsInsideFolder(dir / "copy2" / "abc", copy));
  EXPECT_FALSE(IsInsideFolder(copy, copy));
}

TEST(CreateFolders, MakesParentsAndAcceptsExisting) {
  TempDir dir;
  EXPECT_EQ(CreateFolders(dir / "a" / "b" / "c"), kOk);
  EXPECT_TRUE(FolderExists(dir / "a" / "b" / "c"));
  EXPECT_EQ(CreateFolders(dir / "a" / "b" / "c"), kOk);
  WriteFile(dir / "file", "x");
  EXPECT_NE(CreateFolders(dir / "file" / "sub"), kOk);
}

#if !defined(__APPLE__)
TEST(HideFolder, DotNamesAreHiddenOthersCannotBe) {
  TempDir dir;
  fs::create_directories(dir / ".work");
  fs::create_directories(dir / "work");
  EXPECT_EQ(HideFolder(dir / ".work"), kOk);
  EXPECT_EQ(HideFolder(dir / "work"), kInvalidParameter);
  EXPECT_EQ(HideFolder(dir / ".missing"), kPathNotFound);
}
#endif

TEST(KindInside, LinksAtOrBelowTheRootAndSpecialFilesAreOther) {
  TempDir dir;
  WriteFile(dir / "backup" / "ab" / "abcd", "data");
  WriteFile(dir / "elsewhere" / "abcd", "data");
  fs::create_directory_symlink(dir / "elsewhere", dir / "backup" / "cd");
  fs::create_symlink(dir / "elsewhere" / "abcd", dir / "backup" / "ab" / "link");
  ASSERT_EQ(::mkfifo((dir / "backup" / "fifo").c_str(), 0600), 0);
  fs::create_directory_symlink(dir / "backup", dir / "through-link");
  const fs::path backup = dir / "backup";
  EXPECT_EQ(KindInside(backup, backup / "ab" / "abcd"), FileKind::kRegular);
  EXPECT_EQ(KindInside(dir / "through-link", dir / "through-link" / "ab" / "abcd"), FileKind::kRegular);
  EXPECT_EQ(KindInside(backup, backup / "cd" / "abcd"), FileKind::kOther);  // a link in a folder above
  EXPECT_EQ(KindInside(backup, backup / "ab" / "link"), FileKind::kOther);
  EXPECT_EQ(KindInside(backup, backup / "fifo"), FileKind::kOther);
  EXPECT_EQ(KindInside(backup, backup / "ab"), FileKind::kOther);  // a folder is no file
  EXPECT_EQ(KindInside(backup, backup / "ab" / "abcd" / "x"), FileKind::kOther);
  EXPECT_EQ(KindInside(backup, backup / "ab" / "missing"), FileKind::kMissing);
  EXPECT_EQ(KindInside(backup, backup / "zz" / "missing"), FileKind::kMissing);
  EXPECT_EQ(KindInside(backup, backup / ".." / "elsewhere" / "abcd"), FileKind::kOther);
  EXPECT_EQ(KindInside(backup, backup), FileKind::kOther);
}

TEST(StatusText, SystemErrorsWithoutACodeOfTheirOwnAreToldInTheSystemsWords) {
  EXPECT_EQ(StatusFromErrno(ENOENT), kPathNotFound);
  EXPECT_EQ(StatusFromErrno(ENAMETOOLONG), kNameTooLong);
  EXPECT_EQ(StatusText(kNameTooLong), "The filename or extension is too long.");
  EXPECT_EQ(StatusFromErrno(EIO), 31);
  const Status tooMany = StatusFromErrno(EMFILE);
  EXPECT_EQ(tooMany, kSystemErrorBase + EMFILE);
  EXPECT_EQ(StatusText(tooMany), std::string(std::strerror(EMFILE)) + ".");
  EXPECT_EQ(StatusText(123456789), "Error 123456789.");
}

}  // namespace
}  // namespace dunmere
