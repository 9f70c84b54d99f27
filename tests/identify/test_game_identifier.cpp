#include "identify/ChecksumCache.h"
#include "identify/ChecksumIndex.h"
#include "identify/GameIdentifier.h"
#include "identify/SevenZip.h"

#include "ChdImages.h"
#include "FakeLookup.h"
#include "library/LibraryDb.h"
#include "support/RawFiles.h"
#include "support/SevenZipBuilder.h"
#include "support/TempFolder.h"
#include "support/ZipBuilder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using identify::DumpStatus, identify::GameIdentifier, identify::Identification, identify::Verdict,
    support::sevenZip;

namespace {

const QByteArray kGame = QByteArray("a cartridge image ").repeated(300);
const QByteArray kOther = QByteArray("another dump of it ").repeated(200);
const QByteArray kReadme = QByteArray("readme");

QString softwareOf(const Identification& id) {
    QStringList names;
    for (const identify::RomEntry& e : id.matches)
        names << e.software;
    return names.join(u' ');
}

// A fake index entry: its bytes, software, SHA-1 (none, right, wrong) and dump status.
enum class Sha { None, Right, Wrong };
struct Entry {
    const QByteArray& data;
    const char* software;
    Sha sha1 = Sha::None;
    DumpStatus status = DumpStatus::Good;
};

// `told` holds `part`, and is empty exactly when `part` is.
void expectProblem(const QString& told, const char* part) {
    EXPECT_EQ(told.isEmpty(), !*part) << told.toStdString();
    EXPECT_TRUE(told.contains(QLatin1String(part))) << told.toStdString();
}

void addAll(FakeLookup& lookup, const std::vector<Entry>& entries) {
    for (const Entry& e : entries)
        lookup.add(e.data, e.software,
                   e.sha1 == Sha::None    ? QByteArray()
                   : e.sha1 == Sha::Right ? sha1Of(e.data)
                                          : sha1Of("another file"),
                   e.status);
}

// Archives by content; a bad one is unknown with a reason; nothing is written beside it.
TEST(Verdicts, FollowTheEntriesThatMatchAPlainFileOrAnArchivesMembers) {
    using enum Sha;
    using enum Verdict;
    constexpr DumpStatus Bad = DumpStatus::BadDump, NoDump = DumpStatus::NoDump;
    const QByteArray longer = kGame + "x";
    struct Case {
        const char* what;
        QByteArray file;
        std::vector<Entry> entries;
        Verdict verdict;
        const char* matches;  // the deciding one first
        int reads;            // a plain file's SHA-1 costs a second read, and only when needed
        QString member = {};
        const char* problem = "";  // a part of it
    };
    const auto zip = [](const std::vector<zipbuild::Entry>& members) {
        return zipbuild::build(members).bytes;
    };
    // The directory claims a known game's size and CRC for a member holding something else.
    const zipbuild::Layout lies = [&] {
        zipbuild::Layout x = zipbuild::build({{"game.a26", QByteArray(kGame.size(), 'z')}});
        zipbuild::set32(x.bytes, x.central[0] + 16, zipbuild::crcOf(kGame));
        return x;
    }();
    const QByteArray& plain = kGame;
    // clang-format off
    const Case cases[] = {
        {"nothing matches", plain, {}, Unknown, "", 1},
        {"size and CRC, entry without SHA-1", plain, {{kGame, "game"}}, Verified, "game", 1},
        {"size, CRC and SHA-1", plain, {{kGame, "game", Right}}, Verified, "game", 2},
        {"forged size and CRC, another SHA-1", plain, {{kGame, "game", Wrong}}, CrcOnly, "game", 2},
        {"bad dump, no SHA-1", plain, {{kGame, "game", None, Bad}}, BadDump, "game", 1},
        {"bad dump, another's SHA-1", plain, {{kGame, "game", Wrong, Bad}}, CrcOnly, "game", 2},
        {"no dump", plain, {{kGame, "game", None, NoDump}}, BadDump, "game", 1},
        {"crc only, then verified: verified decides", plain,
         {{kGame, "clone", Wrong}, {kGame, "parent", Right}}, Verified, "parent clone", 2},
        {"verified over bad dump over crc only, order kept within each", plain,
         {{kGame, "c1", Wrong}, {kGame, "b1", None, Bad}, {kGame, "c2", Wrong}, {kGame, "v1"},
          {kGame, "b2", Right, Bad}},
         Verified, "v1 b1 b2 c1 c2", 2},
        {"bad dump over crc only", plain, {{kGame, "c1", Wrong}, {kGame, "b1", None, Bad}}, BadDump,
         "b1 c1", 2},
        {"an entry of another size with the same CRC does not match", plain, {{longer, "longer"}},
         Unknown, "", 1},
        {"a member verified by SHA-1", zip({{"game.a26", kGame}}), {{kGame, "game", Right}},
         Verified, "game", 1, "game.a26"},
        {"one stored member, forged to size and CRC", zip({{"game.a26", kGame, false}}),
         {{kGame, "game", Wrong}}, CrcOnly, "game", 1, "game.a26"},
        {"a game and its readme: the game decides",
         zip({{"readme.txt", kReadme}, {"game.a26", kGame}}), {{kGame, "game", Right}}, Verified,
         "game", 1, "game.a26"},
        {"two known members: the better verdict", zip({{"clone.a26", kOther}, {"game.a26", kGame}}),
         {{kOther, "clone", Wrong}, {kGame, "game", None, Bad}}, BadDump, "game", 1, "game.a26"},
        {"two members alike: the larger", zip({{"small", kOther}, {"large", kGame}}),
         {{kOther, "small"}, {kGame, "large"}}, Verified, "large", 1, "large"},
        {"several members, none known", zip({{"a", kOther}, {"b", kGame}}), {}, Unknown, "", 1},
        {"a folder entry is not a member", zip({{"dir/", {}, false}, {"dir/game.a26", kGame}}),
         {{kGame, "game"}}, Verified, "game", 1, "dir/game.a26"},
        {"a name that is not UTF-8 is kept", zip({{"\xff.a26", kGame}}), {{kGame, "game"}},
         Verified, "game", 1, platform::decodeName("\xff.a26")},
        {"an empty archive", zip({}), {}, Unknown, "", 1},
        {"7z: one member", sevenZip({{"game.bin", kGame}}), {{kGame, "game", Right}}, Verified,
         "game", 1, "game.bin"},
        {"7z: solid, the game beside a readme",
         sevenZip({{"readme.txt", kReadme}, {"dir/game.bin", kGame}}), {{kGame, "game", Right}},
         Verified, "game", 1, "dir/game.bin"},
        {"7z: stored, not packed", sevenZip({{"game.bin", kGame}, {"readme.txt", kReadme}}, "copy"),
         {{kGame, "game", Right}}, Verified, "game", 1, "game.bin"},
        {"7z: a member whose bytes differ from the entry's SHA-1",
         sevenZip({{"game.bin", QByteArray(kGame).replace(0, 1, "A")}}), {{kGame, "game", Right}},
         Unknown, "", 1, "game.bin"},
        {"a zip's directory lying, no SHA-1 to check it", lies.bytes, {{kGame, "game"}}, Verified,
         "game", 1, "game.a26"},
        {"a zip's directory lying, unpacked for the SHA-1", lies.bytes, {{kGame, "game", Right}},
         Unknown, "", 1, "game.a26", "CRC"},
        {"a cut-off zip", zip({{"game.a26", kGame}}).chopped(5), {{kGame, "game"}}, Unknown, "", 1,
         "", "zip cannot be read"},
        {"a member outside the archive", zip({{"../../evil.a26", kGame}}), {{kGame, "game"}},
         Unknown, "", 1, "", "outside itself"},
        {"a 7z member outside the 7z", sevenZip({{"../game.bin", kGame}}), {{kGame, "game"}},
         Unknown, "", 1, "", "outside itself"},
        {"a cut-off 7z", sevenZip({{"game.bin", kGame}, {"readme.txt", kReadme}}).chopped(40),
         {{kGame, "game"}}, Unknown, "", 1, "", "7z"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        const QString game = folder.write("roms/game.a26", c.file);
        FakeLookup lookup;
        addAll(lookup, c.entries);
        GameIdentifier identifier(lookup, nullptr);
        const Identification id = identifier.identify(game);
        EXPECT_EQ(id.verdict, c.verdict);
        EXPECT_EQ(softwareOf(id), c.matches);
        EXPECT_EQ(id.member, c.member);
        expectProblem(id.problem, c.problem);
        if (c.file == kGame) {
            EXPECT_EQ(identifier.filesRead(), c.reads);
        }
        EXPECT_EQ(raw::names(folder.file("roms")), QList<QByteArray>{"game.a26"});
    }
}

TEST(Verdicts, WhatIsNoRegularFileIsUnknownWithAReason) {
    TempFolder folder;
    const QString fifo = folder.file("pipe.bin");
    ASSERT_EQ(::mkfifo(raw::bytes(fifo).constData(), 0644), 0);
    FakeLookup lookup;
    GameIdentifier identifier(lookup, nullptr);
    // A FIFO is never waited on.
    for (const auto& [path, problem] : {std::pair{folder.file("gone.bin"), "cannot be read"},
                                        {folder.mkdir("dir"), "not a regular file"},
                                        {fifo, "not a regular file"}}) {
        expectProblem(identifier.identify(path).problem, problem);
    }
}

// A disc image is known by the SHA-1 in its header, checked against the file's length.
TEST(Verdicts, ChdImagesAreKnownByTheSha1InTheirHeader) {
    const QByteArray sha1 = QByteArray::fromHex("00112233445566778899aabbccddeeff00112233");
    const QByteArray v5 = chdbuild::chd(5, sha1);
    const auto with = [](QByteArray bytes, int at, quint64 value, int count) {
        chdbuild::putBig(bytes, at, value, count);
        return bytes;
    };
    const struct {
        const char* what;
        QByteArray bytes;
        bool known;
        const char* problem;  // a part of it
    } cases[] = {
        {"version 3", chdbuild::chd(3, sha1), true, ""},
        {"version 4", chdbuild::chd(4, sha1), true, ""},
        {"version 5", v5, true, ""},
        {"one byte of the SHA-1 changed", with(v5, 84 + 19, 0x32, 1), false, ""},
        {"cut inside the header", v5.left(100), false, "cut short"},
        {"cut after the header", chdbuild::chd(5, sha1, 0), false, "past its end"},
        {"the metadata where the file ends", chdbuild::chd(5, sha1, 16), false, "past its end"},
        {"a header length not its version's", with(v5, 8, 120, 4), false, "damaged"},
        {"a map past the end", with(v5, 40, quint64(1) << 40, 8), false, "past its end"},
        {"a version not read", with(v5, 12, 2, 4), false, "version 2"},
    };
    TempFolder data;
    const QString list =
        data.write("psx.xml",
                   "<softwarelist name=\"psx\"><software name=\"disc\"><part><diskarea>"
                   "<disk name=\"d\" sha1=\"" +
                       sha1.toHex() + "\"/></diskarea></part></software></softwarelist>");
    library::LibraryDb db;
    ASSERT_TRUE(db.open(data.file("cache.sqlite3")).ok);
    identify::ChecksumIndex index(db.handle());
    ASSERT_TRUE(index.refresh({{list}}, {}).isEmpty());
    identify::ChecksumCache cache(db.handle());
    GameIdentifier identifier(index, &cache);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = data.write(QStringLiteral("disc.chd"), c.bytes);
        const Identification found = identifier.identify(path);
        EXPECT_EQ(found.verdict, c.known ? Verdict::VerifiedHeader : Verdict::Unknown);
        EXPECT_EQ(softwareOf(found), c.known ? "disc" : "");
        expectProblem(found.problem, c.problem);
        ASSERT_TRUE(QFile::remove(path));
    }
}

// Below the identifier's own bounds, which are too large to reach in a test.
TEST(Verdicts, A7zPastItsBoundsIsRefused) {
    identify::SevenZipLimits tight;
    tight.maxMembers = 3;
    tight.maxRatio = 10;
    tight.ratioAllowance = 0;
    struct Case {
        const char* what;
        QByteArray archive;
        const char* error;  // empty: read
    };
    const Case cases[] = {
        {"as many members as allowed", sevenZip({{"a", "1"}, {"b", "2"}, {"c", "3"}}), ""},
        {"more members than allowed", sevenZip({{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}}),
         "more than 3 members"},
        {"a bomb: far more unpacked than packed",
         sevenZip({{"zeros.bin", QByteArray(qsizetype(4) << 20, '\0')}}), "too much for its size"},
        {"not a 7z at all", QByteArray("7z\xBC\xAF\x27\x1C", 6) + QByteArray(100, 'x'), "7z"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const identify::SevenZipContents contents = identify::read7zMemory(c.archive, {}, tight);
        expectProblem(contents.error, c.error);
        EXPECT_EQ(contents.members.size(), *c.error ? 0u : 3u);
    }
}

}  // namespace
