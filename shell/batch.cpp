#include "shell/batch.h"

#include <algorithm>

#include "platform/files.h"
#include "platform/fsutil.h"
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
  const int last = std::min(bottom, static_cast<int>(rows.size()) - 1);
  ConvertHooks hooks;
  hooks.Verify = true;
  BatchResults results;
  // What an earlier batch that was killed left behind goes before anything is written.
  RemoveStaleTemporaries(saveFolder);
  for (int r = std::max(top, 0); r <= last; ++r) {
    if (beforeRow) beforeRow(r);
    // A copy: the status repaint inside a driver must not see the row change under it.
    const std::string name = rows[static_cast<size_t>(r)][kColName];
    if (name.empty()) continue;
    const std::string input = sourceFolder + name;
    const std::string output = saveFolder + name;
    if (const DrawingFormat* format = DecideBatchRow(name, input))
      results.Rows.push_back({r, name, format, ConvertFile(state, *format, input, output, ConvertMode::Write, hooks)});
  }
  return results;
}

}  // namespace plm
