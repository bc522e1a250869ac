#pragma once
// Spans of longitude (or any line), merged where they meet: the ground a row of views
// shows, the inside of a polygon along a latitude.

#include <algorithm>
#include <utility>
#include <vector>

namespace vantrell {

// Sorts spans (first <= second each) and merges those that overlap or touch, in place.
inline void MergeSpans(std::vector<std::pair<double, double>>& spans)
{
    std::sort(spans.begin(), spans.end());
    std::size_t kept = 0;
    for (const auto& span : spans) {
        if (kept > 0 && span.first <= spans[kept - 1].second)
            spans[kept - 1].second = std::max(spans[kept - 1].second, span.second);
        else
            spans[kept++] = span;
    }
    spans.resize(kept);
}

} // namespace vantrell
