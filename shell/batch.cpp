#include "shell/batch.h"

#include <algorithm>

#include "platform/files.h"
#include "platform/fsutil.h"
#include "shell/batchrun.h"
#include "shell/conversion.h"
#include "shell/texts.h"

namespace plm {

BatchCheck CheckBatchStart(bool folderTreeReady, bool fileListShown, const std::string& saveFolder,
                           const std::string& sourceFolder) {
  if (!folderTreeReady) return BatchCheck::NoSearchFolder;
  if (!fileListShown || sourceFolder.empty()) return BatchCheck::NoFileList;
  if (saveFolder.empty()) return BatchCheck::NoSaveFolder;
  if (saveFolder == sourceFolder || IsSameFolder(saveFolder, sourceFolder)) return BatchCheck::SameFolder;
  return BatchCheck::Ready;
}

BatchCheckReport ReportOf(BatchCheck check) {
  switch (check) {
    case BatchCheck::NoSearchFolder: return {true, true, texts::kSpecifySearchFolder, true};
    case BatchCheck::NoFileList: return {true, true, texts::kNoFileList, false};
    case BatchCheck::NoSaveFolder: return {true, false, texts::kSpecifySaveFolder, false};
    case BatchCheck::SameFolder:
      return {true, false, texts::kSameFolders, false};
    case BatchCheck::Ready: break;
  }
  return {false, false, {}, false};
}

const DrawingFormat* DecideBatchRow(const std::string& fileName, const std::string& inputPath) {
  const DrawingFormat* format = FormatForName(fileName);
  if (!format || !format->Document || !format->Probe || !format->Probe(inputPath)) return nullptr;
  return format;
}

int BatchResults::Failed() const {
  int failed = 0;
  for (const BatchRowResult& r : Rows) failed += r.Result.Ok() ? 0 : 1;
  return failed;
}

BatchResults RunBatchRows(ShellState& state, const std::vector<FileRow>& rows, int top, int bottom,
                          const std::string& sourceFolder, const std::string& saveFolder,
                          const std::function<void(int row)>& beforeRow) {
  const int first = std::max(top, 0);
  const int last = std::min(bottom, static_cast<int>(rows.size()) - 1);
  BatchResults results;
  if (last < first) return results;
  // What an earlier batch that was killed left behind goes before anything is written.
  RemoveStaleTemporaries(saveFolder);
  // A copy of each name: the status repaint must not see a row change under it.
  std::vector<std::string> names;
  for (int r = first; r <= last; ++r) names.push_back(rows[static_cast<size_t>(r)][kColName]);
  std::vector<const DrawingFormat*> formats(names.size(), nullptr);

  RowOrderedRun run;
  run.Rows = names.size();
  run.Workers = state.BatchWorkers > 0 ? state.BatchWorkers : DefaultWorkers();
  run.Starting = [&](size_t i) {
    if (beforeRow) beforeRow(first + static_cast<int>(i));
  };
  // The row's decision as DecideBatchRow makes it, from the one read of the file
  // that also feeds the load.
  run.Prepare = [&](size_t i, int, ShellState& worker, const std::function<void(const std::string&)>& status) {
    BatchRowWork work;
    const std::string& name = names[i];
    const DrawingFormat* format = name.empty() ? nullptr : FormatForName(name);
    if (!format || !format->Document || !format->Probe) return work;
    const std::string input = sourceFolder + name;
    const std::string output = saveFolder + name;
    const DocumentHandler& doc = *format->Document;
    bool accepted = false, headOnly = false;
    std::string why;
    const std::optional<std::vector<uint8_t>> bytes = ReadWholeFileIf(
        input, [&](std::span<const uint8_t> head) { return accepted = StartsWithSignature(doc, head); }, nullptr,
        &why, kLoadFromBytesUpTo, &headOnly);
    if (!accepted) return work;  // cannot be opened or not this format: skipped silently
    formats[i] = format;
    status(ConversionStatusText(input, output));
    if (!bytes) {  // the rest of the file could not be read
      work.Conversion.Result.Outcome = ConvertOutcome::LoadFailed;
      work.Conversion.Result.Reason = why;
      return work;
    }
    ConvertHooks hooks;
    hooks.Verify = true;
    hooks.DeferFlush = true;
    work.Conversion =
        PrepareConversion(worker, *format, input, output, ConvertMode::Write, hooks,
                          headOnly ? std::nullopt : std::optional(std::span<const uint8_t>(*bytes)));
    return work;
  };
  run.Done = [&](size_t i, BatchRowWork&, const ConvertResult& result) {
    if (formats[i]) results.Rows.push_back({first + static_cast<int>(i), names[i], formats[i], result});
  };
  RunRowOrdered(state, run);
  return results;
}

}  // namespace plm
