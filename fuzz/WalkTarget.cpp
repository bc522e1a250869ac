// Any thirteen-value request through the checks and the first points of its walk, with a
// writer that counts and a sleeper that never sleeps.
//
// Input: eleven little-endian int32 (latitude degrees, minutes, seconds, longitude
// degrees, minutes, seconds, miles east, miles south, speed factor, range, resolution;
// missing bytes read as 0), then the two hemisphere words, then two pause bytes. A word
// is one byte: below 0xF0 it picks "", "North", "South", "East" or "West"; 0xF0 and up
// are followed by a length byte and that many raw bytes. The pause bytes: after point k
// (0: never) the walk is paused for m polls (at least one).

#include "Check.h"
#include "LookAtDocument.h"
#include "ScanJob.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace vantrell::fuzz {
namespace {

// Points looked at per input: a few row pairs of most requests, and fast enough to fuzz.
constexpr std::size_t kPointsPerInput = 2048;

struct Input {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos = 0;

    std::uint8_t Byte() { return pos < size ? data[pos++] : 0; }
    std::int32_t Int32()
    {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= static_cast<std::uint32_t>(Byte()) << (8 * i);
        return static_cast<std::int32_t>(value);
    }
    std::string Word()
    {
        static const char* const kWords[] = {"", "North", "South", "East", "West"};
        const std::uint8_t tag = Byte();
        if (tag < 0xF0)
            return kWords[tag % 5];
        const std::size_t length = std::min<std::size_t>(Byte(), size - pos);
        std::string raw(reinterpret_cast<const char*>(data + pos), length);
        pos += length;
        return raw;
    }
};

struct Stop {};

// float32's spacing at magnitude x: the most one rounding to float32 can move a value.
double Ulp32(double x)
{
    x = std::fabs(x);
    if (!(x >= 1e-30))
        return 1e-37;
    return std::ldexp(1.0, std::ilogb(x) - 23);
}

double RowFactor(float latitude)
{
    return std::cos(static_cast<double>(latitude) * static_cast<double>(kDegreeToRadian)) *
           static_cast<double>(kMilesPerDegree);
}

// The number in "<tag>NUMBER</tag>" on one line of a document.
double NumberIn(std::string_view line, std::string_view tag)
{
    const std::string open = "<" + std::string(tag) + ">";
    const std::string close = "</" + std::string(tag) + ">";
    FUZZ_CHECK(line.size() > open.size() + close.size());
    FUZZ_CHECK(line.substr(0, open.size()) == open);
    FUZZ_CHECK(line.substr(line.size() - close.size()) == close);
    const std::string_view text = line.substr(open.size(), line.size() - open.size() - close.size());
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    FUZZ_CHECK(error == std::errc() && end == text.data() + text.size());
    FUZZ_CHECK(std::isfinite(value));
    return value;
}

// The document of one point: 13 lines, and the three numbers finite and as given.
void CheckDocument(float latitude, float longitude, std::int32_t range)
{
    char out[kLookAtDocumentMax];
    const std::size_t size = FormatLookAt(out, latitude, longitude, range);
    FUZZ_CHECK(size <= kLookAtDocumentMax);
    std::vector<std::string_view> lines;
    std::string_view rest(out, size);
    while (!rest.empty()) {
        const std::size_t end = rest.find(kLineEnd);
        FUZZ_CHECK(end != std::string_view::npos);
        lines.push_back(rest.substr(0, end));
        rest.remove_prefix(end + kLineEnd.size());
    }
    FUZZ_CHECK(lines.size() == 13);
    // "%f": the float widened to double, to six decimals.
    const double printedLongitude = NumberIn(lines[5], "longitude");
    const double printedLatitude = NumberIn(lines[6], "latitude");
    FUZZ_CHECK(std::fabs(printedLongitude - longitude) <= 5.0000001e-7 + std::fabs(longitude) * 0x1p-52);
    FUZZ_CHECK(std::fabs(printedLatitude - latitude) <= 5.0000001e-7 + std::fabs(latitude) * 0x1p-52);
    FUZZ_CHECK(NumberIn(lines[7], "range") == range);
}

class CWalkWatcher final : public IPointWriter, public ISleeper {
public:
    CScanJob* job = nullptr;
    bool accepted = false;
    float startLatitude = 0, startLongitude = 0;
    std::size_t pauseAfter = 0; // point number, 0: never
    std::size_t pausePolls = 1;
    std::size_t points = 0;

    void WritePoint(float latitude, float longitude, std::int32_t range) override
    {
        FUZZ_CHECK(accepted); // a request that fails its checks writes nothing
        // Between two points: the delay, and the pause polls if the walk was paused there.
        const std::size_t expectedSleeps = points == 0 ? 0 : 1 + (points == pauseAfter ? pausePolls : 0);
        FUZZ_CHECK(m_sleepsSincePoint == expectedSleeps);
        m_sleepsSincePoint = 0;
        ++points;
        FUZZ_CHECK(range == job->m_nRange);
        CheckInsideRectangle(latitude, longitude);
        CheckDocument(latitude, longitude, range);
        if (points == pauseAfter)
            job->m_bPaused.store(true);
        if (points == kPointsPerInput)
            throw Stop();
    }

    void Sleep(std::uint64_t milliseconds) override
    {
        FUZZ_CHECK(accepted);
        FUZZ_CHECK(points > 0); // nothing waits before the first point
        ++m_sleepsSincePoint;
        // A fixed bound of waits between points: no walk may idle on without writing.
        FUZZ_CHECK(m_sleepsSincePoint <= 1 + pausePolls);
        if (m_sleepsSincePoint == 1) {
            FUZZ_CHECK(milliseconds == static_cast<std::uint64_t>(job->m_nSpeedFactor) * 250u);
            return;
        }
        FUZZ_CHECK(job->m_bPaused.load());
        FUZZ_CHECK(milliseconds == kPausePollMs);
        if (m_sleepsSincePoint == 1 + pausePolls)
            job->m_bPaused.store(false);
    }

private:
    // The rectangle hangs south-east of the corner: latitudes down to the corner's less
    // miles south (rows come in pairs, so up to two steps more), longitudes east of the
    // corner by the row's miles over that row's factor. A westward row goes back by its
    // own factor, so it can end short of or past the corner's longitude; a point lies
    // between the corner and the reaches of the (up to three) rows it came from. The
    // slack covers one float32 rounding per step taken since the value last restarted.
    void CheckInsideRectangle(float latitude, float longitude)
    {
        const double step = job->m_fStep;
        const double cap = static_cast<double>(kPointsPerInput) * step;
        const double miles = static_cast<double>(kMilesPerDegree);

        const double southReach = std::min(job->m_nMilesSouth + 2 * step, cap) * (1 + 1e-3) / miles;
        const double southSteps = std::min(job->m_nMilesSouth / step + 2, static_cast<double>(kPointsPerInput));
        const double latitudeSlack = southSteps * Ulp32(std::fabs(startLatitude) + southReach);
        FUZZ_CHECK(latitude <= startLatitude + latitudeSlack);
        FUZZ_CHECK(latitude >= startLatitude - southReach - latitudeSlack);

        // A new pass starts at the corner again: the only time the latitude rises.
        if (m_rowLatitudes.empty() || latitude > m_rowLatitudes.back())
            m_rowLatitudes.clear();
        if (m_rowLatitudes.empty() || latitude != m_rowLatitudes.back())
            m_rowLatitudes.push_back(latitude);
        if (m_rowLatitudes.size() > 3)
            m_rowLatitudes.erase(m_rowLatitudes.begin());

        if (job->m_nMilesEast <= 0) {
            FUZZ_CHECK(longitude == startLongitude); // a line due south
            return;
        }
        const double rowReach = std::min(job->m_nMilesEast + step, cap) * (1 + 1e-3);
        double low = startLongitude, high = startLongitude, magnitude = std::fabs(startLongitude);
        for (const float a : m_rowLatitudes) {
            const double east = rowReach / RowFactor(a);
            magnitude += std::fabs(east);
            for (const float b : m_rowLatitudes) {
                const double west = a == b ? 0.0 : rowReach / RowFactor(b);
                low = std::min({low, startLongitude + east, startLongitude + east - west});
                high = std::max({high, startLongitude + east, startLongitude + east - west});
            }
        }
        const double rowSteps = std::min(2 * (job->m_nMilesEast / step + 2) + 2, static_cast<double>(kPointsPerInput));
        const double longitudeSlack = rowSteps * Ulp32(magnitude);
        FUZZ_CHECK(longitude >= low - longitudeSlack);
        FUZZ_CHECK(longitude <= high + longitudeSlack);
    }

    std::size_t m_sleepsSincePoint = 0;
    std::vector<float> m_rowLatitudes; // latest last
};

bool AngleInRange(std::int32_t deg, std::int32_t min, std::int32_t sec, std::int32_t maxDeg)
{
    return deg >= 0 && min >= 0 && sec >= 0 && deg <= maxDeg && min <= 59 && sec <= 59 &&
           (deg < maxDeg || (min == 0 && sec == 0));
}

std::string Describe(const CScanJob& job, const CWalkWatcher& watcher)
{
    const ScanRequest request = job.Request();
    std::string text;
    for (const ScanRequestField& field : kScanRequestFields) {
        if (!text.empty())
            text += " ";
        text += field.IsWord() ? "\"" + request.*field.word + "\"" : std::to_string(request.*field.number);
    }
    text += "; pause after point " + std::to_string(watcher.pauseAfter) + " for " +
            std::to_string(watcher.pausePolls) + " polls";
    return text;
}

} // namespace
} // namespace vantrell::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace vantrell;
    using namespace vantrell::fuzz;
    Input in{data, size};
    // The numbers in the table's order, then the words in theirs.
    ScanRequest request;
    for (const ScanRequestField& field : kScanRequestFields) {
        if (!field.IsWord())
            request.*field.number = in.Int32();
    }
    for (const ScanRequestField& field : kScanRequestFields) {
        if (field.IsWord())
            request.*field.word = in.Word();
    }
    const std::string& latWord = request.latDir;
    const std::string& lonWord = request.lonDir;
    CWalkWatcher watcher;
    watcher.pauseAfter = in.Byte();
    watcher.pausePolls = std::max<std::size_t>(in.Byte(), 1);

    CScanJob job(request, watcher, watcher);
    watcher.job = &job;
    g_input = Describe(job, watcher);

    watcher.accepted = job.ValidateAndConvert(watcher.startLatitude, watcher.startLongitude);
    if (watcher.accepted) {
        FUZZ_CHECK(AngleInRange(job.m_nLatDeg, job.m_nLatMin, job.m_nLatSec, 90));
        FUZZ_CHECK(AngleInRange(job.m_nLonDeg, job.m_nLonMin, job.m_nLonSec, 180));
        FUZZ_CHECK(latWord.empty() || latWord == "North" || latWord == "South");
        FUZZ_CHECK(lonWord.empty() || lonWord == "East" || lonWord == "West");
        FUZZ_CHECK(std::fabs(watcher.startLatitude) <= 90 && std::fabs(watcher.startLongitude) <= 180);
        FUZZ_CHECK(std::isfinite(job.m_fStep) && job.m_fStep > 0);
        FUZZ_CHECK(job.m_nSpeedFactor >= 0); // else the delay would wrap to weeks
    }
    // Only a request that yields points is worth a walk; any other writes nothing.
    watcher.accepted = watcher.accepted && job.m_nMilesSouth > 0;
    try {
        job.Run();
        FUZZ_CHECK(!watcher.accepted); // an accepted walk goes on pass after pass
        FUZZ_CHECK(watcher.points == 0);
    } catch (const Stop&) {
        FUZZ_CHECK(watcher.points == kPointsPerInput);
    }
    return 0;
}
