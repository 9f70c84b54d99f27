#pragma once

// What both widget suites share: a recorder of the control's events and a shown control.

#include "filelist/ui/FileListView.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QTest>

#include <type_traits>

// Each event as "Name(arg,...)" with its whole-number arguments; positions have their own test.
class EventLog {
public:
    explicit EventLog(FileListView& w) {
        record(w, &FileListView::Click, "Click");
        record(w, &FileListView::DblClick, "DblClick");
        record(w, &FileListView::ItemClick, "ItemClick");
        record(w, &FileListView::ColumnClick, "ColumnClick");
        record(w, &FileListView::ColumnRightClick, "ColumnRightClick");
        record(w, &FileListView::KeyDown, "KeyDown");
        record(w, &FileListView::KeyPress, "KeyPress");
        record(w, &FileListView::KeyUp, "KeyUp");
        record(w, &FileListView::MouseDown, "MouseDown");
        record(w, &FileListView::MouseUp, "MouseUp");
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

// A shown control listing a folder of ten files, "game0.sms" to "game9.sms", of 1 to 10 bytes.
class ListViewFixture : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 10; ++i)
            dir.write(QStringLiteral("game%1.sms").arg(i), QByteArray(i + 1, 'x'));
        list.resize(900, 500);
        list.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
        list.setPattern(QStringLiteral("*.sms"));
        list.setPath(dir.path());
        ASSERT_EQ(list.ListCount(), 10);
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
    void moveTo(const QPoint& p) {
        QMouseEvent move(QEvent::MouseMove, p, view()->viewport()->mapToGlobal(p), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view()->viewport(), &move);
    }

    TempFolder dir;
    FileListView list;
};
