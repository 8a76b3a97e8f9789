#pragma once
// Small pieces every Win32 part of the window shares: text between UTF-8 and UTF-16,
// sizes at the window's DPI, fonts, and the message pump that runs pending messages
// with or without user input.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <commctrl.h>
// The dialogs interface has a member of this name; the system's is called by its
// wide name.
#undef MessageBox

#include <string>
#include <string_view>

#include "platform/widetext.h"

namespace plm::win32 {

inline std::wstring Wide(std::string_view utf8) { return WideFromUtf8(utf8); }
inline std::string Utf8(std::wstring_view wide) { return Utf8FromWide(wide); }

// The text of a window (a control's caption or contents) as UTF-8.
std::string WindowText(HWND window);
void SetWindowTextUtf8(HWND window, std::string_view text);

// Sizes are given in device-independent pixels (pixels at 96 dots per inch) and
// scaled by the DPI of the window they are used in; settings keep them unscaled.
struct Dpi {
  int Value = USER_DEFAULT_SCREEN_DPI;
  int operator()(int px96) const { return MulDiv(px96, Value, USER_DEFAULT_SCREEN_DPI); }
  // A device size back in device-independent pixels, rounded to the nearest.
  int Unscale(int devicePx) const { return MulDiv(devicePx, USER_DEFAULT_SCREEN_DPI, Value); }
};
// The DPI of a window (of the system when it has none yet).
Dpi DpiOf(HWND window);

// A font of `pixelSize` device-independent pixels at `dpi`, of the first face of `faces` (separated
// by '|') the system has, else the system's Japanese user-interface font.
HFONT MakeFont(const wchar_t* faces, int pixelSize, Dpi dpi, int weight = FW_NORMAL);
// The faces of the main window, and of the settings dialog and the file list.
inline constexpr const wchar_t* kFormFaces = L"ＭＳ Ｐゴシック|MS PGothic|Noto Sans CJK JP|Yu Gothic UI|Meiryo UI";
inline constexpr const wchar_t* kDialogFaces =
    L"ＭＳ ゴシック|MS Gothic|Noto Sans Mono CJK JP|Noto Sans CJK JP|Yu Gothic UI|Meiryo UI";

// Sets `font` on a window and all its children.
void SetFontOnAll(HWND window, HFONT font);

// True for the messages a user makes: keys, mouse buttons and moves, the wheel, and
// clicks on frames.
bool IsUserInput(UINT message);
// Takes every user input message still queued for this thread, without running it.
void DropQueuedInput();

}  // namespace plm::win32
