#pragma once

#include <QString>

// What a game system is called and which files it plays.
struct SystemProfile {
    QString name;  // empty for the opener and for unknown codes
    QString mask;  // wildcard patterns separated by ";"
};

// The game systems of both kinds of emulator: the emulator folder's own (by catalogue
// code) and the installed ones. One table, so a system lists the same files whichever
// emulator plays it.
enum class GameSystem {
    Snes,
    Gba,
    GameBoy,
    Sega,
    Nes,
    N64,
    NeoGeoPocket,
    PcEngine,
    Atari2600,
    Arcade,
    Java,
    Ds,
    Opener,  // the documents and programs the desktop opens
    Dos,
    AtariSt,
    GameCube,
    Amiga,
    Msx,
    Saturn,
    ScummVm,
    MultiSystem,
    Unknown,
};

SystemProfile profileOf(GameSystem system);

// The profile of a SystemCode; an unknown code gives an empty name and "*.*".
SystemProfile profileOf(int systemCode);
