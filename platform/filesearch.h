#pragma once
// Enumeration of the files of one folder with a name pattern, as the file list needs
// it: plain files only, in the order the file system returns them.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace plm {

// A wall-clock time in the local time zone.
struct LocalDateTime {
  int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};

struct FoundFile {
  std::string Name;        // bare name, bytes as the file system holds them
  uint64_t Size = 0;       // full size; no 32-bit limit
  LocalDateTime LastWrite; // whole seconds, local time
  // The archive attribute, which Windows sets on every write; POSIX file systems keep
  // no such bit, so there it is never set.
  bool Archive = false;
  // Read-only means the read-only attribute on Windows, the owner's write permission
  // bit clear on POSIX: a property of the file, not of the user running the program.
  bool ReadOnly = false;
};

// True when `name` matches a search pattern of '*' and '?' the way the desktop's file
// search does (without its 8.3 short names), letters compared without regard to case:
// "*.*" matches every name, a '*' before a dot stops at the name's last dot, a '?'
// matches one character or none at the end of the name or before a dot, and a dot
// before '*' or '?' also matches the end of a name without a dot.
bool MatchesSearchPattern(std::string_view name, std::string_view pattern);

// One pass over a folder. Listed are regular files (after following links) whose names
// match the pattern and that are not hidden (a name starting with '.' on POSIX, the
// hidden or system attribute on Windows); folders and special files (pipes, devices,
// sockets, which a reader could block on) are left out.
class FileSearch {
 public:
  FileSearch();
  ~FileSearch();
  FileSearch(const FileSearch&) = delete;
  FileSearch& operator=(const FileSearch&) = delete;

  // False when the folder cannot be opened; Error() then says why.
  bool Open(const std::string& folder, std::string pattern);
  // The next listed file; false at the end or on a read error (Error() is then set).
  bool Next(FoundFile& file);
  void Close();
  const std::string& Error() const { return error_; }

 private:
  struct Listing;  // the system's open listing of the folder
  std::unique_ptr<Listing> listing_;
  std::string pattern_;
  std::string error_;
};

}  // namespace plm
