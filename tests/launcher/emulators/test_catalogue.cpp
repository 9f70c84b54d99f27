// The emulator catalogue: which programs of a folder are emulators, in what order, of what
// system, and what each system plays.

#include "launcher/emulators/EmulatorCatalogue.h"
#include "launcher/emulators/SystemProfile.h"
#include "support/QtPrinters.h"
#include "support/TempFolder.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

QStringList scan(const TempFolder& t) {
    QStringList out;
    for (const FoundEmulator& f : ScanCatalogue(t.path() + u'/'))
        out << QStringLiteral("%1:%2").arg(f.name).arg(f.code);
    return out;
}

// A name listed twice would show its emulator twice in the list.
TEST(Catalogue, HoldsEveryProgramOnce) {
    QStringList programs = EmulatorCatalogue().filter(".exe", Qt::CaseInsensitive);
    for (QString& p : programs)
        p = p.toLower();
    EXPECT_EQ(programs.removeDuplicates(), 0);
}

TEST(Catalogue, ScanFindsNamesInCatalogueOrderWithTheirCodes) {
    TempFolder t;
    // Written in an order unlike the catalogue's, with letter cases unlike it.
    for (const char* n : {"famtasia.EXE", "no$nes.exe", "z26DOS.exe", "Nestopia.exe", "ZSNES.exe",
                          "rombard.exe", "notes.txt"})
        t.write(n);
    EXPECT_EQ(scan(t), (QStringList{"zsnes.exe:1", "Nestopia.exe:4", "NO$NES.EXE:4",
                                    "Famtasia.exe:4", "Z26dos.EXE:8", "rombard.exe:14"}));
}

TEST(Catalogue, NativeProgramsStandForTheirWindowsNames) {
    TempFolder t;
    auto executable = [](const QString& p) {
        QFile::setPermissions(p, QFile::permissions(p) | QFile::ExeOwner | QFile::ExeUser);
    };
    executable(t.write("stella", "#!/bin/sh\n"));
    t.write("Nestopia", "not a program");  // not executable: not an emulator
    executable(t.write("rombard"));
    t.mkdir("snes9x");  // a folder is not a program either
    QFile::link(t.file("stella"), t.file("Z26"));
    EXPECT_EQ(scan(t), (QStringList{"z26.exe:8", "stella.exe:8", "rombard.exe:14"}));
    EXPECT_EQ(EmulatorProgram(t.path() + u'/', "STELLA.exe"), t.file("stella"));
    EXPECT_EQ(EmulatorProgram(t.path() + u'/', "nestopia.exe"), QString());
    EXPECT_TRUE(ScanCatalogue(t.file("missing/")).isEmpty());
}

// A code outside the systems plays every file; the opener has no system and plays documents.
TEST(SystemProfiles, CodesWithoutASystem) {
    for (const int code : {0, 15, -1}) {
        EXPECT_TRUE(ProfileOf(code).name.isEmpty()) << code;
        EXPECT_EQ(ProfileOf(code).mask, "*.*") << code;
    }
    EXPECT_TRUE(ProfileOf(14).name.isEmpty());
    EXPECT_TRUE(ProfileOf(14).mask.startsWith("*.mp3;*.mid;"));
}

}  // namespace
