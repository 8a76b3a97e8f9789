#pragma once
// Decoding of code page 932 (Shift_JIS) byte strings for display on a UTF-8 terminal,
// and the encoding back for orders that follow the code page's bytes.
#include <string>
#include <string_view>

namespace plm {

// The two lead-byte ranges of code page 932, in one place. The system's table
// (0x81-0x9F, 0xE0-0xFC) decides what upper-casing and decoding take as one
// character. The writers' and the file list's text filters keep a pair whole after
// any byte of the wider range 0x80-0x9F, 0xE0-0xFD; their outputs depend on it.
constexpr bool IsCp932LeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
constexpr bool IsFilterLeadByte(unsigned char b) { return (b >= 0x80 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFD); }

// Every byte that does not start a valid character becomes U+FFFD; decoding goes on
// with the next byte, so the result is always valid UTF-8.
std::string Cp932ToUtf8(std::string_view bytes);

// The code page 932 bytes of UTF-8 text, as the desktop's ANSI names give them: a
// character code page 932 lacks, or a byte that is not valid UTF-8, becomes "?".
std::string Utf8ToCp932(std::string_view text);

// True when every byte belongs to a well-formed UTF-8 sequence (shortest form, no
// surrogates, at most U+10FFFF).
bool IsWellFormedUtf8(std::string_view text);

// The text with every byte that does not start a well-formed UTF-8 sequence replaced
// by U+FFFD, so documents that must be UTF-8 stay valid whatever bytes a name holds.
std::string ValidUtf8(std::string_view text);

// A file or folder name, or a path of them, as the bytes the file system gives, made
// readable as UTF-8: each part between '/' separators is taken as it is when it is
// well-formed UTF-8 and decoded from code page 932 otherwise (names unpacked from
// archives made on Japanese Windows). For showing only: the bytes stay the name.
std::string NameToUtf8(std::string_view bytes);

// A file or folder name, or a path, as printed in lines, reports and the window, so
// that one name is one line and no control character reaches a terminal. Without a
// control character it is NameToUtf8's text. With one (0x00-0x1F, 0x7F, or U+0080-
// U+009F) the text is quoted for a POSIX shell: the text in single quotes, each run of
// control characters between them as $'...' (\a \b \t \n \v \f \r, otherwise three
// octal digits per byte, so U+009B is \302\233), a single quote as \'. For example
// "b.jww: ok" LF "a.jww" reads 'b.jww: ok'$'\n''a.jww'. The result is valid UTF-8.
std::string ShownName(std::string_view bytes);

}  // namespace plm
