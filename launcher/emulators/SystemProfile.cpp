#include "launcher/emulators/SystemProfile.h"

SystemProfile ProfileOf(GameSystem system) {
    // A mask only ever grows: stored settings and users' folders rely on every pattern a
    // system has had. Zip files where the emulators read them.
    switch (system) {
        case GameSystem::Snes:
            return {"Super Nintendo", "*.zip;*.fig;*.smc;*.swc;*.sfc"};
        case GameSystem::Gba:
            return {"GameBoy Advance", "*.zip;*.gba;*.gbc;*.gb;*.7z"};
        case GameSystem::GameBoy:
            return {"GameBoy", "*.zip;*.gb;*.gbc"};
        case GameSystem::Sega:
            return {"SEGA",
                    "*.zip;*.sms;*.sg;*.sc;*.gg;*.bin;*.smd;*.md;*.gen;*.32x;*.cue;*.iso;"
                    "*.7z"};
        case GameSystem::Nes:
            return {"Nintendo", "*.zip;*.nes;*.nsf;*.fds;*.unf;*.unif;*.gz"};
        case GameSystem::N64:
            return {"Nintendo 64", "*.zip;*.v64;*.z64;*.n64;*.rom;*.usa;*.jap;*.pal;*.eur"};
        case GameSystem::NeoGeoPocket:
            return {"NeoGeo Pocket", "*.zip;*.ngp;*.ngc"};
        case GameSystem::PcEngine:
            return {"PC Engine", "*.zip;*.pce;*.sgx;*.cue;*.iso;*.isq;*.bin"};
        case GameSystem::Atari2600:
            return {"Atari 2600", "*.zip;*.a26;*.bin;*.z26"};
        case GameSystem::Arcade:
            return {"Arcade Emulator", "*.zip;*.7z"};
        case GameSystem::Java:
            return {"Java 2 Emulator", "*.jar"};
        case GameSystem::Ds:
            return {"Nintendo DS", "*.zip;*.nds;*.bin;*.pme;*.rom;*.elf;*.gba;*.agb;*.mb"};
        case GameSystem::Opener:
            return {QString(),
                    "*.mp3;*.mid;*.kar;*.wma;*.zip;*.rar;*.7z;*.exe;*.bat;*.chm;*.pdf;*.txt;*.avi;"
                    "*.wmv;*.mpeg;*.mpg;*.swf;*.gif;*.jpg;*.bmp;*.png;*.html;*.htm;*.vbp"};
        case GameSystem::Dos:
            return {"DOS", "*.exe;*.com;*.bat;*.zip"};
        case GameSystem::AtariSt:
            return {"Atari ST", "*.st;*.msa;*.stx;*.dim;*.ipf;*.zip"};
        case GameSystem::GameCube:
            return {"GameCube and Wii", "*.iso;*.gcm;*.gcz;*.ciso;*.wbfs;*.rvz;*.wad;*.dol;*.elf"};
        case GameSystem::Amiga:
            return {"Amiga", "*.adf;*.adz;*.dms;*.ipf;*.hdf;*.fs-uae;*.zip"};
        case GameSystem::Msx:
            return {"MSX", "*.rom;*.mx1;*.mx2;*.dsk;*.cas;*.zip"};
        case GameSystem::Saturn:
            return {"Sega Saturn", "*.cue;*.iso;*.mds;*.ccd"};
        case GameSystem::ScummVm:
            return {"ScummVM", "*.*"};
        case GameSystem::MultiSystem:
            return {"Multi-system",
                    "*.zip;*.nes;*.fds;*.unf;*.sfc;*.smc;*.gb;*.gbc;*.gba;*.pce;*.sgx;*.sms;"
                    "*.gg;*.md;*.gen;*.smd;*.bin;*.ngp;*.ngc;*.ws;*.wsc;*.lnx;*.vb;*.cue;*.m3u"};
        case GameSystem::Unknown:
            break;
    }
    return {QString(), "*.*"};
}

SystemProfile ProfileOf(int systemCode) {
    switch (systemCode) {
        case 1:
            return ProfileOf(GameSystem::Snes);
        case 2:
            return ProfileOf(GameSystem::Gba);
        case 3:
            return ProfileOf(GameSystem::Sega);
        case 4:
            return ProfileOf(GameSystem::Nes);
        case 5:
            return ProfileOf(GameSystem::N64);
        case 6:
            return ProfileOf(GameSystem::NeoGeoPocket);
        case 7:
            return ProfileOf(GameSystem::PcEngine);
        case 8:
            return ProfileOf(GameSystem::Atari2600);
        case 9:
        case 10:
        case 11:
            return ProfileOf(GameSystem::Arcade);
        case 12:
            return ProfileOf(GameSystem::Java);
        case 13:
            return ProfileOf(GameSystem::Ds);
        case 14:
            return ProfileOf(GameSystem::Opener);
        default:
            return ProfileOf(GameSystem::Unknown);
    }
}
