#include "platform/files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace plm {
namespace {

void Say(std::string* why, std::string text) {
  if (why) *why = std::move(text);
}

std::string ErrText(int err) { return std::strerror(err); }

// A hidden, unused name beside `target`, so a rename into place stays on one file
// system. Returns the open descriptor, or -1.
int CreateTemporaryBeside(const std::filesystem::path& target, unsigned mode, std::filesystem::path& temp) {
  static std::mt19937_64 rng{std::random_device{}()};
  const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[17];
    std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(rng()));
    temp = folder / ("." + target.filename().string() + ".plm-" + suffix + ".tmp");
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

bool WriteAll(int fd, const void* data, size_t n, std::string* why) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (n > 0) {
    const ssize_t got = ::write(fd, p, n);
    if (got < 0) {
      if (errno == EINTR) continue;
      Say(why, "cannot be written: " + ErrText(errno));
      return false;
    }
    p += got;
    n -= static_cast<size_t>(got);
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------

bool InputFile::Open(const std::filesystem::path& path, std::string* why) {
  Close();
  // Non-blocking, so a FIFO or device named as a file cannot stall the open;
  // anything but a regular file is refused right after.
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd_ < 0) {
    Say(why, "cannot be opened: " + ErrText(errno));
    return false;
  }
  struct stat st {};
  if (::fstat(fd_, &st) != 0) {
    Say(why, "cannot be examined: " + ErrText(errno));
    Close();
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    Say(why, S_ISDIR(st.st_mode) ? "is a folder, not a file" : "is not a regular file");
    Close();
    return false;
  }
  ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
  size_ = static_cast<uint64_t>(st.st_size);
  return true;
}

int64_t InputFile::Read(void* dst, size_t n, std::string* why) {
  for (;;) {
    const ssize_t got = ::read(fd_, dst, n);
    if (got >= 0) return got;
    if (errno == EINTR) continue;
    Say(why, ErrText(errno));
    return -1;
  }
}

void InputFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  size_ = 0;
}

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::filesystem::path& path, std::string* why,
                                                  uint64_t limit) {
  InputFile in;
  if (!in.Open(path, why)) return std::nullopt;
  std::vector<uint8_t> bytes;
  bytes.reserve(static_cast<size_t>(std::min(in.Size(), limit)));
  uint8_t piece[1 << 16];
  std::string error;
  for (;;) {  // to the real end: the file may have changed size since it was opened
    const int64_t got = in.Read(piece, sizeof piece, &error);
    if (got < 0) {
      Say(why, "cannot be read: " + error);
      return std::nullopt;
    }
    if (got == 0) break;
    if (static_cast<uint64_t>(got) > limit - bytes.size()) {
      Say(why, "is larger than " + std::to_string(limit) + " bytes");
      return std::nullopt;
    }
    bytes.insert(bytes.end(), piece, piece + got);
  }
  return bytes;
}

// ---------------------------------------------------------------------------

bool AtomicFileWriter::Create(const std::filesystem::path& target, std::string* why, unsigned mode,
                              bool keepTargetMode) {
  Abort();
  target_ = target;
  written_ = writebackStart_ = 0;
  struct stat st {};
  const bool exact = keepTargetMode;
  const unsigned want = exact && ::stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : mode;
  fd_ = CreateTemporaryBeside(target, exact ? 0600 : mode, temp_);
  if (fd_ < 0) {
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    Say(why, "cannot create a file in " + folder.string() + ": " + ErrText(errno));
    temp_.clear();
    return false;
  }
  if (exact && ::fchmod(fd_, want) != 0) {
    Say(why, "cannot take the permissions of " + target.string() + ": " + ErrText(errno));
    Abort();
    return false;
  }
  return true;
}

bool AtomicFileWriter::Write(const void* data, size_t n, std::string* why) {
  if (fd_ < 0) {
    Say(why, "cannot be written: no file is open");
    return false;
  }
  if (!WriteAll(fd_, data, n, why)) return false;
  written_ += n;
  // Start writing back what is complete so far, without waiting, so the flush
  // before the rename has little left to wait for.
  constexpr uint64_t kWritebackStep = uint64_t{8} << 20;
  if (written_ - writebackStart_ >= kWritebackStep) {
    ::sync_file_range(fd_, static_cast<off64_t>(writebackStart_), static_cast<off64_t>(written_ - writebackStart_),
                      SYNC_FILE_RANGE_WRITE);
    writebackStart_ = written_;
  }
  return true;
}

bool AtomicFileWriter::Finish(std::string* why) {
  if (fd_ < 0) {
    Say(why, "cannot be written: no file is open");
    Abort();
    return false;
  }
  bool ok = true;
  if (::fsync(fd_) != 0) {
    Say(why, "cannot be flushed to disk: " + ErrText(errno));
    ok = false;
  }
  if (::close(fd_) != 0 && ok) {
    Say(why, "cannot be closed: " + ErrText(errno));
    ok = false;
  }
  fd_ = -1;
  if (!ok) Abort();
  return ok;
}

bool AtomicFileWriter::Publish(std::string* why) {
  if (temp_.empty() || fd_ >= 0) {
    Say(why, "cannot be renamed: the file is not finished");
    Abort();
    return false;
  }
  if (::rename(temp_.c_str(), target_.c_str()) != 0) {
    Say(why, "cannot be renamed to " + target_.string() + ": " + ErrText(errno));
    Abort();
    return false;
  }
  temp_.clear();
  return true;
}

void AtomicFileWriter::Abort() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
}

namespace {

bool IsTemporaryName(std::string_view name) {
  constexpr std::string_view kMark = ".plm-", kEnd = ".tmp";
  constexpr size_t kHex = 16;
  if (name.size() < 1 + kMark.size() + kHex + kEnd.size() || name[0] != '.' || !name.ends_with(kEnd)) return false;
  const size_t hexAt = name.size() - kEnd.size() - kHex;
  if (name.substr(hexAt - kMark.size(), kMark.size()) != kMark) return false;
  for (char c : name.substr(hexAt, kHex))
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

}  // namespace

void RemoveStaleTemporaries(const std::filesystem::path& folder) {
  std::vector<std::string> stale;
  ForEachFolderEntry(folder, [&](const FolderEntry& e) {
    if (!e.IsFolder && IsTemporaryName(e.Name)) stale.push_back(e.Name);
    return true;
  });
  for (const std::string& name : stale) ::unlink((folder / name).c_str());
}

bool ReplaceFileContents(const std::filesystem::path& path, std::string_view bytes, std::string* why) {
  std::filesystem::path target = path;
  std::error_code ec;
  if (std::filesystem::is_symlink(path, ec)) {
    const std::filesystem::path resolved = std::filesystem::canonical(path, ec);
    if (!ec) target = resolved;
  }
  AtomicFileWriter w;
  return w.Create(target, why, 0644, true) && w.Write(bytes.data(), bytes.size(), why) && w.Commit(why);
}

bool PlainFileWriter::Create(const std::filesystem::path& path, std::string* why) {
  Close();
  failed_ = false;
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd_ < 0) {
    Say(why, ErrText(errno));
    return false;
  }
  return true;
}

bool PlainFileWriter::Write(const void* data, size_t n, std::string* why) {
  if (fd_ < 0 || failed_) return false;
  if (!WriteAll(fd_, data, n, why)) failed_ = true;
  return !failed_;
}

bool PlainFileWriter::Close(std::string* why) {
  if (fd_ < 0) return !failed_;
  if (::close(fd_) != 0 && !failed_) {
    Say(why, "cannot be closed: " + ErrText(errno));
    failed_ = true;
  }
  fd_ = -1;
  return !failed_;
}

bool WriteNewFile(const std::filesystem::path& path, std::span<const uint8_t> bytes, std::string* why) {
  PlainFileWriter w;
  return w.Create(path, why) && w.Write(bytes.data(), bytes.size(), why) && w.Close(why);
}

bool PreserveAs(const std::filesystem::path& file, const std::filesystem::path& keepAs, std::string* why) {
  std::filesystem::path link;
  const int fd = CreateTemporaryBeside(keepAs, 0600, link);
  if (fd >= 0) {
    ::close(fd);
    ::unlink(link.c_str());
    if (::link(file.c_str(), link.c_str()) == 0) {
      if (::rename(link.c_str(), keepAs.c_str()) == 0) {
        // When keepAs already is a name of the same file (a run killed right after
        // this step), rename succeeds without doing anything: the link name goes.
        ::unlink(link.c_str());
        return true;
      }
      const int err = errno;
      ::unlink(link.c_str());
      Say(why, ErrText(err));
      return false;
    }
  }
  if (::rename(file.c_str(), keepAs.c_str()) == 0) return true;
  Say(why, ErrText(errno));
  return false;
}

bool RenameFile(const std::filesystem::path& from, const std::filesystem::path& to, std::string* why) {
  if (::rename(from.c_str(), to.c_str()) == 0) return true;
  Say(why, ErrText(errno));
  return false;
}

bool RemoveFile(const std::filesystem::path& path, std::string* why) {
  if (::unlink(path.c_str()) == 0) return true;
  Say(why, ErrText(errno));
  return false;
}

bool CreateFolders(const std::filesystem::path& path, std::string* why) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return true;
  Say(why, ec ? ec.message() : std::string("not a folder"));
  return false;
}

void CreateFolderQuietly(const std::filesystem::path& path) { ::mkdir(path.c_str(), 0777); }

void RemoveEmptyFolderQuietly(const std::filesystem::path& path) { ::rmdir(path.c_str()); }

std::optional<uint64_t> FileSizeOf(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return static_cast<uint64_t>(st.st_size);
}

bool IsOwnedWritableFolder(const std::filesystem::path& path) {
  struct stat st {};
  return ::access(path.c_str(), W_OK | X_OK) == 0 && ::stat(path.c_str(), &st) == 0 && st.st_uid == ::geteuid();
}

bool ForEachFolderEntryImpl(const std::filesystem::path& folder, bool (*visit)(void*, const FolderEntry&),
                            void* context, std::string* why) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) {
    Say(why, ErrText(errno));
    return false;
  }
  bool ok = true;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (entry == nullptr) {
      if (errno != 0) {
        Say(why, ErrText(errno));
        ok = false;
      }
      break;
    }
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    FolderEntry e;
    e.Name = entry->d_name;
    if (entry->d_type == DT_DIR) {
      e.IsFolder = true;
    } else if (entry->d_type == DT_LNK) {
      e.IsLink = true;
    } else if (entry->d_type == DT_UNKNOWN) {
      struct stat st {};
      if (::lstat((folder / e.Name).c_str(), &st) == 0) {
        e.IsFolder = S_ISDIR(st.st_mode);
        e.IsLink = S_ISLNK(st.st_mode);
      }
    }
    if (!visit(context, e)) break;
  }
  ::closedir(dir);
  return ok;
}

}  // namespace plm
