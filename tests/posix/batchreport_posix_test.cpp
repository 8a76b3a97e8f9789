// Batch reports of names the file system holds as code page 932 bytes, which only
// POSIX names can be.
#include "shell/batchreport.h"

#include <gtest/gtest.h>

#include "tests/support/body_model.h"
#include "platform/paths.h"
#include "tests/support/bytes.h"

namespace plm {
namespace {

namespace fs = std::filesystem;
using plmtest::Bytes;

std::string Slashed(const fs::path& p) { return plm::Utf8FromPath(p) + "/"; }

// A figure file whose `texts` free-size texts all have spacing -0.5.
Bytes Figure(int texts) {
  plmtest::Body body;
  for (int i = 0; i < texts; ++i)
    body.Entities.push_back(plmtest::SampleMoji(i, plmtest::MakeAttr(1, 2, 0, 3, 4), 0, -0.5, "t" + std::to_string(i)));
  Bytes bytes = plmtest::JwsHeaderBytes(600);
  bytes.append(plmtest::EncodeBody(body, 600, false));
  return bytes;
}

TEST(BatchReportTest, ABatchWithACutDrawingListsItFirstWithTheReadersReason) {
  plmtest::TempDir dir;
  fs::create_directories(dir / "src");
  fs::create_directories(dir / "out");
  const Bytes good = Figure(3);
  std::vector<uint8_t> cut = good.data();
  cut.resize(cut.size() - 20);
  const std::string sjisName = "\x95\x7E\x92\x6E\x90\x7D.jws";  // 敷地図.jws in code page 932
  plmtest::WriteFileBytes(dir / "src" / "a.jws", good.data());
  plmtest::WriteFileBytes(dir / "src" / "b.jws", cut);
  plmtest::WriteFileBytes(dir / "src" / "c.JWW", good.data());  // a figure under a drawing's name
  plmtest::WriteFileBytes(dir / "src" / "d.txt", good.data());
  plmtest::WriteFileBytes(dir / "src" / sjisName, good.data());
  std::vector<FileRow> rows;
  for (const std::string name : {"a.jws", "b.jws", "c.JWW", "", "d.txt", sjisName.c_str(), "outside.jws"})
    rows.push_back({name, "1", "", "", "", ""});

  ShellState state;
  state.Options.ZeroFreeSpacing = true;
  fs::create_directories(dir / "TEMP");
  state.Images.TempFolder = dir / "TEMP";
  const BatchResults results = RunBatchRows(state, rows, 0, 5, Slashed(dir / "src"), Slashed(dir / "out"));
  ASSERT_EQ(results.Handed(), 4);
  EXPECT_EQ(BatchSummaryText(results), "変換作業を完了しました。（失敗 2 件）");

  const std::vector<ResultLine> skipped = SkippedLines(results, rows, 0, 5);
  EXPECT_EQ(BatchCountsText(results, static_cast<int>(skipped.size())), "変換 2 件、失敗 2 件、対象外 1 件");
  const std::vector<ResultLine> lines = BatchResultLines(results, skipped);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0].Name, "b.jws");
  EXPECT_TRUE(lines[0].Failed);
  EXPECT_EQ(lines[0].Outcome, "失敗");
  EXPECT_EQ(lines[0].Detail, "読み込めませんでした: " + results.Rows[1].Result.Reason);
  EXPECT_FALSE(results.Rows[1].Result.Reason.empty());
  struct Expected {
    const char* name;
    const char* outcome;
    const char* detail;
    bool failed;
  } rest[] = {{"c.JWW", "失敗", "図面ではありません", true},
              {"a.jws", "変換", "文字間隔 3 件を 0 にしました", false},
              {"敷地図.jws", "変換", "文字間隔 3 件を 0 にしました", false},
              {"d.txt", "対象外", "変換する種類のファイルではありません", false}};
  for (size_t i = 0; i < std::size(rest); ++i) {
    SCOPED_TRACE(rest[i].name);
    EXPECT_EQ(lines[i + 1].Name, rest[i].name);
    EXPECT_EQ(lines[i + 1].Outcome, rest[i].outcome);
    EXPECT_EQ(lines[i + 1].Detail, rest[i].detail);
    EXPECT_EQ(lines[i + 1].Failed, rest[i].failed);
  }
  EXPECT_TRUE(fs::exists(dir / "out" / sjisName));  // written under the raw name
  EXPECT_FALSE(fs::exists(dir / "out" / "b.jws"));
}

}  // namespace
}  // namespace plm
