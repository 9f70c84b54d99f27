#include "launcher/games/GameTitle.h"

#include "launcher/PathHelpers.h"
#include "launcher/emulators/EmulatorCatalogue.h"
#include "launcher/emulators/ZincTables.h"
#include "platform/FileNames.h"
#include "platform/FileOperations.h"

#include <QFile>
#include <QLocale>
#include <QStringDecoder>

#include <unistd.h>

namespace {
// A game line holds a title of 34 characters and a few short columns; anything far longer
// is not one and is skipped unkept.
constexpr qsizetype kLongestLine = 4 * 1024;
constexpr qint64 kBlock = 64 * 1024;
// Ten thousand game lines take about a megabyte; a list that goes on far beyond that is
// not read further (a link to an endless device, a stray disk image), so the window that
// asked waits a bounded time at most.
constexpr qint64 kMostBytes = 16 * 1024 * 1024;

QString trimBlanks(const QString& text) {
    qsizetype from = 0, to = text.size();
    while (from < to && text.at(from) == QLatin1Char(' '))
        ++from;
    while (to > from && text.at(to - 1) == QLatin1Char(' '))
        --to;
    return text.mid(from, to - from);
}

QString decodeLine(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}
}  // namespace

QString cleanTitle(QString base) {
    base = replaceText(base, QStringLiteral("_"), QStringLiteral(" "), 0, -1);
    base = replaceText(base, QStringLiteral("[!]"), QString(), 0, -1);
    for (const char* tag : {"[b1]", "[b2]", "[b3]", "[b4]", "[o1]", "[h1]", "[h4]", "[f1]", "[t4]",
                            "[C]", "(U)", "(E)", "(J)"})
        base = replaceText(base, QLatin1String(tag), QString(), 1, -1);
    return trimBlanks(base);
}

bool isGameListLine(const QString& line) {
    return line.size() >= 7 && line.front() == QLatin1Char('|') &&
           line.back() == QLatin1Char('|') && line.count(QLatin1Char('|')) >= 7;
}

std::optional<QStringList> readGameList(const QString& path, int maxLines) {
    // Only a regular file: a FIFO would never answer, a device never end.
    const int fd = platform::openRegular(path);
    if (fd < 0) return std::nullopt;
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return std::nullopt;
    }
    QStringList lines;
    QByteArray line;
    bool tooLong = false;
    auto endLine = [&] {
        if (!tooLong && !line.isEmpty() && line.size() <= kLongestLine) {
            QString text = decodeLine(line);
            if (isGameListLine(text)) lines << text;
        }
        line.clear();
        tooLong = false;
    };
    QByteArray block;
    qint64 total = 0;
    while (lines.size() < maxLines && total < kMostBytes) {
        block = file.read(std::min(kBlock, kMostBytes - total));
        total += block.size();
        if (block.isEmpty()) break;
        qsizetype start = 0;
        for (qsizetype i = 0; i < block.size() && lines.size() < maxLines; ++i) {
            const char c = block.at(i);
            if (c != '\n' && c != '\r') continue;
            if (!tooLong) line.append(block.constData() + start, i - start);
            endLine();
            start = i + 1;
        }
        if (!tooLong) line.append(block.constData() + start, block.size() - start);
        if (line.size() > kLongestLine) {
            tooLong = true;
            line.clear();
        }
    }
    // A list cut at the byte limit ends in part of a line, which is not taken.
    if (lines.size() < maxLines && total < kMostBytes) endLine();
    return lines;
}

QString fileInfoText(const QString& path) {
    const std::optional<QDateTime> date = platform::modificationTime(path);
    const std::optional<qint64> size = platform::regularFileSize(path);
    if (!date || !size) return {};
    return QStringLiteral("File Date: ") + QLocale().toString(*date, QLocale::ShortFormat) +
           QStringLiteral("  Size: ") + formatFileSize(static_cast<double>(*size));
}

GameTitleResult GameTitles::titleOfGame(const QString& name, const TitleContext& context) {
    GameTitleResult result;
    QString base = name.left(name.size() - extensionOf(name).size());
    // An empty name is found in every entry; it stands for no game at all.
    if (!base.isEmpty() && context.currentEmulator.toLower() == QLatin1String("zinc.exe")) {
        if (m_zinc.isEmpty()) {
            const QString program =
                emulatorProgramPath(context.emulatorFolder, context.currentEmulator);
            // Size and date from one look, and only of a regular file.
            std::optional<qint64> size;
            QDateTime date;
            if (const std::optional<platform::RegularFile> file = platform::regularFile(program)) {
                size = file->size;
                date = QDateTime::fromMSecsSinceEpoch(file->modifiedNs / 1000000);
            }
            m_zinc = zincGameTable(chooseZincVariant(size, date));
        }
        for (qsizetype n = 0; n < m_zinc.size(); ++n) {
            const QString& entry = m_zinc.at(n);
            if (!entry.contains(base, Qt::CaseInsensitive)) continue;
            const qsizetype blank = entry.indexOf(QLatin1Char(' '));
            const qsizetype bar = entry.indexOf(QLatin1Char('|'));
            base = entry.mid(blank + 1, bar - blank - 1);
            result.gameNumber = QString::number(n + 1);
            break;
        }
    } else if (!base.isEmpty() && context.systemName == QLatin1String("Arcade Emulator")) {
        if (!m_arcadeRead) {
            // A missing list is looked for again next time; a list that was read is kept,
            // even when none of its lines is a game line.
            const std::optional<QString> path =
                platform::realSpelling(context.emulatorFolder + QStringLiteral("gamelist.txt"));
            if (std::optional<QStringList> lines = path ? readGameList(*path) : std::nullopt) {
                m_arcade = std::move(*lines);
                m_arcadeRead = true;
            }
        }
        const QString key = QStringLiteral("| ") + base;
        for (const QString& entry : std::as_const(m_arcade)) {
            // The short name column starts at character 38 at the earliest.
            if (entry.indexOf(key, 37, Qt::CaseInsensitive) < 0) continue;
            base = trimBlanks(entry.mid(1, 34));
            break;
        }
    }
    result.title = cleanTitle(base);
    return result;
}

namespace {
// The length of the longest beginning of `text` that fits `width` (at least one character:
// a line always takes something).
qsizetype longestFitting(const QString& text, int width,
                         const std::function<int(const QString&)>& widthOf) {
    qsizetype low = 1, high = text.size();
    while (low < high) {
        const qsizetype mid = (low + high + 1) / 2;
        if (widthOf(text.left(mid)) <= width)
            low = mid;
        else
            high = mid - 1;
    }
    return low;
}

QString elided(const QString& text, int width, const std::function<int(const QString&)>& widthOf) {
    const QString ellipsis(QChar(0x2026));
    qsizetype low = 0, high = text.size();
    while (low < high) {
        const qsizetype mid = (low + high + 1) / 2;
        if (widthOf(text.left(mid).trimmed() + ellipsis) <= width)
            low = mid;
        else
            high = mid - 1;
    }
    return text.left(low).trimmed() + ellipsis;
}
}  // namespace

QString fittedTitle(const QString& title, int width, int maxLines,
                    const std::function<int(const QString&)>& widthOf) {
    QString rest = title.simplified();
    if (width <= 0 || maxLines < 1 || widthOf(rest) <= width) return rest;
    QStringList lines;
    while (!rest.isEmpty()) {
        if (widthOf(rest) <= width) {
            lines << rest;
            break;
        }
        if (lines.size() + 1 >= maxLines) {
            lines << elided(rest, width, widthOf);
            break;
        }
        const qsizetype fits = longestFitting(rest, width, widthOf);
        // The line ends at the last blank it holds (or the one right after it); a single
        // word wider than the line is cut where the line is full.
        const qsizetype blank = rest.left(fits + 1).lastIndexOf(QLatin1Char(' '));
        const qsizetype cut = blank > 0 ? blank : fits;
        lines << rest.left(cut).trimmed();
        rest = rest.mid(cut).trimmed();
    }
    return lines.join(QLatin1Char('\n'));
}
