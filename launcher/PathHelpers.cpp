#include "launcher/PathHelpers.h"

#include "platform/FileOperations.h"

#include <QLocale>

#include <cmath>

namespace {
// A number with a fixed count of decimals and thousands separators, then an optional
// second decimal dropped when it is zero ("#,##0.0#").
QString formatNumber(double value, int decimals, bool optionalLast) {
    const QLocale locale;
    QString text = locale.toString(value, 'f', decimals);
    if (optionalLast && text.endsWith(locale.zeroDigit())) text.chop(locale.zeroDigit().size());
    return text;
}
}  // namespace

QString withTrailingSeparator(const QString& path) {
    if (path.endsWith(kPathSeparator)) return path;
    return path + kPathSeparator;
}

QString fileNameOf(const QString& path) {
    const qsizetype i = path.lastIndexOf(kPathSeparator);
    return i < 0 ? QString() : path.mid(i + 1);
}

QString parentFolderOf(const QString& path) {
    const qsizetype i = path.lastIndexOf(kPathSeparator);
    return i < 0 ? QString() : path.left(i + 1);
}

QString extensionOf(const QString& name) {
    const qsizetype n = name.size();
    for (qsizetype back = 4; back >= 2; --back) {
        if (n >= back && name.at(n - back) == QLatin1Char('.')) return name.right(back);
    }
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot);
}

QString withExtension(const QString& name, const QString& extension) {
    return name.left(name.size() - extensionOf(name).size()) + extension;
}

QString replaceText(QString text, const QString& find, const QString& replacement, int compare,
                    int count) {
    if (find.isEmpty()) return text;
    const Qt::CaseSensitivity cs = compare == 0 ? Qt::CaseSensitive : Qt::CaseInsensitive;
    int made = 0;
    qsizetype pos = text.indexOf(find, 0, cs);
    while (pos >= 0 && (count <= 0 || made < count)) {
        text.replace(pos, find.size(), replacement);
        ++made;
        // Go on after the replacement, so a replacement holding the searched text is
        // never replaced again.
        pos = text.indexOf(find, pos + replacement.size(), cs);
    }
    return text;
}

bool pathExists(const QString& path) {
    return platform::regularFileSize(path).has_value();
}

qint64 fileSizeOf(const QString& path) {
    return platform::regularFileSize(path).value_or(0);
}

QString formatFileSize(double size) {
    constexpr double kKB = 1024.0, kMB = 1048576.0, kGB = 1073741824.0;
    if (size > kGB) return formatNumber(size / kGB, 2, true) + QStringLiteral("GB");
    if (size > kMB) return formatNumber(size / kMB, 1, false) + QStringLiteral("MB");
    if (size > kKB) return formatNumber(size / kKB, 1, false) + QStringLiteral("KB");
    return formatNumber(std::round(size), 0, false) + QStringLiteral(" bytes");
}

QString textBeforeNull(const QString& text) {
    const qsizetype i = text.indexOf(QChar(0));
    return i < 0 ? text : text.left(i);
}
