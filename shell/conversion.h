#pragma once
// Conversion of one drawing into the save folder: load in full, keep an existing
// output as the one ".BAK" backup, apply the spacing rule, write, release. The only
// progress report is the status text; the result adds the reason for a script.
#include <filesystem>
#include <string>

#include "shell/shellstate.h"

namespace plm {

enum class ConvertOutcome {
  Converted,     // the output was written
  Checked,       // a dry run: loaded and the rule applied, nothing written
  LoadFailed,    // the input was refused; no backup, no output
  BackupFailed,  // an existing output could not be moved to its backup; it was left alone
  SaveFailed,    // the output could not be written; an earlier output stays as the backup
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
  virtual void BeforeRule(const JwwDocument&) {}
  virtual void AfterRule(const JwwDocument&) {}
  virtual void BeforeRule(const JwsDocument&) {}
  virtual void AfterRule(const JwsDocument&) {}
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

// The progress sentence shown while one file is converted.
std::string ConversionStatusText(const std::string& inputPath, const std::string& outputPath);

// outputPath with the extension of its file name (from the last dot on) replaced by
// ".BAK"; a name without a dot gets ".BAK" appended.
std::filesystem::path BackupPathOf(const std::filesystem::path& outputPath);

// Moves an existing file at outputPath to its backup path, replacing an older backup.
// True when outputPath is free afterwards (nothing was there, or the move worked);
// false, with `why` when given, when a file is still there.
bool BackupExistingOutput(const std::filesystem::path& outputPath, std::string* why = nullptr);

// Each driver sets the status text first, releases its document before returning,
// and never touches the input file.
ConvertResult ConvertJwwFile(ShellState& state, const std::string& inputPath, const std::string& outputPath,
                             ConvertMode mode = ConvertMode::Write, const ConvertHooks& hooks = {});
ConvertResult ConvertJwsFile(ShellState& state, const std::string& inputPath, const std::string& outputPath,
                             ConvertMode mode = ConvertMode::Write, const ConvertHooks& hooks = {});

}  // namespace plm
