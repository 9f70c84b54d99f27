#include "filelist/FileFormats.h"

#include "support/QtPrinters.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <QDateTime>

TEST(FormatSize, EachThresholdIsStrictAndLargeSizesStayPositive) {
    const struct {
        double size;
        const char* text;
    } cases[] = {{0, "0 bytes"},
                 {1, "1 bytes"},
                 {1024, "1,024 bytes"},
                 {1025, "1.0KB"},
                 {1536, "1.5KB"},
                 {1048576, "1,024.0KB"},
                 {1048577, "1.0MB"},
                 {5000000, "4.8MB"},
                 {1073741824, "1,024.0MB"},
                 {1073741825, "1.00GB"},
                 {3221225472.0, "3.00GB"},
                 {5.0 * 1073741824 + 1, "5.00GB"},
                 {2199023255552.0, "2,048.00GB"}};
    for (const auto& c : cases)
        EXPECT_EQ(formatSize(c.size), QString::fromLatin1(c.text)) << c.size;
}

TEST(FileTypeDescription, ShapesOfNames) {
    // Extensions of three or four letters are described (known ones by name, others
    // upper-cased); shorter or longer ones are kept as written, dot included.
    const struct {
        const char* name;
        const char* type;
    } cases[] = {{"Game.Zip", "ZIP Archive"},
                 {"photo.jpeg", "JPEG Image"},
                 {"a.b.zip", "ZIP Archive"},
                 {"rom.smsx", "SMSX File"},
                 {"mario.smc", "SMC File"},
                 {"rom.gb", ".gb File"},
                 {"ROM.GB", ".GB File"},
                 {"notes.backup", ".backup File"},
                 {"x..b", "..b File"},
                 {"noext", ""},
                 {"", ""},
                 {".profile", ".profile File"}};
    for (const auto& c : cases)
        EXPECT_EQ(fileTypeDescription(QString::fromUtf8(c.name)), QString::fromUtf8(c.type))
            << c.name;
}

TEST(Split, PiecesBetweenSeparators) {
    const struct {
        const char* text;
        const char* sep;
        int compare;
        QStringList pieces;
    } cases[] = {
        {"", ";", 0, {""}},
        {"a", ";", 0, {"a"}},
        {"a;;b", ";", 0, {"a", "", "b"}},
        {"*.zip; *.smc", ";", 0, {"*.zip", " *.smc"}},
        {";a;", ";", 0, {"", "a", ""}},
        {"aXbxc", "x", 0, {"aXb", "c"}},
        {"aXbxc", "x", 1, {"a", "b", "c"}},
        {"a--b--", "--", 0, {"a", "b", ""}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(split(QString::fromUtf8(c.text), QString::fromUtf8(c.sep), c.compare), c.pieces)
            << c.text;
}

TEST(FileDateFormat, WritesTwelveHourLocalTimeAndReadsItBack) {
    const FileDateFormat dates;
    const struct {
        QDateTime when;
        const char* text;
    } cases[] = {
        {QDateTime(QDate(2024, 1, 5), QTime(0, 7)), "1/5/2024 12:07 AM"},
        {QDateTime(QDate(2024, 12, 25), QTime(12, 0)), "12/25/2024 12:00 PM"},
        {QDateTime(QDate(1999, 7, 4), QTime(23, 59)), "7/4/1999 11:59 PM"},
        {QDateTime(QDate(2030, 10, 10), QTime(9, 5)), "10/10/2030 9:05 AM"},
    };
    qint64 previous = 0;
    for (const auto& c : cases) {
        const QString text = dates.format(c.when.toSecsSinceEpoch());
        EXPECT_EQ(text, QString::fromLatin1(c.text));
        ASSERT_TRUE(dates.sortKey(text).has_value()) << c.text;
    }
    // Keys order like the moments they name, across day halves and years.
    const char* ordered[] = {"7/4/1999 11:59 PM", "1/5/2024 12:07 AM", "1/5/2024 11:59 AM",
                             "1/5/2024 12:00 PM", "1/5/2024 1:00 PM",  "12/25/2024 12:00 PM"};
    for (const char* t : ordered) {
        const qint64 key = dates.sortKey(QString::fromLatin1(t)).value_or(-1);
        EXPECT_GT(key, previous) << t;
        previous = key;
    }
    for (const char* bad : {"", "yesterday", "13/1/2024 1:00 PM", "1/5", "1/5/2024 13:00 PM"})
        EXPECT_FALSE(dates.sortKey(QString::fromLatin1(bad)).has_value()) << bad;
}

TEST(FileLength, TrueLengthsAndZeroForMissingFiles) {
    TempFolder dir;
    dir.write(QStringLiteral("empty"));
    dir.write(QStringLiteral("small"), QByteArray(10, 'x'));
    dir.sparse(QStringLiteral("huge"), 5LL * 1024 * 1024 * 1024 + 3);
    EXPECT_EQ(fileLength(dir.file(QStringLiteral("empty"))), 0);
    EXPECT_EQ(fileLength(dir.file(QStringLiteral("small"))), 10);
    EXPECT_EQ(fileLength(dir.file(QStringLiteral("huge"))), 5.0 * 1024 * 1024 * 1024 + 3);
    EXPECT_EQ(fileLength(dir.file(QStringLiteral("missing"))), 0);
    EXPECT_EQ(fileLength(QString()), 0);
}
