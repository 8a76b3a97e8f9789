#pragma once
// The one table of drawing formats: which extensions the program knows, how each is
// probed, whose memo the file list shows, and which formats are converted. The
// batch command, plmconv, the preview and the file list all decide through it.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "jww/bytecursor.h"
#include "jww/bytesink.h"
#include "jww/drawingbody.h"
#include "jww/spacingrule.h"
#include "render/marks.h"
#include "render/source.h"

namespace plm {

// Where a load reads from, and where it puts the bound images it extracts.
struct LoadRequest {
  std::filesystem::path Path;                     // read from here unless Bytes is given
  std::optional<std::span<const uint8_t>> Bytes;  // the whole file, read by the caller
  std::filesystem::path ImageFolder;
  // Reads the extracted bound images back into memory for the drawing's pictures
  // (Source()), so they outlive the image folder.
  bool KeepImageBytes = false;
};

// The version and the memo stored in a file's header.
struct StoredHeader {
  int32_t Version = 0;
  std::optional<std::string> Memo;  // none when the format stores no memo
};

struct WrittenCopy;

// One drawing loaded in full. It owns its document and the bound images its load
// extracted; those are deleted with it unless LeaveImages was called.
class LoadedDrawing {
 public:
  virtual ~LoadedDrawing();
  LoadedDrawing(const LoadedDrawing&) = delete;
  LoadedDrawing& operator=(const LoadedDrawing&) = delete;

  virtual StoredHeader Header() const = 0;
  int32_t Version() const { return Header().Version; }
  virtual SpacingSubject Subject() = 0;
  virtual SpacingView View() const = 0;
  SpacingChanges ApplyRule(const ConversionSwitches& options) { return ApplySpacingRule(Subject(), options); }
  // The whole file in `version`, as the save writes it; needs the extracted images.
  virtual void Encode(ByteSink& out, int32_t version) = 0;
  // Loads a written file from memory into a document of its own (verification);
  // its bound images go to a private folder removed afterwards, so this drawing's
  // images stay as they are.
  virtual bool LoadWritten(std::span<const uint8_t> bytes, int32_t version, ReadFailure& failure) const = 0;
  // True when the drawing's version has a bound-image section.
  virtual bool CarriesImages() const { return false; }
  // The bound images the load extracted (none for a format without images).
  const TempImages& Images() const { return images_; }
  // The images stay where they are when the drawing goes: their folder's owner
  // removes them.
  void LeaveImages() { images_.TempImageFiles.clear(); }
  // What a picture of the drawing draws from; valid while the drawing lives. Its
  // bound images are there when the load kept their bytes.
  virtual RenderSource Source() const = 0;
  // The drawing as a conversion with `options` would write it, and which texts change.
  virtual WrittenCopy CopyAsWritten(const ConversionSwitches& options) const = 0;

 protected:
  explicit LoadedDrawing(const std::filesystem::path& imageFolder);
  TempImages images_;
};

struct WrittenCopy {
  std::unique_ptr<LoadedDrawing> Drawing;  // extracted no images of its own; shares the kept bytes
  SpacingMarks Marks;
};

// What a load gives: the drawing, or why not.
struct LoadResult {
  std::unique_ptr<LoadedDrawing> Drawing;  // null when the file does not load in full
  ReadFailure Failure;                     // why, when Drawing is null
  // The bound images a failed load extracted before it stopped; they stay in the
  // image folder unless the caller deletes them.
  TempImages LeftBehind;
  bool Ok() const { return Drawing != nullptr; }
};

// What the program does with files of one kind. A format either converts (and then
// loads, streams and renders) or only lists a memo.
class FormatHandler {
 public:
  virtual ~FormatHandler() = default;
  virtual bool CanConvert() const { return false; }
  virtual bool HasMemo() const { return false; }
  virtual bool CanRender() const { return CanConvert(); }
  // True when a load may extract bound images into the image folder.
  virtual bool ExtractsImages() const { return false; }
  // The bytes a converted file starts with; the probe checks exactly these.
  virtual std::string_view Signature() const { return {}; }
  bool StartsWithSignature(std::span<const uint8_t> head) const;
  // The signature check on the file at `path`; false when it cannot be read.
  virtual bool Probe(const std::filesystem::path& path) const;
  // Loads the whole file (converted formats only).
  virtual LoadResult Load(const LoadRequest& request) const;
  // Load, the rule and Encode in one pass that holds only a piece of the body at a
  // time; the same output bytes, changes and load failures, in far less memory.
  // False when the input does not load (then what `out` holds must be dropped);
  // out.Ok() tells the rest. The images of a complete pass are deleted, those of a
  // failed one stay. Only for a format whose Streams() is true.
  virtual bool Streams() const { return false; }
  virtual bool Stream(const LoadRequest& request, const ConversionSwitches& options, ByteSink& out,
                      SpacingChanges& changes, ReadFailure* failure) const;
  // The header alone, for a file that does not load in full; none when it does not
  // read or the format keeps no memo in a header of its own.
  virtual std::optional<StoredHeader> ReadHeader(const std::filesystem::path& path) const;
  // The memo the file list shows, cleaned for the list; empty when there is none
  // or it does not read. Code page 932 bytes.
  virtual std::string Memo(const std::filesystem::path& path) const;
};

struct DrawingFormat {
  // Upper-cased extension with its dot (".JWW"); a trailing '*' matches any rest
  // (".BK*").
  std::string_view Extension;
  // Format name for reports ("JWW"); empty for extensions that name no one format.
  std::string_view Name;
  // The skip reason when the signature does not match.
  std::string_view NotThisFormat;
  const FormatHandler* Handler;
  bool Converted() const { return Handler->CanConvert(); }
};

std::span<const DrawingFormat> DrawingFormats();

// The entry for an upper-cased extension, or null.
const DrawingFormat* FormatForExtension(std::string_view upperExtension);
// The entry for a file name by its extension (letter case ignored), or null.
const DrawingFormat* FormatForName(std::string_view fileName);
// The converted format whose probe accepts the file, whatever its name; null for
// none. Formats are tried in table order.
const DrawingFormat* FormatBySignature(const std::filesystem::path& path);

const DrawingFormat& JwwFormat();
const DrawingFormat& JwsFormat();

}  // namespace plm
