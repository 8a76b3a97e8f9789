#pragma once
// Test-only model of the drawing body shared by JWW drawings and JWS figures: byte
// builders for every entity record by version, tagged lists with their class
// bookkeeping, block definitions and the bound-image section; an independent decoder
// of such bytes; and the writer's rules, so a test can state the exact bytes a
// conversion must give. Written from the format's description; of the product it uses
// only the string filter and the attribute check, which tests pin on their own.
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "jww/spacingrule.h"
#include "tests/support/bytes.h"
#include "tests/support/jwwheader_model.h"

namespace plmtest {

// One entity of a list; the kind number is the alternative's position + 1.
using Entity = std::variant<plm::Line, plm::Arc, plm::Point, plm::Text, plm::Dimension,
                            plm::Solid, plm::BlockInsert>;
inline int KindOf(const Entity& e) { return static_cast<int>(e.index()) + 1; }
// Class name of kind 1..7, and "CDataList" for 8.
const char* ClassNameOf(int kind);

struct BlockDef {
  plm::EntityAttributes Attr;
  int32_t Number = 0;
  int32_t Referenced = 0;
  int32_t Time = 0;        // negative: the 8-byte form follows
  uint64_t LongTime = 0;   // the 8 bytes of the long form
  std::string Name;
  std::vector<Entity> Entities;
  std::string ClassName = "CDataList";  // the class this definition's tag names
};

struct Image {
  std::string Name;
  int32_t Size = 0;
  std::vector<uint8_t> Data;  // encoded when Name is non-empty and Size is not 0
};

struct Body {
  std::vector<Entity> Entities;
  std::vector<BlockDef> BlockDefs;
  std::vector<Image> Images;
};

// Encodings a file may use that the writer never produces.
enum class RefForm { Shortest, Big, BigNoTopBit };
struct Encoding {
  RefForm Refs = RefForm::Shortest;
  bool LongStrings = false;    // every string in the 0xFF + 16-bit form
  bool EscapedCounts = false;  // every 16-bit count as 0xFFFF + 32-bit
  int32_t Schema = -1;         // schema word of class definitions; -1: the version
};

void EncodeAttr(Bytes& out, const plm::EntityAttributes& a, int32_t version);
void EncodeString(Bytes& out, std::string_view s, bool longForm);
// The body of one entity (no tag), as laid out for `version`.
void EncodeEntity(Bytes& out, const Entity& e, int32_t version, bool longStrings = false);
// Entity list, block definition list and, when withImages, the image section.
Bytes EncodeBody(const Body& body, int32_t version, bool withImages, const Encoding& enc = {});

// Decodes what EncodeBody lays out, as a loader must hold it: PenWidth 0 before 351,
// dimension defaults before 420, long block times replaced by the position. Every
// entity-list tag must name one of the seven classes.
struct Decoded {
  Body body;
  size_t End = 0;
};
std::optional<Decoded> DecodeBody(std::span<const uint8_t> bytes, size_t pos, int32_t version, bool withImages,
                                  size_t classNameLimit, std::string* why = nullptr);

// ---- The writer's rules -------------------------------------------------------
// The string filter and the attribute check are the product's own (plm::CleanString,
// plm::CheckEntAttr), pinned by their own tables of stated cases; the model applies
// them where the writer must.
std::string UpperAnsiModel(std::string_view s);
// The upper-cased image name a text refers to; empty when it refers to none.
std::string ImageRefModel(const std::string& text);

// The files the reader extracts from an image list: name -> contents.
using ImageFiles = std::map<std::string, std::vector<uint8_t>>;
ImageFiles ExtractedFiles(const Body& loaded);

// What the writer writes for a loaded body: attribute checks, CleanString, block
// classes and times, the JWS text-prefix rewrite, and the images texts refer to
// (whose files exist in `files`).
Body NormaliseBody(const Body& loaded, int32_t outVersion, bool jws, const ImageFiles& files);

// The text steps of the spacing rule on the model; counts as the rule reports them.
plm::SpacingChanges ApplyRuleModel(Body& body, const plm::ConversionSwitches& options);
bool ZeroWhenNegative(double& spacing);  // true when it changed the value

// ---- Headers ------------------------------------------------------------------
// The JWW header builders (JwwHeaderBytes, ExpectedJwwHeader) are in jwwheader_model.h.

// A JWS header of `version` with the given filler byte and distinct carried values.
Bytes JwsHeaderBytes(int32_t version, uint8_t filler = 'x');
int32_t JwsOutputVersionModel(int32_t version);

// ---- Whole files ----------------------------------------------------------------
// The bytes a load, rule and save at the loaded version must give. `files`, when
// given, replaces the files the load extracted (a test that changes them).
std::optional<std::vector<uint8_t>> ExpectedJwwFile(std::span<const uint8_t> input, const plm::ConversionSwitches& options,
                                                    const ImageFiles* files = nullptr, std::string* why = nullptr);
std::optional<std::vector<uint8_t>> ExpectedJwsFile(std::span<const uint8_t> input, const plm::ConversionSwitches& options,
                                                    std::string* why = nullptr);
// The spacing values the rule changes in a file (text-type table included for JWW).
plm::SpacingChanges ExpectedJwwChanges(std::span<const uint8_t> input, const plm::ConversionSwitches& options);

// One test expectation per count: every count of `actual` equals `expected`'s.
void ExpectChanges(const plm::SpacingChanges& actual, const plm::SpacingChanges& expected);

// "" when equal, else where and how the two differ.
std::string FirstDifference(const std::vector<uint8_t>& actual, const std::vector<uint8_t>& expected);
// The sixteen switch combinations, bit n-1 of the index setting switch n.
plm::ConversionSwitches OptionsFromBits(int bits);

// ---- Sample records ---------------------------------------------------------------
plm::EntityAttributes MakeAttr(uint8_t style, uint16_t color, uint16_t width = 0, uint16_t layer = 0, uint16_t group = 0,
                       uint32_t groupNo = 0, uint16_t flags = 0);
// Records whose doubles are all distinct (derived from seed), so swapped fields show.
plm::Line SampleSen(int seed, plm::EntityAttributes a);
plm::Arc SampleEnko(int seed, plm::EntityAttributes a);
plm::Point SampleTen(int seed, plm::EntityAttributes a);
plm::Text SampleMoji(int seed, plm::EntityAttributes a, uint32_t textTypeCode, double spacing, std::string text,
                         std::string font = "MS Gothic");
plm::Dimension SampleSunpo(int seed, plm::EntityAttributes a, uint32_t textTypeCode, double spacing,
                           std::string text = "1200");
plm::Solid SampleSolid(int seed, plm::EntityAttributes a);
plm::BlockInsert SampleBlock(int seed, plm::EntityAttributes a, int32_t number);

// A body with every entity kind and optional field, out-of-range attributes, edge
// strings, every text-type class with negative, NaN and -0.0 spacings, and block
// definitions (one declaring classes first, one with the 8-byte time, one empty).
Body RichBody();

}  // namespace plmtest
