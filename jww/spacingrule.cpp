#include "jww/spacingrule.h"

namespace plm {
namespace {

// Whether the switches let the rule change a value at `site`: text-type values (the
// table and texts of a text type) by switch 1, free-size texts by switch 2, the
// value texts of dimensions also needing switch 3 and texts in block definitions
// switch 4.
bool Selected(const SpacingSite& site, const ConversionSwitches& o) {
  if (site.Place == SpacingPlace::TextTypeTable || site.TextTypeClass != 0) return o.ZeroTypeSpacing;
  switch (site.Place) {
    case SpacingPlace::Text: return o.ZeroFreeSpacing;
    case SpacingPlace::DimensionText: return o.ZeroFreeSpacing && o.ChangeDimensionValues;
    case SpacingPlace::BlockText: return o.ZeroFreeSpacing && o.ChangeBlockTexts;
    case SpacingPlace::BlockDimensionText:
      return o.ZeroFreeSpacing && o.ChangeDimensionValues && o.ChangeBlockTexts;
    case SpacingPlace::TextTypeTable: break;
  }
  return o.ZeroTypeSpacing;
}

uint64_t& CountOf(SpacingChanges& changes, SpacingPlace place) {
  switch (place) {
    case SpacingPlace::TextTypeTable: return changes.TypeTable;
    case SpacingPlace::Text: return changes.Texts;
    case SpacingPlace::DimensionText: return changes.DimTexts;
    case SpacingPlace::BlockText: return changes.BlockTexts;
    case SpacingPlace::BlockDimensionText: return changes.BlockDimTexts;
  }
  return changes.Texts;
}

struct Rule {
  const ConversionSwitches& options;
  SpacingChanges& changes;
  const std::function<void(const SpacingSite&)>* changed;
  void operator()(const SpacingSite& site, double& spacing) const {
    if (!IsNegativeSpacing(spacing) || !Selected(site, options)) return;
    if (changed && *changed) (*changed)(site);
    spacing = 0.0;
    ++CountOf(changes, site.Place);
  }
};

}  // namespace

SpacingChanges ApplySpacingRule(const SpacingSubject& subject, const ConversionSwitches& options,
                                const std::function<void(const SpacingSite&)>& changed) {
  SpacingChanges changes;
  ForEachSpacing(subject, Rule{options, changes, &changed});
  return changes;
}

void ApplySpacingRuleToLists(EntityLists& lists, bool inBlockDef, const ConversionSwitches& options,
                             SpacingChanges& changes) {
  ForEachSpacingInLists(lists, inBlockDef, 0, nullptr, Rule{options, changes, nullptr});
}

}  // namespace plm
