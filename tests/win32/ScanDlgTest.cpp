// The scan form of the real program, driven from outside: its controls as the user gets
// them, the lists, the icons, and Start, Pause, resume and Enter against the file.

#include "Driver.h"

#include <gtest/gtest.h>

#include <commctrl.h>

namespace vantrell::win32test {
namespace {

// The worked example: 45° 0′ 0″ North, 122° 0′ 0″ West, 1 × 1 mile, range 1000, step 0.25.
Request WorkedExample(const wchar_t* speed)
{
    Request r;
    r.latDeg = L"45", r.latMin = L"0", r.latSec = L"0", r.latWord = L"North";
    r.lonDeg = L"122", r.lonMin = L"0", r.lonSec = L"0", r.lonWord = L"West";
    r.milesEast = L"1", r.milesSouth = L"1", r.speed = speed, r.range = L"1000", r.resolution = L"0";
    return r;
}

// A speed factor of 400 holds each point 100 s: the first point stays while a test looks.
constexpr const wchar_t* kHold = L"400";

class ScanFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_program.Start(m_folder.Path())) << "CreateProcess: error " << m_program.StartError();
        ASSERT_TRUE(m_program.WaitForForm()) << "no form within the deadline";
        ASSERT_TRUE(m_program.InstallProbe());
    }

    std::string File() const { return ReadWholeFile(m_folder.File(L"Vantrell.kml")); }

    // Waits until the file holds exactly document.
    bool FileBecomes(const std::string& document, Milliseconds deadline = 10s) const
    {
        return WaitUntil([&] { return File() == document; }, deadline);
    }

    CScratchFolder m_folder;
    CProgram m_program;
};

struct Control {
    int id;
    const wchar_t* className;
    const wchar_t* text;
    int x, y, cx, cy; // dialog units
};

// In template order, which is the order of the form's child windows: each label right
// before the field it names.
const Control kControls[] = {
    {IDC_STATIC, L"Static", L"NW Latitude Deg:", 7, 7, 60, 8},
    {IDC_LAT_DEG, L"Edit", L"", 77, 4, 27, 15},
    {IDC_STATIC, L"Static", L"Min:", 109, 7, 14, 8},
    {IDC_LAT_MIN, L"Edit", L"", 126, 4, 27, 15},
    {IDC_STATIC, L"Static", L"Sec:", 157, 7, 14, 8},
    {IDC_LAT_SEC, L"Edit", L"", 174, 4, 27, 15},
    {IDC_LAT_DIR, L"ComboBox", L"", 212, 5, 48, 30},
    {IDC_STATIC, L"Static", L"NW Longitude Deg:", 7, 35, 65, 8},
    {IDC_LON_DEG, L"Edit", L"", 77, 31, 28, 15},
    {IDC_STATIC, L"Static", L"Min:", 109, 35, 14, 8},
    {IDC_LON_MIN, L"Edit", L"", 126, 31, 28, 15},
    {IDC_STATIC, L"Static", L"Sec:", 157, 35, 14, 8},
    {IDC_LON_SEC, L"Edit", L"", 174, 31, 28, 15},
    {IDC_LON_DIR, L"ComboBox", L"", 212, 32, 48, 30},
    {IDC_STATIC, L"Static", L"Miles East", 7, 63, 73, 8},
    {IDC_MILES_EAST, L"Edit", L"", 182, 59, 78, 15},
    {IDC_STATIC, L"Static", L"Miles South:", 7, 91, 73, 8},
    {IDC_MILES_SOUTH, L"Edit", L"", 182, 87, 78, 15},
    {IDC_STATIC, L"Static", L"Range (meters):", 7, 117, 96, 8},
    {IDC_RANGE, L"Edit", L"", 182, 114, 78, 15},
    {IDC_STATIC, L"Static", L"Speed Factor (1/4 seconds):", 7, 145, 104, 8},
    {IDC_SPEED, L"Edit", L"", 182, 141, 78, 15},
    {IDC_STATIC, L"Static", L"Resolution (1/10 miles):", 7, 171, 104, 8},
    {IDC_RESOLUTION, L"Edit", L"", 182, 168, 78, 15},
    {IDOK, L"Button", L"Start", 210, 197, 50, 16},
    {IDCANCEL, L"Button", L"Quit", 7, 197, 50, 16},
    {IDC_PAUSE, L"Button", L"Pause", 65, 197, 50, 16},
    {IDC_PROGRESS, L"msctls_progress32", L"", 123, 199, 80, 14},
};

// The style bits each kind of control must carry, those it must not, and its type
// (the low bits that hold a number rather than flags).
struct Styles {
    DWORD required, forbidden, typeMask, type;
};

Styles StylesOf(const Control& c)
{
    const std::wstring kind = c.className;
    if (kind == L"Edit")
        return {WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL | ES_NUMBER, WS_DISABLED, 0, 0};
    if (kind == L"ComboBox")
        return {WS_VISIBLE | WS_TABSTOP | CBS_SORT | CBS_DISABLENOSCROLL, WS_DISABLED, 3, CBS_DROPDOWNLIST};
    if (kind == L"Button")
        return {WS_VISIBLE | WS_TABSTOP, WS_DISABLED, BS_TYPEMASK,
                static_cast<DWORD>(c.id == IDOK ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON)};
    if (kind == L"Static")
        return {WS_VISIBLE, WS_TABSTOP | WS_DISABLED, SS_TYPEMASK, SS_LEFT};
    return {0, WS_VISIBLE | WS_TABSTOP, 0, 0}; // the progress bar: created hidden, never shown
}

TEST_F(ScanFormTest, EveryControlIsWhereTheTemplatePutsIt)
{
    HWND form = m_program.Form();
    HWND child = GetWindow(form, GW_CHILD);
    for (const Control& expected : kControls) {
        SCOPED_TRACE(testing::Message() << "control " << expected.id << " "
                                        << std::string(expected.text, expected.text + wcslen(expected.text)));
        ASSERT_NE(child, nullptr) << "fewer controls than the template has";
        EXPECT_EQ(GetDlgCtrlID(child), expected.id);
        EXPECT_EQ(ClassName(child), expected.className);
        EXPECT_TRUE(WindowText(child) == expected.text);

        const auto style = static_cast<DWORD>(GetWindowLongPtrW(child, GWL_STYLE));
        const Styles styles = StylesOf(expected);
        EXPECT_EQ(style & styles.required, styles.required) << std::hex << style;
        EXPECT_EQ(style & styles.forbidden, 0u) << std::hex << style;
        EXPECT_EQ(style & styles.typeMask, styles.type) << std::hex << style;
        // The dialog manager trades an edit's WS_BORDER for a client edge. (A themed progress
        // bar draws its own frame and drops both.)
        if (expected.className == std::wstring(L"Edit")) {
            const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(child, GWL_EXSTYLE));
            EXPECT_TRUE((style & WS_BORDER) || (exStyle & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE))) << "no border";
        }

        RECT want;
        ASSERT_TRUE(m_program.MapDialogUnits(form, expected.x, expected.y, expected.cx, expected.cy, want));
        RECT got;
        GetWindowRect(child, &got);
        MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&got), 2);
        EXPECT_EQ(got.left, want.left);
        EXPECT_EQ(got.top, want.top);
        EXPECT_EQ(got.right, want.right);
        // A closed drop-down list is as high as its font makes it; its 30 units are the
        // opened height (see ListsOpenWithBothWordsInView).
        if (expected.className != std::wstring(L"ComboBox")) {
            EXPECT_EQ(got.bottom, want.bottom);
        }
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(child, nullptr) << "more controls than the template has";
}

TEST_F(ScanFormTest, FormIsAnUntitledModalFrameOfTheTemplatesSize)
{
    HWND form = m_program.Form();
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(form, GWL_STYLE));
    const DWORD required = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | DS_MODALFRAME;
    EXPECT_EQ(style & required, required) << std::hex << style;
    EXPECT_TRUE(GetWindowLongPtrW(form, GWL_EXSTYLE) & WS_EX_APPWINDOW) << "not shown in the taskbar";
    EXPECT_EQ(GetWindowTextLengthW(form), 0) << "the caption stays empty";

    RECT want;
    ASSERT_TRUE(m_program.MapDialogUnits(form, 0, 0, 267, 220, want));
    RECT client;
    GetClientRect(form, &client);
    EXPECT_EQ(client.right, want.right);
    EXPECT_EQ(client.bottom, want.bottom);
}

TEST_F(ScanFormTest, TabOrderIsTheReadingOrderAndFocusStartsOnLatitude)
{
    const int order[] = {IDC_LAT_DEG, IDC_LAT_MIN, IDC_LAT_SEC, IDC_LAT_DIR, IDC_LON_DEG, IDC_LON_MIN,
                         IDC_LON_SEC, IDC_LON_DIR, IDC_MILES_EAST, IDC_MILES_SOUTH, IDC_RANGE, IDC_SPEED,
                         IDC_RESOLUTION, IDOK, IDCANCEL, IDC_PAUSE, IDC_LAT_DEG};
    HWND focus = m_program.Focus();
    EXPECT_EQ(GetDlgCtrlID(focus), IDC_LAT_DEG);
    HWND current = m_program.Item(order[0]);
    for (std::size_t i = 1; i < std::size(order); ++i) {
        current = GetNextDlgTabItem(m_program.Form(), current, FALSE);
        EXPECT_EQ(GetDlgCtrlID(current), order[i]) << "tab stop " << i;
    }
}

TEST_F(ScanFormTest, ListsHoldTheirWordsSortedWithNothingSelected)
{
    struct List {
        int id;
        const wchar_t* words[2];
    };
    for (const List& list : {List{IDC_LAT_DIR, {L"North", L"South"}}, List{IDC_LON_DIR, {L"East", L"West"}}}) {
        SCOPED_TRACE(list.id);
        HWND combo = m_program.Item(list.id);
        ASSERT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 2);
        for (int i = 0; i < 2; ++i) {
            wchar_t word[32] = {};
            ASSERT_LT(SendMessageW(combo, CB_GETLBTEXTLEN, i, 0), 32);
            SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(word));
            EXPECT_STREQ(word, list.words[i]);
        }
        EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), CB_ERR);
        EXPECT_EQ(WindowText(combo), L"");
    }
}

// Without common controls 6 (the manifest) an opened 30-unit list shows one word at a time.
// The scroll bar is disabled rather than hidden when not needed (CBS_DISABLENOSCROLL).
TEST_F(ScanFormTest, ListsOpenWithBothWordsInView)
{
    for (const int id : {IDC_LAT_DIR, IDC_LON_DIR}) {
        SCOPED_TRACE(id);
        probe::Shared answer{};
        answer.list.id = id;
        ASSERT_TRUE(m_program.Ask(probe::Request::DroppedList, answer));
        EXPECT_EQ(answer.list.count, 2);
        ASSERT_GT(answer.list.itemHeight, 0);
        EXPECT_GE(answer.list.visibleHeight, 2 * answer.list.itemHeight);
        EXPECT_TRUE(answer.list.listStyle & WS_VSCROLL) << "no vertical scroll bar";
    }
}

TEST_F(ScanFormTest, WindowIconsComeAtTheSystemsSizes)
{
    probe::Shared answer{};
    ASSERT_TRUE(m_program.Ask(probe::Request::Icons, answer));
    const probe::Icons& icons = answer.icons;
    EXPECT_EQ(icons.bigWidth, icons.systemBig);
    EXPECT_EQ(icons.bigHeight, icons.systemBig);
    EXPECT_EQ(icons.smallWidth, icons.systemSmall);
    EXPECT_EQ(icons.smallHeight, icons.systemSmall);
    EXPECT_TRUE(icons.dragIconIsBig) << "WM_QUERYDRAGICON answers the form's icon";
}

const char kWorkedExampleFirstPoint[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<kml xmlns=\"http://earth.google.com/kml/2.0\">\r\n"
    "<Placemark>\r\n"
    "<name>Vantrell Spot</name>\r\n"
    "<LookAt>\r\n"
    "<longitude>-121.994888</longitude>\r\n"
    "<latitude>45.000000</latitude>\r\n"
    "<range>1000</range>\r\n"
    "<tilt>0.0</tilt>\r\n"
    "<heading>0.0</heading>\r\n"
    "</LookAt>\r\n"
    "</Placemark>\r\n"
    "</kml>\r\n";

TEST_F(ScanFormTest, StartWritesTheFirstPointWithCrLfLineEnds)
{
    m_program.Fill(WorkedExample(kHold));
    m_program.Click(IDOK);
    EXPECT_TRUE(FileBecomes(kWorkedExampleFirstPoint)) << File();
}

// Each field lands in its own place of the request: every value differs from the others.
// One program per case, since a scan keeps the values of its first Start.
TEST(ScanFormStart, ReadsEveryFieldIntoItsOwnPlace)
{
    const struct {
        const char* name;
        Request request;
    } cases[] = {
        {"southern and eastern corner",
         {L"33", L"51", L"17", L"South", L"151", L"12", L"40", L"East", L"2", L"3", kHold, L"1500", L"3"}},
        {"hemispheres left unselected: the corner lies at 0, 0",
         {L"45", L"30", L"10", nullptr, L"122", L"15", L"5", nullptr, L"1", L"1", kHold, L"800", L"0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CScratchFolder folder;
        CProgram program;
        ASSERT_TRUE(program.Start(folder.Path())) << "CreateProcess: error " << program.StartError();
        ASSERT_TRUE(program.WaitForForm());
        program.Fill(c.request);
        program.Click(IDOK);
        const std::string expected = ExpectedDocuments(c.request, 1).at(0);
        const std::wstring path = folder.File(L"Vantrell.kml");
        EXPECT_TRUE(WaitUntil([&] { return ReadWholeFile(path) == expected; }, 10s))
            << "wanted\n" << expected << "got\n" << ReadWholeFile(path);
    }
}

TEST_F(ScanFormTest, EnterInAFieldActsAsStart)
{
    m_program.Fill(WorkedExample(kHold));
    // Wine never moves the default button with the focus; Windows does. A field with the
    // focus makes Start the default on both.
    HWND field = m_program.Item(IDC_RESOLUTION);
    SendMessageW(m_program.Form(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(field), TRUE);
    ASSERT_TRUE(WaitUntil([&] { return m_program.Focus() == field; }, 5s));
    m_program.PressKey(field, VK_RETURN);
    EXPECT_TRUE(FileBecomes(kWorkedExampleFirstPoint)) << File();
}

// Reads the file until it holds one of documents, and gives its index; -1 at the deadline.
int CurrentPoint(const std::vector<std::string>& documents, const std::wstring& path, Milliseconds deadline)
{
    int index = -1;
    WaitUntil(
        [&] {
            const std::string text = ReadWholeFile(path);
            for (std::size_t i = 0; i < documents.size(); ++i) {
                if (documents[i] == text) {
                    index = static_cast<int>(i);
                    return true;
                }
            }
            return false; // not written yet, or caught mid-rewrite
        },
        deadline);
    return index;
}

TEST_F(ScanFormTest, PauseHoldsTheWalkAndStartResumesItWithTheOldValues)
{
    const Request request = WorkedExample(L"1"); // 250 ms a point
    const std::vector<std::string> walk = ExpectedDocuments(request, 200);
    const std::wstring path = m_folder.File(L"Vantrell.kml");
    m_program.Fill(request);
    m_program.Click(IDC_PAUSE); // before any Start: nothing to pause, and no later effect
    m_program.Click(IDOK);
    ASSERT_TRUE(WaitUntil([&] { return CurrentPoint(walk, path, 1s) >= 2; }, 10s)) << "the walk does not go on";

    m_program.Click(IDC_PAUSE);
    // Held: after the current point's delay the file keeps one point for good.
    int held = -1;
    auto steadySince = std::chrono::steady_clock::now();
    ASSERT_TRUE(WaitUntil(
        [&] {
            const int now = CurrentPoint(walk, path, 1s);
            if (now != held) {
                held = now;
                steadySince = std::chrono::steady_clock::now();
            }
            return std::chrono::steady_clock::now() - steadySince >= 1500ms;
        },
        10s))
        << "the walk did not hold";
    ASSERT_GE(held, 0);

    // Edits after the first Start are never read.
    m_program.SetText(IDC_LAT_DEG, L"10");
    m_program.Select(IDC_LAT_DIR, L"South");
    m_program.SetText(IDC_RANGE, L"7");
    m_program.SetText(IDC_SPEED, L"0");
    m_program.Click(IDOK);
    int resumed = held;
    ASSERT_TRUE(WaitUntil([&] { return (resumed = CurrentPoint(walk, path, 100ms)) != held; }, 5s))
        << "Start did not resume";
    EXPECT_EQ(resumed, held + 1) << "the walk resumes with the point after the held one, from the old values";
}

} // namespace
} // namespace vantrell::win32test
