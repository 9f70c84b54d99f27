// Which command each key and modifier gives where, and the key reference made from them.

#include "filelist/VirtualKeys.h"
#include "launcher/window/KeyCommands.h"
#include "launcher/window/KeyReference.h"
#include "support/QtPrinters.h"

#include <QFile>

#include <gtest/gtest.h>

#include <array>

namespace {

using enum KeyCommand;
constexpr auto None_ = Qt::NoModifier;
constexpr auto Shift = Qt::ShiftModifier;
constexpr auto Ctrl = Qt::ControlModifier;
constexpr auto Alt = Qt::AltModifier;
constexpr auto Keypad = Qt::KeypadModifier;

struct Case {
    Qt::Key key;
    Qt::KeyboardModifiers held;
    KeyCommand expected;
};

void expectCommands(std::span<const KeyRule> rules, std::initializer_list<Case> cases,
                    const KeyContext& context = {}) {
    for (const Case& c : cases)
        EXPECT_EQ(commandFor(rules, QKeyCombination(c.held, c.key), context), c.expected)
            << "key " << std::hex << c.key << " modifiers " << c.held.toInt();
}

// Shift+Enter alone opens with the desktop, any other Enter launches; F4 hides unmodified.
TEST(KeyCommands, FileListModifiers) {
    expectCommands(fileListKeys(), {{Qt::Key_Return, None_, Launch},
                                    {Qt::Key_Return, Shift, OpenWithDesktop},
                                    {Qt::Key_Enter, Shift | Keypad, OpenWithDesktop},
                                    {Qt::Key_Enter, Keypad, Launch},
                                    {Qt::Key_Return, Shift | Ctrl, Launch},
                                    {Qt::Key_F4, None_, HideFiles},
                                    {Qt::Key_F4, Shift, None},
                                    {Qt::Key_F4, Alt, None},
                                    {Qt::Key_Right, Shift, FocusCommandLine},
                                    {Qt::Key_Backspace, Ctrl, FocusFoldersOrCommandLine},
                                    {Qt::Key_F9, Alt, ToggleDumpTag},
                                    {Qt::Key_F1, None_, None},
                                    {Qt::Key_A, None_, None},
                                    {Qt::Key_D, Ctrl, ToggleFavourite},
                                    {Qt::Key_D, Ctrl | Shift, None},
                                    {Qt::Key_F, Ctrl, ToggleFavouritesOnly},
                                    {Qt::Key_F, Ctrl | Alt, None}});
}

// The closing step keeps the focus in the command line box for Shift alone, keypad or not.
TEST(KeyCommands, ClosingStepStaysOnlyForShiftAlone) {
    const std::pair<Qt::KeyboardModifiers, bool> cases[] = {
        {None_, false},        {Shift, true},        {Shift | Keypad, true}, {Ctrl, false},
        {Shift | Ctrl, false}, {Shift | Alt, false}, {Ctrl | Alt, false},    {Keypad, false},
    };
    for (const auto& [held, stays] : cases)
        EXPECT_EQ(staysInCommandLine(held), stays) << held.toInt();
}

// The box forwards function keys, Delete only with Ctrl alone; Backspace with any Ctrl clears.
TEST(KeyCommands, CommandLineLeavesTextKeysToTheBox) {
    expectCommands(commandLineKeys(), {
                                          {Qt::Key_F1, None_, ForwardToFileList},
                                          {Qt::Key_F12, Shift, ForwardToFileList},
                                          {Qt::Key_F13, None_, None},
                                          {Qt::Key_Delete, Ctrl, DeleteSelectedFile},
                                          {Qt::Key_Delete, None_, None},
                                          {Qt::Key_Delete, Ctrl | Shift, None},
                                          {Qt::Key_Backspace, None_, None},
                                          {Qt::Key_Backspace, Ctrl, ClearText},
                                          {Qt::Key_Backspace, Ctrl | Shift, ClearText},
                                          {Qt::Key_Space, None_, None},
                                          {Qt::Key_Enter, Keypad, Launch},
                                          {Qt::Key_PageDown, None_, FocusTargetList},
                                      });
}

// Right opens the highlighted folder only with no files listed; Left stops at the volume root.
TEST(KeyCommands, FolderListConditions) {
    expectCommands(folderListKeys(),
                   {{Qt::Key_Right, None_, FocusFiles}, {Qt::Key_Left, None_, UpOneLevel}},
                   {.filesListed = true, .atVolumeRoot = false});
    expectCommands(
        folderListKeys(),
        {{Qt::Key_Right, None_, OpenHighlightedFolder}, {Qt::Key_Left, None_, FocusDrives}},
        {.filesListed = false, .atVolumeRoot = true});
    expectCommands(folderListKeys(), {{Qt::Key_Escape, Shift, ToggleFolderLists},
                                      {Qt::Key_Backspace, None_, UpOneLevel},
                                      {Qt::Key_Down, None_, None}});
}

// What the file list reports comes back as the key and modifiers the rules name.
TEST(KeyCommands, ListCodesComeBackAsQtKeys) {
    const std::pair<Qt::Key, Qt::KeyboardModifiers> cases[] = {
        {Qt::Key_Return, Shift}, {Qt::Key_F9, Ctrl},        {Qt::Key_Delete, None_},
        {Qt::Key_Right, Shift},  {Qt::Key_F4, Shift | Alt}, {Qt::Key_Backspace, Ctrl},
        {Qt::Key_Shift, Shift},  // alone: the list lets it pass without the closing step
    };
    for (const auto& [key, held] : cases)
        EXPECT_EQ(keyOfListCode(virtualKeyCode(key, held), shiftStateOf(held)),
                  QKeyCombination(held, key))
            << key;
    EXPECT_EQ(commandFor(fileListKeys(), keyOfListCode(virtualKeyCode(Qt::Key_A, None_), 0)), None);
}

// Every rule has its words; a rule's key and modifiers read as a user types them.
TEST(KeyReference, EveryRuleIsDescribedAndNamed) {
    const std::array tables = {fileListKeys(),  commandLineKeys(),  folderListKeys(),
                               driveListKeys(), browseButtonKeys(), emulatorBoxKeys(),
                               windowKeys()};
    const QString text = keyReferenceText();
    for (const auto& rules : tables)
        for (const KeyRule& rule : rules) {
            const QString what = QString::fromUtf8(rule.what);
            EXPECT_FALSE(what.isEmpty())
                << "key " << rule.first << " command " << int(rule.command);
            EXPECT_TRUE(text.contains(what)) << what.toStdString();
        }
    for (const char* shown :
         {"Shift+Enter", "Ctrl+Delete", "Ctrl+Backspace", "F1 to F12", "Page Down, Page Up",
          "Right, Left, Backspace, Space", "Escape", "{DOWN 3}", "+ ^ %"})
        EXPECT_TRUE(text.contains(QLatin1String(shown))) << shown;
    // The Enter that launches is listed once as Enter, never as "Return".
    EXPECT_FALSE(text.contains(QLatin1String("Return")));
}

TEST(KeyReference, FormatsEscapeWhatWouldBreakThem) {
    const QString roff = renderKeyReference(KeyTableFormat::Roff);
    for (const QString& line : roff.split(QLatin1Char('\n'))) {
        // A text line starting with a dot would be read as a request.
        if (line.startsWith(QLatin1Char('.'))) {
            EXPECT_TRUE(line.startsWith(QLatin1String(".SS ")) || line == QLatin1String(".TP") ||
                        line.startsWith(QLatin1String(".B ")))
                << line.toStdString();
        }
        // A plain hyphen may be set as a typographic one, which a reader cannot type.
        QString unescaped = line;
        unescaped.remove(QLatin1String("\\-"));
        EXPECT_FALSE(unescaped.contains(QLatin1Char('-'))) << line.toStdString();
    }
    const QString markdown = renderKeyReference(KeyTableFormat::Markdown);
    for (const QString& line : markdown.split(QLatin1Char('\n'))) {
        if (!line.startsWith(QLatin1Char('|'))) continue;
        QString cells = line;
        cells.remove(QLatin1String("\\|"));
        EXPECT_EQ(cells.count(QLatin1Char('|')), 3) << line.toStdString();
    }
}

TEST(KeyReference, ReplacesOnlyBetweenTheMarkers) {
    const QString table = renderKeyReference(KeyTableFormat::Markdown);
    const std::pair<QString, std::optional<QString>> cases[] = {
        {"before\n<!-- keys begin -->\nold\n<!-- keys end -->\nafter\n",
         "before\n<!-- keys begin -->\n" + table + "<!-- keys end -->\nafter\n"},
        {"no markers\n", std::nullopt},
        {"<!-- keys begin -->\nnever closed\n", std::nullopt},
    };
    for (const auto& [document, expected] : cases)
        EXPECT_EQ(withKeyReference(document, KeyTableFormat::Markdown), expected);
}

// README and the manual page carry the table; build/tools/keytable --update renews them.
TEST(KeyReference, ReadmeAndManualPageMatchTheKeyTables) {
    for (const auto& [file, format] : {std::pair{"README.md", KeyTableFormat::Markdown},
                                       {"resources/linux/rombard.6", KeyTableFormat::Roff}}) {
        QFile f(QStringLiteral(ROMBARD_SOURCE_DIR "/") + QLatin1String(file));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << file;
        const QString text = QString::fromUtf8(f.readAll());
        const auto renewed = withKeyReference(text, format);
        ASSERT_TRUE(renewed.has_value()) << file << " has no key reference markers";
        EXPECT_EQ(*renewed, text) << file
                                  << " differs from the key tables; run build/tools/keytable "
                                     "--update README.md resources/linux/rombard.6";
    }
}

}  // namespace
