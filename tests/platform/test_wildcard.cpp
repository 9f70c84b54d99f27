// The wildcard language of masks, program names and the hide command.

#include "platform/FileNames.h"
#include "platform/Wildcard.h"

#include <gtest/gtest.h>

namespace {

using platform::Wildcard;
constexpr auto kPlain = Wildcard::Syntax::Plain;
constexpr auto kClasses = Wildcard::Syntax::Classes;

TEST(Wildcard, Table) {
    struct Case {
        const char* name;  // UTF-8; "\xff" is a byte that is not
        const char* pattern;
        Wildcard::Syntax syntax;
        bool matches;
    };
    // clang-format off
    const Case cases[] = {
        // Letter case never counts, in ASCII or beyond.
        {"GAME.SMC", "*.smc", kPlain, true}, {"game.smc", "*.SMC", kPlain, true},
        {"\xc3\x89" "clair.zip", "\xc3\xa9" "CLAIR.ZIP", kPlain, true},
        {"game.smc", "*.sm", kPlain, false}, {"game.smcx", "*.smc", kPlain, false},
        {"", "*", kPlain, true}, {"", "?", kPlain, false}, {"", "", kPlain, true},
        {"game", "", kPlain, false}, {"game", "GAME", kPlain, true}, {"game", "gam", kPlain, false},
        {"abc", "a?c", kPlain, true}, {"ac", "a?c", kPlain, false}, {"abc", "A*", kPlain, true},
        {"x.zip", "?.zip", kPlain, true}, {"xy.zip", "?.zip", kPlain, false},
        // "*.*" is every name to a mask, one without a dot too; a pattern of classes means it.
        {"zip", "*.*", kPlain, true}, {"zip", "*.*", kClasses, false},
        {"a.b", "*.*", kClasses, true}, {"zip", "**", kPlain, true},
        // A byte that is not UTF-8 is one unit, matched by "?" and by itself.
        {"a\xff.zip", "a?.zip", kPlain, true}, {"a\xff.zip", "a\xff*", kPlain, true},
        {"a\xff.zip", "a\xfe*", kPlain, false}, {"a\xff\xfe", "a??", kPlain, true},
        // Brackets and "#" are themselves in a mask...
        {"game [!].smc", "*[!]*", kPlain, true}, {"game [b1].smc", "*[!]*", kPlain, false},
        {"a7c", "a#c", kPlain, false}, {"a#c", "a#c", kPlain, true},
        // ...and digits and classes in a pattern of classes ("/" and ":" border the digits).
        {"a7c", "a#c", kClasses, true}, {"abc", "a#c", kClasses, false},
        {"0", "#", kClasses, true}, {"9", "#", kClasses, true}, {"/", "#", kClasses, false},
        {":", "#", kClasses, false}, {"10", "#", kClasses, false}, {"10", "##", kClasses, true},
        {"b", "[a-c]", kClasses, true}, {"d", "[a-c]", kClasses, false},
        {"d", "[!a-c]", kClasses, true}, {"b", "[!a-c]", kClasses, false},
        {"B", "[a-c]", kClasses, true},  // folded like the name
        {"-", "[a-]", kClasses, true},  // a dash at the end is itself
        {"*", "[*]", kClasses, true}, {"x", "[*]", kClasses, false},
        {"a]", "a]", kClasses, true},    // a "]" outside brackets is itself
        {"ab", "a[]b", kClasses, true},  // an empty class stands for nothing
        {"a", "[!]", kClasses, true},    // nothing excluded: any one unit
        {"mario [b1].smc", "*[[]b?[]]*", kClasses, true},
        {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*a*c", kClasses, false},  // no blow-up
        // A malformed class matches nothing, not even what its text would.
        {"abc", "[a-c", kClasses, false}, {"b", "[c-a]", kClasses, false},
        {"abc[", "abc[", kClasses, false}, {"abc", "*", kClasses, true},
    };
    // clang-format on
    for (const Case& c : cases) {
        const QString name = platform::decodeName(QByteArray(c.name));
        const QString pattern = platform::decodeName(QByteArray(c.pattern));
        SCOPED_TRACE(std::string(c.name) + " / " + c.pattern);
        EXPECT_EQ(Wildcard(pattern, c.syntax).matches(platform::foldName(name)), c.matches);
        EXPECT_EQ(platform::wildcardMatches(name, pattern, c.syntax), c.matches);
    }
    EXPECT_FALSE(Wildcard("[a-c", kClasses).valid());
    EXPECT_TRUE(Wildcard("[a-c", kPlain).valid());
}

}  // namespace
