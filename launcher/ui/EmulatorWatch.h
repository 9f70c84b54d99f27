#pragma once

#include "platform/OutputCapture.h"

#include <QString>

#include <memory>

// The emulator started last: what it wrote and whether it started at all.
struct EmulatorWatch {
    QString emulator;  // as the message names it
    std::unique_ptr<platform::OutputCapture> output;
    bool started = false;
};
