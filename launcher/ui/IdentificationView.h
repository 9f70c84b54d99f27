#pragma once

// Identification by checksum as the window shows it: the "Verified" column filled as the
// answers come for the listed folder, what the game's tip says of it, Ctrl+I (identify
// again, every problem said) and Ctrl+N (rename to the entry's name, after a question).
// The work runs in GameIdentification; the rename is F2's (FileCommands::renameListed).

#include "identify/Identification.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class FileListView;
class GameIdentification;

namespace platform {
class Dialogs;
}

class IdentificationView : public QObject {
public:
    struct Host {
        FileListView* list = nullptr;
        platform::Dialogs* dialogs = nullptr;
        // Makes the identifier on the identification's own thread; none: nothing is
        // identified.
        std::function<std::unique_ptr<identify::FolderIdentifier>()> identifier;
        // The progress text changed (progress()).
        std::function<void()> progressChanged;
        // An answer came for the selected game: its tip is due again.
        std::function<void(const QString& name)> selectedAnswered;
        // F2's rename of `name` in the listed folder to `wanted`, off the window's thread.
        // `then` gets the folder, the name given (none: not renamed) and whether the file
        // had gone.
        using Renamed = std::function<void(const QString& folder,
                                           const std::optional<QString>& given, bool gone)>;
        std::function<void(const QString& name, const QString& wanted, Renamed then)> rename;
        // Lists the folder again, selecting `name` when it is listed.
        std::function<void(const QString& name)> refresh;
    };
    // Hooks itself in front of the list's listings; the list's own hook, if any, stays.
    IdentificationView(Host host, QObject* parent);

    // From the window's first show on: start-up never waits for a run.
    void windowShown();
    // Ctrl+I and Ctrl+N; true: the key's closing step follows.
    bool identifyAgain();
    bool renameToCanonicalName();
    // What the list's tip adds while a run is under way; empty otherwise.
    QString progress() const { return m_progress; }
    // What identification knows of the listed game `name`, for its tip; empty when nothing.
    QString describe(const QString& name) const;

private:
    // Identifies the listed folder once the events under way are done, so the listings of
    // one command (start-up lists more than once) start one run.
    void queue();
    void identifyListedFolder();
    void connectAnswers();
    // What is known of the listed game `name`; null when nothing (yet).
    const identify::Identification* answerFor(const QString& name) const;
    void forgetAnswers();

    Host m_host;
    GameIdentification* m_identification = nullptr;
    // The listed folder's answers by name; only for m_identifiedFolder.
    QHash<QString, identify::Identification> m_identified;
    QString m_identifiedFolder;
    // No source holds any entry: every game of m_identifiedFolder is unknown, unread.
    bool m_nothingToMatch = false;
    bool m_allowed = false;  // from the first show on
    bool m_queued = false;
    bool m_asked = false;       // the run was Ctrl+I's: its problems are all said
    bool m_missing = false;     // the identifier could not be made
    QStringList m_sourcesTold;  // skipped sources said already
    QString m_progress;
};
