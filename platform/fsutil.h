#pragma once
// File-system helpers the formats and the shell share.
#include <filesystem>
#include <string>

#include "platform/folders.h"

namespace plm {

// True when both paths name one and the same existing directory, however they are
// spelled (letter case on a case-insensitive file system, links, "..", doubled or
// trailing separators). False when either does not exist.
bool IsSameFolder(const std::filesystem::path& a, const std::filesystem::path& b);

bool IsExistingFolder(const std::filesystem::path& p);

// The folder a file is in: its parent, or "." for a bare name.
std::filesystem::path FolderOf(const std::filesystem::path& file);
bool IsExistingFile(const std::filesystem::path& p);

// Deletes a file, ignoring every error (the design ignores such failures).
void DeleteFileQuietly(const std::filesystem::path& p);

// The cores this process may run on, at least 1.
int ProcessorCount();

// The text of the last OS error, for failure reasons.
std::string ErrnoText(int err);

}  // namespace plm

namespace plm {

// A private folder under the system's temporary folder, removed with its contents
// when the object goes away; locked while it lives, so the folders of runs that were
// killed are swept by the next one made with the same prefix.
using ScopedTempFolder = RunFolder;

}  // namespace plm
