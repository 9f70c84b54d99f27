// The file list's keys: the command the key stands for (KeyCommands), then the closing step.

#include "filelist/VirtualKeys.h"
#include "filelist/ui/FileListView.h"
#include "launcher/PathHelpers.h"
#include "launcher/ui/MainWindow.h"
#include "launcher/window/KeyCommands.h"
#include "platform/Shell.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QListWidget>

void MainWindow::handleFileListKey(QKeyCombination key) {
    // Shift, Ctrl or Alt going down is only the start of a chord. Its closing step would
    // carry the focus off the list before the chord's own key arrives, and that key (the
    // Right of Shift+Right) would then act wherever the focus had gone.
    if (key.key() == Qt::Key_Shift || key.key() == Qt::Key_Control || key.key() == Qt::Key_Alt)
        return;
    Qt::KeyboardModifiers held = key.keyboardModifiers();
    bool closing = true;
    switch (commandFor(fileListKeys(), key)) {
        case KeyCommand::FocusCommandLine:
            m_ui.commandLine->setFocus();
            break;
        case KeyCommand::FocusFoldersOrCommandLine:
            if (m_ui.folderList->isVisible())
                m_ui.folderList->setFocus();
            else
                m_ui.commandLine->setFocus();
            break;
        case KeyCommand::ToggleFolderLists:
            toggleFolderLists();
            break;
        case KeyCommand::Launch:
            launchSelectedGame();
            break;
        case KeyCommand::OpenWithDesktop:
            openWithDesktop();
            break;
        case KeyCommand::DeleteFile:
            closing = deleteSelectedFile();
            break;
        case KeyCommand::RenameFile:
            closing = renameSelectedFile();
            break;
        case KeyCommand::SetFileMask:
            closing = askFileMask();
            break;
        case KeyCommand::RunKeyMacro:
            closing = runKeyMacro(held);
            break;
        case KeyCommand::HideFiles:
            closing = hideFilesByPattern();
            break;
        case KeyCommand::RescanEmulators:
            scanEmulators();
            break;
        case KeyCommand::RemoveDuplicates:
            closing = askRemoveDuplicates();
            break;
        case KeyCommand::StripText:
            closing = askStripText();
            break;
        case KeyCommand::ToggleDumpTag:
            closing = toggleDumpTag(shiftStateOf(held));
            break;
        case KeyCommand::ToggleFavourite:
            closing = toggleFavourite();
            break;
        case KeyCommand::ToggleFavouritesOnly:
            closing = toggleFavouritesOnly();
            break;
        case KeyCommand::IdentifyGames:
            closing = identifyAgain();
            break;
        case KeyCommand::RenameToCanonicalName:
            closing = renameToCanonicalName();
            break;
        default:
            break;
    }
    if (closing) finishFileListKey(held);
}

void MainWindow::finishFileListKey(Qt::KeyboardModifiers held) {
    m_ui.commandLine->setFocus();
    if (staysInCommandLine(held)) return;
    QCoreApplication::processEvents();
    focusFiles();
}
