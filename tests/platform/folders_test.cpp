#include "platform/folders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "tests/support/bytes.h"

namespace plm {
namespace {

namespace fs = std::filesystem;

std::shared_ptr<Folder> Open(const fs::path& p) {
  std::shared_ptr<Folder> f = Folder::Open(p);
  EXPECT_TRUE(f) << p;
  return f;
}

TEST(FoldersTest, SubFoldersAreOnlyFolders) {
  plmtest::TempDir dir;
  fs::create_directories(dir / "S" / "real");
  plmtest::WriteFileBytes(dir / "S" / "file", {'x'});
  const std::shared_ptr<Folder> s = Open(dir / "S");
  struct Case {
    const char* name;
    bool create;
    const char* why;  // empty: reached
  } const cases[] = {
      {"real", false, ""},  // control
      {"made", true, ""},
      {"file", true, "is not a folder"},
      {"..", false, "is not a folder name"},
      {"a/b", true, "is not a folder name"},
      {"missing", false, "cannot be opened"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string why;
    const std::shared_ptr<Folder> sub = s->Sub(c.name, c.create, &why);
    EXPECT_EQ(sub != nullptr, *c.why == 0);
    if (sub) {
      EXPECT_EQ(sub->Identity(), IdentityOf(dir / "S" / c.name));
    } else {
      EXPECT_NE(why.find(c.why), std::string::npos) << why;
    }
  }
}

// A run holds its save folder alone and every folder above it shared: two runs never
// write into one folder, nor into a folder and one below it, while runs into sibling
// folders go on side by side.
TEST(FoldersTest, LocksKeepRunsOutOfEachOthersFolders) {
  plmtest::TempDir dir;
  fs::create_directories(dir / "S" / "a" / "deep");
  fs::create_directories(dir / "S" / "b");
  struct Case {
    const char* held;
    const char* wanted;
    LockOutcome expected;
  } const cases[] = {
      {"S/a", "S/b", LockOutcome::Locked},  // control: siblings
      {"S", "S", LockOutcome::Busy},
      {"S", "S/a", LockOutcome::Busy},
      {"S/a", "S", LockOutcome::Busy},
      {"S/a/deep", "S", LockOutcome::Busy},
      {"S/a/deep", "S/b", LockOutcome::Locked},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.held) + " held, " + c.wanted + " wanted");
    FolderLock held, wanted;
    ASSERT_EQ(held.Take(*Open(dir / c.held)), LockOutcome::Locked);
    int busy = 0;
    EXPECT_EQ(wanted.Take(*Open(dir / c.wanted), {}, [&] { ++busy; }), c.expected);
    EXPECT_EQ(busy, c.expected == LockOutcome::Busy ? 1 : 0);
    EXPECT_EQ(wanted.Held(), c.expected == LockOutcome::Locked);
    // Once the holder lets go, the waiter gets it.
    int asked = 0;
    EXPECT_EQ(wanted.Take(*Open(dir / c.wanted), [&] {
      if (++asked == 2) held.Release();
      return true;
    }), LockOutcome::Locked);
  }
}

// A run's temporary folder is swept only once its run has ended.
TEST(FoldersTest, RunFoldersOfEndedRunsAreSweptAndLiveOnesKept) {
  plmtest::TempDir dir;
  auto live = std::make_unique<RunFolder>("run-", dir.path());
  ASSERT_TRUE(live->Ok());
  plmtest::WriteFileBytes(live->Path() / "image.bmp", {'B', 'M'});
  fs::create_directories(dir / "run-dead01" / "worker-abcdef");
  plmtest::WriteFileBytes(dir / "run-dead01" / "worker-abcdef" / "image.bmp", {'B', 'M'});
  fs::create_directories(dir / "other-dead01");                      // another prefix
  fs::create_directories(dir / "run-longer-name");                   // not a run folder's name

  RunFolder::Sweep("run-", dir.path());
  EXPECT_TRUE(fs::exists(live->Path() / "image.bmp"));
  EXPECT_FALSE(fs::exists(dir / "run-dead01"));
  EXPECT_TRUE(fs::exists(dir / "other-dead01"));
  EXPECT_TRUE(fs::exists(dir / "run-longer-name"));

  // A new run sweeps as it starts; an ended one leaves nothing.
  const fs::path was = live->Path();
  live.reset();
  EXPECT_FALSE(fs::exists(was));
  fs::create_directories(dir / "run-dead02");
  RunFolder next("run-", dir.path());
  EXPECT_FALSE(fs::exists(dir / "run-dead02"));
}

}  // namespace
}  // namespace plm
