#include "Quoting.h"

#include "Utf8.h"

namespace vantrell {

namespace {

// Characters a terminal would not show as themselves: controls, line and paragraph
// separators, and the marks that reorder or redirect text.
bool Unshowable(char32_t c)
{
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x061c || c == 0x200e || c == 0x200f ||
           (c >= 0x2028 && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069);
}

} // namespace

std::string Quoted(std::string_view text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        std::size_t used = 1;
        const std::optional<char32_t> code = DecodeUtf8(text, i, used);
        if (!code || (*code < 0x80 && Unshowable(*code))) {
            const auto byte = static_cast<unsigned char>(text[i]);
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xf];
        } else if (Unshowable(*code)) {
            out += "\\u{";
            for (int shift = 12; shift >= 0; shift -= 4)
                out += kHex[(*code >> shift) & 0xf];
            out += '}';
        } else {
            if (*code == '"' || *code == '\\')
                out += '\\';
            out.append(text, i, used);
        }
        i += used;
    }
    out += '"';
    return out;
}

} // namespace vantrell
