// Our LookAt file writer against the least a program could do for the same result.
//
// Both format every point with FormatLookAt into a stack buffer, so they write the same
// bytes and pay the same formatting; pre-formatting only the baseline's would charge
// the formatter to our side alone (BM_FormatLookAt shows that cost by itself). What
// remains is what CLookAtFile adds to the five system calls that any writer keeping the
// file's permissions and links needs (a look at the file, then create-new, write, close,
// rename): the virtual call, the lock, the count of points written, building the paths.

#include "Bench.h"
#include "LookAtDocument.h"
#include "LookAtFile.h"

#include <benchmark/benchmark.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace vantrell::bench {
namespace {

constexpr const char* kTarget = "Vantrell.kml";
constexpr const char* kTemporary = "Vantrell.kml.tmp";
constexpr std::int32_t kRange = 1000;

// The points both writers write: a row going east, restarting every 4096 points, so the
// numbers and their lengths change as they do during a walk.
float Latitude(std::int64_t i) { return 45.5f - static_cast<float>(i / 4096 % 64) * 0.0036f; }
float Longitude(std::int64_t i) { return -122.666664f + static_cast<float>(i % 4096) * 0.0051f; }

// The same replacement as CFileReplacer's, in plain calls on constant names: the file's
// mode is looked up so the new file keeps it, and the temporary is only created new.
bool RawReplace(const char* data, std::size_t size)
{
    struct stat info {};
    const mode_t mode = ::lstat(kTarget, &info) == 0 ? (info.st_mode & 0777) : 0666;
    const int fd = ::open(kTemporary, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
    if (fd < 0)
        return false;
    bool ok = true;
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ok = false;
            break;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    ok = ::close(fd) == 0 && ok;
    if (ok && std::rename(kTemporary, kTarget) == 0)
        return true;
    ::unlink(kTemporary);
    return false;
}

void SetRate(benchmark::State& state)
{
    state.counters["points/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void OurWriter(benchmark::State& state)
{
    CLookAtFile file(kTarget);
    IPointWriter& writer = file; // as the walk calls it
    std::int64_t i = 0;
    for (auto _ : state) {
        writer.WritePoint(Latitude(i), Longitude(i), kRange);
        ++i;
    }
    // A writer that fails would look fast; it must have written every point.
    if (file.Written() != static_cast<std::uint64_t>(state.iterations()))
        state.SkipWithError("CLookAtFile skipped points");
    SetRate(state);
}

void BaselineWriter(benchmark::State& state)
{
    char document[kLookAtDocumentMax];
    std::int64_t i = 0;
    for (auto _ : state) {
        const std::size_t size = FormatLookAt(document, Latitude(i), Longitude(i), kRange);
        if (!RawReplace(document, size)) {
            state.SkipWithError("the raw replacement failed");
            return;
        }
        ++i;
    }
    SetRate(state);
}

} // namespace

void RegisterWriterRounds(int rounds, double minSeconds)
{
    for (int round = 1; round <= rounds; ++round) {
        const std::string tag = std::string(kRoundTag) + std::to_string(round);
        const std::string ours = std::string(kOurWriterName) + tag;
        const std::string baseline = std::string(kBaselineWriterName) + tag;
        const auto add = [minSeconds](const std::string& name, void (*fn)(benchmark::State&)) {
            benchmark::RegisterBenchmark(name.c_str(), fn)
                ->UseRealTime()
                ->MinTime(minSeconds)
                ->Unit(benchmark::kMicrosecond);
        };
        if (round % 2 == 1) {
            add(ours, OurWriter);
            add(baseline, BaselineWriter);
        } else {
            add(baseline, BaselineWriter);
            add(ours, OurWriter);
        }
    }
}

} // namespace vantrell::bench
