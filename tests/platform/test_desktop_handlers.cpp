// Whether the desktop has a program for a file: the associations of every mimeapps.list
// and the types the installed applications declare, in real folders laid out as XDG's.

#include "platform/DesktopHandlers.h"
#include "support/QtPrinters.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace {

using platform::HandlerAnswer;

TEST(DesktopHandlers, AssociationsAndDeclaredTypesAnswer) {
    const struct {
        const char* what;
        QMap<QString, QByteArray> files;  // below the one config folder and the two data folders
        QStringList types;
        HandlerAnswer answer;
        // clang-format off
    } cases[] = {
        {"no cache anywhere: cannot tell", {}, {"application/x-nes-rom"}, HandlerAnswer::Unknown},
        {"declared by an application",
         {{"data2/applications/mimeinfo.cache",
         "[MIME Cache]\napplication/x-nes-rom=mednafen.desktop;\n"}}, {"application/x-nes-rom"},
         HandlerAnswer::Some},
        {"declared for another type only",
         {{"data2/applications/mimeinfo.cache", "[MIME Cache]\ntext/plain=editor.desktop;\n"}},
         {"application/x-nes-rom", "application/octet-stream"}, HandlerAnswer::None},
        {"an ancestor serves",
         {{"data2/applications/mimeinfo.cache", "[MIME Cache]\ntext/plain=editor.desktop;\n"}},
         {"text/x-csrc", "text/plain"}, HandlerAnswer::Some},
        {"the user's default",
         {{"data1/applications/mimeinfo.cache", "[MIME Cache]\n"},
         {"config/mimeapps.list",
         "[Default Applications]\napplication/x-nes-rom=fceux.desktop\n"}},
         {"application/x-nes-rom"}, HandlerAnswer::Some},
        {"a desktop's own list",
         {{"data1/applications/mimeinfo.cache", "[MIME Cache]\n"},
         {"config/xfce-mimeapps.list",
         "[Added Associations]\napplication/x-nes-rom=fceux.desktop;\n"}},
         {"application/x-nes-rom"}, HandlerAnswer::Some},
        {"an empty entry and a removed one name no program",
         {{"data1/applications/mimeinfo.cache", "[MIME Cache]\napplication/x-nes-rom=\n"},
         {"config/mimeapps.list",
         "[Removed Associations]\napplication/x-nes-rom=fceux.desktop;\n"}},
         {"application/x-nes-rom"}, HandlerAnswer::None},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder t;
        t.mkdir("config");
        t.mkdir("data1");
        t.mkdir("data2");
        for (auto it = c.files.begin(); it != c.files.end(); ++it)
            t.write(it.key(), it.value());
        platform::AssociationFolders where;
        where.config = {t.file("config")};
        where.data = {t.file("data1"), t.file("data2")};
        where.desktops = {"xfce"};
        EXPECT_EQ(platform::desktopHandlerFor(c.types, where), c.answer);
    }
}

TEST(DesktopHandlers, TypesOfAFileNameTakeInItsAncestors) {
    const QStringList types = platform::typesOfFileName("/games/notes.c");
    EXPECT_EQ(types.first(), "text/x-csrc");
    EXPECT_TRUE(types.contains("text/plain"));
}

}  // namespace
