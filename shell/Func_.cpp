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

std::string CleanMemoText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if ((b >= 0x80 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFD)) {
      out.push_back(text[i]);
      if (i + 1 < text.size()) out.push_back(text[++i]);
    } else if (b >= 0x20) {
      out.push_back(text[i]);
    }
  }
  return out;
}

}  // namespace plm
