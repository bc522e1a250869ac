#include "ScanForm.h"

#include "TextToNumber.h"

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
    m_pJob = JobFromFields(PointWriter(), RealSleeper()).release();
    if (!StartWorker(*m_pJob)) {
        // Forget the failed Start so that the next one tries again.
        delete m_pJob;
        m_pJob = nullptr;
        m_bStarted = false;
    }
}

std::unique_ptr<CScanJob> CScanForm::RequestFromFields() const
{
    return JobFromFields(Discard(), Discard());
}

std::unique_ptr<CScanJob> CScanForm::JobFromFields(IPointWriter& writer, ISleeper& sleeper) const
{
    std::array<std::string, kScanFieldOrder.size()> text;
    for (std::size_t i = 0; i < kScanFieldOrder.size(); ++i)
        text[i] = ReadFieldText(kScanFieldOrder[i]);
    const auto number = [&](std::size_t i) { return TextToInt32(text[i]); };
    return std::make_unique<CScanJob>(number(0), number(1), number(2), text[3], number(4), number(5), number(6),
                                      text[7], number(8), number(9), number(10), number(11), number(12), writer,
                                      sleeper);
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
