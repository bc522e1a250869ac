#pragma once
// What the plan dialog shows, written once for every toolkit: before Start, the plan of
// the values now in the fields, where the LookAt file stands in it, and a plan to open;
// after it, the plan of the running scan (the values of the first Start), how far it has
// got and what the viewer makes of it. Looking never starts, pauses or resumes anything
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
// The files "Open area..." offers: what ReadAreaFile reads.
inline constexpr std::string_view kAreaPattern = "*.kml;*.kmz;*.gpx";
// How often the dialog refreshes the progress of a running scan, milliseconds.
inline constexpr int kProgressRefreshMs = 1000;
// How long after Start a viewer that has read nothing is said to be missing, ms.
inline constexpr std::int64_t kViewerMissingMs = 10'000;

class CPlanView {
public:
    // Takes the form's state now; the form must outlive the view.
    explicit CPlanView(CScanForm& form);

    // Whether a scan runs, so that Progress changes and wants refreshing.
    bool Running() const { return m_fields == nullptr; }
    // The plan, lines ending in '\n'; changes only with OpenPlan.
    const std::string& Plan() const { return m_plan; }
    // Whether the planned pass writes points (the kept ones, for an area), so that a
    // preview can be saved.
    bool HasPoints() const { return m_hasPoints; }
    // Before Start, where the LookAt file holds a point of the planned pass: "Vantrell.kml
    // holds point 4,013 of this pass."; otherwise "", and "Begin at that point" is hidden.
    const std::string& ResumeText() const { return m_resume; }

    // The running scan's pass and point, "Paused" while it is, and what the viewer does,
    // a line each; no line end at the close. "" before Start.
    std::string Progress();
    // Writes a preview of the planned scan to path; false with a sentence for the user.
    bool SavePreview(std::string_view path, std::string& error);

    // "Open plan...", before the first Start only: fills the form's fields with the
    // request a preview at path holds, as if typed, and plans it. On failure nothing is
    // filled and error is a sentence for the user.
    bool CanOpen() const { return !Running(); }
    // Forgets any area opened before: the plan's request walks its whole rectangle.
    bool OpenPlan(std::string_view path, std::string& error);

    // "Open area...", before the first Start only: reads the area at path (ReadAreaFile),
    // fills the form's corner and miles with the rectangle that holds it, as if typed,
    // leaving Speed Factor, Range and Resolution as they are, and keeps the walk of this
    // and every later request to the area. On failure nothing changes and error is a
    // sentence for the user.
    bool OpenArea(std::string_view path, std::string& error);
    // "Either side of a path (1/10 miles)", before the first Start only: the field's text
    // through the form's text-to-number rule, below 0 read as 0. Where an area is kept,
    // fills the corner and miles again for its paths' corridors, and replans.
    void SetCorridor(std::string_view text);
    std::string CorridorText() const;

    // "Wait for the viewer to read each point": offered where the folder can be watched.
    bool CanFollow() const { return m_form.ReadWatch().Status().watchable; }
    // Why the box is disabled, where it is, for the progress before Start: "" where it is not.
    std::string FollowReason() const;
    bool Follow() const { return m_form.Follow(); }
    // The plan's pace depends on it: plans again, so show Plan() afresh.
    void SetFollow(bool follow)
    {
        m_form.SetFollow(follow);
        Replan();
    }
    // "Begin at that point".
    bool Resume() const { return m_form.m_bResume; }
    void SetResume(bool resume) { m_form.m_bResume = resume; }

private:
    void Replan();
    // The corner and the miles of the rectangle that holds area with the form's corridor;
    // false, nothing filled, for an area without a finite point.
    bool FillFromArea(const Area& area);
    std::string ViewerLines();

    CScanForm& m_form;
    std::unique_ptr<CScanJob> m_fields; // before Start: the fields' values, never run
    CScanJob* m_job = nullptr;          // what is planned: m_fields, or the form's running job
    bool m_hasPoints = false;
    std::string m_plan;
    std::string m_resume;
    // When the walk was first seen waiting on its last point, by the form's clock.
    std::uint64_t m_waitingFor = 0;
    std::int64_t m_waitingSinceMs = 0;
};

} // namespace vantrell
