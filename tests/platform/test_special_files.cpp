// Names that look like data files but are FIFOs, devices, folders or links: read only when
// they are regular files, never waited on, never read past the cap. A hang here fails the
// test run by its time limit.

#include "platform/FileNames.h"
#include "platform/FolderSnapshot.h"
#include "support/QtPrinters.h"
#include "support/RawFiles.h"
#include "support/TempFolder.h"

#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace {

// What a test folder's `name` should be: a plain file with `content`, or something else.
enum class Make { File, Fifo, Folder, LinkToFile, LinkToZero, Dangling };

QString make(TempFolder& t, const QString& name, Make kind, const QByteArray& content = "data") {
    const QString path = t.file(name);
    switch (kind) {
        case Make::File:
            t.write(name, content);
            break;
        case Make::Fifo:
            EXPECT_EQ(::mkfifo(raw::bytes(path).constData(), 0644), 0);
            break;
        case Make::Folder:
            t.mkdir(name);
            break;
        case Make::LinkToFile:
            t.write(name + ".target", content);
            EXPECT_TRUE(raw::link(path + ".target", path));
            break;
        case Make::LinkToZero:
            EXPECT_TRUE(raw::link(QStringLiteral("/dev/zero"), path));
            break;
        case Make::Dangling:
            EXPECT_TRUE(raw::link(t.file("nowhere"), path));
            break;
    }
    return path;
}

TEST(RegularFiles, OnlyRegularFilesAreOpenedAndNothingWaits) {
    struct Case {
        const char* what;
        Make kind;
        bool opens;
    };
    const Case cases[] = {
        {"a plain file", Make::File, true}, {"a link to a plain file", Make::LinkToFile, true},
        {"a FIFO", Make::Fifo, false},      {"a link to /dev/zero", Make::LinkToZero, false},
        {"a folder", Make::Folder, false},  {"a dangling link", Make::Dangling, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder t;
        const QString path = make(t, QStringLiteral("x.dat"), c.kind);

        const std::optional<QByteArray> bytes = platform::readRegularFile(path, 1 << 20);
        EXPECT_EQ(bytes.has_value(), c.opens);
        if (bytes) {
            EXPECT_EQ(*bytes, "data");
        }

        QFile file;
        EXPECT_EQ(platform::openRegularForReading(file, path), c.opens);
        if (c.opens) {
            EXPECT_EQ(file.readAll(), "data");
        }

        const int fd = platform::openRegular(path);
        EXPECT_EQ(fd >= 0, c.opens);
        if (fd >= 0) {
            // Reads block again as usual once the file is known to be one.
            char buffer[8];
            EXPECT_EQ(::read(fd, buffer, sizeof buffer), 4);
            ::close(fd);
        }
    }
    EXPECT_FALSE(platform::readRegularFile(QString(), 10));
}

TEST(RegularFiles, ReadingStopsAtTheCapAndSaysSo) {
    struct Case {
        qint64 size;
        qint64 cap;
        qint64 read;
        bool cut;
    };
    const Case cases[] = {
        {0, 10, 0, false},
        {10, 10, 10, false},
        {11, 10, 10, true},
        {200000, 65536, 65536, true},     // more than one block
        {200000, 200001, 200000, false},  // not a block's multiple
        {5, 0, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        TempFolder t;
        QByteArray content(qsizetype(c.size), 'x');
        for (qsizetype i = 0; i < content.size(); ++i)
            content[i] = char('a' + i % 26);
        const QString path = t.write(QStringLiteral("f"), content);
        bool cut = !c.cut;
        const std::optional<QByteArray> bytes = platform::readRegularFile(path, c.cap, &cut);
        ASSERT_TRUE(bytes);
        EXPECT_EQ(*bytes, content.left(qsizetype(c.read)));
        EXPECT_EQ(cut, c.cut);
    }
    // A huge file costs no more than the cap.
    TempFolder t;
    const QString huge = t.sparse(QStringLiteral("huge"), qint64(1) << 33);
    bool cut = false;
    const std::optional<QByteArray> bytes = platform::readRegularFile(huge, 4096, &cut);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->size(), 4096);
    EXPECT_LE(bytes->capacity(), 64 * 1024);
    EXPECT_TRUE(cut);
}

TEST(FolderEntryKinds, TellFilesLinksAndOthersApart) {
    TempFolder t;
    make(t, QStringLiteral("file"), Make::File);
    make(t, QStringLiteral("fifo"), Make::Fifo);
    make(t, QStringLiteral("folder"), Make::Folder);
    make(t, QStringLiteral("link"), Make::LinkToFile);  // with link.target, a file
    make(t, QStringLiteral("dangling"), Make::Dangling);
    const std::optional<std::vector<platform::FolderEntry>> entries =
        platform::folderEntryKinds(t.path());
    ASSERT_TRUE(entries);
    QStringList seen;
    for (const auto& [name, kind] : *entries) {
        // File systems that do not type their entries say Unknown, which the caller looks at.
        if (kind == platform::EntryKind::Unknown) continue;
        const char* k = kind == platform::EntryKind::File   ? "file"
                        : kind == platform::EntryKind::Link ? "link"
                                                            : "other";
        seen << name + '=' + k;
    }
    seen.sort();
    if (seen.size() == 6) {
        EXPECT_EQ(seen, (QStringList{"dangling=link", "fifo=other", "file=file", "folder=other",
                                     "link.target=file", "link=link"}));
    }
    EXPECT_EQ(platform::folderEntries(t.path())->size(), 6);
    EXPECT_FALSE(platform::folderEntryKinds(t.file("file")));
}

}  // namespace
