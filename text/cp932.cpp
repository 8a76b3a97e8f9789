#include "text/cp932.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "platform/codepage.h"

namespace plm {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
constexpr char32_t kNone = 0xFFFFFFFF;

// Code page 932 as this program decodes and encodes it, built once from the system's
// converter. The rules below make the table one and the same on every system: the
// systems' tables agree on every two-byte character and differ on single bytes only.
struct Cp932Tables {
  std::array<char32_t, 256> single{};
  std::vector<char32_t> pairs;  // [lead index * 256 + trail]; kNone where no character
  std::unordered_map<char32_t, uint16_t> encode;

  static size_t LeadIndex(unsigned char lead) { return lead <= 0x9F ? lead - 0x81 : lead - 0xE0 + 0x1F; }

  Cp932Tables() : pairs(60 * 256, kNone) {
    for (int b = 0; b < 256; ++b) {
      const char byte = static_cast<char>(b);
      const std::optional<char32_t> c = SystemCp932Character(std::string_view(&byte, 1));
      // A single byte above 0x7F stands for a half-width katakana or for nothing: one
      // system gives 0x80 as the control U+0080, the other refuses it; neither is a
      // character of the code page.
      single[b] = c && !(b >= 0x80 && (*c < 0xA0 || (*c >= 0xE000 && *c <= 0xF8FF))) ? *c : kNone;
      if (b < 0x80 && !c) single[b] = static_cast<char32_t>(b);  // ASCII, even without a converter
    }
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
      if (!IsCp932LeadByte(static_cast<unsigned char>(lead))) continue;
      for (int trail = 0x40; trail <= 0xFC; ++trail) {
        const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        if (const std::optional<char32_t> c = SystemCp932Character(std::string_view(pair, 2)))
          pairs[LeadIndex(static_cast<unsigned char>(lead)) * 256 + trail] = *c;
      }
    }
    // Encoding: the single bytes, then the pairs in code order; of two codes for one
    // character the first wins, except that the NEC-selected rows 0xED and 0xEE give
    // way to the same characters in rows 0xFA to 0xFC.
    for (int b = 0; b < 256; ++b)
      if (single[b] != kNone) encode.emplace(single[b], static_cast<uint16_t>(b));
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
      if (!IsCp932LeadByte(static_cast<unsigned char>(lead))) continue;
      for (int trail = 0; trail < 256; ++trail) {
        const char32_t c = pairs[LeadIndex(static_cast<unsigned char>(lead)) * 256 + trail];
        if (c == kNone) continue;
        const auto code = static_cast<uint16_t>(lead << 8 | trail);
        const auto [at, fresh] = encode.emplace(c, code);
        if (!fresh && (at->second >> 8 == 0xED || at->second >> 8 == 0xEE) && lead >= 0xFA) at->second = code;
      }
    }
    // Characters of the JIS tables that code page 932 shows with other code points,
    // encoded one way to the code that stands for them.
    if (!encode.empty()) {
      static constexpr std::pair<char32_t, uint16_t> kOneWay[] = {
          {0x00A2, 0x8191}, {0x00A3, 0x8192}, {0x00A5, 0x005C}, {0x00AC, 0x81CA}, {0x2014, 0x815C},
          {0x2016, 0x8161}, {0x203E, 0x007E}, {0x2212, 0x817C}, {0x301C, 0x8160},
      };
      for (const auto& [c, code] : kOneWay) encode.emplace(c, code);
    }
  }

  // The character at the start of `bytes` and its length, or kNone with length 1.
  std::pair<char32_t, size_t> Decode(std::string_view bytes) const {
    const auto lead = static_cast<unsigned char>(bytes[0]);
    if (single[lead] != kNone) return {single[lead], 1};
    if (IsCp932LeadByte(lead) && bytes.size() > 1) {
      const char32_t c = pairs[LeadIndex(lead) * 256 + static_cast<unsigned char>(bytes[1])];
      if (c != kNone) return {c, 2};
    }
    return {kNone, 1};
  }
};

const Cp932Tables& Tables() {
  static const Cp932Tables tables;
  return tables;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | c >> 6));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | c >> 12));
    out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | c >> 18));
    out.push_back(static_cast<char>(0x80 | (c >> 12 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

size_t Utf8SequenceLength(std::string_view s);

}  // namespace

std::string Cp932ToUtf8(std::string_view bytes) {
  const Cp932Tables& tables = Tables();
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 2);
  for (size_t i = 0; i < bytes.size();) {
    const auto [c, n] = tables.Decode(bytes.substr(i));
    if (c == kNone) out.append(kReplacement);
    else AppendUtf8(out, c);
    i += n;
  }
  return out;
}

std::string Utf8ToCp932(std::string_view text) {
  const Cp932Tables& tables = Tables();
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const size_t n = Utf8SequenceLength(text.substr(i));
    if (n == 0) {
      // Bytes that are not UTF-8: one "?" for the lead byte and the continuation
      // bytes after it.
      out.push_back('?');
      ++i;
      while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
      continue;
    }
    const auto b = [&](size_t k) { return static_cast<char32_t>(static_cast<unsigned char>(text[i + k])); };
    const char32_t c = n == 1   ? b(0)
                       : n == 2 ? (b(0) & 0x1F) << 6 | (b(1) & 0x3F)
                       : n == 3 ? (b(0) & 0x0F) << 12 | (b(1) & 0x3F) << 6 | (b(2) & 0x3F)
                                : (b(0) & 0x07) << 18 | (b(1) & 0x3F) << 12 | (b(2) & 0x3F) << 6 | (b(3) & 0x3F);
    i += n;
    const auto at = tables.encode.find(c);
    if (at == tables.encode.end()) {
      out.push_back(c < 0x80 ? static_cast<char>(c) : '?');  // ASCII even without a converter
    } else if (at->second > 0xFF) {
      out.push_back(static_cast<char>(at->second >> 8));
      out.push_back(static_cast<char>(at->second & 0xFF));
    } else {
      out.push_back(static_cast<char>(at->second));
    }
  }
  return out;
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
