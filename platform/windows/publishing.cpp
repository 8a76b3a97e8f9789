#include "platform/files.h"
#include "platform/fsutil.h"
#include "platform/hidden_names.h"
#include "platform/paths.h"
#include "platform/windows/handles.h"

namespace plm {

void RemoveStaleTemporaries(const Folder& folder) {
  std::vector<std::string> stale;
  ForEachFolderEntry(folder.Path(), [&](const FolderEntry& e) {
    if (!e.IsFolder && IsTemporaryName(e.Name)) stale.push_back(e.Name);
    return true;
  });
  for (const std::string& name : stale) DeleteFileW(SystemPathIn(folder, name).c_str());
}

std::optional<FileIdentity> FinishedTemporary::Identity() const {
  if (!published_ || !folder_) return std::nullopt;
  return folder_->IdentityOf(target_);
}

namespace {

// Gives the open temporary `file` the name `target` in `folder`: its delete mark
// and hidden attribute go, and it is renamed by its handle, retried while another
// program briefly holds the target (an antivirus scan, the CAD program). On failure
// the file is hidden and marked for deletion again, as it was, and false comes back
// with the last error set.
bool Rename(HANDLE file, const Folder& folder, const std::string& target, bool replace) {
  const DWORD attributes = AttributesOfHandle(file);
  if (attributes == INVALID_FILE_ATTRIBUTES || !MarkForDeletion(file, false)) return false;
  DWORD error = ERROR_SUCCESS;
  if (!SetAttributesOfHandle(file, attributes & ~DWORD{FILE_ATTRIBUTE_HIDDEN})) {
    error = GetLastError();
  } else if (RetryWhileHeld([&] { return RenameOpenFile(file, folder, target, replace); }, replace)) {
    return true;
  } else {
    error = GetLastError();
  }
  SetAttributesOfHandle(file, attributes);
  MarkForDeletion(file, true);
  SetLastError(error);
  return false;
}

// The reason a rename onto `target` failed with `error`: replacing a name fails
// with access denied both when the file there is read-only and when another program
// holds it open, so which of the two it was is told.
std::string RenameFailure(const Folder& folder, const std::string& target, DWORD error) {
  std::string text = SystemErrorText(error);
  if (error == ERROR_ACCESS_DENIED) {
    const DWORD there = GetFileAttributesW(SystemPathIn(folder, target).c_str());
    if (there != INVALID_FILE_ATTRIBUTES && (there & FILE_ATTRIBUTE_DIRECTORY)) {
      text = "a folder has that name (" + text + ")";
    } else if (there != INVALID_FILE_ATTRIBUTES && (there & FILE_ATTRIBUTE_READONLY)) {
      text = "the file there is read-only (" + text + ")";
    } else if (there != INVALID_FILE_ATTRIBUTES) {
      text = std::string(kHeldByAnother) + " (" + text + ")";
    }
  }
  return "cannot be renamed to " + Utf8FromPath(folder.PathOf(target)) + ": " + text;
}

}  // namespace

PublishOutcome FinishedTemporary::PublishWhereFree(std::string* why) {
  if (!Pending() || !unnamed_.Valid()) {
    Say(why, "cannot be renamed: the file is not finished");
    return PublishOutcome::Failed;
  }
  if (Rename(Win(unnamed_), *folder_, target_, false)) {
    CloseNative(unnamed_);  // the published file is left to the user's programs
    published_ = true;
    hidden_.clear();
    return PublishOutcome::Published;
  }
  const DWORD error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return PublishOutcome::Occupied;
  Say(why, RenameFailure(*folder_, target_, error));
  Discard();
  return PublishOutcome::Failed;
}

bool FinishedTemporary::Publish(std::string* why) {
  if (!Pending() || !unnamed_.Valid()) {
    Say(why, "cannot be renamed: the file is not finished");
    return false;
  }
  if (!Rename(Win(unnamed_), *folder_, target_, true)) {
    Say(why, RenameFailure(*folder_, target_, GetLastError()));
    Discard();
    return false;
  }
  CloseNative(unnamed_);
  hidden_.clear();
  published_ = true;
  return true;
}

void FinishedTemporary::Discard() {
  if (!published_ && unnamed_.Valid()) {
    // Marked again in case a failed publish could not restore the mark; when even
    // that fails, the name is removed once the handle is closed.
    const bool marked = MarkForDeletion(Win(unnamed_), true);
    CloseNative(unnamed_);
    if (!marked && !hidden_.empty() && folder_) DeleteFileW(SystemPathIn(*folder_, hidden_).c_str());
  } else if (!published_ && !hidden_.empty() && folder_) {
    DeleteFileW(SystemPathIn(*folder_, hidden_).c_str());
  }
  CloseNative(unnamed_);
  hidden_.clear();
  published_ = false;
}

}  // namespace plm
