#pragma once
// Names of the temporary files a replacement passes through:
// "<file>.<process>-<16 hex digits>.tmp", beside the file it replaces. The process number
// lets a later start tell a dead writer's leftovers from a live writer's file; the random
// part makes the name hard to guess before it first appears.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace vantrell {

// ".<process>-<16 hex>.tmp" with a terminating zero.
struct TemporarySuffix {
    char text[48] = {};
    std::size_t size = 0;
};

TemporarySuffix MakeTemporarySuffix(unsigned long process, std::uint64_t random) noexcept;

// The process number of name, when name is fileName's temporary by the pattern above
// (any run of digits after the dash, so the numbered names of older versions match too).
std::optional<unsigned long> TemporaryOwner(std::string_view name, std::string_view fileName) noexcept;

// 64 bits from the platform's random source, mixed with a counter and the clock.
std::uint64_t RandomBits() noexcept;

} // namespace vantrell
