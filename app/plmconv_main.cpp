#include <iostream>

#include "app/plmconv.h"
#include "platform/terminal.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  plm::PlmconvTerminal terminal;
  terminal.ErrIsTerminal = plm::StandardErrorIsTerminal();
  if (terminal.ErrIsTerminal)
    if (const std::optional<int> width = plm::StandardErrorWidth()) terminal.Width = *width;
  return plm::PlmconvMain(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr, terminal);
}
