#include "identify/LibraryIdentifier.h"

#include "identify/ChecksumCache.h"
#include "identify/ChecksumIndex.h"
#include "identify/GameIdentifier.h"
#include "library/LibraryDb.h"

namespace identify {

namespace {

// The index and the cache share the one connection, which this object opened on the thread
// that uses it.
class LibraryIdentifier final : public FolderIdentifier {
public:
    LibraryIdentifier(std::unique_ptr<library::LibraryDb> db, Sources sources)
        : m_db(std::move(db)),
          m_index(m_db->handle()),
          m_cache(m_db->handle()),
          m_identifier(m_index, &m_cache),
          m_sources(std::move(sources)) {}

    QStringList refreshSources(const std::function<bool(int, int)>& progress) override {
        return m_index.refresh(m_sources, progress);
    }

    void identify(const QStringList& paths,
                  const std::function<bool(int, const Identification&)>& each) override {
        m_identifier.identify(paths, each);
    }

private:
    std::unique_ptr<library::LibraryDb> m_db;
    ChecksumIndex m_index;
    ChecksumCache m_cache;
    GameIdentifier m_identifier;
    Sources m_sources;
};

}  // namespace

std::unique_ptr<FolderIdentifier> openLibraryIdentifier(const QString& databaseFile,
                                                        const Sources& sources, QString* error) {
    auto db = std::make_unique<library::LibraryDb>();
    const library::LibraryDb::Opened opened = db->open(databaseFile);
    if (!opened.ok) {
        if (error) *error = opened.error;
        return nullptr;
    }
    return std::make_unique<LibraryIdentifier>(std::move(db), sources);
}

}  // namespace identify
