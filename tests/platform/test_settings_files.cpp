// The settings file as a file: what is never read or written through, and the failures the
// window is told about.

#include "platform/SettingsStore.h"
#include "support/Forked.h"
#include "support/OtherUser.h"
#include "support/TempFolder.h"

#include <QCoreApplication>
#include <QDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString confFile(const TempFolder& t) {
    return t.file(QStringLiteral("config/Rombard/Rombard.conf"));
}

}  // namespace

// A FIFO (or a folder) where the settings file belongs: the start does not wait on it,
// defaults are used, nothing is written through it, and the window is told once, also when
// it asks only after the problem was met.
TEST(SettingsFiles, ANonRegularFileIsNeitherReadNorWritten) {
    for (const bool fifo : {true, false}) {
        SCOPED_TRACE(fifo ? "a FIFO" : "a folder");
        TempFolder t;
        const QString file = confFile(t);
        QDir().mkpath(t.file(QStringLiteral("config/Rombard")));
        if (fifo)
            ASSERT_EQ(::mkfifo(file.toUtf8().constData(), 0600), 0);
        else
            ASSERT_TRUE(QDir().mkpath(file));
        // A reader that never blocks: anything written through the FIFO would wait here.
        const int reader = fifo ? ::open(file.toUtf8().constData(), O_RDONLY | O_NONBLOCK) : -1;

        const support::Forked run = support::runForked([&](int out) {
            ::alarm(10);  // a hang ends the child, and the test with it
            platform::IniSettingsStore store(t.file(QStringLiteral("config")));
            const QString value = store.getSetting("Rombard", "Nestopia", "Pattern", "*.nes");
            store.saveSetting("Rombard", "Nestopia", "Pattern", "*.zip");
            store.getSetting("Rombard", "Nestopia", "Pattern", QString());
            QStringList told;
            store.setProblemHandler([&](const QString& text) { told << text; });
            store.saveSetting("Rombard", "Nestopia", "Pattern", "*.7z");
            support::writeAll(out, (value + '\n' + told.join('\n')).toUtf8());
            return told.size() == 1 ? 0 : 1;
        });
        EXPECT_EQ(run.status, 0) << run.out.toStdString();
        EXPECT_TRUE(run.out.startsWith("*.nes\n")) << run.out.toStdString();
        EXPECT_TRUE(run.out.contains("is not a regular file")) << run.out.toStdString();
        struct stat st;
        ASSERT_EQ(::lstat(file.toUtf8().constData(), &st), 0);
        EXPECT_EQ(fifo ? S_ISFIFO(st.st_mode) : S_ISDIR(st.st_mode), true);
        if (reader >= 0) {
            char c;
            EXPECT_LE(::read(reader, &c, 1), 0);
            ::close(reader);
        }
    }
}

// A config folder that cannot be written: the change is not kept, and the window can say
// why, once however many changes follow.
TEST(SettingsFiles, ASaveThatFailsIsReportedOnce) {
    TempFolder t;
    const QString file = confFile(t);
    {
        platform::IniSettingsStore store(t.file(QStringLiteral("config")));
        store.saveSetting("Rombard", "Nestopia", "Pattern", "*.nes");
    }
    const QByteArray before = t.read(QStringLiteral("config/Rombard/Rombard.conf"));
    ASSERT_FALSE(before.isEmpty());
    ::chmod(t.path().toUtf8().constData(), 0755);
    ::chmod(t.file(QStringLiteral("config")).toUtf8().constData(), 0755);
    ::chmod(t.file(QStringLiteral("config/Rombard")).toUtf8().constData(), 0555);
    ::chmod(file.toUtf8().constData(), 0444);

    const support::Forked run = support::runForked([&](int out) {
        // root writes wherever it likes; the user nobody cannot.
        if (::geteuid() == 0 && !support::becomeUser(support::kNobodyUid)) return 9;
        platform::IniSettingsStore store(t.file(QStringLiteral("config")));
        QStringList told;
        store.setProblemHandler([&](const QString& text) { told << text; });
        // Told once the event loop is back from the save, without anyone asking to sync...
        store.saveSetting("Rombard", "Nestopia", "Pattern", "*.zip");
        QCoreApplication::processEvents();
        if (told.size() != 1) return 2;
        // ...and on an explicit sync, which fails again, but is not told twice.
        store.saveSetting("Rombard", "Nestopia", "Pattern", "*.7z");
        if (store.sync()) return 3;
        support::writeAll(out, told.join('\n').toUtf8());
        return told.size() == 1 ? 0 : 1;
    });
    ::chmod(t.file(QStringLiteral("config/Rombard")).toUtf8().constData(), 0755);
    EXPECT_EQ(run.status, 0) << run.out.toStdString();
    EXPECT_TRUE(run.out.startsWith("Settings cannot be saved to " + file.toUtf8()))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("Permission denied")) << run.out.toStdString();
    EXPECT_EQ(t.read(QStringLiteral("config/Rombard/Rombard.conf")), before);
}
