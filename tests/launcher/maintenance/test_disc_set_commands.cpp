// A disc game on real folders: renamed, trashed and listed whole or not at all, never over a file.

#include "launcher/maintenance/DiscPlaylist.h"
#include "launcher/maintenance/DiscSetCommands.h"
#include "launcher/maintenance/FileRenaming.h"
#include "platform/FileNames.h"
#include "platform/FileOperations.h"
#include "support/ForwardingFiles.h"
#include "support/QtPrinters.h"
#include "support/TempFolder.h"

#include <QDir>

#include <gtest/gtest.h>

namespace {

using fakes::FailingFiles;

platform::LocalFileOperations files;

TEST(RenamedReferences, RewriteOnlyTheNamesThatMove) {
    const QHash<QString, QString> renamed{
        {"beta (track 1).bin", "Gamma (Track 1).bin"},
        {"beta.bin", "Gamma X.bin"},
        {platform::foldName(platform::decodeName("Beta \xff.bin")),
         platform::decodeName("Gamma \xff.bin")},
        {"beta (disc 1).cue", "Gamma (Disc 1).cue"},
        {"beta.raw", "Gamma.raw"}};
    // clang-format off
    // The set file, its text and the text rewritten.
    const std::tuple<const char*, QByteArray, QByteArray> cases[] = {
        // Quoted, CRLF, the lines around untouched.
        {"a.cue", "REM x\r\nFILE \"Beta (Track 1).bin\" BINARY\r\n  TRACK 01 MODE2/2352\r\n",
                  "REM x\r\nFILE \"Gamma (Track 1).bin\" BINARY\r\n  TRACK 01 MODE2/2352\r\n"},
        // A name given blanks is quoted where it was not; "./" and ".\" stay.
        {"a.cue", "FILE Beta.bin BINARY\nFILE ./Beta.bin BINARY\nFILE .\\Beta.bin BINARY\n",
                  "FILE \"Gamma X.bin\" BINARY\nFILE \"./Gamma X.bin\" BINARY\nFILE \".\\Gamma X.bin\" BINARY\n"},
        // Bytes that are not UTF-8 stay as they were; another folder's file is not the set's.
        {"a.cue", "FILE \"Beta \xff.bin\" BINARY\nFILE \"sub/Beta.bin\" BINARY\nREM \xfe\n",
                  "FILE \"Gamma \xff.bin\" BINARY\nFILE \"sub/Beta.bin\" BINARY\nREM \xfe\n"},
        // Letter case ignored: written as the folder spells the new name.
        {"a.gdi", "2\n1 0 4 2352 beta.raw 0\n2 600 0 2352 \"other.raw\" 0\n",
                  "2\n1 0 4 2352 Gamma.raw 0\n2 600 0 2352 \"other.raw\" 0\n"},
        // A playlist line is the name, blanks and all; comments and the byte order mark stay.
        {"a.m3u", "\xEF\xBB\xBF#EXTM3U\r\nBeta (Disc 1).cue\r\nBeta (Disc 2).cue",
                  "\xEF\xBB\xBF#EXTM3U\r\nGamma (Disc 1).cue\r\nBeta (Disc 2).cue"},
    };
    // clang-format on
    for (const auto& [setFile, before, after] : cases)
        EXPECT_EQ(renamedReferences(setFile, before, renamed), after) << before.constData();
}

// Beta: two discs (a .cue, two tracks), an .m3u, a screenshot and a member named otherwise.
struct BetaGame {
    BetaGame() {
        for (int d = 1; d <= 2; ++d) {
            QByteArray cue;
            for (int t = 1; t <= 2; ++t) {
                const QString track = QStringLiteral("Beta (Disc %1) (Track %2).bin").arg(d).arg(t);
                dir.write("roms/" + track, track.toUtf8());
                cue += "FILE \"" + track.toUtf8() + "\" BINARY\r\n";
            }
            if (d == 2) cue += "FILE \"shared.bin\" BINARY\r\n";
            dir.write(QStringLiteral("roms/Beta (Disc %1).cue").arg(d), cue);
        }
        dir.write("roms/shared.bin", "shared");
        dir.write("roms/Beta.m3u", "Beta (Disc 1).cue\nBeta (Disc 2).cue\n");
        dir.write("roms/Other.bin", "other");
        dir.write("shots/Beta.png", "picture");
    }
    QString roms() const { return dir.file("roms/"); }
    DiscSet set() const { return *discSetHeadedBy(roms(), "Beta.m3u"); }
    GamePictures pictures() const {
        const QString shot = dir.file("shots/Beta.png");
        return {[=](const QString& name) {
                    return name.startsWith("Beta") && QFile::exists(shot) ? shot : QString();
                },
                [=](const QString& name) {
                    return name == "Beta.m3u" && QFile::exists(shot) ? QStringList{shot}
                                                                     : QStringList();
                }};
    }
    TempFolder dir;
};

TEST(DiscSetRename, RenamesEveryFileOfTheGameAndItsReferences) {
    // A file already there (or nothing), the new name asked for and the one given.
    const std::tuple<const char*, QString, std::optional<QString>> cases[] = {
        {nullptr, "Gamma.m3u", "Gamma.m3u"},
        // One member's new name is taken: the whole game is numbered, as F2 numbers a file.
        {"roms/Gamma (Disc 2) (Track 1).bin", "Gamma.m3u", "Gamma(1).m3u"},
        {"shots/Gamma.png", "Gamma.m3u", "Gamma(1).m3u"},
        // The row's type is the set's.
        {nullptr, "Gamma.cue", std::nullopt},
    };
    for (const auto& [taken, newTop, expected] : cases) {
        BetaGame game;
        TempFolder& dir = game.dir;
        const QString roms = game.roms();
        if (taken) dir.write(taken, "theirs");
        const QStringList before = filesUnder(dir.path());
        QString why;
        const auto given = renameDiscSet(files, roms, game.set(), newTop, game.pictures(), &why);
        ASSERT_EQ(given, expected) << qPrintable(newTop);
        if (taken) {
            EXPECT_EQ(dir.read(taken), "theirs");
        }
        if (!given) {
            EXPECT_EQ(filesUnder(dir.path()), before);
            EXPECT_FALSE(why.isEmpty());
            continue;
        }
        const QString stem = given->chopped(4);
        const QStringList names = QDir(roms).entryList(QDir::Files, QDir::Name);
        for (const QString& left : names)
            EXPECT_FALSE(left.startsWith("Beta")) << qPrintable(left);
        EXPECT_TRUE(names.contains("shared.bin") && names.contains("Other.bin"));
        EXPECT_EQ(dir.read("roms/" + *given),
                  (stem + " (Disc 1).cue\n" + stem + " (Disc 2).cue\n").toUtf8());
        EXPECT_EQ(dir.read("roms/" + stem + " (Disc 2).cue"),
                  ("FILE \"" + stem + " (Disc 2) (Track 1).bin\" BINARY\r\nFILE \"" + stem +
                   " (Disc 2) (Track 2).bin\" BINARY\r\nFILE \"shared.bin\" BINARY\r\n")
                      .toUtf8());
        EXPECT_TRUE(dir.exists("shots/" + stem + ".png"));
        const DiscSet renamed = *discSetHeadedBy(roms, *given);
        EXPECT_TRUE(renamed.missing.isEmpty());
        EXPECT_EQ(renamed.members.size(), 7);
    }
}

TEST(DiscSetRename, UndoesEveryStepWhenOneFails) {
    BetaGame game;
    // The failing rename or rewrite: the top moves first, the picture last, then three rewrites.
    const std::pair<int, int> cases[] = {{1, -1}, {4, -1}, {8, -1}, {-1, 1}, {-1, 3}};
    for (const auto& [rename, rewrite] : cases) {
        const QStringList before = filesUnder(game.dir.path());
        FailingFiles failing;
        failing.renamesLeft = rename;
        failing.rewritesLeft = rewrite;
        QString why;
        EXPECT_EQ(
            renameDiscSet(failing, game.roms(), game.set(), "Gamma.m3u", game.pictures(), &why),
            std::nullopt);
        EXPECT_TRUE(why.contains("Nothing was renamed")) << qPrintable(why);
        EXPECT_EQ(filesUnder(game.dir.path()), before) << rename << " " << rewrite;
    }
}

TEST(DiscSetTrash, TrashesTheWholeGameOrNone) {
    for (const int failing : {4, 1, -1}) {
        BetaGame game;
        const QString trash = game.dir.file("Trash");
        const QStringList before = QDir(game.roms()).entryList(QDir::Files, QDir::Name);
        FailingFiles files(platform::TrashPlaces{trash, false});
        files.removesLeft = failing;
        QString why;
        const bool trashed = trashDiscSet(files, game.roms(), game.set(), &why);
        EXPECT_EQ(trashed, failing < 0);
        const QStringList after = QDir(game.roms()).entryList(QDir::Files, QDir::Name);
        if (trashed) {
            EXPECT_EQ(after, QStringList({"Other.bin"}));
            EXPECT_EQ(QDir(trash + "/files").entryList(QDir::Files).size(), 8);
        } else {
            EXPECT_EQ(after, before);
            EXPECT_TRUE(why.contains("None of the game's files")) << qPrintable(why);
            EXPECT_TRUE(QDir(trash + "/info").entryList(QDir::Files).isEmpty());
        }
    }
}

TEST(DiscPlaylist, FindsTheDiscsOfTheSelectedGameInOrder) {
    // clang-format off
    const QStringList listed{
        "Beta (Disc 2).cue", "Beta (Disc 10).cue", "beta (disc 1).cue", "Beta (Disc 3).chd",
        "Beta.cue", "Beta II (Disc 1).cue", "Gamma (Disc 1 of 2) (USA).chd",
        "Gamma (Disc 2 of 2) (USA).chd", "Delta (Disc 1).cue", "Delta (Disc 1) [!].cue",
        "Delta (Disc 2).cue", "Epsilon (Disc 1).cue"};
    // clang-format on
    // The playlist's name, then its discs; none for a game without one.
    const auto playlist = [](const QString& selected, const QStringList& listed) {
        const auto p = playlistFor(selected, listed);
        return p ? QStringList{p->name} + p->discs : QStringList();
    };
    // clang-format off
    const std::pair<QString, QStringList> cases[] = {
        // Disc order by number; other types, other games and a name without a disc stay out.
        {"Beta (Disc 2).cue", {"Beta.m3u", "beta (disc 1).cue", "Beta (Disc 2).cue", "Beta (Disc 10).cue"}},
        {"Gamma (Disc 2 of 2) (USA).chd", {"Gamma (USA).m3u", "Gamma (Disc 1 of 2) (USA).chd", "Gamma (Disc 2 of 2) (USA).chd"}},
        {"Beta.cue", {}},
        {"Epsilon (Disc 1).cue", {}},  // one disc is no game of several
        {"Delta (Disc 2).cue", {"Delta.m3u", "Delta (Disc 1).cue", "Delta (Disc 2).cue"}},
    };
    // clang-format on
    for (const auto& [selected, expected] : cases)
        EXPECT_EQ(playlist(selected, listed), expected) << qPrintable(selected);
    // Two discs of one number: which one is meant is not known.
    EXPECT_EQ(playlist("Beta (Disc 2).cue", listed + QStringList{"Beta (Disc 02).cue"}),
              QStringList());
}

TEST(DiscPlaylist, EmulatorsReadThemByTheirMasks) {
    EXPECT_TRUE(readsPlaylists("*.cue;*.M3U;*.chd"));
    EXPECT_TRUE(readsPlaylists(" *.m3u "));
    EXPECT_FALSE(readsPlaylists("*.cue;*.m3u8;*.bin"));
    EXPECT_FALSE(readsPlaylists("*.*"));
}

TEST(DiscPlaylist, IsWrittenBesideTheDiscsAndNeverOverAFile) {
    TempFolder dir;
    const Playlist playlist{"Beta.m3u", {"Beta (Disc 1).cue", "Beta (Disc 2).cue"}};
    ASSERT_TRUE(writePlaylistFile(dir.file(""), playlist));
    EXPECT_EQ(dir.read("Beta.m3u"), "Beta (Disc 1).cue\nBeta (Disc 2).cue\n");
    dir.write("Beta.m3u", "mine");
    QString why;
    EXPECT_FALSE(writePlaylistFile(dir.file(""), playlist, &why));
    EXPECT_EQ(why, "that name is already taken");
    EXPECT_EQ(filesUnder(dir.path()), QStringList{"Beta.m3u: mine"});
}

}  // namespace
