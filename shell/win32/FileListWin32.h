#pragma once
// The file list StringGrid1 as a virtual comctl32 list view: the rows live in one
// vector and are converted for display only when a cell is painted, so 20,000 rows and
// more stay fast. Whole rows are selected in one contiguous block.
#include <array>
#include <string>
#include <utility>
#include <vector>

#include "shell/windowflows.h"
#include "shell/win32/Win32Util.h"

namespace plm::win32 {

class FileListWin32 : public FileListControl {
 public:
  // Creates the list as a child of `parent` with six columns titled by `header`.
  void Create(HWND parent, int id);
  HWND Handle() const { return list_; }
  // The type filter box whose index chooses the pattern.
  void SetFilterBox(HWND combo) { filter_ = combo; }
  // Column widths in device-independent pixels; the list shows them at its DPI.
  void SetColumnWidths(const std::array<int, kFileListColumns>& widths);
  std::array<int, kFileListColumns> ColumnWidths() const;
  // The column titles' and cells' DPI changed: widths are shown at `dpi`.
  void SetDpi(Dpi dpi);

  // Answers the list's request for a cell's text (LVN_GETDISPINFOW).
  void FillCell(NMLVDISPINFOW& info);
  // Answers the list's type-ahead search (LVN_ODFINDITEMW): the first row from the
  // start row on (wrapping when asked) whose shown name begins with the typed text,
  // letters compared without regard to case; -1 when none does.
  int FindRow(const NMLVFINDITEMW& find) const;
  // The first and last row of the selected block; without one, the current row (the
  // first row when there is none) twice.
  std::pair<int, int> SelectedBlock() const;
  std::vector<int> SelectedRows() const;
  int CurrentRow() const;
  // The column under a header point (client coordinates of the header), -1 on none
  // or on a border between two columns.
  int HeaderColumnAt(POINT headerPoint) const;

  FileListState& State() { return state_; }
  const FileListState& State() const { return state_; }

  const std::vector<FileRow>& Rows() const override { return rows_; }
  void ReplaceRows(std::vector<FileRow> rows) override;
  void ReorderRows(std::vector<FileRow> rows) override;
  int ColumnWidth(int column) const override;
  int FilterIndex() const override;

 private:
  HWND list_ = nullptr;
  HWND filter_ = nullptr;
  Dpi dpi_;
  std::vector<FileRow> rows_;
  std::wstring cell_;  // the text last handed to the list
  FileListState state_;
};

}  // namespace plm::win32
