#pragma once

// Where a window's services are put together: the program's real ones, and the one way
// every caller (the program, the benchmarks, the window tests) makes MainWindowServices.

#include "launcher/ui/MainWindow.h"
#include "platform/DesktopShell.h"
#include "platform/FileOperations.h"
#include "platform/LocalSingleInstance.h"
#include "platform/ProcProcessTable.h"
#include "platform/SettingsStore.h"
#include "platform/StorageVolumes.h"
#include "platform/Trash.h"
#include "platform/ui/FocusKeystrokeSender.h"
#include "platform/ui/WidgetDialogs.h"

// The services of a window over the emulator folder `programFolder`; the rest (pads,
// history, identification, reading ahead) starts empty for the caller to add.
MainWindowServices windowServicesOf(const PlatformServices& from, const QString& programFolder);

// Where the real services keep their files: the user's own by default; benchmarks pass
// temporary folders, so that a run never touches the user's settings or trash.
struct SystemPlaces {
    QString config = platform::IniSettingsStore::defaultFolder();
    platform::TrashPlaces trash;
    QString wine = platform::DesktopShell::findWine();  // empty: Windows programs are not run
};

// The real services, owned together.
class SystemServices {
public:
    explicit SystemServices(const SystemPlaces& places = SystemPlaces());

    PlatformServices services();
    MainWindowServices windowServices(const QString& programFolder) {
        return windowServicesOf(services(), programFolder);
    }

    platform::IniSettingsStore settings;
    platform::DesktopShell shell;
    platform::ProcProcessTable processes;
    platform::WidgetDialogs dialogs;
    platform::FocusKeystrokeSender keystrokes;
    platform::StorageVolumes volumes;
    platform::LocalSingleInstance singleInstance;
    platform::LocalFileOperations files;
};
