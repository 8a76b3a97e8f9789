#include <iostream>

#include "app/plmconv.h"
#include "platform/process.h"
#include "platform/terminal.h"

int main(int argc, char** argv) {
  plm::PrepareStandardStreams();
  std::ios::sync_with_stdio(false);
  plm::PlmconvTerminal terminal;
  terminal.ErrIsTerminal = plm::StandardErrorIsTerminal();
  if (terminal.ErrIsTerminal)
    if (const std::optional<int> width = plm::StandardErrorWidth()) terminal.Width = *width;
  return plm::PlmconvMain(plm::ProgramArguments(argc, argv), std::cout, std::cerr, terminal);
}
