#pragma once
// The plan dialog (IDD_PLANBOX): the plan of the fields' values or of the running scan,
// the scan's progress refreshed about once a second while it is open, and a preview to
// save. Close, Enter and Escape close it. UI thread.

#include "ScanForm.h"

#include <windows.h>

namespace vantrell::win32 {

// Runs the plan dialog modally, owned by owner, for form's state now; returns when it
// has closed. The worker goes on meanwhile.
void ShowPlanBox(HINSTANCE instance, HWND owner, const CScanForm& form);

} // namespace vantrell::win32
