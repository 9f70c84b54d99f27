#include "library/JournalFormat.h"

#include "checksum/Crc32.h"

#include <QList>

#include <cstdint>
#include <span>

namespace library::journal {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

bool isPlain(unsigned char c) {
    return c > 0x20 && c < 0x7F && c != '%';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

QByteArray checksumOf(const QByteArray& text) {
    Crc32 crc;
    const CrcValue value = crc.calculateBytes(std::span<const std::uint8_t>(
        reinterpret_cast<const std::uint8_t*>(text.constData()), size_t(text.size())));
    const auto number = static_cast<std::uint32_t>(value.isEmpty() ? 0 : value.number());
    return QByteArray::number(number, 16).rightJustified(8, '0');
}

std::optional<qint64> number(const QByteArray& field) {
    bool ok = false;
    const qint64 n = field.toLongLong(&ok);
    return ok && n >= 0 ? std::optional<qint64>(n) : std::nullopt;
}

// The fields of one version-1 record after its kind; nothing when they do not add up.
std::optional<Record> readRecord(const QList<QByteArray>& f) {
    const QByteArray& kind = f.at(1);
    if (kind == "play" && f.size() == 7) {
        const auto id = unescapeBytes(f.at(2)), path = unescapeBytes(f.at(3)),
                   emulator = unescapeBytes(f.at(6));
        const auto started = number(f.at(4)), seconds = number(f.at(5));
        if (!id || id->isEmpty() || !path || path->isEmpty() || !emulator || !started || !seconds)
            return std::nullopt;
        return Play{*id, *path, *started, *seconds, QString::fromUtf8(*emulator)};
    }
    if (kind == "mark" && f.size() == 6) {
        const auto path = unescapeBytes(f.at(2)), installation = unescapeBytes(f.at(5));
        const auto changed = number(f.at(4));
        if (!path || path->isEmpty() || (f.at(3) != "0" && f.at(3) != "1") || !changed ||
            !installation)
            return std::nullopt;
        return Mark{*path, f.at(3) == "1", *changed, *installation};
    }
    if (kind == "rename" && f.size() == 6) {
        const auto id = unescapeBytes(f.at(2)), from = unescapeBytes(f.at(3)),
                   to = unescapeBytes(f.at(4));
        const auto at = number(f.at(5));
        if (!id || id->isEmpty() || !from || from->isEmpty() || !to || to->isEmpty() || !at)
            return std::nullopt;
        return Rename{*id, *from, *to, *at};
    }
    return std::nullopt;
}

}  // namespace

QByteArray escapeBytes(const QByteArray& bytes) {
    QByteArray out;
    out.reserve(bytes.size());
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (isPlain(c)) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::optional<QByteArray> unescapeBytes(const QByteArray& text) {
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text.at(i));
        if (c == '%') {
            if (i + 2 >= text.size()) return std::nullopt;
            const int high = hexValue(text.at(i + 1)), low = hexValue(text.at(i + 2));
            if (high < 0 || low < 0) return std::nullopt;
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else if (isPlain(c)) {
            out += static_cast<char>(c);
        } else {
            return std::nullopt;
        }
    }
    return out;
}

QByteArray headerLine(const QByteArray& installation) {
    return QByteArray(kHeaderMagic) + '\t' + escapeBytes(installation) + '\n';
}

QByteArray recordLine(const Record& record) {
    QByteArray line = QByteArray::number(kFormatVersion) + '\t';
    if (const auto* p = std::get_if<Play>(&record))
        line += "play\t" + escapeBytes(p->id) + '\t' + escapeBytes(p->path) + '\t' +
                QByteArray::number(p->started) + '\t' + QByteArray::number(p->seconds) + '\t' +
                escapeBytes(p->emulator.toUtf8());
    else if (const auto* m = std::get_if<Mark>(&record))
        line += "mark\t" + escapeBytes(m->path) + '\t' + (m->on ? '1' : '0') + '\t' +
                QByteArray::number(m->changed) + '\t' + escapeBytes(m->installation);
    else if (const auto* r = std::get_if<Rename>(&record))
        line += "rename\t" + escapeBytes(r->id) + '\t' + escapeBytes(r->from) + '\t' +
                escapeBytes(r->to) + '\t' + QByteArray::number(r->at);
    return sealedLine(line);
}

QByteArray sealedLine(const QByteArray& fields) {
    return fields + '\t' + checksumOf(fields) + '\n';
}

Parsed parseLines(const QByteArray& bytes, bool fromStart) {
    Parsed out;
    qsizetype at = 0;
    bool header = fromStart;
    while (at < bytes.size()) {
        const qsizetype end = bytes.indexOf('\n', at);
        if (end < 0) break;
        const QByteArray line = bytes.mid(at, end - at);
        at = end + 1;
        out.consumed = at;
        if (header) {
            header = false;
            const QList<QByteArray> f = line.split('\t');
            const auto installation = f.size() == 2 ? unescapeBytes(f.at(1)) : std::nullopt;
            if (f.at(0) != kHeaderMagic || !installation || installation->isEmpty()) {
                out.isJournal = false;
                out.consumed = 0;
                return out;
            }
            out.installation = *installation;
            continue;
        }
        if (line.isEmpty()) continue;
        const qsizetype lastTab = line.lastIndexOf('\t');
        if (lastTab < 0 || checksumOf(line.left(lastTab)) != line.mid(lastTab + 1).toLower()) {
            ++out.damaged;
            continue;
        }
        const QList<QByteArray> f = line.left(lastTab).split('\t');
        bool versionOk = false;
        const int version = f.at(0).toInt(&versionOk);
        if (!versionOk || version < 1 || f.size() < 2) {
            ++out.damaged;
        } else if (version > kFormatVersion) {
            ++out.newer;
        } else if (std::optional<Record> r = readRecord(f)) {
            out.records.push_back(std::move(*r));
        } else {
            ++out.damaged;
        }
    }
    // A header cut short leaves consumed at 0: not known yet whether this is a journal.
    return out;
}

}  // namespace library::journal
