#pragma once

// The emulators the launcher knows, each tagged with the game system it emulates, and
// the question which of them an emulator folder holds.

#include <QList>
#include <QString>
#include <QStringList>

// One entry per line of the catalogue: a system code (decimal text) that applies to every
// name after it up to the next code, or an executable name (text ending in ".exe").
const QStringList& emulatorCatalogue();

struct FoundEmulator {
    QString name;       // spelled as in the catalogue: the settings section and launch rules
    int code = 0;       // SystemCode
    QString shownName;  // what the user sees: a native program's own file name, else `name`
};

// The catalogue's names present in `emulatorFolder` (ending in "/"), in catalogue order.
// The opener entry is left out when it is the launcher itself: the file `ownProgram` (the
// running program), a link to it or a copy of it.
QList<FoundEmulator> scanCatalogue(const QString& emulatorFolder,
                                   const QString& ownProgram = QString());

// The running program's own file, as the system reports it; empty when it cannot tell.
QString runningProgram();

// The file that stands for the catalogue name `name` in `emulatorFolder`: "x.exe" itself
// (a Windows program) or an executable "x" (a native program, a script or a link to
// one), letter case ignored either way. Empty when the folder holds neither.
QString emulatorProgramPath(const QString& emulatorFolder, const QString& name);

// The program an entry of no known system stands for, when the folder has no
// "emulator.exe": the first "*.exe" file of `emulatorFolder` (ending in "/") by name,
// letter case ignored; empty when it holds none. Only ever the emulator folder: the
// launcher's working folder has nothing to do with the emulators.
QString firstWindowsProgram(const QString& emulatorFolder);
