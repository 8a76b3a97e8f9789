#pragma once
// Text helpers of the shell.
#include <string>
#include <string_view>

namespace plm {

// The decimal integer the whole text denotes; 0 for an empty or invalid text.
int IniToInt(std::string_view text);

// A memo made displayable on one line: control bytes dropped, double-byte code page
// 932 characters kept whole.
std::string CleanMemoText(std::string_view text);

}  // namespace plm
