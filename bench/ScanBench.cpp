// The walk alone: whole passes into a writer and a sleeper that do nothing, so what is
// left is the walk's own arithmetic and its two virtual calls per point.

#include "AreaShare.h"
#include "AreaWalk.h"
#include "Bench.h"
#include "LookAtDocument.h"
#include "PassCount.h"
#include "ScanJob.h"
#include "ViewShare.h"

#include <benchmark/benchmark.h>

#include <cmath>

namespace vantrell::bench {
namespace {

class CNullWriter final : public IPointWriter {
public:
    void WritePoint(float, float, std::int32_t) override { ++points; }
    std::uint64_t points = 0;
};

class CNoSleeper final : public ISleeper {
public:
    void Sleep(std::uint64_t) override {}
};

// Args: miles east, miles south, resolution in tenths of a mile (0: the default 0.25).
void BM_Pass(benchmark::State& state)
{
    CNullWriter writer;
    CNoSleeper sleeper;
    CScanJob job({45, 30, 0, "North", 122, 40, 0, "West", static_cast<std::int32_t>(state.range(0)),
                  static_cast<std::int32_t>(state.range(1)), 0, 1000, static_cast<std::int32_t>(state.range(2))},
                 writer, sleeper);
    for (auto _ : state) {
        if (!job.RunPass()) {
            state.SkipWithError("the request yields no points");
            return;
        }
    }
    const auto points = static_cast<double>(writer.points);
    state.counters["points/s"] = benchmark::Counter(points, benchmark::Counter::kIsRate);
    state.counters["points/pass"] = points / static_cast<double>(state.iterations());
}
BENCHMARK(BM_Pass)
    ->ArgNames({"east", "south", "tenths"})
    ->Args({1, 1, 0})
    ->Args({10, 10, 1})
    ->Args({100, 100, 1})
    ->Unit(benchmark::kMicrosecond);

// A road of 100,000 vertices that winds south-east across some 250 by 250 miles, walked
// at a quarter mile (about 1,000,000 points a pass) with a 620 m view.
Area WindingTrack()
{
    Area area;
    area.fileName = "track.gpx";
    GeoPath& track = area.paths.emplace_back();
    constexpr int kVertices = 100'000;
    for (int i = 0; i < kVertices; ++i) {
        const double t = static_cast<double>(i) / (kVertices - 1);
        track.push_back({40.0 - 3.6 * t + 0.05 * std::sin(t * 400.0), -100.0 + 4.7 * t + 0.05 * std::cos(t * 310.0)});
    }
    return area;
}

// The kept set of that pass, with the default corridor.
void BM_KeepPoints(benchmark::State& state)
{
    const Area area = WindingTrack();
    ScanRequest user;
    user.range = 620;
    const std::optional<ScanRequest> r = RequestForArea(area, user);
    CNullWriter writer;
    CNoSleeper sleeper;
    CScanJob job(*r, writer, sleeper);
    std::uint64_t kept = 0, points = 0;
    for (auto _ : state) {
        const std::shared_ptr<const KeptPoints> set = KeepPoints(job, area);
        kept = set->Kept();
        points = set->Points();
    }
    state.counters["points/pass"] = static_cast<double>(points);
    state.counters["kept"] = static_cast<double>(kept);
}
BENCHMARK(BM_KeepPoints)->Unit(benchmark::kMillisecond)->UseRealTime();

// The share in view measured over a whole pass, as the plan measures it for each figure it
// gives. Args as BM_Pass, with the range in metres last.
void BM_ViewShare(benchmark::State& state)
{
    CScanJob job({45, 30, 0, "North", 122, 40, 0, "West", static_cast<std::int32_t>(state.range(0)),
                  static_cast<std::int32_t>(state.range(1)), 0, static_cast<std::int32_t>(state.range(3)),
                  static_cast<std::int32_t>(state.range(2))},
                 Discard(), Discard());
    const std::optional<PassShape> shape = CountPass(job);
    if (!shape) {
        state.SkipWithError("the request yields no points");
        return;
    }
    const RequestCheck check = job.Check();
    const CRequestRectangle area(check, job.m_nMilesEast, job.m_nMilesSouth);
    for (auto _ : state)
        benchmark::DoNotOptimize(MeasuredShare(check, *shape, job.m_nRange, area));
    state.counters["points/pass"] = static_cast<double>(shape->points);
}
// The share in view of the winding track's corridor, over its kept points: the area's
// ground made once, then measured as the plan measures it.
void BM_KeptShare(benchmark::State& state)
{
    const Area area = WindingTrack();
    ScanRequest user;
    user.range = 620;
    CScanJob job(*RequestForArea(area, user), Discard(), Discard());
    job.KeepTo(KeepPoints(job, area));
    const std::optional<PassShape> shape = CountPass(job);
    const CAreaGround ground(area, kDefaultCorridorTenths);
    double share = 0.0;
    for (auto _ : state)
        share = MeasuredKeptShare(job.Check(), *shape, job.m_nRange, *job.Kept(), ground).value_or(-1.0);
    state.counters["points/pass"] = static_cast<double>(shape->points);
    state.counters["share"] = share;
}
BENCHMARK(BM_KeptShare)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_ViewShare)
    ->ArgNames({"east", "south", "tenths", "range"})
    ->Args({250, 250, 0, 620})       // 1,001,000 points in rows of 1,000
    ->Args({1, 500'000, 10, 2480})   // 1,000,000 points in rows of 1
    ->Args({0, 250'000, 0, 620})     // 1,000,000 points due south
    ->Args({250, 250, 0, 2'000'000}) // views thousands of rows tall
    ->Unit(benchmark::kMillisecond);

// What formatting adds to every file write; both writers below pay it.
void BM_FormatLookAt(benchmark::State& state)
{
    char document[kLookAtDocumentMax];
    float latitude = 45.5f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FormatLookAt(document, latitude, -122.666664f, 1000));
        benchmark::ClobberMemory();
        latitude -= 0.0036f;
    }
}
BENCHMARK(BM_FormatLookAt);

} // namespace
} // namespace vantrell::bench
