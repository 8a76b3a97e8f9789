#include "platform/filesearch.h"

#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include "platform/fsutil.h"

namespace plm {

struct FileSearch::Listing {
  DIR* dir = nullptr;
};

FileSearch::FileSearch() = default;

FileSearch::~FileSearch() { Close(); }

bool FileSearch::Open(const std::string& folder, std::string pattern) {
  Close();
  error_.clear();
  pattern_ = std::move(pattern);
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) {
    error_ = ErrnoText(errno);
    return false;
  }
  listing_ = std::make_unique<Listing>(Listing{dir});
  return true;
}

bool FileSearch::Next(FoundFile& file) {
  if (!listing_) return false;
  const int dirFd = ::dirfd(listing_->dir);
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(listing_->dir);
    if (entry == nullptr) {
      if (errno != 0) error_ = ErrnoText(errno);
      return false;
    }
    const std::string_view name(entry->d_name);
    if (name.empty() || name[0] == '.') continue;  // hidden, "." and ".."
    if (!MatchesSearchPattern(name, pattern_)) continue;
    struct stat st {};
    if (::fstatat(dirFd, entry->d_name, &st, 0) != 0) continue;  // vanished or a dangling link
    if (!S_ISREG(st.st_mode)) continue;
    file.Name.assign(name);
    file.Size = static_cast<uint64_t>(st.st_size);
    file.Archive = false;
    file.ReadOnly = (st.st_mode & S_IWUSR) == 0;
    const std::time_t t = st.st_mtim.tv_sec;
    std::tm local {};
    if (::localtime_r(&t, &local) != nullptr) {
      file.LastWrite = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                        local.tm_sec};
    } else {
      file.LastWrite = {};
    }
    return true;
  }
}

void FileSearch::Close() {
  if (listing_) ::closedir(listing_->dir);
  listing_.reset();
}

}  // namespace plm
