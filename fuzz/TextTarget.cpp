// Any bytes through the form's text-to-number rule, against the C library's own reading
// of a decimal number (strtoll in the "C" locale, which the targets never leave), clamped
// to the int32 limits.

#include "Check.h"
#include "TextToNumber.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    // strtoll stops at the first NUL; the rule must too, since NUL is neither space nor digit.
    errno = 0;
    long long reference = std::strtoll(text.c_str(), nullptr, 10);
    if (reference > std::numeric_limits<std::int32_t>::max())
        reference = std::numeric_limits<std::int32_t>::max();
    if (reference < std::numeric_limits<std::int32_t>::min())
        reference = std::numeric_limits<std::int32_t>::min();
    const std::int32_t got = vantrell::TextToInt32(std::string_view(text));
    if (got != reference) {
        vantrell::fuzz::g_input = "\"" + text.substr(0, 200) + "\": got " + std::to_string(got) +
                                  ", the C library reads " + std::to_string(reference);
        FUZZ_CHECK(got == reference);
    }
    return 0;
}
