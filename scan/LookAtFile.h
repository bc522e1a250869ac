#pragma once
// The LookAt file writer: every point replaces "Vantrell.kml" in the working directory.

#include "FileReplace.h"
#include "PointSinks.h"

#include <atomic>
#include <mutex>
#include <string_view>

namespace vantrell {

class CLookAtFile final : public IPointWriter {
public:
    explicit CLookAtFile(std::string_view fileName = kDefaultName);

    // Worker thread. A point that cannot be written is skipped; the next one tries again.
    void WritePoint(float latitude, float longitude, std::int32_t range) override;

    // Any thread, on the way out: waits for a write in progress to finish, then ignores
    // every later point, so the process can end without leaving a temporary file behind.
    void Freeze();

    // Points written whole since construction (tests and benchmarks).
    std::uint64_t Written() const { return m_written.load(std::memory_order_relaxed); }
    // The temporary file each point passes through (tests).
    const std::string& TemporaryName() const { return m_file.Temporary(); }

    static constexpr std::string_view kDefaultName = "Vantrell.kml";

private:
    std::mutex m_writing;
    bool m_frozen = false; // guarded by m_writing
    std::atomic<std::uint64_t> m_written{0};
    CFileReplacer m_file;
};

// The program's one LookAt file, "Vantrell.kml"; created on first use, never destroyed.
CLookAtFile& ProgramLookAtFile();

} // namespace vantrell
