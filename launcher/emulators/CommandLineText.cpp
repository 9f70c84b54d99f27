#include "launcher/emulators/CommandLineText.h"

#include "launcher/PathHelpers.h"

bool isSwitchText(const QString& text) {
    return text.trimmed().startsWith(QLatin1Char('-')) || text.contains(QLatin1Char('/'));
}

QString patternForBoxText(const QString& fileMask, const QString& text) {
    if (text.isEmpty() || isSwitchText(text)) return fileMask;
    return replaceText(fileMask, QStringLiteral("*"), QLatin1Char('*') + text + QLatin1Char('*'), 1,
                       -1);
}

std::optional<QStringList> splitSwitches(const QString& text) {
    QStringList words;
    QString word;
    bool inWord = false;
    enum { Plain, Single, Double } state = Plain;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        switch (state) {
            case Plain:
                if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n')) {
                    if (inWord) words.append(word);
                    word.clear();
                    inWord = false;
                } else if (c == QLatin1Char('\'')) {
                    state = Single;
                    inWord = true;
                } else if (c == QLatin1Char('"')) {
                    state = Double;
                    inWord = true;
                } else if (c == QLatin1Char('\\') && i + 1 < text.size()) {
                    word.append(text.at(++i));
                    inWord = true;
                } else {
                    word.append(c);
                    inWord = true;
                }
                break;
            case Single:
                if (c == QLatin1Char('\''))
                    state = Plain;
                else
                    word.append(c);
                break;
            case Double:
                if (c == QLatin1Char('"')) {
                    state = Plain;
                } else if (c == QLatin1Char('\\') && i + 1 < text.size() &&
                           QStringLiteral("\"\\$`").contains(text.at(i + 1))) {
                    word.append(text.at(++i));
                } else {
                    word.append(c);
                }
                break;
        }
    }
    if (state != Plain) return std::nullopt;
    if (inWord) words.append(word);
    return words;
}
