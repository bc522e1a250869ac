#pragma once
// The clock that stamps what the engine observes while a walk runs.

#include <cstdint>

namespace vantrell {

// A steady clock in milliseconds from an arbitrary start, never going back. Any thread.
class IClock {
public:
    virtual std::int64_t NowMs() noexcept = 0;

protected:
    ~IClock() = default;
};

// std::chrono::steady_clock.
class CSteadyClock final : public IClock {
public:
    std::int64_t NowMs() noexcept override;
};

// Process-wide, created on first use and never destroyed, so a detached worker may still
// use it while the process is ending.
IClock& RealClock();

} // namespace vantrell
