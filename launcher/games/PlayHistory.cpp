#include "launcher/games/PlayHistory.h"

#include "library/LibraryDb.h"
#include "library/PlaySession.h"
#include "platform/Descendants.h"
#include "platform/FileNames.h"

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
    m_summariesVersion = -1;
    if (on && changed) changed();
    return on;
}

void PlayHistory::renamed(const QString& from, const QString& to) {
    if (!available()) return;
    if (!m_db.carryOver(platform::encodeName(from), platform::encodeName(to)))
        fail(kMoveFailed, QStringLiteral("The play history did not follow the renamed game"));
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
