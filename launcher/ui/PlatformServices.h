#pragma once

// The operating system as a launcher window reaches it: one of each service, real ones in
// the program (SystemServices) and recording fakes in the tests.

namespace platform {
class Dialogs;
class FileOperations;
class KeystrokeSender;
class ProcessTable;
class SettingsStore;
class Shell;
class SingleInstance;
class Volumes;
}  // namespace platform

struct PlatformServices {
    platform::SettingsStore* settings = nullptr;
    platform::Shell* shell = nullptr;
    platform::ProcessTable* processes = nullptr;
    platform::Dialogs* dialogs = nullptr;
    platform::KeystrokeSender* keystrokes = nullptr;
    platform::Volumes* volumes = nullptr;
    platform::SingleInstance* singleInstance = nullptr;
    // Renames and the trash; also used by the duplicate search's own thread.
    platform::FileOperations* files = nullptr;
};
