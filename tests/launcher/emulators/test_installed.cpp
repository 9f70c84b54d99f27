// The emulators installed on the system and those of emulators.conf: where they are found,
// how the file is read, and how a game's path reaches the program.

#include "launcher/emulators/EmulatorOutput.h"
#include "launcher/emulators/InstalledEmulators.h"
#include "launcher/emulators/SystemProfile.h"
#include "support/QtPrinters.h"
#include "support/TempFolder.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

QString executable(TempFolder& t, const QString& name) {
    const QString path = t.write(name, "#!/bin/sh\n");
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
    return path;
}

// "name=program arguments..." with the folders spelled as <a>, <b>, <flat>, <cores1>...
QStringList found(const InstalledSearch& where, const QMap<QString, QString>& folders) {
    QStringList out;
    for (const InstalledEmulator& e : scanInstalledEmulators(where)) {
        QString line = e.name + '=' + e.program + ' ' + e.arguments.join(' ') + " | " +
                       e.systemName + " | " + e.processName;
        for (auto it = folders.begin(); it != folders.end(); ++it)
            line.replace(it.value(), it.key());
        out << line;
    }
    return out;
}

TEST(InstalledEmulators, FoundInPathFlatpakExportsAndCores) {
    TempFolder a, b, flat, cores1, cores2;
    executable(b, "stella");
    executable(a, "stella");             // PATH's order decides
    a.write("mednafen", "#!/bin/sh\n");  // not executable: not a program
    executable(b, "mednafen");
    executable(b, "mupen64plus");  // Debian's name for the console front end
    a.mkdir("fceux");              // a folder is no program
    executable(flat, "io.mgba.mGBA");
    executable(flat, "org.scummvm.ScummVM");
    executable(a, "scummvm");  // found in PATH: the flatpak is not offered too
    executable(flat, "org.libretro.RetroArch");
    cores1.write("snes9x_libretro.so");
    cores1.write("notes.txt");
    cores1.mkdir("folder_libretro.so");
    cores2.write("snes9x_libretro.so");  // hidden by the first folder's
    cores2.write("mystery_libretro.so");
    cores2.write("_libretro.so");  // no name

    InstalledSearch where;
    where.pathFolders = {"", a.path(), b.path() + '/', "/no/such/folder"};
    where.flatpakFolders = {flat.path()};
    where.coreFolders = {cores1.path(), cores2.path()};
    const QMap<QString, QString> names{{"<a>", a.path()},
                                       {"<b>", b.path()},
                                       {"<flat>", flat.path()},
                                       {"<c1>", cores1.path()},
                                       {"<c2>", cores2.path()}};
    EXPECT_EQ(found(where, names),
              (QStringList{
                  "mednafen=<b>/mednafen {game} | Multi-system | mednafen",
                  "mgba-qt=<flat>/io.mgba.mGBA {game} | GameBoy Advance | mgba-qt",
                  "mupen64plus=<b>/mupen64plus {game} | Nintendo 64 | mupen64plus",
                  "retroarch (snes9x)=<flat>/org.libretro.RetroArch -L <c1>/snes9x_libretro.so "
                  "{game} | Super Nintendo | retroarch",
                  "retroarch (mystery)=<flat>/org.libretro.RetroArch -L <c2>/mystery_libretro.so "
                  "{game} |  | retroarch",
                  "stella=<a>/stella {game} | Atari 2600 | stella",
                  "scummvm=<a>/scummvm --path {folder} --auto-detect | ScummVM | scummvm",
              }));

    // Each lists the files a folder emulator of its system lists (stella, the sixth, here).
    EXPECT_EQ(scanInstalledEmulators(where).at(5).mask, profileOf(GameSystem::Atari2600).mask);

    // Nothing searched, nothing found; retroarch without a core is not offered.
    EXPECT_TRUE(scanInstalledEmulators({}).isEmpty());
    where.coreFolders.clear();
    EXPECT_EQ(found(where, names).filter("retroarch"), QStringList{});
}

TEST(InstalledEmulators, TheGameIsAlwaysOneArgument) {
    InstalledEmulator e;
    e.program = "/usr/games/mame";
    e.arguments = {"-rompath", kFolderWord, kNameWord, "--x={game}", "{game}{name}"};
    const platform::ProgramStart s =
        installedStart(e, "/home/me/my games/{name} pac.man.zip", {"-window", "-v"});
    EXPECT_EQ(s.program, "/usr/games/mame");
    EXPECT_EQ(s.arguments,
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
    EXPECT_FALSE(plan.openDocument);
    EXPECT_EQ(plan.refusal, "");

    // The bare name is refused where it alone would make an option of its word.
    in.commandLine = "-fs";
    in.fileName = "-x.a26";
    const struct {
        QStringList arguments;
        bool refused;
    } named[] = {
        {{kNameWord}, true},
        {{"-rom", kNameWord + ".bin"}, true},
        {{"--rom=" + kNameWord}, false},
        {{kGameWord}, false},
        {{kFolderWord, "x" + kNameWord}, false},
    };
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

}  // namespace
