// The drive and folder lists, the folder picker and the browsing layout.

#include "launcher/formMain.h"

void formMain::ToggleFolderLists() {}
