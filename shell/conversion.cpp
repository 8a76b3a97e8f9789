#include "shell/conversion.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <span>
#include <vector>

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

// The file's bytes, or nothing when it cannot be read in full.
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return bytes;
}

// Why the output on disk is not the drawing that was written, or "" when it is: its
// bytes must be those the writer makes of the document in memory (with every
// normalisation of writing applied), and they must load in full.
template <class Encode, class Load>
std::string CheckWrittenOutput(const std::filesystem::path& output, Encode&& encode, Load&& load) {
  ByteSink expected;  // memory mode
  encode(expected);
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
  if (!load(std::span<const uint8_t>(*actual), failure)) return "the output read back does not load: " + failure.Reason;
  return {};
}

// Removes a bad output and moves back the earlier output this conversion moved to its
// backup; says what became of both.
std::string UndoOutput(const std::filesystem::path& output, bool backupMade) {
  std::error_code ec;
  std::filesystem::remove(output, ec);
  if (IsExistingFile(output)) return "; the output could not be removed: " + ec.message();
  std::string what = "; the output was removed";
  if (backupMade) {
    const std::filesystem::path backup = BackupPathOf(output);
    if (std::rename(backup.c_str(), output.c_str()) == 0)
      what += " and the earlier output restored from " + backup.string();
    else
      what += "; the earlier output stays at " + backup.string() + " (" + ErrnoText(errno) + ")";
  }
  return what;
}

// Backup (when writing), rule, save and verification: the steps between a successful
// load and the release, shared by both formats.
template <class Doc, class Apply, class Save, class Encode, class Load>
ConvertResult BackupApplySave(const Doc& doc, const std::string& outputPath, ConvertMode mode,
                              const ConvertHooks& hooks, Apply&& apply, Save&& save, Encode&& encode,
                              Load&& load) {
  ConvertResult r;
  bool backupMade = false;
  if (mode == ConvertMode::Write) {
    std::string why;
    backupMade = IsExistingFile(outputPath);
    // An output that cannot be moved aside is never replaced: it would be lost
    // without a backup.
    if (!BackupExistingOutput(outputPath, &why)) {
      r.Outcome = ConvertOutcome::BackupFailed;
      r.Reason = why;
      return r;
    }
  }
  if (hooks.Observer) hooks.Observer->BeforeRule(doc);
  const SpacingChanges changes = apply();
  if (hooks.Observer) hooks.Observer->AfterRule(doc);
  if (mode == ConvertMode::DryRun) {
    r.Outcome = ConvertOutcome::Checked;
  } else {
    std::string why;
    const bool saved = save(why);
    r = SaveOutcome(saved, why);
    if (saved && hooks.Observer) hooks.Observer->AfterSave(outputPath);
    if (saved && hooks.Verify) {
      const std::string problem = CheckWrittenOutput(outputPath, encode, load);
      if (!problem.empty()) {
        r.Outcome = ConvertOutcome::VerifyFailed;
        r.Reason = problem + UndoOutput(outputPath, backupMade);
      }
    }
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
                             ConvertMode mode, const ConvertHooks& hooks) {
  SetStatus(state, ConversionStatusText(inputPath, outputPath));
  ConvertResult r;
  ReadFailure failure;
  if (LoadJwwFile(state.Jww, state.Images, inputPath, &failure)) {
    const int32_t version = state.Jww.Header.Version;
    r = BackupApplySave(
        state.Jww, outputPath, mode, hooks, [&] { return ApplyJwwSpacingRule(state.Jww, state.Options); },
        [&](std::string& why) { return SaveJwwFile(state.Jww, state.Images, outputPath, version, &why); },
        // Runs while the extracted images are still there, as the save did.
        [&](ByteSink& sink) {
          WriteJwwHeader(sink, state.Jww, version);
          WriteJwwBody(sink, state.Jww, state.Images, version);
        },
        [&](std::span<const uint8_t> bytes, ReadFailure& why) {
          // Bound images of the read-back drawing go to a folder of their own (removed
          // with it), so the extracted images of the conversion stay as they are.
          std::optional<ScopedTempFolder> folder;
          TempImages images;
          if (version >= kVerImages) {
            folder.emplace("plmconv-verify-");
            if (!folder->Ok()) {
              why.Reason = "no temporary folder for its bound images";
              return false;
            }
            images.TempFolder = folder->Path();
          }
          auto copy = std::make_unique<JwwDocument>();
          const bool ok = LoadJwwBytes(*copy, images, bytes, &why);
          ClearJwwData(*copy);
          return ok;
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
                             ConvertMode mode, const ConvertHooks& hooks) {
  SetStatus(state, ConversionStatusText(inputPath, outputPath));
  ConvertResult r;
  ReadFailure failure;
  if (LoadJwsFile(state.Jws, inputPath, &failure)) {
    const int32_t version = state.Jws.Version;
    r = BackupApplySave(
        state.Jws, outputPath, mode, hooks, [&] { return ApplyJwsSpacingRule(state.Jws, state.Options); },
        [&](std::string& why) { return SaveJwsFile(state.Jws, outputPath, version, &why); },
        [&](ByteSink& sink) { WriteJwsFile(sink, state.Jws, version); },
        [&](std::span<const uint8_t> bytes, ReadFailure& why) {
          auto copy = std::make_unique<JwsDocument>();
          const bool ok = LoadJwsBytes(*copy, bytes, &why);
          ClearJwsData(*copy);
          return ok;
        });
  } else {
    r.Outcome = ConvertOutcome::LoadFailed;
    r.Reason = failure.Reason;
  }
  ClearJwsData(state.Jws);
  return r;
}

}  // namespace plm
