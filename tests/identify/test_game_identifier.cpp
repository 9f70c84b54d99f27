#include "identify/GameIdentifier.h"
#include "identify/SevenZip.h"

#include "FakeLookup.h"
#include "support/RawFiles.h"
#include "support/SevenZipBuilder.h"
#include "support/TempFolder.h"
#include "support/ZipBuilder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using identify::DumpStatus;
using identify::GameIdentifier;
using identify::Identification;
using identify::Verdict;
using support::sevenZip;

namespace {

const QByteArray kGame = QByteArray("a cartridge image ").repeated(300);
const QByteArray kOther = QByteArray("another dump of it ").repeated(200);
const QByteArray kReadme = QByteArray("readme");

QStringList softwareOf(const Identification& id) {
    QStringList names;
    for (const identify::RomEntry& e : id.matches)
        names << e.software;
    return names;
}

// An entry of a fake index: for which bytes, its software, its SHA-1 (none, the file's own
// or another file's) and its dump status.
enum class Sha { None, Right, Wrong };
struct Entry {
    const QByteArray& data;
    const char* software;
    Sha sha1 = Sha::None;
    DumpStatus status = DumpStatus::Good;
};

void addAll(FakeLookup& lookup, const std::vector<Entry>& entries) {
    for (const Entry& e : entries)
        lookup.add(e.data, e.software,
                   e.sha1 == Sha::None    ? QByteArray()
                   : e.sha1 == Sha::Right ? sha1Of(e.data)
                                          : sha1Of("another file"),
                   e.status);
}

// A plain file, or a zip or a 7z by its members (named like anything but an archive: the
// content decides). A zip is unpacked only to confirm a SHA-1; an archive that cannot be
// read, or names a member outside itself, is unknown with a reason. Nothing is ever written
// beside the file looked at.
TEST(Verdicts, FollowTheEntriesThatMatchAPlainFileOrAnArchivesMembers) {
    using S = Sha;
    constexpr DumpStatus Bad = DumpStatus::BadDump, None = DumpStatus::NoDump;
    const QByteArray longer = kGame + "x";
    struct Case {
        const char* what;
        QByteArray file;
        std::vector<Entry> entries;
        Verdict verdict;
        QStringList matches;  // the deciding one first
        int reads;            // a plain file's SHA-1 costs a second read, and only when needed
        QString member = {};
        const char* problem = "";  // a part of it
    };
    const auto zip = [](const std::vector<zipbuild::Entry>& members) {
        return zipbuild::build(members).bytes;
    };
    // The directory claims a known game's size and CRC for a member holding something else.
    const zipbuild::Layout lies = [&] {
        zipbuild::Layout x = zipbuild::build({{"game.a26", QByteArray(kGame.size(), 'z'), true}});
        zipbuild::set32(x.bytes, x.central[0] + 16, zipbuild::crcOf(kGame));
        return x;
    }();
    const QByteArray& plain = kGame;
    // clang-format off
    const Case cases[] = {
        {"nothing matches", plain, {}, Verdict::Unknown, {}, 1},
        {"size and CRC, the entry has no SHA-1", plain, {{kGame, "pitfall"}}, Verdict::Verified,
         {"pitfall"}, 1},
        {"size, CRC and SHA-1", plain, {{kGame, "pitfall", S::Right}}, Verdict::Verified,
         {"pitfall"}, 2},
        {"forged to size and CRC, another SHA-1", plain, {{kGame, "pitfall", S::Wrong}},
         Verdict::CrcOnly, {"pitfall"}, 2},
        {"bad dump without SHA-1", plain, {{kGame, "pitfall", S::None, Bad}}, Verdict::BadDump,
         {"pitfall"}, 1},
        {"bad dump whose SHA-1 is another file's", plain, {{kGame, "pitfall", S::Wrong, Bad}},
         Verdict::CrcOnly, {"pitfall"}, 2},
        {"no dump", plain, {{kGame, "pitfall", S::None, None}}, Verdict::BadDump, {"pitfall"}, 1},
        {"crc only, then verified: verified decides", plain,
         {{kGame, "clone", S::Wrong}, {kGame, "parent", S::Right}}, Verdict::Verified,
         {"parent", "clone"}, 2},
        {"verified over bad dump over crc only, order kept within each", plain,
         {{kGame, "c1", S::Wrong}, {kGame, "b1", S::None, Bad}, {kGame, "c2", S::Wrong},
          {kGame, "v1"}, {kGame, "b2", S::Right, Bad}},
         Verdict::Verified, {"v1", "b1", "b2", "c1", "c2"}, 2},
        {"bad dump over crc only", plain, {{kGame, "c1", S::Wrong}, {kGame, "b1", S::None, Bad}},
         Verdict::BadDump, {"b1", "c1"}, 2},
        {"an entry of another size with the same CRC does not match", plain,
         {{longer, "longer"}}, Verdict::Unknown, {}, 1},
        {"one member, verified by SHA-1", zip({{"game.a26", kGame, true}}),
         {{kGame, "pitfall", S::Right}}, Verdict::Verified, {"pitfall"}, 1, "game.a26"},
        {"one stored member, forged to size and CRC", zip({{"game.a26", kGame, false}}),
         {{kGame, "pitfall", S::Wrong}}, Verdict::CrcOnly, {"pitfall"}, 1, "game.a26"},
        {"a game and its readme: the game decides",
         zip({{"readme.txt", kReadme, true}, {"game.a26", kGame, true}}),
         {{kGame, "pitfall", S::Right}}, Verdict::Verified, {"pitfall"}, 1, "game.a26"},
        {"two known members: the better verdict",
         zip({{"clone.a26", kOther, true}, {"game.a26", kGame, true}}),
         {{kOther, "clone", S::Wrong}, {kGame, "pitfall", S::None, Bad}}, Verdict::BadDump,
         {"pitfall"}, 1, "game.a26"},
        {"two members alike: the larger", zip({{"small", kOther, true}, {"large", kGame, true}}),
         {{kOther, "small"}, {kGame, "large"}}, Verdict::Verified, {"large"}, 1, "large"},
        {"several members, none known", zip({{"a", kOther, true}, {"b", kGame, true}}), {},
         Verdict::Unknown, {}, 1},
        {"a folder entry is not a member",
         zip({{"dir/", {}, false}, {"dir/game.a26", kGame, true}}), {{kGame, "pitfall"}},
         Verdict::Verified, {"pitfall"}, 1, "dir/game.a26"},
        {"a name that is not UTF-8 is kept", zip({{"\xff.a26", kGame, true}}), {{kGame, "pitfall"}},
         Verdict::Verified, {"pitfall"}, 1, platform::decodeName("\xff.a26")},
        {"an empty archive", zip({}), {}, Verdict::Unknown, {}, 1},
        {"7z: one member", sevenZip({{"game.bin", kGame}}), {{kGame, "game", S::Right}},
         Verdict::Verified, {"game"}, 1, "game.bin"},
        {"7z: solid, the game beside a readme",
         sevenZip({{"readme.txt", kReadme}, {"dir/game.bin", kGame}}), {{kGame, "game", S::Right}},
         Verdict::Verified, {"game"}, 1, "dir/game.bin"},
        {"7z: stored, not packed", sevenZip({{"game.bin", kGame}, {"readme.txt", kReadme}}, "copy"),
         {{kGame, "game", S::Right}}, Verdict::Verified, {"game"}, 1, "game.bin"},
        {"7z: a member whose bytes differ from the entry's SHA-1",
         sevenZip({{"game.bin", QByteArray(kGame).replace(0, 1, "A")}}),
         {{kGame, "game", S::Right}}, Verdict::Unknown, {}, 1, "game.bin"},
        {"a zip's directory lying, no SHA-1 to check it", lies.bytes, {{kGame, "pitfall"}},
         Verdict::Verified, {"pitfall"}, 1, "game.a26"},
        {"a zip's directory lying, unpacked for the SHA-1", lies.bytes, {{kGame, "pitfall", S::Right}},
         Verdict::Unknown, {}, 1, "game.a26", "CRC"},
        {"a cut-off zip", zip({{"game.a26", kGame, true}}).chopped(5), {{kGame, "pitfall"}},
         Verdict::Unknown, {}, 1, "", "zip cannot be read"},
        {"a member outside the archive", zip({{"../../evil.a26", kGame, true}}), {{kGame, "pitfall"}},
         Verdict::Unknown, {}, 1, "", "outside itself"},
        {"a 7z member outside the archive", sevenZip({{"../game.bin", kGame}}), {{kGame, "pitfall"}},
         Verdict::Unknown, {}, 1, "", "outside itself"},
        {"a cut-off 7z", sevenZip({{"game.bin", kGame}, {"readme.txt", kReadme}}).chopped(40),
         {{kGame, "pitfall"}}, Verdict::Unknown, {}, 1, "", "7z"},
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
        EXPECT_EQ(id.problem.isEmpty(), !*c.problem) << id.problem.toStdString();
        EXPECT_TRUE(id.problem.contains(QLatin1String(c.problem))) << id.problem.toStdString();
        if (c.file == kGame) {
            EXPECT_EQ(identifier.filesRead(), c.reads);
        }
        EXPECT_EQ(QDir(folder.file("roms"))
                      .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
                  QStringList{"game.a26"});
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
        const QString told = identifier.identify(path).problem;
        EXPECT_TRUE(told.contains(QLatin1String(problem)))
            << path.toStdString() << ": " << told.toStdString();
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
        EXPECT_EQ(contents.ok(), !*c.error);
        EXPECT_EQ(contents.members.size(), *c.error ? 0u : 3u);
        EXPECT_TRUE(contents.error.contains(QLatin1String(c.error)))
            << contents.error.toStdString();
    }
}

}  // namespace
