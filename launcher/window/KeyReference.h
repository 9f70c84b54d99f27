#pragma once

// The key reference (F1, --help, README, the manual page), made from the key tables so that
// no list of keys can say something the window does not do.

#include <QList>
#include <QString>

#include <optional>

struct KeyReferenceRow {
    QString keys;  // "Shift+Enter", "Right, Left", "F1 to F12"; for the macro, its syntax
    QString what;
};

struct KeyReferenceSection {
    QString title;
    QString note;  // a sentence that holds for every key of the section, or empty
    QList<KeyReferenceRow> rows;
    bool syntax = false;  // the rows are macro text, not keys
};

// Every control's keys and then the key macro's syntax. Keys of one control that do the
// same share a row.
QList<KeyReferenceSection> keyReferenceSections();

enum class KeyTableFormat { Text, Markdown, Roff };

QString renderKeyReference(KeyTableFormat format);

// The plain text table, for the command line's usage text.
QString keyReferenceText();

// `document` with the part between its key reference markers replaced by the table
// (the markers stay); nothing when it holds no markers. Markdown files use
// "<!-- keys begin -->" / "<!-- keys end -->", manual pages '.\" keys begin' / '.\" keys end'.
std::optional<QString> withKeyReference(const QString& document, KeyTableFormat format);
