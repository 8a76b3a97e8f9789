#pragma once
// The shell's only ways of asking the user: message boxes of three kinds, the default
// beep and a folder chooser. The windows call them through this interface so that
// tests can answer them without a person (ScriptedDialogs below).
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plm {

enum class BoxKind { Error, Information, Confirmation };
enum class BoxButtons { Ok, YesNo };
enum class BoxAnswer { Ok, Yes, No };

// The caption each kind of box carries.
inline std::string_view BoxCaption(BoxKind kind) {
  switch (kind) {
    case BoxKind::Error: return "エラー";
    case BoxKind::Information: return "情報";
    case BoxKind::Confirmation: return "確認";
  }
  return {};
}

inline constexpr std::string_view kBoxOkText = "OK";
inline constexpr std::string_view kBoxYesText = "はい(&Y)";
inline constexpr std::string_view kBoxNoText = "いいえ(&N)";

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // Shows a modal box with the caption of its kind; texts are UTF-8. A Yes/No box
  // closed without a choice answers No.
  virtual BoxAnswer MessageBox(BoxKind kind, const std::string& text, BoxButtons buttons) = 0;
  // The desktop's default sound.
  virtual void Beep() = 0;
  // Lets the user pick an existing folder, starting in startFolder. The chosen path
  // ends in "/"; nullopt when the user cancels.
  virtual std::optional<std::string> ChooseFolder(const std::string& title,
                                                  const std::string& startFolder) = 0;
};

// Test double: answers from queues filled beforehand and records every request.
// An empty queue answers No (Yes/No boxes), OK (OK boxes) or cancel (folders).
class ScriptedDialogs : public Dialogs {
 public:
  struct Box {
    BoxKind Kind;
    std::string Text;
    BoxButtons Buttons;
  };
  struct FolderRequest {
    std::string Title;
    std::string StartFolder;
  };

  void setNextAnswer(BoxAnswer answer) { answers_.push_back(answer); }
  void setNextFolder(std::optional<std::string> folder) { folders_.push_back(std::move(folder)); }

  BoxAnswer MessageBox(BoxKind kind, const std::string& text, BoxButtons buttons) override {
    Boxes.push_back({kind, text, buttons});
    Events.push_back("box");
    if (answers_.empty()) return buttons == BoxButtons::YesNo ? BoxAnswer::No : BoxAnswer::Ok;
    const BoxAnswer a = answers_.front();
    answers_.pop_front();
    return a;
  }
  void Beep() override { Events.push_back("beep"); }
  std::optional<std::string> ChooseFolder(const std::string& title,
                                          const std::string& startFolder) override {
    Folders.push_back({title, startFolder});
    Events.push_back("folder");
    if (folders_.empty()) return std::nullopt;
    auto f = std::move(folders_.front());
    folders_.pop_front();
    return f;
  }

  std::vector<Box> Boxes;
  std::vector<FolderRequest> Folders;
  std::vector<std::string> Events;  // "box", "beep", "folder" in the order asked

 private:
  std::deque<BoxAnswer> answers_;
  std::deque<std::optional<std::string>> folders_;
};

}  // namespace plm
