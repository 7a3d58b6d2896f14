// Which base folder (conf/, lng/, log/) a start uses, and making a new one.
//
// An explicit --base always wins. Otherwise the executable's folder, when it
// holds conf/: a portable copy or a run from the build tree. Otherwise the
// user's own folder, $XDG_CONFIG_HOME/vendrix-ftp/ (~/.config/vendrix-ftp/
// when the variable is unset or not absolute), made on first start. The
// window and the daemon resolve it the same way.
#pragma once

#include <string>

namespace vendrix::app {

enum class TBaseOrigin { Explicit, Executable, UserConfig };

struct TBaseFolder {
    std::string Path; // with one trailing "/"
    TBaseOrigin Origin = TBaseOrigin::Explicit;
    bool operator==(const TBaseFolder&) const = default;
};

// The environment the choice depends on, so tests can set it.
struct TBaseEnvironment {
    std::string ExecutableFolder;
    std::string XdgConfigHome; // empty: unset
    std::string Home;          // empty: unset (the password database is asked then)
};

TBaseEnvironment CurrentBaseEnvironment();

TBaseFolder ResolveBaseFolder(const std::string& explicitBase, const TBaseEnvironment& env);

// One line for --help: the folder and why it was chosen.
std::string DescribeBaseFolder(const TBaseFolder& base);

// A base folder without conf/ is new: PrepareBaseFolder fills it.
bool NeedsPreparing(const std::string& base);

// Makes conf/ and log/ when missing, and the settings file with default
// settings when there is none: English texts and the standard port when the
// process may listen on it (root, or a service given the capability), else
// 2121. An existing settings file is never touched. Failures raise
// std::runtime_error naming the folder.
void PrepareBaseFolder(const std::string& base);

// Run as root on a base folder owned by someone else (the service's
// /var/lib/vendrix-ftp), hands the folders and files made under it to that
// owner, so the server can still write them. Does nothing otherwise.
void GiveToBaseOwner(const std::string& base);

} // namespace vendrix::app
