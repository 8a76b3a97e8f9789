#pragma once
// The system's own code page 932 converter, asked one character at a time. The text
// library builds its decoding and encoding tables from it once, so that decoding
// follows the same table wherever the program runs.
#include <optional>
#include <string_view>

namespace plm {

// The one code point the system's code page 932 gives the one- or two-byte
// `sequence`; nothing when it is not exactly one valid character there (or the
// system has no such converter).
std::optional<char32_t> SystemCp932Character(std::string_view sequence);

}  // namespace plm
