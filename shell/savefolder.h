#pragma once
// One run's hold on its save folder, shared by the window's batch and plmconv: the
// folder is opened once and locked for as long as the run writes there, every output
// folder below it is reached by handle without following a link, and nothing the run
// must not replace (one of its inputs, or what it made itself) is replaced.
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <span>
#include <unordered_set>
#include <string>

#include "platform/folders.h"

namespace plm {

// How a run waits for another run that writes into the same save folder.
struct SaveFolderWait {
  // Once, when the folder is found busy.
  std::function<void()> OnBusy;
  // Asked before each wait; empty or false: give up at once.
  std::function<bool()> KeepWaiting;
};

class SaveFolderSession {
 public:
  enum class Opened { Ready, Busy, Failed };

  // Opens and locks the save folder, waiting as `wait` says, then sweeps what runs
  // that were killed left there. Failed (with `why`) when it is no folder.
  Opened Open(const std::filesystem::path& saveFolder, const SaveFolderWait& wait, std::string* why = nullptr);
  const std::shared_ptr<Folder>& Root() const { return root_; }

  // The output folder at the names `below` the save folder (none: the save folder
  // itself), made when missing, never through a link, and swept once of stale
  // temporaries. Null, with `why`, when it cannot be had. Safe on any thread.
  std::shared_ptr<Folder> OutputFolder(std::span<const std::string> below, std::string* why = nullptr);

  // Files the run reads: never replaced by an output or a backup.
  void AddInput(const FileIdentity& input) { inputs_.insert(input); }
  // A file the run made (an output or a backup): not replaced again by the same run.
  void Made(const std::optional<FileIdentity>& file) {
    if (file) made_.insert(*file);
  }
  // "" when the run may move `name` in `folder` aside (to its backup, or replace an
  // older backup there); otherwise why not.
  std::string WhyNotReplace(const Folder& folder, const std::string& name) const;

 private:
  std::shared_ptr<Folder> root_;
  FolderLock lock_;
  bool locked_ = false;
  std::mutex m_;
  std::map<std::string, std::weak_ptr<Folder>> open_;  // below, joined with '/'
  std::set<std::string> swept_;
  std::unordered_set<FileIdentity> inputs_, made_;
};

}  // namespace plm
