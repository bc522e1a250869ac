#pragma once
// The plan dialog (IDD_PLANBOX): the plan of the fields' values or of the running scan,
// where Vantrell.kml stands in it, the scan's progress and what the viewer does refreshed
// about once a second while it is open, a plan to open, a preview to save and pacing by
// the viewer. Close, Enter and Escape close it. UI thread.

#include "ScanForm.h"

#include <windows.h>

namespace vantrell::win32 {

// Runs the plan dialog modally, owned by owner, for form's state now; returns when it
// has closed. The worker goes on meanwhile.
void ShowPlanBox(HINSTANCE instance, HWND owner, CScanForm& form);

} // namespace vantrell::win32
