#pragma once
// Upper-casing of code page 932 byte strings as the desktop's ANSI routine does it.
#include <string>
#include <string_view>

#include "text/cp932.h"

namespace plm {

// Changes only the single-byte letters a..z; a double-byte pair is stepped over
// whole, so a trail byte in the a..z range is never changed.
std::string AnsiUpper(std::string_view text);

}  // namespace plm
