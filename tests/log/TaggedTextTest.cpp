#include <gtest/gtest.h>

#include "LogAppearance.h"
#include "LogFrame.h"
#include "TaggedText.h"
#include "Translate.h"

using namespace vendrix::config;
using namespace vendrix::log;

namespace {

constexpr TColor kText{0, 0, 0x99}; // the view's text colour in these cases

struct TRun {
    std::string Text;
    std::string Color;
};

std::vector<TRun> Runs(std::string_view tagged) {
    std::vector<TRun> runs;
    for (const TColoredRun& run : RenderTagged(tagged, kText))
        runs.push_back({run.Text, FormatColorText(run.Color)});
    return runs;
}

bool operator==(const TRun& a, const TRun& b) {
    return a.Text == b.Text && a.Color == b.Color;
}

void PrintTo(const TRun& run, std::ostream* out) {
    *out << "{\"" << run.Text << "\", " << run.Color << "}";
}

TEST(TaggedTextTest, StripTagsRemovesOpenersAndClosers) {
    const std::pair<const char*, const char*> cases[] = {
        {"#000000<[>#FF0000<12>#000000<] >#00FF00<USER bob #0000FF<file.txt> done>",
         "[12] USER bob file.txt done"},
        {"plain text", "plain text"},
        {"a>b>>c", "abc"},
        {"#12345<not an opener>", "#12345<not an opener"},
        {"#ABCDEF<", ""},
        {"x#ABCDEF<", "x"},
    };
    for (const auto& [tagged, plain] : cases)
        EXPECT_EQ(StripTags(tagged), plain) << tagged;
}

TEST(TaggedTextTest, RendererColoursSegments) {
    struct TCase {
        const char* Name;
        const char* Tagged;
        std::vector<TRun> Expected;
    };
    const TCase cases[] = {
        {"one segment", "#FF0000<red>", {{"red", "#FF0000"}}},
        {"segments side by side", "#FF0000<a>#00FF00<b>", {{"a", "#FF0000"}, {"b", "#00FF00"}}},
        {"nested segment, outer text before, between and after",
         "#000010<a#000020<b>c#000030<d>e>",
         {{"a", "#000010"}, {"b", "#000020"}, {"c", "#000010"}, {"d", "#000030"}, {"e", "#000010"}}},
        {"text outside every segment is dropped",
         "x#FF0000<a>y#00FF00<b>z",
         {{"a", "#FF0000"}, {"b", "#00FF00"}}},
        {"stray > after an inner segment: rest in the outer colour",
         "#000010<#000020<KEYWORD: >CWD#000020< -- PARAMS: >a>b>",
         {{"KEYWORD: ", "#000020"},
          {"CWD", "#000010"},
          {" -- PARAMS: ", "#000020"},
          {"a", "#000010"},
          {"b", "#000010"}}},
        {"stray > with no inner segment: rest in the text colour",
         "#000010<a>b>c",
         {{"a", "#000010"}, {"b", "#000099"}}},
        {"lower-case colour digits", "#ff00aa<x>", {{"x", "#FF00AA"}}},
        {"colour text that is no colour", "#zzzzzz<x>", {{"x", "#000099"}}},
        {"unclosed segment draws nothing", "#FF0000<abc", {}},
        {"empty segment draws nothing", "#FF0000<>", {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(Runs(c.Tagged), c.Expected);
    }
}

TEST(TaggedTextTest, CommandLinesMaskPasswords) {
    TLogColors colors;
    colors.Sep = "#111111";
    colors.ID = "#222222";
    colors.Misc = "#333333";
    const std::tuple<const char*, const char*, std::string> cases[] = {
        {"PASS", "secret",
         "#111111<[>#222222<7>#111111<] >#333333<KEYWORD: >PASS#333333< -- PARAMS: > #####"},
        {"pass", "s3cr>t",
         "#111111<[>#222222<7>#111111<] >#333333<KEYWORD: >pass#333333< -- PARAMS: > #####"},
        {"USER", "bob", "#111111<[>#222222<7>#111111<] >#333333<KEYWORD: >USER#333333< -- PARAMS: >bob"},
        {"CWD", "", "#111111<[>#222222<7>#111111<] >#333333<KEYWORD: >CWD#333333< -- PARAMS: >"},
    };
    for (const auto& [keyword, params, expected] : cases)
        EXPECT_EQ(CommandLine(colors, 7, keyword, params), expected) << keyword;
    EXPECT_EQ(StripTags(CommandLine(colors, 7, "PASS", "secret")), "[7] KEYWORD: PASS -- PARAMS:  #####");
}

TEST(TaggedTextTest, FormatTextFillsPlaces) {
    struct TCase {
        const char* Text;
        std::vector<std::string> Args;
        const char* Expected;
    };
    const TCase cases[] = {
        {"User %s logged in from %s", {"BOB", "10.0.0.1"}, "User BOB logged in from 10.0.0.1"},
        {"%s%s", {"a"}, "a"},
        {"only %s", {"a", "b"}, "only a"},
        {"100%% of %s", {"x"}, "100% of x"},
        {"%d stays, %", {}, "%d stays, %"},
        {"no places", {"a"}, "no places"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(FormatText(c.Text, c.Args), c.Expected) << c.Text;
}

} // namespace
