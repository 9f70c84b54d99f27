#include "launcher/CommandLineText.h"
#include "launcher/LaunchRules.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char* what;
    QString emulator, system, folder, file, box, number;
    bool jadExists;
    int rule;
    QString parameters;
    QStringList arguments;
    QString workingFolder;
    int show;
};

TEST(LaunchRules, EachRuleComposesParametersAndArguments) {
    const QString emu = "/emu/";
    const Case cases[] = {
        {"zinc with a game number",
         "zinc.exe",
         "Arcade Emulator",
         "/emu/roms",
         "sfex.zip",
         "",
         "123",
         false,
         1,
         "123 --use-config-file=\"/emu/zinc.cfg\"",
         {"123", "--use-config-file=/emu/zinc.cfg"},
         "",
         1},
        {"zinc without one begins with the blank",
         "ZINC.EXE",
         "Arcade Emulator",
         "/emu/roms",
         "x.zip",
         "-fs",
         "",
         false,
         1,
         " --use-config-file=\"/emu/zinc.cfg\"",
         {"--use-config-file=/emu/zinc.cfg"},
         "",
         1},
        {"switches come before the quoted file",
         "snes9x.exe",
         "Super Nintendo",
         "/roms",
         "a.smc",
         "  -fs ",
         "",
         false,
         3,
         "-fs \"/roms/a.smc\"",
         {"-fs", "/roms/a.smc"},
         "",
         1},
        {"a slash anywhere is switch mode",
         "snes9x.exe",
         "Super Nintendo",
         "/roms/",
         "a b.smc",
         "x /y 'two words'",
         "",
         false,
         3,
         "x /y 'two words' \"/roms/a b.smc\"",
         {"x", "/y", "two words", "/roms/a b.smc"},
         "",
         1},
        {"a search text is not passed on",
         "snes9x.exe",
         "Super Nintendo",
         "/roms",
         "a.smc",
         "fs",
         "",
         false,
         8,
         "\"/roms/a.smc\"",
         {"/roms/a.smc"},
         "",
         1},
        {"Nintendo 64 unquoted even with blanks",
         "Project64.exe",
         "Nintendo 64",
         "/my roms",
         "Mario 64.z64",
         "",
         "",
         false,
         4,
         "/my roms/Mario 64.z64",
         {"/my roms/Mario 64.z64"},
         "",
         1},
        {"RockNESX by name, any case",
         "rocknesx.EXE",
         "Nintendo",
         "/r",
         "a.nes",
         "",
         "",
         false,
         4,
         "/r/a.nes",
         {"/r/a.nes"},
         "",
         1},
        {"Java with its jad twin, hidden",
         "midp2exe.exe",
         "Java 2 Emulator",
         "/j",
         "g.jar",
         "",
         "",
         true,
         5,
         "-jad \"/j/g.jad\" -jar \"/j/g.jar\" -k",
         {"-jad", "/j/g.jad", "-jar", "/j/g.jar", "-k"},
         "",
         0},
        {"Java without a twin",
         "midp2exe.exe",
         "Java 2 Emulator",
         "/j",
         "g.jar",
         "",
         "",
         false,
         5,
         "-jar \"/j/g.jar\" -k",
         {"-jar", "/j/g.jar", "-k"},
         "",
         0},
        {"callus gets the name without .zip",
         "callus.exe",
         "Arcade Emulator",
         "/r",
         "Game.ZIP",
         "",
         "",
         false,
         6,
         "Game",
         {"Game"},
         "",
         1},
        {"no$gba runs in the emulator folder",
         "NO$GBA.exe",
         "Nintendo DS",
         "/emu/roms",
         "g.nds",
         "",
         "",
         false,
         7,
         "\"roms/g.nds\"",
         {"roms/g.nds"},
         "/emu/",
         1},
        {"everything else quotes the full name",
         "Nestopia.exe",
         "Nintendo",
         "/r",
         "Mario \"Bros\" -x.nes",
         "",
         "",
         false,
         8,
         "\"/r/Mario \"Bros\" -x.nes\"",
         {"/r/Mario \"Bros\" -x.nes"},
         "",
         1},
        {"a leading dash stays part of the name",
         "Nestopia.exe",
         "Nintendo",
         "/r",
         "--help.nes",
         "",
         "",
         false,
         8,
         "\"/r/--help.nes\"",
         {"/r/--help.nes"},
         "",
         1},
        {"non-ASCII names stay whole",
         "Nestopia.exe",
         "Nintendo",
         "/r",
         "Zelda ゼルダ é.nes",
         "",
         "",
         false,
         8,
         "\"/r/Zelda ゼルダ é.nes\"",
         {"/r/Zelda ゼルダ é.nes"},
         "",
         1},
    };
    for (const Case& c : cases) {
        LaunchInput in;
        in.emulatorFolder = emu;
        in.currentEmulator = c.emulator;
        in.emulatorProgram = emu + c.emulator;
        in.systemName = c.system;
        in.listedFolder = c.folder;
        in.fileName = c.file;
        in.commandLine = c.box;
        in.gameNumber = c.number;
        const bool jad = c.jadExists;
        QStringList asked;
        in.fileExists = [&](const QString& p) {
            asked << p;
            return jad;
        };
        const LaunchPlan plan = ComposeLaunch(in);
        SCOPED_TRACE(c.what);
        EXPECT_EQ(plan.rule, c.rule);
        EXPECT_EQ(plan.parameters, c.parameters);
        EXPECT_EQ(plan.start.arguments, c.arguments);
        EXPECT_EQ(plan.start.program, emu + c.emulator);
        EXPECT_EQ(plan.fileStarted, emu + c.emulator);
        EXPECT_EQ(plan.start.workingFolder, c.workingFolder);
        EXPECT_EQ(plan.start.show, c.show);
        EXPECT_FALSE(plan.openDocument);
        if (c.rule == 5) {
            EXPECT_EQ(asked, QStringList{"/j/g.jad"});
        }
    }
}

TEST(LaunchRules, OpenerModeOpensTheFileItself) {
    LaunchInput in;
    in.emulatorFolder = "/emu/";
    in.currentEmulator = "rombard.exe";
    in.emulatorProgram = "/emu/rombard";
    in.listedFolder = "/docs";
    in.fileName = "manual -x.pdf";
    in.commandLine = "-fs";  // switches do not apply to documents
    const LaunchPlan plan = ComposeLaunch(in);
    EXPECT_EQ(plan.rule, 2);
    EXPECT_TRUE(plan.openDocument);
    EXPECT_EQ(plan.fileStarted, "/docs/manual -x.pdf");
    EXPECT_TRUE(plan.parameters.isEmpty());
    EXPECT_TRUE(plan.start.arguments.isEmpty());
}

TEST(CommandLineText, SwitchModeAndNarrowingPattern) {
    struct Case {
        QString text;
        bool switches;
        QString pattern;
    };
    const QString mask = "*.zip;*.smc";
    const Case cases[] = {
        {"", false, "*.zip;*.smc"},
        {"-fs", true, "*.zip;*.smc"},
        {"   -fs", true, "*.zip;*.smc"},
        {"a/b", true, "*.zip;*.smc"},
        {"fs", false, "*fs*.zip;*fs*.smc"},
        {"mario", false, "*mario*.zip;*mario*.smc"},
        {"x-y", false, "*x-y*.zip;*x-y*.smc"},
        {" ", false, "* *.zip;* *.smc"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsSwitchText(c.text), c.switches) << c.text.toStdString();
        EXPECT_EQ(PatternForBoxText(mask, c.text), c.pattern) << c.text.toStdString();
    }
}

TEST(CommandLineText, SwitchesSplitLikeShellWords) {
    struct Case {
        QString text;
        std::optional<QStringList> words;
    };
    const Case cases[] = {
        {"", QStringList{}},
        {"  -a   -b ", QStringList{"-a", "-b"}},
        {"-c \"my file\" x", QStringList{"-c", "my file", "x"}},
        {"-c 'a \"b\" c'", QStringList{"-c", "a \"b\" c"}},
        {"-c \"a \\\"b\\\" c\"", QStringList{"-c", "a \"b\" c"}},
        {"a\\ b", QStringList{"a b"}},
        {"-x=\"\"", QStringList{"-x="}},
        {"\"\"", QStringList{""}},
        {"$HOME `id` ;rm", QStringList{"$HOME", "`id`", ";rm"}},
        {"-c \"open", std::nullopt},
        {"-c 'open", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitSwitches(c.text), c.words) << c.text.toStdString();
}

TEST(LaunchRules, UnbalancedQuotesStayOneArgumentBeforeTheFile) {
    LaunchInput in;
    in.emulatorFolder = "/emu/";
    in.currentEmulator = "snes9x.exe";
    in.emulatorProgram = "/emu/snes9x";
    in.listedFolder = "/r";
    in.fileName = "a.smc";
    in.commandLine = "-cfg \"x y";
    const LaunchPlan plan = ComposeLaunch(in);
    EXPECT_EQ(plan.parameters, "-cfg \"x y \"/r/a.smc\"");
    EXPECT_EQ(plan.start.arguments, (QStringList{"-cfg \"x y", "/r/a.smc"}));
}

}  // namespace
