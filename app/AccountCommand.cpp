#include "AccountCommand.h"

#include "AccountEditing.h"
#include "AccountFile.h"
#include "AccountRules.h"
#include "CaseInsensitive.h"
#include "NewAccount.h"
#include "PasswordPrompt.h"
#include "Paths.h"

#include <algorithm>
#include <filesystem>
#include <iostream>

namespace vendrix::app {

namespace {

struct TUserArgs {
    std::string Action;
    std::string Name;
    std::string Home;
    std::optional<std::string> Rights;
    bool Virtual = false;
    bool RequireTls = false;
    bool PasswordStdin = false;
    std::string Error;
};

// Which options each action takes; a name is taken by all but "list".
bool Takes(const std::string& action, const std::string& option) {
    if (action == "add")
        return option == "--home" || option == "--rights" || option == "--virtual" ||
               option == "--require-tls" || option == "--password-stdin";
    if (action == "passwd") return option == "--password-stdin";
    return false;
}

TUserArgs ParseUserArgs(const std::vector<std::string>& args) {
    TUserArgs u;
    static const std::vector<std::string> actions = {"add", "passwd", "list", "show", "del"};
    if (args.empty() || std::find(actions.begin(), actions.end(), args[0]) == actions.end()) {
        u.Error =
            args.empty() ? "user: say add, passwd, list, show or del" : "user: unknown action: " + args[0];
        return u;
    }
    u.Action = args[0];
    std::vector<std::string> words;
    for (std::size_t i = 1; i < args.size() && u.Error.empty(); ++i) {
        const std::string& a = args[i];
        if (a.size() < 2 || a.compare(0, 2, "--") != 0) {
            words.push_back(a);
            continue;
        }
        if (!Takes(u.Action, a)) {
            u.Error = "user " + u.Action + ": unknown option: " + a;
        } else if (a == "--home" || a == "--rights") {
            if (i + 1 >= args.size()) {
                u.Error = "user " + u.Action + ": option " + a + " needs a value";
                break;
            }
            (a == "--home" ? u.Home : u.Rights.emplace()) = args[++i];
        } else if (a == "--virtual") {
            u.Virtual = true;
        } else if (a == "--require-tls") {
            u.RequireTls = true;
        } else {
            u.PasswordStdin = true;
        }
    }
    if (!u.Error.empty()) return u;
    const std::size_t wanted = u.Action == "list" ? 0 : 1;
    if (words.size() != wanted)
        u.Error = wanted == 0 ? "user list takes no name" : "user " + u.Action + ": give one account name";
    else if (wanted == 1)
        u.Name = words[0];
    if (u.Error.empty() && u.Action == "add" && u.Home.empty()) u.Error = "user add: --home DIR is required";
    return u;
}

std::optional<std::string> NewPassword(const TUserArgs& u, const TCommandIo& io) {
    std::optional<std::string> password;
    if (u.PasswordStdin)
        password = ReadPasswordLine(io.In);
    else if (io.AskPassword)
        password = io.AskPassword();
    if (!password) {
        io.Err << "vendrix-ftpd: no password given: type it on a terminal or use --password-stdin\n";
        return std::nullopt;
    }
    if (password->empty()) {
        io.Err << "vendrix-ftpd: the password is empty\n";
        return std::nullopt;
    }
    return password;
}

int Add(config::TAccountFile& file, const TUserArgs& u, const TCommandIo& io) {
    if (!config::IsValidAccountName(u.Name)) {
        io.Err << "vendrix-ftpd: invalid account name: " << u.Name
               << " (empty, or holding one of \\ / : | * ? \" < > [ ] or a control character)\n";
        return 2;
    }
    std::optional<std::string> rights = config::RightsFromLetters(u.Rights.value_or(kDefaultRights));
    if (!rights) {
        io.Err << "vendrix-ftpd: unknown rights letters: " << *u.Rights << " (letters: DUAEMRYSV)\n";
        return 2;
    }
    std::error_code error;
    if (!std::filesystem::is_directory(u.Home, error)) {
        io.Err << "vendrix-ftpd: the home folder does not exist: " << u.Home << "\n";
        return 1;
    }
    config::TIniDocument doc = file.LoadCopy();
    if (std::optional<std::string> existing = FindAccountSection(doc, u.Name)) {
        io.Err << "vendrix-ftpd: the account exists already: " << *existing << "\n";
        return 1;
    }
    std::optional<std::string> password;
    // The anonymous account takes any password.
    if (!config::IsAnonymousName(u.Name) || u.PasswordStdin) {
        password = NewPassword(u, io);
        if (!password) return 1;
    }
    WriteNewAccount(doc, {u.Name, u.Home, *rights, u.Virtual, password, u.RequireTls});
    file.SaveCopy(std::move(doc));
    io.Out << "Account " << u.Name << " added.\n";
    return 0;
}

int Passwd(config::TAccountFile& file, const std::string& section, const TUserArgs& u, const TCommandIo& io) {
    std::optional<std::string> password = NewPassword(u, io);
    if (!password) return 1;
    config::TIniDocument doc = file.LoadCopy();
    config::SetPassword(doc, section, *password);
    file.SaveCopy(std::move(doc));
    io.Out << "Password of " << section << " changed.\n";
    return 0;
}

void Show(const config::TIniDocument& doc, const std::string& section, std::ostream& out) {
    out << "[" << section << "]\n";
    for (const std::string& key : doc.Keys(section)) {
        std::string value = doc.Find(section, key).value_or("");
        // The digest is no secret worth showing either.
        if (config::EqualsNoCase(key, config::AccountKeyDef(config::TAccountKey::Password).Key))
            value = value.empty() ? "(none)" : "(set)";
        out << key << "=" << value << "\n";
    }
}

} // namespace

int RunUserCommand(const std::string& base, const std::vector<std::string>& args, const TCommandIo& io) {
    const TUserArgs u = ParseUserArgs(args);
    if (!u.Error.empty()) {
        io.Err << "vendrix-ftpd: " << u.Error << "\n";
        return 2;
    }
    config::TAccountFile file(config::TPaths(base).UsersFile());
    try {
        if (u.Action == "add") return Add(file, u, io);
        const config::TIniDocument doc = file.LoadCopy();
        if (u.Action == "list") {
            for (const std::string& section : doc.Sections())
                if (!section.empty()) io.Out << section << "\n";
            return 0;
        }
        std::optional<std::string> section = FindAccountSection(doc, u.Name);
        if (!section) {
            io.Err << "vendrix-ftpd: no such account: " << u.Name << "\n";
            return 1;
        }
        if (u.Action == "show") {
            Show(doc, *section, io.Out);
            return 0;
        }
        if (u.Action == "passwd") return Passwd(file, *section, u, io);
        config::TIniDocument copy = doc;
        config::DeleteAccount(copy, *section);
        file.SaveCopy(std::move(copy));
        io.Out << "Account " << *section << " deleted.\n";
        return 0;
    } catch (const std::exception& e) {
        io.Err << "vendrix-ftpd: " << e.what() << "\n";
        return 1;
    }
}

} // namespace vendrix::app
