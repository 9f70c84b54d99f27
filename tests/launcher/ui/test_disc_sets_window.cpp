// The keys that act on a disc game as one: F2, Delete and Ctrl+M on the list, each pressed
// once to see it wired (the rules are the maintenance tests').

#include "launcher/ui/WindowFixture.h"

#include <QDir>

namespace {

class DiscSetsWindow : public WindowTest {
protected:
    // Alpha: one .cue and three tracks; Beta: two discs of a .cue and two tracks each, and,
    // when `playlist`, an .m3u naming both.
    void writeGames(bool playlist) {
        QByteArray alpha;
        for (int t = 1; t <= 3; ++t) {
            const QString track = QStringLiteral("Alpha (Track %1).bin").arg(t);
            emu.write("roms/" + track, "data");
            alpha += "FILE \"" + track.toUtf8() + "\" BINARY\r\n";
        }
        emu.write("roms/Alpha.cue", alpha);
        for (int d = 1; d <= 2; ++d) {
            QByteArray cue;
            for (int t = 1; t <= 2; ++t) {
                const QString track = QStringLiteral("Beta (Disc %1) (Track %2).bin").arg(d).arg(t);
                emu.write("roms/" + track, track.toUtf8());
                cue += "FILE \"" + track.toUtf8() + "\" BINARY\n";
            }
            emu.write(QStringLiteral("roms/Beta (Disc %1).cue").arg(d), cue);
        }
        if (playlist) emu.write("roms/Beta.m3u", "Beta (Disc 1).cue\nBeta (Disc 2).cue\n");
    }
    QStringList onDisk() const { return QDir(emu.file("roms")).entryList(QDir::Files, QDir::Name); }
};

TEST_F(DiscSetsWindow, F2RenamesEveryFileOfTheGameAndItsReferences) {
    writeGames(true);
    openRoms({});
    ASSERT_EQ(listed(), (QStringList{"Alpha.cue", "Beta.m3u"}));
    select("Beta.m3u");
    dialogs.inputAnswers = {QString("Gamma.m3u")};
    press(Qt::Key_F2);
    EXPECT_EQ(onDisk().filter("Beta").size(), 0);
    EXPECT_EQ(onDisk().filter("Gamma").size(), 7);
    EXPECT_EQ(emu.read("roms/Gamma (Disc 2).cue"),
              "FILE \"Gamma (Disc 2) (Track 1).bin\" BINARY\n"
              "FILE \"Gamma (Disc 2) (Track 2).bin\" BINARY\n");
    EXPECT_EQ(files()->fileName(), "Gamma.m3u");
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(DiscSetsWindow, DeleteSendsEveryFileOfTheGameToTheTrash) {
    writeGames(true);
    openRoms({});
    select("Beta.m3u");
    press(Qt::Key_Delete);
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].text.startsWith(
        "Move 'Beta.m3u' and the 6 files of its game to the trash?"));
    EXPECT_EQ(onDisk(), (QStringList{"Alpha (Track 1).bin", "Alpha (Track 2).bin",
                                     "Alpha (Track 3).bin", "Alpha.cue"}));
    EXPECT_EQ(QDir(trashHome.file("Trash/files")).entryList(QDir::Files).size(), 7);
}

TEST_F(DiscSetsWindow, CtrlMWritesThePlaylistAndSelectsIt) {
    TempFolder bin;
    const QString mednafen = bin.write("mednafen", "#!/bin/sh\n");
    QFile::setPermissions(mednafen, QFile::permissions(mednafen) | QFile::ExeOwner);
    installedSearch.pathFolders = {bin.path()};
    writeGames(false);
    start(Shown::Active);
    ASSERT_EQ(emulatorBox()->currentText(), "mednafen");
    files()->setPattern("*.*");
    files()->setPath(emu.file("roms"));
    files()->refresh();
    select("Beta (Disc 2).cue");
    press(Qt::Key_M, Qt::ControlModifier);
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(emu.read("roms/Beta.m3u"), "Beta (Disc 1).cue\nBeta (Disc 2).cue\n");
    EXPECT_EQ(files()->fileName(), "Beta.m3u");
}

}  // namespace
