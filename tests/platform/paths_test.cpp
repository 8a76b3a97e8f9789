#include "platform/paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/files.h"
#include "tests/support/bytes.h"

namespace plm {
namespace {

namespace fs = std::filesystem;

struct PathCase {
  const char* name;
  std::string utf8;
};

const PathCase kPathCases[] = {
    {"ascii", "plan.jww"},  // control
    {"kanji", "木造平面例.jww"},
    {"kana and full-width digits", "ﾃｽﾄ図面１２.JWS"},
    {"nested folders", "図面/２階/平面.jww"},
};

TEST(PathsTest, Utf8RoundTripsThroughTheSystemPath) {
  for (const PathCase& c : kPathCases) {
    SCOPED_TRACE(c.name);
    const fs::path path = PathFromUtf8(c.utf8);
    EXPECT_EQ(Utf8FromPath(path), c.utf8);
    EXPECT_EQ(Utf8FromPath(path.filename()), c.utf8.substr(c.utf8.rfind('/') + 1));
  }
}

// A file made under a converted name is found again by the name read back from the
// folder's listing.
TEST(PathsTest, ConvertedNamesReachTheSameFile) {
  for (const PathCase& c : kPathCases) {
    if (c.utf8.find('/') != std::string::npos) continue;
    SCOPED_TRACE(c.name);
    plmtest::TempDir dir;
    plmtest::WriteFileBytes(dir.path() / PathFromUtf8(c.utf8), {'x', 'y'});
    std::string listed;
    ASSERT_TRUE(ForEachFolderEntry(dir.path(), [&](const FolderEntry& e) {
      listed = e.Name;
      return true;
    }));
    EXPECT_EQ(listed, c.utf8);
    EXPECT_EQ(FileSizeOf(PathFromUtf8(Utf8FromPath(dir.path()) + "/" + listed)), 2u);
  }
}

}  // namespace
}  // namespace plm
