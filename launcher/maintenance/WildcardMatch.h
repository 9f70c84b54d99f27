#pragma once

// The pattern language of the hide command: "*" any run, "?" any one character, "#" one
// digit, "[abc]" / "[a-z]" a class, "[!..]" a negated class. Letter case counts, so
// callers lower both sides first.

#include <QString>

#include <optional>

// Whether `text` matches `pattern`; nothing when the pattern is malformed (a "[" without
// its "]"), which callers treat as matching no name.
std::optional<bool> likeMatch(QStringView text, QStringView pattern);
