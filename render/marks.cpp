#include "render/marks.h"

#include <algorithm>
#include <cstring>

namespace plm {
namespace {

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

template <class T, class SpacingOf>
std::vector<uint8_t> Differences(const std::vector<T>& a, const std::vector<T>& b, SpacingOf spacing, uint64_t& count) {
  std::vector<uint8_t> out(a.size(), 0);
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    if (!SameBits(spacing(a[i]), spacing(b[i]))) {
      out[i] = 1;
      ++count;
    }
  }
  return out;
}

ListMarks MarksOf(const EntityLists& a, const EntityLists& b, uint64_t& texts, uint64_t& dims) {
  ListMarks m;
  m.Texts = Differences(a.TextList, b.TextList, [](const Text& t) { return t.Spacing; }, texts);
  m.Dims = Differences(a.DimensionList, b.DimensionList, [](const Dimension& d) { return d.Text.Spacing; }, dims);
  return m;
}

}  // namespace

SpacingMarks MarksBetween(const RenderSource& before, const RenderSource& after) {
  SpacingMarks m;
  m.Main = MarksOf(*before.Main, *after.Main, m.Counts.Texts, m.Counts.DimTexts);
  m.BlockDefs.reserve(before.BlockDefs.size());
  for (size_t i = 0; i < before.BlockDefs.size(); ++i) {
    if (i < after.BlockDefs.size())
      m.BlockDefs.push_back(MarksOf(*before.BlockDefs[i].Entities, *after.BlockDefs[i].Entities, m.Counts.BlockTexts,
                                    m.Counts.BlockDimTexts));
    else
      m.BlockDefs.push_back({std::vector<uint8_t>(before.BlockDefs[i].Entities->TextList.size(), 0),
                             std::vector<uint8_t>(before.BlockDefs[i].Entities->DimensionList.size(), 0)});
  }
  const size_t types = std::min({before.TextTypes.size(), after.TextTypes.size(), m.TextTypes.size()});
  for (size_t i = 0; i < types; ++i) {
    if (!SameBits(before.TextTypes[i].Spacing, after.TextTypes[i].Spacing)) {
      m.TextTypes[i] = 1;
      ++m.Counts.TypeTable;
    }
  }
  return m;
}

WrittenJww WrittenCopyOf(const JwwDocument& doc, const ConversionSwitches& options) {
  WrittenJww w{doc, {}};
  ApplyJwwSpacingRule(w.Doc, options);
  w.Marks = MarksBetween(SourceOf(doc), SourceOf(w.Doc));
  return w;
}

WrittenJws WrittenCopyOf(const JwsDocument& doc, const ConversionSwitches& options) {
  WrittenJws w{doc, {}};
  ApplyJwsSpacingRule(w.Doc, options);
  w.Marks = MarksBetween(SourceOf(doc), SourceOf(w.Doc));
  return w;
}

}  // namespace plm
