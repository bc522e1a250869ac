#include "PlanView.h"

#include "ScanPlan.h"

namespace vantrell {

// The planner changes no job and reads only its values, so it may word the job the
// worker is walking.
CPlanView::CPlanView(const CScanForm& form)
    : m_fields(form.m_pJob ? nullptr : form.RequestFromFields()),
      m_job(form.m_pJob ? form.m_pJob : m_fields.get()),
      m_hasPoints(CountPass(*m_job).has_value())
{
    PlanOptions options;
    options.capped = CappedFields(form.m_pJob ? form.m_startTexts : form.FieldTexts());
    m_plan = PlanText(*m_job, options);
}

std::string CPlanView::Progress()
{
    if (!Running())
        return {};
    const std::uint64_t emitted = m_job->Emitted();
    const bool paused = m_job->m_bPaused.load(std::memory_order_relaxed);
    if (m_progress.empty() || emitted != m_emitted || paused != m_paused) {
        m_progress = ProgressText(*m_job, emitted, paused);
        m_emitted = emitted;
        m_paused = paused;
    }
    return m_progress;
}

bool CPlanView::SavePreview(std::string_view path, std::string& error)
{
    return WritePreview(path, *m_job, error);
}

} // namespace vantrell
