#include "launcher/emulators/EmulatorCatalogue.h"

#include "platform/FileNames.h"
#include "platform/FileOperations.h"
#include "platform/FolderNameIndex.h"
#include "platform/FolderSnapshot.h"

#include <QByteArray>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>

namespace {
constexpr int kOpenerCode = 14;

bool isName(const QString& entry) {
    return entry.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive);
}

// `program` is the launcher's own binary: the same file (a link is followed) or a copy of
// it, byte for byte. The bytes are read only when the lengths agree.
bool isLauncher(const QString& program, const QString& own) {
    if (program.isEmpty() || own.isEmpty()) return false;
    struct stat sa = {}, sb = {};
    if (::stat(platform::encodeName(program).constData(), &sa) != 0 ||
        ::stat(platform::encodeName(own).constData(), &sb) != 0)
        return false;
    if (sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino) return true;
    if (!S_ISREG(sa.st_mode) || sa.st_size != sb.st_size) return false;
    bool cutA = false, cutB = false;
    const auto a = platform::readRegularFile(program, sa.st_size + 1, &cutA);
    const auto b = platform::readRegularFile(own, sb.st_size + 1, &cutB);
    return a && b && !cutA && !cutB && *a == *b;
}

QString fileNameOf(const QString& path) {
    return path.mid(path.lastIndexOf(u'/') + 1);
}
}  // namespace

const QStringList& emulatorCatalogue() {
    static const QStringList catalogue = {
        // clang-format off
        "1", "zsnesw.exe", "zsnesw142.exe", "zsnes.exe", "snes9xw.exe", "snes9x.exe", "nlke.exe",
        "nlksnes.exe", "snes9k.exe", "snesgt.exe", "SNEeSe.exe", "snes9xgt.exe", "esnes.exe",
        "pasofami.exe", "bsnes.exe", "snem.exe",
        "2", "VisualBoyAdvance.exe", "vba-rerecording.exe", "BoycottAdvance.exe", "rascalboy.exe",
        "batgba.exe", "vgba.exe", "rew.exe", "no$gmb.exe", "igba.exe", "vboy.exe", "dboy.exe",
        "bgb.exe", "visualboyadvance-sdl.exe", "boyca.exe", "boycott.exe", "TGB_Dual.exe",
        "kigb.exe", "basicboy.exe", "playguy.exe", "gnuboy.exe", "gest.exe", "dreamgba.exe",
        "3", "fusion.exe", "gens32.exe", "gens.exe", "gens+.exe", "kega.exe", "ages.exe",
        "kgen.exe", "megasis.exe", "sms_sdl.exe", "Kega Lazarus SE r5.exe", "genecyst.exe",
        "xega.exe", "dgen.exe", "vgen.exe", "genital.exe", "generator.exe", "meka.exe",
        "dega.exe", "esms.exe", "NEOSMS.exe", "retroDrive5.exe",
        "4", "Nestopia.exe", "fceu.exe", "RockNESX.exe", "RockNES.exe", "fakenesw.exe",
        "FakeNES.exe", "VirtuaNES.exe", "Nintendulator.exe", "Nessie.exe", "NESten.exe",
        "NNNesterJ.exe", "DreamNES.exe", "BioNES.exe", "fceuxd.exe", "fceud.exe", "fceuxdsp.exe",
        "nesticle.exe", "Nester.exe", "olafnes.exe", "HyNES.exe", "DarcNES.exe", "80five.exe",
        "ines.exe", "Sega Li.exe", "UberNES.exe", "loopynes.exe", "InfoNES.exe", "NO$NES.EXE",
        "Famtasia.exe",
        "5", "Project64.exe", "Project64k.exe", "1964.exe", "nemu64.exe", "nemu.exe",
        "ultrahle.exe", "SupraHLE.exe", "mupen64.exe", "pagan.exe", "trwin.exe", "corn.exe",
        "daedalus.exe", "blade.exe", "sunset.exe", "apollo.exe", "tr64.exe",
        "6", "NeoPocott.exe", "rape.exe", "NGPocket.exe",
        "7", "hugo.exe", "pce.exe", "magicengine.exe", "xpce.exe", "vpce.exe", "yame.exe",
        "deepce.exe", "hue.exe", "neco.exe", "tgemu.exe",
        "8", "z26.exe", "stella.exe", "a26.exe", "Z26dos.EXE",
        "9", "fba.exe", "finalburn.exe", "callus.exe", "calice.exe", "ace.exe", "c2emu.exe",
        "modeler.exe", "mimic.exe",
        "10", "mame32p.exe", "mame32.exe", "mame32fx.exe", "mamep.exe", "mame.exe",
        "Fanbuild.exe", "mess.exe", "zinc.exe", "impactemu.exe",
        "11", "neoragex.exe", "ng.exe", "winkawaks.exe", "nebula.exe", "neorage.exe", "rage.exe",
        "vivanonno.exe",
        "12", "midp2exe.exe",
        "13", "no$gba.exe", "desmume.exe", "dualis.exe", "ideas.exe",
        "14", "rombard.exe",
        // clang-format on
    };
    return catalogue;
}

QString emulatorProgramPath(const QString& emulatorFolder, const QString& name) {
    if (name.isEmpty()) return {};
    auto& index = platform::FolderNameIndex::shared();
    const QString windows = index.resolve(emulatorFolder + name);
    if (!windows.isEmpty() && platform::isRegularFile(windows)) return windows;
    if (!isName(name)) return {};
    const QString native = index.resolve(emulatorFolder + name.chopped(4));
    if (native.isEmpty()) return {};
    // Follows a link to the program it names; asked with the path's own bytes, so an
    // emulator folder whose name is not valid UTF-8 is scanned like any other.
    return platform::isExecutableFile(native) ? native : QString();
}

QList<FoundEmulator> scanCatalogue(const QString& emulatorFolder, const QString& ownProgram) {
    QList<FoundEmulator> found;
    int code = 0;
    for (const QString& entry : emulatorCatalogue()) {
        if (!isName(entry)) {
            code = entry.toInt();
            continue;
        }
        const QString program = emulatorProgramPath(emulatorFolder, entry);
        if (program.isEmpty()) continue;
        const QString file = fileNameOf(program);
        const bool native = !isName(file);
        // The launcher offering itself would only start another launcher.
        if (code == kOpenerCode && isLauncher(program, ownProgram)) continue;
        found.append({entry, code, native ? file : entry});
    }
    return found;
}

QString runningProgram() {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    return n > 0 ? platform::decodeName(QByteArray(buffer, int(n))) : QString();
}

QString firstWindowsProgram(const QString& emulatorFolder) {
    QStringList programs;
    if (const std::optional<QStringList> names = platform::folderEntries(emulatorFolder))
        for (const QString& name : *names)
            if (isName(name) && platform::isRegularFile(emulatorFolder + name)) programs << name;
    if (programs.isEmpty()) return {};
    return *std::min_element(programs.begin(), programs.end(),
                             [](const QString& a, const QString& b) {
                                 const int folded = a.compare(b, Qt::CaseInsensitive);
                                 return folded != 0 ? folded < 0 : a < b;
                             });
}
