#pragma once
// Reads compiled Win32 resources: the dialog templates (DLGTEMPLATEEX), a dialog's
// initialisation data (resource type 240), string-table blocks and the .res file that
// windres writes. Portable: both programs lay their dialogs out from these bytes, the
// Windows one as LoadResource hands them over, the Linux one from the compiled script
// embedded in the program. Parsing never trusts the data: malformed input gives nullopt,
// and nothing is read outside the span given. The data need not be aligned in memory.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vantrell::res {

using Bytes = std::span<const std::uint8_t>;

// Resource types as numbers (the platform's RT_* values).
inline constexpr std::uint16_t kTypeString = 6;
inline constexpr std::uint16_t kTypeDialog = 5;
inline constexpr std::uint16_t kTypeDialogInit = 240;

// Class atoms of the predefined control classes in a dialog item.
inline constexpr std::uint16_t kAtomButton = 0x0080;
inline constexpr std::uint16_t kAtomEdit = 0x0081;
inline constexpr std::uint16_t kAtomStatic = 0x0082;
inline constexpr std::uint16_t kAtomListBox = 0x0083;
inline constexpr std::uint16_t kAtomScrollBar = 0x0084;
inline constexpr std::uint16_t kAtomComboBox = 0x0085;

// One control of a DLGTEMPLATEEX. Texts are UTF-8; a UTF-16 unit that pairs with nothing
// reads as U+FFFD.
struct DialogItem {
    std::uint32_t helpId = 0;
    std::uint32_t exStyle = 0;
    std::uint32_t style = 0;
    std::int16_t x = 0, y = 0, cx = 0, cy = 0; // dialog units
    std::int32_t id = 0;                       // IDC_STATIC reads as -1
    std::uint16_t classAtom = 0;               // 0 when className names the class
    std::string className;                     // "" when classAtom is set
    std::string text;                          // "" for none, and when textOrdinal is set
    std::uint16_t textOrdinal = 0;             // a resource number as the text (an icon's, say)
    std::vector<std::uint8_t> creationData;
};

struct Dialog {
    std::uint32_t helpId = 0;
    std::uint32_t exStyle = 0;
    std::uint32_t style = 0;
    std::int16_t x = 0, y = 0, cx = 0, cy = 0;
    std::uint16_t menuOrdinal = 0; // the menu resource's number, or
    std::string menuName;          // its name; both empty when the dialog has no menu
    std::uint16_t classOrdinal = 0; // a window class of its own, by atom or
    std::string className;          // by name; both empty for the default dialog class
    std::string caption;
    std::uint16_t pointSize = 0; // present when style has DS_SETFONT / DS_SHELLFONT
    std::uint16_t weight = 0;
    bool italic = false;
    std::uint8_t charset = 0;
    std::string typeface;
    std::vector<DialogItem> items; // in template order, which is tab order
};

// The data must start with a DLGTEMPLATEEX header (version 1, signature 0xFFFF); the
// older DLGTEMPLATE gives nullopt. Bytes after the last item are ignored.
std::optional<Dialog> ParseDialogTemplateEx(Bytes data);

// One record of a dialog's initialisation data: the message is sent to the control with
// the text as its argument. 0x0403 is the 16-bit CB_ADDSTRING and means CB_ADDSTRING.
struct DialogInitEntry {
    std::int32_t controlId = 0; // stored as a WORD: IDs above 0x7FFF read as themselves
    std::uint16_t message = 0;
    std::string text; // as stored (the program's ANSI code page), up to its terminating zero
};
inline constexpr std::uint16_t kInitAddString16 = 0x0403;

// Records of (WORD id, WORD message, DWORD length, length bytes), packed with no padding,
// ended by a zero WORD. A record whose bytes hold no terminating zero, one that runs past
// the end, or data with no zero WORD at the end give nullopt.
std::optional<std::vector<DialogInitEntry>> ParseDialogInit(Bytes data);

// String-table block number id / 16 + 1 holds strings id & ~15 .. id | 15. Returns the
// string (UTF-8) for id, "" when the slot is empty, nullopt when the block is malformed
// (fewer than sixteen whole slots).
std::optional<std::string> StringFromBlock(Bytes block, int id);
inline constexpr std::uint16_t StringBlockName(int id) { return static_cast<std::uint16_t>(id / 16 + 1); }

// A .res file as windres writes it: a run of resource headers, each followed by its data.
// Only numeric types and names are looked up; named ones are skipped. Holds views into
// the file's bytes, which must outlive it.
class CResFile {
public:
    static std::optional<CResFile> Parse(Bytes file);
    // The data of the resource of that type and name, of any language; nullopt if absent.
    std::optional<Bytes> Find(std::uint16_t type, std::uint16_t name) const;

private:
    struct Entry {
        std::uint16_t type;
        std::uint16_t name;
        Bytes data;
    };
    std::vector<Entry> m_entries;
};

} // namespace vantrell::res
