// rombard-romcheck over a real folder: a file forged to a software list entry's size and
// CRC-32 but not its SHA-1, the same bytes inside a zip, a random file, the sample game
// named by a DAT with its real checksums, a DAT's bad dump and a disc known by its CHD
// header; then --rename on it.

#include "checksum/Crc32.h"
#include "support/RawFiles.h"
#include "support/RunProgram.h"
#include "support/TempFolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <optional>
#include <utility>
#include <vector>

namespace {

constexpr const char* kSoftwareList = "/usr/share/games/mame/hash/a2600.xml";

struct ListedRom {
    QString software;
    qint64 size = 0;
    quint32 crc = 0;
};

// The first a2600 entry with a plain good dump and a SHA-1 whose size and CRC no other
// entry shares, so that it is the only match a forged file can have.
std::optional<ListedRom> firstListedRom() {
    QFile file(QString::fromLatin1(kSoftwareList));
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    QXmlStreamReader xml(&file);
    QString software;
    std::vector<std::pair<ListedRom, bool>> roms;  // with whether it is a candidate
    QHash<QPair<qint64, quint32>, int> seen;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        if (xml.name() == u"software")
            software = xml.attributes().value(QLatin1String("name")).toString();
        if (xml.name() != u"rom") continue;
        const auto a = xml.attributes();
        bool sizeOk = false, crcOk = false;
        const ListedRom rom{software, a.value(QLatin1String("size")).toLongLong(&sizeOk),
                            a.value(QLatin1String("crc")).toUInt(&crcOk, 16)};
        if (!sizeOk || !crcOk) continue;
        ++seen[{rom.size, rom.crc}];
        roms.emplace_back(rom, !a.hasAttribute(QLatin1String("status")) &&
                                   a.hasAttribute(QLatin1String("sha1")) && rom.size >= 16);
    }
    for (const auto& [rom, candidate] : roms)
        if (candidate && seen.value({rom.size, rom.crc}) == 1) return rom;
    return std::nullopt;
}

// `size` random bytes whose CRC-32 is `crc`: the last four bytes are worked back from the
// wanted register through the table, so the rest can be anything.
QByteArray forgedBytes(qint64 size, quint32 crc) {
    std::array<quint32, 256> table{};
    std::array<int, 256> byTopByte{};
    for (quint32 i = 0; i < 256; ++i) {
        quint32 c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        table[i] = c;
        byTopByte[c >> 24] = int(i);
    }
    QByteArray bytes(size - 4, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(bytes.data()),
                                          bytes.size() / 4);
    Crc32 engine;
    quint32 state =
        quint32(engine
                    .calculateBytes({reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                     std::size_t(bytes.size())})
                    .number()) ^
        0xFFFFFFFFu;
    quint32 reg = crc ^ 0xFFFFFFFFu;
    std::array<int, 4> steps{};
    for (int i = 3; i >= 0; --i) {
        steps[std::size_t(i)] = byTopByte[reg >> 24];
        reg = (reg ^ table[std::size_t(steps[std::size_t(i)])]) << 8;
    }
    for (int k : steps) {
        bytes.append(char((state ^ quint32(k)) & 0xFF));
        state = (state >> 8) ^ table[std::size_t(k)];
    }
    return bytes;
}

quint32 crcOf(const QByteArray& bytes) {
    Crc32 engine;
    return quint32(engine
                       .calculateBytes({reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                        std::size_t(bytes.size())})
                       .number());
}

void put16(QByteArray& out, quint32 v) {
    out.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
}
void put32(QByteArray& out, quint32 v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// A zip holding one stored (uncompressed) member, as any archiver writes it.
QByteArray storedZip(const QByteArray& name, const QByteArray& content) {
    const quint32 crc = crcOf(content);
    QByteArray zip;
    put32(zip, 0x04034b50);
    put16(zip, 20), put16(zip, 0), put16(zip, 0), put16(zip, 0), put16(zip, 0);
    put32(zip, crc), put32(zip, quint32(content.size())), put32(zip, quint32(content.size()));
    put16(zip, quint32(name.size())), put16(zip, 0);
    zip += name + content;
    const quint32 directory = quint32(zip.size());
    put32(zip, 0x02014b50);
    put16(zip, 20), put16(zip, 20), put16(zip, 0), put16(zip, 0), put16(zip, 0), put16(zip, 0);
    put32(zip, crc), put32(zip, quint32(content.size())), put32(zip, quint32(content.size()));
    put16(zip, quint32(name.size())), put16(zip, 0), put16(zip, 0), put16(zip, 0), put16(zip, 0);
    put32(zip, 0), put32(zip, 0);
    zip += name;
    const quint32 directorySize = quint32(zip.size()) - directory;
    put32(zip, 0x06054b50);
    put16(zip, 0), put16(zip, 0), put16(zip, 1), put16(zip, 1);
    put32(zip, directorySize), put32(zip, directory), put16(zip, 0);
    return zip;
}

// A version 5 CHD header carrying `sha1`, and a little of a body for its map.
QByteArray chdImage(const QByteArray& sha1) {
    QByteArray chd = QByteArray("MComprHD") + QByteArray::fromHex("0000007c00000005");
    chd += QByteArray(16, '\0') + QByteArray::fromHex("0000000000100000") +  // compressors, size
           QByteArray::fromHex("000000000000007c") + QByteArray(8, '\0') +   // map, metadata
           QByteArray::fromHex("0000100000000930") + QByteArray(20, '\1') +  // hunk, unit, raw
           sha1 + QByteArray(20, '\0') + QByteArray(64, 'm');
    return chd;
}

QByteArray hexCrc(const QByteArray& bytes) {
    return QByteArray::number(crcOf(bytes), 16).rightJustified(8, '0');
}

class RomcheckTool : public ::testing::Test {
protected:
    void SetUp() override {
        rom = firstListedRom();
        if (!rom) GTEST_SKIP() << "no software lists installed (Debian's mame-data)";
        root = QFileInfo(temp.path()).canonicalFilePath();
        // Only the one list, so that the index is quick to make.
        QDir().mkpath(root + "/share/games/mame/hash");
        QFile::copy(QString::fromLatin1(kSoftwareList), root + "/share/games/mame/hash/a2600.xml");
        QDir().mkpath(root + "/roms");
        QDir().mkpath(root + "/shots");
        QDir().mkpath(root + "/home");
    }

    support::ProgramRun romcheck(QList<QByteArray> args) {
        args.append(raw::bytes(root + "/roms"));
        return support::runProgram(ROMCHECK_PROGRAM, args, raw::bytes(root),
                                   {"XDG_DATA_HOME=" + raw::bytes(root + "/home"),
                                    "XDG_DATA_DIRS=" + raw::bytes(root + "/share"),
                                    "XDG_CONFIG_HOME=" + raw::bytes(root + "/home"),
                                    "XDG_CACHE_HOME=" + raw::bytes(root + "/cache"),
                                    "XDG_STATE_HOME=" + raw::bytes(root + "/state")});
    }

    QByteArray writeDat(const QByteArray& games) {
        const QString dat = root + "/ours.dat";
        raw::write(dat, "<?xml version=\"1.0\"?>\n<datafile><header><name>Ours</name></header>" +
                            games + "</datafile>\n");
        return raw::bytes(dat);
    }

    TempFolder temp;
    QString root;
    std::optional<ListedRom> rom;
};

QByteArray sampleGame() {
    QFile game(QStringLiteral(SAMPLE_GAME));
    if (game.open(QIODevice::ReadOnly)) return game.readAll();
    // Built without the assembler: any fixed cartridge-sized content will do.
    return QByteArray(4096, '\xea');
}

TEST_F(RomcheckTool, GivesEachGameItsVerdictAndTheCounts) {
    const QByteArray forged = forgedBytes(rom->size, rom->crc);
    ASSERT_EQ(crcOf(forged), rom->crc);
    raw::write(root + "/roms/forged.a26", forged);
    raw::write(root + "/roms/forged.zip", storedZip("inside.a26", forged));
    QByteArray noise(3000, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(noise.data()), 750);
    raw::write(root + "/roms/noise.bin", noise);
    const QByteArray game = sampleGame();
    raw::write(root + "/roms/rainbow.bin", game);
    const QByteArray bad(2048, '\x11');
    raw::write(root + "/roms/bad.bin", bad);
    const QByteArray discSha1 = QByteArray::fromHex("00112233445566778899aabbccddeeff00112233");
    raw::write(root + "/roms/disc.chd", chdImage(discSha1));

    const QByteArray dat = writeDat(
        "<game name=\"rainbow\"><description>Rainbow Drift</description>"
        "<rom name=\"Rainbow Drift (2026).bin\" size=\"" +
        QByteArray::number(game.size()) + "\" crc=\"" + hexCrc(game) + "\" sha1=\"" +
        QCryptographicHash::hash(game, QCryptographicHash::Sha1).toHex() +
        "\"/></game>"
        "<game name=\"badone\"><description>Bad One</description>"
        "<rom name=\"Bad One.bin\" size=\"2048\" crc=\"" +
        hexCrc(bad).toUpper() +
        "\" status=\"baddump\"/></game>"
        "<game name=\"disc\"><description>A Disc</description><disk name=\"disc\" sha1=\"" +
        discSha1.toHex() + "\"/></game>");

    const support::ProgramRun run = romcheck({"--dat", dat});
    ASSERT_EQ(run.status, 0);
    const QString roms = root + "/roms/";
    const QString list = "a2600/" + rom->software;
    const QStringList lines = QString::fromUtf8(run.out).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 7) << run.out.constData();
    const auto line = [&](const QString& name) -> QStringList {
        for (const QString& l : lines)
            if (l.section(u'\t', 1, 1) == roms + name) return l.split(u'\t');
        return {};
    };
    EXPECT_EQ(line("forged.a26").mid(0, 3), (QStringList{"crc only", roms + "forged.a26", list}));
    EXPECT_EQ(line("forged.zip").mid(0, 3), (QStringList{"crc only", roms + "forged.zip", list}));
    EXPECT_EQ(line("noise.bin"), (QStringList{"unknown", roms + "noise.bin", "-", "-"}));
    EXPECT_EQ(line("rainbow.bin"),
              (QStringList{"verified", roms + "rainbow.bin", "Ours/rainbow", "Rainbow Drift"}));
    EXPECT_EQ(line("bad.bin"),
              (QStringList{"bad dump", roms + "bad.bin", "Ours/badone", "Bad One"}));
    EXPECT_EQ(line("disc.chd"),
              (QStringList{"verified (header)", roms + "disc.chd", "Ours/disc", "A Disc"}));
    EXPECT_EQ(lines.last(), "2 verified, 2 crc only, 1 bad dumps, 1 unknown.");

    // Again, with nothing changed: the same answers from the cache.
    EXPECT_EQ(romcheck({"--dat", dat}).out, run.out);
}

TEST_F(RomcheckTool, RenamesVerifiedGamesWithTheirScreenshotsAndNothingElse) {
    const QByteArray game = sampleGame();
    raw::write(root + "/roms/rainbow.bin", game);
    raw::write(root + "/shots/rainbow.png", "picture");
    const QByteArray forged = forgedBytes(rom->size, rom->crc);
    raw::write(root + "/roms/forged.a26", forged);
    const QByteArray dat = writeDat(
        "<game name=\"rainbow\"><description>Rainbow Drift</description>"
        "<rom name=\"Rainbow Drift.bin\" size=\"" +
        QByteArray::number(game.size()) + "\" crc=\"" + hexCrc(game) + "\" sha1=\"" +
        QCryptographicHash::hash(game, QCryptographicHash::Sha1).toHex() + "\"/></game>");

    const support::ProgramRun run = romcheck({"--dat", dat, "--rename"});
    ASSERT_EQ(run.status, 0);
    EXPECT_TRUE(
        run.out.contains(raw::bytes(root + "/roms/rainbow.bin") + " -> Rainbow Drift.bin\n"))
        << run.out.constData();
    EXPECT_EQ(raw::read(root + "/roms/Rainbow Drift.bin"), game);
    EXPECT_EQ(raw::read(root + "/shots/Rainbow Drift.png"), "picture");
    EXPECT_FALSE(QFileInfo::exists(root + "/roms/rainbow.bin"));
    EXPECT_FALSE(QFileInfo::exists(root + "/shots/rainbow.png"));
    // A crc-only match is never renamed.
    EXPECT_EQ(raw::read(root + "/roms/forged.a26"), forged);
}

// A file name holding tabs, line breaks or " -> " stays one field of one line, escaped, in
// the verdicts and in the renames; --help says how.
TEST(RomcheckOutput, ACraftedNameCannotForgeAFieldOrALine) {
    TempFolder temp;
    const QString root = QFileInfo(temp.path()).canonicalFilePath();
    QDir().mkpath(root + "/share");
    QDir().mkpath(root + "/home");
    const QString roms = root + "/roms/";
    QDir().mkpath(roms);
    const QByteArray game = sampleGame();
    ASSERT_TRUE(raw::write(roms + "rain\tbow.bin", game));
    ASSERT_TRUE(raw::write(roms + "x.bin\nverified\tforged.bin -> y.bin", "not a game"));
    const QString dat = root + "/ours.dat";
    raw::write(dat,
               "<?xml version=\"1.0\"?>\n<datafile><header><name>Ours</name></header>"
               "<game name=\"rainbow\"><description>Rainbow Drift</description>"
               "<rom name=\"Rainbow Drift.bin\" size=\"" +
                   QByteArray::number(game.size()) + "\" crc=\"" + hexCrc(game) +
                   "\"/></game></datafile>\n");
    const support::ProgramRun run = support::runProgram(
        ROMCHECK_PROGRAM, {"--dat", raw::bytes(dat), "--rename", raw::bytes(roms)},
        raw::bytes(root),
        {"XDG_DATA_HOME=" + raw::bytes(root + "/home"),
         "XDG_DATA_DIRS=" + raw::bytes(root + "/share"),
         "XDG_CONFIG_HOME=" + raw::bytes(root + "/home")});
    ASSERT_EQ(run.status, 0);
    QList<QByteArray> lines = run.out.split('\n');
    lines.removeAll(QByteArray());
    std::sort(lines.begin(), lines.end());
    const QByteArray folder = raw::bytes(roms);
    QList<QByteArray> expected{
        "1 verified, 0 crc only, 0 bad dumps, 1 unknown.",
        folder + "rain\\tbow.bin -> Rainbow Drift.bin",
        "unknown\t" + folder + "x.bin\\nverified\\tforged.bin -> y.bin\t-\t-",
        "verified\t" + folder + "rain\\tbow.bin\tOurs/rainbow\tRainbow Drift",
    };
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(lines, expected) << run.out.constData();

    const support::ProgramRun help =
        support::runProgram(ROMCHECK_PROGRAM, {"--help"}, raw::bytes(root), {});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains("a tab prints as \\t")) << help.out.constData();
}

// A rename an earlier run left half done is put right first; then a descriptor the DAT
// names takes its game along, and only the picture of its own that no other game is shown,
// from the window's folders in the window's order.
TEST_F(RomcheckTool, PutsRightAKilledRenameThenRenamesAJadWithItsJarAndOwnPicture) {
    raw::write(root + "/roms/Hero.bin", "g");
    raw::write(root + "/shots/game.png", "p");
    QDir().mkpath(root + "/state/Rombard/renames");
    // What a run killed between the two moves leaves: the note's length, then its moves.
    const QByteArray moves = "rombard renames 1\n" + raw::bytes(root + "/roms/game.bin") + '\0' +
                             raw::bytes(root + "/roms/Hero.bin") + '\0' +
                             raw::bytes(root + "/shots/game.png") + '\0' +
                             raw::bytes(root + "/shots/Hero.png") + '\0';
    QByteArray note(8, '\0');
    note[0] = char(moves.size() & 0xFF);
    note[1] = char(moves.size() >> 8);
    raw::write(root + "/state/Rombard/renames/killed.note", note + moves);

    const QByteArray jad = "MIDlet-Name: Foo\nMIDlet-Jar-URL: foo.jar\n";
    raw::write(root + "/roms/foo.jad", jad);
    raw::write(root + "/roms/foo.jar", "the game");
    // foo's pictures: the one in shots/ is what "foo (b)" is shown too, the window's
    // folders searched in the window's order; the one in snap/ is foo's alone.
    raw::write(root + "/shots/foo.png", "shared");
    QDir().mkpath(root + "/snap");
    raw::write(root + "/snap/foo.gif", "own");
    raw::write(root + "/roms/foo (b).bin", "another game");
    raw::write(root + "/roms/f.png", "another's");
    const QByteArray dat =
        writeDat("<game name=\"bar\"><rom name=\"Bar.jad\" size=\"" +
                 QByteArray::number(jad.size()) + "\" crc=\"" + hexCrc(jad) + "\" sha1=\"" +
                 QCryptographicHash::hash(jad, QCryptographicHash::Sha1).toHex() + "\"/></game>");

    const support::ProgramRun run = romcheck({"--dat", dat, "--rename"});
    ASSERT_EQ(run.status, 0);
    EXPECT_EQ(raw::read(root + "/shots/Hero.png"), "p");
    EXPECT_TRUE(QDir(root + "/state/Rombard/renames").isEmpty());
    EXPECT_EQ(raw::read(root + "/roms/Bar.jad"), jad) << run.out.constData();
    EXPECT_EQ(raw::read(root + "/roms/Bar.jar"), "the game");
    EXPECT_EQ(raw::read(root + "/snap/Bar.gif"), "own");
    EXPECT_EQ(raw::read(root + "/shots/foo.png"), "shared");
    EXPECT_EQ(raw::read(root + "/roms/f.png"), "another's");
}

TEST(RomcheckArguments, RefuseWhatCannotBeRead) {
    TempFolder temp;
    const QByteArray missing = raw::bytes(temp.path() + "/missing");
    EXPECT_EQ(support::runProgram(ROMCHECK_PROGRAM, {missing}, raw::bytes(temp.path()), {}).status,
              2);
    EXPECT_EQ(
        support::runProgram(ROMCHECK_PROGRAM, {"--bogus", "x"}, raw::bytes(temp.path()), {}).status,
        2);
    EXPECT_EQ(support::runProgram(ROMCHECK_PROGRAM, {}, raw::bytes(temp.path()), {}).status, 2);
}

}  // namespace
