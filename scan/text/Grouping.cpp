#include "Grouping.h"

#include <cmath>

namespace vantrell {
namespace {

std::string GroupDigits(const std::string& digits)
{
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

} // namespace

std::string Grouped(std::uint64_t n)
{
    return GroupDigits(Digits(n));
}

std::string Grouped(std::int64_t n)
{
    // The magnitude as unsigned, so the most negative value has one too.
    const std::uint64_t magnitude = n < 0 ? 0 - static_cast<std::uint64_t>(n) : static_cast<std::uint64_t>(n);
    std::string out = n < 0 ? "-" : "";
    out += Grouped(magnitude);
    return out;
}

std::string GroupedWhole(double n)
{
    if (!std::isfinite(n) || n != std::trunc(n))
        return "0";
    char text[320]; // the largest double has 309 digits
    const auto result = std::to_chars(text, text + sizeof text, std::abs(n), std::chars_format::fixed, 0);
    std::string out = n < 0 ? "-" : "";
    out += GroupDigits(std::string(text, result.ptr));
    return out;
}

} // namespace vantrell
