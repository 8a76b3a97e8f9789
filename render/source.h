#pragma once
// What the renderer reads from a loaded JWW drawing or JWS figure. Built in one place
// (source.cpp) so the documents' list names appear nowhere else in the renderer.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
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

// A bound image as pictures show it: the name as stored (code page 932) and the
// image file's bytes, null when the drawing holds none under that name.
struct BoundImageBytes {
  std::string Name;
  std::shared_ptr<const std::vector<uint8_t>> Bytes;
};

// Views into a document; valid while the document lives and is not changed.
struct RenderSource {
  int32_t Version = 0;
  bool IsJws = false;
  // JWW: texts of the image reference form stand for the bound image they name.
  bool TextsNameImages = false;
  // The drawing's bound images in stored order, when they were read for pictures;
  // valid while their owner lives.
  std::span<const BoundImageBytes> Images;
  const EntityLists* Main = nullptr;
  std::vector<BlockDefView> BlockDefs;
  std::span<const TColorExNo> ExtColors;         // empty when the file has no extended table
  std::span<const TTextTypeSetting> TextTypes;   // empty for a JWS figure
};

RenderSource SourceOf(const JwwDocument& doc);
RenderSource SourceOf(const JwsDocument& doc);

}  // namespace plm
