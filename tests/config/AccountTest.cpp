#include <gtest/gtest.h>

#include "AccountEditing.h"
#include "AccountFile.h"
#include "Md5.h"
#include "OutsideEdit.h"
#include "TempFolder.h"

using namespace vendrix::config;
using vendrix::testing::ReadText;
using vendrix::testing::TTempFolder;
using vendrix::testing::WaitForRecheck;
using vendrix::testing::WriteText;

namespace {

TAccount AccountIn(const std::string& text, const std::string& name) {
    return TAccount(std::make_shared<const TIniDocument>(TIniDocument::Parse(text)), name);
}

TEST(AccountTest, Md5OfRfc1321TestSuite) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "D41D8CD98F00B204E9800998ECF8427E"},
        {"a", "0CC175B9C0F1B6A831C399E269772661"},
        {"abc", "900150983CD24FB0D6963F7D28E17F72"},
        {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57EDF4A22BE3C955AC49DA2E2107B67A"},
    };
    for (const auto& [input, digest] : cases)
        EXPECT_EQ(Md5Hex(input), digest) << input;
}

TEST(AccountTest, PasswordComparedAsUpperCaseDigest) {
    struct TCase {
        const char* Name;
        std::string Section;
        const char* Password;
        bool Matches;
    };
    const TCase cases[] = {
        {"upper-case digest", "Password=900150983CD24FB0D6963F7D28E17F72\n", "abc", true},
        {"quoted digest", "Password=\"900150983CD24FB0D6963F7D28E17F72\"\n", "abc", true},
        {"lower-case digest refused", "Password=900150983cd24fb0d6963f7d28e17f72\n", "abc", false},
        {"wrong password", "Password=900150983CD24FB0D6963F7D28E17F72\n", "abd", false},
        {"password case matters", "Password=900150983CD24FB0D6963F7D28E17F72\n", "ABC", false},
        {"no Password key", "HomePath=/srv\n", "", false},
        {"empty Password", "Password=\n", "", false},
        {"plain text stored", "Password=abc\n", "abc", false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(AccountIn("[bob]\n" + c.Section, "BOB").PasswordMatches(c.Password), c.Matches);
    }
}

TEST(AccountTest, KeysWithDefaultsAndCaseInsensitiveNames) {
    TAccount bob = AccountIn("[Bob]\nhomepath=/srv/bob/\nTIME-OUT=5\nMaxSpeed=fast\nVirtualDir=1\n"
                             "TotalDownload=5000000000\nQuota=0x10\n",
                             "bOB");
    EXPECT_TRUE(bob.Exists());
    EXPECT_EQ(bob.ReadString(TAccountKey::HomePath), "/srv/bob/");
    EXPECT_EQ(bob.ReadInteger(TAccountKey::TimeOut), 5);
    EXPECT_EQ(bob.ReadInteger(TAccountKey::MaxSpeed), 0);
    EXPECT_EQ(bob.ReadInteger(TAccountKey::MaxUserIP), 0);
    EXPECT_TRUE(bob.ReadBool(TAccountKey::VirtualDir));
    EXPECT_FALSE(bob.ReadBool(TAccountKey::UserDisable));
    EXPECT_FALSE(bob.ReadBool(TAccountKey::Ratio));
    EXPECT_EQ(bob.ReadInt64(TAccountKey::TotalDownload), 5000000000);
    EXPECT_EQ(bob.ReadInt64(TAccountKey::TotalUpload), 0);
    EXPECT_EQ(bob.ReadInt64(TAccountKey::Quota), 16);

    TAccount nobody = AccountIn("[Bob]\n", "carl");
    EXPECT_FALSE(nobody.Exists());
    EXPECT_EQ(nobody.ReadString(TAccountKey::HomePath), "");
    EXPECT_TRUE(IsAnonymousName("anonymous"));
    EXPECT_TRUE(IsAnonymousName("AnonyMous"));
    EXPECT_FALSE(IsAnonymousName("anonymous2"));
}

TEST(AccountTest, AccessFieldsSplitOnBarWithoutAnEmptyLastField) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"/srv/ftp/|D_______S__|", {"/srv/ftp/", "D_______S__"}},
        {"/srv/ftp/|___________|", {"/srv/ftp/", "___________"}},
        {"/srv/x/|DU_____YSV_|pub", {"/srv/x/", "DU_____YSV_", "pub"}},
        {"/srv/x/||", {"/srv/x/", ""}},
        {"|x", {"", "x"}},
        {"/srv/x/", {"/srv/x/"}},
        {"", {}},
    };
    for (const auto& [value, fields] : cases)
        EXPECT_EQ(SplitAccessFields(value), fields) << value;

    EXPECT_EQ(ParseAccessEntry("/srv/ftp/|___________|").LinkName, std::nullopt);
    EXPECT_EQ(ParseAccessEntry("/srv/x/|DU_____YSV_|pub").LinkName, "pub");
    EXPECT_EQ(ParseAccessEntry("/srv/x/|DU_____YSV_|").LinkName, std::nullopt);
}

TEST(AccountTest, RightsLettersCountAnywhereInTheField) {
    struct TCase {
        const char* Rights;
        const char* Given;
        const char* NotGiven;
    };
    const TCase cases[] = {
        {"D_______S__", "DS", "UAEMRYV"}, {"SD_________", "DS", "UAEMRYV"}, {"________D_S", "DS", "UAEMRYV"},
        {"DUAEMRY_SV_", "DUAEMRYSV", ""}, {"___________", "", "DUAEMRYSV"}, {"", "", "DUAEMRYSV"},
    };
    for (const TCase& c : cases) {
        TAccessEntry entry = ParseAccessEntry(std::string("/d/|") + c.Rights + "|");
        for (const char* letter = c.Given; *letter; ++letter)
            EXPECT_TRUE(entry.Has(*letter)) << c.Rights << " " << *letter;
        for (const char* letter = c.NotGiven; *letter; ++letter)
            EXPECT_FALSE(entry.Has(*letter)) << c.Rights << " " << *letter;
    }
    EXPECT_EQ(MakeRights("SD"), "D_______S__");
    EXPECT_EQ(MakeRights("VSYRMEAUD"), "DUAEMRY_SV_");
    EXPECT_EQ(FormatAccessEntry({"/srv/", "D__________", std::nullopt}), "/srv/|D__________|");
}

TEST(AccountTest, AccessEntriesStopAtTheFirstGap) {
    EXPECT_TRUE(AccountIn("[bob]\nDir1=/a/|D__________|\n", "bob").AccessEntries().empty());
    std::vector<TAccessEntry> entries =
        AccountIn("[bob]\nDir0=/a/|D__________|\nDir1=/b/|_U_________|x\nDir3=/c/|D__________|\n", "bob")
            .AccessEntries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1], (TAccessEntry{"/b/", "_U_________", "x"}));
}

TEST(AccountTest, DialogCopyRenamesCopiesAndDeletesWholeAccounts) {
    TIniDocument doc =
        TIniDocument::Parse("[bob]\nPassword=AB\nDir0=/a/|D__________|\n\n[ann]\nHomePath=/h/\n");
    CopyAccount(doc, "BOB", "carl");
    RenameAccount(doc, "ann", "Anna");
    RenameAccount(doc, "carl", "CARL");
    DeleteAccount(doc, "Bob");
    SetPassword(doc, "Anna", "abc");
    WriteAccessEntries(doc, "anna", {{"/x/", MakeRights("D"), "link"}, {"/y/", std::string(kNoRights), {}}});
    WriteAccountBool(doc, "anna", TAccountKey::Ratio, true);
    DeleteAccountKey(doc, "anna", TAccountKey::Ratio);
    EXPECT_EQ(doc.Serialize(), "[CARL]\nPassword=AB\nDir0=/a/|D__________|\n\n"
                               "[Anna]\nHomePath=/h/\nPassword=900150983CD24FB0D6963F7D28E17F72\n"
                               "Dir0=/x/|D__________|link\nDir1=/y/|___________|\n");
}

TEST(AccountTest, TotalsAre64BitAndNeverRecreateADeletedAccount) {
    TTempFolder folder;
    std::string path = folder.File("users.ini");
    WriteText(path, "[Bob]\nHomePath=/srv/\n");
    TAccountFile file(path);
    file.WriteTotals("BOB", 5000000000, 7);
    EXPECT_EQ(ReadText(path), "[Bob]\nHomePath=/srv/\nTotalDownload=5000000000\nTotalUpload=7\n");
    EXPECT_EQ(file.Account("bob").ReadInt64(TAccountKey::TotalDownload), 5000000000);

    file.WriteTotalUpload("gone", 9);
    EXPECT_FALSE(file.Account("gone").Exists());
    EXPECT_EQ(file.AccountNames(), std::vector<std::string>{"Bob"});
}

TEST(AccountTest, DialogSaveKeepsTotalsWrittenMeanwhile) {
    TTempFolder folder;
    std::string path = folder.File("users.ini");
    WriteText(path, "[bob]\nHomePath=/old/\nTotalDownload=10\nTotalUpload=1\n");
    TAccountFile file(path);
    TIniDocument copy = file.LoadCopy();

    file.WriteTotals("bob", 25, 3); // a session ends while the dialog is open
    WriteAccountString(copy, "bob", TAccountKey::HomePath, "/new/");
    copy.WriteString("ann", "HomePath", "/ann/");
    file.SaveCopy(copy);

    EXPECT_EQ(ReadText(path),
              "[bob]\nHomePath=/new/\nTotalDownload=25\nTotalUpload=3\n\n[ann]\nHomePath=/ann/\n");
}

TEST(AccountTest, OutsideEditOfTheAccountFileIsSeenAtTheNextRead) {
    TTempFolder folder;
    std::string path = folder.File("users.ini");
    WriteText(path, "[bob]\nUserDisable=0\n");
    TAccountFile file(path);
    EXPECT_FALSE(file.Account("bob").ReadBool(TAccountKey::UserDisable));
    WriteText(path, "[bob]\nUserDisable=1\n");
    WaitForRecheck();
    EXPECT_TRUE(file.Account("bob").ReadBool(TAccountKey::UserDisable));
}

} // namespace
