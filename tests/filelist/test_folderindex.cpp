#include "filelist/FolderIndex.h"
#include "filelist/FolderList.h"
#include "filelist/FolderListing.h"
#include "filelist/FolderPrefetch.h"
#include "filelist/FolderReader.h"
#include "filelist/ListModel.h"
#include "platform/FileNames.h"

#include "filelist/ListRows.h"
#include "support/QtPrinters.h"
#include "support/RawFiles.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTest>

#include <sys/stat.h>

#include <chrono>
#include <deque>
#include <future>
#include <mutex>

TEST(FolderIndexFile, RoundTripKeepsNamesAsBytesAndEveryFact) {
    TempFolder dir;
    FolderIndex index;
    index.folder = platform::decodeName("/share/r\xffoms/");  // not UTF-8
    index.pattern = "*.zip;*.7z";
    index.hidden = true;
    index.hiddenByList = 3;
    index.files = {file("a.zip", 5'000'000'000, 1'700'000'000),
                   file("\xc3\x84rger.7z", 1, -5),  // before the epoch
                   file("new.zip", 0, 0, false), file(platform::decodeName("b\xfe.zip"))};
    const QString path = dir.file("index");
    ASSERT_TRUE(saveFolderIndex(path, index));

    const std::optional<FolderIndex> back =
        loadFolderIndex(path, index.folder, index.pattern, true);
    ASSERT_TRUE(back);
    EXPECT_EQ(describeFiles(back->files), describeFiles(index.files));
    EXPECT_EQ(back->hiddenByList, 3);
    // Indexes of different listings live in different files.
    EXPECT_NE(folderIndexFile("/a/", "*.zip", false), folderIndexFile("/a/", "*.zip", true));
    EXPECT_NE(folderIndexFile("/a/", "*.zip", false), folderIndexFile("/b/", "*.zip", false));

    // Saved again, the old file is replaced whole; damaged or another listing's, it is ignored.
    index.hidden = false;
    index.files.resize(1);
    ASSERT_TRUE(saveFolderIndex(path, index));
    const QByteArray good = dir.read("index");
    QByteArray flipped = good;
    flipped[flipped.size() / 2] = static_cast<char>(flipped[flipped.size() / 2] ^ 0x40);
    const auto files = [&](const QString& folder, const QString& pattern, bool hidden) {
        const auto loaded = loadFolderIndex(path, folder, pattern, hidden);
        return loaded ? loaded->files.size() : 0u;
    };
    EXPECT_EQ(files(index.folder, index.pattern, false), 1u);
    EXPECT_EQ(files("/other/", index.pattern, false), 0u);
    EXPECT_EQ(files(index.folder, "*.7z", false), 0u);
    EXPECT_EQ(files(index.folder, index.pattern, true), 0u);
    for (const QByteArray& damaged :
         {QByteArray(), good.left(good.size() - 3), flipped, "PNG\r\n\x1a\n" + good.mid(8)}) {
        dir.write("index", damaged);
        EXPECT_EQ(files(index.folder, index.pattern, false), 0u) << damaged.size();
    }
    EXPECT_FALSE(loadFolderIndex(dir.file("missing"), index.folder, index.pattern, false));
}

TEST(FolderReconcile, AddedRemovedChangedAndRepeatedNames) {
    struct Case {
        const char* what;
        std::vector<ListedFile> shown, read;
        std::vector<int> removed, inserted, changed;
    };
    // clang-format off
    const Case cases[] = {
        {"same", {file("a", 1, 1), file("b", 2, 2)}, {file("a", 1, 1), file("b", 2, 2)}, {}, {},
         {}},
        {"not yet looked at is no change", {file("a", 1, 1)}, {file("a", 0, 0, false)}, {}, {}, {}},
        {"added between and at the end", {file("a"), file("c")},
         {file("a"), file("b"), file("c"), file("d")}, {}, {1, 3}, {}},
        {"removed, from the last up", {file("a"), file("b"), file("c"), file("d")},
         {file("b"), file("d")}, {2, 0}, {}, {}},
        {"size or date changed", {file("a", 1, 1), file("b", 2, 2), file("c", 3, 3)},
         {file("a", 1, 1), file("b", 9, 2), file("c", 3, 7)}, {}, {}, {1, 2}},
        {"name under two masks, one gone", {file("a.zip"), file("b"), file("a.zip")},
         {file("a.zip"), file("b")}, {2}, {}, {}},
        {"name under two masks, both stay", {file("a.zip"), file("x"), file("a.zip")},
         {file("a.zip"), file("a.zip")}, {1}, {}, {}},
        {"letter case differs: another file", {file("A")}, {file("a")}, {0}, {0}, {}},
        {"in the listing's order, not the bytes'", {file("B", 1, 5), file("d", 1, 1)},
         {file("a"), file("B", 1, 5), file("b"), file("c"), file("d", 2, 1)}, {}, {0, 2, 3}, {4}},
        {"everything new", {file("a"), file("b")}, {file("c")}, {1, 0}, {0}, {}},
    };
    // clang-format on
    for (const Case& c : cases) {
        ListModel model;
        model.columnAdd(0, "Name", 100);
        model.appendFiles(c.shown, 1);
        const ReconcilePlan plan = model.planReconcile(c.read);
        EXPECT_EQ(plan.removeRows, c.removed) << c.what;
        EXPECT_EQ(plan.insertRows, c.inserted) << c.what;
        EXPECT_EQ(plan.changedRows, c.changed) << c.what;

        model.reconcileFiles(plan, c.read, 1);
        EXPECT_EQ(listNames(model), namesOf(c.read)) << c.what;
    }
}

// The chosen game stays; a row removed before the names come is not planned away a second time.
TEST(FolderReconcile, TheChosenGameStaysAndARowRemovedMeanwhileLeavesTheOthersInPlace) {
    ListModel model;
    model.columnAdd(0, "Name", 100);
    model.appendFiles({file("a"), file("b"), file("c"), file("d")}, 1);
    model.setListIndex(2);  // "c"
    model.removeItem(0);    // "a", trashed
    const std::vector<ListedFile> read = {file("0"), file("b"), file("bb"), file("c"), file("e")};
    model.reconcileFiles(model.planReconcile(read), read, 1);
    EXPECT_EQ(listNames(model), (QStringList{"0", "b", "bb", "c", "e"}));
    ASSERT_EQ(model.listIndex(), 3);
    EXPECT_EQ(model.itemFindState(-1, ListModel::kSelected), 3);
}

// Read on the reader's thread; its answers wait until the test runs them, as an event loop would.
class BackgroundListing : public ::testing::Test {
protected:
    void listInBackground(FolderList& list, const QString& folder) {
        list.readInBackground([this](std::function<void()> work) {
            const std::lock_guard hold(lock);
            posted.push_back(std::move(work));
        });
        list.setPattern("*.zip");
        list.setPath(folder);
    }
    // The first answer in line, once there; run unless only waited for.
    bool runOne(bool run = true) {
        std::function<void()> work;
        const bool came = QTest::qWaitFor(
            [&] {
                const std::lock_guard hold(lock);
                if (!posted.empty() && run) work = std::move(posted.front()), posted.pop_front();
                return !posted.empty() || bool(work);
            },
            10000);
        if (work) work();
        return came;
    }
    bool waitUntilRead(FolderList& list) {
        while (list.reading())
            if (!runOne()) return false;
        return true;
    }
    std::mutex lock;
    std::deque<std::function<void()>> posted;
    TempFolder dir;
};

TEST_F(BackgroundListing, SecondListingShowsTheIndexThenReadsTheFolderAgain) {
    for (const char* n : {"a.zip", "b.zip", "c.zip", "d.zip", "notes.txt"})
        dir.write(n, "12");
    {
        ListModel model;
        FolderList first(model);
        listInBackground(first, dir.path());
        EXPECT_EQ(model.count(), 0);
        EXPECT_EQ(first.readingStatus(), "Reading " + dir.path() + "...");
        ASSERT_TRUE(waitUntilRead(first));
        EXPECT_EQ(listNames(model), (QStringList{"a.zip", "b.zip", "c.zip", "d.zip"}));
        EXPECT_EQ(model.subItemText(0, 4), "2");  // lengths came from the reader
    }
    QFile::remove(dir.file("a.zip"));
    dir.write("bb.zip", "1");
    dir.write("c.zip", "12345");

    ListModel model;
    FolderList second(model);
    // Before the names: the last reading, where the stored game can be chosen.
    QStringList shown;
    second.onShownFromIndex = [&] {
        shown = listNames(model);
        model.setListIndex(2);
    };
    listInBackground(second, dir.path());
    ASSERT_TRUE(waitUntilRead(second));
    EXPECT_EQ(shown, (QStringList{"a.zip", "b.zip", "c.zip", "d.zip"}));
    EXPECT_EQ(listNames(model), (QStringList{"b.zip", "bb.zip", "c.zip", "d.zip"}));
    EXPECT_EQ(model.itemText(model.listIndex()), "c.zip");
    EXPECT_EQ(model.subItemText(2, 4), "5");
    EXPECT_TRUE(second.readingStatus().startsWith(dir.path() + " read again at "));

    // A refresh keeps the rows and the game chosen until the names come, never showing the index.
    second.onShownFromIndex = [&] { ADD_FAILURE() << "the index replaced the rows shown"; };
    dir.write("e.zip");
    QFile::remove(dir.file("b.zip"));
    second.refresh();
    EXPECT_EQ(listNames(model), (QStringList{"b.zip", "bb.zip", "c.zip", "d.zip"}));
    ASSERT_TRUE(waitUntilRead(second));
    EXPECT_EQ(listNames(model), (QStringList{"bb.zip", "c.zip", "d.zip", "e.zip"}));
    EXPECT_EQ(model.itemText(model.listIndex()), "c.zip");
    EXPECT_EQ(model.subItemText(1, 4), "5");
}

TEST_F(BackgroundListing, LeftFolderAnswersNothing) {
    TempFolder other;
    dir.write("a.zip");
    other.write("x.zip");
    ListModel model;
    FolderList list(model);
    listInBackground(list, dir.path());
    // Its answer is on its way (posted, not yet taken) when the user leaves it.
    ASSERT_TRUE(runOne(false));
    list.setPath(other.path());
    ASSERT_TRUE(waitUntilRead(list));
    EXPECT_EQ(listNames(model), QStringList{"x.zip"});

    // So is the index of a folder read before, which comes first.
    list.setPath(dir.path());
    ASSERT_TRUE(waitUntilRead(list));
    list.setPath(other.path());
    ASSERT_TRUE(waitUntilRead(list));
    QList<QStringList> shown;
    list.onShownFromIndex = [&] { shown.append(listNames(model)); };
    list.setPath(dir.path());
    ASSERT_TRUE(runOne(false));
    list.setPath(other.path());
    ASSERT_TRUE(waitUntilRead(list));
    EXPECT_EQ(shown, QList<QStringList>{QStringList{"x.zip"}});
}

// A folder shown from its index and read again holds each name once: the shown text is reused.
TEST(FolderReading, ANameAlreadyShownSharesItsText) {
    TempFolder dir;
    dir.write("a.zip");
    dir.write("b.zip");
    // Made apart from anything the reading could make, so only sharing gives its text.
    const QString shown = QString::fromUtf8("b.zip");
    FolderReadRequest request;
    request.folder = dir.path() + u'/';
    request.masks = {"*.zip"};
    request.shownNames = {QStringLiteral("gone.zip"), shown};
    std::promise<std::vector<ListedFile>> names;
    std::future<std::vector<ListedFile>> got = names.get_future();
    FolderReader::Callbacks callbacks;
    callbacks.names = [&](std::vector<ListedFile> files, int, bool) {
        names.set_value(std::move(files));
    };
    callbacks.incompleteSets = [](QHash<QString, QString>) {};
    callbacks.facts = [](std::vector<std::pair<int, ListedFile>>) {};
    callbacks.finished = [] {};
    const std::shared_ptr<FolderReader> reader = FolderReader::start(request, callbacks);
    ASSERT_EQ(got.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    const std::vector<ListedFile> files = got.get();
    reader->cancel();
    ASSERT_EQ(namesOf(files), (QStringList{"a.zip", "b.zip"}));
    EXPECT_EQ(files[1].name.constData(), shown.constData());
}

// Lengths and dates find their rows by name after a sort, and after a row went between batches.
TEST_F(BackgroundListing, FactsLandOnTheirOwnRowsAfterASortAndARemoval) {
    constexpr int kFiles = 700;  // three batches
    for (int i = 0; i < kFiles; ++i)
        dir.write(QStringLiteral("g%1.zip").arg(i, 3, 10, QLatin1Char('0')),
                  QByteArray(i % 50, 'x'));
    ListModel model;
    FolderList list(model);
    listInBackground(list, dir.path());
    while (!list.namesKnown())
        ASSERT_TRUE(runOne());
    ASSERT_EQ(model.count(), kFiles);
    model.sort(0, -1);  // the other way round: every row has moved
    ASSERT_TRUE(runOne());
    model.removeItem(0);
    ASSERT_TRUE(waitUntilRead(list));
    for (int row = 0; row < model.count(); ++row) {
        const int i = model.itemText(row).mid(1, 3).toInt();
        ASSERT_EQ(model.subItemText(row, 4), QString::number(i % 50)) << row;
    }
}

TEST(ReadAhead, ListsAsTheFolderItself) {
    TempFolder dir;
    const raw::RemoveTree cleanup(dir.path());
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
        // A change within the clock's tick would not show: a folder changed just now is read again.
        FolderPrefetch ahead(dir.path());
        EXPECT_EQ(ahead.entriesFor(dir.path()), nullptr);
        EXPECT_EQ(ahead.takeFiles(dir.path()), nullptr);
    }
    ASSERT_TRUE(dir.settle());
    {
        FolderPrefetch ahead(dir.path());
        EXPECT_EQ(ahead.entriesFor(other.path()), nullptr);
        ASSERT_NE(ahead.entriesFor(dir.path() + u'/'), nullptr);
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
        // Let go before the read ended, or never asked for.
        FolderPrefetch ahead(dir.path());
        ahead.release();
        EXPECT_EQ(ahead.takeFiles(dir.path()), nullptr);
    }
    FolderPrefetch missing(dir.file(QStringLiteral("no such folder")));
    EXPECT_EQ(missing.entriesFor(dir.file(QStringLiteral("no such folder"))), nullptr);
}

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
    ASSERT_EQ(listNames(model), QStringList({"a.zip", "b.zip"}));
    EXPECT_EQ(model.subItemText(0, 4), "0");  // looked at when shown, as without it
    EXPECT_EQ(ahead.takeFiles(dir.path()), nullptr);
    // Listed again, the folder itself is read: a file added since is there.
    dir.write(QStringLiteral("c.zip"));
    list.refresh();
    EXPECT_EQ(model.count(), 3);
}

TEST(NameTail, AnswersAsTheWholeNameDoes) {
    // clang-format off
    const char* names[] = {"game.zip", "GAME.ZIP", "g.zip", "zip", ".zip", "a", "", "x.zipx",
                           "long name (Europe).smc", "Ärger.zip", "\xc3\xa9.ZIP",
                           "name.longextension", "abcdefgh", "abcdefghi", ".hidden"};
    const char* masks[] = {"*.zip", "*.ZIP", "*.smc", "*", "*.*", "*zip", "*.zipx", "a*", "?.zip",
                           "*.longextension", "*bcdefgh", "*abcdefgh", "*abcdefghi"};
    // clang-format on
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
