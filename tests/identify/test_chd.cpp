#include "identify/ChdHeader.h"
#include "identify/ChecksumCache.h"
#include "identify/ChecksumIndex.h"
#include "identify/GameIdentifier.h"

#include "ChdImages.h"

#include "library/LibraryDb.h"
#include "support/TempFolder.h"

#include <QFile>

#include <gtest/gtest.h>

using identify::Verdict;

namespace {

using chdbuild::chd;
using chdbuild::putBig;

TEST(ChdImages, AreKnownByTheSha1InTheirHeader) {
    const QByteArray sha1 = QByteArray::fromHex("00112233445566778899aabbccddeeff00112233");
    TempFolder data;
    const QString list =
        data.write("psx.xml",
                   "<softwarelist name=\"psx\"><software name=\"disc\"><part><diskarea>"
                   "<disk name=\"d\" sha1=\"" +
                       sha1.toHex() + "\"/></diskarea></part></software></softwarelist>");
    QByteArray otherSha1 = sha1;
    otherSha1[19] = char(otherSha1[19] ^ 1);
    QByteArray badLength = chd(5, sha1);
    putBig(badLength, 8, 120, 4);
    QByteArray pastEnd = chd(5, sha1);
    putBig(pastEnd, 40, quint64(1) << 40, 8);
    QByteArray version2 = chd(5, sha1);
    putBig(version2, 12, 2, 4);

    struct Case {
        const char* what;
        QByteArray bytes;
        Verdict verdict;
        bool matched;
        const char* problem;  // a part of it; empty when there must be none
    };
    const Case cases[] = {
        {"version 3", chd(3, sha1), Verdict::VerifiedHeader, true, ""},
        {"version 4", chd(4, sha1), Verdict::VerifiedHeader, true, ""},
        {"version 5", chd(5, sha1), Verdict::VerifiedHeader, true, ""},
        {"one byte of the SHA-1 changed", chd(5, otherSha1), Verdict::Unknown, false, ""},
        {"cut inside the header", chd(5, sha1).left(100), Verdict::Unknown, false, "cut short"},
        {"cut after the header", chd(5, sha1, 0), Verdict::Unknown, false, "past its end"},
        {"a header length not its version's", badLength, Verdict::Unknown, false, "damaged"},
        {"a map past the end", pastEnd, Verdict::Unknown, false, "past its end"},
        {"a version not read", version2, Verdict::Unknown, false, "version 2"},
    };

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
        EXPECT_EQ(found.verdict, c.verdict);
        ASSERT_EQ(!found.matches.empty(), c.matched);
        if (c.matched) {
            EXPECT_EQ(found.matches.front().source, "psx");
            EXPECT_EQ(found.matches.front().software, "disc");
            EXPECT_EQ(identify::verdictText(found.verdict), "verified (header)");
        }
        if (*c.problem) {
            EXPECT_TRUE(found.problem.contains(QLatin1String(c.problem)))
                << found.problem.toStdString();
        } else {
            EXPECT_TRUE(found.problem.isEmpty()) << found.problem.toStdString();
        }
        ASSERT_TRUE(QFile::remove(path));
    }
}

}  // namespace
