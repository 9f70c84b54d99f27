#pragma once

// How the launcher is asked to start (its command line) and which emulator folder it
// starts on.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace platform {
class Dialogs;
class SettingsStore;
}  // namespace platform

// What the command line asks for: `rombard [--help | --version] [FOLDER]`. "--" ends the
// options, so a folder whose name begins with "-" can still be given.
struct CommandLineRequest {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    QString folder;  // FOLDER as the file system spells it (platform::decodeName)
    QString error;   // for Error: one line saying what was wrong
};
// `arguments` without the program's own name.
CommandLineRequest parseCommandLine(const QList<QByteArray>& arguments);

// The arguments without the options Qt takes for itself (-platform xcb, -style=fusion,
// -reverse...), so the command line can be judged before any window system is touched.
QList<QByteArray> withoutQtOptions(const QList<QByteArray>& arguments);

// What a later copy given FOLDER hands to the running one, and the folder read back from
// it (nothing for any other message, such as a caption). The folder travels as its bytes.
QString folderHandoff(const QString& folder);
std::optional<QString> handedFolder(const QString& message);

// The last emulator folder lives in a section of the launcher's own: every emulator's
// section is named after its executable, which always ends in ".exe".
inline const QString kLauncherSection = QStringLiteral("Rombard");
inline const QString kLastFolderKey = QStringLiteral("EmulatorFolder");
inline const QString kPickerTitle =
    QStringLiteral("Select the emulator folder, or a folder of games:");

struct StartFolderFacts {
    QString argument;       // FOLDER from the command line; empty without one
    QString programFolder;  // the folder holding the launcher's own program
    // Where installed copies live (/usr/bin): the emulators a distribution installs there
    // do not make it anybody's emulator folder.
    QStringList systemBinFolders;
    QString pickerStart;  // where the picker opens (the home folder)
};

enum class StartFolderSource { Argument, ProgramFolder, LastFolder, Picker, NoChoice };

struct StartFolderChoice {
    QString folder;  // ends in "/"
    StartFolderSource source = StartFolderSource::NoChoice;
};

// Empty when `folder` can serve as an emulator folder, else what is wrong with it.
QString folderProblem(const QString& folder);

// The emulator folder: FOLDER when given and usable; else the launcher's own folder when it
// holds an emulator of the catalogue (other than the launcher) or a "roms" folder; else the
// folder used last, when it is still there; else the one the user picks. A FOLDER that
// cannot be used is also named in a message box before the picker opens, and cancelling
// that picker gives NoChoice with no folder: the launcher ends. Otherwise a cancelled
// picker leaves the launcher's own folder, as before any of this existed. Every problem
// goes to `tellTerminal`. Nothing is stored: see rememberStartFolder.
StartFolderChoice chooseStartFolder(const StartFolderFacts& facts,
                                    const platform::SettingsStore& settings,
                                    platform::Dialogs& dialogs,
                                    const std::function<void(const QString&)>& tellTerminal);

// Stores a folder chosen anew (given, own or picked) as the one used last. Called once the
// launcher knows it is the only running copy, since a second copy stores nothing.
void rememberStartFolder(const StartFolderChoice& choice, platform::SettingsStore& settings);

// Whether `folder` is an emulator folder: it holds an emulator of the catalogue (other than
// the launcher) or a "roms" folder. Any other folder given is a folder of games.
bool holdsEmulators(const QString& folder);

// The folders tried in turn for the games once an emulator is chosen; the first that lists
// a game stays listed, else the last. `wanted` comes first. When the emulator folder is a
// folder of games (`gamesFolder`, else empty) it follows and ends the series: the folder
// named is what the user asked to see, even when the emulator's masks find nothing there,
// and a games folder the settings remember from another start must never replace it.
// Otherwise the remembered games folder, the emulator folder's "roms" and the emulator
// folder itself follow. A folder comes once.
QStringList gamesFolderCandidates(const QString& wanted, const QString& gamesFolder,
                                  const QString& remembered, const QString& emulatorFolder);
