#include "ResourceReader.h"

#include "Utf8.h"

#include <algorithm>

namespace vantrell::res {
namespace {

// DS_SETFONT: the template carries a font (DS_SHELLFONT includes it).
constexpr std::uint32_t kDialogHasFont = 0x40;
constexpr std::uint16_t kOrdinalMark = 0xFFFF;

bool IsHighSurrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// UTF-16LE units to UTF-8; a surrogate without its partner becomes U+FFFD.
std::string Utf16ToUtf8(Bytes units)
{
    std::string out;
    out.reserve(units.size() / 2);
    const std::size_t count = units.size() / 2;
    for (std::size_t i = 0; i < count; ++i) {
        const char32_t u = static_cast<char32_t>(units[2 * i] | (units[2 * i + 1] << 8));
        if (IsHighSurrogate(u) && i + 1 < count) {
            const char32_t low = static_cast<char32_t>(units[2 * i + 2] | (units[2 * i + 3] << 8));
            if (IsLowSurrogate(low)) {
                AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        AppendUtf8(out, IsHighSurrogate(u) || IsLowSurrogate(u) ? char32_t(0xFFFD) : u);
    }
    return out;
}

// A cursor over little-endian data. Every read checks the bounds first; after a failed
// read the cursor is unchanged and the caller gives up.
class CReader {
public:
    explicit CReader(Bytes data) : m_data(data) {}

    std::size_t Offset() const { return m_pos; }
    std::size_t Remaining() const { return m_data.size() - m_pos; }

    bool Byte(std::uint8_t& out)
    {
        if (Remaining() < 1)
            return false;
        out = m_data[m_pos++];
        return true;
    }
    bool Word(std::uint16_t& out)
    {
        if (Remaining() < 2)
            return false;
        out = static_cast<std::uint16_t>(m_data[m_pos] | (m_data[m_pos + 1] << 8));
        m_pos += 2;
        return true;
    }
    bool Short(std::int16_t& out)
    {
        std::uint16_t word = 0;
        if (!Word(word))
            return false;
        out = static_cast<std::int16_t>(word);
        return true;
    }
    bool Dword(std::uint32_t& out)
    {
        std::uint16_t low = 0, high = 0;
        const std::size_t start = m_pos;
        if (!Word(low) || !Word(high)) {
            m_pos = start;
            return false;
        }
        out = static_cast<std::uint32_t>(low) | (static_cast<std::uint32_t>(high) << 16);
        return true;
    }
    bool Take(std::size_t count, Bytes& out)
    {
        if (Remaining() < count)
            return false;
        out = m_data.subspan(m_pos, count);
        m_pos += count;
        return true;
    }
    // To the next multiple of four from the start of the data.
    bool AlignToDword()
    {
        const std::size_t aligned = (m_pos + 3) & ~std::size_t{3};
        if (aligned > m_data.size())
            return false;
        m_pos = aligned;
        return true;
    }
    // A zero-terminated UTF-16 string.
    bool String(std::string& out)
    {
        const std::size_t start = m_pos;
        std::uint16_t unit = 0;
        do {
            if (!Word(unit)) {
                m_pos = start;
                return false;
            }
        } while (unit != 0);
        out = Utf16ToUtf8(m_data.subspan(start, m_pos - start - 2));
        return true;
    }
    // A name in a template or resource header: 0 for none, 0xFFFF and a number, or a string.
    bool NameOrOrdinal(std::uint16_t& ordinal, std::string& name)
    {
        const std::size_t start = m_pos;
        std::uint16_t first = 0;
        if (!Word(first))
            return false;
        if (first == 0)
            return true;
        if (first == kOrdinalMark) {
            if (!Word(ordinal)) {
                m_pos = start;
                return false;
            }
            return true;
        }
        m_pos = start;
        return String(name);
    }

private:
    Bytes m_data;
    std::size_t m_pos = 0;
};

bool ReadRect(CReader& in, std::int16_t& x, std::int16_t& y, std::int16_t& cx, std::int16_t& cy)
{
    return in.Short(x) && in.Short(y) && in.Short(cx) && in.Short(cy);
}

bool ReadItem(CReader& in, DialogItem& item)
{
    std::uint32_t id = 0;
    std::uint16_t extraCount = 0;
    Bytes extra;
    if (!in.AlignToDword() || !in.Dword(item.helpId) || !in.Dword(item.exStyle) || !in.Dword(item.style) ||
        !ReadRect(in, item.x, item.y, item.cx, item.cy) || !in.Dword(id) ||
        !in.NameOrOrdinal(item.classAtom, item.className) || !in.NameOrOrdinal(item.textOrdinal, item.text) ||
        !in.Word(extraCount) || !in.Take(extraCount, extra))
        return false;
    item.id = static_cast<std::int32_t>(id);
    item.creationData.assign(extra.begin(), extra.end());
    return true;
}

} // namespace

std::optional<Dialog> ParseDialogTemplateEx(Bytes data)
{
    CReader in(data);
    Dialog dialog;
    std::uint16_t version = 0, signature = 0, count = 0;
    if (!in.Word(version) || !in.Word(signature) || version != 1 || signature != 0xFFFF)
        return std::nullopt;
    if (!in.Dword(dialog.helpId) || !in.Dword(dialog.exStyle) || !in.Dword(dialog.style) || !in.Word(count) ||
        !ReadRect(in, dialog.x, dialog.y, dialog.cx, dialog.cy) ||
        !in.NameOrOrdinal(dialog.menuOrdinal, dialog.menuName) ||
        !in.NameOrOrdinal(dialog.classOrdinal, dialog.className) || !in.String(dialog.caption))
        return std::nullopt;
    if (dialog.style & kDialogHasFont) {
        std::uint8_t italic = 0;
        if (!in.Word(dialog.pointSize) || !in.Word(dialog.weight) || !in.Byte(italic) || !in.Byte(dialog.charset) ||
            !in.String(dialog.typeface))
            return std::nullopt;
        dialog.italic = italic != 0;
    }
    for (std::uint16_t i = 0; i < count; ++i) {
        DialogItem item;
        if (!ReadItem(in, item))
            return std::nullopt;
        dialog.items.push_back(std::move(item));
    }
    return dialog;
}

std::optional<std::vector<DialogInitEntry>> ParseDialogInit(Bytes data)
{
    CReader in(data);
    std::vector<DialogInitEntry> entries;
    for (;;) {
        std::uint16_t id = 0, message = 0;
        std::uint32_t length = 0;
        if (!in.Word(id))
            return std::nullopt;
        if (id == 0)
            return entries;
        Bytes text;
        if (!in.Word(message) || !in.Dword(length) || !in.Take(length, text))
            return std::nullopt;
        const auto end = std::find(text.begin(), text.end(), std::uint8_t{0});
        if (end == text.end())
            return std::nullopt;
        entries.push_back({id, message, std::string(text.begin(), end)});
    }
}

std::optional<std::string> StringFromBlock(Bytes block, int id)
{
    if (id < 0 || id > 0xFFFF)
        return std::nullopt;
    CReader in(block);
    std::string wanted;
    for (int slot = 0; slot < 16; ++slot) {
        std::uint16_t length = 0;
        Bytes units;
        if (!in.Word(length) || !in.Take(std::size_t{length} * 2, units))
            return std::nullopt;
        if (slot == (id & 15))
            wanted = Utf16ToUtf8(units);
    }
    return wanted;
}

std::optional<CResFile> CResFile::Parse(Bytes file)
{
    CResFile result;
    std::size_t pos = 0;
    while (pos < file.size()) {
        CReader sizes(file.subspan(pos));
        std::uint32_t dataSize = 0, headerSize = 0;
        if (!sizes.Dword(dataSize) || !sizes.Dword(headerSize) || headerSize < 8 ||
            headerSize > file.size() - pos)
            return std::nullopt;

        // The header's own bytes bound its fields; the entry starts DWORD-aligned in the file.
        CReader header(file.subspan(pos, headerSize));
        std::uint32_t skipped = 0;
        std::uint16_t type = 0, name = 0, flags = 0, language = 0;
        std::string typeName, nameName;
        if (!header.Dword(skipped) || !header.Dword(skipped) || !header.NameOrOrdinal(type, typeName) ||
            !header.NameOrOrdinal(name, nameName) || !header.AlignToDword() || !header.Dword(skipped) ||
            !header.Word(flags) || !header.Word(language) || !header.Dword(skipped) || !header.Dword(skipped))
            return std::nullopt;

        const std::size_t dataStart = pos + headerSize;
        if (dataSize > file.size() - dataStart)
            return std::nullopt;
        if (typeName.empty() && nameName.empty() && type != 0)
            result.m_entries.push_back({type, name, file.subspan(dataStart, dataSize)});
        // Data is padded to a DWORD; the last entry's padding may be missing.
        pos = std::min(file.size(), (dataStart + dataSize + 3) & ~std::size_t{3});
    }
    return result;
}

std::optional<Bytes> CResFile::Find(std::uint16_t type, std::uint16_t name) const
{
    for (const Entry& entry : m_entries) {
        if (entry.type == type && entry.name == name)
            return entry.data;
    }
    return std::nullopt;
}

} // namespace vantrell::res
