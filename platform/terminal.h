#pragma once
// What the command line needs to know of the terminal its progress goes to.
#include <optional>

namespace plm {

// True when the standard error stream is a terminal (not a file or a pipe).
bool StandardErrorIsTerminal();

// The width in columns of the terminal on standard error, when it is one and
// reports a width.
std::optional<int> StandardErrorWidth();

}  // namespace plm
