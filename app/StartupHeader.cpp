#include "StartupHeader.h"

#include "Version.h"

namespace vendrix::app {

bool IsOldLanguageFormat(std::string_view version) {
    return version < config::kLanguageFormat;
}

std::vector<THeaderLine> StartupHeaderLines(const config::TLanguage& language) {
    config::TLanguageInfo info = language.Info();
    std::vector<THeaderLine> lines = {
        {config::FormatText(language.Translate("sVersion"), {config::kProgramVersion})},
        {language.Translate("sVersion2")},
        {""},
        {"#Traduction par: " + info.Author},
        {"#Home Page: " + info.HomePage},
        {"#Email: " + info.Email},
        {"#Last Modif: " + info.LastModify},
    };
    if (IsOldLanguageFormat(info.FormatVersion)) {
        // In the language in use: its own file when it has the text, else
        // the built-in English.
        lines.push_back({language.Translate("sOldLangFile"), true});
        lines.push_back({""}); // the line break that ends the warning
    }
    lines.push_back({""});
    return lines;
}

} // namespace vendrix::app
