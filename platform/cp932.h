#pragma once
// Decoding of code page 932 (Shift_JIS) byte strings for display on a UTF-8 terminal.
#include <string>
#include <string_view>

namespace plm {

// Every byte that does not start a valid character becomes U+FFFD; decoding goes on
// with the next byte, so the result is always valid UTF-8.
std::string Cp932ToUtf8(std::string_view bytes);

}  // namespace plm
