#include "shell/win32/FileListWin32.h"

#include <commctrl.h>

#include <algorithm>

namespace plm::win32 {
namespace {

constexpr int kInitialEmptyRows = 4;  // the grid starts as header and four empty rows

}  // namespace

void FileListWin32::Create(HWND parent, int id) {
  list_ =
      CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                      WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS, 0, 0, 10, 10,
                      parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_LABELTIP);
  dpi_ = DpiOf(list_);
  for (int c = 0; c < kFileListColumns; ++c) {
    std::wstring title = Wide(FileListHeader()[static_cast<size_t>(c)]);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.fmt = LVCFMT_LEFT;
    column.pszText = title.data();
    column.cx = dpi_(kDefaultColumnWidth);
    ListView_InsertColumn(list_, c, &column);
  }
  ReplaceRows(std::vector<FileRow>(kInitialEmptyRows));
}

void FileListWin32::SetColumnWidths(const std::array<int, kFileListColumns>& widths) {
  for (int c = 0; c < kFileListColumns; ++c)
    ListView_SetColumnWidth(list_, c, dpi_(std::max(0, widths[static_cast<size_t>(c)])));
}

std::array<int, kFileListColumns> FileListWin32::ColumnWidths() const {
  std::array<int, kFileListColumns> widths{};
  for (int c = 0; c < kFileListColumns; ++c) widths[static_cast<size_t>(c)] = ColumnWidth(c);
  return widths;
}

void FileListWin32::SetDpi(Dpi dpi) {
  const std::array<int, kFileListColumns> widths = ColumnWidths();
  dpi_ = dpi;
  SetColumnWidths(widths);
}

int FileListWin32::ColumnWidth(int column) const { return dpi_.Unscale(ListView_GetColumnWidth(list_, column)); }

int FileListWin32::FilterIndex() const {
  return filter_ != nullptr ? static_cast<int>(SendMessageW(filter_, CB_GETCURSEL, 0, 0)) : 0;
}

void FileListWin32::FillCell(NMLVDISPINFOW& info) {
  if ((info.item.mask & LVIF_TEXT) == 0 || info.item.iItem < 0 || static_cast<size_t>(info.item.iItem) >= rows_.size())
    return;
  cell_ = Wide(CellDisplayText(rows_[static_cast<size_t>(info.item.iItem)], info.item.iSubItem));
  // The size column is right-aligned in the text itself; the list shows it as it is.
  lstrcpynW(info.item.pszText, cell_.c_str(), info.item.cchTextMax);
}

int FileListWin32::FindRow(const NMLVFINDITEMW& find) const {
  if ((find.lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) == 0 || find.lvfi.psz == nullptr || rows_.empty()) return -1;
  const std::wstring typed = find.lvfi.psz;
  const int count = static_cast<int>(rows_.size());
  const int start = std::clamp(find.iStart, 0, count - 1);
  const int span = (find.lvfi.flags & LVFI_WRAP) != 0 ? count : count - start;
  for (int i = 0; i < span; ++i) {
    const int row = (start + i) % count;
    const std::wstring name = Wide(CellDisplayText(rows_[static_cast<size_t>(row)], kColName));
    if (name.size() >= typed.size() &&
        CompareStringEx(LOCALE_NAME_USER_DEFAULT, NORM_IGNORECASE, name.c_str(), static_cast<int>(typed.size()),
                        typed.c_str(), static_cast<int>(typed.size()), nullptr, nullptr, 0) == CSTR_EQUAL)
      return row;
  }
  return -1;
}

void FileListWin32::ReplaceRows(std::vector<FileRow> rows) {
  rows_ = std::move(rows);
  ListView_SetItemState(list_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_SetItemCountEx(list_, static_cast<int>(rows_.size()), 0);
  if (!rows_.empty()) ListView_EnsureVisible(list_, 0, FALSE);
  SendMessageW(list_, WM_HSCROLL, SB_LEFT, 0);  // a new list starts at its left edge
  InvalidateRect(list_, nullptr, TRUE);
}

void FileListWin32::ReorderRows(std::vector<FileRow> rows) {
  if (rows.size() != rows_.size()) {
    ReplaceRows(std::move(rows));
    return;
  }
  rows_ = std::move(rows);
  InvalidateRect(list_, nullptr, FALSE);
}

std::vector<int> FileListWin32::SelectedRows() const {
  std::vector<int> selected;
  for (int i = ListView_GetNextItem(list_, -1, LVNI_SELECTED); i >= 0;
       i = ListView_GetNextItem(list_, i, LVNI_SELECTED))
    selected.push_back(i);
  return selected;
}

std::pair<int, int> FileListWin32::SelectedBlock() const {
  const int top = ListView_GetNextItem(list_, -1, LVNI_SELECTED);
  if (top < 0) {
    const int current = std::max(CurrentRow(), 0);
    return {current, current};
  }
  int bottom = top;
  for (int i = top; i >= 0; i = ListView_GetNextItem(list_, i, LVNI_SELECTED)) bottom = i;
  return {top, bottom};
}

int FileListWin32::CurrentRow() const { return ListView_GetNextItem(list_, -1, LVNI_FOCUSED); }

int FileListWin32::HeaderColumnAt(POINT p) const {
  HWND header = ListView_GetHeader(list_);
  HDHITTESTINFO hit{};
  hit.pt = p;
  const int column = static_cast<int>(SendMessageW(header, HDM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  if (column < 0 || (hit.flags & (HHT_ONDIVIDER | HHT_ONDIVOPEN)) != 0 || (hit.flags & HHT_ONHEADER) == 0) return -1;
  return column;
}

}  // namespace plm::win32
