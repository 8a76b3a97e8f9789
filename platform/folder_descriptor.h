#pragma once
// For the platform layer's own files only: the descriptor an open Folder holds.
#include "platform/folders.h"

namespace plm {

struct FolderDescriptor {
  static int Of(const Folder& folder) { return folder.fd_; }
};

}  // namespace plm
