#include "shell/batchreport.h"

#include <algorithm>
#include <set>

#include "text/cp932.h"
#include "shell/formats.h"
#include "shell/texts.h"
#include "platform/files.h"

namespace plm {

std::string BatchSummaryText(const BatchResults& results) {
  const int failed = results.Failed();
  if (failed == 0) return texts::kBatchDone;
  return std::string(texts::kBatchDone) + texts::kBatchFailedBefore + std::to_string(failed) +
         texts::kBatchFailedAfter;
}

bool BatchShowsResults(const BatchResults& results) { return results.Failed() > 0; }

std::string BatchCountsText(const BatchResults& results, int skipped) {
  const int failed = results.Failed();
  const auto count = [](const char* what, int n) { return what + std::to_string(n) + texts::kCountUnit; };
  std::string text = count(texts::kCountConverted, results.Handed() - failed) + texts::kCountSeparator +
                     count(texts::kCountFailed, failed);
  if (skipped > 0) text += texts::kCountSeparator + count(texts::kCountSkipped, skipped);
  return text;
}

ResultLine ResultLineOf(const BatchRowResult& row) {
  ResultLine line;
  line.Name = ShownName(row.Name);
  const ConvertResult& r = row.Result;
  if (r.Ok()) {
    line.Outcome = texts::kOutcomeConverted;
    const uint64_t changed = r.Changes.Total();
    line.Detail = changed > 0 ? texts::kSpacingChangedBefore + std::to_string(changed) + texts::kSpacingChangedAfter
                              : std::string(texts::kSpacingUnchanged);
    return line;
  }
  line.Failed = true;
  line.Outcome = texts::kOutcomeFailed;
  if (r.Outcome == ConvertOutcome::NotADrawing || r.Outcome == ConvertOutcome::Missing) {
    line.Detail = r.Outcome == ConvertOutcome::Missing ? texts::kFailedMissing : texts::kFailedNotDrawing;
    return line;
  }
  const char* lead = texts::kLoadFailed;
  switch (r.Outcome) {
    case ConvertOutcome::BackupFailed: lead = texts::kBackupFailed; break;
    case ConvertOutcome::SaveFailed: lead = texts::kSaveFailed; break;
    case ConvertOutcome::VerifyFailed: lead = texts::kVerifyFailed; break;
    default: break;
  }
  // A reason may quote a path, whose bytes need not be UTF-8.
  line.Detail = r.Reason.find(kInUseByAnotherProgram) != std::string::npos ? lead + std::string(texts::kInUseByAnother)
                                                                          : lead + ShownName(r.Reason);
  return line;
}

std::vector<ResultLine> SkippedLines(const BatchResults& results, const std::vector<FileRow>& rows, int top,
                                     int bottom) {
  std::set<int> handed;
  for (const BatchRowResult& r : results.Rows) handed.insert(r.Row);
  std::vector<ResultLine> lines;
  const int last = std::min(bottom, static_cast<int>(rows.size()) - 1);
  for (int r = std::max(top, 0); r <= last; ++r) {
    const std::string& name = rows[static_cast<size_t>(r)][kColName];
    if (name.empty() || handed.count(r) != 0) continue;
    const DrawingFormat* format = FormatForName(name);
    const bool converted = format != nullptr && format->Converted();
    lines.push_back({ShownName(name), texts::kOutcomeSkipped,
                     converted ? texts::kSkippedNotDrawing : texts::kSkippedOtherType, false});
  }
  return lines;
}

std::vector<ResultLine> BatchResultLines(const BatchResults& results, const std::vector<ResultLine>& skipped) {
  std::vector<ResultLine> lines;
  for (const BatchRowResult& r : results.Rows)
    if (!r.Result.Ok()) lines.push_back(ResultLineOf(r));
  for (const BatchRowResult& r : results.Rows)
    if (r.Result.Ok()) lines.push_back(ResultLineOf(r));
  lines.insert(lines.end(), skipped.begin(), skipped.end());
  return lines;
}

}  // namespace plm
