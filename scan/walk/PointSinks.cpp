#include "PointSinks.h"

#include <chrono>
#include <thread>

namespace vantrell {

void CThreadSleeper::Sleep(std::uint64_t milliseconds)
{
    if (milliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    // One-hour slices keep every duration far from any clock's overflow.
    constexpr std::uint64_t kSlice = 3'600'000;
    while (milliseconds > 0) {
        const std::uint64_t now = milliseconds < kSlice ? milliseconds : kSlice;
        std::this_thread::sleep_for(std::chrono::milliseconds(now));
        milliseconds -= now;
    }
}

ISleeper& RealSleeper()
{
    static CThreadSleeper* const sleeper = new CThreadSleeper;
    return *sleeper;
}

CDiscard& Discard()
{
    static CDiscard* const discard = new CDiscard;
    return *discard;
}

} // namespace vantrell
