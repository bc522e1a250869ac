#pragma once
// The LookAt file writer: every point replaces "Vantrell.kml" in the working directory.

#include "FileReplace.h"
#include "LookAtDocument.h"
#include "PointSinks.h"
#include "ReadWatch.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <string_view>

namespace vantrell {

class CLookAtFile final : public IPointWriter {
public:
    // watch, when given, is told around every replacement of the file, and which way it
    // went, on the writing thread under the write lock; it must watch the same file and
    // outlive the writer.
    explicit CLookAtFile(std::string_view fileName = kLookAtFileName, IReadWatch* watch = nullptr);

    // Worker thread. A point that cannot be written is skipped; the next one tries again.
    void WritePoint(float latitude, float longitude, std::int32_t range) override;

    // Any thread, on the way out: ignores every later point, and waits for a write in
    // progress to finish, so the process can end without leaving a temporary file
    // behind. The wait is bounded by kFreezeWait: a write stuck in the file system (a
    // stalled network folder) must not keep the program from ending.
    void Freeze();
    static constexpr std::chrono::milliseconds kFreezeWait{500};

    // Points written whole since construction (tests and benchmarks).
    std::uint64_t Written() const { return m_written.load(std::memory_order_relaxed); }
    // The temporary file the next point passes through (tests).
    std::string TemporaryName() const { return m_file.Temporary(); }

private:
    std::mutex m_writing; // held for a whole write
    std::atomic<bool> m_frozen{false};
    std::atomic<std::uint64_t> m_written{0};
    CFileReplacer m_file;
    IReadWatch* const m_watch;
};

// The program's one LookAt file, kLookAtFileName, watched by ProgramReadWatch(); created on
// first use, never destroyed.
CLookAtFile& ProgramLookAtFile();
// The watch on kLookAtFileName in the working directory, on the real clock; created on
// first use, never destroyed.
IReadWatch& ProgramReadWatch();

} // namespace vantrell
