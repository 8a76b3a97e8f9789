#include <iconv.h>

#include "platform/codepage.h"

namespace plm {

std::optional<char32_t> SystemCp932Character(std::string_view sequence) {
  // One converter per thread, kept: tables are built from thousands of calls.
  struct Converter {
    iconv_t cd = iconv_open("UTF-32LE", "CP932");
    ~Converter() {
      if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    }
  };
  thread_local Converter conv;
  if (conv.cd == reinterpret_cast<iconv_t>(-1) || sequence.empty() || sequence.size() > 2) return std::nullopt;
  iconv(conv.cd, nullptr, nullptr, nullptr, nullptr);
  char in[2] = {sequence[0], sequence.size() > 1 ? sequence[1] : '\0'};
  char* inPtr = in;
  size_t inLeft = sequence.size();
  unsigned char out[8];
  char* outPtr = reinterpret_cast<char*>(out);
  size_t outLeft = sizeof out;
  if (iconv(conv.cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) || inLeft != 0 ||
      outPtr - reinterpret_cast<char*>(out) != 4)
    return std::nullopt;
  return static_cast<char32_t>(out[0] | out[1] << 8 | out[2] << 16 | static_cast<char32_t>(out[3]) << 24);
}

}  // namespace plm
