// Opening a large area file: a GPX track of 100,000 points, about 10 MB, read from memory,
// against copying its bytes once, the least any reader of it does.

#include "AreaFile.h"
#include "Bench.h"

#include <benchmark/benchmark.h>

#include <string>

namespace vantrell::bench {
namespace {

// What a GPS receiver records once a second: position, elevation, time.
const std::string& TenMegabyteGpx()
{
    static const std::string gpx = [] {
        std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\" creator=\"bench\" "
                           "xmlns=\"http://www.topografix.com/GPX/1/1\">\n<trk><name>Walk</name><trkseg>\n";
        for (int i = 0; i < kGpxPoints; ++i) {
            const int second = i % 60, minute = i / 60 % 60, hour = i / 3600;
            text += "<trkpt lat=\"45." + std::to_string(100000 + i) + "\" lon=\"-122." + std::to_string(900000 - i) +
                    "\"><ele>" + std::to_string(100 + i % 50) + ".5</ele><time>2024-05-01T" +
                    std::to_string(10 + hour) + ":" + std::to_string(10 + minute % 50) + ":" +
                    std::to_string(10 + second % 50) + "Z</time><sat>7</sat></trkpt>\n";
        }
        return text + "</trkseg></trk>\n</gpx>\n";
    }();
    return gpx;
}

void BM_ReadGpx(benchmark::State& state)
{
    const std::string& gpx = TenMegabyteGpx();
    std::string error;
    for (auto _ : state) {
        const std::optional<Area> area = ReadAreaText(gpx, "walk.gpx", error);
        if (!area || area->paths.size() != 1 || area->paths[0].size() != kGpxPoints) {
            state.SkipWithError("the track did not read whole");
            return;
        }
        benchmark::DoNotOptimize(area->paths[0].data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * gpx.size()));
    state.counters["MB"] = static_cast<double>(gpx.size()) / 1e6;
}
BENCHMARK(BM_ReadGpx)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_CopyGpx(benchmark::State& state)
{
    const std::string& gpx = TenMegabyteGpx();
    for (auto _ : state) {
        std::string copy = gpx;
        benchmark::DoNotOptimize(copy.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * gpx.size()));
}
BENCHMARK(BM_CopyGpx)->Unit(benchmark::kMillisecond)->MinTime(1.0);

} // namespace
} // namespace vantrell::bench
