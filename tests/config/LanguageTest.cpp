#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <tuple>

#include "IniDocument.h"
#include "LanguageFile.h"
#include "LanguageKeys.h"
#include "LanguageList.h"
#include "OutsideEdit.h"
#include "TempFolder.h"

using namespace vendrix::config;
using vendrix::config::TIniDocument;
using vendrix::config::TSettings;
using vendrix::testing::ReadText;
using vendrix::testing::TTempFolder;
using vendrix::testing::WaitForRecheck;
using vendrix::testing::WriteText;

namespace {

TSettings SettingsOf(const std::string& text) {
    return TSettings(std::make_shared<const TIniDocument>(TIniDocument::Parse(text)));
}

std::string LanguageText(const std::string& version, const std::string& hello) {
    return "[INFO]\nAuthor=Ann\nHome_Page=example.org\nE-mail=ann@example.org\nLast_Modify="
           "today\nLangueVer=" +
           version + "\n[LANGFILE]\nsHello=" + hello + "\nsVersion=Server %s\nsVersion2=Second line\n";
}

TEST(LanguageTest, CurrentLanguageFromSettings) {
    TTempFolder folder;
    WriteText(folder.File("english.lng"), LanguageText("1.10", "Hello"));
    WriteText(folder.File("francais.lng"), LanguageText("1.10", "Bonjour"));
    TLanguage language(folder.Path());

    const std::pair<const char*, const char*> cases[] = {
        {"", "Hello"},
        {"[Setup]\nLangFile=\n", "Hello"},
        {"[setup]\nlangfile=francais\n", "Bonjour"},
        {"[Setup]\nLANGFILE=\"francais\"\n", "Bonjour"},
        {"[Setup]\nLangFile=klingon\n", ""},
        {"[Setup]\nLangFile=../english\n", "Hello"},
    };
    for (const auto& [settings, hello] : cases) {
        language.Load(SettingsOf(settings));
        EXPECT_EQ(language.Translate("SHELLO"), hello) << settings;
    }
    language.SetName("english");
    EXPECT_EQ(language.Translate("sMissing"), "");
    EXPECT_EQ(language.Hook()("shello"), "Hello");
}

TEST(LanguageTest, ReplacedFileChangesTheNextLookup) {
    TTempFolder folder;
    std::string path = folder.File("english.lng");
    WriteText(path, LanguageText("1.10", "Hello"));
    TLanguage language(folder.Path());
    EXPECT_EQ(language.Translate("sHello"), "Hello");
    WriteText(path + ".new", LanguageText("1.10", "Good day"));
    std::filesystem::rename(path + ".new", path);
    WaitForRecheck();
    EXPECT_EQ(language.Translate("sHello"), "Good day");
    std::filesystem::remove(path);
    WaitForRecheck();
    EXPECT_EQ(language.Translate("sHello"), "");
}

TEST(LanguageTest, LanguagesOfferedByFileName) {
    TTempFolder folder;
    for (const char* name : {"francais.lng", "english.lng", "notes.txt", "deutsch.LNG.bak"})
        WriteText(folder.File(name), "");
    EXPECT_EQ(ListLanguages(folder.Path()), (std::vector<std::string>{"english", "francais"}));
    EXPECT_TRUE(ListLanguages(folder.File("none")).empty());
}

int Places(const std::string& text) {
    int count = 0;
    for (std::size_t at = text.find("%s"); at != std::string::npos; at = text.find("%s", at + 2))
        ++count;
    return count;
}

// Lines holding a key, "INFO" ones included.
std::size_t KeyLines(const std::string& text) {
    std::size_t count = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line[0] != ';' && line[0] != '[' && line.find('=') != std::string::npos) ++count;
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return count;
}

TEST(LanguageTest, ShippedFilesDefineEveryKeyWithItsPlaces) {
    std::set<std::string> english;
    for (const char* name : {"english", "francais"}) {
        SCOPED_TRACE(name);
        TIniDocument doc =
            TIniDocument::Parse(ReadText(std::string(VENDRIX_LANGUAGE_FOLDER) + "/" + name + ".lng"));
        for (const TLanguageKey& key : LanguageKeys()) {
            std::optional<std::string> text = doc.Find("LANGFILE", key.Key);
            ASSERT_TRUE(text && !text->empty()) << key.Key;
            EXPECT_EQ(Places(*text), key.Places) << key.Key;
        }
        EXPECT_EQ(doc.ReadString("INFO", "LangueVer", ""), kLanguageFormat);
        std::set<std::string> upper;
        for (const std::string& key : doc.Keys("LANGFILE"))
            upper.insert(vendrix::config::UpperCase(key));
        EXPECT_EQ(KeyLines(ReadText(std::string(VENDRIX_LANGUAGE_FOLDER) + "/" + name + ".lng")),
                  upper.size() + 5)
            << "a key defined twice";
        if (english.empty())
            english = upper;
        else
            EXPECT_EQ(upper, english);
    }
}

} // namespace

TEST(LanguageTest, MissingTextsComeFromTheBuiltinEnglish) {
    TTempFolder folder;
    WriteText(folder.File("partial.lng"), "[LANGFILE]\nsStart=Los\nsStop=\n");
    TLanguage language(folder.Path());
    const std::tuple<const char*, const char*, const char*> cases[] = {
        // language, key, text
        {"partial", "sStart", "Los"},
        {"partial", "sStop", "Stop"},
        {"partial", "sNotStart", "The server is not running."},
        {"partial", "sNoSuchKey", ""},
        {"missing", "sStart", "Start"},
    };
    for (const auto& [name, key, text] : cases) {
        language.SetName(name);
        EXPECT_EQ(language.Translate(key), text) << name << " " << key;
    }
    // A missing file is described by the built-in texts; a file without
    // "INFO" by itself (and is then taken as old).
    language.SetName("missing");
    EXPECT_EQ(language.Info().FormatVersion, kLanguageFormat);
    language.SetName("partial");
    EXPECT_EQ(language.Info().FormatVersion, "");
}
