#include "UploadQuota.h"

#include "HomeTree.h"

#include <algorithm>
#include <sys/stat.h>

namespace vendrix::policy {

namespace {
// The target as the tree walk sees it: a symbolic link counts nothing, and
// neither does what is written through it.
bool CountedSize(const std::string& path, int64_t& size) {
    struct stat st {};
    size = 0;
    if (::lstat(path.c_str(), &st) != 0) return true; // created by the upload
    if (!S_ISREG(st.st_mode)) return false;
    size = st.st_size;
    return true;
}
} // namespace

int64_t TUploadQuota::Measure(const std::string& home, const std::string& target, int64_t shared) {
    int64_t tree = HomeTreeBytes(home);
    int64_t targetBytes = 0;
    FTargetCounted = InHomeTree(home, target) && CountedSize(target, targetBytes);
    FOtherBytes = tree - targetBytes;
    // Until Begin says otherwise, the target stays as it is.
    FKeptBytes = std::max(FKeptBytes, targetBytes);
    FSharedAtMeasure = shared;
    FOwnStored = 0;
    FMeasured = true;
    return tree;
}

void TUploadQuota::Begin(int64_t keptBytes, int64_t startPos) {
    FKeptBytes = keptBytes;
    FStartPos = startPos;
}

int64_t TUploadQuota::UsedBytes(int64_t written, int64_t shared) const {
    // A block another upload wrote over old bytes counts as growth too: the
    // figure errs on the side of the quota.
    const int64_t others = std::max<int64_t>(shared - FSharedAtMeasure - FOwnStored, 0);
    return FOtherBytes + others + (FTargetCounted ? std::max(FKeptBytes, FStartPos + written) : 0);
}

} // namespace vendrix::policy
