#include "platform/paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/files.h"
#include "tests/support/bytes.h"

namespace plm {
namespace {

namespace fs = std::filesystem;

// POSIX names are bytes: a name that is not valid UTF-8 survives both ways and is
// listed as it is held.
TEST(PathsPosixTest, NamesThatAreNotUtf8SurviveUnchanged) {
  const std::string bad("bad\xff\xfe.jww");
  EXPECT_EQ(Utf8FromPath(PathFromUtf8(bad)), bad);
  plmtest::TempDir dir;
  plmtest::WriteFileBytes(dir.path() / PathFromUtf8(bad), {'x', 'y'});
  std::string listed;
  ASSERT_TRUE(ForEachFolderEntry(dir.path(), [&](const FolderEntry& e) {
    listed = e.Name;
    return true;
  }));
  EXPECT_EQ(listed, bad);
  EXPECT_EQ(FileSizeOf(PathFromUtf8(Utf8FromPath(dir.path()) + "/" + listed)), 2u);
}

}  // namespace
}  // namespace plm
