// Runs every benchmark in a fresh scratch directory, then sums up the runs as ratios
// measured in this same run: our writer against the raw-call baseline, and the walk's
// own cost against a file write, reading a 10 MB GPX file against copying its bytes.

#include "Bench.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace vantrell::bench {
namespace {

// Interleaved rounds of each writer; the median of their ratios shrugs off a few
// rounds that a busy machine slowed down.
constexpr int kWriterRounds = 15;
constexpr double kWriterRoundSeconds = 0.2;

// The writers replace files in the working directory: give them one of their own.
class CScratchDirectory {
public:
    CScratchDirectory()
    {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/vantrell-bench-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            Fail("mkdtemp");
        m_path = pattern;
        m_previous = std::filesystem::current_path();
        if (::chdir(m_path.c_str()) != 0)
            Fail("chdir");
    }
    ~CScratchDirectory()
    {
        std::error_code ignored;
        std::filesystem::current_path(m_previous, ignored);
        std::filesystem::remove_all(m_path, ignored);
    }
    CScratchDirectory(const CScratchDirectory&) = delete;
    CScratchDirectory& operator=(const CScratchDirectory&) = delete;

private:
    [[noreturn]] static void Fail(const char* what)
    {
        std::fprintf(stderr, "vantrell_bench: %s: %s\n", what, std::strerror(errno));
        std::exit(1);
    }

    std::string m_path;
    std::filesystem::path m_previous;
};

// Passes every report on to the usual display and keeps the successful runs.
class CKeepingReporter final : public benchmark::BenchmarkReporter {
public:
    explicit CKeepingReporter(benchmark::BenchmarkReporter& display) : m_display(display) {}

    bool ReportContext(const Context& context) override { return m_display.ReportContext(context); }
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                kept.push_back(run);
        }
        m_display.ReportRuns(runs);
    }
    void Finalize() override { m_display.Finalize(); }

    std::vector<Run> kept;

private:
    benchmark::BenchmarkReporter& m_display;
};

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Seconds per iteration, wall clock.
double RealSeconds(const benchmark::BenchmarkReporter::Run& run)
{
    return run.real_accumulated_time / static_cast<double>(run.iterations);
}

bool StartsWith(const std::string& text, std::string_view prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

void Summarise(const std::vector<benchmark::BenchmarkReporter::Run>& runs)
{
    std::printf("\n");
    double walkSecondsPerPoint = 0;
    // Per round: our seconds per point, the baseline's. A round missing either is dropped.
    std::map<int, std::pair<double, double>> rounds;
    double readGpxSeconds = 0, copyGpxSeconds = 0;
    for (const auto& run : runs) {
        const std::string name = run.benchmark_name();
        if (StartsWith(name, kReadGpxName) || StartsWith(name, kCopyGpxName)) {
            (StartsWith(name, kReadGpxName) ? readGpxSeconds : copyGpxSeconds) = RealSeconds(run);
            continue;
        }
        if (StartsWith(name, kPassName)) {
            const auto rate = run.counters.find("points/s");
            if (rate == run.counters.end() || rate->second.value <= 0)
                continue;
            std::printf("pass throughput %s: %.3g points/s\n", name.c_str() + kPassName.size(),
                        rate->second.value);
            walkSecondsPerPoint = std::max(walkSecondsPerPoint, 1.0 / rate->second.value);
            continue;
        }
        if (StartsWith(name, kKeepName)) {
            const auto points = run.counters.find("points/pass"), kept = run.counters.find("kept");
            if (points != run.counters.end() && kept != run.counters.end())
                std::printf("kept set of a %.0f-point pass against a 100,000-vertex track: %.0f ms (%.0f kept)\n",
                            points->second.value, RealSeconds(run) * 1e3, kept->second.value);
            continue;
        }
        const bool ours = StartsWith(name, kOurWriterName);
        if (!ours && !StartsWith(name, kBaselineWriterName))
            continue;
        const std::size_t tag = name.find(kRoundTag);
        if (tag == std::string::npos)
            continue;
        const int round = std::atoi(name.c_str() + tag + kRoundTag.size());
        auto& pair = rounds.try_emplace(round, 0.0, 0.0).first->second;
        (ours ? pair.first : pair.second) = RealSeconds(run);
    }

    if (readGpxSeconds > 0 && copyGpxSeconds > 0)
        std::printf("10 MB GPX, %d points: read in %.1f ms, %.0f times a copy of its bytes (%.2f ms); "
                    "the bound is 1,000 ms\n",
                    kGpxPoints, readGpxSeconds * 1e3, readGpxSeconds / copyGpxSeconds, copyGpxSeconds * 1e3);

    std::vector<double> ratios, oursTimes, baselineTimes;
    for (const auto& [round, times] : rounds) {
        if (times.first <= 0 || times.second <= 0)
            continue;
        ratios.push_back(times.second / times.first);
        oursTimes.push_back(times.first);
        baselineTimes.push_back(times.second);
    }
    if (ratios.empty())
        return;
    const double oursMedian = Median(oursTimes);
    std::printf("file write per point: CLookAtFile %.2f us, raw POSIX calls %.2f us "
                "(medians of %zu interleaved rounds)\n",
                oursMedian * 1e6, Median(baselineTimes) * 1e6, ratios.size());
    if (walkSecondsPerPoint > 0)
        std::printf("walk/file-write cost per point: %.1e (smallest request, the walk's dearest points)\n",
                    walkSecondsPerPoint / oursMedian);
    std::printf("per-round ratios: %.2f to %.2f\n", *std::min_element(ratios.begin(), ratios.end()),
                *std::max_element(ratios.begin(), ratios.end()));
    std::printf("writer/baseline throughput ratio: %.2f\n", Median(ratios));
}

} // namespace
} // namespace vantrell::bench

int main(int argc, char** argv)
{
    using namespace vantrell::bench;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RegisterWriterRounds(kWriterRounds, kWriterRoundSeconds);

    // Owned by the library.
    benchmark::BenchmarkReporter* const display = benchmark::CreateDefaultDisplayReporter();
    CKeepingReporter reporter(*display);
    {
        const CScratchDirectory scratch;
        benchmark::RunSpecifiedBenchmarks(&reporter);
    }
    std::fflush(stdout);
    Summarise(reporter.kept);
    benchmark::Shutdown();
    return 0;
}
