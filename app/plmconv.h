#pragma once
// The command-line converter: the same conversion as the window's batch command, for
// scripts and machines without a display.
#include <iosfwd>
#include <string>
#include <vector>

namespace plm {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// What the program knows about its standard error stream.
struct PlmconvTerminal {
  bool ErrIsTerminal = false;  // show the progress line of convert on `err`
  int Width = 80;              // columns of that terminal
};

// args excludes the program name. Without a terminal no progress line is shown.
int PlmconvMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int PlmconvMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                const PlmconvTerminal& terminal);

}  // namespace plm
