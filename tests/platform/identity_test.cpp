#include "platform/folders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <system_error>

#include "platform/files.h"
#include "tests/support/bytes.h"

namespace plm {
namespace {

namespace fs = std::filesystem;

// Two opens of one folder, however it is named, have one identity (and one hash);
// different folders have different ones.
TEST(FolderIdentityTest, EqualExactlyForTheSameFolder) {
  plmtest::TempDir dir;
  fs::create_directories(dir / "A" / "inner");
  fs::create_directories(dir / "B");
  struct Case {
    const char* first;
    const char* second;
    bool same;
  } const cases[] = {
      {"A", "A", true},  // control
      {"A", "A/inner/..", true},
      {"A", "B", false},
      {"A", "A/inner", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.first) + " / " + c.second);
    const std::shared_ptr<Folder> a = Folder::Open(dir / c.first), b = Folder::Open(dir / c.second);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->Identity() == b->Identity(), c.same);
    if (c.same) {
      EXPECT_EQ(std::hash<FileIdentity>{}(a->Identity()), std::hash<FileIdentity>{}(b->Identity()));
    }
    EXPECT_EQ(IdentityOf(dir / c.second), std::optional(b->Identity()));
  }
}

// The answers agree with what the folder does: a folder allows links exactly when a
// hard link can be made there, an unnamed temporary needs links to be named by, and
// one volume's folders share one flush.
TEST(FolderCapabilitiesTest, AnswersAgreeWithTheFolder) {
  plmtest::TempDir dir;
  fs::create_directories(dir / "A");
  fs::create_directories(dir / "B");
  plmtest::WriteFileBytes(dir / "A" / "file", {'x'});
  std::error_code ec;
  fs::create_hard_link(dir / "A" / "file", dir / "A" / "second", ec);
  const std::shared_ptr<Folder> a = Folder::Open(dir / "A"), b = Folder::Open(dir / "B");
  ASSERT_TRUE(a && b);
  const FolderCapabilities can = a->Capabilities();
  EXPECT_EQ(can.Links, !ec);
  EXPECT_EQ(can.Links, a->AllowsLinks());
  if (can.UnnamedTemporaries) {
    EXPECT_TRUE(can.Links);
  }
  if (can.WholeVolumeFlush) {
    FileSystemFlush fa, fb;
    ASSERT_TRUE(fa.Open(*a) && fb.Open(*b));
    EXPECT_TRUE(fa.Volume() == fb.Volume());
    EXPECT_TRUE(fa.Sync());
  }
}

}  // namespace
}  // namespace plm
