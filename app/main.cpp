#include "identify/ChecksumDb.h"
#include "identify/LibraryIdentifier.h"
#include "launcher/emulators/InstalledEmulators.h"
#include "launcher/games/PlayHistory.h"
#include "launcher/maintenance/RenameJournal.h"
#include "launcher/ui/MainWindow.h"
#include "launcher/window/KeyReference.h"
#include "launcher/window/StartFolder.h"
#include "library/HistoryReport.h"
#include "library/JournalFiles.h"
#include "library/JournalSync.h"
#include "library/LibraryDb.h"
#include "library/PlaySession.h"
#include "platform/Descendants.h"
#include "platform/DesktopShell.h"
#include "platform/FileNames.h"
#include "platform/FileOperations.h"
#include "platform/LocalSingleInstance.h"
#include "platform/ProcProcessTable.h"
#include "platform/ProcessMemory.h"
#include "platform/SdlGamepads.h"
#include "platform/SettingsStore.h"
#include "platform/StorageVolumes.h"
#include "platform/ui/FocusKeystrokeSender.h"
#include "platform/ui/WidgetDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>

#include <cstdio>
#include <cstring>
#include <optional>

namespace {

QList<QByteArray> argumentsOf(int argc, char* argv[]) {
    QList<QByteArray> args;
    for (int i = 1; i < argc; ++i)
        args.append(QByteArray(argv[i]));
    return args;
}

// --help adds the window's keys; a mistake gets only the usage, to keep the error in sight.
void printUsage(FILE* to, bool withKeys = false) {
    std::fputs(
        "Usage: rombard [FOLDER]\n"
        "A launcher for console and arcade emulators: lists the games of an emulator folder's\n"
        "\"roms\" folder and starts them in the emulator chosen.\n"
        "\n"
        "FOLDER is the emulator folder when it holds an emulator or a \"roms\" folder; any\n"
        "other FOLDER is a folder of games, listed with the emulator chosen there last or an\n"
        "installed one. Without it the launcher uses its own folder when that holds emulators\n"
        "or a \"roms\" folder, else the folder used last, else it asks.\n"
        "\n"
        "  --history [GAMES]\n"
        "                 print the play history (plays, seconds, last played, favourite,\n"
        "                 path; tab-separated, latest first) and exit; with a games\n"
        "                 folder, read its journals first and print only its games\n"
        "  -h, --help     show this help and exit\n"
        "  -V, --version  show the version and exit\n"
        "\n"
        "Besides the emulators of the folder, the emulators installed on the system are\n"
        "offered, and those described in $XDG_CONFIG_HOME/Rombard/emulators.conf (see the\n"
        "README). A second copy given a FOLDER hands it to the copy already running.\n",
        to);
    if (withKeys) {
        std::fputs("\nKeys in the window:\n\n", to);
        std::fputs(keyReferenceText().toUtf8().constData(), to);
    }
}

// --help, --version and mistakes answer before any window system is touched, so they work
// on a plain terminal; Qt's own options (-platform ...) are left for Qt.
std::optional<int> answerOnTerminal(int argc, char* argv[]) {
    const CommandLineRequest r = parseCommandLine(withoutQtOptions(argumentsOf(argc, argv)));
    if (r.action == CommandLineRequest::Action::Error) {
        std::fprintf(stderr, "rombard: %s\n", platform::encodeName(r.error).constData());
        printUsage(stderr);
        return 2;
    }
    if (r.action == CommandLineRequest::Action::Help) {
        printUsage(stdout, true);
        return 0;
    }
    if (r.action == CommandLineRequest::Action::Version) {
        std::printf("rombard %s\n", ROMBARD_VERSION);
        return 0;
    }
    return std::nullopt;
}

void tellTerminal(const QString& text) {
    // The folder names in it back to the bytes they were given as.
    std::fprintf(stderr, "rombard: %s\n", platform::encodeName(text).constData());
}

// The emulator folder, from what is left of the command line after Qt's options; nothing
// when the line holds a mistake (already reported).
std::optional<StartFolderChoice> chooseEmulatorFolder(int argc, char* argv[],
                                                      const QString& programFolder,
                                                      platform::SettingsStore& settings,
                                                      platform::Dialogs& dialogs) {
    const CommandLineRequest r = parseCommandLine(argumentsOf(argc, argv));
    if (r.action == CommandLineRequest::Action::Error) {
        tellTerminal(r.error);
        std::fputs("Try 'rombard --help'.\n", stderr);
        return std::nullopt;
    }
    StartFolderFacts facts;
    facts.argument = r.folder;
    facts.programFolder = programFolder;
    facts.systemBinFolders = {QStringLiteral(ROMBARD_INSTALL_BINDIR), QStringLiteral("/usr/bin"),
                              QStringLiteral("/usr/local/bin"), QStringLiteral("/usr/games")};
    facts.pickerStart = QDir::homePath();
    return chooseStartFolder(facts, settings, dialogs, tellTerminal);
}

QString installationFolder() {
    return platform::userBaseFolder("XDG_DATA_HOME", QStringLiteral(".local/share")) +
           QStringLiteral("/Rombard");
}

// --history [FOLDER]: the play history on standard output, without any display. With a
// games folder, its journals are read in first and only its games are printed.
std::optional<int> printHistory(int argc, char* argv[]) {
    if (argc < 2 || argc > 3 || std::strcmp(argv[1], "--history") != 0) return std::nullopt;
    library::LibraryDb db;
    const library::LibraryDb::Opened opened = db.open(library::LibraryDb::defaultFile());
    if (!opened.movedAsideTo.isEmpty())
        tellTerminal(QStringLiteral("the play history was damaged and has been moved to ") +
                     opened.movedAsideTo);
    if (!opened.ok) {
        tellTerminal(QStringLiteral("the play history cannot be read: ") + opened.error);
        return 1;
    }
    QByteArray folder;
    if (argc == 3) {
        // As given, links and all: the history is kept under the path this computer uses.
        QString games = QDir::cleanPath(
            QDir::current().absoluteFilePath(platform::decodeName(QByteArray(argv[2]))));
        if (!QFileInfo(games).isDir()) {
            tellTerminal(games + QStringLiteral(" is not a folder"));
            return 1;
        }
        if (!games.endsWith(QLatin1Char('/'))) games += QLatin1Char('/');
        const library::journal::InstallationId id =
            library::journal::loadInstallationId(installationFolder());
        if (!id.notice.isEmpty()) tellTerminal(id.notice);
        db.setInstallation(id.id);
        const library::JournalSync::Result read = library::JournalSync(db, id.id).readFolder(games);
        if (read.newer > 0)
            tellTerminal(QString::number(read.newer) +
                         QStringLiteral(" records written by a newer Rombard were skipped."));
        if (read.damaged > 0)
            tellTerminal(QString::number(read.damaged) +
                         QStringLiteral(" damaged journal lines were skipped."));
        folder = platform::encodeName(games);
    }
    const QByteArray report = library::historyReport(db.historyLines(folder));
    std::fwrite(report.constData(), 1, static_cast<size_t>(report.size()), stdout);
    return 0;
}

// A rename killed between a game and its screenshot is finished or undone before any
// folder is read, so that the first listing shows the pair together.
void putRightInterruptedRenames() {
    platform::LocalFileOperations files;
    const RecoveredRenames recovered = recoverInterruptedRenames(files);
    for (const auto& [from, to] : recovered.completed)
        tellTerminal(QStringLiteral("finished an interrupted rename: ") + from +
                     QStringLiteral(" -> ") + to);
    for (const auto& [from, to] : recovered.undone)
        tellTerminal(QStringLiteral("undid an interrupted rename: ") + to + QStringLiteral(" -> ") +
                     from);
    if (recovered.leftApart > 0)
        tellTerminal(QString::number(recovered.leftApart) +
                     QStringLiteral(" interrupted renames could be neither finished nor undone."));
}

}  // namespace

int main(int argc, char* argv[]) {
    platform::setUpHeap();
    if (const std::optional<int> history = printHistory(argc, argv)) return *history;
    // Everything the launcher starts stays its descendant, so a play lasts until the
    // emulator's last process ends, also when the emulator forks and exits at once.
    platform::becomeChildSubreaper();
    if (const std::optional<int> answered = answerOnTerminal(argc, argv)) return *answered;
    putRightInterruptedRenames();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Rombard"));
    QApplication::setApplicationVersion(QStringLiteral(ROMBARD_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("rombard"));
    QApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral("rombard"), QIcon(QStringLiteral(":/rombard.png"))));

    platform::IniSettingsStore settings(platform::IniSettingsStore::defaultFolder());
    platform::DesktopShell shell;
    platform::ProcProcessTable processes;
    platform::WidgetDialogs dialogs;
    platform::FocusKeystrokeSender keystrokes;
    platform::StorageVolumes volumes;
    platform::LocalSingleInstance singleInstance;
    platform::LocalFileOperations files;
    platform::SdlGamepads gamepads(platform::SdlGamepads::defaultMappingsFile());

    library::LibraryDb libraryDb;
    const library::LibraryDb::Opened opened = libraryDb.open(library::LibraryDb::defaultFile());
    library::SystemPlayClock playClock;
    platform::ProcDescendants descendants;
    PlayHistory history(libraryDb, playClock, descendants);
    if (!opened.movedAsideTo.isEmpty())
        history.setNotice(
            QStringLiteral("The play history was damaged: it was moved aside "
                           "and starts empty."));
    else if (!opened.ok)
        history.setNotice(QStringLiteral("The play history cannot be opened: ") + opened.error);
    if (opened.ok) {
        const library::journal::InstallationId id =
            library::journal::loadInstallationId(installationFolder());
        if (!id.notice.isEmpty()) {
            tellTerminal(id.notice);
            history.setNotice(id.notice);
        }
        history.shareThroughJournals(id.id);
    }

    // The emulators live beside the launcher, also when it was started through a link
    // placed in their folder.
    const QString programFolder = platform::programFolderFromArgv0(argv[0]);
    const std::optional<StartFolderChoice> start =
        chooseEmulatorFolder(argc, argv, programFolder, settings, dialogs);
    if (!start) return 2;
    if (start->folder.isEmpty()) return 1;  // the folder given was not there, nor another picked
    // A copy already running takes the folder given over and shows it.
    if (start->source == StartFolderSource::Argument &&
        singleInstance.anotherIsRunning(folderHandoff(start->folder)))
        return 0;
    MainWindowServices services;
    services.settings = &settings;
    services.shell = &shell;
    services.processes = &processes;
    services.dialogs = &dialogs;
    services.keystrokes = &keystrokes;
    services.volumes = &volumes;
    services.singleInstance = &singleInstance;
    services.files = &files;
    services.gamepads = &gamepads;
    services.history = &history;
    services.programFolder = start->folder;
    services.installed = systemInstalledSearch();
    // The games folder may be on a share that answers slowly or not at all: it is read on a
    // thread of its own (which is never waited for, at the end either), and the window
    // shows what was known of it at the last start meanwhile.
    services.readsFoldersInBackground = true;
    // Opened on the identification's own thread, once the window is up: the index may take
    // a while to read the first time, and the window never waits for it.
    services.identifier = [folder = start->folder]() {
        QString error;
        std::unique_ptr<identify::FolderIdentifier> identifier = identify::openLibraryIdentifier(
            identify::ChecksumDb::defaultFile(), identify::Sources::standard(folder), &error);
        if (!identifier) tellTerminal(QStringLiteral("games cannot be identified: ") + error);
        return identifier;
    };

    MainWindow window(services);
    dialogs.setOwner(&window);
    // Settings that cannot be read or saved are said in the window, from its event loop:
    // a message box must not open inside the save that failed.
    settings.setProblemHandler([&window, &dialogs](const QString& text) {
        QMetaObject::invokeMethod(
            &window,
            [&dialogs, text] {
                dialogs.messageBox(text, platform::MessageButtons::Ok,
                                   platform::MessageIcon::Warning, QStringLiteral("Settings"));
            },
            Qt::QueuedConnection);
    });
    if (!window.start()) return 0;  // the copy already running has been told
    rememberStartFolder(*start, settings);
    window.show();
    return app.exec();
}
