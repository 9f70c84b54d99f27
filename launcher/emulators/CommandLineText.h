#pragma once

// The command line box holds either extra switches for the emulator or a search text
// that narrows the file list; these decide which, and what each one turns into.

#include <QString>
#include <QStringList>

#include <optional>

// Switches: the trimmed text begins with "-", or the text holds a "/" anywhere.
bool isSwitchText(const QString& text);

// The file list's pattern for a box text: the system's mask for switches or an empty
// box, otherwise every "*" of the mask widened to "*text*".
QString patternForBoxText(const QString& fileMask, const QString& text);

// Splits switches into arguments the way a POSIX shell splits words: blanks separate,
// '...' is literal, "..." keeps blanks and honours \" \\ \$ \`, a backslash outside quotes
// escapes the next character. Nothing is expanded. Nothing when a quote is left open.
std::optional<QStringList> splitSwitches(const QString& text);
