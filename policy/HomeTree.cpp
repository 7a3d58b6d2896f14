#include "HomeTree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vendrix::policy {

namespace {
// Walks with directory descriptors, so each entry costs one fstatat and a
// deep tree never builds long path strings.
int64_t DirBytes(int dirFd) {
    DIR* dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return 0;
    }
    int64_t total = 0;
    while (dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        struct stat st {};
        if (::fstatat(::dirfd(dir), name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISREG(st.st_mode)) {
            total += st.st_size;
        } else if (S_ISDIR(st.st_mode) && name[0] != '.') {
            int sub = ::openat(::dirfd(dir), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub >= 0) total += DirBytes(sub);
        }
    }
    ::closedir(dir);
    return total;
}
} // namespace

int64_t HomeTreeBytes(const std::string& home) {
    if (home.empty()) return 0;
    int fd = ::open(home.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return fd < 0 ? 0 : DirBytes(fd);
}

bool InHomeTree(const std::string& home, const std::string& path) {
    if (home.empty() || home.back() != '/' || path.size() <= home.size() ||
        path.compare(0, home.size(), home) != 0)
        return false;
    // Every directory between the home and the file's name.
    size_t start = home.size();
    for (size_t slash = path.find('/', start); slash != std::string::npos; slash = path.find('/', start)) {
        if (slash > start && path[start] == '.') return false;
        start = slash + 1;
    }
    return start < path.size();
}

int64_t RoundedKB(int64_t bytes) {
    int64_t q = bytes / 1024, r = bytes % 1024;
    if (r > 512 || (r == 512 && q % 2 != 0)) ++q;
    return q;
}

} // namespace vendrix::policy
