// Starting the selected game, watching the emulator, and the command line box.

#include "filelist/ui/FileListView.h"
#include "launcher/PathHelpers.h"
#include "launcher/emulators/CommandLineText.h"
#include "launcher/emulators/EmulatorCatalogue.h"
#include "launcher/emulators/EmulatorSettings.h"
#include "launcher/emulators/LaunchRules.h"
#include "launcher/games/PlayHistory.h"
#include "launcher/ui/MainWindow.h"
#include "launcher/window/KeyCommands.h"
#include "launcher/window/WindowPlacement.h"
#include "platform/Dialogs.h"
#include "platform/ProcessTable.h"
#include "platform/Shell.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>

void MainWindow::launchSelectedGame() {
    if (m_ui.fileList->listIndex() == -1) return;
    const InstalledEmulator* installed = selectedInstalled();
    const QString program =
        installed ? installed->program : emulatorProgramPath(m_emu.folder, m_emu.current);
    if (program.isEmpty()) return;

    LaunchInput in;
    in.emulatorFolder = m_emu.folder;
    in.currentEmulator = m_emu.current;
    in.emulatorProgram = program;
    in.systemName = m_emu.systemName;
    in.listedFolder = m_ui.fileList->path();
    in.fileName = m_ui.fileList->fileName();
    in.commandLine = m_ui.commandLine->text();
    in.gameNumber = m_ui.title->property("Tag").toString();
    in.fileExists = [](const QString& path) { return pathExists(path); };
    LaunchPlan plan = installed ? installedLaunch(*installed, in) : composeLaunch(in);
    if (!plan.refusal.isEmpty()) {
        m_services.dialogs->messageBox(plan.refusal, platform::MessageButtons::Ok,
                                       platform::MessageIcon::Warning, kAppName);
        return;
    }
    // A program that failed to start is simply not running at the next poll, which brings
    // the window back; the message waits until then.
    watchEmulatorOutput(plan);
    if (m_services.history) m_services.history->aboutToLaunch();
    const bool started = plan.openDocument ? m_services.shell->open(plan.fileStarted)
                                           : m_services.shell->start(plan.start);
    emulatorStarted(plan, started);
    if (started && m_services.history)
        m_services.history->gameStarted(withTrailingSeparator(in.listedFolder) + in.fileName,
                                        m_emu.current);

    m_stateBeforeLaunch = windowState();
    if (leaveModeFor(QGuiApplication::platformName()) == LeaveMode::Hide)
        hide();
    else
        setWindowState(windowState() | Qt::WindowMinimized);
    m_emulatorPoll->start();
}

void MainWindow::openWithDesktop() {
    if (m_ui.fileList->listIndex() < 0) return;
    const QString name = m_ui.fileList->fileName();
    if (m_services.shell->open(withTrailingSeparator(m_ui.fileList->path()) + name)) return;
    // Otherwise the desktop's opener says so on a terminal nobody looks at.
    m_services.dialogs->messageBox(
        QStringLiteral("No program is set to open \"%1\".\n\nChoose one for files of its "
                       "type with the file manager's \"Open With\", then press Shift+Enter "
                       "again.")
            .arg(name),
        platform::MessageButtons::Ok, platform::MessageIcon::Information, kAppName);
}

void MainWindow::restoreWhenEmulatorEnds() {
    if (m_services.processes->isRunning(watchedProcess())) return;
    m_emulatorPoll->stop();
    setWindowState(m_stateBeforeLaunch);
    QCoreApplication::processEvents();
    bringToFront();
    reportEarlyEnd();
}

void MainWindow::filterByCommandLine() {
    m_ui.fileList->setPattern(patternForBoxText(listMask(), m_ui.commandLine->text()));
    m_ui.fileList->setListIndex(0);
    showFileCount();
}

void MainWindow::flashCommandLine() {
    m_ui.commandLine->selectAll();
    const QPalette normal = m_ui.commandLine->palette();
    QPalette flash = normal;
    flash.setColor(QPalette::Base, normal.color(QPalette::Highlight));
    m_ui.commandLine->setPalette(flash);
    QCoreApplication::processEvents();
    m_ui.commandLine->setPalette(normal);
    QCoreApplication::processEvents();
    m_ui.commandLine->setPalette(flash);
    QCoreApplication::processEvents();
    m_ui.commandLine->setPalette(normal);
}

bool MainWindow::handleCommandLineKey(QKeyCombination key) {
    // The folder list takes the list keys while it is shown.
    const bool folders = m_ui.folderList->isVisible();
    const auto index = [&] {
        return folders ? m_ui.folderList->currentRow() : m_ui.fileList->listIndex();
    };
    const auto count = [&] {
        return folders ? m_ui.folderList->count() : m_ui.fileList->listCount();
    };
    const auto select = [&](int i) {
        if (folders)
            m_ui.folderList->setCurrentRow(i);
        else
            m_ui.fileList->setListIndex(i);
    };
    const auto focusTarget = [&] {
        if (folders)
            m_ui.folderList->setFocus();
        else
            focusFiles();
    };
    switch (commandFor(commandLineKeys(), key)) {
        case KeyCommand::Launch:
            launchSelectedGame();
            break;
        case KeyCommand::SelectPrevious:
            if (index() > 0) select(index() - 1);
            break;
        case KeyCommand::SelectNext:
            // Past the last item there is nothing to select; the choice stays put.
            if (index() + 1 < count()) select(index() + 1);
            break;
        case KeyCommand::SelectFirst:
            select(0);
            break;
        case KeyCommand::SelectLast:
            select(count() - 1);
            break;
        case KeyCommand::ClearOrFocusTargetList:
            if (!m_ui.commandLine->text().isEmpty())
                m_ui.commandLine->clear();
            else
                focusTarget();
            break;
        case KeyCommand::FocusTargetList:
            focusTarget();
            break;
        case KeyCommand::ForwardToFileList:
            handleFileListKey(key);
            return true;
        case KeyCommand::DeleteSelectedFile:
            handleFileListKey(QKeyCombination(Qt::NoModifier, Qt::Key_Delete));
            return true;
        case KeyCommand::FocusFilesAtStart:
            if (m_ui.commandLine->cursorPosition() == 0) focusFiles();
            break;
        case KeyCommand::FocusFilesAtEnd:
            if (m_ui.commandLine->cursorPosition() >= m_ui.commandLine->text().size()) focusFiles();
            break;
        case KeyCommand::ClearText:
            m_ui.commandLine->clear();
            return true;
        default:
            break;
    }
    return false;
}
