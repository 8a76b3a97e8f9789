#include "shell/win32/SwitchesDialogWin32.h"

#include <array>

#include "shell/texts.h"
#include "shell/win32/DialogsWin32.h"

namespace plm::win32 {
namespace {

constexpr int kClientWidth = 633, kClientHeight = 204;
constexpr int kPurpose = 301, kLengthWarning = 302, kEndPointWarning = 303, kJwsNote = 304;

struct SwitchesDialog {
  ConversionSwitches& Options;
  SwitchesDialogPlace& Place;
  HFONT Font = nullptr, NoteFont = nullptr;
  HBRUSH White = nullptr;

  void Init(HWND dialog) {
    const Dpi dpi = DpiOf(dialog);
    SetWindowTextW(dialog, Wide(texts::kSwitchesCaption).c_str());
    Font = MakeFont(kDialogFaces, 13, dpi);
    NoteFont = MakeFont(kDialogFaces, 16, dpi);
    White = CreateSolidBrush(RGB(255, 255, 255));
    // Created in the keyboard focus order: CheckBox3, CheckBox4, OK, Cancel, CheckBox1,
    // CheckBox2.
    const std::array<RECT, 4> boxes = {RECT{8, 24, 620, 44}, RECT{8, 48, 620, 68}, RECT{32, 72, 620, 92},
                                       RECT{32, 96, 620, 116}};
    auto checkBox = [&](int n) {
      MakeControl(dialog, L"BUTTON", texts::kCheckBoxCaptions[static_cast<size_t>(n - 1)], BS_AUTOCHECKBOX | WS_TABSTOP,
                  kSwitchBoxId + n, boxes[static_cast<size_t>(n - 1)], dpi);
    };
    checkBox(3);
    checkBox(4);
    MakeControl(dialog, L"BUTTON", texts::kSwitchesOk, BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK, {376, 168, 496, 196}, dpi);
    MakeControl(dialog, L"BUTTON", texts::kSwitchesCancel, BS_PUSHBUTTON | WS_TABSTOP, IDCANCEL, {504, 168, 624, 196},
                dpi);
    checkBox(1);
    checkBox(2);
    SetFontOnAll(dialog, Font);
    MakeControl(dialog, L"STATIC", texts::kSwitchesPurpose, SS_CENTER | SS_NOPREFIX, kPurpose, {0, 2, kClientWidth, 22},
                dpi);
    MakeControl(dialog, L"STATIC", texts::kSpacingLengthWarning, SS_LEFT | SS_NOPREFIX, kLengthWarning,
                {8, 120, 620, 140}, dpi);
    MakeControl(dialog, L"STATIC", texts::kEndPointWarning, SS_LEFT | SS_NOPREFIX, kEndPointWarning, {8, 144, 620, 164},
                dpi);
    MakeControl(dialog, L"STATIC", texts::kJwsTypeNote, SS_LEFT | SS_NOPREFIX, kJwsNote, {7, 168, 370, 188}, dpi);
    for (int id : {kPurpose, kLengthWarning, kEndPointWarning, kJwsNote})
      SendDlgItemMessageW(dialog, id, WM_SETFONT, reinterpret_cast<WPARAM>(NoteFont), FALSE);

    for (int n = 1; n <= 4; ++n)
      CheckDlgButton(dialog, kSwitchBoxId + n,
                     Options.*kSwitchOrder[static_cast<size_t>(n - 1)] ? BST_CHECKED : BST_UNCHECKED);

    // A fixed client area at the stored place; not resizable.
    const SIZE frame = FrameSize(dialog, kClientWidth, kClientHeight, dpi);
    SetWindowPos(dialog, nullptr, dpi(Place.Position.x), dpi(Place.Position.y), frame.cx, frame.cy, SWP_NOZORDER);
    SetFocus(GetDlgItem(dialog, kSwitchBoxId + 3));
  }

  void Close(HWND dialog, bool accepted) {
    if (accepted)
      for (int n = 1; n <= 4; ++n)
        Options.*kSwitchOrder[static_cast<size_t>(n - 1)] = IsDlgButtonChecked(dialog, kSwitchBoxId + n) == BST_CHECKED;
    RECT r;
    GetWindowRect(dialog, &r);
    const Dpi dpi = DpiOf(dialog);
    Place.Position = {dpi.Unscale(r.left), dpi.Unscale(r.top)};
    EndDialog(dialog, accepted ? IDOK : IDCANCEL);
  }
};

INT_PTR CALLBACK SwitchesProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<SwitchesDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      reinterpret_cast<SwitchesDialog*>(lParam)->Init(dialog);
      return FALSE;
    case WM_COMMAND:
      // OK or Enter accept; Cancel, ESC and the title-bar close leave the switches alone.
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) self->Close(dialog, LOWORD(wParam) == IDOK);
      return TRUE;
    case WM_CTLCOLORSTATIC: {
      const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
      if (id < kPurpose || id > kJwsNote) return FALSE;
      const HDC dc = reinterpret_cast<HDC>(wParam);
      SetTextColor(dc, RGB(0, 0, 255));
      if (id == kPurpose) {
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
      }
      SetBkColor(dc, RGB(255, 255, 255));
      return reinterpret_cast<INT_PTR>(self->White);
    }
    case WM_DESTROY:
      if (self) {
        DeleteObject(self->Font);
        DeleteObject(self->NoteFont);
        DeleteObject(self->White);
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

bool RunSwitchesDialog(HWND owner, ConversionSwitches& options, SwitchesDialogPlace& place) {
  SwitchesDialog state{options, place};
  return RunModalDialog(owner, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME, SwitchesProc,
                        reinterpret_cast<LPARAM>(&state)) == IDOK;
}

}  // namespace plm::win32
