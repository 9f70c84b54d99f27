// Delete, rename, mask, hide, macro, strip text and dump tags: the window's side of the
// file commands. The rules live in FileRenaming and HiddenFiles.

#include "filelist/ui/FileListView.h"
#include "launcher/PathHelpers.h"
#include "launcher/emulators/EmulatorSettings.h"
#include "launcher/maintenance/FileRenaming.h"
#include "launcher/maintenance/HiddenFiles.h"
#include "launcher/ui/MainWindow.h"
#include "platform/Dialogs.h"
#include "platform/FileNames.h"
#include "platform/FileOperations.h"
#include "platform/KeystrokeSender.h"

#include <QCoreApplication>

namespace {
// The list is a picture of the folder taken earlier: the listed entry may have gone since,
// and another spelling of its name may have come. Then the user is told, and nothing else
// is touched.
bool goneFromFolder(platform::Dialogs& dialogs, const QString& folder, const QString& name,
                    const QString& title) {
    if (platform::hasEntry(folder + name)) return false;
    dialogs.messageBox(QLatin1Char('\'') + name + QStringLiteral("' is no longer in this folder."),
                       48, title);
    return true;
}
}  // namespace

bool MainWindow::DeleteSelectedFile() {
    if (Files->ListIndex() == -1) return true;
    const QString name = Files->FileName();
    const QString folder = withTrailingSeparator(Files->path());
    const QString title = QStringLiteral("Delete File");
    if (goneFromFolder(*m_services.dialogs, folder, name, title)) {
        RefreshFileList(QString());
        return true;
    }
    const int answer = m_services.dialogs->messageBox(
        QStringLiteral("Delete '") + name + QStringLiteral("'?\nFrom Path: ") + Files->path(), 33,
        title);
    if (answer == platform::Dialogs::ResultOk) {
        const QString path = folder + name;
        platform::FileOperations& ops = *m_services.files;
        // Looked up first: the descriptor is known by its game, which is about to go.
        const auto jad = JadTwinOf(ops, path);
        bool removed = ops.remove(path);
        const bool gone = !removed && goneFromFolder(*m_services.dialogs, folder, name, title);
        if (removed && jad) removed = ops.remove(*jad);
        // Any other failure is said with its reason: the file is still there.
        if (!removed && !gone) {
            const QString why = ops.lastError();
            m_services.dialogs->messageBox(
                why.isEmpty()
                    ? QStringLiteral("Could not move '") + name + QStringLiteral("' to the trash.")
                    : why,
                48, title);
        }
        RefreshFileList(QString());
    }
    return true;
}

bool MainWindow::RenameSelectedFile() {
    if (Files->ListIndex() < 0) return true;
    const QString name = Files->FileName();
    const QString folder = withTrailingSeparator(Files->path());
    const QString title = QStringLiteral("Rename");
    if (goneFromFolder(*m_services.dialogs, folder, name, title)) {
        RefreshFileList(QString());
        return true;
    }
    const auto answer = m_services.dialogs->inputBox(
        QStringLiteral("Rename ") + name + QStringLiteral(" to:"), title, name);
    if (answer && !answer->isEmpty()) {
        QString newName = *answer, where = folder;
        bool ok = false;
        RenameFile(name, newName, where, ok);
        // Gone while the question was open: said, and the list shows the folder as it is.
        if (!ok && goneFromFolder(*m_services.dialogs, folder, name, title)) newName.clear();
        RefreshFileList(newName);
    }
    return true;
}

bool MainWindow::AskFileMask() {
    const auto answer = m_services.dialogs->inputBox(
        QStringLiteral("Enter file mask:"), QStringLiteral("Filter Files"), Files->Pattern());
    Files->setPattern(answer && !answer->isEmpty() ? *answer : FileMask);
    showFileCount();
    return true;
}

bool MainWindow::RunKeyMacro(int& KeyCode, int& Shift) {
    // A macro that presses F6 would start itself again without end.
    if (MacroRunning) return true;
    if (KeyMacro.isEmpty() || Shift != 0) {
        const auto answer =
            m_services.dialogs->inputBox(QStringLiteral("Enter Macro:"), kAppName, KeyMacro);
        if (!answer || answer->isEmpty()) return false;
        KeyMacro = *answer;
    }
    MacroRunning = true;
    m_services.keystrokes->send(KeyMacro);
    QCoreApplication::processEvents();
    MacroRunning = false;
    KeyCode = 0;
    Shift = 0;
    return true;
}

bool MainWindow::HideFilesByPattern() {
    const QString folder = withTrailingSeparator(Files->path());
    const auto answer = m_services.dialogs->inputBox(
        QStringLiteral("Enter pattern to hide files:\nEnter blank pattern to remove all hidden "
                       "files."),
        QStringLiteral("Hide Files"), HidePattern);
    if (!answer) return false;
    bool changed = true;
    if (answer->trimmed().isEmpty()) {
        changed = ClearHiddenFiles(folder);
    } else {
        HidePattern = answer->toLower();
        QStringList names;
        for (int i = 0; i < Files->ListCount(); ++i)
            names.append(Files->List(i));
        changed =
            AddToHiddenList(folder, NamesMatchingHidePattern(names, HideMatchPattern(*answer)));
    }
    RefreshFileList(QString());
    // A list that is a link, a FIFO or unwritable is left alone; the user must know why
    // nothing was hidden or shown again.
    if (!changed)
        m_services.dialogs->messageBox(
            QStringLiteral("The list of hidden files of this folder could not be changed: its "
                           "'.hidden' file is not a plain file or cannot be written."),
            48, QStringLiteral("Hide Files"));
    return true;
}

bool MainWindow::AskRemoveDuplicates() {
    if (Busy) return true;
    if (m_services.dialogs->messageBox(
            QStringLiteral("Do you want to remove duplicate files in this folder?"), 33,
            kAppName) == platform::Dialogs::ResultOk)
        RemoveDuplicates();
    return true;
}

bool MainWindow::AskStripText() {
    const auto answer = m_services.dialogs->inputBox(
        QStringLiteral("Enter text to remove in file names:"), kAppName, QString());
    if (answer && !answer->isEmpty()) RemoveTextFromNames(*answer);
    return true;
}

bool MainWindow::ToggleDumpTag(int Shift) {
    if (Files->ListIndex() < 0) return true;
    const QString name = Files->FileName();
    if (goneFromFolder(*m_services.dialogs, withTrailingSeparator(Files->path()), name, kAppName)) {
        RefreshFileList(QString());
        return true;
    }
    QString newName = DumpTagName(name, Shift), folder;
    bool ok = false;
    RenameFile(name, newName, folder, ok);
    // The tag changes where the name sorts; the selection follows the file.
    RefreshFileList(ok ? newName : QString());
    return true;
}

void MainWindow::RenameFile(const QString& oldName, QString& newName, QString& folder, bool& ok) {
    ok = false;
    if (newName == oldName) return;
    if (folder.isEmpty()) folder = withTrailingSeparator(Files->path());
    QStringList listed;
    listed.reserve(Files->ListCount());
    for (int i = 0; i < Files->ListCount(); ++i)
        listed.append(Files->List(i));
    const auto given = RenameGameFile(
        *m_services.files, folder, oldName, newName,
        [this](const QString& game) { return FindScreenshot(game); }, listed);
    if (!given) return;
    newName = *given;
    ok = true;
}

void MainWindow::RefreshFileList(const QString& selectName) {
    int index = Files->ListIndex();
    Files->Refresh();
    showFileCount();
    QCoreApplication::processEvents();
    const int count = Files->ListCount();
    if (!MacroRunning && !selectName.isEmpty()) {
        const QString wanted = platform::foldName(selectName);
        for (int i = 0; i < count; ++i) {
            if (platform::foldName(Files->List(i)) == wanted) {
                index = i;
                break;
            }
        }
    }
    // After the last row was deleted the row before it takes its place.
    if (index >= count) index = count - 1;
    Files->setListIndex(index);
}

void MainWindow::RemoveTextFromNames(const QString& text) {
    const QString folder = withTrailingSeparator(Files->path());
    int done = 0;
    for (int i = Files->ListCount() - 1; i >= 0; --i) {
        const QString name = Files->List(i);
        if (!name.contains(text, Qt::CaseInsensitive)) continue;
        QString newName = StrippedName(name, text), where = folder;
        bool ok = false;
        RenameFile(name, newName, where, ok);
        if (ok) ++done;
    }
    RefreshFileList(QString());
    m_services.dialogs->messageBox(QString::number(done) + QStringLiteral(" Files Renamed"), 64,
                                   kAppName);
}
