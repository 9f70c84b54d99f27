#include "support/TempFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

TempFolder::TempFolder() : m_dir(QDir::tempPath() + QStringLiteral("/rombard-test-XXXXXX")) {}

QString TempFolder::file(const QString& relative) const {
    return m_dir.path() + QLatin1Char('/') + relative;
}

QString TempFolder::write(const QString& relative, const QByteArray& content) {
    const QString full = file(relative);
    QDir().mkpath(QFileInfo(full).path());
    QFile f(full);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(content);
    return full;
}

QString TempFolder::sparse(const QString& relative, qint64 size) {
    const QString full = write(relative);
    QFile f(full);
    if (f.open(QIODevice::ReadWrite)) f.resize(size);
    return full;
}

QString TempFolder::mkdir(const QString& relative) {
    QDir().mkpath(file(relative));
    return file(relative);
}

bool TempFolder::touch(const QString& relative, const QDateTime& when) {
    QFile f(file(relative));
    return f.open(QIODevice::ReadWrite) && f.setFileTime(when, QFileDevice::FileModificationTime);
}

bool TempFolder::settle(const QString& relative) {
    timespec times[2];
    ::clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= 3600;
    times[1] = times[0];
    const QString path = relative.isEmpty() ? m_dir.path() : file(relative);
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
}

QByteArray TempFolder::read(const QString& relative) const {
    QFile f(file(relative));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool TempFolder::exists(const QString& relative) const {
    return QFileInfo::exists(file(relative));
}

QStringList filesUnder(const QString& root) {
    QStringList out;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        out << path.mid(root.size() + 1) + QStringLiteral(": ") + QString::fromUtf8(file.readAll());
    }
    out.sort();
    return out;
}
