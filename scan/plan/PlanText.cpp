#include "PlanText.h"

#include "LookAtDocument.h"
#include "ViewFootprint.h"
#include "ViewShare.h"
#include "Durations.h"
#include "Grouping.h"
#include "Quoting.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace vantrell {
namespace {

std::string Count(std::int32_t n) { return Grouped(std::int64_t{n}); }

// "0.25 miles", "1 mile": a step as the plan prints it.
std::string Miles(float miles)
{
    // Fixed notation, its whole part grouped: "214,748,368 miles", never "2.1474837e+08".
    char text[64];
    const std::string digits(text, std::to_chars(text, text + sizeof text, miles, std::chars_format::fixed).ptr);
    const std::size_t point = std::min(digits.find('.'), digits.size());
    std::uint64_t whole = 0;
    std::from_chars(digits.data(), digits.data() + point, whole);
    return Grouped(whole) + digits.substr(point) + (miles == 1.0f ? " mile" : " miles");
}

// value with two decimals, its whole part grouped: "1,234.57".
std::string TwoDecimals(double value)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2);
    const std::string digits(text, result.ptr);
    const std::size_t point = digits.find('.');
    const std::string whole = digits.substr(0, point);
    std::uint64_t n = 0;
    std::from_chars(whole.data(), whole.data() + whole.size(), n);
    return Grouped(n) + digits.substr(point);
}

void AngleLimits(std::vector<std::string>& broken, const RequestCheck& check, const char* name, Rule first,
                 std::int32_t deg, std::int32_t min, std::int32_t sec, std::int32_t maxDeg)
{
    // The four angle rules follow each other: degrees, minutes, seconds, past the end.
    const auto rule = [&](int i) {
        return check.Breaks(static_cast<Rule>(static_cast<std::uint32_t>(first) << i));
    };
    const std::string max = Digits(maxDeg);
    if (rule(0))
        broken.push_back(std::string(name) + " degrees " + Count(deg) + " are out of range (0 to " + max + ")");
    if (rule(1))
        broken.push_back(std::string(name) + " minutes " + Count(min) + " are out of range (0 to 59)");
    if (rule(2))
        broken.push_back(std::string(name) + " seconds " + Count(sec) + " are out of range (0 to 59)");
    if (rule(3))
        broken.push_back(std::string(name) + " " + max + " degrees " + Digits(min) + " minutes " + Digits(sec) +
                         " seconds lies past " + max + " degrees");
}

void WordLimit(std::vector<std::string>& broken, bool breaks, const char* name, const std::string& word,
               std::string_view positive, std::string_view negative)
{
    if (breaks)
        broken.push_back(std::string(name) + " word " + Quoted(word) + " is none of " + std::string(positive) +
                         ", " + std::string(negative) + " or empty (letter case counts)");
}

std::string QuartersAsSeconds(std::int32_t quarters)
{
    static constexpr std::array<const char*, 4> kHundredths = {"00", "25", "50", "75"};
    return Count(quarters / 4) + "." + kHundredths[static_cast<std::size_t>(quarters % 4)];
}

std::string PassLine(std::uint64_t pass)
{
    return "Pass " + Grouped(pass) + ": ";
}

std::string Points(std::uint64_t n)
{
    return Grouped(n) + (n == 1 ? " point" : " points");
}

// The sentence with its first letter, a lower-case ASCII one, in upper case.
std::string Capitalised(std::string sentence)
{
    sentence[0] = static_cast<char>(sentence[0] - 'a' + 'A');
    return sentence;
}

} // namespace

std::vector<std::string> BrokenLimits(const CScanJob& job)
{
    const RequestCheck check = job.Check();
    std::vector<std::string> broken;
    AngleLimits(broken, check, "latitude", Rule::LatitudeDegrees, job.m_nLatDeg, job.m_nLatMin, job.m_nLatSec, 90);
    WordLimit(broken, check.Breaks(Rule::LatitudeWord), "latitude", job.m_strLatDir, kNorth, kSouth);
    AngleLimits(broken, check, "longitude", Rule::LongitudeDegrees, job.m_nLonDeg, job.m_nLonMin, job.m_nLonSec,
                180);
    WordLimit(broken, check.Breaks(Rule::LongitudeWord), "longitude", job.m_strLonDir, kEast, kWest);
    if (check.Breaks(Rule::NegativeResolution))
        broken.push_back("resolution " + Count(job.m_nResolution) + " is negative: the rows would never end");
    if (check.Breaks(Rule::NegativeSpeed))
        broken.push_back("speed factor " + Count(job.m_nSpeedFactor) + " is negative: the pause would run for weeks");
    const std::string beyond = " are beyond the " + Grouped(static_cast<std::uint64_t>(check.reach)) +
                               " miles that steps of " + Miles(check.step) + " can reach";
    if (check.Breaks(Rule::EastBeyondReach))
        broken.push_back("miles east " + Count(job.m_nMilesEast) + beyond);
    if (check.Breaks(Rule::SouthBeyondReach))
        broken.push_back("miles south " + Count(job.m_nMilesSouth) + beyond);
    if (check.Breaks(Rule::NoMilesSouth))
        broken.push_back("miles south " + Count(job.m_nMilesSouth) + ": the area needs at least 1 to have a row");
    return broken;
}

namespace {

// The views' gaps, measured on the pass's own points, and what closes them; or an overlap
// that a larger step would spare. Every figure said is checked by the same measure
// (ViewShare.h).
std::optional<std::string> ViewWarning(const CScanJob& job, const PassShape& shape)
{
    const std::int32_t range = job.m_nRange;
    if (range <= 0) {
        std::string text = "A Range of " + Count(range) + " m puts the viewer " + (range == 0 ? "on" : "below") +
                           " the ground: it would look from nowhere above it, and no view shows the area.";
        if (const std::optional<std::int32_t> least = RemediesOf(job).range)
            text += " A Range of at least " + Count(*least) + " m leaves no gap.";
        return text;
    }
    const std::optional<double> share = MeasuredShare(job); // of the area, for a walk kept to one
    if (!share)
        return std::nullopt;
    const double unseenShare = 1.0 - *share;
    if (unseenShare > kMostUnseen) {
        const auto unseen = std::max<std::int64_t>(1, std::lround(unseenShare * 100.0));
        const ViewSize view = ViewAt(range);
        std::string text = "At a range of " + Count(range) + " m each view shows about " +
                           TwoDecimals(view.width / kMetresPerMile) + " \u00d7 " +
                           TwoDecimals(view.height / kMetresPerMile) + " miles (" + Digits(kFieldOfViewDegrees) +
                           "° wide, in a " + Digits(kWindowWidth) + ":" + Digits(kWindowHeight) +
                           " window), but the points are " + Miles(shape.step) + " apart: about " + Grouped(unseen) +
                           " % of the area is never in view, and its finest imagery is never loaded.";
        const GapRemedies remedies = RemediesOf(job);
        std::vector<std::string> works;
        if (remedies.range)
            works.push_back("a Range of at least " + Count(*remedies.range) + " m");
        if (remedies.resolution)
            works.push_back("a Resolution of at most " + Count(*remedies.resolution));
        // An area's rectangle is made to hold the area: more miles south is no remedy there.
        if (remedies.moreSouth && job.Kept() == nullptr)
            works.push_back(Count(*remedies.moreSouth) + (*remedies.moreSouth == 1 ? " mile" : " miles") +
                            " more south");
        if (works.empty() && remedies.unchecked)
            return text;
        if (works.empty() && job.Kept())
            return text + " No Range or Resolution closes the gaps.";
        if (works.empty())
            return text + " No Range, Resolution or Miles South closes the gaps: only another area does.";
        works.front()[0] = 'A';
        text += " " + works.front();
        for (std::size_t i = 1; i < works.size(); ++i)
            text += (i + 1 == works.size() ? ", or " : ", ") + works[i];
        return text + (works.size() > 1 ? "," : "") + " leaves no gap.";
    }
    const std::optional<CoarserStep> coarser = CoarserWithoutGap(job);
    if (!coarser)
        return std::nullopt;
    return "Neighbouring views overlap: a Resolution of " + Count(coarser->resolution) +
           " covers the area without gaps in " + Grouped(coarser->points) + " points per pass instead of " +
           Grouped(job.PassPoints(shape)) + ".";
}

// The imagery one pass loads (ImageryCache.h), in the plan whatever its size.
std::string ImageryLine(const CScanJob& job, const PassShape& shape, const PlanOptions& options)
{
    const int pixels = std::clamp(options.windowPixels, 1, kMaxWindowPixels);
    const ImageryLoad load = LoadOfPass(job, shape, pixels);
    return "One pass loads about " + GroupedWhole(load.megabytes) + " MB of imagery (" + GroupedWhole(load.tiles) +
           (load.tiles == 1.0 ? " tile" : " tiles") + "; the finest, level " + Digits(load.level) + ", are " +
           GroupedWhole(std::round(load.tileWidth)) + " m wide in a " + Grouped(std::int64_t{pixels}) +
           "-pixel window, at about " + Digits(kBytesPerTile / 1024) + " KB a tile).";
}

// A pass the cache cannot hold, and what would fit it.
std::optional<std::string> CacheWarning(const CScanJob& job, const PassShape& shape, const PlanOptions& options)
{
    const int pixels = std::clamp(options.windowPixels, 1, kMaxWindowPixels);
    const std::optional<CacheFit> fit = FitInCache(shape, pixels, LoadOfPass(job, shape, pixels));
    if (!fit)
        return std::nullopt;
    std::string text = "Google Earth keeps at most " + Grouped(kCacheMegabytes) +
                       " MB on disk: the end of each pass pushes out its beginning. ";
    const std::string split = "split the area into " + GroupedWhole(fit->scans) + " scans.";
    if (!fit->range)
        return text + "To keep a pass within it, " + split;
    text += "A Range of at least " + Count(*fit->range) + " m";
    // The model's Resolution, said only as the pass's own views measure it.
    if (const std::optional<std::int32_t> resolution = fit->resolution ? ResolutionWithoutGapAt(job, *fit->range)
                                                                        : std::nullopt)
        text += " (with a Resolution of at most " + Count(*resolution) + ", for no gap)";
    return text + " keeps a pass within it, or " + split;
}

// Rows so near a pole that their miles east go round it: the most turns a row makes, and
// at which pole; nothing where no row goes round once.
struct PoleTurns {
    double turns = 0.0; // may be infinite: a row on the pole itself
    bool north = true;
};
std::optional<PoleTurns> RowsCirclingAPole(const CScanJob& job, const PassShape& shape)
{
    struct Visitor {
        PoleTurns most;
        RowVisit Row(const WalkRow& row)
        {
            const double degrees = std::abs(static_cast<double>(row.points) * row.increment);
            const double turns = std::isfinite(degrees) ? degrees / 360.0 : HUGE_VAL;
            if (turns > most.turns)
                most = {turns, row.latitude >= 0.0f};
            return RowVisit::Estimate;
        }
        bool Point(std::uint64_t, float, float, bool) { return true; }
    } visitor;
    if (shape.pointsPerRow == 0)
        return std::nullopt;
    WalkPass(job.Check(), shape, visitor);
    if (visitor.most.turns < 1.0)
        return std::nullopt;
    return visitor.most;
}

std::string TurnsText(double turns)
{
    if (!(turns < 1e15))
        return "without end";
    const auto whole = static_cast<std::uint64_t>(turns);
    return whole == 1 ? "once" : Grouped(whole) + " times";
}

std::vector<std::string> Warnings(const CScanJob& job, const PassShape& shape, const PlanOptions& options)
{
    std::vector<std::string> warnings;

    // A point must last the refresh and a second more for the viewer to fly there and
    // load it; the speed factor counts quarter seconds.
    const std::int64_t refresh = std::clamp(options.refreshSeconds, 1, kMaxRefreshSeconds);
    const std::int64_t speed = job.m_nSpeedFactor;
    const std::int64_t enough = (refresh + 1) * 4;
    const std::string every = "every " + Grouped(refresh) + " s";
    const std::string fix = " A Speed Factor of at least " + Grouped(enough) + " shows it every point.";
    if (options.follow) {
        // The walk waits for each point's read: a point lasts the refresh or the pause,
        // whichever is longer, and none is skipped.
        const auto quarters = static_cast<std::uint64_t>(std::max(refresh * 4, speed));
        warnings.push_back("Waiting for the viewer, each point lasts at least its refresh, " + every +
                           ": one pass takes about " + QuarterSecondsText(job.PassPoints(shape), quarters) + ".");
    } else if (speed == 0) {
        warnings.push_back("Speed Factor 0: the viewer, re-reading the file " + every +
                           ", will see almost none of the points." + fix);
    } else if (speed < enough) {
        std::string text = "The viewer re-reads the file " + every + " but each point lasts " +
                           QuarterSecondsText(1, static_cast<std::uint64_t>(speed));
        const std::int64_t quarters = refresh * 4;
        if (speed < quarters) {
            // Of each refresh's worth of points, the viewer reads one.
            const std::int64_t skipped = std::max<std::int64_t>(1, ((quarters - speed) * 200 + quarters) / (quarters * 2));
            const std::int64_t oneIn = (quarters * 2 + speed) / (speed * 2);
            text += ": it will skip about " + Grouped(skipped) + " % of the points";
            if (oneIn >= 2)
                text += ", flying to about 1 in " + Grouped(oneIn);
            text += ".";
        } else {
            text += ": that leaves it less than a second to fly to each point and load its imagery.";
        }
        warnings.push_back(text + fix);
    }
    if (const std::optional<std::string> views = ViewWarning(job, shape))
        warnings.push_back(*views);
    if (const std::optional<std::string> cache = CacheWarning(job, shape, options))
        warnings.push_back(*cache);

    const auto typed = [](std::int32_t deg, std::int32_t min, std::int32_t sec) {
        return deg != 0 || min != 0 || sec != 0;
    };
    if (job.m_strLatDir.empty() && typed(job.m_nLatDeg, job.m_nLatMin, job.m_nLatSec))
        warnings.push_back("No hemisphere is picked for latitude: the corner lies on the equator, whatever "
                           "degrees were typed.");
    if (job.m_strLonDir.empty() && typed(job.m_nLonDeg, job.m_nLonMin, job.m_nLonSec))
        warnings.push_back("No hemisphere is picked for longitude: the corner lies on the prime meridian, "
                           "whatever degrees were typed.");

    const OutsideCount outside = CountOutside(job, shape);
    const auto lie = [](std::uint64_t n, bool exact) {
        return (exact ? "" : "about ") + Points(n) + (n == 1 ? " lies" : " lie");
    };
    if (outside.pastNorthPole > 0)
        warnings.push_back("The area reaches past the North Pole: " + lie(outside.pastNorthPole, true) +
                           " beyond 90° latitude.");
    if (outside.pastSouthPole > 0)
        warnings.push_back("The area reaches past the South Pole: " + lie(outside.pastSouthPole, true) +
                           " beyond \u221290° latitude.");
    if (const std::optional<PoleTurns> turns = RowsCirclingAPole(job, shape))
        warnings.push_back(std::string("The rows circle the ") + (turns->north ? "North" : "South") +
                           " Pole: the row nearest it goes round it " + TurnsText(turns->turns) + ".");
    const bool exact = outside.longitudesExact;
    if (outside.pastEast > 0 || outside.pastWest > 0) {
        std::string text = "The area reaches across the 180° meridian: ";
        if (outside.pastEast > 0)
            text += lie(outside.pastEast, exact) + " beyond 180° longitude";
        if (outside.pastEast > 0 && outside.pastWest > 0)
            text += " and ";
        if (outside.pastWest > 0)
            text += lie(outside.pastWest, exact) + " beyond \u2212180° longitude";
        warnings.push_back(text + ".");
    }
    return warnings;
}

} // namespace

std::vector<std::string> PlanWarnings(const CScanJob& job, const PlanOptions& options)
{
    const std::optional<PassShape> shape = CountPass(job);
    return shape ? Warnings(job, *shape, options) : std::vector<std::string>{};
}

std::string PlanText(CScanJob& job, const PlanOptions& options)
{
    std::string capped;
    for (const std::string& sentence : options.capped)
        capped += sentence + "\n";
    const std::optional<PassShape> shape = CountPass(job);
    if (!shape) {
        const std::vector<std::string> broken = BrokenLimits(job);
        std::string text = capped + "No points: a scan of this request writes nothing. It breaks ";
        text += broken.size() == 1 ? "one limit:\n" : Digits(broken.size()) + " limits:\n";
        for (const std::string& line : broken)
            text += "  " + line + "\n";
        return text;
    }

    const std::uint64_t speed = static_cast<std::uint32_t>(job.m_nSpeedFactor); // valid: >= 0
    const std::uint64_t perPass = job.PassPoints(*shape);
    const std::string pacing = speed == 0 && options.follow
                                   ? "speed factor 0 pauses after no point: the walk waits for the viewer instead.\n"
                               : speed == 0 ? "speed factor 0 pauses after no point, so a pass takes only as long "
                                              "as its file writes.\n"
                                          : "at " + QuartersAsSeconds(job.m_nSpeedFactor) +
                                                " s per point one pass takes " + QuarterSecondsText(perPass, speed) +
                                                ".\n";
    std::string text = capped;
    if (const KeptPoints* kept = job.Kept()) {
        const std::string area = "the area of " + Quoted(kept->AreaName());
        if (kept->TooLarge())
            return text + "The pass has " + Points(shape->points) + ", more than the " + Grouped(kMaxKeptPass) +
                   " that can be kept to " + area + ": a scan of this request writes nothing. A larger Resolution "
                   "makes fewer points.\n";
        if (perPass == 0)
            return text + "None of the " + Points(shape->points) + " per pass lies in " + area +
                   ": a scan of this request writes nothing.\n";
        text += Grouped(perPass) + " of " + Points(shape->points) + " per pass " + (perPass == 1 ? "lies" : "lie") +
                " in " + area + "; the others are skipped.\n" + Capitalised(pacing);
    } else {
        text += Points(shape->points) + " per pass; " + pacing;
    }
    const std::string step = Miles(shape->step);
    if (shape->pointsPerRow > 0) {
        text += Grouped(shape->rowPairs * 2) + " rows of " + Points(shape->pointsPerRow) +
                ", each followed by one point a step south; a step is " + step + ".\n";
    } else {
        text += "Miles east " + Count(job.m_nMilesEast) +
                ": no rows, only points due south of the corner, a step of " + step + " apart.\n";
    }
    if (speed != 0)
        text += "The time counts the pauses between points only, not the time the file writes take.\n";
    if (job.m_nRange > 0) // no view, no imagery: the Range's warning says why
        text += ImageryLine(job, *shape, options) + "\n";
    for (const std::string& warning : Warnings(job, *shape, options))
        text += warning + "\n";
    return text;
}

namespace {

// Points reached since the walk began, as if the first pass had begun at its point 1.
std::uint64_t Reached(const CScanJob& job, const PassShape& shape, std::uint64_t emitted)
{
    // A first pass that began at a later point counts from there, as the walk does.
    return emitted + job.FirstPoint(job.PassPoints(shape)) - 1;
}

} // namespace

std::uint64_t PointInPass(const CScanJob& job, std::uint64_t emitted)
{
    const std::optional<PassShape> shape = CountPass(job);
    if (!shape || emitted == 0 || job.PassPoints(*shape) == 0)
        return 0;
    return (Reached(job, *shape, emitted) - 1) % job.PassPoints(*shape) + 1;
}

std::string ResumeText(std::uint64_t point)
{
    return std::string(kLookAtFileName) + " holds point " + Grouped(point) + " of this pass.";
}

std::string ProgressText(CScanJob& job, std::uint64_t emitted, bool paused)
{
    const std::optional<PassShape> shape = CountPass(job);
    std::string text;
    if (!shape || job.PassPoints(*shape) == 0) {
        text = "No points: a scan of this request writes nothing";
    } else if (emitted == 0) {
        text = PassLine(1) + "starting";
    } else {
        const std::uint64_t perPass = job.PassPoints(*shape); // the kept ones, for an area
        const std::uint64_t reached = Reached(job, *shape, emitted);
        const std::uint64_t point = (reached - 1) % perPass + 1;
        const std::uint64_t left = perPass - point;
        text = PassLine((reached - 1) / perPass + 1) + "point " + Grouped(point) + " of " + Grouped(perPass) + " (" +
               Grouped(point * 100 / perPass) + " %)";
        const auto speed = static_cast<std::uint64_t>(job.m_nSpeedFactor); // valid: >= 0
        if (left == 0)
            text += ", the last of this pass";
        else if (speed > 0)
            text += ", about " + QuarterSecondsText(left, speed) + " left in this pass";
    }
    if (paused)
        text += "\nPaused";
    return text;
}

} // namespace vantrell
