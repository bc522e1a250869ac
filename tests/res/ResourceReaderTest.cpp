// The compiled-resource reader on hand-made bytes: the layouts' corners the script does
// not use, and malformed data, which must be refused without reading past the end. Every
// input is copied into a buffer of exactly its size, one byte off a DWORD boundary, so a
// read past the end or an aligned-only load shows up under AddressSanitizer.

#include "ResourceReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vantrell::res {
namespace {

// Little-endian bytes, built the way the resource compiler lays them out.
class CBytes {
public:
    CBytes& Byte(std::uint8_t value)
    {
        m_bytes.push_back(value);
        return *this;
    }
    CBytes& Word(std::uint16_t value) { return Byte(value & 0xFF).Byte(value >> 8); }
    CBytes& Dword(std::uint32_t value) { return Word(value & 0xFFFF).Word(value >> 16); }
    CBytes& Short(std::int16_t value) { return Word(static_cast<std::uint16_t>(value)); }
    CBytes& Wide(std::u16string_view text) // with its terminating zero
    {
        for (const char16_t unit : text)
            Word(unit);
        return Word(0);
    }
    CBytes& Narrow(std::string_view text)
    {
        for (const char c : text)
            Byte(static_cast<std::uint8_t>(c));
        return *this;
    }
    CBytes& Align()
    {
        while (m_bytes.size() % 4 != 0)
            m_bytes.push_back(0);
        return *this;
    }
    std::size_t Size() const { return m_bytes.size(); }
    const std::vector<std::uint8_t>& Get() const { return m_bytes; }

private:
    std::vector<std::uint8_t> m_bytes;
};

// A copy of the first length bytes that ends exactly where the heap block ends, starting
// at an odd address.
class CExact {
public:
    CExact(const std::vector<std::uint8_t>& bytes, std::size_t length)
        : m_block(new std::uint8_t[length + 1]), m_length(length)
    {
        std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length), m_block.get() + 1);
    }
    Bytes View() const { return {m_block.get() + 1, m_length}; }

private:
    std::unique_ptr<std::uint8_t[]> m_block;
    std::size_t m_length;
};

constexpr std::uint32_t kSetFont = 0x40;
constexpr std::uint32_t kPopup = 0x80000000;
constexpr std::uint32_t kChildVisible = 0x50000000;

// A DLGTEMPLATEEX header up to the caption, then the font if style asks for one.
CBytes TemplateHeader(std::uint32_t style, std::uint16_t count, std::u16string_view caption)
{
    CBytes b;
    b.Word(1).Word(0xFFFF).Dword(0).Dword(0).Dword(style).Word(count);
    b.Short(0).Short(0).Short(100).Short(50);
    b.Word(0).Word(0).Wide(caption);
    if (style & kSetFont)
        b.Word(9).Word(700).Byte(1).Byte(1).Wide(u"Tahoma");
    return b;
}

// An item with a class atom and a text, no creation data.
void Item(CBytes& b, std::int32_t id, std::uint16_t atom, std::u16string_view text)
{
    b.Align().Dword(0).Dword(0).Dword(kChildVisible).Short(1).Short(2).Short(30).Short(12);
    b.Dword(static_cast<std::uint32_t>(id)).Word(0xFFFF).Word(atom).Wide(text).Word(0);
}

// Two items, the first with an odd-length text and creation data, so the second needs
// padding; and a font.
CBytes SampleTemplate()
{
    CBytes b = TemplateHeader(kPopup | kSetFont, 2, u"Title");
    b.Align().Dword(7).Dword(0x200).Dword(kChildVisible | 0x1).Short(-3).Short(4).Short(50).Short(14);
    b.Dword(1).Word(0xFFFF).Word(kAtomButton).Wide(u"OK!").Word(3).Byte(0xA).Byte(0xB).Byte(0xC);
    Item(b, -1, kAtomStatic, u"Label");
    return b;
}

std::optional<Dialog> ParseExact(const CBytes& b, std::size_t length)
{
    const CExact copy(b.Get(), length);
    return ParseDialogTemplateEx(copy.View());
}

std::optional<Dialog> ParseExact(const CBytes& b) { return ParseExact(b, b.Size()); }

TEST(DialogTemplateEx, ReadsEveryField)
{
    const std::optional<Dialog> d = ParseExact(SampleTemplate());
    ASSERT_TRUE(d);
    EXPECT_EQ(d->style, kPopup | kSetFont);
    EXPECT_EQ(d->cx, 100);
    EXPECT_EQ(d->cy, 50);
    EXPECT_EQ(d->caption, "Title");
    EXPECT_EQ(d->pointSize, 9);
    EXPECT_EQ(d->weight, 700);
    EXPECT_TRUE(d->italic);
    EXPECT_EQ(d->charset, 1);
    EXPECT_EQ(d->typeface, "Tahoma");
    ASSERT_EQ(d->items.size(), 2u);
    const DialogItem& ok = d->items[0];
    EXPECT_EQ(ok.helpId, 7u);
    EXPECT_EQ(ok.exStyle, 0x200u);
    EXPECT_EQ(ok.style, kChildVisible | 0x1);
    EXPECT_EQ(ok.x, -3);
    EXPECT_EQ(ok.y, 4);
    EXPECT_EQ(ok.id, 1);
    EXPECT_EQ(ok.classAtom, kAtomButton);
    EXPECT_EQ(ok.className, "");
    EXPECT_EQ(ok.text, "OK!");
    EXPECT_EQ(ok.creationData, (std::vector<std::uint8_t>{0xA, 0xB, 0xC}));
    EXPECT_EQ(d->items[1].id, -1);
    EXPECT_EQ(d->items[1].classAtom, kAtomStatic);
    EXPECT_EQ(d->items[1].text, "Label");
}

TEST(DialogTemplateEx, NamesAsNumbersOrStrings)
{
    CBytes b;
    b.Word(1).Word(0xFFFF).Dword(0).Dword(0).Dword(kPopup).Word(2).Short(0).Short(0).Short(10).Short(10);
    b.Word(0xFFFF).Word(42);      // menu by number
    b.Wide(u"OurDialogClass");    // class by name
    b.Wide(u"");                  // no caption, and no font without DS_SETFONT
    b.Align().Dword(0).Dword(0).Dword(kChildVisible | 0x3).Short(0).Short(0).Short(20).Short(20);
    b.Dword(5).Word(0xFFFF).Word(kAtomStatic).Word(0xFFFF).Word(128).Word(0); // an icon's number as text
    b.Align().Dword(0).Dword(0).Dword(kChildVisible).Short(0).Short(0).Short(20).Short(20);
    b.Dword(6).Wide(u"msctls_progress32").Wide(u"").Word(0);
    const std::optional<Dialog> d = ParseExact(b);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->menuOrdinal, 42);
    EXPECT_EQ(d->menuName, "");
    EXPECT_EQ(d->classOrdinal, 0);
    EXPECT_EQ(d->className, "OurDialogClass");
    EXPECT_EQ(d->caption, "");
    EXPECT_EQ(d->pointSize, 0);
    EXPECT_EQ(d->typeface, "");
    ASSERT_EQ(d->items.size(), 2u);
    EXPECT_EQ(d->items[0].textOrdinal, 128);
    EXPECT_EQ(d->items[0].text, "");
    EXPECT_EQ(d->items[1].classAtom, 0);
    EXPECT_EQ(d->items[1].className, "msctls_progress32");
}

TEST(DialogTemplateEx, TextsBecomeUtf8)
{
    const struct {
        std::u16string text;
        std::string utf8;
    } cases[] = {
        {u"Gr\u00FC\u00DFe \u20AC", "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC"},
        {u"\U0001F30D", "\xF0\x9F\x8C\x8D"},   // a pair of surrogates
        {u"a\xD800" u"b", "a\xEF\xBF\xBD" "b"}, // a high surrogate alone
        {u"\xDC00", "\xEF\xBF\xBD"},            // a low one alone
        {u"\xD800", "\xEF\xBF\xBD"},            // a high one just before the terminator
    };
    for (const auto& c : cases) {
        const std::optional<Dialog> d = ParseExact(TemplateHeader(kPopup, 0, c.text));
        ASSERT_TRUE(d);
        EXPECT_EQ(d->caption, c.utf8);
    }
}

// Each case breaks one rule of the layout; none may be read.
TEST(DialogTemplateEx, RefusesWhatBreaksTheLayout)
{
    const CBytes sample = SampleTemplate();
    for (std::size_t length = 0; length < sample.Size(); ++length)
        EXPECT_FALSE(ParseExact(sample, length)) << "truncated to " << length << " bytes";

    struct Case {
        const char* rule;
        CBytes bytes;
    };
    std::vector<Case> cases;
    {
        CBytes b;
        b.Word(0).Word(0).Dword(0).Dword(0).Dword(kPopup).Word(0).Short(0).Short(0).Short(10).Short(10);
        b.Word(0).Word(0).Wide(u"");
        cases.push_back({"an old DLGTEMPLATE has no version and signature", b});
    }
    {
        CBytes b = TemplateHeader(kPopup, 0, u"");
        std::vector<std::uint8_t> raw = b.Get();
        raw[2] = 0xFE; // signature 0xFFFE
        CBytes c;
        for (const std::uint8_t byte : raw)
            c.Byte(byte);
        cases.push_back({"wrong signature", c});
    }
    {
        CBytes b = TemplateHeader(kPopup, 3, u"");
        Item(b, 1, kAtomButton, u"A");
        Item(b, 2, kAtomButton, u"B");
        cases.push_back({"more items counted than present", b});
    }
    {
        CBytes b = TemplateHeader(kPopup, 1, u"");
        b.Align().Dword(0).Dword(0).Dword(kChildVisible).Short(0).Short(0).Short(1).Short(1);
        b.Dword(1).Word(0xFFFF).Word(kAtomButton).Wide(u"").Word(4).Byte(1).Byte(2).Byte(3);
        cases.push_back({"creation data shorter than its count", b});
    }
    {
        CBytes b;
        b.Word(1).Word(0xFFFF).Dword(0).Dword(0).Dword(kPopup).Word(0).Short(0).Short(0).Short(10).Short(10);
        b.Word(0).Word(0).Word(u'T').Word(u'i');
        cases.push_back({"caption without its terminator", b});
    }
    {
        CBytes b;
        b.Word(1).Word(0xFFFF).Dword(0).Dword(0).Dword(kPopup | kSetFont).Word(0);
        b.Short(0).Short(0).Short(10).Short(10).Word(0).Word(0).Wide(u"").Word(8).Word(0).Byte(0).Byte(0);
        b.Word(u'M').Word(u'S');
        cases.push_back({"typeface without its terminator", b});
    }
    {
        CBytes b;
        b.Word(1).Word(0xFFFF).Dword(0).Dword(0).Dword(kPopup).Word(0).Short(0).Short(0).Short(10).Short(10);
        b.Word(0xFFFF);
        cases.push_back({"menu number cut off", b});
    }
    {
        CBytes b = TemplateHeader(kPopup, 1, u"");
        b.Align().Dword(0).Dword(0).Dword(kChildVisible).Short(0).Short(0).Short(1).Short(1);
        b.Dword(1).Word(u'B').Word(u'u').Word(u't');
        cases.push_back({"class name without its terminator", b});
    }
    {
        CBytes b = TemplateHeader(kPopup, 1, u"");
        b.Align().Dword(0).Dword(0).Dword(kChildVisible).Short(0).Short(0).Short(1).Short(1);
        b.Dword(1).Word(0xFFFF).Word(kAtomButton).Word(u'O').Word(u'K');
        cases.push_back({"item text without its terminator", b});
    }
    {
        // The second item written straight after the first, without the padding that
        // puts it on a DWORD: read from the boundary, it runs past the end.
        CBytes b = TemplateHeader(kPopup, 2, u"");
        Item(b, 1, kAtomButton, u"A");
        ASSERT_NE(b.Size() % 4, 0u);
        b.Dword(0).Dword(0).Dword(kChildVisible).Short(0).Short(0).Short(1).Short(1);
        b.Dword(2).Word(0xFFFF).Word(kAtomButton).Word(0).Word(0);
        cases.push_back({"an item off its DWORD boundary", b});
    }
    {
        // The padding before an item must itself lie within the data.
        CBytes b = TemplateHeader(kPopup, 1, u"X");
        ASSERT_NE(b.Size() % 4, 0u);
        cases.push_back({"count says an item follows, only padding space is left", b});
    }
    for (const Case& c : cases)
        EXPECT_FALSE(ParseExact(c.bytes)) << c.rule;
}

CBytes InitRecord(CBytes b, std::uint16_t id, std::uint16_t message, std::string_view text)
{
    b.Word(id).Word(message).Dword(static_cast<std::uint32_t>(text.size() + 1)).Narrow(text).Byte(0);
    return b;
}

std::optional<std::vector<DialogInitEntry>> ParseInitExact(const CBytes& b, std::size_t length)
{
    const CExact copy(b.Get(), length);
    return ParseDialogInit(copy.View());
}

TEST(DialogInit, RecordsArePackedAndEndWithZero)
{
    // Odd lengths leave the next record off any boundary, as the resource compiler packs them.
    CBytes b = InitRecord(InitRecord(InitRecord({}, 1009, 0x0403, "North"), 1010, 0x0403, "East"), 1010, 0x0403, "West");
    b.Word(0x9999).Word(0x1234).Dword(4).Narrow("ab").Byte(0).Byte('z'); // bytes after the zero
    b.Word(0);
    const auto entries = ParseInitExact(b, b.Size());
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 4u);
    EXPECT_EQ((*entries)[0].controlId, 1009);
    EXPECT_EQ((*entries)[0].message, kInitAddString16);
    EXPECT_EQ((*entries)[0].text, "North");
    EXPECT_EQ((*entries)[1].text, "East");
    EXPECT_EQ((*entries)[2].controlId, 1010);
    EXPECT_EQ((*entries)[2].text, "West");
    EXPECT_EQ((*entries)[3].controlId, 0x9999);
    EXPECT_EQ((*entries)[3].message, 0x1234);
    EXPECT_EQ((*entries)[3].text, "ab");

    const auto none = ParseInitExact(CBytes().Word(0), 2);
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->empty());
}

TEST(DialogInit, RefusesWhatBreaksTheLayout)
{
    CBytes sample = InitRecord(InitRecord({}, 1009, 0x0403, "South"), 1010, 0x0403, "East");
    sample.Word(0);
    for (std::size_t length = 0; length < sample.Size(); ++length)
        EXPECT_FALSE(ParseInitExact(sample, length)) << "truncated to " << length << " bytes";

    const struct {
        const char* rule;
        CBytes bytes;
    } cases[] = {
        {"length past the end", CBytes().Word(1009).Word(0x0403).Dword(7).Narrow("North").Byte(0).Word(0)},
        {"length near 2^32", CBytes().Word(1009).Word(0x0403).Dword(0xFFFFFFFF).Narrow("North").Byte(0).Word(0)},
        {"text without its zero", CBytes().Word(1009).Word(0x0403).Dword(5).Narrow("North").Word(0)},
        {"empty record", CBytes().Word(1009).Word(0x0403).Dword(0).Word(0)},
        {"no zero WORD at the end", InitRecord({}, 1009, 0x0403, "North")},
        {"half a zero WORD at the end", InitRecord({}, 1009, 0x0403, "North").Byte(0)},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(ParseInitExact(c.bytes, c.bytes.Size())) << c.rule;
}

// Block 7 holds strings 96..111; slot n is string 96 + n.
CBytes Block7()
{
    CBytes b;
    for (int slot = 0; slot < 16; ++slot) {
        if (slot == 5) {
            b.Word(18);
            for (const char16_t c : std::u16string_view(u"&About Vantrell..."))
                b.Word(c);
        } else if (slot == 15) {
            b.Word(2).Word(0x00E9).Word(0x20AC); // not zero-terminated in a block
        } else {
            b.Word(0);
        }
    }
    return b;
}

std::optional<std::string> StringExact(const CBytes& b, std::size_t length, int id)
{
    const CExact copy(b.Get(), length);
    return StringFromBlock(copy.View(), id);
}

TEST(StringBlock, SixteenCountedSlots)
{
    const CBytes block = Block7();
    EXPECT_EQ(StringBlockName(101), 7);
    EXPECT_EQ(StringBlockName(96), 7);
    EXPECT_EQ(StringBlockName(95), 6);
    EXPECT_EQ(StringExact(block, block.Size(), 101), "&About Vantrell...");
    EXPECT_EQ(StringExact(block, block.Size(), 100), "");
    EXPECT_EQ(StringExact(block, block.Size(), 96), "");
    EXPECT_EQ(StringExact(block, block.Size(), 111), "\xC3\xA9\xE2\x82\xAC");
}

TEST(StringBlock, RefusesWhatBreaksTheLayout)
{
    const CBytes block = Block7();
    // Every slot must be whole, also those after the one asked for.
    for (std::size_t length = 0; length < block.Size(); ++length)
        EXPECT_FALSE(StringExact(block, length, 101)) << "truncated to " << length << " bytes";
    CBytes tooLong;
    tooLong.Word(0).Word(40).Word(u'x');
    EXPECT_FALSE(StringExact(tooLong, tooLong.Size(), 96)) << "count past the end";
    EXPECT_FALSE(StringExact(block, block.Size(), -1)) << "no string has a negative ID";
    EXPECT_FALSE(StringExact(block, block.Size(), 0x10000)) << "string IDs are WORDs";
}

// A .res entry: sizes, type and name (a number, or a string when the number is 0), the
// fixed fields, the data and its padding.
void ResEntry(CBytes& b, std::uint16_t type, std::u16string_view typeName, std::uint16_t name,
              std::u16string_view nameName, std::uint16_t language, const CBytes& data)
{
    CBytes names;
    if (typeName.empty())
        names.Word(0xFFFF).Word(type);
    else
        names.Wide(typeName);
    if (nameName.empty())
        names.Word(0xFFFF).Word(name);
    else
        names.Wide(nameName);
    names.Align();
    b.Dword(static_cast<std::uint32_t>(data.Size())).Dword(static_cast<std::uint32_t>(8 + names.Size() + 16));
    for (const std::uint8_t byte : names.Get())
        b.Byte(byte);
    b.Dword(0).Word(0x1030).Word(language).Dword(0).Dword(0);
    for (const std::uint8_t byte : data.Get())
        b.Byte(byte);
    b.Align();
}

CBytes SampleRes()
{
    CBytes b;
    ResEntry(b, 0, {}, 0, {}, 0, {}); // the empty entry every 32-bit .res starts with
    ResEntry(b, 0, u"PNG", 5, {}, 0x409, CBytes().Narrow("png"));
    ResEntry(b, kTypeDialog, {}, 0, u"NAMED", 0x409, CBytes().Narrow("named"));
    ResEntry(b, kTypeDialog, {}, 100, {}, 0x409, CBytes().Narrow("about"));
    ResEntry(b, kTypeDialog, {}, 100, {}, 0x407, CBytes().Narrow("ueber"));
    ResEntry(b, kTypeDialogInit, {}, 102, {}, 0x409, CBytes().Narrow("init!"));
    return b;
}

std::string Text(std::optional<Bytes> data)
{
    return data ? std::string(data->begin(), data->end()) : std::string("<none>");
}

TEST(ResFile, FindsNumberedResources)
{
    const CBytes sample = SampleRes();
    const CExact copy(sample.Get(), sample.Size());
    const std::optional<CResFile> file = CResFile::Parse(copy.View());
    ASSERT_TRUE(file);
    EXPECT_EQ(Text(file->Find(kTypeDialog, 100)), "about"); // the first language found
    EXPECT_EQ(Text(file->Find(kTypeDialogInit, 102)), "init!");
    EXPECT_EQ(Text(file->Find(kTypeDialog, 0)), "<none>");  // named ones are not numbered
    EXPECT_EQ(Text(file->Find(0, 5)), "<none>");
    EXPECT_EQ(Text(file->Find(0, 0)), "<none>");            // nor is the empty entry a resource
    EXPECT_EQ(Text(file->Find(kTypeString, 7)), "<none>");
    // The last entry's padding may be left off.
    const CExact unpadded(sample.Get(), sample.Size() - 3);
    const std::optional<CResFile> short_ = CResFile::Parse(unpadded.View());
    ASSERT_TRUE(short_);
    EXPECT_EQ(Text(short_->Find(kTypeDialogInit, 102)), "init!");
}

TEST(ResFile, RefusesWhatBreaksTheLayout)
{
    // A .res cut between entries is a shorter .res; cut anywhere else it is refused. What
    // is found is never part of a resource.
    const CBytes sample = SampleRes();
    for (std::size_t length = 0; length < sample.Size(); ++length) {
        const CExact copy(sample.Get(), length);
        const std::optional<CResFile> file = CResFile::Parse(copy.View());
        if (!file)
            continue;
        const std::string about = Text(file->Find(kTypeDialog, 100));
        const std::string init = Text(file->Find(kTypeDialogInit, 102));
        EXPECT_TRUE(about == "about" || about == "<none>") << length;
        EXPECT_TRUE(init == "init!" || init == "<none>") << length;
    }
    for (const std::size_t cut : {std::size_t{1}, std::size_t{8}, std::size_t{31}, std::size_t{33}, std::size_t{60}})
        EXPECT_FALSE(CResFile::Parse(CExact(sample.Get(), cut).View())) << "cut at " << cut;

    struct Case {
        const char* rule;
        CBytes bytes;
    };
    const CBytes data = CBytes().Narrow("abcd");
    std::vector<Case> cases;
    {
        CBytes b;
        ResEntry(b, kTypeDialog, {}, 1, {}, 0, data);
        std::vector<std::uint8_t> raw = b.Get();
        raw[0] = 0xFF; // data size 255
        CBytes c;
        for (const std::uint8_t byte : raw)
            c.Byte(byte);
        cases.push_back({"data size past the end", c});
        raw[0] = raw[1] = raw[2] = raw[3] = 0xFF;
        CBytes d;
        for (const std::uint8_t byte : raw)
            d.Byte(byte);
        cases.push_back({"data size near 2^32", d});
    }
    cases.push_back({"header size below its own fields",
                     CBytes().Dword(0).Dword(16).Word(0xFFFF).Word(5).Word(0xFFFF).Word(1).Dword(0).Dword(0)});
    cases.push_back({"header size past the end", CBytes().Dword(0).Dword(0x40).Word(0xFFFF).Word(5).Word(0xFFFF).Word(1)});
    cases.push_back({"header size near 2^32", CBytes().Dword(0).Dword(0xFFFFFFF0).Word(0xFFFF).Word(5).Word(0xFFFF).Word(1)});
    {
        CBytes b;
        b.Dword(0).Dword(32).Word(u'T').Word(u'Y').Word(u'P').Word(u'E').Word(u'N').Word(u'A').Word(u'M').Word(u'E');
        b.Word(u'S').Word(u'T').Word(u'O').Word(u'O').Dword(0);
        cases.push_back({"type name without its terminator inside the header", b});
    }
    for (const Case& c : cases)
        EXPECT_FALSE(CResFile::Parse(CExact(c.bytes.Get(), c.bytes.Size()).View())) << c.rule;
}

} // namespace
} // namespace vantrell::res
