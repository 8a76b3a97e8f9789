#include <sys/ioctl.h>
#include <unistd.h>

#include <iostream>

#include "app/plmconv.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  plm::PlmconvTerminal terminal;
  terminal.ErrIsTerminal = ::isatty(STDERR_FILENO) == 1;
  winsize size{};
  if (terminal.ErrIsTerminal && ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
    terminal.Width = size.ws_col;
  return plm::PlmconvMain(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr, terminal);
}
