// The parts of temporaries, publishing and backups that are the same on every
// system: they only call the interface.
#include <cerrno>
#include <cstring>

#include "platform/files.h"
#include "platform/fsutil.h"

namespace plm {
namespace {

thread_local FinishedTemporaries* tCurrentLog = nullptr;

void Say(std::string* why, std::string text) {
  if (why) *why = std::move(text);
}

}  // namespace

void RemoveStaleTemporaries(const std::filesystem::path& folder) {
  if (const std::shared_ptr<Folder> open = Folder::Open(folder)) RemoveStaleTemporaries(*open);
}

FinishedTemporaries::FinishedTemporaries(bool deferFlush) : defer_(deferFlush), previous_(tCurrentLog) {
  tCurrentLog = this;
}

FinishedTemporaries::~FinishedTemporaries() { tCurrentLog = previous_; }

FinishedTemporaries* FinishedTemporaries::Current() { return tCurrentLog; }

FinishedTemporary& FinishedTemporary::operator=(FinishedTemporary&& o) noexcept {
  if (this != &o) {
    Discard();
    unnamed_ = o.unnamed_;
    published_ = o.published_;
    folder_ = std::move(o.folder_);
    target_ = std::move(o.target_);
    hidden_ = std::move(o.hidden_);
    bytes_ = o.bytes_;
    o.unnamed_ = {};
    o.published_ = false;
    o.hidden_.clear();
  }
  return *this;
}

std::filesystem::path FinishedTemporary::Path() const {
  return hidden_.empty() || !folder_ ? std::filesystem::path() : folder_->PathOf(hidden_);
}

std::filesystem::path FinishedTemporary::Target() const {
  return folder_ ? folder_->PathOf(target_) : PathFromUtf8(target_);
}

bool AtomicFileWriter::Publish(std::string* why) {
  if (!done_.Pending() || file_.Valid()) {
    Say(why, "cannot be renamed: the file is not finished");
    Abort();
    return false;
  }
  return done_.Publish(why);
}

KeepOutcome KeepExistingAs(const std::filesystem::path& file, const std::filesystem::path& keepAs,
                           std::string* why) {
  std::string error;
  const std::shared_ptr<Folder> folder = Folder::Open(FolderOf(keepAs), &error);
  if (!folder) {
    Say(why, error);
    return KeepOutcome::Failed;
  }
  return KeepExistingAs(*folder, Utf8FromPath(file.filename()), Utf8FromPath(keepAs.filename()), why);
}

bool PreserveAs(const std::filesystem::path& file, const std::filesystem::path& keepAs, std::string* why) {
  switch (KeepExistingAs(file, keepAs, why)) {
    case KeepOutcome::Kept: return true;
    case KeepOutcome::NothingThere: Say(why, ErrnoText(ENOENT)); return false;
    case KeepOutcome::Failed: return false;
  }
  return false;
}

bool Folder::AllowsLinks() const {
  if (links_ < 0) ProbeLinks();
  return links_ == 1;
}

}  // namespace plm
