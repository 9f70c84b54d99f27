// Delete, rename, mask, hide, macro, duplicates, strip text and dump tags.

#include "launcher/formMain.h"

bool formMain::DeleteSelectedFile() {
    return true;
}

bool formMain::RenameSelectedFile() {
    return true;
}

bool formMain::AskFileMask() {
    return true;
}

bool formMain::RunKeyMacro(int&, int&) {
    return true;
}

bool formMain::HideFilesByPattern() {
    return true;
}

bool formMain::AskRemoveDuplicates() {
    return true;
}

bool formMain::AskStripText() {
    return true;
}

bool formMain::ToggleDumpTag(int) {
    return true;
}
