#pragma once
// The column under pixel x of the file list's header, by the rule the header-click
// sort states: columns from firstVisible on, each covering the pixels strictly between
// its left edge and left edge + width, the next starting after the grid line. -1 when
// none. A reference for tests; the window's own hit test also keeps the few pixels
// around each border free for resizing.
#include <algorithm>
#include <cstddef>
#include <vector>

namespace plmtest {

inline int HeaderColumnAt(const std::vector<int>& widths, int firstVisible, int x, int gridLineWidth) {
  int left = 0;
  for (size_t c = static_cast<size_t>(std::max(firstVisible, 0)); c < widths.size(); ++c) {
    if (x > left && x < left + widths[c]) return static_cast<int>(c);
    left += widths[c] + gridLineWidth;
  }
  return -1;
}

}  // namespace plmtest
