#include "PlanView.h"

#include "AreaFile.h"
#include "AreaWalk.h"
#include "Durations.h"
#include "Grouping.h"
#include "LookAtDocument.h"
#include "RequestFile.h"
#include "SameFile.h"
#include "ScanPlan.h"
#include "TextToNumber.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace vantrell {
namespace {

constexpr std::string_view kCannotWatch = "Viewer: cannot be watched in this folder.";

// A span of milliseconds as the plan words durations, to the whole second.
std::string Ago(std::int64_t ms)
{
    return QuarterSecondsText(static_cast<std::uint64_t>(std::max<std::int64_t>(ms, 0) / 1000), 4);
}

// The full path of the file the writer replaces: the LookAt file, or where its link leads.
std::string ReplacedFullPath()
{
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(FinalTarget(std::string(kLookAtFileName)), error);
    return error ? std::string(kLookAtFileName) : full.lexically_normal().string();
}

} // namespace

// The planner changes no job and reads only its values, so it may word the job the
// worker is walking.
CPlanView::CPlanView(CScanForm& form) : m_form(form)
{
    Replan();
}

void CPlanView::Replan()
{
    m_fields = m_form.m_pJob ? nullptr : m_form.RequestFromFields();
    m_job = m_form.m_pJob ? m_form.m_pJob : m_fields.get();
    const std::optional<PassShape> shape = CountPass(*m_job);
    m_hasPoints = shape && m_job->PassPoints(*shape) > 0;
    PlanOptions options;
    options.capped = CappedFields(m_form.m_pJob ? m_form.m_startTexts : m_form.FieldTexts());
    options.follow = m_form.Follow();
    m_plan = PlanText(*m_job, options);
    m_resume.clear();
    if (!Running()) {
        if (const std::optional<std::uint64_t> point = FindWrittenPoint(*m_job, kLookAtFileName))
            m_resume = vantrell::ResumeText(*point);
    }
    if (m_resume.empty())
        m_form.m_bResume = false; // no point to begin at for this request
}

std::string CPlanView::Progress()
{
    if (!Running())
        return {};
    const std::uint64_t emitted = m_job->Emitted();
    const bool paused = m_job->m_bPaused.load(std::memory_order_relaxed);
    std::string text = ProgressText(*m_job, emitted, paused);
    if (m_form.m_bResumeMissed)
        text += "\n\"Begin at that point\" did not apply: " + std::string(kLookAtFileName) +
                " held no point of the request Start read, so the first pass began at point 1.";
    const std::string viewer = ViewerLines();
    return viewer.empty() ? text : text + "\n" + viewer;
}

std::string CPlanView::FollowReason() const
{
    return CanFollow() ? std::string() : std::string(kCannotWatch) + " So the walk cannot wait for the viewer.";
}

std::string CPlanView::ViewerLines()
{
    const ReadStatus status = m_form.ReadWatch().Status();
    if (!status.watchable)
        return std::string(kCannotWatch);
    const std::int64_t now = m_form.Clock().NowMs();
    std::string text;
    // Versions the watch lost sight of are no sign of a missing viewer.
    const bool noneTold = status.cannotTell != 0 && status.cannotTell == status.replaced;
    if (status.read == 0 && !noneTold && now - m_form.m_startedMs >= kViewerMissingMs) {
        text = "Viewer: nothing has read " + std::string(kLookAtFileName) + " since Start (" +
               Ago(now - m_form.m_startedMs) + " ago). Check that the viewer's Network Link points at " +
               ReplacedFullPath() + ", refreshes periodically and flies to view.";
    } else {
        text = "Viewer: has read " + Grouped(status.read) + " of " + Grouped(status.replaced) +
               (status.replaced == 1 ? " point" : " points");
        if (status.cannotTell != 0)
            text += " (cannot tell for " + Grouped(status.cannotTell) + ")";
        if (status.lastReadMs >= 0)
            text += "; the last read was " + Ago(now - status.lastReadMs) + " ago";
        text += ".";
    }
    const std::uint64_t waiting = m_job->WaitingFor();
    if (waiting != m_waitingFor) {
        m_waitingFor = waiting;
        m_waitingSinceMs = now;
    }
    const std::uint64_t emitted = m_job->Emitted();
    if (waiting != 0) {
        // The wait is on the newest version: counted from its write, not from when this
        // dialog first saw the walk waiting.
        const std::int64_t since = status.newestMs >= 0 ? status.newestMs : m_waitingSinceMs;
        text += "\nWaiting for the viewer to read point " + Grouped(PointInPass(*m_job, waiting)) + " (" +
                Ago(now - since) + ").";
    } else if (status.newestCannotTell && emitted != 0) {
        text += "\nViewer: cannot tell whether point " + Grouped(PointInPass(*m_job, emitted)) + " was read";
        text += m_job->m_bFollow.load(std::memory_order_relaxed) ? "; the walk went on." : ".";
    }
    return text;
}

bool CPlanView::SavePreview(std::string_view path, std::string& error)
{
    return WritePreview(path, *m_job, error);
}

bool CPlanView::OpenPlan(std::string_view path, std::string& error)
{
    if (!CanOpen()) {
        error = "A plan can be opened only before the first Start.";
        return false;
    }
    const std::optional<PlanFile> plan = ReadPlanFile(path, error);
    if (!plan)
        return false;
    // The area the preview carries, or none: the whole rectangle.
    m_form.m_area = plan->area;
    if (plan->area)
        m_form.m_corridorTenths = plan->corridorTenths;
    m_form.FillFields(plan->texts);
    Replan();
    return true;
}

bool CPlanView::OpenArea(std::string_view path, std::string& error)
{
    if (!CanOpen()) {
        error = "An area can be opened only before the first Start.";
        return false;
    }
    std::optional<Area> area = ReadAreaFile(path, error);
    if (!area)
        return false;
    if (!FillFromArea(*area)) { // the reader refuses such a file first
        error = "\"" + area->fileName + "\" holds no point to walk to.";
        return false;
    }
    m_form.m_area = std::make_shared<const Area>(std::move(*area));
    Replan();
    return true;
}

bool CPlanView::FillFromArea(const Area& area)
{
    const RequestTexts typed = m_form.FieldTexts();
    const std::optional<ScanRequest> request = RequestForArea(area, RequestOfTexts(typed), m_form.m_corridorTenths);
    if (!request)
        return false;
    RequestTexts texts = TextsOf(*request);
    for (std::size_t i = 0; i < kRequestFields; ++i) {
        const int control = kScanRequestFields[i].control;
        if (control == IDC_SPEED || control == IDC_RANGE || control == IDC_RESOLUTION)
            texts[i] = typed[i]; // as the user typed them, capped numbers included
    }
    m_form.FillFields(texts);
    return true;
}

void CPlanView::SetCorridor(std::string_view text)
{
    const std::int32_t tenths = std::max<std::int32_t>(TextToInt32(text), 0);
    if (Running() || tenths == m_form.m_corridorTenths)
        return; // the running walk keeps the corridor of its Start
    m_form.m_corridorTenths = tenths;
    if (m_form.m_area) {
        FillFromArea(*m_form.m_area); // a path's corridor is part of the area
        Replan();
    }
}

std::string CPlanView::CorridorText() const
{
    return Digits(static_cast<std::uint64_t>(m_form.m_corridorTenths));
}

} // namespace vantrell
