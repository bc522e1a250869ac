#pragma once
// The probe: a WH_CALLWNDPROC hook in VantrellProbe.dll that the test driver installs on
// the program's user-interface thread, to ask what Wine will not answer across
// processes (MapDialogRect, GetSystemMenu, WM_GETICON). The driver writes a request into
// a named shared block, sends the form kRequestMessage, and reads the answer when
// SendMessage returns: the hook has run on the program's thread by then.

#include <windows.h>

#include <charconv>
#include <string>

namespace vantrell::probe {

inline constexpr wchar_t kRequestMessage[] = L"VantrellProbeRequest";
inline constexpr char kHookProcedure[] = "ProbeCallWndProc";

// The shared block of the program with that process id.
inline std::wstring SharedName(DWORD processId)
{
    char digits[16];
    const char* const begin = digits;
    const char* const end = std::to_chars(digits, digits + sizeof digits, processId).ptr;
    return L"Local\\VantrellProbe-" + std::wstring(begin, end);
}

enum class Request : LONG {
    None,
    MapDialogRect,   // rect: dialog units in, pixels out (MapDialogRect on the window)
    SystemMenu,      // menu: the window's system menu, as GetSystemMenu(hwnd, FALSE) has it
    Icons,           // icons: the window's icons and the system's icon sizes
    DroppedList,     // list: the drop-down list of control id, opened then closed again
};

struct MenuItem {
    UINT id;
    UINT type; // MFT_* bits
    wchar_t text[64];
};

struct Icons {
    int bigWidth, bigHeight;     // of WM_GETICON ICON_BIG; 0 when there is none
    int smallWidth, smallHeight; // of WM_GETICON ICON_SMALL
    BOOL dragIconIsBig;          // WM_QUERYDRAGICON answers the big icon
    int systemBig, systemSmall;  // SM_CXICON, SM_CXSMICON
};

struct DroppedList {
    int id;             // in
    int visibleHeight;  // client height of the opened list, pixels
    int itemHeight;     // CB_GETITEMHEIGHT of the items
    int count;          // CB_GETCOUNT
    DWORD listStyle;    // of the list window: the combo box moves WS_VSCROLL there
};

struct Shared {
    Request request;
    BOOL answered;
    RECT rect;
    int menuCount;
    MenuItem menu[32];
    Icons icons;
    DroppedList list;
};

} // namespace vantrell::probe
