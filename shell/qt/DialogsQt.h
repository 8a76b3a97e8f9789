#pragma once
// The desktop implementation of the message boxes, beep and folder chooser.
#include "platform/dialogs.h"

class QDialog;
class QFileDialog;
class QString;
class QUrl;
class QWidget;

namespace plm {

class QtDialogs : public Dialogs {
 public:
  BoxAnswer MessageBox(BoxKind kind, const std::string& text, BoxButtons buttons) override;
  void Beep() override;
  std::optional<std::string> ChooseFolder(const std::string& title, const std::string& startFolder,
                                          FolderUse use) override;
  void ShowResults(const std::string& summary, const std::vector<ResultLine>& lines) override;
};

// The results dialog "変換結果": the summary, a list of name, result and content (failed
// lines in red) and OK. Built apart from showing it, so it can be looked at.
QDialog* MakeResultsDialog(const std::string& summary, const std::vector<ResultLine>& lines, QWidget* parent);

// The file system's bytes of a path the toolkit gives as text. Names that are not
// UTF-8 reach the toolkit with their bytes replaced; such a part is found again as the
// one entry of its folder whose name the toolkit shows the same way. The plain
// encoding when nothing (or more than one entry) matches.
std::string LocalPathBytes(const QString& path);

// The file URL of a path's bytes, percent-encoded from the bytes themselves, so a name
// that is not UTF-8 still names its file when handed to the desktop.
QUrl LocalFileUrl(const std::string& pathBytes);

// The chooser's settings: folders only; read-only (no new folder) for a search folder.
void ConfigureFolderDialog(QFileDialog& dialog, FolderUse use);

}  // namespace plm
