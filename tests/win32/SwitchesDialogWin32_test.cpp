// The settings dialog driven by keys in its own modal loop: the focus starts on
// CheckBox3, Return and Y accept, ESC and N cancel and forget the change.
#include "shell/win32/SwitchesDialogWin32.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using plm::ConversionSwitches;

// Keys for the control with the focus once the dialog's loop runs.
std::vector<WPARAM> pendingKeys;

void CALLBACK PressPendingKeys(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  HWND focus = GetFocus();
  for (WPARAM key : pendingKeys) {
    PostMessageW(focus, WM_KEYDOWN, key, 1);
    PostMessageW(focus, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001));
  }
}

TEST(SwitchesDialogWin32Test, KeysAcceptOrCancelFromTheFirstBoxInFocusOrder) {
  struct Case {
    const char* name;
    std::vector<WPARAM> keys;
    ConversionSwitches start, expected;
    bool accepted;
  };
  const ConversionSwitches none{}, first{true, false, false, false}, third{false, false, true, false};
  const Case cases[] = {
      {"Return keeps what is shown", {VK_RETURN}, first, first, true},
      {"Space on CheckBox3, then Return", {VK_SPACE, VK_RETURN}, none, third, true},
      {"Space, then Y", {VK_SPACE, 'Y'}, none, third, true},
      {"Space, then ESC forgets it", {VK_SPACE, VK_ESCAPE}, none, none, false},
      {"Space, then N forgets it", {VK_SPACE, 'N'}, first, first, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    pendingKeys = c.keys;
    ConversionSwitches options = c.start;
    plm::win32::SwitchesDialogPlace place;
    SetTimer(nullptr, 0, 100, PressPendingKeys);
    EXPECT_EQ(plm::win32::RunSwitchesDialog(nullptr, options, place), c.accepted);
    EXPECT_TRUE(options == c.expected);
  }
}

}  // namespace
