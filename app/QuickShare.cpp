#include "QuickShare.h"

#include "AccessEntry.h"
#include "CommandLine.h"
#include "ControlClient.h"
#include "ControlPath.h"
#include "FtpSrvT.h"
#include "Paths.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace vendrix::app {

std::string TQuickShare::Rights(bool write) {
    return config::MakeRights(write ? "DUEMRYS" : "DS");
}

std::string TQuickShare::BaseFolderFor(const std::string& root) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string folder = runtime && *runtime == '/' ? runtime : "/tmp";
    return folder + "/vendrix-share-" + std::to_string(getuid()) + "-" + Fnv1a64Hex(FolderPath(root)) + "/";
}

TQuickShare::TQuickShare(const std::string& root, bool write) {
    std::string dir = FolderPath(root);
    if (!ftp::DirectoryExists(dir)) throw std::runtime_error("no such folder: " + dir);
    std::string base = BaseFolderFor(root);
    if (Identify(base, 1000).Ok()) throw std::runtime_error("an instance is already sharing " + dir);
    // A folder left by an ended share is taken over; one of somebody else's,
    // or one others may write into, is not.
    if (::mkdir(base.c_str(), 0700) != 0 && errno != EEXIST)
        throw std::runtime_error("cannot make " + base + ": " + std::strerror(errno));
    struct stat st {};
    if (::lstat(base.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid() ||
        (st.st_mode & 077))
        throw std::runtime_error("refusing to use " + base + ": not a private folder of this user");
    FBase = base;
    std::filesystem::create_directories(FBase + "conf");
    std::filesystem::create_directories(FBase + "log");
    config::TPaths paths(FBase);
    std::ofstream(paths.ConfigFile(), std::ios::trunc) << "[Setup]\nPort=21\n";
    // The home carries its trailing "/" so the entry covers exactly the share.
    std::ofstream(paths.UsersFile(), std::ios::trunc)
        << "[anonymous]\nHomePath=" << dir << "\nVirtualDir=1\nDir0=" << dir << "|" << Rights(write) << "|\n";
}

TQuickShare::~TQuickShare() {
    std::error_code ignored;
    std::filesystem::remove_all(FBase, ignored);
}

} // namespace vendrix::app
