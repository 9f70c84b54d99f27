// The command line and the choice of the emulator folder at start-up.

#include "launcher/window/StartFolder.h"
#include "platform/FileNames.h"
#include "platform/SettingsStore.h"
#include "support/Fakes.h"
#include "support/QtPrinters.h"
#include "support/TempFolder.h"

#include <QFile>
#include <QMap>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

using Action = CommandLineRequest::Action;

TEST(CommandLine, OptionsAndFolder) {
    const struct {
        QList<QByteArray> args;
        Action action;
        const char* folder;
    } cases[] = {
        // clang-format off
        {{}, Action::Run, ""}, {{"roms"}, Action::Run, "roms"}, {{"--help"}, Action::Help, ""},
        {{"-z", "x", "-h"}, Action::Help, ""},  // help even after a mistake
        {{"--version"}, Action::Version, ""}, {{"-V", "games"}, Action::Version, "games"},
        {{"--version", "-z"}, Action::Error, ""},
        {{"--", "--help"}, Action::Run, "--help"},  // a folder named like an option
        {{"-"}, Action::Run, "-"}, {{"-x"}, Action::Error, ""}, {{"a", "b"}, Action::Error, "a"},
        {{""}, Action::Error, ""},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').constData());
        const CommandLineRequest r = parseCommandLine(c.args);
        EXPECT_EQ(r.action, c.action);
        EXPECT_EQ(r.folder, QString::fromUtf8(c.folder));
        EXPECT_EQ(r.error.isEmpty(), c.action != Action::Error);
    }
    // A name that is not UTF-8 comes back to the same bytes.
    const QByteArray raw("caf\xe9 games");
    EXPECT_EQ(platform::encodeName(parseCommandLine({raw}).folder), raw);
}

class MapSettings : public platform::SettingsStore {
public:
    QString getSetting(const QString&, const QString& section, const QString& key,
                       const QString& defaultValue) const override {
        return values.value(section + u'/' + key, defaultValue);
    }
    void saveSetting(const QString&, const QString& section, const QString& key,
                     const QString& value) override {
        writes.append(section + u'/' + key + u'=' + value);
        values[section + u'/' + key] = value;
    }
    QMap<QString, QString> values;
    QStringList writes;
};

enum class Arg { None, Good, Missing, File };
// SystemBin: the program installed in a system folder, an emulator beside it.
enum class Own { Empty, Emulator, Roms, OnlyItself, SystemBin };
enum class Last { None, Good, Gone };
enum class Pick { Cancel, Good, FileThenGood };

TEST(StartFolder, ChoiceOrder) {
    using S = StartFolderSource;
    const struct {
        Arg arg;
        Own own;
        Last last;
        Pick pick;
        S source;
        const char* folder;  // relative to the test's root
        int picks;
        int told;
    } cases[] = {
        // clang-format off
        {Arg::Good, Own::Emulator, Last::Good, Pick::Good, S::Argument, "arg/", 0, 0},
        {Arg::Missing, Own::Emulator, Last::Good, Pick::Good, S::Picker, "picked/", 1, 1},
        // A folder given and not there: cancelling the picker ends the launcher (no folder).
        {Arg::File, Own::Emulator, Last::None, Pick::Cancel, S::NoChoice, nullptr, 1, 1},
        {Arg::None, Own::Emulator, Last::Good, Pick::Good, S::ProgramFolder, "own/", 0, 0},
        {Arg::None, Own::Roms, Last::Good, Pick::Good, S::ProgramFolder, "own/", 0, 0},
        {Arg::None, Own::OnlyItself, Last::Good, Pick::Good, S::LastFolder, "last/", 0, 0},
        {Arg::None, Own::SystemBin, Last::Good, Pick::Good, S::LastFolder, "last/", 0, 0},
        {Arg::None, Own::Empty, Last::Gone, Pick::Good, S::Picker, "picked/", 1, 1},
        {Arg::None, Own::Empty, Last::None, Pick::FileThenGood, S::Picker, "picked/", 2, 1},
        {Arg::None, Own::SystemBin, Last::None, Pick::Cancel, S::NoChoice, "own/", 1, 0},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        TempFolder root;
        const QString base = root.path() + u'/';
        for (const char* d : {"own", "arg", "last", "picked"})
            root.mkdir(d);
        root.write("file.txt");
        auto executable = [&](const QString& name) {
            const QString p = root.write("own/" + name, "#!/bin/sh\n");
            QFile::setPermissions(p, QFile::permissions(p) | QFile::ExeOwner);
        };
        executable("rombard");
        if (c.own == Own::Emulator || c.own == Own::SystemBin) executable("stella");
        if (c.own == Own::Roms) root.mkdir("own/roms");

        StartFolderFacts facts;
        facts.programFolder = base + "own";
        facts.systemBinFolders = {"/usr/bin"};
        if (c.own == Own::SystemBin) facts.systemBinFolders << base + "own/";
        facts.pickerStart = base;
        const char* args[] = {"", "arg", "nothing here", "file.txt"};
        if (c.arg != Arg::None) facts.argument = base + args[static_cast<int>(c.arg)];

        MapSettings settings;
        const QString lastKey = kLauncherSection + u'/' + kLastFolderKey;
        if (c.last != Last::None)
            settings.values[lastKey] = base + (c.last == Last::Good ? "last/" : "gone/");

        fakes::FakeDialogs dialogs;
        if (c.pick == Pick::FileThenGood) dialogs.folderAnswers.append(base + "file.txt");
        if (c.pick != Pick::Cancel) dialogs.folderAnswers.append(base + "picked");

        QStringList told;
        const StartFolderChoice got =
            chooseStartFolder(facts, settings, dialogs, [&](const QString& t) { told << t; });
        EXPECT_TRUE(settings.writes.isEmpty());
        rememberStartFolder(got, settings);
        EXPECT_EQ(got.source, c.source);
        EXPECT_EQ(got.folder, c.folder ? base + c.folder : QString());
        // A given folder that cannot be used is named in a message, before the picker.
        const bool bad = c.arg == Arg::Missing || c.arg == Arg::File;
        ASSERT_EQ(dialogs.messages.size(), bad ? 1 : 0);
        if (bad) {
            EXPECT_TRUE(dialogs.messages.first().text.contains(facts.argument));
        }
        EXPECT_EQ(dialogs.folderPicks.size(), c.picks);
        EXPECT_EQ(told.size(), c.told) << told.join('\n').toStdString();
        if (c.picks > 0) {  // the fake keeps the title as the text, the start as the title
            EXPECT_EQ(dialogs.folderPicks.first().text, kPickerTitle);
            EXPECT_EQ(dialogs.folderPicks.first().title, base);
        }
        // A folder chosen anew is the one used last; a stored one or no choice writes nothing.
        const bool fresh = c.source != S::LastFolder && c.source != S::NoChoice;
        EXPECT_EQ(settings.writes,
                  fresh ? QStringList{lastKey + u'=' + got.folder} : QStringList{});
    }
}

// The games folder's candidates: a folder of games named as the emulator folder ends them.
TEST(StartFolder, GamesFolderCandidates) {
    const struct {
        const char* wanted;
        const char* games;
        const char* remembered;
        QStringList expected;
    } cases[] = {
        // clang-format off
        {"/e/roms", "", "/nes/", {"/e/roms/", "/nes/", "/e/"}},
        {"/e/roms", "", "", {"/e/roms/", "/e/"}},
        {"/picked", "", "/e/roms/", {"/picked/", "/e/roms/", "/e/"}},
        {"/e/roms", "/e/", "/nes/", {"/e/roms/", "/e/"}},
        {"/picked/", "/e/", "/nes/", {"/picked/", "/e/"}},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        EXPECT_EQ(gamesFolderCandidates(c.wanted, c.games, c.remembered, "/e/"), c.expected);
    }
}

TEST(StartFolder, ProblemsOfAGivenFolder) {
    TempFolder root;
    root.write("file");
    root.mkdir("locked");
    QFile::setPermissions(root.file("locked"), QFile::Permissions());
    EXPECT_EQ(folderProblem(root.path()), "");
    EXPECT_EQ(folderProblem(root.file("none")), root.file("none") + ": no such folder");
    EXPECT_EQ(folderProblem(root.file("file")), root.file("file") + ": not a folder");
    if (geteuid() != 0) {  // the superuser reads any folder
        EXPECT_EQ(folderProblem(root.file("locked")),
                  root.file("locked") + ": the folder cannot be read");
    }
    QFile::setPermissions(root.file("locked"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// Qt's own options are left for Qt; everything else is judged as the launcher's.
TEST(CommandLine, QtOptionsAreSetAside) {
    const std::pair<QList<QByteArray>, QList<QByteArray>> cases[] = {
        {{"-platform", "offscreen", "roms"}, {"roms"}},
        {{"--platform=xcb", "-reverse", "-style", "fusion"}, {}},
        {{"-bogus", "-display", ":1"}, {"-bogus"}},
        {{"--bogus"}, {"--bogus"}},
        {{"-reverse=1"}, {"-reverse=1"}},                      // a flag takes no value
        {{"--", "-platform", "x"}, {"--", "-platform", "x"}},  // folders named like options
        {{"-platform"}, {}},
    };
    for (const auto& [args, left] : cases)
        EXPECT_EQ(withoutQtOptions(args), left) << args.join(' ').constData();
}

// A later copy's folder comes through byte for byte; a caption is no folder.
TEST(StartFolder, FolderHandoffRoundTrip) {
    const QString odd = platform::decodeName(QByteArray("/tmp/a b\n%20\xff/"));
    for (const QString& folder : {QStringLiteral("/home/me/emus/"), odd}) {
        const QString message = folderHandoff(folder);
        EXPECT_FALSE(message.contains('\n'));
        EXPECT_EQ(handedFolder(message), std::optional<QString>(folder));
    }
    EXPECT_EQ(handedFolder("[zsnes] Super Nintendo - Emulator Launcher"), std::nullopt);
    EXPECT_EQ(handedFolder("folder "), std::nullopt);
}

}  // namespace
