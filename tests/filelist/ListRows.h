#pragma once

#include "filelist/ListModel.h"

#include <QStringList>

#include <vector>

// A listed file, read; or not yet looked at when `looked` is false.
inline ListedFile file(const QString& name, qint64 size = 0, qint64 modified = 0,
                       bool looked = true) {
    return ListedFile{name, size, modified, looked, looked};
}

// The files' names, in order.
inline QStringList namesOf(const std::vector<ListedFile>& files) {
    QStringList out;
    for (const ListedFile& f : files)
        out.append(f.name);
    return out;
}

// The names a list shows, top to bottom.
inline QStringList listNames(const ListModel& m) {
    QStringList out;
    for (int i = 0; i < m.count(); ++i)
        out.append(m.itemText(i));
    return out;
}

// Each listed file with its facts, one a line, so that two listings compare whole.
inline QString describeFiles(const std::vector<ListedFile>& files) {
    QString text;
    for (const ListedFile& f : files)
        text += f.name + QStringLiteral(" %1 %2 %3%4\n")
                             .arg(f.size)
                             .arg(f.modified)
                             .arg(f.readable ? "r" : "-")
                             .arg(f.looked ? "l" : "-");
    return text;
}
