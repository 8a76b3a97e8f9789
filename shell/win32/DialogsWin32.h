#pragma once
// The desktop's message boxes, beep and folder chooser, and the results dialog
// "変換結果", for the Win32 window.
#include <string>
#include <vector>

// First: it takes the system's MessageBox macro away before the interface is seen.
#include "shell/win32/Win32Util.h"

#include "platform/dialogs.h"

namespace plm::win32 {

class Win32Dialogs : public Dialogs {
 public:
  // Boxes and choosers are owned by `owner` (the main window), set once it exists.
  void SetOwner(HWND owner) { owner_ = owner; }

  BoxAnswer MessageBox(BoxKind kind, const std::string& text, BoxButtons buttons) override;
  void Beep() override;
  std::optional<std::string> ChooseFolder(const std::string& title, const std::string& startFolder,
                                          FolderUse use) override;
  void ShowResults(const std::string& summary, const std::vector<ResultLine>& lines) override;

 private:
  HWND owner_ = nullptr;
};

// Runs a modal dialog of `style` made from an empty template: `proc` creates its
// controls on WM_INITDIALOG (lParam is `param`) and places the dialog itself.
INT_PTR RunModalDialog(HWND owner, DWORD style, DLGPROC proc, LPARAM param);

// A child control with a rectangle of device-independent pixels, placed at `dpi`.
HWND MakeControl(HWND parent, const wchar_t* windowClass, std::string_view text, DWORD style, int id, RECT rect96,
                 Dpi dpi, DWORD exStyle = 0);

// The size of `window`'s frame around a client area of `width96` x `height96`
// device-independent pixels at `dpi`.
SIZE FrameSize(HWND window, int width96, int height96, Dpi dpi);

// The results dialog: `summary` above a list of name, result and content (failed lines
// in red), and OK. Modal; returns when it is closed.
void ShowResultsDialog(HWND owner, const std::string& summary, const std::vector<ResultLine>& lines);

}  // namespace plm::win32
