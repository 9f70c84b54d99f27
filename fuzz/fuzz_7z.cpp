// libFuzzer entry for the 7z reading: any bytes must end in a list of members or a refusal,
// never a crash or unpacking without bound, and a list holds only members with whole sums.

#include "identify/SevenZip.h"

#include <cstddef>
#include <cstdint>

namespace {

void check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Bounds small enough for the fuzzer's memory limit: what they cut is what they guard.
    identify::SevenZipLimits limits;
    limits.maxMembers = 64;
    limits.maxUnpacked = qint64(16) << 20;
    limits.ratioAllowance = qint64(1) << 20;
    const identify::SevenZipContents contents = identify::read7zMemory(
        QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)), {},
        limits);
    if (!contents.ok()) {
        check(contents.members.empty());
        return 0;
    }
    check(contents.members.size() <= 64);
    qint64 total = 0;
    for (const identify::MemberSums& m : contents.members) {
        check(m.size >= 0 && m.sha1.size() == 20 && !m.name.isEmpty());
        total += m.size;
    }
    check(total <= limits.maxUnpacked);
    return 0;
}
