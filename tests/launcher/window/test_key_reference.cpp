// The key reference against the key tables it is made from, and the copies in README and
// the manual page, which must not drift from it.

#include "launcher/window/KeyCommands.h"
#include "launcher/window/KeyReference.h"
#include "support/QtPrinters.h"

#include <QFile>

#include <gtest/gtest.h>

#include <array>

namespace {

QString readSource(const char* relative) {
    QFile f(QStringLiteral(ROMBARD_SOURCE_DIR "/") + QLatin1String(relative));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << relative;
    return QString::fromUtf8(f.readAll());
}

// A key added to a table without its words would be missing from every reference.
TEST(KeyReference, EveryRuleIsDescribedAndListed) {
    const std::array tables = {fileListKeys(),  commandLineKeys(),  folderListKeys(),
                               driveListKeys(), browseButtonKeys(), emulatorBoxKeys(),
                               windowKeys()};
    const QString text = keyReferenceText();
    for (const auto& rules : tables) {
        for (const KeyRule& rule : rules) {
            const QString what = QString::fromUtf8(rule.what);
            EXPECT_FALSE(what.isEmpty())
                << "key " << rule.first << " command " << int(rule.command);
            EXPECT_TRUE(text.contains(what)) << what.toStdString();
        }
    }
}

// How a rule's key and modifiers read, and rules of one control that do the same sharing
// a row.
TEST(KeyReference, KeyNames) {
    const QString text = keyReferenceText();
    for (const char* shown :
         {"Shift+Enter", "Ctrl+Delete", "Ctrl+Backspace", "F1 to F12", "Page Down, Page Up",
          "Right, Left, Backspace, Space", "Escape", "{DOWN 3}", "+ ^ %"})
        EXPECT_TRUE(text.contains(QLatin1String(shown))) << shown;
    // The Enter that launches is Enter with any modifiers but Shift alone: listed once as
    // Enter, never as "Return".
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
    struct Case {
        QString document;
        std::optional<QString> expected;
    };
    const Case cases[] = {
        {"before\n<!-- keys begin -->\nold\n<!-- keys end -->\nafter\n",
         "before\n<!-- keys begin -->\n" + table + "<!-- keys end -->\nafter\n"},
        {"no markers\n", std::nullopt},
        {"<!-- keys begin -->\nnever closed\n", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(withKeyReference(c.document, KeyTableFormat::Markdown), c.expected);
        if (c.expected) {
            EXPECT_EQ(withKeyReference(*c.expected, KeyTableFormat::Markdown), c.expected);
        }
    }
}

// README and the manual page carry the table; after a change to the key tables, renew them
// with `build/tools/keytable --update README.md resources/linux/rombard.6`.
TEST(KeyReference, ReadmeAndManualPageMatchTheKeyTables) {
    struct Case {
        const char* file;
        KeyTableFormat format;
    };
    for (const Case& c : {Case{"README.md", KeyTableFormat::Markdown},
                          Case{"resources/linux/rombard.6", KeyTableFormat::Roff}}) {
        const QString text = readSource(c.file);
        const auto renewed = withKeyReference(text, c.format);
        ASSERT_TRUE(renewed.has_value()) << c.file << " has no key reference markers";
        EXPECT_EQ(*renewed, text) << c.file
                                  << " differs from the key tables; run build/tools/keytable "
                                     "--update README.md resources/linux/rombard.6";
    }
}

}  // namespace
