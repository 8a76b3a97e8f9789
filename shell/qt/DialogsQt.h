#pragma once
// The desktop implementation of the message boxes, beep and folder chooser.
#include "platform/dialogs.h"

namespace plm {

class QtDialogs : public Dialogs {
 public:
  BoxAnswer MessageBox(BoxKind kind, const std::string& text, BoxButtons buttons) override;
  void Beep() override;
  std::optional<std::string> ChooseFolder(const std::string& title,
                                          const std::string& startFolder) override;
};

}  // namespace plm
