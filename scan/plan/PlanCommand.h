#pragma once
// Both programs' `--plan` command line.

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vantrell {

struct PlanOutput {
    int status = 0;   // process exit status: 0 done, 1 the preview could not be written, 2 bad usage
    std::string out;  // for standard output
    std::string err;  // for standard error
};

inline constexpr std::string_view kPlanOption = "--plan";
inline constexpr std::string_view kRefreshOption = "--refresh";
inline constexpr std::string_view kWindowOption = "--window";
inline constexpr std::string_view kPreviewOption = "--preview";

// The command line after the program's name. Nothing when it does not start with
// kPlanOption; otherwise, after "--refresh SECONDS", "--window PIXELS" (the viewer's
// width, for the imagery a pass loads) and "--preview FILE" in any order,
// each at most once, the thirteen values in the form's reading order, through the form's
// text-to-number rule. program names the program in the usage line.
// The arguments are UTF-8. fileName turns the preview's name into the one the file calls
// take (on Windows, the ANSI code page), or nothing where it has no exact counterpart
// there; none: the name as it is.
using FileNameFromText = std::optional<std::string> (*)(const std::string& text);
std::optional<PlanOutput> RunPlanCommand(std::string_view program, std::span<const std::string> args,
                                         FileNameFromText fileName = nullptr);

} // namespace vantrell
