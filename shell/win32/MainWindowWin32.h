#pragma once
// The main window of the Win32 build: the folder panel, the top strip, the file list
// with the preview below it, the menu and the status bar; start-up and shut-down with
// the settings file; the save-folder choice. Every command's flow is the shared core's
// (shell/windowflows.h); this class is the controls, their layout at the window's DPI,
// and the message routing.
// First: it takes the system's MessageBox macro away before the dialogs interface is seen.
#include "shell/win32/Win32Util.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/keystate.h"
#include "shell/batch.h"
#include "shell/settings.h"
#include "shell/shellstate.h"
#include "shell/windowflows.h"
#include "shell/win32/FileListWin32.h"
#include "shell/win32/FolderTreeWin32.h"
#include "shell/win32/PreviewPaneWin32.h"
#include "shell/win32/SwitchesDialogWin32.h"

namespace plm::win32 {

// Control and menu ids, named after the controls and menu items they stand for.
enum ControlId : int {
  kEdit1 = 1001,
  kTreeView1,
  kComboBox1,
  kButton1,
  kEdit2,
  kButton3,
  kButton4,
  kStringGrid1,
  kPreviewPane,
  kStatusBar1,
  kFileTypeLabel,
  kSaveFolderLabel,
  kMnuFileSFolder = 2001,
  kMnuFileHFolder,
  kMnuExit,
  kMnuSetConvert,
  kMnuFileType0 = 2010,
};

class MainWindowWin32 final : public WindowHost {
 public:
  // `dialogs` answers every box and folder choice and must outlive the window.
  // `programFolder` (ending in a separator) stands for the folder of the program file;
  // empty means the folder of the running program.
  explicit MainWindowWin32(Dialogs& dialogs, std::string programFolder = {});
  ~MainWindowWin32() override;
  MainWindowWin32(const MainWindowWin32&) = delete;
  MainWindowWin32& operator=(const MainWindowWin32&) = delete;

  // Creates the window, runs start-up and shows it. False when it cannot be created.
  bool Create(int showCommand = SW_SHOWNORMAL);
  HWND Handle() const { return window_; }
  // Answers "ESC held"; the system's key state when null. Must outlive the window.
  void SetKeyState(KeyState* keys);
  // Routes a message of the thread's loop before it is dispatched: Tab and Shift+Tab
  // move the focus between the window's controls. True when it was handled.
  bool PreTranslate(MSG& msg);

  ShellState& State() { return state_; }
  FolderTreeWin32& FolderTree() { return tree_; }
  FileListWin32& FileList() { return list_; }
  PreviewPaneWin32& Preview() { return preview_; }
  const BatchResults& LastBatch() const { return lastBatch_; }
  const WindowPlaces& Places() const { return places_; }
  const std::string& SaveFolder() const { return saveFolder_; }
  Dpi CurrentDpi() const { return dpi_; }
  // The folder panel's and the preview's extents in device-independent pixels.
  int PanelWidth() const { return panelWidth_; }
  int PreviewSize() const { return previewSize_; }

  // The commands, as the controls and menu items call them.
  void ChooseSearchFolder();
  void ListSelectedFolder();
  void FileTypeChanged();
  void SelectFileType(int index);
  void ChooseSaveFolder();
  void OpenSwitchesDialog();
  void ConvertSelected();
  void OpenCurrentFile();
  void ConfirmExit();

  // Opens a file with the desktop's associated program; false when none could.
  // Replaceable for tests.
  std::function<bool(const std::string& path)> OpenFile;

  // WindowHost.
  Dialogs& Boxes() override { return dialogs_; }
  bool EscapeHeld() override;
  void SetStatus(const std::string& text) override;
  std::string StatusText() override { return status_; }
  void BlockInput(bool blocked) override;
  void ProcessEvents() override;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnNotify(const NMHDR& header, LPARAM lParam);
  void OnCommand(int id, int code);
  void CreateControls();
  void CreateMainMenu();
  void ApplyFonts();
  void Layout();
  void Start();
  void Finish();
  void PreviewSelection();
  // Runs pending messages; user input is dropped while input is blocked.
  void Pump();
  // Which splitter a client point is on: 1 the folder panel's, 2 the preview's, 0 none.
  int SplitterAt(POINT p) const;

  Dialogs& dialogs_;
  std::unique_ptr<KeyState> ownKeys_;
  KeyState* keys_ = nullptr;
  std::string programFolderOverride_;
  ShellState state_;
  WindowPlaces places_;
  std::string saveFolder_;  // ends in a separator or is empty; always what Edit2 shows
  std::string status_;
  std::optional<std::string> statusLog_;  // the check's log of status texts
  BatchResults lastBatch_;
  SwitchesDialogPlace switchesPlace_;
  // Where the settings put the window, and where it opened on this session's screens.
  WindowPlace storedPlace_, fittedPlace_;

  HWND window_ = nullptr;
  HWND fileType_ = nullptr, button1_ = nullptr, saveBox_ = nullptr, button3_ = nullptr, button4_ = nullptr;
  HWND typeLabel_ = nullptr, saveLabel_ = nullptr, statusBar_ = nullptr;
  HWND lastFocus_ = nullptr;  // the control with the focus when the window was last left
  FolderTreeWin32 tree_;
  FileListWin32 list_;
  PreviewPaneWin32 preview_;
  HFONT formFont_ = nullptr, gridFont_ = nullptr, convertFont_ = nullptr;
  Dpi dpi_;
  int panelWidth_ = 160;   // device-independent pixels
  int previewSize_ = 150;  // device-independent; 0 folds the pane away
  int dragging_ = 0;       // the splitter being dragged
  int blockDepth_ = 0;
  bool running_ = false;  // a batch runs
  bool closePending_ = false;
  bool finished_ = false;
};

}  // namespace plm::win32
