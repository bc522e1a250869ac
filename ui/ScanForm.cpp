#include "ScanForm.h"


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
    m_pJob = JobFromTexts(m_startTexts, PointWriter(), RealSleeper()).release();
    if (!StartWorker(*m_pJob)) {
        // Forget the failed Start so that the next one tries again.
        delete m_pJob;
        m_pJob = nullptr;
        m_bStarted = false;
    }
}

std::unique_ptr<CScanJob> CScanForm::RequestFromFields() const
{
    return JobFromTexts(FieldTexts(), Discard(), Discard());
}

RequestTexts CScanForm::FieldTexts() const
{
    RequestTexts texts;
    for (std::size_t i = 0; i < kScanFieldOrder.size(); ++i)
        texts[i] = ReadFieldText(kScanFieldOrder[i]);
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
