#pragma once

// The keystroke-string syntax of key macros, turned into key strokes:
// plain characters; {ENTER}, {F2}, {DOWN 3} (a key repeated); {+} and the like for the
// special characters themselves; + ^ % for Shift, Ctrl and Alt on the next key or on a
// (group); ~ for Enter.

#include <QList>
#include <QString>
#include <Qt>

#include <optional>

namespace platform {

struct KeyStroke {
    int key = 0;  // Qt::Key
    Qt::KeyboardModifiers modifiers;
    QString text;  // what the key types, empty for keys that type nothing
    bool operator==(const KeyStroke&) const = default;
};

// Nothing when the text does not parse (an unknown {NAME}, an open brace or parenthesis).
std::optional<QList<KeyStroke>> parseKeystrokes(const QString& keys);

}  // namespace platform
