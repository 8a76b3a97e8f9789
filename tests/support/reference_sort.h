#pragma once
// The header click's order by the literal O(n^2) selection sort, the reference the
// fast method is checked against.
#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace plmtest {

std::vector<size_t> ReferenceHeaderSortOrder(std::span<const std::string> texts, bool descending);

}  // namespace plmtest
