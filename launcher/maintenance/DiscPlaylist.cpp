#include "launcher/maintenance/DiscPlaylist.h"

#include "launcher/PathHelpers.h"
#include "platform/FileContent.h"
#include "platform/FileNames.h"

#include <QRegularExpression>

#include <map>

bool readsPlaylists(const QString& masks) {
    for (const QString& mask : masks.split(u';'))
        if (mask.trimmed().compare(QLatin1String("*.m3u"), Qt::CaseInsensitive) == 0) return true;
    return false;
}

std::optional<DiscName> discNameOf(const QString& name) {
    static const QRegularExpression disc(
        QStringLiteral(R"(\s*\(Disc\s*(\d{1,3})(?:\s+of\s+\d+)?\))"),
        QRegularExpression::CaseInsensitiveOption);
    const QString stem = withExtension(name, QString());
    const QRegularExpressionMatch match = disc.match(stem);
    if (!match.hasMatch()) return std::nullopt;
    QString game = stem;
    game.remove(match.capturedStart(), match.capturedLength());
    game = game.trimmed();
    if (game.isEmpty()) return std::nullopt;
    return DiscName{game, match.captured(1).toInt()};
}

std::optional<Playlist> playlistFor(const QString& selected, const QStringList& listed) {
    const std::optional<DiscName> chosen = discNameOf(selected);
    if (!chosen) return std::nullopt;
    const QString type = extensionOf(selected);
    const QString game = platform::foldName(chosen->game);
    std::map<int, QString> discs;
    for (const QString& name : listed) {
        if (extensionOf(name).compare(type, Qt::CaseInsensitive) != 0) continue;
        const std::optional<DiscName> disc = discNameOf(name);
        if (!disc || platform::foldName(disc->game) != game) continue;
        if (!discs.emplace(disc->disc, name).second) return std::nullopt;
    }
    if (discs.size() < 2) return std::nullopt;
    Playlist playlist{chosen->game + QStringLiteral(".m3u"), {}};
    for (const auto& [number, name] : discs)
        playlist.discs.append(name);
    return playlist;
}

QByteArray playlistText(const Playlist& playlist) {
    QByteArray text;
    for (const QString& disc : playlist.discs)
        text += platform::encodeName(disc) + '\n';
    return text;
}

bool writePlaylistFile(const QString& folder, const Playlist& playlist, QString* why) {
    return platform::createFileWithContent(folder + playlist.name, playlistText(playlist), why);
}
