#include "launcher/games/PlayHistory.h"

#include "launcher/games/HistoryJournals.h"
#include "library/LibraryDb.h"
#include "library/PlaySession.h"
#include "platform/Descendants.h"
#include "platform/FileNames.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

PlayHistory::PlayHistory(library::LibraryDb& db, const library::PlayClock& clock,
                         platform::ProcessFollower& processes, QObject* parent)
    : QObject(parent),
      m_db(db),
      m_processes(processes),
      m_session(std::make_unique<library::PlaySession>(db, clock)),
      m_poll(new QTimer(this)) {
    m_poll->setObjectName(QStringLiteral("playPoll"));
    m_poll->setInterval(kPollMilliseconds);
    connect(m_poll, &QTimer::timeout, this, &PlayHistory::poll);
}

// A session still running when the launcher closes ends then, with its length so far.
PlayHistory::~PlayHistory() = default;

bool PlayHistory::available() const {
    return m_db.isOpen();
}

QString PlayHistory::takeNotice() {
    return std::exchange(m_notice, QString());
}

void PlayHistory::aboutToLaunch() {
    m_processes.setAsideRunning();
}

void PlayHistory::gameStarted(const QString& path, const QString& emulator) {
    if (!available()) return;
    // One session at a time: whatever the previous game left running is not followed any
    // further.
    if (!m_session->begin(platform::encodeName(path), emulator)) {
        fail(kPlayFailed, QStringLiteral("This play cannot be recorded in the play history"));
        return;
    }
    m_sessionPath = path;
    m_poll->start();
}

void PlayHistory::fail(Failure kind, const QString& what) {
    if (std::exchange(m_told[kind], true) || !failed) return;
    const QString why = m_db.lastError();
    failed(why.isEmpty() ? what + QLatin1Char('.') : what + QStringLiteral(": ") + why + '.');
}

void PlayHistory::poll() {
    if (!m_session->running()) {
        m_poll->stop();
        return;
    }
    if (m_processes.anyRunning()) {
        if (!m_session->tick())
            fail(kPlayFailed, QStringLiteral("The length of this play cannot be recorded"));
        return;
    }
    if (!m_session->end())
        fail(kPlayFailed, QStringLiteral("The length of this play cannot be recorded"));
    publish(m_sessionPath);
    m_summariesVersion = -1;
    m_poll->stop();
    if (changed) changed();
}

bool PlayHistory::sessionRunning() const {
    return m_session->running();
}

std::optional<bool> PlayHistory::toggleFavourite(const QString& path) {
    if (!available()) return std::nullopt;
    const std::optional<bool> on = m_db.toggleFavourite(platform::encodeName(path));
    if (!on) fail(kMarkFailed, QStringLiteral("The favourite mark cannot be saved"));
    if (on) publish(path);
    m_summariesVersion = -1;
    if (on && changed) changed();
    return on;
}

void PlayHistory::renamed(const QString& from, const QString& to) {
    if (!available()) return;
    if (!m_db.carryOver(platform::encodeName(from), platform::encodeName(to)))
        fail(kMoveFailed, QStringLiteral("The play history did not follow the renamed game"));
    else
        publish(to);
    m_summariesVersion = -1;
}

PlayFactsByName PlayHistory::factsForFolder(const QString& folder) {
    PlayFactsByName out;
    if (!available() || folder.isEmpty()) return out;
    const QByteArray prefix = platform::encodeName(folder);
    const qint64 version = m_db.dataVersion();
    if (version < 0 || version != m_summariesVersion) {
        m_summaries = m_db.summaries();
        m_summariesVersion = version;
    }
    const QHash<QByteArray, library::GameHistory>& all = m_summaries;
    for (auto it = all.cbegin(); it != all.cend(); ++it) {
        const QByteArray& path = it.key();
        if (!path.startsWith(prefix) || path.indexOf('/', prefix.size()) >= 0) continue;
        out.insert(platform::decodeName(path.mid(prefix.size())),
                   PlayFacts{it->plays, it->seconds, it->lastPlayed, it->favourite});
    }
    return out;
}

void PlayHistory::shareThroughJournals(const QByteArray& installation) {
    if (!available() || installation.isEmpty() || m_journals) return;
    m_db.setInstallation(installation);
    m_journals = new HistoryJournals(m_db.file(), installation, this);
    m_journals->done = [this](const QString& folder, const library::JournalSync::Result& r) {
        journalsDone(folder, r);
    };
    // Coming back to the launcher is when another computer may have played meanwhile.
    if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
}

void PlayHistory::folderListed(const QString& folder) {
    if (!m_journals || folder.isEmpty()) return;
    m_listedFolder = folder;
    m_journals->merge(folder, runningSession(), true);
}

bool PlayHistory::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ApplicationActivate && watched == QCoreApplication::instance() &&
        m_journals && !m_listedFolder.isEmpty())
        m_journals->merge(m_listedFolder, runningSession(), false);
    return QObject::eventFilter(watched, event);
}

qint64 PlayHistory::runningSession() const {
    return m_session->running() ? m_session->id() : -1;
}

// The game's folder gets what waits to be written to its journal.
void PlayHistory::publish(const QString& path) {
    if (!m_journals) return;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) return;
    m_journals->publish(path.left(slash + 1), runningSession());
}

void PlayHistory::journalsDone(const QString& folder, const library::JournalSync::Result& r) {
    if ((r.unwritable || r.newer > 0) && !m_toldFolders.contains(folder)) {
        m_toldFolders.insert(folder);
        m_notice = r.unwritable
                       ? QStringLiteral(
                             "The play history of this folder stays on this computer "
                             "(%1 cannot be written: %2)")
                             .arg(folder + QLatin1String(library::journal::kFolderName), r.error)
                       : QStringLiteral(
                             "Some play history of this folder comes from a newer "
                             "Rombard and is left unread");
    }
    if (r.changed) m_summariesVersion = -1;
    if (changed) changed();
}
