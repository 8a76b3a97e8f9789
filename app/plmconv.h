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

// args excludes the program name.
int PlmconvMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace plm
