#include "platform/ansi.h"

namespace plm {

std::string AnsiUpper(std::string_view text) {
  std::string out(text);
  for (size_t i = 0; i < out.size(); ++i) {
    const auto b = static_cast<unsigned char>(out[i]);
    if (IsCp932LeadByte(b)) {
      ++i;  // keep the trail byte as it is
    } else if (b >= 'a' && b <= 'z') {
      out[i] = static_cast<char>(b - 'a' + 'A');
    }
  }
  return out;
}

}  // namespace plm
