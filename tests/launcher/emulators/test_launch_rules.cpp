// How each launch rule builds the emulator's command, and how the command line box is read.

#include "launcher/emulators/CommandLineText.h"
#include "launcher/emulators/LaunchRules.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

TEST(LaunchRules, EachRuleComposesParametersAndArguments) {
    struct Case {
        QString emulator, system, folder, file, box, number;
        int rule;
        QString parameters, arguments;  // arguments joined by "|"
    };
    // clang-format off
    const Case cases[] = {
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
        // Quotes, leading dashes and non-ASCII letters stay inside the one argument.
        {"Nestopia.exe", "Nintendo", "/r", "--Mario \"Bros\" ゼ é.nes", "", "", 8,
         "\"/r/--Mario \"Bros\" ゼ é.nes\"", "/r/--Mario \"Bros\" ゼ é.nes"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE((c.emulator + ' ' + c.file + ' ' + c.box).toStdString());
        LaunchInput in;
        in.emulatorFolder = "/emu/";
        in.currentEmulator = c.emulator;
        in.emulatorProgram = "/emu/" + c.emulator;
        in.systemName = c.system;
        in.listedFolder = c.folder;
        in.fileName = c.file;
        in.commandLine = c.box;
        in.gameNumber = c.number;
        in.fileExists = [](const QString& p) { return p == "/j/g.jad"; };
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
        EXPECT_EQ(plan.refusal, "");
    }
}

// A name handed over bare would be an option when it begins with a dash: that launch is
// refused, with the reason. A name after a folder or in a switch's value is safe.
TEST(LaunchRules, ABareNameLikeAnOptionIsRefused) {
    struct Case {
        QString emulator, file, arguments;  // arguments joined by "|"
        bool refused;
    };
    const Case cases[] = {
        {"callus.exe", "--config=evil.zip", "", true},
        {"Callus.exe", "-x.ZIP", "", true},
        {"callus.exe", "a-b.zip", "a-b", false},
        {"callus.exe", " -a.zip", " -a", false},
        {"NO$GBA.exe", "-g.nds", "roms/-g.nds", false},
        {"Nestopia.exe", "-x.nes", "/r/-x.nes", false},
        {"zinc.exe", "-x.zip", "--use-config-file=/emu/zinc.cfg", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.emulator + ' ' + c.file).toStdString());
        LaunchInput in;
        in.emulatorFolder = "/emu/";
        in.currentEmulator = c.emulator;
        in.listedFolder = "/r";
        in.fileName = c.file;
        const LaunchPlan plan = composeLaunch(in);
        EXPECT_EQ(plan.start.arguments, c.arguments.split('|', Qt::SkipEmptyParts));
        EXPECT_EQ(plan.refusal, c.refused ? optionLikeNameRefusal(c.file) : QString());
    }
}

TEST(CommandLineText, SwitchModeAndNarrowingPattern) {
    struct Case {
        QString text;
        bool switches;
        QString pattern;
    };
    const Case cases[] = {
        {"", false, "*.zip;*.smc"},         {"-fs", true, "*.zip;*.smc"},
        {"   -fs", true, "*.zip;*.smc"},    {"a/b", true, "*.zip;*.smc"},
        {"fs", false, "*fs*.zip;*fs*.smc"}, {"x-y", false, "*x-y*.zip;*x-y*.smc"},
        {" ", false, "* *.zip;* *.smc"},
    };
    for (const Case& c : cases) {
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
    for (const Case& c : cases)
        EXPECT_EQ(splitSwitches(c.text), c.words) << c.text.toStdString();
}

}  // namespace
