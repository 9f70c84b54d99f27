// F1's key reference, what a screen reader is told about the window, and the command line
// box as a user meets it, all by keys pressed on the focused control.

#include "launcher/ui/WindowFixture.h"
#include "launcher/window/KeyReference.h"

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
        ASSERT_TRUE(onFiles());
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
            pressHere(Qt::Key_Right, Qt::ShiftModifier);
            ASSERT_EQ(focused(), commandLine());
        }
        pressHere(Qt::Key_F1);
        QDialog* shown = keyReference();
        ASSERT_NE(shown, nullptr);
        activate(shown);
        EXPECT_TRUE(shown->isVisible());
        const QString table = shown->findChild<QTextBrowser*>()->toPlainText();
        for (const KeyReferenceSection& section : keyReferenceSections())
            for (const KeyReferenceRow& row : section.rows)
                EXPECT_TRUE(table.contains(row.what)) << row.what.toStdString();
        pressHere(c.closer);
        QApplication::processEvents();
        EXPECT_FALSE(shown->isVisible());
        activate();
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
    pressHere(Qt::Key_Down);  // Zelda: its title is shown
    ASSERT_FALSE(title()->text().isEmpty());
    for (const bool foldersShown : {false, true}) {
        SCOPED_TRACE(foldersShown ? "folder lists shown" : "file list shown");
        if (foldersShown) {
            pressHere(Qt::Key_Escape);
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
    // A box is read by what it is for, then the entry chosen.
    ASSERT_GT(driveList()->count(), 0);
    const struct {
        QComboBox* box;
        const char* name;
    } boxes[] = {{emulatorBox(), "Emulator"}, {driveList(), "Drive"}};
    for (const auto& b : boxes) {
        QAccessibleInterface* node = QAccessible::queryAccessibleInterface(b.box);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->role(), QAccessible::ComboBox);
        EXPECT_EQ(node->text(QAccessible::Name), b.name);
        EXPECT_EQ(node->text(QAccessible::Value), b.box->currentText());
        EXPECT_FALSE(b.box->currentText().isEmpty()) << b.name;
    }
}

// Switches once stored must be removable: a box emptied with Ctrl+Backspace is stored empty
// (which texts are kept is EmulatorSettings').
TEST_F(HelpAndAccess, AnEmptiedBoxIsStoredEmpty) {
    settings.preset("Nestopia.exe", "cmdline", R"(-fullscreen -x "a b")");
    open({"Pac-Man.nes"});
    pressHere(Qt::Key_Right, Qt::ShiftModifier);
    pressHere(Qt::Key_Backspace, Qt::ControlModifier);
    window->close();
    window.reset();
    start();
    EXPECT_EQ(commandLine()->text(), "");
}

}  // namespace
