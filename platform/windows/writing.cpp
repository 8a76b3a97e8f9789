#include <system_error>

#include "platform/files.h"
#include "platform/fsutil.h"
#include "platform/paths.h"
#include "platform/windows/handles.h"

namespace plm {

bool AtomicFileWriter::Create(const std::filesystem::path& target, std::string* why,
                              NewFilePermissions permissions, TemporaryKind kind) {
  Abort();
  std::string error;
  std::shared_ptr<Folder> folder = Folder::Open(FolderOf(target), &error);
  if (!folder) {
    Say(why, "cannot create a file in " + Utf8FromPath(FolderOf(target)) + ": " + error);
    return false;
  }
  return Create(std::move(folder), Utf8FromPath(target.filename()), why, permissions, kind);
}

// Windows keeps no permission bits, so both NewFilePermissions give the same file:
// a writable one. A read-only attribute of the target is not taken over, since the
// next run could then not replace the file. There are no unnamed files either: an
// Unnamed temporary is a hidden one, which is marked to be deleted when its handle
// closes, so a run that dies leaves nothing behind just the same. The handle stays
// open until the temporary is published or dropped.
bool AtomicFileWriter::Create(std::shared_ptr<Folder> folder, const std::string& name, std::string* why,
                              NewFilePermissions, TemporaryKind) {
  Abort();
  folder_ = std::move(folder);
  name_ = name;
  written_ = writebackStart_ = 0;
  unnamed_ = false;
  const HANDLE h = CreateHiddenIn(*folder_, true, hidden_);
  if (h == INVALID_HANDLE_VALUE) {
    Say(why, "cannot create a file in " + Utf8FromPath(folder_->Path()) + ": " + LastErrorText());
    hidden_.clear();
    return false;
  }
  file_ = HandleOf(h);
  return true;
}

bool AtomicFileWriter::Write(const void* data, size_t n, std::string* why) {
  if (!file_.Valid()) {
    Say(why, "cannot be written: no file is open");
    return false;
  }
  if (!WriteAll(Win(file_), data, n, why)) return false;
  written_ += n;
  return true;
}

bool AtomicFileWriter::Finish(std::string* why) {
  if (!file_.Valid()) {
    Say(why, "cannot be written: no file is open");
    Abort();
    return false;
  }
  FinishedTemporaries* log = FinishedTemporaries::Current();
  if (!(log && log->DefersFlush()) && !FlushFileBuffers(Win(file_))) {
    Say(why, "cannot be flushed to disk: " + LastErrorText());
    Abort();
    return false;
  }
  // The open handle goes with the temporary: closing it would delete the file.
  FinishedTemporary done(folder_, name_, std::move(hidden_), file_, written_);
  file_ = {};
  hidden_.clear();
  if (log) {
    log->Add(std::move(done));  // the log owns it now
  } else {
    done_ = std::move(done);
  }
  return true;
}

void AtomicFileWriter::Abort() {
  CloseNative(file_);  // its delete mark removes the temporary
  hidden_.clear();
  done_.Discard();
}

bool ReplaceFileContents(const std::filesystem::path& path, std::string_view bytes, std::string* why) {
  std::filesystem::path target = path;
  std::error_code ec;
  if (std::filesystem::is_symlink(path, ec)) {
    const std::filesystem::path resolved = std::filesystem::canonical(path, ec);
    if (!ec) target = resolved;
  }
  AtomicFileWriter w;
  return w.Create(target, why, NewFilePermissions::OfTarget) && w.Write(bytes.data(), bytes.size(), why) &&
         w.Commit(why);
}

bool PlainFileWriter::Create(const std::filesystem::path& path, std::string* why) {
  Close();
  failed_ = false;
  const std::wstring name = SystemPath(path);
  // A link at the path is refused rather than followed or overwritten.
  const DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    Say(why, SystemErrorText(ERROR_CANT_ACCESS_FILE));
    return false;
  }
  const HANDLE h = OpenRetryingWhileHeld([&] {
    return CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
  });
  if (h == INVALID_HANDLE_VALUE) {
    Say(why, LastErrorText());
    return false;
  }
  file_ = HandleOf(h);
  return true;
}

bool PlainFileWriter::Write(const void* data, size_t n, std::string* why) {
  if (!file_.Valid() || failed_) return false;
  if (!WriteAll(Win(file_), data, n, why)) failed_ = true;
  return !failed_;
}

bool PlainFileWriter::Close(std::string* why) {
  if (!file_.Valid()) return !failed_;
  if (!CloseHandle(Win(file_)) && !failed_) {
    Say(why, "cannot be closed: " + LastErrorText());
    failed_ = true;
  }
  file_ = {};
  return !failed_;
}

bool WriteNewFile(const std::filesystem::path& path, std::span<const uint8_t> bytes, std::string* why) {
  PlainFileWriter w;
  return w.Create(path, why) && w.Write(bytes.data(), bytes.size(), why) && w.Close(why);
}

}  // namespace plm
