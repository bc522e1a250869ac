#pragma once
// What the plan dialog shows, written once for every toolkit: before Start, the plan of
// the values now in the fields; after it, the plan of the running scan (the values of the
// first Start) and how far it has got. Looking never starts, pauses or resumes anything
// and never writes the LookAt file. User-interface thread.

#include "ScanForm.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace vantrell {

// The preview's suggested name, in the working folder.
inline constexpr std::string_view kPreviewFileName = "Vantrell plan.kml";
inline constexpr std::string_view kPreviewPattern = "*.kml";
// How often the dialog refreshes the progress of a running scan, milliseconds.
inline constexpr int kProgressRefreshMs = 1000;

class CPlanView {
public:
    // Takes the form's state now; the form must outlive the view.
    explicit CPlanView(const CScanForm& form);

    // Whether a scan runs, so that Progress changes and wants refreshing.
    bool Running() const { return m_fields == nullptr; }
    // The plan, lines ending in '\n'; fixed for the view's life.
    const std::string& Plan() const { return m_plan; }
    // The running scan's pass and point, and a second line "Paused" while it is; no line
    // end at the close. "" before Start.
    std::string Progress();
    // Whether the planned request yields points, so that a preview can be saved.
    bool HasPoints() const { return m_hasPoints; }
    // Writes a preview of the planned scan to path; false with a sentence for the user.
    bool SavePreview(std::string_view path, std::string& error);

private:
    std::unique_ptr<CScanJob> m_fields; // before Start: the fields' values, never run
    CScanJob* m_job;                    // what is planned: m_fields, or the form's running job
    bool m_hasPoints;
    std::string m_plan;
    // The last progress worded, and what it was worded from: a count of the pass per
    // refresh is spared while the scan holds still.
    std::uint64_t m_emitted = 0;
    bool m_paused = false;
    std::string m_progress;
};

} // namespace vantrell
