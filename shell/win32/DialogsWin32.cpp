#include "shell/win32/DialogsWin32.h"

#include <commctrl.h>
#include <shobjidl.h>

#include <algorithm>

#include "shell/texts.h"

namespace plm::win32 {
namespace {

// The system's boxes carry the system language's button texts; the hook gives them the
// window's own as the box activates.
thread_local HHOOK boxHook = nullptr;

LRESULT CALLBACK RenameBoxButtons(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    const HWND box = reinterpret_cast<HWND>(wParam);
    SetDlgItemTextW(box, IDOK, Wide(kBoxOkText).c_str());
    SetDlgItemTextW(box, IDYES, Wide(kBoxYesText).c_str());
    SetDlgItemTextW(box, IDNO, Wide(kBoxNoText).c_str());
    const HHOOK hook = boxHook;
    boxHook = nullptr;
    UnhookWindowsHookEx(hook);
    return 0;
  }
  return CallNextHookEx(boxHook, code, wParam, lParam);
}

UINT IconOf(BoxKind kind, BoxButtons buttons) {
  switch (kind) {
    case BoxKind::Error:
      return MB_ICONERROR;
    case BoxKind::Information:
      return MB_ICONINFORMATION;
    case BoxKind::Confirmation:
      return buttons == BoxButtons::YesNo ? MB_ICONQUESTION : MB_ICONINFORMATION;
  }
  return 0;
}

template <class T>
struct ComRelease {
  T* p = nullptr;
  ~ComRelease() {
    if (p) p->Release();
  }
};

}  // namespace

BoxAnswer Win32Dialogs::MessageBox(BoxKind kind, const std::string& text, BoxButtons buttons) {
  const UINT type = (buttons == BoxButtons::YesNo ? MB_YESNO | MB_DEFBUTTON1 : MB_OK) | IconOf(kind, buttons);
  boxHook = SetWindowsHookExW(WH_CBT, RenameBoxButtons, nullptr, GetCurrentThreadId());
  const int answer = MessageBoxW(owner_, Wide(text).c_str(), Wide(BoxCaption(kind)).c_str(), type);
  if (boxHook != nullptr) {
    UnhookWindowsHookEx(boxHook);
    boxHook = nullptr;
  }
  if (buttons == BoxButtons::Ok) return BoxAnswer::Ok;
  return answer == IDYES ? BoxAnswer::Yes : BoxAnswer::No;
}

void Win32Dialogs::Beep() { MessageBeep(MB_OK); }

std::optional<std::string> Win32Dialogs::ChooseFolder(const std::string& title, const std::string& startFolder,
                                                      FolderUse) {
  ComRelease<IFileOpenDialog> dialog;
  if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog.p))))
    return std::nullopt;
  FILEOPENDIALOGOPTIONS options = 0;
  dialog.p->GetOptions(&options);
  options |= FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST | FOS_NOCHANGEDIR;
  dialog.p->SetOptions(options);
  dialog.p->SetTitle(Wide(title).c_str());
  std::wstring start = Wide(startFolder);
  while (start.size() > 3 && (start.back() == L'\\' || start.back() == L'/')) start.pop_back();
  ComRelease<IShellItem> folder;
  if (!start.empty() && SUCCEEDED(SHCreateItemFromParsingName(start.c_str(), nullptr, IID_PPV_ARGS(&folder.p)))) {
    dialog.p->SetFolder(folder.p);
    // The folder itself stands in the name box, so OK (or Return) takes it as it is.
    dialog.p->SetFileName(start.c_str());
  }
  if (FAILED(dialog.p->Show(owner_))) return std::nullopt;
  ComRelease<IShellItem> chosen;
  if (FAILED(dialog.p->GetResult(&chosen.p))) return std::nullopt;
  wchar_t* path = nullptr;
  if (FAILED(chosen.p->GetDisplayName(SIGDN_FILESYSPATH, &path)) || path == nullptr) return std::nullopt;
  std::string result = Utf8(path);
  CoTaskMemFree(path);
  if (result.empty()) return std::nullopt;
  if (result.back() != '\\' && result.back() != '/') result += '\\';
  return result;
}

void Win32Dialogs::ShowResults(const std::string& summary, const std::vector<ResultLine>& lines) {
  ShowResultsDialog(owner_, summary, lines);
}

INT_PTR RunModalDialog(HWND owner, DWORD style, DLGPROC proc, LPARAM param) {
  // DLGTEMPLATE, then no menu, the default class and an empty title, DWORD-aligned.
  alignas(DWORD) WORD words[sizeof(DLGTEMPLATE) / sizeof(WORD) + 4] = {};
  auto* t = reinterpret_cast<DLGTEMPLATE*>(words);
  t->style = style;
  t->cx = 100;
  t->cy = 50;
  return DialogBoxIndirectParamW(GetModuleHandleW(nullptr), t, owner, proc, param);
}

HWND MakeControl(HWND parent, const wchar_t* windowClass, std::string_view text, DWORD style, int id, RECT r, Dpi dpi,
                 DWORD exStyle) {
  return CreateWindowExW(exStyle, windowClass, Wide(text).c_str(), WS_CHILD | WS_VISIBLE | style, dpi(r.left),
                         dpi(r.top), dpi(r.right - r.left), dpi(r.bottom - r.top), parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

SIZE FrameSize(HWND window, int width96, int height96, Dpi dpi) {
  RECT frame{0, 0, dpi(width96), dpi(height96)};
  AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)), static_cast<UINT>(dpi.Value));
  return {frame.right - frame.left, frame.bottom - frame.top};
}

namespace {

constexpr int kResultsSummary = 101, kResultsList = 102;

struct ResultsDialog {
  const std::string* Summary;
  const std::vector<ResultLine>* Lines;
  HWND Owner;
  HFONT Font = nullptr;
  std::vector<std::wstring> Cells{};  // 3 per line

  void Layout(HWND dialog) const {
    RECT client;
    GetClientRect(dialog, &client);
    const Dpi dpi = DpiOf(dialog);
    const int w = client.right, h = client.bottom, m = dpi(8), buttonH = dpi(26), summaryH = dpi(34);
    MoveWindow(GetDlgItem(dialog, kResultsSummary), m, m, w - 2 * m, summaryH, TRUE);
    MoveWindow(GetDlgItem(dialog, kResultsList), m, m + summaryH + m, w - 2 * m,
               std::max(0, h - summaryH - buttonH - 4 * m), TRUE);
    MoveWindow(GetDlgItem(dialog, IDOK), w - m - dpi(88), h - m - buttonH, dpi(88), buttonH, TRUE);
    // The content column takes what the name and the result leave.
    HWND list = GetDlgItem(dialog, kResultsList);
    RECT inside;
    GetClientRect(list, &inside);
    const int rest = inside.right - ListView_GetColumnWidth(list, 0) - ListView_GetColumnWidth(list, 1);
    ListView_SetColumnWidth(list, 2, std::max(rest, static_cast<int>(dpi(120))));
  }

  void Init(HWND dialog) {
    const Dpi dpi = DpiOf(dialog);
    SetWindowTextW(dialog, Wide(texts::kResultsCaption).c_str());
    Font = MakeFont(kFormFaces, 12, dpi);
    MakeControl(dialog, L"STATIC", *Summary, SS_LEFT | SS_NOPREFIX, kResultsSummary, {0, 0, 10, 10}, dpi);
    HWND list = MakeControl(dialog, WC_LISTVIEWW, "", LVS_REPORT | LVS_SHOWSELALWAYS | WS_TABSTOP | WS_BORDER,
                            kResultsList, {0, 0, 10, 10}, dpi);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP | LVS_EX_DOUBLEBUFFER);
    HWND ok = MakeControl(dialog, L"BUTTON", kBoxOkText, BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK, {0, 0, 10, 10}, dpi);
    SetFontOnAll(dialog, Font);
    for (int c = 0; c < 3; ++c) {
      std::wstring title = Wide(texts::kResultsHeader[static_cast<size_t>(c)]);
      LVCOLUMNW column{};
      column.mask = LVCF_TEXT | LVCF_WIDTH;
      column.pszText = title.data();
      column.cx = dpi(100);
      ListView_InsertColumn(list, c, &column);
    }
    for (const ResultLine& line : *Lines) {
      Cells.push_back(Wide(line.Name));
      Cells.push_back(Wide(line.Outcome));
      Cells.push_back(Wide(line.Detail));
    }
    for (size_t i = 0; i < Lines->size(); ++i) {
      LVITEMW item{};
      item.mask = LVIF_TEXT | LVIF_PARAM;
      item.iItem = static_cast<int>(i);
      item.pszText = Cells[3 * i].data();
      item.lParam = (*Lines)[i].Failed ? 1 : 0;
      ListView_InsertItem(list, &item);
      ListView_SetItemText(list, static_cast<int>(i), 1, Cells[3 * i + 1].data());
      ListView_SetItemText(list, static_cast<int>(i), 2, Cells[3 * i + 2].data());
    }
    ListView_SetColumnWidth(list, 0, LVSCW_AUTOSIZE_USEHEADER);
    ListView_SetColumnWidth(list, 1, LVSCW_AUTOSIZE_USEHEADER);
    // 640 by 320 device-independent pixels, centred on the owner.
    const SIZE frame = FrameSize(dialog, 640, 320, dpi);
    RECT owner{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (Owner != nullptr) GetWindowRect(Owner, &owner);
    const int fw = frame.cx, fh = frame.cy;
    SetWindowPos(dialog, nullptr, owner.left + (owner.right - owner.left - fw) / 2,
                 owner.top + (owner.bottom - owner.top - fh) / 2, fw, fh, SWP_NOZORDER);
    Layout(dialog);
    SetFocus(ok);
  }
};

INT_PTR CALLBACK ResultsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<ResultsDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      reinterpret_cast<ResultsDialog*>(lParam)->Init(dialog);
      return FALSE;  // the focus is set
    case WM_SIZE:
      if (self) self->Layout(dialog);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, IDOK);
      return TRUE;
    case WM_NOTIFY: {
      auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(lParam);
      if (draw->nmcd.hdr.idFrom != kResultsList || draw->nmcd.hdr.code != NM_CUSTOMDRAW) return FALSE;
      LRESULT result = CDRF_DODEFAULT;
      if (draw->nmcd.dwDrawStage == CDDS_PREPAINT)
        result = CDRF_NOTIFYITEMDRAW;
      else if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT && draw->nmcd.lItemlParam != 0)
        draw->clrText = RGB(190, 0, 0);  // a failed file
      SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
      return TRUE;
    }
    case WM_DESTROY:
      if (self && self->Font) DeleteObject(self->Font);
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

void ShowResultsDialog(HWND owner, const std::string& summary, const std::vector<ResultLine>& lines) {
  ResultsDialog state{&summary, &lines, owner};
  RunModalDialog(owner, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | DS_MODALFRAME, ResultsProc,
                 reinterpret_cast<LPARAM>(&state));
}

}  // namespace plm::win32
