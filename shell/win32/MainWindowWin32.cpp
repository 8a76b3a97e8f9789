#include "shell/win32/MainWindowWin32.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <fstream>
#include <tuple>

#include "jww/drawingbody.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/systemkeys.h"
#include "shell/preview.h"
#include "shell/texts.h"
#include "text/cp932.h"

namespace plm::win32 {
namespace {

const wchar_t kWindowClass[] = L"PallimoMainWindow";
constexpr UINT kListSelected = WM_APP + 10;  // a click on the tree: list once the selection settled
constexpr UINT kSelectionChanged = WM_APP + 11;
constexpr UINT kRepad = WM_APP + 12;
constexpr UINT kChooseSearch = WM_APP + 13;
constexpr int kSplitter = 3;      // device-independent pixels between the panel and the right side
constexpr int kStripHeight = 48;  // the top strip
constexpr int kBoxHeight = 19;    // the search folder box
constexpr int kMinListHeight = 40;
// The variable naming the file the window check reads status texts from.
constexpr char kStatusLogVariable[] = "PLMTOOL_STATUS_LOG";

// Edit1: a click chooses the search folder. The list: a click or Space with Ctrl acts as
// without it, so the selection stays one block.
LRESULT CALLBACK ControlHook(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR main) {
  if (id == kEdit1 && message == WM_LBUTTONUP) PostMessageW(reinterpret_cast<HWND>(main), kChooseSearch, 0, 0);
  if (id == kStringGrid1) {
    if ((message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK) && (wParam & MK_CONTROL) != 0)
      wParam &= ~static_cast<WPARAM>(MK_CONTROL);
    if (message == WM_KEYDOWN && wParam == VK_SPACE && (GetKeyState(VK_CONTROL) & 0x8000) != 0) return 0;
  }
  return DefSubclassProc(control, message, wParam, lParam);
}

void RegisterWindowClass() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  WNDCLASSEXW c{};
  c.cbSize = sizeof c;
  c.lpfnWndProc = DefWindowProcW;
  c.hInstance = GetModuleHandleW(nullptr);
  c.hIcon = LoadIconW(c.hInstance, MAKEINTRESOURCEW(1));
  c.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  c.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  c.lpszClassName = kWindowClass;
  RegisterClassExW(&c);
}

// A window whose title bar is off every screen's work area comes back onto the nearest
// one, shrunk to it when larger.
RECT KeptOnScreen(RECT r) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  GetMonitorInfoW(MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &info);
  const RECT work = info.rcWork;
  const LONG w = std::min(r.right - r.left, work.right - work.left),
             h = std::min(r.bottom - r.top, work.bottom - work.top);
  RECT title{r.left, r.top, r.right, r.top + 20}, common;
  if (IntersectRect(&common, &title, &work) && common.right - common.left >= std::min<LONG>(100, w) &&
      w == r.right - r.left && h == r.bottom - r.top)
    return r;
  const LONG x = std::clamp(r.left, work.left, work.right - w), y = std::clamp(r.top, work.top, work.bottom - h);
  return {x, y, x + w, y + h};
}

// A window rectangle (the whole window, frame included, as the form's place is kept)
// in device-independent pixels.
WindowPlace PlaceOf(const RECT& r, Dpi dpi) {
  return {dpi.Unscale(r.left), dpi.Unscale(r.top), dpi.Unscale(r.right - r.left), dpi.Unscale(r.bottom - r.top)};
}

}  // namespace

MainWindowWin32::MainWindowWin32(Dialogs& dialogs, std::string programFolder)
    : dialogs_(dialogs),
      ownKeys_(std::make_unique<SystemKeyState>()),
      keys_(ownKeys_.get()),
      programFolderOverride_(std::move(programFolder)) {
  state_.Status = [this](const std::string& text) { SetStatus(text); };
  OpenFile = [this](const std::string& path) { return OpenWithAssociatedProgram(path, window_); };
  if (const std::optional<std::string> log = EnvironmentValue(kStatusLogVariable); log && !log->empty())
    statusLog_ = *log;
}

MainWindowWin32::~MainWindowWin32() {
  if (window_ != nullptr) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
  for (HFONT f : {formFont_, gridFont_, convertFont_})
    if (f != nullptr) DeleteObject(f);
}

void MainWindowWin32::SetKeyState(KeyState* keys) { keys_ = keys != nullptr ? keys : ownKeys_.get(); }

bool MainWindowWin32::Create(int showCommand) {
  RegisterWindowClass();
  dpi_ = DpiOf(nullptr);
  window_ = CreateWindowExW(WS_EX_CONTROLPARENT, kWindowClass, Wide(texts::kMainWindowCaption).c_str(),
                            WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, dpi_(192), dpi_(107), dpi_(696), dpi_(478), nullptr,
                            nullptr, GetModuleHandleW(nullptr), nullptr);
  if (window_ == nullptr) return false;
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WindowProc));
  dpi_ = DpiOf(window_);
  CreateMainMenu();
  CreateControls();
  ApplyFonts();
  Start();
  ShowWindow(window_, showCommand);
  UpdateWindow(window_);
  return true;
}

void MainWindowWin32::CreateControls() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  auto make = [&](DWORD exStyle, const wchar_t* cls, std::string_view text, DWORD style, int id) {
    return CreateWindowExW(exStyle, cls, Wide(text).c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, window_,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  };
  // Created in the keyboard focus order.
  tree_.Create(window_, kEdit1, kTreeView1);
  tree_.SetImages(dpi_);
  tree_.OnSearchStarting = [this] { ResetFileList(list_, list_.State()); };
  SetWindowSubclass(tree_.Box(), ControlHook, kEdit1, reinterpret_cast<DWORD_PTR>(window_));
  typeLabel_ = make(0, L"STATIC", texts::kFileTypeLabel, SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE, kFileTypeLabel);
  fileType_ = make(0, L"COMBOBOX", "", CBS_DROPDOWNLIST | WS_TABSTOP | WS_VSCROLL, kComboBox1);
  for (std::string_view item : texts::kFileTypeItems)
    SendMessageW(fileType_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item).c_str()));
  button1_ = make(0, L"BUTTON", texts::kSwitchesButtonCaption, BS_PUSHBUTTON | WS_TABSTOP, kButton1);
  saveLabel_ = make(0, L"STATIC", texts::kSaveFolderLabel, SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE, kSaveFolderLabel);
  saveBox_ = make(WS_EX_CLIENTEDGE, L"EDIT", "", ES_READONLY | ES_AUTOHSCROLL, kEdit2);
  button3_ = make(0, L"BUTTON", texts::kBrowseButtonCaption, BS_PUSHBUTTON | WS_TABSTOP, kButton3);
  button4_ = make(0, L"BUTTON", texts::kConvertButtonCaption, BS_PUSHBUTTON | WS_TABSTOP, kButton4);
  list_.Create(window_, kStringGrid1);
  list_.SetFilterBox(fileType_);
  SetWindowSubclass(list_.Handle(), ControlHook, kStringGrid1, reinterpret_cast<DWORD_PTR>(window_));
  preview_.Create(window_, kPreviewPane);
  statusBar_ = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, window_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(kStatusBar1)), instance, nullptr);
  SendMessageW(statusBar_, SB_SIMPLE, TRUE, 0);
}

void MainWindowWin32::CreateMainMenu() {
  auto add = [](HMENU menu, int id, std::string_view text) {
    AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(id), Wide(text).c_str());
  };
  HMENU bar = CreateMenu();
  HMENU file = CreatePopupMenu();
  add(file, kMnuFileSFolder, texts::kMenuSearchFolder);
  HMENU types = CreatePopupMenu();
  for (int i = 0; i < 4; ++i) add(types, kMnuFileType0 + i, texts::kMenuFileTypeItems[static_cast<size_t>(i)]);
  AppendMenuW(file, MF_POPUP, reinterpret_cast<UINT_PTR>(types), Wide(texts::kMenuFileType).c_str());
  add(file, kMnuFileHFolder, texts::kMenuSaveFolder);
  AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
  add(file, kMnuExit, texts::kMenuExit);
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), Wide(texts::kMenuFile).c_str());
  HMENU settings = CreatePopupMenu();
  add(settings, kMnuSetConvert, texts::kMenuSwitches);
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(settings), Wide(texts::kMenuSettings).c_str());
  SetMenu(window_, bar);
}

void MainWindowWin32::ApplyFonts() {
  for (HFONT f : {formFont_, gridFont_, convertFont_})
    if (f != nullptr) DeleteObject(f);
  formFont_ = MakeFont(kFormFaces, 12, dpi_);
  gridFont_ = MakeFont(kDialogFaces, 13, dpi_);
  convertFont_ = MakeFont(kFormFaces, 19, dpi_);
  SetFontOnAll(window_, formFont_);
  SendMessageW(list_.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(gridFont_), TRUE);
  SendMessageW(ListView_GetHeader(list_.Handle()), WM_SETFONT, reinterpret_cast<WPARAM>(formFont_), TRUE);
  SendMessageW(button4_, WM_SETFONT, reinterpret_cast<WPARAM>(convertFont_), TRUE);
  preview_.SetFont(formFont_);
  SendMessageW(fileType_, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), dpi_(16));
}

void MainWindowWin32::Layout() {
  RECT client;
  GetClientRect(window_, &client);
  SendMessageW(statusBar_, WM_SIZE, 0, 0);
  RECT bar;
  GetWindowRect(statusBar_, &bar);
  const int w = client.right, h = client.bottom - (bar.bottom - bar.top);
  const Dpi d = dpi_;
  const int panel = std::clamp(d(panelWidth_), 0, std::max(0, w - d(kSplitter)));
  const int box = d(kBoxHeight);
  MoveWindow(tree_.Box(), 0, 0, panel, box, TRUE);
  MoveWindow(tree_.Tree(), 0, box, panel, std::max(0, h - box), TRUE);

  // The top strip: filter and settings button above, save folder and browse below, the
  // tall convert button at the right.
  const int x0 = panel + d(kSplitter), right = w - d(4);
  const int convertW = d(72), buttonW = d(80), labelW = d(86), gap = d(6);
  const int convertX = std::max(x0, right - convertW), buttonX = std::max(x0, convertX - gap - buttonW);
  const int fieldX = x0 + d(4) + labelW;
  MoveWindow(typeLabel_, x0 + d(4), d(3), labelW, d(20), TRUE);
  MoveWindow(fileType_, fieldX, d(3), std::max(0, std::min(d(170), buttonX - gap - fieldX)), d(200), TRUE);
  MoveWindow(button1_, buttonX, d(2), buttonW, d(22), TRUE);
  MoveWindow(saveLabel_, x0 + d(4), d(26), labelW, d(20), TRUE);
  MoveWindow(saveBox_, fieldX, d(26), std::max(0, buttonX - gap - fieldX), d(20), TRUE);
  MoveWindow(button3_, buttonX, d(25), buttonW, d(22), TRUE);
  MoveWindow(button4_, convertX, d(2), convertW, d(kStripHeight - 4), TRUE);

  // The list above, the preview below, the splitter between them.
  const int top = d(kStripHeight), rightW = std::max(0, w - x0), room = std::max(0, h - top);
  const int pane = std::clamp(d(previewSize_), 0, std::max(0, room - d(kMinListHeight) - d(kSplitter)));
  const int listH = pane > 0 ? room - pane - d(kSplitter) : room;
  MoveWindow(list_.Handle(), x0, top, rightW, listH, TRUE);
  ShowWindow(preview_.Handle(), pane > 0 ? SW_SHOWNA : SW_HIDE);
  MoveWindow(preview_.Handle(), x0, top + listH + d(kSplitter), rightW, pane, TRUE);
}

int MainWindowWin32::SplitterAt(POINT p) const {
  RECT client;
  GetClientRect(window_, &client);
  const int panel = dpi_(panelWidth_);
  if (p.x >= panel && p.x < panel + dpi_(kSplitter)) return 1;
  RECT list;
  GetWindowRect(list_.Handle(), &list);
  MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&list), 2);
  if (p.x >= list.left && p.y >= list.bottom && p.y < list.bottom + dpi_(kSplitter)) return 2;
  return 0;
}

LRESULT CALLBACK MainWindowWin32::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<MainWindowWin32*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  return self != nullptr ? self->Handle(message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT MainWindowWin32::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      Layout();
      return 0;
    case WM_GETMINMAXINFO: {
      // A stored size of 0 (or garbage read as 0) must not leave an unreachable window.
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      info->ptMinTrackSize = {dpi_(320), dpi_(200)};
      return 0;
    }
    case WM_DPICHANGED: {
      dpi_ = Dpi{HIWORD(wParam)};
      ApplyFonts();
      tree_.SetImages(dpi_);
      list_.SetDpi(dpi_);
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(window_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      Layout();
      return 0;
    }
    case WM_ACTIVATE:
      // The control that had the focus gets it back when the window is active again
      // (after a box, a dialog or another program).
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(window_, focus)) lastFocus_ = focus;
      }
      return 0;
    case WM_SETFOCUS:
      if (lastFocus_ != nullptr && IsWindow(lastFocus_) && IsChild(window_, lastFocus_) && IsWindowEnabled(lastFocus_))
        SetFocus(lastFocus_);
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_NOTIFY:
      return OnNotify(*reinterpret_cast<const NMHDR*>(lParam), lParam);
    case kListSelected:
      ListSelectedFolder();
      return 0;
    case kSelectionChanged:
      PreviewSelection();
      return 0;
    case kRepad:
      RepadFileSizes(list_, list_.State(), std::max(1, dpi_.Unscale([&] {
                       HDC dc = GetDC(list_.Handle());
                       const HGDIOBJ old = SelectObject(dc, gridFont_);
                       SIZE digit{};
                       GetTextExtentPoint32W(dc, L"0", 1, &digit);
                       SelectObject(dc, old);
                       ReleaseDC(list_.Handle(), dc);
                       return static_cast<int>(digit.cx);
                     }())));
      return 0;
    case kChooseSearch:
      ChooseSearchFolder();
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT && reinterpret_cast<HWND>(wParam) == window_) {
        POINT p;
        GetCursorPos(&p);
        ScreenToClient(window_, &p);
        if (const int s = dragging_ != 0 ? dragging_ : SplitterAt(p)) {
          SetCursor(LoadCursorW(nullptr, s == 1 ? IDC_SIZEWE : IDC_SIZENS));
          return TRUE;
        }
      }
      break;
    case WM_LBUTTONDOWN:
      dragging_ = SplitterAt({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      if (dragging_ != 0) SetCapture(window_);
      return 0;
    case WM_MOUSEMOVE:
      if (dragging_ == 1) {
        panelWidth_ = std::max(0, dpi_.Unscale(GET_X_LPARAM(lParam)));
        Layout();
      } else if (dragging_ == 2) {
        RECT client, bar;
        GetClientRect(window_, &client);
        GetWindowRect(statusBar_, &bar);
        const int bottom = client.bottom - (bar.bottom - bar.top);
        previewSize_ = std::max(0, dpi_.Unscale(bottom - GET_Y_LPARAM(lParam)));
        Layout();
      }
      return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      if (dragging_ != 0 && GetCapture() == window_) ReleaseCapture();
      dragging_ = 0;
      return 0;
    case WM_CLOSE:
      // A batch cannot be aborted: the window stays until it ends. A search stops at
      // its next entry, and the window closes once it has.
      if (running_) return 0;
      if (tree_.State().Searching) {
        tree_.State().StopRequested = true;
        closePending_ = true;
        return 0;
      }
      Finish();
      DestroyWindow(window_);
      return 0;
    case WM_DESTROY:
      window_ = nullptr;
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

void MainWindowWin32::OnCommand(int id, int code) {
  switch (id) {
    case kMnuFileSFolder:
      ChooseSearchFolder();
      break;
    case kMnuFileHFolder:
      ChooseSaveFolder();
      break;
    case kMnuExit:
      ConfirmExit();
      break;
    case kMnuSetConvert:
      OpenSwitchesDialog();
      break;
    case kButton1:
      if (code == BN_CLICKED) OpenSwitchesDialog();
      break;
    case kButton3:
      if (code == BN_CLICKED) ChooseSaveFolder();
      break;
    case kButton4:
      if (code == BN_CLICKED) ConvertSelected();
      break;
    case kComboBox1:
      if (code == CBN_SELCHANGE) FileTypeChanged();
      break;
    default:
      if (id >= kMnuFileType0 && id < kMnuFileType0 + 4) SelectFileType(id - kMnuFileType0);
      break;
  }
}

LRESULT MainWindowWin32::OnNotify(const NMHDR& header, LPARAM lParam) {
  if (header.idFrom == kTreeView1) {
    switch (header.code) {
      case NM_CLICK:
      case NM_RETURN:
        PostMessageW(window_, kListSelected, 0, 0);
        return header.code == NM_RETURN ? TRUE : 0;
      case TVN_SELCHANGEDW: {
        // A key that moves to another node lists it; a click lists through NM_CLICK.
        const auto& change = *reinterpret_cast<const NMTREEVIEWW*>(lParam);
        if (change.action != TVC_BYMOUSE && change.itemNew.hItem != nullptr && !tree_.State().Searching)
          PostMessageW(window_, kListSelected, 0, 0);
        return 0;
      }
      case TVN_GETINFOTIPW: {  // the whole name, however narrow the panel
        auto* tip = reinterpret_cast<NMTVGETINFOTIPW*>(lParam);
        TVITEMW item{};
        item.mask = TVIF_TEXT;
        item.hItem = tip->hItem;
        item.pszText = tip->pszText;
        item.cchTextMax = tip->cchTextMax;
        TreeView_GetItem(tree_.Tree(), &item);
        return 0;
      }
      default:
        return 0;
    }
  }
  if (header.idFrom == kStringGrid1) {
    switch (header.code) {
      case LVN_GETDISPINFOW:
        list_.FillCell(*reinterpret_cast<NMLVDISPINFOW*>(lParam));
        return 0;
      case LVN_ODFINDITEMW:
        return list_.FindRow(*reinterpret_cast<const NMLVFINDITEMW*>(lParam));
      case NM_DBLCLK:
      case NM_RETURN:
        OpenCurrentFile();
        return TRUE;
      case LVN_COLUMNCLICK:
        FileListHeaderPressed(*this, state_, list_, list_.State(), tree_.State(),
                              reinterpret_cast<const NMLISTVIEW*>(lParam)->iSubItem, tree_.SelectedFolderPath());
        PostMessageW(window_, kSelectionChanged, 0, 0);  // other files under the selected rows
        return 0;
      case LVN_ITEMCHANGED:
      case LVN_ODSTATECHANGED:
        PostMessageW(window_, kSelectionChanged, 0, 0);
        return 0;
      default:
        return 0;
    }
  }
  // The list's header: a column resized re-pads the size column.
  if (header.hwndFrom == ListView_GetHeader(list_.Handle()) &&
      (header.code == HDN_ITEMCHANGEDW || header.code == HDN_ENDTRACKW)) {
    if (reinterpret_cast<const NMHEADERW*>(lParam)->iItem == kColSize) PostMessageW(window_, kRepad, 0, 0);
  }
  return 0;
}

bool MainWindowWin32::PreTranslate(MSG& msg) {
  if (msg.message != WM_KEYDOWN || msg.wParam != VK_TAB || window_ == nullptr ||
      (msg.hwnd != window_ && !IsChild(window_, msg.hwnd)))
    return false;
  if ((GetKeyState(VK_CONTROL) & 0x8000) != 0) return false;
  const bool back = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
  if (HWND next = GetNextDlgTabItem(window_, GetFocus(), back)) SetFocus(next);
  return true;
}

void MainWindowWin32::Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    if (blockDepth_ > 0 && IsUserInput(msg.message)) continue;
    if (PreTranslate(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

bool MainWindowWin32::EscapeHeld() { return keys_->EscapeHeld(); }

void MainWindowWin32::SetStatus(const std::string& text) {
  status_ = text;
  SendMessageW(statusBar_, SB_SETTEXTW, SB_SIMPLEID | SBT_NOBORDERS, reinterpret_cast<LPARAM>(Wide(text).c_str()));
  UpdateWindow(statusBar_);
  if (statusLog_) {
    std::ofstream log(PathFromUtf8(*statusLog_), std::ios::binary | std::ios::app);
    log << text << '\n';
  }
  // During a batch or a listing the rest of the window repaints too; user input is dropped.
  if (blockDepth_ > 0) Pump();
}

void MainWindowWin32::BlockInput(bool blocked) {
  if (blocked) {
    ++blockDepth_;
    return;
  }
  if (--blockDepth_ > 0) return;
  Pump();  // what is still queued runs now, without the input made meanwhile
  DropQueuedInput();
}

void MainWindowWin32::ProcessEvents() { Pump(); }

void MainWindowWin32::Start() {
  // 1. Flags, filter and switches.
  tree_.State() = FolderPanelState{};
  list_.State() = FileListState{};
  SendMessageW(fileType_, CB_SETCURSEL, 0, 0);
  state_.Options = {};

  // 2. The image list starts empty.
  ClearTempImageFiles(state_.Images);

  // 3. Program folder and image folder; settings and images go to the user's
  // application data when the program's folder cannot be written.
  places_ = PrepareWindowPlaces(programFolderOverride_.empty() ? RunningProgramFolder() : programFolderOverride_);
  state_.Images.TempFolder = PathFromUtf8(places_.TempFolder);

  // 4. Folders.
  tree_.State().SearchFolder = places_.ProgramFolder;
  saveFolder_.clear();

  // 5. Stored settings over the defaults, device-independent, shown at the window's DPI.
  ShellSettings s;
  s.FLD1 = tree_.State().SearchFolder;
  ReadShellSettings(PathFromUtf8(places_.IniFileName), s);
  const RECT stored{dpi_(s.F1_X), dpi_(s.F1_Y), dpi_(s.F1_X) + dpi_(std::max(0, s.F1_W)),
                    dpi_(s.F1_Y) + dpi_(std::max(0, s.F1_H))};
  const RECT placed = KeptOnScreen(stored);
  SetWindowPos(window_, nullptr, placed.left, placed.top, placed.right - placed.left, placed.bottom - placed.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
  storedPlace_ = {s.F1_X, s.F1_Y, s.F1_W, s.F1_H};
  fittedPlace_ = PlaceOf(placed, dpi_);
  if (const Dpi now = DpiOf(window_); now.Value != dpi_.Value) {  // placed on a screen of another DPI
    dpi_ = now;
    ApplyFonts();
    tree_.SetImages(dpi_);
    list_.SetDpi(dpi_);
  }
  switchesPlace_.Position = {s.F2_X, s.F2_Y};
  panelWidth_ = std::max(0, s.F1P1);
  list_.SetColumnWidths(s.F1S);
  tree_.State().SearchFolder = s.FLD1;
  saveFolder_ = s.FLD2;
  SendMessageW(fileType_, CB_SETCURSEL, s.FTYP >= 0 && s.FTYP < 4 ? s.FTYP : -1, 0);
  state_.Options = s.Options;
  PreviewSettings p;
  ReadPreviewSettings(PathFromUtf8(places_.IniFileName), p);
  previewSize_ = std::min(p.Size, 4000);
  preview_.SetOptions(state_.Options);
  Layout();

  // 6. The header row was set when the list was made. 7. The save folder shown; the
  // search folder box, tree and list stay empty.
  SetWindowTextUtf8(saveBox_, ShownName(saveFolder_));

  // 8.
  SetStatus(texts::kSpecifySearchFolder);
}

void MainWindowWin32::Finish() {
  if (finished_) return;
  finished_ = true;
  // 1. Removing succeeds only when the folder is empty; failures are ignored.
  RemoveEmptyFolderQuietly(state_.Images.TempFolder);
  // 2.
  ClearTempImageFiles(state_.Images);
  // 3. Settings in device-independent pixels, written in one safe replacement of the file; failures
  // are ignored.
  if (places_.IniFileName.empty()) return;
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  GetWindowPlacement(window_, &placement);
  RECT bounds;
  GetWindowRect(window_, &bounds);
  if (IsZoomed(window_) || IsIconic(window_)) bounds = placement.rcNormalPosition;
  ShellSettings s;
  // What only this session's screens changed is stored as it was read.
  const WindowPlace place = PlaceToStore(PlaceOf(bounds, dpi_), storedPlace_, fittedPlace_);
  s.F1_X = place.X;
  s.F1_Y = place.Y;
  s.F1_W = place.W;
  s.F1_H = place.H;
  s.F2_X = switchesPlace_.Position.x;
  s.F2_Y = switchesPlace_.Position.y;
  s.F1P1 = panelWidth_;
  s.F1S = list_.ColumnWidths();
  s.FLD1 = tree_.State().SearchFolder;
  s.FLD2 = saveFolder_;
  s.FTYP = static_cast<int>(SendMessageW(fileType_, CB_GETCURSEL, 0, 0));
  s.Options = state_.Options;
  WriteShellSettings(PathFromUtf8(places_.IniFileName), s);
  PreviewSettings p;
  p.Size = previewSize_;
  WritePreviewSettings(PathFromUtf8(places_.IniFileName), p);
}

void MainWindowWin32::ChooseSearchFolder() {
  plm::ChooseSearchFolder(*this, tree_, tree_.State());
  if (closePending_) PostMessageW(window_, WM_CLOSE, 0, 0);  // asked for during the search
}

void MainWindowWin32::ListSelectedFolder() {
  plm::ListSelectedFolder(*this, state_, list_, list_.State(), tree_.State(), tree_.SelectedFolderPath());
}

void MainWindowWin32::FileTypeChanged() {
  if (tree_.State().Ready && tree_.HasSelectedNode()) ListSelectedFolder();
}

void MainWindowWin32::SelectFileType(int index) {
  SendMessageW(fileType_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  if (tree_.State().Ready) ListSelectedFolder();
}

void MainWindowWin32::ChooseSaveFolder() {
  const std::optional<std::string> folder =
      dialogs_.ChooseFolder(texts::kSaveFolderTitle, saveFolder_, FolderUse::Save);
  if (!folder) return;
  saveFolder_ = *folder;
  SetWindowTextUtf8(saveBox_, ShownName(saveFolder_));
}

void MainWindowWin32::OpenSwitchesDialog() {
  RunSwitchesDialog(window_, state_.Options, switchesPlace_);
  preview_.SetOptions(state_.Options);
}

void MainWindowWin32::ConvertSelected() {
  if (running_) return;
  BatchRequest request;
  request.FolderTreeReady = tree_.State().Ready;
  request.FileListShown = list_.State().Shown;
  request.SaveFolder = saveFolder_;
  request.SourceFolder = tree_.SelectedFolderPath().value_or(std::string());
  const std::vector<FileRow> rows = list_.Rows();  // a copy: nothing may change it under the batch
  request.Rows = &rows;
  std::tie(request.Top, request.Bottom) = list_.SelectedBlock();
  running_ = true;
  lastBatch_ = RunBatchCommand(*this, state_, request);
  running_ = false;
}

void MainWindowWin32::OpenCurrentFile() {
  const std::optional<std::string> path =
      FileToOpen(*this, list_.State(), tree_.State(), list_.CurrentRow(), list_.Rows(), tree_.SelectedFolderPath());
  if (path && OpenFile && !OpenFile(*path)) SetStatus(texts::kNoOpener);
}

void MainWindowWin32::ConfirmExit() {
  if (dialogs_.MessageBox(BoxKind::Confirmation, texts::kExitQuestion, BoxButtons::YesNo) == BoxAnswer::Yes)
    SendMessageW(window_, WM_CLOSE, 0, 0);
}

void MainWindowWin32::PreviewSelection() {
  const PreviewChoice choice = ChoosePreview(list_.SelectedRows(), list_.Rows(), list_.State().ListedFolder);
  if (choice.Path.empty())
    preview_.ShowReason(choice.Reason);
  else
    preview_.ShowFile(choice.Path);
}

}  // namespace plm::win32
