#include "LineBuffer.h"

#include "FtpTypes.h"

#include <algorithm>
#include <cstring>

namespace vendrix::ftp {

void TLineBuffer::SetSize(int size) {
    if (FCount != 0) throw EFtpError("Data in buffer, can't change size");
    if (size < 0) size = 0;
    if (size == FSize) return;
    FData.reset();
    FSize = size;
}

char* TLineBuffer::WritePtr() {
    if (!FData && FSize > 0) FData.reset(new char[size_t(FSize)]);
    return FData.get() + FCount;
}

void TLineBuffer::Commit(int n) {
    if (n > 0) FCount += std::min(n, WriteSpace());
}

int TLineBuffer::Append(const char* data, int n) {
    n = std::min(n, WriteSpace());
    if (n <= 0) return 0;
    std::memcpy(WritePtr(), data, size_t(n));
    FCount += n;
    return n;
}

bool TLineBuffer::NextLine(std::string& line) {
    if (FCount == 0) return false;
    const char* begin = FData.get();
    const char* lf = static_cast<const char*>(std::memchr(begin, '\n', size_t(FCount)));
    if (!lf) {
        if (FCount < FSize - 1) return false;
        Clear(); // an overlong line: its bytes are dropped
        line = "OVER";
        return true;
    }
    int len = int(lf - begin);
    int take = (len >= 2 && begin[len - 1] == '\r') ? len - 1 : len;
    line.assign(begin, size_t(take));
    int rest = FCount - len - 1;
    if (rest > 0) std::memmove(FData.get(), lf + 1, size_t(rest));
    FCount = rest;
    if (FCount == 0) FData.reset();
    return true;
}

} // namespace vendrix::ftp
