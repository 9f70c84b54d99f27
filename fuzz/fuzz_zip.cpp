// libFuzzer entry for the zip directory and the unpacking of members: any bytes must end
// in a listing or a refusal, a listing must stay inside the bytes, and a member unpacks to
// exactly its stated size or not at all.

#include "identify/ZipDirectory.h"

#include <cstddef>
#include <cstdint>

namespace {

void check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    identify::MemoryZipSource source(
        QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    const identify::ZipDirectory directory = identify::readZipDirectory(source);
    if (!directory.ok()) {
        check(directory.members.empty());
        return 0;
    }
    // Every member takes a local header and a directory record of its own, and its packed
    // bytes, all of them together within the file.
    check(directory.members.size() <= size / (30 + 46));
    qint64 packed = 0;
    int unpacked = 0;
    for (const identify::ZipMember& m : directory.members) {
        check(m.compressedSize >= 0 && m.size >= 0);
        packed += m.compressedSize;
        check(packed <= static_cast<qint64>(size));
        (void)identify::unsafeMemberName(m.name);
        // A few members are enough to reach every path; all of them would let one input
        // with thousands of tiny members take the whole run.
        if (++unpacked > 4) continue;
        const identify::MemberDigest digest = identify::digestMember(source, m);
        check(digest.ok() ? digest.sha1.size() == 20 : digest.sha1.isEmpty());
    }
    return 0;
}
