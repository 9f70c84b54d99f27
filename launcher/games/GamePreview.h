#pragma once

// What the preview panel shows of the selected game, found off the window's thread: its
// picture (the screenshot search lists folders, the games folder among them), its title
// (the arcade emulators' lists are files) and its date and size (a stat). On a share that
// has stopped answering each of these can wait for ever; the window asks, shows what it
// knows, and fills in when the answer comes.
//
// One thread serves a preview (platform::LatestWork): a question replaces the one still
// waiting, only the newest one's answer is delivered, and a thread held by a hung share
// stays behind when the preview goes.

#include "launcher/games/GameTitle.h"
#include "platform/LatestWork.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

struct PreviewQuestion {
    QString folder;  // the listed folder, ending in "/"
    QString name;    // the game's file name; empty for no game
    QStringList screenshotFolders;
    TitleContext titleContext;
    // The games around it, whose pictures are worth reading ahead.
    QStringList neighbours;
    // The file's date and size are asked only of a folder that has answered its listing.
    bool fileFacts = true;
};

struct PreviewPicture {
    QString path;   // empty: none
    QString stamp;  // its size and date as the picture loader keeps them
    // The selected game's GIF, read whole: the animation draws its frames from these
    // bytes, never from the file. Empty for other pictures, and for a GIF that cannot be
    // read or is larger than kMaxGifBytes.
    QByteArray gifBytes;
};

struct PreviewAnswer {
    QString folder;
    QString name;
    PreviewPicture picture;
    GameTitleResult title;
    QString fileInfo;                  // fileInfoText, empty when not asked or not readable
    QList<PreviewPicture> neighbours;  // only those that have a picture
};

class GamePreview {
public:
    // Larger GIFs are not shown: the whole file stays in memory while it is.
    static constexpr qint64 kMaxGifBytes = 64LL * 1024 * 1024;

    // `answered` runs on the thread that makes the preview (the window's).
    explicit GamePreview(std::function<void(const PreviewAnswer&)> answered);

    // Asks about a game; only the newest question is answered.
    void ask(PreviewQuestion question);
    // Whether the newest question is still unanswered.
    bool pending() const { return m_work.pending(); }

private:
    // The picture search and the title lists, touched only on the work's thread.
    struct Finder;
    std::shared_ptr<Finder> m_finder;
    std::function<void(const PreviewAnswer&)> m_answered;
    platform::LatestWork m_work;
};
