#pragma once
// Text shown safely on one terminal line.

#include <string>
#include <string_view>

namespace vantrell {

// text in double quotes as typed, but for what would change how a terminal shows the
// line: controls, line and paragraph separators and direction marks as \xNN or \u{XXXX},
// bytes that are not UTF-8 as \xNN; '"' and '\' with a backslash.
std::string Quoted(std::string_view text);

} // namespace vantrell
