#include "Utf8.h"

namespace vantrell {

// The code point of the UTF-8 sequence at text[i], its length in used; nothing for a
// byte that starts no well-formed sequence.
std::optional<char32_t> DecodeUtf8(std::string_view text, std::size_t i, std::size_t& used)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    char32_t code = 0;
    char32_t least = 0;
    if (lead < 0x80) {
        used = 1;
        return lead;
    } else if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2, code = lead & 0x1fu, least = 0x80;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3, code = lead & 0x0fu, least = 0x800;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4, code = lead & 0x07u, least = 0x10000;
    } else {
        return std::nullopt;
    }
    if (i + length > text.size())
        return std::nullopt;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xc0u) != 0x80u)
            return std::nullopt;
        code = (code << 6) | (byte(i + k) & 0x3fu);
    }
    if (code < least || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff))
        return std::nullopt;
    used = length;
    return code;
}

} // namespace vantrell
