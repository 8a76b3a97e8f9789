#pragma once
// The shell's only ways of asking the user: message boxes of three kinds, the default
// beep and a folder chooser. The windows call them through this interface so that
// tests can answer them without a person.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plm {

enum class BoxKind { Error, Information, Confirmation };
enum class BoxButtons { Ok, YesNo };
enum class BoxAnswer { Ok, Yes, No };
// What a chosen folder is for: a search folder is only read; a save folder may be
// one the user creates in the chooser.
enum class FolderUse { Search, Save };

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

// One line of the results shown after a batch; UTF-8 texts.
struct ResultLine {
  std::string Name;     // the file name as shown
  std::string Outcome;  // what became of the file, in a word or two
  std::string Detail;   // why it failed, or what was changed
  bool Failed = false;
};

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
  virtual std::optional<std::string> ChooseFolder(const std::string& title, const std::string& startFolder,
                                                  FolderUse use) = 0;
  // Shows what became of the files of a batch: `summary` above the lines, in a modal
  // dialog the user closes with OK.
  virtual void ShowResults(const std::string& summary, const std::vector<ResultLine>& lines) = 0;
};

}  // namespace plm
