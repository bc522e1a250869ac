#include "ScanDlg.h"

#include "AboutDlg.h"
#include "PlanDlg.h"
#include "ResourceReader.h"

#include <span>

namespace vantrell::win32 {
namespace {

HICON LoadAppIcon(HINSTANCE instance, int widthMetric, int heightMetric)
{
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                         GetSystemMetrics(widthMetric), GetSystemMetrics(heightMetric),
                                         LR_DEFAULTCOLOR));
}

DWORD WINAPI WorkerEntry(LPVOID job)
{
    return ScanThreadProc(static_cast<CScanJob*>(job));
}

// Plain Win32 ignores a dialog's initialisation data (resource type 240), so the form
// applies it itself: each CB_ADDSTRING record adds its text to its list.
void ApplyDialogInit(const CScanDlg& dlg)
{
    HRSRC found = FindResourceW(dlg.m_hInstance, MAKEINTRESOURCEW(IDD_SCAN_DIALOG),
                                MAKEINTRESOURCEW(res::kTypeDialogInit));
    if (!found)
        return;
    HGLOBAL loaded = LoadResource(dlg.m_hInstance, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data)
        return;
    const auto entries = res::ParseDialogInit(
        res::Bytes(static_cast<const std::uint8_t*>(data), SizeofResource(dlg.m_hInstance, found)));
    if (!entries)
        return;
    for (const res::DialogInitEntry& entry : *entries) {
        // 0x0403 is the 16-bit CB_ADDSTRING; the text is narrow, as stored.
        if (entry.message == res::kInitAddString16)
            SendDlgItemMessageA(dlg.m_hWnd, entry.controlId, CB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(entry.text.c_str()));
    }
}

// After the system menu's own entries: a separator, then the About box and the plan.
void AppendAboutCommand(const CScanDlg& dlg)
{
    HMENU menu = GetSystemMenu(dlg.m_hWnd, FALSE);
    if (!menu)
        return;
    char text[128];
    if (LoadStringA(dlg.m_hInstance, IDS_ABOUTBOX, text, static_cast<int>(sizeof text)) <= 0)
        return;
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, IDM_ABOUTBOX, text);
    if (LoadStringA(dlg.m_hInstance, IDS_PLANBOX, text, static_cast<int>(sizeof text)) > 0)
        AppendMenuA(menu, MF_STRING, IDM_PLANBOX, text);
}

// Assistive technology names each field after the static text right before it in the
// template. Where that text names no field of its own (the lists have none, the minutes
// and seconds only "Min:" and "Sec:"), the name comes from the string table, set through
// the accessibility framework's annotation service, which takes precedence over the label.
void NameFields(CScanDlg& dlg)
{
    if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                                reinterpret_cast<void**>(&dlg.m_pAccProps))))
        return;
    for (const auto& [control, string] : kFieldNameStrings) {
        wchar_t name[128];
        if (LoadStringW(dlg.m_hInstance, static_cast<UINT>(string), name, 128) > 0)
            dlg.m_pAccProps->SetHwndPropStr(GetDlgItem(dlg.m_hWnd, control), static_cast<DWORD>(OBJID_CLIENT),
                                            CHILDID_SELF, PROPID_ACC_NAME, name);
    }
}

void OnDestroy(CScanDlg& dlg)
{
    if (!dlg.m_pAccProps)
        return;
    for (const auto& [control, string] : kFieldNameStrings)
        dlg.m_pAccProps->ClearHwndProps(GetDlgItem(dlg.m_hWnd, control), static_cast<DWORD>(OBJID_CLIENT),
                                        CHILDID_SELF, &PROPID_ACC_NAME, 1);
    dlg.m_pAccProps->Release();
    dlg.m_pAccProps = nullptr;
}

BOOL OnInitDialog(HWND hDlg, CScanDlg* dlg)
{
    SetWindowLongPtrW(hDlg, DWLP_USER, reinterpret_cast<LONG_PTR>(dlg));
    dlg->m_hWnd = hDlg;
    ApplyDialogInit(*dlg);
    NameFields(*dlg);
    AppendAboutCommand(*dlg);
    SendMessageA(hDlg, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(dlg->m_hIcon));
    SendMessageA(hDlg, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(dlg->m_hSmallIcon));
    dlg->m_bStarted = false;
    return TRUE; // focus to the first tab stop, IDC_LAT_DEG
}

BOOL OnCommand(CScanDlg& dlg, WORD id, WORD code)
{
    if (code != BN_CLICKED)
        return FALSE;
    switch (id) {
    case IDOK: // Start, or Enter in a field
        dlg.OnBnClickedStart();
        return TRUE;
    case IDC_PAUSE:
        dlg.OnBnClickedPause();
        return TRUE;
    case IDCANCEL: // Quit, Escape, or Close from the system menu
        EndDialog(dlg.m_hWnd, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

BOOL OnSysCommand(CScanDlg& dlg, WPARAM command)
{
    // The low four bits of a system command are the system's own.
    switch (command & 0xFFF0) {
    case IDM_ABOUTBOX:
        ShowAboutBox(dlg.m_hInstance, dlg.m_hWnd);
        return TRUE;
    case IDM_PLANBOX:
        ShowPlanBox(dlg.m_hInstance, dlg.m_hWnd, dlg);
        return TRUE;
    }
    return FALSE;
}

// Minimised, the form draws its icon centred in the icon area; otherwise the dialog
// paints as usual.
BOOL OnPaint(CScanDlg& dlg)
{
    if (!IsIconic(dlg.m_hWnd))
        return FALSE;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(dlg.m_hWnd, &paint);
    SendMessageA(dlg.m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(dlg.m_hWnd, &client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, dlg.m_hIcon);
    EndPaint(dlg.m_hWnd, &paint);
    return TRUE;
}

INT_PTR CALLBACK ScanDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* dlg = reinterpret_cast<CScanDlg*>(GetWindowLongPtrW(hDlg, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(hDlg, reinterpret_cast<CScanDlg*>(lParam));
    case WM_COMMAND:
        return dlg ? OnCommand(*dlg, LOWORD(wParam), HIWORD(wParam)) : FALSE;
    case WM_SYSCOMMAND:
        return dlg ? OnSysCommand(*dlg, wParam) : FALSE;
    case WM_PAINT:
        return dlg ? OnPaint(*dlg) : FALSE;
    case WM_DESTROY:
        if (dlg)
            OnDestroy(*dlg);
        return FALSE;
    case WM_ENDSESSION:
        // Logging off or shutting down: the system may end the process as soon as this
        // returns, so the writer stops first, as after Quit.
        if (wParam) {
            EndScanning();
            EndDialog(hDlg, IDCANCEL);
        }
        return TRUE;
    case WM_QUERYDRAGICON: // answered through the return value, not DWLP_MSGRESULT
        return dlg ? reinterpret_cast<INT_PTR>(dlg->m_hIcon) : FALSE;
    }
    return FALSE;
}

} // namespace

CScanDlg::CScanDlg(HINSTANCE instance)
    : m_hInstance(instance),
      m_hIcon(LoadAppIcon(instance, SM_CXICON, SM_CYICON)),
      m_hSmallIcon(LoadAppIcon(instance, SM_CXSMICON, SM_CYSMICON))
{
}

void CScanDlg::DoModal()
{
    DialogBoxParamW(m_hInstance, MAKEINTRESOURCEW(IDD_SCAN_DIALOG), nullptr, ScanDlgProc,
                    reinterpret_cast<LPARAM>(this));
}

std::string CScanDlg::ReadFieldText(int id) const
{
    // An unselected drop-down list has no window text, so it reads as "".
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(GetDlgItem(m_hWnd, id))) + 1, '\0');
    const UINT copied = GetDlgItemTextA(m_hWnd, id, text.data(), static_cast<int>(text.size()));
    text.resize(copied);
    return text;
}

void CScanDlg::WriteFieldText(int id, const std::string& text)
{
    HWND control = GetDlgItem(m_hWnd, id);
    char kind[16] = {};
    GetClassNameA(control, kind, sizeof kind);
    if (lstrcmpiA(kind, "ComboBox") != 0) {
        SetWindowTextA(control, text.c_str());
        return;
    }
    // The word itself, not the first that starts with it; none for "".
    const LRESULT index = text.empty() ? CB_ERR
                                       : SendMessageA(control, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                      reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageA(control, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

bool CScanDlg::StartWorker(CScanJob& job)
{
    HANDLE thread = CreateThread(nullptr, 0, WorkerEntry, &job, 0, nullptr);
    if (!thread)
        return false;
    CloseHandle(thread); // the thread runs on, detached: nothing waits for it
    return true;
}

} // namespace vantrell::win32
