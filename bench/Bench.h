#pragma once
// What the benchmark files share with the custom main that sums them up.

#include <string_view>

namespace vantrell::bench {

// Run names: "BM_Pass/..." (the walk), "BM_KeepPoints" (a pass kept to a track), "<writer>/round:N" (one file writer round).
inline constexpr std::string_view kPassName = "BM_Pass/";
inline constexpr std::string_view kKeepName = "BM_KeepPoints";
inline constexpr std::string_view kOurWriterName = "BM_WritePoint/CLookAtFile";
inline constexpr std::string_view kBaselineWriterName = "BM_WritePoint/RawPosix";
inline constexpr std::string_view kRoundTag = "/round:";
// Opening a 10 MB GPX track of kGpxPoints points, and copying its bytes.
inline constexpr std::string_view kReadGpxName = "BM_ReadGpx";
inline constexpr std::string_view kCopyGpxName = "BM_CopyGpx";
inline constexpr int kGpxPoints = 100'000;

// Registers rounds of our writer and of the baseline, alternating and swapping which goes
// first each round, so drift in the machine's speed falls on both alike. Both write
// "Vantrell.kml" in the working directory.
void RegisterWriterRounds(int rounds, double minSeconds);

} // namespace vantrell::bench
