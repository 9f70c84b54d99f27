#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

class QFile;

namespace platform {

// File names on disk are bytes; most are UTF-8 but not all. Bytes that are not valid UTF-8
// become the lone surrogates U+DC80..U+DCFF (and back), so every name the folder holds
// can be shown, compared and handed back to the file system unchanged.
QString decodeName(const QByteArray& bytes);
QByteArray encodeName(const QString& name);
// The key names are compared by, letter case ignored. Unlike QString::toCaseFolded it
// keeps escaped bytes as they are (Qt turns a lone surrogate into U+FFFD when it folds).
QString foldName(const QString& name);

// The program's command-line arguments after argv[0], each decoded as a file name.
QStringList argumentsFromArgv(int argc, const char* const* argv);
// The folder of the launcher as it was invoked: the folder of argv[0] when it holds a
// slash (a link placed in the emulators' folder counts as living there), else the folder
// of the running executable. Absolute, without a trailing slash; empty when unknown.
QString programFolderFromArgv0(const char* argv0);

// A user's base folder of the freedesktop base directory rules: the environment
// `variable` when it holds an absolute path, else `underHome` (".cache", ".local/share")
// in the home folder.
QString userBaseFolder(const char* variable, const QString& underHome);

// Opens `file` for reading by the name's own bytes, so a name that is not valid UTF-8
// opens too (QFile alone would look for its UTF-8 spelling). The file's fileName() stays
// empty.
bool openForReading(QFile& file, const QString& name);
// A regular file's size and modification time (links followed), from one look by the
// name's own bytes; nothing for a folder, a device or a name that is not there.
struct RegularFile {
    qint64 size = 0;
    qint64 modifiedNs = 0;  // since the epoch
};
std::optional<RegularFile> regularFile(const QString& name);

// Files named like data can be anything on disk: a FIFO would block the reader for good, a
// device such as /dev/zero never ends. These open a name (its own bytes, links followed)
// only when the opened file is a regular file, without ever waiting on a FIFO.
// A descriptor for reading (close-on-exec, blocking reads), or -1.
int openRegular(const QString& name);
// The same for a path's own bytes, opened with `flags` (O_RDWR | O_APPEND | O_CREAT |
// O_NOFOLLOW, say) and, when made, `mode`; blocking, close-on-exec.
int openRegularBytes(const QByteArray& path, int flags, unsigned mode = 0);
// Like openForReading, for regular files only.
bool openRegularForReading(QFile& file, const QString& name);
// At most `maxBytes` of a regular file; nothing when it is not one or cannot be read.
// `cut`, when given, tells whether the file held more than that.
std::optional<QByteArray> readRegularFile(const QString& name, qint64 maxBytes,
                                          bool* cut = nullptr);
// The whole of a regular file of at most `maxBytes`; nothing when it holds more (a larger
// stated size says so before any byte is read), is not one, or cannot be read.
std::optional<QByteArray> readWholeRegularFile(const QString& name, qint64 maxBytes);

}  // namespace platform
