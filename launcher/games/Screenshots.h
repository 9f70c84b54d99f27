#pragma once

// Finding a game's screenshot or cover by name: the longest prefix of the game's file name
// that names a picture, in a fixed series of folders, letter case ignored everywhere.

#include <QHash>
#include <QMultiHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <vector>

class FolderPrefetch;

// The folders searched, in order: the emulator's own screenshot folder (when the setting
// names one), "shots/", "snapshots/", "snap/" and "screenshots/" under the emulator
// folder, the same four under the listed folder, the listed folder, and the listed
// folder's covers folder. A folder comes once, at its first place.
QStringList screenshotFoldersOf(const QString& settingFolder, const QString& emulatorFolder,
                                const QString& listedFolder);
// What the picture panel says when a game has no picture: where it was looked for, one
// folder a line, the home folder written "~".
QString noPictureHint(const QStringList& folders, const QString& home);
// The same series for a games folder whose emulator folder is the one above it, with no
// folder of its own set: what the command-line tools search, so that they and the window
// find the same picture for a game.
QStringList screenshotFoldersBeside(const QString& gamesFolder);
// Whether the name ends in one of the picture types the search takes (letter case ignored).
bool isPictureName(const QString& name);
// "covers_retro/" inserted after every "/roms/" (letter case ignored, the matched text
// kept as spelled); the folder unchanged when it has no "/roms/".
QString coversFolder(const QString& listedFolder);

// Keeps one listing per folder, checked against the folder's modification time once per
// search, so that a search asks the file system nothing per candidate name. Only regular
// files (or links to them) count as pictures: a folder, a FIFO or a dangling link named
// like one is passed over and the search goes on.
class ScreenshotSearch {
public:
    // The first picture found in `folders`, as its real path; empty when none. This is the
    // picture shown for the game, which may be named after a shorter name of another game.
    QString screenshotOf(const QStringList& folders, const QString& name);
    // The pictures named after the game itself: its name without the extension, letter
    // case ignored, with any of the picture types, in every one of `folders` (not only the
    // first that holds a picture), in the search's order. These are what belong to the
    // game: what moves with it, and what makes a copy of it worth keeping.
    QStringList findOwnScreenshots(const QStringList& folders, const QString& name);
    bool hasOwnScreenshot(const QStringList& folders, const QString& name);
    // Prefixes of `name` from the longest down, each with ".png", ".jpg", ".gif", ".bmp"
    // in place of its extension; the real path of the first that exists, or empty.
    QString findPictureFile(const QString& folder, const QString& name);
    // The folder as spelled on disk, each missing component matched without regard to
    // letter case; empty when there is no such folder.
    QString resolveFolder(const QString& folder);
    void clear() { m_folders.clear(); }
    // Entries read ahead, taken instead of listing their folder while they hold; nullptr
    // (the default) lists every folder.
    void readAheadFrom(FolderPrefetch* prefetch) { m_readAhead = prefetch; }

    // A batch of renames by this program: until `releaseListings`, a listing once taken is
    // trusted without looking at its folder again, and `moved` keeps it in step with each
    // entry the batch moves (full paths), so that a thousand renames cost no thousand
    // listings. Changes by other programs meanwhile are seen once the batch is over: the
    // folders it changed are listed again at the next search.
    void holdListings();
    void moved(const QString& fromPath, const QString& toPath);
    // An entry the batch moved out of every searched folder (to the trash).
    void removed(const QString& path) { moved(path, QString()); }
    void releaseListings();

private:
    struct Picture {
        QString foldedStem;
        QString real[4];  // by extension: png, jpg, gif, bmp
        // A link (or an entry the file system does not type) is looked at when found: what
        // it points to can change without its folder changing.
        bool look[4] = {false, false, false, false};
    };
    struct Folder {
        qint64 stamp = 0;
        qint64 listedAt = 0;
        // The listing as read, every name followed by a '/' (which no name holds): one
        // block instead of one string per entry. Most searches need only the pictures; a
        // folder of thirty thousand games folds every name only when a name is looked up
        // (`namesOf`).
        QString entries;
        bool named = false;
        QHash<QString, QString> names;         // folded name -> real name, once named
        QHash<QString, QString> looked;        // before: names looked up (empty: none)
        QMultiHash<quint64, qsizetype> stems;  // stem hash -> index into pictures
        std::vector<Picture> pictures;
        // Folded names listed more than once (spellings that differ in letter case only):
        // taking one of them out cannot tell what the other leaves.
        QSet<QString> twins;
    };
    // The stem lengths of a name to try, longest first, with the hash of each folded stem.
    struct Probe {
        QString folded;
        QString name;
        bool sameLength = true;
        std::vector<std::pair<qsizetype, quint64>> stems;
    };
    static Probe probeFor(const QString& name);
    // The folder's listing, fresh; nullptr when `real` is not a folder.
    Folder* listing(const QString& real);
    // The folded names (and twins) of the listing, made on first need.
    static const QHash<QString, QString>& namesOf(Folder& f);
    // The real spelling of a folded name in the listing (the last listed), empty when none.
    static QString realName(Folder& f, const QString& folded);
    // The folder's listing for a search, and the path its pictures are found under;
    // nullptr when there is no such folder.
    const Folder* searched(const QString& folder, QString& base);
    QString search(const QString& realFolder, const Probe& probe);
    // Every picture of `folder` with the probe's full-length stem, appended to `found`;
    // stops after the first when `one`.
    void searchOwn(const QString& folder, const Probe& probe, bool one, QStringList& found);
    QString existingFolder(const QString& folder);
    static Picture* pictureOf(Folder& f, const QString& folded);
    static void addEntry(Folder& f, const QString& entry, const QString& folded, bool look);

    bool m_held = false;
    FolderPrefetch* m_readAhead = nullptr;
    QSet<QString> m_trusted;  // folders listed or checked since the batch began
    QSet<QString> m_changed;  // folders the batch changed
    // Folders as given -> as spelled on disk (empty: missing), found while held.
    QHash<QString, QString> m_spelled;

    QHash<QString, Folder> m_folders;
};
