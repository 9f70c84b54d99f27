#include "platform/PrintedNames.h"

#include "platform/FileNames.h"

namespace platform {

namespace {

// The length of the valid UTF-8 sequence at `i` (shortest form, no surrogates, nothing past
// U+10FFFF), or 0 when the byte there does not begin one.
qsizetype sequenceAt(const QByteArray& bytes, qsizetype i) {
    const auto at = [&](qsizetype k) { return uchar(bytes.at(k)); };
    const uchar lead = at(i);
    qsizetype length = 0;
    uchar low = 0x80, high = 0xBF;  // the range of the byte after the lead
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > bytes.size()) return 0;
    if (at(i + 1) < low || at(i + 1) > high) return 0;
    for (qsizetype k = i + 2; k < i + length; ++k)
        if ((at(k) & 0xC0) != 0x80) return 0;
    return length;
}

void appendHex(QByteArray& out, uchar byte) {
    static const char kDigits[] = "0123456789abcdef";
    out.append("\\x").append(kDigits[byte >> 4]).append(kDigits[byte & 0xF]);
}

}  // namespace

QByteArray printedName(const QString& name) {
    const QByteArray bytes = encodeName(name);
    QByteArray out;
    out.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        const uchar c = uchar(bytes.at(i));
        if (c == '\\') {
            out.append("\\\\");
        } else if (c == '\t') {
            out.append("\\t");
        } else if (c == '\n') {
            out.append("\\n");
        } else if (c < 0x20 || c == 0x7F) {
            appendHex(out, c);
        } else if (c < 0x80) {
            out.append(char(c));
        } else if (const qsizetype length = sequenceAt(bytes, i); length == 0) {
            appendHex(out, c);
        } else {
            // U+0080..U+009F, the C1 controls, are C2 80..C2 9F.
            const bool control = c == 0xC2 && uchar(bytes.at(i + 1)) < 0xA0;
            for (qsizetype k = i; k < i + length; ++k) {
                if (control)
                    appendHex(out, uchar(bytes.at(k)));
                else
                    out.append(bytes.at(k));
            }
            i += length;
            continue;
        }
        ++i;
    }
    return out;
}

}  // namespace platform
