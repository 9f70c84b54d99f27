#pragma once

// Texts of the file list's cells: sizes, type descriptions and dates, and the helpers the
// listing shares with its callers.

#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>

// The pieces of `text` between occurrences of `sep` (compare: 0 exact, 1 letter case
// ignored). Never empty: "" gives one empty piece, and empty pieces between adjacent
// separators stay. An empty `sep` gives the whole text as its only piece.
QStringList split(const QString& text, const QString& sep, int compare = 0);

// "1,024 bytes", "1.0KB", "4.8MB", "3.00GB" with the default locale's separators.
QString formatSize(double size);

// "ZIP Archive", "ISO Image", "Text Document", ".gb File", ".backup File"; empty for a name
// without a dot.
QString fileTypeDescription(const QString& name);

// The date column's text "M/D/YYYY H:MM AM/PM" in local time, with the date and time
// separators and day-half texts of a locale, and the reverse reading used by date sorts.
class FileDateFormat {
public:
    explicit FileDateFormat(const QLocale& locale = QLocale());

    QString format(qint64 secondsSinceEpoch) const;
    // The key sortKey() gives for the text format() writes for that moment.
    static qint64 sortKeyAt(qint64 secondsSinceEpoch);
    // A number that orders like the date written in `text` (minute precision, local wall
    // time); nullopt when the text does not read as a date.
    std::optional<qint64> sortKey(QStringView text) const;

private:
    QString m_dateSep;
    QString m_timeSep;
    QString m_am;
    QString m_pm;
};
