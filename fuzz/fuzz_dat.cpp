// libFuzzer entry for the software-list and DAT reader: any bytes must end the reading with
// a summary or a problem, and every ROM handed over must be one the index can store.

#include "identify/DatReader.h"

#include <QBuffer>
#include <QByteArray>

#include <cstddef>
#include <cstdint>

namespace {

void check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QBuffer buffer;
    buffer.setData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    qint64 seen = 0;
    const identify::DatSummary summary =
        identify::DatReader::read(buffer, QStringLiteral("fuzz"), [&](const identify::RomEntry& e) {
            ++seen;
            // A <disk> is known by its SHA-1 alone, under a size no file has.
            check(e.size >= 0 || (e.size == identify::kDiskSize && e.sha1.size() == 20));
            check(e.sha1.isEmpty() || e.sha1.size() == 20);
            check(!e.romName.isEmpty());
            check(e.romName.toUtf8().size() <= identify::DatReader::kMaxFieldBytes);
            check(e.description.toUtf8().size() <= identify::DatReader::kMaxFieldBytes);
            check(e.id > 0);
            return true;
        });
    check(summary.roms == seen);
    check(summary.ok == summary.problem.isEmpty());
    return 0;
}
