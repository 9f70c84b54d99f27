#include "identify/ZipDirectory.h"

#include "support/ZipBuilder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <functional>
#include <random>

using identify::MemoryZipSource;
using identify::ZipDirectory;
using identify::ZipMember;

namespace {

QByteArray pseudoRandom(int size, unsigned stream) {
    std::mt19937 rng(stream);
    QByteArray b(size, '\0');
    for (char& c : b)
        c = char(rng());
    return b;
}

const QByteArray kGame = pseudoRandom(5000, 1);
const QByteArray kText = QByteArray("a readme, compressible ").repeated(40);

std::vector<zipbuild::Entry> twoMembers() {
    return {{"game.bin", kGame, false}, {"docs/readme.txt", kText, true}};
}

ZipDirectory readBytes(const QByteArray& bytes) {
    MemoryZipSource source(bytes);
    return identify::readZipDirectory(source);
}

TEST(ZipDirectory, ListsMembersWithoutUnpacking) {
    for (const bool zip64 : {false, true}) {
        const zipbuild::Layout l = zipbuild::build(twoMembers(), zip64);
        const ZipDirectory d = readBytes(l.bytes);
        ASSERT_TRUE(d.ok()) << d.error.toStdString() << " zip64=" << zip64;
        ASSERT_EQ(d.members.size(), 2u);
        EXPECT_EQ(d.members[0].name, "game.bin");
        EXPECT_EQ(d.members[0].size, kGame.size());
        EXPECT_EQ(d.members[0].compressedSize, kGame.size());
        EXPECT_EQ(d.members[0].crc, zipbuild::crcOf(kGame));
        EXPECT_EQ(d.members[0].method, 0);
        EXPECT_EQ(d.members[0].localHeaderOffset, l.local[0]);
        EXPECT_EQ(d.members[1].name, "docs/readme.txt");
        EXPECT_EQ(d.members[1].method, 8);
        EXPECT_EQ(d.members[1].size, kText.size());
        EXPECT_LT(d.members[1].compressedSize, kText.size());
        EXPECT_EQ(d.members[1].localHeaderOffset, l.local[1]);
    }
}

// Archives written by another archiver (the fuzzer starts from them too): stored, deflated,
// a folder entry, an empty archive, a comment holding a false end record, ZIP64 records.
TEST(ZipDirectory, ReadsArchivesOfAnotherWriter) {
    const QDir data(QStringLiteral(QT_TESTCASE_SOURCEDIR "/data/zip"));
    const QStringList names = data.entryList({QStringLiteral("*.zip")}, QDir::Files);
    ASSERT_GE(names.size(), 6);
    for (const QString& name : names) {
        QFile file(data.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        MemoryZipSource source(bytes);
        const ZipDirectory d = identify::readZipDirectory(source);
        ASSERT_TRUE(d.ok()) << name.toStdString() << ": " << d.error.toStdString();
        EXPECT_EQ(d.members.empty(), name == QLatin1String("empty.zip")) << name.toStdString();
        for (const ZipMember& m : d.members) {
            const identify::MemberDigest digest = identify::digestMember(source, m);
            EXPECT_TRUE(digest.ok()) << name.toStdString() << "/" << m.name.toStdString() << ": "
                                     << digest.error.toStdString();
        }
    }
}

TEST(ZipDirectory, FindsTheEndRecordBehindAComment) {
    struct Case {
        QByteArray comment;
        bool ok;
    };
    const Case cases[] = {
        {"", true},
        {"plain words", true},
        // The comment holds a false end record; the real one reaches the file's end.
        {QByteArray("PK\x05\x06", 4) + QByteArray(30, 'x'), true},
        {QByteArray(0xFFFF, 'c'), true},
    };
    for (const Case& c : cases) {
        zipbuild::Layout l = zipbuild::build(twoMembers());
        zipbuild::set16(l.bytes, l.end + 20, quint32(c.comment.size()));
        l.bytes.append(c.comment);
        const ZipDirectory d = readBytes(l.bytes);
        EXPECT_EQ(d.ok(), c.ok) << d.error.toStdString();
        EXPECT_EQ(d.members.size(), c.ok ? 2u : 0u);
    }
    // Past 64 KiB of comment the record is out of reach, as for any reader.
    zipbuild::Layout l = zipbuild::build(twoMembers());
    l.bytes.append(QByteArray(0x10000, 'c'));
    EXPECT_FALSE(readBytes(l.bytes).ok());
}

TEST(ZipDirectory, RefusesEveryDamagedOrHostileDirectory) {
    using zipbuild::set16;
    using zipbuild::set32;
    using zipbuild::set64;
    struct Case {
        const char* what;
        bool zip64;
        std::function<void(zipbuild::Layout&)> damage;
        const char* error;  // a part of the message
    };
    const Case cases[] = {
        {"too short", false, [](auto& l) { l.bytes = "PK\x03\x04"; }, "too short"},
        {"no end record", false, [](auto& l) { l.bytes.chop(22); }, "no end"},
        {"huge member count", false,
         [](auto& l) {
             set16(l.bytes, l.end + 8, 60000);
             set16(l.bytes, l.end + 10, 60000);
         },
         "claims 60000 members"},
        {"huge ZIP64 member count", true,
         [](auto& l) {
             set64(l.bytes, l.zip64End + 24, quint64(1) << 40);
             set64(l.bytes, l.zip64End + 32, quint64(1) << 40);
         },
         "claims"},
        {"more members than records", false,
         [](auto& l) {
             set16(l.bytes, l.end + 8, 3);
             set16(l.bytes, l.end + 10, 3);
         },
         ""},
        {"directory after the file's end", false,
         [](auto& l) { set32(l.bytes, l.end + 16, quint32(l.bytes.size() + 100)); },
         "outside the file"},
        {"directory larger than the file", false,
         [](auto& l) { set32(l.bytes, l.end + 12, 0x7FFFFFFF); }, "outside the file"},
        {"ZIP64 directory offset past any file", true,
         [](auto& l) { set64(l.bytes, l.zip64End + 48, ~quint64(0)); }, "outside the file"},
        {"ZIP64 locator pointing outside", true,
         [](auto& l) { set64(l.bytes, l.locator + 8, quint64(l.bytes.size()) * 2); },
         "outside the file"},
        {"ZIP64 locator pointing at itself", true,
         [](auto& l) { set64(l.bytes, l.locator + 8, quint64(l.locator)); }, "outside the file"},
        {"ZIP64 locator missing", true, [](auto& l) { set32(l.bytes, l.locator, 0); }, "missing"},
        {"ZIP64 sizes missing", true, [](auto& l) { set16(l.bytes, l.central[0] + 30, 0); },
         "ZIP64"},
        {"split archive", false, [](auto& l) { set16(l.bytes, l.end + 4, 1); }, "disks"},
        {"central record damaged", false, [](auto& l) { set32(l.bytes, l.central[1], 0); },
         "damaged"},
        {"name running past the directory", false,
         [](auto& l) { set16(l.bytes, l.central[1] + 28, 0xFFFF); }, "cut short"},
        {"local header inside the directory", false,
         [](auto& l) { set32(l.bytes, l.central[1] + 42, quint32(l.directory + 4)); }, "overlap"},
        {"local header past the file", false,
         [](auto& l) { set32(l.bytes, l.central[0] + 42, 0xFFFFFFF0); }, "overlap"},
        {"two members sharing their data", false,
         [](auto& l) { set32(l.bytes, l.central[1] + 42, quint32(l.local[0])); }, "overlap"},
        {"a member running into the next", false,
         [](auto& l) { set32(l.bytes, l.central[0] + 20, quint32(kGame.size() + 10)); }, "overlap"},
        {"a record pointing back before the first", true,
         [](auto& l) { set64(l.bytes, l.central[1] + 46 + 15 + 4 + 16, 2); }, "overlap"},
    };
    for (const Case& c : cases) {
        zipbuild::Layout l = zipbuild::build(twoMembers(), c.zip64);
        c.damage(l);
        const ZipDirectory d = readBytes(l.bytes);
        EXPECT_FALSE(d.ok()) << c.what;
        EXPECT_TRUE(d.members.empty()) << c.what;
        EXPECT_TRUE(d.error.contains(QLatin1String(c.error)))
            << c.what << ": " << d.error.toStdString();
    }
}

TEST(ZipDirectory, EveryCutOfAnArchiveIsRefused) {
    for (const bool zip64 : {false, true}) {
        const QByteArray whole = zipbuild::build(twoMembers(), zip64).bytes;
        for (qsizetype n = 0; n < whole.size(); ++n)
            EXPECT_FALSE(readBytes(whole.left(n)).ok()) << n << " zip64=" << zip64;
    }
}

TEST(ZipDirectory, TellsZipsByTheirFirstBytes) {
    EXPECT_TRUE(identify::looksLikeZip(zipbuild::build(twoMembers()).bytes));
    EXPECT_TRUE(identify::looksLikeZip(zipbuild::build({}).bytes));  // an empty archive
    EXPECT_FALSE(identify::looksLikeZip(QByteArray("xPK\x03\x04")));
    EXPECT_FALSE(identify::looksLikeZip(QByteArray("PK")));
    EXPECT_FALSE(identify::looksLikeZip(kGame + zipbuild::build(twoMembers()).bytes));
}

TEST(ZipDirectory, MemberNamesLeadingOutsideAreUnsafe) {
    struct Case {
        QByteArray name;
        bool unsafe;
    };
    const Case cases[] = {
        {"game.bin", false},
        {"dir/game.bin", false},
        {"a..b.bin", false},
        {"\xff\xfe.bin", false},
        {"../game.bin", true},
        {"dir/../../x", true},
        {"dir/..", true},
        {"/etc/passwd", true},
        {"dir\\..\\x", true},
        {QByteArray("a\0b", 3), true},
        {"", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(identify::unsafeMemberName(c.name), c.unsafe) << c.name.toStdString();
}

// Digests the only member of a one-member archive after `damage`.
identify::MemberDigest digestAfter(
    const zipbuild::Entry& entry,
    const std::function<void(zipbuild::Layout&, ZipMember&)>& damage) {
    zipbuild::Layout l = zipbuild::build({entry});
    ZipDirectory d = readBytes(l.bytes);
    if (!d.ok() || d.members.size() != 1) return {{}, QStringLiteral("unreadable: ") + d.error};
    ZipMember m = d.members.front();
    damage(l, m);
    MemoryZipSource source(l.bytes);
    return identify::digestMember(source, m);
}

TEST(ZipMemberDigest, UnpacksExactlyWhatTheDirectorySays) {
    const QByteArray zeros(3 << 20, '\0');  // large and very compressible: many output rounds
    for (const zipbuild::Entry& e :
         {zipbuild::Entry{"a", kGame, false}, zipbuild::Entry{"b", kGame, true},
          zipbuild::Entry{"c", zeros, true}, zipbuild::Entry{"d", QByteArray(), true},
          zipbuild::Entry{"e", QByteArray(), false}}) {
        const identify::MemberDigest digest = digestAfter(e, [](auto&, auto&) {});
        ASSERT_TRUE(digest.ok()) << e.name.toStdString() << ": " << digest.error.toStdString();
        EXPECT_EQ(digest.sha1, QCryptographicHash::hash(e.data, QCryptographicHash::Sha1));
    }
}

TEST(ZipMemberDigest, RefusesMembersThatDoNotMatchTheirDirectory) {
    using zipbuild::set16;
    using zipbuild::set32;
    const QByteArray zeros(8 << 20, '\0');
    struct Case {
        const char* what;
        zipbuild::Entry entry;
        std::function<void(zipbuild::Layout&, ZipMember&)> damage;
        const char* error;
    };
    const Case cases[] = {
        // 8 MiB of zeros claiming to be 1000 bytes: stops at the claim, not at the end.
        {"a bomb", {"z", zeros, true}, [](auto&, ZipMember& m) { m.size = 1000; }, "more than"},
        {"longer than stated",
         {"g", kGame, true},
         [](auto&, ZipMember& m) { m.size -= 1; },
         "more than"},
        {"shorter than stated",
         {"g", kGame, true},
         [](auto&, ZipMember& m) { m.size += 1; },
         "less than"},
        {"stored sizes differ",
         {"g", kGame, false},
         [](auto&, ZipMember& m) { m.size += 1; },
         "stored size"},
        {"wrong CRC", {"g", kGame, true}, [](auto&, ZipMember& m) { m.crc ^= 1; }, "CRC-32"},
        {"stored, wrong CRC",
         {"g", kGame, false},
         [](auto&, ZipMember& m) { m.crc ^= 1; },
         "CRC-32"},
        {"no local header",
         {"g", kGame, true},
         [](zipbuild::Layout& l, auto&) { set32(l.bytes, l.local[0], 0); },
         "header"},
        {"local name running past the file",
         {"g", kGame, true},
         [](zipbuild::Layout& l, auto&) { set16(l.bytes, l.local[0] + 28, 0xFFFF); },
         "outside"},
        {"data cut short",
         {"g", kGame, true},
         [](zipbuild::Layout& l, auto&) { l.bytes.truncate(l.local[0] + 30 + 1 + 100); },
         "outside"},
        {"deflate stream ends early",
         {"g", kGame, true},
         [](auto&, ZipMember& m) { m.compressedSize /= 2; },
         "ends early"},
        {"damaged deflate data",
         {"t", kText, true},
         [](zipbuild::Layout& l, auto&) {
             for (int i = 0; i < 8; ++i)
                 l.bytes[l.local[0] + 30 + 1 + i] = char(0xFF);
         },
         "damaged"},
        {"unsupported method",
         {"g", kGame, true},
         [](auto&, ZipMember& m) { m.method = 12; },
         "not supported"},
        {"encrypted", {"g", kGame, true}, [](auto&, ZipMember& m) { m.flags |= 1; }, "encrypted"},
        {"negative offset",
         {"g", kGame, true},
         [](auto&, ZipMember& m) { m.localHeaderOffset = -5; },
         "header"},
    };
    for (const Case& c : cases) {
        const identify::MemberDigest digest = digestAfter(c.entry, c.damage);
        EXPECT_FALSE(digest.ok()) << c.what;
        EXPECT_TRUE(digest.sha1.isEmpty()) << c.what;
        EXPECT_TRUE(digest.error.contains(QLatin1String(c.error)))
            << c.what << ": " << digest.error.toStdString();
    }
}

}  // namespace
