#pragma once
#include <cstdint>
#include <string_view>

namespace vantrell {

// The form's text-to-number rule, as atoi reads text: leading white space, an optional
// sign, then decimal digits up to the first other character; empty or non-numeric text
// gives 0. Digit strings beyond the int32 range saturate at its limits, and set *capped
// where it is given. Locale-free.
std::int32_t TextToInt32(std::string_view text, bool* capped = nullptr) noexcept;

} // namespace vantrell
