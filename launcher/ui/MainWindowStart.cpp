// Start-up, one running copy, the stored settings of an emulator, and shutdown.

#include "filelist/ui/FileListView.h"
#include "launcher/PathHelpers.h"
#include "launcher/emulators/EmulatorSettings.h"
#include "launcher/ui/MainWindow.h"
#include "platform/Shell.h"
#include "platform/SingleInstance.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>

bool MainWindow::Form_Load() {
    EmulatorFolder = withTrailingSeparator(m_services.programFolder);
    Form_Resize();
    Files->InitializeImageListSmall();
    Files->ImageListSmall_AddIcon(windowIcon());
    ScanEmulators();
    HidePattern = QStringLiteral("*[b?].*");

    const QString caption = windowTitle();
    if (m_services.singleInstance->anotherIsRunning(caption)) {
        setWindowTitle(QStringLiteral("~"));
        return false;
    }
    // A later copy comes to this one only when it built the very same caption.
    m_services.singleInstance->listen([this](const QString& theirs) {
        if (theirs == windowTitle()) bringToFront();
    });
    return true;
}

void MainWindow::Form_Unload(bool& Cancel) {
    Cancel = false;
    // A duplicate search ends with the window, after the file operation under way.
    stopDuplicateRun();
    SaveEmulatorSettings();
}

void MainWindow::SaveEmulatorSettings() {
    if (CurrentEmulator.isEmpty()) return;
    EmulatorSettingsState s;
    s.commandLine = txtCommandLine->text();
    s.listIndex = Files->ListIndex();
    s.romsFolder = Files->path();
    s.windowVisible = isVisible();
    s.shotLeft = twips(frmShot).left;
    if (const QScreen* sc = screen()) {
        s.screenWidth = toTwips(sc->geometry().width());
        s.screenHeight = toTwips(sc->geometry().height());
    }
    s.windowWidth = toTwips(width());
    s.windowHeight = toTwips(height());
    s.maximized = windowState() & Qt::WindowMaximized;
    for (const auto& [key, value] : EmulatorSettingsToSave(s))
        saveSetting(key, value);
}

void MainWindow::Form_KeyDown(int& KeyCode, int&) {
    if (KeyCode != 123) return;
    const int W = ScaleWidth();
    PlaceShotFrame(twips(frmShot).left != W ? W : DefaultSplit(W), true);
}

void MainWindow::lblCredits_Click() {
    m_services.shell->open(lblCredits->toolTip());
}

void MainWindow::bringToFront() {
    show();
    raise();
    activateWindow();
}
