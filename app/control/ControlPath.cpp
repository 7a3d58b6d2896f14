#include "ControlPath.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace vendrix::app {

namespace fs = std::filesystem;

namespace {

std::string WithSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

std::string SystemError(const std::string& what, int error) {
    return what + ": " + std::strerror(error);
}

} // namespace

std::string ControlFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/') return WithSlash(runtime) + "vendrix-ftp/";
    std::error_code ec;
    fs::path temp = fs::temp_directory_path(ec);
    if (ec || temp.empty()) temp = "/tmp";
    return WithSlash(temp.string()) + "vendrix-ftp-" + std::to_string(geteuid()) + "/";
}

std::string NormalControlBase(const std::string& baseFolder) {
    std::error_code ec;
    fs::path abs = fs::absolute(baseFolder.empty() ? "." : baseFolder, ec);
    if (ec) abs = baseFolder;
    fs::path real = fs::weakly_canonical(abs, ec);
    return WithSlash(ec ? abs.lexically_normal().string() : real.string());
}

std::string Fnv1a64Hex(const std::string& text) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 0x100000001b3ull;
    }
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
    return digits;
}

std::string ControlSocketPath(const std::string& baseFolder) {
    return ControlFolder() + Fnv1a64Hex(NormalControlBase(baseFolder)) + ".sock";
}

void CheckControlFolder(const std::string& folder, bool create) {
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    if (create && mkdir(path.c_str(), 0700) == 0) {
        // The umask may have taken more than group and world rights.
        if (chmod(path.c_str(), 0700) != 0)
            throw std::runtime_error(
                SystemError("cannot set the rights of the control folder " + path, errno));
    } else if (create && errno != EEXIST) {
        throw std::runtime_error(SystemError("cannot create the control folder " + path, errno));
    }
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0)
        throw std::runtime_error(SystemError("cannot use the control folder " + path, errno));
    if (!S_ISDIR(st.st_mode)) throw std::runtime_error("the control folder " + path + " is not a directory");
    if (st.st_uid != geteuid())
        throw std::runtime_error("the control folder " + path + " belongs to another user");
    if ((st.st_mode & 077) != 0)
        throw std::runtime_error("the control folder " + path +
                                 " is open to other users (it must be mode 0700)");
}

} // namespace vendrix::app
