// The file list's keys: one table, first match acts, then the closing step.

#include "filelist/ui/FileListView.h"
#include "launcher/PathHelpers.h"
#include "launcher/ui/MainWindow.h"
#include "platform/Shell.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QListWidget>

void MainWindow::Files_KeyDown(int& KeyCode, int& Shift) {
    // Shift, Ctrl or Alt going down is only the start of a chord. Its closing step would
    // carry the focus off the list before the chord's own key arrives, and that key (the
    // Right of Shift+Right) would then act wherever the focus had gone.
    if (KeyCode == 16 || KeyCode == 17 || KeyCode == 18) return;
    bool closing = true;
    switch (KeyCode) {
        case 39:  // Right
            KeyCode = 0;
            txtCommandLine->setFocus();
            break;
        case 37:  // Left
        case 8:   // Backspace
            KeyCode = 0;
            if (dirList->isVisible())
                dirList->setFocus();
            else
                txtCommandLine->setFocus();
            break;
        case 27:
            ToggleFolderLists();
            break;
        case 13:
            if (Shift != 1)
                LaunchSelected();
            else if (Files->ListIndex() >= 0)
                m_services.shell->open(withTrailingSeparator(Files->path()) + Files->FileName());
            break;
        case 46:
            closing = DeleteSelectedFile();
            break;
        case 113:
            closing = RenameSelectedFile();
            break;
        case 114:
            closing = AskFileMask();
            break;
        case 117:
            closing = RunKeyMacro(KeyCode, Shift);
            break;
        case 115:
            if (Shift == 0) closing = HideFilesByPattern();
            break;
        case 116:
            ScanEmulators();
            break;
        case 118:
            closing = AskRemoveDuplicates();
            break;
        case 119:
            closing = AskStripText();
            break;
        case 120:
            closing = ToggleDumpTag(Shift);
            break;
        case 32:
            txtCommandLine->setFocus();
            break;
        default:
            break;
    }
    if (closing) FilesClosingStep(Shift);
}

void MainWindow::FilesClosingStep(int Shift) {
    txtCommandLine->setFocus();
    if (Shift == 1) return;
    QCoreApplication::processEvents();
    focusFiles();
}
