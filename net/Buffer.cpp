#include "Buffer.h"

#include <algorithm>
#include <cstring>

namespace vendrix::net {

TBuffer::TBuffer(int capacity) : FCapacity(capacity > 0 ? capacity : 1514) {
    FData = std::make_unique<char[]>(size_t(FCapacity));
}

int TBuffer::Write(const void* data, int length) {
    int n = std::clamp(FCapacity - FWrCount, 0, std::max(length, 0));
    if (n > 0) {
        std::memcpy(FData.get() + FWrCount, data, size_t(n));
        FWrCount += n;
    }
    return n;
}

const char* TBuffer::Peek(int& count) const {
    count = FWrCount - FRdCount;
    return count > 0 ? FData.get() + FRdCount : nullptr;
}

int TBuffer::Remove(int n) {
    n = std::clamp(n, 0, FWrCount - FRdCount);
    FRdCount += n;
    if (FRdCount >= FWrCount) FRdCount = FWrCount = 0;
    return n;
}

} // namespace vendrix::net
