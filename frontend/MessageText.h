// Text taken from a file, made fit to show in a message.
#pragma once

#include <string>
#include <string_view>

namespace quarvo {

// text (UTF-8, as messages are) with every control character written as the
// byte it stands for, "\x" and two upper-case hexadecimal digits: the C0
// controls (NUL, ESC, CR, LF...), DEL, and the C1 controls U+0080..U+009F
// (which a Windows-1252 byte without a character of its own decodes to).
// A message shown on a terminal then never carries a byte that drives it,
// and one shown in a window never hides part of the text.
std::string ShownText(std::string_view text);

}  // namespace quarvo
