#pragma once

// Ctrl+M: a playlist (.m3u) for a game of several discs, for the emulators that change
// discs through one. The discs are found by their names: the same name but for its
// "(Disc N)".

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// Whether an emulator whose masks are `masks` (the list's pattern, "*.cue;*.m3u") reads
// playlists: one of its masks is "*.m3u", letter case ignored.
bool readsPlaylists(const QString& masks);

// What a disc's name says: its game's name (without the disc's number and the extension)
// and the number. Nothing for a name that carries no "(Disc N)" ("(Disc N of M)" too).
struct DiscName {
    QString game;
    int disc = 0;
};
std::optional<DiscName> discNameOf(const QString& name);

struct Playlist {
    QString name;       // "<game>.m3u"
    QStringList discs;  // in disc order
};

// The playlist of the game `selected` is a disc of: the names of `listed` of the same game
// and extension, in disc order. Nothing when it has fewer than two discs, or two discs of
// one number (which one is meant cannot be known).
std::optional<Playlist> playlistFor(const QString& selected, const QStringList& listed);

// One disc's name a line, as they are named in the folder.
QByteArray playlistText(const Playlist& playlist);

// Writes the playlist into `folder` (ending in "/"), never over an entry of its name. False,
// with `why` saying why, when it cannot.
bool writePlaylistFile(const QString& folder, const Playlist& playlist, QString* why = nullptr);
