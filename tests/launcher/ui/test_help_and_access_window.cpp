// F1's key reference, what a screen reader is told about the window, and the command line
// box and the key macro as a user meets them, all by keys pressed on the focused control.

#include "launcher/ui/WindowFixture.h"
#include "launcher/window/KeyReference.h"
#include "platform/ui/FocusKeystrokeSender.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QDialog>
#include <QTextBrowser>

namespace {

class HelpAndAccess : public WindowTest {
protected:
    // The active window over Nestopia's roms, the focus on the list.
    void open(const QStringList& names) {
        program("Nestopia");
        for (const QString& n : names)
            emu.write("roms/" + n, QByteArray(4096, 'x'));
        start(Shown::Active);
        focusFiles();
    }
    void focusFiles() {
        files()->setFocus();
        QApplication::processEvents();
        ASSERT_TRUE(files()->isAncestorOf(QApplication::focusWidget()));
    }
    static void press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QTest::keyClick(target, key, mods);
    }
    static void type(const QString& text) {
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QTest::keyClicks(target, text);
    }
    QDialog* keyReference() const { return window->findChild<QDialog*>("keyReference"); }
};

TEST_F(HelpAndAccess, F1ShowsTheKeyTableAndF1OrEscapeClosesIt) {
    open({"a.nes", "b.nes"});
    struct Case {
        bool fromCommandLine;
        Qt::Key closer;
    };
    for (const Case& c : {Case{false, Qt::Key_Escape}, Case{true, Qt::Key_F1}}) {
        SCOPED_TRACE(c.fromCommandLine ? "from the command line box" : "from the list");
        if (c.fromCommandLine) {
            press(Qt::Key_Right, Qt::ShiftModifier);
            ASSERT_EQ(QApplication::focusWidget(), commandLine());
        }
        press(Qt::Key_F1);
        QDialog* shown = keyReference();
        ASSERT_NE(shown, nullptr);
        // The offscreen platform activates no window by itself; a window manager would.
        QApplication::setActiveWindow(shown);
        ASSERT_TRUE(QTest::qWaitForWindowActive(shown));
        EXPECT_TRUE(shown->isVisible());
        const QString table = shown->findChild<QTextBrowser*>()->toPlainText();
        for (const KeyReferenceSection& section : keyReferenceSections())
            for (const KeyReferenceRow& row : section.rows)
                EXPECT_TRUE(table.contains(row.what)) << row.what.toStdString();
        press(c.closer);
        QApplication::processEvents();
        EXPECT_FALSE(shown->isVisible());
        QApplication::setActiveWindow(window.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        focusFiles();
    }
}

// Every node a screen reader would visit, depth first.
void walk(QAccessibleInterface* node, const std::function<void(QAccessibleInterface*)>& visit) {
    if (!node || node->state().invisible) return;
    visit(node);
    for (int i = 0; i < node->childCount(); ++i)
        walk(node->child(i), visit);
}

TEST_F(HelpAndAccess, EveryControlIsNamedAndNothingIsReadTwice) {
    open({"Pac-Man.nes", "Zelda.nes"});
    press(Qt::Key_Down);  // Zelda: its title is shown
    ASSERT_FALSE(title()->text().isEmpty());
    for (const bool foldersShown : {false, true}) {
        SCOPED_TRACE(foldersShown ? "folder lists shown" : "file list shown");
        if (foldersShown) {
            press(Qt::Key_Escape);
            ASSERT_TRUE(folderList()->isVisible());
        }
        // Every control that takes the focus says what it is by a name of its own, not
        // by its value.
        for (QWidget* w : window->findChildren<QWidget*>()) {
            if (!w->isVisible() || w->focusPolicy() == Qt::NoFocus) continue;
            EXPECT_FALSE(w->accessibleName().isEmpty())
                << w->metaObject()->className() << " " << w->objectName().toStdString();
        }
        int titles = 0;
        walk(QAccessible::queryAccessibleInterface(window.get()), [&](QAccessibleInterface* n) {
            if (n->role() == QAccessible::StaticText &&
                n->text(QAccessible::Name) == title()->text())
                ++titles;
            QAccessibleTableInterface* table = n->tableInterface();
            if (!table) return;
            // The columns a user sees, each with its header, and no raw byte count.
            for (int col = 0; col < table->columnCount(); ++col) {
                EXPECT_FALSE(table->columnDescription(col).isEmpty()) << "column " << col;
                for (int row = 0; row < table->rowCount(); ++row) {
                    QAccessibleInterface* cell = table->cellAt(row, col);
                    ASSERT_NE(cell, nullptr);
                    EXPECT_NE(cell->text(QAccessible::Name), "4096") << row << "," << col;
                }
            }
        });
        EXPECT_EQ(titles, 1);  // the shadow draws it too, but is not read
    }
}

// What a screen reader says of each box: what it is for, then the entry chosen.
TEST_F(HelpAndAccess, BoxesAreReadByTheirNamesWithTheChoiceAsValue) {
    open({"Pac-Man.nes"});
    press(Qt::Key_Escape);  // the folder lists, with the drive box
    ASSERT_TRUE(driveList()->isVisible());
    ASSERT_GT(driveList()->count(), 0);
    const struct {
        QComboBox* box;
        const char* name;
    } boxes[] = {{emulatorBox(), "Emulator"}, {driveList(), "Drive"}};
    for (const auto& b : boxes) {
        SCOPED_TRACE(b.name);
        QAccessibleInterface* node = QAccessible::queryAccessibleInterface(b.box);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->role(), QAccessible::ComboBox);
        EXPECT_EQ(node->text(QAccessible::Name), b.name);
        EXPECT_EQ(node->text(QAccessible::Value), b.box->currentText());
        EXPECT_FALSE(b.box->currentText().isEmpty());
    }
}

// The hint of a folder without emulators takes the focus for its link: it has a name.
TEST_F(WindowTest, TheNoEmulatorHintIsNamed) {
    start(Shown::Active);
    auto* hint = control<QLabel>("lblNoEmulator");
    ASSERT_TRUE(hint && hint->isVisible());
    ASSERT_NE(hint->focusPolicy(), Qt::NoFocus);
    QAccessibleInterface* node = QAccessible::queryAccessibleInterface(hint);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->text(QAccessible::Name), "No emulator here");
    EXPECT_TRUE(node->text(QAccessible::Description).contains("emulators.conf"));
}

// Typing switches must not move the selection: Enter then starts the game chosen, not the
// first. A search text still narrows the list.
TEST_F(HelpAndAccess, SwitchesTypedKeepTheSelectedGame) {
    open({"Pac-Man.nes", "Tetris.nes", "Zelda.nes"});
    press(Qt::Key_End);
    ASSERT_EQ(files()->fileName(), "Zelda.nes");
    press(Qt::Key_Right, Qt::ShiftModifier);
    ASSERT_EQ(QApplication::focusWidget(), commandLine());
    type("-fullscreen");
    EXPECT_EQ(commandLine()->text(), "-fullscreen");
    EXPECT_EQ(files()->fileName(), "Zelda.nes");
    press(Qt::Key_Return);
    ASSERT_EQ(shell.started.size(), 1);
    EXPECT_TRUE(shell.started.last().arguments.last().endsWith("/Zelda.nes"))
        << shell.started.last().arguments.join(' ').toStdString();
    EXPECT_TRUE(shell.started.last().arguments.contains("-fullscreen"));

    press(Qt::Key_Backspace, Qt::ControlModifier);
    type("tet");
    EXPECT_EQ(listed(), QStringList{"Tetris.nes"});
    EXPECT_EQ(files()->fileName(), "Tetris.nes");
}

// Switches once stored must be removable: an emptied box is stored empty, a search text
// leaves them as they were.
TEST_F(HelpAndAccess, AnEmptiedBoxIsStoredEmpty) {
    struct Case {
        QString typed;
        QString afterRestart;
    };
    const QString stored = R"(-fullscreen -x "a b")";
    for (const Case& c : {Case{"", ""}, Case{"tet", stored}, Case{"-f", "-f"}}) {
        SCOPED_TRACE(c.typed.toStdString());
        settings.preset("Nestopia.exe", "cmdline", stored);
        open({"Pac-Man.nes", "Tetris.nes"});
        ASSERT_EQ(commandLine()->text(), stored);
        press(Qt::Key_Right, Qt::ShiftModifier);
        press(Qt::Key_Backspace, Qt::ControlModifier);
        if (!c.typed.isEmpty()) type(c.typed);
        window->close();
        window.reset();
        start();
        EXPECT_EQ(commandLine()->text(), c.afterRestart);
        window.reset();
    }
}

// The macro's own input box closes before its keys go out; until the window manager gives
// the focus back no window is active, and the keys must still reach the list.
class DeactivatingDialogs : public fakes::FakeDialogs {
public:
    std::optional<QString> inputBox(const QString& prompt, const QString& title,
                                    const QString& defaultText) override {
        QApplication::setActiveWindow(nullptr);
        return FakeDialogs::inputBox(prompt, title, defaultText);
    }
};

TEST_F(HelpAndAccess, MacroRunsOnItsFirstF6AndMovesAfterTheTag) {
    platform::FocusKeystrokeSender sender;
    DeactivatingDialogs realistic;
    program("Nestopia");
    for (const char* n : {"Game-A.nes", "Game-B.nes", "Game.nes", "Zelda.nes"})
        emu.write(QString("roms/") + n, "x");
    MainWindowServices s;
    s.settings = &settings;
    s.shell = &shell;
    s.processes = &processes;
    s.dialogs = &realistic;
    s.keystrokes = &sender;
    s.volumes = &volumes;
    s.singleInstance = &single;
    s.files = fileOperations;
    s.programFolder = emu.path();
    s.dpi = 96;
    window = std::make_unique<MainWindow>(s);
    ASSERT_TRUE(window->start());
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    focusFiles();
    press(Qt::Key_Down);
    press(Qt::Key_Down);
    ASSERT_EQ(files()->fileName(), "Game.nes");

    realistic.inputAnswers = {QString("{F9}{DOWN}")};
    press(Qt::Key_F6);
    QApplication::processEvents();
    // Tagged ("Game [!]" sorts first), then one row down from where it was.
    EXPECT_EQ(listed(), (QStringList{"Game [!].nes", "Game-A.nes", "Game-B.nes", "Zelda.nes"}));
    EXPECT_EQ(files()->fileName(), "Zelda.nes");
    EXPECT_EQ(realistic.inputs.size(), 1);
}

}  // namespace
