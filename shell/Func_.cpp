#include "shell/Func_.h"

#include <charconv>

namespace plm {

int IniToInt(std::string_view text) {
  int value = 0;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (first != last && *first == '+') ++first;  // a leading plus sign is valid decimal text
  const auto [ptr, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || ptr != last || first == last) return 0;
  return value;
}

}  // namespace plm
