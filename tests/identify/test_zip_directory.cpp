#include "identify/ZipDirectory.h"

#include "support/PngBuilder.h"
#include "support/ZipBuilder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <functional>

using identify::MemoryZipSource, identify::ZipDirectory, identify::ZipMember;

namespace {

const QByteArray kGame = png::randomBytes(5000, 1);
const QByteArray kText = QByteArray("a readme, compressible ").repeated(40);
const QByteArray kZeros(3 << 20, '\0');  // very compressible: many rounds of output

std::vector<zipbuild::Entry> twoMembers() {
    return {{"game.bin", kGame, false}, {"docs/readme.txt", kText, true}};
}

ZipDirectory readBytes(const QByteArray& bytes) {
    MemoryZipSource source(bytes);
    return identify::readZipDirectory(source);
}

QByteArray withComment(zipbuild::Layout l, const QByteArray& comment) {
    zipbuild::set16(l.bytes, l.end + 20, quint32(comment.size()));
    return l.bytes + comment;
}

// Every member listed and unpacked to its own bytes; without members, only that each unpacks.
void expectGood(const char* what, const QByteArray& bytes,
                const std::vector<zipbuild::Entry>* members) {
    SCOPED_TRACE(what);
    MemoryZipSource source(bytes);
    const ZipDirectory d = identify::readZipDirectory(source);
    ASSERT_TRUE(d.ok()) << d.error.toStdString();
    if (members) {
        ASSERT_EQ(d.members.size(), members->size());
    } else {
        EXPECT_EQ(d.members.empty(), QByteArrayView(what) == "empty.zip");
    }
    for (size_t i = 0; i < d.members.size(); ++i) {
        const ZipMember& m = d.members[i];
        const identify::MemberDigest digest = identify::digestMember(source, m);
        ASSERT_TRUE(digest.ok()) << m.name.toStdString() << ": " << digest.error.toStdString();
        if (!members) continue;
        const zipbuild::Entry& e = (*members)[i];
        EXPECT_EQ(m.name, e.name);
        EXPECT_EQ(m.size, e.data.size());
        EXPECT_EQ(m.crc, zipbuild::crcOf(e.data));
        EXPECT_EQ(m.method, e.deflate ? 8 : 0);
        EXPECT_EQ(digest.sha1, QCryptographicHash::hash(e.data, QCryptographicHash::Sha1));
    }
}

TEST(ZipDirectory, ListsAndUnpacksGoodArchives) {
    struct Case {
        const char* what;
        std::vector<zipbuild::Entry> members;
        QByteArray bytes = {};  // empty: the members as built
    };
    const zipbuild::Layout plain = zipbuild::build(twoMembers());
    const Case cases[] = {
        {"stored and deflated", twoMembers()},
        {"ZIP64", twoMembers(), zipbuild::build(twoMembers(), true).bytes},
        {"a comment", twoMembers(), withComment(plain, "plain words")},
        // The comment holds a false end record; the real one reaches the file's end.
        {"a false end record in the comment", twoMembers(),
         withComment(plain, QByteArray("PK\x05\x06", 4) + QByteArray(30, 'x'))},
        {"the longest comment", twoMembers(), withComment(plain, QByteArray(0xFFFF, 'c'))},
        {"empty", {}},
        // Names are the archive's bytes, never converted from a guessed code page.
        {"a name in no particular encoding", {{"sp\xe4t.bin", kGame, false}}},
        {"empty members and a large one", {{"e", {}, false}, {"d", {}, true}, {"z", kZeros, true}}},
    };
    for (const Case& c : cases)
        expectGood(c.what, c.bytes.isEmpty() ? zipbuild::build(c.members).bytes : c.bytes,
                   &c.members);
    const QDir data(QStringLiteral(QT_TESTCASE_SOURCEDIR "/data/zip"));
    const QStringList names = data.entryList({QStringLiteral("*.zip")}, QDir::Files);
    ASSERT_GE(names.size(), 6);
    for (const QString& name : names) {
        QFile file(data.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        expectGood(name.toUtf8().constData(), file.readAll(), nullptr);
    }
}

TEST(ZipDirectory, RefusesHostileOrDamagedArchives) {
    using zipbuild::set16, zipbuild::set32, zipbuild::set64;
    using Damage = std::function<void(zipbuild::Layout&)>;
    const QByteArray bomb(8 << 20, '\0');
    struct Case {
        const char* what;
        std::vector<zipbuild::Entry> entries;
        Damage damage;
        int member;                 // the member whose unpacking is refused; -1: the listing is
        const char* error;          // a part of the message
        bool afterListing = false;  // the damage comes between the listing and the unpacking
        qint64 maxSize = identify::kMaxZipMember;
        bool zip64 = false;
    };
    const std::vector<zipbuild::Entry> g = {{"g", kGame, true}}, stored = {{"g", kGame, false}};
    const qint64 all = identify::kMaxZipMember;
    const auto statedSize = [](qint64 n) {
        return [n](zipbuild::Layout& l) { set32(l.bytes, l.central[0] + 24, quint32(n)); };
    };
    const auto flipCrc = [](zipbuild::Layout& l) { l.bytes[l.central[0] + 16] ^= 1; };
    // clang-format off
    const Case cases[] = {
        // The listing.
        {"too short", {}, [](auto& l) { l.bytes = "PK\x05\x06"; }, -1, "too short"},
        {"no end record", twoMembers(), [](auto& l) { l.bytes.chop(22); }, -1, "cannot be read"},
        {"split over disks", twoMembers(), [](auto& l) { set16(l.bytes, l.end + 4, 1); }, -1, "cannot be read"},
        {"a huge ZIP64 member count", twoMembers(), [](auto& l) {
             set64(l.bytes, l.zip64End + 24, quint64(1) << 40);
             set64(l.bytes, l.zip64End + 32, quint64(1) << 40);
         }, -1, "cannot be read", false, all, true},
        // The overlapping-record bomb: the first member's bytes take in the second.
        {"a member's data holding the next member", twoMembers(),
         [](auto& l) { set32(l.bytes, l.central[0] + 20, quint32(l.directory - 30 - 8)); }, -1, "overlap"},
        {"packed bytes past the file", twoMembers(),
         [](auto& l) { set32(l.bytes, l.central[1] + 20, 0xFFFFFFF0); }, -1, "overlap"},
        // The unpacking: what the directory says, checked before and during.
        {"a bomb stating 1000 bytes", {{"z", bomb, true}}, statedSize(1000), 0, "more than its stated"},
        {"one byte longer than stated", g, statedSize(kGame.size() - 1), 0, "more than its stated"},
        {"shorter than stated", g, statedSize(kGame.size() + 1), 0, ""},
        {"larger than the caller takes", g, [](auto&) {}, 0, "more than the", false, kGame.size() - 1},
        {"stored sizes differing", stored, statedSize(kGame.size() + 1), 0, "stored size"},
        {"a wrong CRC", g, flipCrc, 0, "CRC"},
        {"stored, a wrong CRC", stored, flipCrc, 0, "CRC"},
        {"an unsupported method", g, [](auto& l) { set16(l.bytes, l.central[0] + 10, 12); }, 0, "not supported"},
        {"encrypted", g, [](auto& l) { set16(l.bytes, l.central[0] + 8, 1); }, 0, "encrypted"},
        {"damaged deflate data", {{"t", kText, true}}, [](auto& l) {
             for (int i = 0; i < 8; ++i) l.bytes[l.local[0] + 30 + 1 + i] = char(0xFF);
         }, 0, "cannot be unpacked"},
        // Sizes within the file, but two records share the first member's bytes.
        {"a record pointing at another's data", twoMembers(),
         [](auto& l) { set32(l.bytes, l.central[1] + 42, quint32(l.local[0])); }, 1, ""},
        {"changed since the listing", g, flipCrc, 0, "not the one listed", true},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        zipbuild::Layout l = zipbuild::build(c.entries, c.zip64);
        if (!c.afterListing) c.damage(l);
        const ZipDirectory d = readBytes(l.bytes);
        if (c.member < 0) {
            EXPECT_FALSE(d.ok());
            EXPECT_TRUE(d.members.empty());
            EXPECT_TRUE(d.error.contains(QLatin1String(c.error))) << d.error.toStdString();
            continue;
        }
        ASSERT_TRUE(d.ok()) << d.error.toStdString();
        ASSERT_GT(d.members.size(), size_t(c.member));
        if (c.afterListing) c.damage(l);
        MemoryZipSource source(l.bytes);
        const identify::MemberDigest digest =
            identify::digestMember(source, d.members[size_t(c.member)], c.maxSize);
        EXPECT_FALSE(digest.ok());
        EXPECT_TRUE(digest.sha1.isEmpty());
        EXPECT_TRUE(digest.error.contains(QLatin1String(c.error))) << digest.error.toStdString();
    }
}

TEST(ZipDirectory, TellsZipsByTheirFirstBytesAndUnsafeMemberNames) {
    EXPECT_TRUE(identify::looksLikeZip(zipbuild::build(twoMembers()).bytes));
    EXPECT_TRUE(identify::looksLikeZip(zipbuild::build({}).bytes));  // an empty archive
    EXPECT_FALSE(identify::looksLikeZip(QByteArray("xPK\x03\x04")));
    EXPECT_FALSE(identify::looksLikeZip(QByteArray("PK")));
    EXPECT_FALSE(identify::looksLikeZip(kGame + zipbuild::build(twoMembers()).bytes));
    for (const QByteArray safe : {"game.bin", "dir/game.bin", "a..b.bin", "\xff\xfe.bin"})
        EXPECT_FALSE(identify::unsafeMemberName(safe)) << safe.toStdString();
    for (const QByteArray& unsafe :
         {QByteArray("../game.bin"), QByteArray("dir/../../x"), QByteArray("dir/.."),
          QByteArray("/etc/passwd"), QByteArray("dir\\..\\x"), QByteArray("a\0b", 3), QByteArray()})
        EXPECT_TRUE(identify::unsafeMemberName(unsafe)) << unsafe.toStdString();
}

}  // namespace
