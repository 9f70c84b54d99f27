#pragma once

// The real platform services a benchmarked window runs on, over an emulator folder of its
// own with settings kept in a temporary folder, so a run never touches the user's.

#include "launcher/ui/WindowServices.h"
#include "platform/ProcessMemory.h"
#include "platform/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <malloc.h>

namespace bench {

// The heap as the program sets it up at start (app/main.cpp).
inline void allocateAsTheProgram() {
    platform::setUpHeap();
}

class NoOtherCopy : public platform::SingleInstance {
public:
    bool anotherIsRunning(const QString&) override { return false; }
    void listen(std::function<void(const QString&)>) override {}
};

struct WindowServices {
    QTemporaryDir folder;  // the emulator folder: an executable "snes9x" and "roms/"
    QTemporaryDir config;
    QTemporaryDir trash;
    SystemServices system{SystemPlaces{
        config.path(), platform::TrashPlaces{trash.path() + QStringLiteral("/Trash"), false},
        QString()}};
    NoOtherCopy single;

    WindowServices() {
        const QString root = folder.path() + QLatin1Char('/');
        QFile emulator(root + QStringLiteral("snes9x"));
        emulator.open(QIODevice::WriteOnly);
        emulator.write("#!/bin/sh\n");
        emulator.close();
        emulator.setPermissions(emulator.permissions() | QFile::ExeOwner);
        QDir().mkpath(root + QStringLiteral("roms"));
    }
    // Empty games named name(0) to name(count - 1) in "roms/"; that folder's path with "/".
    template <typename Name>
    QString fillRoms(int count, Name&& name) {
        const QString roms = folder.path() + QStringLiteral("/roms/");
        for (int i = 0; i < count; ++i) {
            QFile f(roms + name(i));
            f.open(QIODevice::WriteOnly);
        }
        return roms;
    }
    MainWindowServices services() {
        MainWindowServices s = system.windowServices(folder.path());
        s.singleInstance = &single;  // the benchmark's window is never the second copy
        s.dpi = 96;
        return s;
    }
};

}  // namespace bench
