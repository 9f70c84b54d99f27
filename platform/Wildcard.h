#pragma once

// The one wildcard matcher of the program: file masks ("*.zip"), the names of the programs
// the launcher waits for ("fceu*") and the hide command's patterns ("*[b?]*").

#include <QString>

#include <vector>

namespace platform {

// A wildcard pattern matched against names passed through foldName (the pattern is folded
// when it is made), so letter case never counts. "*" is any run of units, "?" any one unit;
// a byte of a name that is not UTF-8 is one escaped unit (decodeName), so one "?".
//
// Plain patterns know only those two: file masks hold brackets as themselves ("*[!]*"
// lists the good dumps), and "*.*" matches every name, one without a dot included, as
// users type it to mean "all files". Classes patterns also know "#" (one digit 0-9) and
// the classes "[abc]", "[a-z]" and "[!a-c]"; a "]" right after "[" closes it, so "[]"
// stands for nothing and "[!]" for any one unit.
class Wildcard {
public:
    enum class Syntax { Plain, Classes };

    explicit Wildcard(const QString& pattern, Syntax syntax = Syntax::Plain);

    // False for a malformed pattern (a "[" without its "]", a range running backwards),
    // which matches no name.
    bool valid() const { return m_valid; }
    // Whether every name matches ("*", and the plain "*.*").
    bool matchesEverything() const { return m_kind == Kind::Everything; }
    // For a pattern "*" followed by plain text: that text, folded. Empty otherwise.
    QStringView suffix() const { return m_kind == Kind::Suffix ? m_text : QStringView(); }
    // Whether the pattern holds no wildcard at all, so only the name itself matches.
    bool literal() const { return m_kind == Kind::Literal; }

    bool matches(QStringView foldedName) const;

private:
    struct Token {
        enum Kind : quint8 { Unit, Any, Star, Digit, Class } kind = Unit;
        bool negated = false;
        char16_t unit = 0;
        quint32 firstRange = 0, rangeCount = 0;  // into m_ranges, for a Class
    };
    enum class Kind { Everything, Suffix, Literal, General };

    bool accepts(const Token& t, char16_t c) const;

    Kind m_kind = Kind::General;
    bool m_valid = true;
    QString m_text;  // for Suffix the text after the star; for Literal the whole name
    std::vector<Token> m_tokens;
    std::vector<std::pair<char16_t, char16_t>> m_ranges;
};

// Whether `name` matches `pattern`, both folded here: for one name at a time. A caller
// that matches many names keeps the Wildcard and folds each name once.
bool wildcardMatches(const QString& name, const QString& pattern,
                     Wildcard::Syntax syntax = Wildcard::Syntax::Plain);

}  // namespace platform
