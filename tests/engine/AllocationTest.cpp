// A walk that is running must not touch the heap: a point costs file system calls and
// arithmetic, nothing that can fail for want of memory or stall on an allocator lock.
// Every replaceable operator new and delete below counts its calls and forwards to
// malloc and free, so the sanitizers still see every block.

#include "AreaWalk.h"
#include "LookAtFile.h"
#include "ReadWatch.h"
#include "Recorder.h"
#include "ScanJob.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<std::uint64_t> g_news{0};
std::atomic<std::uint64_t> g_deletes{0};

void* Allocate(std::size_t size, std::size_t alignment)
{
    g_news.fetch_add(1, std::memory_order_relaxed);
    if (size == 0)
        size = 1;
    for (;;) {
        void* p = nullptr;
        if (alignment <= __STDCPP_DEFAULT_NEW_ALIGNMENT__)
            p = std::malloc(size);
        else if (::posix_memalign(&p, alignment, size) != 0)
            p = nullptr;
        if (p)
            return p;
        const std::new_handler handler = std::get_new_handler();
        if (!handler)
            throw std::bad_alloc();
        handler();
    }
}

void* AllocateOrNull(std::size_t size, std::size_t alignment) noexcept
{
    try {
        return Allocate(size, alignment);
    } catch (...) {
        return nullptr;
    }
}

void Release(void* p) noexcept
{
    if (!p)
        return;
    g_deletes.fetch_add(1, std::memory_order_relaxed);
    std::free(p);
}

constexpr std::size_t kPlain = __STDCPP_DEFAULT_NEW_ALIGNMENT__;

} // namespace

void* operator new(std::size_t n) { return Allocate(n, kPlain); }
void* operator new[](std::size_t n) { return Allocate(n, kPlain); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return AllocateOrNull(n, kPlain); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return AllocateOrNull(n, kPlain); }
void* operator new(std::size_t n, std::align_val_t a) { return Allocate(n, static_cast<std::size_t>(a)); }
void* operator new[](std::size_t n, std::align_val_t a) { return Allocate(n, static_cast<std::size_t>(a)); }
void* operator new(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept
{
    return AllocateOrNull(n, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept
{
    return AllocateOrNull(n, static_cast<std::size_t>(a));
}
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Release(p); }
void operator delete(void* p, std::align_val_t) noexcept { Release(p); }
void operator delete[](void* p, std::align_val_t) noexcept { Release(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { Release(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { Release(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { Release(p); }

namespace vantrell {
namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

struct Counts {
    std::uint64_t news = 0;
    std::uint64_t deletes = 0;
};

Counts Now()
{
    return {g_news.load(std::memory_order_relaxed), g_deletes.load(std::memory_order_relaxed)};
}

Counts Since(const Counts& start)
{
    const Counts now = Now();
    return {now.news - start.news, now.deletes - start.deletes};
}

// A sanitizer runtime that kept operator new for itself would leave our counters at
// zero and every test below passing for nothing.
bool CountersSeeAllocations()
{
    const Counts start = Now();
    ::operator delete(::operator new(32));
    const Counts seen = Since(start);
    return seen.news == 1 && seen.deletes == 1;
}

#define REQUIRE_LIVE_COUNTERS()                                                                    \
    do {                                                                                           \
        if (!CountersSeeAllocations()) {                                                           \
            if (kSanitized)                                                                        \
                GTEST_SKIP() << "this sanitizer's runtime keeps operator new to itself; the "      \
                                "default build counts allocations";                                \
            FAIL() << "the replacement operator new is not called";                                \
        }                                                                                          \
    } while (false)

constexpr std::size_t kWarmUpPoints = 1'000;
constexpr std::size_t kCountedPoints = 10'000;

// Passes points on, and counts the heap calls made between the end of the warm-up and
// the last counted point; then ends the walk.
class CCountingWindow final : public IPointWriter {
public:
    explicit CCountingWindow(IPointWriter& inner) : m_inner(inner) {}

    void WritePoint(float latitude, float longitude, std::int32_t range) override
    {
        m_inner.WritePoint(latitude, longitude, range);
        ++m_points;
        if (m_points == kWarmUpPoints) {
            m_start = Now();
        } else if (m_points == kWarmUpPoints + kCountedPoints) {
            m_counted = Since(m_start);
            throw test::WalkStopped();
        }
    }

    Counts Counted() const { return m_counted; }
    std::size_t Points() const { return m_points; }

private:
    IPointWriter& m_inner;
    std::size_t m_points = 0;
    Counts m_start;
    Counts m_counted;
};

class CNullWriter final : public IPointWriter {
public:
    void WritePoint(float, float, std::int32_t) override {}
};

// Walks from pass to pass (a 3 x 2 mile request at the default step makes about a
// hundred points a pass), so pass restarts fall inside the counted window too; kept to
// area where one is given, its set made before the walk.
Counts CountWalk(IPointWriter& writer, const Area* area = nullptr)
{
    CCountingWindow window(writer);
    test::CNoSleep sleeper;
    CScanJob job({45, 30, 0, "North", 122, 40, 0, "West", 3, 2, 0, 1000, 0}, window, sleeper);
    if (area)
        job.KeepTo(KeepPoints(job, *area));
    EXPECT_THROW(job.Run(), test::WalkStopped);
    EXPECT_EQ(window.Points(), kWarmUpPoints + kCountedPoints);
    return window.Counted();
}

// The working directory is an empty scratch directory for the test's lifetime.
class CScratchWorkingDirectory {
public:
    CScratchWorkingDirectory()
    {
        char pattern[] = "/tmp/vantrell-alloc-XXXXXX";
        if (::mkdtemp(pattern) == nullptr)
            return;
        m_path = pattern;
        m_previous = std::filesystem::current_path();
        m_entered = ::chdir(pattern) == 0;
    }
    ~CScratchWorkingDirectory()
    {
        std::error_code ignored;
        if (m_entered)
            std::filesystem::current_path(m_previous, ignored);
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ignored);
    }
    CScratchWorkingDirectory(const CScratchWorkingDirectory&) = delete;
    CScratchWorkingDirectory& operator=(const CScratchWorkingDirectory&) = delete;

    bool Entered() const { return m_entered; }

private:
    std::filesystem::path m_path;
    std::filesystem::path m_previous;
    bool m_entered = false;
};

// The compiler may drop a new-expression whose pointer goes nowhere; this one goes out.
void* volatile g_escaped = nullptr;

template <class T>
T* Escape(T* p)
{
    g_escaped = p;
    return p;
}

TEST(AllocationCounter, SeesEveryReplaceableFormAndTheSharedLibrary)
{
    REQUIRE_LIVE_COUNTERS();
    struct alignas(64) Wide {
        char bytes[64];
    };
    const Counts start = Now();
    delete Escape(new int(1));
    delete[] Escape(new int[3]);
    ::operator delete(::operator new(8, std::nothrow), std::nothrow);
    ::operator delete[](::operator new[](8, std::nothrow), std::nothrow);
    delete Escape(new Wide);
    delete[] Escape(new Wide[2]);
    ::operator delete(::operator new(8, std::align_val_t{64}, std::nothrow), std::align_val_t{64},
                      std::nothrow);
    ::operator delete[](::operator new[](8, std::align_val_t{64}, std::nothrow),
                        std::align_val_t{64}, std::nothrow);
    const Counts forms = Since(start);
    EXPECT_EQ(forms.news, 8u);
    EXPECT_EQ(forms.deletes, 8u);

    // Allocations made inside libstdc++'s own code land here too.
    const Counts before = Now();
    const std::string where = std::filesystem::current_path().string();
    EXPECT_FALSE(where.empty());
    EXPECT_GE(Since(before).news, 1u);
}

TEST(NoAllocationPerPoint, WalkThroughNullWriter)
{
    REQUIRE_LIVE_COUNTERS();
    CNullWriter writer;
    const Counts counted = CountWalk(writer);
    EXPECT_EQ(counted.news, 0u) << "operator new calls over " << kCountedPoints << " points";
    EXPECT_EQ(counted.deletes, 0u) << "operator delete calls over " << kCountedPoints << " points";
    // Kept to a road across the rectangle's corner, skipping most of its points.
    const Area road{{}, {{{45.5, -122.6667}, {45.48, -122.63}}}, "road.gpx"};
    const Counts kept = CountWalk(writer, &road);
    EXPECT_EQ(kept.news, 0u) << "operator new calls over " << kCountedPoints << " kept points";
    EXPECT_EQ(kept.deletes, 0u) << "operator delete calls over " << kCountedPoints << " kept points";
}

// Asks the read watch after every point, and reads the file after every tenth, as the
// viewer and the dialogs would meanwhile.
class CWatchedWriter final : public IPointWriter {
public:
    CWatchedWriter(IPointWriter& inner, IReadWatch& watch) : m_inner(inner), m_watch(watch) {}

    void WritePoint(float latitude, float longitude, std::int32_t range) override
    {
        m_inner.WritePoint(latitude, longitude, range);
        if (++m_points % 10 == 0)
            ::close(::open("Vantrell.kml", O_RDONLY | O_CLOEXEC));
        m_watch.Status();
    }

private:
    IPointWriter& m_inner;
    IReadWatch& m_watch;
    std::size_t m_points = 0;
};

// The real writer, replacing "Vantrell.kml" in the working directory with its read watch
// told and asked; then again while every replacement fails, which must be as frugal as
// success.
TEST(NoAllocationPerPoint, WalkWritingTheLookAtFile)
{
    REQUIRE_LIVE_COUNTERS();
    const CScratchWorkingDirectory scratch;
    ASSERT_TRUE(scratch.Entered());

    const auto watch = MakeReadWatch(kLookAtFileName, RealClock());
    CLookAtFile file(kLookAtFileName, watch.get());
    CWatchedWriter watched(file, *watch);
    const Counts written = CountWalk(watched);
    EXPECT_EQ(written.news, 0u) << "operator new calls over " << kCountedPoints << " points";
    EXPECT_EQ(written.deletes, 0u) << "operator delete calls over " << kCountedPoints << " points";
    // A writer that wrote nothing would allocate nothing too.
    EXPECT_EQ(file.Written(), kWarmUpPoints + kCountedPoints);
    EXPECT_EQ(watch->Status().read, (kWarmUpPoints + kCountedPoints) / 10) << "the watch did not see the reads";

    // A directory in the file's place: every point is written, then fails to move and is
    // removed again.
    ASSERT_EQ(::unlink("Vantrell.kml"), 0);
    ASSERT_EQ(::mkdir("Vantrell.kml", 0755), 0);
    CLookAtFile failing(kLookAtFileName, watch.get());
    CWatchedWriter watchedFailing(failing, *watch);
    const Counts failed = CountWalk(watchedFailing);
    EXPECT_EQ(failed.news, 0u) << "operator new calls over " << kCountedPoints << " failed points";
    EXPECT_EQ(failed.deletes, 0u) << "operator delete calls over " << kCountedPoints << " failed points";
    EXPECT_EQ(failing.Written(), 0u);
}

} // namespace
} // namespace vantrell
