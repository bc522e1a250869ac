#pragma once
// The program's dialog templates and strings as data, generated at build time from res/Vantrell.rc,
// so the Linux form is laid out from the same source as the Windows one. Positions and
// sizes are in dialog units.

#include <cstddef>
#include <span>

namespace vantrell {

enum class ControlKind {
    Text,          // LTEXT / CTEXT / RTEXT (see TextAlign)
    Edit,          // EDITTEXT
    DropDownList,  // COMBOBOX with CBS_DROPDOWNLIST
    PushButton,    // PUSHBUTTON
    DefPushButton, // DEFPUSHBUTTON
    ProgressBar,   // CONTROL "msctls_progress32"
    Other,
};

enum class TextAlign { Left, Center, Right };

struct DialogControl {
    const char* text; // exact text, escapes resolved; "" when the control has none
    int id;           // -1 for IDC_STATIC
    const char* name; // the identifier as written in the script ("IDC_LAT_DEG", "IDOK", ...)
    ControlKind kind;
    TextAlign align;
    int x, y, width, height;
    bool tabStop;     // WS_TABSTOP, written or implied by the control's kind
    bool visible;     // false when WS_VISIBLE is removed (NOT WS_VISIBLE)
    bool digitsOnly;  // ES_NUMBER
    bool sorted;      // CBS_SORT
};

struct DialogTemplate {
    int id;
    const char* name;    // "IDD_SCAN_DIALOG"
    const char* caption; // "" when the template has none
    int width, height;
    const char* fontFace;
    int fontPointSize;
    std::span<const DialogControl> controls; // in the script's order, which is tab order
};

extern const DialogTemplate kScanDialogTemplate;  // IDD_SCAN_DIALOG
extern const DialogTemplate kAboutDialogTemplate; // IDD_ABOUTBOX

// The script's STRINGTABLE text for id, escapes resolved; nullptr when there is none.
const char* ResourceString(int id);

} // namespace vantrell
