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
};

struct ConvertResult {
  ConvertOutcome Outcome = ConvertOutcome::LoadFailed;
  std::string Reason;      // why it failed; empty on success
  SpacingChanges Changes;  // what the rule changed (also for a dry run)
  bool Ok() const { return Outcome == ConvertOutcome::Converted || Outcome == ConvertOutcome::Checked; }
};

enum class ConvertMode { Write, DryRun };

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
                             ConvertMode mode = ConvertMode::Write);
ConvertResult ConvertJwsFile(ShellState& state, const std::string& inputPath, const std::string& outputPath,
                             ConvertMode mode = ConvertMode::Write);

}  // namespace plm
