#pragma once

// A shown control listing a folder of ten files, "game0.sms" to "game9.sms", of 1 to 10 bytes.
#include "filelist/ucListView.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QTest>

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
    ucListView list;
};
