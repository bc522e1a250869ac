#pragma once
// UTF-8: appending a code point, and decoding one.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vantrell {

// c must be a Unicode scalar value (not a surrogate, at most U+10FFFF).
inline void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The code point of the UTF-8 sequence at text[i], its length in used; nothing for a
// byte that starts no well-formed sequence.
std::optional<char32_t> DecodeUtf8(std::string_view text, std::size_t i, std::size_t& used);

} // namespace vantrell
