#include "TemporaryName.h"

#include <atomic>
#include <charconv>
#include <chrono>
#include <random>

namespace vantrell {

TemporarySuffix MakeTemporarySuffix(unsigned long process, std::uint64_t random) noexcept
{
    TemporarySuffix suffix;
    char* p = suffix.text;
    char* const end = suffix.text + sizeof suffix.text - 1;
    *p++ = '.';
    p = std::to_chars(p, end, process).ptr;
    *p++ = '-';
    static constexpr char kHex[] = "0123456789abcdef";
    for (int shift = 60; shift >= 0; shift -= 4)
        *p++ = kHex[(random >> shift) & 0xf];
    for (const char c : std::string_view(".tmp"))
        *p++ = c;
    *p = '\0';
    suffix.size = static_cast<std::size_t>(p - suffix.text);
    return suffix;
}

std::optional<unsigned long> TemporaryOwner(std::string_view name, std::string_view fileName) noexcept
{
    constexpr std::string_view kExtension = ".tmp";
    if (name.size() <= fileName.size() + 1 + kExtension.size() || name.substr(0, fileName.size()) != fileName ||
        name[fileName.size()] != '.' || name.substr(name.size() - kExtension.size()) != kExtension)
        return std::nullopt;
    const std::string_view middle =
        name.substr(fileName.size() + 1, name.size() - fileName.size() - 1 - kExtension.size());
    unsigned long process = 0;
    const auto [dash, error] = std::from_chars(middle.data(), middle.data() + middle.size(), process);
    if (error != std::errc() || dash == middle.data() || dash == middle.data() + middle.size() || *dash != '-')
        return std::nullopt;
    const std::string_view rest(dash + 1, static_cast<std::size_t>(middle.data() + middle.size() - dash - 1));
    if (rest.empty())
        return std::nullopt;
    for (const char c : rest) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return std::nullopt;
    }
    return process;
}

std::uint64_t RandomBits() noexcept
{
    static std::atomic<std::uint64_t> counter{0};
    std::uint64_t bits = 0;
    try {
        std::random_device source;
        bits = (static_cast<std::uint64_t>(source()) << 32) ^ source();
    } catch (...) {
        // No random source: the clock still makes the name hard to guess in advance.
    }
    bits ^= static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    // splitmix64 over a counter: calls differ even when the random source is missing.
    std::uint64_t z = bits + 0x9e3779b97f4a7c15u * (counter.fetch_add(1, std::memory_order_relaxed) + 1);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
    return z ^ (z >> 31);
}

} // namespace vantrell
