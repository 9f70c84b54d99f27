#include "launcher/window/StartFolder.h"

#include "launcher/PathHelpers.h"
#include "launcher/emulators/EmulatorCatalogue.h"
#include "platform/Dialogs.h"
#include "platform/FileNames.h"
#include "platform/SettingsStore.h"

#include <QFileInfo>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

CommandLineRequest parseCommandLine(const QList<QByteArray>& arguments) {
    CommandLineRequest r;
    bool optionsEnded = false, version = false;
    for (const QByteArray& a : arguments) {
        if (!optionsEnded) {
            if (a == "--") {
                optionsEnded = true;
                continue;
            }
            // Whoever asks for help gets it, whatever else the line holds.
            if (a == "--help" || a == "-h") return {CommandLineRequest::Action::Help, {}, {}};
            if (a == "--version" || a == "-V") {
                version = true;
                continue;
            }
            if (a.startsWith('-') && a.size() > 1) {
                r.error = QStringLiteral("unknown option %1").arg(platform::decodeName(a));
                continue;
            }
        }
        if (a.isEmpty())
            r.error = QStringLiteral("the folder name is empty");
        else if (!r.folder.isEmpty())
            r.error = QStringLiteral("only one folder can be given");
        else
            r.folder = platform::decodeName(a);
    }
    if (!r.error.isEmpty())
        r.action = CommandLineRequest::Action::Error;
    else if (version)
        r.action = CommandLineRequest::Action::Version;
    return r;
}

QList<QByteArray> withoutQtOptions(const QList<QByteArray>& arguments) {
    // QGuiApplication's and QApplication's own options; those in the first list take a value,
    // as the next word or after "=".
    static const QList<QByteArray> valued = {"platform",
                                             "platformpluginpath",
                                             "platformtheme",
                                             "plugin",
                                             "qwindowgeometry",
                                             "qwindowicon",
                                             "qwindowtitle",
                                             "display",
                                             "geometry",
                                             "style",
                                             "stylesheet",
                                             "session",
                                             "name",
                                             "title",
                                             "qmljsdebugger"};
    static const QList<QByteArray> flags = {"reverse", "widgetcount", "nograb", "dograb", "sync"};
    QList<QByteArray> out;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QByteArray& a = arguments[i];
        if (a == "--") {
            out << arguments.mid(i);
            break;
        }
        if (!a.startsWith('-') || a.size() < 2) {
            out << a;
            continue;
        }
        QByteArray word = a.mid(a.startsWith("--") ? 2 : 1);
        const qsizetype equals = word.indexOf('=');
        if (equals >= 0) word.truncate(equals);
        if (flags.contains(word) && equals < 0) continue;
        if (valued.contains(word)) {
            if (equals < 0) ++i;  // the value is the next word
            continue;
        }
        out << a;
    }
    return out;
}

QString folderHandoff(const QString& folder) {
    return QStringLiteral("folder ") +
           QString::fromLatin1(platform::encodeName(folder).toPercentEncoding());
}

std::optional<QString> handedFolder(const QString& message) {
    const QString head = QStringLiteral("folder ");
    if (!message.startsWith(head)) return std::nullopt;
    const QString folder =
        platform::decodeName(QByteArray::fromPercentEncoding(message.mid(head.size()).toLatin1()));
    if (folder.isEmpty()) return std::nullopt;
    return folder;
}

QString folderProblem(const QString& folder) {
    // By its bytes, so a name that is not UTF-8 is judged as the file system spells it.
    const QByteArray path = platform::encodeName(folder);
    struct stat st {};
    if (::stat(path.constData(), &st) != 0) return QStringLiteral("%1: no such folder").arg(folder);
    if (!S_ISDIR(st.st_mode)) return QStringLiteral("%1: not a folder").arg(folder);
    if (::access(path.constData(), R_OK | X_OK) != 0)
        return QStringLiteral("%1: the folder cannot be read").arg(folder);
    return {};
}

namespace {

const QString kApplication = QStringLiteral("Rombard");

QString absolute(const QString& folder) {
    return withTrailingSeparator(QFileInfo(folder).absoluteFilePath());
}

bool isSystemBinFolder(const QString& folder, const QStringList& systemBinFolders) {
    for (const QString& bin : systemBinFolders)
        if (!bin.isEmpty() && absolute(bin) == absolute(folder)) return true;
    return false;
}

}  // namespace

// Whether `folder` has an entry "roms" that is a folder or a link (to one, as a link to a
// share usually is). Asked of the folder's own entries: a "roms" that is a network share's
// mount point is never asked anything itself, so a share that does not answer cannot hold
// up the window.
static bool holdsRomsFolder(const QString& folder) {
    DIR* dir = ::opendir(platform::encodeName(folder).constData());
    if (!dir) return false;
    bool found = false;
    while (const dirent* e = ::readdir(dir)) {
        if (qstrcmp(e->d_name, "roms") != 0) continue;
        struct stat st {};
        found = e->d_type == DT_DIR || e->d_type == DT_LNK ||
                (e->d_type == DT_UNKNOWN &&
                 ::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                 (S_ISDIR(st.st_mode) || S_ISLNK(st.st_mode)));
        break;
    }
    ::closedir(dir);
    return found;
}

bool holdsEmulators(const QString& folder) {
    const QString f = withTrailingSeparator(folder);
    if (holdsRomsFolder(f)) return true;
    for (const FoundEmulator& e : scanCatalogue(f))
        if (e.name.compare(u"rombard.exe", Qt::CaseInsensitive) != 0) return true;
    return false;
}

QStringList gamesFolderCandidates(const QString& wanted, const QString& gamesFolder,
                                  const QString& remembered, const QString& emulatorFolder) {
    QStringList series{wanted};
    if (!gamesFolder.isEmpty()) {
        series << gamesFolder;
    } else {
        const QString emulators = withTrailingSeparator(emulatorFolder);
        series << remembered << emulators + QStringLiteral("roms") << emulators;
    }
    QStringList out;
    for (const QString& folder : series)
        if (!folder.isEmpty() && !out.contains(withTrailingSeparator(folder)))
            out << withTrailingSeparator(folder);
    return out;
}

StartFolderChoice chooseStartFolder(const StartFolderFacts& facts,
                                    const platform::SettingsStore& settings,
                                    platform::Dialogs& dialogs,
                                    const std::function<void(const QString&)>& tellTerminal) {
    auto chosen = [](const QString& folder, StartFolderSource source) {
        return StartFolderChoice{absolute(folder), source};
    };

    bool given = false;
    if (!facts.argument.isEmpty()) {
        const QString problem = folderProblem(facts.argument);
        if (problem.isEmpty()) return chosen(facts.argument, StartFolderSource::Argument);
        tellTerminal(problem);
        dialogs.messageBox(
            QStringLiteral("The folder given on the command line cannot be used:\n%1\n\n"
                           "Choose the emulator folder instead, or cancel to quit.")
                .arg(problem),
            platform::MessageButtons::Ok, platform::MessageIcon::Warning, kApplication);
        given = true;
    } else if (!isSystemBinFolder(facts.programFolder, facts.systemBinFolders) &&
               holdsEmulators(facts.programFolder)) {
        return chosen(facts.programFolder, StartFolderSource::ProgramFolder);
    } else {
        const QString last =
            settings.getSetting(kApplication, kLauncherSection, kLastFolderKey, {});
        if (!last.isEmpty()) {
            const QString problem = folderProblem(last);
            if (problem.isEmpty()) return chosen(last, StartFolderSource::LastFolder);
            tellTerminal(QStringLiteral("the emulator folder used last is gone (%1)").arg(problem));
        }
    }

    // Asked again until the user picks a folder that can be used or gives up.
    while (const std::optional<QString> picked =
               dialogs.pickFolder(kPickerTitle, facts.pickerStart)) {
        const QString problem = folderProblem(*picked);
        if (problem.isEmpty()) return chosen(*picked, StartFolderSource::Picker);
        tellTerminal(problem);
    }
    // Whoever named a folder meant that one; an unrelated folder would only puzzle them.
    if (given) return {};
    return chosen(facts.programFolder, StartFolderSource::NoChoice);
}

void rememberStartFolder(const StartFolderChoice& choice, platform::SettingsStore& settings) {
    if (choice.source == StartFolderSource::LastFolder ||
        choice.source == StartFolderSource::NoChoice)
        return;
    settings.saveSetting(kApplication, kLauncherSection, kLastFolderKey, choice.folder);
}
