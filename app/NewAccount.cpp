#include "NewAccount.h"

#include "AccessEntry.h"
#include "AccountEditing.h"
#include "CaseInsensitive.h"
#include "CommandLine.h"

namespace vendrix::app {

void WriteNewAccount(config::TIniDocument& doc, const TNewAccount& account) {
    const std::string home = FolderPath(account.Home);
    config::WriteAccountString(doc, account.Name, config::TAccountKey::HomePath, home);
    if (account.Password) config::SetPassword(doc, account.Name, *account.Password);
    config::WriteAccountBool(doc, account.Name, config::TAccountKey::VirtualDir, account.Virtual);
    if (account.RequireTls)
        config::WriteAccountBool(doc, account.Name, config::TAccountKey::RequireTLS, true);
    config::WriteAccessEntries(doc, account.Name,
                               {config::TAccessEntry{home, account.Rights, std::string()}});
}

std::optional<std::string> FindAccountSection(const config::TIniDocument& doc, const std::string& name) {
    for (const std::string& section : doc.Sections())
        if (!section.empty() && config::EqualsNoCase(section, name)) return section;
    return std::nullopt;
}

} // namespace vendrix::app
