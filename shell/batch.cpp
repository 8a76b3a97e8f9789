#include "shell/batch.h"

#include <algorithm>

#include "jws/jwsunit.h"
#include "jww/jwwunit.h"
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

RowAction DecideBatchRow(const std::string& fileName, const std::string& inputPath) {
  const std::string ext = UpperExtensionOf(fileName);
  if (ext == ".JWW") return IsJwwFile(inputPath) ? RowAction::ConvertJww : RowAction::Skip;
  if (ext == ".JWS") return IsJwsFile(inputPath) ? RowAction::ConvertJws : RowAction::Skip;
  return RowAction::Skip;
}

int RunBatchRows(ShellState& state, const std::vector<FileRow>& rows, int top, int bottom,
                 const std::string& sourceFolder, const std::string& saveFolder) {
  const int last = std::min(bottom, static_cast<int>(rows.size()) - 1);
  ConvertHooks hooks;
  hooks.Verify = true;
  int handed = 0;
  for (int r = std::max(top, 0); r <= last; ++r) {
    // A copy: the status repaint inside a driver must not see the row change under it.
    const std::string name = rows[static_cast<size_t>(r)][kColName];
    if (name.empty()) continue;
    const std::string input = sourceFolder + name;
    const std::string output = saveFolder + name;
    switch (DecideBatchRow(name, input)) {
      case RowAction::ConvertJww: ConvertJwwFile(state, input, output, ConvertMode::Write, hooks); ++handed; break;
      case RowAction::ConvertJws: ConvertJwsFile(state, input, output, ConvertMode::Write, hooks); ++handed; break;
      case RowAction::Skip: break;
    }
  }
  return handed;
}

}  // namespace plm
