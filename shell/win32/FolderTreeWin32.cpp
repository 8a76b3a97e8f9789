#include "shell/win32/FolderTreeWin32.h"

#include <commctrl.h>

#include <algorithm>

#include "text/cp932.h"

namespace plm::win32 {

void FolderTreeWin32::Create(HWND parent, int boxId, int treeId) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  box_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_READONLY | ES_AUTOHSCROLL, 0, 0, 10,
                         10, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(boxId)), instance, nullptr);
  tree_ =
      CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
                      WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT |
                          TVS_SHOWSELALWAYS | TVS_INFOTIP,
                      0, 0, 10, 10, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(treeId)), instance, nullptr);
  TreeView_SetIndent(tree_, 19);
}

void FolderTreeWin32::SetImages(Dpi dpi) {
  const int size = dpi(16);
  HIMAGELIST list = ImageList_Create(size, size, ILC_COLOR32, 2, 0);
  const COLORREF fills[2] = {RGB(250, 210, 70), RGB(225, 60, 50)};
  HDC screen = GetDC(nullptr);
  for (COLORREF fill : fills) {
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, size, size);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all{0, 0, size, size};
    FillRect(dc, &all, GetSysColorBrush(COLOR_WINDOW));
    HPEN pen =
        CreatePen(PS_SOLID, 1, RGB(GetRValue(fill) * 10 / 17, GetGValue(fill) * 10 / 17, GetBValue(fill) * 10 / 17));
    HBRUSH tab = CreateSolidBrush(RGB(GetRValue(fill) * 20 / 23, GetGValue(fill) * 20 / 23, GetBValue(fill) * 20 / 23));
    HBRUSH body = CreateSolidBrush(fill);
    SelectObject(dc, pen);
    SelectObject(dc, tab);
    Rectangle(dc, dpi(1), dpi(2), dpi(8), dpi(6));
    SelectObject(dc, body);
    Rectangle(dc, dpi(1), dpi(4), dpi(15), dpi(14));
    SelectObject(dc, old);
    DeleteDC(dc);
    ImageList_Add(list, bitmap, nullptr);
    DeleteObject(bitmap);
    DeleteObject(pen);
    DeleteObject(tab);
    DeleteObject(body);
  }
  ReleaseDC(nullptr, screen);
  TreeView_SetImageList(tree_, list, TVSIL_NORMAL);
  if (images_ != nullptr) ImageList_Destroy(images_);
  images_ = list;
}

HTREEITEM FolderTreeWin32::Insert(HTREEITEM parent, const std::string& text) {
  std::wstring shown = Wide(ShownName(text));
  TVINSERTSTRUCTW insert{};
  insert.hParent = parent;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  insert.item.pszText = shown.data();
  insert.item.iImage = insert.item.iSelectedImage = 0;
  insert.item.lParam = static_cast<LPARAM>(names_.size());
  names_.push_back(text);
  return TreeView_InsertItem(tree_, &insert);
}

void FolderTreeWin32::ShowSearchFolder(const std::string& folder) { SetWindowTextUtf8(box_, ShownName(folder)); }

void FolderTreeWin32::SearchStarting() {
  if (OnSearchStarting) OnSearchStarting();
  EnableWindow(tree_, FALSE);
  TreeView_DeleteAllItems(tree_);
  names_.clear();
  found_.clear();
}

void FolderTreeWin32::NodeAdded(const FolderTree& tree, int id) {
  const FolderTreeNode& node = tree.Node(id);
  found_.push_back(Insert(node.Parent < 0 ? TVI_ROOT : found_[static_cast<size_t>(node.Parent)], node.Text));
  if (node.Parent == 0) TreeView_Expand(tree_, found_[0], TVE_EXPAND);
}

// The desktop's order of names, as Explorer sorts them (digits by value).
bool FolderTreeWin32::NameBefore(const std::string& a, const std::string& b) {
  const std::wstring wa = Wide(ShownName(a)), wb = Wide(ShownName(b));
  return CompareStringEx(LOCALE_NAME_USER_DEFAULT, LINGUISTIC_IGNORECASE | SORT_DIGITSASNUMBERS, wa.c_str(),
                         static_cast<int>(wa.size()), wb.c_str(), static_cast<int>(wb.size()), nullptr, nullptr,
                         0) == CSTR_LESS_THAN;
}

void FolderTreeWin32::SearchEnded(const FolderTree& tree) {
  SendMessageW(tree_, WM_SETREDRAW, FALSE, 0);
  TreeView_DeleteAllItems(tree_);
  names_.clear();
  found_.clear();
  std::vector<HTREEITEM> items(tree.Count(), nullptr);
  for (int id : tree.DepthFirst()) {
    const FolderTreeNode& node = tree.Node(id);
    items[static_cast<size_t>(id)] =
        Insert(node.Parent < 0 ? TVI_ROOT : items[static_cast<size_t>(node.Parent)], node.Text);
  }
  if (!items.empty()) TreeView_Expand(tree_, items[0], TVE_EXPAND);
  TreeView_SelectItem(tree_, nullptr);
  SendMessageW(tree_, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(tree_, nullptr, TRUE);
  EnableWindow(tree_, TRUE);
}

bool FolderTreeWin32::HasSelectedNode() const { return TreeView_GetSelection(tree_) != nullptr; }

std::optional<std::string> FolderTreeWin32::SelectedFolderPath() const {
  HTREEITEM item = TreeView_GetSelection(tree_);
  if (item == nullptr) return std::nullopt;
  std::vector<std::string> texts;
  for (; item != nullptr; item = TreeView_GetParent(tree_, item)) {
    TVITEMW data{};
    data.mask = TVIF_PARAM;
    data.hItem = item;
    TreeView_GetItem(tree_, &data);
    texts.push_back(names_.at(static_cast<size_t>(data.lParam)));
  }
  std::reverse(texts.begin(), texts.end());
  return NodeFolderPath(texts);
}

}  // namespace plm::win32
