#include "filelist/FolderList.h"
#include "filelist/FolderListing.h"
#include "filelist/ListModel.h"
#include "platform/FileNames.h"

#include "support/QtPrinters.h"
#include "support/RawFiles.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <QFile>

#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QStringList listed(const QString& folder, const QString& pattern, bool hidden = false) {
    QStringList names;
    FolderListingOptions options;
    options.hidden = hidden;
    for (const ListedFile& f : listFolder(folder, pattern.split(u';'), options))
        names.append(f.name);
    return names;
}

}  // namespace

TEST(ListFolder, MasksInOrderEachInNameOrder) {
    TempFolder dir;
    // Created out of order, so the folder's own order cannot pass for name order.
    for (const char* n :
         {"z.zip", "c.Zip", "b.zip", "a.ZIP", "m.smc", "k.SMC", "other.txt", "zip", "x.zipx"})
        dir.write(QString::fromLatin1(n));
    dir.mkdir(QStringLiteral("folder.zip"));

    const QStringList zips = {"a.ZIP", "b.zip", "c.Zip", "z.zip"};
    const QStringList smcs = {"k.SMC", "m.smc"};
    const struct {
        const char* pattern;
        QStringList expected;
    } cases[] = {
        {"*.zip;*.smc", zips + smcs},
        {"*.smc;*.zip", smcs + zips},
        {"*.zip;*.ZIP", zips + zips},
        {"*.zip; *.smc", zips},  // the blank is part of the second mask
        {"*.zip;", zips},
        {"*.7z", {}},
        {"", {}},
        {"*.*",
         {"a.ZIP", "b.zip", "c.Zip", "k.SMC", "m.smc", "other.txt", "x.zipx", "z.zip", "zip"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(listed(dir.path(), QString::fromLatin1(c.pattern)), c.expected) << c.pattern;
    EXPECT_TRUE(listed(dir.file("no such folder"), "*.*").isEmpty());
}

TEST(ListFolder, NameOrderIgnoresLetterCase) {
    const struct {
        const char* a;  // UTF-8
        const char* b;
        int sign;
    } cases[] = {
        {"pitfall!.bin", "River Raid.bin", -1},
        {"ABC", "abd", -1},
        {"abc", "ABC", 0},          // only the exact units tell them apart...
        {"Game 10", "Game 9", -1},  // digits by character, not by number
        {"Game", "Game 1", -1},     // a prefix first
        {"1942.zip", "a.zip", -1},
        {"Zelda", "_menu", -1},  // "_" comes after the capitals
        // clang-format off
        {"Zelda", "\xc3\x89" "clair", -1},  // so do accented capitals...
        {"\xc3\xa9" "clair", "\xc3\x89" "CLAIS", -1},  // ...equal to their small letters
        // clang-format on
        {"caf\xc3\xa9", "CAF\xc3\x89", 0},
    };
    for (const auto& c : cases) {
        const QString a = QString::fromUtf8(c.a), b = QString::fromUtf8(c.b);
        const int ab = compareNamesIgnoringCase(a, b), ba = compareNamesIgnoringCase(b, a);
        if (c.sign == 0) {
            EXPECT_NE(ab, 0) << c.a;  // ...so no two names ever tie
            EXPECT_EQ(ab<0, ba> 0) << c.a;
        } else {
            EXPECT_EQ(ab < 0 ? -1 : 1, c.sign) << c.a << " " << c.b;
            EXPECT_EQ(ba < 0 ? -1 : 1, -c.sign) << c.a << " " << c.b;
        }
    }
}

// The listing sorts by keys built once per name; their order must be the comparison's
// exactly, for names that share long beginnings, differ only in case or length, mix
// scripts, need two units (emoji) or are not UTF-8 at all.
TEST(ListFolder, ListedOrderIsTheNameComparisonsOrder) {
    TempFolder dir;
    const raw::RemoveTree cleanup(dir.path());
    // clang-format off
    const char* const names[] = {
        "Game 00001 (U) [!].smc", "game 00001 (U) [!].smc", "GAME 00001 (u) [!].smc",
        "Game 0001 (U).smc", "Game 00010 (U) [!].smc", "Game 9.smc", "Game 10.smc", "Game.smc",
        "Game", "Gam", "Gamez.smc", "Game_.smc", "Game[.smc", "Game`.smc", "Game{.smc", "1942.smc",
        " leading blank.smc", "~tilde.smc", "_menu.smc", "Zelda.smc", "\xc3\x89" "clair.smc",
        "\xc3\xa9" "clair.smc", "\xc3\xa9" "clairs.smc", "caf\xc3\xa9.smc", "CAF\xc3\x89.smc",
        "cafe.smc", "Stra\xc3\x9f" "e.smc", "STRASSE.smc", "\xc3\xbfy.smc", "\xc5\xb8y.smc",
        "\xce\xa3\xcf\x83\xcf\x82.smc",
        "Zelda no Densetsu \xe3\x82\xbc\xe3\x83\xab\xe3\x83\x80 (J).smc",
        "Zelda no Densetsu \xe3\x82\xbc (J).smc", "Zelda no Densetsu (J).smc",
        "\xf0\x9f\x98\x80 smile.smc", "\xef\xbf\xbd.smc", "\xee\x80\x80 private.smc", "b\xff.smc",
        "b\xfe.smc", "B\xff.smc", "b\xc3.smc", "\xff\xfe\xfd.smc", "x\x01y.smc",
        "\xc3\x80\xc3\x80\xc3\x80\xc3\x80.smc", "\xc3\x80\xc3\x80\xc3\x80\xc3\xa0.smc",
        "\xc3\xa0\xc3\xa0\xc3\xa0\xc3\xa0.smc", "aaaaaaaa", "aaaaaaaa.smc", "abcdefgh", "ABCDEFGH",
        "abcdefgh.", "abcdefghijklmnop", "ABCDEFGHIJKLMNOP.smc", "ABCDEFGHIJKLMNOP", "Game 000",
        "game 000", "GAME 0001", "AAAAAAAA.smc",
    };
    // clang-format on
    QStringList expected;
    for (const char* name : names) {
        const QString decoded = platform::decodeName(QByteArray(name));
        ASSERT_TRUE(raw::write(dir.path() + u'/' + decoded, {})) << name;
        expected.append(decoded);
    }
    std::sort(expected.begin(), expected.end(), [](const QString& a, const QString& b) {
        return compareNamesIgnoringCase(a, b) < 0;
    });
    EXPECT_EQ(listed(dir.path(), "*"), expected);
    // A few fixed points of that order, as users see it (the comparison's own are above).
    const QStringList list = listed(dir.path(), "*");
    auto before = [&](const char* a, const char* b) {
        return list.indexOf(platform::decodeName(QByteArray(a))) <
               list.indexOf(platform::decodeName(QByteArray(b)));
    };
    EXPECT_TRUE(before("GAME 00001 (u) [!].smc", "Game 00001 (U) [!].smc"));
    EXPECT_TRUE(before("b\xfe.smc", "b\xff.smc"));
    // Units, not characters: an emoji's first unit, then escaped bytes, then private use.
    EXPECT_TRUE(before("\xf0\x9f\x98\x80 smile.smc", "\xff\xfe\xfd.smc"));
    EXPECT_TRUE(before("\xff\xfe\xfd.smc", "\xee\x80\x80 private.smc"));
}

// Dot files and what ".hidden" names (letter case counting) show only when asked for. The files
// ".hidden" leaves out are counted when the masks take them, so the window can say the list is not
// the whole folder; dot files are not the user's doing and not counted.
TEST(ListFolder, HiddenNamesOnlyWhenAskedForAndCounted) {
    TempFolder dir;
    for (const char* n : {"seen.sms", ".dot.sms", "a.sms", "b.sms", "B.sms", "c.nes"})
        dir.write(QString::fromLatin1(n));
    dir.write(QStringLiteral(".hidden"), "a.sms\r\nb.sms\n\nc.nes\ngone.sms\n");
    const struct {
        const char* masks;
        bool hidden;
        int counted;
        QStringList names;
    } cases[] = {{"*.sms", false, 2, {"B.sms", "seen.sms"}},
                 {"*.nes", false, 1, {}},
                 {"*.sms;*.nes", false, 3, {"B.sms", "seen.sms"}},
                 {"*.gb", false, 0, {}},
                 {"*.sms", true, 0, {".dot.sms", "a.sms", "B.sms", "b.sms", "seen.sms"}}};
    for (const auto& c : cases) {
        int counted = -1;
        FolderListingOptions options;
        options.hidden = c.hidden;
        options.hiddenByList = &counted;
        QStringList names;
        for (const ListedFile& f :
             listFolder(dir.path(), QString::fromLatin1(c.masks).split(u';'), options))
            names.append(f.name);
        EXPECT_EQ(names, c.names) << c.masks << (c.hidden ? " shown" : "");
        EXPECT_EQ(counted, c.counted) << c.masks << (c.hidden ? " shown" : "");
    }
    EXPECT_EQ(listed(dir.path(), "*", true).count(QStringLiteral(".hidden")), 1);
}

TEST(ListFolder, NamesThatAreNotUtf8AreListedAndUsable) {
    TempFolder dir;
    const raw::RemoveTree cleanup(dir.path());
    const QByteArray onDisk = QFile::encodeName(dir.path()) + "/caf\xe9.sms";
    ASSERT_TRUE(raw::write(platform::decodeName(onDisk), "12345"));
    const QStringList names = listed(dir.path(), "*.SMS");
    ASSERT_EQ(names.size(), 1);
    EXPECT_EQ(platform::encodeName(dir.path() + u'/' + names.first()), onDisk);

    ListModel model;
    FolderList files(model);
    files.setPath(dir.path());
    ASSERT_EQ(model.count(), 1);
    EXPECT_EQ(model.subItemText(0, 4), "5");
}

namespace {

// A ".hidden" that is no text file is never waited on and never read without end (the
// regular-file reading it goes through has every kind of entry in its own tests). A hang
// fails the run by its time limit.
TEST(HiddenList, SpecialFilesHideNothingAndNeverHang) {
    for (const bool fifo : {true, false}) {
        SCOPED_TRACE(fifo);
        TempFolder dir;
        dir.write(QStringLiteral("a.sms"));
        dir.write(QStringLiteral("b.sms"));
        const QByteArray list = platform::encodeName(dir.file(QStringLiteral(".hidden")));
        ASSERT_EQ(
            fifo ? ::mkfifo(list.constData(), 0644) : ::symlink("/dev/zero", list.constData()), 0);
        EXPECT_EQ(readHiddenList(dir.path()), QStringList());
        EXPECT_EQ(listed(dir.path(), "*.sms"), QStringList({"a.sms", "b.sms"}));
    }
}

TEST(HiddenList, ALinkToAListIsReadAndAnOversizeListOnlyInPart) {
    TempFolder dir;
    for (const char* n : {"a.sms", "b.sms", "c.sms", "d.sms"})
        dir.write(QString::fromLatin1(n));
    dir.write(QStringLiteral("elsewhere"), "a.sms");  // its last line without a break
    ASSERT_TRUE(raw::link(dir.file(QStringLiteral("elsewhere")), dir.file(".hidden")));
    EXPECT_EQ(listed(dir.path(), "*.sms"), QStringList({"b.sms", "c.sms", "d.sms"}));
    QFile::remove(dir.file(".hidden"));

    // "b.sms" within the limit; "c.sms" cut through by it ("c.s" would be another name);
    // "d.sms" beyond it.
    const qint64 limit = kHiddenListMaxBytes;
    QByteArray big = "b.sms\n" + QByteArray(limit - 6 - 4, 'x') + "\nc.sms\nd.sms\n";
    ASSERT_EQ(big.indexOf("c.sms"), limit - 3);
    dir.write(QStringLiteral("c.s"));
    dir.write(QStringLiteral(".hidden"), big);
    EXPECT_EQ(readHiddenList(dir.path()).size(), 2);
    EXPECT_EQ(listed(dir.path(), "*.s*"), QStringList({"a.sms", "c.s", "c.sms", "d.sms"}));
    // A list far over the limit costs the limit alone; its one line, cut, counts for nothing.
    dir.sparse(QStringLiteral(".hidden"), qint64(1) << 32);
    EXPECT_EQ(readHiddenList(dir.path()), QStringList());
}

}  // namespace
