// The file list's keys: the command the key stands for (KeyCommands), then the closing step.

#include "filelist/VirtualKeys.h"
#include "filelist/ui/FileListView.h"
#include "launcher/PathHelpers.h"
#include "launcher/ui/FileCommands.h"
#include "launcher/ui/IdentificationView.h"
#include "launcher/ui/MainWindow.h"
#include "launcher/window/KeyCommands.h"
#include "platform/Shell.h"

#include <QLineEdit>
#include <QListWidget>

void MainWindow::handleFileListKey(QKeyCombination key) {
    // Shift, Ctrl or Alt going down is only the start of a chord. Its closing step would
    // carry the focus off the list before the chord's own key arrives, and that key (the
    // Right of Shift+Right) would then act wherever the focus had gone.
    if (key.key() == Qt::Key_Shift || key.key() == Qt::Key_Control || key.key() == Qt::Key_Alt)
        return;
    Qt::KeyboardModifiers held = key.keyboardModifiers();
    const KeyCommand command = commandFor(fileListKeys(), key);
    // While F7 or F8 runs, Escape stops it, and another file command is refused: it would
    // act on files the first is about to read or rename. So it is while Delete, F2 or F9
    // waits for the disk, which Escape cannot stop: it opens the folder lists as ever.
    if (m_commands->busy()) {
        if (key == QKeyCombination(Qt::NoModifier, Qt::Key_Escape) && m_commands->stoppable()) {
            m_commands->stop();
            return;
        }
        if (changesFiles(command)) {
            m_commands->refuseWhileBusy();
            return;
        }
    }
    bool closing = true;
    switch (command) {
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
            closing = m_commands->deleteSelected();
            break;
        case KeyCommand::RenameFile:
            closing = m_commands->renameSelected();
            break;
        case KeyCommand::SetFileMask:
            closing = m_commands->askMask();
            break;
        case KeyCommand::RunKeyMacro:
            closing = m_commands->runMacro(held);
            break;
        case KeyCommand::HideFiles:
            closing = m_commands->hideByPattern();
            break;
        case KeyCommand::RescanEmulators:
            scanEmulators();
            break;
        case KeyCommand::RemoveDuplicates:
            closing = m_commands->askRemoveDuplicates();
            break;
        case KeyCommand::StripText:
            closing = m_commands->askStripText();
            break;
        case KeyCommand::ToggleDumpTag:
            closing = m_commands->toggleDumpTag(shiftStateOf(held));
            break;
        case KeyCommand::ToggleFavourite:
            closing = toggleFavourite();
            break;
        case KeyCommand::ToggleFavouritesOnly:
            closing = toggleFavouritesOnly();
            break;
        case KeyCommand::IdentifyGames:
            closing = m_identify->identifyAgain();
            break;
        case KeyCommand::RenameToCanonicalName:
            closing = m_identify->renameToCanonicalName();
            break;
        case KeyCommand::WritePlaylist:
            closing = m_commands->writePlaylist(m_emu.fileMask);
            break;
        default:
            break;
    }
    if (closing) finishFileListKey(held);
}

void MainWindow::finishFileListKey(Qt::KeyboardModifiers held) {
    // The box flashes as the focus passes (flashCommandLine); the flash runs on its own.
    m_ui.commandLine->setFocus();
    if (staysInCommandLine(held)) return;
    focusFiles();
}
