#include "launcher/emulators/EmulatorSettings.h"

#include "launcher/emulators/CommandLineText.h"

#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace {
std::optional<int> toWhole(double value) {
    if (!std::isfinite(value) || std::fabs(value) > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(std::lround(value));
}
}  // namespace

QList<QPair<QString, QString>> emulatorSettingsToSave(const EmulatorSettingsState& s) {
    QList<QPair<QString, QString>> out;
    // A search text is not kept, but an emptied box is: else switches once saved could
    // never be removed.
    if (s.commandLine.isEmpty() || isSwitchText(s.commandLine))
        out.append({QStringLiteral("cmdline"), s.commandLine});
    out.append({QStringLiteral("file"), QString::number(s.listIndex)});
    out.append({QStringLiteral("roms"), s.romsFolder});
    // A hidden or minimised-away window has no placement worth keeping.
    if (!s.windowVisible) return out;
    out.append({QStringLiteral("imageleft"), QString::number(s.shotLeft)});
    out.append({QStringLiteral("Left"), QString::number((s.screenWidth - s.windowWidth) / 2)});
    out.append({QStringLiteral("Top"), QString::number((s.screenHeight - s.windowHeight) / 2)});
    out.append({QStringLiteral("Width"), QString::number(s.windowWidth)});
    out.append({QStringLiteral("Height"), QString::number(s.windowHeight)});
    out.append({QStringLiteral("Maximized"),
                s.maximized ? QStringLiteral("True") : QStringLiteral("False")});
    return out;
}

std::optional<int> readWholeNumber(const QString& text) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok) return std::nullopt;
    return toWhole(value);
}

int leadingWholeNumber(const QString& text) {
    static const QRegularExpression leading(QStringLiteral("^\\s*[-+]?\\d+(\\.\\d*)?"));
    const QRegularExpressionMatch m = leading.match(text);
    if (!m.hasMatch()) return 0;
    return readWholeNumber(m.captured(0)).value_or(0);
}

std::optional<bool> readFlag(const QString& text) {
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) return false;
    if (const auto n = readWholeNumber(t)) return *n != 0;
    return std::nullopt;
}
