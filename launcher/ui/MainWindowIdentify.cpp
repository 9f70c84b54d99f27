// Identification by checksum in the window: the "Verified" column filled as the answers
// come, the game's tip, Ctrl+I and Ctrl+N. The work runs in GameIdentification; the
// rename is F2's (renameFile), after a confirmation.

#include "filelist/ui/FileListView.h"
#include "launcher/PathHelpers.h"
#include "launcher/games/GameIdentification.h"
#include "launcher/games/GameTitle.h"
#include "launcher/maintenance/CanonicalName.h"
#include "launcher/ui/MainWindow.h"
#include "platform/Dialogs.h"
#include "platform/FileOperations.h"

#include <QLabel>
#include <QMetaObject>
#include <QShowEvent>

namespace {
const QString kIdentifyTitle = QStringLiteral("Identify Games");
const QString kCanonicalTitle = QStringLiteral("Rename to Entry's Name");
const QString kUnavailable = QStringLiteral(
    "Games cannot be identified: the cache database that holds the checksum "
    "index could not be opened.");
}  // namespace

void MainWindow::connectIdentification() {
    m_identification = new GameIdentification(m_services.identifier, this);
    m_ui.fileList->folderList().setShowsVerified(m_identification->available());
    if (!m_identification->available()) return;

    // Every listing makes the marks of the one before worthless: the rows are other files,
    // or the same names may be other files now. Answers still on their way are dropped.
    auto before = std::move(m_ui.fileList->folderList().beforeListing);
    m_ui.fileList->folderList().beforeListing = [this, before](const QString& folder) {
        if (before) before(folder);
        m_identification->cancel();
        m_identified.clear();
        m_identifiedFolder.clear();
        m_ui.fileList->model().clearVerifiedMarks();
        m_identifyProgress.clear();
        queueIdentification();
    };

    m_identification->progress = [this](const QString& text) {
        m_identifyProgress = text;
        showListTip();
    };
    m_identification->identified = [this](const std::vector<GameIdentification::Answer>& answers) {
        VerifiedMarksByName marks;
        const QString selected =
            m_ui.fileList->listIndex() >= 0 ? m_ui.fileList->fileName() : QString();
        bool selectedAnswered = false;
        for (const GameIdentification::Answer& a : answers) {
            // Keyed by path: an answer for another folder has no row here.
            if (parentFolderOf(a.path) != m_identifiedFolder) continue;
            const QString name = fileNameOf(a.path);
            m_identified.insert(name, a.identification);
            marks.insert(name, markOf(a.identification.verdict));
            if (name == selected) selectedAnswered = true;
        }
        m_ui.fileList->model().setVerifiedMarks(marks);
        if (selectedAnswered) {
            m_ui.title->setToolTip(gameInfoText(selected));
            m_ui.title->setAccessibleDescription(m_ui.title->toolTip());
        }
    };
    m_identification->sourcesSkipped = [this](const QStringList& problems) {
        // Each broken source is said once a session, unless the user asks with Ctrl+I.
        QStringList news;
        for (const QString& p : problems)
            if (m_identifyAsked || !m_sourcesTold.contains(p)) news << p;
        m_sourcesTold << news;
        m_sourcesTold.removeDuplicates();
        if (news.isEmpty()) return;
        // Said from the event loop, not from within the delivery of the answers: a real
        // message box runs the loop meanwhile, and more answers come.
        QMetaObject::invokeMethod(
            this,
            [this, news] {
                m_services.dialogs->messageBox(
                    QStringLiteral("These checksum sources were skipped:\n\n") +
                        news.join(QLatin1Char('\n')),
                    platform::MessageButtons::Ok, platform::MessageIcon::Warning, kIdentifyTitle);
            },
            Qt::QueuedConnection);
    };
    m_identification->unavailable = [this] {
        m_identifierMissing = true;
        m_ui.fileList->folderList().setShowsVerified(false);
        if (std::exchange(m_identifyAsked, false))
            m_services.dialogs->messageBox(kUnavailable, platform::MessageButtons::Ok,
                                           platform::MessageIcon::Warning, kIdentifyTitle);
    };
    m_identification->finished = [this] { m_identifyAsked = false; };
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_identifyAllowed || event->spontaneous()) return;
    m_identifyAllowed = true;
    queueIdentification();
}

void MainWindow::queueIdentification() {
    if (!m_identifyAllowed || m_identifyQueued || !m_identification->available()) return;
    m_identifyQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_identifyQueued = false;
            identifyListedFolder();
        },
        Qt::QueuedConnection);
}

void MainWindow::identifyListedFolder() {
    if (!m_identification->available() || m_ui.fileList->path().isEmpty()) return;
    m_identifiedFolder = withTrailingSeparator(m_ui.fileList->path());
    QStringList names;
    names.reserve(m_ui.fileList->listCount());
    for (int i = 0; i < m_ui.fileList->listCount(); ++i)
        names.append(m_ui.fileList->list(i));
    m_identification->request(m_identifiedFolder, names, m_identifyAsked);
}

bool MainWindow::identifyAgain() {
    if (!m_identification->available()) {
        m_services.dialogs->messageBox(
            QStringLiteral("Games cannot be identified by checksum in this launcher."),
            platform::MessageButtons::Ok, platform::MessageIcon::Information, kIdentifyTitle);
        return true;
    }
    // The sources that changed are read again, and the marks come again from scratch.
    m_identification->cancel();
    m_identified.clear();
    m_ui.fileList->model().clearVerifiedMarks();
    m_identifyAsked = true;
    m_identifyAllowed = true;
    identifyListedFolder();
    return true;
}

bool MainWindow::renameToCanonicalName() {
    const auto tell = [this](const QString& text) {
        m_services.dialogs->messageBox(text, platform::MessageButtons::Ok,
                                       platform::MessageIcon::Information, kCanonicalTitle);
    };
    if (!m_identification->available()) {
        tell(
            QStringLiteral("Games cannot be identified by checksum in this launcher, so none "
                           "has an entry's name to take."));
        return true;
    }
    if (m_identifierMissing) {
        tell(kUnavailable);
        return true;
    }
    if (m_ui.fileList->listIndex() < 0) return true;
    const QString name = m_ui.fileList->fileName();
    const QString folder = withTrailingSeparator(m_ui.fileList->path());
    const auto found = m_identified.constFind(name);
    if (found == m_identified.constEnd()) {
        tell(QLatin1Char('\'') + name + QStringLiteral("' has not been identified yet") +
             (m_identification->running() ? QStringLiteral("; identification is under way.")
                                          : QStringLiteral(". Ctrl+I identifies the folder.")));
        return true;
    }
    // A copy: more answers may come while the question is open.
    const identify::Identification identification = *found;
    const CanonicalName target = canonicalNameFor(name, identification);
    if (!target.ok()) {
        tell(target.whyNot);
        return true;
    }
    const identify::RomEntry& entry = identification.matches.front();
    const platform::MessageAnswer answer = m_services.dialogs->messageBox(
        QStringLiteral("Rename '") + name + QStringLiteral("'\nto '") + target.name +
            QStringLiteral("'?\n\nThe name in ") + entryNameText(entry, target.name) +
            QStringLiteral("; the screenshot follows."),
        platform::MessageButtons::OkCancel, platform::MessageIcon::Question, kCanonicalTitle);
    if (answer != platform::MessageAnswer::Ok) return true;
    // Gone or replaced while the question was open: the answer was for another file.
    if (!platform::hasEntry(folder + name)) {
        tell(QLatin1Char('\'') + name + QStringLiteral("' is no longer in this folder."));
        refreshFileList(QString());
        return true;
    }
    QString newName = target.name, where = folder;
    bool ok = false;
    renameFile(name, newName, where, ok);
    refreshFileList(ok ? newName : QString());
    if (!ok)
        tell(QLatin1Char('\'') + name +
             QStringLiteral("' was not renamed: it, its screenshot or "
                            "its descriptor could not be moved."));
    else if (newName != target.name)
        tell(nameGivenText(name, target.name, newName));
    return true;
}

QString MainWindow::gameInfoText(const QString& fileName) const {
    // The date and size as the preview's thread found them: asked here, they could keep
    // the window waiting on a share that no longer answers.
    QString info = m_fileInfoOf == withTrailingSeparator(m_ui.fileList->path()) + fileName
                       ? m_fileInfo
                       : QString();
    if (const QString missing = m_ui.fileList->model().incompleteSetText(fileName);
        !missing.isEmpty())
        info = info.isEmpty() ? missing : info + QLatin1Char('\n') + missing;
    const auto found = m_identified.constFind(fileName);
    if (found == m_identified.constEnd() ||
        m_identifiedFolder != withTrailingSeparator(m_ui.fileList->path()))
        return info;
    return info.isEmpty() ? identificationText(*found)
                          : info + QLatin1Char('\n') + identificationText(*found);
}
