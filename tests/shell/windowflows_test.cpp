#include "shell/windowflows.h"

#include <gtest/gtest.h>

#include "shell/preview.h"
#include "shell/settings.h"
#include "shell/texts.h"
#include "tests/support/fake_keystate.h"
#include "tests/support/scripted_dialogs.h"

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
