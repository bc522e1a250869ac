#pragma once
// Numbers as the plan prints them: locale-free, shortest exact form, digits grouped.

#include <charconv>
#include <cstdint>
#include <string>

namespace vantrell {

// A number as to_chars writes it: no locale, the shortest form that reads back exactly.
template <class Number>
inline std::string Digits(Number n)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, n);
    return std::string(text, result.ptr);
}

// n with a comma between groups of three digits, locale-free: "-1,234,567".
std::string Grouped(std::int64_t n);
std::string Grouped(std::uint64_t n);
// A whole number held in a double, of any size, grouped the same way ("1.5e30" in full).
// Not a finite whole number: "0".
std::string GroupedWhole(double n);

} // namespace vantrell
