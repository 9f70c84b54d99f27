// Ctrl+M's playlists: which discs make a game, in which order, and that writing one never
// replaces a file.

#include "launcher/maintenance/DiscPlaylist.h"
#include "support/QtPrinters.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace {

TEST(DiscPlaylist, FindsTheDiscsOfTheSelectedGameInOrder) {
    // clang-format off
    const QStringList listed{
        "Beta (Disc 2).cue", "Beta (Disc 10).cue", "beta (disc 1).cue", "Beta (Disc 3).chd",
        "Beta.cue", "Beta II (Disc 1).cue", "Gamma (Disc 1 of 2) (USA).chd",
        "Gamma (Disc 2 of 2) (USA).chd", "Delta (Disc 1).cue", "Delta (Disc 1) [!].cue",
        "Delta (Disc 2).cue", "Epsilon (Disc 1).cue"};
    // clang-format on
    struct Case {
        QString selected;
        std::optional<Playlist> playlist;
    };
    // clang-format off
    const Case cases[] = {
        // Disc order by number; other types, other games and a name without a disc stay out.
        {"Beta (Disc 2).cue", Playlist{"Beta.m3u", {"beta (disc 1).cue", "Beta (Disc 2).cue", "Beta (Disc 10).cue"}}},
        {"Gamma (Disc 2 of 2) (USA).chd", Playlist{"Gamma (USA).m3u", {"Gamma (Disc 1 of 2) (USA).chd", "Gamma (Disc 2 of 2) (USA).chd"}}},
        {"Beta.cue", std::nullopt},
        {"Epsilon (Disc 1).cue", std::nullopt},  // one disc is no game of several
        {"Delta (Disc 2).cue", Playlist{"Delta.m3u", {"Delta (Disc 1).cue", "Delta (Disc 2).cue"}}},
    };
    // clang-format on
    for (const Case& c : cases) {
        const auto playlist = playlistFor(c.selected, listed);
        ASSERT_EQ(playlist.has_value(), c.playlist.has_value()) << qPrintable(c.selected);
        if (!playlist) continue;
        EXPECT_EQ(playlist->name, c.playlist->name);
        EXPECT_EQ(playlist->discs, c.playlist->discs);
    }
    // Two discs of one number: which one is meant is not known.
    EXPECT_EQ(playlistFor("Beta (Disc 2).cue", listed + QStringList{"Beta (Disc 02).cue"}),
              std::nullopt);
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
    EXPECT_EQ(dir.read("Beta.m3u"), "mine");
    EXPECT_EQ(why, "that name is already taken");
    // No new file is left beside it.
    EXPECT_EQ(filesUnder(dir.path()), QStringList{"Beta.m3u: mine"});
}

}  // namespace
