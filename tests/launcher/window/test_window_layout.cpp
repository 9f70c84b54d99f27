#include "launcher/emulators/EmulatorSettings.h"
#include "launcher/window/WindowLayout.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

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
