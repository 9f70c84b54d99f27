// The shared helpers on paths, extensions, texts and sizes, at their edges.

#include "launcher/PathHelpers.h"
#include "support/QtPrinters.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

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

}  // namespace
