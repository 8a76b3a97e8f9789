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

BatchRowResult Row(int row, const char* name, ConvertOutcome outcome, std::string reason = {}, uint64_t texts = 0) {
  BatchRowResult r;
  r.Row = row;
  r.Name = name;
  r.Result.Outcome = outcome;
  r.Result.Reason = std::move(reason);
  r.Result.Changes.Texts = texts;
  return r;
}

TEST(BatchReportTest, SummarySaysHowManyFailedAndOnlyThenShowsResults) {
  struct Case {
    std::vector<BatchRowResult> rows;
    const char* summary;
    bool shows;
  } cases[] = {
      {{}, "変換作業を完了しました。", false},  // control: nothing handed, the design's sentence
      {{Row(1, "a.jww", ConvertOutcome::Converted, {}, 3)}, "変換作業を完了しました。", false},
      {{Row(1, "a.jww", ConvertOutcome::Converted), Row(2, "b.jww", ConvertOutcome::LoadFailed, "cut"),
        Row(4, "c.jws", ConvertOutcome::VerifyFailed, "differs")},
       "変換作業を完了しました。（失敗 2 件）", true},
      {{Row(0, "x.jww", ConvertOutcome::SaveFailed, "disk full")}, "変換作業を完了しました。（失敗 1 件）", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.summary);
    BatchResults results;
    results.Rows = c.rows;
    EXPECT_EQ(BatchSummaryText(results), c.summary);
    EXPECT_EQ(BatchShowsResults(results), c.shows);
  }
}

TEST(BatchReportTest, EachOutcomeHasItsLine) {
  struct Case {
    BatchRowResult row;
    const char* outcome;
    std::string detail;
  } cases[] = {
      {Row(0, "a.jww", ConvertOutcome::Converted, {}, 7), "変換", "文字間隔 7 件を 0 にしました"},
      {Row(0, "a.jww", ConvertOutcome::Converted), "変換", "変更する文字間隔はありませんでした"},
      {Row(0, "a.jww", ConvertOutcome::LoadFailed, "ends at byte 0x1A3"), "失敗",
       "読み込めませんでした: ends at byte 0x1A3"},
      {Row(0, "a.jww", ConvertOutcome::BackupFailed, "no rename"), "失敗",
       "保存先の既存ファイルをバックアップできませんでした: no rename"},
      {Row(0, "a.jww", ConvertOutcome::SaveFailed, "the output cannot be created"), "失敗",
       "書き込めませんでした: the output cannot be created"},
      {Row(0, "a.jww", ConvertOutcome::VerifyFailed, "differs at byte 9"), "失敗",
       "書き込んだファイルを読み直せませんでした: differs at byte 9"},
      // A reason quoting a code page 932 path is shown decoded, never as broken UTF-8.
      {Row(0, "a.jww", ConvertOutcome::BackupFailed, "renamed to /o/\x95\x7E\x92\x6E\x90\x7D.BAK: denied"), "失敗",
       "保存先の既存ファイルをバックアップできませんでした: renamed to /o/敷地図.BAK: denied"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.detail);
    const ResultLine line = ResultLineOf(c.row);
    EXPECT_EQ(line.Name, "a.jww");
    EXPECT_EQ(line.Outcome, c.outcome);
    EXPECT_EQ(line.Detail, c.detail);
    EXPECT_EQ(line.Failed, std::string(c.outcome) == "失敗");
  }
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
