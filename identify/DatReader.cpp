#include "identify/DatReader.h"

#include <QIODevice>

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include <array>
#include <cstring>
#include <limits>
#include <mutex>
#include <string>
#include <vector>

// libxml2's SAX interface rather than its text reader or Qt's stream reader: over the 692
// software lists it took 0.35 s where the text reader took 1.1 s and Qt's reader 2.3 s (the
// text reader builds a node per event, Qt converts everything to UTF-16), which leaves the
// time for the index's inserts. It is still a stream: only the entry being read is kept.

namespace identify {

namespace {

// A table: the checksums of a quarter of a million ROMs pass through here.
constexpr std::array<signed char, 256> kHexDigits = [] {
    std::array<signed char, 256> digits{};
    for (int c = 0; c < 256; ++c)
        digits[size_t(c)] = c >= '0' && c <= '9'   ? c - '0'
                            : c >= 'a' && c <= 'f' ? c - 'a' + 10
                            : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                   : -1;
    return digits;
}();

int hexDigit(char c) {
    return kHexDigits[static_cast<unsigned char>(c)];
}

QByteArrayView view(const xmlChar* text) {
    return text ? QByteArrayView(reinterpret_cast<const char*>(text)) : QByteArrayView();
}

// Cut to at most kMaxFieldBytes, never inside a character.
QByteArrayView cut(QByteArrayView bytes) {
    if (bytes.size() <= DatReader::kMaxFieldBytes) return bytes;
    qsizetype n = DatReader::kMaxFieldBytes;
    while (n > 0 && (static_cast<unsigned char>(bytes[n]) & 0xC0) == 0x80)
        --n;
    return bytes.first(n);
}

QString fromUtf8(QByteArrayView bytes) {
    return QString::fromUtf8(cut(bytes));
}

bool isAsciiSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// As QString::trimmed() would leave it. Texts that start or end with a byte beyond ASCII
// (a no-break space, say) go the long way, through `scratch`.
QByteArrayView trimmed(QByteArrayView bytes, QByteArray& scratch) {
    while (!bytes.isEmpty() && isAsciiSpace(bytes.front()))
        bytes = bytes.sliced(1);
    while (!bytes.isEmpty() && isAsciiSpace(bytes.back()))
        bytes.chop(1);
    if (bytes.isEmpty() || (static_cast<unsigned char>(bytes.front()) < 0x80 &&
                            static_cast<unsigned char>(bytes.back()) < 0x80))
        return bytes;
    scratch = QString::fromUtf8(bytes).trimmed().toUtf8();
    return scratch;
}

// Forty hexadecimal digits into 20 bytes at `out`.
bool sha1Into(QByteArrayView text, char* out) {
    if (text.size() != 40) return false;
    for (int i = 0; i < 20; ++i) {
        const int hi = hexDigit(text[2 * i]);
        const int lo = hexDigit(text[2 * i + 1]);
        if (hi < 0 || lo < 0) return false;
        out[i] = char(hi << 4 | lo);
    }
    return true;
}

// Kept as places in the entry's buffer of names: an entry's ROMs cost no allocation.
struct PendingRom {
    size_t nameAt = 0;
    size_t nameSize = 0;
    qint64 size = 0;
    quint32 crc = 0;
    bool hasSha1 = false;
    std::array<char, 20> sha1{};
    DumpStatus status = DumpStatus::Good;
};

// Where the element being read sits; only these few places are read at all.
enum class Place { Root, Header, HeaderName, Entry, EntryText, Elsewhere };

class SaxReader {
public:
    SaxReader(QIODevice& device, const QString& fallbackName,
              const std::function<bool(const RomView&)>& each)
        : m_device(device), m_each(each) {
        m_summary.name = fallbackName;
    }

    DatSummary run() {
        DatReader::initialise();

        xmlSAXHandler sax;
        std::memset(&sax, 0, sizeof sax);
        sax.initialized = XML_SAX2_MAGIC;
        sax.startElementNs = &SaxReader::startElement;
        sax.endElementNs = &SaxReader::endElement;
        sax.characters = &SaxReader::characters;
        sax.cdataBlock = &SaxReader::characters;
        sax.comment = &SaxReader::comment;
        sax.processingInstruction = &SaxReader::instruction;
        sax.internalSubset = &SaxReader::doctype;
        sax.entityDecl = &SaxReader::entityDeclared;
        sax.unparsedEntityDecl = &SaxReader::unparsedEntityDeclared;
        sax.serror = &SaxReader::error;
        // No getEntity, resolveEntity or externalSubset: nothing can be expanded or fetched.

        m_ctxt = xmlCreateIOParserCtxt(&sax, this, &SaxReader::readInput, &SaxReader::closeInput,
                                       this, XML_CHAR_ENCODING_NONE);
        if (!m_ctxt) {
            m_summary.problem = QStringLiteral("could not start the XML reader");
            return m_summary;
        }
        // Never XML_PARSE_NOENT, DTDLOAD or HUGE: entities stay unexpanded, no DTD is loaded
        // and libxml2 keeps its own limits on names, texts and nesting.
        xmlCtxtUseOptions(m_ctxt, XML_PARSE_NONET | XML_PARSE_NOWARNING);
        xmlParseDocument(m_ctxt);
        const bool wellFormed = m_ctxt->wellFormed != 0;
        xmlFreeParserCtxt(m_ctxt);
        m_ctxt = nullptr;

        if (m_summary.stopped) return m_summary;
        if (m_summary.problem.isEmpty() && !wellFormed)
            m_summary.problem = QStringLiteral("not well-formed XML");
        if (m_summary.problem.isEmpty() && m_summary.format == DatFormat::Unknown)
            m_summary.problem = QStringLiteral("not a software list or DAT file");
        m_summary.ok = m_summary.problem.isEmpty();
        return m_summary;
    }

private:
    static SaxReader* self(void* ctx) { return static_cast<SaxReader*>(ctx); }

    int line() const { return m_ctxt ? xmlSAX2GetLineNumber(m_ctxt) : 0; }

    // The first problem is the one told. The reading stops at the next element or the next
    // read of input: libxml2 can be halted safely only from an element's callback (halting
    // frees the input, which an error or a read may be in the middle of using).
    void fail(const QString& problem) {
        if (m_summary.problem.isEmpty() && !m_summary.stopped)
            m_summary.problem = QStringLiteral("line %1: %2").arg(line()).arg(problem);
    }
    bool halted() {
        if (m_summary.problem.isEmpty() && !m_summary.stopped) return false;
        xmlStopParser(m_ctxt);
        return true;
    }

    static int readInput(void* ctx, char* buffer, int len) {
        SaxReader* r = self(ctx);
        if (!r->m_summary.problem.isEmpty() || r->m_summary.stopped) return -1;
        if (r->m_sinceTag > DatReader::kMaxTokenBytes) {
            r->fail(QStringLiteral("more than %1 MiB without a tag (a name, text, comment or "
                                   "declaration too long)")
                        .arg(DatReader::kMaxTokenBytes >> 20));
            return -1;
        }
        const qint64 n = r->m_device.read(buffer, len);
        if (n < 0) {
            r->fail(QStringLiteral("could not be read: %1").arg(r->m_device.errorString()));
            return -1;
        }
        r->m_sinceTag += n;
        return int(n);
    }
    static int closeInput(void*) { return 0; }

    static void error(void* ctx, xmlErrorPtr e) {
        if (!e || e->level < XML_ERR_ERROR) return;
        QString message = QString::fromUtf8(e->message ? e->message : "malformed XML").trimmed();
        self(ctx)->fail(message);
    }

    static void entityDeclared(void* ctx, const xmlChar* name, int, const xmlChar*, const xmlChar*,
                               xmlChar*) {
        self(ctx)->fail(QStringLiteral("declares the entity \"%1\"; entities are not read")
                            .arg(fromUtf8(view(name))));
    }
    static void unparsedEntityDeclared(void* ctx, const xmlChar* name, const xmlChar*,
                                       const xmlChar*, const xmlChar*) {
        entityDeclared(ctx, name, 0, nullptr, nullptr, nullptr);
    }
    static void doctype(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*) {
        self(ctx)->m_sinceTag = 0;
    }
    static void comment(void* ctx, const xmlChar*) { self(ctx)->m_sinceTag = 0; }
    static void instruction(void* ctx, const xmlChar*, const xmlChar*) {
        self(ctx)->m_sinceTag = 0;
    }

    // Up to one byte beyond kMaxFieldBytes is kept, so the cut can tell whether the last
    // character kept is whole.
    static void characters(void* ctx, const xmlChar* text, int len) {
        SaxReader* r = self(ctx);
        if (!r->m_text || len <= 0) return;
        const qsizetype room = DatReader::kMaxFieldBytes + 1 - qsizetype(r->m_text->size());
        if (room > 0)
            r->m_text->append(reinterpret_cast<const char*>(text),
                              size_t(std::min<qsizetype>(room, len)));
    }

    static void startElement(void* ctx, const xmlChar* localname, const xmlChar*, const xmlChar*,
                             int, const xmlChar**, int attributeCount, int,
                             const xmlChar** attributes) {
        SaxReader* r = self(ctx);
        r->m_sinceTag = 0;
        if (r->halted()) return;
        r->start(view(localname), attributeCount, attributes);
        r->halted();
    }
    static void endElement(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*) {
        SaxReader* r = self(ctx);
        r->m_sinceTag = 0;
        if (r->halted()) return;
        r->end();
        r->halted();
    }

    // SAX2 attributes come as (localname, prefix, URI, value, end) quintuples.
    static QByteArrayView attribute(int count, const xmlChar** attributes, const char* name,
                                    bool* present = nullptr) {
        for (int i = 0; i < count; ++i) {
            const xmlChar** a = attributes + 5 * i;
            if (std::strcmp(reinterpret_cast<const char*>(a[0]), name) == 0) {
                if (present) *present = true;
                return QByteArrayView(reinterpret_cast<const char*>(a[3]), a[4] - a[3]);
            }
        }
        if (present) *present = false;
        return {};
    }

    void start(QByteArrayView name, int count, const xmlChar** attributes) {
        const Place parent = m_places.empty() ? Place::Elsewhere : m_places.back();
        Place place = Place::Elsewhere;
        if (m_places.empty()) {
            if (name == "softwarelist") {
                m_summary.format = DatFormat::SoftwareList;
                const QByteArrayView listName = attribute(count, attributes, "name");
                if (!listName.isEmpty()) m_summary.name = fromUtf8(listName);
            } else if (name == "datafile") {
                m_summary.format = DatFormat::Logiqx;
            } else {
                fail(QStringLiteral("not a software list or DAT file (its first element is <%1>)")
                         .arg(fromUtf8(name)));
            }
            place = Place::Root;
        } else if (parent == Place::Root) {
            const bool list = m_summary.format == DatFormat::SoftwareList;
            if (list ? name == "software" : (name == "game" || name == "machine")) {
                place = Place::Entry;
                const QByteArrayView software = cut(attribute(count, attributes, "name"));
                m_software.assign(software.data(), size_t(software.size()));
                m_description.clear();
                m_year.clear();
                m_publisher.clear();
                m_pending.clear();
                m_romNames.clear();
            } else if (!list && name == "header") {
                place = Place::Header;
            }
        } else if (parent == Place::Header && name == "name") {
            place = Place::HeaderName;
            m_headerName.clear();
            m_text = &m_headerName;
        } else if (parent == Place::Entry) {
            const bool list = m_summary.format == DatFormat::SoftwareList;
            std::string* field = nullptr;
            if (name == "description")
                field = &m_description;
            else if (name == "year")
                field = &m_year;
            else if (name == (list ? "publisher" : "manufacturer"))
                field = &m_publisher;
            if (field) {
                place = Place::EntryText;
                field->clear();
                m_text = field;
            }
        }
        if (name == "rom" && m_entryDepth > 0) rom(count, attributes);
        if (name == "disk" && m_entryDepth > 0) disk(count, attributes);
        if (place == Place::Entry)
            m_entryDepth = 1;
        else if (m_entryDepth > 0)
            ++m_entryDepth;
        m_places.push_back(place);
    }

    void end() {
        if (m_places.empty()) return;
        const Place place = m_places.back();
        m_places.pop_back();
        if (m_entryDepth > 0) --m_entryDepth;
        if (place == Place::HeaderName || place == Place::EntryText) m_text = nullptr;
        if (place == Place::HeaderName) {
            const QString name = fromUtf8(m_headerName).trimmed();
            if (!name.isEmpty()) m_summary.name = name;
        }
        if (place == Place::Entry) handOver();
    }

    void rom(int count, const xmlChar** attributes) {
        bool named = false;
        const QByteArrayView name = attribute(count, attributes, "name", &named);
        if (!named) {
            // A software list's nameless <rom loadflag="continue"> only says how the
            // ROM before it is loaded.
            bool loadFlag = false;
            attribute(count, attributes, "loadflag", &loadFlag);
            if (!loadFlag) ++m_summary.malformed;
            return;
        }
        const QByteArrayView status = attribute(count, attributes, "status");
        if (status == "nodump") {
            ++m_summary.noDump;
            return;
        }
        PendingRom pending;
        const QByteArrayView sha1Text = attribute(count, attributes, "sha1", &pending.hasSha1);
        const std::optional<qint64> size = parseRomSize(attribute(count, attributes, "size"));
        const std::optional<quint32> crc = parseCrc(attribute(count, attributes, "crc"));
        const bool sha1 = !pending.hasSha1 || sha1Into(sha1Text, pending.sha1.data());
        if (!size || !crc || !sha1 || name.isEmpty() || name.size() > DatReader::kMaxFieldBytes) {
            ++m_summary.malformed;
            return;
        }
        pending.size = *size;
        pending.crc = *crc;
        pending.status = status == "baddump" ? DumpStatus::BadDump : DumpStatus::Good;
        add(pending, name);
    }

    // A <disk> (a CHD image) is known by its SHA-1 alone; it is kept as a ROM of size
    // kDiskSize whose CRC is the SHA-1's first bytes, so lookups need no table of their own.
    void disk(int count, const xmlChar** attributes) {
        bool named = false;
        const QByteArrayView name = attribute(count, attributes, "name", &named);
        const QByteArrayView status = attribute(count, attributes, "status");
        if (status == "nodump") {
            ++m_summary.noDump;
            return;
        }
        PendingRom pending;
        const QByteArrayView sha1Text = attribute(count, attributes, "sha1", &pending.hasSha1);
        if (!named || name.isEmpty() || name.size() > DatReader::kMaxFieldBytes ||
            !pending.hasSha1 || !sha1Into(sha1Text, pending.sha1.data())) {
            ++m_summary.malformed;
            return;
        }
        pending.size = kDiskSize;
        pending.crc = diskKeyOf(QByteArray(pending.sha1.data(), 20));
        pending.status = status == "baddump" ? DumpStatus::BadDump : DumpStatus::Good;
        add(pending, name);
    }

    void add(PendingRom& pending, QByteArrayView name) {
        if (m_pending.size() >= size_t(DatReader::kMaxRomsPerEntry)) {
            fail(QStringLiteral("the entry \"%1\" holds more than %2 ROMs")
                     .arg(QString::fromStdString(m_software))
                     .arg(DatReader::kMaxRomsPerEntry));
            return;
        }
        pending.nameAt = m_romNames.size();
        pending.nameSize = size_t(name.size());
        m_romNames.append(name.data(), size_t(name.size()));
        m_pending.push_back(pending);
    }

    // The entry's texts may follow its ROMs, so the ROMs wait for the entry's end.
    void handOver() {
        RomView rom;
        rom.id = ++m_entries;
        rom.source = &m_summary.name;
        rom.software = m_software;
        rom.description = trimmed(cut(m_description), m_scratch[0]);
        rom.year = trimmed(cut(m_year), m_scratch[1]);
        rom.publisher = trimmed(cut(m_publisher), m_scratch[2]);
        for (const PendingRom& p : m_pending) {
            rom.romName = QByteArrayView(m_romNames.data() + p.nameAt, qsizetype(p.nameSize));
            rom.size = p.size;
            rom.crc = p.crc;
            rom.sha1 = p.hasSha1 ? QByteArrayView(p.sha1.data(), 20) : QByteArrayView();
            rom.status = p.status;
            ++m_summary.roms;
            if (!m_each(rom)) {
                m_summary.stopped = true;
                break;
            }
        }
        m_pending.clear();
    }

    QIODevice& m_device;
    const std::function<bool(const RomView&)>& m_each;
    xmlParserCtxtPtr m_ctxt = nullptr;
    DatSummary m_summary;
    qint64 m_sinceTag = 0;
    std::vector<Place> m_places;
    qint64 m_entries = 0;
    int m_entryDepth = 0;           // elements open inside the current entry, itself included
    std::string* m_text = nullptr;  // the text being collected, if any
    // Kept from entry to entry, so their room is made once per document.
    std::string m_headerName;
    std::string m_software;
    std::string m_description;
    std::string m_year;
    std::string m_publisher;
    std::string m_romNames;
    std::vector<PendingRom> m_pending;
    std::array<QByteArray, 3> m_scratch;
};

}  // namespace

void DatReader::initialise() {
    static std::once_flag initialised;
    std::call_once(initialised, [] { xmlInitParser(); });
}

DatSummary DatReader::read(QIODevice& device, const QString& fallbackName,
                           const std::function<bool(const RomEntry&)>& each) {
    qint64 entryId = -1;
    RomEntry entry;
    return readViews(device, fallbackName, [&](const RomView& rom) {
        if (rom.id != entryId) {
            entryId = rom.id;
            entry.id = rom.id;
            entry.source = *rom.source;
            entry.software = QString::fromUtf8(rom.software);
            entry.description = QString::fromUtf8(rom.description);
            entry.year = QString::fromUtf8(rom.year);
            entry.publisher = QString::fromUtf8(rom.publisher);
        }
        entry.romName = QString::fromUtf8(rom.romName);
        entry.size = rom.size;
        entry.crc = rom.crc;
        entry.sha1 = rom.sha1.toByteArray();
        entry.status = rom.status;
        return each(entry);
    });
}

DatSummary DatReader::readViews(QIODevice& device, const QString& fallbackName,
                                const std::function<bool(const RomView&)>& each) {
    if (!device.isOpen() && !device.open(QIODevice::ReadOnly)) {
        DatSummary summary;
        summary.name = fallbackName;
        summary.problem = QStringLiteral("could not be opened: %1").arg(device.errorString());
        return summary;
    }
    return SaxReader(device, fallbackName, each).run();
}

std::optional<qint64> parseRomSize(QByteArrayView text) {
    constexpr quint64 kMax = quint64(std::numeric_limits<qint64>::max());
    quint64 value = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        for (char c : text.sliced(2)) {
            const int d = hexDigit(c);
            if (d < 0 || value > (kMax >> 4)) return std::nullopt;
            value = value << 4 | quint64(d);
        }
        return qint64(value);
    }
    if (text.isEmpty()) return std::nullopt;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        const quint64 d = quint64(c - '0');
        if (value > (kMax - d) / 10) return std::nullopt;
        value = value * 10 + d;
    }
    return qint64(value);
}

std::optional<quint32> parseCrc(QByteArrayView text) {
    if (text.size() != 8) return std::nullopt;
    quint32 value = 0;
    for (char c : text) {
        const int d = hexDigit(c);
        if (d < 0) return std::nullopt;
        value = value << 4 | quint32(d);
    }
    return value;
}

std::optional<QByteArray> parseSha1(QByteArrayView text) {
    QByteArray bytes(20, Qt::Uninitialized);
    if (!sha1Into(text, bytes.data())) return std::nullopt;
    return bytes;
}

}  // namespace identify
