#include "LanguageFile.h"

#include "BuiltinLanguage.h"

#include <filesystem>

namespace vendrix::config {

namespace {

constexpr std::string_view kTextSection = "LANGFILE";
constexpr std::string_view kInfoSection = "INFO";

} // namespace

TLanguage::TLanguage(std::string languageFolder) : FFolder(std::move(languageFolder)) {
    SetName(kDefaultLanguage);
}

void TLanguage::Load(const TSettings& settings) {
    SetName(settings.ReadString(TSetting::LangFile));
}

void TLanguage::SetName(std::string_view name) {
    if (name.empty() || name.find('/') != std::string_view::npos) name = kDefaultLanguage;
    FName = std::string(name);
    FFile.emplace(FilePath());
}

std::string TLanguage::FilePath() const {
    return FFolder + "/" + FName + ".lng";
}

std::string TLanguage::Translate(std::string_view key) const {
    std::string text = FFile->ReadString(kTextSection, key, "");
    if (!text.empty()) return text;
    return std::string(BuiltinEnglish().ReadString(kTextSection, key, ""));
}

TLanguageInfo TLanguage::Info() const {
    // Without a file the texts are the built-in ones, and so is their
    // description; a file without an "INFO" section describes itself.
    std::error_code error;
    const bool missing = !std::filesystem::is_regular_file(FilePath(), error);
    std::shared_ptr<const TIniDocument> doc =
        missing ? std::make_shared<const TIniDocument>(BuiltinEnglish()) : FFile->Load();
    return {doc->ReadString(kInfoSection, "Author", ""), doc->ReadString(kInfoSection, "Home_Page", ""),
            doc->ReadString(kInfoSection, "E-mail", ""), doc->ReadString(kInfoSection, "Last_Modify", ""),
            doc->ReadString(kInfoSection, "LangueVer", "")};
}

TTranslate TLanguage::Hook() const {
    return [this](std::string_view key) { return Translate(key); };
}

} // namespace vendrix::config
