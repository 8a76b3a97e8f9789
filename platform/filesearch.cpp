#include "platform/filesearch.h"

#include <algorithm>
#include <vector>

namespace plm {
namespace {

// Pattern elements after the desktop's translation of '*', '?' and '.'.
enum class Op : char { Literal, Star, DosStar, DosQm, DosDot };

struct PatternItem {
  Op op;
  uint32_t ch = 0;  // upper-cased code point of a literal
};

// Code points of a UTF-8 name; a byte that does not start a valid sequence stands for
// itself, so names that are not UTF-8 still match character by character.
std::vector<uint32_t> CodePoints(std::string_view s) {
  std::vector<uint32_t> out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    size_t len = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
    bool valid = len != 0 && i + len <= s.size();
    uint32_t cp = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
    for (size_t k = 1; valid && k < len; ++k) {
      const auto c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) valid = false;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (!valid) {
      out.push_back(0xDC00 + b);  // a lone byte, distinct from every real character
      ++i;
      continue;
    }
    out.push_back(cp);
    i += len;
  }
  return out;
}

uint32_t FoldCase(uint32_t c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; }

std::vector<PatternItem> Translate(std::string_view pattern) {
  const std::vector<uint32_t> p = CodePoints(pattern);
  std::vector<PatternItem> items;
  for (size_t i = 0; i < p.size(); ++i) {
    const uint32_t next = i + 1 < p.size() ? p[i + 1] : 0;
    if (p[i] == '*') items.push_back({next == '.' ? Op::DosStar : Op::Star});
    else if (p[i] == '?') items.push_back({Op::DosQm});
    else if (p[i] == '.' && (next == '*' || next == '?')) items.push_back({Op::DosDot});
    else items.push_back({Op::Literal, FoldCase(p[i])});
  }
  return items;
}

bool MatchFrom(const std::vector<PatternItem>& p, size_t pi, const std::vector<uint32_t>& n, size_t ni,
               size_t lastDot) {
  while (pi < p.size()) {
    const PatternItem& item = p[pi];
    switch (item.op) {
      case Op::Literal:
        if (ni >= n.size() || FoldCase(n[ni]) != item.ch) return false;
        ++pi, ++ni;
        break;
      case Op::Star:
        for (size_t k = ni; k <= n.size(); ++k)
          if (MatchFrom(p, pi + 1, n, k, lastDot)) return true;
        return false;
      case Op::DosStar: {
        // Consumes characters but never the name's last dot.
        const size_t limit = lastDot == std::string_view::npos ? n.size() : std::max(ni, lastDot);
        for (size_t k = ni; k <= limit; ++k)
          if (MatchFrom(p, pi + 1, n, k, lastDot)) return true;
        return false;
      }
      case Op::DosQm:
        if (ni < n.size() && n[ni] != '.') {
          if (MatchFrom(p, pi + 1, n, ni + 1, lastDot)) return true;
        }
        // At the end of the name or at a dot it also matches nothing.
        if (ni >= n.size() || n[ni] == '.') {
          ++pi;
          break;
        }
        return false;
      case Op::DosDot:
        if (ni < n.size() && n[ni] == '.') ++ni;
        else if (ni < n.size()) return false;
        ++pi;
        break;
    }
  }
  return ni == n.size();
}

}  // namespace

bool MatchesSearchPattern(std::string_view name, std::string_view pattern) {
  if (pattern == "*.*" || pattern == "*") return true;
  const std::vector<uint32_t> n = CodePoints(name);
  size_t lastDot = std::string_view::npos;
  for (size_t i = 0; i < n.size(); ++i)
    if (n[i] == '.') lastDot = i;
  return MatchFrom(Translate(pattern), 0, n, 0, lastDot);
}

}  // namespace plm
