#include "Clock.h"

#include <chrono>

namespace vantrell {

std::int64_t CSteadyClock::NowMs() noexcept
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

IClock& RealClock()
{
    static CSteadyClock* const clock = new CSteadyClock;
    return *clock;
}

} // namespace vantrell
