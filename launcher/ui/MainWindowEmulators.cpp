// Which emulators the folder holds, choosing one, and the folder of games it lists.

#include "filelist/ui/FileListView.h"
#include "launcher/PathHelpers.h"
#include "launcher/emulators/EmulatorCatalogue.h"
#include "launcher/emulators/EmulatorSettings.h"
#include "launcher/emulators/SystemProfile.h"
#include "launcher/ui/MainWindow.h"
#include "launcher/ui/PictureBox.h"
#include "launcher/window/KeyCommands.h"
#include "launcher/window/StartFolder.h"
#include "launcher/window/WindowPlacement.h"
#include "platform/FileNames.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QSignalBlocker>

namespace {
constexpr int kFirstCode = 1;
constexpr int kLastCode = 14;

// The available area of every screen, in pixels.
DesktopArea desktopArea() {
    DesktopArea desktop;
    const QList<QScreen*> screens = QGuiApplication::screens();
    for (const QScreen* sc : screens) {
        const QRect r = sc->availableGeometry();
        desktop.screens.append({r.x(), r.y(), r.width(), r.height()});
    }
    desktop.primary = static_cast<int>(screens.indexOf(QGuiApplication::primaryScreen()));
    return desktop;
}
}  // namespace

void MainWindow::scanEmulators() {
    m_emu.gamesFolder = holdsEmulators(m_emu.folder) ? QString() : m_emu.folder;
    const QList<FoundEmulator> found = scanCatalogue(m_emu.folder, runningProgram());
    {
        // Filling the box must not select anything on the way.
        const QSignalBlocker quiet(m_ui.emulatorBox);
        m_ui.emulatorBox->clear();
        for (const FoundEmulator& f : found) {
            m_ui.emulatorBox->addItem(f.shownName, f.code);
            m_ui.emulatorBox->setItemData(m_ui.emulatorBox->count() - 1, f.name,
                                          kCatalogueNameRole);
        }
        addInstalledEmulators();
        m_ui.emulatorBox->setCurrentIndex(-1);
    }
    resetPreview();
    const bool any = m_ui.emulatorBox->count() > 0;
    if (any) {
        m_ui.emulatorBox->setCurrentIndex(storedEmulatorRow());  // runs selectEmulator
        restorePlacement();
    } else {
        m_emu.current.clear();
        // The list stays on the folder searched; never on the list's stored start folder
        // (the root), whose files have nothing to do with any emulator.
        m_ui.fileList->setPath(m_emu.folder);
    }
    m_ui.emulatorBox->setEnabled(any);
    m_ui.fileList->setEnabled(any);
    m_ui.commandLine->setEnabled(any);
    showNoEmulatorHint(!any);
}

void MainWindow::restorePlacement() {
    const QScreen* sc = screen();
    const int screenW = sc ? toTwips(sc->geometry().width()) : 0;
    const int screenH = sc ? toTwips(sc->geometry().height()) : 0;
    const int w = toTwips(width()), h = toTwips(height());
    const auto left = readWholeNumber(setting("Left", QString::number((screenW - w) / 2)));
    const auto top = readWholeNumber(setting("Top", QString::number((screenH - h) / 2)));
    const auto width = readWholeNumber(setting("Width", QString::number(w)));
    const auto height = readWholeNumber(setting("Height", QString::number(h)));
    if (left && top && width && height) {
        // The stored values may come from another monitor or a damaged file: the window
        // must fit the screen and be on one. A size of nothing is not applied at all.
        const TwipRect pixels{toPixels(*left), toPixels(*top), toPixels(*width), toPixels(*height)};
        if (const auto shown = placeOnDesktop(pixels, desktopArea())) {
            move(shown->left, shown->top);
            resize(shown->width, shown->height);
        }
    }
    if (readFlag(setting("Maximized", QStringLiteral("False"))).value_or(false))
        setWindowState(windowState() | Qt::WindowMaximized);
}

void MainWindow::selectEmulator() {
    // A choice in the box, not the start's own.
    const bool chosen = !m_emu.current.isEmpty();
    if (chosen) saveEmulatorSettings();
    m_emu.current = emulatorKeyAt(m_ui.emulatorBox->currentIndex());
    m_emu.systemName.clear();
    m_emu.fileMask = QStringLiteral("*.zip");
    bool ok = false;
    int code = m_ui.emulatorBox->currentData().toInt(&ok);
    if (!ok) code = 0;
    const SystemProfile profile = profileOf(code);
    m_emu.systemName = profile.name;
    m_emu.fileMask = profile.mask;
    if (const InstalledEmulator* installed = selectedInstalled()) {
        m_emu.systemName = installed->systemName;
        m_emu.fileMask = installed->mask;
    } else if (code < kFirstCode || code > kLastCode) {
        // An entry of no known system stands for a generic emulator program.
        if (!emulatorProgramPath(m_emu.folder, QStringLiteral("emulator.exe")).isEmpty()) {
            m_emu.current = QStringLiteral("emulator.exe");
        } else {
            m_emu.current = firstWindowsProgram(m_emu.folder);
        }
    }
    // The generic program's own name when the entry stands for one, else what the box shows.
    const QString shown = m_emu.current == emulatorKeyAt(m_ui.emulatorBox->currentIndex())
                              ? m_ui.emulatorBox->currentText()
                              : m_emu.current;
    setWindowTitle(QLatin1Char('[') + withExtension(shown, QString()) + QStringLiteral("] ") +
                   m_emu.systemName + kCaptionSuffix);
    m_ui.commandLine->setText(setting(QStringLiteral("cmdline"), QString()));
    m_ui.fileList->setPattern(m_emu.fileMask);
    selectRomFolder(m_emu.folder + QStringLiteral("roms"));
    // The stored game is selected straight away: selecting the first one on the way would
    // show it (title, screenshot, preview) only to replace it. A stored row the list does
    // not have still leaves the first game selected, as it always did.
    const int marked = m_ui.fileList->listIndex();
    const int stored = leadingWholeNumber(
        setting(QStringLiteral("file"), QString::number(marked < 0 ? 0 : marked)));
    m_folders.wantedIndex = stored;
    if (marked < 0 && (stored < 0 || stored >= m_ui.fileList->listCount()))
        m_ui.fileList->setListIndex(0);
    m_ui.fileList->setListIndex(stored);
    if (chosen) rememberEmulatorOfFolder();
}

QString MainWindow::emulatorKeyAt(int row) const {
    const QVariant name = m_ui.emulatorBox->itemData(row, kCatalogueNameRole);
    return name.isValid() ? name.toString() : m_ui.emulatorBox->itemText(row);
}

int MainWindow::emulatorRowOf(const QString& key) const {
    for (int row = 0; row < m_ui.emulatorBox->count(); ++row)
        if (emulatorKeyAt(row) == key) return row;
    return -1;
}

void MainWindow::selectRomFolder(const QString& folder) {
    m_folders.romChoices = gamesFolderCandidates(
        folder, m_emu.gamesFolder, setting(QStringLiteral("roms"), QString()), m_emu.folder);
    tryNextRomFolder();
}

void MainWindow::tryNextRomFolder() {
    m_folders.romPending = false;
    while (!m_folders.romChoices.isEmpty()) {
        m_ui.fileList->setPath(m_folders.romChoices.takeFirst());
        if (m_ui.fileList->listCount() > 0) break;
        // Read in the background: whether it holds games is known when its names come.
        if (m_ui.fileList->folderList().reading() && !m_ui.fileList->folderList().namesKnown()) {
            m_folders.romPending = true;
            showFileCount();
            return;
        }
    }
    m_folders.romChoices.clear();
    if (m_ui.emulatorBox->count() == 0 && m_ui.fileList->listCount() >= 1) {
        // Game files where no emulator is known: that folder becomes the emulator folder.
        m_emu.folder = parentFolderOf(m_ui.fileList->path());
        scanEmulators();
    }
    showFileCount();
}

void MainWindow::romFolderShownFromIndex() {
    // Games known from the last reading settle the folder; an empty one waits for the names.
    if (m_ui.fileList->listCount() == 0) return;
    if (m_folders.romPending) {
        m_folders.romChoices.clear();
        tryNextRomFolder();
    }
    selectWantedGame();
}

void MainWindow::selectWantedGame() {
    const int wanted = std::exchange(m_folders.wantedIndex, -1);
    if (wanted >= 0 && m_ui.fileList->listIndex() < 0 && m_ui.fileList->listCount() > 0)
        m_ui.fileList->setListIndex(wanted < m_ui.fileList->listCount() ? wanted : 0);
    showFileCount();
}

void MainWindow::romFolderListed() {
    if (m_folders.romPending) {
        if (m_ui.fileList->listCount() > 0) m_folders.romChoices.clear();
        tryNextRomFolder();
    }
    // The game chosen before a command read the folder again, by name.
    if (const QString name = std::exchange(m_folders.selectWhenListed, QString());
        !name.isEmpty()) {
        const QString folded = platform::foldName(name);
        for (int i = 0; i < m_ui.fileList->listCount(); ++i)
            if (platform::foldName(m_ui.fileList->list(i)) == folded) {
                m_ui.fileList->setListIndex(i);
                break;
            }
    }
    // The stored game, when its folder was not known before it was read.
    selectWantedGame();
}

void MainWindow::handleEmulatorBoxKey(QKeyCombination key) {
    // The box keeps every key for itself too: Right and Left also step through it.
    switch (commandFor(emulatorBoxKeys(), key)) {
        case KeyCommand::Launch:
            launchSelectedGame();
            break;
        case KeyCommand::FocusCommandLine:
            m_ui.commandLine->setFocus();
            break;
        case KeyCommand::FocusFiles:
            focusFiles();
            break;
        default:
            break;
    }
}
