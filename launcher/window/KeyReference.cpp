#include "launcher/window/KeyReference.h"

#include "launcher/window/KeyCommands.h"

#include <QKeySequence>

#include <algorithm>
#include <span>

namespace {

QString keyName(int key) {
    switch (key) {
        case Qt::Key_Return:
            return QStringLiteral("Enter");
        case Qt::Key_Escape:
            return QStringLiteral("Escape");
        case Qt::Key_Delete:
            return QStringLiteral("Delete");
        case Qt::Key_PageUp:
            return QStringLiteral("Page Up");
        case Qt::Key_PageDown:
            return QStringLiteral("Page Down");
        default:
            return QKeySequence(key).toString(QKeySequence::PortableText);
    }
}

QString modifierNames(Qt::KeyboardModifiers mods) {
    QString out;
    if (mods & Qt::ControlModifier) out += QStringLiteral("Ctrl+");
    if (mods & Qt::AltModifier) out += QStringLiteral("Alt+");
    if (mods & Qt::ShiftModifier) out += QStringLiteral("Shift+");
    return out;
}

QString keysOf(const KeyRule& rule) {
    QString key = keyName(rule.first);
    if (rule.last != rule.first) key += QStringLiteral(" to ") + keyName(rule.last);
    switch (rule.held) {
        case Held::Any:
            return key;
        case Held::Exactly:
        case Held::Including:
            return modifierNames(rule.modifiers) + key;
        case Held::AnythingBut:
            return key + QStringLiteral(" (not ") + modifierNames(rule.modifiers).chopped(1) +
                   QLatin1Char(')');
    }
    return key;
}

KeyReferenceSection sectionOf(const QString& title, std::span<const KeyRule> rules,
                              const QString& note = {}) {
    KeyReferenceSection section{title, note, {}};
    for (const KeyRule& rule : rules) {
        const QString what = QString::fromUtf8(rule.what);
        auto same = std::find_if(section.rows.begin(), section.rows.end(),
                                 [&](const KeyReferenceRow& row) { return row.what == what; });
        if (same != section.rows.end())
            same->keys += QStringLiteral(", ") + keysOf(rule);
        else
            section.rows.append({keysOf(rule), what});
    }
    return section;
}

// The syntax platform/KeystrokeParser reads.
KeyReferenceSection macroSyntax() {
    KeyReferenceSection s;
    s.title = QStringLiteral("Key macro (F6)");
    s.note = QStringLiteral("The macro's keys go to the control with the focus, as if typed.");
    s.syntax = true;
    s.rows = {
        {QStringLiteral("abc"), QStringLiteral("The characters, typed")},
        {QStringLiteral("{ENTER} or ~"), QStringLiteral("Enter")},
        {QStringLiteral("{F2} {DOWN} {ESC}"),
         QStringLiteral("A named key: F1 to F16, ENTER, TAB, ESC, BS, DEL, INS, HOME, END, "
                        "PGUP, PGDN, UP, DOWN, LEFT, RIGHT")},
        {QStringLiteral("{DOWN 3}"), QStringLiteral("The key three times")},
        {QStringLiteral("+ ^ %"),
         QStringLiteral("Shift, Ctrl, Alt held for the next key: ^{F9} is Ctrl+F9")},
        {QStringLiteral("+(abc)"), QStringLiteral("Held for the whole group in parentheses")},
        {QStringLiteral("{+} {^} {%} {~} {(} {)} {{} {}}"), QStringLiteral("The character itself")},
        {QStringLiteral("{F9}{DOWN}"),
         QStringLiteral("For example: tag the selected file, then select the next")},
    };
    return s;
}

QString markdownCell(QString text) {
    return text.replace(QLatin1Char('|'), QStringLiteral("\\|"));
}

QString roffText(QString text) {
    text.replace(QLatin1Char('\\'), QStringLiteral("\\e"));
    text.replace(QLatin1Char('-'), QStringLiteral("\\-"));
    if (text.startsWith(QLatin1Char('.')) || text.startsWith(QLatin1Char('\'')))
        text.prepend(QStringLiteral("\\&"));
    return text;
}

QString renderText(const QList<KeyReferenceSection>& sections) {
    qsizetype width = 0;
    for (const auto& s : sections)
        for (const auto& row : s.rows)
            width = std::max(width, row.keys.size());
    QString out;
    for (const auto& s : sections) {
        if (!out.isEmpty()) out += QLatin1Char('\n');
        out += s.title + QStringLiteral(":\n");
        if (!s.note.isEmpty()) out += QStringLiteral("  ") + s.note + QLatin1Char('\n');
        for (const auto& row : s.rows)
            out += QStringLiteral("  ") + row.keys.leftJustified(width + 2) + row.what +
                   QLatin1Char('\n');
    }
    return out;
}

QString renderMarkdown(const QList<KeyReferenceSection>& sections) {
    QString out;
    for (const auto& s : sections) {
        if (!out.isEmpty()) out += QLatin1Char('\n');
        out += QStringLiteral("### ") + s.title + QStringLiteral("\n\n");
        if (!s.note.isEmpty()) out += s.note + QStringLiteral("\n\n");
        out += s.syntax ? QStringLiteral("| Macro text | What it sends |\n")
                        : QStringLiteral("| Key | What it does |\n");
        out += QStringLiteral("|---|---|\n");
        for (const auto& row : s.rows) {
            const QString keys =
                s.syntax ? QLatin1Char('`') + row.keys + QLatin1Char('`') : markdownCell(row.keys);
            out += QStringLiteral("| ") + keys + QStringLiteral(" | ") + markdownCell(row.what) +
                   QStringLiteral(" |\n");
        }
    }
    return out;
}

QString renderRoff(const QList<KeyReferenceSection>& sections) {
    QString out;
    for (const auto& s : sections) {
        out += QStringLiteral(".SS ") + roffText(s.title) + QLatin1Char('\n');
        if (!s.note.isEmpty()) out += roffText(s.note) + QLatin1Char('\n');
        for (const auto& row : s.rows) {
            out += QStringLiteral(".TP\n.B ") + roffText(row.keys) + QLatin1Char('\n');
            out += roffText(row.what) + QLatin1Char('\n');
        }
    }
    return out;
}

struct Markers {
    QString begin, end;
};

Markers markersOf(KeyTableFormat format) {
    if (format == KeyTableFormat::Roff)
        return {QStringLiteral(".\\\" keys begin\n"), QStringLiteral(".\\\" keys end\n")};
    return {QStringLiteral("<!-- keys begin -->\n"), QStringLiteral("<!-- keys end -->\n")};
}

}  // namespace

QList<KeyReferenceSection> keyReferenceSections() {
    return {
        sectionOf(QStringLiteral("Anywhere in the window"), windowKeys()),
        sectionOf(QStringLiteral("File list"), fileListKeys(),
                  QStringLiteral("After each key the focus is back on the list, unless Shift "
                                 "alone is held: then it stays in the command line box. "
                                 "Escape shows the folder lists; Shift+Right, then Page Down "
                                 "goes to them.")),
        sectionOf(QStringLiteral("Command line box"), commandLineKeys(),
                  QStringLiteral("Text beginning with - (or holding /) goes to the emulator as "
                                 "switches; other text narrows the list. Other keys edit the "
                                 "text.")),
        sectionOf(QStringLiteral("Folder list"), folderListKeys()),
        sectionOf(QStringLiteral("Drive list"), driveListKeys()),
        sectionOf(QStringLiteral("Emulator box"), emulatorBoxKeys()),
        sectionOf(QStringLiteral("Browse button"), browseButtonKeys()),
        macroSyntax(),
    };
}

QString renderKeyReference(KeyTableFormat format) {
    const QList<KeyReferenceSection> sections = keyReferenceSections();
    switch (format) {
        case KeyTableFormat::Text:
            return renderText(sections);
        case KeyTableFormat::Markdown:
            return renderMarkdown(sections);
        case KeyTableFormat::Roff:
            return renderRoff(sections);
    }
    return {};
}

QString keyReferenceText() {
    return renderKeyReference(KeyTableFormat::Text);
}

std::optional<QString> withKeyReference(const QString& document, KeyTableFormat format) {
    const Markers m = markersOf(format);
    const qsizetype begin = document.indexOf(m.begin);
    if (begin < 0) return std::nullopt;
    const qsizetype from = begin + m.begin.size();
    const qsizetype end = document.indexOf(m.end, from);
    if (end < 0) return std::nullopt;
    return document.left(from) + renderKeyReference(format) + document.mid(end);
}
