#pragma once
// The batch conversion command without a window: its checks before the confirmation
// and the row loop over the selected range of the file list.
#include <functional>
#include <string>
#include <vector>

#include "shell/conversion.h"
#include "shell/filelist.h"
#include "shell/formats.h"
#include "shell/savefolder.h"
#include "shell/shellstate.h"
#include "shell/texts.h"

namespace plm {

enum class BatchCheck { Ready, NoSearchFolder, NoFileList, NoSaveFolder, SameFolder };

// The first failing check of the command, in its order; a list without a source
// folder counts as no list. The save folder counts as the
// source folder when the texts are equal or when both name the same existing folder
// however spelled (letter case, links, "..") : converting into the source folder
// would rename the original to its backup and could lose it.
BatchCheck CheckBatchStart(bool folderTreeReady, bool fileListShown, const std::string& saveFolder,
                           const std::string& sourceFolder);

// What the window shows for a failed check.
struct BatchCheckReport {
  bool Beep = true;
  bool Error = true;        // error box; otherwise a confirmation box with OK alone
  std::string Text;         // the box text
  bool SetsStatus = false;  // the status text becomes the box text
};
BatchCheckReport ReportOf(BatchCheck check);

// The command's texts, spelled once in the window texts.
using texts::kBatchQuestion;
using texts::kBatchCancelled;
using texts::kBatchDone;

// What became of one row handed to a converter.
struct BatchRowResult {
  int Row = 0;
  std::string Name;
  const DrawingFormat* Format = nullptr;
  ConvertResult Result;
};

struct BatchResults {
  std::vector<BatchRowResult> Rows;  // in row order; skipped rows are not listed
  // Another run was writing into the save folder and the wait for it was given up:
  // nothing was converted.
  bool GaveUpWaiting = false;
  int Handed() const { return static_cast<int>(Rows.size()); }
  int Failed() const;
};

// Converts rows top..bottom (inclusive, clamped to the rows) from sourceFolder into
// saveFolder, top to bottom, each output verified after writing. `beforeRow` (when
// set) is called with each row's number before the row is looked at, so the window
// can say which of the selected rows it is on. The save folder is held for the
// batch (see SaveFolderSession); while another run writes there the batch waits as
// `wait` says. A row whose name is a converted format's but whose file is missing
// or not of that format is a failed row (NotADrawing, Missing).
BatchResults RunBatchRows(ShellState& state, const std::vector<FileRow>& rows, int top, int bottom,
                          const std::string& sourceFolder, const std::string& saveFolder,
                          const std::function<void(int row)>& beforeRow = {}, const SaveFolderWait& wait = {});

}  // namespace plm
