#pragma once
// What each control of a compiled dialog template is, read from its class and style bits
// as the platform's dialog manager reads them, for a toolkit that builds the dialog itself;
// and the script's identifier for each of our control IDs. The style values are the
// platform's own: its headers exist only in the Windows build.

#include "ResourceReader.h"
#include "resource.h"

#include <cstdint>
#include <string_view>

namespace vantrell {

// Window styles.
inline constexpr std::uint32_t kStyleVisible = 0x10000000;  // WS_VISIBLE
inline constexpr std::uint32_t kStyleTabStop = 0x00010000;  // WS_TABSTOP
inline constexpr std::uint32_t kStyleVScroll = 0x00200000;  // WS_VSCROLL
inline constexpr std::uint32_t kStyleHScroll = 0x00100000;  // WS_HSCROLL
// Button, static, edit and combo box styles.
inline constexpr std::uint32_t kButtonTypeMask = 0x0F;      // BS_TYPEMASK
inline constexpr std::uint32_t kButtonPush = 0x00;          // BS_PUSHBUTTON
inline constexpr std::uint32_t kButtonDefPush = 0x01;       // BS_DEFPUSHBUTTON
inline constexpr std::uint32_t kButtonAutoCheckBox = 0x03;  // BS_AUTOCHECKBOX
inline constexpr std::uint32_t kStaticTypeMask = 0x1F;      // SS_TYPEMASK
inline constexpr std::uint32_t kStaticLeft = 0x00;          // SS_LEFT
inline constexpr std::uint32_t kStaticCenter = 0x01;        // SS_CENTER
inline constexpr std::uint32_t kStaticRight = 0x02;         // SS_RIGHT
inline constexpr std::uint32_t kEditNumber = 0x2000;        // ES_NUMBER
inline constexpr std::uint32_t kEditMultiLine = 0x0004;     // ES_MULTILINE
inline constexpr std::uint32_t kEditAutoHScroll = 0x0080;   // ES_AUTOHSCROLL
inline constexpr std::uint32_t kEditReadOnly = 0x0800;      // ES_READONLY
inline constexpr std::uint32_t kComboTypeMask = 0x03;       // CBS_SIMPLE | CBS_DROPDOWN | CBS_DROPDOWNLIST
inline constexpr std::uint32_t kComboDropDownList = 0x03;   // CBS_DROPDOWNLIST
inline constexpr std::uint32_t kComboSort = 0x0100;         // CBS_SORT

inline constexpr std::string_view kProgressClass = "msctls_progress32";

enum class ControlKind {
    Text,          // a static with SS_LEFT, SS_CENTER or SS_RIGHT (see TextAlign)
    Edit,
    DropDownList,  // a combo box with CBS_DROPDOWNLIST
    PushButton,
    DefPushButton, // BS_DEFPUSHBUTTON
    CheckBox,      // BS_AUTOCHECKBOX
    ProgressBar,
    Other,
};

enum class TextAlign { Left, Center, Right };

struct ControlTraits {
    ControlKind kind = ControlKind::Other;
    TextAlign align = TextAlign::Left;
    bool tabStop = false;    // WS_TABSTOP
    bool visible = false;    // WS_VISIBLE
    bool digitsOnly = false; // ES_NUMBER on an edit
    bool sorted = false;     // CBS_SORT on a combo box
    bool multiLine = false;  // ES_MULTILINE on an edit
    bool readOnly = false;   // ES_READONLY on an edit: selectable, not editable
    bool vScroll = false;    // WS_VSCROLL: a vertical scroll bar, always shown
    // A multi-line edit wraps its lines at its width unless it scrolls sideways
    // (ES_AUTOHSCROLL or WS_HSCROLL).
    bool wraps = false;
};

namespace detail {

// Window class names compare without regard to case.
constexpr bool SameClassName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

constexpr ControlKind KindOf(const res::DialogItem& item)
{
    switch (item.classAtom) {
    case res::kAtomStatic:
        return (item.style & kStaticTypeMask) <= kStaticRight ? ControlKind::Text : ControlKind::Other;
    case res::kAtomEdit:
        return ControlKind::Edit;
    case res::kAtomComboBox:
        return (item.style & kComboTypeMask) == kComboDropDownList ? ControlKind::DropDownList : ControlKind::Other;
    case res::kAtomButton:
        switch (item.style & kButtonTypeMask) {
        case kButtonPush:
            return ControlKind::PushButton;
        case kButtonDefPush:
            return ControlKind::DefPushButton;
        case kButtonAutoCheckBox:
            return ControlKind::CheckBox;
        default:
            return ControlKind::Other;
        }
    case 0:
        return SameClassName(item.className, kProgressClass) ? ControlKind::ProgressBar : ControlKind::Other;
    default:
        return ControlKind::Other;
    }
}

} // namespace detail

constexpr ControlTraits TraitsOf(const res::DialogItem& item)
{
    ControlTraits traits;
    traits.kind = detail::KindOf(item);
    if (traits.kind == ControlKind::Text) {
        const std::uint32_t type = item.style & kStaticTypeMask;
        traits.align = type == kStaticCenter ? TextAlign::Center
                       : type == kStaticRight ? TextAlign::Right
                                              : TextAlign::Left;
    }
    traits.tabStop = (item.style & kStyleTabStop) != 0;
    traits.visible = (item.style & kStyleVisible) != 0;
    traits.digitsOnly = traits.kind == ControlKind::Edit && (item.style & kEditNumber) != 0;
    traits.sorted = item.classAtom == res::kAtomComboBox && (item.style & kComboSort) != 0;
    if (traits.kind == ControlKind::Edit) {
        traits.multiLine = (item.style & kEditMultiLine) != 0;
        traits.readOnly = (item.style & kEditReadOnly) != 0;
        traits.vScroll = traits.multiLine && (item.style & kStyleVScroll) != 0;
        traits.wraps = traits.multiLine && (item.style & (kEditAutoHScroll | kStyleHScroll)) == 0;
    }
    return traits;
}

struct ControlName {
    int id;
    std::string_view name;
};

// resource.h's identifiers of the controls in our dialogs.
inline constexpr ControlName kControlNames[] = {
    {IDOK, "IDOK"},
    {IDCANCEL, "IDCANCEL"},
    {IDC_PAUSE, "IDC_PAUSE"},
    {IDC_LAT_DEG, "IDC_LAT_DEG"},
    {IDC_LON_DEG, "IDC_LON_DEG"},
    {IDC_MILES_EAST, "IDC_MILES_EAST"},
    {IDC_MILES_SOUTH, "IDC_MILES_SOUTH"},
    {IDC_SPEED, "IDC_SPEED"},
    {IDC_LAT_MIN, "IDC_LAT_MIN"},
    {IDC_LAT_SEC, "IDC_LAT_SEC"},
    {IDC_LON_MIN, "IDC_LON_MIN"},
    {IDC_LON_SEC, "IDC_LON_SEC"},
    {IDC_LAT_DIR, "IDC_LAT_DIR"},
    {IDC_LON_DIR, "IDC_LON_DIR"},
    {IDC_RANGE, "IDC_RANGE"},
    {IDC_PROGRESS, "IDC_PROGRESS"},
    {IDC_RESOLUTION, "IDC_RESOLUTION"},
    {IDC_PLAN_TEXT, "IDC_PLAN_TEXT"},
    {IDC_PLAN_PROGRESS, "IDC_PLAN_PROGRESS"},
    {IDC_PLAN_SAVE, "IDC_PLAN_SAVE"},
    {IDC_PLAN_OPEN, "IDC_PLAN_OPEN"},
    {IDC_RESUME_TEXT, "IDC_RESUME_TEXT"},
    {IDC_RESUME, "IDC_RESUME"},
    {IDC_FOLLOW, "IDC_FOLLOW"},
    {IDC_AREA_OPEN, "IDC_AREA_OPEN"},
    {IDC_CORRIDOR, "IDC_CORRIDOR"},
};

// The identifier of a control ID, "" for IDC_STATIC and for IDs resource.h does not name.
constexpr std::string_view ControlIdName(int id)
{
    for (const ControlName& entry : kControlNames) {
        if (entry.id == id)
            return entry.name;
    }
    return {};
}

} // namespace vantrell
