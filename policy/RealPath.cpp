#include "RealPath.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>

namespace vendrix::policy {

namespace {
// Steps back from the end of the path to its longest part that exists,
// resolves that once and appends the missing rest. A loop, not a recursion:
// the number of missing components is the client's to choose.
std::optional<std::string> ResolveBare(const std::string& path) {
    size_t end = path.size();
    while (end > 0) {
        const std::string head = path.substr(0, end);
        struct stat st {};
        if (::lstat(head.c_str(), &st) == 0) break;
        if (errno != ENOENT) return std::nullopt;
        end = path.rfind('/', end - 1);
        if (end == std::string::npos) return std::nullopt;
    }
    std::string real = "/";
    if (end > 0) {
        char buf[PATH_MAX];
        // It exists, so failing to resolve it means a dangling or looping
        // link, or a component that cannot be searched.
        if (!::realpath(path.substr(0, end).c_str(), buf)) return std::nullopt;
        real = buf;
    }
    if (end == path.size()) return real;
    return (real == "/" ? std::string() : real) + path.substr(end);
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
