#include "identify/Identification.h"

#include <QDir>
#include <QStandardPaths>

namespace identify {

QString verdictText(Verdict verdict) {
    switch (verdict) {
        case Verdict::Verified:
            return QStringLiteral("verified");
        case Verdict::VerifiedHeader:
            return QStringLiteral("verified (header)");
        case Verdict::CrcOnly:
            return QStringLiteral("crc only");
        case Verdict::BadDump:
            return QStringLiteral("bad dump");
        case Verdict::Unknown:
            break;
    }
    return QStringLiteral("unknown");
}

std::vector<RomEntry> ChecksumLookup::disks(const QByteArray& sha1) {
    std::vector<RomEntry> found = entries(kDiskSize, diskKeyOf(sha1));
    std::erase_if(found, [&](const RomEntry& e) { return e.sha1 != sha1; });
    return found;
}

Sources Sources::standard(const QString& emulatorFolder) {
    Sources sources;
    // Debian puts the software lists under each data folder's games/mame/hash.
    QStringList dataDirs =
        qEnvironmentVariable("XDG_DATA_DIRS").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    if (dataDirs.isEmpty())
        dataDirs = {QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")};
    for (const QString& dir : dataDirs) {
        const QString lists = QDir(dir).filePath(QStringLiteral("games/mame/hash"));
        if (!sources.paths.contains(lists)) sources.paths.append(lists);
    }
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty()) dataHome = QDir::home().filePath(QStringLiteral(".local/share"));
    sources.paths.append(QDir(dataHome).filePath(QStringLiteral("Rombard/dats")));
    if (!emulatorFolder.isEmpty())
        sources.paths.append(QDir(emulatorFolder).filePath(QStringLiteral("dats")));
    return sources;
}

}  // namespace identify
