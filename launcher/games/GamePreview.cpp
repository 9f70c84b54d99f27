#include "launcher/games/GamePreview.h"

#include "launcher/games/PictureLoader.h"
#include "launcher/games/Screenshots.h"
#include "platform/FileNames.h"

struct GamePreview::Finder {
    ScreenshotSearch screenshots;
    GameTitles titles;

    PreviewPicture pictureOf(const PreviewQuestion& q, const QString& name) {
        PreviewPicture p;
        p.path = screenshots.screenshotOf(q.screenshotFolders, name);
        if (!p.path.isEmpty()) p.stamp = PictureLoader::stampOf(p.path);
        return p;
    }
};

GamePreview::GamePreview(std::function<void(const PreviewAnswer&)> answered)
    : m_finder(std::make_shared<Finder>()), m_answered(std::move(answered)) {}

void GamePreview::ask(PreviewQuestion q) {
    m_work.give([this, finder = m_finder,
                 q = std::move(q)](const std::function<bool()>& wanted) -> std::function<void()> {
        PreviewAnswer a;
        a.folder = q.folder;
        a.name = q.name;
        if (!q.name.isEmpty()) {
            a.picture = finder->pictureOf(q, q.name);
            if (a.picture.path.toLower().endsWith(QLatin1String(".gif"))) {
                const auto bytes =
                    platform::readWholeRegularFile(a.picture.path, GamePreview::kMaxGifBytes);
                if (bytes) a.picture.gifBytes = *bytes;
            }
            a.title = finder->titles.titleOfGame(q.name, q.titleContext);
            if (q.fileFacts) a.fileInfo = fileInfoText(q.folder + q.name);
            for (const QString& n : q.neighbours) {
                // The selection moved on: these are no longer its neighbours.
                if (!wanted()) return {};
                if (PreviewPicture p = finder->pictureOf(q, n); !p.path.isEmpty())
                    a.neighbours.append(p);
            }
        }
        return [this, a = std::move(a)] { m_answered(a); };
    });
}
