// Names as the command-line tools print them: one name, one field, whatever its bytes.

#include "platform/FileNames.h"
#include "platform/PrintedNames.h"

#include <gtest/gtest.h>

namespace {

TEST(PrintedNames, ControlsBackslashesAndBrokenUtf8AreEscapedTheRestKept) {
    struct Case {
        QByteArray name, printed;
    };
    // clang-format off
    const Case cases[] = {
        {"/roms/Game (E) [!].smc", "/roms/Game (E) [!].smc"},
        {"a\tb", "a\\tb"},
        {"a\nb", "a\\nb"},
        {"a\\b", "a\\\\b"},
        {"\\x41", "\\\\x41"},  // reads back as itself, not as "A"
        {"x.smc -> y.smc\n/roms/z.smc", "x.smc -> y.smc\\n/roms/z.smc"},
        {"\r\x1b[2J\x7f\x01", "\\x0d\\x1b[2J\\x7f\\x01"},
        {"\xc3\xa9 \xe3\x82\xbc \xf0\x9f\x98\x80 \xc2\xa0",
         "\xc3\xa9 \xe3\x82\xbc \xf0\x9f\x98\x80 \xc2\xa0"},
        {"\xc2\x9b" "1m", "\\xc2\\x9b" "1m"},  // a C1 control (CSI)
        {"-r\xe9ms", "-r\\xe9ms"},  // Latin-1
        {"\xff\xfe", "\\xff\\xfe"},
        {"end\xc3", "end\\xc3"},  // cut short
        {"\xe3\x82", "\\xe3\\x82"},
        {"\xc0\xaf", "\\xc0\\xaf"},  // overlong
        {"\xe0\x80\xaf", "\\xe0\\x80\\xaf"},  // overlong
        {"\xed\xa0\x80", "\\xed\\xa0\\x80"},  // a surrogate
        {"\xf4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"},  // past U+10FFFF
        {"\xf4\x8f\xbf\xbf", "\xf4\x8f\xbf\xbf"},  // U+10FFFF itself
        {"\xe2\x82" "a", "\\xe2\\x82" "a"},
        {"", ""},
    };
    // clang-format on
    for (const Case& c : cases)
        EXPECT_EQ(platform::printedName(platform::decodeName(c.name)), c.printed)
            << c.name.toHex().constData();
}

}  // namespace
