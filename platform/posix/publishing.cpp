#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files.h"
#include "platform/linux/linux_calls.h"
#include "platform/fsutil.h"
#include "platform/posix/descriptors.h"
#include "platform/hidden_names.h"

namespace plm {

void RemoveStaleTemporaries(const Folder& folder) {
  std::vector<std::string> stale;
  ForEachFolderEntry(folder.Path(), [&](const FolderEntry& e) {
    if (!e.IsFolder && IsTemporaryName(e.Name)) stale.push_back(e.Name);
    return true;
  });
  for (const std::string& name : stale) ::unlinkat(Fd(folder), name.c_str(), 0);
}

std::optional<FileIdentity> FinishedTemporary::Identity() const {
  if (!published_ || !folder_) return std::nullopt;
  struct stat st {};
  if (unnamed_.Valid() && ::fstat(Fd(unnamed_), &st) == 0)
    return NativeHandleAccess::Identity(st.st_dev, st.st_ino);
  return folder_->IdentityOf(target_);
}

PublishOutcome FinishedTemporary::PublishWhereFree(std::string* why) {
  if (!Pending()) {
    Say(why, "cannot be renamed: the file is not finished");
    return PublishOutcome::Failed;
  }
  const int dir = Fd(*folder_);
  const bool unnamed = unnamed_.Valid();
  const int done = unnamed ? LinkUnnamed(Fd(unnamed_), dir, target_)
                           : RenameWhereFree(dir, hidden_.c_str(), target_.c_str());
  if (done == 0) {
    published_ = true;
    hidden_.clear();
    return PublishOutcome::Published;
  }
  const int err = errno;
  // A file system without the no-replace rename leaves the choice to Publish.
  if (err == EEXIST || (!unnamed && (err == EINVAL || err == ENOSYS || err == EOPNOTSUPP)))
    return PublishOutcome::Occupied;
  Say(why, "cannot be renamed to " + Target().string() + ": " + ErrnoText(err));
  Discard();
  return PublishOutcome::Failed;
}

bool FinishedTemporary::Publish(std::string* why) {
  if (!Pending()) {
    Say(why, "cannot be renamed: the file is not finished");
    return false;
  }
  const int dir = Fd(*folder_);
  if (unnamed_.Valid()) {
    // An unnamed file first takes a hidden name beside the target, which is then
    // renamed over it in one step (a free name is taken by PublishWhereFree).
    std::string hidden;
    int linked = -1;
    for (int attempt = 0; attempt < 100 && linked != 0; ++attempt) {
      hidden = NewHiddenName();
      linked = LinkUnnamed(Fd(unnamed_), dir, hidden);
      if (linked != 0 && errno != EEXIST) break;
    }
    if (linked != 0) {
      Say(why, "cannot be renamed to " + Target().string() + ": " + ErrnoText(errno));
      Discard();
      return false;
    }
    hidden_ = hidden;  // removed again by Discard should the rename fail
  }
  if (::renameat(dir, hidden_.c_str(), dir, target_.c_str()) != 0) {
    Say(why, "cannot be renamed to " + Target().string() + ": " + ErrnoText(errno));
    Discard();
    return false;
  }
  hidden_.clear();
  published_ = true;
  return true;
}

void FinishedTemporary::Discard() {
  if (!published_ && !hidden_.empty() && folder_) ::unlinkat(Fd(*folder_), hidden_.c_str(), 0);
  if (unnamed_.Valid()) CloseUnnamed(Fd(unnamed_));
  unnamed_ = {};
  hidden_.clear();
  published_ = false;
}

}  // namespace plm
