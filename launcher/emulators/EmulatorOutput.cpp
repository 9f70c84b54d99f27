#include "launcher/emulators/EmulatorOutput.h"

#include <QRegularExpression>
#include <QStringList>

QString lastLines(const QByteArray& output, bool truncated, int maxLines) {
    static const QRegularExpression colours(QStringLiteral("\x1b\\[[0-9;?]*[A-Za-z]"));
    QString text = QString::fromUtf8(output);
    text.remove(colours);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    // A carriage return alone rewrites its line on a terminal: what follows it is what shows.
    QStringList lines = text.split(QLatin1Char('\n'));
    if (truncated && !lines.isEmpty()) lines.removeFirst();
    QStringList kept;
    for (qsizetype i = lines.size() - 1; i >= 0 && kept.size() < maxLines; --i) {
        const QString line = lines[i].section(QLatin1Char('\r'), -1).trimmed();
        if (!line.isEmpty()) kept.prepend(line);
    }
    return kept.join(QLatin1Char('\n'));
}

std::optional<QString> earlyEndMessage(const QString& emulator, qint64 elapsedMs, bool started,
                                       const QByteArray& output, bool truncated) {
    if (!started) return QStringLiteral("%1 could not be started.").arg(emulator);
    if (elapsedMs >= kEarlyEndMs) return std::nullopt;
    const QString lines = lastLines(output, truncated);
    const QString head = QStringLiteral("%1 ended within %2 seconds of its start")
                             .arg(emulator)
                             .arg(kEarlyEndMs / 1000);
    if (lines.isEmpty()) return head + QStringLiteral(" and wrote nothing.");
    return head + QStringLiteral(". The last it wrote:\n\n") + lines;
}
