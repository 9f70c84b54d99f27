#include "filelist/FileFormats.h"

#include <QHash>

#include <ctime>

QStringList split(const QString& text, const QString& sep, int compare) {
    if (sep.isEmpty()) return {text};
    const Qt::CaseSensitivity cs = compare == 1 ? Qt::CaseInsensitive : Qt::CaseSensitive;
    QStringList pieces;
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = text.indexOf(sep, from, cs);
        if (at < 0) break;
        pieces.append(text.mid(from, at - from));
        from = at + sep.size();
    }
    pieces.append(text.mid(from));
    return pieces;
}

QString formatSize(double size) {
    constexpr double kKiB = 1024.0, kMiB = 1048576.0, kGiB = 1073741824.0;
    const QLocale locale;
    if (size > kGiB) return locale.toString(size / kGiB, 'f', 2) + QStringLiteral("GB");
    if (size > kMiB) return locale.toString(size / kMiB, 'f', 1) + QStringLiteral("MB");
    if (size > kKiB) return locale.toString(size / kKiB, 'f', 1) + QStringLiteral("KB");
    return locale.toString(size, 'f', 0) + QStringLiteral(" bytes");
}

namespace {

struct TypeRule {
    QString suffix;
    bool whole;  // the suffix is the whole description, without the extension before it
};

// Three-letter extensions (lower case) with their descriptions; any other gets " File".
const QHash<QString, TypeRule>& threeLetterTypes() {
    static const QHash<QString, TypeRule> table = [] {
        const std::pair<const char*, TypeRule> groups[] = {
            {"zip rar cab jar", {QStringLiteral(" Archive"), false}},
            {"tif jpg gif bmp png jfx jpe pcx dcx xif wif wmf ico iso nrg bin cue mdf mds img "
             "c2d vcd fcd pxi ncd pdi p01 cif cdi lcd b5i bwi daa vhd",
             {QStringLiteral(" Image"), false}},
            {"exe com", {QStringLiteral("Application"), true}},
            {"bat btm cmd", {QStringLiteral("Batch File"), true}},
            {"txt wri log", {QStringLiteral("Text Document"), true}},
            {"dll ocx", {QStringLiteral("Application Extension"), true}},
            {"htm asp php pdf xml did", {QStringLiteral(" Document"), false}},
            {"swf", {QStringLiteral("Flash Animation"), true}},
            {"doc", {QStringLiteral("Word Document"), true}},
            {"xls", {QStringLiteral("Excel Worksheet"), true}},
            {"css", {QStringLiteral("Cascading Style Sheet"), true}},
            {"pps ppt", {QStringLiteral("PowerPoint Presentation"), true}},
            {"chm hlp", {QStringLiteral("Help File"), true}},
            {"msg", {QStringLiteral("Email Message"), true}},
            {"ini", {QStringLiteral("Configuration Settings"), true}},
            {"reg", {QStringLiteral("Registration Entries"), true}},
            {"mp3 mid wav mp2 ogg", {QStringLiteral(" Audio File"), false}},
            {"avi mpg asf mpe", {QStringLiteral(" Video"), false}},
        };
        QHash<QString, TypeRule> t;
        for (const auto& [names, rule] : groups)
            for (const QString& ext : QString::fromLatin1(names).split(u' '))
                t.insert(ext, rule);
        return t;
    }();
    return table;
}

QString describeThreeLetter(const QString& ext) {
    const QString upper = ext.toUpper();
    const auto it = threeLetterTypes().constFind(ext.toLower());
    if (it == threeLetterTypes().constEnd()) return upper + QStringLiteral(" File");
    return it->whole ? it->suffix : upper + it->suffix;
}

}  // namespace

QString fileTypeDescription(const QString& name) {
    const qsizetype n = name.size();
    auto dotAt = [&](int fromEnd) { return n >= fromEnd && name.at(n - fromEnd) == u'.'; };
    if (dotAt(4)) {
        const QString ext = name.right(3);
        return describeThreeLetter(ext);
    }
    if (dotAt(5)) {
        const QString ext = name.right(4);
        const QString lower = ext.toLower(), upper = ext.toUpper();
        if (lower == u"html") return upper + QStringLiteral(" Document");
        if (lower == u"tiff" || lower == u"jpeg") return upper + QStringLiteral(" Image");
        if (lower == u"mpeg") return upper + QStringLiteral(" Video");
        return upper + QStringLiteral(" File");
    }
    if (dotAt(3)) return name.right(3) + QStringLiteral(" File");
    if (dotAt(2)) return name.right(2) + QStringLiteral(" File");
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0) return {};
    return name.mid(dot) + QStringLiteral(" File");
}

namespace {

// The first character of a locale format that is not a field letter or a blank.
QString separatorIn(const QString& format, const QString& fallback) {
    for (const QChar c : format) {
        if (!c.isLetter() && !c.isSpace() && c != u'\'') return QString(c);
    }
    return fallback;
}

}  // namespace

FileDateFormat::FileDateFormat(const QLocale& locale)
    : m_dateSep(separatorIn(locale.dateFormat(QLocale::ShortFormat), QStringLiteral("/"))),
      m_timeSep(separatorIn(locale.timeFormat(QLocale::ShortFormat), QStringLiteral(":"))),
      m_am(locale.amText().isEmpty() ? QStringLiteral("AM") : locale.amText()),
      m_pm(locale.pmText().isEmpty() ? QStringLiteral("PM") : locale.pmText()) {}

QString FileDateFormat::format(qint64 secondsSinceEpoch) const {
    const std::time_t t = static_cast<std::time_t>(secondsSinceEpoch);
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return {};
    const int hour12 = tm.tm_hour % 12 == 0 ? 12 : tm.tm_hour % 12;
    QString out;
    out.reserve(24);
    out += QString::number(tm.tm_mon + 1);
    out += m_dateSep;
    out += QString::number(tm.tm_mday);
    out += m_dateSep;
    out += QString::number(tm.tm_year + 1900);
    out += u' ';
    out += QString::number(hour12);
    out += m_timeSep;
    if (tm.tm_min < 10) out += u'0';
    out += QString::number(tm.tm_min);
    out += u' ';
    out += tm.tm_hour < 12 ? m_am : m_pm;
    return out;
}

namespace {

// Orders like the moments it names, at the precision of the date column.
qint64 dateKey(int year, int month, int day, int hour, int minute) {
    return ((((qint64(year) * 100 + month) * 100 + day) * 100 + hour) * 100) + minute;
}

}  // namespace

qint64 FileDateFormat::sortKeyAt(qint64 secondsSinceEpoch) {
    const std::time_t t = static_cast<std::time_t>(secondsSinceEpoch);
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return 0;
    return dateKey(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min);
}

std::optional<qint64> FileDateFormat::sortKey(QStringView text) const {
    // Month, day, year, hour, minute: runs of digits with anything between them, then the
    // day half. Written by format() above, or typed in the same shape.
    int fields[5] = {};
    int count = 0;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (count < 5) {
        while (i < n && !text.at(i).isDigit()) {
            if (text.at(i).isLetter()) return std::nullopt;
            ++i;
        }
        if (i >= n) break;
        int value = 0, digits = 0;
        while (i < n && text.at(i).isDigit() && digits < 5) {
            value = value * 10 + text.at(i).digitValue();
            ++i;
            ++digits;
        }
        fields[count++] = value;
    }
    if (count < 3) return std::nullopt;
    const int month = fields[0], day = fields[1], year = fields[2];
    if (month < 1 || month > 12 || day < 1 || day > 31) return std::nullopt;
    int hour = fields[3];
    const int minute = fields[4];
    const QStringView rest = text.mid(i).trimmed();
    const bool pm = !rest.isEmpty() && rest.compare(m_pm, Qt::CaseInsensitive) == 0;
    const bool am = !rest.isEmpty() && rest.compare(m_am, Qt::CaseInsensitive) == 0;
    if (!rest.isEmpty() && !pm && !am) return std::nullopt;
    if (pm || am) {
        if (hour < 1 || hour > 12) return std::nullopt;
        hour = hour % 12 + (pm ? 12 : 0);
    }
    if (hour > 23 || minute > 59) return std::nullopt;
    return dateKey(year, month, day, hour, minute);
}
