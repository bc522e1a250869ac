#include "TextToNumber.h"

#include <limits>

namespace vantrell {

std::int32_t TextToInt32(std::string_view text, bool* capped) noexcept
{
    if (capped)
        *capped = false;
    std::size_t i = 0;
    // isspace in the "C" locale, spelled out so no locale can change it.
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulate as a negative magnitude: INT32_MIN has no positive twin.
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 - (text[i] - '0');
        if (value < kMin || (value == kMin && !negative)) {
            value = kMin;
            if (capped)
                *capped = true;
            if (!negative)
                return std::numeric_limits<std::int32_t>::max();
        }
    }
    if (negative)
        return static_cast<std::int32_t>(value);
    return value < -std::numeric_limits<std::int32_t>::max()
        ? std::numeric_limits<std::int32_t>::max()
        : static_cast<std::int32_t>(-value);
}

} // namespace vantrell
