#include "identify/LibraryIdentifier.h"

#include "identify/ChecksumCache.h"
#include "identify/ChecksumDb.h"
#include "identify/ChecksumIndex.h"
#include "identify/GameIdentifier.h"

#include <optional>

namespace identify {

namespace {

// The index and the cache share the one connection, which this object opened on the thread
// that uses it.
class LibraryIdentifier final : public FolderIdentifier {
public:
    LibraryIdentifier(QString file, Sources sources)
        : m_file(std::move(file)), m_sources(std::move(sources)) {}

    QString open() {
        m_identifier.reset();
        m_cache.reset();
        m_index.reset();
        const ChecksumDb::Opened opened = m_db.open(m_file);
        if (!opened.ok) return opened.error;
        m_index.emplace(m_db.handle());
        m_cache.emplace(m_db.handle());
        m_identifier.emplace(*m_index, &*m_cache);
        m_identifier->setStopCheck(m_stopCheck);
        return QString();
    }

    QStringList refreshSources(const std::function<bool(int, int)>& progress) override {
        // A cache removed while the launcher runs is made again, not written on unseen.
        if (!m_index || m_db.fileGone()) {
            const QString error = open();
            if (!error.isEmpty())
                return {QStringLiteral("The checksum cache could not be opened: ") + error};
        }
        QStringList messages = m_index->refresh(m_sources, progress);
        m_db.checkpoint();
        return messages;
    }

    // Without a database nothing is looked at anyway, and nothing is said of the games.
    bool hasEntries() override { return !m_index || m_index->holdsEntries(); }

    void identify(const QStringList& paths,
                  const std::function<bool(int, const Identification&)>& each) override {
        if (m_identifier) m_identifier->identify(paths, each);
    }
    void identifyIn(const QString& folder, const QStringList& names,
                    const std::function<bool(int, const Identification&)>& each) override {
        if (m_identifier) m_identifier->identifyIn(folder, names, each);
    }
    void setStopCheck(std::function<bool()> stopped) override {
        m_stopCheck = std::move(stopped);
        if (m_identifier) m_identifier->setStopCheck(m_stopCheck);
    }

private:
    QString m_file;
    Sources m_sources;
    ChecksumDb m_db;
    std::optional<ChecksumIndex> m_index;
    std::optional<ChecksumCache> m_cache;
    std::optional<GameIdentifier> m_identifier;
    std::function<bool()> m_stopCheck;
};

}  // namespace

std::unique_ptr<FolderIdentifier> openLibraryIdentifier(const QString& cacheFile,
                                                        const Sources& sources, QString* error) {
    auto identifier = std::make_unique<LibraryIdentifier>(cacheFile, sources);
    const QString problem = identifier->open();
    if (!problem.isEmpty()) {
        if (error) *error = problem;
        return nullptr;
    }
    return identifier;
}

}  // namespace identify
