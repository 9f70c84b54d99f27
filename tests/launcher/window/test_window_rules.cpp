// The window's rules without a window: paths, folder lists, layouts, settings, start folder.

#include "launcher/PathHelpers.h"
#include "launcher/emulators/EmulatorSettings.h"
#include "launcher/window/FolderNavigation.h"
#include "launcher/window/StartFolder.h"
#include "launcher/window/WindowLayout.h"
#include "platform/FileNames.h"
#include "platform/SettingsStore.h"
#include "support/Fakes.h"
#include "support/QtPrinters.h"
#include "support/RawFiles.h"
#include "support/TempFolder.h"

#include <QFile>
#include <QMap>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

TEST(PathHelpers, FoldersNamesAndSeparators) {
    struct Case {
        QString path, withSeparator, folder, name;
    };
    // clang-format off
    const Case cases[] = {
        {"/games", "/games/", "/", "games"}, {"/games/roms", "/games/roms/", "/games/", "roms"},
        {"/games/", "/games/", "/games/", ""}, {"/", "/", "/", ""},
        {"roms", "roms/", "", ""}, {"", "/", "", ""},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        EXPECT_EQ(withTrailingSeparator(c.path), c.withSeparator);
        EXPECT_EQ(parentFolderOf(c.path), c.folder);
        EXPECT_EQ(fileNameOf(c.path), c.name);
    }
}

TEST(PathHelpers, ExtensionsOfOneToFourCharactersAndInnerDots) {
    struct Case {
        QString name, extension, changedToBin, stripped;
    };
    // clang-format off
    const Case cases[] = {
        {"game.c", ".c", "game.bin", "game"}, {"game.jpeg", ".jpeg", "game.bin", "game"},
        {"game", "", "game.bin", "game"},
        {"Super.Mario.sfc", ".sfc", "Super.Mario.bin", "Super.Mario"},
        {"v1.2 (E).backup", ".backup", "v1.2 (E).bin", "v1.2 (E)"},
        {"x..b", "..b", "x.bin", "x"},  // the third character from the end is a dot
        {"a.b.", ".b.", "a.bin", "a"},  // the third character from the end is a dot
        {"a.b.c", ".b.c", "a.bin", "a"},  // a dot fourth from the end wins over the last one
        {".hidden", ".hidden", ".bin", ""},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        EXPECT_EQ(extensionOf(c.name), c.extension);
        EXPECT_EQ(withExtension(c.name, ".bin"), c.changedToBin);
        EXPECT_EQ(withExtension(c.name, ""), c.stripped);
    }
}

TEST(TextHelpers, ReplaceTextAndStripNull) {
    struct Case {
        QString text, find, replacement;
        int compare, count;
        QString expected;
    };
    const Case cases[] = {
        {"Game.ZIP", ".zip", "", 1, -1, "Game"},
        {"Game.ZIP", ".zip", "", 0, -1, "Game.ZIP"},
        {"a-b-c-d", "-", "+", 0, 0, "a+b+c+d"},      // same length, every occurrence
        {"a-b-c-d", "-", "+", 0, 2, "a+b+c-d"},      // at most two
        {"a-b-c-d", "-", " - ", 0, 1, "a - b-c-d"},  // longer replacement, one
        {"aaa", "a", "aa", 0, -1, "aaaaaa"},         // the replacement holds the find text
        {"xAbAb", "ab", "A", 1, -1, "xAA"},
        {"[b1][B2]", "[b", "", 1, -1, "1]2]"},
        {"nothing", "zz", "y", 1, -1, "nothing"},
        {"text", "", "y", 0, -1, "text"},  // an empty find ends at once
    };
    for (const Case& c : cases) {
        EXPECT_EQ(replaceText(c.text, c.find, c.replacement, c.compare, c.count), c.expected)
            << c.text.toStdString() << " / " << c.find.toStdString();
    }
    EXPECT_EQ(textBeforeNull(QString("abc") + QChar(0) + "def"), "abc");
    EXPECT_EQ(textBeforeNull(QString(QChar(0))), "");
}

TEST(SizeHelpers, FormatFileSizeAtEachThreshold) {
    constexpr double MB = 1048576, GB = 1073741824;
    struct Case {
        double size;
        QString expected;
    };
    const Case cases[] = {
        {0, "0 bytes"},        {1, "1 bytes"},          {1023, "1,023 bytes"},
        {1024, "1,024 bytes"},  // thresholds are strict
        {1025, "1.0KB"},       {1536, "1.5KB"},         {MB, "1,024.0KB"},
        {MB + 1, "1.0MB"},     {1.25 * MB, "1.3MB"},    {GB, "1,024.0MB"},
        {GB + 1, "1.0GB"},     {1.5 * GB, "1.5GB"},     {1.25 * GB, "1.25GB"},
        {1.999 * GB, "2.0GB"}, {4.0 * GB + 1, "4.0GB"}, {3000.0 * GB, "3,000.0GB"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(formatFileSize(c.size), c.expected) << qint64(c.size);
}

TEST(FileHelpers, ExistsAndSizeIgnoreLetterCaseAndSeeBeyondFourGiB) {
    TempFolder dir;
    dir.write("Game.ZIP", "12345");
    dir.write("empty.sms");
    dir.sparse("huge.iso", 6LL * 1024 * 1024 * 1024 + 7);
    dir.sparse("three.bin", 3000000000LL);
    dir.mkdir("folder.zip");

    struct Case {
        QString name;
        bool exists;
        qint64 size;
    };
    // clang-format off
    const Case cases[] = {
        {"Game.ZIP", true, 5}, {"game.zip", true, 5}, {"EMPTY.SMS", true, 0},
        {"huge.iso", true, 6LL * 1024 * 1024 * 1024 + 7}, {"three.bin", true, 3000000000LL},
        {"missing.zip", false, 0}, {"folder.zip", false, 0},
    };
    // clang-format on
    for (const Case& c : cases) {
        EXPECT_EQ(pathExists(dir.file(c.name)), c.exists) << c.name.toStdString();
        EXPECT_EQ(fileSizeOf(dir.file(c.name)), c.size) << c.name.toStdString();
    }
    // A file created after the folder was indexed is found too.
    EXPECT_FALSE(pathExists(dir.file("NEW.gg")));
    dir.write("new.gg", "x");
    EXPECT_TRUE(pathExists(dir.file("NEW.gg")));
}

// Backspace keeps the "/" it cuts at; the folder list then shows that folder.
TEST(FolderNavigation, UpOneLevelStopsAtTheRoot) {
    struct Case {
        QString from, cut, shown;
    };
    const Case cases[] = {
        {"/games/roms", "/games/", "/games"}, {"/games", "/", "/"}, {"/", "/", "/"}};
    for (const Case& c : cases) {
        EXPECT_EQ(upOneLevel(c.from), c.cut) << c.from.toStdString();
        EXPECT_EQ(folderPathOf(upOneLevel(c.from)), c.shown) << c.from.toStdString();
    }
    EXPECT_EQ(folderPathOf("//games//roms/"), "/games/roms");
    EXPECT_EQ(ancestorsOf("/games/roms/"), QStringList({"/", "/games", "/games/roms"}));
    EXPECT_EQ(ancestorsOf("/"), QStringList{"/"});
}

// What a user keeps in a games folder, and what a file manager would not show.
TEST(FolderNavigation, SubFoldersSortedWithoutCaseAndHiddenLeftOut) {
    TempFolder t;
    raw::RemoveTree clean{t.path()};
    for (const char* d : {"beta", "Alpha", "gamma", "BETA2", ".cache", "secret", "locked"})
        t.mkdir(d);
    t.mkdir("locked/inside");
    t.write(".hidden", "secret\n");
    t.write("notes.txt");
    const QString root = t.path() + '/';
    for (const char* link :
         {"gamma>to-gamma", "missing>dangling", "loop-b>loop-a", "loop-a>loop-b", ".>self"}) {
        const QStringList parts = QString(link).split('>');
        ASSERT_TRUE(raw::link(parts[0], root + parts[1]));
    }
    const QString cafe = platform::decodeName("caf\xe9");
    ASSERT_TRUE(raw::mkdir(root + cafe) && raw::mkdir(root + cafe + "/nes"));
    ::chmod((root + "locked").toUtf8().constData(), 0311);  // may be entered, not read

    EXPECT_EQ(subFolderNames(t.path()),
              QStringList({"Alpha", "beta", "BETA2", cafe, "gamma", "locked", "self", "to-gamma"}));
    // A folder named in bytes that are not UTF-8 is entered and listed through its name.
    EXPECT_TRUE(canEnterFolder(root + cafe));
    EXPECT_EQ(subFolderNames(root + cafe), QStringList{"nes"});
    // An unreadable folder shows nothing (root reads it anyway); a gone one cannot be entered.
    EXPECT_TRUE(canEnterFolder(root + "locked"));
    if (::geteuid() != 0) {
        EXPECT_EQ(subFolderNames(root + "locked"), QStringList());
        EXPECT_FALSE(canListFolder(root + "locked"));
    }
    EXPECT_FALSE(canEnterFolder(root + "gone"));
    EXPECT_FALSE(canEnterFolder(root + "notes.txt"));
    EXPECT_FALSE(canEnterFolder(root + "loop-a"));
    ::chmod((root + "locked").toUtf8().constData(), 0755);
}

// The frame and picture of a 10485 x 7110 window split at 6291, and of a larger one.
TEST(FolderNavigation, BrowsingLayoutAtTwoSizes) {
    struct Case {
        TwipRect frame;
        bool picture;
        TwipRect files, image;
    };
    // clang-format off
    const Case cases[] = {
        {{6291, 0, 4194, 6810}, true, {6351, 0, 4194, 2043}, {0, 2043, 4194, 4767}},
        {{6291, 0, 4194, 6810}, false, {6351, 0, 4194, 4086}, {0, 4086, 4194, 2724}},
        {{9000, 0, 6000, 10185}, true, {9060, 0, 6000, 3056}, {0, 3056, 6000, 7129}},
        {{9000, 0, 6000, 10185}, false, {9060, 0, 6000, 6111}, {0, 6111, 6000, 4074}},
    };
    // clang-format on
    for (const Case& c : cases) {
        const TwipRect image{0, 0, c.frame.width, c.frame.height};
        const ListsLayout l = layOutBrowsing(c.frame, image, c.picture);
        EXPECT_EQ(l.files, c.files) << c.frame.width << c.picture;
        EXPECT_EQ(l.imgShot, c.image) << c.frame.width << c.picture;
        EXPECT_EQ(l.titleTop, c.image.top + 60);
        EXPECT_EQ(l.shadowTop, c.image.top + 120);
        // Back to the standard layout: the list in the left column, the picture whole.
        const ListsLayout back = layOutListing(c.frame, l.imgShot, c.frame.left);
        EXPECT_EQ(back.files, (TwipRect{0, 0, c.frame.left, c.frame.height}));
        EXPECT_EQ(back.imgShot, image);
        EXPECT_EQ(back.titleTop, 60);
    }
}

TEST(WindowLayout, DragMovesOnlyIntoAnotherBand) {
    struct Case {
        int current, wanted;
        bool force, moves;
    };
    const Case cases[] = {
        {6291, 6299, false, false}, {6291, 6300, false, true}, {6291, 6000, false, false},
        {6291, 5999, false, true},  {6291, 6291, true, true},  {299, -1, false, false},
        {299, -300, false, true},   {0, 299, false, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(shotFrameMoves(c.current, c.wanted, c.force), c.moves)
            << c.current << "->" << c.wanted;
}

// The pairs as "key=text" joined by "|", in the order they are written.
QString written(const EmulatorSettingsState& s) {
    QStringList out;
    for (const auto& [key, text] : emulatorSettingsToSave(s))
        out << key + '=' + text;
    return out.join('|');
}

TEST(EmulatorSettings, KeysTextsAndOrder) {
    EmulatorSettingsState s{"-fs", 7, "/emu/roms/", true, 6291, 19200, 16201, 10485, 7110, false};
    EXPECT_EQ(written(s),
              "cmdline=-fs|file=7|roms=/emu/roms/|imageleft=6291|Left=4357|Top=4545|"
              "Width=10485|Height=7110|Maximized=False");
    s.commandLine = "mario";  // a search text is not a command line worth keeping
    s.maximized = true;
    s.screenWidth = 800;  // a window wider than the screen: halved toward zero
    EXPECT_EQ(written(s),
              "file=7|roms=/emu/roms/|imageleft=6291|Left=-4842|Top=4545|"
              "Width=10485|Height=7110|Maximized=True");
    s.commandLine.clear();  // emptied: the switches stored before must go
    s.windowVisible = false;
    EXPECT_EQ(written(s), "cmdline=|file=7|roms=/emu/roms/");
}

TEST(EmulatorSettings, StoredTextsReadBack) {
    EXPECT_EQ(readWholeNumber(" -15 "), -15);
    EXPECT_EQ(readWholeNumber("10500.6"), 10501);
    for (const char* bad : {"abc", "", "12abc", "1e300"})
        EXPECT_EQ(readWholeNumber(bad), std::nullopt) << bad;
    for (const auto& [text, number] : {std::pair{"12abc", 12}, {" 3", 3}, {"abc", 0}})
        EXPECT_EQ(leadingWholeNumber(text), number) << text;
    const std::pair<const char*, std::optional<bool>> flags[] = {
        {"True", true}, {"false", false}, {"-1", true}, {"0", false}, {"yes", std::nullopt}};
    for (const auto& [text, flag] : flags)
        EXPECT_EQ(readFlag(text), flag) << text;
}

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
        for (const auto& pick : dialogs.folderPicks)  // the fake keeps the start as the title
            EXPECT_EQ(pick.title, base);
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
