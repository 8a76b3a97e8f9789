#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "platform/codepage.h"

namespace plm {

std::optional<char32_t> SystemCp932Character(std::string_view sequence) {
  if (sequence.empty() || sequence.size() > 2) return std::nullopt;
  // Every character of code page 932 is in the Basic Multilingual Plane: one unit.
  wchar_t out[4];
  const int n = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, sequence.data(), static_cast<int>(sequence.size()),
                                    out, 4);
  if (n != 1) return std::nullopt;
  return static_cast<char32_t>(out[0]);
}

}  // namespace plm
