#include "platform/folders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "tests/support/bytes.h"

namespace plm {
namespace {

namespace fs = std::filesystem;

// A sub-folder is never reached through a symbolic link; a folder opened through
// one by its path is the folder it leads to.
TEST(FoldersPosixTest, SubFoldersAreNeverReachedThroughALink) {
  plmtest::TempDir dir;
  fs::create_directories(dir / "S");
  fs::create_directories(dir / "elsewhere");
  fs::create_directory_symlink(dir / "elsewhere", dir / "S" / "link");
  const std::shared_ptr<Folder> s = Folder::Open(dir / "S");
  ASSERT_TRUE(s);
  for (const bool create : {false, true}) {
    std::string why;
    EXPECT_FALSE(s->Sub("link", create, &why));
    EXPECT_NE(why.find("is a link"), std::string::npos) << why;
  }
  EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));
  fs::create_directory_symlink(dir / "S", dir / "S-link");
  const std::shared_ptr<Folder> viaLink = Folder::Open(dir / "S-link");
  ASSERT_TRUE(viaLink);
  EXPECT_EQ(viaLink->Identity(), s->Identity());
  EXPECT_EQ(IdentityOf(dir / "S-link"), std::optional(s->Identity()));
}

// A sweep of run folders never follows a link of a run folder's name.
TEST(FoldersPosixTest, SweepingRunFoldersLeavesLinksAlone) {
  plmtest::TempDir dir;
  fs::create_directories(dir / "target");
  plmtest::WriteFileBytes(dir / "target" / "keep", {'k'});
  fs::create_directory_symlink(dir / "target", dir / "run-link01");
  RunFolder::Sweep("run-", dir.path());
  EXPECT_TRUE(fs::exists(dir / "target" / "keep"));
  EXPECT_TRUE(fs::is_symlink(dir / "run-link01"));
}

}  // namespace
}  // namespace plm
