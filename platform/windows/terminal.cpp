#include "platform/terminal.h"

#include "platform/windows/handles.h"

namespace plm {

// Only a console answers GetConsoleMode; a file, a pipe or a terminal emulator's
// pipe does not.
bool StandardErrorIsTerminal() {
  DWORD mode = 0;
  const HANDLE h = GetStdHandle(STD_ERROR_HANDLE);
  return h != nullptr && h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode) != 0;
}

// The visible window's width, not the buffer's, which may be wider.
std::optional<int> StandardErrorWidth() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!StandardErrorIsTerminal() || !GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info))
    return std::nullopt;
  const int width = info.srWindow.Right - info.srWindow.Left + 1;
  if (width <= 0) return std::nullopt;
  return width;
}

}  // namespace plm
