#pragma once
// Both programs' `--plan` command line.

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vantrell {

struct PlanOutput {
    int status = 0;   // process exit status: 0 done, 1 the area could not be read or the preview written, 2 bad usage
    std::string out;  // for standard output
    std::string err;  // for standard error
};

inline constexpr std::string_view kPlanOption = "--plan";
inline constexpr std::string_view kRefreshOption = "--refresh";
inline constexpr std::string_view kWindowOption = "--window";
inline constexpr std::string_view kPreviewOption = "--preview";
inline constexpr std::string_view kAreaOption = "--area";
inline constexpr std::string_view kCorridorOption = "--corridor";
// The widest corridor the command line takes, in tenths of a mile either side of a path.
inline constexpr int kMaxCorridorTenths = 1000;

// The command line after the program's name. Nothing when it does not start with
// kPlanOption; otherwise, after "--refresh SECONDS", "--window PIXELS" (the viewer's
// width, for the imagery a pass loads), "--preview FILE", "--area FILE" and
// "--corridor TENTHS" (only with --area) in any order, each at most once, the thirteen
// values in the form's reading order, through the form's text-to-number rule; with
// --area only the last three (speed, range, resolution), the corner and the miles being
// the area's (RequestForArea), and the walk kept to the area. program names the program
// in the usage line. The arguments are UTF-8. fileName turns a file's name into the one
// the file calls take (on Windows, the ANSI code page), or nothing where it has no exact
// counterpart there; none: the name as it is.
using FileNameFromText = std::optional<std::string> (*)(const std::string& text);
std::optional<PlanOutput> RunPlanCommand(std::string_view program, std::span<const std::string> args,
                                         FileNameFromText fileName = nullptr);

} // namespace vantrell
