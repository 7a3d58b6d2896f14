#include <gtest/gtest.h>

#include "AccountRules.h"

using namespace vendrix::config;

TEST(AccountRulesTest, AccountNames) {
    const std::pair<std::string, bool> cases[] = {
        {"alice", true}, {"alice smith", true}, {"Ünal", true},     {"", false},           {"   ", false},
        {"a\\b", false}, {"a/b", false},        {"a:b", false},     {"a|b", false},        {"a*b", false},
        {"a?b", false},  {"a\"b", false},       {"a<b", false},     {"a>b", false},        {"[x", false},
        {"x]", false},   {"tab\there", false},  {"del\x7f", false}, {"c1\xc2\x85", false},
    };
    for (const auto& [name, valid] : cases)
        EXPECT_EQ(IsValidAccountName(name), valid) << name;
}

TEST(AccountRulesTest, RightsLetters) {
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"DS", "D_______S__"}, {"sd", "D_______S__"}, {"DUAEMRYSV", "DUAEMRY_SV_"},
        {"", "___________"},   {"DL", std::nullopt},  {"D_", std::nullopt},
    };
    for (const auto& [letters, field] : cases)
        EXPECT_EQ(RightsFromLetters(letters), field) << letters;

    const std::pair<std::string, bool> fields[] = {
        {"D_______S__", true},   {"S_______D__", true},  {"___________", true},  {"DS", false},
        {"D_______S___", false}, {"d_______s__", false}, {"DX______S__", false},
    };
    for (const auto& [field, ok] : fields)
        EXPECT_EQ(IsWellFormedRights(field), ok) << field;
}
