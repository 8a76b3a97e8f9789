#include "platform/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "tests/support/bytes.h"

namespace plm {
namespace {

namespace fs = std::filesystem;
using plmtest::ReadFileBytes;
using plmtest::WriteFileBytes;

const std::vector<uint8_t> kOld{'o', 'l', 'd'};
const std::vector<uint8_t> kNew{'n', 'e', 'w'};

std::vector<std::string> Names(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(FilesTest, PreserveAsKeepsTheFileUnderBothNamesAndReplacesAnOlderOne) {
  plmtest::TempDir dir;
  WriteFileBytes(dir / "A.JWW", kNew);
  WriteFileBytes(dir / "A.BAK", kOld);
  ASSERT_TRUE(PreserveAs(dir / "A.JWW", dir / "A.BAK"));
  EXPECT_EQ(ReadFileBytes(dir / "A.JWW"), kNew);
  EXPECT_EQ(ReadFileBytes(dir / "A.BAK"), kNew);
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"A.BAK", "A.JWW"}));

  // A keep-name that cannot be replaced: nothing changes, and the failure says so.
  fs::create_directory(dir / "B.BAK");
  WriteFileBytes(dir / "B.JWW", kOld);
  std::string why;
  EXPECT_FALSE(PreserveAs(dir / "B.JWW", dir / "B.BAK", &why));
  EXPECT_FALSE(why.empty());
  EXPECT_EQ(ReadFileBytes(dir / "B.JWW"), kOld);
  EXPECT_TRUE(fs::is_empty(dir / "B.BAK"));
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"A.BAK", "A.JWW", "B.BAK", "B.JWW"}));
}

// A run killed right after keeping a file leaves the keep-name as a second link to
// it; keeping it again must still leave no temporary name behind.
TEST(FilesTest, PreservingOntoALinkOfTheSameFileLeavesNoTemporary) {
  plmtest::TempDir dir;
  WriteFileBytes(dir / "A.JWW", kOld);
  fs::create_hard_link(dir / "A.JWW", dir / "A.BAK");
  ASSERT_TRUE(PreserveAs(dir / "A.JWW", dir / "A.BAK"));
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"A.BAK", "A.JWW"}));
  // And the sweep removes exactly the temporaries of an interrupted write.
  WriteFileBytes(dir / ".A.JWW.plm-0123456789abcdef.tmp", kNew);
  WriteFileBytes(dir / ".A.JWW.plm-0123456789abcdeg.tmp", kNew);  // not our form
  WriteFileBytes(dir / "A.plm-0123456789abcdef.tmp", kNew);       // not hidden
  RemoveStaleTemporaries(dir.path());
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{".A.JWW.plm-0123456789abcdeg.tmp", "A.BAK", "A.JWW",
                                                         "A.plm-0123456789abcdef.tmp"}));
}

TEST(FilesTest, AnAtomicWriteShowsNothingUnderTheTargetUntilItIsPublished) {
  plmtest::TempDir dir;
  WriteFileBytes(dir / "T", kOld);
  {
    AtomicFileWriter w;
    ASSERT_TRUE(w.Create(dir / "T"));
    ASSERT_TRUE(w.Write(kNew.data(), kNew.size()));
    ASSERT_TRUE(w.Finish());
    EXPECT_EQ(ReadFileBytes(dir / "T"), kOld);
    EXPECT_EQ(Names(dir.path()).size(), 2u);  // the target and the finished temporary
    ASSERT_TRUE(w.Publish());
  }
  EXPECT_EQ(ReadFileBytes(dir / "T"), kNew);
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"T"}));

  // Dropped before its commit: the temporary goes, the target stays.
  {
    AtomicFileWriter w;
    ASSERT_TRUE(w.Create(dir / "T"));
    ASSERT_TRUE(w.Write(kOld.data(), kOld.size()));
  }
  EXPECT_EQ(ReadFileBytes(dir / "T"), kNew);
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"T"}));

  // A target that cannot be replaced (a folder): the commit fails and leaves nothing.
  fs::create_directory(dir / "D");
  WriteFileBytes(dir / "D" / "inside", kOld);
  AtomicFileWriter w;
  ASSERT_TRUE(w.Create(dir / "D"));
  std::string why;
  EXPECT_FALSE(w.Commit(&why));
  EXPECT_NE(why.find("cannot be renamed"), std::string::npos);
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"D", "T"}));
}

// A finished temporary of either kind, taken from its writer with the flush deferred.
FinishedTemporary Finished(const fs::path& target, const std::vector<uint8_t>& bytes, TemporaryKind kind) {
  FinishedTemporaries log(true);
  AtomicFileWriter w;
  EXPECT_TRUE(w.Create(target, nullptr, NewFilePermissions::Default, kind));
  EXPECT_TRUE(w.Write(bytes.data(), bytes.size()));
  EXPECT_TRUE(w.Finish());
  EXPECT_EQ(log.Files().size(), 1u);
  return log.Files().empty() ? FinishedTemporary() : std::move(log.Files().front());
}

// Both kinds take a free name in one step, never a taken one, and replace a taken
// name only when asked; whatever fails leaves no temporary behind.
TEST(FilesTest, TemporariesOfBothKindsTakeFreeNamesAndReplaceOnlyWhenAsked) {
  for (const TemporaryKind kind : {TemporaryKind::Hidden, TemporaryKind::Unnamed}) {
    SCOPED_TRACE(kind == TemporaryKind::Unnamed ? "unnamed" : "hidden");
    plmtest::TempDir dir;
    // Where the folder has no unnamed files, an unnamed temporary is a hidden one.
    const bool unnamed =
        kind == TemporaryKind::Unnamed && Folder::Open(dir.path())->Capabilities().UnnamedTemporaries;
    {
      FinishedTemporary t = Finished(dir / "N", kNew, kind);
      ASSERT_TRUE(t.Pending());
      EXPECT_EQ(t.Path().empty(), unnamed);
      EXPECT_EQ(Names(dir.path()).size(), unnamed ? 0u : 1u);  // nothing under a name it could take
      EXPECT_TRUE(t.Flush());
      EXPECT_EQ(t.PublishWhereFree(), PublishOutcome::Published);
      EXPECT_FALSE(t.Pending());
      EXPECT_TRUE(t.FlushName());
    }
    EXPECT_EQ(ReadFileBytes(dir / "N"), kNew);  // and still there once the holder is gone

    WriteFileBytes(dir / "T", kOld);
    FinishedTemporary t = Finished(dir / "T", kNew, kind);
    EXPECT_EQ(t.PublishWhereFree(), PublishOutcome::Occupied);
    EXPECT_EQ(ReadFileBytes(dir / "T"), kOld);
    ASSERT_TRUE(t.Pending());
    EXPECT_TRUE(t.Publish());
    EXPECT_EQ(ReadFileBytes(dir / "T"), kNew);

    FinishedTemporary dropped = Finished(dir / "X", kNew, kind);
    dropped.Discard();
    EXPECT_FALSE(dropped.Pending());

    fs::create_directory(dir / "D");
    FinishedTemporary onFolder = Finished(dir / "D", kNew, kind);
    EXPECT_EQ(onFolder.PublishWhereFree(), PublishOutcome::Occupied);
    std::string why;
    EXPECT_FALSE(onFolder.Publish(&why));
    EXPECT_NE(why.find("cannot be renamed to"), std::string::npos) << why;

    AtomicFileWriter lost;  // its folder was never there
    EXPECT_FALSE(lost.Create(dir / "gone" / "Y", &why, NewFilePermissions::Default, kind));
    EXPECT_NE(why.find("cannot create a file in"), std::string::npos) << why;
    EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"D", "N", "T"}));
    EXPECT_TRUE(fs::is_empty(dir / "D"));
  }
}

// Unnamed temporaries are held open until published; far more of them than the
// descriptors set aside for that still all arrive, the rest under hidden names.
TEST(FilesTest, ManyUnnamedTemporariesAtOnceAllArrive) {
  plmtest::TempDir dir;
  std::vector<FinishedTemporary> held;
  for (int i = 0; i < 700; ++i) {
    const std::string name = "f" + std::to_string(i);
    held.push_back(Finished(dir / name, std::vector<uint8_t>(name.begin(), name.end()), TemporaryKind::Unnamed));
  }
  for (FinishedTemporary& t : held) EXPECT_EQ(t.PublishWhereFree(), PublishOutcome::Published);
  held.clear();
  EXPECT_EQ(Names(dir.path()).size(), 700u);
  for (int i = 0; i < 700; i += 99) {
    const std::string name = "f" + std::to_string(i);
    EXPECT_EQ(ReadFileBytes(dir / name), std::vector<uint8_t>(name.begin(), name.end()));
  }
}

TEST(FilesTest, AWholeFileIsReadUpToItsLimit) {
  plmtest::TempDir dir;
  std::vector<uint8_t> big(200000);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 31 + 7);
  WriteFileBytes(dir / "big", big);
  EXPECT_EQ(ReadWholeFile(dir / "big"), big);
  EXPECT_EQ(ReadWholeFile(dir / "big", nullptr, big.size()), big);
  std::string why;
  EXPECT_FALSE(ReadWholeFile(dir / "big", &why, big.size() - 1));
  EXPECT_NE(why.find("larger than"), std::string::npos);
}

TEST(FilesTest, AFileIsReadThroughOneOpenAndRefusedOnItsHead) {
  plmtest::TempDir dir;
  std::vector<uint8_t> big(300000), small{'J', 'w', 'w'};
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 13 + 1);
  WriteFileBytes(dir / "big", big);
  WriteFileBytes(dir / "small", small);
  fs::create_directory(dir / "folder");
  struct Case {
    const char* name;
    bool accept;
    size_t headSeen;  // what the check is shown
    bool read, refused;
  } cases[] = {
      {"big", true, size_t{1} << 16, true, false},  // the control
      {"big", false, size_t{1} << 16, false, true},  // the rest is never read
      {"small", true, 3, true, false},
      {"small", false, 3, false, true},
      {"missing", true, 0, false, false},
      {"folder", true, 0, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + (c.accept ? " accepted" : " refused"));
    size_t seen = 0;
    bool refused = true;
    std::string why;
    const auto bytes = ReadWholeFileIf(
        dir / c.name,
        [&](std::span<const uint8_t> head) {
          seen = head.size();
          return c.accept;
        },
        &refused, &why);
    EXPECT_EQ(bytes.has_value(), c.read);
    EXPECT_EQ(refused, c.refused);
    EXPECT_EQ(seen, c.headSeen);
    if (c.read) {
      EXPECT_EQ(*bytes, std::string(c.name) == "big" ? big : small);
    }
    if (!c.read && !c.refused) {
      EXPECT_FALSE(why.empty());
    }
  }
}

TEST(FilesTest, KeepingAnExistingFileSaysWhenNothingIsThere) {
  plmtest::TempDir dir;
  WriteFileBytes(dir / "A.JWW", kNew);
  fs::create_directory(dir / "D.JWW");
  fs::create_directory(dir / "E.BAK");
  WriteFileBytes(dir / "E.BAK" / "inside", kOld);
  WriteFileBytes(dir / "E.JWW", kOld);
  EXPECT_EQ(KeepExistingAs(dir / "A.JWW", dir / "A.BAK"), KeepOutcome::Kept);
  EXPECT_EQ(ReadFileBytes(dir / "A.BAK"), kNew);
  EXPECT_EQ(KeepExistingAs(dir / "M.JWW", dir / "M.BAK"), KeepOutcome::NothingThere);
  EXPECT_EQ(KeepExistingAs(dir / "D.JWW", dir / "D.BAK"), KeepOutcome::NothingThere);  // a folder is no output
  std::string why;
  EXPECT_EQ(KeepExistingAs(dir / "E.JWW", dir / "E.BAK", &why), KeepOutcome::Failed);
  EXPECT_FALSE(why.empty());
  EXPECT_EQ(ReadFileBytes(dir / "E.JWW"), kOld);
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"A.BAK", "A.JWW", "D.JWW", "E.BAK", "E.JWW"}));
}

// A finished temporary taken over by the log keeps its name until it is published,
// and goes when it is dropped unpublished.
TEST(FilesTest, DeferredTemporariesArePublishedOrRemoved) {
  plmtest::TempDir dir;
  WriteFileBytes(dir / "T", kOld);
  for (const bool publish : {true, false}) {
    SCOPED_TRACE(publish ? "published" : "dropped");
    FinishedTemporary taken;
    {
      FinishedTemporaries log(true);
      AtomicFileWriter w;
      ASSERT_TRUE(w.Create(dir / "T"));
      ASSERT_TRUE(w.Write(kNew.data(), kNew.size()));
      ASSERT_TRUE(w.Finish());
      ASSERT_EQ(log.Files().size(), 1u);
      taken = std::move(log.Files().front());
    }
    ASSERT_TRUE(taken.Pending());
    EXPECT_EQ(taken.Bytes(), kNew.size());
    EXPECT_EQ(ReadFileBytes(dir / "T"), kOld);
    FileSystemFlush flush;
    ASSERT_TRUE(flush.Open(dir.path()));
    if (Folder::Open(dir.path())->Capabilities().WholeVolumeFlush) {
      EXPECT_TRUE(flush.Sync());
    }
    EXPECT_TRUE(taken.Flush());
    if (publish) {
      EXPECT_TRUE(taken.Publish());
      EXPECT_EQ(ReadFileBytes(dir / "T"), kNew);
      EXPECT_TRUE(FlushFile(dir / "T"));
      WriteFileBytes(dir / "T", kOld);
    } else {
      taken.Discard();
    }
    EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"T"}));
  }
}

}  // namespace
}  // namespace plm
