#include "identify/DatReader.h"

#include "support/TempFolder.h"

#include <QBuffer>

#include <gtest/gtest.h>

namespace {

using identify::DatReader, identify::DatSummary, identify::RomEntry;

// One entry as a line, so a table can say what a document must give.
QString line(const RomEntry& e) {
    const bool bad = e.status == identify::DumpStatus::BadDump;
    // clang-format off
    return QStringList{e.source, e.software, e.description, e.year, e.publisher, e.romName,
                       QString::number(e.size), QString::number(e.crc, 16).rightJustified(8, u'0'),
                       QString::fromLatin1(e.sha1.toHex()), bad ? "bad" : "good"}.join(u'|');
    // clang-format on
}

struct Read {
    DatSummary summary;
    QStringList lines;
    std::vector<RomEntry> entries;
};

// Every entry, or the first `wanted` ones.
Read readDevice(QIODevice& device, size_t wanted = SIZE_MAX) {
    Read r;
    r.summary = DatReader::read(device, QStringLiteral("fallback"), [&](const RomEntry& e) {
        r.lines.append(line(e));
        r.entries.push_back(e);
        return r.entries.size() < wanted;
    });
    return r;
}

Read readText(const QByteArray& document, size_t wanted = SIZE_MAX) {
    QBuffer buffer;
    buffer.setData(document);
    return readDevice(buffer, wanted);
}

const char* const kSha = "cf0efc58ffc8ae2ac49d96177cc8b3e299e95160";

TEST(DatReader, ReadsBothFormatsRomByRom) {
    struct Case {
        const char* what;
        qint64 noDump, malformed;
        QByteArray document;
        QStringList expected;
    };
    const QString sha = QString::fromLatin1(kSha);
    TempFolder folder;
    // Were the DTD read, its default would give the ROM a CRC.
    const QString dtd = folder.write("list.dtd", "<!ATTLIST rom crc CDATA \"12345678\">");
    const QByteArray shortEntry =
        "<software name=\"s\"><rom name=\"r\" size=\"1\" crc=\"00000001\"/></software>";
    const qint64 shortCount = 2 * DatReader::kMaxTokenBytes / shortEntry.size();
    // clang-format off
    const Case cases[] = {
        {"a software list, its name from the root, sizes in hex and decimal, CRCs in any case",
         0, 0,
         "<?xml version=\"1.0\"?>\n<!DOCTYPE softwarelist SYSTEM \"softwarelist.dtd\">\n"
         "<softwarelist name=\"a2600\" description=\"Atari 2600 cartridges\">\n"
         " <software name=\"adventp\" supported=\"yes\">\n"
         "  <description>Adventure &amp; More</description><year>2003</year>\n"
         "  <publisher>Homebrew</publisher>\n"
         "  <part name=\"cart\" interface=\"a2600_cart\"><dataarea name=\"rom\" size=\"8192\">\n"
         "   <rom name=\"a.bin\" size=\"0x1000\" crc=\"0A25900B\" "
         "sha1=\"CF0EFC58FFC8AE2AC49D96177CC8B3E299E95160\"/>\n"
         "   <rom name=\"b.bin\" size=\"4096\" crc=\"ffffffff\" offset=\"0x1000\"/>\n"
         "  </dataarea></part>\n </software>\n</softwarelist>\n",
         {"a2600|adventp|Adventure & More|2003|Homebrew|a.bin|4096|0a25900b|" + sha + "|good",
          "a2600|adventp|Adventure & More|2003|Homebrew|b.bin|4096|ffffffff||good"}},
        // Each broken value once: the parsing itself is tabled below.
        {"bad dumps kept, no dumps and load instructions left out, broken values counted", 1, 7,
         "<softwarelist name=\"l\"><software name=\"s\"><part><dataarea>"
         "<rom name=\"bad.bin\" size=\"16\" crc=\"00000001\" status=\"baddump\"/>"
         "<rom size=\"0x8000\" offset=\"0x8000\" loadflag=\"continue\"/>"
         "<rom name=\"none.bin\" size=\"16\" status=\"nodump\"/>"
         "<rom name=\"nocrc.bin\" size=\"16\"/>"
         "<rom name=\"nosize.bin\" crc=\"00000002\"/>"
         "<rom name=\"notHex.bin\" size=\"16\" crc=\"0000000g\"/>"
         "<rom name=\"neg.bin\" size=\"-16\" crc=\"00000003\"/>"
         "<rom name=\"hugehex.bin\" size=\"0x10000000000000000\" crc=\"00000004\"/>"
         "<rom name=\"shortsha.bin\" size=\"16\" crc=\"00000005\" "
         "sha1=\"cf0efc58ffc8ae2ac49d96177cc8b3e299e9516\"/>"
         "<rom size=\"16\" crc=\"00000006\"/>"
         "<rom name=\"max.bin\" size=\"0x7fffffffffffffff\" crc=\"00000007\"/>"
         "</dataarea></part></software></softwarelist>",
         {"l|s||||bad.bin|16|00000001||bad", "l|s||||max.bin|9223372036854775807|00000007||good"}},
        {"a Logiqx DAT: the header names it, games and machines, manufacturer as publisher, "
         "texts after the ROMs", 1, 0,
         "<?xml version=\"1.0\"?>\n<!DOCTYPE datafile PUBLIC \"-//Logiqx//DTD ROM Management "
         "Datafile//EN\" \"http://www.logiqx.com/Dats/datafile.dtd\">\n"
         "<datafile><header><name>My Set</name><description>d</description></header>\n"
         "<game name=\"g1\"><description>Game One</description><year>1982</year>"
         "<manufacturer>Maker</manufacturer><rom name=\"g1.a26\" size=\"2048\" crc=\"12345678\" "
         "md5=\"x\" sha1=\"cf0efc58ffc8ae2ac49d96177cc8b3e299e95160\"/></game>\n"
         "<machine name=\"m1\"><rom name=\"m1.bin\" size=\"1\" crc=\"AbCdEf01\"/>"
         "<description>Machine One</description></machine>\n"
         "<game name=\"g2\"><rom name=\"g2.bin\" size=\"2\" crc=\"00000000\" "
         "status=\"nodump\"/><rom name=\"g2b.bin\" size=\"2\" crc=\"00000001\" "
         "status=\"verified\"/></game></datafile>",
         {"My Set|g1|Game One|1982|Maker|g1.a26|2048|12345678|" + sha + "|good",
          "My Set|m1|Machine One|||m1.bin|1|abcdef01||good",
          "My Set|g2||||g2b.bin|2|00000001||good"}},
        {"a DAT without a header takes the name it is given", 0, 0,
         "<datafile><game name=\"g\"><rom name=\"r\" size=\"1\" crc=\"00000001\"/></game>"
         "</datafile>",
         {"fallback|g||||r|1|00000001||good"}},
        {"a software list's <software> inside <datafile> or a <game> in a list is not an entry",
         0, 0,
         "<softwarelist name=\"l\"><game name=\"g\"><rom name=\"r\" size=\"1\" crc=\"00000001\"/>"
         "</game></softwarelist>", {}},
        {"twice the token bound on one line, in short entries", 0, 0,
         "<softwarelist name=\"x\">" + shortEntry.repeated(shortCount) + "</softwarelist>",
         QStringList(shortCount, "x|s||||r|1|00000001||good")},
        {"the document's DTD is never loaded", 0, 1,
         "<!DOCTYPE softwarelist SYSTEM \"file://" + dtd.toUtf8() + "\"><softwarelist name=\"x\">"
         "<software name=\"s\"><rom name=\"r\" size=\"1\"/></software></softwarelist>", {}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Read r = readText(c.document);
        EXPECT_TRUE(r.summary.ok) << r.summary.problem.toStdString();
        EXPECT_EQ(r.lines, c.expected);
        EXPECT_EQ(r.summary.roms, c.expected.size());
        EXPECT_EQ(r.summary.noDump, c.noDump);
        EXPECT_EQ(r.summary.malformed, c.malformed);
    }
}

TEST(DatReader, TellsTheFormatNumbersEntriesApartAndStopsWhenAsked) {
    const QByteArray document =
        "<softwarelist name=\"l\"><software name=\"same\"><rom name=\"a\" size=\"1\" "
        "crc=\"00000001\"/><rom name=\"b\" size=\"1\" crc=\"00000002\"/></software>"
        "<software name=\"same\"><rom name=\"a\" size=\"1\" crc=\"00000001\"/></software>"
        "</softwarelist>";
    const Read list = readText(document);
    ASSERT_EQ(list.entries.size(), 3u);
    EXPECT_EQ(list.summary.format, identify::DatFormat::SoftwareList);
    EXPECT_EQ(list.summary.name, QStringLiteral("l"));
    // Two ROMs of one entry share its number; the second entry of the same name has another.
    EXPECT_EQ(list.entries[0].id, list.entries[1].id);
    EXPECT_NE(list.entries[1].id, list.entries[2].id);
    EXPECT_EQ(readText("<datafile/>").summary.format, identify::DatFormat::Logiqx);

    const Read stopped = readText(document, 1);
    EXPECT_EQ(stopped.entries.size(), 1u);
    EXPECT_TRUE(stopped.summary.stopped);
    EXPECT_FALSE(stopped.summary.ok);
}

// A prefix, then `filler` up to `size` bytes, made as they are read.
class LazyDevice : public QIODevice {
public:
    LazyDevice(QByteArray prefix, QByteArray filler, qint64 size)
        : m_prefix(std::move(prefix)), m_filler(std::move(filler)), m_size(size) {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }
    qint64 served() const { return m_pos; }

protected:
    qint64 readData(char* data, qint64 max) override {
        qint64 n = 0;
        for (; n < max && m_pos < m_size; ++n, ++m_pos)
            data[n] = m_pos < m_prefix.size()
                          ? m_prefix[m_pos]
                          : m_filler[(m_pos - m_prefix.size()) % m_filler.size()];
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_prefix, m_filler;
    qint64 m_size;
    qint64 m_pos = 0;
};

TEST(DatReader, RefusesHostileDocumentsWithAProblemNamingTheLine) {
    TempFolder folder;
    // A file that must never be read: were it included, its ROM would show.
    const QString secret = folder.write("secret.xml",
                                        "<software name=\"s\"><rom name=\"leak\" size=\"1\" "
                                        "crc=\"00000001\"/></software>");
    const QByteArray secretUrl = "file://" + secret.toUtf8();
    struct Case {
        const char* what;
        const char* problem;  // a part of the message
        QByteArray document;
    };
    QByteArray laughs = "<?xml version=\"1.0\"?>\n<!DOCTYPE softwarelist [\n<!ENTITY l0 \"lol\">\n";
    for (int i = 1; i < 10; ++i)
        laughs += "<!ENTITY l" + QByteArray::number(i) + " \"" +
                  QByteArray("&l" + QByteArray::number(i - 1) + ";").repeated(10) + "\">\n";
    laughs += "]>\n<softwarelist name=\"x\"><software name=\"&l9;\"/></softwarelist>";
    const QByteArray deep = "<softwarelist name=\"x\">" + QByteArray("<a>").repeated(2000);
    const Case cases[] = {
        {"billion laughs", "declares the entity \"l0\"", laughs},
        {"an external entity", "declares the entity \"e\"",
         "<!DOCTYPE softwarelist [<!ENTITY e SYSTEM \"" + secretUrl +
             "\">]><softwarelist name=\"x\">&e;</softwarelist>"},
        {"an external parameter entity", "declares the entity \"p\"",
         "<!DOCTYPE softwarelist [<!ENTITY % p SYSTEM \"" + secretUrl +
             "\"> %p;]><softwarelist name=\"x\"/>"},
        {"truncated", "line 1:",
         "<softwarelist name=\"x\"><software name=\"s\"><rom name=\"r\" size=\"1\" "
         "crc=\"00000001\"/></software><software name=\"t\"><rom name=\"q\" si"},
        {"not XML", "line 1:", "clrmamepro (\n\tname \"Set\"\n)\n"},
        {"another XML document", "its first element is <html>", "<html><body/></html>"},
        {"empty", "line 1:", ""},
        {"nested without end", "line 1:", deep},
        {"text that is not UTF-8", "line 1:",
         "<softwarelist name=\"x\"><software name=\"s\"><description>\xff\xfe</description>"
         "</software></softwarelist>"},
        {"too many ROMs in one entry", "the entry \"big\" holds more than 10000 ROMs",
         "<softwarelist name=\"x\">\n<software name=\"big\">" +
             QByteArray("<rom name=\"r\" size=\"1\" crc=\"00000001\"/>")
                 .repeated(DatReader::kMaxRomsPerEntry + 1) +
             "</software></softwarelist>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Read r = readText(c.document);
        EXPECT_FALSE(r.summary.ok);
        EXPECT_TRUE(r.summary.problem.contains(QString::fromUtf8(c.problem)))
            << r.summary.problem.toStdString();
        for (const RomEntry& e : r.entries)
            EXPECT_NE(e.romName, QStringLiteral("leak"));
    }
}

// An overlong token ends the reading within kMaxTokenBytes of where it began.
TEST(DatReader, BoundsWhatOneTokenMayCost) {
    constexpr qint64 kGigabyte = qint64(1) << 30;
    constexpr qint64 kSlack = qint64(1) << 20;
    const QByteArray head = "<softwarelist name=\"x\"><software name=\"s\">";
    struct Case {
        const char* what;
        QByteArray prefix;
        QByteArray filler;
    };
    const Case cases[] = {
        {"an attribute on one gigabyte-long line", head + "<rom name=\"", "a"},
        {"a text", head + "<description>", "lorem ipsum "},
        {"a text outside any entry", "<softwarelist name=\"x\">", "text "},
        {"a comment", head + "<!--", "- "},
        {"an element's name", head + "<r", "o"},
        {"blanks inside a tag", head + "<rom ", " \t\n"},
        {"a CDATA section", head + "<description><![CDATA[", "]"},
        {"a processing instruction", head + "<?pi ", "x"},
        {"a declaration", "<!DOCTYPE softwarelist [<!ELEMENT rom (", "a|"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LazyDevice device(c.prefix, c.filler, kGigabyte);
        const Read r = readDevice(device);
        EXPECT_FALSE(r.summary.ok);
        EXPECT_FALSE(r.summary.problem.isEmpty());
        EXPECT_LE(device.served(), DatReader::kMaxTokenBytes + c.prefix.size() + kSlack);
    }
}

// Cut by UTF-8 characters, trimmed of Unicode spaces; a ROM name too long is no ROM.
TEST(DatReader, CutsAndTrimsTextsByCharacters) {
    const QString e = QStringLiteral("\u00e9");  // two bytes
    const QString longName = QStringLiteral("a") + e.repeated(DatReader::kMaxFieldBytes);
    const std::pair<QString, QString> cases[] = {
        // (description, what is kept of it)
        {e.repeated(DatReader::kMaxFieldBytes), e.repeated(DatReader::kMaxFieldBytes / 2)},
        // The limit falls inside a character: it goes whole.
        {longName, longName.left(DatReader::kMaxFieldBytes / 2)},
        {QStringLiteral("\u00a0 Title \u3000\n"), QStringLiteral("Title")},
        {QStringLiteral("\u2003\u00e9t\u00e9\u00a0"), QStringLiteral("\u00e9t\u00e9")},
        {QStringLiteral(" \t"), QString()},
        {QString(3 * DatReader::kMaxFieldBytes, 'd'), QString(DatReader::kMaxFieldBytes, 'd')},
    };
    for (const auto& [description, expected] : cases) {
        const Read r = readText("<softwarelist name=\"x\"><software name=\"" + longName.toUtf8() +
                                "\"><description>" + description.toUtf8() +
                                "</description><rom name=\"r\" size=\"1\" crc=\"00000001\"/>"
                                "<rom name=\"" +
                                longName.toUtf8() +
                                "\" size=\"1\" crc=\"00000001\"/></software></softwarelist>");
        ASSERT_TRUE(r.summary.ok) << r.summary.problem.toStdString();
        ASSERT_EQ(r.entries.size(), 1u);
        EXPECT_EQ(r.summary.malformed, 1);
        EXPECT_EQ(r.entries[0].description, expected) << description.size();
        EXPECT_EQ(r.entries[0].software, longName.left(DatReader::kMaxFieldBytes / 2));
    }
}

TEST(DatReader, ParsesSizesCrcsAndSha1s) {
    EXPECT_EQ(identify::parseRomSize("0"), 0);
    EXPECT_EQ(identify::parseRomSize("0X1f"), 31);
    EXPECT_EQ(identify::parseRomSize("9223372036854775807"), std::numeric_limits<qint64>::max());
    for (const char* bad : {"", " 1", "1 ", "+1", "-1", "0x", "1e3", "9223372036854775808",
                            "0x8000000000000000", "0x1g"})
        EXPECT_FALSE(identify::parseRomSize(bad)) << bad;
    EXPECT_EQ(identify::parseCrc("DEADbeef"), 0xdeadbeefu);
    for (const char* bad : {"", "deadbee", "deadbeef0", "0xdeadbe", "deadbeeg"})
        EXPECT_FALSE(identify::parseCrc(bad)) << bad;
    EXPECT_EQ(identify::parseSha1(kSha), QByteArray::fromHex(kSha));
    EXPECT_FALSE(identify::parseSha1(QByteArray(kSha).left(39)));
    EXPECT_FALSE(identify::parseSha1(QByteArray(kSha).replace('c', 'x')));
}

}  // namespace
