#include "filelist/FolderList.h"
#include "filelist/ListModel.h"

#include "support/QtPrinters.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>

namespace {

QStringList names(const ListModel& m) {
    QStringList out;
    for (int i = 0; i < m.count(); ++i)
        out.append(m.ItemText(i));
    return out;
}

struct Listing {
    Listing() {
        files.onBusy = [this](bool busy) { busyCalls.append(busy); };
    }
    ListModel model;
    FolderList files{model};
    QList<bool> busyCalls;
};

}  // namespace

TEST(FolderList, PathLetListsOnlyWhenTheFolderChanges) {
    TempFolder dir;
    dir.write("a.zip", "1");
    dir.write("b.zip", "22");
    const QString bare = dir.path();
    Listing l;
    l.files.setPattern("*.zip");  // no folder yet: nothing listed
    EXPECT_EQ(l.model.ColumnCount(), 0);

    l.files.setPath(bare);
    EXPECT_EQ(l.files.path(), bare + "/");
    EXPECT_EQ(l.model.count(), 2);
    EXPECT_EQ(l.busyCalls, (QList<bool>{true, false}));

    // Listed again only when the text differs, letter case included.
    l.files.SortFilesByColumnClick(0);
    l.files.setPath(bare + "/");
    EXPECT_EQ(l.model.SortColumn(), 0);
    l.files.setPath(bare.toUpper() + "/");
    EXPECT_EQ(l.files.path(), bare.toUpper() + "/");
    EXPECT_EQ(l.model.SortColumn(), -1);
    EXPECT_EQ(l.model.count(), 0);  // that spelling names no folder here

    l.files.setPath(bare);
    EXPECT_EQ(l.model.count(), 2);
    l.files.setPath(QString());
    EXPECT_EQ(l.files.path(), QString());
    EXPECT_EQ(l.model.count(), 0);
    EXPECT_EQ(l.model.ColumnCount(), 5);
    dir.write("c.zip");
    l.files.Refresh();
    EXPECT_EQ(l.model.count(), 0);
}

TEST(FolderList, AfterAListing) {
    TempFolder dir;
    for (const char* n : {"x.sms", "y.sms", "z.gg"})
        dir.write(QString::fromLatin1(n));
    Listing l;
    l.files.setPath(dir.path());
    l.model.setListIndex(1);
    l.files.SortFilesByColumnClick(1);
    l.files.setPattern("*.sms;*.gg");
    EXPECT_EQ(l.model.count(), 3);
    EXPECT_EQ(names(l.model).last(), "z.gg");
    EXPECT_EQ(l.model.ListIndex(), -1);
    EXPECT_EQ(l.model.SelCount(), 0);
    EXPECT_TRUE(l.model.ItemFocused(0));
    EXPECT_EQ(l.model.SortOrder(), 0);
    EXPECT_EQ(l.model.NewIndex(), 2);

    // An empty pattern: no files, the columns stay.
    l.files.setPattern(QString());
    EXPECT_EQ(l.model.count(), 0);
    EXPECT_EQ(l.model.ColumnCount(), 5);
}

TEST(FolderList, CellsOfAListedFile) {
    TempFolder dir;
    dir.write("Game.Zip", QByteArray(1536, 'x'));
    dir.sparse("disc.iso", 5LL * 1024 * 1024 * 1024);
    const QDateTime when(QDate(2023, 3, 9), QTime(15, 4));
    dir.touch("Game.Zip", when);
    Listing l;
    l.files.setPath(dir.path());
    const int game = names(l.model).indexOf("Game.Zip");
    const int disc = names(l.model).indexOf("disc.iso");
    ASSERT_GE(game, 0);
    ASSERT_GE(disc, 0);
    const QStringList expectedGame = {"Game.Zip", "1.5KB", "ZIP Archive", "3/9/2023 3:04 PM",
                                      "1536"};
    for (int c = 0; c < 5; ++c)
        EXPECT_EQ(l.model.SubItemText(game, c), expectedGame[c]) << c;
    EXPECT_EQ(l.model.SubItemText(disc, 1), "5.00GB");
    EXPECT_EQ(l.model.SubItemText(disc, 4), "5368709120");
}

TEST(FolderList, AFileThatCannotBeReadKeepsItsRow) {
    TempFolder dir;
    dir.write("here.bin", "1234");
    dir.write("later.bin", "1234");
    // A link to nothing stands for a file gone between the folder's names and its facts.
    QFile::link(dir.file("nowhere"), dir.file("gone.bin"));
    Listing l;
    l.files.setPath(dir.path());
    const int gone = names(l.model).indexOf("gone.bin");
    ASSERT_GE(gone, 0);
    EXPECT_EQ(l.model.SubItemText(gone, 1), QString());
    EXPECT_EQ(l.model.SubItemText(gone, 2), "BIN Image");
    EXPECT_EQ(l.model.SubItemText(gone, 3), QString());
    EXPECT_EQ(l.model.SubItemText(gone, 4), QString());
    // A numeric sort counts the empty size as 0.
    l.files.SortFilesByColumnClick(1);
    EXPECT_EQ(l.model.ItemText(0), "gone.bin");

    // A file deleted after the listing shows what the listing found until the next one.
    QFile::remove(dir.file("later.bin"));
    const int later = names(l.model).indexOf("later.bin");
    EXPECT_EQ(l.model.SubItemText(later, 1), "4 bytes");
    l.files.Refresh();
    EXPECT_EQ(names(l.model).indexOf("later.bin"), -1);
}

TEST(FolderList, ExistingColumnsAreFilledAsFarAsTheyGo) {
    TempFolder dir;
    dir.write("a.sms", "12");
    Listing l;
    l.model.ColumnAdd(0, "Game", 300);
    l.model.ColumnAdd(1, "Bytes", 80);
    l.files.setPath(dir.path());
    EXPECT_EQ(l.model.ColumnCount(), 2);
    EXPECT_EQ(l.model.SubItemText(0, 1), "2 bytes");
    EXPECT_EQ(l.model.SubItemText(0, 2), QString());
    EXPECT_EQ(l.model.ColumnText(0), "Game");
}

TEST(FolderList, HeaderClicksSortByTheRightKeys) {
    TempFolder dir;
    const struct {
        const char* name;
        int size;
        int minutesAgo;
    } files[] = {
        {"b.zip", 10, 5},
        {"A.sms", 9, 50},
        {"c.gg", 1000, 1},
        {"d.bin", 100, 500},
    };
    for (const auto& f : files) {
        dir.write(QString::fromLatin1(f.name), QByteArray(f.size, 'x'));
        dir.touch(QString::fromLatin1(f.name),
                  QDateTime::currentDateTime().addSecs(-60 * f.minutesAgo));
    }
    Listing l;
    l.files.setPath(dir.path());
    const struct {
        int column;
        bool sorted;
        QStringList order;
    } clicks[] = {
        {1, true, {"A.sms", "b.zip", "d.bin", "c.gg"}},  // 9 before 10: numeric
        {1, true, {"c.gg", "d.bin", "b.zip", "A.sms"}},
        {0, true, {"A.sms", "b.zip", "c.gg", "d.bin"}},
        {0, true, {"d.bin", "c.gg", "b.zip", "A.sms"}},
        {2, true, {"c.gg", "d.bin", "A.sms", "b.zip"}},  // .gg File, BIN Image, SMS, ZIP
        {3, true, {"d.bin", "A.sms", "b.zip", "c.gg"}},
        {3, true, {"c.gg", "b.zip", "A.sms", "d.bin"}},
        {4, false, {"c.gg", "b.zip", "A.sms", "d.bin"}},
        {-1, false, {"c.gg", "b.zip", "A.sms", "d.bin"}},
    };
    for (const auto& c : clicks) {
        EXPECT_EQ(l.files.SortFilesByColumnClick(c.column), c.sorted) << c.column;
        EXPECT_EQ(names(l.model), c.order) << c.column;
    }
    // A new listing forgets the sort: the next click sorts ascending again.
    l.files.Refresh();
    l.files.SortFilesByColumnClick(3);
    EXPECT_EQ(names(l.model), (QStringList{"d.bin", "A.sms", "b.zip", "c.gg"}));

    FolderList empty(l.model);
    EXPECT_FALSE(empty.SortFilesByColumnClick(0));
}

TEST(FolderList, CellsSetByTheHostSortByTheirText) {
    TempFolder dir;
    for (const int year : {2020, 2021, 2022}) {
        const QString name = QString(QChar(u'a' + year - 2020)) + ".bin";
        dir.write(name, QByteArray(5, 'x'));
        dir.touch(name, QDateTime(QDate(year, 1, 1), QTime(10, 0)));
    }
    Listing l;
    l.files.setPattern("*.bin");
    l.files.setPath(dir.path());
    l.files.SortFilesByColumnClick(0);
    // The host writes its own texts into two rows; the others keep the listed facts.
    l.model.setSubItemText(0, 3, "6/1/2021 9:00 PM");
    l.model.setSubItemText(2, 4, "1");
    l.files.SortFilesByColumnClick(3);
    EXPECT_EQ(names(l.model), (QStringList{"b.bin", "a.bin", "c.bin"}));
    l.files.SortFilesByColumnClick(1);
    EXPECT_EQ(names(l.model), (QStringList{"c.bin", "b.bin", "a.bin"}));
}
