#include "platform/cp932.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace plm {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

class Converter {
 public:
  Converter(const char* to = "UTF-8", const char* from = "CP932") : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (Valid()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t Handle() const { return cd_; }

 private:
  iconv_t cd_;
};

// Converts `text`; each place that does not convert becomes `replacement`, and
// `skip` says how many input bytes that place takes.
template <class Skip>
std::string Convert(Converter& conv, std::string_view text, std::string_view replacement, Skip&& skip) {
  std::string out;
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  char buffer[1024];
  while (inLeft > 0) {
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    const size_t rc = iconv(conv.Handle(), &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer, static_cast<size_t>(outPtr - buffer));
    if (rc != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) continue;
    out.append(replacement);
    const size_t n = std::min(skip(std::string_view(in, inLeft)), inLeft);
    in += n;
    inLeft -= n;
    iconv(conv.Handle(), nullptr, nullptr, nullptr, nullptr);
  }
  return out;
}

}  // namespace

std::string Cp932ToUtf8(std::string_view bytes) {
  Converter conv;
  if (!conv.Valid()) {  // no converter: show ASCII, replace the rest
    std::string out;
    for (unsigned char c : bytes) {
      if (c < 0x80) out.push_back(static_cast<char>(c));
      else out.append(kReplacement);
    }
    return out;
  }
  // EILSEQ or EINVAL: one byte that does not decode.
  return Convert(conv, bytes, kReplacement, [](std::string_view) { return size_t{1}; });
}

std::string Utf8ToCp932(std::string_view text) {
  Converter conv("CP932", "UTF-8");
  if (!conv.Valid()) {  // no converter: keep ASCII, the rest as "?"
    std::string out;
    for (unsigned char c : text)
      if (c < 0x80) out.push_back(static_cast<char>(c));
      else if (c >= 0xC0) out.push_back('?');  // one per character, not per byte
    return out;
  }
  // A character without a code, or bytes that are not UTF-8: one "?" for the whole
  // character (its lead byte and the continuation bytes after it).
  return Convert(conv, text, "?", [](std::string_view rest) {
    size_t n = 1;
    while (n < rest.size() && (static_cast<unsigned char>(rest[n]) & 0xC0) == 0x80) ++n;
    return n;
  });
}

}  // namespace plm
