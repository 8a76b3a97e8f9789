#pragma once
// The conversion settings dialog "変換設定": four check boxes that edit
// ConversionSwitches in memory, OK and Cancel.
#include "jww/spacingrule.h"
#include "shell/win32/Win32Util.h"

namespace plm::win32 {

// Check box N (1..4) has the control id kSwitchBoxId + N; OK and Cancel are IDOK and
// IDCANCEL.
inline constexpr int kSwitchBoxId = 200;

struct SwitchesDialogPlace {
  // The dialog's top-left corner in device-independent pixels, as the settings keep it;
  // updated
  // when the dialog closes.
  POINT Position{192, 111};
};

// Shows the dialog modally over `owner`, starting from `options`; only OK changes them
// (to 0 or 1 per switch). Returns true for OK.
bool RunSwitchesDialog(HWND owner, ConversionSwitches& options, SwitchesDialogPlace& place);

}  // namespace plm::win32
