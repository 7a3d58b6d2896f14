#include "HomeTree.h"

#include "PathRights.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vendrix::policy {

namespace {
// One directory on the way down: who it is, and the subdirectories still to
// visit. Only the directory being read holds a descriptor, so the depth of
// the tree costs memory for names, never descriptors or stack.
struct TLevel {
    dev_t Dev = 0;
    ino_t Ino = 0;
    std::vector<std::string> Pending;
};

// Reads the directory that `fd` names (and closes it): adds its regular
// files to `total` and returns its level with the subdirectories to visit.
TLevel ReadLevel(int fd, int64_t& total) {
    TLevel level;
    struct stat self {};
    if (::fstat(fd, &self) == 0) {
        level.Dev = self.st_dev;
        level.Ino = self.st_ino;
    }
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return level;
    }
    while (dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        struct stat st {};
        if (::fstatat(::dirfd(dir), name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISREG(st.st_mode))
            total += st.st_size;
        else if (S_ISDIR(st.st_mode) && name[0] != '.')
            level.Pending.emplace_back(name);
    }
    ::closedir(dir);
    return level;
}

int OpenAt(int dirFd, const char* name) {
    return ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// Climbs from the directory `fd` to its parent and checks that it is still
// the directory the walk came from: a folder renamed away meanwhile ends the
// walk instead of leading it elsewhere.
int OpenParent(int fd, const TLevel& parent) {
    int up = OpenAt(fd, "..");
    ::close(fd);
    if (up < 0) return -1;
    struct stat st {};
    if (::fstat(up, &st) != 0 || st.st_dev != parent.Dev || st.st_ino != parent.Ino) {
        ::close(up);
        return -1;
    }
    return up;
}
} // namespace

int64_t HomeTreeBytes(const std::string& home) {
    if (home.empty()) return 0;
    int fd = ::open(home.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return 0;
    int64_t total = 0;
    std::vector<TLevel> path;
    path.push_back(ReadLevel(::dup(fd), total));
    while (fd >= 0) {
        TLevel& level = path.back();
        if (level.Pending.empty()) {
            path.pop_back();
            if (path.empty()) break;
            fd = OpenParent(fd, path.back());
            continue;
        }
        const std::string name = std::move(level.Pending.back());
        level.Pending.pop_back();
        int sub = OpenAt(fd, name.c_str());
        if (sub < 0) continue;
        ::close(fd);
        fd = sub;
        path.push_back(ReadLevel(::dup(fd), total));
    }
    if (fd >= 0) ::close(fd);
    return total;
}

bool InHomeTree(const std::string& home, const std::string& raw) {
    // "." and ".." are steps of the path, not hidden folders.
    const std::string path = CollapseDots(ftp::TPathStyle::Posix, raw);
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
