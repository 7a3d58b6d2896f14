#include "BaseLocation.h"

#include "AtomicFile.h"
#include "CommandLine.h"
#include "Paths.h"
#include "SettingsFile.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <netinet/in.h>
#include <pwd.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vendrix::app {

namespace {

namespace fs = std::filesystem;

constexpr const char* kFolderName = "vendrix-ftp";

// Whether this process may listen on port 21: a trial bind on loopback,
// closed at once. Taken (another server runs) counts as allowed: the
// permission is what decides the default.
bool MayUseStandardPort() {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(21);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int opt = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &opt, sizeof opt);
    const bool ok =
        bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0 || errno == EADDRINUSE;
    close(fd);
    return ok;
}

} // namespace

TBaseEnvironment CurrentBaseEnvironment() {
    TBaseEnvironment env;
    env.ExecutableFolder = ExecutableFolder();
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME")) env.XdgConfigHome = xdg;
    if (const char* home = std::getenv("HOME")) env.Home = home;
    if (env.Home.empty())
        if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) env.Home = pw->pw_dir;
    return env;
}

TBaseFolder ResolveBaseFolder(const std::string& explicitBase, const TBaseEnvironment& env) {
    if (!explicitBase.empty()) return {FolderPath(explicitBase), TBaseOrigin::Explicit};
    std::error_code error;
    if (!env.ExecutableFolder.empty() && fs::is_directory(fs::path(env.ExecutableFolder) / "conf", error))
        return {FolderPath(env.ExecutableFolder), TBaseOrigin::Executable};
    // A relative XDG_CONFIG_HOME is invalid and ignored.
    std::string config = env.XdgConfigHome;
    if (config.empty() || config.front() != '/')
        config = (env.Home.empty() ? std::string("/") : env.Home) + "/.config";
    return {FolderPath(config + "/" + kFolderName), TBaseOrigin::UserConfig};
}

std::string DescribeBaseFolder(const TBaseFolder& base) {
    switch (base.Origin) {
    case TBaseOrigin::Explicit:
        return "Base folder: " + base.Path + " (from --base)";
    case TBaseOrigin::Executable:
        return "Base folder: " + base.Path + " (the executable's folder, which holds conf/)";
    case TBaseOrigin::UserConfig:
        break;
    }
    return "Base folder: " + base.Path + " (the user's configuration folder)";
}

bool NeedsPreparing(const std::string& base) {
    std::error_code error;
    return !fs::is_directory(config::TPaths(base).BaseFolder() + "/conf", error);
}

void PrepareBaseFolder(const std::string& base) {
    const config::TPaths paths(base);
    std::error_code error;
    for (const std::string& folder : {paths.BaseFolder() + "/conf", paths.LogFolder()}) {
        fs::create_directories(folder, error);
        if (error) throw std::runtime_error("cannot create " + folder + ": " + error.message());
    }
    if (fs::exists(paths.ConfigFile(), error)) return;
    config::TIniDocument settings;
    config::WriteTextSetting(settings, config::TSetting::LangFile, "english");
    config::WriteTextSetting(settings, config::TSetting::Port, MayUseStandardPort() ? "21" : "2121");
    config::WriteFileAtomic(paths.ConfigFile(), settings.Serialize());
}

void GiveToBaseOwner(const std::string& base) {
    const config::TPaths paths(base);
    struct stat owner {};
    if (geteuid() != 0 || stat(paths.BaseFolder().c_str(), &owner) != 0 || owner.st_uid == 0) return;
    for (const std::string& path :
         {paths.BaseFolder() + "/conf", paths.LogFolder(), paths.ConfigFile(), paths.UsersFile()}) {
        struct stat st {};
        if (lstat(path.c_str(), &st) == 0 && st.st_uid == 0) {
            // Best effort: a file left to root is reported by "check" later.
            [[maybe_unused]] int ignored = lchown(path.c_str(), owner.st_uid, owner.st_gid);
        }
    }
}

} // namespace vendrix::app
