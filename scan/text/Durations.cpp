#include "Durations.h"

#include "Grouping.h"

#include <array>

namespace vantrell {

std::string QuarterSecondsText(std::uint64_t count, std::uint64_t factor)
{
    // count * factor can pass 2^64: split count at whole days first.
    constexpr std::uint64_t kQuartersPerDay = 4 * 86'400;
    const std::uint64_t rest = (count % kQuartersPerDay) * factor;
    const std::uint64_t days = (count / kQuartersPerDay) * factor + rest / kQuartersPerDay;
    std::uint64_t quarters = rest % kQuartersPerDay;
    const std::uint64_t hours = quarters / (4 * 3600);
    quarters %= 4 * 3600;
    const std::uint64_t minutes = quarters / (4 * 60);
    quarters %= 4 * 60;

    std::string text;
    const auto part = [&](std::uint64_t n, const char* unit) {
        if (n == 0)
            return;
        if (!text.empty())
            text += ' ';
        text += Grouped(n);
        text += ' ';
        text += unit;
    };
    part(days, "d");
    part(hours, "h");
    part(minutes, "min");
    if (quarters > 0) {
        static constexpr std::array<const char*, 4> kFraction = {"", ".25", ".5", ".75"};
        if (!text.empty())
            text += ' ';
        text += Digits(quarters / 4);
        text += kFraction[quarters % 4];
        text += " s";
    }
    if (text.empty())
        return "0 s";
    if (days >= 366) {
        // Gregorian years, 146,097 days in 400 of them: to a tenth below a hundred years,
        // whole ones above.
        std::string years;
        if (days < 36'525) {
            const std::uint64_t tenths = (days * 4000 + 146'097 / 2) / 146'097;
            years = Grouped(tenths / 10);
            if (tenths % 10 != 0) {
                years += '.';
                years += Digits(tenths % 10);
            }
        } else {
            years = Grouped(days / 146'097 * 400 + days % 146'097 * 400 / 146'097);
        }
        text += " (about ";
        text += years;
        text += years == "1" ? " year)" : " years)";
    }
    return text;
}

} // namespace vantrell
