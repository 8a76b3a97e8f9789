#include "text/cp932.h"

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

namespace {

// Length of the well-formed UTF-8 sequence at the start of s, or 0 when there is none.
size_t Utf8SequenceLength(std::string_view s) {
  const auto b = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  const auto tail = [&](size_t i) { return i < s.size() && (b(i) & 0xC0) == 0x80; };
  if (s.empty()) return 0;
  const unsigned char lead = b(0);
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return tail(1) ? 2 : 0;
  if (lead >= 0xE0 && lead <= 0xEF) {
    if (!tail(1) || !tail(2)) return 0;
    if (lead == 0xE0 && b(1) < 0xA0) return 0;  // overlong
    if (lead == 0xED && b(1) > 0x9F) return 0;  // surrogate
    return 3;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    if (!tail(1) || !tail(2) || !tail(3)) return 0;
    if (lead == 0xF0 && b(1) < 0x90) return 0;  // overlong
    if (lead == 0xF4 && b(1) > 0x8F) return 0;  // above U+10FFFF
    return 4;
  }
  return 0;
}

}  // namespace

std::string ValidUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const size_t n = Utf8SequenceLength(text.substr(i));
    if (n == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else {
      out.append(text.substr(i, n));
      i += n;
    }
  }
  return out;
}

bool IsWellFormedUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const size_t n = Utf8SequenceLength(text.substr(i));
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::string NameToUtf8(std::string_view bytes) {
  if (IsWellFormedUtf8(bytes)) return std::string(bytes);
  std::string out;
  out.reserve(bytes.size() * 3 / 2);
  // '/' is never the second byte of a code page 932 pair, so the parts split cleanly.
  for (size_t start = 0; start <= bytes.size();) {
    const size_t slash = std::min(bytes.find('/', start), bytes.size());
    const std::string_view part = bytes.substr(start, slash - start);
    out += IsWellFormedUtf8(part) ? std::string(part) : Cp932ToUtf8(part);
    if (slash == bytes.size()) break;
    out += '/';
    start = slash + 1;
  }
  return out;
}

namespace {

// Bytes of the control character at the start of valid UTF-8 text: 1 for a C0 control
// or DEL, 2 for a C1 control, 0 for any other character.
size_t ControlLength(std::string_view text) {
  const auto b = static_cast<unsigned char>(text[0]);
  if (b < 0x20 || b == 0x7F) return 1;
  if (b == 0xC2 && text.size() > 1 && static_cast<unsigned char>(text[1]) <= 0x9F) return 2;
  return 0;
}

void AppendEscape(std::string& out, unsigned char b) {
  static constexpr std::string_view kLetters = "abtnvfr";  // 0x07 to 0x0D
  out += '\\';
  if (b >= 0x07 && b <= 0x0D) {
    out += kLetters[b - 0x07];
  } else {
    out += static_cast<char>('0' + (b >> 6));
    out += static_cast<char>('0' + ((b >> 3) & 7));
    out += static_cast<char>('0' + (b & 7));
  }
}

}  // namespace

std::string ShownName(std::string_view bytes) {
  const std::string text = NameToUtf8(bytes);
  const std::string_view view(text);
  // Continuation bytes are never 0x00-0x1F, 0x7F or 0xC2, so a byte-wise look finds
  // exactly the control characters.
  size_t i = 0;
  while (i < view.size() && ControlLength(view.substr(i)) == 0) ++i;
  if (i == view.size()) return text;
  // Between characters the output is inside '...' (plain) or inside $'...' (escapes).
  std::string out = "'";
  bool escaping = false;
  for (i = 0; i < view.size();) {
    const size_t control = ControlLength(view.substr(i));
    if (control > 0) {
      if (!escaping) out += "'$'";
      escaping = true;
      for (size_t k = 0; k < control; ++k) AppendEscape(out, static_cast<unsigned char>(text[i + k]));
      i += control;
      continue;
    }
    if (text[i] == '\'') {
      out += "'\\''";  // closes either kind of quote, then a quoted quote, then reopens '...'
    } else {
      if (escaping) out += "''";
      out += text[i];
    }
    escaping = false;
    ++i;
  }
  return out + "'";
}

}  // namespace plm
