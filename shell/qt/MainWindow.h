#pragma once
// The main window: layout, menu, start-up and shut-down, the save-folder choice, the
// folder tree, the file list and the batch conversion command. Every decision a test
// checks is made by the GUI-free core (foldertree, filelist, batch).
#include <QMainWindow>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "shell/batch.h"
#include "shell/shellstate.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSplitter;
class QTableView;
class QTreeWidget;

namespace plm {

class Dialogs;
class FileTableModel;
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
  void SetSettingsDialog(SwitchesDialog* form2) { form2_ = form2; }

  // Answers "ESC held" during the folder search and the listing; the window's own
  // toolkit-based answer when null. Must outlive the window.
  void SetKeyState(KeyState* keys);
  // Opens a file with the desktop's associated program; false when none could.
  // Replaceable for tests.
  std::function<bool(const std::string& path)> OpenFile;

  ShellState& State() { return state_; }
  PreviewPane& Preview() { return *preview_; }
  FileTableModel& FileTable() { return *fileTable_; }
  void SetStatusText(const std::string& text);  // repaints at once
  QString StatusText() const;

  bool FolderTreeReady = false;
  bool FileListShown = false;
  bool SortDescending = false;
  bool SearchAborted = false;
  std::string ProgramFolder;   // ends in "/"
  std::string SettingsFolder;  // ProgramFolder, or the user's configuration folder
  std::string IniFileName;
  std::string SearchFolder;  // ends in "/"
  std::string SaveFolder;    // ends in "/" or is empty; always what Edit2 shows
  // What became of each row handed to a converter in the last batch.
  BatchResults LastBatch;

 public slots:
  void Start();
  void Finish();
  void LayoutFolderPanel();
  void ConfirmExit();
  void OpenSwitchesDialog();
  void ChooseSaveFolder();

  void ChooseSearchFolder();
  void ListSelectedFolder();
  void FileTypeChanged();
  // The menu's file type `index` (0..3) into the combo box, then the list again.
  void SelectFileType(int index);
  void RepadFileSizes();
  // A mouse button went down on the header; `column` is the column under the pointer
  // or -1.
  void HeaderPressed(int column);
  void OpenCurrentFile();
  void ConvertSelected();

  // Rebuilds the tree from SearchFolder (also the step after a folder choice).
  void SearchFolderTree();
  // Fills the list with the files of folderPath (ending in "/").
  void ListFiles(const std::string& folderPath);
  // NodeFolderPath of the tree's selected node; nullopt without one.
  std::optional<std::string> SelectedFolderPath() const;
  bool Searching() const { return searching_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateFolderPanel();
  QWidget* CreateTopStrip();
  void CreateFileList();
  QWidget* CreatePreviewSplitter();
  // Shows the single selected row's drawing in the preview pane, or why there is none.
  void PreviewSelection();
  void ReadPreviewSettings();
  void WritePreviewSettings();
  void CreateMainMenu();
  void CreateStatusBar();

  void ResetFileList();
  void BoxAndStatus(const std::string& text);

  Dialogs& dialogs_;
  std::unique_ptr<QtKeyState> ownKeys_;
  KeyState* keys_ = nullptr;
  bool searching_ = false;
  bool listing_ = false;
  bool batchRunning_ = false;
  bool stopSearch_ = false;  // the window closes during a search
  std::string programFolderOverride_;
  ShellState state_;
  SwitchesDialog* form2_ = nullptr;
  bool shown_ = false;
  bool closed_ = false;

  QSplitter* splitter_ = nullptr;
  QWidget* Panel1 = nullptr;
  QLineEdit* Edit1 = nullptr;
  QTreeWidget* TreeView1 = nullptr;
  QComboBox* ComboBox1 = nullptr;
  QPushButton* Button1 = nullptr;
  QLineEdit* Edit2 = nullptr;
  QPushButton* Button3 = nullptr;
  QPushButton* Button4 = nullptr;
  QTableView* StringGrid1 = nullptr;
  QSplitter* previewSplitter_ = nullptr;
  PreviewPane* preview_ = nullptr;
  std::string listedFolder_;  // the folder the rows of the list come from
  FileTableModel* fileTable_ = nullptr;
  QLabel* statusText_ = nullptr;
};

// The main window's font: ＭＳ Ｐゴシック when installed, else Noto Sans CJK JP.
QFont FormFont(int pixelSize);

}  // namespace plm
