#pragma once
// The text-spacing rule and the one walk of the Spacing values it may change. The
// rule, the preview's marks, the conversion report and the info counts all visit the
// values through ForEachSpacing, so they meet the same values in the same order.
#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "jww/drawingbody.h"
#include "jww/jwwdocument.h"

namespace plm {

// The four conversion switches the rule reads.
struct ConversionSwitches {
  bool ZeroTypeSpacing = false;
  bool ZeroFreeSpacing = false;
  bool ChangeDimensionValues = false;
  bool ChangeBlockTexts = false;

  static constexpr ConversionSwitches All() { return {true, true, true, true}; }
  bool operator==(const ConversionSwitches&) const = default;
};

// The switches in the order of their settings keys C1..C4 and of the dialog's check
// boxes: `switches.*kSwitchOrder[i]`.
inline constexpr std::array<bool ConversionSwitches::*, 4> kSwitchOrder = {
    &ConversionSwitches::ZeroTypeSpacing, &ConversionSwitches::ZeroFreeSpacing,
    &ConversionSwitches::ChangeDimensionValues, &ConversionSwitches::ChangeBlockTexts};

// How many Spacing values a run of the rule changed, by where they stand.
struct SpacingChanges {
  uint64_t TypeTable = 0;
  uint64_t Texts = 0;
  uint64_t DimTexts = 0;
  uint64_t BlockTexts = 0;
  uint64_t BlockDimTexts = 0;
  uint64_t Total() const { return TypeTable + Texts + DimTexts + BlockTexts + BlockDimTexts; }
};

// Where a Spacing value stands in a drawing.
enum class SpacingPlace {
  TextTypeTable,       // one of the ten text types of a JWW drawing
  Text,                // a text of the main entity list
  DimensionText,       // the value text of a dimension of the main entity list
  BlockText,           // a text inside a block definition
  BlockDimensionText,  // the value text of a dimension inside a block definition
};

// One Spacing value as the walk meets it (the value itself is handed beside it).
struct SpacingSite {
  SpacingPlace Place = SpacingPlace::Text;
  size_t Index = 0;       // in the text-type table, or in its list of texts or of dimensions
  size_t BlockIndex = 0;  // inside a block definition: the definition's place in its list
  const std::string* BlockName = nullptr;  // inside a block definition, when the walk knows it
  const EntityAttributes* Attr = nullptr;  // of the text or the dimension; null for a table entry
  const std::string* Text = nullptr;       // null for a table entry
  uint32_t TextTypeClass = 0;              // of the text; for a table entry its number 1..10
};

// A loaded drawing as the rule sees it: its body and, for a JWW drawing, its
// text-type table (empty for a JWS figure).
struct SpacingSubject {
  DrawingBody& Body;
  std::span<TTextTypeSetting> TextTypes;
};
// The same, read only.
struct SpacingView {
  const DrawingBody& Body;
  std::span<const TTextTypeSetting> TextTypes;
};

inline SpacingSubject SpacingSubjectOf(JwwDocument& doc) { return {doc, doc.TextTypeSettings}; }
inline SpacingView SpacingViewOf(const JwwDocument& doc) { return {doc, doc.TextTypeSettings}; }

// The values the rule sets to +0.0: negative ones and NaN (+0.0 and -0.0 stay).
inline bool IsNegativeSpacing(double spacing) { return !(spacing >= 0.0); }

// Every Spacing value of one entity list, texts then dimensions: `visit(site, value)`,
// where value is a double& for a changeable list and a const double& otherwise.
template <class Lists, class Visit>
void ForEachSpacingInLists(Lists& lists, bool inBlockDef, size_t blockIndex, const std::string* blockName,
                           Visit&& visit) {
  SpacingSite site;
  site.BlockIndex = blockIndex;
  site.BlockName = blockName;
  site.Place = inBlockDef ? SpacingPlace::BlockText : SpacingPlace::Text;
  site.Index = 0;
  for (auto& text : lists.TextList) {
    site.Attr = &text.Attr;
    site.Text = &text.Text;
    site.TextTypeClass = TextTypeClass(text.TextTypeCode);
    visit(static_cast<const SpacingSite&>(site), text.Spacing);
    ++site.Index;
  }
  site.Place = inBlockDef ? SpacingPlace::BlockDimensionText : SpacingPlace::DimensionText;
  site.Index = 0;
  for (auto& dim : lists.DimensionList) {
    site.Attr = &dim.Attr;
    site.Text = &dim.Text.Text;
    site.TextTypeClass = TextTypeClass(dim.Text.TextTypeCode);
    visit(static_cast<const SpacingSite&>(site), dim.Text.Spacing);
    ++site.Index;
  }
}

// Every Spacing value of a drawing, in one order: the text-type table, the main
// list's texts and dimensions, then each block definition's texts and dimensions.
// `subject` is a SpacingSubject (values handed as double&) or a SpacingView.
template <class Subject, class Visit>
void ForEachSpacing(const Subject& subject, Visit&& visit) {
  SpacingSite site;
  site.Place = SpacingPlace::TextTypeTable;
  for (auto& type : subject.TextTypes) {
    site.TextTypeClass = static_cast<uint32_t>(site.Index + 1);
    visit(static_cast<const SpacingSite&>(site), type.Spacing);
    ++site.Index;
  }
  ForEachSpacingInLists(subject.Body, false, 0, nullptr, visit);
  size_t blockIndex = 0;
  for (auto& def : subject.Body.BlockDefinitionList)
    ForEachSpacingInLists(def, true, blockIndex++, &def.Name, visit);
}

// Sets the values the switches select that are negative (or NaN) to +0.0, and
// returns how many it changed. `changed`, when set, is told each changed value's
// site, right before the change.
SpacingChanges ApplySpacingRule(const SpacingSubject& subject, const ConversionSwitches& options,
                                const std::function<void(const SpacingSite&)>& changed = {});
// The same for one set of lists of a streamed body (the main list's, or a block
// definition's), adding to `changes`.
void ApplySpacingRuleToLists(EntityLists& lists, bool inBlockDef, const ConversionSwitches& options,
                             SpacingChanges& changes);

}  // namespace plm
