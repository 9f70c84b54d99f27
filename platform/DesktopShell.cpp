#include "platform/DesktopShell.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace platform {

namespace {
bool isWindowsProgram(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    return f.read(2) == "MZ";
}
}  // namespace

DesktopShell::DesktopShell(QString wine) : m_wine(std::move(wine)) {}

QString DesktopShell::findWine() {
    return QStandardPaths::findExecutable(QStringLiteral("wine"));
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
    QProcess process;
    process.setProgram(real.program);
    process.setArguments(real.arguments);
    if (!real.workingFolder.isEmpty()) process.setWorkingDirectory(real.workingFolder);
    return process.startDetached();
}

bool DesktopShell::open(const QString& target) {
    if (target.isEmpty()) return false;
    const QUrl url =
        QFileInfo::exists(target) ? QUrl::fromLocalFile(target) : QUrl::fromUserInput(target);
    return QDesktopServices::openUrl(url);
}

}  // namespace platform
