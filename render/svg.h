#pragma once
// The preview as an SVG file any browser shows: solids, lines, arcs and points as
// paths, texts as text elements in a Japanese font, the character cells of the texts
// the spacing rule changes highlighted, bound images embedded (or their frames with
// their names), and a legend with the counts.
#include <iosfwd>
#include <span>
#include <string>
#include <vector>

#include "render/displaylist.h"

namespace plm {

// One view of a drawing; several are laid out side by side in a common scale.
struct SvgPanel {
  const DisplayList* List = nullptr;
  std::string Caption;  // UTF-8
};

struct SvgOptions {
  double WidthPx = 1600;    // of the whole picture
  bool CharCells = true;    // highlight the character cells of the texts the rule changes
};

// Legend lines (UTF-8): the marks counted by where they stand, and what could not be
// drawn.
std::vector<std::string> LegendLines(const SpacingMarks& marks, const DisplayList& list);

void WriteSvg(std::ostream& out, std::span<const SvgPanel> panels, const std::vector<std::string>& legend,
              const SvgOptions& options = {});

}  // namespace plm
