#include "platform/memory.h"

namespace plm {

// Windows backs memory already allocated with large pages never: they come only
// from VirtualAlloc with MEM_LARGE_PAGES at allocation, locked in memory, for a user
// granted the right to lock pages, which a desktop user is not. A hint with nothing
// to ask for is no call at all.
void AdviseLargePages(void*, size_t) {}

}  // namespace plm
