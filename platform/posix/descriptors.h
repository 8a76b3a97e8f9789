#pragma once
// For the POSIX implementation only: the descriptors behind the platform layer's
// handles, and the helpers its files share.
#include <filesystem>
#include <string>
#include <sys/types.h>

#include "platform/folders.h"
#include "platform/native_handle.h"

namespace plm {

struct NativeHandleAccess {
  static int Fd(const NativeHandle& handle) { return handle.Valid() ? static_cast<int>(handle.value_) : -1; }
  static NativeHandle Of(int fd) {
    NativeHandle handle;
    if (fd >= 0) handle.value_ = fd;
    return handle;
  }
  static const NativeHandle& Of(const Folder& folder) { return folder.handle_; }
  static FileIdentity Identity(dev_t volume, ino_t index) {
    FileIdentity id;
    id.volume_ = static_cast<uint64_t>(volume);
    id.index_ = static_cast<uint64_t>(index);
    return id;
  }
  static VolumeIdentity Volume(dev_t volume) {
    VolumeIdentity v;
    v.volume_ = static_cast<uint64_t>(volume);
    return v;
  }
  static VolumeIdentity VolumeOf(const FileIdentity& id) {
    VolumeIdentity v;
    v.volume_ = id.volume_;
    return v;
  }
};

// The descriptor a handle holds, -1 when none.
inline int Fd(const NativeHandle& handle) { return NativeHandleAccess::Fd(handle); }
// A handle holding `fd` (none when it is negative).
inline NativeHandle HandleOf(int fd) { return NativeHandleAccess::Of(fd); }
// The descriptor an open Folder holds.
inline int Fd(const Folder& folder) { return Fd(NativeHandleAccess::Of(folder)); }

// Sets `*why` when it is given.
void Say(std::string* why, std::string text);
// Writes all of `n` bytes, through interruptions; false with "cannot be written: ..."
// in `why` on an error.
bool WriteAll(int fd, const void* data, size_t n, std::string* why);

// A new file under an unused hidden name in `folder`: the open descriptor, or -1
// (errno set).
int CreateHiddenIn(const Folder& folder, unsigned mode, std::string& hidden);

// A new unnamed temporary in `folder`, or -1 where the system or the folder has none
// or the share of descriptors unnamed temporaries may hold is spent.
int CreateUnnamedIn(const Folder& folder, unsigned mode);
// Closes an unnamed temporary and returns its share.
void CloseUnnamed(int fd);

}  // namespace plm
