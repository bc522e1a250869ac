#include "Driver.h"

#include "LookAtDocument.h"
#include "RequestText.h"
#include "ScanJob.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <stdexcept>

namespace vantrell::win32test {
namespace {

std::string Narrow(const wchar_t* text)
{
    std::string out;
    for (; text && *text; ++text)
        out.push_back(static_cast<char>(*text)); // the requests are ASCII
    return out;
}

// Collects a walk's documents and ends it, by throwing, once it has enough.
class CCollector final : public IPointWriter, public ISleeper {
public:
    struct Enough {};
    explicit CCollector(std::size_t count) : m_count(count) {}

    void WritePoint(float latitude, float longitude, std::int32_t range) override
    {
        char document[kLookAtDocumentMax];
        documents.emplace_back(document, FormatLookAt(document, latitude, longitude, range));
        if (documents.size() >= m_count)
            throw Enough{};
    }
    void Sleep(std::uint64_t) override {}

    std::vector<std::string> documents;

private:
    std::size_t m_count;
};

struct FindForm {
    DWORD processId;
    HWND owner;
    HWND found = nullptr;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM parameter)
{
    auto& find = *reinterpret_cast<FindForm*>(parameter);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == find.processId && IsWindowVisible(window) && ClassName(window) == L"#32770" &&
        GetWindow(window, GW_OWNER) == find.owner) {
        find.found = window;
        return FALSE;
    }
    return TRUE;
}

// The form's fields in its reading order, each with its value in a Request.
struct Field {
    int id;
    const wchar_t* Request::*value;
    bool list;
};
constexpr Field kFields[] = {
    {IDC_LAT_DEG, &Request::latDeg, false},         {IDC_LAT_MIN, &Request::latMin, false},
    {IDC_LAT_SEC, &Request::latSec, false},         {IDC_LAT_DIR, &Request::latWord, true},
    {IDC_LON_DEG, &Request::lonDeg, false},         {IDC_LON_MIN, &Request::lonMin, false},
    {IDC_LON_SEC, &Request::lonSec, false},         {IDC_LON_DIR, &Request::lonWord, true},
    {IDC_MILES_EAST, &Request::milesEast, false},   {IDC_MILES_SOUTH, &Request::milesSouth, false},
    {IDC_SPEED, &Request::speed, false},            {IDC_RANGE, &Request::range, false},
    {IDC_RESOLUTION, &Request::resolution, false},
};

HWND FindDialog(DWORD processId, HWND owner)
{
    FindForm find{processId, owner};
    EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&find));
    return find.found;
}

std::wstring ProbePath()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\') + 1) + L"VantrellProbe.dll";
}

} // namespace

std::string Decimal(long long n)
{
    char digits[24];
    return std::string(digits, std::to_chars(digits, digits + sizeof digits, n).ptr);
}

std::wstring ProgramPath()
{
    const wchar_t* variable = _wgetenv(L"VANTRELL_EXE");
    if (!variable || !*variable)
        throw std::runtime_error("VANTRELL_EXE names no program");
    std::wstring path = variable;
    if (path[0] == L'/')
        path = L"Z:" + path;
    for (wchar_t& c : path) {
        if (c == L'/')
            c = L'\\';
    }
    return path;
}

CScratchFolder::CScratchFolder()
{
    static int next = 0;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::string name = "vantrell-test-" + Decimal(GetCurrentProcessId()) + "-" + Decimal(next++);
    m_path = std::wstring(temp) + std::wstring(name.begin(), name.end());
    CreateDirectoryW(m_path.c_str(), nullptr);
}

CScratchFolder::~CScratchFolder()
{
    WIN32_FIND_DATAW entry{};
    HANDLE search = FindFirstFileW(File(L"*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveDirectoryW(File(name.c_str()).c_str());
            else
                DeleteFileW(File(name.c_str()).c_str());
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryW(m_path.c_str());
}

std::vector<std::wstring> CScratchFolder::Temporaries() const
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry{};
    HANDLE search = FindFirstFileW(File(L"*.tmp").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do
            names.emplace_back(entry.cFileName);
        while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    return names;
}

std::string ReadWholeFile(const std::wstring& path)
{
    std::string text;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return text;
    char buffer[1024];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        text.append(buffer, got);
    CloseHandle(file);
    return text;
}

bool CreateEmptyFile(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

bool WriteWholeFile(const std::wstring& path, const std::string& text)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool whole = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                       written == text.size();
    CloseHandle(file);
    return whole;
}

std::vector<std::wstring> FieldTexts(const Request& request)
{
    std::vector<std::wstring> texts;
    for (const Field& field : kFields) {
        const wchar_t* value = request.*field.value;
        texts.emplace_back(value ? value : L"");
    }
    return texts;
}

std::vector<std::string> ExpectedDocuments(const Request& r, std::size_t count)
{
    CCollector collector(count);
    RequestTexts texts;
    const std::vector<std::wstring> wide = FieldTexts(r);
    for (std::size_t i = 0; i < texts.size(); ++i)
        texts[i] = Narrow(wide[i].c_str());
    CScanJob job(RequestOfTexts(texts), collector, collector);
    try {
        job.Run();
    } catch (const CCollector::Enough&) {
    }
    return collector.documents;
}

CProgram::~CProgram()
{
    if (m_hook)
        UnhookWindowsHookEx(m_hook);
    if (m_shared)
        UnmapViewOfFile(m_shared);
    if (m_mapping)
        CloseHandle(m_mapping);
    if (m_process.hProcess) {
        if (Running()) {
            TerminateProcess(m_process.hProcess, 1);
            WaitForSingleObject(m_process.hProcess, 10000);
        }
        CloseHandle(m_process.hThread);
        CloseHandle(m_process.hProcess);
    }
    if (m_probe)
        FreeLibrary(m_probe);
}

bool CProgram::Start(const std::wstring& folder, bool suspended)
{
    std::wstring commandLine = L"\"" + ProgramPath() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, suspended ? CREATE_SUSPENDED : 0,
                       nullptr, folder.c_str(), &startup, &m_process))
        return true;
    m_startError = GetLastError();
    return false;
}

bool CProgram::Resume()
{
    return ResumeThread(m_process.hThread) != static_cast<DWORD>(-1);
}

bool CProgram::WaitForForm(Milliseconds deadline)
{
    return WaitUntil([&] { return Running() && (m_form = FindDialog(ProcessId(), nullptr)) != nullptr; },
                     deadline);
}

bool CProgram::WaitForExit(DWORD& exitCode, Milliseconds deadline)
{
    if (WaitForSingleObject(m_process.hProcess, static_cast<DWORD>(deadline.count())) != WAIT_OBJECT_0)
        return false;
    return GetExitCodeProcess(m_process.hProcess, &exitCode) != FALSE;
}

bool CProgram::Running() const
{
    return m_process.hProcess && WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT;
}

HWND CProgram::OwnedDialog(HWND owner) const
{
    owner = owner ? owner : m_form;
    return owner ? FindDialog(ProcessId(), owner) : nullptr;
}

HWND CProgram::Focus() const
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(ThreadId(), &info) ? info.hwndFocus : nullptr;
}

bool CProgram::InstallProbe()
{
    m_mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(probe::Shared),
                                   probe::SharedName(ProcessId()).c_str());
    if (!m_mapping)
        return false;
    m_shared = static_cast<probe::Shared*>(MapViewOfFile(m_mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(probe::Shared)));
    m_probe = LoadLibraryW(ProbePath().c_str());
    if (!m_shared || !m_probe)
        return false;
    const auto procedure = reinterpret_cast<HOOKPROC>(
        reinterpret_cast<void*>(GetProcAddress(m_probe, probe::kHookProcedure)));
    m_hook = procedure ? SetWindowsHookExW(WH_CALLWNDPROC, procedure, m_probe, ThreadId()) : nullptr;
    return m_hook != nullptr;
}

bool CProgram::Ask(probe::Request request, probe::Shared& answer, HWND window)
{
    if (!m_shared)
        return false;
    static const UINT message = RegisterWindowMessageW(probe::kRequestMessage);
    *m_shared = answer;
    m_shared->request = request;
    m_shared->answered = FALSE;
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window ? window : m_form, message, 0, 0, SMTO_NORMAL, 5000, &result))
        return false;
    answer = *m_shared;
    return answer.answered != FALSE;
}

bool CProgram::MapDialogUnits(HWND window, int x, int y, int cx, int cy, RECT& pixels)
{
    probe::Shared answer{};
    answer.rect = {x, y, cx, cy}; // right and bottom carry the size
    if (!Ask(probe::Request::MapDialogRect, answer, window))
        return false;
    const RECT& r = answer.rect;
    pixels = {r.left, r.top, r.left + r.right, r.top + r.bottom};
    return true;
}

void CProgram::Fill(const Request& r)
{
    for (const Field& field : kFields) {
        if (field.list)
            Select(field.id, r.*field.value);
        else
            SetText(field.id, r.*field.value);
    }
}

std::vector<std::wstring> CProgram::FieldTexts() const
{
    std::vector<std::wstring> texts;
    for (const Field& field : kFields)
        texts.push_back(WindowText(Item(field.id))); // a drop-down list's text is its selected word
    return texts;
}

void CProgram::SetText(int id, const wchar_t* text)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutW(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000, &result);
}

void CProgram::Select(int id, const wchar_t* word)
{
    DWORD_PTR result = 0;
    if (word)
        SendMessageTimeoutW(Item(id), CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(word),
                            SMTO_NORMAL, 5000, &result);
    else
        SendMessageTimeoutW(Item(id), CB_SETCURSEL, static_cast<WPARAM>(-1), 0, SMTO_NORMAL, 5000, &result);
}

void CProgram::Click(int id)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutW(Item(id), BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &result);
}

void CProgram::PressKey(HWND target, WPARAM key)
{
    const UINT scan = MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC);
    PostMessageW(target, WM_KEYDOWN, key, 1 | static_cast<LPARAM>(scan) << 16);
    PostMessageW(target, WM_KEYUP, key, 1 | static_cast<LPARAM>(scan) << 16 | 0xC0000000L);
}

std::wstring WindowText(HWND window)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 5000, &length))
        return L"";
    std::wstring text(length + 1, L'\0');
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_NORMAL, 5000,
                             &length))
        return L"";
    text.resize(std::min<std::size_t>(length, text.size() - 1));
    return text;
}

std::wstring ClassName(HWND window)
{
    wchar_t name[64];
    const int length = GetClassNameW(window, name, ARRAYSIZE(name));
    return std::wstring(name, length > 0 ? static_cast<std::size_t>(length) : 0);
}

HWND FileNameBox(HWND dialog)
{
    // A combo box on Windows (cmb13), an edit under Wine (edt1).
    HWND name = GetDlgItem(dialog, 0x47C);
    return name ? name : GetDlgItem(dialog, 0x480);
}

bool ChooseFile(HWND dialog, const std::wstring& path)
{
    HWND name = FileNameBox(dialog);
    if (!name)
        return false;
    SendMessageTimeoutW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()), SMTO_NORMAL, 5000, nullptr);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0); // the dialog's owner waits in its modal loop
    return true;
}

} // namespace vantrell::win32test
