#include "platform/FileNames.h"
#include "platform/FileOperations.h"
#include "platform/FolderNameIndex.h"
#include "platform/PropertyBag.h"
#include "platform/SettingsStore.h"
#include "support/QtPrinters.h"
#include "support/RawFiles.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFont>

#include <memory>

namespace {

TEST(Settings, ReadsDefaultsWritesSectionsAndKeepsTextExactly) {
    TempFolder dir;
    auto store = std::make_unique<platform::IniSettingsStore>(dir.path());
    EXPECT_EQ(store->getSetting("Rombard", "zsnesw.exe", "cmdline", "def"), "def");
    store->saveSetting("Rombard", "zsnesw.exe", "cmdline", "-fullscreen /x \"a b\"");
    store->saveSetting("Rombard", "zsnesw.exe", "Maximized", "False");
    store->saveSetting("Rombard", "ZINC.EXE", "file", "12");
    store->saveSetting("Rombard", "", "orphan", "x");  // no section: nothing written
    const QString oddFolder = "/roms/" + platform::decodeName("emu \xe9\xff");
    store->saveSetting("Rombard", "zsnes.exe", "roms", oddFolder);
    store->saveSetting("Rombard", "zsnes.exe", "cmdline", "-fs é");
    // Kept in memory and read back from there, to be written in one go: on sync...
    EXPECT_EQ(store->getSetting("Rombard", "zsnes.exe", "cmdline", ""), "-fs é");
    EXPECT_FALSE(dir.exists("Rombard/Rombard.conf"));
    EXPECT_TRUE(store->sync());
    EXPECT_TRUE(dir.read("Rombard/Rombard.conf").contains("Maximized=False"));
    // ...and when the store closes.
    store->saveSetting("Rombard", "zsnesw.exe", "Maximized", "True");
    store.reset();

    // A second store over the same folder (the next run) sees every value.
    platform::IniSettingsStore again(dir.path());
    EXPECT_EQ(again.getSetting("Rombard", "zsnesw.exe", "cmdline", ""), "-fullscreen /x \"a b\"");
    EXPECT_EQ(again.getSetting("Rombard", "zsnesw.exe", "Maximized", ""), "True");
    EXPECT_EQ(again.getSetting("Rombard", "ZINC.EXE", "file", ""), "12");
    EXPECT_EQ(again.getSetting("Rombard", "zsnesw.exe", "file", "none"), "none");
    EXPECT_EQ(again.getSetting("Rombard", "", "orphan", "none"), "none");
    EXPECT_EQ(again.getSetting("Rombard", "zsnes.exe", "roms", ""), oddFolder);
    EXPECT_EQ(again.getSetting("Rombard", "zsnes.exe", "cmdline", ""), "-fs é");
    // A folder whose name is not UTF-8 is stored as its bytes, not as U+FFFD.
    const QByteArray text = dir.read("Rombard/Rombard.conf");
    EXPECT_FALSE(text.contains("\xef\xbf\xbd")) << text.toStdString();
    EXPECT_TRUE(text.contains("cmdline=-fs \xc3\xa9")) << text.toStdString();
}

// Design values by shape: what a key reads as, and the default wherever the bag cannot say.
TEST(PropertyBag, ReadsEachShapeAndFallsBackToTheDefault) {
    const platform::PropertyBag bag = platform::PropertyBag::fromJson(R"({
        "Font": {"font": "Tahoma,12,-1,5,400,0,0,0,0,0,0,0,0,0,0,1"},
        "BadFont": {"font": ""}, "GIF": {"bytes": "R0lGODlhAAE="}, "Other": {"x": 1},
        "ForeColor": 5366777, "Big": 4294967295, "Half": 0.5, "MultiSelect": false,
        "Path": "/roms/\u00e9", "List": [1], "Nothing": null})");
    const QVariant fallback(QStringLiteral("default"));
    const struct {
        const char* key;
        QVariant expected;
    } cases[] = {
        {"ForeColor", QVariant::fromValue(qint64(0x0051E3F9))},
        {"forecolor", QVariant::fromValue(qint64(0x0051E3F9))},  // letter case ignored
        {"Big", QVariant::fromValue(qint64(0xFFFFFFFF))},
        {"Half", 0.5},
        {"MultiSelect", false},
        {"Path", QStringLiteral("/roms/\u00e9")},
        {"GIF", QByteArray("GIF89a\0\1", 8)},
        {"BadFont", fallback},
        {"Other", fallback},
        {"List", fallback},
        {"Nothing", fallback},
        {"Missing", fallback},
    };
    for (const auto& c : cases)
        EXPECT_EQ(bag.readProperty(c.key, fallback), c.expected) << c.key;
    EXPECT_EQ(bag.readProperty("Font", fallback).value<QFont>().family(), "Tahoma");
    EXPECT_EQ(platform::PropertyBag::fromJson("[1]").readProperty("Half", 2), 2);
}

TEST(FileOperations, LookupsIgnoreCaseChangesTakeTheExactEntry) {
    TempFolder dir;
    dir.write("Sonic.SMD", "abc");
    dir.write("other.smd", "x");
    platform::LocalFileOperations ops(platform::TrashPlaces{dir.file("Trash"), false});

    EXPECT_EQ(ops.resolve(dir.file("sonic.smd")), dir.file("Sonic.SMD"));
    EXPECT_FALSE(ops.resolve(dir.file("nope.smd")).has_value());
    EXPECT_EQ(ops.fileSize(dir.file("SONIC.smd")), 3);

    // Another spelling is not the entry: nothing moves, and the reason is given. (Renames
    // keep the same rules; the exact-entry table beside the trash's tests shows them.)
    EXPECT_FALSE(ops.remove(dir.file("OTHER.SMD")));
    EXPECT_EQ(ops.lastError(), "Could not move 'OTHER.SMD' to the trash: it is no longer there.");
    EXPECT_EQ(dir.read("Sonic.SMD"), "abc");
    EXPECT_EQ(dir.read("other.smd"), "x");
}

TEST(FolderNameIndex, SeesChangesAndNonUtf8Names) {
    TempFolder dir;
    platform::FolderNameIndex index;
    EXPECT_TRUE(index.resolveName(dir.path(), "a.gif").isEmpty());
    dir.write("A.GIF");
    EXPECT_EQ(index.resolveName(dir.path(), "a.gif"), "A.GIF");
    QFile::remove(dir.file("A.GIF"));
    EXPECT_TRUE(index.resolveName(dir.path(), "a.gif").isEmpty());

    // A name that is not valid UTF-8 on disk still resolves, and the file operations
    // reach the very file through it.
    const QString name = platform::decodeName(QByteArray("caf\xe9.sms"));
    ASSERT_TRUE(raw::write(dir.path() + "/" + name, "abcd"));
    // (QString::toUpper would turn the escaped byte into U+FFFD, so spell it out.)
    const QString upper = platform::decodeName(QByteArray("CAF\xe9.SMS"));
    const QString real = index.resolveName(dir.path(), upper);
    ASSERT_EQ(real, name);
    platform::LocalFileOperations ops;
    EXPECT_EQ(ops.fileSize(dir.path() + "/" + upper), 4);
    EXPECT_TRUE(ops.rename(dir.path() + "/" + real, dir.path() + "/fixed.sms"));
    EXPECT_EQ(dir.read("fixed.sms"), "abcd");
}

// Plain ASCII names take shortcuts through decoding and folding; they must give what the
// general way gives, and the general way must still apply to every other name.
TEST(FileNames, AsciiShortcutsGiveTheGeneralResults) {
    QByteArray everyAscii;
    for (int c = 1; c < 0x80; ++c)
        everyAscii.append(char(c));
    const QByteArray names[] = {
        "",
        "game.smc",
        "GAME 00001 (U) [!].SMC",
        "Zelda_[b1]~.zip",
        everyAscii,
        "caf\xc3\xa9.sms",  // UTF-8: folded by the Unicode tables
        "CAF\xc3\x89.SMS",  // likewise, capitals before and after the accent
        "STRASSE\xc3\x9f",  // a letter that folds to two
        "Caf\xe9.sms",      // not UTF-8: the byte stays escaped through folding
        "\xff"
        "ABC",
    };
    for (const QByteArray& bytes : names) {
        const QString name = platform::decodeName(bytes);
        EXPECT_EQ(platform::encodeName(name), bytes) << bytes.constData();
        QString expected;  // folded around the escaped bytes only
        for (const QChar c : name)
            expected += c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF ? QString(c)
                                                                       : QString(c).toCaseFolded();
        EXPECT_EQ(platform::foldName(name), expected) << bytes.constData();
    }
    EXPECT_EQ(platform::decodeName(QByteArray("a\0b", 3)).size(), 3);
}

}  // namespace
