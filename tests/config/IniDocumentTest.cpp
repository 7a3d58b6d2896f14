#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

#include "IniDocument.h"

using vendrix::config::TIniDocument;

namespace {

enum class TKind { String, Integer, Int64, Bool };

struct TReadCase {
    const char* Name;
    std::string File;
    const char* Section;
    const char* Key;
    TKind Kind;
    std::string Default;
    std::string Expected;
};

std::string Read(const TIniDocument& doc, const TReadCase& c) {
    switch (c.Kind) {
    case TKind::String:
        return doc.ReadString(c.Section, c.Key, c.Default);
    case TKind::Integer:
        return std::to_string(doc.ReadInteger(c.Section, c.Key, std::stoi(c.Default)));
    case TKind::Int64:
        return std::to_string(doc.ReadInt64(c.Section, c.Key, std::stoll(c.Default)));
    case TKind::Bool:
        return doc.ReadBool(c.Section, c.Key, c.Default == "1") ? "1" : "0";
    }
    return {};
}

const TReadCase kReadCases[] = {
    {"lower-case names found by mixed-case reader", "[setup]\nlangfile=francais\n", "Setup", "LANGFILE",
     TKind::String, "", "francais"},
    {"blanks around name and value", "  [ Setup ]  \n  Port  =   2121   \n", "SETUP", "port", TKind::String,
     "", "2121"},
    {"double quotes removed", "[s]\nk=\"  quoted value \"\n", "s", "k", TKind::String, "", "  quoted value "},
    {"single quotes removed", "[s]\nk = 'x' \n", "s", "k", TKind::String, "", "x"},
    {"only one pair removed", "[s]\nk=\"\"x\"\"\n", "s", "k", TKind::String, "", "\"x\""},
    {"unmatched quotes kept", "[s]\nk=\"x'\n", "s", "k", TKind::String, "", "\"x'"},
    {"lone quote kept", "[s]\nk=\"\n", "s", "k", TKind::String, "", "\""},
    {"equals sign inside value", "[s]\nk=a=b\n", "s", "k", TKind::String, "", "a=b"},
    {"value cut at 2047 characters", "[s]\nk=" + std::string(3000, 'v') + "\n", "s", "k", TKind::String, "",
     std::string(2047, 'v')},
    {"CR LF line ends", "[s]\r\nk=v\r\nj=w\r\n", "s", "j", TKind::String, "", "w"},
    {"byte order mark before first section", "\xEF\xBB\xBF[s]\nk=v\n", "s", "k", TKind::String, "", "v"},
    {"first of two equal keys", "[s]\nk=1\nK=2\n", "s", "k", TKind::String, "", "1"},
    {"first of two equal sections", "[s]\nk=1\n[S]\nk=2\nj=3\n", "s", "j", TKind::String, "-", "-"},
    {"key before any section is not found", "k=1\n[s]\n", "", "k", TKind::String, "-", "-"},
    {"comment is no key", "[s]\n;k=1\n", "s", ";k", TKind::String, "-", "-"},
    {"missing section gives default", "[s]\nk=1\n", "t", "k", TKind::String, "def", "def"},
    {"missing key gives default", "[s]\nk=1\n", "s", "j", TKind::String, "def", "def"},
    {"empty value is a value", "[s]\nk=\n", "s", "k", TKind::String, "def", ""},
    {"decimal", "[s]\nk=42\n", "s", "k", TKind::Integer, "7", "42"},
    {"negative", "[s]\nk= -12 \n", "s", "k", TKind::Integer, "7", "-12"},
    {"plus sign", "[s]\nk=+5\n", "s", "k", TKind::Integer, "7", "5"},
    {"hexadecimal", "[s]\nk=0x1F\n", "s", "k", TKind::Integer, "7", "31"},
    {"hexadecimal upper X", "[s]\nk=0X1f\n", "s", "k", TKind::Integer, "7", "31"},
    {"quoted integer", "[s]\nk=\"21\"\n", "s", "k", TKind::Integer, "7", "21"},
    {"trailing garbage", "[s]\nk=12abc\n", "s", "k", TKind::Integer, "7", "7"},
    {"bare 0x", "[s]\nk=0x\n", "s", "k", TKind::Integer, "7", "7"},
    {"bad hexadecimal digit", "[s]\nk=0x1G\n", "s", "k", TKind::Integer, "7", "7"},
    {"empty integer", "[s]\nk=\n", "s", "k", TKind::Integer, "7", "7"},
    {"beyond 32 bits", "[s]\nk=4294967296\n", "s", "k", TKind::Integer, "7", "7"},
    {"beyond 32 bits as 64-bit", "[s]\nk=5000000000\n", "s", "k", TKind::Int64, "7", "5000000000"},
    {"beyond 64 bits", "[s]\nk=99999999999999999999\n", "s", "k", TKind::Int64, "7", "7"},
    {"boolean 1", "[s]\nk=1\n", "s", "k", TKind::Bool, "0", "1"},
    {"boolean 0", "[s]\nk=0\n", "s", "k", TKind::Bool, "1", "0"},
    {"any non-zero is true", "[s]\nk=-3\n", "s", "k", TKind::Bool, "0", "1"},
    {"hexadecimal boolean", "[s]\nk=0x10\n", "s", "k", TKind::Bool, "0", "1"},
    {"word is no boolean", "[s]\nk=true\n", "s", "k", TKind::Bool, "0", "0"},
    {"missing boolean", "[s]\n", "s", "k", TKind::Bool, "1", "1"},
};

TEST(IniDocumentTest, ReadsByTheFileRules) {
    for (const TReadCase& c : kReadCases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(Read(TIniDocument::Parse(c.File), c), c.Expected);
    }
}

struct TListCase {
    const char* Name;
    std::string File;
    std::vector<std::string> Expected;
};

TEST(IniDocumentTest, ListsEndAtTheFirstMissingOrEmptyKey) {
    const TListCase cases[] = {
        {"contiguous", "[u]\nDir0=a\nDIR1=b\ndir2=c\n", {"a", "b", "c"}},
        {"gap hides the rest", "[u]\nDir0=a\nDir2=c\n", {"a"}},
        {"missing first hides all", "[u]\nDir1=b\nDir2=c\n", {}},
        {"empty entry ends the list", "[u]\nDir0=a\nDir1=\nDir2=c\n", {"a"}},
        {"quoted empty entry ends the list", "[u]\nDir0=a\nDir1=\"\"\nDir2=c\n", {"a"}},
        {"no section", "", {}},
    };
    for (const TListCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(TIniDocument::Parse(c.File).ReadList("U", "Dir"), c.Expected);
    }
}

struct TWriteCase {
    const char* Name;
    std::string Before;
    std::function<void(TIniDocument&)> Edit;
    std::string After;
};

TEST(IniDocumentTest, WritesChangeOnlyTheirLines) {
    const TWriteCase cases[] = {
        {"replace keeps comments, blanks and order",
         "; top comment\n[Setup]\nPort=21\n; note\nMaxUser=5\n\n[Other]\nx=1\n",
         [](TIniDocument& d) { d.WriteString("SETUP", "port", "2121"); },
         "; top comment\n[Setup]\nPort=2121\n; note\nMaxUser=5\n\n[Other]\nx=1\n"},
        {"new key goes behind the section's last key, before the blank line", "[a]\nx=1\n\n[b]\ny=2\n",
         [](TIniDocument& d) { d.WriteString("A", "z", "3"); }, "[a]\nx=1\nz=3\n\n[b]\ny=2\n"},
        {"new section at the end", "[a]\nx=1\n", [](TIniDocument& d) { d.WriteString("Window", "Top", "5"); },
         "[a]\nx=1\n\n[Window]\nTop=5\n"},
        {"new section in an empty file", "", [](TIniDocument& d) { d.WriteInteger("Setup", "MaxUser", -3); },
         "[Setup]\nMaxUser=-3\n"},
        {"booleans as 1 and 0", "[s]\n",
         [](TIniDocument& d) {
             d.WriteBool("s", "a", true);
             d.WriteBool("s", "b", false);
         },
         "[s]\na=1\nb=0\n"},
        {"64-bit integer", "", [](TIniDocument& d) { d.WriteInteger("u", "TotalDownload", 5000000000); },
         "[u]\nTotalDownload=5000000000\n"},
        {"erase section removes every occurrence", "[a]\nx=1\n[IP Deny]\nIP0=1.*\n[b]\n[ip deny]\nIP0=2\n",
         [](TIniDocument& d) { d.EraseSection("IP DENY"); }, "[a]\nx=1\n[b]\n"},
        {"delete key", "[a]\nx=1\ny=2\n", [](TIniDocument& d) { d.DeleteKey("A", "X"); }, "[a]\ny=2\n"},
        {"list rewritten in place, extra entries removed, also past a gap",
         "[u]\nPassword=P\nDir0=a\nDir1=b\nHomePath=h\nDir2=c\nDir4=e\nDirX=keep\n",
         [](TIniDocument& d) {
             d.WriteList("u", "Dir", {"A", "B"});
         },
         "[u]\nPassword=P\nDir0=A\nDir1=B\nHomePath=h\nDirX=keep\n"},
        {"list grows behind the last key", "[u]\nDir0=a\nHomePath=h\n",
         [](TIniDocument& d) {
             d.WriteList("u", "Dir", {"a", "b"});
         },
         "[u]\nDir0=a\nHomePath=h\nDir1=b\n"},
        {"empty list entries left out", "",
         [](TIniDocument& d) {
             d.WriteList("IP Allow", "IP", {"1.2.3.4", "", "10.*"});
         },
         "[IP Allow]\nIP0=1.2.3.4\nIP1=10.*\n"},
        {"CR LF and byte order mark kept", "\xEF\xBB\xBF[s]\r\nk=1\r\n",
         [](TIniDocument& d) { d.WriteString("s", "j", "2"); }, "\xEF\xBB\xBF[s]\r\nk=1\r\nj=2\r\n"},
        {"copy keeps stored text exactly", "[bob]\nPassword=ABC\nHomePath=\" /srv/x \"\n",
         [](TIniDocument& d) { d.CopySection("BOB", "Ann"); },
         "[bob]\nPassword=ABC\nHomePath=\" /srv/x \"\n\n[Ann]\nPassword=ABC\nHomePath=\" /srv/x \"\n"},
        {"rename copies then removes", "[bob]\nk=1\n\n[x]\n",
         [](TIniDocument& d) { d.RenameSection("Bob", "ann"); }, "[x]\n\n[ann]\nk=1\n"},
        {"rename changing only the case keeps the keys", "[bob]\nk=1\n",
         [](TIniDocument& d) { d.RenameSection("bob", "Bob"); }, "[Bob]\nk=1\n"},
    };
    for (const TWriteCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TIniDocument doc = TIniDocument::Parse(c.Before);
        c.Edit(doc);
        EXPECT_EQ(doc.Serialize(), c.After);
        EXPECT_EQ(TIniDocument::Parse(doc.Serialize()).Serialize(), c.After);
    }
}

TEST(IniDocumentTest, RefusesWritesThatWouldCorruptTheFile) {
    const std::function<void(TIniDocument&)> edits[] = {
        [](TIniDocument& d) { d.WriteString("s", "k", "a\nPassword=x"); },
        [](TIniDocument& d) { d.WriteString("s", "k", "a\rb"); },
        [](TIniDocument& d) { d.WriteString("s", "k=j", "v"); },
        [](TIniDocument& d) { d.WriteString("s", "", "v"); },
        [](TIniDocument& d) { d.WriteString("s]x", "k", "v"); },
        [](TIniDocument& d) { d.WriteString("s\n[t", "k", "v"); },
    };
    for (const auto& edit : edits) {
        TIniDocument doc = TIniDocument::Parse("[s]\nk=1\n");
        EXPECT_THROW(edit(doc), std::invalid_argument);
        EXPECT_EQ(doc.Serialize(), "[s]\nk=1\n");
    }
}

TEST(IniDocumentTest, ASavedDocumentReadsBackTheSame) {
    struct TCase {
        std::string text, saved;
    } cases[] = {
        // Extra CRs before a line end belong to the line end, not to the line:
        // kept, they would read as a CR LF line end after saving.
        {"[a]\nk=v\r\r\n", "[a]\nk=v\n"},
        {"[a]\r\nk=v\r\r\r\n", "[a]\r\nk=v\r\n"},
        {"\xEF\xBB\xBF[a\t\nbe]x\r\r\n", "\xEF\xBB\xBF[a\t\nbe]x\n"},
        {"[a]\nk=v\r", "[a]\nk=v\n"},
        {"[a]\nk=a\rb\n", "[a]\nk=a\rb\n"},
    };
    for (const TCase& t : cases) {
        TIniDocument doc = TIniDocument::Parse(t.text);
        EXPECT_EQ(doc.Serialize(), t.saved) << t.text;
        TIniDocument again = TIniDocument::Parse(doc.Serialize());
        EXPECT_EQ(again.Serialize(), t.saved) << t.text;
        EXPECT_EQ(again.Find("a", "k"), doc.Find("a", "k")) << t.text;
    }
}

TEST(IniDocumentTest, ListsSectionsAndKeysOnceInFileOrder) {
    TIniDocument doc = TIniDocument::Parse("x=0\n[Bob]\nb=1\nA=2\nB=3\n[ann]\n[BOB]\nc=4\n");
    EXPECT_EQ(doc.Sections(), (std::vector<std::string>{"Bob", "ann"}));
    EXPECT_EQ(doc.Keys("bob"), (std::vector<std::string>{"b", "A"}));
    EXPECT_TRUE(doc.SectionExists("ANN"));
    EXPECT_FALSE(doc.SectionExists("carl"));
}

} // namespace
