// The hide command's pattern language and how typed answers become patterns.

#include "launcher/HiddenFiles.h"
#include "launcher/WildcardMatch.h"

#include <gtest/gtest.h>

namespace {

TEST(LikeMatch, Table) {
    struct Case {
        const char* text;
        const char* pattern;
        std::optional<bool> expected;
    };
    // clang-format off
    const Case cases[] = {
        {"game.smc", "*.smc", true}, {"game.smc", "*.sm", false}, {"", "*", true}, {"", "?", false},
        {"abc", "a?c", true}, {"ac", "a?c", false}, {"a7c", "a#c", true}, {"abc", "a#c", false},
        {"b", "[a-c]", true}, {"d", "[a-c]", false}, {"d", "[!a-c]", true}, {"b", "[!a-c]", false},
        {"-", "[a-]", true},  // a dash at the end is itself
        {"*", "[*]", true}, {"x", "[*]", false},
        {"a]", "a]", true},    // a "]" outside brackets is itself
        {"ab", "a[]b", true},  // an empty class stands for nothing
        {"a", "[!]", true},    // nothing excluded: any one character
        {"mario [b1].smc", "*[[]b?[]]*", true},
        {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*a*c", false},  // no blow-up
        {"abc", "[a-c", std::nullopt}, {"abc", "[c-a]", std::nullopt}, {"abc", "abc[", std::nullopt},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " / " + c.pattern);
        EXPECT_EQ(LikeMatch(QString::fromUtf8(c.text), QString::fromUtf8(c.pattern)), c.expected);
    }
}

TEST(HidePattern, TypedAnswersHideTheNamesTheyDescribe) {
    const QStringList names{"Game [!].smc", "Game [b1].smc", "Game (U).smc", "Mario 2.smc",
                            "Zelda.smc",    "Zelda.SMC",     "x[y].smc",     "Game [!].smc"};
    struct Case {
        const char* answer;
        QStringList hidden;
    };
    const Case cases[] = {
        {"*[!]*", {"Game [!].smc"}},  // brackets typed match themselves; each name once
        {"*{0-9}*", {"Game [b1].smc", "Mario 2.smc"}},  // braces are the class brackets
        {"*[B?].*", {"Game [b1].smc"}},                 // capitals as small letters
        {"*[b?].*", {"Game [b1].smc"}},
        {"zelda.smc", {"Zelda.smc", "Zelda.SMC"}},
        {"*{!a-z}.smc",
         {"Game [!].smc", "Game [b1].smc", "Game (U).smc", "Mario 2.smc", "x[y].smc"}},
        {"*]*", {"Game [!].smc", "Game [b1].smc", "x[y].smc"}},
        {"*{*", {}},  // not a valid pattern: hides nothing
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        EXPECT_EQ(NamesMatchingHidePattern(names, HideMatchPattern(QString::fromUtf8(c.answer))),
                  c.hidden);
    }
}

}  // namespace
