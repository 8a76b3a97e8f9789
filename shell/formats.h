#pragma once
// The one table of drawing formats: which extensions the program knows, how each is
// probed, whose memo the file list shows, and which formats are converted. The
// batch command, plmconv and the file list all decide through it.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "shell/shellstate.h"

namespace plm {

// A format that is loaded in full, corrected and written back. Every function works
// on the format's one document in the shell state.
struct DocumentHandler {
  bool (*Load)(ShellState& state, const std::filesystem::path& path, ReadFailure* failure);
  // The same from the file's bytes, read by the caller.
  bool (*LoadBytes)(ShellState& state, std::span<const uint8_t> bytes, ReadFailure* failure);
  int32_t (*Version)(const ShellState& state);
  SpacingView (*Subject)(const ShellState& state);
  SpacingChanges (*ApplyRule)(ShellState& state);
  // The whole file in `version`, as the save writes it.
  void (*Encode)(ByteSink& out, ShellState& state, int32_t version);
  // Loads a written file from memory into a document of its own (verification);
  // bound images, if the loaded document has any, go to a private folder removed
  // afterwards.
  bool (*LoadWritten)(const ShellState& state, std::span<const uint8_t> bytes, int32_t version,
                      ReadFailure& failure);
  // Deletes what a complete load extracted (bound images) and clears the document.
  void (*Release)(ShellState& state, bool loaded);
  // The memo stored in the loaded document, or null when the format has none.
  const std::string* (*StoredMemo)(const ShellState& state);
  // Reads only the header (signature, version, memo) into the document, for a file
  // that does not load in full; null when the format has no memo.
  bool (*LoadHeader)(ShellState& state, const std::filesystem::path& path);
  // True when the loaded document carries bound images (listed in state.Images).
  bool (*CarriesImages)(const ShellState& state);
  // The bytes a file of the format starts with; the probe checks exactly these.
  std::string_view Signature;
  // Load, ApplyRule and Encode in one pass that holds only a piece of the body at a
  // time (from `bytes` when given, else from the file at `path`); the same output
  // bytes, changes and load failures, in far less memory. False when the input does
  // not load (then what `out` holds must be dropped); out.Ok() tells the rest.
  // Release follows as after Load. Null when the format has none.
  bool (*Stream)(ShellState& state, const std::filesystem::path& path, std::optional<std::span<const uint8_t>> bytes,
                 ByteSink& out, SpacingChanges& changes, ReadFailure* failure) = nullptr;
};

// The probe's answer from a file's first bytes (`head` may be the whole file).
bool StartsWithSignature(const DocumentHandler& doc, std::span<const uint8_t> head);

struct DrawingFormat {
  // Upper-cased extension with its dot (".JWW"); a trailing '*' matches any rest
  // (".BK*").
  std::string_view Extension;
  // Format name for reports ("JWW"); empty for extensions that name no one format.
  std::string_view Name;
  // The skip reason when the signature does not match.
  std::string_view NotThisFormat;
  bool (*Probe)(const std::filesystem::path& path);                // null: no probe
  std::string (*Memo)(ShellState& state, const std::string& path);  // null: no memo
  const DocumentHandler* Document;                                  // null: only listed
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
