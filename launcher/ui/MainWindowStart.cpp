// Start-up, one running copy, the stored settings of an emulator, and shutdown.

#include "filelist/FolderPrefetch.h"
#include "filelist/ui/FileListView.h"
#include "launcher/PathHelpers.h"
#include "launcher/emulators/EmulatorSettings.h"
#include "launcher/games/Screenshots.h"
#include "launcher/ui/MainWindow.h"
#include "launcher/window/StartFolder.h"
#include "launcher/window/WindowPlacement.h"
#include "platform/Shell.h"
#include "platform/SingleInstance.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>

bool MainWindow::start() {
    m_emu.folder = withTrailingSeparator(m_services.programFolder);
    layOutControls();
    m_ui.fileList->initializeSmallIcons();
    m_ui.fileList->addSmallIcon(windowIcon());
    const QStringList problems = findInstalledEmulators();
    if (FolderPrefetch* readAhead = std::exchange(m_services.readAhead, nullptr)) {
        m_ui.fileList->folderList().readAheadFrom(readAhead);
        m_preview.screenshots->readAheadFrom(readAhead);
        scanEmulators();
        m_ui.fileList->folderList().readAheadFrom(nullptr);
        m_preview.screenshots->readAheadFrom(nullptr);
        readAhead->release();
    } else {
        scanEmulators();
    }
    m_hidePattern = QStringLiteral("*[b?].*");

    const QString caption = windowTitle();
    if (m_services.singleInstance->anotherIsRunning(caption)) {
        setWindowTitle(QStringLiteral("~"));
        return false;
    }
    // A later copy comes to this one only when it built the very same caption.
    m_services.singleInstance->listen([this](const QString& theirs) {
        const QString token = m_services.singleInstance->handedActivationToken();
        // A copy given a folder hands it over; this window takes it up.
        if (const std::optional<QString> folder = handedFolder(theirs))
            switchEmulatorFolder(*folder, token);
        else if (theirs == windowTitle())
            bringToFront(token);
    });
    reportUserEmulatorProblems(problems);
    return true;
}

void MainWindow::prepareToClose() {
    // A duplicate search ends with the window, after the file operation under way.
    stopDuplicateRun();
    saveEmulatorSettings();
    rememberEmulatorOfFolder();
}

void MainWindow::saveEmulatorSettings() {
    if (m_emu.current.isEmpty()) return;
    EmulatorSettingsState s;
    s.commandLine = m_ui.commandLine->text();
    s.listIndex = m_ui.fileList->listIndex();
    s.romsFolder = m_ui.fileList->path();
    s.windowVisible = isVisible();
    s.shotLeft = twips(m_ui.previewFrame).left;
    if (const QScreen* sc = screen()) {
        s.screenWidth = toTwips(sc->geometry().width());
        s.screenHeight = toTwips(sc->geometry().height());
    }
    s.windowWidth = toTwips(width());
    s.windowHeight = toTwips(height());
    s.maximized = windowState() & Qt::WindowMaximized;
    for (const auto& [key, value] : emulatorSettingsToSave(s))
        saveSetting(key, value);
}

void MainWindow::togglePreviewPanel() {
    const int W = innerWidth();
    placePreviewFrame(twips(m_ui.previewFrame).left != W ? W : defaultSplit(W), true);
}

void MainWindow::bringToFront(const QString& activationToken) {
    if (leaveModeFor(QGuiApplication::platformName()) == LeaveMode::Minimise) {
        show();
        raise();
        activateWindow();
        return;
    }
    // Wayland: a compositor brings a window forward only with a token of the user's last
    // action. Without one, a window shown anew is put in front, as every new window is.
    if (activationToken.isEmpty() && isVisible() && !isActiveWindow()) hide();
    show();
    raise();
    // Qt's Wayland plugin hands this variable's token to the compositor when asked to
    // activate; it must not stay behind for the emulators started later.
    if (!activationToken.isEmpty()) qputenv("XDG_ACTIVATION_TOKEN", activationToken.toLatin1());
    activateWindow();
    qunsetenv("XDG_ACTIVATION_TOKEN");
}
