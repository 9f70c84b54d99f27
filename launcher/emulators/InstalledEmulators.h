#pragma once

// The emulators installed on the system (found in PATH, in flatpak's export folders and,
// for retroarch, one per installed core) and the ones a user describes in emulators.conf.
// They are offered after the emulator folder's own; each starts with an argument list in
// which the game's path is always one whole argument, never through a shell.

#include "launcher/emulators/LaunchRules.h"
#include "platform/Shell.h"

#include <QList>
#include <QString>
#include <QStringList>

// Words of an argument template that stand for the game: its full path, its folder (no
// trailing "/") and its file name without the extension (a MAME set name). They are put in
// after the template is split into words, so blanks in a path never split it.
inline const QString kGameWord = QStringLiteral("{game}");
inline const QString kFolderWord = QStringLiteral("{folder}");
inline const QString kNameWord = QStringLiteral("{name}");

struct InstalledEmulator {
    QString name;           // the emulator box's text and the settings section
    QString program;        // full path of the program to start
    QStringList arguments;  // the template, with kGameWord and friends in it
    QString systemName;
    QString mask;           // wildcard patterns separated by ";"
    QString workingFolder;  // empty: the launcher's own
    QString processName;    // what the poll looks for while it runs
};

// Where to look. Every folder is searched as given; empty lists search nothing.
struct InstalledSearch {
    QStringList pathFolders;     // PATH
    QStringList flatpakFolders;  // flatpak's exports/bin folders
    QStringList coreFolders;     // retroarch's libretro cores
    QString userFile;            // emulators.conf; empty: none
};

// The folders of this session: PATH (with Debian's /usr/games), the system's and the
// user's flatpak exports, the cores of Debian's retroarch and of the user's, and
// $XDG_CONFIG_HOME/Rombard/emulators.conf.
InstalledSearch systemInstalledSearch();

// The names of the Linux catalogue's emulators, in its order.
QStringList linuxEmulatorNames();

// The Linux catalogue's emulators found, in catalogue order; retroarch once per core.
// A program found in PATH hides its flatpak.
QList<InstalledEmulator> scanInstalledEmulators(const InstalledSearch& where);

// emulators.conf read: the emulators it describes and one line per problem, naming the
// file's line ("emulators.conf, line 7: ..."). An entry with a problem is left out.
struct UserEmulators {
    QList<InstalledEmulator> emulators;
    QStringList problems;
};
// `pathFolders` resolves a program given without a folder; `fileName` names the file in
// the problems.
UserEmulators parseUserEmulators(const QString& text, const QString& fileName,
                                 const QStringList& pathFolders);
// The file read (a missing file describes nothing and is no problem).
UserEmulators readUserEmulators(const QString& path, const QStringList& pathFolders);

// The start of `emulator` for the game at `gamePath`: `switches` (the command line box's)
// first, then the template with the game's words put in.
platform::ProgramStart installedStart(const InstalledEmulator& emulator, const QString& gamePath,
                                      const QStringList& switches);

// The launch of the selected game in `emulator`: the box's switches (when it holds
// switches) and the template, as LaunchRules' plan, so the window starts it like any other.
LaunchPlan installedLaunch(const InstalledEmulator& emulator, const LaunchInput& in);
