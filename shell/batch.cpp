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
  if (saveFolder == sourceFolder || IsSameFolder(PathFromUtf8(saveFolder), PathFromUtf8(sourceFolder))) return BatchCheck::SameFolder;
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

int BatchResults::Failed() const {
  int failed = 0;
  for (const BatchRowResult& r : Rows) failed += r.Result.Ok() ? 0 : 1;
  return failed;
}

BatchResults RunBatchRows(ShellState& state, const std::vector<FileRow>& rows, int top, int bottom,
                          const std::string& sourceFolder, const std::string& saveFolder,
                          const std::function<void(int row)>& beforeRow, const SaveFolderWait& wait) {
  const int first = std::max(top, 0);
  const int last = std::min(bottom, static_cast<int>(rows.size()) - 1);
  BatchResults results;
  if (last < first) return results;
  // Held for the whole batch; what an earlier batch that was killed left behind goes
  // before anything is written.
  SaveFolderSession session;
  std::string saveProblem;
  switch (session.Open(PathFromUtf8(saveFolder), wait, &saveProblem)) {
    case SaveFolderSession::Opened::Ready: break;
    case SaveFolderSession::Opened::Busy: results.GaveUpWaiting = true; return results;
    case SaveFolderSession::Opened::Failed:
      saveProblem = "the save folder " + saveFolder + " " + saveProblem;
      break;
  }
  std::shared_ptr<Folder> outputFolder = saveProblem.empty() ? session.OutputFolder({}, &saveProblem) : nullptr;
  // The batch's bound images go to a folder of its own, which a later batch sweeps
  // should this one be killed.
  struct ImagesOfTheBatch {
    ShellState& state;
    const std::filesystem::path own = state.Images.TempFolder;
    std::optional<RunFolder> folder;
    explicit ImagesOfTheBatch(ShellState& s) : state(s) {
      if (own.empty()) return;
      folder.emplace("batch-", own);
      if (folder->Ok()) state.Images.TempFolder = folder->Path() / "";
    }
    ~ImagesOfTheBatch() { state.Images.TempFolder = own; }
  } images(state);
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
  run.Prepare = [&](size_t i, int, ShellState& worker, const std::function<void(const std::string&)>& status) {
    BatchRowWork work;
    const std::string& name = names[i];
    const std::string input = sourceFolder + name;
    const ConversionInput read = ReadConversionInput(input, name);
    if (read.Verdict == InputVerdict::OtherName) return work;
    formats[i] = read.Format;
    ConvertResult& r = work.Conversion.Result;
    if (read.Verdict != InputVerdict::Readable) {  // selected as a drawing, yet nothing can come of it: a failure
      const bool probed = read.Verdict == InputVerdict::NotThisFormat;
      r.Outcome = probed                    ? ConvertOutcome::NotADrawing
                  : !IdentityOf(PathFromUtf8(input)) ? ConvertOutcome::Missing
                                           : ConvertOutcome::LoadFailed;
      r.Reason = probed ? std::string(read.Format->NotThisFormat) : read.Why;
      return work;
    }
    ConvertHooks hooks;
    hooks.Verify = true;
    hooks.DeferFlush = true;
    work.Conversion = PrepareReadInput(worker, read, input, saveFolder + name,
                                       OutputTarget{outputFolder, name, &session}, ConvertMode::Write, hooks, status,
                                       outputFolder ? std::string() : saveProblem);
    return work;
  };
  run.Done = [&](size_t i, BatchRowWork&, const ConvertResult& result) {
    if (formats[i]) results.Rows.push_back({first + static_cast<int>(i), names[i], formats[i], result});
  };
  RunRowOrdered(state, run);
  return results;
}

}  // namespace plm
