#include "launcher/ui/IdentificationView.h"

#include "filelist/ui/FileListView.h"
#include "launcher/PathHelpers.h"
#include "launcher/games/GameIdentification.h"
#include "launcher/maintenance/CanonicalName.h"
#include "platform/Dialogs.h"

#include <QMetaObject>

namespace {
// Nothing matched and nothing went wrong: all there is to say of it is its verdict.
bool isPlainUnknown(const identify::Identification& found) {
    return found.verdict == identify::Verdict::Unknown && found.matches.empty() &&
           found.member.isEmpty() && found.problem.isEmpty();
}

const QString kIdentifyTitle = QStringLiteral("Identify Games");
const QString kCanonicalTitle = QStringLiteral("Rename to Entry's Name");
const QString kUnavailable = QStringLiteral(
    "Games cannot be identified: the cache database that holds the checksum "
    "index could not be opened.");
}  // namespace

IdentificationView::IdentificationView(Host host, QObject* parent)
    : QObject(parent), m_host(std::move(host)) {
    m_identification = new GameIdentification(m_host.identifier, this);
    m_host.list->folderList().setShowsVerified(m_identification->available());
    if (!m_identification->available()) return;

    // Every listing makes the marks of the one before worthless: the rows are other files,
    // or the same names may be other files now. Answers still on their way are dropped.
    auto before = std::move(m_host.list->folderList().beforeListing);
    m_host.list->folderList().beforeListing = [this, before](const QString& folder) {
        if (before) before(folder);
        m_identification->cancel();
        forgetAnswers();
        m_identifiedFolder.clear();
        m_progress.clear();
        queue();
    };
    // Rows shown from the folder's index, before its names come, are identified at once.
    connect(m_host.list, &FileListView::folderShownFromIndex, this, [this] { queue(); });
    connectAnswers();
}

void IdentificationView::connectAnswers() {
    m_identification->progress = [this](const QString& text) {
        m_progress = text;
        m_host.progressChanged();
    };
    m_identification->identified = [this](const std::vector<GameIdentification::Answer>& answers) {
        VerifiedMarksByName marks;
        const QString selected =
            m_host.list->listIndex() >= 0 ? m_host.list->fileName() : QString();
        bool selectedAnswered = false;
        for (const GameIdentification::Answer& a : answers) {
            // Only the newest request is answered: its names are the listed folder's. A
            // plain "unknown", most of a folder no list knows, is kept as its mark alone.
            if (!isPlainUnknown(a.identification)) m_identified.insert(a.name, a.identification);
            marks.insert(a.name, markOf(a.identification.verdict));
            if (a.name == selected) selectedAnswered = true;
        }
        m_host.list->model().setVerifiedMarks(marks);
        if (selectedAnswered) m_host.selectedAnswered(selected);
    };
    m_identification->sourcesSkipped = [this](const QStringList& problems) {
        // Each broken source is said once a session, unless the user asks with Ctrl+I.
        QStringList news;
        for (const QString& p : problems)
            if (m_asked || !m_sourcesTold.contains(p)) news << p;
        m_sourcesTold << news;
        m_sourcesTold.removeDuplicates();
        if (news.isEmpty()) return;
        // Said from the event loop, not from within the delivery of the answers: a real
        // message box runs the loop meanwhile, and more answers come.
        QMetaObject::invokeMethod(
            this,
            [this, news] {
                m_host.dialogs->messageBox(
                    QStringLiteral("These checksum sources were skipped:\n\n") +
                        news.join(QLatin1Char('\n')),
                    platform::MessageButtons::Ok, platform::MessageIcon::Warning, kIdentifyTitle);
            },
            Qt::QueuedConnection);
    };
    m_identification->unavailable = [this] {
        m_missing = true;
        m_host.list->folderList().setShowsVerified(false);
        if (std::exchange(m_asked, false))
            m_host.dialogs->messageBox(kUnavailable, platform::MessageButtons::Ok,
                                       platform::MessageIcon::Warning, kIdentifyTitle);
    };
    m_identification->nothingToMatch = [this] {
        m_nothingToMatch = true;
        const QString selected =
            m_host.list->listIndex() >= 0 ? m_host.list->fileName() : QString();
        if (!selected.isEmpty()) m_host.selectedAnswered(selected);
    };
    m_identification->finished = [this] { m_asked = false; };
}

void IdentificationView::forgetAnswers() {
    m_identified.clear();
    m_nothingToMatch = false;
    m_host.list->model().clearVerifiedMarks();
}

const identify::Identification* IdentificationView::answerFor(const QString& name) const {
    // Every game is unknown when nothing can match; else the answers kept, and the rest
    // answered plainly unknown, as their marks say.
    static const identify::Identification unknown;
    if (m_nothingToMatch) return &unknown;
    const auto found = m_identified.constFind(name);
    if (found != m_identified.constEnd()) return &*found;
    return m_host.list->model().verifiedMark(name) == VerifiedMark::Unknown ? &unknown : nullptr;
}

void IdentificationView::windowShown() {
    if (m_allowed) return;
    m_allowed = true;
    queue();
}

void IdentificationView::queue() {
    if (!m_allowed || m_queued || !m_identification->available()) return;
    m_queued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_queued = false;
            identifyListedFolder();
        },
        Qt::QueuedConnection);
}

void IdentificationView::identifyListedFolder() {
    if (!m_identification->available() || m_host.list->path().isEmpty()) return;
    m_identifiedFolder = withTrailingSeparator(m_host.list->path());
    QStringList names;
    names.reserve(m_host.list->listCount());
    for (int i = 0; i < m_host.list->listCount(); ++i)
        names.append(m_host.list->list(i));
    m_identification->request(m_identifiedFolder, names, m_asked);
}

bool IdentificationView::identifyAgain() {
    if (!m_identification->available()) {
        m_host.dialogs->messageBox(
            QStringLiteral("Games cannot be identified by checksum in this launcher."),
            platform::MessageButtons::Ok, platform::MessageIcon::Information, kIdentifyTitle);
        return true;
    }
    // The sources that changed are read again, and the marks come again from scratch.
    m_identification->cancel();
    forgetAnswers();
    m_asked = true;
    m_allowed = true;
    identifyListedFolder();
    return true;
}

bool IdentificationView::renameToCanonicalName() {
    const auto tell = [this](const QString& text) {
        m_host.dialogs->messageBox(text, platform::MessageButtons::Ok,
                                   platform::MessageIcon::Information, kCanonicalTitle);
    };
    if (!m_identification->available()) {
        tell(
            QStringLiteral("Games cannot be identified by checksum in this launcher, so none "
                           "has an entry's name to take."));
        return true;
    }
    if (m_missing) {
        tell(kUnavailable);
        return true;
    }
    if (m_host.list->listIndex() < 0) return true;
    const QString name = m_host.list->fileName();
    const identify::Identification* found = answerFor(name);
    if (!found) {
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
    const platform::MessageAnswer answer = m_host.dialogs->messageBox(
        QStringLiteral("Rename '") + name + QStringLiteral("'\nto '") + target.name +
            QStringLiteral("'?\n\nThe name in ") + entryNameText(entry, target.name) +
            QStringLiteral("; the screenshot follows."),
        platform::MessageButtons::OkCancel, platform::MessageIcon::Question, kCanonicalTitle);
    if (answer != platform::MessageAnswer::Ok) return true;
    // Gone or replaced while the question was open: the answer was for another file.
    m_host.rename(
        name, target.name,
        [this, tell, name, wanted = target.name](const QString& folder,
                                                 const std::optional<QString>& given, bool gone) {
            // The user may have moved to another folder meanwhile.
            if (withTrailingSeparator(m_host.list->path()) == folder)
                m_host.refresh(given ? *given : QString());
            if (gone)
                tell(QLatin1Char('\'') + name + QStringLiteral("' is no longer in this folder."));
            else if (!given)
                tell(QLatin1Char('\'') + name +
                     QStringLiteral("' was not renamed: it, its screenshot or "
                                    "its descriptor could not be moved."));
            else if (*given != wanted)
                tell(nameGivenText(name, wanted, *given));
        });
    return true;
}

QString IdentificationView::describe(const QString& name) const {
    const identify::Identification* found = answerFor(name);
    if (!found || m_identifiedFolder != withTrailingSeparator(m_host.list->path()))
        return QString();
    return identificationText(*found);
}
