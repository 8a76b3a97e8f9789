#pragma once
// Folders opened once and then used by handle, identities of files and folders, and
// the advisory locks that keep two runs out of one save folder.
#include <atomic>
#include <compare>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/native_handle.h"
#include "platform/paths.h"

namespace plm {

// Which file or folder a name stands for, however it is spelled: two names with the
// same identity are the same file (links, "..", letter case on a file system that
// ignores it). An opaque value, only compared for equality and hashed.
class FileIdentity {
 public:
  FileIdentity() = default;
  bool operator==(const FileIdentity&) const = default;
  size_t Hash() const { return static_cast<size_t>(index_ * 0x9E3779B97F4A7C15ull ^ volume_); }

 private:
  friend struct NativeHandleAccess;
  uint64_t volume_ = 0, index_ = 0;
};

// Which volume (file system) a file or folder is on; only compared.
class VolumeIdentity {
 public:
  VolumeIdentity() = default;
  bool operator==(const VolumeIdentity&) const = default;

 private:
  friend struct NativeHandleAccess;
  uint64_t volume_ = 0;
};

// What the file system of a folder allows, as the implementation answers it.
struct FolderCapabilities {
  bool Links = false;               // a file here can be given a second name (a hard link)
  bool UnnamedTemporaries = false;  // a file can be made here with no name until it is published
  bool WholeVolumeFlush = false;    // one flush can make everything written to the volume durable
};

// The identity of what `path` names, following links; nothing when it is not there.
std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path);

// A folder opened once: every name below it is taken relative to it, and no link on
// the way is followed, so nothing made through it can land outside it, whatever is
// renamed or linked meanwhile. Shared by everything that writes there.
class Folder {
 public:
  ~Folder();
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;

  // Opens the folder `path` names; links in `path` itself are followed (whoever
  // named it chose them). Null, with `why`, when it is not a folder or cannot be
  // opened.
  static std::shared_ptr<Folder> Open(const std::filesystem::path& path, std::string* why = nullptr);
  // The sub-folder `name` (one name, no separator), made when missing if `create`.
  // A link, or anything but a folder, under that name is refused.
  std::shared_ptr<Folder> Sub(const std::string& name, bool create, std::string* why = nullptr) const;

  // The path it was opened by, for messages and for the few calls that need a path.
  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path PathOf(std::string_view name) const { return path_ / PathFromUtf8(name); }
  FileIdentity Identity() const { return id_; }
  // The longest name, in bytes, the folder's file system takes.
  size_t NameLimit() const { return nameLimit_; }
  // The identity of the file (not followed when it is a link) named `name` here.
  std::optional<FileIdentity> IdentityOf(std::string_view name) const;
  bool HoldsFolder(std::string_view name) const;
  // Makes the folder's entries (names made, renamed or removed) durable.
  bool Flush(std::string* why = nullptr) const;

  // Whether a file here can be given a second name (a hard link). Asked of the file
  // system once, by trying it on a temporary of its own.
  bool AllowsLinks() const;
  FolderCapabilities Capabilities() const;

 private:
  Folder(NativeHandle handle, std::filesystem::path path);
  void ProbeLinks() const;
  friend struct NativeHandleAccess;

  NativeHandle handle_;
  std::filesystem::path path_;
  FileIdentity id_;
  size_t nameLimit_ = 255;
  mutable std::atomic<int> links_{-1};  // -1 not yet asked, 0 no, 1 yes
};

// What taking a lock came to.
enum class LockOutcome {
  Locked,       // held until the lock is dropped
  Busy,         // another holder has it (only when not waiting)
  Unsupported,  // the file system keeps no such locks; nothing is held
  Failed,       // it could not be asked (`why` says why)
};

// An advisory lock on a folder, held by this object until it is dropped or the
// process ends (then the system drops it): a run writing into a save folder holds
// it exclusively, and every folder above it on the same volume shared, so a run into
// a folder and a run into one of its sub-folders never write at once. Locks are
// taken from the top down and only ever all together, so two runs cannot wait for
// each other.
class FolderLock {
 public:
  FolderLock() = default;
  ~FolderLock() { Release(); }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  // Tries once; with `keepWaiting` set, tries again every tenth of a second while it
  // answers true (it is asked before each wait, `onBusy` once at the first).
  LockOutcome Take(const Folder& folder, const std::function<bool()>& keepWaiting = {},
                   const std::function<void()>& onBusy = {}, std::string* why = nullptr);
  bool Held() const { return !held_.empty(); }
  void Release();

 private:
  std::vector<NativeHandle> held_;
};

// A private folder for one run's temporary files (the bound images of drawings being
// converted), under `base` (the system's temporary folder when empty) and named
// `prefix` + six characters. It is locked for as long as the run lives, so a later
// run can tell a dead run's folder from a live one's: Sweep removes the folders of
// that prefix whose run has ended (a killed one's, say), never a live run's. It is
// removed with its contents when the object goes away.
class RunFolder {
 public:
  explicit RunFolder(const std::string& prefix, const std::filesystem::path& base = {});
  ~RunFolder();
  RunFolder(const RunFolder&) = delete;
  RunFolder& operator=(const RunFolder&) = delete;
  bool Ok() const { return !path_.empty(); }
  const std::filesystem::path& Path() const { return path_; }

  // Removes every folder `prefix` + six characters in `base` that this user owns and
  // no live run holds; links and other files are left alone.
  static void Sweep(const std::string& prefix, const std::filesystem::path& base = {});

 private:
  NativeHandle handle_;
  std::filesystem::path path_;
};

// The system's temporary folder.
std::filesystem::path TemporaryBase();

}  // namespace plm

template <>
struct std::hash<plm::FileIdentity> {
  size_t operator()(const plm::FileIdentity& id) const noexcept { return id.Hash(); }
};
