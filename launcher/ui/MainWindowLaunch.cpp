// Starting the selected game, watching the emulator, and the command line box.

#include "filelist/ui/FileListView.h"
#include "launcher/PathHelpers.h"
#include "launcher/emulators/CommandLineText.h"
#include "launcher/emulators/EmulatorCatalogue.h"
#include "launcher/emulators/LaunchRules.h"
#include "launcher/ui/MainWindow.h"
#include "platform/ProcessTable.h"
#include "platform/Shell.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>

void MainWindow::LaunchSelected() {
    if (Files->ListIndex() == -1) return;
    const QString program = EmulatorProgram(EmulatorFolder, CurrentEmulator);
    if (program.isEmpty()) return;

    LaunchInput in;
    in.emulatorFolder = EmulatorFolder;
    in.currentEmulator = CurrentEmulator;
    in.emulatorProgram = program;
    in.systemName = SystemName;
    in.listedFolder = Files->path();
    in.fileName = Files->FileName();
    in.commandLine = txtCommandLine->text();
    in.gameNumber = lblTitle->property("Tag").toString();
    in.fileExists = [](const QString& path) { return pathExists(path); };
    const LaunchPlan plan = ComposeLaunch(in);
    // Whether it started is not looked at: a program that failed to start is simply not
    // running at the next poll, which brings the window back.
    if (plan.openDocument)
        m_services.shell->open(plan.fileStarted);
    else
        m_services.shell->start(plan.start);

    SavedWindowState = windowState();
    setWindowState(windowState() | Qt::WindowMinimized);
    tmrTimer->start();
}

void MainWindow::Files_DblClick() {
    LaunchSelected();
}

void MainWindow::lblTitle_DblClick() {
    Files_DblClick();
}

void MainWindow::imgShot_DblClick() {
    Files_DblClick();
}

void MainWindow::tmrTimer_Timer() {
    if (m_services.processes->isRunning(CurrentEmulator)) return;
    tmrTimer->stop();
    setWindowState(SavedWindowState);
    QCoreApplication::processEvents();
    bringToFront();
}

void MainWindow::txtCommandLine_Change() {
    Files->setPattern(PatternForBoxText(FileMask, txtCommandLine->text()));
    Files->setListIndex(0);
    showFileCount();
}

void MainWindow::txtCommandLine_GotFocus() {
    txtCommandLine->selectAll();
    const QPalette normal = txtCommandLine->palette();
    QPalette flash = normal;
    flash.setColor(QPalette::Base, normal.color(QPalette::Highlight));
    txtCommandLine->setPalette(flash);
    QCoreApplication::processEvents();
    txtCommandLine->setPalette(normal);
    QCoreApplication::processEvents();
    txtCommandLine->setPalette(flash);
    QCoreApplication::processEvents();
    txtCommandLine->setPalette(normal);
}

void MainWindow::txtCommandLine_KeyPress(int& KeyAscii) {
    if (KeyAscii != 127) return;
    txtCommandLine->clear();
    KeyAscii = 0;
}

void MainWindow::txtCommandLine_KeyDown(int& KeyCode, int& Shift) {
    // The folder list takes the list keys while it is shown.
    const bool folders = dirList->isVisible();
    const auto index = [&] { return folders ? dirList->currentRow() : Files->ListIndex(); };
    const auto count = [&] { return folders ? dirList->count() : Files->ListCount(); };
    const auto select = [&](int i) {
        if (folders)
            dirList->setCurrentRow(i);
        else
            Files->setListIndex(i);
    };
    const auto focusTarget = [&] {
        if (folders)
            dirList->setFocus();
        else
            focusFiles();
    };
    switch (KeyCode) {
        case 13:
            LaunchSelected();
            break;
        case 38:
            if (index() > 0) select(index() - 1);
            break;
        case 40:
            // Past the last item there is nothing to select; the choice stays put.
            if (index() + 1 < count()) select(index() + 1);
            break;
        case 36:
            select(0);
            break;
        case 35:
            select(count() - 1);
            break;
        case 27:
            if (!txtCommandLine->text().isEmpty())
                txtCommandLine->clear();
            else
                focusTarget();
            break;
        case 33:
        case 34:
            focusTarget();
            break;
        case 46:
            if (Shift == 2) {
                int key = 46, shift = 0;
                Files_KeyDown(key, shift);
                KeyCode = 0;
            }
            break;
        case 37:
            if (txtCommandLine->cursorPosition() == 0) focusFiles();
            break;
        case 39:
            if (txtCommandLine->cursorPosition() >= txtCommandLine->text().size()) focusFiles();
            break;
        default:
            if (KeyCode >= 112 && KeyCode <= 123) Files_KeyDown(KeyCode, Shift);
            break;
    }
}
