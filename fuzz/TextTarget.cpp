// Any bytes through the form's text-to-number rule, against the C library's own reading
// of a decimal number (strtoll in the "C" locale, which the targets never leave), clamped
// to the int32 limits; and through the readers of a plan file and of the LookAt file,
// which read or refuse, and give back a request that reads the same when written again.

#include "Check.h"
#include "LookAtDocument.h"
#include "RequestFile.h"
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

    std::string error;
    if (const std::optional<vantrell::ScanRequest> values = vantrell::ReadPlanText(text, "fuzz", error)) {
        const std::string again = "<kml><Document>" + vantrell::RequestExtendedData(*values, "\n") +
                                  "</Document></kml>";
        vantrell::fuzz::g_input = "a request that does not read back: \"" + text.substr(0, 200) + "\"";
        FUZZ_CHECK(vantrell::ReadPlanText(again, "fuzz", error) == values);
    }
    static_cast<void>(vantrell::WrittenPointOf(text));
    return 0;
}
