#pragma once
// The file list: one row per drawing of the listed folder, whole rows selected in one
// contiguous block. A press on a column title sorts by that column (on the attribute
// column it lists the folder again), the size column is padded again when resized,
// and a double click opens the current file with the desktop's program.
#include <QTableView>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "shell/windowflows.h"

class QComboBox;

namespace plm {

class FileTableModel;
class FolderTreePanel;
struct WindowServices;

class FileListView : public QTableView, public FileListControl {
  Q_OBJECT
 public:
  // `tree` gives the folder to list again and to open from, `fileType` the filter;
  // all three must outlive the view.
  FileListView(WindowServices& services, const FolderTreePanel& tree, const QComboBox& fileType);

  // Fills the list with the files of folderPath (ending in "/"); nothing during a
  // search or a listing.
  void ListFiles(const std::string& folderPath);
  // One empty row, no list shown.
  void Reset();
  void RepadFileSizes();
  // A mouse button went down on the header; `column` is the column under the pointer
  // or -1.
  void HeaderPressed(int column);
  void OpenCurrentFile();
  // First and last row of the selected block; without one, the current row (the
  // first row when there is none) twice.
  std::pair<int, int> SelectedBlock() const;

  FileTableModel& Model() { return *model_; }
  const FileTableModel& Model() const { return *model_; }
  const std::string& ListedFolder() const { return state_.ListedFolder; }  // the rows' folder
  bool Shown() const { return state_.Shown; }
  bool SortDescending() const { return state_.Descending; }
  void ClearFlags() { state_.Shown = state_.Descending = false; }
  FileListState& State() { return state_; }

  // FileListControl.
  const std::vector<FileRow>& Rows() const override;
  void ReplaceRows(std::vector<FileRow> rows) override;
  void ReorderRows(std::vector<FileRow> rows) override;
  int ColumnWidth(int column) const override;
  int FilterIndex() const override;

  // Opens a file with the desktop's associated program; false when none could.
  // Replaceable for tests.
  std::function<bool(const std::string& path)> OpenFile;

 protected:
  // Shift+Ctrl+Home and Shift+Ctrl+End extend the block to the first and last row as
  // Shift+Home and Shift+End would.
  QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index, const QEvent* event) const override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  WindowServices& services_;
  const FolderTreePanel& tree_;
  const QComboBox& fileType_;
  FileTableModel* model_ = nullptr;
  FileListState state_;
};

}  // namespace plm
