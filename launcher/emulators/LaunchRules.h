#pragma once

// How the selected game is started: which program, with which arguments, where, and how
// the same start reads as one line of parameters, quoted as a user would type them.

#include "platform/Shell.h"

#include <QString>

#include <functional>

struct LaunchInput {
    QString emulatorFolder;   // ends in "/"
    QString currentEmulator;  // catalogue spelling, e.g. "zinc.exe"
    QString emulatorProgram;  // the file on disk that stands for it (emulatorProgramPath)
    QString systemName;
    QString listedFolder;  // the file list's folder
    QString fileName;      // the selected file, without folder
    QString commandLine;   // the command line box text
    QString gameNumber;    // the arcade game number of the selected file, or empty
    std::function<bool(const QString&)> fileExists;
};

struct LaunchPlan {
    int rule = 0;               // 1 to 8, the first rule that applied
    bool openDocument = false;  // open `fileStarted` with the desktop's handler instead
    QString fileStarted;        // the file handed to the desktop (emulator, or document)
    QString parameters;         // the arguments as one line, quoted as typed
    platform::ProgramStart start;
    // Not empty when the game must not be started this way, saying why to the user: a
    // game's name handed over bare (no folder before it) that begins with "-" would reach
    // the emulator as one of its options.
    QString refusal;
};

// The refusal for a game whose bare name `name` would be read as an option.
QString optionLikeNameRefusal(const QString& fileName);

// Nothing is decided here about whether the start may happen (a selected file, a present
// emulator); callers check that first.
LaunchPlan composeLaunch(const LaunchInput& in);
