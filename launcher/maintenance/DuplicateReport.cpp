// The words of the duplicate search's result: its report lines and closing message.

#include "launcher/maintenance/DuplicateFinder.h"

QString duplicateReportLines(const DuplicateSearchResult::Copy& copy, const QStringList& names,
                             const std::function<QString(const QString&)>& shown) {
    const auto show = [&](const QString& name) { return shown ? shown(name) : name; };
    const QString keptName = show(names.at(copy.keptRow));
    QString why;
    if (copy.rule == DuplicateSearchResult::Rule::Screenshot)
        why = QStringLiteral(" (has a screenshot)");
    if (copy.rule == DuplicateSearchResult::Rule::GoodDump)
        why = QStringLiteral(" (good dump [!])");
    QString lines = show(copy.path) + QStringLiteral(" -> ") + keptName + why + QLatin1Char('\n');
    if (!copy.twin.isEmpty())
        lines += show(copy.twin) + QStringLiteral(" -> ") + keptName +
                 QStringLiteral(" (.jad of ") + show(names.at(copy.row)) + QStringLiteral(")\n");
    for (const QString& member : copy.members)
        lines += show(member) + QStringLiteral(" -> ") + keptName + QStringLiteral(" (file of ") +
                 show(names.at(copy.row)) + QStringLiteral(")\n");
    return lines;
}

int DuplicateSearchResult::filesRemoved() const {
    int n = int(copies.size());
    for (const Copy& c : copies)
        n += (c.twin.isEmpty() ? 0 : 1) + int(c.members.size());
    return n;
}

QString DuplicateSearchResult::message() const {
    const int removed = filesRemoved();
    QString text = QString::number(removed) +
                   (removed == 1 ? QStringLiteral(" Duplicate Removed.\n")
                                 : QStringLiteral(" Duplicates Removed.\n")) +
                   report;
    for (const Failure& f : failures)
        text += f.path + QStringLiteral(" was not removed: ") +
                (f.reason.isEmpty() ? QStringLiteral("the reason is not known") : f.reason) +
                QLatin1Char('\n');
    return text;
}
