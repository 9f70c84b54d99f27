#include "identify/ChecksumDb.h"
#include "identify/Identification.h"

#include <QDir>

#include <gtest/gtest.h>

#include <optional>

namespace {

using Value = std::optional<QByteArray>;

// Sets an environment variable for one row and puts the old value back.
struct ScopedEnv {
    ScopedEnv(const char* name, const Value& value) : m_name(name) {
        if (qEnvironmentVariableIsSet(name)) m_old = qgetenv(name);
        set(value);
    }
    ~ScopedEnv() { set(m_old); }
    void set(const Value& value) {
        value ? (void)qputenv(m_name, *value) : (void)qunsetenv(m_name);
    }
    const char* m_name;
    Value m_old;
};

TEST(StandardSources, FollowTheDataFoldersTheEmulatorFolderAndTheCacheHome) {
    struct Case {
        Value dataDirs, dataHome, cacheHome;
        QString emulatorFolder;
        QStringList sources;
        QString cache;
    };
    const QString local = QDir::homePath() + "/.local/share/Rombard/dats";
    const QString usr = "/usr/local/share/games/mame/hash", share = "/usr/share/games/mame/hash";
    const QString cache = QDir::homePath() + "/.cache/Rombard/checksums.sqlite3";
    // clang-format off
    const Case cases[] = {
        {"/a:/b/:/a", "/h", "/var/tmp/c", "/emu",
         {"/a/games/mame/hash", "/b/games/mame/hash", "/h/Rombard/dats", "/emu/dats"},
         "/var/tmp/c/Rombard/checksums.sqlite3"},
        // Unset, empty or relative: the freedesktop defaults.
        {std::nullopt, std::nullopt, std::nullopt, "", {usr, share, local}, cache},
        {"", "", "", "/e", {usr, share, local, "/e/dats"}, cache},
        {"", "", "relative/c", "", {usr, share, local}, cache},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        ScopedEnv dirs("XDG_DATA_DIRS", c.dataDirs), home("XDG_DATA_HOME", c.dataHome),
            cacheHome("XDG_CACHE_HOME", c.cacheHome);
        EXPECT_EQ(identify::Sources::standard(c.emulatorFolder).paths, c.sources);
        EXPECT_EQ(identify::ChecksumDb::defaultFile(), c.cache);
    }
}

}  // namespace
