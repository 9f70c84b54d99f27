#include "launcher/maintenance/WildcardMatch.h"

#include <vector>

namespace {

// One compiled element of a pattern.
struct Token {
    enum Kind { Literal, Any, Star, Digit, Class } kind = Literal;
    char16_t ch = 0;
    bool negated = false;
    std::vector<std::pair<char16_t, char16_t>> ranges;

    bool accepts(char16_t c) const {
        switch (kind) {
            case Literal:
                return c == ch;
            case Any:
                return true;
            case Digit:
                return c >= u'0' && c <= u'9';
            case Class: {
                bool in = false;
                for (const auto& [lo, hi] : ranges)
                    in = in || (c >= lo && c <= hi);
                return in != negated;
            }
            case Star:
                break;
        }
        return false;
    }
};

std::optional<std::vector<Token>> compile(QStringView p) {
    std::vector<Token> out;
    for (qsizetype i = 0; i < p.size(); ++i) {
        Token t;
        const char16_t c = p[i].unicode();
        if (c == u'*') {
            // Runs of stars behave as one and would only slow the backtracking.
            if (!out.empty() && out.back().kind == Token::Star) continue;
            t.kind = Token::Star;
        } else if (c == u'?') {
            t.kind = Token::Any;
        } else if (c == u'#') {
            t.kind = Token::Digit;
        } else if (c == u'[') {
            t.kind = Token::Class;
            qsizetype j = i + 1;
            if (j < p.size() && p[j] == u'!') {
                t.negated = true;
                ++j;
            }
            // A "]" right after "[" closes it, so "[]" matches the empty text, and a
            // literal "]" is written outside brackets.
            bool closed = false;
            while (j < p.size()) {
                const char16_t lo = p[j].unicode();
                if (lo == u']') {
                    closed = true;
                    break;
                }
                if (j + 2 < p.size() && p[j + 1] == u'-' && p[j + 2] != u']') {
                    const char16_t hi = p[j + 2].unicode();
                    if (hi < lo) return std::nullopt;
                    t.ranges.emplace_back(lo, hi);
                    j += 3;
                } else {
                    t.ranges.emplace_back(lo, lo);
                    ++j;
                }
            }
            if (!closed) return std::nullopt;
            i = j;
            if (t.ranges.empty() && !t.negated) continue;
        } else {
            t.ch = c;
        }
        out.push_back(std::move(t));
    }
    return out;
}

}  // namespace

std::optional<bool> likeMatch(QStringView text, QStringView pattern) {
    const auto tokens = compile(pattern);
    if (!tokens) return std::nullopt;
    const std::vector<Token>& p = *tokens;
    // Backtracking over the last star only: linear in practice, never exponential.
    size_t m = 0, starM = SIZE_MAX;
    qsizetype n = 0, starN = 0;
    while (n < text.size()) {
        if (m < p.size() && p[m].kind != Token::Star && p[m].accepts(text[n].unicode())) {
            ++m;
            ++n;
        } else if (m < p.size() && p[m].kind == Token::Star) {
            starM = m++;
            starN = n;
        } else if (starM != SIZE_MAX) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m < p.size() && p[m].kind == Token::Star)
        ++m;
    return m == p.size();
}
