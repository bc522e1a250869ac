#include "PlanCommand.h"

#include "AreaFile.h"
#include "AreaWalk.h"
#include "LookAtDocument.h"
#include "PassCount.h"
#include "Preview.h"
#include "PlanText.h"
#include "Grouping.h"
#include "Quoting.h"
#include "RequestText.h"

#include <algorithm>

#include <charconv>

namespace vantrell {
namespace {

std::string Usage(std::string_view program)
{
    return "usage: " + std::string(program) + " " + std::string(kPlanOption) + " [" + std::string(kRefreshOption) +
           " SECONDS] [" + std::string(kWindowOption) + " PIXELS] [" + std::string(kPreviewOption) +
           " FILE] [" + std::string(kAreaOption) + " FILE [" + std::string(kCorridorOption) +
           " TENTHS]] [LATDEG LATMIN LATSEC LATWORD LONDEG LONMIN LONSEC LONWORD EAST SOUTH] SPEED RANGE RESOLUTION\n";
}

// A whole number from least to most, digits and nothing else: unlike the form's values,
// an option mistyped is an error, not a number read as far as it goes.
std::optional<int> WholeNumber(const std::string& text, int least, int most)
{
    int n = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (text.empty() || text.front() == '-' || error != std::errc() || end != text.data() + text.size() ||
        n < least || n > most)
        return std::nullopt;
    return n;
}

// "Area: road.gpx: 1 shape; corner 40 0 0 North 100 0 0 West, 217 miles east, 213 miles south."
std::string AreaLine(const Area& area, const ScanRequest& r)
{
    const auto count = [](std::int64_t n, const char* one, const char* many) {
        return Grouped(n) + " " + (n == 1 ? one : many);
    };
    return "Area: " + area.fileName + ": " + count(static_cast<std::int64_t>(area.Shapes()), "shape", "shapes") +
           "; corner " + Digits(r.latDeg) + " " + Digits(r.latMin) + " " + Digits(r.latSec) + " " + r.latDir + " " +
           Digits(r.lonDeg) + " " + Digits(r.lonMin) + " " + Digits(r.lonSec) + " " + r.lonDir + ", " +
           count(r.milesEast, "mile", "miles") + " east, " + count(r.milesSouth, "mile", "miles") + " south.\n";
}

} // namespace

std::optional<PlanOutput> RunPlanCommand(std::string_view program, std::span<const std::string> args,
                                         FileNameFromText fileName)
{
    if (args.empty() || args[0] != kPlanOption)
        return std::nullopt;
    PlanOutput output;
    const auto usage = [&](const std::string& why) {
        output.status = 2;
        output.err = why + Usage(program);
        return output;
    };

    PlanOptions options;
    std::optional<std::string> preview, areaFile;
    std::optional<int> corridor;
    bool refreshGiven = false;
    bool windowGiven = false;
    // Options may stand anywhere among the values: before them, or after them as
    // `--area FILE SPEED RANGE RESOLUTION --corridor 3 --preview OUT` has them.
    std::vector<std::string> values;
    const auto isOption = [](const std::string& arg) {
        return arg == kRefreshOption || arg == kWindowOption || arg == kPreviewOption || arg == kAreaOption ||
               arg == kCorridorOption;
    };
    for (std::size_t first = 1; first < args.size(); ++first) {
        if (!isOption(args[first])) {
            values.push_back(args[first]);
            continue;
        }
        const std::string& option = args[first];
        const bool refresh = option == kRefreshOption;
        const bool window = option == kWindowOption;
        const bool given = refresh ? refreshGiven
                           : window ? windowGiven
                           : option == kPreviewOption ? preview.has_value()
                           : option == kAreaOption    ? areaFile.has_value()
                                                      : corridor.has_value();
        if (given)
            return usage(std::string(program) + ": " + option + " is given twice\n");
        if (first + 1 >= args.size())
            return usage(std::string(program) + ": " + option + " needs a value\n");
        const std::string& value = args[first + 1];
        if (refresh || window || option == kCorridorOption) {
            const bool tenths = option == kCorridorOption;
            const int least = tenths ? 0 : 1;
            const int most = refresh ? kMaxRefreshSeconds : window ? kMaxWindowPixels : kMaxCorridorTenths;
            const std::optional<int> n = WholeNumber(value, least, most);
            if (!n)
                return usage(std::string(program) + ": " + option + " takes whole " +
                             (refresh ? "seconds" : window ? "pixels" : "tenths of a mile") + " from " +
                             Digits(least) + " to " + Grouped(std::int64_t{most}) + ", not " + Quoted(value) + "\n");
            if (tenths) {
                corridor = *n;
            } else {
                (refresh ? options.refreshSeconds : options.windowPixels) = *n;
                (refresh ? refreshGiven : windowGiven) = true;
            }
        } else {
            (option == kPreviewOption ? preview : areaFile) = value;
        }
        ++first; // its value
    }
    if (corridor && !areaFile)
        return usage(std::string(program) + ": " + std::string(kCorridorOption) + " needs " +
                     std::string(kAreaOption) + "\n");
    constexpr std::size_t kAreaValues = 3; // speed, range, resolution
    if (values.size() != (areaFile ? kAreaValues : kRequestFields))
        return usage("");

    RequestTexts texts;
    std::copy(values.begin(), values.end(), texts.end() - static_cast<std::ptrdiff_t>(values.size()));
    // A near match would read or write a file of another name than the one asked for.
    const auto nativeName = [&](const std::string& name, const char* what) {
        std::optional<std::string> file = fileName ? fileName(name) : name;
        if (!file) {
            output.status = 1;
            output.err = std::string(what) + Quoted(name) + " has characters that this system's file names cannot hold.\n";
        }
        return file;
    };
    std::shared_ptr<const Area> area;
    if (areaFile) {
        const std::optional<std::string> file = nativeName(*areaFile, "The area file's name ");
        if (!file)
            return output;
        std::string error;
        std::optional<Area> read = ReadAreaFile(*file, error);
        if (read) {
            // As typed, not as the system's code page spells it.
            read->fileName = areaFile->substr(areaFile->find_last_of("/\\") + 1);
            area = std::make_shared<const Area>(std::move(*read));
        }
        const std::optional<ScanRequest> request = area ? RequestForArea(*area, RequestOfTexts(texts), corridor.value_or(kDefaultCorridorTenths))
                                                         : std::nullopt;
        if (!request) {
            output.status = 1;
            output.err = (read ? Quoted(*areaFile) + " holds no finite point." : error) + "\n";
            return output;
        }
        const RequestTexts typed = texts;
        texts = TextsOf(*request);
        std::copy(typed.end() - kAreaValues, typed.end(), texts.end() - kAreaValues);
        output.out = AreaLine(*area, *request);
    }
    options.capped = CappedFields(texts);
    // A plan must not touch the program's file, nor wait.
    const std::unique_ptr<CScanJob> planned = JobFromTexts(texts, Discard(), Discard());
    CScanJob& job = *planned;
    if (area)
        job.KeepTo(KeepPoints(job, area, corridor.value_or(kDefaultCorridorTenths)));
    output.out += PlanText(job, options);
    if (const std::optional<std::uint64_t> point = FindWrittenPoint(job, kLookAtFileName))
        output.out += ResumeText(*point) + "\n";
    if (preview) {
        std::string error;
        PreviewSummary summary;
        const std::optional<std::string> file = nativeName(*preview, "The preview's name ");
        if (file && !WritePreview(*file, job, error, &summary)) {
            output.status = 1;
            output.err = error + "\n";
        } else if (file) {
            output.out += "Preview written to " + Quoted(*preview);
            if (summary.shown < summary.total)
                output.out += "; its path shows " + PreviewShows(summary);
            output.out += ".\n";
        }
    }
    return output;
}

} // namespace vantrell
