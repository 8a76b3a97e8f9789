#include "shell/conversion.h"

#include <algorithm>
#include <optional>
#include <span>
#include <vector>

#include "platform/cp932.h"
#include "platform/files.h"
#include "platform/fsutil.h"

namespace plm {
namespace {

void SetStatus(const ShellState& state, const std::string& text) {
  if (state.Status) state.Status(text);
}

// Why the output on disk is not the drawing that was written, or "" when it is: its
// bytes must be those the writer makes of the document in memory (with every
// normalisation of writing applied), and they must load in full.
std::string CheckWrittenOutput(ShellState& state, const DocumentHandler& doc, const std::filesystem::path& output,
                               int32_t version) {
  ByteSink expected;  // memory mode
  doc.Encode(expected, state, version);
  if (!expected.Ok()) return "the drawing could not be encoded again: " + expected.FailureReason();
  const std::optional<std::vector<uint8_t>> actual = ReadWholeFile(output);
  if (!actual) return "the output could not be read back";
  const std::vector<uint8_t>& want = expected.Bytes();
  const size_t common = std::min(actual->size(), want.size());
  const size_t first = static_cast<size_t>(
      std::mismatch(actual->begin(), actual->begin() + static_cast<std::ptrdiff_t>(common), want.begin()).first -
      actual->begin());
  if (first < common)
    return "the output read back differs from the written drawing at byte " + std::to_string(first);
  if (actual->size() != want.size())
    return "the output read back is " + std::to_string(actual->size()) + " bytes long, not " +
           std::to_string(want.size());
  ReadFailure failure;
  if (!doc.LoadWritten(std::span<const uint8_t>(*actual), version, failure))
    return "the output read back does not load: " + failure.Reason;
  return {};
}

// Removes a bad output and moves back the earlier output this conversion kept as its
// backup; says what became of both.
std::string UndoOutput(const std::filesystem::path& output, bool backupMade) {
  std::string why;
  if (!RemoveFile(output, &why) && IsExistingFile(output)) return "; the output could not be removed: " + why;
  std::string what = "; the output was removed";
  if (backupMade) {
    const std::filesystem::path backup = BackupPathOf(output);
    if (RenameFile(backup, output, &why))
      what += " and the earlier output restored from " + backup.string();
    else
      what += "; the earlier output stays at " + backup.string() + " (" + why + ")";
  }
  return what;
}

// Writes the output beside its name, keeps an earlier output as the backup, then puts
// the new output in place. Until that last rename the output name holds the earlier
// output; after it, the new one, with the earlier one under the backup name.
ConvertResult WriteOutput(ShellState& state, const DocumentHandler& doc, const std::string& outputPath,
                          int32_t version, bool& backupMade) {
  ConvertResult r;
  ByteSink out;
  if (out.CreateFile(outputPath)) doc.Encode(out, state, version);
  if (!out.Finish()) {
    r.Outcome = ConvertOutcome::SaveFailed;
    r.Reason = "the output " + out.FailureReason();
    return r;
  }
  backupMade = IsExistingFile(outputPath);
  std::string why;
  // An output that cannot be kept as the backup is never replaced: it would be lost.
  if (!BackupExistingOutput(outputPath, &why)) {
    out.Abort();
    backupMade = false;
    r.Outcome = ConvertOutcome::BackupFailed;
    r.Reason = why;
    return r;
  }
  if (!out.Publish()) {
    r.Outcome = ConvertOutcome::SaveFailed;
    r.Reason = "the output " + out.FailureReason();
    return r;
  }
  r.Outcome = ConvertOutcome::Converted;
  return r;
}

}  // namespace

std::string ConversionStatusText(const std::string& inputPath, const std::string& outputPath) {
  return "ファイル「" + NameToUtf8(inputPath) + "」→「" + NameToUtf8(outputPath) + "」変換中です。";
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
  std::string error;
  // One step replaces an older backup, so when it fails the older backup is still
  // there (deleting it first would lose it).
  if (PreserveAs(outputPath, backup, &error)) return true;
  if (why) *why = "the existing output could not be renamed to " + backup.string() + ": " + error;
  return false;
}

ConvertResult ConvertFile(ShellState& state, const DrawingFormat& format, const std::string& inputPath,
                          const std::string& outputPath, ConvertMode mode, const ConvertHooks& hooks) {
  SetStatus(state, ConversionStatusText(inputPath, outputPath));
  const DocumentHandler& doc = *format.Document;
  ConvertResult r;
  ReadFailure failure;
  const bool loaded = doc.Load(state, inputPath, &failure);
  if (!loaded) {
    r.Outcome = ConvertOutcome::LoadFailed;
    r.Reason = failure.Reason;
    doc.Release(state, false);
    return r;
  }
  const int32_t version = doc.Version(state);
  if (hooks.Observer) hooks.Observer->BeforeRule(doc.Subject(state));
  const SpacingChanges changes = doc.ApplyRule(state);
  if (hooks.Observer) hooks.Observer->AfterRule(doc.Subject(state));
  if (mode == ConvertMode::DryRun) {
    r.Outcome = ConvertOutcome::Checked;
  } else {
    bool backupMade = false;
    r = WriteOutput(state, doc, outputPath, version, backupMade);
    if (r.Ok() && hooks.Observer) hooks.Observer->AfterSave(outputPath);
    if (r.Ok() && hooks.Verify) {
      const std::string problem = CheckWrittenOutput(state, doc, outputPath, version);
      if (!problem.empty()) {
        r.Outcome = ConvertOutcome::VerifyFailed;
        r.Reason = problem + UndoOutput(outputPath, backupMade);
      }
    }
  }
  r.Changes = changes;
  doc.Release(state, true);
  return r;
}

ConvertResult ConvertJwwFile(ShellState& state, const std::string& inputPath, const std::string& outputPath,
                             ConvertMode mode, const ConvertHooks& hooks) {
  return ConvertFile(state, JwwFormat(), inputPath, outputPath, mode, hooks);
}

ConvertResult ConvertJwsFile(ShellState& state, const std::string& inputPath, const std::string& outputPath,
                             ConvertMode mode, const ConvertHooks& hooks) {
  return ConvertFile(state, JwsFormat(), inputPath, outputPath, mode, hooks);
}

}  // namespace plm
