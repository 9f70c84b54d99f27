#pragma once

// The title shown for a game file: its name without extension and dump tags, or for the
// arcade emulators the proper title from the zinc game lists or the emulator's own
// "gamelist.txt", with the game number that zinc expects on its command line.

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

struct TitleContext {
    QString currentEmulator;
    QString emulatorFolder;  // ends in "/"
    QString systemName;
};

struct GameTitleResult {
    QString title;
    QString gameNumber;  // zinc's number in decimal, or empty
};

// Underscores to blanks, the usual dump tags removed, blanks trimmed.
QString cleanTitle(QString base);
// The shape of a game line of "gamelist.txt": "|" first and last, seven "|" at least.
bool isGameListLine(const QString& line);
// The game lines of a "gamelist.txt", at most `maxLines`; nothing when it cannot be read
// or is not a regular file (a FIFO, a device, a folder). Lines are UTF-8 where they are
// valid UTF-8, else Latin-1; lines longer than any game line could be (4 KiB) are skipped
// unkept, and reading stops after 16 MiB, so a first title never waits long for it.
std::optional<QStringList> readGameList(const QString& path, int maxLines = 10000);
// "File Date: <local short date and time>  Size: <size>"; empty when the file's date or
// size cannot be read.
QString fileInfoText(const QString& path);

// The title as it fits a panel `width` wide with room for `maxLines` lines, `widthOf`
// measuring a line: words go to the next line where they no longer fit, a word wider than
// a line is cut, and the last line, when the rest is wider, ends in an ellipsis. Lines
// are joined by "\n"; blanks are simplified. A title that fits is returned as it is.
QString fittedTitle(const QString& title, int width, int maxLines,
                    const std::function<int(const QString&)>& widthOf);

// The lists are read once per run, on first use, and kept.
class GameTitles {
public:
    GameTitleResult titleOfGame(const QString& name, const TitleContext& context);
    int zincGameCount() const { return static_cast<int>(m_zinc.size()); }
    int arcadeGameCount() const { return static_cast<int>(m_arcade.size()); }

private:
    QStringList m_zinc;
    QStringList m_arcade;
    bool m_arcadeRead = false;
};
