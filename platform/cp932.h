#pragma once
// Decoding of code page 932 (Shift_JIS) byte strings for display on a UTF-8 terminal,
// and the encoding back for orders that follow the code page's bytes.
#include <string>
#include <string_view>

namespace plm {

// Every byte that does not start a valid character becomes U+FFFD; decoding goes on
// with the next byte, so the result is always valid UTF-8.
std::string Cp932ToUtf8(std::string_view bytes);

// The code page 932 bytes of UTF-8 text, as the desktop's ANSI names give them: a
// character code page 932 lacks, or a byte that is not valid UTF-8, becomes "?".
std::string Utf8ToCp932(std::string_view text);

}  // namespace plm
