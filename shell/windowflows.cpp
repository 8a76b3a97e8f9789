#include "shell/windowflows.h"

#include <algorithm>
#include <functional>
#include <utility>

#include "jww/drawingbody.h"
#include "platform/files.h"
#include "platform/fsutil.h"
#include "platform/paths.h"
#include "shell/batchreport.h"
#include "shell/preview.h"
#include "shell/savefolder.h"
#include "shell/settings.h"
#include "shell/texts.h"

namespace plm {

void WindowHost::BoxAndStatus(const std::string& text) {
  Boxes().Beep();
  Boxes().MessageBox(BoxKind::Error, text, BoxButtons::Ok);
  SetStatus(text);
}

void ChooseSearchFolder(WindowHost& host, FolderTreeControl& tree, FolderPanelState& state) {
  if (state.Searching) return;  // one search at a time
  const std::string before = host.StatusText();
  host.SetStatus("");
  const std::optional<std::string> folder =
      host.Boxes().ChooseFolder(texts::kSearchFolderTitle, state.SearchFolder, FolderUse::Search);
  if (!folder) {
    host.SetStatus(before);
    return;
  }
  state.SearchFolder = *folder;
  tree.ShowSearchFolder(state.SearchFolder);
  SearchFolderTree(host, tree, state);
}

void SearchFolderTree(WindowHost& host, FolderTreeControl& control, FolderPanelState& state) {
  if (state.Searching) return;
  host.SetStatus(texts::kSearchingFolders);
  if (!IsExistingFolder(PathFromUtf8(state.SearchFolder))) {
    host.Boxes().Beep();
    host.Boxes().MessageBox(BoxKind::Information, texts::kDriveNotReady, BoxButtons::Ok);
    host.SetStatus(texts::kSpecifySearchFolder);
    return;
  }
  control.SearchStarting();
  state.Ready = false;
  state.Aborted = false;
  state.Searching = true;
  state.StopRequested = false;

  // The tree shows each folder as it is found; the window runs pending events after
  // each directory entry, while the tree itself takes no input.
  FolderTree tree;
  FolderSearchHooks hooks;
  hooks.ProcessEvents = [&host] { host.ProcessEvents(); };
  hooks.EscapeHeld = [&] { return state.StopRequested || host.EscapeHeld(); };
  hooks.NodeAdded = [&](int id) { control.NodeAdded(tree, id); };
  state.Aborted = plm::SearchFolderTree(tree, state.SearchFolder, hooks) == SearchOutcome::Aborted;

  tree.SortChildren([&](const std::string& a, const std::string& b) { return control.NameBefore(a, b); });
  control.SearchEnded(tree);
  state.Searching = false;
  host.SetStatus(state.Aborted ? texts::kFolderSearchAborted : "");
  if (tree.Count() > 0) state.Ready = true;
}

void ResetFileList(FileListControl& list, FileListState& state) {
  state.Shown = false;
  list.ReplaceRows(std::vector<FileRow>(1));
}

void ListFolder(WindowHost& host, ShellState& shell, FileListControl& list, FileListState& state,
                const FolderPanelState& panel, const std::string& folder) {
  if (panel.Searching || state.Listing) return;
  state.Listing = true;
  InputBlock block(host);
  state.ListedFolder = folder;
  ResetFileList(list, state);
  // ESC is asked before each file; the window's answer runs pending repaints but drops
  // user input, so nothing else starts while the list fills.
  ListFilesResult result =
      ListFiles(shell, folder, list.FilterIndex(), list.ColumnWidth(kColSize), [&host] { return host.EscapeHeld(); });
  if (result.Rows.empty()) result.Rows.resize(1);
  list.ReplaceRows(std::move(result.Rows));
  state.Shown = result.FileListShown;
  state.Listing = false;
}

void ListSelectedFolder(WindowHost& host, ShellState& shell, FileListControl& list, FileListState& state,
                        const FolderPanelState& panel, const std::optional<std::string>& selectedFolder) {
  if (panel.Searching) return;  // no listing from inside a running search
  if (!panel.Ready) {
    host.BoxAndStatus(texts::kSpecifySearchFolder);
    return;
  }
  if (selectedFolder) ListFolder(host, shell, list, state, panel, *selectedFolder);
}

void FileListHeaderPressed(WindowHost& host, ShellState& shell, FileListControl& list, FileListState& state,
                           const FolderPanelState& panel, int column,
                           const std::optional<std::string>& selectedFolder) {
  if (!state.Shown || column < 0) return;
  if (column == kColAttr) {
    if (selectedFolder) ListFolder(host, shell, list, state, panel, *selectedFolder);
    return;
  }
  std::vector<FileRow> rows = list.Rows();
  if (HeaderClickSort(rows, column, state.Shown, state.Descending) == HeaderClickAction::Sorted)
    list.ReorderRows(std::move(rows));
}

void RepadFileSizes(FileListControl& list, const FileListState& state, int digitWidthPx) {
  if (!state.Shown) return;
  std::vector<FileRow> rows = list.Rows();
  RepadSizeColumn(rows, list.ColumnWidth(kColSize), digitWidthPx);
  list.ReorderRows(std::move(rows));
}

std::optional<std::string> FileToOpen(WindowHost& host, const FileListState& state, const FolderPanelState& panel,
                                      int currentRow, const std::vector<FileRow>& rows,
                                      const std::optional<std::string>& selectedFolder) {
  if (!panel.Ready) {
    host.BoxAndStatus(texts::kSpecifySearchFolder);
    return std::nullopt;
  }
  if (!state.Shown) {
    host.Boxes().Beep();
    host.SetStatus(texts::kSpecifyDrawingFolder);
    return std::nullopt;
  }
  if (currentRow < 0 || static_cast<size_t>(currentRow) >= rows.size()) return std::nullopt;
  const std::string& name = rows[static_cast<size_t>(currentRow)][kColName];
  if (name.empty() || !selectedFolder) return std::nullopt;
  return *selectedFolder + name;
}

BatchResults RunBatchCommand(WindowHost& host, ShellState& shell, const BatchRequest& request) {
  Dialogs& boxes = host.Boxes();
  const BatchCheck check =
      CheckBatchStart(request.FolderTreeReady, request.FileListShown, request.SaveFolder, request.SourceFolder);
  if (check != BatchCheck::Ready) {
    const BatchCheckReport report = ReportOf(check);
    if (report.Beep) boxes.Beep();
    boxes.MessageBox(report.Error ? BoxKind::Error : BoxKind::Confirmation, report.Text, BoxButtons::Ok);
    if (report.SetsStatus) host.SetStatus(report.Text);
    return {};
  }
  if (boxes.MessageBox(BoxKind::Confirmation, kBatchQuestion, BoxButtons::YesNo) == BoxAnswer::No) {
    host.SetStatus(kBatchCancelled);
    return {};
  }

  static const std::vector<FileRow> kNoRows;
  const std::vector<FileRow>& rows = request.Rows != nullptr ? *request.Rows : kNoRows;
  const int top = request.Top;
  const int bottom = std::min(request.Bottom, static_cast<int>(rows.size()) - 1);
  BatchResults results;
  std::vector<ResultLine> skipped;
  {
    InputBlock block(host);
    // Row by row, so the progress sentence can say which of the selected rows it is on.
    const std::function<void(const std::string&)> sink = shell.Status;
    std::string place;
    shell.Status = [&](const std::string& text) {
      if (sink) sink(place + text);
    };
    // Another run writing into the save folder is waited for, with the status text
    // saying so, until it ends or ESC gives up.
    SaveFolderWait wait;
    wait.OnBusy = [&host] { host.SetStatus(texts::kWaitingForSaveFolder); };
    wait.KeepWaiting = [&host] {
      host.SetStatus(texts::kWaitingForSaveFolder);
      return !host.EscapeHeld();
    };
    results = RunBatchRows(
        shell, rows, top, bottom, request.SourceFolder, request.SaveFolder,
        [&](int r) { place = "(" + std::to_string(r - top + 1) + "/" + std::to_string(bottom - top + 1) + ") "; },
        wait);
    shell.Status = sink;
    skipped = SkippedLines(results, rows, top, bottom);
  }
  if (results.GaveUpWaiting) {
    host.SetStatus(kBatchCancelled);
    return results;
  }
  // Without a failure the summary sentence alone; otherwise the count of failed files
  // and the list of what became of each.
  const std::string summary = BatchSummaryText(results);
  host.SetStatus(summary);
  if (BatchShowsResults(results))
    boxes.ShowResults(summary + "\n" + BatchCountsText(results, static_cast<int>(skipped.size())),
                      BatchResultLines(results, skipped));
  return results;
}

PreviewChoice ChoosePreview(const std::vector<int>& selectedRows, const std::vector<FileRow>& rows,
                            const std::string& listedFolder) {
  if (selectedRows.size() > 1) return {{}, previewtexts::kManyRows};
  const int row = selectedRows.size() == 1 ? selectedRows.front() : -1;
  if (row < 0 || static_cast<size_t>(row) >= rows.size() || rows[static_cast<size_t>(row)][kColName].empty() ||
      listedFolder.empty())
    return {{}, previewtexts::kNoSelection};
  return {listedFolder + rows[static_cast<size_t>(row)][kColName], {}};
}

WindowPlaces PrepareWindowPlaces(std::string programFolder) {
  WindowPlaces places;
  if (programFolder.empty() || !IsFolderSeparator(programFolder.back())) programFolder += kFolderSeparator;
  places.ProgramFolder = programFolder;
  places.SettingsFolder = SettingsFolderFor(programFolder);
  places.IniFileName = places.SettingsFolder + "plmtool.ini";
  places.TempFolder = places.SettingsFolder + "TEMP" + kFolderSeparator;
  CreateFolderQuietly(PathFromUtf8(places.TempFolder));
  return places;
}

}  // namespace plm
