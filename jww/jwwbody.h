#pragma once
// The body shared by JWW drawings and JWS figures: the tagged entity list and the
// block definition list, read and written with one running ClassIndex, plus the
// JWW bound-image section.
#include <cstdint>
#include <functional>
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

// The image name a text refers to, upper-cased; empty when the text refers to none.
std::string ImageReferenceOf(const std::string& text);

constexpr char kImagePrefix[] = "^@BM%temp%";
constexpr size_t kImagePrefixLength = 10;

}  // namespace plm
