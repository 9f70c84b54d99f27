// The folder lists' rules, the browsing layout, the drag bands and the stored settings.

#include "launcher/emulators/EmulatorSettings.h"
#include "launcher/window/FolderNavigation.h"
#include "launcher/window/WindowLayout.h"
#include "platform/FileNames.h"
#include "support/QtPrinters.h"
#include "support/RawFiles.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace {

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
    EXPECT_EQ(leadingWholeNumber("12abc"), 12);
    EXPECT_EQ(leadingWholeNumber(" 3"), 3);
    EXPECT_EQ(leadingWholeNumber("abc"), 0);
    EXPECT_EQ(readFlag("True"), true);
    EXPECT_EQ(readFlag("false"), false);
    EXPECT_EQ(readFlag("-1"), true);
    EXPECT_EQ(readFlag("0"), false);
    EXPECT_EQ(readFlag("yes"), std::nullopt);
}

}  // namespace
