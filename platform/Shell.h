#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// One program start, fully resolved: no shell ever re-splits it.
struct ProgramStart {
    QString program;        // path of the program to run
    QStringList arguments;  // each goes to the process as one argument
    QString workingFolder;  // empty: the launcher's own
    int show = 1;           // 0 hidden, 1 normal, 2 minimised, 3 maximised (a hint)
    int outputFd = -1;      // where its standard output and error go; -1: the launcher's own
};

// Starting programs and opening documents, folders and web addresses.
class Shell {
public:
    virtual ~Shell() = default;
    // Starts the program detached; false when it could not be started.
    virtual bool start(const ProgramStart& start) = 0;
    // Opens a document, folder or web address with the desktop's handler.
    virtual bool open(const QString& target) = 0;
};

}  // namespace platform
