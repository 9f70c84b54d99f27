#include "identify/ChecksumDb.h"
#include "identify/Identification.h"

#include <QDir>

#include <gtest/gtest.h>

#include <optional>

namespace {

// Sets an environment variable for one test and puts the old value back.
struct ScopedEnv {
    ScopedEnv(const char* name, const std::optional<QByteArray>& value) : m_name(name) {
        if (qEnvironmentVariableIsSet(name)) m_old = qgetenv(name);
        set(value);
    }
    ~ScopedEnv() { set(m_old); }
    void set(const std::optional<QByteArray>& value) {
        value ? (void)qputenv(m_name, *value) : (void)qunsetenv(m_name);
    }
    const char* m_name;
    std::optional<QByteArray> m_old;
};

TEST(StandardSources, FollowTheDataFoldersAndTheEmulatorFolder) {
    struct Case {
        std::optional<QByteArray> dataDirs;
        std::optional<QByteArray> dataHome;
        QString emulatorFolder;
        QStringList expected;
    };
    const QString home = QDir::homePath();
    const QString local = home + "/.local/share/Rombard/dats";
    const QString usr = "/usr/local/share/games/mame/hash", share = "/usr/share/games/mame/hash";
    // clang-format off
    const Case cases[] = {
        {QByteArray("/a:/b/:/a"), QByteArray("/h"), "/emu",
         {"/a/games/mame/hash", "/b/games/mame/hash", "/h/Rombard/dats", "/emu/dats"}},
        // Unset or empty: the freedesktop defaults.
        {std::nullopt, std::nullopt, "", {usr, share, local}},
        {QByteArray(""), QByteArray(""), "/e", {usr, share, local, "/e/dats"}},
    };
    // clang-format on
    for (const Case& c : cases) {
        ScopedEnv dirs("XDG_DATA_DIRS", c.dataDirs);
        ScopedEnv dataHome("XDG_DATA_HOME", c.dataHome);
        EXPECT_EQ(identify::Sources::standard(c.emulatorFolder).paths, c.expected)
            << c.emulatorFolder.toStdString();
    }
}

TEST(StandardSources, TheChecksumCacheFollowsXdgCacheHome) {
    const QString home = QDir::homePath();
    const std::pair<std::optional<QByteArray>, QString> cases[] = {
        {"/var/tmp/c", QStringLiteral("/var/tmp/c/Rombard/checksums.sqlite3")},
        {"relative/c", home + QStringLiteral("/.cache/Rombard/checksums.sqlite3")},
        {"", home + QStringLiteral("/.cache/Rombard/checksums.sqlite3")},
        {std::nullopt, home + QStringLiteral("/.cache/Rombard/checksums.sqlite3")},
    };
    for (const auto& [value, expected] : cases) {
        ScopedEnv cache("XDG_CACHE_HOME", value);
        EXPECT_EQ(identify::ChecksumDb::defaultFile(), expected) << value.value_or("unset").data();
    }
}

}  // namespace
