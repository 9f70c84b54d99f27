#include "launcher/maintenance/CanonicalName.h"

#include "launcher/PathHelpers.h"
#include "platform/FileNames.h"

namespace {

constexpr qsizetype kNameMax = 255;  // bytes of one name on the file systems we meet

QString quoted(const QString& name) {
    return QLatin1Char('\'') + name + QLatin1Char('\'');
}

// "a2600/pitfall": where the name comes from.
QString entryOf(const identify::RomEntry& entry) {
    return entry.source + QLatin1Char('/') + entry.software;
}

// A ROM name without its extension: a final dot followed by one to five letters or digits.
// "Super Mario Bros. (World)" has none; the dot belongs to the title.
QString stemOf(const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0) return name;
    const qsizetype length = name.size() - dot - 1;
    if (length < 1 || length > 5) return name;
    for (qsizetype i = dot + 1; i < name.size(); ++i)
        if (!name.at(i).isLetterOrNumber()) return name;
    return name.left(dot);
}

// Why `name` cannot be a game's name in its folder; empty when it can.
QString unusable(const QString& name) {
    if (name.isEmpty()) return QStringLiteral("it is empty");
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("it names a folder");
    // DAT files made on Windows write "folder\\file": a path, not a name.
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return QStringLiteral("it holds a folder separator");
    if (name.startsWith(QLatin1Char('.'))) return QStringLiteral("it would hide the game");
    for (const QChar c : name)
        if (c.category() == QChar::Other_Control)
            return QStringLiteral("it holds control characters");
    if (!name.isValidUtf16()) return QStringLiteral("it is not valid text");
    if (platform::encodeName(name).size() > kNameMax) return QStringLiteral("it is too long");
    return {};
}

}  // namespace

CanonicalName canonicalNameFor(const QString& fileName, const identify::Identification& found) {
    const QString game = quoted(fileName);
    const identify::RomEntry* first = found.matches.empty() ? nullptr : &found.matches.front();
    switch (found.verdict) {
        case identify::Verdict::Verified:
            break;
        case identify::Verdict::VerifiedHeader:
            // A disc image is often named by its set's .cue or .m3u; renaming it alone
            // would leave the set pointing at nothing.
            return {{},
                    game + QStringLiteral(" is ") + (first ? entryOf(*first) : QString()) +
                        QStringLiteral(" by its header; a disc image keeps its name, since "
                                       "its set's lists name it.")};
        case identify::Verdict::CrcOnly:
            return {{},
                    game + QStringLiteral(" matches ") + (first ? entryOf(*first) : QString()) +
                        QStringLiteral(" by size and CRC only; its SHA-1 differs, so it may be "
                                       "another dump. It keeps its name.")};
        case identify::Verdict::BadDump:
            return {{},
                    game + QStringLiteral(" is a bad dump") +
                        (first ? QStringLiteral(" of ") + entryOf(*first) : QString()) +
                        QStringLiteral(". Only verified games take their entry's name.")};
        case identify::Verdict::Unknown:
            if (!found.problem.isEmpty())
                return {{}, game + QStringLiteral(" could not be read: ") + found.problem};
            return {{},
                    game + QStringLiteral(" matches no entry of the software lists and DAT "
                                          "files, so it has no name to take.")};
    }
    if (!first) return {{}, game + QStringLiteral(" has no entry to take a name from.")};
    QString name = first->romName;
    if (!found.member.isEmpty()) {
        const QString stem = stemOf(name);
        name = stem.isEmpty() ? QString() : stem + QStringLiteral(".zip");
    }
    if (const QString why = unusable(name); !why.isEmpty())
        return {{},
                QStringLiteral("The name ") + entryOf(*first) + QStringLiteral(" gives, ") +
                    quoted(first->romName) + QStringLiteral(", cannot be used: ") + why +
                    QLatin1Char('.')};
    if (name == fileName)
        return {{}, game + QStringLiteral(" already has the name of its entry."), true};
    return {name, {}};
}

CanonicalRename renameGameToCanonicalName(platform::FileOperations& files, const QString& gamePath,
                                          const identify::Identification& found,
                                          const GamePictures& pictures) {
    const QString oldName = fileNameOf(gamePath);
    const CanonicalName target = canonicalNameFor(oldName, found);
    if (!target.ok()) return {{}, std::nullopt, target.whyNot};
    CanonicalRename out;
    out.wanted = target.name;
    out.given = renameGameFile(files, parentFolderOf(gamePath), oldName, target.name, pictures);
    if (!out.given)
        out.whyNot = quoted(oldName) + QStringLiteral(" was not renamed to ") +
                     quoted(target.name) +
                     QStringLiteral(": it, its screenshot or its descriptor could not be moved.");
    return out;
}

QString entryNameText(const identify::RomEntry& entry, const QString& target) {
    const QString title = stemOf(target);
    const auto repeats = [&](const QString& text) {
        return text.compare(title, Qt::CaseInsensitive) == 0;
    };
    QString text = entry.source;
    if (!entry.software.isEmpty() && !repeats(entry.software))
        text += QLatin1Char('/') + entry.software;
    if (!entry.description.isEmpty() && !repeats(entry.description) &&
        entry.description.compare(entry.software, Qt::CaseInsensitive) != 0)
        text += QStringLiteral(" (") + entry.description + QLatin1Char(')');
    return text;
}
