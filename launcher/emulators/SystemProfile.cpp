#include "launcher/emulators/SystemProfile.h"

SystemProfile ProfileOf(int systemCode) {
    switch (systemCode) {
        case 1:
            return {"Super Nintendo", "*.zip;*.fig;*.smc;*.swc;*.sfc"};
        case 2:
            return {"GameBoy Advance", "*.zip;*.gba;*.gbc;*.gb"};
        case 3:
            return {"SEGA", "*.zip;*.sms;*.sg;*.sc;*.gg;*.bin;*.smd;*.32x;*.cue;*.iso"};
        case 4:
            return {"Nintendo", "*.zip;*.nes;*.nsf;*.fds;*.unf;*.gz"};
        case 5:
            return {"Nintendo 64", "*.zip;*.v64;*.z64;*.n64;*.rom;*.usa;*.jap;*.pal;*.eur"};
        case 6:
            return {"NeoGeo Pocket", "*.zip;*.ngp"};
        case 7:
            return {"PC Engine", "*.zip;*.pce;*.iso;*.isq;*.bin"};
        case 8:
            return {"Atari 2600", "*.zip;*.bin;*.z26"};
        case 9:
        case 10:
        case 11:
            return {"Arcade Emulator", "*.zip"};
        case 12:
            return {"Java 2 Emulator", "*.jar"};
        case 13:
            return {"Nintendo DS", "*.zip;*.nds;*.bin;*.pme;*.rom;*.elf;*.gba;*.agb;*.mb"};
        case 14:
            return {QString(),
                    "*.mp3;*.mid;*.kar;*.wma;*.zip;*.rar;*.7z;*.exe;*.bat;*.chm;*.pdf;*.txt;*.avi;"
                    "*.wmv;*.mpeg;*.mpg;*.swf;*.gif;*.jpg;*.bmp;*.png;*.html;*.htm;*.vbp"};
        default:
            return {QString(), "*.*"};
    }
}
