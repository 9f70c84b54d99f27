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

void PlayHistory::gameStarted(const QString& path, const QString& emulator) {
    if (!available()) return;
    // One session at a time: whatever the previous game left running is not followed any
    // further.
    if (!m_session->begin(platform::encodeName(path), emulator)) return;
    m_poll->start();
}

void PlayHistory::poll() {
    if (!m_session->running()) {
        m_poll->stop();
        return;
    }
    if (m_processes.anyRunning()) {
        m_session->tick();
        return;
    }
    m_session->end();
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
    m_summariesVersion = -1;
    if (on && changed) changed();
    return on;
}

void PlayHistory::renamed(const QString& from, const QString& to) {
    if (!available()) return;
    m_db.carryOver(platform::encodeName(from), platform::encodeName(to));
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
