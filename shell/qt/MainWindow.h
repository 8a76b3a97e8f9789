#pragma once
// The main window: the layout of its parts (folder panel, top strip, file list,
// preview), the menu and status bar, start-up and shut-down with the settings, and the
// save-folder choice. The parts do the rest; every decision a test checks is made by
// the GUI-free core (foldertree, filelist, batch).
#include <QMainWindow>
#include <memory>
#include <optional>
#include <string>

#include "shell/batch.h"
#include "shell/qt/WindowServices.h"
#include "shell/settings.h"
#include "shell/shellstate.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSplitter;

namespace plm {

class BatchController;
class Dialogs;
class FileListView;
class FileTableModel;
class FolderTreePanel;
class KeyState;
class PreviewPane;
class QtKeyState;
class SwitchesDialog;

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  // `dialogs` answers every box and folder choice and must outlive the window.
  // `programFolder` (ending in "/") stands for the folder of the program file; empty
  // means the folder of the running executable.
  explicit MainWindow(Dialogs& dialogs, std::string programFolder = {}, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The settings dialog opened by OpenSwitchesDialog, whose position is kept in the settings.
  void SetSettingsDialog(SwitchesDialog* switchesDialog) { switchesDialog_ = switchesDialog; }

  // Answers "ESC held" during the folder search, the listing and the save-folder wait;
  // the window's own toolkit-based answer when null. Must outlive the window.
  void SetKeyState(KeyState* keys);

  ShellState& State() { return state_; }
  PreviewPane& Preview() { return *preview_; }
  FolderTreePanel& FolderTree() { return *folderTree_; }
  FileListView& FileList() { return *fileList_; }
  FileTableModel& FileTable();
  void SetStatusText(const std::string& text);  // repaints at once
  QString StatusText() const;

  bool FolderTreeReady() const;
  bool SearchAborted() const;
  bool FileListShown() const;
  bool SortDescending() const;
  const std::string& SearchFolder() const;  // ends in "/"
  // What became of each row handed to a converter in the last batch.
  const BatchResults& LastBatch() const;

  std::string ProgramFolder;   // ends in "/"
  std::string SettingsFolder;  // ProgramFolder, or the user's configuration folder
  std::string IniFileName;
  std::string SaveFolder;  // ends in "/" or is empty; always what the save folder box shows

 public slots:
  void Start();
  void Finish();
  void ConfirmExit();
  void OpenSwitchesDialog();
  void ChooseSaveFolder();

  void ChooseSearchFolder();
  void ListSelectedFolder();
  void FileTypeChanged();
  // The menu's file type `index` (0..3) into the combo box, then the list again.
  void SelectFileType(int index);
  void ConvertSelected();

  // Rebuilds the tree from SearchFolder (also the step after a folder choice).
  void SearchFolderTree();
  // Fills the list with the files of folderPath (ending in "/").
  void ListFiles(const std::string& folderPath);
  // NodeFolderPath of the tree's selected node; nullopt without one.
  std::optional<std::string> SelectedFolderPath() const;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  QWidget* CreateTopStrip();
  QWidget* CreatePreviewSplitter();
  // Shows the single selected row's drawing in the preview pane, or why there is none.
  void PreviewSelection();
  void ReadPreviewSettings();
  void WritePreviewSettings();
  void CreateMainMenu();
  void CreateStatusBar();

  std::unique_ptr<QtKeyState> ownKeys_;
  ShellState state_;
  WindowServices services_;
  std::string programFolderOverride_;
  SwitchesDialog* switchesDialog_ = nullptr;
  // Where the settings put the windows, and where they opened on this session's screens.
  WindowPlace storedPlace_, fittedPlace_, storedDialogPlace_, fittedDialogPlace_;
  bool shown_ = false;
  bool closed_ = false;

  QSplitter* splitter_ = nullptr;
  FolderTreePanel* folderTree_ = nullptr;
  QComboBox* fileTypeBox_ = nullptr;
  QPushButton* switchesButton_ = nullptr;
  QLineEdit* saveFolderBox_ = nullptr;
  QPushButton* chooseSaveFolderButton_ = nullptr;
  QPushButton* convertButton_ = nullptr;
  FileListView* fileList_ = nullptr;
  QSplitter* previewSplitter_ = nullptr;
  PreviewPane* preview_ = nullptr;
  std::unique_ptr<BatchController> batch_;
  QLabel* statusText_ = nullptr;
};

// The main window's font: ＭＳ Ｐゴシック when installed, else Noto Sans CJK JP.
QFont FormFont(int pixelSize);

}  // namespace plm
