#pragma once
// Paths cross the interface as UTF-8 text; these two are the only conversions
// between that text and the system's own path type.
#include <filesystem>
#include <string>
#include <string_view>

namespace plm {

// The system path a UTF-8 path names.
std::filesystem::path PathFromUtf8(std::string_view utf8);

// The UTF-8 text of a system path; PathFromUtf8 of it names the same path.
std::string Utf8FromPath(const std::filesystem::path& path);

}  // namespace plm
