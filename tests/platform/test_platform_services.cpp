#include "platform/DesktopShell.h"
#include "platform/KeystrokeParser.h"
#include "platform/ProcProcessTable.h"
#include "platform/StorageVolumes.h"
#include "platform/ui/FocusKeystrokeSender.h"
#include "platform/ui/WidgetDialogs.h"
#include "support/QtPrinters.h"
#include "support/TempFolder.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

using platform::ProcessRecord;

TEST(ProcessMatch, ByExecutableArgvZeroOrCommandName) {
    struct Case {
        const char* what;
        QString wanted;
        ProcessRecord record;
        bool matches;
    };
    // clang-format off
    const Case cases[] = {
        {"native binary", "stella.exe", {1, "/usr/games/stella", "stella", "stella"}, true},
        {"letter case ignored", "Nestopia.exe", {1, "/usr/games/nestopia", "", ""}, true},
        {"without .exe", "stella", {1, "/usr/games/stella", "", ""}, true},
        {"wine keeps the Windows path in argv[0]", "Project64.exe",
         {1, "/usr/lib/wine/wine64-preloader", "C:\\emu\\Project64.exe", "Project64.exe"}, true},
        {"wrapper script runs under its own name", "stella.exe",
         {1, "/usr/bin/dash", "/bin/sh", "stella"}, true},
        {"long names are cut to 15 in comm", "VisualBoyAdvance.exe", {1, "", "", "VisualBoyAdvanc"},
         true},
        {"a prefix is not the program", "snes9x.exe", {1, "/usr/bin/snes9x-gtk", "", ""}, false},
        {"another program", "stella.exe", {1, "/usr/bin/z26", "z26", "z26"}, false},
        {"an unreadable process", "stella.exe", {1, "", "", ""}, false},
        {"a short comm is not a prefix", "stellax.exe", {1, "", "", "stella"}, false},
        {"wildcards", "fceu*.exe", {1, "/usr/games/fceux", "", ""}, true},
        {"an empty name matches nothing", "", {1, "/bin/x", "x", "x"}, false},
    };
    // clang-format on
    for (const Case& c : cases)
        EXPECT_EQ(platform::processMatches(c.wanted, c.record), c.matches) << c.what;
}

TEST(ProcProcessTable, ReadsAProcStyleTreeAndFindsThisVeryProcess) {
    TempFolder t;
    t.write("100/cmdline", QByteArray("C:\\emu\\zinc.exe\0-x\0", 19));
    t.write("100/comm", "zinc.exe\n");
    t.write("200/cmdline", QByteArray("/bin/sh\0/emu/stella\0", 20));
    t.write("200/comm", "stella\n");
    QFile::link("/bin/sh", t.file("200/exe"));
    t.write("self/comm", "x\n");  // not a process number
    platform::ProcProcessTable table(t.path());
    EXPECT_EQ(table.snapshot().size(), 2);
    EXPECT_TRUE(table.isRunning("ZINC.EXE"));
    EXPECT_TRUE(table.isRunning("stella.exe"));
    EXPECT_FALSE(table.isRunning("mame.exe"));

    const QString self = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    EXPECT_TRUE(platform::ProcProcessTable().isRunning(self + ".exe"));
}

TEST(DesktopShell, WindowsProgramsGoThroughWine) {
    TempFolder t;
    const QString windows = t.write("emu/Game Boy.EXE", "MZ\x90\0");
    const QString native = t.write("emu/stella.exe",
                                   "\x7f"
                                   "ELF");
    platform::ProgramStart s{windows, {"-x", "/r/a b.gb"}, "/emu", 1};
    const auto wrapped = platform::DesktopShell::resolve(s, "/usr/bin/wine");
    EXPECT_EQ(wrapped.program, "/usr/bin/wine");
    EXPECT_EQ(wrapped.arguments, (QStringList{windows, "-x", "/r/a b.gb"}));
    EXPECT_EQ(wrapped.workingFolder, "/emu");
    EXPECT_EQ(platform::DesktopShell::resolve(s, QString()).program, windows);
    s.program = native;
    EXPECT_EQ(platform::DesktopShell::resolve(s, "/usr/bin/wine").program, native);
}

TEST(KeystrokeParser, ClassicSyntax) {
    using platform::KeyStroke;
    const auto none = Qt::KeyboardModifiers();
    const auto strokes = platform::parseKeystrokes("a+b^(cd)~{F2}{DOWN 3}{+}%{ENTER}");
    ASSERT_TRUE(strokes.has_value());
    const QList<KeyStroke> expected{
        {Qt::Key_A, none, "a"},
        {Qt::Key_B, Qt::ShiftModifier, "B"},
        {Qt::Key_C, Qt::ControlModifier, ""},
        {Qt::Key_D, Qt::ControlModifier, ""},
        {Qt::Key_Return, none, "\r"},
        {Qt::Key_F2, none, ""},
        {Qt::Key_Down, none, ""},
        {Qt::Key_Down, none, ""},
        {Qt::Key_Down, none, ""},
        {Qt::Key_Plus, none, "+"},
        {Qt::Key_Return, Qt::AltModifier, "\r"},
    };
    EXPECT_EQ(*strokes, expected);
    EXPECT_EQ(platform::parseKeystrokes("{}}")->size(), 1);
    EXPECT_EQ(platform::parseKeystrokes("{{}")->first().text, "{");
    EXPECT_EQ(platform::parseKeystrokes("{~}")->first().text, "~");
    EXPECT_TRUE(platform::parseKeystrokes("")->isEmpty());
    for (const char* bad : {"{F2", "{NOPE}", "(ab", "ab)", "{DOWN x}"})
        EXPECT_FALSE(platform::parseKeystrokes(bad).has_value()) << bad;
}

TEST(StorageVolumes, RootsEndInSlashAndHoldTheirPaths) {
    platform::StorageVolumes volumes;
    const QStringList roots = volumes.roots();
    ASSERT_FALSE(roots.isEmpty());
    for (const QString& r : roots)
        EXPECT_TRUE(r.endsWith('/')) << r.toStdString();
    EXPECT_TRUE(roots.contains(volumes.rootOf(QDir::tempPath())));
}

// A widget that records the keys it gets; F9 lets pending events run in its middle, as the
// window's file commands do.
class KeyLog : public QLineEdit {
public:
    using QLineEdit::QLineEdit;
    QStringList log;
    std::function<void()> onF2;

protected:
    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_F9) {
            log << "F9 begins";
            QApplication::processEvents();
            log << "F9 ends";
            return;
        }
        if (e->key() == Qt::Key_F2 && onF2) {
            onF2();
            return;
        }
        if (e->key() == Qt::Key_Down) log << "Down";
        QLineEdit::keyPressEvent(e);
    }
};

// Each key goes where the focus is when it arrives, after the last one's handling: a key
// that came in the middle of the command before it, keys dropped while no window was
// active (just after the macro's own input box closed), and the keys after one that opens
// a dialog, which belong to the dialog, were faults; a Tab sends the rest to the next field.
TEST(FocusKeystrokeSender, EachKeyAfterTheLastOnesHandling) {
    QWidget window;
    auto* list = new KeyLog(&window);
    auto* next = new QLineEdit(&window);
    next->move(0, 40);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    list->setFocus();
    platform::FocusKeystrokeSender sender;
    EXPECT_FALSE(sender.send("{NOPE}"));
    ASSERT_TRUE(sender.send("{F9}{DOWN}"));
    EXPECT_EQ(list->log, (QStringList{"F9 begins", "F9 ends", "Down"}));

    // No active window: the keys go where the focus returns, not nowhere.
    QApplication::setActiveWindow(nullptr);
    ASSERT_EQ(QApplication::focusWidget(), nullptr);
    list->log.clear();
    list->clear();
    ASSERT_TRUE(sender.send("ab{DOWN}"));
    EXPECT_EQ(list->text(), "ab");
    EXPECT_EQ(list->log, (QStringList{"Down"}));

    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    list->setFocus();
    list->clear();
    QString answered;
    list->onF2 = [&] { answered = QInputDialog::getText(list, "Rename", "to:"); };
    ASSERT_TRUE(sender.send("{F2}new~z{TAB}+c{LEFT}d"));
    EXPECT_EQ(answered, "new");
    EXPECT_EQ(list->text(), "z");
    EXPECT_EQ(next->text(), "dC");
}

// Answers the next modal dialog as a user would, once it is up.
void answerNextDialog(std::function<void(QWidget*)> answer) {
    QTimer::singleShot(0, qApp, [answer] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal) answer(modal);
    });
}

TEST(WidgetDialogs, ButtonsIconsAndAnswers) {
    platform::WidgetDialogs dialogs;
    using platform::MessageAnswer;
    using platform::MessageButtons;
    using platform::MessageIcon;
    struct Case {
        MessageButtons buttons;
        MessageIcon icon;
        QMessageBox::StandardButton pressed;
        MessageAnswer answer;
        QMessageBox::Icon shown;
    };
    const Case cases[] = {
        {MessageButtons::OkCancel, MessageIcon::Question, QMessageBox::Cancel,
         MessageAnswer::Cancel, QMessageBox::Question},
        {MessageButtons::OkCancel, MessageIcon::Question, QMessageBox::Ok, MessageAnswer::Ok,
         QMessageBox::Question},
        {MessageButtons::YesNo, MessageIcon::None, QMessageBox::No, MessageAnswer::No,
         QMessageBox::NoIcon},
        {MessageButtons::YesNoCancel, MessageIcon::Warning, QMessageBox::Yes, MessageAnswer::Yes,
         QMessageBox::Warning},
        {MessageButtons::Ok, MessageIcon::Information, QMessageBox::Ok, MessageAnswer::Ok,
         QMessageBox::Information},
    };
    for (const Case& c : cases) {
        QMessageBox::Icon seen = QMessageBox::Critical;
        answerNextDialog([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box) return;
            seen = box->icon();
            box->button(c.pressed)->click();
        });
        EXPECT_EQ(dialogs.messageBox("Delete?", c.buttons, c.icon, "Delete File"), c.answer);
        EXPECT_EQ(seen, c.shown);
    }

    const std::optional<QString> typed[] = {QString("new name"), QString(""), std::nullopt};
    for (const auto& answer : typed) {
        answerNextDialog([&](QWidget* w) {
            auto* input = qobject_cast<QInputDialog*>(w);
            if (!input) return;
            EXPECT_EQ(input->textValue(), "old");
            if (!answer) return input->reject();
            input->setTextValue(*answer);
            input->accept();
        });
        EXPECT_EQ(dialogs.inputBox("Rename old to:", "Rename", "old"), answer);
    }
}

}  // namespace
