#include "shell/conversion.h"

#include <algorithm>
#include <optional>
#include <span>
#include <vector>

#include "text/cp932.h"
#include "platform/files.h"
#include "platform/fsutil.h"

#include <cerrno>

namespace plm {
namespace {

// Why the output on disk is not the drawing that was written, or "" when it is: its
// bytes must be those the writer makes of the document in memory (with every
// normalisation of writing applied), and they must load in full.
std::string CheckWrittenOutput(LoadedDrawing& drawing, const std::filesystem::path& output, int32_t version) {
  ByteSink expected;  // memory mode
  drawing.Encode(expected, version);
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
  if (!drawing.LoadWritten(std::span<const uint8_t>(*actual), version, failure))
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
PreparedConversion StreamConversion(const ShellState& state, const FormatHandler& format, const LoadRequest& input,
                                    const OutputTarget& target, const ConvertHooks& hooks) {
  PreparedConversion p;
  p.OutputPath = Utf8FromPath(target.Where->PathOf(target.Name));
  p.Target = target;
  ConvertResult& r = p.Result;
  ReadFailure failure;
  bool written = false;
  {
    FinishedTemporaries finished(hooks.DeferFlush);
    ByteSink out;
    out.CreateFile(target.Where, target.Name, TemporaryKind::Unnamed);
    if (!format.Stream(input, state.Options, out, r.Changes, &failure)) {
      out.Abort();
      r.Outcome = ConvertOutcome::LoadFailed;
      r.Reason = failure.Reason;
      return p;
    }
    written = TakeFinishedOutput(out, finished, p);
  }
  if (written) r.Outcome = ConvertOutcome::Converted;
  return p;
}

LoadRequest RequestFor(const ShellState& state, const std::string& inputPath,
                       std::optional<std::span<const uint8_t>> inputBytes) {
  return LoadRequest{PathFromUtf8(inputPath), inputBytes, state.Images.TempFolder};
}

}  // namespace

std::string ConversionStatusText(const std::string& inputPath, const std::string& outputPath) {
  return "ファイル「" + ShownName(inputPath) + "」→「" + ShownName(outputPath) + "」変換中です。";
}

std::string BackupNameOf(const std::string& outputName) {
  const size_t dot = outputName.rfind('.');
  const std::string stem = dot == std::string::npos ? outputName : outputName.substr(0, dot);
  const DrawingFormat* format = FormatForName(outputName);
  return stem + (format == &JwsFormat() ? ".JSB" : ".BAK");
}

std::filesystem::path BackupPathOf(const std::filesystem::path& outputPath) {
  return outputPath.parent_path() / PathFromUtf8(BackupNameOf(Utf8FromPath(outputPath.filename())));
}

namespace {

// Why the earlier output at `target` could not be kept as its backup (or why it may
// not be moved at all), or "" when it may. Checked before anything is moved.
std::string WhyNotKeep(const OutputTarget& target, const std::string& backup) {
  const Folder& folder = *target.Where;
  if (backup.size() > folder.NameLimit())
    return "its backup name " + ShownPath(folder.PathOf(backup)) + " would be " + std::to_string(backup.size()) +
           " bytes long, more than the " + std::to_string(folder.NameLimit()) + " its folder takes";
  if (!target.Session) return {};
  std::string why = target.Session->WhyNotReplace(folder, target.Name);
  if (why.empty()) why = target.Session->WhyNotReplace(folder, backup);
  return why;
}

// A failure known before the output is written: a name its folder cannot hold, or an
// earlier output there that could not be kept.
std::optional<ConvertResult> RefusedBeforeWriting(const OutputTarget& target) {
  ConvertResult r;
  const size_t limit = target.Where->NameLimit();
  if (target.Name.size() > limit) {
    r.Outcome = ConvertOutcome::SaveFailed;
    r.Reason = "the output name is " + std::to_string(target.Name.size()) + " bytes long, more than the " +
               std::to_string(limit) + " its folder takes";
    return r;
  }
  if (!target.Where->IdentityOf(target.Name)) return std::nullopt;
  const std::string why = WhyNotKeep(target, BackupNameOf(target.Name));
  if (why.empty()) return std::nullopt;
  r.Outcome = ConvertOutcome::BackupFailed;
  r.Reason = "the existing output cannot be kept: " + why + "; nothing was written";
  return r;
}

}  // namespace

PreparedConversion PrepareConversion(ShellState& state, const DrawingFormat& format, const std::string& inputPath,
                                     const std::string& outputPath, ConvertMode mode, const ConvertHooks& hooks,
                                     std::optional<std::span<const uint8_t>> inputBytes) {
  const std::filesystem::path out = PathFromUtf8(outputPath);
  std::string openProblem;
  OutputTarget target{Folder::Open(FolderOf(out), &openProblem), Utf8FromPath(out.filename()), nullptr};
  if (openProblem.starts_with("cannot be opened: ")) openProblem.erase(0, 18);
  if (target.Where || mode == ConvertMode::DryRun)
    return PrepareConversion(state, format, inputPath, target, mode, hooks, inputBytes);
  // No folder to write into: the input still decides first, as in a full conversion.
  PreparedConversion p;
  p.OutputPath = outputPath;
  LoadResult loaded = format.Handler->Load(RequestFor(state, inputPath, inputBytes));
  p.Result.Outcome = loaded.Ok() ? ConvertOutcome::SaveFailed : ConvertOutcome::LoadFailed;
  p.Result.Reason = loaded.Ok() ? "the output cannot create a file in " + ShownPath(out.parent_path()) + ": " + openProblem
                                : loaded.Failure.Reason;
  if (loaded.Ok()) p.Result.Changes = loaded.Drawing->ApplyRule(state.Options);
  return p;
}

PreparedConversion PrepareConversion(ShellState& state, const DrawingFormat& format, const std::string& inputPath,
                                     const OutputTarget& target, ConvertMode mode, const ConvertHooks& hooks,
                                     std::optional<std::span<const uint8_t>> inputBytes) {
  const FormatHandler& handler = *format.Handler;
  if (mode == ConvertMode::Write && !target.Where) {
    PreparedConversion p;
    p.OutputPath = target.Name;
    p.Result.Outcome = ConvertOutcome::SaveFailed;
    p.Result.Reason = "the output has no folder to be written into";
    return p;
  }
  if (mode == ConvertMode::Write) {
    if (std::optional<ConvertResult> refused = RefusedBeforeWriting(target)) {
      PreparedConversion p;
      p.OutputPath = Utf8FromPath(target.Where->PathOf(target.Name));
      p.Result = std::move(*refused);
      return p;
    }
  }
  // Nothing asks to see the whole document: it is converted a piece at a time.
  const LoadRequest request = RequestFor(state, inputPath, inputBytes);
  if (handler.Streams() && mode == ConvertMode::Write && !hooks.Verify && !hooks.Observer)
    return StreamConversion(state, handler, request, target, hooks);
  PreparedConversion p;
  p.OutputPath = target.Where ? Utf8FromPath(target.Where->PathOf(target.Name)) : target.Name;
  p.Target = target;
  ConvertResult& r = p.Result;
  LoadResult loaded = handler.Load(request);
  if (!loaded.Ok()) {
    r.Outcome = ConvertOutcome::LoadFailed;
    r.Reason = loaded.Failure.Reason;
    return p;
  }
  LoadedDrawing& drawing = *loaded.Drawing;
  const int32_t version = drawing.Version();
  if (hooks.Observer) hooks.Observer->BeforeRule(drawing.View());
  r.Changes = drawing.ApplyRule(state.Options);
  if (hooks.Observer) hooks.Observer->AfterRule(drawing.View());
  if (mode == ConvertMode::DryRun) {
    r.Outcome = ConvertOutcome::Checked;
    return p;
  }
  bool written = false;
  {
    // Takes the finished temporary from the writer, which would otherwise remove it.
    FinishedTemporaries finished(hooks.DeferFlush);
    ByteSink out;
    // Only the hooks open the temporary by its path.
    const bool named = hooks.Verify || hooks.Observer;
    if (out.CreateFile(target.Where, target.Name, named ? TemporaryKind::Hidden : TemporaryKind::Unnamed))
      drawing.Encode(out, version);
    written = TakeFinishedOutput(out, finished, p);
  }
  if (written) {
    if (hooks.Observer) hooks.Observer->AfterSave(p.Output.Path());
    const std::string problem = hooks.Verify ? CheckWrittenOutput(drawing, p.Output.Path(), version) : "";
    if (!problem.empty()) {
      p.Output.Discard();
      r.Outcome = ConvertOutcome::VerifyFailed;
      r.Reason = problem + "; it was removed and did not replace anything";
    } else {
      r.Outcome = ConvertOutcome::Converted;
    }
  }
  return p;
}

ConversionInput ReadConversionInput(const std::string& inputPath, std::string_view fileName) {
  ConversionInput in;
  const DrawingFormat* format = fileName.empty() ? nullptr : FormatForName(fileName);
  if (!format || !format->Converted()) return in;
  in.Format = format;
  bool probed = false, matches = false;
  in.Bytes = ReadWholeFileIf(
      PathFromUtf8(inputPath),
      [&](std::span<const uint8_t> head) {
        probed = true;
        return matches = format->Handler->StartsWithSignature(head);
      },
      nullptr, &in.Why, kLoadFromBytesUpTo, &in.HeadOnly);
  in.Verdict = !probed ? InputVerdict::Unopened : !matches ? InputVerdict::NotThisFormat : InputVerdict::Readable;
  return in;
}

PreparedConversion PrepareReadInput(ShellState& state, const ConversionInput& input, const std::string& inputPath,
                                    const std::string& outputPath, const OutputTarget& target, ConvertMode mode,
                                    const ConvertHooks& hooks, const std::function<void(const std::string&)>& status,
                                    const std::string& refusal) {
  if (status) status(ConversionStatusText(inputPath, outputPath));
  PreparedConversion p;
  if (!input.Bytes) {  // the rest of the file could not be read
    p.Result.Outcome = ConvertOutcome::LoadFailed;
    p.Result.Reason = input.Why;
    return p;
  }
  if (!refusal.empty()) {
    p.Result.Outcome = ConvertOutcome::SaveFailed;
    p.Result.Reason = refusal;
    return p;
  }
  return PrepareConversion(state, *input.Format, inputPath, target, mode, hooks,
                           input.HeadOnly ? std::nullopt : std::optional(std::span<const uint8_t>(*input.Bytes)));
}

ConvertResult PublishConversion(PreparedConversion& p) {
  ConvertResult r = p.Result;
  if (!p.Output.Pending()) return r;
  SaveFolderSession* session = p.Target.Session;
  std::string why;
  // Most outputs are new: they take the free name in one step that fails, changing
  // nothing, should an earlier output be there after all.
  switch (p.Output.PublishWhereFree(&why)) {
    case PublishOutcome::Published:
      if (session) session->Made(p.Output.Identity());
      return r;
    case PublishOutcome::Failed:
      r.Outcome = ConvertOutcome::SaveFailed;
      r.Reason = "the output " + why;
      return r;
    case PublishOutcome::Occupied: break;
  }
  const Folder& folder = *p.Target.Where;
  const std::string backup = BackupNameOf(p.Target.Name);
  // An output that cannot be kept as the backup is never replaced: it would be lost.
  const std::string refused = WhyNotKeep(p.Target, backup);
  std::optional<FileIdentity> kept;
  if (!refused.empty()) {
    r.Reason = "the existing output cannot be kept: " + refused;
  } else if (KeepExistingAs(folder, p.Target.Name, backup, &why, &kept) == KeepOutcome::Failed) {
    r.Reason = "the existing output could not be renamed to " + ShownPath(folder.PathOf(backup)) + ": " + why;
  }
  if (!r.Reason.empty()) {
    p.Output.Discard();
    r.Outcome = ConvertOutcome::BackupFailed;
    return r;
  }
  if (session) session->Made(kept);
  if (!p.Output.Publish(&why)) {
    r.Outcome = ConvertOutcome::SaveFailed;
    r.Reason = "the output " + why;
    return r;
  }
  if (session) session->Made(p.Output.Identity());
  return r;
}

}  // namespace plm
