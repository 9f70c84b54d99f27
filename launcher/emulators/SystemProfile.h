#pragma once

#include <QString>

// What a game system is called and which files it plays.
struct SystemProfile {
    QString name;  // empty for the opener and for unknown codes
    QString mask;  // wildcard patterns separated by ";"
};

// The profile of a SystemCode; an unknown code gives an empty name and "*.*".
SystemProfile ProfileOf(int systemCode);
