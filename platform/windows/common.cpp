#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/fsutil.h"
#include "platform/hidden_names.h"
#include "platform/paths.h"
#include "platform/windows/handles.h"
#include "text/cp932.h"

namespace plm {

void CloseNative(NativeHandle& handle) {
  if (handle.Valid()) CloseHandle(Win(handle));
  handle = NativeHandle();
}

void Say(std::string* why, std::string text) {
  if (why) *why = std::move(text);
}

std::string ErrnoText(int err) { return std::strerror(err); }

std::filesystem::path FolderOf(const std::filesystem::path& file) {
  return file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
}

std::wstring WideFromUtf8(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

std::string Utf8FromWide(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::filesystem::path PathFromUtf8(std::string_view utf8) { return std::filesystem::path(WideFromUtf8(utf8)); }

std::string Utf8FromPath(const std::filesystem::path& path) { return Utf8FromWide(path.native()); }

std::wstring SystemPath(const std::filesystem::path& path) {
  std::wstring p = path.native();
  for (wchar_t& c : p)
    if (c == L'/') c = L'\\';
  if (p.starts_with(L"\\\\?\\")) return p;
  if (p.empty()) p = L".";
  // GetFullPathNameW resolves "." and ".." and the current folder as the system
  // does for a plain path; the prefix then keeps the result as it is.
  const DWORD need = GetFullPathNameW(p.c_str(), 0, nullptr, nullptr);
  if (need == 0) return p;
  std::wstring full(need, L'\0');
  const DWORD got = GetFullPathNameW(p.c_str(), need, full.data(), nullptr);
  full.resize(got);
  if (full.starts_with(L"\\\\.\\") || full.starts_with(L"\\\\?\\")) return full;
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

std::wstring SystemPathIn(const Folder& folder, std::string_view name) {
  std::wstring base = SystemPath(folder.Path());
  if (!base.ends_with(L'\\')) base += L'\\';
  return base + WideFromUtf8(name);
}

std::string SystemErrorText(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, error, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                 reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string out;
  if (n > 0 && text) out = Utf8FromWide(std::wstring_view(text, n));
  if (text) LocalFree(text);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ' || out.back() == '.'))
    out.pop_back();
  if (out.empty()) out = "system error " + std::to_string(error);
  if (IsHeldByAnother(error)) out = std::string(kHeldByAnother) + " (" + out + ")";
  return out;
}

std::string LastErrorText() { return SystemErrorText(GetLastError()); }

bool IsHeldByAnother(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; }

bool WriteAll(HANDLE file, const void* data, size_t n, std::string* why) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (n > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(n, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, p, chunk, &written, nullptr)) {
      Say(why, "cannot be written: " + LastErrorText());
      return false;
    }
    p += written;
    n -= written;
  }
  return true;
}

HANDLE CreateHiddenIn(const Folder& folder, bool deleteOnClose, std::string& hidden) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    hidden = NewHiddenName();
    const HANDLE h = CreateFileW(SystemPathIn(folder, hidden).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                 FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      if (GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS) continue;
      return h;
    }
    if (deleteOnClose && !MarkForDeletion(h, true)) {
      const DWORD error = GetLastError();
      CloseHandle(h);
      DeleteFileW(SystemPathIn(folder, hidden).c_str());
      SetLastError(error);
      return INVALID_HANDLE_VALUE;
    }
    return h;
  }
  SetLastError(ERROR_FILE_EXISTS);
  return INVALID_HANDLE_VALUE;
}

bool MarkForDeletion(HANDLE file, bool remove) {
  FILE_DISPOSITION_INFO info{};
  info.DeleteFile = remove ? TRUE : FALSE;
  return SetFileInformationByHandle(file, FileDispositionInfo, &info, sizeof info) != 0;
}

bool RenameOpenFile(HANDLE file, const Folder& folder, std::string_view name, bool replace) {
  const std::wstring target = SystemPathIn(folder, name);
  const size_t bytes = sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t);
  std::vector<unsigned char> buffer(bytes, 0);
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = replace ? TRUE : FALSE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
  std::memcpy(info->FileName, target.data(), target.size() * sizeof(wchar_t));
  return SetFileInformationByHandle(file, FileRenameInfo, info, static_cast<DWORD>(bytes)) != 0;
}

bool IdentityOfHandle(HANDLE h, FileIdentity& id) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(h, &info)) return false;
  id = NativeHandleAccess::Identity(info.dwVolumeSerialNumber,
                                    (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow);
  return true;
}

bool SetAttributesOfHandle(HANDLE file, DWORD attributes, const FILETIME* lastWrite) {
  FILE_BASIC_INFO info{};  // zero times are left as they are
  info.FileAttributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
  if (lastWrite) {
    info.LastWriteTime.LowPart = lastWrite->dwLowDateTime;
    info.LastWriteTime.HighPart = static_cast<LONG>(lastWrite->dwHighDateTime);
  }
  return SetFileInformationByHandle(file, FileBasicInfo, &info, sizeof info) != 0;
}

DWORD AttributesOfHandle(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  return GetFileInformationByHandle(file, &info) ? info.dwFileAttributes : INVALID_FILE_ATTRIBUTES;
}

}  // namespace plm

namespace plm {

std::filesystem::path PathOfStoredName(const std::filesystem::path& folder, std::string_view cp932Name) {
  std::string name;
  for (size_t i = 0; i < cp932Name.size();) {
    const auto b = static_cast<unsigned char>(cp932Name[i]);
    const size_t n = IsCp932LeadByte(b) && i + 1 < cp932Name.size() ? 2 : 1;
    const std::string_view piece = cp932Name.substr(i, n);
    const std::string decoded = Cp932ToUtf8(piece);
    // A character that decodes, and encodes back to the same bytes, that Windows
    // allows in a name; everything else spelt out.
    const bool plain = b != '%' && (b >= 0x80 || (b >= 0x20 && std::string_view("<>:\"/\\|?*").find(static_cast<char>(b)) ==
                                                                      std::string_view::npos));
    if (plain && decoded.find("\xEF\xBF\xBD") == std::string::npos && Utf8ToCp932(decoded) == piece) {
      name += decoded;
      i += n;
      continue;
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    name += '%';
    name += kHex[b >> 4];
    name += kHex[b & 0xF];
    ++i;
  }
  return folder / PathFromUtf8(name);
}

bool IsLinkAttribute(DWORD attributes, DWORD reparseTag) {
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && IsReparseTagNameSurrogate(reparseTag);
}

HANDLE OpenForFacts(const std::wstring& systemPath, bool follow) {
  return CreateFileW(systemPath.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT),
                     nullptr);
}

bool FactsOfHandle(HANDLE h, FileFacts& facts) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(h, &info)) return false;
  facts.Attributes = info.dwFileAttributes;
  facts.Identity = NativeHandleAccess::Identity(info.dwVolumeSerialNumber,
                                                (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow);
  FILE_ATTRIBUTE_TAG_INFO tag{};
  // Without the tag a reparse point is taken for a link: the side that follows nothing.
  const DWORD reparseTag = GetFileInformationByHandleEx(h, FileAttributeTagInfo, &tag, sizeof tag)
                               ? tag.ReparseTag
                               : IO_REPARSE_TAG_SYMLINK;
  facts.IsLink = IsLinkAttribute(info.dwFileAttributes, reparseTag);
  facts.IsFolder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return true;
}

bool FactsOf(const std::wstring& systemPath, bool follow, FileFacts& facts) {
  const HANDLE h = OpenForFacts(systemPath, follow);
  if (h == INVALID_HANDLE_VALUE) return false;
  const bool ok = FactsOfHandle(h, facts);
  CloseHandle(h);
  return ok;
}

}  // namespace plm
