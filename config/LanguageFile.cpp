#include "LanguageFile.h"

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
    return FFile->ReadString(kTextSection, key, "");
}

TLanguageInfo TLanguage::Info() const {
    auto doc = FFile->Load();
    return {doc->ReadString(kInfoSection, "Author", ""), doc->ReadString(kInfoSection, "Home_Page", ""),
            doc->ReadString(kInfoSection, "E-mail", ""), doc->ReadString(kInfoSection, "Last_Modify", ""),
            doc->ReadString(kInfoSection, "LangueVer", "")};
}

TTranslate TLanguage::Hook() const {
    return [this](std::string_view key) { return Translate(key); };
}

} // namespace vendrix::config
