#include "launcher/EmulatorSettings.h"
#include "launcher/WindowLayout.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

// Found by argument lookup, so it lives beside TwipRect.
void PrintTo(const TwipRect& r, std::ostream* os) {
    *os << '(' << r.left << ',' << r.top << ' ' << r.width << 'x' << r.height << ')';
}

namespace {

TEST(WindowLayout, BottomRowAtTwoWindowSizes) {
    const DesignSizes s;
    struct Case {
        int w, h;
        TwipRect cmb, txt, btn, credits;
    };
    const Case cases[] = {
        {10485,
         7110,
         {0, 6825, 2265, 285},
         {2265, 6825, 6210, 285},
         {8475, 6825, 315, 270},
         {8790, 6825, 1695, 270}},
        {19200,
         12000,
         {0, 11715, 2265, 285},
         {2265, 11715, 14925, 285},
         {17190, 11715, 315, 270},
         {17505, 11715, 1695, 270}},
    };
    for (const Case& c : cases) {
        const BottomRow row = LayOutBottomRow(c.w, c.h, s);
        EXPECT_EQ(row.cmbEmu, c.cmb) << c.w;
        EXPECT_EQ(row.txtCommandLine, c.txt) << c.w;
        EXPECT_EQ(row.btnBrowse, c.btn) << c.w;
        EXPECT_EQ(row.lblCredits, c.credits) << c.w;
    }
}

TEST(WindowLayout, ShotFrameAndListsBesideIt) {
    DesignSizes s;
    s.driveListHeight = 450;
    struct Case {
        int left, w, h;
        TwipRect frame, img, files, drive, dir;
    };
    const Case cases[] = {
        {DefaultSplit(10485),
         10485,
         7110,
         {6291, 0, 4194, 6810},
         {0, 0, 4194, 6810},
         {0, 0, 6291, 6825},
         {0, 0, 6291, 450},
         {0, 450, 6291, 6375}},
        {DefaultSplit(19200),
         19200,
         12000,
         {11520, 0, 7680, 11700},
         {0, 0, 7680, 11700},
         {0, 0, 11520, 11715},
         {0, 0, 11520, 450},
         {0, 450, 11520, 11265}},
        // Pushed out of view: nothing left of the frame, the list takes the width.
        {10485,
         10485,
         7110,
         {10485, 0, 0, 6810},
         {0, 0, 0, 6810},
         {0, 0, 10485, 6825},
         {0, 0, 10485, 450},
         {0, 450, 10485, 6375}},
    };
    for (const Case& c : cases) {
        const ShotFrameLayout l = LayOutShotFrame(c.left, c.w, c.h, c.h - 285, s);
        EXPECT_EQ(l.frmShot, c.frame) << c.left;
        EXPECT_EQ(l.imgShot, c.img) << c.left;
        EXPECT_EQ(l.files, c.files) << c.left;
        EXPECT_EQ(l.driveList, c.drive) << c.left;
        EXPECT_EQ(l.dirList, c.dir) << c.left;
        EXPECT_EQ(l.titleWidth, c.frame.width) << c.left;
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
        EXPECT_EQ(ShotFrameMoves(c.current, c.wanted, c.force), c.moves)
            << c.current << "->" << c.wanted;
}

TEST(WindowLayout, TwipsAndPixels) {
    EXPECT_EQ(DefaultSplit(10485), 6291);
    EXPECT_EQ(TwipsToPixels(10485, 96), 699);
    EXPECT_EQ(PixelsToTwips(699, 96), 10485);
    EXPECT_EQ(TwipsToPixels(1440, 120), 120);
    EXPECT_EQ(PixelsToTwips(1, 144), 10);
}

TEST(EmulatorSettings, KeysTextsAndOrder) {
    EmulatorSettingsState s;
    s.commandLine = "-fs";
    s.listIndex = 7;
    s.romsFolder = "/emu/roms/";
    s.windowVisible = true;
    s.shotLeft = 6291;
    s.screenWidth = 19200;
    s.screenHeight = 16201;
    s.windowWidth = 10485;
    s.windowHeight = 7110;
    using Pairs = QList<QPair<QString, QString>>;
    EXPECT_EQ(EmulatorSettingsToSave(s), (Pairs{{"cmdline", "-fs"},
                                                {"file", "7"},
                                                {"roms", "/emu/roms/"},
                                                {"imageleft", "6291"},
                                                {"Left", "4357"},
                                                {"Top", "4545"},
                                                {"Width", "10485"},
                                                {"Height", "7110"},
                                                {"Maximized", "False"}}));
    s.commandLine = "mario";  // a search text is not a command line worth keeping
    s.maximized = true;
    s.screenWidth = 800;  // a window wider than the screen: halved toward zero
    s.windowWidth = 10485;
    const Pairs second = EmulatorSettingsToSave(s);
    EXPECT_EQ(second.first().first, "file");
    EXPECT_EQ(second.at(2), (QPair<QString, QString>{"imageleft", "6291"}));
    EXPECT_EQ(second.at(3), (QPair<QString, QString>{"Left", "-4842"}));
    EXPECT_EQ(second.last().second, "True");
    s.commandLine.clear();
    s.windowVisible = false;
    EXPECT_EQ(EmulatorSettingsToSave(s), (Pairs{{"file", "7"}, {"roms", "/emu/roms/"}}));
}

TEST(EmulatorSettings, StoredTextsReadBack) {
    EXPECT_EQ(ReadWholeNumber("6291"), 6291);
    EXPECT_EQ(ReadWholeNumber(" -15 "), -15);
    EXPECT_EQ(ReadWholeNumber("10500.6"), 10501);
    EXPECT_EQ(ReadWholeNumber("abc"), std::nullopt);
    EXPECT_EQ(ReadWholeNumber(""), std::nullopt);
    EXPECT_EQ(ReadWholeNumber("12abc"), std::nullopt);
    EXPECT_EQ(ReadWholeNumber("1e300"), std::nullopt);
    EXPECT_EQ(LeadingWholeNumber("12abc"), 12);
    EXPECT_EQ(LeadingWholeNumber("abc"), 0);
    EXPECT_EQ(LeadingWholeNumber(" 3"), 3);
    EXPECT_EQ(LeadingWholeNumber(""), 0);
    EXPECT_EQ(ReadFlag("True"), true);
    EXPECT_EQ(ReadFlag("false"), false);
    EXPECT_EQ(ReadFlag("-1"), true);
    EXPECT_EQ(ReadFlag("0"), false);
    EXPECT_EQ(ReadFlag("yes"), std::nullopt);
}

}  // namespace
