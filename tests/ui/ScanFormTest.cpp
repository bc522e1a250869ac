// The form's rules without any toolkit: what is read, in which order, and when.

#include "ScanForm.h"

#include <gtest/gtest.h>

#include <map>
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

} // namespace
} // namespace vantrell
