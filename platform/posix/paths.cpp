#include "platform/paths.h"

namespace plm {

// The system's paths are byte strings, and the program's are UTF-8 bytes already:
// both ways are the identity, so a name that is not valid UTF-8 survives too.
std::filesystem::path PathFromUtf8(std::string_view utf8) { return std::filesystem::path(std::string(utf8)); }

std::string Utf8FromPath(const std::filesystem::path& path) { return path.string(); }

}  // namespace plm

namespace plm {

std::filesystem::path PathOfStoredName(const std::filesystem::path& folder, std::string_view cp932Name) {
  return folder / std::string(cp932Name);
}

}  // namespace plm
