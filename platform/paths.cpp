#include "platform/paths.h"

namespace plm {

std::string ShownPath(const std::filesystem::path& path) {
  return Utf8FromPath(std::filesystem::path(path).make_preferred());
}

}  // namespace plm
