#include "ScanForm.h"

#include "LookAtDocument.h"
#include "LookAtFile.h"
#include "PassCount.h"

#include <system_error>
#include <thread>

namespace vantrell {
CScanForm::~CScanForm() = default;

void CScanForm::OnBnClickedStart()
{
    if (m_bStarted) {
        // The walk keeps the values of the first Start; edits since then are not read.
        m_pJob->m_bPaused.store(false, std::memory_order_relaxed);
        return;
    }
    m_bStarted = true;
    m_startTexts = FieldTexts();
    std::uint64_t firstPoint = 1;
    if (m_bResume) {
        // Found again for the values read now: the fields may have changed since the box
        // was ticked. The writer has not written yet.
        const std::unique_ptr<CScanJob> planned = JobFromTexts(m_startTexts, Discard(), Discard());
        KeepToArea(*planned); // the point's number counts the kept points only
        const std::optional<std::uint64_t> found = FindWrittenPoint(*planned, kLookAtFileName);
        firstPoint = found.value_or(1);
        m_bResumeMissed = !found;
    }
    m_pJob = JobFromTexts(m_startTexts, PointWriter(), RealSleeper(), firstPoint, &ReadWatch()).release();
    KeepToArea(*m_pJob);
    m_pJob->m_bFollow.store(m_bFollow, std::memory_order_relaxed);
    m_startedMs = Clock().NowMs();
    if (!StartWorker(*m_pJob)) {
        // Forget the failed Start so that the next one tries again.
        delete m_pJob;
        m_pJob = nullptr;
        m_bStarted = false;
    }
}

std::unique_ptr<CScanJob> CScanForm::RequestFromFields() const
{
    std::unique_ptr<CScanJob> job = JobFromTexts(FieldTexts(), Discard(), Discard());
    KeepToArea(*job);
    return job;
}

void CScanForm::KeepToArea(CScanJob& job) const
{
    if (!m_area) {
        m_kept.reset();
        return;
    }
    const ScanRequest request = job.Request();
    if (!m_kept || m_kept->SharedArea() != m_area || m_kept->CorridorTenths() != m_corridorTenths ||
        m_keptRequest != request) {
        m_kept = KeepPoints(job, m_area, m_corridorTenths);
        m_keptRequest = request;
    }
    job.KeepTo(m_kept);
}

void CScanForm::FillFields(const RequestTexts& texts)
{
    for (std::size_t i = 0; i < kRequestFields; ++i)
        WriteFieldText(kScanRequestFields[i].control, texts[i]);
}

void CScanForm::SetFollow(bool follow)
{
    m_bFollow = follow;
    if (m_pJob)
        m_pJob->m_bFollow.store(follow, std::memory_order_relaxed);
}

IReadWatch& CScanForm::ReadWatch()
{
    return ProgramReadWatch();
}

IClock& CScanForm::Clock()
{
    return RealClock();
}

RequestTexts CScanForm::FieldTexts() const
{
    RequestTexts texts;
    for (std::size_t i = 0; i < kRequestFields; ++i)
        texts[i] = ReadFieldText(kScanRequestFields[i].control);
    return texts;
}

void CScanForm::OnBnClickedPause()
{
    if (m_pJob)
        m_pJob->m_bPaused.store(true, std::memory_order_relaxed);
}

IPointWriter& CScanForm::PointWriter()
{
    return ProgramLookAtFile();
}

bool CScanForm::StartWorker(CScanJob& job)
{
    try {
        std::thread(ScanThreadProc, &job).detach();
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

unsigned ScanThreadProc(CScanJob* job)
{
    job->Run();
    return 0;
}

void EndScanning()
{
    ProgramLookAtFile().Freeze();
}

} // namespace vantrell
