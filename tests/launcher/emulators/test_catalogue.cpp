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
    for (const FoundEmulator& f : scanCatalogue(t.path() + u'/'))
        out << QStringLiteral("%1:%2").arg(f.name).arg(f.code);
    return out;
}

// A name listed twice would show its emulator twice in the list.
TEST(Catalogue, HoldsEveryProgramOnce) {
    QStringList programs = emulatorCatalogue().filter(".exe", Qt::CaseInsensitive);
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

// The box shows a native program under its own file name (a link under the link's); the
// catalogue name stays the key. The opener is the launcher itself when it is native or the
// running program's file, however reached.
TEST(Catalogue, ShownNamesAndTheLauncherItself) {
    const struct {
        const char* what;
        // "name" a native program, "name.exe" a Windows one, "a->b" a link, "name!" a file that
        // is not executable, "name/" a folder
        QStringList files;
        QString own;        // the running program, within the folder; empty: none there
        QStringList found;  // catalogue name=shown name
    } cases[] = {
        // clang-format off
        {"native under its own name", {"stella", "Z26->stella"}, "", {"z26.exe=Z26", "stella.exe=stella"}},
        {"not executable, or a folder: no program", {"Nestopia!", "snes9x/"}, "", {}},
        {"Windows under the catalogue's", {"STELLA.EXE"}, "", {"stella.exe=stella.exe"}},
        {"a Windows opener is offered", {"rombard.exe"}, "", {"rombard.exe=rombard.exe"}},
        {"unless it is the running program", {"rombard.exe"}, "rombard.exe", {}},
        {"a link to the running one", {"me.bin", "rombard.exe->me.bin"}, "me.bin", {}},
        {"a native copy of the launcher", {"me", "rombard", "stella"}, "me", {"stella.exe=stella"}},
        {"a native opener that is not the launcher", {"rombard"}, "", {"rombard.exe=rombard"}},
        {"the launcher differs", {"me.differs", "rombard"}, "me.differs", {"rombard.exe=rombard"}},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder t;
        for (const QString& f : c.files) {
            if (f.contains("->")) {
                ASSERT_TRUE(QFile::link(t.file(f.section("->", 1)), t.file(f.section("->", 0, 0))));
                continue;
            }
            if (f.endsWith('/')) {
                t.mkdir(f);
            } else if (f.endsWith('!')) {
                t.write(f.chopped(1), "not a program");
            } else {
                const QString path = t.write(f, f.endsWith("differs") ? "other" : "#!/bin/sh\n");
                QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
            }
        }
        QStringList found;
        for (const FoundEmulator& e :
             scanCatalogue(t.path() + u'/', c.own.isEmpty() ? QString() : t.file(c.own)))
            found << e.name + '=' + e.shownName;
        EXPECT_EQ(found, c.found);
    }
    EXPECT_TRUE(runningProgram().endsWith("/launcher_tests")) << runningProgram().toStdString();
    TempFolder t;
    QFile::setPermissions(t.write("stella"), QFile::ReadOwner | QFile::ExeOwner);
    t.write("Nestopia");
    EXPECT_EQ(emulatorProgramPath(t.path() + u'/', "STELLA.exe"), t.file("stella"));
    EXPECT_EQ(emulatorProgramPath(t.path() + u'/', "nestopia.exe"), QString());
    EXPECT_TRUE(scanCatalogue(t.file("missing/")).isEmpty());
}

// A code outside the systems plays every file; the opener has no system and plays documents.
TEST(SystemProfiles, CodesWithoutASystem) {
    for (const int code : {0, 15, -1}) {
        EXPECT_TRUE(profileOf(code).name.isEmpty()) << code;
        EXPECT_EQ(profileOf(code).mask, "*.*") << code;
    }
    EXPECT_TRUE(profileOf(14).name.isEmpty());
    EXPECT_TRUE(profileOf(14).mask.startsWith("*.mp3;*.mid;"));
}

// Each system keeps every pattern its folder emulators ever listed (stored settings and
// users' folders rely on them), and plays what the installed emulators of it play.
TEST(SystemProfiles, MasksKeepWhatTheyHadAndAgreeAcrossEmulators) {
    const struct {
        int code;
        GameSystem system;
        const char *had, *installedHad, *added;
    } cases[] = {
        {1, GameSystem::Snes, "*.zip;*.fig;*.smc;*.swc;*.sfc", "*.sfc", ""},
        // mGBA, the retroarch cores and the Windows emulators of these unpack a 7z.
        {2, GameSystem::Gba, "*.zip;*.gba;*.gbc;*.gb", "*.gba", "*.7z"},
        {3, GameSystem::Sega, "*.zip;*.sms;*.sg;*.sc;*.gg;*.bin;*.smd;*.32x;*.cue;*.iso",
         "*.md;*.gen", "*.md;*.gen;*.7z"},
        {4, GameSystem::Nes, "*.zip;*.nes;*.nsf;*.fds;*.unf;*.gz", "*.unif", "*.unif"},
        {5, GameSystem::N64, "*.zip;*.v64;*.z64;*.n64;*.rom;*.usa;*.jap;*.pal;*.eur", "*.z64", ""},
        {6, GameSystem::NeoGeoPocket, "*.zip;*.ngp", "*.ngc", "*.ngc"},
        {7, GameSystem::PcEngine, "*.zip;*.pce;*.iso;*.isq;*.bin", "*.sgx;*.cue", "*.sgx"},
        {8, GameSystem::Atari2600, "*.zip;*.bin;*.z26", "*.a26", "*.a26"},
        {9, GameSystem::Arcade, "*.zip", "*.7z", "*.7z"},
        {11, GameSystem::Arcade, "*.zip", "*.7z", ""},
        {13, GameSystem::Ds, "*.zip;*.nds;*.bin;*.pme;*.rom;*.elf;*.gba;*.agb;*.mb", "*.nds", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        QStringList mask = profileOf(c.code).mask.split(u';');
        EXPECT_EQ(profileOf(c.code).mask, profileOf(c.system).mask);
        EXPECT_EQ(profileOf(c.code).name, profileOf(c.system).name);
        for (const char* list : {c.had, c.installedHad, c.added})
            for (const QString& pattern : QString(list).split(';', Qt::SkipEmptyParts))
                EXPECT_TRUE(mask.contains(pattern)) << pattern.toStdString();
        EXPECT_EQ(mask.removeDuplicates(), 0);
    }
}

}  // namespace
