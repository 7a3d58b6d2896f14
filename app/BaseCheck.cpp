#include "BaseCheck.h"

#include "AccessEntry.h"
#include "Account.h"
#include "AccountRules.h"
#include "AccountTable.h"
#include "CaseInsensitive.h"
#include "CommandLine.h"
#include "InstallPaths.h"
#include "Paths.h"
#include "SettingsTable.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vendrix::app {

namespace {

namespace fs = std::filesystem;

// "Dir7" for prefix "Dir": a numbered list entry.
bool IsListKey(std::string_view key, std::string_view prefix) {
    if (key.size() <= prefix.size() || !config::EqualsNoCase(key.substr(0, prefix.size()), prefix))
        return false;
    return key.substr(prefix.size()).find_first_not_of("0123456789") == std::string_view::npos;
}

bool IsSettingsSection(std::string_view section) {
    for (std::size_t i = 0; i < std::size_t(config::TSetting::Count); ++i)
        if (config::EqualsNoCase(config::SettingDef(config::TSetting(i)).Section, section)) return true;
    for (config::TIpList list : {config::TIpList::Deny, config::TIpList::Allow})
        if (config::EqualsNoCase(config::IpListDef(list).Section, section)) return true;
    return false;
}

bool IsSettingsKey(std::string_view section, std::string_view key) {
    for (std::size_t i = 0; i < std::size_t(config::TSetting::Count); ++i) {
        const config::TKeyDef& def = config::SettingDef(config::TSetting(i));
        if (config::EqualsNoCase(def.Section, section) && config::EqualsNoCase(def.Key, key)) return true;
    }
    for (config::TIpList list : {config::TIpList::Deny, config::TIpList::Allow}) {
        const config::TListDef& def = config::IpListDef(list);
        if (config::EqualsNoCase(def.Section, section) && IsListKey(key, def.Prefix)) return true;
    }
    return false;
}

bool IsAccountKey(std::string_view key) {
    for (std::size_t i = 0; i < std::size_t(config::TAccountKey::Count); ++i)
        if (config::EqualsNoCase(config::AccountKeyDef(config::TAccountKey(i)).Key, key)) return true;
    return IsListKey(key, config::AccessListDef().Prefix);
}

// The document of a file, or why it cannot be had. A missing file is said
// by the caller, which knows whether it matters.
std::optional<config::TIniDocument> ReadDocument(const std::string& path,
                                                 std::vector<std::string>& problems) {
    std::error_code error;
    if (!fs::is_regular_file(path, error)) {
        problems.push_back(path + ": cannot be read: not a file");
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        problems.push_back(path + ": cannot be read: " + std::strerror(errno));
        return std::nullopt;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        problems.push_back(path + ": cannot be read");
        return std::nullopt;
    }
    return config::TIniDocument::Parse(text);
}

// Binding the port as the server would shows whether it is taken or needs
// privileges; the socket is closed at once.
std::string PortProblem(const std::string& port) {
    int number = 0;
    if (port.find_first_not_of("0123456789") == std::string::npos) {
        number = std::stoi(port);
    } else if (const servent* service = getservbyname(port.c_str(), "tcp")) {
        number = ntohs(static_cast<uint16_t>(service->s_port));
    }
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return {};
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(number));
    std::string problem;
    if (bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        if (errno == EADDRINUSE)
            problem = "port " + port + " is taken (by a running server or another program)";
        else
            problem = "port " + port + " cannot be used: " + std::strerror(errno);
    }
    close(fd);
    return problem;
}

void CheckSettings(const std::string& base, std::vector<std::string>& problems) {
    const std::string path = config::TPaths(base).ConfigFile();
    std::error_code error;
    if (!fs::exists(path, error)) {
        problems.push_back(path + ": missing (the server has no port to listen on)");
        return;
    }
    std::optional<config::TIniDocument> doc = ReadDocument(path, problems);
    if (!doc) return;
    for (const std::string& section : doc->Sections()) {
        if (section.empty()) continue;
        if (!IsSettingsSection(section)) {
            problems.push_back(path + ": unknown section [" + section + "]");
            continue;
        }
        for (const std::string& key : doc->Keys(section))
            if (!IsSettingsKey(section, key))
                problems.push_back(path + ": unknown key " + key + " in [" + section + "]");
    }
    const config::TKeyDef& portDef = config::SettingDef(config::TSetting::Port);
    const std::string port = doc->ReadString(portDef.Section, portDef.Key, portDef.Default);
    if (std::string error = PortError(port); !error.empty())
        problems.push_back(path + ": " + error);
    else if (std::string taken = PortProblem(port); !taken.empty())
        problems.push_back(path + ": " + taken);

    const config::TKeyDef& langDef = config::SettingDef(config::TSetting::LangFile);
    std::string language = doc->ReadString(langDef.Section, langDef.Key, "");
    if (language.empty()) language = "english";
    const std::string languageFile = LanguageFolderFor(base) + "/" + language + ".lng";
    if (!fs::is_regular_file(languageFile, error))
        problems.push_back(path + ": language file " + languageFile +
                           " does not exist (the built-in English texts are used)");
}

void CheckAccount(const std::string& path, const config::TIniDocument& doc, const std::string& name,
                  std::vector<std::string>& problems) {
    const std::string where = path + ": account " + name + ": ";
    if (!config::IsValidAccountName(name))
        problems.push_back(where + "the name holds a character the dialog refuses");
    for (const std::string& key : doc.Keys(name))
        if (!IsAccountKey(key)) problems.push_back(where + "unknown key " + key);
    auto read = [&](config::TAccountKey key) {
        return doc.ReadString(name, config::AccountKeyDef(key).Key, config::AccountKeyDef(key).Default);
    };
    std::error_code error;
    const std::string digest = read(config::TAccountKey::Password);
    if (!config::IsAnonymousName(name)) {
        if (digest.empty())
            problems.push_back(where + "no password: nobody can log in");
        else if (digest.size() != 32 || digest.find_first_not_of("0123456789ABCDEF") != std::string::npos)
            problems.push_back(where + "the password is not an upper-case MD5 digest: no password matches");
    }
    const std::string home = read(config::TAccountKey::HomePath);
    if (home.empty())
        problems.push_back(where + "no home folder: logins are refused");
    else if (!fs::is_directory(home, error))
        problems.push_back(where + "the home folder does not exist: " + home);
    const config::TListDef& list = config::AccessListDef();
    for (const std::string& value : doc.ReadList(name, list.Prefix)) {
        const config::TAccessEntry entry = config::ParseAccessEntry(value);
        if (!config::IsWellFormedRights(entry.Rights))
            problems.push_back(where + "malformed rights \"" + entry.Rights + "\" for " + entry.Directory +
                               " (11 places, each one of DUAEMRYSV or _)");
        if (!fs::is_directory(entry.Directory, error))
            problems.push_back(where + "the access entry's folder does not exist: " + entry.Directory);
    }
}

void CheckAccounts(const std::string& base, std::vector<std::string>& problems) {
    const std::string path = config::TPaths(base).UsersFile();
    std::error_code error;
    if (!fs::exists(path, error)) {
        problems.push_back(path + ": missing: nobody can log in (add an account with \"user add\")");
        return;
    }
    std::optional<config::TIniDocument> doc = ReadDocument(path, problems);
    if (!doc) return;
    bool any = false;
    for (const std::string& name : doc->Sections()) {
        if (name.empty()) continue;
        any = true;
        CheckAccount(path, *doc, name, problems);
    }
    if (!any) problems.push_back(path + ": no account: nobody can log in");
}

} // namespace

std::vector<std::string> CheckBaseFolder(const std::string& base) {
    std::vector<std::string> problems;
    CheckSettings(base, problems);
    CheckAccounts(base, problems);
    return problems;
}

} // namespace vendrix::app
