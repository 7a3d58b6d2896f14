#include "FtpStream.h"

#include "FtpTypes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vendrix::ftp {

namespace {
// Raises the error of the last system call on a file: the message names the
// path, the reason is the system's text alone.
[[noreturn]] void Fail(const std::string& what, const std::string& path) {
    const std::string reason = std::strerror(errno);
    throw EFtpFileError(what + " \"" + path + "\": " + reason, reason);
}
} // namespace

void RaiseReadError(const std::string& path, int err) {
    errno = err;
    Fail("Read error on", path);
}

TFileStream::TFileStream(const std::string& path, TMode mode) : FPath(path) {
    int flags = O_CLOEXEC;
    switch (mode) {
    case fmOpenRead:
        flags |= O_RDONLY;
        break;
    case fmCreate:
        flags |= O_WRONLY | O_CREAT | O_TRUNC;
        break;
    case fmOpenWrite:
        flags |= O_WRONLY | O_CREAT;
        break;
    case fmOpenReadWrite:
        flags |= O_RDWR | O_CREAT;
        break;
    }
    FFd = ::open(path.c_str(), flags, 0666);
    if (FFd < 0) Fail(mode == fmCreate ? "Cannot create file" : "Cannot open file", path);
    struct stat st {};
    if (fstat(FFd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(FFd);
        FFd = -1;
        errno = EISDIR;
        Fail("Cannot open file", path);
    }
}

TFileStream::~TFileStream() {
    if (FFd >= 0) ::close(FFd);
}

int64_t TFileStream::Read(char* buffer, int64_t count) {
    for (;;) {
        ssize_t n = ::read(FFd, buffer, size_t(count));
        if (n >= 0) return n;
        if (errno != EINTR) Fail("Read error on", FPath);
    }
}

void TFileStream::Write(const char* data, int64_t count) {
    while (count > 0) {
        ssize_t n = ::write(FFd, data, size_t(count));
        if (n < 0) {
            if (errno == EINTR) continue;
            Fail("Write error on", FPath);
        }
        data += n;
        count -= n;
    }
}

void TFileStream::Seek(int64_t position) {
    if (::lseek(FFd, off_t(position), SEEK_SET) < 0) Fail("Seek error on", FPath);
}

int64_t TFileStream::Size() const {
    struct stat st {};
    return fstat(FFd, &st) == 0 ? int64_t(st.st_size) : -1;
}

int64_t TMemoryStream::Read(char* buffer, int64_t count) {
    int64_t n = std::clamp<int64_t>(int64_t(FData.size()) - FPos, 0, count);
    std::memcpy(buffer, FData.data() + FPos, size_t(n));
    FPos += n;
    return n;
}

void TMemoryStream::Write(const char* data, int64_t count) {
    if (FPos > int64_t(FData.size())) FData.resize(size_t(FPos));
    FData.replace(size_t(FPos), size_t(std::min<int64_t>(count, int64_t(FData.size()) - FPos)), data,
                  size_t(count));
    FPos += count;
}

void TMemoryStream::Seek(int64_t position) {
    FPos = std::max<int64_t>(position, 0);
}

} // namespace vendrix::ftp
