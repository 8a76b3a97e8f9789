#pragma once
// The commands of the main window that are flow rather than widget work, shared by every
// window toolkit: the folder search, the listing and the header click, opening a listed
// file, the batch command with its checks, question, rows, summary and results, and the
// rule that picks what the preview shows. Each window implements the small interfaces
// below with its own controls.
#include <optional>
#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "shell/batch.h"
#include "shell/filelist.h"
#include "shell/foldertree.h"
#include "shell/shellstate.h"

namespace plm {

// What every window offers the flows: its boxes, the ESC key, the status line, the gate
// that keeps user input out while work runs, and a turn of its event loop.
class WindowHost {
 public:
  virtual ~WindowHost() = default;
  virtual Dialogs& Boxes() = 0;
  // True while ESC is held down at the moment of the call.
  virtual bool EscapeHeld() = 0;
  // Sets the status text and repaints it at once.
  virtual void SetStatus(const std::string& text) = 0;
  // The status text shown now.
  virtual std::string StatusText() = 0;
  // User input is dropped from BlockInput(true) to BlockInput(false), including what is
  // still queued at the end, so a click or key made meanwhile never runs afterwards.
  // Repaints go on. Calls nest.
  virtual void BlockInput(bool blocked) = 0;
  // Lets pending events run (repaints, other controls).
  virtual void ProcessEvents() = 0;

  // An error box with a beep, its text left in the status line.
  void BoxAndStatus(const std::string& text);
};

// Keeps user input out for as long as it lives.
class InputBlock {
 public:
  explicit InputBlock(WindowHost& host) : host_(host) { host_.BlockInput(true); }
  ~InputBlock() { host_.BlockInput(false); }
  InputBlock(const InputBlock&) = delete;
  InputBlock& operator=(const InputBlock&) = delete;

 private:
  WindowHost& host_;
};

// The folder panel: the search folder box and the tree control.
class FolderTreeControl {
 public:
  virtual ~FolderTreeControl() = default;
  // The search folder box shows `folder` (after a choice).
  virtual void ShowSearchFolder(const std::string& folder) = 0;
  // A search begins: what was listed from the old tree goes, the tree is emptied and
  // takes no input until SearchEnded.
  virtual void SearchStarting() = 0;
  // A node was found; the tree may show it at once. `tree` grows during the search.
  virtual void NodeAdded(const FolderTree& tree, int id) = 0;
  // The search is over: the tree shows `sorted` (children in the order of
  // NameBefore), no node selected, and takes input again.
  virtual void SearchEnded(const FolderTree& sorted) = 0;
  // The desktop's order of two folder names (bytes as the file system gives them).
  virtual bool NameBefore(const std::string& a, const std::string& b) = 0;
};

struct FolderPanelState {
  std::string SearchFolder;  // ends in a separator
  bool Ready = false;        // the last search found the folder
  bool Aborted = false;      // ESC ended the last search
  bool Searching = false;
  bool StopRequested = false;  // the window closes during a search
};

// Asks for the search folder and searches it; nothing while a search runs. The status
// line is empty while the chooser is open and says again what it said when the choice
// is cancelled.
void ChooseSearchFolder(WindowHost& host, FolderTreeControl& tree, FolderPanelState& state);
// Rebuilds the tree from state.SearchFolder; a missing folder is said in a box and
// changes nothing else.
void SearchFolderTree(WindowHost& host, FolderTreeControl& tree, FolderPanelState& state);

// The file list control: the rows it shows and its columns.
class FileListControl {
 public:
  virtual ~FileListControl() = default;
  virtual const std::vector<FileRow>& Rows() const = 0;
  // A new list, shown from its first row and its left edge.
  virtual void ReplaceRows(std::vector<FileRow> rows) = 0;
  // New contents for the same rows: the selection stays on the same row numbers.
  virtual void ReorderRows(std::vector<FileRow> rows) = 0;
  virtual int ColumnWidth(int column) const = 0;
  // The index of the file type box, -1 without a selection.
  virtual int FilterIndex() const = 0;
};

struct FileListState {
  std::string ListedFolder;  // the folder the rows come from
  bool Shown = false;        // the last listing produced a row
  bool Descending = false;   // the direction of the next header-click sort
  bool Listing = false;
};

// One empty row, no list shown.
void ResetFileList(FileListControl& list, FileListState& state);
// Fills the list with the files of `folder` (ending in a separator); user input is kept
// out meanwhile, and ESC stops it. Nothing while a search or a listing runs.
void ListFolder(WindowHost& host, ShellState& shell, FileListControl& list, FileListState& state,
                const FolderPanelState& panel, const std::string& folder);
// A click on the tree, Return on a node, or a change of the file type: lists the folder
// of the selected node (nullopt: none selected).
void ListSelectedFolder(WindowHost& host, ShellState& shell, FileListControl& list, FileListState& state,
                        const FolderPanelState& panel, const std::optional<std::string>& selectedFolder);
// A mouse button went down on the header over `column` (-1: on none or on a border):
// sorts, or lists the selected folder again for the attribute column.
void FileListHeaderPressed(WindowHost& host, ShellState& shell, FileListControl& list, FileListState& state,
                           const FolderPanelState& panel, int column, const std::optional<std::string>& selectedFolder);
// Re-pads the size column for its current width and the font's digit width.
void RepadFileSizes(FileListControl& list, const FileListState& state, int digitWidthPx);
// A double click (or Return) on the list: the path of the current row's file to open
// with the desktop's program, after the checks that say what is missing; nullopt when
// nothing is to be opened. The window reports a failed open with NoOpenerText().
std::optional<std::string> FileToOpen(WindowHost& host, const FileListState& state, const FolderPanelState& panel,
                                      int currentRow, const std::vector<FileRow>& rows,
                                      const std::optional<std::string>& selectedFolder);

// The batch command over the selected block of rows.
struct BatchRequest {
  bool FolderTreeReady = false;
  bool FileListShown = false;
  std::string SaveFolder;    // as the save folder box shows it
  std::string SourceFolder;  // of the selected tree node; empty without one
  const std::vector<FileRow>* Rows = nullptr;
  int Top = 0, Bottom = 0;  // the selected block
};

// The checks with their boxes, the question, then the rows with "(i/n) " before each
// progress sentence, the wait while another run writes into the save folder (ESC gives
// up), the closing status text and, when a file failed, the results dialog. User input
// is kept out while the rows run. Returns what became of the rows handed to a
// converter (empty when the command stopped before the rows).
BatchResults RunBatchCommand(WindowHost& host, ShellState& shell, const BatchRequest& request);

// What the preview pane shows for a selection: a file's path, or a reason.
struct PreviewChoice {
  std::string Path;    // empty: show Reason
  std::string Reason;  // UTF-8
};
// `selectedRows` holds the selected row numbers; the pane shows a file only for one
// selected row with a name, listed from a known folder.
PreviewChoice ChoosePreview(const std::vector<int>& selectedRows, const std::vector<FileRow>& rows,
                            const std::string& listedFolder);

// Where a window keeps its settings and images, for a program folder ending in a
// separator: the settings folder, the settings file in it and the image folder TEMP,
// which is made here (a failure is ignored).
struct WindowPlaces {
  std::string ProgramFolder;
  std::string SettingsFolder;
  std::string IniFileName;
  std::string TempFolder;
};
WindowPlaces PrepareWindowPlaces(std::string programFolder);

}  // namespace plm
