#pragma once
// The desktop implementation of the message boxes, beep and folder chooser.
#include "platform/dialogs.h"

class QFileDialog;

namespace plm {

class QtDialogs : public Dialogs {
 public:
  BoxAnswer MessageBox(BoxKind kind, const std::string& text, BoxButtons buttons) override;
  void Beep() override;
  std::optional<std::string> ChooseFolder(const std::string& title, const std::string& startFolder,
                                          FolderUse use) override;
};

// The chooser's settings: folders only; read-only (no new folder) for a search folder.
void ConfigureFolderDialog(QFileDialog& dialog, FolderUse use);

}  // namespace plm
