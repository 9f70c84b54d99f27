#include "platform/KeystrokeParser.h"

#include <QHash>

namespace platform {

namespace {
const QHash<QString, int>& namedKeys() {
    static const QHash<QString, int> keys = [] {
        QHash<QString, int> k{
            {"ENTER", Qt::Key_Return},
            {"TAB", Qt::Key_Tab},
            {"ESC", Qt::Key_Escape},
            {"ESCAPE", Qt::Key_Escape},
            {"BACKSPACE", Qt::Key_Backspace},
            {"BS", Qt::Key_Backspace},
            {"BKSP", Qt::Key_Backspace},
            {"DELETE", Qt::Key_Delete},
            {"DEL", Qt::Key_Delete},
            {"INSERT", Qt::Key_Insert},
            {"INS", Qt::Key_Insert},
            {"HOME", Qt::Key_Home},
            {"END", Qt::Key_End},
            {"PGUP", Qt::Key_PageUp},
            {"PGDN", Qt::Key_PageDown},
            {"UP", Qt::Key_Up},
            {"DOWN", Qt::Key_Down},
            {"LEFT", Qt::Key_Left},
            {"RIGHT", Qt::Key_Right},
            {"BREAK", Qt::Key_Pause},
            {"CAPSLOCK", Qt::Key_CapsLock},
            {"NUMLOCK", Qt::Key_NumLock},
            {"SCROLLLOCK", Qt::Key_ScrollLock},
            {"HELP", Qt::Key_Help},
            {"PRTSC", Qt::Key_Print},
        };
        for (int f = 1; f <= 16; ++f)
            k.insert(QStringLiteral("F%1").arg(f), Qt::Key_F1 + f - 1);
        return k;
    }();
    return keys;
}

KeyStroke character(QChar c, Qt::KeyboardModifiers mods) {
    KeyStroke s;
    s.modifiers = mods;
    const QChar upper = c.toUpper();
    s.key = upper.unicode() < 0x80 ? int(upper.unicode()) : int(Qt::Key_unknown);
    // Shift with a letter types the capital, as on a keyboard.
    s.text = QString(mods & Qt::ShiftModifier ? upper : c);
    if (mods & (Qt::ControlModifier | Qt::AltModifier)) s.text.clear();
    return s;
}

KeyStroke enter(Qt::KeyboardModifiers mods) {
    return {Qt::Key_Return, mods, QStringLiteral("\r")};
}

class Parser {
public:
    explicit Parser(const QString& text) : m_text(text) {}

    // Parses up to the end, or up to a ")" when inside a group.
    bool sequence(Qt::KeyboardModifiers mods, bool inGroup, QList<KeyStroke>& out) {
        Qt::KeyboardModifiers pending;
        while (m_pos < m_text.size()) {
            const QChar c = m_text.at(m_pos++);
            const Qt::KeyboardModifiers now = mods | pending;
            if (c == QLatin1Char('+')) {
                pending |= Qt::ShiftModifier;
            } else if (c == QLatin1Char('^')) {
                pending |= Qt::ControlModifier;
            } else if (c == QLatin1Char('%')) {
                pending |= Qt::AltModifier;
            } else if (c == QLatin1Char('(')) {
                if (!sequence(now, true, out)) return false;
                pending = {};
            } else if (c == QLatin1Char(')')) {
                return inGroup;
            } else if (c == QLatin1Char('{')) {
                if (!braced(now, out)) return false;
                pending = {};
            } else if (c == QLatin1Char('~')) {
                out.append(enter(now));
                pending = {};
            } else {
                out.append(character(c, now));
                pending = {};
            }
        }
        return !inGroup;
    }

private:
    bool braced(Qt::KeyboardModifiers mods, QList<KeyStroke>& out) {
        // "{}}" names the closing brace itself, so the name may begin with "}".
        const qsizetype close = m_text.indexOf(QLatin1Char('}'), m_pos + 1);
        if (close < 0) return false;
        const QString inner = m_text.mid(m_pos, close - m_pos);
        m_pos = close + 1;
        QString name = inner;
        int repeat = 1;
        const qsizetype blank = inner.lastIndexOf(QLatin1Char(' '));
        if (blank > 0) {
            bool ok = false;
            repeat = inner.mid(blank + 1).toInt(&ok);
            if (!ok || repeat < 0) return false;
            name = inner.left(blank);
        }
        KeyStroke stroke;
        if (name.size() == 1) {
            stroke = character(name.at(0), mods);
        } else {
            const auto it = namedKeys().find(name.toUpper());
            if (it == namedKeys().end()) return false;
            stroke = {*it, mods, QString()};
            if (stroke.key == Qt::Key_Return) stroke = enter(mods);
            if (stroke.key == Qt::Key_Tab) stroke.text = QStringLiteral("\t");
        }
        for (int i = 0; i < repeat; ++i)
            out.append(stroke);
        return true;
    }

    const QString& m_text;
    qsizetype m_pos = 0;
};
}  // namespace

std::optional<QList<KeyStroke>> parseKeystrokes(const QString& keys) {
    QList<KeyStroke> out;
    Parser parser(keys);
    if (!parser.sequence({}, false, out)) return std::nullopt;
    return out;
}

}  // namespace platform
