#pragma once

// A real temporary folder with quick builders for the files a test needs.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class TempFolder {
public:
    TempFolder();
    bool isValid() const { return m_dir.isValid(); }
    // The folder's path, without a trailing separator.
    QString path() const { return m_dir.path(); }
    // path() + "/" + relative.
    QString file(const QString& relative) const;
    // Writes a file (creating folders on the way); returns its full path.
    QString write(const QString& relative, const QByteArray& content = QByteArray());
    // A file of `size` bytes that takes no disk space (sparse).
    QString sparse(const QString& relative, qint64 size);
    QString mkdir(const QString& relative);
    // Sets the file's modification time.
    bool touch(const QString& relative, const QDateTime& when);
    // Sets the modification time of a folder (the whole one by default) or file an hour
    // back, as a folder of games kept for long has it.
    bool settle(const QString& relative = QString());
    QByteArray read(const QString& relative) const;
    bool exists(const QString& relative) const;

private:
    QTemporaryDir m_dir;
};

// Every file under `root`, hidden ones too, as "relative path: content", sorted: a whole
// tree compared in one expectation.
QStringList filesUnder(const QString& root);
