#pragma once
// The body shared by JWW drawings and JWS figures: the tagged entity list and the
// block definition list, read and written with one running ClassIndex, plus the
// JWW bound-image section.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "jww/drawingbody.h"
#include "jww/jwwattr.h"
#include "jww/bytesink.h"
#include "jww/jwwversions.h"

namespace plm {

// Where the two formats' bodies differ.
struct BodyFormat {
  size_t ClassNameLimit;          // longest class name accepted when reading
  bool RewriteImagePrefixInTexts; // JWS: "^@BM%temp%" becomes "^@BM" in Text texts
};

constexpr BodyFormat kJwwBody{2048, false};

// Reads the entity list and the block definition list. Every tag in an entity list
// must resolve to one of the seven entity classes; anything else fails the read.
bool ReadBody(ByteCursor& in, int32_t version, const BodyFormat& format, DrawingBody& body);

// Steps 1 to 4 of the body writer: entity count, entities in stored order, block
// definitions. Class tags are declared where the stored order first meets each class.
void WriteBodyLists(ByteSink& out, int32_t version, const BodyFormat& format, const DrawingBody& body);

// Reads the body and writes it in the same pass, holding at most kStreamPiece
// entities at a time. `fix` sees each piece (entities of the main list, or of a
// block definition when its flag is set) between its read and its write. When the
// body reads in full, `out` receives exactly what WriteBodyLists gives for the body
// ReadBody reads, with `fix` applied to its lists. A failed write stops the writing
// but not the reading, so a read failure further on is still found; false on a read
// failure, which is then the first one ReadBody meets.
// `afterRead`, when set, runs on the calling thread once the body has been read in
// full and while its last pieces may still be written; its false fails the call as
// a read failure would. It may read on from `in`, but touches nothing `fix` sees.
using PieceFix = std::function<void(EntityLists& piece, bool inBlockDef)>;
constexpr uint32_t kStreamPiece = 4096;
bool StreamBody(ByteCursor& in, ByteSink& out, int32_t version, const BodyFormat& format, const PieceFix& fix,
                const std::function<bool()>& afterRead = {});

// The bound-image section: reading extracts each image into images.TempFolder.
bool ReadImageSection(ByteCursor& in, TempImages& images);
// Marks the images the body's texts refer to and writes them with their data from
// TempFolder.
void WriteImageSection(ByteSink& out, const DrawingBody& body, TempImages& images);

// The attribute check applied on a copy of `attr` for the part's kind, then written.
void WriteEntAttr(ByteSink& out, int32_t version, int32_t kind, const EntityAttributes& attr);
EntityAttributes ReadEntAttr(ByteCursor& in, int32_t version);

// True when a bound image's name is a plain file name that stays inside the image
// folder: no '/', '\' or ':' outside double-byte characters, no zero byte, not "."
// or "..". The empty name is handled apart (it never names a file).
bool IsSafeImageName(const std::string& name);

constexpr char kImagePrefix[] = "^@BM%temp%";
constexpr size_t kImagePrefixLength = 10;

// A text of the image reference form: at least 11 bytes, starting exactly with
// kImagePrefix and holding a comma. Name is the bytes between the prefix and the first
// comma, as written (it may be empty); Rest is what follows that comma.
struct ImageReferenceParts {
  std::string_view Name;
  std::string_view Rest;
};
std::optional<ImageReferenceParts> ImageReferencePartsOf(std::string_view text);

// The image name a text refers to, upper-cased; empty when the text refers to none.
std::string ImageReferenceOf(const std::string& text);

// Which bound image a reference name (from ImageReferenceOf) selects, as the writer
// selects it: the first entry, in list order, whose upper-cased name begins with the
// reference; an empty reference selects none. Built once per image list, so that each
// selection stays logarithmic however many images and texts a drawing holds.
class ImageSelector {
 public:
  template <class Images, class NameOf>
  ImageSelector(const Images& images, NameOf nameOf) {
    for (const auto& image : images) Add(nameOf(image));
    Finish();
  }
  // The position of the selected entry in the list, or none.
  std::optional<size_t> Select(std::string_view reference) const;

 private:
  void Add(std::string_view name);
  void Finish();
  std::vector<std::pair<std::string, size_t>> sorted_;  // upper-cased names and positions, by name
  std::vector<size_t> least_;  // a segment tree over sorted_: the least position of each range
};

}  // namespace plm
