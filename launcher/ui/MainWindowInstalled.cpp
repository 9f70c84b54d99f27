// The emulators installed on the system and those of emulators.conf, the hint shown when a
// folder offers none, the emulator chosen last in each folder, a folder handed over by a
// later copy, and the message about an emulator that gave up at once.

#include "filelist/ui/FileListView.h"
#include "launcher/PathHelpers.h"
#include "launcher/emulators/EmulatorOutput.h"
#include "launcher/emulators/LaunchRules.h"
#include "launcher/ui/EmulatorWatch.h"
#include "launcher/ui/MainWindow.h"
#include "launcher/window/StartFolder.h"
#include "platform/Dialogs.h"
#include "platform/ProcessTable.h"
#include "platform/SettingsStore.h"
#include "platform/Shell.h"

#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QTextDocumentFragment>
#include <QUrl>

namespace {
// The box's role that holds an installed emulator's index in m_emu.installed.
constexpr int kInstalledRole = Qt::UserRole + 1;
const QString kApplication = QStringLiteral("Rombard");
// How long the pipe of an emulator that is no longer running may take to close.
constexpr int kEndGraceMs = 300;

QString folderKey(const QString& folder) {
    // Whole paths as keys: the settings file would take their "/" for groups.
    return QStringLiteral("EmulatorOf_") + QString::fromLatin1(QUrl::toPercentEncoding(folder));
}

// Keeps the hint over the file list wherever the layout puts the list.
class FollowGeometry final : public QObject {
public:
    FollowGeometry(QWidget* follower, QWidget* followed) : QObject(follower), m_follower(follower) {
        followed->installEventFilter(this);
        m_follower->setGeometry(followed->geometry());
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize || event->type() == QEvent::Move)
            m_follower->setGeometry(static_cast<QWidget*>(watched)->geometry());
        return false;
    }

private:
    QWidget* m_follower;
};
}  // namespace

QStringList MainWindow::findInstalledEmulators() {
    const InstalledSearch& where = m_services.installed;
    const UserEmulators user = readUserEmulators(where.userFile, where.pathFolders);
    // The user's own come first: whoever wrote one meant it.
    m_emu.installed = user.emulators + scanInstalledEmulators(where);
    return user.problems;
}

void MainWindow::reportUserEmulatorProblems(const QStringList& problems) {
    if (problems.isEmpty()) return;
    m_services.dialogs->messageBox(
        QStringLiteral("Some emulators of emulators.conf are left out:\n\n") +
            problems.join(QLatin1Char('\n')),
        platform::MessageButtons::Ok, platform::MessageIcon::Warning, kApplication);
}

void MainWindow::addInstalledEmulators() {
    for (int i = 0; i < m_emu.installed.size(); ++i) {
        m_ui.emulatorBox->addItem(m_emu.installed[i].name);
        m_ui.emulatorBox->setItemData(m_ui.emulatorBox->count() - 1, i, kInstalledRole);
        m_ui.emulatorBox->setItemData(m_ui.emulatorBox->count() - 1, m_emu.installed[i].program,
                                      Qt::ToolTipRole);
    }
}

const InstalledEmulator* MainWindow::selectedInstalled() const {
    bool ok = false;
    const int i = m_ui.emulatorBox->currentData(kInstalledRole).toInt(&ok);
    if (!ok || i < 0 || i >= m_emu.installed.size()) return nullptr;
    return &m_emu.installed[i];
}

void MainWindow::showNoEmulatorHint(bool show) {
    if (!m_ui.noEmulatorHint) {
        // Over the disabled list, as a sibling: a child of it would be disabled too and its
        // link could not be followed.
        m_ui.noEmulatorHint = new QLabel(this);
        m_ui.noEmulatorHint->setObjectName(QStringLiteral("lblNoEmulator"));
        // Its link takes the focus, so it is read by a name of its own, not its whole text.
        m_ui.noEmulatorHint->setAccessibleName(QStringLiteral("No emulator here"));
        m_ui.noEmulatorHint->setWordWrap(true);
        m_ui.noEmulatorHint->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        m_ui.noEmulatorHint->setMargin(8);
        m_ui.noEmulatorHint->setAutoFillBackground(true);
        m_ui.noEmulatorHint->setTextFormat(Qt::RichText);
        m_ui.noEmulatorHint->setTextInteractionFlags(Qt::TextBrowserInteraction);
        new FollowGeometry(m_ui.noEmulatorHint, m_ui.fileList);
        connect(m_ui.noEmulatorHint, &QLabel::linkActivated, this,
                [this] { m_services.shell->open(m_emu.folder); });
    }
    if (show) {
        const QString conf = m_services.installed.userFile.isEmpty()
                                 ? QStringLiteral("~/.config/Rombard/emulators.conf")
                                 : m_services.installed.userFile;
        m_ui.noEmulatorHint->setText(
            QStringLiteral(
                "<p><b>No emulator here.</b></p>"
                "<p>The folder <a href=\"open\">%1</a> holds no emulator that Rombard knows, and "
                "none is installed. To add one:</p><ul>"
                "<li>put an emulator, or a link to one, into that folder (for example a link "
                "named <tt>stella</tt> to <tt>/usr/bin/stella</tt>) and press F5;</li>"
                "<li>install one that Rombard finds by itself: %2;</li>"
                "<li>describe your own in <tt>%3</tt> (see the README).</li></ul>")
                .arg(m_emu.folder.toHtmlEscaped(), linuxEmulatorNames().join(QStringLiteral(", ")),
                     conf.toHtmlEscaped()));
        m_ui.noEmulatorHint->setAccessibleDescription(
            QTextDocumentFragment::fromHtml(m_ui.noEmulatorHint->text()).toPlainText());
        m_ui.noEmulatorHint->raise();
    }
    m_ui.noEmulatorHint->setVisible(show);
}

int MainWindow::storedEmulatorRow() const {
    const QString name = m_services.settings->getSetting(kApplication, kLauncherSection,
                                                         folderKey(m_emu.folder), QString());
    if (name.isEmpty()) return 0;
    const int row = emulatorRowOf(name);
    return row < 0 ? 0 : row;
}

void MainWindow::rememberEmulatorOfFolder() {
    if (m_ui.emulatorBox->currentIndex() < 0) return;
    const QString name = emulatorKeyAt(m_ui.emulatorBox->currentIndex());
    const QString key = folderKey(m_emu.folder);
    if (m_services.settings->getSetting(kApplication, kLauncherSection, key, QString()) != name)
        m_services.settings->saveSetting(kApplication, kLauncherSection, key, name);
}

void MainWindow::switchEmulatorFolder(const QString& folder, const QString& activationToken) {
    // As a new start on that folder, after the one left has kept its settings.
    saveEmulatorSettings();
    rememberEmulatorOfFolder();
    m_emu.current.clear();
    m_emu.folder = withTrailingSeparator(folder);
    rememberStartFolder({m_emu.folder, StartFolderSource::Argument}, *m_services.settings);
    scanEmulators();
    bringToFront(activationToken);
}

QString MainWindow::watchedProcess() const {
    if (const InstalledEmulator* e = selectedInstalled()) return e->processName;
    return m_emu.current;
}

void MainWindow::watchEmulatorOutput(LaunchPlan& plan) {
    m_watch = std::make_unique<EmulatorWatch>();
    m_watch->emulator = m_ui.emulatorBox->currentText();
    // A document goes to the desktop's handler, whose own end says nothing about it.
    if (plan.openDocument) return;
    m_watch->output = std::make_unique<platform::OutputCapture>();
    if (m_watch->output->isOpen()) plan.start.outputFd = m_watch->output->writeEnd();
}

void MainWindow::emulatorStarted(const LaunchPlan& plan, bool started) {
    if (!m_watch) return;
    m_watch->started = started || plan.openDocument;
    if (m_watch->output) m_watch->output->closeWriteEnd();
    rememberEmulatorOfFolder();
}

void MainWindow::reportEarlyEnd() {
    const std::unique_ptr<EmulatorWatch> watch = std::move(m_watch);
    if (!watch || !watch->output) return;
    platform::OutputCapture& output = *watch->output;
    // The emulator is gone; its pipe closes with it, unless something it started keeps
    // it open, and then the game was not refused at once.
    output.waitForEnd(kEndGraceMs);
    const qint64 elapsed = output.ended() ? output.msecsToEnd() : kEarlyEndMs;
    const std::optional<QString> message = earlyEndMessage(watch->emulator, elapsed, watch->started,
                                                           output.tail(), output.truncated());
    if (message)
        m_services.dialogs->messageBox(*message, platform::MessageButtons::Ok,
                                       platform::MessageIcon::Warning, kApplication);
}
