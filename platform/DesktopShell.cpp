#include "platform/DesktopShell.h"

#include "platform/FileNames.h"
#include "platform/ProcessSpawn.h"

#include <QDesktopServices>
#include <QStandardPaths>
#include <QUrl>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {
bool isWindowsProgram(const QString& path) {
    const int fd = ::open(encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char head[2] = {};
    const bool mz = ::read(fd, head, 2) == 2 && head[0] == 'M' && head[1] == 'Z';
    ::close(fd);
    return mz;
}

bool isFolder(const QString& target) {
    struct stat st;
    return ::stat(encodeName(target).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isLocalPath(const QString& target) {
    struct stat st;
    return ::stat(encodeName(target).constData(), &st) == 0;
}
}  // namespace

DesktopShell::DesktopShell(QString wine, QString opener, AssociationFolders associations)
    : m_wine(std::move(wine)),
      m_opener(std::move(opener)),
      m_associations(std::move(associations)) {}

QString DesktopShell::findWine() {
    return QStandardPaths::findExecutable(QStringLiteral("wine"));
}

QString DesktopShell::findOpener() {
    return QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
}

ProgramStart DesktopShell::resolve(const ProgramStart& start, const QString& wine) {
    if (wine.isEmpty() || !start.program.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive) ||
        !isWindowsProgram(start.program))
        return start;
    ProgramStart wrapped = start;
    wrapped.program = wine;
    wrapped.arguments.prepend(start.program);
    return wrapped;
}

bool DesktopShell::start(const ProgramStart& s) {
    const ProgramStart real = resolve(s, m_wine);
    if (real.program.isEmpty()) return false;
    // The show hint has no counterpart for a detached process on X11 or Wayland; the
    // program decides how it appears.
    QList<QByteArray> arguments;
    arguments.reserve(real.arguments.size());
    for (const QString& a : real.arguments)
        arguments.append(encodeName(a));
    return spawnDetached(encodeName(real.program), arguments, encodeName(real.workingFolder),
                         real.outputFd)
        .has_value();
}

bool DesktopShell::open(const QString& target) {
    if (target.isEmpty()) return false;
    if (isLocalPath(target)) {
        // The handler gets the path's own bytes; a file URL built by Qt would spell a name
        // that is not valid UTF-8 as another name.
        // The opener would only say on its error output that nothing opens the file; the
        // caller tells the user instead. When the associations cannot tell, it is tried.
        if (!isFolder(target) &&
            desktopHandlerFor(typesOfFileName(target), m_associations) == HandlerAnswer::None)
            return false;
        if (!m_opener.isEmpty())
            return spawnDetached(encodeName(m_opener), {encodeName(target)}).has_value();
        return QDesktopServices::openUrl(QUrl::fromLocalFile(target));
    }
    return QDesktopServices::openUrl(QUrl::fromUserInput(target));
}

}  // namespace platform
