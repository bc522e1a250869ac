#include "ScanPlan.h"

#include "TextToNumber.h"

#include <array>
#include <charconv>

namespace vantrell {
namespace {

// A plan must not touch the program's file, nor wait.
class CNoWriter final : public IPointWriter, public ISleeper {
public:
    void WritePoint(float, float, std::int32_t) override {}
    void Sleep(std::uint64_t) override {}
};

// The walk's accumulation: each addition rounds once to float32.
float Add(float a, float b) { return static_cast<float>(static_cast<double>(a) + b); }

// Additions of step (taken `per` at a time) until the sum is no longer below miles;
// the do-while of a row (per 1) or of the row pairs (per 2). Valid requests keep miles
// within the step's reach, so this ends.
std::uint64_t Rounds(double miles, float step, int per)
{
    std::uint64_t rounds = 0;
    float sum = 0.0f;
    do {
        for (int i = 0; i < per; ++i)
            sum = Add(sum, step);
        ++rounds;
    } while (miles > sum);
    return rounds;
}

// A number as to_chars writes it: no locale, the shortest form that reads back exactly.
template <class Number>
std::string Digits(Number n)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, n);
    return std::string(text, result.ptr);
}

void AngleLimits(std::vector<std::string>& broken, const char* name, std::int32_t deg, std::int32_t min,
                 std::int32_t sec, std::int32_t maxDeg)
{
    const std::string max = Digits(maxDeg);
    if (deg < 0 || deg > maxDeg)
        broken.push_back(std::string(name) + " degrees " + Grouped(std::int64_t{deg}) + " are out of range (0 to " +
                         max + ")");
    if (min < 0 || min > 59)
        broken.push_back(std::string(name) + " minutes " + Grouped(std::int64_t{min}) +
                         " are out of range (0 to 59)");
    if (sec < 0 || sec > 59)
        broken.push_back(std::string(name) + " seconds " + Grouped(std::int64_t{sec}) +
                         " are out of range (0 to 59)");
    if (deg == maxDeg && min >= 0 && min <= 59 && sec >= 0 && sec <= 59 && (min > 0 || sec > 0))
        broken.push_back(std::string(name) + " " + max + " degrees " + Digits(min) + " minutes " + Digits(sec) +
                         " seconds lies past " + max + " degrees");
}

// The word as typed, in quotes; control characters escaped so that each limit keeps to its line.
std::string Quoted(const std::string& word)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out = "\"";
    for (const char c : word) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7f) {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xf];
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}

void WordLimit(std::vector<std::string>& broken, const char* name, const std::string& word, const char* positive,
               const char* negative)
{
    if (!word.empty() && word != positive && word != negative)
        broken.push_back(std::string(name) + " word " + Quoted(word) + " is none of " + positive + ", " +
                         negative + " or empty (letter case counts)");
}

std::string QuartersAsSeconds(std::int32_t quarters)
{
    static constexpr std::array<const char*, 4> kHundredths = {"00", "25", "50", "75"};
    return Grouped(std::int64_t{quarters / 4}) + "." + kHundredths[static_cast<std::size_t>(quarters % 4)];
}

} // namespace

std::string Grouped(std::uint64_t n)
{
    const std::string digits = Digits(n);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

std::string Grouped(std::int64_t n)
{
    // The magnitude as unsigned, so the most negative value has one too.
    const std::uint64_t magnitude = n < 0 ? 0 - static_cast<std::uint64_t>(n) : static_cast<std::uint64_t>(n);
    std::string out = n < 0 ? "-" : "";
    out += Grouped(magnitude);
    return out;
}

std::string QuarterSecondsText(std::uint64_t count, std::uint64_t factor)
{
    // count * factor can pass 2^64: split count at whole days first.
    constexpr std::uint64_t kQuartersPerDay = 4 * 86'400;
    const std::uint64_t rest = (count % kQuartersPerDay) * factor;
    const std::uint64_t days = (count / kQuartersPerDay) * factor + rest / kQuartersPerDay;
    std::uint64_t quarters = rest % kQuartersPerDay;
    const std::uint64_t hours = quarters / (4 * 3600);
    quarters %= 4 * 3600;
    const std::uint64_t minutes = quarters / (4 * 60);
    quarters %= 4 * 60;

    std::string text;
    const auto part = [&](std::uint64_t n, const char* unit) {
        if (n == 0)
            return;
        if (!text.empty())
            text += ' ';
        text += Grouped(n);
        text += ' ';
        text += unit;
    };
    part(days, "d");
    part(hours, "h");
    part(minutes, "min");
    if (quarters > 0) {
        static constexpr std::array<const char*, 4> kFraction = {"", ".25", ".5", ".75"};
        if (!text.empty())
            text += ' ';
        text += Digits(quarters / 4);
        text += kFraction[quarters % 4];
        text += " s";
    }
    if (text.empty())
        return "0 s";
    if (days >= 366) {
        // Whole Gregorian years: 146,097 days in 400 of them.
        const std::uint64_t years = days / 146'097 * 400 + days % 146'097 * 400 / 146'097;
        text += " (about " + Grouped(years) + (years == 1 ? " year)" : " years)");
    }
    return text;
}

std::optional<PassShape> CountPass(CScanJob& job)
{
    float latitude = 0.0f;
    float longitude = 0.0f;
    if (!job.ValidateAndConvert(latitude, longitude) || job.m_nMilesSouth <= 0)
        return std::nullopt;
    PassShape shape;
    shape.step = job.m_fStep;
    shape.pointsPerRow = job.m_nMilesEast > 0 ? Rounds(job.m_nMilesEast, shape.step, 1) : 0;
    shape.rowPairs = Rounds(job.m_nMilesSouth, shape.step, 2);
    shape.points = shape.rowPairs * 2 * (shape.pointsPerRow + 1);
    return shape;
}

std::vector<std::string> BrokenLimits(CScanJob& job)
{
    float latitude = 0.0f;
    float longitude = 0.0f;
    const bool valid = job.ValidateAndConvert(latitude, longitude);
    std::vector<std::string> broken;
    AngleLimits(broken, "latitude", job.m_nLatDeg, job.m_nLatMin, job.m_nLatSec, 90);
    WordLimit(broken, "latitude", job.m_strLatDir, "North", "South");
    AngleLimits(broken, "longitude", job.m_nLonDeg, job.m_nLonMin, job.m_nLonSec, 180);
    WordLimit(broken, "longitude", job.m_strLonDir, "East", "West");
    if (job.m_nResolution < 0)
        broken.push_back("resolution " + Grouped(std::int64_t{job.m_nResolution}) +
                         " is negative: the rows would never end");
    if (job.m_nSpeedFactor < 0)
        broken.push_back("speed factor " + Grouped(std::int64_t{job.m_nSpeedFactor}) +
                         " is negative: the pause would run for weeks");
    // A negative step has no reach to speak of; its own line above says why.
    if (job.m_nResolution >= 0) {
        const double reach = ReachableMiles(job.m_fStep);
        const std::string beyond = " are beyond the " + Grouped(static_cast<std::uint64_t>(reach)) +
                                   " miles that steps of " + Digits(job.m_fStep) + " miles can reach";
        if (job.m_nMilesEast > reach)
            broken.push_back("miles east " + Grouped(std::int64_t{job.m_nMilesEast}) + beyond);
        if (job.m_nMilesSouth > reach)
            broken.push_back("miles south " + Grouped(std::int64_t{job.m_nMilesSouth}) + beyond);
    }
    if (job.m_nMilesSouth <= 0)
        broken.push_back("miles south " + Grouped(std::int64_t{job.m_nMilesSouth}) +
                         ": the area needs at least 1 to have a row");
    // Should the engine ever refuse for a reason not named above, still say no.
    if (broken.empty() && !valid)
        broken.push_back("the request is refused");
    return broken;
}

std::string PlanText(CScanJob& job)
{
    const std::optional<PassShape> shape = CountPass(job);
    if (!shape) {
        const std::vector<std::string> broken = BrokenLimits(job);
        std::string text = "No points: a scan of this request writes nothing. It breaks ";
        text += broken.size() == 1 ? "one limit:\n" : Digits(broken.size()) + " limits:\n";
        for (const std::string& line : broken)
            text += "  " + line + "\n";
        return text;
    }

    const std::uint64_t speed = static_cast<std::uint32_t>(job.m_nSpeedFactor); // valid: >= 0
    std::string text = Grouped(shape->points) + (shape->points == 1 ? " point" : " points") + " per pass; ";
    if (speed == 0) {
        text += "speed factor 0 pauses after no point, so a pass takes only as long as its file writes.\n";
    } else {
        text += "at " + QuartersAsSeconds(job.m_nSpeedFactor) + " s per point one pass takes " +
                QuarterSecondsText(shape->points, speed) + ".\n";
    }
    const std::string step = Digits(shape->step);
    if (shape->pointsPerRow > 0) {
        text += Grouped(shape->rowPairs * 2) + " rows of " + Grouped(shape->pointsPerRow) +
                " points, each followed by one point a step south; a step is " + step + " miles.\n";
    } else {
        text += "Miles east " + Grouped(std::int64_t{job.m_nMilesEast}) +
                ": no rows, only points due south of the corner, a step of " + step + " miles apart.\n";
    }
    if (speed != 0)
        text += "The time counts the pauses between points only, not the time the file writes take.\n";
    return text;
}

std::optional<PlanOutput> RunPlanCommand(std::string_view program, std::span<const std::string> args)
{
    if (args.empty() || args[0] != kPlanOption)
        return std::nullopt;
    PlanOutput output;
    if (args.size() != 14) {
        output.status = 2;
        output.err = "usage: " + std::string(program) + " " + std::string(kPlanOption) +
                     " LATDEG LATMIN LATSEC LATWORD LONDEG LONMIN LONSEC LONWORD EAST SOUTH SPEED RANGE "
                     "RESOLUTION\n";
        return output;
    }
    const auto number = [&](std::size_t i) { return TextToInt32(args[1 + i]); };
    CNoWriter nothing;
    CScanJob job(number(0), number(1), number(2), args[4], number(4), number(5), number(6), args[8], number(8),
                 number(9), number(10), number(11), number(12), nothing, nothing);
    output.out = PlanText(job);
    return output;
}

} // namespace vantrell
