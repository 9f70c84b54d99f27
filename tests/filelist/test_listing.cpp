#include "filelist/FolderList.h"
#include "filelist/FolderListing.h"
#include "filelist/ListModel.h"
#include "platform/FileNames.h"

#include "support/QtPrinters.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <dirent.h>
#include <unistd.h>

namespace {

// The names of a folder in the order the folder yields them.
QStringList folderOrder(const QString& folder) {
    QStringList names;
    DIR* d = opendir(platform::encodeName(folder).constData());
    if (!d) return names;
    while (const dirent* e = readdir(d)) {
        const QString n = platform::decodeName(QByteArray(e->d_name));
        if (n != u"." && n != u"..") names.append(n);
    }
    closedir(d);
    return names;
}

QStringList listed(const QString& folder, const QString& pattern, bool hidden = false) {
    QStringList names;
    FolderListingOptions options;
    options.hidden = hidden;
    for (const ListedFile& f : ListFolder(folder, pattern.split(u';'), options))
        names.append(f.name);
    return names;
}

// The folder's own order restricted to `wanted`.
QStringList inFolderOrder(const QString& folder, const QStringList& wanted) {
    QStringList out;
    for (const QString& n : folderOrder(folder))
        if (wanted.contains(n)) out.append(n);
    return out;
}

}  // namespace

TEST(ListFolder, MasksInOrderEachInTheFoldersOrder) {
    TempFolder dir;
    const QStringList zips = {"b.zip", "a.ZIP", "c.Zip", "z.zip"};
    const QStringList smcs = {"m.smc", "k.SMC"};
    for (const QString& n : zips + smcs + QStringList{"other.txt", "zip", "x.zipx"})
        dir.write(n);
    dir.mkdir(QStringLiteral("folder.zip"));

    const QStringList zipOrder = inFolderOrder(dir.path(), zips);
    const QStringList smcOrder = inFolderOrder(dir.path(), smcs);
    const struct {
        const char* pattern;
        QStringList expected;
    } cases[] = {
        {"*.zip;*.smc", zipOrder + smcOrder},
        {"*.smc;*.zip", smcOrder + zipOrder},
        {"*.zip;*.ZIP", zipOrder + zipOrder},
        {"*.zip; *.smc", zipOrder},  // the blank is part of the second mask
        {"*.zip;", zipOrder},
        {"?.smc", smcOrder},
        {"*.7z", {}},
        {"", {}},
        {"Z*", inFolderOrder(dir.path(), {"z.zip", "zip"})},
        {"*.*", inFolderOrder(dir.path(), zips + smcs + QStringList{"other.txt", "zip", "x.zipx"})},
    };
    for (const auto& c : cases)
        EXPECT_EQ(listed(dir.path(), QString::fromLatin1(c.pattern)), c.expected) << c.pattern;
    EXPECT_TRUE(listed(dir.file("no such folder"), "*.*").isEmpty());
}

TEST(ListFolder, HiddenNamesOnlyWhenAskedFor) {
    TempFolder dir;
    for (const char* n : {"seen.sms", ".dot.sms", "listed.sms", "Listed2.sms"})
        dir.write(QString::fromLatin1(n));
    dir.write(QStringLiteral(".hidden"), "listed.sms\r\nlisted2.sms\n\n");
    EXPECT_EQ(listed(dir.path(), "*.sms"), inFolderOrder(dir.path(), {"seen.sms", "Listed2.sms"}));
    EXPECT_EQ(listed(dir.path(), "*.sms", true),
              inFolderOrder(dir.path(), {"seen.sms", ".dot.sms", "listed.sms", "Listed2.sms"}));
    EXPECT_EQ(listed(dir.path(), "*", true).count(QStringLiteral(".hidden")), 1);
}

TEST(ListFolder, NamesThatAreNotUtf8AreListedAndUsable) {
    TempFolder dir;
    const QByteArray raw = QFile::encodeName(dir.path()) + "/caf\xe9.sms";
    FILE* out = fopen(raw.constData(), "wb");
    ASSERT_NE(out, nullptr);
    fwrite("12345", 1, 5, out);
    fclose(out);
    const QStringList names = listed(dir.path(), "*.SMS");
    ASSERT_EQ(names.size(), 1);
    EXPECT_EQ(platform::encodeName(dir.path() + u'/' + names.first()), raw);

    ListModel model;
    FolderList files(model);
    files.setPath(dir.path());
    ASSERT_EQ(model.count(), 1);
    EXPECT_EQ(model.SubItemText(0, 4), "5");
    // Qt's own removal cannot name this file.
    ::unlink(raw.constData());
}

TEST(ListFolder, LinksToFilesListAndLinksToFoldersDoNot) {
    TempFolder dir;
    dir.write(QStringLiteral("real.bin"), "abc");
    dir.mkdir(QStringLiteral("sub"));
    QFile::link(dir.file(QStringLiteral("real.bin")), dir.file(QStringLiteral("link.bin")));
    QFile::link(dir.file(QStringLiteral("sub")), dir.file(QStringLiteral("dirlink.bin")));
    QFile::link(dir.file(QStringLiteral("gone")), dir.file(QStringLiteral("dangling.bin")));
    EXPECT_EQ(listed(dir.path(), "*.bin"),
              inFolderOrder(dir.path(), {"real.bin", "link.bin", "dangling.bin"}));
}
