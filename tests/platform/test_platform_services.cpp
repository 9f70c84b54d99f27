#include "platform/Descendants.h"
#include "platform/DesktopHandlers.h"
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

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>

namespace {

using platform::ProcessRecord;

TEST(ProcessMatch, ByExecutableArgvZeroOrCommandName) {
    const struct {
        const char* what;
        QString wanted;
        ProcessRecord record;
        bool matches;
        // clang-format off
    } cases[] = {
        {"native binary", "stella.exe", {1, "/usr/games/stella", "stella", "stella"}, true},
        {"letter case ignored", "Nestopia.exe", {1, "/usr/games/nestopia", "", ""}, true},
        {"without .exe", "stella", {1, "/usr/games/stella", "", ""}, true},
        {"wine keeps the Windows path in argv[0]", "Project64.exe",
         {1, "/usr/lib/wine/wine64-preloader", "C:\\emu\\Project64.exe", "Project64.exe"}, true},
        {"wrapper script runs under its own name", "stella.exe", {1, "/usr/bin/dash", "/bin/sh", "stella"}, true},
        {"long names are cut to 15 in comm", "VisualBoyAdvance.exe", {1, "", "", "VisualBoyAdvanc"}, true},
        {"a short comm is no cut name", "VisualBoyAdvance.exe", {1, "", "", "Visual"}, false},
        {"a prefix is not the program", "snes9x.exe", {1, "/usr/bin/snes9x-gtk", "", ""}, false},
        {"another program", "stella.exe", {1, "/usr/bin/z26", "z26", "z26"}, false},
        {"an unreadable process", "stella.exe", {1, "", "", ""}, false},
        {"a short comm is not a prefix", "stellax.exe", {1, "", "", "stella"}, false},
        {"wildcards", "fceu*.exe", {1, "/usr/games/fceux", "", ""}, true},
        {"an empty name matches nothing", "", {1, "/bin/x", "x", "x"}, false},
    };
    // clang-format on
    for (const auto& c : cases)
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

    const QString self = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    EXPECT_TRUE(platform::ProcProcessTable().isRunning(self + ".exe"));
}

TEST(DesktopShell, WindowsProgramsGoThroughWine) {
    TempFolder t;
    const QString windows = t.write("emu/Game Boy.EXE", "MZ\x90\0");
    const QString native = t.write("emu/stella.exe", "\x7f\x45LF");  // ELF
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
    const KeyStroke down{Qt::Key_Down, none, ""};
    // clang-format off
    const QList<KeyStroke> expected{
        {Qt::Key_A, none, "a"}, {Qt::Key_B, Qt::ShiftModifier, "B"},
        {Qt::Key_C, Qt::ControlModifier, ""}, {Qt::Key_D, Qt::ControlModifier, ""},
        {Qt::Key_Return, none, "\r"}, {Qt::Key_F2, none, ""}, down, down, down,
        {Qt::Key_Plus, none, "+"}, {Qt::Key_Return, Qt::AltModifier, "\r"}};
    // clang-format on
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

// Records the keys it gets; F9 runs pending events in its middle, as file commands do.
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
        } else if (e->key() == Qt::Key_F2 && onF2) {
            onF2();
        } else {
            if (e->key() == Qt::Key_Down) log << "Down";
            QLineEdit::keyPressEvent(e);
        }
    }
};

// Each key goes where the focus is once the last one is handled, also with no active window.
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
    using Box = QMessageBox;
    const struct {
        MessageButtons buttons;
        MessageIcon icon;
        Box::StandardButton pressed;
        MessageAnswer answer;
        Box::Icon shown;
        // clang-format off
    } cases[] = {
        {MessageButtons::OkCancel, MessageIcon::Question, Box::Cancel, MessageAnswer::Cancel, Box::Question},
        {MessageButtons::OkCancel, MessageIcon::Question, Box::Ok, MessageAnswer::Ok, Box::Question},
        {MessageButtons::YesNo, MessageIcon::None, Box::No, MessageAnswer::No, Box::NoIcon},
        {MessageButtons::YesNoCancel, MessageIcon::Warning, Box::Yes, MessageAnswer::Yes, Box::Warning},
        {MessageButtons::Ok, MessageIcon::Information, Box::Ok, MessageAnswer::Ok, Box::Information}};
    // clang-format on
    for (const auto& c : cases) {
        Box::Icon seen = Box::Critical;
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

// A real mount table: "/" always there and first; a label only when it is not the path.
TEST(DrivesOf, KeepsRealAndRemovableVolumesOnlyRootFirst) {
    EXPECT_EQ(platform::drivesOf({}), (QList<platform::Drive>{{"/", ""}}));
    const struct {
        platform::MountedVolume volume;
        const char* label;  // nullptr: left out
        // clang-format off
    } cases[] = {
        {{"/proc", "/proc", "proc"}, nullptr}, {{"/dev/shm", "/dev/shm", "tmpfs"}, nullptr},
        {{"/sys/fs/cgroup", "/sys/fs/cgroup", "cgroup2"}, nullptr},
        {{"/run/user/1000", "/run/user/1000", "tmpfs"}, nullptr},
        {{"/run/user/1000/doc", "/run/user/1000/doc", "fuse.portal"}, nullptr},
        {{"/run/lock", "/run/lock", "ext4"}, nullptr}, {{"/tmp", "/tmp", "tmpfs"}, nullptr},
        {{"/snap/core22/1122", "/snap/core22/1122", "squashfs"}, nullptr},
        {{"/tmp/.mount_AppXyz", "/tmp/.mount_AppXyz", "fuse.appimagekit"}, nullptr},
        {{"/boot/efi", "/boot/efi", "vfat"}, nullptr},
        {{"/etc/hosts", "/etc/hosts", "ext4", true, false}, nullptr},
        {{"/media/ann/OLD", "OLD", "vfat", false}, nullptr}, {{"/home", "/home", "btrfs"}, ""},
        {{"/media/ann/GAMES/", "GAMES", "exfat"}, "GAMES"}, {{"/run/media/ann/USB", "USB", "vfat"}, "USB"},
        {{"/mnt/nas", "/mnt/nas", "cifs"}, ""},
        {{"/mnt/nas", "/mnt/nas", "nfs4"}, nullptr},  // the same root stacked: once
        {{"/", "system", "overlay"}, "system"}};
    // clang-format on
    QList<platform::MountedVolume> table;
    QList<platform::Drive> wanted;
    for (const auto& c : cases) {
        table << c.volume;
        const QString& root = c.volume.root;
        if (c.label) wanted << platform::Drive{root.endsWith('/') ? root : root + '/', c.label};
    }
    std::sort(wanted.begin(), wanted.end(),
              [](const platform::Drive& a, const platform::Drive& b) { return a.root < b.root; });
    EXPECT_EQ(platform::drivesOf(table), wanted);
}

using platform::HandlerAnswer;

// The associations of every mimeapps.list and the applications' declared types, as XDG's.
TEST(DesktopHandlers, AssociationsAndDeclaredTypesAnswer) {
    // Below the one config folder and the two data folders.
    const QString data1 = "data1/applications/mimeinfo.cache",
                  data2 = "data2/applications/mimeinfo.cache", list = "config/mimeapps.list",
                  mime = "[MIME Cache]\n", rom = "application/x-nes-rom",
                  fceux = rom + "=fceux.desktop", text = "text/plain=editor.desktop;\n";
    using enum HandlerAnswer;
    const struct {
        const char* what;
        HandlerAnswer answer;
        QStringList types;
        QMap<QString, QString> files;
        // clang-format off
    } cases[] = {
        {"no cache anywhere: cannot tell", Unknown, {rom}, {}},
        {"declared by an application", Some, {rom}, {{data2, mime + rom + "=mednafen.desktop;\n"}}},
        {"declared for another type only", None, {rom, "application/octet-stream"},
         {{data2, mime + text}}},
        {"an ancestor of the name's type serves", Some,
         platform::typesOfFileName("/games/notes.c"), {{data2, mime + text}}},
        {"the user's default", Some, {rom},
         {{data1, mime}, {list, "[Default Applications]\n" + fceux + "\n"}}},
        {"a desktop's own list", Some, {rom},
         {{data1, mime}, {"config/xfce-mimeapps.list", "[Added Associations]\n" + fceux + ";\n"}}},
        {"an empty entry and a removed one name no program", None, {rom},
         {{data1, mime + rom + "=\n"}, {list, "[Removed Associations]\n" + fceux + ";\n"}}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder t;
        for (auto it = c.files.begin(); it != c.files.end(); ++it)
            t.write(it.key(), it.value().toUtf8());
        const platform::AssociationFolders where{
            {t.mkdir("config")}, {t.mkdir("data1"), t.mkdir("data2")}, {"xfce"}};
        EXPECT_EQ(platform::desktopHandlerFor(c.types, where), c.answer);
    }
}

struct Proc {
    int pid;
    int parent;
    char state;
    const char* command = "sh";
};

// A /proc of a few processes; the launcher is pid 100.
QString fakeProc(TempFolder& t, const std::vector<Proc>& table) {
    for (const Proc& p : table)
        t.write(QStringLiteral("proc/%1/stat").arg(p.pid),
                QStringLiteral("%1 (%2) %3 %4 1 1 0 -1\n")
                    .arg(p.pid)
                    .arg(QString::fromLatin1(p.command))
                    .arg(QChar::fromLatin1(p.state))
                    .arg(p.parent)
                    .toUtf8());
    t.write(QStringLiteral("proc/self"), "not a process");
    return t.file(QStringLiteral("proc"));
}
}  // namespace

// The play lasts while anything below the launcher runs, whoever its parent is now.
TEST(Descendants, AnyLiveProcessBelowTheLauncherCounts) {
    const struct {
        const char* name;
        std::vector<Proc> table;
        bool running;
        // clang-format off
    } cases[] = {
        {"nothing started", {{100, 1, 'S'}, {200, 1, 'R'}}, false},
        {"the emulator runs", {{100, 1, 'S'}, {101, 100, 'S'}}, true},
        {"the emulator ended, not yet reaped", {{100, 1, 'S'}, {101, 100, 'Z'}}, false},
        {"its child runs on below it", {{100, 1, 'S'}, {101, 100, 'Z'}, {102, 101, 'R'}}, true},
        {"an orphan handed to the launcher", {{100, 1, 'S'}, {103, 100, 'S'}}, true},
        {"a grandchild of a grandchild", {{100, 1, 'S'}, {101, 100, 'S'}, {102, 101, 'S'}, {104, 102, 'D'}}, true},
        {"someone else's program", {{100, 1, 'S'}, {300, 200, 'R'}, {200, 1, 'S'}}, false},
        {"a command with spaces and parentheses", {{100, 1, 'S'}, {101, 100, 'S', "wine ) (x"}}, true},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder t;
        platform::ProcDescendants follower(fakeProc(t, c.table), 100);
        EXPECT_EQ(follower.anyRunning(), c.running);
    }
}

// What runs when a game starts (a picture viewer...) never keeps its play going.
TEST(Descendants, WhatRanBeforeTheGameIsSetAside) {
    TempFolder t;
    const QString proc = fakeProc(t, {{100, 1, 'S'}, {150, 100, 'S'}, {151, 150, 'S'}});
    platform::ProcDescendants follower(proc, 100);
    ASSERT_TRUE(follower.anyRunning());
    follower.setAsideRunning();
    EXPECT_FALSE(follower.anyRunning());
    fakeProc(t, {{101, 100, 'S'}, {152, 151, 'S'}});  // the game; the viewer's new child
    EXPECT_TRUE(follower.anyRunning());
    fakeProc(t, {{101, 100, 'Z'}});  // the game ends, the viewer stays open
    EXPECT_FALSE(follower.anyRunning());
    // The next start sets aside only what runs then: an ended number may be the new game's.
    for (const char* ended : {"150", "151", "152"})
        QFile::remove(t.file(QStringLiteral("proc/%1/stat").arg(ended)));
    follower.setAsideRunning();
    fakeProc(t, {{150, 100, 'S'}});
    EXPECT_TRUE(follower.anyRunning());
}

// A real child runs while it waits; ended, it is reaped, not left a zombie that runs.
TEST(Descendants, AnEndedChildIsReapedAndNoLongerRuns) {
    int gate[2];
    ASSERT_EQ(::pipe(gate), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(gate[1]);
        char c;
        while (::read(gate[0], &c, 1) > 0) {
        }
        ::_exit(0);
    }
    ::close(gate[0]);
    platform::ProcDescendants follower;
    EXPECT_TRUE(follower.anyRunning());
    ::close(gate[1]);  // the child ends now
    siginfo_t info{};
    // Waits for its end but leaves it a zombie, for the follower to find.
    ASSERT_EQ(::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT), 0);
    EXPECT_FALSE(follower.anyRunning());
    // Reaped by the follower: nothing is left to wait for.
    EXPECT_EQ(::waitpid(child, nullptr, WNOHANG), -1);
}
