// The duplicate finder on real folders: which copy stays, what is never removed, and
// where removed files go.

#include "checksum/clsCRC.h"
#include "launcher/DuplicateFinder.h"
#include "platform/FileOperations.h"
#include "support/QtPrinters.h"
#include "support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QMap>

#include <unistd.h>

#include <gtest/gtest.h>

namespace {

QByteArray bytes(int size, char salt) {
    QByteArray b(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        b[i] = char(salt * 31 + i * 7 + (i >> 8));
    return b;
}

// The CRC-32 register without its start value and final inversion.
quint32 rawCrc(const QByteArray& data) {
    quint32 r = 0;
    for (char c : data) {
        r ^= quint8(c);
        for (int k = 0; k < 8; ++k)
            r = (r >> 1) ^ ((r & 1) ? 0xEDB88320u : 0);
    }
    return r;
}

// Another text of the same length and the same CRC-32: the difference ends in its own
// CRC, so it adds nothing to the checksum.
QByteArray collisionOf(const QByteArray& data) {
    QByteArray diff("rombard");
    const quint32 r = rawCrc(diff);
    for (int k = 0; k < 4; ++k)
        diff += char((r >> (8 * k)) & 0xFF);
    QByteArray out = data;
    for (int i = 0; i < diff.size(); ++i)
        out[out.size() - diff.size() + i] = char(out[out.size() - diff.size() + i] ^ diff[i]);
    return out;
}

quint32 crcOf(const QByteArray& b) {
    clsCRC crc;
    return quint32(
        crc.CalculateBytes({reinterpret_cast<const std::uint8_t*>(b.constData()), size_t(b.size())})
            .number());
}

class Duplicates : public ::testing::Test {
protected:
    Duplicates() {
        // Removed files go to a trash of the test's own.
        m_oldDataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", home.path().toUtf8());
    }
    ~Duplicates() override { qputenv("XDG_DATA_HOME", m_oldDataHome); }
    QString folder() const { return roms.path() + "/"; }
    QStringList left() const { return QDir(roms.path()).entryList(QDir::Files, QDir::Name); }
    QStringList trashed() const {
        return QDir(home.file("Trash/files")).entryList(QDir::Files, QDir::Name);
    }

    TempFolder home;
    TempFolder roms;
    // The trash of the test's own, whichever file system the temporary folders are on.
    platform::LocalFileOperations files{platform::TrashPlaces{home.file("Trash"), false}};

private:
    QByteArray m_oldDataHome;
};

TEST_F(Duplicates, KeepsTheEarlierCopyAndOnlyTrueCopiesGo) {
    const QByteArray same = bytes(10000, 1);
    const QByteArray twin = collisionOf(same);
    ASSERT_NE(twin, same);
    ASSERT_EQ(crcOf(twin), crcOf(same));
    QByteArray lastByte = same, middleByte = same;
    lastByte[9999] = 'x';
    middleByte[9000] = 'y';
    const QMap<QString, QByteArray> contents{
        {"s", same}, {"t", twin}, {"o", bytes(10000, 2)}, {"e", lastByte}, {"s2", middleByte}};
    struct Case {
        QStringList names;  // "name=content key"
        QStringList removed;
        QString report;  // with "<>" for the folder
    };
    const Case cases[] = {
        {{"c=s", "a=s", "b=s"}, {"a", "b"}, "<>b -> c\n<>a -> c\n"},
        // Equal sizes with other bytes, a first block alike, or a CRC-32 alike: all stay.
        {{"a=s", "b=o", "c=e"}, {}, ""},
        {{"a=s", "b=t", "c=s2", "d=e"}, {}, ""},
        {{"a=s", "b=t"}, {}, ""},
        {{"a=s", "b=t", "c=s"}, {"c"}, "<>c -> a\n"},
        {{"a=", "b="}, {"b"}, "<>b -> a\n"},
        {{"a=s", "a=s"}, {}, ""},  // one name listed twice is one file
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.names.join(' ').toStdString());
        QDir(roms.path()).removeRecursively();
        QDir().mkpath(roms.path());
        QStringList names;
        for (const QString& entry : c.names) {
            const QString name = entry.section('=', 0, 0);
            if (!roms.exists(name)) roms.write(name, contents.value(entry.section('=', 1)));
            names << name;
        }
        const auto result = FindDuplicates(folder(), names, &files);
        QStringList expected = names;
        expected.removeDuplicates();
        for (const QString& r : c.removed)
            expected.removeAll(r);
        expected.sort();
        EXPECT_EQ(left(), expected);
        EXPECT_EQ(result.report, QString(c.report).replace("<>", folder()));
    }
    EXPECT_EQ(trashed().size(), 4);
}

TEST_F(Duplicates, LinksToTheKeptFileStayAndJadTwinsGo) {
    const QByteArray game = bytes(5000, 3);
    roms.write("a.jar", game);
    roms.write("a.jad", "mine");
    roms.write("b.jar", game);
    roms.write("b.jad", "b's");
    ASSERT_EQ(::link(QFile::encodeName(roms.file("a.jar")), QFile::encodeName(roms.file("hard"))),
              0);
    ASSERT_TRUE(QFile::link(roms.file("a.jar"), roms.file("soft")));
    ASSERT_TRUE(QFile::link(roms.file("z"), roms.file("first")));  // the kept one is a link
    roms.write("z", game);
    auto result = FindDuplicates(folder(), {"a.jar", "hard", "soft", "b.jar"}, &files);
    EXPECT_EQ(result.report, folder() + "b.jar -> a.jar\n");
    EXPECT_EQ(left(), (QStringList{"a.jad", "a.jar", "first", "hard", "soft", "z"}));
    // The kept file is a link to a later one.
    result = FindDuplicates(folder(), {"first", "z"}, &files);
    EXPECT_TRUE(result.copies.empty());
    EXPECT_EQ(left(), (QStringList{"a.jad", "a.jar", "first", "hard", "soft", "z"}));
    EXPECT_EQ(trashed(), (QStringList{"b.jad", "b.jar"}));
}

TEST_F(Duplicates, FilesVanishingMidRunAndAStopLoseNothingElse) {
    const QByteArray game = bytes(7000, 4);
    for (const char* n : {"a", "b", "c", "d"})
        roms.write(n, game);
    DuplicateSearchHooks hooks;
    hooks.examining = [&](int row) {
        if (row == 0) QFile::remove(roms.file("d"));  // another program takes it away
        return true;
    };
    auto result = FindDuplicates(folder(), {"a", "b", "c", "d"}, &files, hooks);
    EXPECT_EQ(left(), QStringList{"a"});
    EXPECT_EQ(result.report, folder() + "c -> a\n" + folder() + "b -> a\n");

    roms.write("b", game);
    roms.write("c", game);
    int found = 0;
    hooks.examining = {};
    hooks.found = [&](int, int, int n) { found = n; };
    hooks.keepGoing = [&] { return found == 0; };  // the window closes after the first copy
    result = FindDuplicates(folder(), {"a", "b", "c"}, &files, hooks);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(left(), (QStringList{"a", "b"}));
    EXPECT_EQ(result.copies.size(), 1u);

    // A dry run changes nothing.
    result = FindDuplicates(folder(), {"a", "b"}, nullptr);
    EXPECT_EQ(result.copies.size(), 1u);
    EXPECT_EQ(left(), (QStringList{"a", "b"}));
}

}  // namespace
