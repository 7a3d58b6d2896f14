// The home tree size during one upload. The tree is walked once (when the
// upload is validated, or at its first block when the quota was set later)
// and then advanced by the bytes the upload writes, so each received block is
// checked in constant time while the figures stay those of the disk.
//
// Uploads of one account running side by side each add what they store to
// the account's shared count; an upload adds to its own figure what the
// others stored since it walked the tree, so none of them can pass the
// quota on a figure that ignores the rest.
#pragma once

#include <cstdint>
#include <string>

namespace vendrix::policy {

class TUploadQuota {
public:
    // Walks the home tree; returns its size in bytes. The target's current
    // size is set apart: the upload decides what becomes of it.
    // `shared` is the account's count of stored upload bytes at that moment.
    int64_t Measure(const std::string& home, const std::string& target, int64_t shared);
    // The upload starts: the target will hold `keptBytes` once opened (0 when
    // it is created or emptied) and the first byte goes to `startPos`.
    void Begin(int64_t keptBytes, int64_t startPos);
    bool Measured() const { return FMeasured; }
    // The tree's size after `written` bytes of the upload were stored, with
    // the account's shared count now at `shared`.
    int64_t UsedBytes(int64_t written, int64_t shared) const;
    // A block of `len` bytes is stored (and added to the shared count).
    void Stored(int64_t len) { FOwnStored += len; }
    void Reset() { *this = TUploadQuota(); }

private:
    bool FMeasured = false;
    bool FTargetCounted = false;
    int64_t FOtherBytes = 0; // the tree without the target
    int64_t FKeptBytes = 0;
    int64_t FStartPos = 0;
    int64_t FSharedAtMeasure = 0;
    int64_t FOwnStored = 0; // since the walk
};

} // namespace vendrix::policy
