#include "render/marks.h"

namespace plm {
namespace {

ListMarks Unmarked(const EntityLists& lists) {
  return {std::vector<uint8_t>(lists.TextList.size(), 0), std::vector<uint8_t>(lists.DimensionList.size(), 0)};
}

// Runs the rule on `copy` (a copy of the loaded drawing) and marks each value it changes.
SpacingMarks RuleMarks(const SpacingSubject& copy, const ConversionSwitches& options) {
  SpacingMarks m;
  m.Main = Unmarked(copy.Body);
  m.BlockDefs.reserve(copy.Body.BlockDefinitionList.size());
  for (const BlockDefinition& d : copy.Body.BlockDefinitionList) m.BlockDefs.push_back(Unmarked(d));
  m.Counts = ApplySpacingRule(copy, options, [&m](const SpacingSite& site) {
    switch (site.Place) {
      case SpacingPlace::TextTypeTable:
        if (site.Index < m.TextTypes.size()) m.TextTypes[site.Index] = 1;
        break;
      case SpacingPlace::Text: m.Main.Texts[site.Index] = 1; break;
      case SpacingPlace::DimensionText: m.Main.Dims[site.Index] = 1; break;
      case SpacingPlace::BlockText: m.BlockDefs[site.BlockIndex].Texts[site.Index] = 1; break;
      case SpacingPlace::BlockDimensionText: m.BlockDefs[site.BlockIndex].Dims[site.Index] = 1; break;
    }
  });
  return m;
}

}  // namespace

WrittenJww WrittenCopyOf(const JwwDocument& doc, const ConversionSwitches& options) {
  WrittenJww w{doc, {}};
  w.Marks = RuleMarks(SpacingSubjectOf(w.Doc), options);
  return w;
}

WrittenJws WrittenCopyOf(const JwsDocument& doc, const ConversionSwitches& options) {
  WrittenJws w{doc, {}};
  w.Marks = RuleMarks(SpacingSubjectOf(w.Doc), options);
  return w;
}

}  // namespace plm
