#include "PlanDlg.h"

#include "PlanView.h"
#include "WideText.h"
#include "resource.h"

#include <commdlg.h>

#include <optional>
#include <string>
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

BOOL OnInitDialog(HWND hDlg, CPlanBox* box)
{
    SetWindowLongPtrW(hDlg, DWLP_USER, reinterpret_cast<LONG_PTR>(box));
    std::string plan = box->view.Plan();
    if (!plan.empty() && plan.back() == '\n')
        plan.pop_back(); // no empty line after the last
    SetDlgItemTextW(hDlg, IDC_PLAN_TEXT, Wide(WithCrLf(plan)).c_str());
    SetDlgItemTextW(hDlg, IDC_PLAN_PROGRESS, LoadText(box->instance, IDS_PLAN_NOT_STARTED).c_str());
    if (box->view.Running()) {
        ShowProgress(hDlg, *box);
        SetTimer(hDlg, kRefreshTimer, static_cast<UINT>(kProgressRefreshMs), nullptr);
    }
    // A request without points has nothing to preview.
    EnableWindow(GetDlgItem(hDlg, IDC_PLAN_SAVE), box->view.HasPoints());
    // Close, not the plan: the dialog manager would select the whole text.
    SetFocus(GetDlgItem(hDlg, IDOK));
    return FALSE;
}

void SavePreview(HWND hDlg, CPlanBox& box)
{
    std::vector<wchar_t> file(32768, L'\0');
    const std::wstring name = Wide(std::string(kPreviewFileName));
    name.copy(file.data(), name.size());
    std::vector<wchar_t> folder(32768, L'\0');
    const DWORD got = GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data());
    const std::wstring pattern = Wide(std::string(kPreviewPattern));
    // Pairs of description and pattern, each ended by a NUL, and one more NUL at the end.
    std::wstring filter = LoadText(box.instance, IDS_PLAN_FILTER);
    filter += L'\0';
    filter += pattern;
    filter += L'\0';

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = hDlg;
    ofn.lpstrFilter = filter.c_str(); // c_str adds the last NUL
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrInitialDir = got > 0 && got < folder.size() ? folder.data() : nullptr;
    ofn.lpstrDefExt = L"kml";
    // The scan writes Vantrell.kml into the working folder: browsing must not move it.
    ofn.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameW(&ofn))
        return; // cancelled, or the dialog could not open
    std::wstring error;
    std::string why;
    if (const std::optional<std::string> path = AnsiPath(file.data())) {
        if (box.view.SavePreview(*path, why))
            return;
        error = Wide(why);
    } else {
        error = LoadText(box.instance, IDS_PLAN_BAD_NAME);
    }
    wchar_t caption[128];
    GetWindowTextW(hDlg, caption, 128);
    MessageBoxW(hDlg, error.c_str(), caption, MB_OK | MB_ICONEXCLAMATION);
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

void ShowPlanBox(HINSTANCE instance, HWND owner, const CScanForm& form)
{
    CPlanBox box{instance, CPlanView(form)};
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_PLANBOX), owner, PlanDlgProc, reinterpret_cast<LPARAM>(&box));
}

} // namespace vantrell::win32
