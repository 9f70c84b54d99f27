#include "launcher/games/GameIdentification.h"

#include "platform/ProcessMemory.h"

#include <QMetaObject>

#include <algorithm>
#include <utility>

namespace {
// Answers go to the window's thread this many at a time: what it makes of each batch (the
// list's marks) stays small however many gathered, and a folder of 100,000 takes a few
// batches, each of which the list's marks walk over every row for.
constexpr size_t kAnswerBatch = 16384;

// Nothing matched and nothing went wrong: the verdict is all there is to hand on.
bool isPlainUnknown(const identify::Identification& found) {
    return found.verdict == identify::Verdict::Unknown && found.matches.empty() &&
           found.member.isEmpty() && found.problem.isEmpty();
}

QString progressText(const char* what, int done, int total) {
    return QString::fromLatin1(what) + QString::number(done) + QLatin1Char('/') +
           QString::number(total);
}
}  // namespace

VerifiedMark markOf(identify::Verdict verdict) {
    switch (verdict) {
        case identify::Verdict::Verified:
        case identify::Verdict::VerifiedHeader:
            return VerifiedMark::Verified;
        case identify::Verdict::CrcOnly:
            return VerifiedMark::CrcOnly;
        case identify::Verdict::BadDump:
            return VerifiedMark::BadDump;
        case identify::Verdict::Unknown:
            break;
    }
    return VerifiedMark::Unknown;
}

QString identificationText(const identify::Identification& found) {
    if (found.verdict == identify::Verdict::Unknown) {
        return found.problem.isEmpty() ? QStringLiteral("Unknown: in no software list or DAT file")
                                       : QStringLiteral("Not identified: ") + found.problem;
    }
    QStringList lines;
    lines << (found.verdict == identify::Verdict::Verified ? QStringLiteral("Verified")
              : found.verdict == identify::Verdict::VerifiedHeader
                  ? QStringLiteral("Verified (header): the image's own SHA-1 matches")
              : found.verdict == identify::Verdict::BadDump
                  ? QStringLiteral("Bad dump")
                  : QStringLiteral("CRC only (the SHA-1 differs: another dump, or a collision)"));
    if (!found.matches.empty()) {
        const identify::RomEntry& entry = found.matches.front();
        if (!entry.description.isEmpty()) lines << entry.description;
        QStringList made;
        for (const QString& part : {entry.year, entry.publisher})
            if (!part.isEmpty()) made << part;
        if (!made.isEmpty()) lines << made.join(QStringLiteral(", "));
        QString from = QStringLiteral("List: ") + entry.source;
        if (!entry.software.isEmpty()) from += QStringLiteral(", ") + entry.software;
        if (!found.member.isEmpty()) from += QStringLiteral(" (in the zip: ") + found.member + u')';
        lines << from;
        const std::size_t more = found.matches.size() - 1;
        if (more == 1) lines << QStringLiteral("and 1 more entry");
        if (more > 1) lines << QStringLiteral("and %1 more entries").arg(more);
    }
    return lines.join(QLatin1Char('\n'));
}

GameIdentification::GameIdentification(Factory factory, QObject* parent)
    : QObject(parent), m_factory(std::move(factory)) {}

GameIdentification::~GameIdentification() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_pending.reset();
    }
    m_wanted = 0;
    m_wake.notify_all();
    if (m_worker.joinable()) m_worker.join();
}

void GameIdentification::request(const QString& folder, const QStringList& names,
                                 bool rereadSources) {
    const quint64 id = ++m_lastId;
    m_wanted = id;
    m_running = true;
    {
        std::lock_guard lock(m_mutex);
        // A request replaced before it began still asked for the sources to be read.
        const bool reread = rereadSources || (m_pending && m_pending->reread);
        m_pending = Job{id, folder, names, reread};
    }
    // Started at the first request, so that a window that never asks costs no thread.
    if (!m_worker.joinable()) m_worker = std::thread([this] { work(); });
    m_wake.notify_one();
}

void GameIdentification::cancel() {
    m_wanted = ++m_lastId;
    m_running = false;
    std::lock_guard lock(m_mutex);
    if (m_pending && m_pending->reread) {
        // The sources are still to be read at the next request.
        m_pending->id = 0;
        m_pending->names.clear();
        return;
    }
    m_pending.reset();
}

template <typename F>
void GameIdentification::post(quint64 id, F&& f) {
    m_calls.post([this, id, f = std::forward<F>(f)]() mutable {
        if (m_wanted.load() == id) f();
    });
}

void GameIdentification::work() {
    std::unique_ptr<identify::FolderIdentifier> identifier;
    bool made = false;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || m_pending; });
        if (m_stop) break;
        Job job = std::move(*m_pending);
        m_pending.reset();
        lock.unlock();
        if (!made) {
            if (m_factory) identifier = m_factory();
            made = true;
        }
        if (identifier) {
            run(job, *identifier);
            // What the cache's rows and the names took stays in this thread's arena
            // otherwise, beside whatever the window holds by then.
            job = Job();
            platform::returnFreedMemory();
        } else if (job.id != 0) {
            post(job.id, [this] {
                m_running = false;
                if (unavailable) unavailable();
            });
        }
        lock.lock();
    }
    lock.unlock();
    // Closed on the thread that opened it.
    identifier.reset();
}

void GameIdentification::deliver(quint64 id, const QString& text, const QStringList& problems) {
    bool wake = false;
    {
        std::lock_guard lock(m_inboxMutex);
        m_problems << problems;
        // Skipped sources come without a progress of their own: the last one stands, and
        // an empty text, which says the look is over, never comes from here.
        if (!text.isEmpty()) {
            m_progressId = id;
            m_progressText = text;
        }
        wake = !std::exchange(m_drainPosted, true);
    }
    if (wake) m_calls.post([this] { drain(); });
}

void GameIdentification::deliverAnswer(const Job& job, int index,
                                       const identify::Identification& found, const QString& text) {
    bool wake = false;
    {
        std::lock_guard lock(m_inboxMutex);
        // Answers of an older request would be dropped by the window's thread anyway: the
        // request numbers only grow.
        if (m_inbox.id != job.id) {
            m_inbox.id = job.id;
            m_inbox.names = job.names;
            m_inbox.answered.clear();
            m_inbox.found.clear();
        }
        int kept = -1;
        if (!isPlainUnknown(found)) {
            kept = int(m_inbox.found.size());
            m_inbox.found.push_back(found);
        }
        m_inbox.answered.push_back({index, kept});
        m_progressId = job.id;
        m_progressText = text;
        wake = !std::exchange(m_drainPosted, true);
    }
    if (wake) m_calls.post([this] { drain(); });
}

void GameIdentification::drain() {
    Inbox inbox;
    quint64 progressId = 0;
    QString text;
    QStringList problems;
    {
        std::lock_guard lock(m_inboxMutex);
        std::swap(inbox, m_inbox);
        problems.swap(m_problems);
        progressId = m_progressId;
        text = m_progressText;
        m_drainPosted = false;
    }
    if (!problems.isEmpty() && sourcesSkipped) sourcesSkipped(problems);
    const quint64 wanted = m_wanted.load();
    std::vector<Answer> answers;
    // A batch's handler may ask for another request: the rest is then not wanted.
    for (size_t at = 0; at < inbox.answered.size() && inbox.id == wanted &&
                        m_wanted.load() == wanted && identified;
         at += kAnswerBatch) {
        const size_t end = std::min(inbox.answered.size(), at + kAnswerBatch);
        answers.clear();
        answers.reserve(end - at);
        for (size_t i = at; i < end; ++i) {
            const Answered& a = inbox.answered[i];
            answers.push_back(
                {inbox.names.at(a.name), a.found < 0 ? identify::Identification()
                                                     : std::move(inbox.found[size_t(a.found)])});
        }
        identified(answers);
    }
    if (progressId == wanted && m_running && progress) progress(text);
}

void GameIdentification::run(const Job& job, identify::FolderIdentifier& identifier) {
    const auto wanted = [this, &job] { return !m_stop && m_wanted.load() == job.id; };

    if (!m_sourcesRead || job.reread) {
        const QStringList problems = identifier.refreshSources([&](int done, int total) {
            if (job.id != 0)
                deliver(job.id, progressText("Reading software lists... ", done, total));
            // A cancelled request of its own (id 0) only reads the sources; one replaced
            // by a newer request hands the reading on to it.
            return !m_stop && (job.id == 0 || wanted());
        });
        if (m_stop) return;
        // Stopped half way, the next request reads on.
        if (job.id == 0 || wanted()) m_sourcesRead = true;
        if (!problems.isEmpty()) deliver(job.id, QString(), problems);
    }
    if (job.id == 0 || !wanted()) return;
    const auto finish = [&](bool nothingKnown) {
        post(job.id, [this, nothingKnown] {
            m_running = false;
            if (nothingKnown && nothingToMatch) nothingToMatch();
            if (progress) progress(QString());
            if (finished) finished();
        });
    };
    // Nothing to match against: 100,000 files would be read and held only to be called
    // unknown, which the window can say of every game without them.
    if (!identifier.hasEntries()) return finish(true);

    const int total = static_cast<int>(job.names.size());
    int answered = 0;
    // A 7z is unpacked whole: a look no longer wanted stops inside it, not after it.
    identifier.setStopCheck([&] { return !wanted(); });
    identifier.identifyIn(
        job.folder, job.names, [&](int index, const identify::Identification& found) {
            if (!wanted()) return false;
            if (index < 0 || index >= total) return true;
            deliverAnswer(job, index, found,
                          progressText("Identifying games... ", ++answered, total));
            return true;
        });
    identifier.setStopCheck({});
    finish(false);
}
