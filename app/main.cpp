#include "launcher/formMain.h"
#include "platform/DesktopShell.h"
#include "platform/FileNames.h"
#include "platform/LocalSingleInstance.h"
#include "platform/ProcProcessTable.h"
#include "platform/SettingsStore.h"
#include "platform/StorageVolumes.h"
#include "platform/ui_FocusKeystrokeSender.h"
#include "platform/ui_WidgetDialogs.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Rombard"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/rombard.png")));

    platform::IniSettingsStore settings(platform::IniSettingsStore::defaultFolder());
    platform::DesktopShell shell;
    platform::ProcProcessTable processes;
    platform::WidgetDialogs dialogs;
    platform::FocusKeystrokeSender keystrokes;
    platform::StorageVolumes volumes;
    platform::LocalSingleInstance singleInstance;

    MainWindowServices services;
    services.settings = &settings;
    services.shell = &shell;
    services.processes = &processes;
    services.dialogs = &dialogs;
    services.keystrokes = &keystrokes;
    services.volumes = &volumes;
    services.singleInstance = &singleInstance;
    // The emulators live beside the launcher, also when it was started through a link
    // placed in their folder.
    services.programFolder = platform::programFolderFromArgv0(argv[0]);

    formMain window(services);
    dialogs.setOwner(&window);
    if (!window.Form_Load()) return 0;  // the copy already running has been told
    window.show();
    return app.exec();
}
