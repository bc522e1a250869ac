#include "PlanCommand.h"

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
           " FILE] LATDEG LATMIN LATSEC LATWORD LONDEG LONMIN LONSEC LONWORD EAST SOUTH SPEED RANGE RESOLUTION\n";
}

// A whole number from 1 to most, digits and nothing else: unlike the form's values, an
// option mistyped is an error, not a number read as far as it goes.
std::optional<int> WholeNumber(const std::string& text, int most)
{
    int n = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (text.empty() || text.front() == '-' || error != std::errc() || end != text.data() + text.size() || n < 1 ||
        n > most)
        return std::nullopt;
    return n;
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
    std::optional<std::string> preview;
    bool refreshGiven = false;
    bool windowGiven = false;
    std::size_t first = 1;
    while (first < args.size() &&
           (args[first] == kRefreshOption || args[first] == kWindowOption || args[first] == kPreviewOption)) {
        const std::string& option = args[first];
        const bool refresh = option == kRefreshOption;
        const bool window = option == kWindowOption;
        if (refresh ? refreshGiven : window ? windowGiven : preview.has_value())
            return usage(std::string(program) + ": " + option + " is given twice\n");
        if (first + 1 >= args.size())
            return usage(std::string(program) + ": " + option + " needs a value\n");
        const std::string& value = args[first + 1];
        if (refresh || window) {
            const int most = refresh ? kMaxRefreshSeconds : kMaxWindowPixels;
            const std::optional<int> n = WholeNumber(value, most);
            if (!n)
                return usage(std::string(program) + ": " + option + " takes whole " +
                             (refresh ? "seconds" : "pixels") + " from 1 to " + Grouped(std::int64_t{most}) +
                             ", not " + Quoted(value) + "\n");
            (refresh ? options.refreshSeconds : options.windowPixels) = *n;
            (refresh ? refreshGiven : windowGiven) = true;
        } else {
            preview = value;
        }
        first += 2;
    }
    if (args.size() - first != kRequestFields)
        return usage("");

    RequestTexts texts;
    std::copy(args.begin() + static_cast<std::ptrdiff_t>(first), args.end(), texts.begin());
    options.capped = CappedFields(texts);
    // A plan must not touch the program's file, nor wait.
    const std::unique_ptr<CScanJob> planned = JobFromTexts(texts, Discard(), Discard());
    CScanJob& job = *planned;
    output.out = PlanText(job, options);
    if (const std::optional<std::uint64_t> point = FindWrittenPoint(job, kLookAtFileName))
        output.out += ResumeText(*point) + "\n";
    if (preview) {
        std::string error;
        PreviewSummary summary;
        // A near match would write a file of another name than the one asked for.
        const std::optional<std::string> file = fileName ? fileName(*preview) : preview;
        if (!file) {
            output.status = 1;
            output.err = "The preview's name " + Quoted(*preview) +
                         " has characters that this system's file names cannot hold.\n";
        } else if (!WritePreview(*file, job, error, &summary)) {
            output.status = 1;
            output.err = error + "\n";
        } else {
            output.out += "Preview written to " + Quoted(*preview);
            if (summary.shown < summary.total)
                output.out += "; its path shows " + PreviewShows(summary);
            output.out += ".\n";
        }
    }
    return output;
}

} // namespace vantrell
