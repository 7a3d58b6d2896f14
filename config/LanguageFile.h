// The current language file "lng/NAME.lng": texts by key from its section
// "LANGFILE" and the translator's notes from its section "INFO". A changed or
// replaced file counts from the next lookup; an unchanged one is not parsed
// again. A text the file lacks (or a missing file) is taken from the English
// texts built into the program; a key neither knows gives an empty text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "IniFile.h"
#include "SettingsFile.h"
#include "Translate.h"

namespace vendrix::config {

inline constexpr std::string_view kDefaultLanguage = "english";
// The language file format this program is written for.
inline constexpr std::string_view kLanguageFormat = "1.10";

struct TLanguageInfo {
    std::string Author;
    std::string HomePage;
    std::string Email;
    std::string LastModify;
    std::string FormatVersion; // "LangueVer"
};

class TLanguage {
public:
    explicit TLanguage(std::string languageFolder);

    // Takes the language named by "LANGFILE" in the settings; empty means
    // "english". The name stays current until the next Load.
    void Load(const TSettings& settings);
    // A name holding "/" would reach outside the language folder and is
    // taken as "english" as well.
    void SetName(std::string_view name);
    const std::string& Name() const { return FName; }
    std::string FilePath() const;

    std::string Translate(std::string_view key) const;
    TLanguageInfo Info() const;

    // The lookup as a plain function, for code that takes any source of
    // texts (the controller, tests). The hook refers to this object, which
    // must outlive it.
    TTranslate Hook() const;

private:
    std::string FFolder;
    std::string FName;
    std::optional<TIniFile> FFile;
};

} // namespace vendrix::config
