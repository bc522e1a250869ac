// What assistive technology reads from the real form: each control's name through the
// accessibility interface, as a screen reader asks for it from another process. Every
// answer must be right; what the system cannot answer is printed, and when it answers
// nothing at all (Wine 8 has no accessible object for these controls) the test says so
// and skips.

#include "Driver.h"

#include <gtest/gtest.h>

#include <oleacc.h>

#include <cstdio>
#include <cwchar>

namespace vantrell::win32test {
namespace {

struct Named {
    int id;
    const wchar_t* name; // what a screen reader announces; no two fields alike
};

const Named kNames[] = {
    {IDC_LAT_DEG, L"NW Latitude Deg:"},
    {IDC_LAT_MIN, L"NW Latitude Min"},
    {IDC_LAT_SEC, L"NW Latitude Sec"},
    {IDC_LAT_DIR, L"NW Latitude hemisphere"},
    {IDC_LON_DEG, L"NW Longitude Deg:"},
    {IDC_LON_MIN, L"NW Longitude Min"},
    {IDC_LON_SEC, L"NW Longitude Sec"},
    {IDC_LON_DIR, L"NW Longitude hemisphere"},
    {IDC_MILES_EAST, L"Miles East"},
    {IDC_MILES_SOUTH, L"Miles South:"},
    {IDC_RANGE, L"Range (meters):"},
    {IDC_SPEED, L"Speed Factor (1/4 seconds):"},
    {IDC_RESOLUTION, L"Resolution (1/10 miles):"},
    {IDOK, L"Start"},
    {IDCANCEL, L"Quit"},
    {IDC_PAUSE, L"Pause"},
};

// The name the accessibility interface gives window; false when it gives none, with the
// call's result in why.
bool AccessibleName(HWND window, std::wstring& name, HRESULT& why)
{
    IAccessible* accessible = nullptr;
    why = AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                     reinterpret_cast<void**>(&accessible));
    if (FAILED(why))
        return false;
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR text = nullptr;
    why = accessible->get_accName(self, &text);
    accessible->Release();
    if (why != S_OK || !text)
        return false;
    name.assign(text, SysStringLen(text));
    SysFreeString(text);
    return !name.empty();
}

TEST(Accessibility, EveryControlAnnouncesItsName)
{
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    {
        CScratchFolder folder;
        CProgram program;
        ASSERT_TRUE(program.Start(folder.Path())) << "CreateProcess: error " << program.StartError();
        ASSERT_TRUE(program.WaitForForm());
        int unanswered = 0;
        for (const Named& expected : kNames) {
            std::wstring name;
            HRESULT why = S_OK;
            const bool answered = AccessibleName(program.Item(expected.id), name, why);
            std::wstring line = L"control " + std::to_wstring(expected.id) + L": ";
            wchar_t code[16];
            std::swprintf(code, 16, L"%08lx", static_cast<unsigned long>(why));
            line += answered ? L"\"" + name + L"\"" : L"no name (result 0x" + std::wstring(code) + L")";
            std::fputws((line + L"\n").c_str(), stdout);
            if (answered) {
                // A screen reader may drop the colon; the words must be the label's.
                std::wstring want = expected.name;
                if (!want.empty() && want.back() == L':' && name.back() != L':')
                    want.pop_back();
                EXPECT_EQ(name, want) << "control " << expected.id;
            } else {
                ++unanswered;
            }
        }
        ::testing::Test::RecordProperty("NamesUnanswered", unanswered);
        if (unanswered == static_cast<int>(std::size(kNames)))
            GTEST_SKIP() << "no control has an accessible object here: the names rest on the template order "
                            "and the lists' annotations, which only Windows itself can read back";
    }
    CoUninitialize();
}

// Names come from the label right before each field, so no label may be a tab stop of
// its own, and the never-shown progress bar must not be visible to announce.
TEST(Accessibility, LabelsAreNoTabStopsAndTheProgressBarStaysHidden)
{
    CScratchFolder folder;
    CProgram program;
    ASSERT_TRUE(program.Start(folder.Path())) << "CreateProcess: error " << program.StartError();
    ASSERT_TRUE(program.WaitForForm());
    int labels = 0;
    for (HWND child = GetWindow(program.Form(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (ClassName(child) != L"Static")
            continue;
        ++labels;
        EXPECT_EQ(GetWindowLongW(child, GWL_STYLE) & WS_TABSTOP, 0) << WindowText(child).size();
    }
    EXPECT_EQ(labels, 11);
    EXPECT_FALSE(IsWindowVisible(program.Item(IDC_PROGRESS)));
}

// Without a mouse: a hemisphere is picked by typing its first letter in its list.
TEST(Keyboard, FirstLetterPicksAHemisphere)
{
    CScratchFolder folder;
    CProgram program;
    ASSERT_TRUE(program.Start(folder.Path())) << "CreateProcess: error " << program.StartError();
    ASSERT_TRUE(program.WaitForForm());
    const struct {
        int id;
        wchar_t letter;
        const wchar_t* word;
    } picks[] = {{IDC_LAT_DIR, L's', L"South"}, {IDC_LAT_DIR, L'N', L"North"}, {IDC_LON_DIR, L'w', L"West"}};
    for (const auto& pick : picks) {
        HWND list = program.Item(pick.id);
        PostMessageW(program.Form(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(list), TRUE);
        PostMessageW(list, WM_CHAR, pick.letter, 1);
        EXPECT_TRUE(WaitUntil([&] { return WindowText(list) == pick.word; }, 5s))
            << "typed " << static_cast<char>(pick.letter) << ", the list shows the word of index "
            << SendMessageW(list, CB_GETCURSEL, 0, 0);
    }
}

} // namespace
} // namespace vantrell::win32test
