// Start-up, one running copy, the stored settings of an emulator, and shutdown.

#include "filelist/ui/ucListView.h"
#include "launcher/emulators/EmulatorSettings.h"
#include "launcher/Module1.h"
#include "launcher/ui/formMain.h"
#include "platform/Shell.h"
#include "platform/SingleInstance.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>

bool formMain::Form_Load() {
    EmulatorFolder = AddBackslash(m_services.programFolder);
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

void formMain::Form_Unload(bool& Cancel) {
    Cancel = false;
    Busy = false;
    SaveEmulatorSettings();
}

void formMain::SaveEmulatorSettings() {
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

void formMain::Form_KeyDown(int& KeyCode, int&) {
    if (KeyCode != 123) return;
    const int W = ScaleWidth();
    PlaceShotFrame(twips(frmShot).left != W ? W : DefaultSplit(W), true);
}

void formMain::lblCredits_Click() {
    m_services.shell->open(lblCredits->toolTip());
}

void formMain::bringToFront() {
    show();
    raise();
    activateWindow();
}
