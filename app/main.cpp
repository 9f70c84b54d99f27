#include "launcher/emulators/InstalledEmulators.h"
#include "launcher/ui/MainWindow.h"
#include "launcher/window/StartFolder.h"
#include "platform/DesktopShell.h"
#include "platform/FileNames.h"
#include "platform/FileOperations.h"
#include "platform/LocalSingleInstance.h"
#include "platform/ProcProcessTable.h"
#include "platform/SdlGamepads.h"
#include "platform/SettingsStore.h"
#include "platform/StorageVolumes.h"
#include "platform/ui/FocusKeystrokeSender.h"
#include "platform/ui/WidgetDialogs.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

#include <cstdio>
#include <optional>

namespace {

QList<QByteArray> argumentsOf(int argc, char* argv[]) {
    QList<QByteArray> args;
    for (int i = 1; i < argc; ++i)
        args.append(QByteArray(argv[i]));
    return args;
}

void printUsage(FILE* to) {
    std::fputs(
        "Usage: rombard [FOLDER]\n"
        "A launcher for console and arcade emulators: lists the games of an emulator folder's\n"
        "\"roms\" folder and starts them in the emulator chosen.\n"
        "\n"
        "FOLDER is the emulator folder. Without it the launcher uses its own folder when that\n"
        "holds emulators or a \"roms\" folder, else the folder used last, else it asks.\n"
        "\n"
        "  -h, --help     show this help and exit\n"
        "  -V, --version  show the version and exit\n"
        "\n"
        "Besides the emulators of the folder, the emulators installed on the system are\n"
        "offered, and those described in $XDG_CONFIG_HOME/Rombard/emulators.conf (see the\n"
        "README). A second copy given a FOLDER hands it to the copy already running.\n",
        to);
    // The window's keys come here, as the key reference's table, once it can be had as text.
}

// --help, --version and mistakes answer before any window system is touched, so they work
// on a plain terminal; Qt's own options (-platform ...) are left for Qt.
std::optional<int> answerOnTerminal(int argc, char* argv[]) {
    const CommandLineRequest r = ParseCommandLine(WithoutQtOptions(argumentsOf(argc, argv)));
    if (r.action == CommandLineRequest::Action::Error) {
        std::fprintf(stderr, "rombard: %s\n", platform::encodeName(r.error).constData());
        printUsage(stderr);
        return 2;
    }
    if (r.action == CommandLineRequest::Action::Help) {
        printUsage(stdout);
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
    const CommandLineRequest r = ParseCommandLine(argumentsOf(argc, argv));
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
    return ChooseStartFolder(facts, settings, dialogs, tellTerminal);
}

}  // namespace

int main(int argc, char* argv[]) {
    if (const std::optional<int> answered = answerOnTerminal(argc, argv)) return *answered;

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

    // The emulators live beside the launcher, also when it was started through a link
    // placed in their folder.
    const QString programFolder = platform::programFolderFromArgv0(argv[0]);
    const std::optional<StartFolderChoice> start =
        chooseEmulatorFolder(argc, argv, programFolder, settings, dialogs);
    if (!start) return 2;
    if (start->folder.isEmpty()) return 1;  // the folder given was not there, nor another picked
    // A copy already running takes the folder given over and shows it.
    if (start->source == StartFolderSource::Argument &&
        singleInstance.anotherIsRunning(FolderHandoff(start->folder)))
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
    services.programFolder = start->folder;
    services.installed = SystemInstalledSearch();

    MainWindow window(services);
    dialogs.setOwner(&window);
    if (!window.start()) return 0;  // the copy already running has been told
    RememberStartFolder(*start, settings);
    window.show();
    return app.exec();
}
