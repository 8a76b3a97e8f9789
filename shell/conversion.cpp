#include "shell/conversion.h"

#include <cerrno>
#include <cstdio>

#include "platform/fsutil.h"

namespace plm {
namespace {

void SetStatus(const ShellState& state, const std::string& text) {
  if (state.Status) state.Status(text);
}

// After a failed save nothing is deleted at the output path. The writer builds its
// file under a temporary name and renames it into place only when complete, so a
// failed save leaves no partial output of ours; a file still standing there is the
// earlier output (or whatever the user keeps there), and deleting it would lose it.
ConvertResult SaveOutcome(bool saved, std::string why) {
  ConvertResult r;
  r.Outcome = saved ? ConvertOutcome::Converted : ConvertOutcome::SaveFailed;
  if (!saved) r.Reason = "the output " + why;
  return r;
}

// Backup (when writing), rule, save: the steps between a successful load and the
// release, shared by both formats.
template <class Apply, class Save>
ConvertResult BackupApplySave(const std::string& outputPath, ConvertMode mode, Apply&& apply, Save&& save) {
  ConvertResult r;
  if (mode == ConvertMode::Write) {
    std::string why;
    // An output that cannot be moved aside is never replaced: it would be lost
    // without a backup.
    if (!BackupExistingOutput(outputPath, &why)) {
      r.Outcome = ConvertOutcome::BackupFailed;
      r.Reason = why;
      return r;
    }
  }
  const SpacingChanges changes = apply();
  if (mode == ConvertMode::DryRun) {
    r.Outcome = ConvertOutcome::Checked;
  } else {
    std::string why;
    const bool saved = save(why);
    r = SaveOutcome(saved, why);
  }
  r.Changes = changes;
  return r;
}

}  // namespace

std::string ConversionStatusText(const std::string& inputPath, const std::string& outputPath) {
  return "ファイル「" + inputPath + "」→「" + outputPath + "」変換中です。";
}

std::filesystem::path BackupPathOf(const std::filesystem::path& outputPath) {
  const std::string name = outputPath.filename().string();
  const size_t dot = name.rfind('.');
  const std::string backupName = (dot == std::string::npos ? name : name.substr(0, dot)) + ".BAK";
  return outputPath.parent_path() / backupName;
}

bool BackupExistingOutput(const std::filesystem::path& outputPath, std::string* why) {
  if (!IsExistingFile(outputPath)) return true;
  const std::filesystem::path backup = BackupPathOf(outputPath);
  // rename replaces an older backup in one step, so when the move fails the older
  // backup is still there (deleting it first would lose it).
  if (std::rename(outputPath.c_str(), backup.c_str()) == 0) return true;
  if (why) *why = "the existing output could not be renamed to " + backup.string() + ": " + ErrnoText(errno);
  return false;
}

ConvertResult ConvertJwwFile(ShellState& state, const std::string& inputPath, const std::string& outputPath,
                             ConvertMode mode) {
  SetStatus(state, ConversionStatusText(inputPath, outputPath));
  ConvertResult r;
  ReadFailure failure;
  if (LoadJwwFile(state.Jww, state.Images, inputPath, &failure)) {
    r = BackupApplySave(
        outputPath, mode, [&] { return ApplyJwwSpacingRule(state.Jww, state.Options); },
        [&](std::string& why) {
          return SaveJwwFile(state.Jww, state.Images, outputPath, state.Jww.Header.Version, &why);
        });
    // Only after a complete load: the extracted images of a failed load stay.
    DeleteTempImageFiles(state.Images);
  } else {
    r.Outcome = ConvertOutcome::LoadFailed;
    r.Reason = failure.Reason;
  }
  ClearJwwData(state.Jww);
  return r;
}

ConvertResult ConvertJwsFile(ShellState& state, const std::string& inputPath, const std::string& outputPath,
                             ConvertMode mode) {
  SetStatus(state, ConversionStatusText(inputPath, outputPath));
  ConvertResult r;
  ReadFailure failure;
  if (LoadJwsFile(state.Jws, inputPath, &failure)) {
    r = BackupApplySave(
        outputPath, mode, [&] { return ApplyJwsSpacingRule(state.Jws, state.Options); },
        [&](std::string& why) { return SaveJwsFile(state.Jws, outputPath, state.Jws.Version, &why); });
  } else {
    r.Outcome = ConvertOutcome::LoadFailed;
    r.Reason = failure.Reason;
  }
  ClearJwsData(state.Jws);
  return r;
}

}  // namespace plm
