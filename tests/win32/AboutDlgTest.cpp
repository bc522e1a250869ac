// The system menu's About and Plan entries, the About box and the plan of the real program.

#include "Driver.h"

#include "RequestFile.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vantrell::win32test {
namespace {

class AboutBoxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_program.Start(m_folder.Path())) << "CreateProcess: error " << m_program.StartError();
        ASSERT_TRUE(m_program.WaitForForm());
        ASSERT_TRUE(m_program.InstallProbe());
    }

    // Sends the form a system command as the menu does: posted, since it may open a modal box.
    void SystemCommand(WPARAM command) { PostMessageW(m_program.Form(), WM_SYSCOMMAND, command, 0); }

    HWND WaitForAboutBox(HWND owner = nullptr)
    {
        HWND about = nullptr;
        WaitUntil([&] { return (about = m_program.OwnedDialog(owner)) != nullptr; }, 10s);
        return about;
    }

    HWND OpenPlanBox()
    {
        SystemCommand(IDM_PLANBOX);
        return WaitForAboutBox();
    }

    // Escape, then waits until the box has gone and the form takes input again.
    bool CloseBox(HWND box)
    {
        m_program.PressKey(GetDlgItem(box, IDOK), VK_ESCAPE);
        return WaitUntil([&] { return !IsWindow(box) && IsWindowEnabled(m_program.Form()); }, kCloseDeadline);
    }

    // Clicks the plan's button that opens a modal dialog, and gives that dialog.
    HWND ClickForDialog(HWND plan, int id)
    {
        PostMessageW(GetDlgItem(plan, id), BM_CLICK, 0, 0); // posted: the dialog is modal
        return WaitForAboutBox(plan);
    }

    // Every field set; at 1 s a point.
    static Request FullRequest()
    {
        Request r;
        r.latDeg = L"45", r.latMin = L"30", r.latSec = L"15", r.latWord = L"South";
        r.lonDeg = L"122", r.lonMin = L"7", r.lonSec = L"30", r.lonWord = L"East";
        r.milesEast = L"3", r.milesSouth = L"2", r.speed = L"4", r.range = L"1500", r.resolution = L"2";
        return r;
    }

    CScratchFolder m_folder;
    CProgram m_program;
};

TEST_F(AboutBoxTest, SystemMenuEndsWithASeparatorTheAboutEntryAndThePlan)
{
    probe::Shared answer{};
    ASSERT_TRUE(m_program.Ask(probe::Request::SystemMenu, answer));
    ASSERT_GE(answer.menuCount, 4);
    const probe::MenuItem& separator = answer.menu[answer.menuCount - 3];
    const probe::MenuItem& about = answer.menu[answer.menuCount - 2];
    const probe::MenuItem& plan = answer.menu[answer.menuCount - 1];
    EXPECT_TRUE(separator.type & MFT_SEPARATOR);
    EXPECT_EQ(about.id, static_cast<UINT>(IDM_ABOUTBOX));
    EXPECT_STREQ(about.text, L"&About Vantrell...");
    EXPECT_EQ(plan.id, static_cast<UINT>(IDM_PLANBOX));
    EXPECT_STREQ(plan.text, L"&Plan this scan...");
    bool close = false;
    for (int i = 0; i < answer.menuCount - 3; ++i)
        close = close || answer.menu[i].id == SC_CLOSE;
    EXPECT_TRUE(close) << "the system's own entries come first";
}

struct Paragraph {
    const wchar_t* text; // nullptr: any text (the wording is ours to choose)
    DWORD align;
};

const Paragraph kParagraphs[] = {
    {L"Vantrell Version 1.1", SS_LEFT},
    {L"To use, enter data into the appropriate fields and click OK.  A file called Vantrell.kml will be output "
     L"into the directory where this application was run from. ",
     SS_CENTER},
    {L"In GE select Add -> Network Link.  Locate the Vantrell.kml file and supply a name.  On the Refresh tab, "
     L"check the \"Fly to View on Refresh\" Box.",
     SS_CENTER},
    {L"Choose \"Periodically\" under \"Time-Based Refresh\" and select a time to refresh on (4 secs is fine).",
     SS_CENTER},
    {L"Please note: you may need to edit your fly-to speeds under options of Google Earth to ensure the best "
     L"possible cache building dependent on your network's speed and congestion.",
     SS_CENTER},
    {L"-------------------------------------", SS_CENTER},
    {nullptr, SS_CENTER},
    {nullptr, SS_CENTER},
    {nullptr, SS_CENTER},
    {nullptr, SS_CENTER},
};

TEST_F(AboutBoxTest, AboutBoxHoldsItsTextsInOrder)
{
    SystemCommand(IDM_ABOUTBOX);
    HWND about = WaitForAboutBox();
    ASSERT_NE(about, nullptr) << "no About box";
    EXPECT_EQ(WindowText(about), L"About Vantrell");
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(about, GWL_STYLE));
    EXPECT_EQ(style & (WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME),
              static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME));
    RECT size;
    ASSERT_TRUE(m_program.MapDialogUnits(about, 0, 0, 196, 295, size));
    RECT client;
    GetClientRect(about, &client);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);

    HWND ok = GetDlgItem(about, IDOK);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(WindowText(ok), L"OK");
    EXPECT_EQ(GetWindowLongPtrW(ok, GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);

    std::size_t next = 0;
    for (HWND child = GetWindow(about, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (ClassName(child) != L"Static")
            continue;
        ASSERT_LT(next, std::size(kParagraphs)) << "more texts than the box has";
        const Paragraph& p = kParagraphs[next++];
        SCOPED_TRACE(testing::Message() << "paragraph " << next);
        if (p.text) {
            EXPECT_TRUE(WindowText(child) == p.text);
        } else {
            EXPECT_GT(WindowText(child).size(), 10u);
        }
        EXPECT_EQ(GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK, static_cast<LONG_PTR>(p.align));
    }
    EXPECT_EQ(next, std::size(kParagraphs));
}

// The menu passes the command with the system's own bits in the low four; the form masks them.
TEST_F(AboutBoxTest, AboutCommandOpensAModalBoxOwnedByTheFormAndOkOrEscapeClosesIt)
{
    const struct {
        const char* name;
        WPARAM command;
        bool escape;
    } cases[] = {
        {"the menu's command, closed with OK", IDM_ABOUTBOX, false},
        {"with low bits set, closed with Escape", IDM_ABOUTBOX | 0x0003, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SystemCommand(c.command);
        HWND about = WaitForAboutBox();
        ASSERT_NE(about, nullptr) << "no About box";
        EXPECT_EQ(GetWindow(about, GW_OWNER), m_program.Form());
        EXPECT_FALSE(IsWindowEnabled(m_program.Form())) << "the box is modal";
        if (c.escape)
            m_program.PressKey(GetDlgItem(about, IDOK), VK_ESCAPE);
        else
            SendMessageTimeoutW(GetDlgItem(about, IDOK), BM_CLICK, 0, 0, SMTO_NORMAL, 5000, nullptr);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); }, kCloseDeadline)) << "the box stays";
        EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(m_program.Form()) != FALSE; }, 5s));
        EXPECT_TRUE(m_program.Running());
    }
}

// Before Start the plan is the fields' and opening it starts nothing; after Start it is
// the running scan's, whose point moves on while the dialog is open.
TEST_F(AboutBoxTest, PlanCommandPlansTheFieldsThenTheRunningScan)
{
    Request r;
    r.latDeg = L"45", r.latWord = L"North", r.lonDeg = L"122", r.lonWord = L"West";
    r.milesEast = L"1", r.milesSouth = L"1", r.speed = L"0", r.range = L"1000", r.resolution = L"0";
    m_program.Fill(r);
    const std::wstring kml = m_folder.File(L"Vantrell.kml");
    for (const bool started : {false, true}) {
        SCOPED_TRACE(started ? "after Start" : "before Start");
        if (started) {
            m_program.Click(IDOK);
            ASSERT_TRUE(WaitUntil([&] { return !ReadWholeFile(kml).empty(); }, 10s));
        }
        HWND plan = OpenPlanBox();
        ASSERT_NE(plan, nullptr) << "no plan";
        EXPECT_EQ(WindowText(plan), L"Vantrell Plan");
        EXPECT_FALSE(IsWindowEnabled(m_program.Form())) << "the plan is modal";
        const std::wstring text = WindowText(GetDlgItem(plan, IDC_PLAN_TEXT));
        EXPECT_NE(text.find(L"20 points per pass"), std::wstring::npos);
        EXPECT_EQ(text.find(L'\n'), text.find(L"\r\n") + 1) << "an edit breaks lines at CR LF";
        EXPECT_EQ(IsWindowEnabled(GetDlgItem(plan, IDC_PLAN_OPEN)) != FALSE, !started);
        EXPECT_TRUE(WindowText(GetDlgItem(plan, IDC_RESUME_TEXT)).empty()) << "no Vantrell.kml to begin at";
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(plan, IDC_RESUME)));
        // Wine refuses every oplock, so no folder can be watched there.
        const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
        EXPECT_EQ(IsWindowEnabled(GetDlgItem(plan, IDC_FOLLOW)) != FALSE, !wine);
        HWND progress = GetDlgItem(plan, IDC_PLAN_PROGRESS);
        const std::wstring first = WindowText(progress);
        if (started) { // at speed 0 every refresh finds another point
            EXPECT_EQ(first.rfind(L"Pass ", 0), 0u) << std::string(first.begin(), first.end());
            if (wine) { // the second line
                const std::size_t viewer = first.find(L"\r\nViewer: cannot be watched in this folder.");
                EXPECT_TRUE(viewer != std::wstring::npos && viewer == first.find(L"\r\n"))
                    << std::string(first.begin(), first.end());
            }
            EXPECT_TRUE(WaitUntil([&] { return WindowText(progress) != first; }, 5s))
                << "the progress stays at " << std::string(first.begin(), first.end());
        } else {
            // Under Wine the folder cannot be watched, and the progress says so before Start.
            EXPECT_TRUE(first == (wine ? L"Not started: Start begins the first pass.\r\nViewer: cannot be watched in "
                                         L"this folder. So the walk cannot wait for the viewer."
                                       : L"Not started: Start begins the first pass."))
                << std::string(first.begin(), first.end());
        }
        EXPECT_TRUE(CloseBox(plan)) << "the plan stays";
        if (!started) { // a worker at speed 0 would have written by now
            EXPECT_EQ(GetFileAttributesW(kml.c_str()), INVALID_FILE_ATTRIBUTES) << "a plan wrote Vantrell.kml";
        }
    }
}

// Saving a preview in another folder writes it there under the name typed, and the scan
// goes on writing Vantrell.kml where it was started: browsing must not move the working
// folder (Windows moves it unless told not to; Wine 8 never does).
TEST_F(AboutBoxTest, SavePreviewElsewhereLeavesTheScanInItsFolder)
{
    Request r;
    r.latDeg = L"45", r.latWord = L"North", r.lonDeg = L"122", r.lonWord = L"West";
    r.milesEast = L"1", r.milesSouth = L"1", r.speed = L"0", r.range = L"1000", r.resolution = L"0";
    m_program.Fill(r);
    m_program.Click(IDOK);
    const std::wstring kml = m_folder.File(L"Vantrell.kml");
    ASSERT_TRUE(WaitUntil([&] { return !ReadWholeFile(kml).empty(); }, 10s));
    HWND plan = OpenPlanBox();
    ASSERT_NE(plan, nullptr) << "no plan";
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(plan, IDC_PLAN_SAVE))) << "a plan with points offers no preview";
    HWND save = ClickForDialog(plan, IDC_PLAN_SAVE);
    ASSERT_NE(save, nullptr) << "no save dialog";
    EXPECT_TRUE(WindowText(FileNameBox(save)) == L"Vantrell plan.kml");
    CScratchFolder elsewhere;
    // The engine names files in the ANSI code page: an accent must reach it as such.
    const std::wstring preview = elsewhere.File(L"pr\u00e9view.kml");
    ASSERT_TRUE(ChooseFile(save, preview));
    EXPECT_TRUE(WaitUntil([&] { return ReadWholeFile(preview).find("<kml") != std::string::npos; }, 10s));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(save); }, kCloseDeadline));

    const std::string before = ReadWholeFile(kml);
    EXPECT_TRUE(WaitUntil([&] { return ReadWholeFile(kml) != before; }, 5s)) << "the scan stopped writing here";
    EXPECT_EQ(GetFileAttributesW(elsewhere.File(L"Vantrell.kml").c_str()), INVALID_FILE_ATTRIBUTES)
        << "the scan moved to the preview's folder";
    EXPECT_TRUE(CloseBox(plan));
}

// Open plan fills the fields with the request a saved preview holds, words and numbers,
// over whatever they held, and plans it again.
TEST_F(AboutBoxTest, OpenPlanFillsTheFieldsWithTheRequestSavedInAPreview)
{
    const Request r = FullRequest();
    m_program.Fill(r);
    HWND plan = OpenPlanBox();
    ASSERT_NE(plan, nullptr) << "no plan";
    const std::wstring planned = WindowText(GetDlgItem(plan, IDC_PLAN_TEXT));
    CScratchFolder elsewhere;
    const std::wstring preview = elsewhere.File(L"request.kml");
    HWND save = ClickForDialog(plan, IDC_PLAN_SAVE);
    ASSERT_NE(save, nullptr) << "no save dialog";
    ASSERT_TRUE(ChooseFile(save, preview));
    ASSERT_TRUE(WaitUntil([&] { return ReadWholeFile(preview).find("</kml>") != std::string::npos; }, 10s));
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(save); }, kCloseDeadline));
    ASSERT_TRUE(CloseBox(plan));

    m_program.Fill(Request{}); // no miles south: no points, nothing to preview
    plan = OpenPlanBox();
    ASSERT_NE(plan, nullptr) << "no plan";
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(plan, IDC_PLAN_SAVE)));
    HWND open = ClickForDialog(plan, IDC_PLAN_OPEN);
    ASSERT_NE(open, nullptr) << "no open dialog";
    ASSERT_TRUE(ChooseFile(open, preview));
    EXPECT_TRUE(WaitUntil([&] { return m_program.FieldTexts() == FieldTexts(r); }, 10s));
    EXPECT_TRUE(WaitUntil([&] { return WindowText(GetDlgItem(plan, IDC_PLAN_TEXT)) == planned; }, 5s));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(plan, IDC_PLAN_SAVE)));
    EXPECT_TRUE(CloseBox(plan));
}

// Open area fills the corner and miles from a drawn shape and plans the points in it,
// with no message box. Both area controls go with the first Start, as Open plan does.
TEST_F(AboutBoxTest, OpenAreaFillsTheCornerAndGoesWithTheFirstStart)
{
    Request r;
    r.latDeg = L"1", r.latWord = L"North", r.lonDeg = L"1", r.lonWord = L"East";
    r.milesEast = L"9", r.milesSouth = L"9", r.speed = L"0", r.range = L"1500", r.resolution = L"0";
    m_program.Fill(r);
    const std::wstring area = m_folder.File(L"area.kml");
    ASSERT_TRUE(WriteWholeFile(area, "<kml><Polygon><outerBoundaryIs><LinearRing><coordinates>-122.6,45.5 "
                                     "-122.6,45.49 -122.56,45.49</coordinates></LinearRing></outerBoundaryIs></Polygon></kml>"));
    HWND plan = OpenPlanBox();
    ASSERT_NE(plan, nullptr) << "no plan";
    EXPECT_TRUE(WindowText(GetDlgItem(plan, IDC_CORRIDOR)) == L"5");
    HWND open = ClickForDialog(plan, IDC_AREA_OPEN);
    ASSERT_NE(open, nullptr) << "no open dialog";
    ASSERT_TRUE(ChooseFile(open, area));
    Request kept = r;
    kept.latDeg = L"45", kept.latMin = L"30", kept.latSec = L"0", kept.lonDeg = L"122", kept.lonMin = L"36";
    kept.lonSec = L"0", kept.lonWord = L"West", kept.milesEast = L"2", kept.milesSouth = L"1";
    EXPECT_TRUE(WaitUntil([&] { return m_program.FieldTexts() == FieldTexts(kept); }, 10s));
    EXPECT_TRUE(WaitUntil([&] {
        return WindowText(GetDlgItem(plan, IDC_PLAN_TEXT)).find(L" lie in the area of \"area.kml\"") != std::wstring::npos;
    }, 5s));
    EXPECT_TRUE(WaitUntil([&] { return m_program.OwnedDialog(plan) == nullptr; }, kCloseDeadline))
        << "a message box for a good area";
    ASSERT_TRUE(CloseBox(plan));
    m_program.Click(IDOK);
    ASSERT_TRUE(WaitUntil([&] { return !ReadWholeFile(m_folder.File(L"Vantrell.kml")).empty(); }, 10s));
    plan = OpenPlanBox();
    ASSERT_NE(plan, nullptr) << "no plan";
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(plan, IDC_AREA_OPEN)) || IsWindowEnabled(GetDlgItem(plan, IDC_CORRIDOR)));
    EXPECT_TRUE(CloseBox(plan));
}

std::string PlanHolding(const ScanRequest& values, const std::string& from = "", const std::string& to = "")
{
    std::string text = "<kml><Document>\r\n" + RequestExtendedData(values, "\r\n") + "</Document></kml>\r\n";
    if (!from.empty())
        text.replace(text.find(from), from.size(), to);
    return text;
}

// A file that holds no request the fields can hold fills nothing; one message box says why.
TEST_F(AboutBoxTest, OpenPlanRefusalsFillNothing)
{
    const Request r = FullRequest();
    m_program.Fill(r);
    const ScanRequest saved{45, 30, 15, "South", 122, 7, 30, "East", 3, 2, 4, 1500, 2};
    ScanRequest up = saved;
    up.latDir = "Up";
    const struct {
        const char* name;
        std::string text;
        const wchar_t* says;
    } cases[] = {
        {"not KML", "45 30 15 South\r\n", L"is not a KML document"},
        {"a LookAt file", ExpectedDocuments(r, 1).front(), L"holds no request"},
        {"a word no list holds", PlanHolding(up), L"Up\", which the field cannot hold"},
        {"a negative number", PlanHolding(saved, "<value>1500<", "<value>-5<"),
         L"Range holds -5, a negative number, which the field cannot hold."},
    };
    HWND plan = OpenPlanBox();
    ASSERT_NE(plan, nullptr) << "no plan";
    const std::wstring path = m_folder.File(L"not a plan.kml");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(WriteWholeFile(path, c.text));
        HWND open = ClickForDialog(plan, IDC_PLAN_OPEN);
        ASSERT_NE(open, nullptr) << "no open dialog";
        ASSERT_TRUE(ChooseFile(open, path)) << "not an open dialog: another message box?";
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(open); }, kCloseDeadline));
        HWND box = WaitForAboutBox(plan);
        ASSERT_NE(box, nullptr) << "no message box";
        const std::wstring says = WindowText(GetDlgItem(box, 0xFFFF));
        EXPECT_NE(says.find(c.says), std::wstring::npos) << std::string(says.begin(), says.end());
        EXPECT_TRUE(m_program.FieldTexts() == FieldTexts(r));
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box) && IsWindowEnabled(plan); }, kCloseDeadline));
    }
    EXPECT_EQ(m_program.OwnedDialog(plan), nullptr) << "a second message box";
    EXPECT_TRUE(CloseBox(plan));
}

// Where Vantrell.kml holds a point of the planned pass, the plan says which and offers to
// begin there; ticked, the first Start writes on from that point.
TEST_F(AboutBoxTest, ResumeSentenceOffersToBeginWhereVantrellKmlStands)
{
    const Request r = FullRequest();
    const std::vector<std::string> walk = ExpectedDocuments(r, 5);
    const std::wstring kml = m_folder.File(L"Vantrell.kml");
    ASSERT_TRUE(WriteWholeFile(kml, walk[3])); // a run of the same request left at point 4
    m_program.Fill(r);
    HWND plan = OpenPlanBox();
    ASSERT_NE(plan, nullptr) << "no plan";
    EXPECT_TRUE(WindowText(GetDlgItem(plan, IDC_RESUME_TEXT)) == L"Vantrell.kml holds point 4 of this pass.");
    HWND resume = GetDlgItem(plan, IDC_RESUME);
    EXPECT_TRUE(IsWindowVisible(resume));
    DWORD_PTR check = BST_CHECKED;
    SendMessageTimeoutW(resume, BM_GETCHECK, 0, 0, SMTO_NORMAL, 5000, &check);
    EXPECT_EQ(check, static_cast<DWORD_PTR>(BST_UNCHECKED));
    SendMessageTimeoutW(resume, BM_CLICK, 0, 0, SMTO_NORMAL, 5000, nullptr);
    ASSERT_TRUE(CloseBox(plan));

    m_program.Click(IDOK);
    std::string written;
    EXPECT_TRUE(WaitUntil(
        [&] {
            written = ReadWholeFile(kml);
            return written != walk[3] && std::find(walk.begin(), walk.end(), written) != walk.end();
        },
        10s));
    EXPECT_EQ(written, walk[4]) << "the walk did not go on from point 4";
}

TEST_F(AboutBoxTest, OtherSystemCommandsKeepTheirUsualEffect)
{
    HWND form = m_program.Form();
    SystemCommand(SC_MINIMIZE);
    EXPECT_TRUE(WaitUntil([&] { return IsIconic(form) != FALSE; }, 5s)) << "Minimize did nothing";
    SystemCommand(SC_RESTORE);
    EXPECT_TRUE(WaitUntil([&] { return !IsIconic(form); }, 5s)) << "Restore did nothing";
    EXPECT_EQ(m_program.OwnedDialog(), nullptr);
    SystemCommand(SC_CLOSE);
    DWORD code = 1;
    EXPECT_TRUE(m_program.WaitForExit(code)) << "Close did not end the program";
    EXPECT_EQ(code, 0u);
}

} // namespace
} // namespace vantrell::win32test
