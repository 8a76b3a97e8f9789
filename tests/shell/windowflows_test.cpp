#include "shell/windowflows.h"

#include <gtest/gtest.h>

#include "shell/preview.h"
#include "shell/settings.h"
#include "shell/texts.h"
#include "tests/support/fake_keystate.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/shell_fixtures.h"

namespace plm {
namespace {

// A window that records what the flows ask of it.
class RecordingHost : public WindowHost {
 public:
  plmtest::ScriptedDialogs Scripted;
  plmtest::FakeKeyState Keys;
  std::vector<std::string> Status;
  std::vector<std::string> Blocks;  // "block", "unblock"
  int Depth = 0;

  Dialogs& Boxes() override { return Scripted; }
  bool EscapeHeld() override { return Keys.EscapeHeld(); }
  void SetStatus(const std::string& text) override { Status.push_back(text); }
  std::string StatusText() override { return Status.empty() ? std::string() : Status.back(); }
  void BlockInput(bool blocked) override {
    Depth += blocked ? 1 : -1;
    Blocks.push_back(blocked ? "block" : "unblock");
  }
  void ProcessEvents() override {}
};

// A tree control that records what the search shows.
class RecordingTree : public FolderTreeControl {
 public:
  std::vector<std::string> Events;  // "shown <folder>", "starting", "node <text>", "ended <count>"
  void ShowSearchFolder(const std::string& folder) override { Events.push_back("shown " + folder); }
  void SearchStarting() override { Events.push_back("starting"); }
  void NodeAdded(const FolderTree& tree, int id) override { Events.push_back("node " + tree.Node(id).Text); }
  void SearchEnded(const FolderTree& sorted) override { Events.push_back("ended " + std::to_string(sorted.Count())); }
  bool NameBefore(const std::string& a, const std::string& b) override { return a < b; }
};

// A list control holding its rows, with the size column 64 pixels wide.
class RecordingList : public FileListControl {
 public:
  std::vector<FileRow> Shown;
  int Replaced = 0, Reordered = 0;
  const std::vector<FileRow>& Rows() const override { return Shown; }
  void ReplaceRows(std::vector<FileRow> rows) override {
    Shown = std::move(rows);
    ++Replaced;
  }
  void ReorderRows(std::vector<FileRow> rows) override {
    Shown = std::move(rows);
    ++Reordered;
  }
  int ColumnWidth(int) const override { return 64; }
  int FilterIndex() const override { return 0; }
};

FileRow Row(const std::string& name) {
  FileRow row;
  row[kColName] = name;
  return row;
}

TEST(WindowFlowsTest, TheBatchCommandStopsAtItsChecksAndQuestion) {
  const std::vector<FileRow> rows = {Row("a.jww")};
  struct Case {
    const char* name;
    bool tree, list;
    std::string save;
    std::vector<std::string> events;
    std::string box;
    std::vector<std::string> status;
  };
  const Case cases[] = {
      {"answered No", true, true, "/nowhere-plm-save/", {"box"}, texts::kBatchQuestion, {texts::kBatchCancelled}},
      {"no tree", false, true, "/s/", {"beep", "box"}, texts::kSpecifySearchFolder, {texts::kSpecifySearchFolder}},
      {"no list", true, false, "/s/", {"beep", "box"}, texts::kNoFileList, {}},
      {"no save folder", true, true, "", {"beep", "box"}, texts::kSpecifySaveFolder, {}},
      {"same folder", true, true, "/src/", {"beep", "box"}, texts::kSameFolders, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingHost host;
    ShellState shell;
    BatchRequest request{c.tree, c.list, c.save, "/src/", &rows, 0, 0};
    const BatchResults results = RunBatchCommand(host, shell, request);
    EXPECT_EQ(results.Handed(), 0);
    EXPECT_EQ(host.Scripted.Events, c.events);
    ASSERT_EQ(host.Scripted.Boxes.size(), 1u);
    EXPECT_EQ(host.Scripted.Boxes[0].Text, c.box);
    EXPECT_EQ(host.Status, c.status);
    EXPECT_TRUE(host.Blocks.empty());  // input is kept out only while rows run
  }
}

TEST(WindowFlowsTest, TheBatchCommandSaysWhichRowItIsOnAndListsAFailure) {
  plmtest::TempDir dir;
  std::filesystem::create_directories(dir / "src");
  std::filesystem::create_directories(dir / "out");
  plmtest::DistinctValues values;
  plmtest::WriteFileBytes(dir / "src" / "a.jww", plmtest::BuildEmptyJwwDrawing(600, values).data());
  plmtest::WriteText(dir / "src" / "b.jww", "no drawing");
  plmtest::WriteText(dir / "src" / "c.txt", "text");
  const std::vector<FileRow> rows = {Row("a.jww"), Row("b.jww"), Row("c.txt")};
  RecordingHost host;
  host.Scripted.setNextAnswer(BoxAnswer::Yes);
  ShellState shell;
  shell.Status = [&host](const std::string& text) { host.SetStatus(text); };
  shell.BatchWorkers = 1;
  const BatchRequest request{true, true, plmtest::Slashed(dir / "out"), plmtest::Slashed(dir / "src"), &rows, 0, 2};

  const BatchResults results = RunBatchCommand(host, shell, request);
  EXPECT_EQ(results.Handed(), 2);
  EXPECT_EQ(results.Failed(), 1);
  EXPECT_TRUE(std::filesystem::exists(dir / "out" / "a.jww"));
  ASSERT_FALSE(host.Status.empty());
  EXPECT_EQ(host.Status.front().rfind("(1/3) ファイル「", 0), 0u) << host.Status.front();
  EXPECT_EQ(host.Status.back(), std::string(texts::kBatchDone) + "（失敗 1 件）");
  EXPECT_EQ(host.Blocks, (std::vector<std::string>{"block", "unblock"}));
  // The question, then the results: the failed file first, the skipped row last.
  EXPECT_EQ(host.Scripted.Events, (std::vector<std::string>{"box", "results"}));
  ASSERT_EQ(host.Scripted.Results.size(), 1u);
  const std::vector<ResultLine>& lines = host.Scripted.Results[0].Lines;
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].Name, "b.jww");
  EXPECT_TRUE(lines[0].Failed);
  EXPECT_EQ(lines[1].Name, "a.jww");
  EXPECT_EQ(lines[2].Outcome, texts::kOutcomeSkipped);
}

TEST(WindowFlowsTest, ThePreviewShowsOneNamedRowOfAKnownFolder) {
  const std::vector<FileRow> rows = {Row("a.jww"), Row(""), Row("c.jws")};
  struct Case {
    const char* name;
    std::vector<int> selected;
    std::string folder;
    std::string path;
    std::string reason;
  };
  const Case cases[] = {
      {"one row", {2}, "/f/", "/f/c.jws", ""},
      {"nothing selected", {}, "/f/", "", previewtexts::kNoSelection},
      {"several rows", {0, 2}, "/f/", "", previewtexts::kManyRows},
      {"an empty row", {1}, "/f/", "", previewtexts::kNoSelection},
      {"past the rows", {3}, "/f/", "", previewtexts::kNoSelection},
      {"no folder listed", {0}, "", "", previewtexts::kNoSelection},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PreviewChoice choice = ChoosePreview(c.selected, rows, c.folder);
    EXPECT_EQ(choice.Path, c.path);
    EXPECT_EQ(choice.Reason, c.reason);
  }
}

TEST(WindowFlowsTest, OpeningAFileSaysWhatIsMissingFirst) {
  const std::vector<FileRow> rows = {Row("a.jww"), Row("")};
  FolderPanelState ready;
  ready.Ready = true;
  FileListState shown;
  shown.Shown = true;
  struct Case {
    const char* name;
    FolderPanelState panel;
    FileListState list;
    int row;
    std::optional<std::string> path;
    std::vector<std::string> events;
    std::vector<std::string> status;
  };
  const Case cases[] = {
      {"a named row", ready, shown, 0, "/f/a.jww", {}, {}},
      {"no tree", {}, shown, 0, std::nullopt, {"beep", "box"}, {texts::kSpecifySearchFolder}},
      {"no list", ready, {}, 0, std::nullopt, {"beep"}, {texts::kSpecifyDrawingFolder}},
      {"an empty row", ready, shown, 1, std::nullopt, {}, {}},
      {"no current row", ready, shown, -1, std::nullopt, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingHost host;
    EXPECT_EQ(FileToOpen(host, c.list, c.panel, c.row, rows, std::string("/f/")), c.path);
    EXPECT_EQ(host.Scripted.Events, c.events);
    EXPECT_EQ(host.Status, c.status);
  }
}

TEST(WindowFlowsTest, TheSearchShowsItsFolderTreeOrSaysTheFolderIsMissing) {
  plmtest::TempDir dir;
  std::filesystem::create_directories(dir / "a");
  const std::string folder = plmtest::Slashed(dir.path());
  struct Case {
    const char* name;
    std::optional<std::string> chosen;
    int escapeAfter;
    std::vector<std::string> tree;
    std::vector<std::string> status;
    bool ready;
  };
  const Case cases[] = {
      {"a folder with a sub-folder",
       folder,
       -1,
       {"shown " + folder, "starting", "node " + folder, "node a", "ended 2"},
       {"", texts::kSearchingFolders, ""},
       true},
      {"the choice cancelled: the status text comes back", std::nullopt, -1, {}, {"", "before"}, false},
      {"a folder that is gone",
       folder + "gone/",
       -1,
       {"shown " + folder + "gone/"},
       {"", texts::kSearchingFolders, texts::kSpecifySearchFolder},
       false},
      {"ESC held",
       folder,
       0,
       {"shown " + folder, "starting", "node " + folder, "node a", "ended 2"},
       {"", texts::kSearchingFolders, texts::kFolderSearchAborted},
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingHost host;
    host.Status.push_back("before");
    host.Keys.HeldAfter = c.escapeAfter;
    host.Scripted.setNextFolder(c.chosen);
    RecordingTree tree;
    FolderPanelState state;
    ChooseSearchFolder(host, tree, state);
    EXPECT_EQ(tree.Events, c.tree);
    EXPECT_EQ(std::vector<std::string>(host.Status.begin() + 1, host.Status.end()), c.status);
    EXPECT_EQ(state.Ready, c.ready);
    EXPECT_FALSE(state.Searching);
  }
}

TEST(WindowFlowsTest, TheListFillsWithInputKeptOutAndTheHeaderSortsOrListsAgain) {
  plmtest::TempDir dir;
  for (const char* name : {"b.txt", "a.txt", "c.txt"}) plmtest::WriteText(dir / name, name);
  const std::string folder = plmtest::Slashed(dir.path());
  RecordingHost host;
  ShellState shell;
  shell.Status = [&host](const std::string& text) { host.SetStatus(text); };
  RecordingList list;
  FileListState state;
  FolderPanelState panel;

  // Before a search there is nothing to list: the box says so.
  ListSelectedFolder(host, shell, list, state, panel, folder);
  EXPECT_EQ(host.Scripted.Events, (std::vector<std::string>{"beep", "box"}));
  EXPECT_EQ(list.Replaced, 0);

  panel.Ready = true;
  ListSelectedFolder(host, shell, list, state, panel, folder);
  ASSERT_EQ(list.Shown.size(), 3u);
  EXPECT_TRUE(state.Shown);
  EXPECT_EQ(state.ListedFolder, folder);
  EXPECT_EQ(host.Blocks, (std::vector<std::string>{"block", "unblock"}));
  EXPECT_EQ(host.Depth, 0);

  struct Click {
    int column;
    std::vector<std::string> names;  // after the click
    int replaced, reordered;
  };
  const Click clicks[] = {
      {kColName, {"a.txt", "b.txt", "c.txt"}, 2, 1},  // ascending first
      {kColName, {"c.txt", "b.txt", "a.txt"}, 2, 2},  // then descending
      {-1, {"c.txt", "b.txt", "a.txt"}, 2, 2},        // on a border: nothing
      {kColAttr, {"a.txt", "b.txt", "c.txt"}, 4, 2},  // listed again (reset, then the rows)
  };
  for (const Click& c : clicks) {
    SCOPED_TRACE(c.column);
    FileListHeaderPressed(host, shell, list, state, panel, c.column, folder);
    std::vector<std::string> names;
    for (const FileRow& row : list.Shown) names.push_back(row[kColName]);
    EXPECT_EQ(names, c.names);
    EXPECT_EQ(list.Replaced, c.replaced);
    EXPECT_EQ(list.Reordered, c.reordered);
  }

  // Nothing is listed while a search runs.
  panel.Searching = true;
  ListFolder(host, shell, list, state, panel, folder);
  EXPECT_EQ(list.Replaced, 4);
}

TEST(WindowFlowsTest, WindowsSettingsMoveToApplicationDataOnlyWhenTheProgramFolderIsNotWritable) {
  struct Case {
    const char* name;
    bool writable;
    const char* appData;
    const char* expected;
  };
  const Case cases[] = {
      {"writable program folder", true, "C:\\Users\\u\\AppData\\Roaming", "C:\\Tools\\P\\"},
      {"application data", false, "C:\\Users\\u\\AppData\\Roaming", "C:\\Users\\u\\AppData\\Roaming\\Pallimo\\"},
      {"application data with separator", false, "C:\\A\\", "C:\\A\\Pallimo\\"},
      {"a network share", false, "\\\\srv\\home", "\\\\srv\\home\\Pallimo\\"},
      {"relative ignored", false, "Roaming", "C:\\Tools\\P\\"},
      {"unset", false, nullptr, "C:\\Tools\\P\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ChooseSettingsFolderWindows("C:\\Tools\\P\\", c.writable, c.appData), c.expected);
  }
}

}  // namespace
}  // namespace plm
