#pragma once
// Hints to the system about large blocks of memory the program is about to fill.
#include <cstddef>

namespace plm {

// Asks for the whole 2 MB pages inside [data, data + bytes) to be backed by large
// pages when first touched, so filling a list of many megabytes costs a few hundred
// page faults instead of one per 4 KB. A hint only: the contents and the block's
// ownership stay as they are, and nothing happens for blocks below a few pages or
// where the system has no such pages.
void AdviseLargePages(void* data, size_t bytes);

}  // namespace plm
