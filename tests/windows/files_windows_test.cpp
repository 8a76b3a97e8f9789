// What only Windows does to the file layer: other programs' sharing modes, delete
// marks, attributes, UTF-16 names and long paths. Files are made and read here
// with the system's own calls, never through the layer under test.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/paths.h"
#include "tests/support/bytes.h"
#include "tests/windows/windows_fixtures.h"

namespace plm {
namespace {

namespace fs = std::filesystem;

const std::vector<uint8_t> kOld{'o', 'l', 'd'};
const std::vector<uint8_t> kNew{'n', 'e', 'w', '!'};

using plmtest::Get;
using plmtest::Hold;
using plmtest::IsHidden;
using plmtest::Long;
using plmtest::Names;
using plmtest::Put;

TEST(WindowsFilesTest, ReadingRefusesWhatIsNotARegularFile) {
  plmtest::TempDir dir;
  struct Case {
    const char* name;
    fs::path path;
    const char* reason;
  } cases[] = {
      {"device", fs::path(L"\\\\.\\NUL"), "is not a regular file"},
      {"folder", dir.path(), "is a folder, not a file"},
      {"missing", dir / "none", "cannot be opened"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string why;
    InputFile in;
    EXPECT_FALSE(in.Open(c.path, &why));
    EXPECT_EQ(why.rfind(c.reason, 0), 0u) << why;
  }
}

// A drawing the CAD program holds open can be read when it shares it for reading,
// whatever else it does; one held without sharing is refused only after retries,
// with a reason the user understands, and is left as it was.
TEST(WindowsFilesTest, AFileAnotherProgramHoldsIsReadWhenItSharesIt) {
  struct Case {
    const char* name;
    DWORD share;
    bool read;
  } cases[] = {
      {"shared for writing", FILE_SHARE_READ | FILE_SHARE_WRITE, true},
      {"shared for reading only", FILE_SHARE_READ, true},
      {"not shared", 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    plmtest::TempDir dir;
    Put(dir / "A.JWW", kOld);
    const HANDLE held = Hold(dir / "A.JWW", GENERIC_READ | GENERIC_WRITE, c.share);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::string why;
    const auto start = std::chrono::steady_clock::now();
    const auto bytes = ReadWholeFile(dir / "A.JWW", &why);
    const auto waited = std::chrono::steady_clock::now() - start;
    CloseHandle(held);
    EXPECT_EQ(bytes.has_value(), c.read) << why;
    if (c.read) {
      EXPECT_EQ(*bytes, kOld);
    } else {
      EXPECT_NE(why.find("in use by another program"), std::string::npos) << why;
      EXPECT_GE(waited, std::chrono::milliseconds(300));  // it was retried
    }
    EXPECT_EQ(Get(dir / "A.JWW"), kOld);
  }
}

// With PLM_DYING_WRITER set, the child below makes a finished temporary there and
// is then killed with it unpublished: its delete mark must remove it.
TEST(WindowsFilesTest, DISABLED_DyingWriter) {
  const char* where = std::getenv("PLM_DYING_WRITER");
  if (!where) GTEST_SKIP();
  FinishedTemporaries log(true);
  AtomicFileWriter w;
  ASSERT_TRUE(w.Create(PathFromUtf8(where) / "A.JWW"));
  ASSERT_TRUE(w.Write(kNew.data(), kNew.size()));
  ASSERT_TRUE(w.Finish());
  TerminateProcess(GetCurrentProcess(), 0);
}

TEST(WindowsFilesTest, AWriterThatDiesLeavesNoTemporary) {
  plmtest::TempDir dir;
  Put(dir / "A.JWW", kOld);
  wchar_t self[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
  std::wstring command = L"\"" + std::wstring(self) +
                         L"\" --gtest_also_run_disabled_tests --gtest_filter=WindowsFilesTest.DISABLED_DyingWriter";
  ASSERT_TRUE(SetEnvironmentVariableW(L"PLM_DYING_WRITER", dir.path().native().c_str()));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  const BOOL started =
      CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child);
  SetEnvironmentVariableW(L"PLM_DYING_WRITER", nullptr);
  ASSERT_TRUE(started);
  WaitForSingleObject(child.hProcess, 60000);
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"A.JWW"}));
  EXPECT_EQ(Get(dir / "A.JWW"), kOld);
}

// A finished temporary is hidden until it takes its name, and then no longer is; a
// taken name is replaced only when asked, and a refused one leaves both files.
TEST(WindowsFilesTest, PublishingReplacesOnlyWhenAskedAndUnhidesTheFile) {
  for (const bool replace : {true, false}) {
    SCOPED_TRACE(replace ? "replacing" : "where free");
    plmtest::TempDir dir;
    Put(dir / "T.JWW", kOld);
    FinishedTemporaries log(false);
    AtomicFileWriter w;
    ASSERT_TRUE(w.Create(dir / "T.JWW"));
    ASSERT_TRUE(w.Write(kNew.data(), kNew.size()));
    ASSERT_TRUE(w.Finish());
    ASSERT_EQ(log.Files().size(), 1u);
    FinishedTemporary& t = log.Files().front();
    EXPECT_TRUE(IsHidden(t.Path()));
    if (replace) {
      std::string why;
      ASSERT_TRUE(t.Publish(&why)) << why;
      EXPECT_EQ(Get(dir / "T.JWW"), kNew);
      EXPECT_FALSE(IsHidden(dir / "T.JWW"));
      EXPECT_TRUE(t.Identity().has_value());
    } else {
      EXPECT_EQ(t.PublishWhereFree(), PublishOutcome::Occupied);
      EXPECT_TRUE(t.Pending());
      EXPECT_TRUE(IsHidden(t.Path()));  // still a temporary, to be dropped
      EXPECT_EQ(Get(dir / "T.JWW"), kOld);
      EXPECT_EQ(Names(dir.path()).size(), 2u);
      t.Discard();
    }
    log.Files().clear();
    EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"T.JWW"}));
  }
}

// A target another program holds open without sharing cannot be replaced: after
// the retries the temporary goes, the target stays, and the reason says why.
TEST(WindowsFilesTest, ATargetHeldWithoutSharingIsLeftAsItWas) {
  plmtest::TempDir dir;
  Put(dir / "T.JWW", kOld);
  const HANDLE held = Hold(dir / "T.JWW", GENERIC_READ, FILE_SHARE_READ);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  AtomicFileWriter w;
  ASSERT_TRUE(w.Create(dir / "T.JWW"));
  ASSERT_TRUE(w.Write(kNew.data(), kNew.size()));
  std::string why;
  const bool committed = w.Commit(&why);
  CloseHandle(held);
  EXPECT_FALSE(committed);
  EXPECT_NE(why.find("cannot be renamed to"), std::string::npos) << why;
  EXPECT_EQ(Get(dir / "T.JWW"), kOld);
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"T.JWW"}));
}

// Japanese names and paths past the old 260-character limit, through every call
// that takes a path, and bytes that a text mode would change.
TEST(WindowsFilesTest, JapaneseNamesAndLongPathsKeepEveryByte) {
  plmtest::TempDir dir;
  const std::string japanese = "\xE5\x9B\xB3\xE9\x9D\xA2";  // "drawing" in kanji
  const fs::path deep = dir / std::string(120, 'd') / std::string(120, 'e') / std::string(60, 'f');
  const std::vector<uint8_t> text{'\r', '\n', 0x1a, '\n', '\r', 0};
  struct Case {
    const char* name;
    fs::path folder;
  } cases[] = {
      {"japanese", dir.path() / PathFromUtf8(japanese)},
      {"long", deep},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::path made;
    for (const fs::path& part : fs::relative(c.folder, dir.path())) {
      made = made.empty() ? dir.path() / part : made / part;
      ASSERT_TRUE(CreateDirectoryW(Long(made).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    }
    const fs::path file = c.folder / PathFromUtf8(japanese + ".jww");
    const fs::path keep = c.folder / PathFromUtf8(japanese + ".BAK");
    Put(file, text);
    EXPECT_EQ(ReadWholeFile(file), text);
    EXPECT_EQ(FileSizeOf(file), text.size());
    ASSERT_TRUE(PreserveAs(file, keep));
    EXPECT_EQ(Get(keep), text);
    std::string why;
    ASSERT_TRUE(ReplaceFileContents(file, std::string_view("\r\n\x1a", 3), &why)) << why;
    EXPECT_EQ(Get(file), (std::vector<uint8_t>{'\r', '\n', 0x1a}));
    EXPECT_EQ(Get(keep), text);  // the backup is the older file still
    ASSERT_TRUE(WriteNewFile(c.folder / "plain.bin", text, &why)) << why;
    EXPECT_EQ(Get(c.folder / "plain.bin"), text);
    EXPECT_EQ(Names(c.folder), (std::vector<std::string>{"plain.bin", japanese + ".BAK", japanese + ".jww"}));
  }
}

}  // namespace
}  // namespace plm
