#pragma once
// Records shared by the JWW and JWS documents: entity records, order lists, block
// definitions and bound images.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace plm {

enum EntKind : int32_t {
  kKindNone = 0,
  kKindLine = 1,
  kKindArc = 2,
  kKindPoint = 3,
  kKindText = 4,
  kKindDimension = 5,
  kKindSolid = 6,
  kKindBlockInsert = 7,
  kKindBlockDefinition = 8,  // attribute check of a block definition
};

struct EntityAttributes {
  uint32_t GroupNo = 0;
  uint8_t PenStyle = 0;
  uint16_t PenColor = 0;
  uint16_t PenWidth = 0;
  uint16_t Layer = 0;
  uint16_t LayerGroup = 0;
  uint16_t Flags = 0;
  bool operator==(const EntityAttributes&) const = default;
};

struct Line {
  EntityAttributes Attr;
  double StartX = 0, StartY = 0, EndX = 0, EndY = 0;
};

struct Arc {
  EntityAttributes Attr;
  double CenterX = 0, CenterY = 0, Radius = 0, StartAngle = 0, ArcAngle = 0, TiltAngle = 0, Flatness = 0;
  uint32_t FullCircle = 0;
};

constexpr uint8_t kPenStyleCodedPoint = 100;  // a point that carries Code, Angle and Scale

struct Point {
  EntityAttributes Attr;
  double X = 0, Y = 0;
  uint32_t Temporary = 0;
  uint32_t Code = 0;
  double Angle = 0, Scale = 0;
};

struct Text {
  EntityAttributes Attr;
  double StartX = 0, StartY = 0, EndX = 0, EndY = 0;
  uint32_t TextTypeCode = 0;
  double SizeX = 0, SizeY = 0, Spacing = 0, Angle = 0;
  std::string FontName;
  std::string Text;
};

struct Dimension {
  EntityAttributes Attr;
  plm::Line Line;
  plm::Text Text;
  uint16_t AuxMode = 0;
  plm::Line AuxLine1, AuxLine2;
  plm::Point Point1, Point2, Point3, Point4;
};

constexpr uint16_t kPenColorRgbSolid = 10;  // a solid that carries an explicit RGB Color

struct Solid {
  EntityAttributes Attr;
  double Corner1X = 0, Corner1Y = 0, Corner2X = 0, Corner2Y = 0;
  double Corner3X = 0, Corner3Y = 0, Corner4X = 0, Corner4Y = 0;
  uint32_t Color = 0;
};

struct BlockInsert {
  EntityAttributes Attr;
  double X = 0, Y = 0, ScaleX = 0, ScaleY = 0, Angle = 0;
  int32_t BlockNumber = 0;
};

struct EntityRef {
  int32_t Kind = kKindNone;
  int32_t Index = 0;
  bool operator==(const EntityRef&) const = default;
};

// One entity list: the entity count as stored, the order list (one EntityRef per
// entity, in file order) and the seven kind lists. A drawing's main list and every
// block definition are one of these, so one reader, writer and rule serve them all.
struct EntityLists {
  uint32_t EntityCount = 0;
  std::vector<EntityRef> EntityOrder;
  std::vector<Line> LineList;
  std::vector<Arc> ArcList;
  std::vector<Point> PointList;
  std::vector<Text> TextList;
  std::vector<Dimension> DimensionList;
  std::vector<Solid> SolidList;
  std::vector<BlockInsert> BlockInsertList;
};

// A block definition: its own attributes and name, then its entity list.
struct BlockDefinition : EntityLists {
  EntityAttributes Attr;
  int32_t Number = 0;
  int32_t Referenced = 0;
  int32_t Time = 0;
  std::string Name;
};

// What the JWW and JWS documents share: the main entity list and the block
// definitions. Reading, writing, the spacing rule and every report take this.
struct DrawingBody : EntityLists {
  std::vector<BlockDefinition> BlockDefinitionList;
};

struct BoundImageFile {
  std::string Name;
  int32_t Size = 0;
  bool Used = false;
};

// The image folder and the list of images extracted into it from the last drawing
// of version 700 or later. The reader fills both; the writer reads the files back.
struct TempImages {
  std::filesystem::path TempFolder;
  std::vector<BoundImageFile> TempImageFiles;
};

void ClearTempImageFiles(TempImages& images);
// Deletes TempFolder + Name of every entry, ignoring errors; the list stays.
void DeleteTempImageFiles(const TempImages& images);

// Text-type class of a text: the code modulo 1000, 0 for a free-size text.
inline uint32_t TextTypeClass(uint32_t textTypeCode) { return textTypeCode % 1000u; }

}  // namespace plm
