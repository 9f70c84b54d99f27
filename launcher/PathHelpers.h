#pragma once

// Small helpers on paths, file names, sizes and texts that the launcher's modules share.
// None of them fails loudly: a failure yields the documented fallback value.

#include <QChar>
#include <QString>

inline constexpr QChar kPathSeparator = QLatin1Char('/');

QString withTrailingSeparator(const QString& path);
QString fileNameOf(const QString& path);
QString parentFolderOf(const QString& path);
QString extensionOf(const QString& name);
QString withExtension(const QString& name, const QString& extension);
// compare: 0 exact, 1 letter case ignored; count <= 0 replaces every occurrence.
QString replaceText(QString text, const QString& find, const QString& replacement, int compare,
                    int count);
// The file's name matches without regard to letter case.
bool pathExists(const QString& path);
// True 64-bit size in bytes; 0 when the file cannot be read.
qint64 fileSizeOf(const QString& path);
// Short display text ("1,024 bytes", "1.5KB", "1,024.0KB", "1.5GB") in the default locale.
QString formatFileSize(double size);
QString textBeforeNull(const QString& text);
