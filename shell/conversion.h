#pragma once
// Conversion of one drawing into the save folder: load in full, keep an existing
// output as the one ".BAK" backup, apply the spacing rule, write, release. The only
// progress report is the status text; the result adds the reason for a script.
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "shell/formats.h"
#include "shell/savefolder.h"
#include "shell/shellstate.h"

namespace plm {

enum class ConvertOutcome {
  Converted,     // the output was written
  Checked,       // a dry run: loaded and the rule applied, nothing written
  LoadFailed,    // the input was refused; no backup, no output
  BackupFailed,  // an existing output could not be kept as its backup; it was left alone
  SaveFailed,    // the output could not be written; an earlier output stays as it was
  VerifyFailed,  // the output did not read back as written; it never took its name,
                 // and an earlier output stays as it was
  NotADrawing,   // a file named as a drawing that is not one of its format; nothing written
  Missing,       // the file is no longer there; nothing written
};

struct ConvertResult {
  ConvertOutcome Outcome = ConvertOutcome::LoadFailed;
  std::string Reason;      // why it failed; empty on success
  SpacingChanges Changes;  // what the rule changed (also for a dry run)
  bool Ok() const { return Outcome == ConvertOutcome::Converted || Outcome == ConvertOutcome::Checked; }
};

enum class ConvertMode { Write, DryRun };

// Sees the loaded document around the spacing rule and the output after the write.
// Every call is optional; the default does nothing.
class ConversionObserver {
 public:
  virtual ~ConversionObserver() = default;
  // The document right before and right after the rule (in both modes): comparing
  // the two is exactly what the rule changed.
  virtual void BeforeRule(const SpacingView&) {}
  virtual void AfterRule(const SpacingView&) {}
  // A successful write: the complete output under its temporary name, before it is
  // verified and takes the output's name.
  virtual void AfterSave(const std::filesystem::path& /*temporary*/) {}
};

struct ConvertHooks {
  ConversionObserver* Observer = nullptr;
  // After a successful write, read the output back before it takes its name: it must
  // hold exactly the bytes the writer makes of the document and load in full.
  // Otherwise it is removed, an earlier output and its backup stay as they were, and
  // the result is VerifyFailed.
  bool Verify = false;
  // Leave the output's flush to disk to the caller, who makes a group of prepared
  // outputs durable together before publishing them (see PrepareConversion).
  bool DeferFlush = false;
};

// The progress sentence shown while one file is converted; the paths as ShownName
// shows them.
std::string ConversionStatusText(const std::string& inputPath, const std::string& outputPath);

// The name an earlier output keeps: the output name with its extension (from the
// last dot on) replaced by ".BAK" (a name without a dot gets ".BAK" appended), or by
// ".JSB" for a JWS figure, so a drawing and a figure of one name never share a
// backup, the file list never takes a figure's backup for a drawing, and the
// backup of a .JWW or .JWS name is never longer than that name.
std::string BackupNameOf(const std::string& outputName);
std::filesystem::path BackupPathOf(const std::filesystem::path& outputPath);

// A batch reads an input up to this size whole, once, for both its probe and its
// load; a larger one is loaded from its path after the probe has seen its head,
// so memory holds the document alone.
constexpr uint64_t kLoadFromBytesUpTo = uint64_t{16} << 20;

// Where one output goes: a name in an open folder, and the run it belongs to.
struct OutputTarget {
  std::shared_ptr<Folder> Where;
  std::string Name;
  // The run's save folder: what it must not replace. May be null.
  SaveFolderSession* Session = nullptr;
};

// A conversion taken as far as it goes before its output takes its name.
struct PreparedConversion {
  ConvertResult Result;  // final, unless Output is pending
  std::string OutputPath;
  OutputTarget Target;
  FinishedTemporary Output;  // the complete (and verified, when asked) output
};

// Loads the input in full (from `inputBytes` when the caller has read the file,
// else from its path), applies the rule, writes the output under a temporary name
// beside it, verifies it when asked and releases the document. The output is
// flushed to disk unless hooks.DeferFlush; nothing under the output's name or the
// backup's name changes yet. Never sets the status text, so it may run on any
// thread with a ShellState of its own.
PreparedConversion PrepareConversion(ShellState& state, const DrawingFormat& format, const std::string& inputPath,
                                     const OutputTarget& target, ConvertMode mode, const ConvertHooks& hooks,
                                     std::optional<std::span<const uint8_t>> inputBytes = std::nullopt);
// The same into the folder of outputPath, opened from its path.
PreparedConversion PrepareConversion(ShellState& state, const DrawingFormat& format, const std::string& inputPath,
                                     const std::string& outputPath, ConvertMode mode, const ConvertHooks& hooks,
                                     std::optional<std::span<const uint8_t>> inputBytes = std::nullopt);

// What the one read of an input decides before it is converted, alike for the
// window's batch and plmconv: the format its name's extension (letter case ignored)
// stands for, then that format's signature, checked on the file's first bytes.
enum class InputVerdict {
  OtherName,      // the name is no converted format's: the input is skipped
  Unopened,       // the file could not be opened (Why says why)
  NotThisFormat,  // its first bytes are not its format's signature
  Readable,       // converted as Format; Bytes holds the file unless HeadOnly
};

struct ConversionInput {
  InputVerdict Verdict = InputVerdict::OtherName;
  const DrawingFormat* Format = nullptr;  // set unless OtherName
  std::string Why;                        // why the file, or its rest, could not be read
  std::optional<std::vector<uint8_t>> Bytes;  // none when the rest could not be read
  bool HeadOnly = false;  // larger than kLoadFromBytesUpTo: loaded from its path
};

ConversionInput ReadConversionInput(const std::string& inputPath, std::string_view fileName);

// A Readable input taken to a prepared conversion: shows the status sentence, then
// fails the load when the rest of the file could not be read, or the save with
// `refusal` when it is not empty; otherwise PrepareConversion from the bytes read.
PreparedConversion PrepareReadInput(ShellState& state, const ConversionInput& input, const std::string& inputPath,
                                    const std::string& outputPath, const OutputTarget& target, ConvertMode mode,
                                    const ConvertHooks& hooks, const std::function<void(const std::string&)>& status,
                                    const std::string& refusal = {});

// Puts a prepared output in place, whose temporary must be durable by now: keeps an
// existing output as the one backup (it stays under its own name until the new
// output replaces it in one rename), then renames the temporary over it. Gives the
// conversion's final result. Nothing is moved when the output name or its backup
// name holds what the run must not replace, or when the backup name is longer than
// the folder takes.
ConvertResult PublishConversion(PreparedConversion& prepared);

}  // namespace plm
