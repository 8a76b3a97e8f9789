// The file list over a real folder: a read-only file shows its mark, folders and
// hidden names are left out, and the listing can be aborted.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>

#include "shell/filelist.h"
#include "tests/support/bytes.h"
#include "tests/support/shell_fixtures.h"

namespace plm {
namespace {

TEST(FileListTest, ListFilesSkipsFoldersAndHiddenNamesAndCanBeAborted) {
  plmtest::TempDir dir;
  plmtest::WriteFileBytes(dir / "a.jww", plmtest::JwwDrawingWithMemo("memo").data());
  plmtest::WriteFileBytes(dir / "b.JWW", std::vector<uint8_t>(1234, 1));
  plmtest::WriteFileBytes(dir / ".hidden.jww", {});
  plmtest::WriteFileBytes(dir / "c.txt", {});
  std::filesystem::create_directory(dir / "sub.jww");
  ::chmod((dir / "b.JWW").c_str(), 0444);
  const std::string folder = plmtest::Slashed(dir.path());

  auto state = std::make_unique<ShellState>();
  std::vector<std::string> status;
  state->Status = [&](const std::string& s) { status.push_back(s); };
  ListFilesResult listed = ListFiles(*state, folder, 2, 64);
  ASSERT_EQ(listed.Rows.size(), 2u);
  EXPECT_TRUE(listed.FileListShown);
  EXPECT_FALSE(listed.Aborted);
  EXPECT_EQ(status, (std::vector<std::string>{"フォルダ「" + folder + "」を検索中(ESC:中断)",
                                              "2 Files  パス名「" + folder + "」"}));
  for (const FileRow& row : listed.Rows) {
    SCOPED_TRACE(row[kColName]);
    if (row[kColName] == "b.JWW") {
      EXPECT_EQ(row[kColSize], "    1234");
      EXPECT_EQ(row[kColMemo], "");
      EXPECT_EQ(row[kColAttr], "R ");
    } else {
      EXPECT_EQ(row[kColName], "a.jww");
      EXPECT_EQ(row[kColMemo], "memo");
      EXPECT_EQ(row[kColAttr], "");
    }
    EXPECT_EQ(row[kColType], UpperExtensionOf(row[kColName]));
  }

  status.clear();
  int asked = 0;
  listed = ListFiles(*state, folder, 0, 64, [&] { return ++asked == 2; });
  EXPECT_TRUE(listed.Aborted);
  EXPECT_EQ(listed.Rows.size(), 1u);
  EXPECT_TRUE(listed.FileListShown);
  EXPECT_EQ(status.back(), "検索を中断しました。");

  listed = ListFiles(*state, folder + "missing/", 0, 64);
  EXPECT_TRUE(listed.Rows.empty());
  EXPECT_FALSE(listed.FileListShown);
  EXPECT_FALSE(listed.Error.empty());
  EXPECT_EQ(status.back(), "0 Files  パス名「" + folder + "missing/」");
}

}  // namespace
}  // namespace plm
