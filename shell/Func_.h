#pragma once
// Text helpers of the shell.
#include <string>
#include <string_view>

#include "platform/textfilters.h"  // CleanMemoText

namespace plm {

// The decimal integer the whole text denotes; 0 for an empty or invalid text.
int IniToInt(std::string_view text);

}  // namespace plm
