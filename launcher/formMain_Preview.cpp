// The preview panel: the selected game's picture, title and file facts.

#include "launcher/formMain.h"

void formMain::Files_ItemClick() {}

QString formMain::FindScreenshot(const QString&) {
    return {};
}
