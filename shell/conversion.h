#pragma once
// Conversion of one drawing into the save folder: load in full, keep an existing
// output as the one ".BAK" backup, apply the spacing rule, write, release. The only
// progress report is the status text; the result adds the reason for a script.
#include <filesystem>
#include <string>

#include "shell/formats.h"
#include "shell/shellstate.h"

namespace plm {

enum class ConvertOutcome {
  Converted,     // the output was written
  Checked,       // a dry run: loaded and the rule applied, nothing written
  LoadFailed,    // the input was refused; no backup, no output
  BackupFailed,  // an existing output could not be kept as its backup; it was left alone
  SaveFailed,    // the output could not be written; an earlier output stays as it was
  VerifyFailed,  // the output did not read back as written; it was removed and an
                 // earlier output moved back from its backup
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
  virtual void BeforeRule(const RuleSubject&) {}
  virtual void AfterRule(const RuleSubject&) {}
  // A successful write, before it is verified.
  virtual void AfterSave(const std::filesystem::path& /*output*/) {}
};

struct ConvertHooks {
  ConversionObserver* Observer = nullptr;
  // After a successful write, read the output back: it must hold exactly the bytes the
  // writer makes of the document and load in full. Otherwise the output is removed,
  // an earlier output moved to its backup by this conversion is moved back, and the
  // result is VerifyFailed.
  bool Verify = false;
};

// The progress sentence shown while one file is converted; the paths as NameToUtf8
// shows them.
std::string ConversionStatusText(const std::string& inputPath, const std::string& outputPath);

// outputPath with the extension of its file name (from the last dot on) replaced by
// ".BAK"; a name without a dot gets ".BAK" appended.
std::filesystem::path BackupPathOf(const std::filesystem::path& outputPath);

// Gives an existing file at outputPath its backup name as well (replacing an older
// backup in one step); the file stays under its own name until the new output
// replaces it. True when nothing was there or the backup is made; false, with `why`
// when given, otherwise.
bool BackupExistingOutput(const std::filesystem::path& outputPath, std::string* why = nullptr);

// Converts one file of a converted format (format.Document is set). The steps: set
// the status text, load the input in full, apply the rule, write the output under a
// temporary name and flush it, keep an existing output as the one backup (it stays
// under its own name until the new output replaces it in one rename), verify when
// asked, release the document. The input file is never touched.
ConvertResult ConvertFile(ShellState& state, const DrawingFormat& format, const std::string& inputPath,
                          const std::string& outputPath, ConvertMode mode = ConvertMode::Write,
                          const ConvertHooks& hooks = {});

ConvertResult ConvertJwwFile(ShellState& state, const std::string& inputPath, const std::string& outputPath,
                             ConvertMode mode = ConvertMode::Write, const ConvertHooks& hooks = {});
ConvertResult ConvertJwsFile(ShellState& state, const std::string& inputPath, const std::string& outputPath,
                             ConvertMode mode = ConvertMode::Write, const ConvertHooks& hooks = {});

}  // namespace plm
