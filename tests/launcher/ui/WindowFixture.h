#pragma once

// A launcher window over a real temporary emulator folder and a temporary settings file,
// with recording fakes for everything that would reach outside the test.

#include "filelist/ui/FileListView.h"
#include "launcher/ui/MainWindow.h"
#include "launcher/ui/PictureBox.h"
#include "launcher/ui/WindowServices.h"
#include "platform/Descendants.h"
#include "platform/FileOperations.h"
#include "platform/SettingsStore.h"
#include "support/Fakes.h"
#include "support/QtPrinters.h"
#include "support/TempFolder.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

// `text` holds `part` (`begins`: at its start); a failure shows the whole text.
inline ::testing::AssertionResult found(bool yes, const QString& text, const QString& part) {
    return (yes ? ::testing::AssertionSuccess() : ::testing::AssertionFailure())
           << '"' << text.toStdString() << (yes ? "\" holds \"" : "\" lacks \"")
           << part.toStdString() << '"';
}
inline ::testing::AssertionResult holds(const QString& text, const QString& part) {
    return found(text.contains(part), text, part);
}
inline ::testing::AssertionResult begins(const QString& text, const QString& part) {
    return found(text.startsWith(part), text, part);
}

// Keeps the order of every read and write, so tests can check what happened first.
class RecordingSettings : public platform::SettingsStore {
public:
    explicit RecordingSettings(const QString& folder) : m_ini(folder) {}
    QString getSetting(const QString& app, const QString& section, const QString& key,
                       const QString& defaultValue) const override {
        log.append(QStringLiteral("get %1 %2").arg(section, key));
        return m_ini.getSetting(app, section, key, defaultValue);
    }
    void saveSetting(const QString& app, const QString& section, const QString& key,
                     const QString& value) override {
        log.append(QStringLiteral("set %1 %2=%3").arg(section, key, value));
        m_ini.saveSetting(app, section, key, value);
    }
    bool sync() override { return m_ini.sync(); }
    QString file() const { return m_ini.fileFor(QStringLiteral("Rombard")); }
    // Removes the settings file, as a first start finds none.
    void forget() {
        QFile::remove(file());
        m_ini.sync();
    }
    // Stores without leaving a trace in the log.
    void preset(const QString& section, const QString& key, const QString& value) {
        m_ini.saveSetting(QStringLiteral("Rombard"), section, key, value);
    }
    QStringList writes() const { return log.filter(QStringLiteral("set ")); }

    mutable QStringList log;

private:
    platform::IniSettingsStore m_ini;
};

// A play history's process table in which nothing runs.
class NothingRuns final : public platform::ProcessFollower {
public:
    bool anyRunning() override { return false; }
};

class WindowTest : public ::testing::Test {
protected:
    enum class Shown { No, Yes, Active };
    WindowTest() : settings(config.path()) {}
    ~WindowTest() override { window.reset(); }

    QString folder() const { return emu.path() + QLatin1Char('/'); }
    // A native program for the catalogue name `name` + ".exe", in `in` or the emulator folder.
    QString program(const QString& name, TempFolder* in = nullptr,
                    const QByteArray& script = "#!/bin/sh\n") {
        const QString path = (in ? *in : emu).write(name, script);
        QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
        return path;
    }
    void roms(const QStringList& names) {
        for (const QString& name : names)
            emu.write(QStringLiteral("roms/") + name, "x");
    }
    // The window over `emulator` and roms holding `names`, started.
    MainWindow& startWith(const QString& emulator, const QStringList& names,
                          Shown shown = Shown::No) {
        program(emulator);
        roms(names);
        return start(shown);
    }

    // The window over the fakes and the fixture's choices; `realShell` and `programFolder`
    // replace the fake shell and the temporary emulator folder.
    MainWindow& create(platform::Shell* realShell = nullptr, const QString& programFolder = {}) {
        MainWindowServices s = windowServicesOf(
            {&settings, realShell ? realShell : &shell, processTable ? processTable : &processes,
             dialogService, keystrokeSender, &volumes, &single, fileOperations},
            programFolder.isEmpty() ? emu.path() : programFolder);
        s.gamepads = gamepads;
        s.history = history;
        s.identifier = identifier;
        s.readAhead = readAhead;
        s.readsFoldersInBackground = readsFoldersInBackground;
        s.installed = installedSearch;
        s.dpi = 96;  // 15 twips to the pixel
        window = std::make_unique<MainWindow>(s);
        return *window;
    }
    MainWindow& start(Shown shown = Shown::No) {
        create();
        EXPECT_TRUE(window->start());
        if (shown != Shown::No) window->show();
        if (shown == Shown::Active) activate();
        settle();
        return *window;
    }
    // The offscreen platform activates no window by itself; a window manager would.
    void activate(QWidget* w = nullptr) {
        if (!w) w = window.get();
        QApplication::setActiveWindow(w);
        EXPECT_TRUE(QTest::qWaitForWindowActive(w));
    }
    // Lets the window's thread run until what the preview and folder lists look up has come.
    void settle() {
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return !window->picturePending() && !window->folderListsPending(); }, 5000));
    }
    // Nestopia over roms holding `names` (each its name as content), all listed, the first chosen.
    MainWindow& openRoms(const QStringList& names) {
        program(QStringLiteral("Nestopia"));
        for (const QString& n : names)
            emu.write("roms/" + n, n.toUtf8());
        start(Shown::Active);
        listAll();
        files()->setListIndex(0);
        return *window;
    }
    // Every file of roms listed, whatever the emulator's mask.
    void listAll() {
        files()->setPattern(QStringLiteral("*.*"));
        files()->setPath(emu.file("roms"));
        files()->refresh();
    }
    // The window's controls, found by their object names as a user's tools would.
    template <class T>
    T* control(const char* name) const {
        T* found = window->findChild<T*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    FileListView* files() const { return control<FileListView>("Files"); }
    QLineEdit* commandLine() const { return control<QLineEdit>("txtCommandLine"); }
    QComboBox* emulatorBox() const { return control<QComboBox>("cmbEmu"); }
    QComboBox* driveList() const { return control<QComboBox>("driveList"); }
    QListWidget* folderList() const { return control<QListWidget>("dirList"); }
    QPushButton* browseButton() const { return control<QPushButton>("btnBrowse"); }
    QFrame* previewFrame() const { return control<QFrame>("frmShot"); }
    PictureBox* picture() const { return control<PictureBox>("imgShot"); }
    QLabel* title() const { return control<QLabel>("lblTitle"); }

    // Enter on the file list, as a user launches the selected game.
    void launch() { QTest::keyClick(files()->currentView(), Qt::Key_Return); }
    // Lets the poll for a launched emulator run once, without waiting its interval.
    QTimer* emulatorPoll() const { return control<QTimer>("emulatorPoll"); }
    void pollOnce() {
        ASSERT_TRUE(emulatorPoll()->isActive());
        emulatorPoll()->setInterval(1);
        const qsizetype before = processes.queries.size();
        ASSERT_TRUE(QTest::qWaitFor([&] { return processes.queries.size() > before; }));
        QApplication::processEvents();
    }

    QStringList items() const {
        QStringList out;
        for (int i = 0; i < emulatorBox()->count(); ++i)
            out << QStringLiteral("%1:%2").arg(emulatorBox()->itemText(i),
                                               emulatorBox()->itemData(i).toString());
        return out;
    }

    // The names in the file list, in its order.
    QStringList listed() const {
        QStringList out;
        for (int i = 0; i < files()->listCount(); ++i)
            out << files()->list(i);
        return out;
    }
    // The row of `name` selected, as a click would.
    void select(const QString& name) { files()->setListIndex(listed().indexOf(name)); }
    // `key` pressed on the file list, focused first, as the user presses it.
    void press(Qt::Key key, Qt::KeyboardModifiers held = Qt::NoModifier) {
        files()->setFocus();
        QApplication::processEvents();
        QTest::keyClick(QApplication::focusWidget(), key, held);
        QApplication::processEvents();
        commandsDone();
    }
    // Lets the window's thread run until the file command's thread is through.
    void commandsDone() {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !window->fileCommandPending(); }, 5000));
    }
    static QWidget* focused() { return QApplication::focusWidget(); }
    // The texts of the messages shown, in order.
    QStringList said() const {
        QStringList out;
        for (const fakes::FakeDialogs::Message& m : dialogs.messages)
            out << m.text;
        return out;
    }
    bool onFiles() const { return files()->isAncestorOf(focused()); }
    // `key` pressed on whatever has the focus now, as a keyboard sends it.
    static void pressHere(Qt::Key key, Qt::KeyboardModifiers held = Qt::NoModifier) {
        QWidget* target = focused();
        ASSERT_NE(target, nullptr);
        QTest::keyClick(target, key, held);
    }
    // The files of the roms folder, by name.
    QStringList onDisk(QDir::Filters also = {}) const {
        return QDir(emu.file("roms")).entryList(QDir::Files | also, QDir::Name);
    }
    QStringList trashed() const {
        return QDir(trashHome.file("Trash/files")).entryList(QDir::Files, QDir::Name);
    }
    // Lets the window's thread run until F7's or F8's `count`-th message has been shown.
    void waitForMessages(qsizetype count) {
        while (dialogs.messages.size() < count)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    // A mouse event at (x, 10) of `w`; presses and releases are of the left button.
    static void mouse(QWidget* w, QEvent::Type type, int x, Qt::MouseButtons buttons) {
        const QPointF at(x, 10);
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent e(type, at, w->mapToGlobal(at), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }

    TempFolder emu;
    TempFolder config;
    RecordingSettings settings;
    fakes::FakeShell shell;
    fakes::FakeProcessTable processes;
    fakes::FakeDialogs dialogs;
    fakes::FakeKeystrokeSender keystrokes;
    fakes::FakeVolumes volumes;
    fakes::FakeSingleInstance single;
    // Where installed emulators and emulators.conf are looked for: nowhere unless set.
    InstalledSearch installedSearch;
    TempFolder trashHome;  // the window's trash is its "Trash" folder, never the user's
    platform::LocalFileOperations localFiles{platform::TrashPlaces{trashHome.file("Trash"), false}};
    // What the window is given instead of the fakes (a real process table, dialogs that act
    // as a real box does, a real sender...) or besides them, when set before create().
    platform::ProcessTable* processTable = nullptr;
    platform::Dialogs* dialogService = &dialogs;
    platform::KeystrokeSender* keystrokeSender = &keystrokes;
    platform::FileOperations* fileOperations = &localFiles;
    platform::Gamepads* gamepads = nullptr;
    PlayHistory* history = nullptr;
    std::function<std::unique_ptr<identify::FolderIdentifier>()> identifier;  // checksums
    FolderPrefetch* readAhead = nullptr;  // the games folder read ahead
    bool readsFoldersInBackground = false;
    std::unique_ptr<MainWindow> window;
};
