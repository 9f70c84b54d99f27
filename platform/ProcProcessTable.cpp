#include "platform/ProcProcessTable.h"

#include "platform/FileNames.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <sys/types.h>
#include <unistd.h>
#include <csignal>

namespace platform {

namespace {
// Linux cuts a command name to this many characters.
constexpr qsizetype kCommandLength = 15;

QString lastComponent(const QString& path) {
    // Wine processes carry Windows paths, so both separators count.
    const qsizetype i =
        std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return path.mid(i + 1);
}

QString withoutExe(const QString& name) {
    return name.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive) ? name.chopped(4) : name;
}

QByteArray readSmall(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.read(4096);
}
}  // namespace

bool processMatches(const QString& exeName, const ProcessRecord& p) {
    const QString wanted = withoutExe(exeName.toLower());
    if (wanted.isEmpty()) return false;
    const bool wildcard = wanted.contains(QLatin1Char('*')) || wanted.contains(QLatin1Char('?'));
    const QRegularExpression pattern(
        wildcard ? QRegularExpression::wildcardToRegularExpression(wanted) : QString(),
        QRegularExpression::CaseInsensitiveOption);
    auto same = [&](const QString& candidate) {
        const QString name = withoutExe(candidate.toLower());
        if (name.isEmpty()) return false;
        return wildcard ? pattern.match(name).hasMatch() : name == wanted;
    };
    if (same(lastComponent(p.executable)) || same(lastComponent(p.argv0))) return true;
    if (p.command.isEmpty()) return false;
    if (same(p.command)) return true;
    // A long program name shows only its first 15 characters as the command name.
    return !wildcard && p.command.size() == kCommandLength && wanted.size() > kCommandLength &&
           exeName.toLower().startsWith(p.command.toLower());
}

ProcProcessTable::ProcProcessTable(QString procRoot) : m_root(std::move(procRoot)) {}

QList<ProcessRecord> ProcProcessTable::snapshot() const {
    QList<ProcessRecord> out;
    const QStringList entries = QDir(m_root).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok) continue;
        const QString base = m_root + QLatin1Char('/') + entry + QLatin1Char('/');
        ProcessRecord r;
        r.pid = pid;
        char target[4096];
        const ssize_t n =
            ::readlink(encodeName(base + QStringLiteral("exe")).constData(), target, sizeof target);
        if (n > 0) r.executable = decodeName(QByteArray(target, static_cast<int>(n)));
        const QByteArray cmdline = readSmall(base + QStringLiteral("cmdline"));
        r.argv0 = decodeName(cmdline.left(cmdline.indexOf('\0')));
        r.command = decodeName(readSmall(base + QStringLiteral("comm")).trimmed());
        // A process that ended between the listing and the reads leaves nothing to match.
        if (r.executable.isEmpty() && r.argv0.isEmpty() && r.command.isEmpty()) continue;
        out.append(r);
    }
    return out;
}

bool ProcProcessTable::isRunning(const QString& exeName) {
    const QList<ProcessRecord> all = snapshot();
    return std::any_of(all.begin(), all.end(),
                       [&](const ProcessRecord& r) { return processMatches(exeName, r); });
}

int ProcProcessTable::terminate(const QString& exeName) {
    int asked = 0;
    for (const ProcessRecord& r : snapshot()) {
        if (r.pid == ::getpid() || !processMatches(exeName, r)) continue;
        if (::kill(static_cast<pid_t>(r.pid), SIGTERM) == 0) ++asked;
    }
    return asked;
}

}  // namespace platform
