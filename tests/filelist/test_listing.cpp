#include "filelist/FolderList.h"
#include "filelist/FolderListing.h"
#include "filelist/ListModel.h"
#include "platform/FileNames.h"

#include "support/QtPrinters.h"
#include "support/RawFiles.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <QFile>

namespace {

QStringList listed(const QString& folder, const QString& pattern, bool hidden = false) {
    QStringList names;
    FolderListingOptions options;
    options.hidden = hidden;
    for (const ListedFile& f : ListFolder(folder, pattern.split(u';'), options))
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
        {"?.smc", smcs},
        {"*.7z", {}},
        {"", {}},
        {"Z*", {"z.zip", "zip"}},
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
        {"Zelda",
         "\xc3\x89"
         "clair",
         -1},  // so do accented capitals...
        {"\xc3\xa9"
         "clair",
         "\xc3\x89"
         "CLAIS",
         -1},  // ...equal to their small letters
        {"caf\xc3\xa9", "CAF\xc3\x89", 0},
    };
    for (const auto& c : cases) {
        const QString a = QString::fromUtf8(c.a), b = QString::fromUtf8(c.b);
        const int ab = CompareNamesIgnoringCase(a, b), ba = CompareNamesIgnoringCase(b, a);
        if (c.sign == 0) {
            EXPECT_NE(ab, 0) << c.a;  // ...so no two names ever tie
            EXPECT_EQ(ab<0, ba> 0) << c.a;
        } else {
            EXPECT_EQ(ab < 0 ? -1 : 1, c.sign) << c.a << " " << c.b;
            EXPECT_EQ(ba < 0 ? -1 : 1, -c.sign) << c.a << " " << c.b;
        }
    }
}

TEST(ListFolder, EscapedNamesSortAfterLettersAndStayApart) {
    TempFolder dir;
    const raw::RemoveTree cleanup(dir.path());
    for (const char* name : {"b\xff.bin", "b\xfe.bin", "B.bin", "a.bin"})
        ASSERT_TRUE(raw::write(dir.path() + u'/' + platform::decodeName(name), {}));
    const QStringList names = listed(dir.path(), "*.bin");
    ASSERT_EQ(names.size(), 4);
    EXPECT_EQ(names.mid(0, 2), (QStringList{"a.bin", "B.bin"}));
    EXPECT_EQ(platform::encodeName(names[2]), QByteArray("b\xfe.bin"));
    EXPECT_EQ(platform::encodeName(names[3]), QByteArray("b\xff.bin"));
}

TEST(ListFolder, HiddenNamesOnlyWhenAskedFor) {
    TempFolder dir;
    for (const char* n : {"seen.sms", ".dot.sms", "listed.sms", "Listed2.sms"})
        dir.write(QString::fromLatin1(n));
    dir.write(QStringLiteral(".hidden"), "listed.sms\r\nlisted2.sms\n\n");
    EXPECT_EQ(listed(dir.path(), "*.sms"), QStringList({"Listed2.sms", "seen.sms"}));
    EXPECT_EQ(listed(dir.path(), "*.sms", true),
              QStringList({".dot.sms", "listed.sms", "Listed2.sms", "seen.sms"}));
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
    EXPECT_EQ(model.SubItemText(0, 4), "5");
}

TEST(ListFolder, LinksToFilesListAndLinksToFoldersDoNot) {
    TempFolder dir;
    dir.write(QStringLiteral("real.bin"), "abc");
    dir.mkdir(QStringLiteral("sub"));
    QFile::link(dir.file(QStringLiteral("real.bin")), dir.file(QStringLiteral("link.bin")));
    QFile::link(dir.file(QStringLiteral("sub")), dir.file(QStringLiteral("dirlink.bin")));
    QFile::link(dir.file(QStringLiteral("gone")), dir.file(QStringLiteral("dangling.bin")));
    EXPECT_EQ(listed(dir.path(), "*.bin"), QStringList({"dangling.bin", "link.bin", "real.bin"}));
}
