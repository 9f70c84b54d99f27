#include "filelist/VerifiedMarks.h"

QString verifiedCell(VerifiedMark mark) {
    switch (mark) {
        case VerifiedMark::Verified:
            return QStringLiteral("\u2714");  // heavy check mark
        case VerifiedMark::CrcOnly:
            return QStringLiteral("\u2248");  // almost equal: the CRC matches, the SHA-1 not
        case VerifiedMark::BadDump:
            return QStringLiteral("\u2718");  // heavy ballot x
        case VerifiedMark::NotYet:
        case VerifiedMark::Unknown:
            break;
    }
    return {};
}
