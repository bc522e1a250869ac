#pragma once
// The test driver's side of the program under test: starts Vantrell.exe in a scratch
// folder of its own, finds its form once it is visible, and talks to it from outside
// with window messages, plus the probe hook for what Wine only answers from inside.
// Every wait has a deadline and polls; nothing sleeps a fixed time to let things happen.

#include "Probe.h"
#include "resource.h"

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace vantrell::win32test {

using namespace std::chrono_literals;
using Milliseconds = std::chrono::milliseconds;

// Wine needs seconds for a first window in a cold prefix; the session warms it up.
inline constexpr Milliseconds kStartDeadline = 30s;
// Without a window manager Wine can take about 2 s to close a captioned window.
inline constexpr Milliseconds kCloseDeadline = 10s;

// Polls condition every 10 ms until it holds or the deadline passes; returns the last result.
template <class Condition>
bool WaitUntil(Condition condition, Milliseconds deadline)
{
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end)
            return condition();
        Sleep(10);
    }
    return true;
}

// n in decimal, locale-free.
std::string Decimal(long long n);

// Vantrell.exe as built, from VANTRELL_EXE (a Unix path is taken through Wine's Z: drive).
std::wstring ProgramPath();

// A new empty folder under %TEMP%, removed with what it holds.
class CScratchFolder {
public:
    CScratchFolder();
    ~CScratchFolder();
    CScratchFolder(const CScratchFolder&) = delete;
    CScratchFolder& operator=(const CScratchFolder&) = delete;

    const std::wstring& Path() const { return m_path; }
    std::wstring File(const wchar_t* name) const { return m_path + L"\\" + name; }
    // The names in the folder ending in ".tmp".
    std::vector<std::wstring> Temporaries() const;

private:
    std::wstring m_path;
};

// The whole file as a reader sharing everything sees it; nothing if it cannot be opened.
std::string ReadWholeFile(const std::wstring& path);
bool CreateEmptyFile(const std::wstring& path);
// Creates or replaces the file with text, byte for byte.
bool WriteWholeFile(const std::wstring& path, const std::string& text);

// The thirteen values of a request as the user types and picks them.
struct Request {
    const wchar_t* latDeg = L"";
    const wchar_t* latMin = L"";
    const wchar_t* latSec = L"";
    const wchar_t* latWord = nullptr; // nullptr: leave the list unselected
    const wchar_t* lonDeg = L"";
    const wchar_t* lonMin = L"";
    const wchar_t* lonSec = L"";
    const wchar_t* lonWord = nullptr;
    const wchar_t* milesEast = L"";
    const wchar_t* milesSouth = L"";
    const wchar_t* speed = L"";
    const wchar_t* range = L"";
    const wchar_t* resolution = L"";
};

// The texts the form's thirteen fields show for request, in the form's reading order;
// an unselected list shows "".
std::vector<std::wstring> FieldTexts(const Request& request);

// The first count LookAt documents of that request's walk, as the engine makes them.
std::vector<std::string> ExpectedDocuments(const Request& request, std::size_t count);

// One run of Vantrell.exe. The destructor ends it if it still runs.
class CProgram {
public:
    CProgram() = default;
    ~CProgram();
    CProgram(const CProgram&) = delete;
    CProgram& operator=(const CProgram&) = delete;

    // Starts the program with folder as its working directory; false if it could not,
    // with the reason in StartError().
    // With suspended, the program waits for Resume() before it runs its first instruction.
    bool Start(const std::wstring& folder, bool suspended = false);
    bool Resume();
    DWORD StartError() const { return m_startError; }
    // Waits until the program shows its form; false if it did not within the deadline.
    bool WaitForForm(Milliseconds deadline = kStartDeadline);
    // Waits until the process has ended and gives its exit code.
    bool WaitForExit(DWORD& exitCode, Milliseconds deadline = kCloseDeadline);
    bool Running() const;

    HWND Form() const { return m_form; }
    HWND Item(int id) const { return GetDlgItem(m_form, id); }
    DWORD ProcessId() const { return m_process.dwProcessId; }
    DWORD ThreadId() const { return m_process.dwThreadId; }
    // The visible dialog owned by owner (the form unless said otherwise: the About box),
    // or nullptr.
    HWND OwnedDialog(HWND owner = nullptr) const;
    // The window that has the keyboard focus on the program's thread.
    HWND Focus() const;

    // Installs the probe on the program's thread; needs the form.
    bool InstallProbe();
    // Asks the probe through window (the form unless said otherwise); false if unanswered.
    bool Ask(probe::Request request, probe::Shared& answer, HWND window = nullptr);
    // Where the dialog manager puts a control laid out at x, y, cx, cy dialog units, in
    // pixels of window's client area. Position and size are converted apart, so the right
    // edge can differ by a pixel from MapDialogRect of the edges.
    bool MapDialogUnits(HWND window, int x, int y, int cx, int cy, RECT& pixels);

    // Typing and picking as a user would, through messages.
    void Fill(const Request& request);
    // What the thirteen fields show now, as FieldTexts(Request) gives it.
    std::vector<std::wstring> FieldTexts() const;
    void SetText(int id, const wchar_t* text);
    void Select(int id, const wchar_t* word);
    void Click(int id);                 // BM_CLICK, waits for the button's handler to run
    void PressKey(HWND target, WPARAM key); // posts the key to target, as the message loop sees typing

private:
    PROCESS_INFORMATION m_process{};
    DWORD m_startError = 0;
    HWND m_form = nullptr;
    HHOOK m_hook = nullptr;
    HMODULE m_probe = nullptr;
    HANDLE m_mapping = nullptr;
    probe::Shared* m_shared = nullptr;
};

std::wstring WindowText(HWND window);
std::wstring ClassName(HWND window);

// Answers an Open or Save As dialog: types path as the file name and presses OK; false
// if the dialog has no file name box.
bool ChooseFile(HWND dialog, const std::wstring& path);
// The file name box of an Open or Save As dialog, or nullptr.
HWND FileNameBox(HWND dialog);

} // namespace vantrell::win32test
