// The form's rules without any toolkit: what is read, in which order, and when.

#include "../engine/Recorder.h"
#include "Grouping.h"
#include "PlanView.h"
#include "LookAtFile.h"
#include "ScanForm.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace vantrell {
namespace {

class CFakeForm final : public CScanForm, public IClock {
public:
    std::map<int, std::string> text;
    mutable std::vector<int> reads;
    bool workerStarts = true;
    std::vector<CScanJob*> started;
    test::CStandInWatch watch;
    test::CRecorder writer; // the points of a walk the test runs itself
    std::int64_t nowMs = 0;

    IReadWatch& ReadWatch() override { return watch; }
    IPointWriter& PointWriter() override { return writer; }
    IClock& Clock() override { return *this; }
    std::int64_t NowMs() noexcept override { return nowMs; }

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

// A folder of the test's own as the working folder, where the plan looks for Vantrell.kml.
class CInFolder {
public:
    CInFolder() : m_previous(getcwd(nullptr, 0), &std::free)
    {
        char name[] = "/tmp/vantrell-form-XXXXXX";
        m_folder = mkdtemp(name);
        EXPECT_EQ(chdir(m_folder.c_str()), 0);
    }
    ~CInFolder()
    {
        EXPECT_EQ(chdir(m_previous.get()), 0);
        std::filesystem::remove_all(m_folder);
    }
    std::string m_folder;

private:
    std::unique_ptr<char, decltype(&std::free)> m_previous{nullptr, &std::free};
};

// What the dialog says of the viewer while a scan runs, from the watch and the form's clock;
// of a point the watch lost sight of, that it cannot tell, and never that nothing read it.
TEST(PlanViewSaysWhatTheViewerDoes, ReadsSinceStartOrWhyNone)
{
    CInFolder folder;
    CFakeForm form;
    form.text = {{IDC_MILES_EAST, "1"}, {IDC_MILES_SOUTH, "1"}, {IDC_SPEED, "0"}, {IDC_RANGE, "1000"}};
    form.nowMs = 5'000;
    form.SetFollow(true);
    form.OnBnClickedStart();
    ASSERT_TRUE(form.m_pJob);
    EXPECT_TRUE(form.m_pJob->m_bFollow.load()) << "the box's state goes to the job";
    // Three points walked, unticked meanwhile (the stand-in sees no reads of them).
    form.writer.stopAfterPoints = 4;
    form.m_pJob->m_bFollow = false;
    EXPECT_THROW(form.m_pJob->Run(), test::WalkStopped);
    form.m_pJob->m_bFollow = true;
    CPlanView view(form);
    const auto viewer = [&] {
        const std::string progress = view.Progress();
        return progress.substr(progress.find('\n') + 1);
    };
    form.watch.Replaced();
    form.nowMs = 14'000;
    EXPECT_EQ(viewer(), "Viewer: has read 0 of 1 point.");
    form.nowMs = 16'000;
    EXPECT_EQ(viewer(), "Viewer: nothing has read Vantrell.kml since Start (11 s ago). Check that the viewer's "
                        "Network Link points at " + folder.m_folder + "/Vantrell.kml, refreshes periodically "
                        "and flies to view.");
    form.watch.ReadNewest(16'000);
    form.watch.Replaced();
    form.nowMs = 79'000;
    EXPECT_EQ(viewer(), "Viewer: has read 1 of 2 points; the last read was 1 min 3 s ago.");
    form.watch.LoseSight();
    EXPECT_EQ(viewer(), "Viewer: has read 1 of 2 points (cannot tell for 1); the last read was 1 min 3 s ago.\n"
                        "Viewer: cannot tell whether point 3 was read; the walk went on.");
    form.SetFollow(false);
    EXPECT_FALSE(form.m_pJob->m_bFollow.load());
    EXPECT_EQ(viewer(), "Viewer: has read 1 of 2 points (cannot tell for 1); the last read was 1 min 3 s ago.\n"
                        "Viewer: cannot tell whether point 3 was read.");
    form.watch.read = 0;
    form.watch.cannotTell = 2;
    form.watch.lastReadMs = -1;
    EXPECT_EQ(viewer(), "Viewer: has read 0 of 2 points (cannot tell for 2).\n"
                        "Viewer: cannot tell whether point 3 was read.");
    form.watch.watchable = false;
    EXPECT_FALSE(view.CanFollow());
    EXPECT_EQ(viewer(), "Viewer: cannot be watched in this folder.");
}

// Before Start the plan finds the point Vantrell.kml holds; Begin at that point makes
// the first Start begin there. A plan opened from a preview fills the fields as typed.
TEST(PlanViewComesBackToAScan, ResumePointAndOpenedPlan)
{
    CInFolder folder;
    CFakeForm form;
    form.text = {{IDC_LAT_DEG, "45"}, {IDC_LAT_DIR, "North"}, {IDC_LON_DEG, "122"}, {IDC_LON_DIR, "West"},
                 {IDC_MILES_EAST, "1"}, {IDC_MILES_SOUTH, "1"}, {IDC_SPEED, "20"}, {IDC_RANGE, "1000"}};
    {
        CPlanView view(form);
        EXPECT_EQ(view.ResumeText(), "") << "no Vantrell.kml";
        std::string error;
        ASSERT_TRUE(view.SavePreview("plan.kml", error)) << error;
    }
    test::CRecorder walked;
    ASSERT_TRUE(test::MakeJob({.east = 1, .south = 1, .speed = 20}, walked).RunPass());
    const test::Event seventh = walked.Points()[6];
    CLookAtFile file;
    file.WritePoint(seventh.latitude, seventh.longitude, 1000);

    form.text = {};
    CPlanView empty(form);
    EXPECT_EQ(empty.ResumeText(), "") << "another request's pass";
    std::string error;
    EXPECT_FALSE(empty.OpenPlan("Vantrell.kml", error));
    EXPECT_EQ(error, "\"Vantrell.kml\" is not a Vantrell preview: it holds no request.");
    EXPECT_TRUE(form.text.empty()) << "a refused plan fills nothing";
    ASSERT_TRUE(empty.OpenPlan("plan.kml", error)) << error;
    EXPECT_EQ(form.text[IDC_LON_DIR], "West");
    EXPECT_EQ(form.text[IDC_LAT_SEC], "0");
    EXPECT_EQ(empty.ResumeText(), "Vantrell.kml holds point 7 of this pass.");
    EXPECT_NE(empty.Plan().find("20 points per pass"), std::string::npos) << empty.Plan();
    empty.SetResume(true);
    form.OnBnClickedStart();
    ASSERT_TRUE(form.m_pJob);
    EXPECT_EQ(form.m_pJob->m_nFirstPoint, 7u);
    EXPECT_FALSE(CPlanView(form).CanOpen()) << "a plan opens before the first Start only";
}

// An opened area fills the corner and miles as typed and leaves the other fields as typed;
// the plan, the resume point and the started walk count the same kept points, made with
// the corridor as the fields read numbers. A refused file changes nothing; an opened plan
// forgets the area.
TEST(PlanViewKeepsToAnOpenedArea, FieldsPlanResumeAndWalkAgree)
{
    CInFolder folder;
    CFakeForm form;
    form.text = {{IDC_LAT_DEG, "1"}, {IDC_SPEED, "0"}, {IDC_RANGE, "1000"}, {IDC_RESOLUTION, " 2x"}};
    // A triangle: the points near its rectangle's south-east corner see none of it.
    std::ofstream("area.kml") << "<kml><Placemark><Polygon><outerBoundaryIs><LinearRing><coordinates>-122.6,45.5 "
                                 "-122.6,45.49 -122.56,45.5</coordinates></LinearRing></outerBoundaryIs></Polygon>"
                                 "</Placemark></kml>";
    std::ofstream("path.gpx") << "<gpx><trk><trkseg><trkpt lat=\"45.5\" lon=\"-122.6\"/><trkpt lat=\"45.49\" "
                                 "lon=\"-122.56\"/></trkseg></trk></gpx>";
    CPlanView view(form);
    const std::map<int, std::string> typed = form.text;
    std::string error;
    EXPECT_FALSE(view.OpenArea("none.kml", error));
    EXPECT_TRUE(form.text == typed && !form.m_area && error.find("none.kml") != std::string::npos) << error;

    ASSERT_TRUE(view.OpenArea("area.kml", error)) << error;
    EXPECT_EQ(form.FieldTexts(), (RequestTexts{"45", "30", "0", "North", "122", "36", "0", "West", "2", "1", "0",
                                               "1000", " 2x"}));
    test::CRecorder whole;
    ASSERT_TRUE(test::MakeJob({.latDeg = 45, .latMin = 30, .lonMin = 36, .east = 2, .speed = 0, .resolution = 2}, whole)
                    .RunPass());
    const std::unique_ptr<CScanJob> planned = form.RequestFromFields();
    std::vector<test::Event> inArea;
    for (std::size_t i = 0; i < whole.Points().size(); ++i) {
        if (planned->Kept() && planned->Kept()->Contains(i + 1))
            inArea.push_back(whole.Points()[i]);
    }
    ASSERT_TRUE(inArea.size() > 2 && inArea.size() < whole.Points().size()) << inArea.size();
    EXPECT_EQ(view.Plan().rfind(Grouped(inArea.size()) + " of " + Grouped(whole.Points().size()) +
                                    " points per pass lie in the area of \"area.kml\"", 0), 0u) << view.Plan();

    // A path's corridor is part of its area: the corner and the miles follow it.
    const auto cornerAndMiles = [&form] {
        const RequestTexts texts = form.FieldTexts();
        return std::vector<std::string>(texts.begin(), texts.begin() + 10);
    };
    ASSERT_TRUE(view.OpenArea("path.gpx", error)) << error;
    const std::string wide = view.Plan();
    const RequestTexts wideFields = form.FieldTexts();
    EXPECT_EQ(cornerAndMiles(),
              std::vector<std::string>({"45", "30", "27", "North", "122", "36", "38", "West", "3", "2"}));
    view.SetCorridor("-3");
    EXPECT_TRUE(view.Plan() != wide && form.RequestFromFields()->Kept()->CorridorTenths() == 0);
    EXPECT_EQ(cornerAndMiles(), std::vector<std::string>({"45", "30", "0", "North", "122", "36", "0", "West", "2", "1"}));
    view.SetCorridor("5x");
    EXPECT_EQ(view.Plan(), wide);
    EXPECT_EQ(form.FieldTexts(), wideFields);
    ASSERT_TRUE(view.SavePreview("plan.kml", error) && view.OpenPlan("plan.kml", error)) << error;
    ASSERT_TRUE(form.m_area) << "a saved preview brings its area back";
    EXPECT_EQ(form.m_area->fileName, "path.gpx");
    EXPECT_EQ(form.m_corridorTenths, 5);
    ASSERT_TRUE(view.OpenArea("area.kml", error)) << error;

    CLookAtFile file; // a scan of this area left at its third kept point
    file.WritePoint(inArea[2].latitude, inArea[2].longitude, 1000);
    CPlanView(form).SetResume(true);
    form.OnBnClickedStart();
    ASSERT_TRUE(form.m_pJob && form.m_pJob->RunPass());
    const std::vector<test::Event> walked = form.writer.Points();
    ASSERT_EQ(walked.size(), inArea.size() - 2) << "not begun at the third kept point";
    for (std::size_t i = 0; i < walked.size(); ++i)
        EXPECT_TRUE(walked[i].latitude == inArea[i + 2].latitude && walked[i].longitude == inArea[i + 2].longitude);
    EXPECT_FALSE(CPlanView(form).OpenArea("area.kml", error)) << "an area opens before the first Start only";
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
