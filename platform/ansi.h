#pragma once
// Upper-casing of code page 932 byte strings as the desktop's ANSI routine does it.
#include <string>
#include <string_view>

namespace plm {

// True for a byte that starts a double-byte character in code page 932.
constexpr bool IsCp932LeadByte(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Changes only the single-byte letters a..z; a double-byte pair is stepped over
// whole, so a trail byte in the a..z range is never changed.
std::string AnsiUpper(std::string_view text);

}  // namespace plm
