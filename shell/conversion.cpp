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
  if (!doc.LoadWritten(state, std::span<const uint8_t>(*actual), version, failure))
    return "the output read back does not load: " + failure.Reason;
  return {};
}

// Finishes the writer's output and takes it from `finished`, which would otherwise
// remove it; on failure sets the SaveFailed result with the writer's reason.
bool TakeFinishedOutput(ByteSink& out, FinishedTemporaries& finished, PreparedConversion& p) {
  if (out.Finish() && !finished.Files().empty()) {
    p.Output = std::move(finished.Files().back());
    return true;
  }
  p.Result.Outcome = ConvertOutcome::SaveFailed;
  p.Result.Reason = "the output " + out.FailureReason();
  return false;
}

// The output's temporary is made before the input is read, so the two run in one
// pass; the input still decides first: a load failure is reported as one (and the
// temporary removed) even when the output could not be made or written.
PreparedConversion StreamConversion(ShellState& state, const DocumentHandler& doc, const std::string& inputPath,
                                    const std::string& outputPath, const ConvertHooks& hooks,
                                    std::optional<std::span<const uint8_t>> inputBytes) {
  PreparedConversion p;
  p.OutputPath = outputPath;
  ConvertResult& r = p.Result;
  ReadFailure failure;
  bool written = false;
  {
    FinishedTemporaries finished(hooks.DeferFlush);
    ByteSink out;
    out.CreateFile(outputPath, TemporaryKind::Unnamed);
    if (!doc.Stream(state, inputPath, inputBytes, out, r.Changes, &failure)) {
      out.Abort();
      r.Outcome = ConvertOutcome::LoadFailed;
      r.Reason = failure.Reason;
      doc.Release(state, false);
      return p;
    }
    written = TakeFinishedOutput(out, finished, p);
  }
  if (written) r.Outcome = ConvertOutcome::Converted;
  doc.Release(state, true);
  return p;
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
  const std::filesystem::path backup = BackupPathOf(outputPath);
  std::string error;
  // One step replaces an older backup, so when it fails the older backup is still
  // there (deleting it first would lose it).
  if (KeepExistingAs(outputPath, backup, &error) != KeepOutcome::Failed) return true;
  if (why) *why = "the existing output could not be renamed to " + backup.string() + ": " + error;
  return false;
}

PreparedConversion PrepareConversion(ShellState& state, const DrawingFormat& format, const std::string& inputPath,
                                     const std::string& outputPath, ConvertMode mode, const ConvertHooks& hooks,
                                     std::optional<std::span<const uint8_t>> inputBytes) {
  PreparedConversion p;
  p.OutputPath = outputPath;
  ConvertResult& r = p.Result;
  const DocumentHandler& doc = *format.Document;
  // Nothing asks to see the whole document: it is converted a piece at a time.
  if (doc.Stream && mode == ConvertMode::Write && !hooks.Verify && !hooks.Observer)
    return StreamConversion(state, doc, inputPath, outputPath, hooks, inputBytes);
  ReadFailure failure;
  const bool loaded =
      inputBytes ? doc.LoadBytes(state, *inputBytes, &failure) : doc.Load(state, inputPath, &failure);
  if (!loaded) {
    r.Outcome = ConvertOutcome::LoadFailed;
    r.Reason = failure.Reason;
    doc.Release(state, false);
    return p;
  }
  const int32_t version = doc.Version(state);
  if (hooks.Observer) hooks.Observer->BeforeRule(doc.Subject(state));
  r.Changes = doc.ApplyRule(state);
  if (hooks.Observer) hooks.Observer->AfterRule(doc.Subject(state));
  if (mode == ConvertMode::DryRun) {
    r.Outcome = ConvertOutcome::Checked;
    doc.Release(state, true);
    return p;
  }
  bool written = false;
  {
    // Takes the finished temporary from the writer, which would otherwise remove it.
    FinishedTemporaries finished(hooks.DeferFlush);
    ByteSink out;
    // Only the hooks open the temporary by its path.
    const bool named = hooks.Verify || hooks.Observer;
    if (out.CreateFile(outputPath, named ? TemporaryKind::Hidden : TemporaryKind::Unnamed))
      doc.Encode(out, state, version);
    written = TakeFinishedOutput(out, finished, p);
  }
  if (written) {
    if (hooks.Observer) hooks.Observer->AfterSave(p.Output.Path());
    const std::string problem = hooks.Verify ? CheckWrittenOutput(state, doc, p.Output.Path(), version) : "";
    if (!problem.empty()) {
      p.Output.Discard();
      r.Outcome = ConvertOutcome::VerifyFailed;
      r.Reason = problem + "; it was removed and did not replace anything";
    } else {
      r.Outcome = ConvertOutcome::Converted;
    }
  }
  doc.Release(state, true);
  return p;
}

ConvertResult PublishConversion(PreparedConversion& p) {
  ConvertResult r = p.Result;
  if (!p.Output.Pending()) return r;
  std::string why;
  // Most outputs are new: they take the free name in one step that fails, changing
  // nothing, should an earlier output be there after all.
  switch (p.Output.PublishWhereFree(&why)) {
    case PublishOutcome::Published: return r;
    case PublishOutcome::Failed:
      r.Outcome = ConvertOutcome::SaveFailed;
      r.Reason = "the output " + why;
      return r;
    case PublishOutcome::Occupied: break;
  }
  const std::filesystem::path backup = BackupPathOf(p.OutputPath);
  // An output that cannot be kept as the backup is never replaced: it would be lost.
  if (KeepExistingAs(p.OutputPath, backup, &why) == KeepOutcome::Failed) {
    p.Output.Discard();
    r.Outcome = ConvertOutcome::BackupFailed;
    r.Reason = "the existing output could not be renamed to " + backup.string() + ": " + why;
    return r;
  }
  if (!p.Output.Publish(&why)) {
    r.Outcome = ConvertOutcome::SaveFailed;
    r.Reason = "the output " + why;
  }
  return r;
}

ConvertResult ConvertFile(ShellState& state, const DrawingFormat& format, const std::string& inputPath,
                          const std::string& outputPath, ConvertMode mode, const ConvertHooks& hooks) {
  SetStatus(state, ConversionStatusText(inputPath, outputPath));
  PreparedConversion p = PrepareConversion(state, format, inputPath, outputPath, mode, hooks);
  return PublishConversion(p);
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
