// The emulators of the folder, the system and emulators.conf, and the commands they get.

#include "launcher/emulators/CommandLineText.h"
#include "launcher/emulators/EmulatorCatalogue.h"
#include "launcher/emulators/EmulatorOutput.h"
#include "launcher/emulators/InstalledEmulators.h"
#include "launcher/emulators/LaunchRules.h"
#include "launcher/emulators/SystemProfile.h"
#include "support/QtPrinters.h"
#include "support/TempFolder.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

QString executable(TempFolder& t, const QString& name, const QByteArray& text = "#!/bin/sh\n") {
    const QString path = t.write(name, text);
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
    return path;
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
    QStringList found;
    for (const FoundEmulator& f : scanCatalogue(t.path() + u'/'))
        found << QStringLiteral("%1:%2").arg(f.name).arg(f.code);
    EXPECT_EQ(found, (QStringList{"zsnes.exe:1", "Nestopia.exe:4", "NO$NES.EXE:4", "Famtasia.exe:4",
                                  "Z26dos.EXE:8", "rombard.exe:14"}));
}

// Native programs show under their file names; the running launcher is no emulator.
TEST(Catalogue, ShownNamesAndTheLauncherItself) {
    const struct {
        const char* what;
        // "a.exe" Windows, "a" native, "a->b" a link, "a!" not executable, "a/" a folder
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
            if (f.endsWith('/'))
                t.mkdir(f);
            else if (f.endsWith('!'))
                t.write(f.chopped(1), "not a program");
            else
                executable(t, f, f.endsWith("differs") ? "other" : "#!/bin/sh\n");
        }
        QStringList found;
        for (const FoundEmulator& e :
             scanCatalogue(t.path() + u'/', c.own.isEmpty() ? QString() : t.file(c.own)))
            found << e.name + '=' + e.shownName;
        EXPECT_EQ(found, c.found);
    }
    EXPECT_TRUE(runningProgram().endsWith("/launcher_tests")) << runningProgram().toStdString();
    TempFolder t;
    executable(t, "stella");
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

// Each system keeps every pattern it ever listed and plays what its installed emulators do.
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

// "name=program arguments... | system | process", with `root` left out of the paths.
QStringList found(const InstalledSearch& where, const QString& root) {
    QStringList out;
    for (const InstalledEmulator& e : scanInstalledEmulators(where))
        out << QString(e.name + '=' + e.program + ' ' + e.arguments.join(' ') + " | " +
                       e.systemName + " | " + e.processName)
                   .remove(root);
    return out;
}

TEST(InstalledEmulators, FoundInPathFlatpakExportsAndCores) {
    TempFolder t;  // PATH's folders a and b, the flatpak exports, and two folders of cores
    // PATH's order decides; scummvm found in PATH hides its flatpak; mupen64plus is Debian's name.
    for (const char* program :
         {"b/stella", "a/stella", "b/mednafen", "b/mupen64plus", "a/scummvm", "flat/io.mgba.mGBA",
          "flat/org.scummvm.ScummVM", "flat/org.libretro.RetroArch"})
        executable(t, program);
    t.write("a/mednafen", "#!/bin/sh\n");  // not executable: not a program
    t.mkdir("a/fceux");                    // a folder is no program
    // c2's snes9x is hidden by c1's; a core without a name is none.
    for (const char* file : {"c1/snes9x_libretro.so", "c1/notes.txt", "c2/snes9x_libretro.so",
                             "c2/mystery_libretro.so", "c2/_libretro.so"})
        t.write(file);
    t.mkdir("c1/folder_libretro.so");

    InstalledSearch where;
    where.pathFolders = {"", t.file("a"), t.file("b/"), "/no/such/folder"};
    where.flatpakFolders = {t.file("flat")};
    where.coreFolders = {t.file("c1"), t.file("c2")};
    EXPECT_EQ(found(where, t.path()),
              (QStringList{
                  "mednafen=/b/mednafen {game} | Multi-system | mednafen",
                  "mgba-qt=/flat/io.mgba.mGBA {game} | GameBoy Advance | mgba-qt",
                  "mupen64plus=/b/mupen64plus {game} | Nintendo 64 | mupen64plus",
                  "retroarch (snes9x)=/flat/org.libretro.RetroArch -L /c1/snes9x_libretro.so "
                  "{game} | Super Nintendo | retroarch",
                  "retroarch (mystery)=/flat/org.libretro.RetroArch -L /c2/mystery_libretro.so "
                  "{game} |  | retroarch",
                  "stella=/a/stella {game} | Atari 2600 | stella",
                  "scummvm=/a/scummvm --path {folder} --auto-detect | ScummVM | scummvm",
              }));

    // Each lists the files a folder emulator of its system lists (stella, the sixth, here).
    EXPECT_EQ(scanInstalledEmulators(where).at(5).mask, profileOf(GameSystem::Atari2600).mask);

    // Nothing searched, nothing found; retroarch without a core is not offered.
    EXPECT_TRUE(scanInstalledEmulators({}).isEmpty());
    where.coreFolders.clear();
    EXPECT_EQ(found(where, t.path()).filter("retroarch"), QStringList{});
}

TEST(InstalledEmulators, TheGameIsAlwaysOneArgument) {
    InstalledEmulator e;
    e.program = "/usr/games/mame";
    e.arguments = {"-rompath", kFolderWord, kNameWord, "--x={game}", "{game}{name}"};
    EXPECT_EQ(
        installedStart(e, "/home/me/my games/{name} pac.man.zip", {"-window", "-v"}).arguments,
        (QStringList{"-window", "-v", "-rompath", "/home/me/my games", "{name} pac.man",
                     "--x=/home/me/my games/{name} pac.man.zip",
                     "/home/me/my games/{name} pac.man.zip{name} pac.man"}));

    // A name that is all extension, or starts with a dot, keeps the dot.
    e.arguments = {kNameWord};
    EXPECT_EQ(installedStart(e, "/r/.zip", {}).arguments, QStringList{".zip"});
    EXPECT_EQ(installedStart(e, "/r/.x.zip", {}).arguments, QStringList{".x"});

    // From the window's input: switches first, a search text is no switch.
    LaunchInput in;
    in.listedFolder = "/roms";
    in.fileName = "a b.a26";
    e.arguments = {kGameWord};
    in.commandLine = "-fullscreen 1 -tv.filter \"rgb mode\"";
    EXPECT_EQ(installedLaunch(e, in).start.arguments,
              (QStringList{"-fullscreen", "1", "-tv.filter", "rgb mode", "/roms/a b.a26"}));
    in.commandLine = "pac";
    const LaunchPlan plan = installedLaunch(e, in);
    EXPECT_EQ(plan.start.arguments, QStringList{"/roms/a b.a26"});
    EXPECT_EQ(plan.parameters, "\"/roms/a b.a26\"");

    // The bare name is refused where it alone would make an option of its word.
    in.commandLine = "-fs";
    in.fileName = "-x.a26";
    const struct {
        QStringList arguments;
        bool refused;
    } named[] = {{{kNameWord}, true},
                 {{"-rom", kNameWord + ".bin"}, true},
                 {{"--rom=" + kNameWord}, false},
                 {{kGameWord}, false},
                 {{kFolderWord, "x" + kNameWord}, false}};
    for (const auto& n : named) {
        e.arguments = n.arguments;
        EXPECT_EQ(installedLaunch(e, in).refusal,
                  n.refused ? optionLikeNameRefusal("-x.a26") : QString())
            << n.arguments.join(' ').toStdString();
    }
}

TEST(InstalledEmulators, UserFileGoodAndMalformedLines) {
    TempFolder bin;
    const QString mine = executable(bin, "my-emu");
    const struct {
        const char* what;
        QString text;
        QStringList emulators;  // "name|program|arguments|system|mask|folder"
        QStringList problems;   // with "F" for the file's name
        // clang-format off
    } cases[] = {
        {"a full entry, comments, blanks and a path with blanks kept whole",
         "# mine\n\n[My SNES]\nprogram = my-emu\nsystem = Super Nintendo\n"
         "masks = *.sfc;*.smc\r\narguments = --full \"--title=a b\" {game} 'x y'\n"
         "folder = /opt/x y\n; the end\n",
         {"My SNES|<bin>/my-emu|--full,--title=a b,{game},x y|Super Nintendo|*.sfc;*.smc|/opt/x y"},
         {}},
        {"defaults: every file, the game as the only argument", "[Plain]\nprogram=<bin>/my-emu\n",
         {"Plain|<bin>/my-emu|{game}||*.*|"}, {}},
        {"a template without the game gets it last", "[A]\nPROGRAM = my-emu\narguments = -f\n",
         {"A|<bin>/my-emu|-f,{game}||*.*|"}, {}},
        {"a template naming the folder or the name alone gets nothing added",
         "[A]\nprogram = my-emu\narguments = --path {folder}\n"
         "[B]\nprogram = my-emu\narguments = {name}.cue\n",
         {"A|<bin>/my-emu|--path,{folder}||*.*|", "B|<bin>/my-emu|{name}.cue||*.*|"}, {}},
        {"an open quote", "[A]\nprogram = my-emu\narguments = -x \"{game}\n[B]\nprogram = my-emu\n",
         {"B|<bin>/my-emu|{game}||*.*|"}, {"F, line 3: a quote is left open in the arguments"}},
        {"an unknown key and a line that is no setting",
         "[A]\nprogam = my-emu\n[B]\nprogram = my-emu\njust words\n", {},
         {"F, line 2: unknown key \"progam\" (known: program, system, masks, arguments, folder)",
         "F, line 5: expected \"[name]\" or \"key = value\", found \"just words\""}},
        {"a setting before any name, a name left open, an empty name",
         "program = x\n[Open\nprogram = my-emu\n[ ]\n", {},
         {"F, line 1: \"program\" comes before any \"[name]\"",
         "F, line 2: an emulator's name must be closed with \"]\"",
         "F, line 4: the emulator has no name between \"[\" and \"]\""}},
        {"no program, a program not installed, a key twice, a name twice",
         "[A]\nsystem = x\n[B]\nprogram = not-there\n[C]\nprogram = my-emu\nprogram = my-emu\n"
         "[D]\nprogram = my-emu\n[d]\nprogram = my-emu\n", {"D|<bin>/my-emu|{game}||*.*|"},
         {"F, line 7: \"program\" is given twice",
         "F, line 10: the emulator \"d\" is described twice",
         "F, line 1: \"A\" has no \"program = ...\"",
         "F, line 4: the program \"not-there\" is not installed"}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QString text = c.text;
        text.replace("<bin>", bin.path());
        const UserEmulators got = parseUserEmulators(text, "F", {"/no/such", bin.path()});
        QStringList emulators;
        for (const InstalledEmulator& e : got.emulators)
            emulators << QStringList{e.name,       e.program, e.arguments.join(','),
                                     e.systemName, e.mask,    e.workingFolder}
                             .join('|')
                             .replace(bin.path(), "<bin>");
        EXPECT_EQ(emulators, c.emulators);
        EXPECT_EQ(got.problems, c.problems);
    }
    // The file itself: missing is no problem; a path that is a folder is.
    TempFolder conf;
    EXPECT_TRUE(readUserEmulators(conf.file("emulators.conf"), {}).problems.isEmpty());
    conf.mkdir("emulators.conf");
    EXPECT_EQ(readUserEmulators(conf.file("emulators.conf"), {}).problems.size(), 1);
    conf.write("other.conf", "[X]\nprogram = " + mine.toUtf8() + "\n");
    EXPECT_EQ(readUserEmulators(conf.file("other.conf"), {}).emulators.size(), 1);
}

TEST(EmulatorOutput, TheFiveSecondRuleAndTheLastLines) {
    const QByteArray stella =
        "Using Stella 6.7\n\x1b[31mERROR: Unrecognized ROM file type\x1b[0m\n";
    QByteArray eleven;
    for (int i = 1; i <= 11; ++i)
        eleven += "line " + QByteArray::number(i) + "\n";
    const struct {
        const char* what;
        qint64 elapsed;
        bool started;
        QByteArray output;
        bool truncated;
        std::optional<QString> message;
    } cases[] = {
        {"ends at once with a complaint", 100, true, stella, false,
         "stella ended within 5 seconds of its start. The last it wrote:\n\n"
         "Using Stella 6.7\nERROR: Unrecognized ROM file type"},
        {"just before the limit", kEarlyEndMs - 1, true, "", false,
         "stella ended within 5 seconds of its start and wrote nothing."},
        {"played: nothing said, whatever it wrote", kEarlyEndMs, true, stella, false, std::nullopt},
        {"never started", 0, false, "", false, "stella could not be started."},
        {"the last ten lines, blank ones skipped", 0, true, eleven + "\n  \r\n", false,
         "stella ended within 5 seconds of its start. The last it wrote:\n\n"
         "line 2\nline 3\nline 4\nline 5\nline 6\nline 7\nline 8\nline 9\nline 10\nline 11"},
        {"a cut beginning is no line; a carriage return rewrites", 0, true,
         "ne 1\nloading 10%\rloading 100%\ndone", true,
         "stella ended within 5 seconds of its start. The last it wrote:\n\nloading 100%\ndone"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(earlyEndMessage("stella", c.elapsed, c.started, c.output, c.truncated),
                  c.message);
    }
}

TEST(LaunchRules, EachRuleComposesParametersAndArguments) {
    const struct {
        QString emulator, system, folder, file, box, number;
        int rule;
        QString parameters, arguments;  // arguments joined by "|"
        bool refused = false;
        // clang-format off
    } cases[] = {
        {"zinc.exe", "Arcade Emulator", "/emu/roms", "sfex.zip", "", "123", 1,
         "123 --use-config-file=\"/emu/zinc.cfg\"", "123|--use-config-file=/emu/zinc.cfg"},
        // Without a game number the text begins with the blank; the box is ignored.
        {"ZINC.EXE", "Arcade Emulator", "/emu/roms", "x.zip", "-fs", "", 1,
         " --use-config-file=\"/emu/zinc.cfg\"", "--use-config-file=/emu/zinc.cfg"},
        // Switches do not apply to documents.
        {"rombard.exe", "", "/docs", "manual -x.pdf", "-fs", "", 2, "", ""},
        {"snes9x.exe", "Super Nintendo", "/roms", "a.smc", "  -fs ", "", 3, "-fs \"/roms/a.smc\"", "-fs|/roms/a.smc"},
        // A slash anywhere is switch mode.
        {"snes9x.exe", "Super Nintendo", "/roms/", "a b.smc", "x /y 'two words'", "", 3,
         "x /y 'two words' \"/roms/a b.smc\"", "x|/y|two words|/roms/a b.smc"},
        // Unbalanced quotes stay one argument before the file.
        {"snes9x.exe", "Super Nintendo", "/r", "a.smc", "-cfg \"x y", "", 3, "-cfg \"x y \"/r/a.smc\"", "-cfg \"x y|/r/a.smc"},
        // A search text is not passed on.
        {"snes9x.exe", "Super Nintendo", "/roms", "a.smc", "fs", "", 8, "\"/roms/a.smc\"", "/roms/a.smc"},
        {"Project64.exe", "Nintendo 64", "/my roms", "Mario 64.z64", "", "", 4, "/my roms/Mario 64.z64", "/my roms/Mario 64.z64"},
        {"rocknesx.EXE", "Nintendo", "/r", "a.nes", "", "", 4, "/r/a.nes", "/r/a.nes"},
        // Only g.jar has its jad twin.
        {"midp2exe.exe", "Java 2 Emulator", "/j", "g.jar", "", "", 5,
         "-jad \"/j/g.jad\" -jar \"/j/g.jar\" -k", "-jad|/j/g.jad|-jar|/j/g.jar|-k"},
        {"midp2exe.exe", "Java 2 Emulator", "/j", "h.jar", "", "", 5, "-jar \"/j/h.jar\" -k", "-jar|/j/h.jar|-k"},
        {"callus.exe", "Arcade Emulator", "/r", "Game.ZIP", "", "", 6, "Game", "Game"},
        {"NO$GBA.exe", "Nintendo DS", "/emu/roms", "g.nds", "", "", 7, "\"roms/g.nds\"", "roms/g.nds"},
        // A bare name beginning with a dash would be an option: refused, with the reason.
        {"callus.exe", "Arcade Emulator", "/r", "--config=evil.zip", "", "", 6, "--config=evil", "", true},
        {"Callus.exe", "Arcade Emulator", "/r", "-x.ZIP", "", "", 6, "-x", "", true},
        {"callus.exe", "Arcade Emulator", "/r", " -a.zip", "", "", 6, " -a", " -a"},
        {"NO$GBA.exe", "Nintendo DS", "/emu/roms", "-g.nds", "", "", 7, "\"roms/-g.nds\"", "roms/-g.nds"},
        // Quotes, leading dashes and non-ASCII letters stay inside the one argument.
        {"Nestopia.exe", "Nintendo", "/r", "--Mario \"Bros\" ゼ é.nes", "", "", 8,
         "\"/r/--Mario \"Bros\" ゼ é.nes\"", "/r/--Mario \"Bros\" ゼ é.nes"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE((c.emulator + ' ' + c.file + ' ' + c.box).toStdString());
        const LaunchInput in{
            "/emu/",  c.emulator, "/emu/" + c.emulator,
            c.system, c.folder,   c.file,
            c.box,    c.number,   [](const QString& p) { return p == "/j/g.jad"; }};
        const LaunchPlan plan = composeLaunch(in);
        const bool opener = c.rule == 2;
        const QString full = c.folder + "/" + c.file;
        EXPECT_EQ(plan.rule, c.rule);
        EXPECT_EQ(plan.parameters, c.parameters);
        EXPECT_EQ(plan.start.arguments, c.arguments.split('|', Qt::SkipEmptyParts));
        EXPECT_EQ(plan.openDocument, opener);
        EXPECT_EQ(plan.start.program, opener ? full : in.emulatorProgram);
        EXPECT_EQ(plan.fileStarted, opener ? full : "/emu/" + c.emulator);
        EXPECT_EQ(plan.start.workingFolder, c.rule == 7 ? "/emu/" : "");
        EXPECT_EQ(plan.start.show, c.rule == 5 ? 0 : 1);  // Java runs hidden
        EXPECT_EQ(plan.refusal, c.refused ? optionLikeNameRefusal(c.file) : QString());
    }
}

TEST(CommandLineText, SwitchModeAndNarrowingPattern) {
    const struct {
        QString text;
        bool switches;
        QString pattern;
    } cases[] = {
        {"", false, "*.zip;*.smc"},         {"-fs", true, "*.zip;*.smc"},
        {"   -fs", true, "*.zip;*.smc"},    {"a/b", true, "*.zip;*.smc"},
        {"fs", false, "*fs*.zip;*fs*.smc"}, {"x-y", false, "*x-y*.zip;*x-y*.smc"},
        {" ", false, "* *.zip;* *.smc"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isSwitchText(c.text), c.switches) << c.text.toStdString();
        EXPECT_EQ(patternForBoxText("*.zip;*.smc", c.text), c.pattern) << c.text.toStdString();
    }
}

TEST(CommandLineText, SwitchesSplitLikeShellWords) {
    struct Case {
        QString text;
        std::optional<QStringList> words;
    };
    using L = QStringList;
    // clang-format off
    const Case cases[] = {
        {"", L{}}, {"  -a   -b ", L{"-a", "-b"}}, {"-c \"my file\" x", L{"-c", "my file", "x"}},
        {"-c 'a \"b\" c'", L{"-c", "a \"b\" c"}}, {"-c \"a \\\"b\\\" c\"", L{"-c", "a \"b\" c"}},
        {"a\\ b", L{"a b"}}, {"-x=\"\"", L{"-x="}}, {"\"\"", L{""}},
        {"$HOME `id` ;rm", L{"$HOME", "`id`", ";rm"}},
        {"-c \"open", std::nullopt}, {"-c 'open", std::nullopt},
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(splitSwitches(c.text), c.words) << c.text.toStdString();
}

}  // namespace
