#include "filelist/ListSort.h"

#include <QLocale>

double sortNumber(const QString& text) {
    // Plain digits (the raw-size column) read without any allocation.
    double whole = 0;
    qsizetype digits = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9') {
            digits = -1;
            break;
        }
        whole = whole * 10 + (c.unicode() - u'0');
        ++digits;
    }
    if (digits > 0) return whole;
    const QString t = text.trimmed();
    if (t.isEmpty()) return 0;
    bool ok = false;
    double v = t.toDouble(&ok);
    if (ok) return v;
    v = QLocale().toDouble(t, &ok);
    return ok ? v : 0;
}
