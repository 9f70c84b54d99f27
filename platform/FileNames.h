#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// File names on disk are bytes; most are UTF-8 but not all. Bytes that are not valid UTF-8
// become the lone surrogates U+DC80..U+DCFF (and back), so every name the folder holds
// can be shown, compared and handed back to the file system unchanged.
QString decodeName(const QByteArray& bytes);
QByteArray encodeName(const QString& name);
// The key names are compared by, letter case ignored. Unlike QString::toCaseFolded it
// keeps escaped bytes as they are (Qt turns a lone surrogate into U+FFFD when it folds).
QString foldName(const QString& name);

}  // namespace platform
