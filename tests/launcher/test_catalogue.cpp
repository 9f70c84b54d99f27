#include "launcher/EmulatorCatalogue.h"
#include "launcher/SystemProfile.h"
#include "support/QtPrinters.h"
#include "support/TempFolder.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

QString folderOf(const TempFolder& t) {
    return t.path() + QLatin1Char('/');
}

void makeExecutable(const QString& path) {
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner | QFile::ExeUser);
}

QStringList names(const QList<FoundEmulator>& found) {
    QStringList out;
    for (const FoundEmulator& f : found)
        out << QStringLiteral("%1:%2").arg(f.name).arg(f.code);
    return out;
}

TEST(Catalogue, HoldsEveryNameOnceInItsOrder) {
    const QStringList& c = EmulatorCatalogue();
    QStringList programs = c.filter(".exe", Qt::CaseInsensitive);
    EXPECT_EQ(c.size() - programs.size(), 14);  // the system codes between them
    EXPECT_EQ(programs.size(), 150);
    for (QString& p : programs)
        p = p.toLower();
    EXPECT_EQ(programs.removeDuplicates(), 0);
    EXPECT_EQ(c.first(), "1");
    EXPECT_EQ(c.at(1), "zsnesw.exe");
    EXPECT_EQ(c.last(), "rombard.exe");
}

TEST(Catalogue, ScanFindsNamesInCatalogueOrderWithTheirCodes) {
    TempFolder t;
    // Written in an order unlike the catalogue's, with letter cases unlike it.
    t.write("famtasia.EXE");
    t.write("no$nes.exe");
    t.write("z26DOS.exe");
    t.write("Nestopia.exe");
    t.write("ZSNES.exe");
    t.write("rombard.exe");
    t.write("notes.txt");
    EXPECT_EQ(names(ScanCatalogue(folderOf(t))),
              (QStringList{"zsnes.exe:1", "Nestopia.exe:4", "NO$NES.EXE:4", "Famtasia.exe:4",
                           "Z26dos.EXE:8", "rombard.exe:14"}));
}

TEST(Catalogue, NativeProgramsStandForTheirWindowsNames) {
    TempFolder t;
    makeExecutable(t.write("stella", "#!/bin/sh\n"));
    t.write("Nestopia", "not a program");  // not executable: not an emulator
    makeExecutable(t.write("rombard"));
    t.mkdir("snes9x");  // a folder is not a program either
    QFile::link(t.file("stella"), t.file("Z26"));
    EXPECT_EQ(names(ScanCatalogue(folderOf(t))),
              (QStringList{"z26.exe:8", "stella.exe:8", "rombard.exe:14"}));
    EXPECT_EQ(EmulatorProgram(folderOf(t), "STELLA.exe"), t.file("stella"));
    EXPECT_EQ(EmulatorProgram(folderOf(t), "nestopia.exe"), QString());
    EXPECT_TRUE(ScanCatalogue(t.file("missing/")).isEmpty());
}

TEST(SystemProfiles, NamesAndMasksPerCode) {
    struct Case {
        int code;
        QString name, mask;
    };
    const Case cases[] = {
        {1, "Super Nintendo", "*.zip;*.fig;*.smc;*.swc;*.sfc"},
        {4, "Nintendo", "*.zip;*.nes;*.nsf;*.fds;*.unf;*.gz"},
        {5, "Nintendo 64", "*.zip;*.v64;*.z64;*.n64;*.rom;*.usa;*.jap;*.pal;*.eur"},
        {8, "Atari 2600", "*.zip;*.bin;*.z26"},
        {9, "Arcade Emulator", "*.zip"},
        {11, "Arcade Emulator", "*.zip"},
        {12, "Java 2 Emulator", "*.jar"},
        {0, "", "*.*"},
        {15, "", "*.*"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ProfileOf(c.code).name, c.name) << c.code;
        EXPECT_EQ(ProfileOf(c.code).mask, c.mask) << c.code;
    }
    EXPECT_TRUE(ProfileOf(14).name.isEmpty());
    EXPECT_TRUE(ProfileOf(14).mask.startsWith("*.mp3;*.mid;"));
    EXPECT_TRUE(ProfileOf(14).mask.endsWith(";*.html;*.htm;*.vbp"));
}

}  // namespace
