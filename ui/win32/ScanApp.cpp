// The Windows program's start-up: the plan or else the single-copy guard, the common
// controls, the modal scan form, and the way out.

#include "FileReplace.h"
#include "LookAtDocument.h"
#include "PlanConsole.h"
#include "ScanDlg.h"
#include "SingleInstance.h"

#include <commctrl.h>
#include <objbase.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    // A plan only prints: before the single-copy guard exists, so it runs while a copy
    // scans and never turns away a window started meanwhile.
    if (const std::optional<int> status = vantrell::win32::RunPlanIfAsked())
        return *status;
    // The guard's mutex is created here, first thing on the window's path.
    if (vantrell::win32::AnotherCopyRuns())
        return 0;
    // What a killed copy left in this folder. Only after the guard: a second copy must
    // not touch the running one's files.
    vantrell::RemoveStaleTemporaries(vantrell::kLookAtFileName);
    // The form holds a progress bar, a common control.
    InitCommonControls();
    // COM, for the accessibility annotations of the form's lists.
    const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    {
        vantrell::win32::CScanDlg form(instance);
        form.DoModal();
    }
    if (com)
        CoUninitialize();
    // A write held up in the file system can keep this process alive a while: the next
    // copy need not wait for it.
    vantrell::win32::ReleaseSingleInstance();
    // The worker is abandoned, not joined: it only has to stop touching the file before
    // the C runtime's exit runs.
    vantrell::EndScanning();
    return 0;
}
