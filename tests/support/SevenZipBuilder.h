#pragma once

// 7z archives made by libarchive (the library the reading uses), for tests that need one.

#include <QByteArray>

#include <archive.h>
#include <archive_entry.h>

#include <vector>

namespace support {

struct SevenZipMember {
    QByteArray name;
    QByteArray data;
};

// `compression` as libarchive's 7zip writer takes it ("copy", "lzma2"...); several members
// are packed as one solid stream.
inline QByteArray sevenZip(const std::vector<SevenZipMember>& members,
                           const char* compression = "lzma2") {
    archive* a = archive_write_new();
    archive_write_set_format_7zip(a);
    archive_write_set_format_option(a, "7zip", "compression", compression);
    std::vector<char> buffer(size_t(16) << 20);
    size_t used = 0;
    archive_write_open_memory(a, buffer.data(), buffer.size(), &used);
    for (const SevenZipMember& m : members) {
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, m.name.constData());
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_perm(e, 0644);
        archive_entry_set_size(e, m.data.size());
        archive_write_header(a, e);
        archive_write_data(a, m.data.constData(), size_t(m.data.size()));
        archive_entry_free(e);
    }
    archive_write_close(a);
    archive_write_free(a);
    return QByteArray(buffer.data(), qsizetype(used));
}

}  // namespace support
