#include "launcher/emulators/InstalledEmulators.h"

#include "launcher/PathHelpers.h"
#include "launcher/emulators/CommandLineText.h"
#include "launcher/emulators/SystemProfile.h"
#include "platform/FileNames.h"
#include "platform/FileOperations.h"
#include "platform/FolderSnapshot.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>

#include <algorithm>

namespace {

using System = GameSystem;
constexpr System kSnes = GameSystem::Snes;
constexpr System kGba = GameSystem::Gba;
constexpr System kGameBoy = GameSystem::GameBoy;
constexpr System kSega = GameSystem::Sega;
constexpr System kNes = GameSystem::Nes;
constexpr System kN64 = GameSystem::N64;
constexpr System kAtari2600 = GameSystem::Atari2600;
constexpr System kPce = GameSystem::PcEngine;
constexpr System kNgp = GameSystem::NeoGeoPocket;
constexpr System kDs = GameSystem::Ds;
constexpr System kArcade = GameSystem::Arcade;
constexpr System kDos = GameSystem::Dos;
constexpr System kAtariSt = GameSystem::AtariSt;
constexpr System kGameCube = GameSystem::GameCube;
constexpr System kAmiga = GameSystem::Amiga;
constexpr System kMsx = GameSystem::Msx;
constexpr System kSaturn = GameSystem::Saturn;
constexpr System kScummVm = GameSystem::ScummVm;
constexpr System kMednafen = GameSystem::MultiSystem;

struct LinuxEmulator {
    const char* name;
    QStringList programs;  // the names it is installed under, preferred first
    QStringList flatpaks;  // its flatpak application ids
    System system;
    QStringList arguments;
};

const QList<LinuxEmulator>& linuxCatalogue() {
    static const QList<LinuxEmulator> catalogue = {
        {"mednafen", {"mednafen"}, {}, kMednafen, {kGameWord}},
        {"mgba-qt", {"mgba-qt", "mgba"}, {"io.mgba.mGBA"}, kGba, {kGameWord}},
        {"mupen64plus", {"mupen64plus-ui-console", "mupen64plus"}, {}, kN64, {kGameWord}},
        {"dolphin-emu",
         {"dolphin-emu"},
         {"org.DolphinEmu.dolphin-emu"},
         kGameCube,
         {"-e", kGameWord}},
        // retroarch itself is listed once per core, below.
        {"fceux", {"fceux"}, {}, kNes, {kGameWord}},
        {"nestopia", {"nestopia"}, {"ca._0ldsk00l.Nestopia"}, kNes, {kGameWord}},
        {"stella", {"stella"}, {}, kAtari2600, {kGameWord}},
        {"dosbox", {"dosbox"}, {}, kDos, {kGameWord, "-exit"}},
        // ScummVM detects the game in its folder, whichever of the game's files is chosen.
        {"scummvm",
         {"scummvm"},
         {"org.scummvm.ScummVM"},
         kScummVm,
         {"--path", kFolderWord, "--auto-detect"}},
        {"hatari", {"hatari"}, {"org.tuxfamily.hatari"}, kAtariSt, {kGameWord}},
        {"desmume", {"desmume"}, {"org.desmume.DeSmuME"}, kDs, {kGameWord}},
        {"fs-uae", {"fs-uae"}, {"net.fsuae.FS-UAE"}, kAmiga, {kGameWord}},
        {"openmsx", {"openmsx"}, {"org.openmsx.openMSX"}, kMsx, {kGameWord}},
        {"yabause-qt", {"yabause-qt", "yabause"}, {}, kSaturn, {"-a", "-i", kGameWord}},
        // MAME takes a set name and the folder holding the sets.
        {"mame", {"mame"}, {"org.mamedev.MAME"}, kArcade, {"-rompath", kFolderWord, kNameWord}},
    };
    return catalogue;
}

struct Core {
    const char* name;  // the core file's name without "_libretro.so"
    System system;
};

const QList<Core>& knownCores() {
    static const QList<Core> cores = {
        {"snes9x", kSnes},
        {"snes9x2010", kSnes},
        {"bsnes", kSnes},
        {"bsnes_mercury_balanced", kSnes},
        {"mgba", kGba},
        {"vba_next", kGba},
        {"vbam", kGba},
        {"gpsp", kGba},
        {"gambatte", kGameBoy},
        {"sameboy", kGameBoy},
        {"gearboy", kGameBoy},
        {"genesis_plus_gx", kSega},
        {"picodrive", kSega},
        {"nestopia", kNes},
        {"fceumm", kNes},
        {"quicknes", kNes},
        {"mesen", kNes},
        {"mupen64plus_next", kN64},
        {"parallel_n64", kN64},
        {"stella", kAtari2600},
        {"stella2014", kAtari2600},
        {"mednafen_pce_fast", kPce},
        {"mednafen_pce", kPce},
        {"mednafen_supergrafx", kPce},
        {"mednafen_ngp", kNgp},
        {"race", kNgp},
        {"desmume", kDs},
        {"desmume2015", kDs},
        {"melonds", kDs},
        {"mame", kArcade},
        {"mame2003", kArcade},
        {"mame2003_plus", kArcade},
        {"fbneo", kArcade},
        {"dosbox_pure", kDos},
        {"hatari", kAtariSt},
    };
    return cores;
}

const QString kCoreTail = QStringLiteral("_libretro.so");

// The executable file `name` of the first folder holding one.
QString findIn(const QStringList& folders, const QString& name) {
    for (const QString& folder : folders) {
        if (folder.isEmpty()) continue;
        const QString path = withTrailingSeparator(folder) + name;
        if (platform::isExecutableFile(path)) return path;
    }
    return {};
}

QString findProgram(const QStringList& folders, const QStringList& names) {
    for (const QString& name : names)
        if (const QString path = findIn(folders, name); !path.isEmpty()) return path;
    return {};
}

// The cores of every folder, by name; a core of an earlier folder hides a later one's.
QList<QPair<QString, QString>> installedCores(const QStringList& folders) {
    QList<QPair<QString, QString>> cores;
    QSet<QString> seen;
    for (const QString& folder : folders) {
        const std::optional<QStringList> names =
            platform::folderEntries(withTrailingSeparator(folder));
        if (!names) continue;
        QStringList sorted = *names;
        std::sort(sorted.begin(), sorted.end());
        for (const QString& file : sorted) {
            if (!file.endsWith(kCoreTail) || file.size() == kCoreTail.size()) continue;
            const QString path = withTrailingSeparator(folder) + file;
            if (!platform::isRegularFile(path)) continue;
            const QString core = file.chopped(kCoreTail.size());
            if (seen.contains(core)) continue;
            seen.insert(core);
            cores.append({core, path});
        }
    }
    return cores;
}

System coreSystem(const QString& core) {
    for (const Core& c : knownCores())
        if (core == QLatin1String(c.name)) return c.system;
    return GameSystem::Unknown;
}

InstalledEmulator emulatorOf(const QString& name, const QString& program, const System& system,
                             const QStringList& arguments, const QString& processName) {
    InstalledEmulator e;
    e.name = name;
    e.program = program;
    e.arguments = arguments;
    const SystemProfile profile = profileOf(system);
    e.systemName = profile.name;
    e.mask = profile.mask;
    e.processName = processName;
    return e;
}

QStringList splitPath(const QByteArray& value) {
    QStringList folders;
    for (const QByteArray& part : value.split(':'))
        if (!part.isEmpty()) folders << platform::decodeName(part);
    return folders;
}

}  // namespace

QStringList linuxEmulatorNames() {
    QStringList names;
    for (const LinuxEmulator& e : linuxCatalogue())
        names << QString::fromUtf8(e.name);
    names.insert(names.indexOf(QStringLiteral("dolphin-emu")) + 1, QStringLiteral("retroarch"));
    return names;
}

InstalledSearch systemInstalledSearch() {
    InstalledSearch where;
    where.pathFolders = splitPath(qgetenv("PATH"));
    // Debian installs its emulators in /usr/games, which not every session has in PATH.
    for (const QString& games : {QStringLiteral("/usr/games"), QStringLiteral("/usr/local/games")})
        if (!where.pathFolders.contains(games)) where.pathFolders << games;
    const QString home = QDir::homePath();
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString configHome =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    where.flatpakFolders = {QStringLiteral("/var/lib/flatpak/exports/bin"),
                            dataHome + QStringLiteral("/flatpak/exports/bin")};
    where.coreFolders = {QStringLiteral("/usr/lib/x86_64-linux-gnu/libretro"),
                         QStringLiteral("/usr/lib/libretro"),
                         configHome + QStringLiteral("/retroarch/cores")};
    where.userFile = configHome + QStringLiteral("/Rombard/emulators.conf");
    return where;
}

QList<InstalledEmulator> scanInstalledEmulators(const InstalledSearch& where) {
    QList<InstalledEmulator> found;
    // The program and the name its process runs under: the file's own from PATH; inside a
    // flatpak, the name the emulator's own package gives it.
    const auto locate = [&](const QStringList& programs,
                            const QStringList& flatpaks) -> QPair<QString, QString> {
        if (const QString path = findProgram(where.pathFolders, programs); !path.isEmpty())
            return {path, fileNameOf(path)};
        return {findProgram(where.flatpakFolders, flatpaks), programs.first()};
    };
    for (const LinuxEmulator& e : linuxCatalogue()) {
        const auto [path, process] = locate(e.programs, e.flatpaks);
        if (!path.isEmpty())
            found.append(
                emulatorOf(QString::fromUtf8(e.name), path, e.system, e.arguments, process));
        if (QLatin1String(e.name) == QLatin1String("dolphin-emu")) {
            // retroarch's cores come where retroarch stands in the list of emulators.
            const auto [retroarch, name] =
                locate({QStringLiteral("retroarch")}, {QStringLiteral("org.libretro.RetroArch")});
            if (retroarch.isEmpty()) continue;
            for (const auto& [core, corePath] : installedCores(where.coreFolders))
                found.append(emulatorOf(QStringLiteral("retroarch (%1)").arg(core), retroarch,
                                        coreSystem(core),
                                        {QStringLiteral("-L"), corePath, kGameWord}, name));
        }
    }
    return found;
}

namespace {

const QStringList kKeys = {QStringLiteral("program"), QStringLiteral("system"),
                           QStringLiteral("masks"), QStringLiteral("arguments"),
                           QStringLiteral("folder")};

struct Entry {
    int line = 0;
    QString name;
    QHash<QString, QString> values;
    QHash<QString, int> lines;
    bool broken = false;
};

}  // namespace

UserEmulators parseUserEmulators(const QString& text, const QString& fileName,
                                 const QStringList& pathFolders) {
    UserEmulators out;
    QList<Entry> entries;
    QSet<QString> names;
    const auto problem = [&](int line, const QString& what) {
        out.problems << QStringLiteral("%1, line %2: %3").arg(fileName).arg(line).arg(what);
        if (!entries.isEmpty()) entries.last().broken = true;
    };

    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const int number = i + 1;
        QString line = lines[i];
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')) ||
            trimmed.startsWith(QLatin1Char(';')))
            continue;
        if (trimmed.startsWith(QLatin1Char('['))) {
            if (!trimmed.endsWith(QLatin1Char(']'))) {
                entries.append({number, {}, {}, {}, true});
                problem(number, QStringLiteral("an emulator's name must be closed with \"]\""));
                continue;
            }
            const QString name = trimmed.mid(1, trimmed.size() - 2).trimmed();
            entries.append({number, name, {}, {}, false});
            if (name.isEmpty())
                problem(number, QStringLiteral("the emulator has no name between \"[\" and \"]\""));
            else if (names.contains(name.toLower()))
                problem(number, QStringLiteral("the emulator \"%1\" is described twice").arg(name));
            names.insert(name.toLower());
            continue;
        }
        const qsizetype equals = trimmed.indexOf(QLatin1Char('='));
        if (equals < 0) {
            problem(number, QStringLiteral("expected \"[name]\" or \"key = value\", found \"%1\"")
                                .arg(trimmed));
            continue;
        }
        const QString key = trimmed.left(equals).trimmed().toLower();
        const QString value = trimmed.mid(equals + 1).trimmed();
        if (entries.isEmpty()) {
            out.problems << QStringLiteral("%1, line %2: \"%3\" comes before any \"[name]\"")
                                .arg(fileName)
                                .arg(number)
                                .arg(key);
            continue;
        }
        if (!kKeys.contains(key)) {
            problem(number, QStringLiteral("unknown key \"%1\" (known: %2)")
                                .arg(key, kKeys.join(QStringLiteral(", "))));
            continue;
        }
        if (entries.last().values.contains(key)) {
            problem(number, QStringLiteral("\"%1\" is given twice").arg(key));
            continue;
        }
        if (key == QLatin1String("arguments") && !splitSwitches(value)) {
            problem(number, QStringLiteral("a quote is left open in the arguments"));
            continue;
        }
        entries.last().values.insert(key, value);
        entries.last().lines.insert(key, number);
    }

    for (Entry& e : entries) {
        if (e.broken) continue;
        const QString program = e.values.value(QStringLiteral("program"));
        if (program.isEmpty()) {
            out.problems << QStringLiteral("%1, line %2: \"%3\" has no \"program = ...\"")
                                .arg(fileName)
                                .arg(e.line)
                                .arg(e.name);
            continue;
        }
        const QString path = program.contains(QLatin1Char('/'))
                                 ? (platform::isExecutableFile(program) ? program : QString())
                                 : findIn(pathFolders, program);
        if (path.isEmpty()) {
            out.problems << QStringLiteral("%1, line %2: the program \"%3\" is not installed")
                                .arg(fileName)
                                .arg(e.lines.value(QStringLiteral("program")))
                                .arg(program);
            continue;
        }
        InstalledEmulator emulator;
        emulator.name = e.name;
        emulator.program = path;
        emulator.systemName = e.values.value(QStringLiteral("system"));
        emulator.mask = e.values.value(QStringLiteral("masks"), QStringLiteral("*.*"));
        if (emulator.mask.isEmpty()) emulator.mask = QStringLiteral("*.*");
        const QString arguments = e.values.value(QStringLiteral("arguments"), kGameWord);
        emulator.arguments = splitSwitches(arguments).value_or(QStringList{});
        // A template that never names the game gets it last.
        const bool namesGame = std::any_of(
            emulator.arguments.begin(), emulator.arguments.end(), [](const QString& word) {
                return word.contains(kGameWord) || word.contains(kFolderWord) ||
                       word.contains(kNameWord);
            });
        if (!namesGame) emulator.arguments << kGameWord;
        emulator.workingFolder = e.values.value(QStringLiteral("folder"));
        emulator.processName = fileNameOf(path);
        out.emulators.append(emulator);
    }
    return out;
}

UserEmulators readUserEmulators(const QString& path, const QStringList& pathFolders) {
    if (path.isEmpty() || !QFileInfo::exists(path)) return {};
    QFile file(path);
    // A configuration file is small; a larger one is not what it claims to be.
    constexpr qint64 kLimit = 1 << 20;
    if (!platform::isRegularFile(path) || !file.open(QIODevice::ReadOnly) || file.size() > kLimit)
        return {{}, {QStringLiteral("%1: the file cannot be read").arg(path)}};
    return parseUserEmulators(QString::fromUtf8(file.read(kLimit)), path, pathFolders);
}

platform::ProgramStart installedStart(const InstalledEmulator& emulator, const QString& gamePath,
                                      const QStringList& switches) {
    const QString folder = parentFolderOf(gamePath);
    const QString file = fileNameOf(gamePath);
    const qsizetype dot = file.lastIndexOf(QLatin1Char('.'));
    const QString name = dot > 0 ? file.left(dot) : file;
    QString bare = folder;
    if (bare.size() > 1 && bare.endsWith(QLatin1Char('/'))) bare.chop(1);

    platform::ProgramStart start;
    start.program = emulator.program;
    start.workingFolder = emulator.workingFolder;
    start.arguments = switches;
    for (QString word : emulator.arguments) {
        // One pass over the word, so a path holding "{name}" is never replaced again.
        QString out;
        for (qsizetype i = 0; i < word.size();) {
            if (word.mid(i, kGameWord.size()) == kGameWord) {
                out += gamePath;
                i += kGameWord.size();
            } else if (word.mid(i, kFolderWord.size()) == kFolderWord) {
                out += bare;
                i += kFolderWord.size();
            } else if (word.mid(i, kNameWord.size()) == kNameWord) {
                out += name;
                i += kNameWord.size();
            } else {
                out += word.at(i++);
            }
        }
        start.arguments << out;
    }
    return start;
}

LaunchPlan installedLaunch(const InstalledEmulator& emulator, const LaunchInput& in) {
    const QString game = withTrailingSeparator(in.listedFolder) + in.fileName;
    QStringList switches;
    if (isSwitchText(in.commandLine)) {
        const QString text = in.commandLine.trimmed();
        switches = splitSwitches(text).value_or(QStringList{text});
    }
    LaunchPlan plan;
    plan.start = installedStart(emulator, game, switches);
    plan.fileStarted = emulator.program;
    // An argument that begins with a dash only because the game's name put one there
    // ("{name}" first in its word) would be read as an option.
    for (qsizetype i = 0; i < emulator.arguments.size(); ++i) {
        const QString& made = plan.start.arguments.at(switches.size() + i);
        if (made.startsWith(QLatin1Char('-')) &&
            !emulator.arguments.at(i).startsWith(QLatin1Char('-')))
            plan.refusal = optionLikeNameRefusal(in.fileName);
    }
    QStringList shown;
    for (const QString& a : plan.start.arguments)
        shown << (a.contains(QLatin1Char(' ')) || a.isEmpty()
                      ? QLatin1Char('"') + a + QLatin1Char('"')
                      : a);
    plan.parameters = shown.join(QLatin1Char(' '));
    return plan;
}
