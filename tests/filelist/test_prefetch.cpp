#include "filelist/FolderList.h"
#include "filelist/FolderListing.h"
#include "filelist/FolderPrefetch.h"
#include "filelist/ListModel.h"
#include "platform/FileNames.h"

#include "filelist/ListRows.h"
#include "support/QtPrinters.h"
#include "support/RawFiles.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <QFile>

#include <sys/stat.h>

namespace {

// Every kind of entry a games folder may hold.
void fillGamesFolder(TempFolder& dir) {
    for (const char* n : {"Zelda.ZIP", "alpha.zip", "Beta.Zip", "beta.zip", "game.smc", "b.sfc",
                          ".dot.zip", "readme.txt", "noext", "z", "a.longextension", "Ärger.zip",
                          "\xc3\xa9t\xc3\xa9.SMC", "x.zipx", "hidden me.zip"})
        dir.write(QString::fromUtf8(n), "123");
    dir.write(QStringLiteral(".hidden"), "hidden me.zip\n");
    dir.mkdir(QStringLiteral("folder.zip"));
    QFile::link(dir.file(QStringLiteral("alpha.zip")), dir.file(QStringLiteral("link.zip")));
    QFile::link(dir.file(QStringLiteral("folder.zip")), dir.file(QStringLiteral("dirlink.zip")));
    QFile::link(dir.file(QStringLiteral("gone")), dir.file(QStringLiteral("dangling.zip")));
    ::mkfifo(QFile::encodeName(dir.file(QStringLiteral("pipe.zip"))).constData(), 0600);
    raw::write(platform::decodeName(QFile::encodeName(dir.path()) + "/caf\xe9.zip"), "1");
}

}  // namespace

// Whatever the masks, a listing from the entries read ahead is the listing of the folder:
// the same names in the same order, looked at alike.
TEST(ReadAhead, ListsAsTheFolderItself) {
    TempFolder dir;
    const raw::RemoveTree cleanup(dir.path());
    fillGamesFolder(dir);
    ASSERT_TRUE(dir.settle());

    for (const char* pattern :
         {"*.zip", "*.ZIP;*.smc", "*.smc;*.zip", "*.zip;*.zip", "*.*", "*", "*.zip;*.*", "?eta.zip",
          "*.longextension", "*extension", "Z*", "*.7z", "*.zip;", "*.SMC"}) {
        for (const bool hidden : {false, true}) {
            FolderListingOptions options;
            options.details = false;
            options.hidden = hidden;
            const QStringList masks = QString::fromLatin1(pattern).split(u';');
            int hiddenRead = -1, hiddenAhead = -1;
            options.hiddenByList = &hiddenRead;
            const std::vector<ListedFile> read = listFolder(dir.path(), masks, options);
            FolderPrefetch ahead(dir.path());
            options.prelisted = ahead.takeFiles(dir.path() + u'/');
            options.hiddenByList = &hiddenAhead;
            ASSERT_NE(options.prelisted, nullptr) << pattern;
            EXPECT_EQ(describeFiles(listFolder(dir.path(), masks, options)), describeFiles(read))
                << pattern << (hidden ? " with hidden files" : "");
            EXPECT_EQ(hiddenAhead, hiddenRead) << pattern;
        }
    }
}

// A read ahead is never taken for a folder it may not show as it is now.
TEST(ReadAhead, TakenOnlyWhileItStillHolds) {
    TempFolder dir;
    dir.write(QStringLiteral("a.zip"));
    TempFolder other;

    {
        // Changed less than a clock tick apart from the read, a change would not show in the
        // folder's time: a folder changed moments ago is read again.
        FolderPrefetch ahead(dir.path());
        EXPECT_EQ(ahead.entriesFor(dir.path()), nullptr);
        EXPECT_EQ(ahead.takeFiles(dir.path()), nullptr);
    }
    ASSERT_TRUE(dir.settle());
    {
        FolderPrefetch ahead(dir.path());
        EXPECT_EQ(ahead.entriesFor(other.path()), nullptr);
        ASSERT_NE(ahead.entriesFor(dir.path() + u'/'), nullptr);
        EXPECT_EQ(ahead.entriesFor(dir.path())->size(), 1u);
        EXPECT_EQ(ahead.joinedNames(), QStringLiteral("a.zip/"));
        EXPECT_NE(ahead.takeFiles(dir.path()), nullptr);
        // Its names went to that listing.
        EXPECT_EQ(ahead.takeFiles(dir.path()), nullptr);
        EXPECT_NE(ahead.entriesFor(dir.path()), nullptr);
        ahead.release();
        EXPECT_EQ(ahead.entriesFor(dir.path()), nullptr);
    }
    {
        FolderPrefetch ahead(dir.path());
        ASSERT_NE(ahead.entriesFor(dir.path()), nullptr);
        dir.write(QStringLiteral("b.zip"));
        EXPECT_EQ(ahead.entriesFor(dir.path()), nullptr);
        EXPECT_EQ(ahead.takeFiles(dir.path()), nullptr);
    }
    {
        // Let go before the read ended, or never asked for: nothing is waited on but the
        // read itself at the end.
        FolderPrefetch ahead(dir.path());
        ahead.release();
        EXPECT_EQ(ahead.takeFiles(dir.path()), nullptr);
    }
    FolderPrefetch missing(dir.file(QStringLiteral("no such folder")));
    EXPECT_EQ(missing.entriesFor(dir.file(QStringLiteral("no such folder"))), nullptr);
}

// The file list takes the read ahead once, for its folder only, and lists as it always did.
TEST(ReadAhead, FileListTakesItOnceForItsFolder) {
    TempFolder dir;
    dir.write(QStringLiteral("b.zip"));
    dir.write(QStringLiteral("a.zip"));
    ASSERT_TRUE(dir.settle());
    FolderPrefetch ahead(dir.path());
    ListModel model;
    FolderList list(model);
    list.readAheadFrom(&ahead);
    list.setPattern(QStringLiteral("*.zip"));
    list.setPath(dir.path());
    ASSERT_EQ(model.count(), 2);
    EXPECT_EQ(model.itemText(0), "a.zip");
    EXPECT_EQ(model.subItemText(0, 4), "0");  // looked at when shown, as without it
    EXPECT_EQ(ahead.takeFiles(dir.path()), nullptr);
    // Listed again, the folder itself is read: a file added since is there.
    dir.write(QStringLiteral("c.zip"));
    list.refresh();
    EXPECT_EQ(model.count(), 3);
}

// The tail answers only where it gives the whole name's answer.
TEST(NameTail, AnswersAsTheWholeNameDoes) {
    const char* names[] = {"game.zip",  "GAME.ZIP",     "g.zip",
                           "zip",       ".zip",         "a",
                           "",          "x.zipx",       "long name (Europe).smc",
                           "Ärger.zip", "\xc3\xa9.ZIP", "name.longextension",
                           "abcdefgh",  "abcdefghi",    ".hidden"};
    const char* masks[] = {"*.zip",    "*.ZIP",     "*.smc",     "*",     "*.*",
                           "*zip",     "*.zipx",    "a*",        "?.zip", "*.longextension",
                           "*bcdefgh", "*abcdefgh", "*abcdefghi"};
    int answered = 0;
    for (const char* name : names) {
        const QString n = QString::fromUtf8(name);
        const NameTail tail = tailOf(n);
        EXPECT_EQ(tail.dot, n.startsWith(u'.')) << name;
        for (const char* mask : masks) {
            const platform::Wildcard m(QString::fromUtf8(mask));
            const std::optional<bool> fromTail = matchesByTail(m, tail);
            if (!fromTail) continue;
            ++answered;
            EXPECT_EQ(*fromTail, m.matches(platform::foldName(n))) << name << " " << mask;
        }
    }
    // Most answers come from the tail, or the read ahead would save nothing.
    EXPECT_GT(answered, 100);
}
