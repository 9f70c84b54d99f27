#include "launcher/emulators/SystemProfile.h"

SystemProfile profileOf(GameSystem system) {
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

SystemProfile profileOf(int systemCode) {
    switch (systemCode) {
        case 1:
            return profileOf(GameSystem::Snes);
        case 2:
            return profileOf(GameSystem::Gba);
        case 3:
            return profileOf(GameSystem::Sega);
        case 4:
            return profileOf(GameSystem::Nes);
        case 5:
            return profileOf(GameSystem::N64);
        case 6:
            return profileOf(GameSystem::NeoGeoPocket);
        case 7:
            return profileOf(GameSystem::PcEngine);
        case 8:
            return profileOf(GameSystem::Atari2600);
        case 9:
        case 10:
        case 11:
            return profileOf(GameSystem::Arcade);
        case 12:
            return profileOf(GameSystem::Java);
        case 13:
            return profileOf(GameSystem::Ds);
        case 14:
            return profileOf(GameSystem::Opener);
        default:
            return profileOf(GameSystem::Unknown);
    }
}
