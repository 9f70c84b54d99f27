// The file list's keys: one table, first match acts, then the closing step.

#include "filelist/ui/FileListView.h"
#include "launcher/PathHelpers.h"
#include "launcher/ui/MainWindow.h"
#include "platform/Shell.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QListWidget>

void MainWindow::handleFileListKey(int& KeyCode, int& Shift) {
    bool closing = true;
    switch (KeyCode) {
        case 39:  // Right
            KeyCode = 0;
            m_commandLine->setFocus();
            break;
        case 37:  // Left
        case 8:   // Backspace
            KeyCode = 0;
            if (m_folderList->isVisible())
                m_folderList->setFocus();
            else
                m_commandLine->setFocus();
            break;
        case 27:
            toggleFolderLists();
            break;
        case 13:
            if (Shift != 1)
                launchSelectedGame();
            else if (m_fileList->ListIndex() >= 0)
                m_services.shell->open(withTrailingSeparator(m_fileList->path()) +
                                       m_fileList->FileName());
            break;
        case 46:
            closing = deleteSelectedFile();
            break;
        case 113:
            closing = renameSelectedFile();
            break;
        case 114:
            closing = askFileMask();
            break;
        case 117:
            closing = runKeyMacro(KeyCode, Shift);
            break;
        case 115:
            if (Shift == 0) closing = hideFilesByPattern();
            break;
        case 116:
            scanEmulators();
            break;
        case 118:
            closing = askRemoveDuplicates();
            break;
        case 119:
            closing = askStripText();
            break;
        case 120:
            closing = toggleDumpTag(Shift);
            break;
        case 32:
            m_commandLine->setFocus();
            break;
        default:
            break;
    }
    if (closing) finishFileListKey(Shift);
}

void MainWindow::finishFileListKey(int Shift) {
    m_commandLine->setFocus();
    if (Shift == 1) return;
    QCoreApplication::processEvents();
    focusFiles();
}
