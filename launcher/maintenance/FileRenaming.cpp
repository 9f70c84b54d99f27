#include "launcher/maintenance/FileRenaming.h"

#include "launcher/PathHelpers.h"
#include "platform/FileNames.h"
#include "platform/FileOperations.h"

#include <vector>

namespace {

constexpr qsizetype kNameMax = 255;  // bytes of one name on the file systems we meet

bool isJar(const QString& name) {
    return name.endsWith(QLatin1String(".jar"), Qt::CaseInsensitive);
}

// One file that moves in the rename: where it is and the name it gets for a game name.
struct Companion {
    QString from;
    std::function<QString(const QString& gameName)> target;
};

// Whether `target` is taken by an entry other than `from` itself, letter case ignored. A
// change of letter case only keeps the same entry; a link to `from`, or a hard link of it,
// is another entry and must not be replaced.
bool taken(platform::FileOperations& files, const QString& from, const QString& target) {
    const auto real = files.resolve(target);
    return real && !platform::sameEntry(*real, from);
}

// Whether another listed game shows `shot` too. Only names beginning with the picture's
// own name can lead to it.
bool sharedScreenshot(const QString& shot, const QString& game, const QStringList& listed,
                      const ScreenshotFinder& findScreenshot) {
    const QString base = platform::foldName(withExtension(fileNameOf(shot), QString()));
    const QString twin = isJar(game) ? withExtension(game, QStringLiteral(".jad")) : QString();
    for (const QString& other : listed) {
        if (other == game || (!twin.isEmpty() && other.compare(twin, Qt::CaseInsensitive) == 0))
            continue;
        if (!platform::foldName(other).startsWith(base)) continue;
        if (findScreenshot(other) == shot) return true;
    }
    return false;
}

}  // namespace

std::optional<QString> JadTwinOf(platform::FileOperations& files, const QString& jarPath) {
    if (!isJar(jarPath)) return std::nullopt;
    const auto jad = files.resolve(withExtension(jarPath, QStringLiteral(".jad")));
    if (!jad) return std::nullopt;
    // "A.jad" found for "a.jar" is A.jar's when the folder holds that one too.
    const auto owner = files.resolve(withExtension(*jad, QStringLiteral(".jar")));
    if (owner && !platform::sameEntry(*owner, jarPath)) return std::nullopt;
    return jad;
}

bool IsPlainFileName(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(kPathSeparator) && !name.contains(QChar(0));
}

std::optional<QString> RenameGameFile(platform::FileOperations& files, const QString& folder,
                                      const QString& oldName, const QString& newName,
                                      const ScreenshotFinder& findScreenshot,
                                      const QStringList& listed) {
    if (newName == oldName || !IsPlainFileName(newName)) return std::nullopt;
    // Only the entry listed under this very name: a file of another spelling that took
    // its place is not the one the user chose.
    const QString from = folder + oldName;
    if (!platform::hasEntry(from) || !files.fileSize(from)) return std::nullopt;

    // Looked up before anything moves: the lookup goes by the game's current name.
    std::vector<Companion> companions;
    const QString shot = findScreenshot ? findScreenshot(oldName) : QString();
    if (!shot.isEmpty() && !platform::sameEntry(shot, from) &&
        !sharedScreenshot(shot, oldName, listed, findScreenshot)) {
        companions.push_back({shot, [shot](const QString& game) {
                                  return parentFolderOf(shot) +
                                         withExtension(game, extensionOf(shot));
                              }});
    }
    if (const auto jad = JadTwinOf(files, from)) {
        companions.push_back({*jad, [folder](const QString& game) {
                                  return folder + withExtension(game, QStringLiteral(".jad"));
                              }});
    }

    // A change of letter case only finds the game itself and keeps its name; a link, a
    // hard link or another file under that spelling is a clash like any other.
    auto clash = [&](const QString& candidate) {
        if (taken(files, from, folder + candidate)) return true;
        for (const Companion& c : companions)
            if (taken(files, c.from, c.target(candidate))) return true;
        return false;
    };
    QString name = newName;
    int n = 0;
    while (clash(name)) {
        ++n;
        name = withExtension(name, QString()) + QLatin1Char('(') + QString::number(n) +
               QLatin1Char(')') + extensionOf(name);
        if (platform::encodeName(name).size() > kNameMax) return std::nullopt;
    }

    // The platform's rename refuses to replace anything, so a name taken since the check
    // above only makes the rename fail.
    const QString to = folder + name;
    if (!files.rename(from, to)) return std::nullopt;
    std::vector<std::pair<QString, QString>> moved{{from, to}};
    for (const Companion& c : companions) {
        const QString target = c.target(name);
        if (target == c.from) continue;  // a picture already spelled as the new name
        if (files.rename(c.from, target)) {
            moved.emplace_back(c.from, target);
            continue;
        }
        // A game must not lose its picture or descriptor: undo, newest first.
        for (auto it = moved.rbegin(); it != moved.rend(); ++it)
            files.rename(it->second, it->first);
        return std::nullopt;
    }
    return name;
}

QString DumpTagName(const QString& name, int Shift) {
    const QString tag = Shift == 2   ? QStringLiteral(" [b1]")
                        : Shift == 4 ? QStringLiteral(" [b2]")
                                     : QStringLiteral(" [!]");
    if (name.contains(tag)) return replaceText(name, tag, QString(), 1, -1);
    return withExtension(name, QString()) + tag + extensionOf(name);
}

QString StrippedName(const QString& name, const QString& text) {
    QString out = replaceText(name, QStringLiteral("_"), QStringLiteral(" "), 1, -1);
    out = replaceText(out, QStringLiteral(" ."), QStringLiteral("."), 1, -1);
    out = replaceText(out, QStringLiteral("."), QStringLiteral(" "), 1, -1);
    // Every dot is a blank now; the extension's comes back at its place from the end.
    const qsizetype extension = extensionOf(name).size();
    if (extension > 0 && out.size() >= extension) out[out.size() - extension] = QLatin1Char('.');
    if (text != QLatin1String(".")) out = replaceText(out, text, QString(), 1, -1);
    return out;
}
