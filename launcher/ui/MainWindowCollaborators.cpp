// The window's collaborators made and wired: the file commands, the emulator session, the
// identification view and the pads. What they need of the window comes in as callbacks.

#include "filelist/ui/FileListView.h"
#include "launcher/PathHelpers.h"
#include "launcher/emulators/EmulatorSettings.h"
#include "launcher/games/GameTitle.h"
#include "launcher/games/Screenshots.h"
#include "launcher/ui/EmulatorSession.h"
#include "launcher/ui/FileCommands.h"
#include "launcher/ui/IdentificationView.h"
#include "launcher/ui/MainWindow.h"
#include "launcher/ui/PadInput.h"
#include "platform/FileNames.h"

#include <QLabel>
#include <QShowEvent>

void MainWindow::createCollaborators() {
    FileCommands::Host files;
    files.window = this;
    files.list = m_ui.fileList;
    files.screenshots = m_preview.screenshots.get();
    files.dialogs = m_services.dialogs;
    files.files = m_services.files;
    files.keystrokes = m_services.keystrokes;
    files.history = m_services.history;
    files.pictureFolders = [this](const QString& folder) {
        return screenshotFoldersOf(setting(QStringLiteral("screenshots"), QString()), m_emu.folder,
                                   folder);
    };
    files.refresh = [this](const QString& name) { refreshFileList(name); };
    files.patternChanged = [this] {
        m_ui.fileList->setPattern(listMask());
        showFileCount();
    };
    m_commands = std::make_unique<FileCommands>(std::move(files), this);
    connect(m_commands.get(), &FileCommands::progressChanged, this, &MainWindow::showListTip);

    EmulatorSession::Host session;
    session.window = this;
    session.shell = m_services.shell;
    session.processes = m_services.processes;
    session.dialogs = m_services.dialogs;
    session.history = m_services.history;
    session.started = [this] { rememberEmulatorOfFolder(); };
    session.bringBack = [this] { bringToFront(); };
    m_session = std::make_unique<EmulatorSession>(std::move(session), this);

    IdentificationView::Host identify;
    identify.list = m_ui.fileList;
    identify.dialogs = m_services.dialogs;
    identify.identifier = m_services.identifier;
    identify.progressChanged = [this] { showListTip(); };
    identify.selectedAnswered = [this](const QString& name) {
        m_ui.title->setToolTip(gameInfoText(name));
        m_ui.title->setAccessibleDescription(m_ui.title->toolTip());
    };
    identify.rename = [this](const QString& name, const QString& wanted,
                             FileCommands::Renamed then) {
        m_commands->renameListed(name, wanted, std::move(then));
    };
    identify.refresh = [this](const QString& name) { refreshFileList(name); };
    m_identify = std::make_unique<IdentificationView>(std::move(identify), this);

    if (!m_services.gamepads) return;
    PadInput::Host pad;
    pad.list = m_ui.fileList;
    pad.gamepads = m_services.gamepads;
    pad.keystrokes = m_services.keystrokes;
    // A game is played with the same pad: while it runs, or while another window has the
    // focus, the launcher's list must not move under the player's presses.
    pad.takesInput = [this] { return isActiveWindow() && !m_session->running(); };
    pad.tipOver = [this] { showFileCount(); };
    m_pad = std::make_unique<PadInput>(std::move(pad), this);
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) m_identify->windowShown();
}

QString MainWindow::listMask() const {
    return m_commands->listMask(m_emu.fileMask);
}

void MainWindow::refreshFileList(const QString& selectName) {
    int index = m_ui.fileList->listIndex();
    const QString selected = index >= 0 ? m_ui.fileList->fileName() : QString();
    m_ui.fileList->refresh();
    // Read in the background: the list shows the folder's last reading until the names
    // come, and the game is chosen again then.
    if (m_ui.fileList->folderList().reading() && !m_ui.fileList->folderList().namesKnown())
        m_folders.selectWhenListed = selectName.isEmpty() ? selected : selectName;
    showFileCount();
    const int count = m_ui.fileList->listCount();
    if (!m_commands->macroRunning() && !selectName.isEmpty()) {
        const QString wanted = platform::foldName(selectName);
        for (int i = 0; i < count; ++i) {
            if (platform::foldName(m_ui.fileList->list(i)) == wanted) {
                index = i;
                break;
            }
        }
    }
    // After the last row was deleted the row before it takes its place.
    if (index >= count) index = count - 1;
    m_ui.fileList->setListIndex(index);
}

QString MainWindow::gameInfoText(const QString& fileName) const {
    // The date and size as the preview's thread found them: asked here, they could keep
    // the window waiting on a share that no longer answers.
    QString info = m_preview.infoOf == withTrailingSeparator(m_ui.fileList->path()) + fileName
                       ? m_preview.info
                       : QString();
    if (const QString missing = m_ui.fileList->model().incompleteSetText(fileName);
        !missing.isEmpty())
        info = info.isEmpty() ? missing : info + QLatin1Char('\n') + missing;
    const QString identified = m_identify->describe(fileName);
    if (identified.isEmpty()) return info;
    return info.isEmpty() ? identified : info + QLatin1Char('\n') + identified;
}
