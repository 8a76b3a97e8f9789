#pragma once
// The convert command: its checks and question, the wait while another run writes into
// the save folder, the batch over the selected rows with its progress in the status
// line, and the summary and results box at its end. User input is dropped while it
// runs; it cannot be aborted.
#include <string>

#include "shell/batch.h"

namespace plm {

class FileListView;
class FolderTreePanel;
struct WindowServices;

class BatchController {
 public:
  // Everything given must outlive the controller; `saveFolder` is read at each run.
  BatchController(WindowServices& services, const FolderTreePanel& tree, const FileListView& list,
                  const std::string& saveFolder);

  void ConvertSelected();
  bool Running() const { return running_; }
  // What became of each row handed to a converter in the last batch.
  const BatchResults& LastBatch() const { return lastBatch_; }

 private:
  WindowServices& services_;
  const FolderTreePanel& tree_;
  const FileListView& list_;
  const std::string& saveFolder_;
  bool running_ = false;
  BatchResults lastBatch_;
};

}  // namespace plm
