// Which emulators the folder holds, choosing one, and the folder of games it lists.

#include "filelist/ui/FileListView.h"
#include "launcher/PathHelpers.h"
#include "launcher/emulators/EmulatorCatalogue.h"
#include "launcher/emulators/EmulatorSettings.h"
#include "launcher/emulators/SystemProfile.h"
#include "launcher/ui/MainWindow.h"
#include "launcher/ui/PictureBox.h"
#include "launcher/window/WindowPlacement.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QSignalBlocker>

namespace {
constexpr int kFirstCode = 1;
constexpr int kLastCode = 14;

// The available area of every screen, in pixels.
DesktopArea desktopArea() {
    DesktopArea desktop;
    const QList<QScreen*> screens = QGuiApplication::screens();
    for (const QScreen* sc : screens) {
        const QRect r = sc->availableGeometry();
        desktop.screens.append({r.x(), r.y(), r.width(), r.height()});
    }
    desktop.primary = static_cast<int>(screens.indexOf(QGuiApplication::primaryScreen()));
    return desktop;
}
}  // namespace

void MainWindow::ScanEmulators() {
    const QList<FoundEmulator> found = ScanCatalogue(EmulatorFolder);
    {
        // Filling the box must not select anything on the way.
        const QSignalBlocker quiet(cmbEmu);
        cmbEmu->clear();
        for (const FoundEmulator& f : found)
            cmbEmu->addItem(f.name, f.code);
        cmbEmu->setCurrentIndex(-1);
    }
    ResetPreview();
    if (!found.isEmpty()) {
        cmbEmu->setCurrentIndex(0);  // runs cmbEmu_Click
        restorePlacement();
    } else {
        CurrentEmulator.clear();
        // The list stays on the folder searched; never on the list's stored start folder
        // (the root), whose files have nothing to do with any emulator.
        Files->setPath(EmulatorFolder);
    }
    cmbEmu->setEnabled(!found.isEmpty());
    Files->setEnabled(!found.isEmpty());
    txtCommandLine->setEnabled(!found.isEmpty());
}

void MainWindow::restorePlacement() {
    const QScreen* sc = screen();
    const int screenW = sc ? toTwips(sc->geometry().width()) : 0;
    const int screenH = sc ? toTwips(sc->geometry().height()) : 0;
    const int w = toTwips(width()), h = toTwips(height());
    const auto left = ReadWholeNumber(setting("Left", QString::number((screenW - w) / 2)));
    const auto top = ReadWholeNumber(setting("Top", QString::number((screenH - h) / 2)));
    const auto width = ReadWholeNumber(setting("Width", QString::number(w)));
    const auto height = ReadWholeNumber(setting("Height", QString::number(h)));
    if (left && top && width && height) {
        // The stored values may come from another monitor or a damaged file: the window
        // must fit the screen and be on one. A size of nothing is not applied at all.
        const TwipRect pixels{toPixels(*left), toPixels(*top), toPixels(*width), toPixels(*height)};
        if (const auto shown = PlaceOnDesktop(pixels, desktopArea())) {
            move(shown->left, shown->top);
            resize(shown->width, shown->height);
        }
    }
    if (ReadFlag(setting("Maximized", QStringLiteral("False"))).value_or(false))
        setWindowState(windowState() | Qt::WindowMaximized);
}

void MainWindow::cmbEmu_Click() {
    if (!CurrentEmulator.isEmpty()) SaveEmulatorSettings();
    CurrentEmulator = cmbEmu->currentText();
    SystemName.clear();
    FileMask = QStringLiteral("*.zip");
    bool ok = false;
    int code = cmbEmu->currentData().toInt(&ok);
    if (!ok) code = 0;
    const SystemProfile profile = ProfileOf(code);
    SystemName = profile.name;
    FileMask = profile.mask;
    if (code < kFirstCode || code > kLastCode) {
        // An entry of no known system stands for a generic emulator program.
        if (!EmulatorProgram(EmulatorFolder, QStringLiteral("emulator.exe")).isEmpty()) {
            CurrentEmulator = QStringLiteral("emulator.exe");
        } else {
            CurrentEmulator = FirstWindowsProgram(EmulatorFolder);
        }
    }
    setWindowTitle(QLatin1Char('[') + withExtension(CurrentEmulator, QString()) +
                   QStringLiteral("] ") + SystemName + kCaptionSuffix);
    txtCommandLine->setText(setting(QStringLiteral("cmdline"), QString()));
    Files->setPattern(FileMask);
    SelectRomFolder(EmulatorFolder + QStringLiteral("roms"));
    if (Files->ListIndex() < 0) Files->setListIndex(0);
    Files->setListIndex(
        LeadingWholeNumber(setting(QStringLiteral("file"), QString::number(Files->ListIndex()))));
}

void MainWindow::SelectRomFolder(const QString& folder) {
    Files->setPath(folder);
    if (Files->ListCount() == 0)
        Files->setPath(setting(QStringLiteral("roms"), EmulatorFolder + QStringLiteral("roms")));
    if (Files->ListCount() == 0) Files->setPath(EmulatorFolder + QStringLiteral("roms"));
    if (Files->ListCount() == 0) Files->setPath(EmulatorFolder);
    if (cmbEmu->count() == 0 && Files->ListCount() >= 1) {
        // Game files where no emulator is known: that folder becomes the emulator folder.
        EmulatorFolder = parentFolderOf(Files->path());
        ScanEmulators();
    }
    showFileCount();
}

void MainWindow::cmbEmu_KeyDown(int& KeyCode, int&) {
    switch (KeyCode) {
        case 13:
            LaunchSelected();
            break;
        case 39:
            txtCommandLine->setFocus();
            break;
        case 37:
            focusFiles();
            break;
        default:
            break;
    }
}
