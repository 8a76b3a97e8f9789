#pragma once
// For the Windows implementation only: the handles behind the platform layer's
// classes, the conversions between the interface's UTF-8 and the system's UTF-16,
// and the helpers its files share.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform/files.h"
#include "platform/folders.h"
#include "platform/native_handle.h"
#include "platform/widetext.h"

namespace plm {

struct NativeHandleAccess {
  static HANDLE Handle(const NativeHandle& handle) {
    return handle.Valid() ? reinterpret_cast<HANDLE>(handle.value_) : INVALID_HANDLE_VALUE;
  }
  // A handle holding `h`; none for INVALID_HANDLE_VALUE or null.
  static NativeHandle Of(HANDLE h) {
    NativeHandle handle;
    if (h != INVALID_HANDLE_VALUE && h != nullptr) handle.value_ = reinterpret_cast<intptr_t>(h);
    return handle;
  }
  static const NativeHandle& Of(const Folder& folder) { return folder.handle_; }
  static FileIdentity Identity(uint64_t volumeSerial, uint64_t fileIndex) {
    FileIdentity id;
    id.volume_ = volumeSerial;
    id.index_ = fileIndex;
    return id;
  }
  static VolumeIdentity Volume(uint64_t volumeSerial) {
    VolumeIdentity v;
    v.volume_ = volumeSerial;
    return v;
  }
  static VolumeIdentity VolumeOf(const FileIdentity& id) {
    VolumeIdentity v;
    v.volume_ = id.volume_;
    return v;
  }
};

inline HANDLE Win(const NativeHandle& handle) { return NativeHandleAccess::Handle(handle); }
inline NativeHandle HandleOf(HANDLE h) { return NativeHandleAccess::Of(h); }
inline HANDLE Win(const Folder& folder) { return Win(NativeHandleAccess::Of(folder)); }
// Closes the handle (when it holds one) and leaves it empty.
void CloseNative(NativeHandle& handle);

// Sets `*why` when it is given.
void Say(std::string* why, std::string text);

// The form of `path` handed to the system's wide calls: made absolute, with '\'
// separators, and prefixed with \\?\ (\\?\UNC\ for a share) so that no length
// limit applies and no name is changed (trailing dots and spaces stay).
std::wstring SystemPath(const std::filesystem::path& path);
// SystemPath of `name` in the folder `folder` was opened from.
std::wstring SystemPathIn(const Folder& folder, std::string_view name);

// The system's text for an error code, in English, without a trailing line break,
// with the code's name where it is one callers meet ("... (sharing violation)").
std::string SystemErrorText(DWORD error);
// SystemErrorText of GetLastError().
std::string LastErrorText();

// True for the errors another program's open handle causes (a sharing or lock
// violation): worth a few short retries.
bool IsHeldByAnother(DWORD error);
// Calls `attempt` (which returns a handle, or INVALID_HANDLE_VALUE with the last
// error set) up to five times, 100 ms apart, while it fails because another program
// holds the file. The last error stays as the last attempt left it.
template <class F>
HANDLE OpenRetryingWhileHeld(F&& attempt) {
  for (int tries = 0;; ++tries) {
    const HANDLE h = attempt();
    if (h != INVALID_HANDLE_VALUE || tries >= 4 || !IsHeldByAnother(GetLastError())) return h;
    Sleep(100);
  }
}
// The reason given for a file another program holds open (kInUseByAnotherProgram).
inline constexpr std::string_view kHeldByAnother = kInUseByAnotherProgram;

// Writes all of `n` bytes; false with "cannot be written: ..." in `why` on an error.
bool WriteAll(HANDLE file, const void* data, size_t n, std::string* why);

// A new file under an unused hidden name in `folder`, opened for writing and
// deleting, with the hidden attribute; marked to be deleted when its last handle
// closes when `deleteOnClose`, so a run that dies leaves nothing behind.
// INVALID_HANDLE_VALUE (last error set) on failure.
HANDLE CreateHiddenIn(const Folder& folder, bool deleteOnClose, std::string& hidden);
// Sets or clears the file's delete-when-closed mark; false (last error set) on failure.
bool MarkForDeletion(HANDLE file, bool remove);
// Gives the open file `file` the name `name` in `folder`, replacing a file there when
// `replace`; false (last error set) on failure, ERROR_ALREADY_EXISTS or
// ERROR_FILE_EXISTS when the name is taken and not `replace`.
bool RenameOpenFile(HANDLE file, const Folder& folder, std::string_view name, bool replace);

// The identity of an open handle.
bool IdentityOfHandle(HANDLE h, FileIdentity& id);

// Calls `attempt` (true on success, else false with the last error set) up to five
// times, 100 ms apart, while it fails because another program holds a file it
// needs: a sharing or lock violation, or, with `deniedMeansHeld`, access denied,
// which is what replacing a name another program holds open gives. The last error
// stays as the last attempt left it.
template <class F>
bool RetryWhileHeld(F&& attempt, bool deniedMeansHeld) {
  for (int tries = 0;; ++tries) {
    if (attempt()) return true;
    const DWORD error = GetLastError();
    const bool held = IsHeldByAnother(error) || (deniedMeansHeld && error == ERROR_ACCESS_DENIED);
    if (tries >= 4 || !held) {
      SetLastError(error);
      return false;
    }
    Sleep(100);
  }
}

// Sets the open file's attributes to `attributes` (FILE_ATTRIBUTE_NORMAL when none)
// and, when `lastWrite` is given, its modification time; false (last error set) on
// failure.
bool SetAttributesOfHandle(HANDLE file, DWORD attributes, const FILETIME* lastWrite = nullptr);
// The open file's attributes, or INVALID_FILE_ATTRIBUTES (last error set).
DWORD AttributesOfHandle(HANDLE file);
// What one look at a file or folder tells.
struct FileFacts {
  bool IsFolder = false;
  bool IsLink = false;  // a symbolic link or junction (a name-surrogate reparse point)
  DWORD Attributes = 0;
  FileIdentity Identity;
};
// True for the attributes and reparse tag of a link: reparse points that stand for
// another name. Other reparse points (cloud placeholders, deduplicated files) are
// the files themselves.
bool IsLinkAttribute(DWORD attributes, DWORD reparseTag);
// Opens `systemPath` only to read its attributes, sharing everything, following a
// link when `follow`; INVALID_HANDLE_VALUE (last error set) when it is not there.
HANDLE OpenForFacts(const std::wstring& systemPath, bool follow);
bool FactsOfHandle(HANDLE h, FileFacts& facts);
bool FactsOf(const std::wstring& systemPath, bool follow, FileFacts& facts);

}  // namespace plm
