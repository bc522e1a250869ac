#include "Grouping.h"

namespace vantrell {

std::string Grouped(std::uint64_t n)
{
    const std::string digits = Digits(n);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

std::string Grouped(std::int64_t n)
{
    // The magnitude as unsigned, so the most negative value has one too.
    const std::uint64_t magnitude = n < 0 ? 0 - static_cast<std::uint64_t>(n) : static_cast<std::uint64_t>(n);
    std::string out = n < 0 ? "-" : "";
    out += Grouped(magnitude);
    return out;
}

} // namespace vantrell
