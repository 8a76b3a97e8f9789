#include "platform/terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace plm {

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

std::optional<int> StandardErrorWidth() {
  winsize size{};
  if (!StandardErrorIsTerminal() || ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0)
    return std::nullopt;
  return size.ws_col;
}

}  // namespace plm
