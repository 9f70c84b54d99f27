#include "platform/Wildcard.h"

#include "platform/FileNames.h"

#include <algorithm>

namespace platform {

Wildcard::Wildcard(const QString& pattern, Syntax syntax) {
    const QString folded = foldName(pattern);
    const QStringView p(folded);
    const bool classes = syntax == Syntax::Classes;
    for (qsizetype i = 0; i < p.size(); ++i) {
        Token t;
        const char16_t c = p[i].unicode();
        if (c == u'*') {
            // Runs of stars behave as one and would only slow the backtracking.
            if (!m_tokens.empty() && m_tokens.back().kind == Token::Star) continue;
            t.kind = Token::Star;
        } else if (c == u'?') {
            t.kind = Token::Any;
        } else if (classes && c == u'#') {
            t.kind = Token::Digit;
        } else if (classes && c == u'[') {
            t.kind = Token::Class;
            t.firstRange = static_cast<quint32>(m_ranges.size());
            qsizetype j = i + 1;
            if (j < p.size() && p[j] == u'!') {
                t.negated = true;
                ++j;
            }
            // A "]" right after "[" closes it; a literal "]" is written outside brackets.
            bool closed = false;
            while (j < p.size()) {
                const char16_t lo = p[j].unicode();
                if (lo == u']') {
                    closed = true;
                    break;
                }
                if (j + 2 < p.size() && p[j + 1] == u'-' && p[j + 2] != u']') {
                    const char16_t hi = p[j + 2].unicode();
                    if (hi < lo) m_valid = false;
                    m_ranges.emplace_back(lo, hi);
                    j += 3;
                } else {
                    m_ranges.emplace_back(lo, lo);
                    ++j;
                }
            }
            if (!closed) m_valid = false;
            if (!m_valid) return;
            i = j;
            t.rangeCount = static_cast<quint32>(m_ranges.size()) - t.firstRange;
            if (t.rangeCount == 0 && !t.negated) continue;
        } else {
            t.unit = c;
        }
        m_tokens.push_back(t);
    }
    const auto units = [](auto first, auto last) {
        return std::all_of(first, last, [](const Token& t) { return t.kind == Token::Unit; });
    };
    if ((m_tokens.size() == 1 && m_tokens[0].kind == Token::Star) ||
        (!classes && folded == u"*.*")) {
        m_kind = Kind::Everything;
    } else if (!m_tokens.empty() && m_tokens[0].kind == Token::Star &&
               units(m_tokens.begin() + 1, m_tokens.end())) {
        m_kind = Kind::Suffix;
        for (auto t = m_tokens.begin() + 1; t != m_tokens.end(); ++t)
            m_text.append(QChar(t->unit));
    } else if (units(m_tokens.begin(), m_tokens.end())) {
        // From the tokens, not the pattern: an empty class "[]" has left no token.
        m_kind = Kind::Literal;
        for (const Token& t : m_tokens)
            m_text.append(QChar(t.unit));
    }
}

bool Wildcard::accepts(const Token& t, char16_t c) const {
    switch (t.kind) {
        case Token::Unit:
            return c == t.unit;
        case Token::Any:
            return true;
        case Token::Digit:
            return c >= u'0' && c <= u'9';
        case Token::Class: {
            bool in = false;
            for (quint32 r = t.firstRange; r < t.firstRange + t.rangeCount && !in; ++r)
                in = c >= m_ranges[r].first && c <= m_ranges[r].second;
            return in != t.negated;
        }
        case Token::Star:
            break;
    }
    return false;
}

bool Wildcard::matches(QStringView foldedName) const {
    if (!m_valid) return false;
    switch (m_kind) {
        case Kind::Everything:
            return true;
        case Kind::Suffix:
            return foldedName.endsWith(m_text);
        case Kind::Literal:
            return foldedName == m_text;
        case Kind::General:
            break;
    }
    // Backtracking to the last star only: linear in practice, never exponential.
    const size_t count = m_tokens.size();
    size_t m = 0, starM = SIZE_MAX;
    qsizetype n = 0, starN = 0;
    while (n < foldedName.size()) {
        if (m < count && m_tokens[m].kind != Token::Star &&
            accepts(m_tokens[m], foldedName[n].unicode())) {
            ++m;
            ++n;
        } else if (m < count && m_tokens[m].kind == Token::Star) {
            starM = m++;
            starN = n;
        } else if (starM != SIZE_MAX) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m < count && m_tokens[m].kind == Token::Star)
        ++m;
    return m == count;
}

bool wildcardMatches(const QString& name, const QString& pattern, Wildcard::Syntax syntax) {
    return Wildcard(pattern, syntax).matches(foldName(name));
}

}  // namespace platform
