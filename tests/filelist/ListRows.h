#pragma once

#include "filelist/ListModel.h"

#include <QStringList>

// The names a list shows, top to bottom.
inline QStringList listNames(const ListModel& m) {
    QStringList out;
    for (int i = 0; i < m.count(); ++i)
        out.append(m.itemText(i));
    return out;
}
