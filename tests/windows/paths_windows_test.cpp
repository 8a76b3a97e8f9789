#include <gtest/gtest.h>

#include <set>

#include "platform/files.h"
#include "platform/paths.h"
#include "tests/support/bytes.h"

namespace plm {
namespace {

// Names stored in drawings are code page 932 bytes; on Windows they become UTF-16
// file names. Each must stay one name in its folder, and two must never meet.
TEST(StoredNamesOnWindowsTest, EveryStoredNameIsOneFileOfItsOwn) {
  struct Case {
    std::string stored, name;  // the bytes, the UTF-8 of the file name they give
  } cases[] = {
      {"logo.bmp", "logo.bmp"},
      {"\x95\x5C.bmp", "表.bmp"},                   // 0x5C as a trail byte is no separator
      {"\x90\x7D\x96\xCA.jpg", "図面.jpg"},
      {"a\x80" "b.png", "a%80b.png"},                 // a byte that is no character
      {"100%.bmp", "100%25.bmp"},                     // '%' spelt out, so no two names meet
      {"a:b?.bmp", "a%3Ab%3F.bmp"},                   // what Windows refuses in a name
      {"\x82", "%82"},                                // a lead byte at the end
  };
  namespace fs = std::filesystem;
  const fs::path folder = PathFromUtf8("C:\\images");
  std::set<std::string> seen;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path p = PathOfStoredName(folder, c.stored);
    EXPECT_EQ(Utf8FromPath(p.filename()), c.name);
    EXPECT_EQ(p.parent_path(), folder);
    EXPECT_TRUE(seen.insert(Utf8FromPath(p)).second);
  }
  // Written and read back under the name, whatever the bytes.
  plmtest::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path p = PathOfStoredName(dir.path(), c.stored);
    const std::vector<uint8_t> bytes(c.stored.begin(), c.stored.end());
    ASSERT_TRUE(WriteNewFile(p, bytes));
    EXPECT_EQ(ReadWholeFile(p), bytes);
  }
}

}  // namespace
}  // namespace plm
