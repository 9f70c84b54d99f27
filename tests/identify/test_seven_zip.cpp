#include "identify/ChecksumCache.h"
#include "identify/GameIdentifier.h"
#include "identify/SevenZip.h"

#include "FakeLookup.h"
#include "support/SevenZipBuilder.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <vector>

using identify::GameIdentifier;
using identify::Identification;
using identify::Verdict;

namespace {

const QByteArray kGame = QByteArray("a disc track ").repeated(4000);
const QByteArray kReadme = QByteArray("readme");

using Member = support::SevenZipMember;
using support::sevenZip;

// How the identifier knows a 7z by its members is in its verdicts' table.
TEST(SevenZipArchives, HostileOnesAreBounded) {
    identify::SevenZipLimits tight;
    tight.maxMembers = 3;
    tight.maxRatio = 10;
    tight.ratioAllowance = 0;
    const QByteArray zeros(qsizetype(4) << 20, '\0');
    struct Case {
        const char* what;
        QByteArray archive;
        const char* error;
    };
    const Case cases[] = {
        {"more members than allowed", sevenZip({{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}}),
         "more than 3 members"},
        {"a bomb: far more unpacked than packed", sevenZip({{"zeros.bin", zeros}}),
         "too much for its size"},
        {"not a 7z at all", QByteArray("7z\xBC\xAF\x27\x1C", 6) + QByteArray(100, 'x'), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const identify::SevenZipContents contents = identify::read7zMemory(c.archive, {}, tight);
        EXPECT_FALSE(contents.ok());
        EXPECT_TRUE(contents.members.empty());
        EXPECT_TRUE(contents.error.contains(QLatin1String(c.error)))
            << contents.error.toStdString();
    }
    // Within the bounds the same reading takes every member.
    const identify::SevenZipContents fine =
        identify::read7zMemory(sevenZip({{"a", "1"}, {"b", "2"}}), {}, tight);
    EXPECT_TRUE(fine.ok()) << fine.error.toStdString();
    EXPECT_EQ(fine.members.size(), 2u);
}

// Unpacking is the costly part: it happens once per version of the file, and a look that
// is no longer wanted stops it without keeping anything.
TEST(SevenZipArchives, AreUnpackedOncePerVersionAndStopWhenNoLongerWanted) {
    TempFolder folder;
    const QString path = folder.write("roms/game.7z", sevenZip({{"game.bin", kGame}}));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(folder.file("cache.sqlite3").toUtf8().constData(), &db), SQLITE_OK);
    {
        identify::ChecksumCache cache(db);
        FakeLookup lookup;
        lookup.add(kGame, "game", sha1Of(kGame));

        GameIdentifier stopped(lookup, &cache);
        stopped.setStopCheck([] { return true; });
        EXPECT_EQ(stopped.identify(path).problem, "stopped");

        GameIdentifier first(lookup, &cache);
        EXPECT_EQ(first.identify(path).verdict, Verdict::Verified);
        EXPECT_EQ(first.filesRead(), 1) << "the stopped look kept nothing";

        // A new index generation: the answer is made again from the kept checksums.
        lookup.add(kReadme, "readme", {});
        GameIdentifier second(lookup, &cache);
        EXPECT_EQ(second.identify(path).verdict, Verdict::Verified);
        EXPECT_EQ(second.filesRead(), 0);
    }
    sqlite3_close(db);
}

}  // namespace
