// Property lists are walked before the library parses them: deep nesting, cycles and broken tables
// are refused, every sound list of reasonable depth passes.
#include "platform/plist_limits.h"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace dunmere {
namespace {

void PutBig(std::string& out, std::uint64_t value, int width) {
  for (int i = width - 1; i >= 0; --i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A binary list of depth arrays, each holding the next (the last one empty); with loop, the last
// holds the first instead.
std::string NestedArrays(std::uint64_t depth, bool loop = false) {
  std::string out = "bplist00";
  std::vector<std::uint64_t> offsets;
  for (std::uint64_t i = 0; i < depth; ++i) {
    offsets.push_back(out.size());
    const bool last = i + 1 == depth;
    if (last && !loop) {
      out.push_back(static_cast<char>(0xA0));
    } else {
      out.push_back(static_cast<char>(0xA1));
      PutBig(out, last ? 0 : i + 1, 4);
    }
  }
  const std::uint64_t table = out.size();
  for (const std::uint64_t offset : offsets) PutBig(out, offset, 4);
  out.append(6, '\0');
  out.push_back(4);  // offset size
  out.push_back(4);  // reference size
  PutBig(out, depth, 8);
  PutBig(out, 0, 8);  // the top object
  PutBig(out, table, 8);
  return out;
}

bool LibraryParses(const std::string& data) {
  plist_t root = nullptr;
  plist_from_bin(data.data(), static_cast<std::uint32_t>(data.size()), &root);
  const bool parsed = root != nullptr;
  plist_free(root);
  return parsed;
}

TEST(PlistLimits, BinaryDepthCyclesAndBrokenTables) {
  const std::string shallow = NestedArrays(100);
  EXPECT_TRUE(PlistWithinLimits(shallow));
  EXPECT_TRUE(LibraryParses(shallow)) << "the test's own list is a sound one";
  EXPECT_TRUE(PlistWithinLimits(NestedArrays(kMaxPlistDepth)));
  EXPECT_FALSE(PlistWithinLimits(NestedArrays(kMaxPlistDepth + 1)));
  EXPECT_FALSE(PlistWithinLimits(NestedArrays(120000)));  // parsed by the library, this overflows the stack
  EXPECT_FALSE(PlistWithinLimits(NestedArrays(3, true)));  // an array inside itself

  std::string broken = shallow;
  broken[broken.size() - 1] = '\xFF';  // the offset table past the end
  EXPECT_FALSE(PlistWithinLimits(broken));
  broken = shallow;
  broken[8 + 1 + 3] = 120;  // the first array names object 120 of 100 (its reference's low byte)
  EXPECT_FALSE(PlistWithinLimits(broken));
  EXPECT_FALSE(PlistWithinLimits("bplist00"));

  // A list the library writes itself, with a dictionary, strings and a shared value.
  plist_t dict = plist_new_dict();
  plist_dict_set_item(dict, "Display Name", plist_new_string("Tom's iPhone"));
  plist_t inner = plist_new_array();
  plist_array_append_item(inner, plist_new_uint(7));
  plist_dict_set_item(dict, "Inner", inner);
  char* bin = nullptr;
  std::uint32_t length = 0;
  plist_to_bin(dict, &bin, &length);
  EXPECT_TRUE(PlistWithinLimits(std::string(bin, length)));
  EXPECT_FALSE(PlistWithinLimits(std::string(bin, length), 1));  // the dictionary, then the array
  std::free(bin);
  plist_free(dict);
}

// The library aborts on a string with a NUL inside (a value or a key): such a list is refused.
TEST(PlistLimits, StringsWithANul) {
  const auto oneString = [](const std::string& marker, const std::string& body) {
    std::string out = "bplist00" + marker + body;
    const std::size_t table = out.size();
    out.push_back(8);  // the one object's offset
    out += std::string(6, '\0') + "\x01\x01";
    for (const std::uint64_t v : {std::uint64_t{1}, std::uint64_t{0}, std::uint64_t{table}}) PutBig(out, v, 8);
    return out;
  };
  EXPECT_TRUE(PlistWithinLimits(oneString("\x53", "abc")));
  EXPECT_TRUE(LibraryParses(oneString("\x53", "abc")));
  EXPECT_FALSE(PlistWithinLimits(oneString("\x53", std::string("a\0c", 3))));
  EXPECT_TRUE(PlistWithinLimits(oneString("\x62", std::string("\0a\0b", 4))));   // UTF-16 "ab"
  EXPECT_FALSE(PlistWithinLimits(oneString("\x62", std::string("\0a\0\0", 4))));
  EXPECT_FALSE(PlistWithinLimits("<plist><string>a&#0;b</string></plist>"));
  EXPECT_FALSE(PlistWithinLimits("<plist><string>a&#x0000;b</string></plist>"));
  EXPECT_TRUE(PlistWithinLimits("<plist><string>a&#10;&#x20;&#0x;b</string></plist>"));
}

TEST(PlistLimits, XmlDepth) {
  std::string deep = "<?xml version=\"1.0\"?><plist version=\"1.0\">";
  for (std::size_t i = 0; i <= kMaxPlistDepth; ++i) deep += "<array>";
  EXPECT_FALSE(PlistWithinLimits(deep));
  std::string fine = "<plist><dict><key>a</key><array><dict/><array/><string>x</string></array></dict></plist>";
  EXPECT_TRUE(PlistWithinLimits(fine));
  EXPECT_FALSE(PlistWithinLimits(fine, 1));
  EXPECT_TRUE(PlistWithinLimits(fine, 2));  // empty elements add no level
}

}  // namespace
}  // namespace dunmere
