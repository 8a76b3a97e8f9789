// The virtual file list on a real list view: what the keyboard's type-ahead finds, and
// which rows a batch takes from the selection.
#include "shell/win32/FileListWin32.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using plm::win32::FileListWin32;

struct ListWindow {
  HWND Parent = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  FileListWin32 List;
  ListWindow() {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_LISTVIEW_CLASSES;
    InitCommonControlsEx(&controls);
    List.Create(Parent, 1);
  }
  ~ListWindow() { DestroyWindow(Parent); }
  void Show(const std::vector<std::string>& names) {
    std::vector<plm::FileRow> rows;
    for (const std::string& name : names) {
      plm::FileRow row;
      row[plm::kColName] = name;
      rows.push_back(row);
    }
    List.ReplaceRows(rows);
  }
  void Select(const std::vector<int>& rows) {
    ListView_SetItemState(List.Handle(), -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    for (int r : rows) ListView_SetItemState(List.Handle(), r, LVIS_SELECTED, LVIS_SELECTED);
  }
};

TEST(FileListWin32Test, TypeAheadFindsTheNextNameThatBeginsWithTheTypedText) {
  ListWindow w;
  w.Show({"plan300.jww", "Plan600.jww", "図面.jww", "part.jws"});
  struct Case {
    const char* name;
    const wchar_t* typed;
    int start;
    bool wrap;
    int expected;
  };
  const Case cases[] = {
      {"from the top", L"plan", 0, false, 0},
      {"letters without case", L"PLAN6", 0, false, 1},
      {"from the start row on", L"plan", 1, false, 1},
      {"a Japanese name", L"図", 0, false, 2},
      {"wrapping past the end", L"plan3", 2, true, 0},
      {"not wrapping", L"plan3", 2, false, -1},
      {"no such name", L"x", 0, true, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    NMLVFINDITEMW find{};
    find.iStart = c.start;
    find.lvfi.flags = LVFI_STRING | LVFI_PARTIAL | (c.wrap ? LVFI_WRAP : 0);
    find.lvfi.psz = c.typed;
    EXPECT_EQ(w.List.FindRow(find), c.expected);
  }
}

TEST(FileListWin32Test, ABatchTakesTheSelectedBlockOrTheCurrentRow) {
  ListWindow w;
  w.Show({"a", "b", "c", "d", "e"});
  struct Case {
    const char* name;
    std::vector<int> selected;
    int current;
    std::pair<int, int> block;
  };
  const Case cases[] = {
      {"one block", {1, 2, 3}, 1, {1, 3}},
      {"one row", {4}, 4, {4, 4}},
      {"nothing selected: the current row", {}, 2, {2, 2}},
      {"nothing at all: the first row", {}, -1, {0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    w.Select(c.selected);
    if (c.current >= 0) ListView_SetItemState(w.List.Handle(), c.current, LVIS_FOCUSED, LVIS_FOCUSED);
    EXPECT_EQ(w.List.SelectedBlock(), c.block);
  }
}

TEST(FileListWin32Test, ColumnWidthsStayDeviceIndependentAtAnyDpi) {
  ListWindow w;
  w.List.SetColumnWidths({100, 64, 40, 250, 130, 0});
  const std::array<int, plm::kFileListColumns> before = w.List.ColumnWidths();
  w.List.SetDpi(plm::win32::Dpi{192});
  EXPECT_EQ(ListView_GetColumnWidth(w.List.Handle(), 3), 500);
  EXPECT_EQ(w.List.ColumnWidths(), before);
  EXPECT_EQ(w.List.ColumnWidth(plm::kColSize), 64);  // the size field is reckoned at 100 %
}

}  // namespace
