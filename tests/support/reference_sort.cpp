#include "tests/support/reference_sort.h"

#include <numeric>
#include <string_view>
#include <utility>

#include "platform/ansi.h"

namespace plmtest {

std::vector<size_t> ReferenceHeaderSortOrder(std::span<const std::string> texts, bool descending) {
  std::vector<std::string> rows;
  for (const std::string& t : texts) rows.push_back(plm::AnsiUpper(t));
  std::vector<size_t> order(rows.size());
  std::iota(order.begin(), order.end(), size_t{0});
  // string_view compares bytes as unsigned values, a prefix before the longer text.
  for (size_t a = 0; a + 1 < rows.size(); ++a) {
    std::string_view key = rows[a];
    size_t best = a;
    for (size_t r = a + 1; r < rows.size(); ++r) {
      const std::string_view candidate = rows[r];
      if (descending ? key < candidate : candidate < key) {
        best = r;
        key = candidate;
      }
    }
    if (best != a) {
      std::swap(rows[a], rows[best]);
      std::swap(order[a], order[best]);
    }
  }
  return order;
}

}  // namespace plmtest
