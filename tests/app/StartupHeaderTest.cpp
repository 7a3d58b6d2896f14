#include <gtest/gtest.h>

#include "LanguageFile.h"
#include "OutsideEdit.h"
#include "StartupHeader.h"
#include "TempFolder.h"

using namespace vendrix::app;
using vendrix::config::TLanguage;
using vendrix::testing::TTempFolder;
using vendrix::testing::WaitForRecheck;
using vendrix::testing::WriteText;

namespace {

std::string LanguageText(const std::string& version, const std::string& hello) {
    return "[INFO]\nAuthor=Ann\nHome_Page=example.org\nE-mail=ann@example.org\nLast_Modify="
           "today\nLangueVer=" +
           version + "\n[LANGFILE]\nsHello=" + hello + "\nsVersion=Server %s\nsVersion2=Second line\n";
}

} // namespace

TEST(StartupHeaderTest, StartupHeaderWarnsAboutOldFiles) {
    const std::pair<const char*, bool> cases[] = {
        {"1.09", true}, {"", true}, {"1.1", true}, {"1.10", false}, {"1.2", false}, {"2.0", false},
    };
    for (const auto& [version, old] : cases)
        EXPECT_EQ(IsOldLanguageFormat(version), old) << version;

    TTempFolder folder;
    WriteText(folder.File("english.lng"), LanguageText("1.09", "Hello"));
    TLanguage language(folder.Path());
    const std::vector<THeaderLine> expected = {
        {"Server 1.50 Alpha 2"},
        {"Second line"},
        {""},
        {"#Traduction par: Ann"},
        {"#Home Page: example.org"},
        {"#Email: ann@example.org"},
        {"#Last Modif: today"},
        {"#Your language file is old: some texts may not be translated.", true},
        {""},
        {""},
    };
    EXPECT_EQ(StartupHeaderLines(language), expected);

    WriteText(folder.File("english.lng"), LanguageText("1.10", "Hello"));
    WaitForRecheck();
    std::vector<THeaderLine> current(expected.begin(), expected.begin() + 7);
    current.push_back({""});
    EXPECT_EQ(StartupHeaderLines(language), current);
}
