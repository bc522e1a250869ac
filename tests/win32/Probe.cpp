// VantrellProbe.dll: loaded into the program under test by the driver's hook, answers
// the driver's requests from inside the program's user-interface thread.

#include "Probe.h"

namespace vantrell::probe {
namespace {

void Size(HICON icon, int& width, int& height)
{
    width = height = 0;
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info))
        return;
    BITMAP bitmap{};
    if (GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap)) {
        width = bitmap.bmWidth;
        // A monochrome icon stacks its AND and XOR masks in one bitmap.
        height = info.hbmColor ? bitmap.bmHeight : bitmap.bmHeight / 2;
    }
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    if (info.hbmMask)
        DeleteObject(info.hbmMask);
}

void AnswerSystemMenu(HWND window, Shared& shared)
{
    HMENU menu = GetSystemMenu(window, FALSE);
    const int count = menu ? GetMenuItemCount(menu) : 0;
    shared.menuCount = count < 0 ? 0 : (count > 32 ? 32 : count);
    for (int i = 0; i < shared.menuCount; ++i) {
        MenuItem& item = shared.menu[i];
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STRING;
        info.dwTypeData = item.text;
        info.cch = ARRAYSIZE(item.text);
        item.text[0] = L'\0';
        if (GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) {
            item.id = info.wID;
            item.type = info.fType;
        }
    }
}

void AnswerIcons(HWND window, Shared& shared)
{
    Icons& icons = shared.icons;
    const auto big = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_BIG, 0));
    const auto small = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_SMALL, 0));
    Size(big, icons.bigWidth, icons.bigHeight);
    Size(small, icons.smallWidth, icons.smallHeight);
    icons.dragIconIsBig = big && reinterpret_cast<HICON>(SendMessageW(window, WM_QUERYDRAGICON, 0, 0)) == big;
    icons.systemBig = GetSystemMetrics(SM_CXICON);
    icons.systemSmall = GetSystemMetrics(SM_CXSMICON);
}

void AnswerDroppedList(HWND window, Shared& shared)
{
    DroppedList& list = shared.list;
    HWND combo = GetDlgItem(window, list.id);
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    list.visibleHeight = list.itemHeight = list.count = 0;
    list.listStyle = 0;
    if (!combo || !GetComboBoxInfo(combo, &info))
        return;
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    RECT client{};
    GetClientRect(info.hwndList, &client);
    list.visibleHeight = client.bottom - client.top;
    list.itemHeight = static_cast<int>(SendMessageW(combo, CB_GETITEMHEIGHT, 0, 0));
    list.count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    list.listStyle = static_cast<DWORD>(GetWindowLongPtrW(info.hwndList, GWL_STYLE));
    SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
}

void Answer(HWND window)
{
    HANDLE mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, SharedName(GetCurrentProcessId()).c_str());
    if (!mapping)
        return;
    if (auto* shared = static_cast<Shared*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(Shared)))) {
        switch (shared->request) {
        case Request::MapDialogRect:
            shared->answered = MapDialogRect(window, &shared->rect);
            break;
        case Request::SystemMenu:
            AnswerSystemMenu(window, *shared);
            shared->answered = TRUE;
            break;
        case Request::Icons:
            AnswerIcons(window, *shared);
            shared->answered = TRUE;
            break;
        case Request::DroppedList:
            AnswerDroppedList(window, *shared);
            shared->answered = TRUE;
            break;
        case Request::None:
            break;
        }
        UnmapViewOfFile(shared);
    }
    CloseHandle(mapping);
}

} // namespace
} // namespace vantrell::probe

extern "C" __declspec(dllexport) LRESULT CALLBACK ProbeCallWndProc(int code, WPARAM wParam, LPARAM lParam)
{
    static const UINT request = RegisterWindowMessageW(vantrell::probe::kRequestMessage);
    if (code == HC_ACTION) {
        const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (message->message == request)
            vantrell::probe::Answer(message->hwnd);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
