// The form's rules without any toolkit: what is read, in which order, and when.

#include "ScanForm.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace vantrell {
namespace {

class CFakeForm final : public CScanForm {
public:
    std::map<int, std::string> text;
    mutable std::vector<int> reads;
    bool workerStarts = true;
    std::vector<CScanJob*> started;

    ~CFakeForm() override { delete m_pJob; } // no worker ran: the job is ours to free

protected:
    std::string ReadFieldText(int id) const override
    {
        reads.push_back(id);
        const auto found = text.find(id);
        return found == text.end() ? std::string() : found->second;
    }
    void WriteFieldText(int id, const std::string& value) override { text[id] = value; }
    bool StartWorker(CScanJob& job) override
    {
        if (workerStarts)
            started.push_back(&job);
        return workerStarts;
    }
};

TEST(StartReadsFieldsInOrder, EachFieldLandsInItsOwnJobValue)
{
    CFakeForm form;
    form.text = {
        {IDC_LAT_DEG, "1"}, {IDC_LAT_MIN, " 2"}, {IDC_LAT_SEC, "3x"}, {IDC_LAT_DIR, "North"},
        {IDC_LON_DEG, "4"}, {IDC_LON_MIN, "+5"}, {IDC_LON_SEC, "6"}, {IDC_LON_DIR, "West"},
        {IDC_MILES_EAST, "7"}, {IDC_MILES_SOUTH, "8"}, {IDC_SPEED, "9"}, {IDC_RANGE, "-10"},
        {IDC_RESOLUTION, "99999999999"},
    };
    form.OnBnClickedStart();
    ASSERT_NE(form.m_pJob, nullptr);
    const CScanJob& job = *form.m_pJob;
    EXPECT_EQ(form.reads, std::vector<int>(kScanFieldOrder.begin(), kScanFieldOrder.end()));
    EXPECT_EQ((std::vector<std::int32_t>{job.m_nLatDeg, job.m_nLatMin, job.m_nLatSec, job.m_nLonDeg,
                                         job.m_nLonMin, job.m_nLonSec, job.m_nMilesEast, job.m_nMilesSouth,
                                         job.m_nSpeedFactor, job.m_nRange, job.m_nResolution}),
              (std::vector<std::int32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, -10, 2147483647}));
    EXPECT_EQ(job.m_strLatDir, "North");
    EXPECT_EQ(job.m_strLonDir, "West");
    EXPECT_EQ(form.started, std::vector<CScanJob*>{form.m_pJob});
}

TEST(LaterStartsOnlyResume, PauseAndStartToggleTheFlagAndNothingElse)
{
    CFakeForm form;
    form.OnBnClickedPause(); // before any Start: nothing to pause, nothing read
    EXPECT_EQ(form.m_pJob, nullptr);
    EXPECT_TRUE(form.reads.empty());

    form.OnBnClickedStart();
    CScanJob* job = form.m_pJob;
    form.OnBnClickedPause();
    EXPECT_TRUE(job->m_bPaused.load());
    form.text[IDC_LAT_DEG] = "50";
    form.OnBnClickedStart();
    EXPECT_FALSE(job->m_bPaused.load());
    EXPECT_EQ(form.m_pJob, job);
    EXPECT_EQ(job->m_nLatDeg, 0);
    EXPECT_EQ(form.reads.size(), kScanFieldOrder.size()) << "fields are read once, at the first Start";
    EXPECT_EQ(form.started.size(), 1u);
}

TEST(FailedWorkerStartIsForgotten, NextStartTriesAgain)
{
    CFakeForm form;
    form.workerStarts = false;
    form.OnBnClickedStart();
    EXPECT_FALSE(form.m_bStarted);
    EXPECT_EQ(form.m_pJob, nullptr);
    form.OnBnClickedPause(); // still nothing to pause
    form.workerStarts = true;
    form.text[IDC_RANGE] = "77";
    form.OnBnClickedStart();
    EXPECT_TRUE(form.m_bStarted);
    ASSERT_NE(form.m_pJob, nullptr);
    EXPECT_EQ(form.m_pJob->m_nRange, 77);
    EXPECT_EQ(form.started.size(), 1u);
}

// The form on the user-interface thread, the walk on a real worker thread, sharing only
// the paused flag: Pause and Start pressed again and again while points are written at
// speed factor 0, and the walk goes on after the last Start. Under ThreadSanitizer this
// is the program's one cross-thread conversation.
class CThreadedForm final : public CScanForm, public IPointWriter {
public:
    struct Stop {};
    std::atomic<long> points{0};
    std::atomic<bool> stop{false};

    ~CThreadedForm() override
    {
        stop.store(true);
        if (m_worker.joinable())
            m_worker.join();
        delete m_pJob; // the worker has ended: the job is ours to free
    }
    void WritePoint(float, float, std::int32_t) override
    {
        if (stop.load())
            throw Stop();
        points.fetch_add(1);
    }

protected:
    std::string ReadFieldText(int id) const override
    {
        static const std::map<int, std::string> text = {
            {IDC_LAT_DEG, "45"}, {IDC_LAT_DIR, "North"}, {IDC_LON_DEG, "122"}, {IDC_LON_DIR, "West"},
            {IDC_MILES_EAST, "1"}, {IDC_MILES_SOUTH, "1"}, {IDC_SPEED, "0"}, {IDC_RANGE, "1000"},
        };
        const auto found = text.find(id);
        return found == text.end() ? std::string() : found->second;
    }
    void WriteFieldText(int, const std::string&) override {}
    IPointWriter& PointWriter() override { return *this; }
    bool StartWorker(CScanJob& job) override
    {
        m_worker = std::thread([&job] {
            try {
                ScanThreadProc(&job);
            } catch (const Stop&) {
            }
        });
        return true;
    }

private:
    std::thread m_worker;
};

bool WaitForPoints(const CThreadedForm& form, long atLeast)
{
    // A resume is seen within one pause poll (1 s); far more than that means it was lost.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (form.points.load() < atLeast) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}

TEST(PauseAndStartAcrossThreads, WalkGoesOnAfterTheLastStart)
{
    CThreadedForm form;
    form.OnBnClickedStart();
    ASSERT_TRUE(WaitForPoints(form, 100)) << "the worker wrote no points";
    for (int i = 0; i < 1000; ++i) {
        form.OnBnClickedPause();
        form.OnBnClickedStart();
    }
    form.OnBnClickedPause();
    form.OnBnClickedStart();
    const long resumedAt = form.points.load();
    EXPECT_TRUE(WaitForPoints(form, resumedAt + 100)) << "the walk stayed paused after Start";
}

} // namespace
} // namespace vantrell
