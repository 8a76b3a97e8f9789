#pragma once
// Which texts the spacing rule changes for given switches. The marks come from running
// the rule itself on a copy of the document, which names every value it changes, so
// they cannot disagree with what a conversion writes.
#include <array>
#include <cstdint>
#include <vector>

#include "jws/jwsdocument.h"
#include "jww/drawingbody.h"
#include "jww/jwwdocument.h"
#include "jww/spacingrule.h"
#include "render/source.h"

namespace plm {

// One entry per text and per dimension of a list: 1 where its (value text's) Spacing
// changes.
struct ListMarks {
  std::vector<uint8_t> Texts;
  std::vector<uint8_t> Dims;
};

struct SpacingMarks {
  ListMarks Main;
  std::vector<ListMarks> BlockDefs;      // parallel to the document's block definitions
  std::array<uint8_t, 10> TextTypes{};   // text types 1..10 at 0..9
  SpacingChanges Counts;                 // the marks counted by where they stand
};

// The document as a conversion with `options` would write it, and the marks.
struct WrittenJww {
  JwwDocument Doc;
  SpacingMarks Marks;
};
struct WrittenJws {
  JwsDocument Doc;
  SpacingMarks Marks;
};
WrittenJww WrittenCopyOf(const JwwDocument& doc, const ConversionSwitches& options);
WrittenJws WrittenCopyOf(const JwsDocument& doc, const ConversionSwitches& options);

}  // namespace plm
