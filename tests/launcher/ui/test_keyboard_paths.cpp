// The keyboard path between the window's controls, walked with real key events: every key
// goes to whatever has the focus at that moment, modifiers first, as a keyboard sends them.
// Controls are found by object name only.

#include "launcher/ui/WindowFixture.h"

#include <QHeaderView>
#include <QKeySequence>
#include <QScrollBar>
#include <QTreeView>

#include <vector>

namespace {

enum class Layout { Standard, Browsing };

// What a key does besides moving the focus, where that is part of the route.
enum class Effect {
    None,
    FileRowDown,    // the file list's selection moved from the first file to the second
    FolderRowDown,  // the folder list's highlight moved one row down
    ListsShown,
    ListsHidden,
    FolderUp,      // the folder list, and so the file list, went up to the emulator folder
    OpenedDeeper,  // the folder list, and so the file list, went into roms/nogames/deeper
};

struct Key {
    Qt::Key key;
    Qt::KeyboardModifiers mods = Qt::NoModifier;
};

struct Route {
    Layout layout;
    const char* from;
    std::vector<Key> before;  // pressed first, to reach the place the route starts from
    Key key;
    const char* to;
    Effect effect = Effect::None;
};

const char* const kControls[] = {"Files",   "txtCommandLine", "cmbEmu",
                                 "dirList", "driveList",      "btnBrowse"};

class KeyboardPaths : public WindowTest {
protected:
    // zsnes over roms with two games and two sub-folders: one with games, one with only a
    // sub-folder of its own.
    void open() {
        program("zsnes");
        roms({"a.smc", "b.smc", "more/c.smc", "more/d.smc", "nogames/deeper/e.smc"});
        // The emulator folder is a volume of its own, so Left can reach the drive list.
        volumes.rootList = {"/", folder()};
        start(Shown::Active);
        ASSERT_EQ(files()->path(), folder() + "roms/");
        ASSERT_EQ(files()->listCount(), 2);
    }

    QWidget* control(const char* name) const { return WindowTest::control<QWidget>(name); }

    // The named control that holds the focus, the file list's inner view counting as the list.
    static QString focusedControl() {
        for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget())
            for (const char* name : kControls)
                if (w->objectName() == QLatin1String(name)) return w->objectName();
        QWidget* w = QApplication::focusWidget();
        return w ? QStringLiteral("(a %1)").arg(w->metaObject()->className())
                 : QStringLiteral("(nothing)");
    }

    // One event to whatever has the focus now; a key that moves the focus sends its own
    // release, and the keys after it, elsewhere.
    static void send(bool down, Qt::Key key, Qt::KeyboardModifiers held, const QString& text = {}) {
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QTest::simulateEvent(target, down, key, held, text, false);
    }
    // A key as typed: its modifiers go down one by one, then the key goes down and up, then
    // the modifiers come up.
    static void press(Key k) {
        struct Modifier {
            Qt::KeyboardModifier flag;
            Qt::Key key;
        };
        const Modifier modifiers[] = {{Qt::ShiftModifier, Qt::Key_Shift},
                                      {Qt::ControlModifier, Qt::Key_Control},
                                      {Qt::AltModifier, Qt::Key_Alt}};
        Qt::KeyboardModifiers held;
        for (const Modifier& m : modifiers) {
            if (!(k.mods & m.flag)) continue;
            send(true, m.key, held);
            held |= m.flag;
        }
        const char ascii = QTest::keyToAscii(k.key);
        QString text = ascii ? QString(QChar::fromLatin1(ascii)) : QString();
        if (held & Qt::ShiftModifier) text = text.toUpper();
        send(true, k.key, held, text);
        send(false, k.key, held, text);
        for (auto m = std::rbegin(modifiers); m != std::rend(modifiers); ++m) {
            if (!(held & m->flag)) continue;
            send(false, m->key, held);
            held &= ~m->flag;
        }
    }
    static void press(const std::vector<Key>& keys) {
        for (const Key& k : keys)
            press(k);
    }
    void focus(const char* name) {
        control(name)->setFocus();
        QApplication::processEvents();
        ASSERT_EQ(focusedControl(), QString::fromLatin1(name));
    }
};

constexpr auto Shift = Qt::ShiftModifier;
constexpr Layout Std = Layout::Standard;
constexpr Layout Brw = Layout::Browsing;

// Every route of the keyboard path, in both layouts: where the focus is after the key.
TEST_F(KeyboardPaths, EveryRouteBetweenTheControls) {
    const Route routes[] = {
        // The file list: every key ends on the list (the focus keys without Shift:
        // FocusKeysLeaveAWideListWhereItIs), unless Shift is held, which leaves the focus in
        // the command line box (which other modifiers count is the key rules' business).
        {Std, "Files", {}, {Qt::Key_Right, Shift}, "txtCommandLine"},
        {Std, "Files", {}, {Qt::Key_Left, Shift}, "txtCommandLine"},
        {Std, "Files", {}, {Qt::Key_Down}, "Files", Effect::FileRowDown},
        {Std, "Files", {}, {Qt::Key_Down, Shift}, "txtCommandLine"},
        {Std, "Files", {}, {Qt::Key_Escape}, "Files", Effect::ListsShown},
        {Brw, "Files", {}, {Qt::Key_Escape}, "Files", Effect::ListsHidden},
        // The route from the games to the folder list the key reference gives.
        {Brw, "Files", {{Qt::Key_Left, Shift}}, {Qt::Key_PageDown}, "dirList"},
        // The command line box hands the focus to the list its arrows move: the file list,
        // or the folder list while it is shown (Left and Right at the text's ends are
        // CommandLineAndEmulatorBoxKeys').
        {Std, "txtCommandLine", {}, {Qt::Key_PageDown}, "Files"},
        {Std, "txtCommandLine", {}, {Qt::Key_Escape}, "Files"},
        {Std, "txtCommandLine", {}, {Qt::Key_Down}, "txtCommandLine", Effect::FileRowDown},
        {Brw, "txtCommandLine", {}, {Qt::Key_PageDown}, "dirList"},
        {Brw, "txtCommandLine", {}, {Qt::Key_Escape}, "dirList"},
        {Brw, "txtCommandLine", {}, {Qt::Key_Down}, "txtCommandLine", Effect::FolderRowDown},
        {Brw, "txtCommandLine", {}, {Qt::Key_Left}, "Files"},
        // The folder list: Right to the games, Left up to the volume root and then to the
        // drive list; Right on a folder without games opens instead.
        {Brw, "dirList", {}, {Qt::Key_Down}, "dirList", Effect::FolderRowDown},
        {Brw, "dirList", {}, {Qt::Key_Right}, "Files"},
        {Brw, "dirList", {}, {Qt::Key_Left}, "dirList", Effect::FolderUp},
        {Brw, "dirList", {{Qt::Key_Left}}, {Qt::Key_Left}, "driveList", Effect::FolderUp},
        {Brw,
         "dirList",
         {{Qt::Key_Down}, {Qt::Key_Down}, {Qt::Key_Return}, {Qt::Key_Down}},
         {Qt::Key_Right},
         "dirList",
         Effect::OpenedDeeper},
        {Brw, "dirList", {}, {Qt::Key_Escape}, "Files", Effect::ListsHidden},
        {Brw, "driveList", {}, {Qt::Key_Right}, "dirList"},
        {Brw, "driveList", {}, {Qt::Key_Left}, "Files"},
        // The emulator box and the browse button (alike in both layouts).
        {Std, "cmbEmu", {}, {Qt::Key_Right}, "txtCommandLine"},
        {Std, "cmbEmu", {}, {Qt::Key_Left}, "Files"},
        {Std, "btnBrowse", {}, {Qt::Key_Right}, "Files"},
        {Std, "btnBrowse", {}, {Qt::Key_Left}, "txtCommandLine"},
    };
    for (const Route& r : routes) {
        SCOPED_TRACE(QStringLiteral("%1 layout, %3 on %2")
                         .arg(r.layout == Std ? "standard" : "browsing", r.from,
                              QKeySequence(r.key.key | r.key.mods).toString())
                         .toStdString());
        window.reset();
        open();
        if (HasFatalFailure()) return;
        files()->setListIndex(0);
        if (r.layout == Brw) {
            focus("Files");
            press(Key{Qt::Key_Escape});
            ASSERT_TRUE(control("dirList")->isVisible());
            settle();  // the sub-folders come from a thread
        }
        focus(r.from);
        for (const Key& k : r.before) {
            press(k);
            settle();  // a folder's rows come from a thread
        }
        const int folderRow = folderList()->currentRow();
        press(r.key);
        settle();  // a folder's rows come from a thread
        EXPECT_EQ(focusedControl(), QString::fromLatin1(r.to));
        switch (r.effect) {
            case Effect::None:
                EXPECT_EQ(control("dirList")->isVisible(), r.layout == Brw);
                break;
            case Effect::FileRowDown:
                EXPECT_EQ(files()->listIndex(), 1);
                break;
            case Effect::FolderRowDown:
                EXPECT_EQ(folderList()->currentRow(), folderRow + 1);
                break;
            case Effect::ListsShown:
                EXPECT_TRUE(control("dirList")->isVisible());
                EXPECT_TRUE(control("driveList")->isVisible());
                break;
            case Effect::ListsHidden:
                EXPECT_FALSE(control("dirList")->isVisible());
                EXPECT_FALSE(control("driveList")->isVisible());
                break;
            case Effect::FolderUp:
                EXPECT_EQ(files()->path(), folder());
                break;
            case Effect::OpenedDeeper:
                EXPECT_EQ(files()->path(), folder() + "roms/nogames/deeper/");
                EXPECT_EQ(files()->listCount(), 1);
                break;
        }
    }
}

// A list wider than its view (many columns, a narrow window): the keys that move the focus
// never scroll it sideways, and after Shift+Right what is typed lands in the command line box.
TEST_F(KeyboardPaths, FocusKeysLeaveAWideListWhereItIs) {
    open();
    focus("Files");
    auto* view = qobject_cast<QTreeView*>(files()->currentView());
    ASSERT_NE(view, nullptr);
    // Wider than its view, as a user's widths (or a small window) make it.
    view->header()->resizeSection(0, view->viewport()->width() * 3);
    QApplication::processEvents();
    QScrollBar* bar = view->horizontalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    for (const Qt::Key k : {Qt::Key_Right, Qt::Key_Left, Qt::Key_Backspace, Qt::Key_Space}) {
        SCOPED_TRACE(QKeySequence(k).toString().toStdString());
        bar->setValue(bar->maximum() / 2);  // room to scroll either way
        press(Key{k});
        EXPECT_EQ(bar->value(), bar->maximum() / 2);
        EXPECT_EQ(focusedControl(), "Files");
        EXPECT_EQ(files()->listIndex(), 0);
    }
    press(Key{Qt::Key_Right, Shift});
    press(std::vector<Key>{{Qt::Key_A}, {Qt::Key_B}});
    EXPECT_EQ(focusedControl(), "txtCommandLine");
    EXPECT_EQ(qobject_cast<QLineEdit*>(control("txtCommandLine"))->text(), "ab");
}

}  // namespace
