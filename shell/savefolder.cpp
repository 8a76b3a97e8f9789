#include "shell/savefolder.h"

#include "platform/files.h"

namespace plm {

SaveFolderSession::Opened SaveFolderSession::Open(const std::filesystem::path& saveFolder,
                                                   const SaveFolderWait& wait, std::string* why) {
  root_ = Folder::Open(saveFolder, why);
  if (!root_) return Opened::Failed;
  switch (lock_.Take(*root_, wait.KeepWaiting, wait.OnBusy)) {
    case LockOutcome::Locked: locked_ = true; break;
    case LockOutcome::Busy: root_.reset(); return Opened::Busy;
    // A file system without such locks (some network folders): the run goes on
    // unlocked, and leaves alone temporaries it cannot tell from a live run's.
    case LockOutcome::Unsupported:
    case LockOutcome::Failed: locked_ = false; break;
  }
  return Opened::Ready;
}

std::shared_ptr<Folder> SaveFolderSession::OutputFolder(std::span<const std::string> below, std::string* why) {
  std::string key;
  for (const std::string& name : below) key += (key.empty() ? "" : "/") + name;
  std::lock_guard lock(m_);
  if (!root_) {
    if (why) *why = "the save folder is not open";
    return nullptr;
  }
  const auto known = open_.find(key);
  if (known != open_.end())
    if (std::shared_ptr<Folder> folder = known->second.lock()) return folder;
  std::shared_ptr<Folder> folder = root_;
  for (const std::string& name : below) {
    std::string error;
    std::shared_ptr<Folder> sub = folder->Sub(name, true, &error);
    if (!sub) {
      if (why) {
        // A save folder removed during the run (a network folder that dropped) is
        // never made again; the message says which it was.
        if (plm::IdentityOf(root_->Path()) != std::optional(root_->Identity()))
          *why = "the save folder " + ShownPath(root_->Path()) + " no longer exists";
        else
          *why = "the output folder " + ShownPath(folder->PathOf(name)) + " " + error;
      }
      return nullptr;
    }
    folder = std::move(sub);
  }
  if (locked_ && swept_.insert(key).second) RemoveStaleTemporaries(*folder);
  open_[key] = folder;
  return folder;
}

std::string SaveFolderSession::WhyNotReplace(const Folder& folder, const std::string& name) const {
  const std::optional<FileIdentity> there = folder.IdentityOf(name);
  if (!there) return {};
  if (inputs_.count(*there) != 0)
    return ShownPath(folder.PathOf(name)) + " is a file this run converts, which is never replaced";
  if (made_.count(*there) != 0)
    return ShownPath(folder.PathOf(name)) + " was written by this run for another file, which it never replaces";
  return {};
}

}  // namespace plm
