#include "FirstRunSetup.h"

#include "AccountFile.h"
#include "AccountRules.h"
#include "CommandLine.h"
#include "NewAccount.h"
#include "Paths.h"
#include "SettingsFile.h"

#include <filesystem>

namespace vendrix::app {

namespace {

constexpr const char* kAnonymousRights = "DS";
constexpr const char* kOwnerRights = "DUEMRYS";

} // namespace

bool NeedsFirstRun(const std::string& base) {
    const config::TAccountFile accounts(config::TPaths(base).UsersFile());
    for (const std::string& name : accounts.AccountNames())
        if (!name.empty()) return false;
    return true;
}

std::string FirstRunError(const TFirstRunChoice& choice) {
    std::error_code error;
    if (choice.Folder.empty() || !std::filesystem::is_directory(choice.Folder, error)) return "sHomeDirInv";
    if (!choice.Anonymous) {
        if (!config::IsValidAccountName(choice.Name) || config::IsAnonymousName(choice.Name))
            return "sInvalidCarac";
        if (choice.Password.empty()) return "sFirstNoPass";
    }
    if (!PortError(choice.Port).empty()) return "sFirstBadPort";
    return {};
}

void ApplyFirstRun(const std::string& base, const TFirstRunChoice& choice) {
    const config::TPaths paths(base);
    config::TAccountFile accounts(paths.UsersFile());
    config::TIniDocument doc = accounts.LoadCopy();
    TNewAccount account{choice.Anonymous ? "anonymous" : choice.Name, choice.Folder,
                        *config::RightsFromLetters(choice.Anonymous ? kAnonymousRights : kOwnerRights), true,
                        std::nullopt};
    if (!choice.Anonymous) account.Password = choice.Password;
    if (std::optional<std::string> existing = FindAccountSection(doc, account.Name)) account.Name = *existing;
    WriteNewAccount(doc, account);
    accounts.SaveCopy(std::move(doc));
    config::TSettingsFile(paths.ConfigFile()).WriteString(config::TSetting::Port, choice.Port);
}

} // namespace vendrix::app
