#include "PlanDlg.h"

#include "PlanView.h"
#include "WideText.h"
#include "resource.h"

#include <commdlg.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrell::win32 {
namespace {

constexpr UINT_PTR kRefreshTimer = 1;

struct CPlanBox {
    HINSTANCE instance;
    CPlanView view;
};

std::wstring LoadText(HINSTANCE instance, UINT id)
{
    wchar_t text[256];
    const int length = LoadStringW(instance, id, text, 256);
    return std::wstring(text, length > 0 ? static_cast<std::size_t>(length) : 0);
}

// Only a changed text is set: setting it clears the user's selection.
void ShowProgress(HWND hDlg, CPlanBox& box)
{
    const std::wstring progress = Wide(WithCrLf(box.view.Progress()));
    HWND edit = GetDlgItem(hDlg, IDC_PLAN_PROGRESS);
    std::wstring shown(static_cast<std::size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
    shown.resize(static_cast<std::size_t>(GetWindowTextW(edit, shown.data(), static_cast<int>(shown.size()))));
    if (shown != progress)
        SetWindowTextW(edit, progress.c_str());
}

// The plan and what goes with it: again after a plan is opened.
void ShowPlan(HWND hDlg, CPlanBox& box)
{
    std::string plan = box.view.Plan();
    if (!plan.empty() && plan.back() == '\n')
        plan.pop_back(); // no empty line after the last
    SetDlgItemTextW(hDlg, IDC_PLAN_TEXT, Wide(WithCrLf(plan)).c_str());
    // A request without points has nothing to preview; a plan opens before Start only.
    EnableWindow(GetDlgItem(hDlg, IDC_PLAN_SAVE), box.view.HasPoints());
    EnableWindow(GetDlgItem(hDlg, IDC_PLAN_OPEN), box.view.CanOpen());
    EnableWindow(GetDlgItem(hDlg, IDC_AREA_OPEN), box.view.CanOpen());
    EnableWindow(GetDlgItem(hDlg, IDC_CORRIDOR), box.view.CanOpen());
    const std::string& resume = box.view.ResumeText();
    SetDlgItemTextW(hDlg, IDC_RESUME_TEXT, Wide(resume).c_str());
    CheckDlgButton(hDlg, IDC_RESUME, box.view.Resume() ? BST_CHECKED : BST_UNCHECKED);
    ShowWindow(GetDlgItem(hDlg, IDC_RESUME), resume.empty() ? SW_HIDE : SW_SHOW);
}

BOOL OnInitDialog(HWND hDlg, CPlanBox* box)
{
    SetWindowLongPtrW(hDlg, DWLP_USER, reinterpret_cast<LONG_PTR>(box));
    SetDlgItemTextW(hDlg, IDC_CORRIDOR, Wide(box->view.CorridorText()).c_str());
    ShowPlan(hDlg, *box);
    std::wstring notStarted = LoadText(box->instance, IDS_PLAN_NOT_STARTED);
    if (const std::string reason = box->view.FollowReason(); !reason.empty())
        notStarted += L"\r\n" + Wide(reason);
    SetDlgItemTextW(hDlg, IDC_PLAN_PROGRESS, notStarted.c_str());
    CheckDlgButton(hDlg, IDC_FOLLOW, box->view.Follow() ? BST_CHECKED : BST_UNCHECKED);
    // Where the folder cannot be watched (network shares, Wine) the viewer line says so.
    EnableWindow(GetDlgItem(hDlg, IDC_FOLLOW), box->view.CanFollow());
    if (box->view.Running()) {
        ShowProgress(hDlg, *box);
        SetTimer(hDlg, kRefreshTimer, static_cast<UINT>(kProgressRefreshMs), nullptr);
    }
    // Close, not the plan: the dialog manager would select the whole text.
    SetFocus(GetDlgItem(hDlg, IDOK));
    return FALSE;
}

void Warn(HWND hDlg, const std::wstring& text)
{
    wchar_t caption[128];
    GetWindowTextW(hDlg, caption, 128);
    MessageBoxW(hDlg, text.c_str(), caption, MB_OK | MB_ICONEXCLAMATION);
}

// The file dialogs' common part: the files of one filter (a string-table entry and its
// patterns), starting in the working folder, which browsing must not move (the scan
// writes Vantrell.kml there).
struct CKmlFileDialog {
    std::vector<wchar_t> file = std::vector<wchar_t>(32768, L'\0');
    std::vector<wchar_t> folder = std::vector<wchar_t>(32768, L'\0');
    std::wstring filter;
    OPENFILENAMEW ofn{};

    CKmlFileDialog(HWND owner, HINSTANCE instance, std::wstring_view name, DWORD flags,
                   UINT filterId = IDS_PLAN_FILTER, std::string_view patterns = kPreviewPattern)
    {
        name.copy(file.data(), name.size());
        const DWORD got = GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data());
        // Pairs of description and pattern, each ended by a NUL, and one more NUL at the end.
        filter = LoadText(instance, filterId);
        filter += L'\0';
        filter += Wide(std::string(patterns));
        filter += L'\0';
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = owner;
        ofn.lpstrFilter = filter.c_str(); // c_str adds the last NUL
        ofn.nFilterIndex = 1;
        ofn.lpstrFile = file.data();
        ofn.nMaxFile = static_cast<DWORD>(file.size());
        ofn.lpstrInitialDir = got > 0 && got < folder.size() ? folder.data() : nullptr;
        ofn.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | flags;
    }
};

// Open plan and Open area: the open dialog, then the view reads the file chosen.
void OpenFile(HWND hDlg, CPlanBox& box, UINT filterId, std::string_view patterns, UINT badNameId,
              bool (CPlanView::*open)(std::string_view, std::string&))
{
    CKmlFileDialog dialog(hDlg, box.instance, {}, OFN_FILEMUSTEXIST, filterId, patterns);
    if (!GetOpenFileNameW(&dialog.ofn))
        return; // cancelled, or the dialog could not open
    const std::optional<std::string> path = AnsiPath(dialog.file.data());
    if (!path) {
        Warn(hDlg, LoadText(box.instance, badNameId));
        return;
    }
    std::string why;
    if (!(box.view.*open)(*path, why)) {
        Warn(hDlg, Wide(why));
        return;
    }
    // A preview with an area brings its corridor back; the same value changes nothing.
    SetDlgItemTextW(hDlg, IDC_CORRIDOR, Wide(box.view.CorridorText()).c_str());
    ShowPlan(hDlg, box);
}

void OpenPlan(HWND hDlg, CPlanBox& box)
{
    OpenFile(hDlg, box, IDS_PLAN_FILTER, kPreviewPattern, IDS_PLAN_OPEN_BAD_NAME, &CPlanView::OpenPlan);
}

void OpenArea(HWND hDlg, CPlanBox& box)
{
    OpenFile(hDlg, box, IDS_AREA_FILTER, kAreaPattern, IDS_AREA_OPEN_BAD_NAME, &CPlanView::OpenArea);
}

// The corridor as typed (pasted text too, which the rule reads as atoi); a change while
// no area is kept only remembers it.
void CorridorChanged(HWND hDlg, CPlanBox& box)
{
    HWND edit = GetDlgItem(hDlg, IDC_CORRIDOR);
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
    const std::string before = box.view.Plan();
    box.view.SetCorridor(Utf8(text.c_str()));
    if (box.view.Plan() != before) // setting the text moves the plan back to its top
        ShowPlan(hDlg, box);
}

void SavePreview(HWND hDlg, CPlanBox& box)
{
    CKmlFileDialog dialog(hDlg, box.instance, Wide(std::string(kPreviewFileName)), OFN_OVERWRITEPROMPT);
    dialog.ofn.lpstrDefExt = L"kml";
    if (!GetSaveFileNameW(&dialog.ofn))
        return; // cancelled, or the dialog could not open
    std::wstring error;
    std::string why;
    if (const std::optional<std::string> path = AnsiPath(dialog.file.data())) {
        if (box.view.SavePreview(*path, why))
            return;
        error = Wide(why);
    } else {
        error = LoadText(box.instance, IDS_PLAN_BAD_NAME);
    }
    Warn(hDlg, error);
}

INT_PTR CALLBACK PlanDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* box = reinterpret_cast<CPlanBox*>(GetWindowLongPtrW(hDlg, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(hDlg, reinterpret_cast<CPlanBox*>(lParam));
    case WM_TIMER:
        if (box && wParam == kRefreshTimer) {
            ShowProgress(hDlg, *box);
            return TRUE;
        }
        return FALSE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_PLAN_SAVE:
            if (box && HIWORD(wParam) == BN_CLICKED)
                SavePreview(hDlg, *box);
            return TRUE;
        case IDC_PLAN_OPEN:
            if (box && HIWORD(wParam) == BN_CLICKED)
                OpenPlan(hDlg, *box);
            return TRUE;
        case IDC_AREA_OPEN:
            if (box && HIWORD(wParam) == BN_CLICKED)
                OpenArea(hDlg, *box);
            return TRUE;
        case IDC_CORRIDOR:
            if (box && HIWORD(wParam) == EN_CHANGE)
                CorridorChanged(hDlg, *box);
            return TRUE;
        case IDC_RESUME:
            if (box && HIWORD(wParam) == BN_CLICKED)
                box->view.SetResume(IsDlgButtonChecked(hDlg, IDC_RESUME) == BST_CHECKED);
            return TRUE;
        case IDC_FOLLOW:
            if (box && HIWORD(wParam) == BN_CLICKED) {
                box->view.SetFollow(IsDlgButtonChecked(hDlg, IDC_FOLLOW) == BST_CHECKED);
                ShowPlan(hDlg, *box);
            }
            return TRUE;
        case IDOK:
        case IDCANCEL:
            EndDialog(hDlg, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        KillTimer(hDlg, kRefreshTimer);
        return FALSE;
    }
    return FALSE;
}

} // namespace

void ShowPlanBox(HINSTANCE instance, HWND owner, CScanForm& form)
{
    CPlanBox box{instance, CPlanView(form)};
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_PLANBOX), owner, PlanDlgProc, reinterpret_cast<LPARAM>(&box));
}

} // namespace vantrell::win32
