#include "platform/DesktopHandlers.h"

#include "platform/FileNames.h"

#include <QDir>
#include <QMimeDatabase>
#include <QSet>

#include <optional>

namespace platform {

namespace {

// These lists are a few kilobytes; a larger one is not what it should be.
constexpr qint64 kListMaxBytes = 4 * 1024 * 1024;

QStringList folderList(const char* variable, const QString& home, const QStringList& fallback) {
    QStringList folders{home};
    const QString value = qEnvironmentVariable(variable);
    const QStringList listed = value.split(u':', Qt::SkipEmptyParts);
    folders += listed.isEmpty() ? fallback : listed;
    return folders;
}

// The types of `text` that name at least one program in one of `groups`.
void collectServed(const QByteArray& text, const QStringList& groups, QSet<QString>& served) {
    bool inGroup = false;
    for (const QByteArray& rawLine : text.split('\n')) {
        const QString line = QString::fromUtf8(rawLine).trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) continue;
        if (line.startsWith(u'[')) {
            inGroup = groups.contains(line.mid(1, line.size() - 2));
            continue;
        }
        if (!inGroup) continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0) continue;
        const QString programs = line.mid(eq + 1).trimmed();
        if (programs.split(u';', Qt::SkipEmptyParts).isEmpty()) continue;
        served.insert(line.left(eq).trimmed());
    }
}

std::optional<QByteArray> readList(const QString& path) {
    bool cut = false;
    return readRegularFile(path, kListMaxBytes, &cut);
}

}  // namespace

AssociationFolders AssociationFolders::current() {
    AssociationFolders where;
    const QString home = QDir::homePath();
    const QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME", home + "/.config");
    const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME", home + "/.local/share");
    where.config = folderList("XDG_CONFIG_DIRS", configHome, {QStringLiteral("/etc/xdg")});
    where.data = folderList("XDG_DATA_DIRS", dataHome,
                            {QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")});
    for (const QString& d :
         qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':', Qt::SkipEmptyParts))
        where.desktops << d.toLower();
    return where;
}

HandlerAnswer desktopHandlerFor(const QStringList& types, const AssociationFolders& where) {
    const QStringList associations{QStringLiteral("Default Applications"),
                                   QStringLiteral("Added Associations")};
    QSet<QString> served;
    QStringList lists;
    for (const QString& folder : where.config) {
        for (const QString& desktop : where.desktops)
            lists << folder + u'/' + desktop + QStringLiteral("-mimeapps.list");
        lists << folder + QStringLiteral("/mimeapps.list");
    }
    for (const QString& folder : where.data) {
        lists << folder + QStringLiteral("/applications/mimeapps.list")
              << folder + QStringLiteral("/applications/defaults.list");
    }
    for (const QString& path : lists)
        if (const auto text = readList(path)) collectServed(*text, associations, served);
    bool anyCache = false;
    for (const QString& folder : where.data) {
        const auto text = readList(folder + QStringLiteral("/applications/mimeinfo.cache"));
        if (!text) continue;
        anyCache = true;
        collectServed(*text, {QStringLiteral("MIME Cache")}, served);
    }
    for (const QString& type : types)
        if (served.contains(type)) return HandlerAnswer::Some;
    return anyCache ? HandlerAnswer::None : HandlerAnswer::Unknown;
}

QStringList typesOfFileName(const QString& fileName) {
    const QMimeDatabase db;
    const QMimeType type = db.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    QStringList types{type.name()};
    types += type.aliases();
    types += type.allAncestors();
    return types;
}

}  // namespace platform
