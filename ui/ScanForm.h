#pragma once
// The scan form's rules, written once for every toolkit: which fields are read and in
// which order, Start and resume, Pause, creating the job and starting its worker. A
// toolkit's dialog derives from CScanForm and only maps control IDs to its controls.
// Everything here runs on the user-interface thread.

#include "AreaWalk.h"
#include "RequestText.h"
#include "ScanJob.h"
#include "ScanRequest.h"
#include "resource.h"

#include <array>
#include <memory>
#include <string>

namespace vantrell {

// The thirteen fields' controls in the order they are read and handed to the job.
inline constexpr std::array<int, kRequestFields> kScanFieldOrder = [] {
    std::array<int, kRequestFields> order{};
    for (std::size_t i = 0; i < kRequestFields; ++i)
        order[i] = kScanRequestFields[i].control;
    return order;
}();

// The fields a label before them cannot name: the lists have none, and "Min:" and "Sec:"
// do not say which coordinate they belong to. Their accessible names are string-table
// entries, set over what the platform derives from the label.
struct FieldNameString {
    int control;
    int string;
};
inline constexpr std::size_t kNamedFields = [] {
    std::size_t named = 0;
    for (const ScanRequestField& field : kScanRequestFields)
        named += field.string != 0 ? 1 : 0;
    return named;
}();
inline constexpr std::array<FieldNameString, kNamedFields> kFieldNameStrings = [] {
    std::array<FieldNameString, kNamedFields> named{};
    std::size_t i = 0;
    for (const ScanRequestField& field : kScanRequestFields) {
        if (field.string != 0)
            named[i++] = {field.control, field.string};
    }
    return named;
}();

class CScanForm {
public:
    CScanForm() = default;
    CScanForm(const CScanForm&) = delete;
    CScanForm& operator=(const CScanForm&) = delete;
    virtual ~CScanForm(); // leaves the job alone: the worker may still be using it

    // Start (IDOK, or Enter in a field). The first one reads the fields, creates the job
    // and starts its worker; every later one only resumes.
    void OnBnClickedStart();
    // Pause (IDC_PAUSE): holds the walk after its current delay. Nothing before a Start.
    void OnBnClickedPause();

    // The job the first Start would create from the fields now, to plan with: nothing runs
    // it, and its points and waits would go nowhere. Starts, pauses and writes nothing.
    // Kept to m_area, as the first Start's job will be.
    std::unique_ptr<CScanJob> RequestFromFields() const;

    // The fields' texts now, in kScanFieldOrder.
    RequestTexts FieldTexts() const;
    // Puts texts in the fields, in kScanFieldOrder, as if typed or picked.
    void FillFields(const RequestTexts& texts);

    // "Wait for the viewer to read each point": before Start the box's state, handed to
    // the job at the first Start; after it, the job's flag as well.
    void SetFollow(bool follow);
    bool Follow() const { return m_bFollow; }

    // The watch on the file the job's points go to, and the clock it reads; the
    // program's unless a test says otherwise.
    virtual IReadWatch& ReadWatch();
    virtual IClock& Clock();
    // Where the job's points go; the program's LookAt file unless a test says otherwise.
    virtual IPointWriter& PointWriter();

    // The job of the first Start; never freed while the process runs (the detached
    // worker holds it too).
    CScanJob* m_pJob = nullptr;
    bool m_bStarted = false;
    RequestTexts m_startTexts;    // the fields as the first Start read them
    std::int64_t m_startedMs = 0; // Clock() at the first Start
    // "Begin at that point": the first Start begins the first pass at the point the
    // LookAt file holds, found again for the request it reads.
    bool m_bResume = false;
    // The first Start was to begin there, but the LookAt file held no point of the request
    // it read, so the first pass began at point 1.
    bool m_bResumeMissed = false;
    // The area the walk keeps to, or null for the whole rectangle; read by every Start's
    // and plan's job. Set before the first Start only.
    std::shared_ptr<const Area> m_area;
    // Half a path's corridor, tenths of a mile, at least 0.
    std::int32_t m_corridorTenths = kDefaultCorridorTenths;

protected:
    // The control's text, as the user sees it; an unselected list reads as "".
    virtual std::string ReadFieldText(int id) const = 0;
    // Sets the control's text; a list selects the word, or nothing for "".
    virtual void WriteFieldText(int id, const std::string& text) = 0;
    // Starts one detached worker running ScanThreadProc on job; false if none could be made.
    virtual bool StartWorker(CScanJob& job);

private:
    // Keeps job to m_area. The set is made for job's pass, so a request edited since the
    // last one gets a new set; the same request, area and corridor reuse it.
    void KeepToArea(CScanJob& job) const;

    bool m_bFollow = false;
    mutable std::shared_ptr<const KeptPoints> m_kept; // the last set made, with its request
    mutable ScanRequest m_keptRequest;
};

// The worker thread's entry: runs the job, and returns 0 if the walk ever ends.
unsigned ScanThreadProc(CScanJob* job);

// Called once when the form has closed, before the process ends: lets a file write in
// progress finish and stops all later ones, so the worker can be abandoned mid-walk
// without leaving a temporary file behind.
void EndScanning();

} // namespace vantrell
