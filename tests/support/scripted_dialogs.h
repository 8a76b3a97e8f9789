#pragma once
// A user who answers the shell's boxes and folder choosers from queues filled
// beforehand, and records every request (the order of boxes, beeps and choosers too).
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialogs.h"

namespace plmtest {

// An empty queue answers No (Yes/No boxes), OK (OK boxes) or cancel (folders).
class ScriptedDialogs : public plm::Dialogs {
 public:
  struct Box {
    plm::BoxKind Kind;
    std::string Text;
    plm::BoxButtons Buttons;
  };
  struct FolderRequest {
    std::string Title;
    std::string StartFolder;
    plm::FolderUse Use;
  };

  void setNextAnswer(plm::BoxAnswer answer) { answers_.push_back(answer); }
  void setNextFolder(std::optional<std::string> folder) { folders_.push_back(std::move(folder)); }

  plm::BoxAnswer MessageBox(plm::BoxKind kind, const std::string& text, plm::BoxButtons buttons) override {
    Boxes.push_back({kind, text, buttons});
    Events.push_back("box");
    if (answers_.empty()) return buttons == plm::BoxButtons::YesNo ? plm::BoxAnswer::No : plm::BoxAnswer::Ok;
    const plm::BoxAnswer a = answers_.front();
    answers_.pop_front();
    return a;
  }
  void Beep() override { Events.push_back("beep"); }
  std::optional<std::string> ChooseFolder(const std::string& title, const std::string& startFolder,
                                          plm::FolderUse use) override {
    Folders.push_back({title, startFolder, use});
    Events.push_back("folder");
    if (folders_.empty()) return std::nullopt;
    auto f = std::move(folders_.front());
    folders_.pop_front();
    return f;
  }

  void ShowResults(const std::string& summary, const std::vector<plm::ResultLine>& lines) override {
    Results.push_back({summary, lines});
    Events.push_back("results");
  }

  struct ResultsShown {
    std::string Summary;
    std::vector<plm::ResultLine> Lines;
  };

  std::vector<Box> Boxes;
  std::vector<ResultsShown> Results;
  std::vector<FolderRequest> Folders;
  std::vector<std::string> Events;  // "box", "beep", "folder", "results" in the order asked

 private:
  std::deque<plm::BoxAnswer> answers_;
  std::deque<std::optional<std::string>> folders_;
};

}  // namespace plmtest
