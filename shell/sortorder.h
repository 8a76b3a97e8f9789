#pragma once
// The order the file list's header click leaves the rows in: a selection sort over
// the clicked column's upper-cased texts that swaps whole rows. The selection sort
// is not stable, and its swaps carry displaced rows far away, so rows of equal text
// end in an order that only a faithful simulation of its swaps reproduces.
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace plm {

// texts: the clicked column of the data rows, in their current order. Returns the
// new arrangement: position i receives the row that was at index result[i].
//
// For each position a but the last, the first later position holding the smallest
// (descending: largest) key is swapped into a when that key is strictly smaller
// (larger) than the key at a. Keys are the texts ANSI upper-cased, compared byte by
// byte as unsigned values, a prefix before the longer text. O(n log n).
std::vector<size_t> HeaderSortOrder(std::span<const std::string> texts, bool descending);
std::vector<size_t> HeaderSortOrder(std::span<const std::string_view> texts, bool descending);

// The same for keys that are already upper-cased (or made comparable otherwise):
// they are compared as given.
std::vector<size_t> HeaderSortOrderOfKeys(std::span<const std::string> keys, bool descending);


}  // namespace plm
