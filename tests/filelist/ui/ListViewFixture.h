#pragma once

// What the list's widget suites share: a recorder of the list's events and a shown list set
// up from the window's stored design values.

#include "filelist/ui/FileListView.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <type_traits>

// Each event as "Name(arg,...)" with its whole-number arguments; positions have their own test.
class EventLog {
public:
    explicit EventLog(FileListView& w) {
        record(w, &FileListView::dblClick, "dblClick");
        record(w, &FileListView::itemClick, "itemClick");
        record(w, &FileListView::columnClick, "columnClick");
        record(w, &FileListView::keyDown, "keyDown");
        record(w, &FileListView::mouseDown, "mouseDown");
    }
    QStringList take() {
        QStringList out;
        out.swap(lines);
        return out;
    }
    QStringList lines;

private:
    template <typename... Args>
    void record(FileListView& w, void (FileListView::*event)(Args...), const char* name) {
        QObject::connect(&w, event, [this, name](Args... args) {
            QStringList shown;
            [[maybe_unused]] auto show = [&](auto a) {
                if constexpr (std::is_same_v<decltype(a), int>) shown.append(QString::number(a));
            };
            (show(args), ...);
            const QString n = QString::fromLatin1(name);
            lines.append(shown.isEmpty() ? n : n + u'(' + shown.join(u',') + u')');
        });
    }
};

// A shown list with the window's design values ("Files": single selection, positions in
// pixels, no cell tips), listing a folder of ten files, "game0.sms" to "game9.sms", of 1
// to 10 bytes.
class ListViewFixture : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 10; ++i)
            dir.write(QStringLiteral("game%1.sms").arg(i), QByteArray(i + 1, 'x'));
        list.resize(900, 500);
        list.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
        design({});
    }
    // Reads the window's design values with some changed, then lists the folder again.
    void design(const QVariantMap& changes) {
        QFile stored(QStringLiteral(":/design/Files.json"));
        ASSERT_TRUE(stored.open(QIODevice::ReadOnly));
        QJsonObject values = QJsonDocument::fromJson(stored.readAll()).object();
        for (auto it = changes.begin(); it != changes.end(); ++it)
            values.insert(it.key(), QJsonValue::fromVariant(it.value()));
        list.readProperties(platform::PropertyBag(values));
        list.setPattern(QStringLiteral("*.sms"));
        list.setPath(dir.path());
        ASSERT_EQ(list.listCount(), 10);
    }
    QAbstractItemView* view() { return list.currentView(); }
    QRect cell(int row, int column = 0) {
        return view()->visualRect(view()->model()->index(row, column));
    }
    QPoint itemCenter(int row) { return cell(row).center(); }
    void click(int row, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = {}) {
        QTest::mouseClick(view()->viewport(), b, m, itemCenter(row));
    }
    void key(Qt::Key k, Qt::KeyboardModifiers m = {}) { QTest::keyClick(view(), k, m); }

    TempFolder dir;
    FileListView list;
};
