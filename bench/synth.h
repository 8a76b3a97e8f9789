#pragma once
// Synthetic JWW drawings for the benchmarks: built in memory with the project's own
// records and writer, in a mix like real drawings (mostly lines, then texts with
// code page 932 strings, arcs, points, dimensions, solids, block insertions, block
// definitions and a few bound images).
#include <cstdint>
#include <filesystem>
#include <string>

#include "jww/jwwdocument.h"

namespace plm::bench {

// A drawing of about targetBytes when written at `version`. From version 700 on,
// `imageCount` texts refer to bound images whose files are created in
// images.TempFolder (about 2% of targetBytes together) and listed in
// images.TempImageFiles, so that SaveJwwFile packs them in.
JwwDocument MakeDrawing(uint64_t targetBytes, int32_t version, TempImages& images, int imageCount, uint32_t seed);

// A small drawing of a few dozen entities with a memo of two lines.
JwwDocument MakeSmallDrawing(int32_t version, uint32_t seed);

// The bytes SaveJwwFile would write, without creating a file.
std::vector<uint8_t> DrawingBytes(const JwwDocument& doc, TempImages& images, int32_t version);

// Writes `bytes` to `path` with plain writes (no sync); false on any failure.
bool WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

// count files in `folder`: mostly .jww drawings of several versions, some .BAK copies
// of drawings, some plain text files.
bool MakeDrawingFolder(const std::filesystem::path& folder, int count);

// A folder like a user's project folder: `count` drawings of about totalBytes
// together, sizes varied around their mean (a few KB to several times the mean),
// versions mostly 600 and 700, the usual entity mix with some negative spacing,
// small block definitions in most and a bound image in one of every hundred.
bool MakeBatchFolder(const std::filesystem::path& folder, int count, uint64_t totalBytes);

// count folders below `root` (not counting root), breadth first, 22 per parent.
bool MakeFolderTree(const std::filesystem::path& root, int count);

}  // namespace plm::bench
