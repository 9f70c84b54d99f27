// Shows the file list over a folder:
//   listview_demo [folder] [pattern] [sort column] [view mode]
#include "filelist/ui/FileListView.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QStyle>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    FileListView list;
    list.readDesignValues(QStringLiteral("Files"));
    list.initializeSmallIcons(16, 16);
    list.addSmallIcon(app.style()->standardIcon(QStyle::SP_FileIcon));
    list.setPattern(args.size() > 2 ? args.at(2) : QStringLiteral("*.*"));
    list.setPath(args.size() > 1 ? args.at(1) : QDir::currentPath());
    if (args.size() > 3) list.sortFilesByColumnClick(args.at(3).toInt());
    if (args.size() > 4) list.setViewMode(args.at(4).toInt());
    QObject::connect(&list, &FileListView::itemClick, [&](int item) {
        qInfo() << "ItemClick" << item << list.fileName() << list.list(item, 1);
    });
    QObject::connect(&list, &FileListView::keyDown,
                     [](int key, int shift) { qInfo() << "KeyDown" << key << shift; });
    QObject::connect(&list, &FileListView::columnClick,
                     [&](int column) { list.sortFilesByColumnClick(column); });
    list.setWindowTitle(QStringLiteral("%1 files").arg(list.listCount()));
    list.resize(1000, 600);
    list.show();
    if (list.listCount() > 1) list.setListIndex(1);
    return app.exec();
}
