// The file commands from the list's keys: prompts, answers, Cancel against an empty
// answer, the closing step, and what ends up on disk.

#include "WindowFixture.h"

#include <QDir>
#include <QLineEdit>
#include <QTimer>

namespace {

enum Key { Delete = 46, F2 = 113, F3 = 114, F4 = 115, F6 = 117, F7 = 118, F8 = 119, F9 = 120 };

class FileCommands : public WindowTest {
protected:
    void SetUp() override {
        trash.reset(new TempFolder);
        m_oldDataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", trash->path().toUtf8());
    }
    void TearDown() override { qputenv("XDG_DATA_HOME", m_oldDataHome); }

    // The window over roms holding `names` (each file's content is its name), all listed.
    void open(const QStringList& names) {
        program("Nestopia");
        for (const QString& n : names)
            emu.write("roms/" + n, n.toUtf8());
        start(Shown::Active);
        window->Files->setPattern("*.*");
        window->Files->setPath(emu.file("roms"));
        window->Files->Refresh();
        window->Files->setListIndex(0);
    }
    // Presses the key with the list's modifier state; true when the closing step ran
    // (the focus comes back to the list from wherever it was).
    bool press(int key, int shift = 0) {
        window->cmbEmu->setFocus();
        QApplication::processEvents();
        int code = key, s = shift;
        window->Files_KeyDown(code, s);
        QApplication::processEvents();
        return window->focusWidget() != window->cmbEmu;
    }
    QStringList onDisk() const {
        return QDir(emu.file("roms")).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    void select(const QString& name) { window->Files->setListIndex(listed().indexOf(name)); }

    std::unique_ptr<TempFolder> trash;

private:
    QByteArray m_oldDataHome;
};

TEST_F(FileCommands, DeleteAsksOnceTakesTheJadTwinAndSelectsTheNextGame) {
    open({"a.jar", "a.jad", "b.nes", "c.nes"});
    select("a.jar");
    const int row = window->Files->ListIndex();
    dialogs.messageAnswers = {platform::Dialogs::ResultCancel};
    EXPECT_TRUE(press(Delete));
    EXPECT_EQ(onDisk().size(), 4);
    EXPECT_TRUE(press(Delete));
    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_EQ(dialogs.messages[1].text, "Delete 'a.jar'?\nFrom Path: " + folder() + "roms/");
    EXPECT_EQ(dialogs.messages[1].buttons, 33);
    EXPECT_EQ(dialogs.messages[1].title, "Delete File");
    EXPECT_EQ(onDisk(), (QStringList{"b.nes", "c.nes"}));
    EXPECT_EQ(window->Files->ListIndex(), std::min(row, window->Files->ListCount() - 1));
    EXPECT_EQ(QDir(trash->file("Trash/files")).entryList(QDir::Files).size(), 2);
}

TEST_F(FileCommands, RenameAndDumpTagsSelectTheNewName) {
    open({"Game.smc", "b.smc", "y.smc"});
    select("b.smc");
    dialogs.inputAnswers = {std::nullopt, QString(), QString("y.smc")};
    press(F2);
    press(F2);
    EXPECT_EQ(onDisk(), (QStringList{"Game.smc", "b.smc", "y.smc"}));
    press(F2);
    ASSERT_EQ(dialogs.inputs.size(), 3);
    EXPECT_EQ(dialogs.inputs[2].text, "Rename b.smc to:");
    EXPECT_EQ(dialogs.inputs[2].title, "Rename");
    EXPECT_EQ(dialogs.inputDefaults[2], "b.smc");
    EXPECT_EQ(onDisk(), (QStringList{"Game.smc", "y(1).smc", "y.smc"}));
    EXPECT_EQ(window->Files->FileName(), "y(1).smc");

    select("Game.smc");
    press(F9, 2);
    EXPECT_EQ(window->Files->FileName(), "Game [b1].smc");
    EXPECT_EQ(emu.read("roms/Game [b1].smc"), "Game.smc");
}

TEST_F(FileCommands, MaskHideAndCancel) {
    open({"a.nes", "Game [!].nes", "Game [b1].nes", "Mario 2.nes", "x.smc"});
    dialogs.inputAnswers = {QString("*.smc"), std::nullopt};
    press(F3);
    EXPECT_EQ(listed(), QStringList{"x.smc"});
    press(F3);  // Cancel, like an empty answer, brings the system's mask back
    EXPECT_EQ(window->Files->Pattern(), window->FileMask);
    window->Files->setPattern("*.*");

    dialogs.inputAnswers = {std::nullopt, QString("*{0-9}*"), QString(" ")};
    EXPECT_FALSE(press(F4));
    EXPECT_EQ(dialogs.inputs.last().text,
              "Enter pattern to hide files:\nEnter blank pattern to remove all hidden files.");
    EXPECT_EQ(dialogs.inputDefaults.last(), "*[b?].*");
    EXPECT_TRUE(press(F4));
    EXPECT_EQ(listed().size(), 3);
    EXPECT_EQ(window->HidePattern, "*{0-9}*");
    EXPECT_EQ(onDisk().size(), 6);  // the files and ".hidden", all as they were
    EXPECT_EQ(emu.read("roms/Mario 2.nes"), "Mario 2.nes");
    press(F4);
    EXPECT_EQ(listed().size(), 5);
    // With a modifier only the closing step, which leaves the focus in the command line
    // box when Shift alone is held.
    EXPECT_TRUE(press(F4, 1));
    EXPECT_EQ(window->focusWidget(), window->txtCommandLine);
    EXPECT_EQ(dialogs.inputs.size(), 5);
}

TEST_F(FileCommands, MacroAsksWhenNeededAndStripTextReports) {
    open({"Super_Mario.World_(J).smc", "Zelda.smc"});
    dialogs.inputAnswers = {QString(), QString("{DOWN}"), QString("{UP}")};
    EXPECT_FALSE(press(F6));  // nothing stored: asks; an empty answer ends there
    EXPECT_TRUE(keystrokes.sent.isEmpty());
    EXPECT_TRUE(press(F6));
    EXPECT_TRUE(press(F6));  // stored and no modifier: no question
    EXPECT_TRUE(press(F6, 2));
    EXPECT_EQ(keystrokes.sent, (QStringList{"{DOWN}", "{DOWN}", "{UP}"}));
    EXPECT_EQ(dialogs.inputs.size(), 3);
    EXPECT_EQ(dialogs.inputDefaults.last(), "{DOWN}");

    dialogs.inputAnswers = {std::nullopt, QString("(J)")};
    press(F8);
    press(F8);
    EXPECT_EQ(dialogs.inputs.last().text, "Enter text to remove in file names:");
    EXPECT_EQ(onDisk(), (QStringList{"Super Mario World .smc", "Zelda.smc"}));
    EXPECT_EQ(dialogs.messages.last().text, "1 Files Renamed");
    EXPECT_EQ(dialogs.messages.last().buttons, 64);
}

TEST_F(FileCommands, DuplicatesReportAndCloseStopsTheRun) {
    open({"a.nes", "b.nes", "c.nes", "d.nes"});
    for (const char* n : {"b.nes", "c.nes"})
        emu.write(QString("roms/") + n, "a.nes");
    window->Files->Refresh();
    const QString caption = window->windowTitle();
    dialogs.messageAnswers = {platform::Dialogs::ResultCancel};
    press(F7);
    EXPECT_EQ(onDisk().size(), 4);
    QStringList copies = listed();
    copies.removeAll("d.nes");
    press(F7);
    EXPECT_EQ(dialogs.messages[1].text, "Do you want to remove duplicate files in this folder?");
    EXPECT_EQ(dialogs.messages[1].buttons, 33);
    // The copy earlier in the list's order stays; the others go from the end back.
    const QString roms = folder() + "roms/";
    EXPECT_EQ(dialogs.messages[2].text, "2 Duplicates Removed.\n" + roms + copies[2] + " -> " +
                                            copies[0] + "\n" + roms + copies[1] + " -> " +
                                            copies[0] + "\n");
    EXPECT_EQ(onDisk(), (QStringList{copies[0], "d.nes"}));
    EXPECT_EQ(window->windowTitle(), caption);
    EXPECT_FALSE(window->Busy);

    emu.write("roms/e.nes", "a.nes");
    window->Files->Refresh();
    QTimer::singleShot(0, window.get(), [this] { window->close(); });
    window->RemoveDuplicates();
    EXPECT_EQ(dialogs.messages.last().text, "0 Duplicates Removed.\n");
    EXPECT_EQ(onDisk().size(), 3);
    EXPECT_EQ(window->windowTitle(), caption);
}

}  // namespace
