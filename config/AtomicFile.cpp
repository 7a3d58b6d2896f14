#include "AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace vendrix::config {

namespace {

TWriteFault& Fault() {
    static TWriteFault fault;
    return fault;
}

// Returns the injected errno of a step, or 0.
int Injected(TWriteStep step) {
    return Fault() ? Fault()(step) : 0;
}

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

[[noreturn]] void Fail(const std::string& path, const char* what, int error) {
    throw std::runtime_error("cannot save " + path + ": " + what + ": " + std::strerror(error));
}

// Creates a fresh temporary file beside `path`; -1 with errno set on failure.
int CreateTemporary(const std::string& path, std::string& tempPath) {
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = path + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
        int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

bool WriteAll(int fd, std::string_view content) {
    while (!content.empty()) {
        ssize_t n = write(fd, content.data(), content.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        content.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void FlushFolder(const std::string& folder) {
    // Best effort: the rename has happened, so the folder holds either the
    // old or the new complete file whatever happens to this flush.
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

} // namespace

void SetWriteFaultForTesting(TWriteFault fault) {
    Fault() = std::move(fault);
}

void WriteFileAtomic(const std::string& path, std::string_view content) {
    std::string tempPath;
    int fd = -1;
    if (int error = Injected(TWriteStep::Create)) {
        errno = error;
    } else {
        fd = CreateTemporary(path, tempPath);
    }
    if (fd < 0) Fail(path, "cannot create a temporary file", errno);

    auto abandon = [&](const char* what, int error) {
        close(fd);
        unlink(tempPath.c_str());
        Fail(path, what, error);
    };

    struct stat old {};
    if (stat(path.c_str(), &old) == 0) fchmod(fd, old.st_mode & 07777);

    if (int error = Injected(TWriteStep::Write)) abandon("write failed", error);
    if (!WriteAll(fd, content)) abandon("write failed", errno);
    if (int error = Injected(TWriteStep::Flush)) abandon("flush to disk failed", error);
    if (fsync(fd) != 0) abandon("flush to disk failed", errno);
    if (close(fd) != 0) {
        int error = errno;
        unlink(tempPath.c_str());
        Fail(path, "close failed", error);
    }

    int renameError = Injected(TWriteStep::Rename);
    if (renameError == 0 && rename(tempPath.c_str(), path.c_str()) != 0) renameError = errno;
    if (renameError != 0) {
        unlink(tempPath.c_str());
        Fail(path, "rename failed", renameError);
    }
    FlushFolder(FolderOf(path));
}

} // namespace vendrix::config
