#pragma once
// The scan form (IDD_SCAN_DIALOG) as a plain Win32 modal dialog. The form's rules live in
// CScanForm; this file only maps control IDs to the dialog's controls and handles the
// window's own messages. Everything here runs on the user-interface thread.

#include "ScanForm.h"

#include <windows.h>

#include <oleacc.h>

namespace vantrell::win32 {

class CScanDlg final : public CScanForm {
public:
    // Loads the window icons at the system's sizes; they live as long as the process.
    explicit CScanDlg(HINSTANCE instance);

    // Runs the form; returns when Quit, Escape or Close has ended it.
    void DoModal();

    HINSTANCE m_hInstance;
    HWND m_hWnd = nullptr; // set in WM_INITDIALOG
    HICON m_hIcon;         // SM_CXICON: the big window icon, drawn when minimised
    HICON m_hSmallIcon;    // SM_CXSMICON: title bar and taskbar
    // Names the fields their labels cannot name for assistive technology; null where COM
    // or the service is missing. Released when the form is destroyed.
    IAccPropServices* m_pAccProps = nullptr;

protected:
    std::string ReadFieldText(int id) const override;
    void WriteFieldText(int id, const std::string& text) override;
    bool StartWorker(CScanJob& job) override;
};

} // namespace vantrell::win32
