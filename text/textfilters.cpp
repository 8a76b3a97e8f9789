#include "text/textfilters.h"

#include "text/cp932.h"

namespace plm {

std::string CleanString(std::string_view s) {
  if (s.empty()) return {};
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (IsFilterLeadByte(b)) {  // the pair whole; a lead byte at the very end alone
      out.push_back(s[i]);
      if (i + 1 < s.size()) out.push_back(s[i + 1]);
      i += 2;
    } else if (b == '^' && i + 1 < s.size() && s[i + 1] == 'm') {
      i += 2;
    } else {
      if (b >= 0x20) out.push_back(static_cast<char>(b));
      ++i;
    }
  }
  if (out.empty()) out.push_back(' ');
  return out;
}

std::string CleanMemoText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (IsFilterLeadByte(b)) {
      out.push_back(text[i]);
      if (i + 1 < text.size()) out.push_back(text[++i]);
    } else if (b >= 0x20) {
      out.push_back(text[i]);
    }
  }
  return out;
}

}  // namespace plm
