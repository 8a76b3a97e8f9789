#pragma once
// Paths cross the interface as UTF-8 text; these are the only conversions between
// that text and the system's own path type.
#include <filesystem>
#include <string>
#include <string_view>

namespace plm {

// The separator the system's own paths use, which the shell joins folder names with
// ('\\' on Windows, where '/' is taken too).
#ifdef _WIN32
inline constexpr char kFolderSeparator = '\\';
inline constexpr bool IsFolderSeparator(char c) { return c == '\\' || c == '/'; }
#else
inline constexpr char kFolderSeparator = '/';
inline constexpr bool IsFolderSeparator(char c) { return c == '/'; }
#endif

// The system path a UTF-8 path names.
std::filesystem::path PathFromUtf8(std::string_view utf8);

// The UTF-8 text of a system path; PathFromUtf8 of it names the same path.
std::string Utf8FromPath(const std::filesystem::path& path);

// A path as a user reads it: UTF-8, with the system's own separators ('\' on
// Windows, whichever way the path was typed).
std::string ShownPath(const std::filesystem::path& path);

// The file in `folder` named by a name stored in a drawing (code page 932 bytes).
// Where file names are bytes the bytes are the name; where they are UTF-16 the name
// is the decoded text when it decodes and encodes back to the same bytes, and every
// other byte is spelt "%XX" (and '%' as "%25"), so two stored names are never one
// file name. A trail byte such as 0x5C never becomes a separator.
std::filesystem::path PathOfStoredName(const std::filesystem::path& folder, std::string_view cp932Name);

}  // namespace plm
