// The file commands over many games in one folder, as a user runs them: F8 (strip text),
// F4 (hide by pattern) and F7 (remove duplicates) pressed on a window over 5,000 games, from
// the key to the refreshed list, against one pass of plain rename() over the same number
// of files, measured in the same run. F8's batch is also timed alone, without the window.

#include "BenchWindow.h"
#include "Quick.h"
#include "filelist/ui/FileListView.h"
#include "launcher/games/Screenshots.h"
#include "launcher/maintenance/FileRenaming.h"
#include "platform/FileNames.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <vector>

namespace {

const int kGames = bench::sized<int>(5000, 200);
const int kRuns = bench::sized<int>(3, 1);
// Every fifth game has a screenshot; every hundredth has a byte-equal copy.
constexpr int kShotEvery = 5;
constexpr int kCopyEvery = 100;

QString gameName(int i) {
    return QStringLiteral("Game_%1_(1977)_Atari.smc").arg(i, 4, 10, QLatin1Char('0'));
}

void writeFile(const QString& path, const QByteArray& content) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd < 0) return;
    if (::write(fd, content.constData(), size_t(content.size())) < 0) std::perror("write");
    ::close(fd);
}

// The games (all of one size, so that F7 must read every one), their screenshots and a few
// copies, under `root`.
void fillFolder(const QString& root) {
    QDir().mkpath(root + QStringLiteral("/roms"));
    QDir().mkpath(root + QStringLiteral("/shots"));
    for (int i = 0; i < kGames; ++i) {
        const QByteArray content = QByteArray::number(100000000 + i);
        writeFile(root + QStringLiteral("/roms/") + gameName(i), content);
        if (i % kShotEvery == 0)
            writeFile(
                root + QStringLiteral("/shots/") +
                    QStringLiteral("Game_%1_(1977)_Atari.png").arg(i, 4, 10, QLatin1Char('0')),
                "png");
        if (i % kCopyEvery == 0)
            writeFile(root + QStringLiteral("/roms/") +
                          QStringLiteral("Game_%1_(1977)_Atari (copy).smc")
                              .arg(i, 4, 10, QLatin1Char('0')),
                      content);
    }
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The reference: each game renamed once with rename() and nothing else.
double plainRenamePass() {
    QTemporaryDir dir;
    fillFolder(dir.path());
    const QString roms = dir.path() + QStringLiteral("/roms/");
    std::vector<std::pair<QByteArray, QByteArray>> names;
    for (int i = 0; i < kGames; ++i)
        names.emplace_back(QFile::encodeName(roms + gameName(i)),
                           QFile::encodeName(roms + strippedName(gameName(i), "Atari")));
    QElapsedTimer t;
    t.start();
    for (const auto& [from, to] : names)
        if (::rename(from.constData(), to.constData()) != 0) std::perror("rename");
    return double(t.nsecsElapsed()) / 1e6;
}

// F8's batch alone: what the window runs, with its picture search, without the window.
double stripBatch(int* renamed) {
    QTemporaryDir dir;
    fillFolder(dir.path());
    const QString roms = dir.path() + QStringLiteral("/roms/");
    const QStringList listed = QDir(roms).entryList(QDir::Files, QDir::Name);
    const QStringList folders = screenshotFoldersOf({}, dir.path() + QLatin1Char('/'), roms);
    platform::LocalFileOperations files;
    ScreenshotSearch shots;
    QElapsedTimer t;
    t.start();
    std::vector<GameRename> wanted;
    for (qsizetype i = listed.size() - 1; i >= 0; --i)
        if (listed.at(i).contains(QStringLiteral("Atari"), Qt::CaseInsensitive))
            wanted.push_back({listed.at(i), strippedName(listed.at(i), QStringLiteral("Atari"))});
    RenameBatchHooks hooks;
    hooks.moved = [&](const QString& from, const QString& to) { shots.moved(from, to); };
    shots.holdListings();
    const auto done = renameGameFiles(files, roms, wanted, picturesIn(shots, folders), hooks);
    shots.releaseListings();
    *renamed = int(done.size());
    return double(t.nsecsElapsed()) / 1e6;
}

// Answers the window's questions as the user would, and counts its messages.
class Answers : public platform::Dialogs {
public:
    std::deque<QString> typed;
    int messages = 0;
    QString lastMessage;
    platform::MessageAnswer messageBox(const QString& text, platform::MessageButtons,
                                       platform::MessageIcon, const QString&) override {
        ++messages;
        lastMessage = text;
        return platform::MessageAnswer::Ok;
    }
    std::optional<QString> inputBox(const QString&, const QString&, const QString&) override {
        if (typed.empty()) return std::nullopt;
        QString answer = typed.front();
        typed.pop_front();
        return answer;
    }
    std::optional<QString> pickFolder(const QString&, const QString&) override {
        return std::nullopt;
    }
};

struct CommandWindow : bench::WindowServices {
    Answers answers;
    std::unique_ptr<MainWindow> window;

    CommandWindow() {
        fillFolder(folder.path());
        MainWindowServices s = services();
        s.dialogs = &answers;
        window = std::make_unique<MainWindow>(s);
        window->start();
        window->resize(1280, 800);
        window->show();
        QApplication::processEvents();
    }
    FileListView* list() const { return window->findChild<FileListView*>(QStringLiteral("Files")); }
    // Milliseconds from the key until the command has shown `messages` message boxes (F7
    // asks first, then reports) and the window is idle.
    double press(Qt::Key key, const QString& answer, int messages) {
        answers.typed = {answer};
        const int before = answers.messages;
        QWidget* target = list()->focusProxy() ? list()->focusProxy() : list();
        target->setFocus();
        QApplication::processEvents();
        QElapsedTimer t;
        t.start();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
        QApplication::sendEvent(target, &release);
        while (answers.messages < before + messages)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        QApplication::processEvents();
        return double(t.nsecsElapsed()) / 1e6;
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir cacheHome;
    qputenv("XDG_CACHE_HOME", cacheHome.path().toUtf8());
    QApplication app(argc, argv);

    std::vector<double> plain, batch, f8, f4, f7;
    int renamed = 0, listedAfterF8 = 0, listedAfterF4 = 0;
    QString f8Said, f7Said;
    for (int run = 0; run < kRuns; ++run) {
        plain.push_back(plainRenamePass());
        batch.push_back(stripBatch(&renamed));
        CommandWindow w;
        f8.push_back(w.press(Qt::Key_F8, QStringLiteral("Atari"), 1));
        f8Said = w.answers.lastMessage;
        listedAfterF8 = w.list()->listCount();
        f4.push_back(w.press(Qt::Key_F4, QStringLiteral("Game 00*"), 0));
        listedAfterF4 = w.list()->listCount();
        f7.push_back(w.press(Qt::Key_F7, QString(), 2));
        f7Said = w.answers.lastMessage.section(QLatin1Char('\n'), 0, 0);
    }
    const double reference = median(plain);
    std::printf("one rename() per game, %d games: %.1f ms (median of %d)\n", kGames, reference,
                kRuns);
    std::printf("F8 batch alone: %.1f ms for %d renames, ratio vs rename(): %.1f\n", median(batch),
                renamed, median(batch) / reference);
    std::printf(
        "F8 in the window, key to message: %.1f ms (%s; %d listed after), ratio vs "
        "rename(): %.1f\n",
        median(f8), qPrintable(f8Said), listedAfterF8, median(f8) / reference);
    std::printf("F4 in the window, key to refreshed list: %.1f ms (%d listed after)\n", median(f4),
                listedAfterF4);
    std::printf("F7 in the window, key to message: %.1f ms (%s)\n", median(f7), qPrintable(f7Said));
    return 0;
}
