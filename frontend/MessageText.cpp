// Control characters of a file's text written out for a message.
#include "frontend/MessageText.h"

namespace quarvo {
namespace {

void AppendEscaped(std::string& out, unsigned char byte) {
    constexpr char Digits[] = "0123456789ABCDEF";
    out += "\\x";
    out += Digits[byte >> 4];
    out += Digits[byte & 0xF];
}

}  // namespace

std::string ShownText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte == 0x7F) {
            AppendEscaped(out, byte);
        } else if (byte == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            // U+0080..U+009F, encoded C2 80..C2 9F: the control it is.
            AppendEscaped(out, static_cast<unsigned char>(text[++i]));
        } else {
            out += static_cast<char>(byte);
        }
    }
    return out;
}

}  // namespace quarvo
