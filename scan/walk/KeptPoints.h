#pragma once
// Which points of one pass a walk kept to an area writes: a bit a point, made once per
// job before its worker starts (KeepPoints in AreaWalk.h) and never changed after, so
// the worker and the planner may share it. Asking costs arithmetic only: a walked point
// allocates nothing.

#include "Area.h"

#include <bit>
#include <cstdint>
#include <string>
#include <memory>
#include <utility>
#include <vector>

namespace vantrell {

class KeptPoints {
public:
    // A pass of `points` points of which none is kept yet, kept to area (never null)
    // with paths widened by corridorTenths either side.
    // tooLarge: the pass has more points than a kept set may hold, and none is walked.
    KeptPoints(std::uint64_t points, std::shared_ptr<const Area> area, std::int32_t corridorTenths,
               bool tooLarge = false)
        : m_points(points), m_area(std::move(area)), m_corridorTenths(corridorTenths), m_tooLarge(tooLarge),
          m_bits(tooLarge ? 0 : static_cast<std::size_t>((points + 63) / 64), 0)
    {
    }

    // index: the point's number in the pass, from 1.
    void Keep(std::uint64_t index)
    {
        std::uint64_t& word = m_bits[static_cast<std::size_t>((index - 1) / 64)];
        const std::uint64_t bit = std::uint64_t{1} << ((index - 1) % 64);
        m_kept += (word & bit) == 0;
        word |= bit;
    }
    bool Contains(std::uint64_t index) const
    {
        if (index == 0 || index > m_points || m_tooLarge)
            return false;
        return (m_bits[static_cast<std::size_t>((index - 1) / 64)] >> ((index - 1) % 64)) & 1u;
    }

    // Kept points up to and including pass point index: its number among the kept.
    std::uint64_t Rank(std::uint64_t index) const
    {
        if (m_tooLarge || index == 0)
            return 0;
        const std::uint64_t end = index < m_points ? index : m_points;
        std::uint64_t rank = 0;
        for (std::size_t w = 0; w < end / 64; ++w)
            rank += static_cast<std::uint64_t>(std::popcount(m_bits[w]));
        if (end % 64 != 0)
            rank += static_cast<std::uint64_t>(
                std::popcount(m_bits[static_cast<std::size_t>(end / 64)] & ((std::uint64_t{1} << (end % 64)) - 1)));
        return rank;
    }

    // Whether any point from first to last (pass numbers from 1, both included) is kept;
    // a word of bits at a time.
    bool AnyIn(std::uint64_t first, std::uint64_t last) const
    {
        if (m_tooLarge || first == 0)
            return false;
        last = last < m_points ? last : m_points;
        for (std::uint64_t i = first; i <= last;) {
            const auto bit = static_cast<unsigned>((i - 1) % 64);
            std::uint64_t word = m_bits[static_cast<std::size_t>((i - 1) / 64)] >> bit;
            const std::uint64_t left = last - i + 1;
            const std::uint64_t span = left < 64 - bit ? left : 64 - bit;
            if (span < 64)
                word &= (std::uint64_t{1} << span) - 1;
            if (word != 0)
                return true;
            i += span;
        }
        return false;
    }

    std::uint64_t Points() const { return m_points; } // of the whole pass
    std::uint64_t Kept() const { return m_kept; }
    bool TooLarge() const { return m_tooLarge; }
    const std::string& AreaName() const { return m_area->fileName; }
    // The area itself and its corridor, for the preview and the plan file.
    const Area& KeptArea() const { return *m_area; }
    const std::shared_ptr<const Area>& SharedArea() const { return m_area; }
    std::int32_t CorridorTenths() const { return m_corridorTenths; }

private:
    std::uint64_t m_points;
    std::uint64_t m_kept = 0;
    std::shared_ptr<const Area> m_area;
    std::int32_t m_corridorTenths;
    bool m_tooLarge;
    std::vector<std::uint64_t> m_bits;
};

// The most points a pass kept to an area may have: 8 MiB of bits, and seconds to make.
inline constexpr std::uint64_t kMaxKeptPass = std::uint64_t{1} << 26;

} // namespace vantrell
