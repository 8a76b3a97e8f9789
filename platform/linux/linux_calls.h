#pragma once
// For the POSIX implementation only: the calls only Linux has, each answering as the
// kernel does where it or the file system lacks them, so callers fall back the same
// way either way.
#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

namespace plm {

// A new unnamed regular file in the open folder `dirFd` (O_TMPFILE), opened for
// reading and writing; -1 with errno where there is none.
int OpenUnnamedIn(int dirFd, unsigned mode);
// Whether an unnamed file can be given a name at all here: by its descriptor, or
// through /proc, which needs no privilege.
bool CanNameUnnamed();
// Gives the unnamed file open as `fd` the name `name` in the folder `dirFd`; -1
// with EEXIST when the name is taken.
int LinkUnnamed(int fd, int dirFd, const std::string& name);

// Renames `from` to `to` in the folder `dirFd` only when `to` is free: -1 with EEXIST
// when it is taken, with EINVAL, ENOSYS or EOPNOTSUPP where the file system cannot
// tell.
int RenameWhereFree(int dirFd, const char* from, const char* to);

// Starts writing back `length` bytes of `fd` from `offset`, without waiting.
void StartWriteback(int fd, uint64_t offset, uint64_t length);

// Copies up to `n` bytes from `src` to `dst` at their positions inside the kernel:
// the bytes copied, 0 at the end, -1 with errno (EXDEV, EINVAL, ENOSYS or
// EOPNOTSUPP where it cannot copy between these files).
ssize_t CopyRange(int src, int dst, size_t n);

// Flushes everything written to the file system of `fd` (syncfs); 0 or -1 with errno.
int SyncVolumeOf(int fd);

}  // namespace plm
