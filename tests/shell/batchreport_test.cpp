#include "shell/batchreport.h"

#include <gtest/gtest.h>

#include "tests/support/body_model.h"
#include "platform/paths.h"
#include "tests/support/bytes.h"

namespace plm {
namespace {

namespace fs = std::filesystem;
using plmtest::Bytes;

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
      // Held open by another program: said in the window's words.
      {Row(0, "a.jww", ConvertOutcome::LoadFailed, "cannot be opened: it is in use by another program (sharing)"),
       "失敗", "読み込めませんでした: ほかのプログラムがファイルを開いているため、何も変えませんでした"},
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

}  // namespace
}  // namespace plm
