// Text of a file shown in a message: control characters written out.
#include <gtest/gtest.h>

#include <string>

#include "frontend/MessageText.h"
#include "frontend/TextFile.h"

namespace quarvo {
namespace {

TEST(MessageText, ControlCharactersAreWrittenAsTheirBytes) {
    EXPECT_EQ(ShownText(std::string("a\0b", 3)), "a\\x00b");
    EXPECT_EQ(ShownText("\x1B[31mred\r\n\t\x7F"), "\\x1B[31mred\\x0D\\x0A\\x09\\x7F");
    EXPECT_EQ(ShownText(""), "");
}

TEST(MessageText, PrintableTextIsKeptWhole) {
    EXPECT_EQ(ShownText("état « A_1 » € \\ \"i\""), "état « A_1 » € \\ \"i\"");
}

TEST(MessageText, TheC1ControlsOfWindows1252BytesAreWrittenAsThoseBytes) {
    // 0x81 and 0x9D have no character in Windows-1252: they decode to U+0081 and U+009D.
    EXPECT_EQ(ShownText(DecodeWindows1252("x\x81y\x9D" "z\x80")), "x\\x81y\\x9Dz€");
    // A lone C2 byte or one before a printable character is no control.
    EXPECT_EQ(ShownText("\xC2\xA0"), "\xC2\xA0");
}

TEST(MessageText, FileMessagesShowTheControlCharactersOfTheName) {
    const TextFileResult read = ReadTextFile(std::string("/nonexistent/a\nb\0c", 18));
    EXPECT_EQ(read.status.message().find('\n'), std::string::npos) << read.status.message();
    EXPECT_NE(read.status.message().find("a\\x0Ab"), std::string::npos) << read.status.message();
}

}  // namespace
}  // namespace quarvo
