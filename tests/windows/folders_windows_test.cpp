#include "platform/folders.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/filesearch.h"
#include "platform/fsutil.h"
#include "platform/paths.h"
#include "tests/support/bytes.h"
#include "tests/windows/windows_fixtures.h"

namespace plm {
namespace {

namespace fs = std::filesystem;

using plmtest::Long;
using plmtest::MakeFile;

class WindowsFoldersTest : public ::testing::Test {
 protected:
  void TearDown() override {
    // Attributes a test set would keep the files from being removed.
    std::error_code ec;
    for (fs::recursive_directory_iterator it(dir_.path(), ec), end; !ec && it != end; it.increment(ec))
      SetFileAttributesW(Long(it->path()).c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  fs::path operator/(const char* name) const { return dir_.path() / name; }
  plmtest::TempDir dir_;
};

// Identities come from the volume and the file index, never zero, and one folder
// has one however it is spelled.
TEST_F(WindowsFoldersTest, OneFolderHasOneIdentityHoweverSpelled) {
  fs::create_directories(*this / "Plans" / "inner");
  fs::create_directories(*this / "Other");
  const std::wstring base = dir_.path().native();
  struct Case {
    const wchar_t* spelling;
    bool same;
  } const cases[] = {
      {L"\\Plans", true},  // control
      {L"\\PLANS", true},
      {L"\\plans\\", true},
      {L"/Plans/inner/..", true},
      {L"\\Plans\\.\\", true},
      {L"\\Other", false},
      {L"\\Plans\\inner", false},
  };
  const std::shared_ptr<Folder> plans = Folder::Open(*this / "Plans");
  ASSERT_TRUE(plans);
  EXPECT_NE(plans->Identity(), FileIdentity());
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8FromPath(c.spelling));
    const fs::path p(base + c.spelling);
    const std::shared_ptr<Folder> f = Folder::Open(p);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->Identity() == plans->Identity(), c.same);
    EXPECT_EQ(IdentityOf(p) == std::optional(plans->Identity()), c.same);
    EXPECT_EQ(IsSameFolder(p, *this / "Plans"), c.same);
  }
}

// A held folder is neither renamed nor removed from under a run.
TEST_F(WindowsFoldersTest, AHeldFolderCannotBeRenamedOrRemoved) {
  fs::create_directories(*this / "Save");
  std::shared_ptr<Folder> held = Folder::Open(*this / "Save");
  ASSERT_TRUE(held);
  EXPECT_FALSE(MoveFileExW(Long(*this / "Save").c_str(), Long(*this / "Moved").c_str(), 0));
  EXPECT_FALSE(RemoveDirectoryW(Long(*this / "Save").c_str()));
  // Others may still read and write in it.
  MakeFile(*this / "Save" / "a.jww", "x");
  held.reset();
  EXPECT_TRUE(MoveFileExW(Long(*this / "Save").c_str(), Long(*this / "Moved").c_str(), 0));  // control
}

// Hidden and system files are left out of the file list and marked hidden in a
// folder listing; the attributes the list shows are the files' own.
TEST_F(WindowsFoldersTest, AttributesDecideWhatIsListedAndHowItShows) {
  struct Case {
    const char* name;
    DWORD attributes;
    bool listed, hidden, archive, readOnly;
  } const cases[] = {
      {"plain.jww", FILE_ATTRIBUTE_NORMAL, true, false, false, false},  // control
      {"archived.jww", FILE_ATTRIBUTE_ARCHIVE, true, false, true, false},
      {"locked.jww", FILE_ATTRIBUTE_READONLY, true, false, false, true},
      {"hidden.jww", FILE_ATTRIBUTE_HIDDEN, false, true, false, false},
      {"system.jww", FILE_ATTRIBUTE_SYSTEM, false, true, false, false},
  };
  for (const Case& c : cases) MakeFile(*this / c.name, "abc", c.attributes);
  fs::create_directories(*this / "folder.jww");

  std::map<std::string, FoundFile> listed;
  FileSearch search;
  ASSERT_TRUE(search.Open(Utf8FromPath(dir_.path()), "*.jww")) << search.Error();
  for (FoundFile f; search.Next(f);) listed[f.Name] = f;
  EXPECT_EQ(search.Error(), "");
  std::map<std::string, FolderEntry> entries;
  ASSERT_TRUE(ForEachFolderEntry(dir_.path(), [&](const FolderEntry& e) {
    entries[e.Name] = e;
    return true;
  }));
  EXPECT_FALSE(listed.contains("folder.jww"));
  EXPECT_TRUE(entries["folder.jww"].IsFolder);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(listed.contains(c.name), c.listed);
    ASSERT_TRUE(entries.contains(c.name));
    EXPECT_EQ(entries[c.name].Hidden, c.hidden);
    EXPECT_FALSE(entries[c.name].IsFolder || entries[c.name].IsLink);
    if (!c.listed) continue;
    const FoundFile& f = listed[c.name];
    EXPECT_EQ(f.Size, 3u);
    // Some file systems set the archive bit on every file; it is reported as held.
    const DWORD held = GetFileAttributesW(Long(*this / c.name).c_str());
    EXPECT_EQ(f.Archive, (held & FILE_ATTRIBUTE_ARCHIVE) != 0);
    if (c.archive) {
      EXPECT_TRUE(f.Archive);
    }
    EXPECT_EQ(f.ReadOnly, c.readOnly);
    EXPECT_GE(f.LastWrite.Year, 2020);
  }
}

// Sizes past 4 GiB come through whole (a sparse file costs no disk).
TEST_F(WindowsFoldersTest, SizesAreNotCutAt32Bits) {
  const HANDLE h = CreateFileW(Long(*this / "big.jww").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD unused = 0;
  DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &unused, nullptr);
  const uint64_t size = (uint64_t{5} << 30) + 7;
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(size);
  ASSERT_TRUE(SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && SetEndOfFile(h));
  CloseHandle(h);
  FileSearch search;
  ASSERT_TRUE(search.Open(Utf8FromPath(dir_.path()), "*"));
  FoundFile f;
  ASSERT_TRUE(search.Next(f));
  EXPECT_EQ(f.Size, size);
}

// One lock per folder, whatever path it was opened by, between two holders.
TEST_F(WindowsFoldersTest, LocksHoldAcrossSpellingsAndAncestors) {
  fs::create_directories(*this / "S" / "a");
  const std::wstring base = dir_.path().native();
  struct Case {
    const wchar_t* held;
    const wchar_t* wanted;
    LockOutcome expected;
  } const cases[] = {
      {L"\\S", L"\\S\\a", LockOutcome::Busy},  // control
      {L"\\S", L"\\s\\", LockOutcome::Busy},
      {L"\\s\\A", L"\\S", LockOutcome::Busy},
      {L"\\S\\a", L"\\S\\a\\..\\a", LockOutcome::Busy},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8FromPath(std::wstring(c.held) + L" held, " + c.wanted + L" wanted"));
    FolderLock held, wanted;
    ASSERT_EQ(held.Take(*Folder::Open(fs::path(base + c.held))), LockOutcome::Locked);
    EXPECT_EQ(wanted.Take(*Folder::Open(fs::path(base + c.wanted))), c.expected);
    held.Release();
    EXPECT_EQ(wanted.Take(*Folder::Open(fs::path(base + c.wanted))), LockOutcome::Locked);
  }
}

// A live run's folder survives a sweep with all its files; a dead run's goes, even
// with its mark left behind and files the run made read-only or hidden.
TEST_F(WindowsFoldersTest, RunFoldersAreSweptOnlyWhenTheirRunIsGone) {
  RunFolder live("run-", dir_.path());
  ASSERT_TRUE(live.Ok());
  MakeFile(live.Path() / "image.bmp", "BM");
  fs::create_directories(*this / "run-dead01" / "worker");
  MakeFile(*this / "run-dead01" / ".plm-run.lock", "", FILE_ATTRIBUTE_HIDDEN);
  MakeFile(*this / "run-dead01" / "worker" / "image.bmp", "BM", FILE_ATTRIBUTE_READONLY);
  MakeFile(*this / "run-dead01" / "hidden.bmp", "BM", FILE_ATTRIBUTE_HIDDEN);
  RunFolder::Sweep("run-", dir_.path());
  EXPECT_TRUE(fs::exists(live.Path() / "image.bmp"));
  EXPECT_FALSE(fs::exists(*this / "run-dead01"));
  // The run's mark keeps its folder from being removed from outside.
  EXPECT_FALSE(RemoveDirectoryW(Long(live.Path()).c_str()));
}

// Japanese names and paths past MAX_PATH reach the same files through every call.
TEST_F(WindowsFoldersTest, JapaneseNamesAndLongPathsWork) {
  const std::string segment = "図面フォルダ二階平面詳細図面フォルダ二階平面詳細図面フォルダ二階平面詳細";
  fs::path deep = dir_.path();
  for (int i = 0; i < 9; ++i) deep /= PathFromUtf8(segment + std::to_string(i));
  ASSERT_GT(Long(deep).size(), 360u);
  ASSERT_TRUE(CreateFolders(deep));
  EXPECT_TRUE(IsExistingFolder(deep));
  std::shared_ptr<Folder> folder = Folder::Open(deep);
  ASSERT_TRUE(folder);
  std::shared_ptr<Folder> sub = folder->Sub("木造平面", true);
  ASSERT_TRUE(sub);
  EXPECT_TRUE(folder->HoldsFolder("木造平面"));
  MakeFile(sub->Path() / PathFromUtf8("木造平面例.jww"), "jww");
  EXPECT_TRUE(IsExistingFile(sub->PathOf("木造平面例.jww")));
  EXPECT_TRUE(sub->IdentityOf("木造平面例.jww"));

  FileSearch search;
  ASSERT_TRUE(search.Open(Utf8FromPath(sub->Path()), "*.JWW")) << search.Error();
  FoundFile found;
  ASSERT_TRUE(search.Next(found));
  EXPECT_EQ(found.Name, "木造平面例.jww");
  std::vector<std::string> names;
  ASSERT_TRUE(ForEachFolderEntry(sub->Path(), [&](const FolderEntry& e) {
    names.push_back(e.Name);
    return true;
  }));
  EXPECT_EQ(names, std::vector<std::string>{"木造平面例.jww"});

  ASSERT_TRUE(RenameFile(sub->PathOf("木造平面例.jww"), sub->PathOf("改訂.jww")));
  EXPECT_FALSE(IsExistingFile(sub->PathOf("木造平面例.jww")));
  ASSERT_TRUE(RemoveFile(sub->PathOf("改訂.jww")));
  EXPECT_FALSE(RemoveFile(sub->Path()));  // never a folder
  EXPECT_TRUE(IsExistingFolder(sub->Path()));

  // Removed here: the test folder's own clean-up stops at MAX_PATH.
  const fs::path innermost = sub->Path();
  search.Close();
  sub.reset();
  folder.reset();
  fs::path p = innermost;
  for (int level = 0; level < 10; ++level, p = p.parent_path()) EXPECT_TRUE(RemoveDirectoryW(Long(p).c_str())) << level;
  EXPECT_EQ(p, dir_.path());
}

}  // namespace
}  // namespace plm
