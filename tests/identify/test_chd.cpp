#include "identify/ChdHeader.h"
#include "identify/ChecksumCache.h"
#include "identify/ChecksumIndex.h"
#include "identify/GameIdentifier.h"

#include "ChdImages.h"

#include "library/LibraryDb.h"
#include "support/TempFolder.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

using chdbuild::chd;
using identify::Verdict;

// A copy of `bytes` with `count` big-endian bytes at `at` set to `value`.
QByteArray with(QByteArray bytes, int at, quint64 value, int count) {
    chdbuild::putBig(bytes, at, value, count);
    return bytes;
}

TEST(ChdImages, AreKnownByTheSha1InTheirHeader) {
    const QByteArray sha1 = QByteArray::fromHex("00112233445566778899aabbccddeeff00112233");
    TempFolder data;
    const QString list =
        data.write("psx.xml",
                   "<softwarelist name=\"psx\"><software name=\"disc\"><part><diskarea>"
                   "<disk name=\"d\" sha1=\"" +
                       sha1.toHex() + "\"/></diskarea></part></software></softwarelist>");
    struct Case {
        const char* what;
        QByteArray bytes;
        bool known;
        const char* problem;  // a part of it; empty when there must be none
    };
    const QByteArray v5 = chd(5, sha1);
    // clang-format off
    const Case cases[] = {
        {"version 3", chd(3, sha1), true, ""},
        {"version 4", chd(4, sha1), true, ""},
        {"version 5", v5, true, ""},
        {"one byte of the SHA-1 changed", with(v5, 84 + 19, 0x32, 1), false, ""},
        {"cut inside the header", v5.left(100), false, "cut short"},
        {"cut after the header", chd(5, sha1, 0), false, "past its end"},
        {"the metadata where the file ends", chd(5, sha1, 16), false, "past its end"},
        {"a header length not its version's", with(v5, 8, 120, 4), false, "damaged"},
        {"a map past the end", with(v5, 40, quint64(1) << 40, 8), false, "past its end"},
        {"a version not read", with(v5, 12, 2, 4), false, "version 2"},
    };
    // clang-format on
    library::LibraryDb db;
    ASSERT_TRUE(db.open(data.file("cache.sqlite3")).ok);
    identify::ChecksumIndex index(db.handle());
    ASSERT_TRUE(index.refresh({{list}}, {}).isEmpty());
    identify::ChecksumCache cache(db.handle());
    identify::GameIdentifier identifier(index, &cache);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = data.write(QStringLiteral("disc.chd"), c.bytes);
        const identify::Identification found = identifier.identify(path);
        EXPECT_EQ(found.verdict, c.known ? Verdict::VerifiedHeader : Verdict::Unknown);
        ASSERT_EQ(found.matches.size(), c.known ? 1u : 0u);
        if (c.known) {
            EXPECT_EQ(found.matches[0].source + "/" + found.matches[0].software, "psx/disc");
        }
        EXPECT_EQ(found.problem.isEmpty(), !*c.problem) << found.problem.toStdString();
        EXPECT_TRUE(found.problem.contains(QLatin1String(c.problem)))
            << found.problem.toStdString();
        ASSERT_TRUE(QFile::remove(path));
    }
}

}  // namespace
