#include "identify/GameIdentifier.h"

#include "FakeLookup.h"
#include "support/RawFiles.h"
#include "support/TempFolder.h"
#include "support/ZipBuilder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using identify::DumpStatus;
using identify::GameIdentifier;
using identify::Identification;
using identify::Verdict;

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

TEST(Verdicts, FollowTheEntriesThatMatchAPlainFile) {
    using S = Sha;
    constexpr DumpStatus Bad = DumpStatus::BadDump, None = DumpStatus::NoDump;
    const QByteArray longer = kGame + "x";
    struct Case {
        const char* what;
        std::vector<Entry> entries;
        Verdict verdict;
        QStringList matches;  // the deciding one first
        int reads;            // the SHA-1 costs a second read, and only when needed
    };
    // clang-format off
    const Case cases[] = {
        {"nothing matches", {}, Verdict::Unknown, {}, 1},
        {"size and CRC, the entry has no SHA-1", {{kGame, "pitfall"}},
         Verdict::Verified, {"pitfall"}, 1},
        {"size, CRC and SHA-1", {{kGame, "pitfall", S::Right}}, Verdict::Verified, {"pitfall"}, 2},
        {"forged to size and CRC, another SHA-1", {{kGame, "pitfall", S::Wrong}},
         Verdict::CrcOnly, {"pitfall"}, 2},
        {"bad dump without SHA-1", {{kGame, "pitfall", S::None, Bad}},
         Verdict::BadDump, {"pitfall"}, 1},
        {"bad dump whose SHA-1 is another file's", {{kGame, "pitfall", S::Wrong, Bad}},
         Verdict::CrcOnly, {"pitfall"}, 2},
        {"no dump", {{kGame, "pitfall", S::None, None}}, Verdict::BadDump, {"pitfall"}, 1},
        {"crc only, then verified: verified decides",
         {{kGame, "clone", S::Wrong}, {kGame, "parent", S::Right}},
         Verdict::Verified, {"parent", "clone"}, 2},
        {"verified over bad dump over crc only, order kept within each",
         {{kGame, "c1", S::Wrong}, {kGame, "b1", S::None, Bad}, {kGame, "c2", S::Wrong},
          {kGame, "v1"}, {kGame, "b2", S::Right, Bad}},
         Verdict::Verified, {"v1", "b1", "b2", "c1", "c2"}, 2},
        {"bad dump over crc only", {{kGame, "c1", S::Wrong}, {kGame, "b1", S::None, Bad}},
         Verdict::BadDump, {"b1", "c1"}, 2},
        {"an entry of another size with the same CRC does not match", {{longer, "longer"}},
         Verdict::Unknown, {}, 1},
    };
    // clang-format on
    for (const Case& c : cases) {
        TempFolder folder;
        const QString game = folder.write("roms/game.a26", kGame);
        FakeLookup lookup;
        addAll(lookup, c.entries);
        GameIdentifier identifier(lookup, nullptr);
        const Identification id = identifier.identify(game);
        EXPECT_EQ(id.verdict, c.verdict) << c.what;
        EXPECT_EQ(softwareOf(id), c.matches) << c.what;
        EXPECT_TRUE(id.member.isEmpty()) << c.what;
        EXPECT_TRUE(id.problem.isEmpty()) << c.what << ": " << id.problem.toStdString();
        EXPECT_EQ(identifier.filesRead(), c.reads) << c.what;
    }
}

TEST(Verdicts, AZipIsKnownByItsMembers) {
    using S = Sha;
    constexpr DumpStatus Bad = DumpStatus::BadDump;
    struct Case {
        const char* what;
        std::vector<zipbuild::Entry> members;
        std::vector<Entry> entries;
        Verdict verdict;
        QString member;
        QStringList matches;
    };
    // clang-format off
    const Case cases[] = {
        {"one member, verified by SHA-1", {{"game.a26", kGame, true}},
         {{kGame, "pitfall", S::Right}}, Verdict::Verified, "game.a26", {"pitfall"}},
        {"one stored member, forged to size and CRC", {{"game.a26", kGame, false}},
         {{kGame, "pitfall", S::Wrong}}, Verdict::CrcOnly, "game.a26", {"pitfall"}},
        {"a game and its readme: the game decides",
         {{"readme.txt", kReadme, true}, {"game.a26", kGame, true}},
         {{kGame, "pitfall", S::Right}}, Verdict::Verified, "game.a26", {"pitfall"}},
        {"two known members: the better verdict",
         {{"clone.a26", kOther, true}, {"game.a26", kGame, true}},
         {{kOther, "clone", S::Wrong}, {kGame, "pitfall", S::None, Bad}},
         Verdict::BadDump, "game.a26", {"pitfall"}},
        {"two members alike: the larger", {{"small", kOther, true}, {"large", kGame, true}},
         {{kOther, "small"}, {kGame, "large"}}, Verdict::Verified, "large", {"large"}},
        {"several members, none known", {{"a", kOther, true}, {"b", kGame, true}}, {},
         Verdict::Unknown, "", {}},
        {"a folder entry is not a member", {{"dir/", {}, false}, {"dir/game.a26", kGame, true}},
         {{kGame, "pitfall"}}, Verdict::Verified, "dir/game.a26", {"pitfall"}},
        {"a name that is not UTF-8 is kept", {{"\xff.a26", kGame, true}}, {{kGame, "pitfall"}},
         Verdict::Verified, platform::decodeName("\xff.a26"), {"pitfall"}},
        {"an empty archive", {}, {}, Verdict::Unknown, "", {}},
    };
    // clang-format on
    for (const Case& c : cases) {
        TempFolder folder;
        // Named like anything but a zip: the content decides.
        const QString game = folder.write("roms/game.a26", zipbuild::build(c.members).bytes);
        FakeLookup lookup;
        addAll(lookup, c.entries);
        GameIdentifier identifier(lookup, nullptr);
        const Identification id = identifier.identify(game);
        EXPECT_EQ(id.verdict, c.verdict) << c.what;
        EXPECT_EQ(id.member, c.member) << c.what;
        EXPECT_EQ(softwareOf(id), c.matches) << c.what;
        EXPECT_TRUE(id.problem.isEmpty()) << c.what << ": " << id.problem.toStdString();
    }
}

TEST(Verdicts, AZipIsUnpackedOnlyToConfirmASha1) {
    struct Case {
        const char* what;
        QByteArray sha1;  // the entry's
        Verdict verdict;
        bool problem;
    };
    // The directory claims a known game's size and CRC for a member holding something else.
    const zipbuild::Layout lies = [&] {
        zipbuild::Layout x = zipbuild::build({{"game.a26", QByteArray(kGame.size(), 'z'), true}});
        zipbuild::set32(x.bytes, x.central[0] + 16, zipbuild::crcOf(kGame));
        return x;
    }();
    const Case cases[] = {
        {"no SHA-1 in the entry: the directory is taken at its word", {}, Verdict::Verified, false},
        {"a SHA-1 in the entry: unpacking shows the lie", sha1Of(kGame), Verdict::Unknown, true},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        const QString zip = folder.write("roms/game.zip", lies.bytes);
        FakeLookup lookup;
        lookup.add(kGame, "pitfall", c.sha1);
        GameIdentifier identifier(lookup, nullptr);
        const Identification id = identifier.identify(zip);
        EXPECT_EQ(id.verdict, c.verdict) << c.what;
        EXPECT_EQ(!id.problem.isEmpty(), c.problem) << c.what << ": " << id.problem.toStdString();
        if (c.problem) {
            EXPECT_TRUE(id.problem.contains("CRC")) << id.problem.toStdString();
        }
    }
}

TEST(Verdicts, UnreadableAndHostileFilesAreUnknownWithAReason) {
    TempFolder folder;
    const QString fifo = folder.file("pipe.bin");
    ASSERT_EQ(::mkfifo(raw::bytes(fifo).constData(), 0644), 0);
    const QByteArray cut = zipbuild::build({{"game.a26", kGame, true}}).bytes.chopped(5);
    struct Case {
        const char* what;
        QString path;
        const char* problem;
    };
    const Case cases[] = {
        {"missing", folder.file("gone.bin"), "cannot be read"},
        {"a folder", folder.mkdir("dir"), "not a regular file"},
        {"a FIFO (never waited on)", fifo, "not a regular file"},
        {"a cut-off zip", folder.write("cut.zip", cut), "zip cannot be read"},
        {"a member outside the archive",
         folder.write("evil.zip", zipbuild::build({{"../../evil.a26", kGame, true}}).bytes),
         "outside itself"},
    };
    for (const Case& c : cases) {
        FakeLookup lookup;
        lookup.add(kGame, "pitfall", {});
        GameIdentifier identifier(lookup, nullptr);
        const Identification id = identifier.identify(c.path);
        EXPECT_EQ(id.verdict, Verdict::Unknown) << c.what;
        EXPECT_TRUE(id.matches.empty()) << c.what;
        EXPECT_TRUE(id.problem.contains(QLatin1String(c.problem)))
            << c.what << ": " << id.problem.toStdString();
    }
    // Nothing was written beside the files looked at.
    EXPECT_EQ(QDir(folder.path())
                  .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                  .size(),
              4);
}

}  // namespace
