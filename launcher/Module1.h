#pragma once

// Small helpers on paths, file names, sizes and texts that the launcher's modules share.
// None of them fails loudly: a failure yields the documented fallback value.

#include <QChar>
#include <QString>

inline constexpr QChar kPathSeparator = QLatin1Char('/');

QString AddBackslash(const QString& path);
QString GetFileName(const QString& path);
QString GetFolder(const QString& path);
QString GetExtension(const QString& name);
QString ChangeExtension(const QString& name, const QString& extension);
// compare: 0 exact, 1 letter case ignored; count <= 0 replaces every occurrence.
QString ReplaceText(QString text, const QString& find, const QString& replacement, int compare,
                    int count);
// The file's name matches without regard to letter case.
bool FileExists(const QString& path);
// True 64-bit size in bytes; 0 when the file cannot be read.
qint64 FileSize(const QString& path);
// Short display text ("1,024 bytes", "1.5KB", "1,024.0KB", "1.5GB") in the default locale.
QString FormatFileSize(double size);
QString StripNull(const QString& text);
