#pragma once

// File names printed for scripts to read line by line and column by column.

#include <QByteArray>
#include <QString>

namespace platform {

// The name's bytes (as encodeName gives them) with nothing in them that could end a line,
// split a column or move the terminal's cursor: a tab is written "\t", a line feed "\n", a
// backslash "\\", any other control character (C1 ones too) and each byte that is not
// part of valid UTF-8 "\xNN" (two lowercase hex digits), one per byte. Every other
// character is left as it is, so one name always prints as one field and can be read back.
QByteArray printedName(const QString& name);

}  // namespace platform
