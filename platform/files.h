#pragma once
// The program's only way to open, read, write, rename and remove files. Every
// failure comes back as false with a reason; nothing throws.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/folders.h"
#include "platform/native_handle.h"

namespace plm {

// Part of a failure's reason when another program holds the file open without
// sharing it (after a few short retries); callers may show it in their own words.
inline constexpr std::string_view kInUseByAnotherProgram = "it is in use by another program";

// A regular file opened read-only for strictly sequential reading. The open never
// blocks, even on a FIFO or a device, and anything but a regular file is refused.
class InputFile {
 public:
  InputFile() = default;
  ~InputFile() { Close(); }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // On false, `why` says why: "cannot be opened: ...", "is a folder, not a file",
  // "is not a regular file", "cannot be examined: ...".
  bool Open(const std::filesystem::path& path, std::string* why = nullptr);
  // Up to n bytes at the current position; 0 at the end of the file, -1 on a read
  // error (`why` then holds the system's text).
  int64_t Read(void* dst, size_t n, std::string* why = nullptr);
  // The size the file had when it was opened.
  uint64_t Size() const { return size_; }
  bool IsOpen() const { return file_.Valid(); }
  void Close();

 private:
  NativeHandle file_;
  uint64_t size_ = 0;
};

// The whole content of a regular file, or nothing (with `why`) when it cannot be
// opened or read in full, or is larger than `limit` bytes.
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::filesystem::path& path, std::string* why = nullptr,
                                                  uint64_t limit = UINT64_MAX);

// ReadWholeFile through one open that first shows `accept` the file's first bytes
// (up to 64 KiB, or the whole file when it is smaller): when it answers false the
// rest is never read and `refused` is set. Nothing comes back then, nor (with
// `why`) when the file cannot be opened or read. A file larger than `wholeUpTo`
// bytes is not read past what `accept` saw: that head comes back, with `headOnly`.
std::optional<std::vector<uint8_t>> ReadWholeFileIf(const std::filesystem::path& path,
                                                    const std::function<bool(std::span<const uint8_t>)>& accept,
                                                    bool* refused, std::string* why = nullptr,
                                                    uint64_t wholeUpTo = UINT64_MAX, bool* headOnly = nullptr);

// What PublishWhereFree did: the temporary took the free name; the name was taken
// (nothing changed); or the step failed (the temporary is gone).
enum class PublishOutcome { Published, Occupied, Failed };

// A complete temporary that has left its writer, waiting to take its target's name
// in the target's folder: Publish puts it in place of the target; dropped
// unpublished, it is removed.
class FinishedTemporary {
 public:
  FinishedTemporary() = default;
  // A temporary under the hidden name `hidden` in `folder`, or (with `hidden` empty)
  // an unnamed one held by its open handle, which this takes over.
  FinishedTemporary(std::shared_ptr<Folder> folder, std::string target, std::string hidden, NativeHandle unnamed,
                    uint64_t bytes)
      : unnamed_(unnamed), folder_(std::move(folder)), target_(std::move(target)), hidden_(std::move(hidden)),
        bytes_(bytes) {}
  ~FinishedTemporary() { Discard(); }
  FinishedTemporary(FinishedTemporary&& o) noexcept { *this = std::move(o); }
  FinishedTemporary& operator=(FinishedTemporary&& o) noexcept;
  FinishedTemporary(const FinishedTemporary&) = delete;
  FinishedTemporary& operator=(const FinishedTemporary&) = delete;

  bool Pending() const { return !published_ && (!hidden_.empty() || unnamed_.Valid()); }
  // The hidden name's path; empty for an unnamed temporary.
  std::filesystem::path Path() const;
  std::filesystem::path Target() const;
  const std::shared_ptr<Folder>& Where() const { return folder_; }
  const std::string& TargetName() const { return target_; }
  uint64_t Bytes() const { return bytes_; }
  // The file's identity once published (what now has the target's name).
  std::optional<FileIdentity> Identity() const;
  // Makes the content durable (fsync); false with `why` when that fails.
  bool Flush(std::string* why = nullptr);
  // Takes the target's name only when nothing is there, in one atomic step.
  PublishOutcome PublishWhereFree(std::string* why = nullptr);
  // Takes the target's name, replacing what is there in one atomic step; on
  // failure the temporary is removed. Where the name is likely free,
  // PublishWhereFree first takes it in fewer steps.
  bool Publish(std::string* why = nullptr);
  // After Publish: makes the new name durable with the file it names where the
  // file system needs the file itself flushed for that (an unnamed temporary's
  // link count); a flush of the target's folder completes it.
  bool FlushName(std::string* why = nullptr);
  void Discard();

 private:
  NativeHandle unnamed_;  // an unnamed temporary, until Discard (kept open after its Publish for FlushName)
  bool published_ = false;
  std::shared_ptr<Folder> folder_;
  std::string target_, hidden_;
  uint64_t bytes_ = 0;
};

// How an AtomicFileWriter holds its bytes until they take the target's name.
enum class TemporaryKind {
  // A hidden name beside the target (".plm-" + 16 hex digits + ".tmp").
  Hidden,
  // No name at all until it is published, where the file system allows that (else
  // Hidden): a run killed before then leaves nothing behind, and the file is made
  // without taking its folder's lock, so several can be made at once. It has no
  // path to be opened by.
  Unnamed,
};

// The permissions an AtomicFileWriter gives its file.
enum class NewFilePermissions {
  // What the system gives any new file of the user's.
  Default,
  // Exactly those of the file now under the target's name; when there is none, read
  // and write for the owner and read for everyone else.
  OfTarget,
};

// Writes a file so that its name only ever holds a complete file: the bytes go to a
// temporary beside the target, are flushed to disk, and only then does the
// temporary take the target's name. A writer dropped before its commit, or whose
// commit fails, removes its temporary.
class AtomicFileWriter {
 public:
  AtomicFileWriter() = default;
  ~AtomicFileWriter() { Abort(); }
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // The target's folder is opened from its path.
  bool Create(const std::filesystem::path& target, std::string* why = nullptr,
              NewFilePermissions permissions = NewFilePermissions::Default, TemporaryKind kind = TemporaryKind::Hidden);
  // The same for the file `name` in an open folder.
  bool Create(std::shared_ptr<Folder> folder, const std::string& name, std::string* why = nullptr,
              NewFilePermissions permissions = NewFilePermissions::Default, TemporaryKind kind = TemporaryKind::Hidden);
  bool Write(const void* data, size_t n, std::string* why = nullptr);

  // Flush, sync, close and rename. False (with `why`) on any failure; the
  // temporary is then gone and the target untouched.
  bool Commit(std::string* why = nullptr) { return Finish(why) && Publish(why); }
  // The two halves of Commit, for a caller that has a step to take between the
  // file being safe on disk and it taking the target's name. Finish leaves the
  // flush to the caller while a FinishedTemporaries that defers it is alive on the
  // calling thread.
  bool Finish(std::string* why = nullptr);
  bool Publish(std::string* why = nullptr);
  void Abort();

  std::filesystem::path Target() const { return folder_ ? folder_->PathOf(name_) : std::filesystem::path(); }

 private:
  NativeHandle file_;
  bool unnamed_ = false;
  uint64_t written_ = 0;
  uint64_t writebackStart_ = 0;
  std::shared_ptr<Folder> folder_;
  std::string name_, hidden_;
  FinishedTemporary done_;  // finished and kept here when no FinishedTemporaries took it
};

// Removes the temporaries AtomicFileWriter leaves in a folder when the program is
// killed before a commit (hidden names of the form the writer makes, and of the
// longer form earlier versions made). Only a run that holds the folder's lock may
// call it, so no live run's temporary is touched; only names of that exact form are,
// so no user file is ever removed.
void RemoveStaleTemporaries(const Folder& folder);
void RemoveStaleTemporaries(const std::filesystem::path& folder);

// Replaces a file's whole content through an AtomicFileWriter; a link at `path`
// is followed, so the file it points to is the one replaced, and its permissions
// are kept.
bool ReplaceFileContents(const std::filesystem::path& path, std::string_view bytes, std::string* why = nullptr);

// Creates or replaces a file in place, without a temporary (the extracted images of
// a drawing, which live in a private folder). Links at `path` are not followed.
bool WriteNewFile(const std::filesystem::path& path, std::span<const uint8_t> bytes, std::string* why = nullptr);

// Opens `path` for writing in pieces, as WriteNewFile does at once.
class PlainFileWriter {
 public:
  PlainFileWriter() = default;
  ~PlainFileWriter() { Close(); }
  PlainFileWriter(const PlainFileWriter&) = delete;
  PlainFileWriter& operator=(const PlainFileWriter&) = delete;
  bool Create(const std::filesystem::path& path, std::string* why = nullptr);
  bool Write(const void* data, size_t n, std::string* why = nullptr);
  // False when a write or the close failed.
  bool Close(std::string* why = nullptr);

 private:
  NativeHandle file_;
  bool failed_ = false;
};

// Gives an existing file `name` in `folder` a second name `keepAs` there, replacing
// a file of that name in one step, while the file stays under its own name. Where
// the folder allows hard links the second name is a link; elsewhere it is a complete
// copy (content, permissions and modification time), made durable before it takes
// `keepAs`. Either way the file never leaves its name, so it is never lost, and
// `keepAs` holds either the older file or the kept one. A link at `name` is kept as
// a link, never followed. NothingThere when no file (or a folder) is at `name`;
// Failed (with the reason in `why`) when it could not be kept; nothing changed then.
// `kept`, when given, receives the identity `keepAs` has afterwards.
enum class KeepOutcome { Kept, NothingThere, Failed };
KeepOutcome KeepExistingAs(const Folder& folder, const std::string& name, const std::string& keepAs,
                           std::string* why = nullptr, std::optional<FileIdentity>* kept = nullptr);
// The same for two paths in one folder, opened from the path of `keepAs`.
KeepOutcome KeepExistingAs(const std::filesystem::path& file, const std::filesystem::path& keepAs,
                           std::string* why = nullptr);
// KeepExistingAs for a file that must be there: false also when nothing is at `file`.
bool PreserveAs(const std::filesystem::path& file, const std::filesystem::path& keepAs, std::string* why = nullptr);

// While alive, takes over on the thread that creates it every temporary an
// AtomicFileWriter finishes there (complete and closed, not yet under its name): the
// writer forgets it, and its owner publishes or drops it. With `deferFlush` they are
// closed without being flushed to disk: before any of them is published the owner
// makes them durable together (FileSystemFlush::Sync, or FlushFile one by one), so
// one flush serves a whole group of files.
class FinishedTemporaries {
 public:
  explicit FinishedTemporaries(bool deferFlush);
  ~FinishedTemporaries();
  FinishedTemporaries(const FinishedTemporaries&) = delete;
  FinishedTemporaries& operator=(const FinishedTemporaries&) = delete;

  bool DefersFlush() const { return defer_; }
  std::vector<FinishedTemporary>& Files() { return files_; }
  void Add(FinishedTemporary f) { files_.push_back(std::move(f)); }
  // The innermost one alive on the calling thread, or null.
  static FinishedTemporaries* Current();

 private:
  bool defer_;
  FinishedTemporaries* previous_;
  std::vector<FinishedTemporary> files_;
};

// A handle on the file system of a folder, to make everything written there durable
// with one flush (syncfs). A write-back failure is reported by Sync only when it
// happened after Open or the last Sync, so it is opened before the writes it covers;
// the report may also concern files of other programs, so a caller that needs to
// know which of its files failed flushes them one by one after a failed Sync.
class FileSystemFlush {
 public:
  FileSystemFlush() = default;
  ~FileSystemFlush();
  FileSystemFlush(const FileSystemFlush&) = delete;
  FileSystemFlush& operator=(const FileSystemFlush&) = delete;
  bool Open(const std::filesystem::path& folder, std::string* why = nullptr);
  bool Open(const Folder& folder, std::string* why = nullptr);
  bool Sync(std::string* why = nullptr);
  // The file system it flushes, after a successful Open.
  VolumeIdentity Volume() const { return volume_; }

 private:
  NativeHandle folder_;
  VolumeIdentity volume_;
};

// Flushes one file's data to disk (fsync); false with `why` when it fails.
bool FlushFile(const std::filesystem::path& file, std::string* why = nullptr);

// rename(2): replaces `to` in one step.
bool RenameFile(const std::filesystem::path& from, const std::filesystem::path& to, std::string* why = nullptr);
// Removes a file (never a folder); false with `why` when it could not be removed.
bool RemoveFile(const std::filesystem::path& path, std::string* why = nullptr);
// Creates a folder and its missing parents; true when it exists afterwards.
bool CreateFolders(const std::filesystem::path& path, std::string* why = nullptr);
// Creates one folder (its parent must exist); errors are ignored.
void CreateFolderQuietly(const std::filesystem::path& path);
// Removes a folder when it is empty; errors are ignored.
void RemoveEmptyFolderQuietly(const std::filesystem::path& path);

// The size of an existing file, or nothing.
std::optional<uint64_t> FileSizeOf(const std::filesystem::path& path);

// A folder the running user owns and may write into.
bool IsOwnedWritableFolder(const std::filesystem::path& path);

// One directory entry as a folder listing reports it.
struct FolderEntry {
  std::string Name;  // bytes as the file system holds them
  bool IsFolder = false;  // a real folder, not a link to one
  bool IsLink = false;
  // Hidden from the user: a name starting with '.' on POSIX, the hidden or system
  // attribute on Windows. The folder tree and the folder walks leave these out.
  bool Hidden = false;
};

// The entries of a folder in the order the file system returns them, "." and ".."
// left out. `visit` returns false to stop early. False (with `why`) when the folder
// cannot be opened or read.
template <class F>
bool ForEachFolderEntry(const std::filesystem::path& folder, F&& visit, std::string* why = nullptr);

bool ForEachFolderEntryImpl(const std::filesystem::path& folder, bool (*visit)(void*, const FolderEntry&),
                            void* context, std::string* why);

template <class F>
bool ForEachFolderEntry(const std::filesystem::path& folder, F&& visit, std::string* why) {
  return ForEachFolderEntryImpl(
      folder,
      [](void* c, const FolderEntry& e) {
        return static_cast<bool>((*static_cast<std::remove_reference_t<F>*>(c))(e));
      },
      &visit, why);
}

}  // namespace plm
