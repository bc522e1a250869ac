#pragma once
// How much imagery one pass makes the viewer load, against what its disk cache holds. The
// model: the viewer loads 256-pixel Web Mercator tiles, a tile of level z being
// t(z) = kEquatorMetres * cos(phi) / 2^z metres wide at the pass's middle latitude phi, and
// shows a view with the finest level z* (0 to 21) whose texels are no larger than the
// window's pixels, t(z*) / 256 <= W / P (W the view's width, ViewFootprint.h; P the
// window's width in pixels). A pass covers G = points * step^2 of ground, so it loads
// T = ceil(G / t(z*)^2) * 4 / 3 tiles, the coarser levels included, of about 15 KB each.
// Points are those the pass writes; and where they lie further apart than a view is wide
// or tall, the ground between the views is never shown, so a point counts only its view's
// width and height: G = points * min(step, W) * min(step, H).

#include "PassCount.h"

#include <cstdint>
#include <optional>

namespace vantrell {

inline constexpr double kEquatorMetres = 40'075'016.686;
inline constexpr int kTilePixels = 256;
inline constexpr int kFinestLevel = 21;
inline constexpr std::int64_t kBytesPerTile = 15'360;
inline constexpr std::int64_t kBytesPerMegabyte = 1'048'576;
inline constexpr std::int64_t kCacheMegabytes = 2'000; // the most the viewer keeps on disk
inline constexpr int kDefaultWindowPixels = 1'920;
inline constexpr int kMaxWindowPixels = 32'768;

// One pass's imagery. Figures that may pass any integer are doubles holding whole numbers.
struct ImageryLoad {
    double latitude = 0.0;    // MiddleLatitude, degrees
    int level = kFinestLevel; // z*
    double tileWidth = 0.0;   // t(z*), metres
    double tiles = 0.0;       // T, whole
    double megabytes = 0.0;   // whole MB, at least 1
    std::uint64_t points = 0; // the pass's points that are written: the kept ones, for an area
};

// What keeps a pass within the cache.
struct CacheFit {
    // The smallest Range whose views load a level that fits; nothing where none does, or
    // where that range is beyond the field.
    std::optional<std::int32_t> range;
    std::optional<std::int32_t> resolution; // the largest with no gap at range
    double scans = 1.0;                     // ceil(megabytes / kCacheMegabytes), whole
};

// Degrees halfway between the pass's northernmost and southernmost points, as walked.
double MiddleLatitude(const CScanJob& job, const PassShape& shape);

// windowPixels is taken as 1 to kMaxWindowPixels (others as the nearer end). A range of 0
// or less shows nothing, so it asks for the finest level; a middle latitude past Web
// Mercator's edge (about 85.05 degrees) counts as that edge, where its tiles end.
ImageryLoad LoadOfPass(const CScanJob& job, const PassShape& shape, int windowPixels);

// Nothing where load (LoadOfPass of the same shape and window) fits within kCacheMegabytes.
std::optional<CacheFit> FitInCache(const PassShape& shape, int windowPixels, const ImageryLoad& load);

} // namespace vantrell
