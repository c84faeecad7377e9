#pragma once
// Text from elsewhere (a server's reply, a file's name, an error's description) made fit to
// show in a notice: valid UTF-8 on one line that nothing in it can steer.

#include <cstddef>
#include <string>
#include <string_view>

namespace tunelift {

// `text` with each run of line breaks, tabs and other whitespace controls (C0, C1, U+2028,
// U+2029) as one space between words and none at either end, every other control and every
// invisible formatting character (the bidirectional overrides and isolates, zero-width
// characters, the byte-order mark) left out, and bytes that are not UTF-8 as U+FFFD. Spaces
// stay as they are. Past `longest` characters it is cut and ends with "…".
std::string PlainText(std::string_view text, std::size_t longest);

}  // namespace tunelift
