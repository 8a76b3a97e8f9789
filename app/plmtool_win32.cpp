// The window program on Windows: per-monitor DPI awareness (also in the manifest),
// common controls, COM for the folder chooser, the main window and its message loop.
#include "shell/win32/DialogsWin32.h"
#include "shell/win32/MainWindowWin32.h"

#include <objbase.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
  SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES;
  InitCommonControlsEx(&controls);
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

  int exitCode = 1;
  {
    plm::win32::Win32Dialogs dialogs;
    plm::win32::MainWindowWin32 form1(dialogs);
    if (form1.Create(show)) {
      dialogs.SetOwner(form1.Handle());
      MSG msg;
      while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (form1.PreTranslate(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
      exitCode = static_cast<int>(msg.wParam);
    }
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return exitCode;
}
