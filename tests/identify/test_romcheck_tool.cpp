// rombard-romcheck over a real folder: its lines, counts, --rename and refusals.

#include "ChdImages.h"
#include "FakeLookup.h"
#include "support/RawFiles.h"
#include "support/RunProgram.h"
#include "support/TempFolder.h"
#include "support/ZipBuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

QByteArray hexCrc(const QByteArray& bytes) {
    return QByteArray::number(zipbuild::crcOf(bytes), 16).rightJustified(8, '0');
}

QByteArray sampleGame() {
    QFile game(QStringLiteral(SAMPLE_GAME));
    if (game.open(QIODevice::ReadOnly)) return game.readAll();
    // Built without the assembler: any fixed cartridge-sized content will do.
    return QByteArray(4096, '\xea');
}

// Bytes of the list's size and CRC-32 but another SHA-1: "crc only".
const QByteArray kForged(3000, '\x5a');

class RomcheckTool : public ::testing::Test {
protected:
    void SetUp() override {
        root = QFileInfo(temp.path()).canonicalFilePath();
        // A software list of the test's own, where the launcher looks for them.
        temp.write("share/games/mame/hash/a2600.xml",
                   "<softwarelist name=\"a2600\"><software name=\"pitfall\"><description>Pitfall!"
                   "</description><part name=\"cart\"><dataarea name=\"rom\"><rom name=\"p.bin\""
                   " size=\"3000\" crc=\"" +
                       hexCrc(kForged) + "\" sha1=\"" + sha1Of("another dump").toHex() +
                       "\"/></dataarea></part></software></softwarelist>\n");
        QDir().mkpath(root + "/roms");
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

    // The sample game as a DAT's game whose ROM is named `romName`.
    QByteArray rainbow(const QByteArray& romName) const {
        return "<game name=\"rainbow\"><description>Rainbow Drift</description><rom name=\"" +
               romName + "\" size=\"" + QByteArray::number(game.size()) + "\" crc=\"" +
               hexCrc(game) + "\" sha1=\"" + sha1Of(game).toHex() + "\"/></game>";
    }

    TempFolder temp;
    QString root;
    const QByteArray game = sampleGame();
};

TEST_F(RomcheckTool, GivesEachGameItsVerdictAndTheCounts) {
    temp.write("roms/forged.a26", kForged);
    temp.write("roms/noise.bin", "noise");
    temp.write("roms/rainbow.bin", game);
    const QByteArray bad(2048, '\x11');
    temp.write("roms/bad.bin", bad);
    const QByteArray discSha1 = QByteArray::fromHex("00112233445566778899aabbccddeeff00112233");
    temp.write("roms/disc.chd", chdbuild::chd(5, discSha1));

    const QByteArray dat = writeDat(
        rainbow("Rainbow Drift (2026).bin") +
        "<game name=\"badone\"><description>Bad One</description>"
        "<rom name=\"Bad One.bin\" size=\"2048\" crc=\"" +
        hexCrc(bad).toUpper() +
        "\" status=\"baddump\"/></game>"
        "<game name=\"disc\"><description>A Disc</description><disk name=\"disc\" sha1=\"" +
        discSha1.toHex() + "\"/></game>");

    const support::ProgramRun run = romcheck({"--dat", dat});
    ASSERT_EQ(run.status, 0);
    // In the folder's order, which is not known: sorted, the count line last.
    QStringList lines =
        QString::fromUtf8(run.out).replace(root + "/roms/", "<r>").split(u'\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.takeLast(), "2 verified, 1 crc only, 1 bad dumps, 1 unknown.");
    lines.sort();
    EXPECT_EQ(lines, (QStringList{"bad dump\t<r>bad.bin\tOurs/badone\tBad One",
                                  "crc only\t<r>forged.a26\ta2600/pitfall\tPitfall!",
                                  "unknown\t<r>noise.bin\t-\t-",
                                  "verified\t<r>rainbow.bin\tOurs/rainbow\tRainbow Drift",
                                  "verified (header)\t<r>disc.chd\tOurs/disc\tA Disc"}));
}

// A killed rename is finished first; names with tabs, line breaks or " -> " are escaped.
TEST_F(RomcheckTool, PutsRightAKilledRenameThenRenamesVerifiedGamesWithTheirOwnFiles) {
    temp.write("roms/rain\tbow.bin", game);
    temp.write("shots/rain\tbow.png", "picture");
    temp.write("roms/x.bin\nverified\tforged.bin -> y.bin", "not a game");
    temp.write("roms/forged.a26", kForged);
    temp.write("roms/Hero.bin", "g");
    temp.write("shots/game.png", "p");
    // What a run killed between the two moves leaves: the note's length, then its moves.
    QByteArray moves = "rombard renames 1\n";
    for (const char* path :
         {"/roms/game.bin", "/roms/Hero.bin", "/shots/game.png", "/shots/Hero.png"})
        moves += raw::bytes(root + path) + '\0';
    QByteArray note(8, '\0');
    note[0] = char(moves.size() & 0xFF);
    note[1] = char(moves.size() >> 8);
    temp.write("state/Rombard/renames/killed.note", note + moves);

    const QByteArray dat = writeDat(rainbow("Rainbow Drift.bin"));
    const support::ProgramRun run = romcheck({"--dat", dat, "--rename"});
    ASSERT_EQ(run.status, 0);
    EXPECT_EQ(raw::tree(root + "/shots"),
              (QStringList{"Hero.png: p", "Rainbow Drift.png: picture"}));
    EXPECT_TRUE(QDir(root + "/state/Rombard/renames").isEmpty());
    const QByteArray roms = raw::bytes(root + "/roms/");
    const QByteArray escaped[] = {
        "verified\t" + roms + "rain\\tbow.bin\tOurs/rainbow\tRainbow Drift\n",
        roms + "rain\\tbow.bin -> Rainbow Drift.bin\n",
        "unknown\t" + roms + "x.bin\\nverified\\tforged.bin -> y.bin\t-\t-\n"};
    for (const QByteArray& line : escaped)
        EXPECT_TRUE(run.out.contains(line)) << run.out.constData();
    EXPECT_EQ(raw::read(root + "/roms/Rainbow Drift.bin"), game);
    EXPECT_FALSE(QFileInfo::exists(root + "/roms/rain\tbow.bin"));
    EXPECT_EQ(raw::read(root + "/roms/forged.a26"), kForged);

    const support::ProgramRun help =
        support::runProgram(ROMCHECK_PROGRAM, {"--help"}, raw::bytes(root), {});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains("a tab prints as \\t")) << help.out.constData();
    for (const QList<QByteArray>& args : {QList<QByteArray>{"missing"}, {"--bogus", "x"}, {}})
        EXPECT_EQ(support::runProgram(ROMCHECK_PROGRAM, args, raw::bytes(root), {}).status, 2)
            << args.join(' ').constData();
}

}  // namespace
