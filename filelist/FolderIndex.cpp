#include "filelist/FolderIndex.h"

#include "platform/FileNames.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QSaveFile>

#include <cstring>

namespace {

// "RBFI", a version, then the fields; a checksum of everything before it ends the file.
constexpr char kMagic[4] = {'R', 'B', 'F', 'I'};
constexpr quint8 kVersion = 1;
constexpr quint8 kReadable = 1;
constexpr quint8 kLooked = 2;

template <typename T>
void put(QByteArray& out, T value) {
    char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    out.append(bytes, sizeof(T));
}

void putBytes(QByteArray& out, const QByteArray& bytes) {
    put<quint32>(out, static_cast<quint32>(bytes.size()));
    out.append(bytes);
}

quint64 checksumOf(const char* data, qsizetype size) {
    // FNV-1a: a damaged or cut file is all it has to tell apart.
    quint64 h = 0xcbf29ce484222325ull;
    for (qsizetype i = 0; i < size; ++i) {
        h ^= static_cast<unsigned char>(data[i]);
        h *= 0x100000001b3ull;
    }
    return h;
}

class Reader {
public:
    explicit Reader(const QByteArray& bytes) : m_data(bytes.constData()), m_left(bytes.size()) {}
    template <typename T>
    bool get(T& value) {
        if (m_left < static_cast<qsizetype>(sizeof(T))) return false;
        std::memcpy(&value, m_data, sizeof(T));
        m_data += sizeof(T);
        m_left -= sizeof(T);
        return true;
    }
    bool getBytes(QByteArray& out) {
        quint32 size = 0;
        if (!get(size) || size > static_cast<quint64>(m_left)) return false;
        // A view into the file read whole: the name is decoded into a string of its own.
        out = QByteArray::fromRawData(m_data, size);
        m_data += size;
        m_left -= size;
        return true;
    }
    bool atEnd() const { return m_left == 0; }

private:
    const char* m_data;
    qsizetype m_left;
};

}  // namespace

QString folderIndexFile(const QString& folder, const QString& pattern, bool hidden) {
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(platform::encodeName(folder));
    hash.addData(QByteArrayView("\0", 1));
    hash.addData(pattern.toUtf8());
    hash.addData(hidden ? QByteArrayView("\1", 1) : QByteArrayView("\0", 1));
    return platform::userBaseFolder("XDG_CACHE_HOME", QStringLiteral(".cache")) +
           QStringLiteral("/Rombard/folders/") + QString::fromLatin1(hash.result().toHex());
}

bool saveFolderIndex(const QString& file, const FolderIndex& index) {
    QByteArray out;
    out.reserve(64 + static_cast<qsizetype>(index.files.size()) * 48);
    out.append(kMagic, sizeof kMagic);
    put<quint8>(out, kVersion);
    putBytes(out, platform::encodeName(index.folder));
    putBytes(out, index.pattern.toUtf8());
    put<quint8>(out, index.hidden ? 1 : 0);
    put<qint32>(out, index.hiddenByList);
    put<quint32>(out, static_cast<quint32>(index.files.size()));
    for (const ListedFile& f : index.files) {
        putBytes(out, platform::encodeName(f.name));
        put<qint64>(out, f.size);
        put<qint64>(out, f.modified);
        put<quint8>(out, (f.readable ? kReadable : 0) | (f.looked ? kLooked : 0));
    }
    put<quint64>(out, checksumOf(out.constData(), out.size()));
    if (!QDir().mkpath(QFileInfo(file).absolutePath())) return false;
    QSaveFile save(file);
    if (!save.open(QIODevice::WriteOnly)) return false;
    if (save.write(out) != out.size()) {
        save.cancelWriting();
        return false;
    }
    return save.commit();
}

std::optional<FolderIndex> loadFolderIndex(const QString& file, const QString& folder,
                                           const QString& pattern, bool hidden) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray bytes = in.readAll();
    constexpr qsizetype kTail = sizeof(quint64);
    if (bytes.size() < static_cast<qsizetype>(sizeof kMagic) + kTail ||
        std::memcmp(bytes.constData(), kMagic, sizeof kMagic) != 0)
        return std::nullopt;
    quint64 stored = 0;
    std::memcpy(&stored, bytes.constData() + bytes.size() - kTail, kTail);
    if (stored != checksumOf(bytes.constData(), bytes.size() - kTail)) return std::nullopt;

    Reader r(QByteArray::fromRawData(bytes.constData() + sizeof kMagic,
                                     bytes.size() - qsizetype(sizeof kMagic) - kTail));
    FolderIndex index;
    quint8 version = 0, hiddenFlag = 0;
    QByteArray folderBytes, patternBytes;
    quint32 count = 0;
    if (!r.get(version) || version != kVersion || !r.getBytes(folderBytes) ||
        !r.getBytes(patternBytes) || !r.get(hiddenFlag) || !r.get(index.hiddenByList) ||
        !r.get(count))
        return std::nullopt;
    index.folder = platform::decodeName(folderBytes);
    index.pattern = QString::fromUtf8(patternBytes);
    index.hidden = hiddenFlag != 0;
    // A hash shared by two listings, or a file copied from elsewhere, is not this one.
    if (index.folder != folder || index.pattern != pattern || index.hidden != hidden)
        return std::nullopt;
    // Each entry takes at least 21 bytes; a count beyond that is damage, not a reason to
    // reserve gigabytes.
    if (count > static_cast<quint64>(bytes.size()) / 21) return std::nullopt;
    index.files.reserve(count);
    QByteArray name;
    for (quint32 i = 0; i < count; ++i) {
        ListedFile f;
        quint8 flags = 0;
        if (!r.getBytes(name) || name.isEmpty() || !r.get(f.size) || !r.get(f.modified) ||
            !r.get(flags))
            return std::nullopt;
        f.name = platform::decodeName(name);
        f.readable = flags & kReadable;
        f.looked = flags & kLooked;
        index.files.push_back(std::move(f));
    }
    if (!r.atEnd()) return std::nullopt;
    return index;
}

namespace {

// Whether the length, date or readability of a file stayed as shown; a file the new list has
// not looked at yet tells nothing.
bool changedSince(const ListedFile& shown, const ListedFile& read) {
    return read.looked && (!shown.looked || shown.size != read.size ||
                           shown.modified != read.modified || shown.readable != read.readable);
}

// Each name once, in the listing's name order: how a folder listed under one mask comes.
template <typename NameAt>
bool strictlyInNameOrder(int count, NameAt nameAt) {
    for (int i = 1; i < count; ++i)
        if (compareNamesIgnoringCase(nameAt(i - 1), nameAt(i)) >= 0) return false;
    return true;
}

// Both lists strictly in name order: one walk down both pairs the names, with nothing kept
// beside them but the plan (a hash of 100,000 names is several MB).
ReconcilePlan planInNameOrder(int shownCount, const std::function<ListedFile(int)>& shownAt,
                              const std::vector<ListedFile>& read) {
    ReconcilePlan plan;
    const int n = static_cast<int>(read.size());
    int i = 0, j = 0;
    while (i < shownCount || j < n) {
        if (i == shownCount) {
            plan.insertRows.push_back(j++);
            continue;
        }
        const ListedFile a = shownAt(i);
        const int order = j == n ? -1 : compareNamesIgnoringCase(a.name, read[j].name);
        if (order < 0) {
            plan.removeRows.push_back(i++);
        } else if (order > 0) {
            plan.insertRows.push_back(j++);
        } else {
            if (changedSince(a, read[j])) plan.changedRows.push_back(j);
            ++i;
            ++j;
        }
    }
    std::reverse(plan.removeRows.begin(), plan.removeRows.end());
    return plan;
}

}  // namespace

ReconcilePlan planReconcile(int shownCount, const std::function<ListedFile(int)>& shownAt,
                            const std::vector<ListedFile>& read) {
    if (strictlyInNameOrder(shownCount, [&](int i) { return shownAt(i).name; }) &&
        strictlyInNameOrder(static_cast<int>(read.size()),
                            [&](int j) -> const QString& { return read[j].name; }))
        return planInNameOrder(shownCount, shownAt, read);
    // An entry is its name and which of its name's occurrences it is: with several masks a
    // name comes once per mask that takes it, in the same order in both lists. One hash entry
    // a name and two integers an entry: a list of 100,000 games is planned in a few MB.
    const int n = static_cast<int>(read.size());
    QHash<QString, int> firstAt;
    firstAt.reserve(n);
    std::vector<int> nextSame(read.size(), -1);
    std::vector<int> lastOf(read.size(), -1);  // by first occurrence: the last one so far
    for (int j = 0; j < n; ++j) {
        const auto known = firstAt.constFind(read[j].name);
        const int first = known == firstAt.constEnd() ? j : known.value();
        if (first == j)
            firstAt.insert(read[j].name, j);
        else
            nextSame[lastOf[first]] = j;
        lastOf[first] = j;
    }
    std::vector<int>& takenUpTo = lastOf;  // by first occurrence: the last one matched
    std::fill(takenUpTo.begin(), takenUpTo.end(), -1);
    std::vector<int> matchOfShown(size_t(shownCount), -1);
    std::vector<char> readMatched(read.size(), 0);
    for (int i = 0; i < shownCount; ++i) {
        const int first = firstAt.value(shownAt(i).name, -1);
        if (first < 0) continue;
        const int j = takenUpTo[first] < 0 ? first : nextSame[takenUpTo[first]];
        if (j < 0) continue;
        takenUpTo[first] = j;
        matchOfShown[i] = j;
        readMatched[j] = 1;
    }
    ReconcilePlan plan;
    for (int i = shownCount - 1; i >= 0; --i)
        if (matchOfShown[i] < 0) plan.removeRows.push_back(i);
    for (int j = 0; j < static_cast<int>(read.size()); ++j)
        if (!readMatched[j]) plan.insertRows.push_back(j);
    for (int i = 0; i < shownCount; ++i) {
        const int j = matchOfShown[i];
        if (j < 0) continue;
        if (changedSince(shownAt(i), read[j])) plan.changedRows.push_back(j);
    }
    std::sort(plan.changedRows.begin(), plan.changedRows.end());
    return plan;
}
