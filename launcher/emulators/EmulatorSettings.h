#pragma once

// The values stored per emulator, and how stored texts read back as numbers and flags.

#include <QList>
#include <QPair>
#include <QString>

#include <optional>

inline const QString kAppName = QStringLiteral("Rombard");

// What the window holds when an emulator's settings are saved. Geometry in twips.
struct EmulatorSettingsState {
    QString commandLine;
    int listIndex = -1;
    QString romsFolder;
    bool windowVisible = false;
    int shotLeft = 0;
    int screenWidth = 0, screenHeight = 0;
    int windowWidth = 0, windowHeight = 0;
    bool maximized = false;
};

// The keys and texts to write, in the order they are written.
QList<QPair<QString, QString>> emulatorSettingsToSave(const EmulatorSettingsState& state);

// A text that is a number (blanks around it allowed), rounded to a whole number.
std::optional<int> readWholeNumber(const QString& text);
// The leading number of a text, 0 when it does not start with one ("12abc" gives 12).
int leadingWholeNumber(const QString& text);
// "True"/"False" in any letter case, or a number (non-zero is true); nothing otherwise.
std::optional<bool> readFlag(const QString& text);
