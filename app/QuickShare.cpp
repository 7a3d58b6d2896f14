#include "QuickShare.h"

#include "AccessEntry.h"
#include "CommandLine.h"
#include "FtpSrvT.h"
#include "Paths.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace vendrix::app {

std::string TQuickShare::Rights(bool write) { return policy::MakeRights(write ? "DUEMRYS" : "DS"); }

TQuickShare::TQuickShare(const std::string& root, bool write) {
    std::string dir = FolderPath(root);
    if (!ftp::DirectoryExists(dir)) throw std::runtime_error("no such folder: " + dir);
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string pattern = std::string(runtime && *runtime ? runtime : "/tmp") + "/vendrix-share-XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a folder for the share in " + pattern);
    FBase = pattern + "/";
    std::filesystem::create_directories(FBase + "conf");
    std::filesystem::create_directories(FBase + "log");
    policy::TPaths paths(FBase);
    std::ofstream(paths.ConfigFile()) << "[Setup]\nPort=21\n";
    // The home carries its trailing "/" so the entry covers exactly the share.
    std::ofstream(paths.UsersFile()) << "[anonymous]\nHomePath=" << dir << "\nVirtualDir=1\nDir0=" << dir << "|"
                                     << Rights(write) << "|\n";
}

TQuickShare::~TQuickShare() {
    std::error_code ignored;
    std::filesystem::remove_all(FBase, ignored);
}

} // namespace vendrix::app
