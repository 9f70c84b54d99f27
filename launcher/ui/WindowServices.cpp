#include "launcher/ui/WindowServices.h"

MainWindowServices windowServicesOf(const PlatformServices& from, const QString& programFolder) {
    MainWindowServices s;
    static_cast<PlatformServices&>(s) = from;
    s.programFolder = programFolder;
    return s;
}

SystemServices::SystemServices(const SystemPlaces& places)
    : settings(places.config), shell(places.wine), files(places.trash) {}

PlatformServices SystemServices::services() {
    return {&settings,   &shell,   &processes,      &dialogs,
            &keystrokes, &volumes, &singleInstance, &files};
}
