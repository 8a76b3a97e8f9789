#include "shell/win32/Win32Util.h"

#include <algorithm>
#include <vector>

namespace plm::win32 {

std::string WindowText(HWND window) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return Utf8(text);
}

void SetWindowTextUtf8(HWND window, std::string_view text) { SetWindowTextW(window, Wide(text).c_str()); }

Dpi DpiOf(HWND window) {
  const UINT dpi = window != nullptr ? GetDpiForWindow(window) : GetDpiForSystem();
  return Dpi{dpi != 0 ? static_cast<int>(dpi) : USER_DEFAULT_SCREEN_DPI};
}

namespace {

int CALLBACK FaceFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool HasFace(const std::wstring& face) {
  LOGFONTW query{};
  query.lfCharSet = DEFAULT_CHARSET;
  if (face.size() >= LF_FACESIZE) return false;
  face.copy(query.lfFaceName, face.size());
  bool found = false;
  HDC dc = GetDC(nullptr);
  EnumFontFamiliesExW(dc, &query, FaceFound, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, dc);
  return found;
}

}  // namespace

HFONT MakeFont(const wchar_t* faces, int pixelSize, Dpi dpi, int weight) {
  std::wstring chosen;
  std::wstring_view rest = faces;
  while (!rest.empty() && chosen.empty()) {
    const size_t bar = rest.find(L'|');
    const std::wstring face(rest.substr(0, bar));
    if (HasFace(face)) chosen = face;
    rest = bar == std::wstring_view::npos ? std::wstring_view() : rest.substr(bar + 1);
  }
  LOGFONTW font{};
  font.lfHeight = -dpi(pixelSize);
  font.lfWeight = weight;
  font.lfCharSet = chosen.empty() ? SHIFTJIS_CHARSET : DEFAULT_CHARSET;
  font.lfQuality = CLEARTYPE_QUALITY;
  chosen.copy(font.lfFaceName, std::min<size_t>(chosen.size(), LF_FACESIZE - 1));
  return CreateFontIndirectW(&font);
}

void SetFontOnAll(HWND window, HFONT font) {
  SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  EnumChildWindows(
      window,
      [](HWND child, LPARAM f) -> BOOL {
        SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(f), FALSE);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(font));
}

bool IsUserInput(UINT message) {
  return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
         (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK);
}

void DropQueuedInput() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
  }
  while (PeekMessageW(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
  }
  while (PeekMessageW(&msg, nullptr, WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK, PM_REMOVE)) {
  }
}

}  // namespace plm::win32
