// An entry of the emulator box with no known system stands for a generic program of the
// emulator folder, whatever folder the launcher was started from.

#include "launcher/ui/WindowFixture.h"

#include <QDir>

namespace {

class EmulatorBox : public WindowTest {
protected:
    ~EmulatorBox() override { QDir::setCurrent(m_started); }

    const QString m_started = QDir::currentPath();
};

TEST_F(EmulatorBox, AnEntryOfNoKnownSystemTakesAProgramOfTheEmulatorFolder) {
    struct Case {
        const char* what;
        QStringList emulatorFolder;  // besides the native program "zsnes"
        QString caption;             // up to the credit suffix
    };
    const Case cases[] = {
        {"emulator.exe first", {"b.exe", "emulator.exe"}, "[emulator] "},
        {"else the first .exe by name, letter case ignored", {"C.exe", "b.EXE"}, "[b] "},
        {"a folder or a link to nothing is no program", {"a.exe/", "b.exe->gone"}, "[] "},
        {"none at all", {}, "[] "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder emulators;
        program("zsnes", &emulators);
        for (const QString& e : c.emulatorFolder) {
            if (e.endsWith('/'))
                emulators.mkdir(e.chopped(1));
            else if (e.contains("->"))
                ASSERT_TRUE(QFile::link(e.section("->", 1), emulators.file(e.section("->", 0, 0))));
            else
                emulators.write(e, "MZ");
        }
        // The launcher's working folder holds a program of its own, which is never taken.
        TempFolder working;
        working.write("a.exe", "MZ");
        ASSERT_TRUE(QDir::setCurrent(working.path()));

        create(nullptr, emulators.path());
        ASSERT_TRUE(window->start());
        window->show();
        activate();
        auto* box = window->findChild<QComboBox*>(QStringLiteral("cmbEmu"));
        ASSERT_TRUE(box);
        ASSERT_EQ(box->count(), 1);
        box->addItem(QStringLiteral("mystery.exe"));  // no system code at all
        box->setFocus();
        QApplication::processEvents();
        ASSERT_EQ(QApplication::focusWidget(), box);
        QTest::keyClick(box, Qt::Key_End);
        EXPECT_EQ(box->currentIndex(), 1);
        EXPECT_EQ(window->windowTitle(), c.caption + kCaptionSuffix);
        window.reset();
    }
}

}  // namespace
