#pragma once
// Shared pieces of the window tests: a registry of QtTest classes run by one binary,
// and a session that starts the real windows in a private program folder.
#include <QObject>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/scripted_dialogs.h"
#include "platform/fsutil.h"
#include "shell/qt/MainWindow.h"
#include "shell/qt/SwitchesDialog.h"

namespace plmtest {

using UiTestFactory = QObject* (*)();

inline std::vector<UiTestFactory>& UiTests() {
  static std::vector<UiTestFactory> tests;
  return tests;
}

struct RegisterUiTest {
  explicit RegisterUiTest(UiTestFactory factory) { UiTests().push_back(factory); }
};

// The program as plmtool builds it, with a scripted user and its own program folder.
struct Session {
  plm::ScopedTempFolder Folder{"plm-ui-"};
  plmtest::ScriptedDialogs Dialogs;
  std::unique_ptr<plm::MainWindow> Form1;
  plm::SwitchesDialog* Form2 = nullptr;

  std::string ProgramFolder() const { return Folder.Path().string() + "/"; }
  std::filesystem::path IniPath() const { return Folder.Path() / "plmtool.ini"; }

  void WriteIni(const std::string& text) const {
    std::ofstream(IniPath(), std::ios::binary) << text;
  }
  std::string ReadIni() const {
    std::ifstream in(IniPath(), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

  // Creates and shows the main window (start-up runs in its show event).
  void Start() {
    Form1 = std::make_unique<plm::MainWindow>(Dialogs, ProgramFolder());
    Form2 = new plm::SwitchesDialog(Form1->State().Options, Form1.get());
    Form1->SetSettingsDialog(Form2);
    Form1->show();
  }

  template <typename T>
  T* Find(const char* name) const {
    return Form1->findChild<T*>(QString::fromUtf8(name));
  }
};

}  // namespace plmtest

#define PLM_UI_TEST(Class) \
  static const plmtest::RegisterUiTest plm_register_##Class([]() -> QObject* { return new Class; })
