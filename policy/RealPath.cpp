#include "RealPath.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>

namespace vendrix::policy {

namespace {
std::optional<std::string> ResolveBare(const std::string& path) {
    if (path.empty()) return "/";
    char buf[PATH_MAX];
    if (::realpath(path.c_str(), buf)) return std::string(buf);
    if (errno != ENOENT) return std::nullopt;
    struct stat st {};
    // Something is there that cannot be followed: a dangling link.
    if (::lstat(path.c_str(), &st) == 0) return std::nullopt;
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return std::nullopt;
    std::optional<std::string> parent = ResolveBare(path.substr(0, slash));
    if (!parent) return std::nullopt;
    return (*parent == "/" ? std::string() : *parent) + path.substr(slash);
}
} // namespace

std::optional<std::string> ResolvePath(const std::string& path) {
    if (path.empty() || path[0] != '/') return std::nullopt;
    std::string bare = path;
    const bool dir = bare.size() > 1 && bare.back() == '/';
    while (bare.size() > 1 && bare.back() == '/')
        bare.pop_back();
    std::optional<std::string> real = ResolveBare(bare == "/" ? std::string() : bare);
    if (real && dir && real->back() != '/') *real += '/';
    return real;
}

} // namespace vendrix::policy
