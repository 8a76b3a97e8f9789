#include "shell/sortorder.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <utility>

#include "platform/ansi.h"

namespace plm {
namespace {

// Byte-wise unsigned order; a prefix sorts before the longer text.
bool ByteLess(std::string_view a, std::string_view b) {
  const size_t common = std::min(a.size(), b.size());
  const int c = common == 0 ? 0 : std::memcmp(a.data(), b.data(), common);
  return c < 0 || (c == 0 && a.size() < b.size());
}

template <class Text>
std::vector<std::string> UpperKeys(std::span<const Text> texts) {
  std::vector<std::string> keys;
  keys.reserve(texts.size());
  for (const Text& t : texts) keys.push_back(AnsiUpper(t));
  return keys;
}

// Dense ranks in sort order (equal keys share a rank), reversed for a descending
// sort, so that the sort always moves the smallest rank forward.
std::vector<uint32_t> RanksOf(std::span<const std::string> keys, bool descending) {
  std::vector<uint32_t> byKey(keys.size());
  std::iota(byKey.begin(), byKey.end(), 0u);
  std::sort(byKey.begin(), byKey.end(), [&](uint32_t a, uint32_t b) { return ByteLess(keys[a], keys[b]); });
  std::vector<uint32_t> rank(keys.size());
  uint32_t r = 0;
  for (size_t i = 0; i < byKey.size(); ++i) {
    if (i > 0 && ByteLess(keys[byKey[i - 1]], keys[byKey[i]])) ++r;
    rank[byKey[i]] = r;
  }
  if (descending)
    for (uint32_t& v : rank) v = r - v;
  return rank;
}

// Over the positions of the rows: the first position holding the smallest rank
// within a range, with point updates when ranks move.
class FirstMinimumTree {
 public:
  static constexpr uint32_t kNone = UINT32_MAX;

  explicit FirstMinimumTree(const std::vector<uint32_t>& rank) : rank_(rank) {
    while (leaves_ < rank.size()) leaves_ <<= 1;
    node_.assign(2 * leaves_, kNone);
    for (size_t i = 0; i < rank.size(); ++i) node_[leaves_ + i] = static_cast<uint32_t>(i);
    for (size_t i = leaves_ - 1; i >= 1; --i) node_[i] = Better(node_[2 * i], node_[2 * i + 1]);
  }

  // Position in [from, to) whose rank is smallest, the first of equals.
  uint32_t Query(size_t from, size_t to) const {
    uint32_t best = kNone;
    for (from += leaves_, to += leaves_; from < to; from >>= 1, to >>= 1) {
      if (from & 1) best = Better(best, node_[from++]);
      if (to & 1) best = Better(best, node_[--to]);
    }
    return best;
  }

  // Call after rank[position] changed.
  void Update(size_t position) {
    for (size_t i = (leaves_ + position) >> 1; i >= 1; i >>= 1) node_[i] = Better(node_[2 * i], node_[2 * i + 1]);
  }

 private:
  uint32_t Better(uint32_t a, uint32_t b) const {
    if (a == kNone) return b;
    if (b == kNone) return a;
    if (rank_[a] != rank_[b]) return rank_[a] < rank_[b] ? a : b;
    return a < b ? a : b;
  }

  const std::vector<uint32_t>& rank_;
  size_t leaves_ = 1;
  std::vector<uint32_t> node_;
};

std::vector<size_t> OrderFromKeys(std::span<const std::string> keys, bool descending) {
  const size_t n = keys.size();
  std::vector<size_t> order(n);
  std::iota(order.begin(), order.end(), size_t{0});
  if (n < 2) return order;
  // rank[p] is the rank of the row now at position p.
  std::vector<uint32_t> rank = RanksOf(keys, descending);
  FirstMinimumTree tree(rank);
  for (size_t a = 0; a + 1 < n; ++a) {
    // The selection sort's scan replaces its key only on a strictly better one, so it
    // ends on the first position of the best key after a, if that beats a's key.
    const uint32_t best = tree.Query(a + 1, n);
    if (rank[best] >= rank[a]) continue;
    std::swap(order[a], order[best]);
    std::swap(rank[a], rank[best]);
    tree.Update(best);  // position a is never queried again
  }
  return order;
}

}  // namespace

std::vector<size_t> HeaderSortOrder(std::span<const std::string> texts, bool descending) {
  return OrderFromKeys(UpperKeys(texts), descending);
}

std::vector<size_t> HeaderSortOrder(std::span<const std::string_view> texts, bool descending) {
  return OrderFromKeys(UpperKeys(texts), descending);
}

std::vector<size_t> HeaderSortOrderOfKeys(std::span<const std::string> keys, bool descending) {
  return OrderFromKeys(keys, descending);
}

}  // namespace plm
