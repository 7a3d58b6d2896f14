#include "ProcessSetup.h"

#include <csignal>
#include <malloc.h>

namespace vendrix::app {

namespace {
// A listing of 10,000 files takes about 2.5 MiB in a few blocks and frees
// it when sent. Left to itself the allocator hands that memory back to the
// system after every listing and faults it in page by page for the next,
// which cost a fifth of the listing's time. Blocks up to this size come
// from the heap ...
constexpr int kMmapThreshold = 4 << 20;
// ... and this much free memory at its top is kept rather than returned.
constexpr int kTrimThreshold = 16 << 20;
} // namespace

void SetUpProcess() {
    std::signal(SIGPIPE, SIG_IGN);
    ::mallopt(M_MMAP_THRESHOLD, kMmapThreshold);
    ::mallopt(M_TRIM_THRESHOLD, kTrimThreshold);
}

} // namespace vendrix::app
