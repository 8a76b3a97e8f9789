#include "shell/qt/BatchController.h"

#include <tuple>
#include <vector>

#include "shell/filelist.h"
#include "shell/qt/FileListView.h"
#include "shell/qt/FileTableQt.h"
#include "shell/qt/FolderTreePanel.h"
#include "shell/qt/WindowServices.h"
#include "shell/windowflows.h"

namespace plm {

BatchController::BatchController(WindowServices& services, const FolderTreePanel& tree, const FileListView& list,
                                 const std::string& saveFolder)
    : services_(services), tree_(tree), list_(list), saveFolder_(saveFolder) {}

void BatchController::ConvertSelected() {
  if (running_) return;
  BatchRequest request;
  request.FolderTreeReady = tree_.Ready();
  request.FileListShown = list_.Shown();
  request.SaveFolder = saveFolder_;
  request.SourceFolder = tree_.SelectedFolderPath().value_or(std::string());
  const std::vector<FileRow> rows = list_.Model().Rows();  // a copy: nothing may change it under the batch
  request.Rows = &rows;
  std::tie(request.Top, request.Bottom) = list_.SelectedBlock();
  running_ = true;
  lastBatch_ = RunBatchCommand(services_, services_.State, request);
  running_ = false;
}

}  // namespace plm
