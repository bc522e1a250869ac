#pragma once
// The About box (IDD_ABOUTBOX): static texts and OK; OK and Escape close it.

#include <windows.h>

namespace vantrell::win32 {

// Runs the About box modally, owned by owner; returns when it has closed. UI thread.
void ShowAboutBox(HINSTANCE instance, HWND owner);

} // namespace vantrell::win32
