// The Win32 window's own routing and scaling, on a real window under the system's (or
// wine's) window manager: keys reach the command they stand for, and sizes kept in the
// settings stay device-independent pixels whatever the DPI.
#include "shell/win32/MainWindowWin32.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/fsutil.h"
#include "platform/paths.h"
#include "shell/settings.h"
#include "tests/support/fake_keystate.h"
#include "tests/support/scripted_dialogs.h"

namespace {

using plm::win32::MainWindowWin32;

void Pump(MainWindowWin32& window) {
  MSG msg;
  for (int round = 0; round < 3; ++round) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (window.PreTranslate(msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(10);
  }
}

// A key pressed and released on the control that has the focus, through the queue as a
// user's key comes.
void PressKey(MainWindowWin32& window, WPARAM key) {
  HWND focus = GetFocus();
  PostMessageW(focus, WM_KEYDOWN, key, 1);
  PostMessageW(focus, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001));
  Pump(window);
}

// The window in a program folder of its own, with a search folder of three files.
struct Session {
  plm::ScopedTempFolder Folder{"plm-win32-"};
  plmtest::ScriptedDialogs Dialogs;
  plmtest::FakeKeyState Keys;
  std::unique_ptr<MainWindowWin32> Window;
  std::vector<std::string> Opened;

  std::string ProgramFolder() const { return plm::Utf8FromPath(Folder.Path()) + "\\"; }
  std::string SearchFolder() const { return ProgramFolder() + "図面\\"; }
  std::filesystem::path Ini() const { return Folder.Path() / "plmtool.ini"; }

  void Start() {
    std::filesystem::create_directories(plm::PathFromUtf8(SearchFolder()));
    for (const char* name : {"a.jww", "b.txt", "c.jws"})
      std::ofstream(plm::PathFromUtf8(SearchFolder() + name)) << name;
    Window = std::make_unique<MainWindowWin32>(Dialogs, ProgramFolder());
    Window->SetKeyState(&Keys);
    Window->OpenFile = [this](const std::string& path) {
      Opened.push_back(path);
      return true;
    };
    ASSERT_TRUE(Window->Create(SW_SHOWNORMAL));
    Pump(*Window);
  }
  // A search folder chosen and its root listed.
  void ListSearchFolder() {
    Dialogs.setNextFolder(SearchFolder());
    Window->ChooseSearchFolder();
    HWND tree = Window->FolderTree().Tree();
    TreeView_SelectItem(tree, TreeView_GetRoot(tree));
    Window->ListSelectedFolder();
    Pump(*Window);
  }
  std::string IniText() const {
    std::ifstream in(Ini(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
};

TEST(MainWindowWin32Test, KeysReachTheirCommandsAndNoDefaultButton) {
  Session s;
  ASSERT_NO_FATAL_FAILURE(s.Start());
  s.ListSearchFolder();
  ASSERT_EQ(s.Window->FileList().Rows().size(), 3u);
  HWND list = s.Window->FileList().Handle();
  HWND tree = s.Window->FolderTree().Tree();

  // Return on the tree lists its node again; Return on the list opens the current file
  // and never presses a button (no box, no batch question).
  SetFocus(tree);
  s.Window->FileList().ReplaceRows({});  // the next listing shows whether Return listed
  PressKey(*s.Window, VK_RETURN);
  EXPECT_EQ(s.Window->FileList().Rows().size(), 3u);

  SetFocus(list);
  ListView_SetItemState(list, 2, LVIS_FOCUSED | LVIS_SELECTED, LVIS_FOCUSED | LVIS_SELECTED);
  PressKey(*s.Window, VK_RETURN);
  ASSERT_EQ(s.Opened.size(), 1u);
  EXPECT_EQ(s.Opened[0], s.SearchFolder() + s.Window->FileList().Rows()[2][plm::kColName]);
  EXPECT_TRUE(s.Dialogs.Boxes.empty());

  // Tab moves on in the controls' order and Shift+Tab back; the list is followed by the
  // preview, whose buttons are disabled without a drawing, so Tab wraps to the tree.
  struct Step {
    HWND from;
    bool back;
    HWND to;
  };
  HWND convert = GetDlgItem(s.Window->Handle(), plm::win32::kButton4);
  HWND combo = GetDlgItem(s.Window->Handle(), plm::win32::kComboBox1);
  const Step steps[] = {
      {tree, false, combo},
      {list, true, convert},
      {convert, false, list},
      {tree, true, list},
  };
  for (const Step& step : steps) {
    SetFocus(step.from);
    PostMessageW(step.from, WM_KEYDOWN, VK_TAB, 1);
    if (step.back) {
      BYTE keys[256];
      GetKeyboardState(keys);
      keys[VK_SHIFT] = 0x80;
      SetKeyboardState(keys);
      Pump(*s.Window);
      keys[VK_SHIFT] = 0;
      SetKeyboardState(keys);
    } else {
      Pump(*s.Window);
    }
    EXPECT_EQ(GetFocus(), step.to);
  }
}

TEST(MainWindowWin32Test, SizesAreKeptInDeviceIndependentPixelsAtAnyDpi) {
  Session s;
  std::ofstream(s.Ini()) << "[Comp]\nF1P1=150\nF1S0=100\n";
  ASSERT_NO_FATAL_FAILURE(s.Start());
  MainWindowWin32& w = *s.Window;
  const int dpi = w.CurrentDpi().Value;
  HWND list = w.FileList().Handle();
  EXPECT_EQ(ListView_GetColumnWidth(list, 0), MulDiv(100, dpi, 96));

  // To twice the DPI, as when the window moves to another screen: device sizes double,
  // the stored sizes stay.
  RECT r;
  GetWindowRect(w.Handle(), &r);
  RECT twice{r.left, r.top, r.left + 2 * (r.right - r.left), r.top + 2 * (r.bottom - r.top)};
  SendMessageW(w.Handle(), WM_DPICHANGED, MAKEWPARAM(2 * dpi, 2 * dpi), reinterpret_cast<LPARAM>(&twice));
  Pump(w);
  EXPECT_EQ(w.CurrentDpi().Value, 2 * dpi);
  EXPECT_EQ(ListView_GetColumnWidth(list, 0), MulDiv(100, 2 * dpi, 96));
  RECT tree;
  GetWindowRect(w.FolderTree().Tree(), &tree);
  EXPECT_EQ(tree.right - tree.left, MulDiv(150, 2 * dpi, 96));

  // Whatever size the window manager let it have, it is stored unscaled.
  GetWindowRect(w.Handle(), &r);
  SendMessageW(w.Handle(), WM_CLOSE, 0, 0);
  Pump(w);
  plm::ShellSettings stored;
  plm::ReadShellSettings(s.Ini(), stored);
  EXPECT_EQ(stored.F1P1, 150);
  EXPECT_EQ(stored.F1S[0], 100);
  EXPECT_EQ(stored.F1S[1], 64);
  EXPECT_EQ(stored.F1_W, MulDiv(r.right - r.left, 96, 2 * dpi));
  EXPECT_EQ(stored.F1_H, MulDiv(r.bottom - r.top, 96, 2 * dpi));
}

}  // namespace
