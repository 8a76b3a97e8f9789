#pragma once
// What the renderer reads from a loaded JWW drawing or JWS figure. Built in one place
// (source.cpp) so the documents' list names appear nowhere else in the renderer.
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "jww/drawingbody.h"

namespace plm {

struct JwwDocument;
struct JwsDocument;
struct TColorExNo;
struct TTextTypeSetting;

// One entity list: its order list and its seven kind lists.
struct BlockDefView {
  int32_t Number = 0;
  std::string_view Name;
  const EntityLists* Entities = nullptr;
};

// Views into a document; valid while the document lives and is not changed.
struct RenderSource {
  int32_t Version = 0;
  bool IsJws = false;
  const EntityLists* Main = nullptr;
  std::vector<BlockDefView> BlockDefs;
  std::span<const TColorExNo> ExtColors;         // empty when the file has no extended table
  std::span<const TTextTypeSetting> TextTypes;   // empty for a JWS figure
};

RenderSource SourceOf(const JwwDocument& doc);
RenderSource SourceOf(const JwsDocument& doc);

}  // namespace plm
