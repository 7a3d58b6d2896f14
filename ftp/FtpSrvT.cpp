#include "FtpSrvT.h"

#include "FtpTypes.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vendrix::ftp {

int64_t GetFileSize(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;
    return int64_t(st.st_size);
}

bool AnyEntryExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

bool FileExists(const std::string& path) {
    return GetFileSize(path) >= 0;
}

bool CreateNewFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (errno == EEXIST) return false;
        std::string reason = std::strerror(errno);
        throw EFtpFileError("Cannot create file \"" + path + "\": " + reason, reason);
    }
    ::close(fd);
    return true;
}

bool DirectoryExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

time_t FileAge(const std::string& path) {
    std::string p = path;
    if (!p.empty() && p.back() == '/') p += ".";
    struct stat st {};
    if (p.empty() || ::stat(p.c_str(), &st) != 0) return -1;
    return st.st_mtime;
}

std::string FileUtcStr(const std::string& path) {
    std::string p = path;
    if (!p.empty() && p.back() == '/') p += ".";
    struct stat st {};
    if (p.empty() || ::stat(p.c_str(), &st) != 0) return {};
    std::tm tm{};
    if (!gmtime_r(&st.st_mtim.tv_sec, &tm)) return {};
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d%02d.%03d", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, int(st.st_mtim.tv_nsec / 1000000));
    return buf;
}

} // namespace vendrix::ftp
