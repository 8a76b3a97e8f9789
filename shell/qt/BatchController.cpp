#include "shell/qt/BatchController.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "platform/keystate.h"
#include "shell/batchreport.h"
#include "shell/filelist.h"
#include "shell/qt/FileListView.h"
#include "shell/qt/FileTableQt.h"
#include "shell/qt/FolderTreePanel.h"
#include "shell/qt/WindowServices.h"
#include "shell/texts.h"

namespace plm {

BatchController::BatchController(WindowServices& services, const FolderTreePanel& tree, const FileListView& list,
                                 const std::string& saveFolder)
    : services_(services), tree_(tree), list_(list), saveFolder_(saveFolder) {}

void BatchController::ConvertSelected() {
  if (running_) return;
  Dialogs& boxes = services_.Boxes;
  const std::string source = tree_.SelectedFolderPath().value_or(std::string());
  const BatchCheck check = CheckBatchStart(tree_.Ready(), list_.Shown(), saveFolder_, source);
  if (check != BatchCheck::Ready) {
    const BatchCheckReport report = ReportOf(check);
    if (report.Beep) boxes.Beep();
    boxes.MessageBox(report.Error ? BoxKind::Error : BoxKind::Confirmation, report.Text, BoxButtons::Ok);
    if (report.SetsStatus) services_.SetStatus(report.Text);
    return;
  }
  if (boxes.MessageBox(BoxKind::Confirmation, kBatchQuestion, BoxButtons::YesNo) == BoxAnswer::No) {
    services_.SetStatus(kBatchCancelled);
    return;
  }

  const std::pair<int, int> selected = list_.SelectedBlock();
  const int top = selected.first;
  int bottom = selected.second;
  running_ = true;
  std::vector<ResultLine> skipped;
  {
    BlockedInput block(services_.InputGate);
    // Row by row, so the progress sentence can say which of the selected rows it is on.
    ShellState& state = services_.State;
    const std::vector<FileRow> rows = list_.Model().Rows();
    bottom = std::min(bottom, static_cast<int>(rows.size()) - 1);
    const std::function<void(const std::string&)> sink = state.Status;
    std::string place;
    state.Status = [&](const std::string& text) {
      if (sink) sink(place + text);
    };
    // Another run writing into the save folder is waited for, with the status text
    // saying so, until it ends or ESC gives up.
    SaveFolderWait wait;
    wait.OnBusy = [this] { services_.SetStatus(texts::kWaitingForSaveFolder); };
    wait.KeepWaiting = [this] {
      services_.SetStatus(texts::kWaitingForSaveFolder);
      return !services_.Keys->EscapeHeld();
    };
    lastBatch_ = RunBatchRows(
        state, rows, top, bottom, source, saveFolder_,
        [&](int r) { place = "(" + std::to_string(r - top + 1) + "/" + std::to_string(bottom - top + 1) + ") "; },
        wait);
    state.Status = sink;
    skipped = SkippedLines(lastBatch_, rows, top, bottom);
  }
  running_ = false;
  if (lastBatch_.GaveUpWaiting) {
    services_.SetStatus(kBatchCancelled);
    return;
  }
  // Without a failure the summary sentence alone; otherwise the count of failed files
  // and the list of what became of each.
  const std::string summary = BatchSummaryText(lastBatch_);
  services_.SetStatus(summary);
  if (BatchShowsResults(lastBatch_))
    boxes.ShowResults(summary + "\n" + BatchCountsText(lastBatch_, static_cast<int>(skipped.size())),
                      BatchResultLines(lastBatch_, skipped));
}

}  // namespace plm
