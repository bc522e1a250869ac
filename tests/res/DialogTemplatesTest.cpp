// Vantrell.rc as windres compiled it and the Linux program embeds it, checked against the
// form, About box and plan the program must show: the templates, the lists' words and the
// string table.

#include "CompiledResources.h"
#include "DialogTemplate.h"
#include "ResourceReader.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace vantrell {
namespace {

// Window and dialog styles the templates must carry (the platform's values).
constexpr std::uint32_t WS_POPUP = 0x80000000;
constexpr std::uint32_t WS_CHILD = 0x40000000;
constexpr std::uint32_t WS_CAPTION = 0x00C00000;
constexpr std::uint32_t WS_BORDER = 0x00800000;
constexpr std::uint32_t WS_VSCROLL = 0x00200000;
constexpr std::uint32_t WS_SYSMENU = 0x00080000;
constexpr std::uint32_t WS_MINIMIZEBOX = 0x00020000;
constexpr std::uint32_t WS_MAXIMIZEBOX = 0x00010000;
constexpr std::uint32_t WS_DISABLED = 0x08000000;
constexpr std::uint32_t WS_EX_APPWINDOW = 0x00040000;
constexpr std::uint32_t DS_MODALFRAME = 0x80;
constexpr std::uint32_t DS_SETFONT = 0x40;
constexpr std::uint32_t DS_FIXEDSYS = 0x08;
constexpr std::uint32_t ES_AUTOHSCROLL = 0x0080;
constexpr std::uint32_t CBS_DISABLENOSCROLL = 0x0800;

const res::CResFile& Script()
{
    static const res::CResFile file = *res::CResFile::Parse(CompiledResources());
    return file;
}

res::Bytes Resource(std::uint16_t type, int name)
{
    const std::optional<res::Bytes> data = Script().Find(type, static_cast<std::uint16_t>(name));
    EXPECT_TRUE(data) << "no resource of type " << type << " named " << name;
    return data.value_or(res::Bytes{});
}

res::Dialog Template(int id)
{
    std::optional<res::Dialog> dialog = res::ParseDialogTemplateEx(Resource(res::kTypeDialog, id));
    EXPECT_TRUE(dialog) << "dialog " << id;
    return dialog.value_or(res::Dialog{});
}

const res::DialogItem* FindById(const res::Dialog& dialog, int id)
{
    for (const res::DialogItem& item : dialog.items)
        if (item.id == id)
            return &item;
    return nullptr;
}

std::vector<const res::DialogItem*> StaticTexts(const res::Dialog& dialog)
{
    std::vector<const res::DialogItem*> texts;
    for (const res::DialogItem& item : dialog.items)
        if (TraitsOf(item).kind == ControlKind::Text)
            texts.push_back(&item);
    return texts;
}

struct Rect {
    int x, y, width, height;
};

void ExpectRect(const res::DialogItem& item, Rect r)
{
    EXPECT_EQ(item.x, r.x) << item.id << " " << item.text;
    EXPECT_EQ(item.y, r.y) << item.id << " " << item.text;
    EXPECT_EQ(item.cx, r.width) << item.id << " " << item.text;
    EXPECT_EQ(item.cy, r.height) << item.id << " " << item.text;
}

bool Has(std::uint32_t style, std::uint32_t bits) { return (style & bits) == bits; }

struct InputRow {
    int id;
    const char* name;
    ControlKind kind;
    std::uint16_t atom;
    std::uint32_t style; // bits it must have besides WS_CHILD, WS_VISIBLE and WS_TABSTOP
    const char* text;
    Rect rect;
};

constexpr std::uint32_t kEditStyle = WS_BORDER | ES_AUTOHSCROLL | kEditNumber;
constexpr std::uint32_t kListStyle = kComboDropDownList | kComboSort | WS_VSCROLL | CBS_DISABLENOSCROLL;

// Input controls and buttons, in tab order.
const InputRow kScanInputs[] = {
    {1000, "IDC_LAT_DEG", ControlKind::Edit, res::kAtomEdit, kEditStyle, "", {77, 4, 27, 15}},
    {1005, "IDC_LAT_MIN", ControlKind::Edit, res::kAtomEdit, kEditStyle, "", {126, 4, 27, 15}},
    {1006, "IDC_LAT_SEC", ControlKind::Edit, res::kAtomEdit, kEditStyle, "", {174, 4, 27, 15}},
    {1009, "IDC_LAT_DIR", ControlKind::DropDownList, res::kAtomComboBox, kListStyle, "", {212, 5, 48, 30}},
    {1001, "IDC_LON_DEG", ControlKind::Edit, res::kAtomEdit, kEditStyle, "", {77, 31, 28, 15}},
    {1007, "IDC_LON_MIN", ControlKind::Edit, res::kAtomEdit, kEditStyle, "", {126, 31, 28, 15}},
    {1008, "IDC_LON_SEC", ControlKind::Edit, res::kAtomEdit, kEditStyle, "", {174, 31, 28, 15}},
    {1010, "IDC_LON_DIR", ControlKind::DropDownList, res::kAtomComboBox, kListStyle, "", {212, 32, 48, 30}},
    {1002, "IDC_MILES_EAST", ControlKind::Edit, res::kAtomEdit, kEditStyle, "", {182, 59, 78, 15}},
    {1003, "IDC_MILES_SOUTH", ControlKind::Edit, res::kAtomEdit, kEditStyle, "", {182, 87, 78, 15}},
    {1011, "IDC_RANGE", ControlKind::Edit, res::kAtomEdit, kEditStyle, "", {182, 114, 78, 15}},
    {1004, "IDC_SPEED", ControlKind::Edit, res::kAtomEdit, kEditStyle, "", {182, 141, 78, 15}},
    {1013, "IDC_RESOLUTION", ControlKind::Edit, res::kAtomEdit, kEditStyle, "", {182, 168, 78, 15}},
    {1, "IDOK", ControlKind::DefPushButton, res::kAtomButton, kButtonDefPush, "Start", {210, 197, 50, 16}},
    {2, "IDCANCEL", ControlKind::PushButton, res::kAtomButton, 0, "Quit", {7, 197, 50, 16}},
    {3, "IDC_PAUSE", ControlKind::PushButton, res::kAtomButton, 0, "Pause", {65, 197, 50, 16}},
};

struct LabelRow {
    const char* text;
    Rect rect;
};

const LabelRow kScanLabels[] = {
    {"NW Latitude Deg:", {7, 7, 60, 8}},
    {"Min:", {109, 7, 14, 8}},
    {"Sec:", {157, 7, 14, 8}},
    {"NW Longitude Deg:", {7, 35, 65, 8}},
    {"Min:", {109, 35, 14, 8}},
    {"Sec:", {157, 35, 14, 8}},
    {"Miles East", {7, 63, 73, 8}},
    {"Miles South:", {7, 91, 73, 8}},
    {"Range (meters):", {7, 117, 96, 8}},
    {"Speed Factor (1/4 seconds):", {7, 145, 104, 8}},
    {"Resolution (1/10 miles):", {7, 171, 104, 8}},
};

TEST(ScanDialogTemplate, FrameAndFont)
{
    const res::Dialog d = Template(IDD_SCAN_DIALOG);
    EXPECT_EQ(IDD_SCAN_DIALOG, 102);
    EXPECT_TRUE(Has(d.style, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | DS_MODALFRAME |
                                 DS_SETFONT | DS_FIXEDSYS))
        << std::hex << d.style;
    EXPECT_EQ(d.exStyle, WS_EX_APPWINDOW);
    EXPECT_EQ(d.caption, "");
    EXPECT_EQ(d.menuOrdinal, 0);
    EXPECT_EQ(d.menuName, "");
    EXPECT_EQ(d.className, "");
    EXPECT_EQ(d.x, 0);
    EXPECT_EQ(d.y, 0);
    EXPECT_EQ(d.cx, 267);
    EXPECT_EQ(d.cy, 220);
    EXPECT_EQ(d.typeface, "MS Shell Dlg");
    EXPECT_EQ(d.pointSize, 8);
}

TEST(ScanDialogTemplate, InputsAndButtonsByIdClassStyleAndRectangle)
{
    const res::Dialog d = Template(IDD_SCAN_DIALOG);
    for (const InputRow& row : kScanInputs) {
        SCOPED_TRACE(row.name);
        const res::DialogItem* c = FindById(d, row.id);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(ControlIdName(c->id), row.name);
        EXPECT_EQ(c->classAtom, row.atom);
        EXPECT_TRUE(Has(c->style, WS_CHILD | kStyleVisible | kStyleTabStop | row.style)) << std::hex << c->style;
        EXPECT_FALSE(c->style & WS_DISABLED);
        const ControlTraits traits = TraitsOf(*c);
        EXPECT_EQ(traits.kind, row.kind);
        EXPECT_EQ(c->text, row.text);
        ExpectRect(*c, row.rect);
        EXPECT_EQ(traits.digitsOnly, row.kind == ControlKind::Edit);
        EXPECT_EQ(traits.sorted, row.kind == ControlKind::DropDownList);
        EXPECT_TRUE(c->creationData.empty());
    }
}

TEST(ScanDialogTemplate, TabOrderIsTheInputsThenStartQuitPause)
{
    std::vector<int> tabOrder;
    for (const res::DialogItem& c : Template(IDD_SCAN_DIALOG).items)
        if (TraitsOf(c).tabStop)
            tabOrder.push_back(c.id);
    std::vector<int> wanted;
    for (const InputRow& row : kScanInputs)
        wanted.push_back(row.id);
    EXPECT_EQ(tabOrder, wanted);
}

TEST(ScanDialogTemplate, EachLabelComesRightBeforeItsControl)
{
    const res::Dialog d = Template(IDD_SCAN_DIALOG);
    const std::vector<const res::DialogItem*> labels = StaticTexts(d);
    ASSERT_EQ(labels.size(), std::size(kScanLabels));
    for (std::size_t i = 0; i < labels.size(); ++i) {
        const res::DialogItem& c = *labels[i];
        EXPECT_EQ(c.text, kScanLabels[i].text);
        ExpectRect(c, kScanLabels[i].rect);
        EXPECT_EQ(c.id, -1);
        EXPECT_EQ(c.classAtom, res::kAtomStatic);
        EXPECT_EQ(TraitsOf(c).align, TextAlign::Left);
        EXPECT_FALSE(TraitsOf(c).tabStop);
        EXPECT_TRUE(TraitsOf(c).visible);
    }
    // Labels pair with the next control for accessibility tools; the lists have none.
    const int labelled[] = {IDC_LAT_DEG, IDC_LAT_MIN, IDC_LAT_SEC, IDC_LON_DEG, IDC_LON_MIN, IDC_LON_SEC,
                            IDC_MILES_EAST, IDC_MILES_SOUTH, IDC_RANGE, IDC_SPEED, IDC_RESOLUTION};
    for (std::size_t i = 0; i < labels.size(); ++i)
        EXPECT_EQ((labels[i] + 1)->id, labelled[i]) << labels[i]->text;
}

TEST(ScanDialogTemplate, ProgressBarIsHiddenAndSkippedByTab)
{
    const res::Dialog d = Template(IDD_SCAN_DIALOG);
    const res::DialogItem* bar = FindById(d, IDC_PROGRESS);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->id, 1012);
    EXPECT_EQ(bar->classAtom, 0);
    EXPECT_EQ(TraitsOf(*bar).kind, ControlKind::ProgressBar) << bar->className; // windres writes it in capitals
    EXPECT_EQ(bar->style, WS_CHILD | WS_BORDER);
    ExpectRect(*bar, {123, 199, 80, 14});
    // Everything else in the form is there to be seen.
    std::size_t visible = 0;
    for (const res::DialogItem& c : d.items)
        visible += TraitsOf(c).visible ? 1 : 0;
    EXPECT_EQ(visible, d.items.size() - 1);
    EXPECT_EQ(d.items.size(), std::size(kScanInputs) + std::size(kScanLabels) + 1);
}

TEST(ScanDialogInit, ListsGetTheirWordsInOrder)
{
    const res::Bytes data = Resource(res::kTypeDialogInit, IDD_SCAN_DIALOG);
    // Four packed records of id, message, length and text, and the closing zero WORD.
    EXPECT_EQ(data.size(), 2 * (8 + 6) + 2 * (8 + 5) + 2u);
    const std::vector<std::uint8_t> north = {0xF1, 0x03, 0x03, 0x04, 6, 0, 0, 0, 'N', 'o', 'r', 't', 'h', 0};
    EXPECT_TRUE(std::equal(north.begin(), north.end(), data.begin()));

    const std::optional<std::vector<res::DialogInitEntry>> entries = res::ParseDialogInit(data);
    ASSERT_TRUE(entries);
    struct Row {
        int id;
        const char* text;
    };
    const Row wanted[] = {{IDC_LAT_DIR, "North"}, {IDC_LAT_DIR, "South"}, {IDC_LON_DIR, "East"}, {IDC_LON_DIR, "West"}};
    ASSERT_EQ(entries->size(), std::size(wanted));
    for (std::size_t i = 0; i < entries->size(); ++i) {
        EXPECT_EQ((*entries)[i].controlId, wanted[i].id);
        EXPECT_EQ((*entries)[i].message, res::kInitAddString16);
        EXPECT_EQ((*entries)[i].text, wanted[i].text);
    }
    // Each record fills one of the sorted lists, which sort what they are given.
    const res::Dialog d = Template(IDD_SCAN_DIALOG);
    for (const res::DialogInitEntry& entry : *entries) {
        const res::DialogItem* list = FindById(d, entry.controlId);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(TraitsOf(*list).kind, ControlKind::DropDownList);
        EXPECT_TRUE(TraitsOf(*list).sorted);
    }
}

TEST(AboutDialogTemplate, FrameAndOkButton)
{
    const res::Dialog d = Template(IDD_ABOUTBOX);
    EXPECT_EQ(IDD_ABOUTBOX, 100);
    EXPECT_TRUE(Has(d.style, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT)) << std::hex << d.style;
    EXPECT_FALSE(d.style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    EXPECT_EQ(d.caption, "About Vantrell");
    EXPECT_EQ(d.cx, 196);
    EXPECT_EQ(d.cy, 295);
    EXPECT_EQ(d.typeface, "MS Shell Dlg");
    EXPECT_EQ(d.pointSize, 8);

    const res::DialogItem* ok = FindById(d, IDOK);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(TraitsOf(*ok).kind, ControlKind::DefPushButton);
    EXPECT_EQ(ok->text, "OK");
    ExpectRect(*ok, {139, 7, 50, 16});
    for (const res::DialogItem& c : d.items)
        EXPECT_EQ(TraitsOf(c).tabStop, &c == ok) << c.text;
    EXPECT_FALSE(Script().Find(res::kTypeDialogInit, IDD_ABOUTBOX));
}

TEST(AboutDialogTemplate, TextsTopToBottom)
{
    struct Row {
        const char* text; // nullptr: our own wording, checked elsewhere
        TextAlign align;
        Rect rect;
    };
    const Row rows[] = {
        {"Vantrell Version 1.1", TextAlign::Left, {11, 10, 119, 8}},
        {"To use, enter data into the appropriate fields and click OK.  A file called Vantrell.kml will be "
         "output into the directory where this application was run from. ",
         TextAlign::Center, {7, 27, 182, 27}},
        {"In GE select Add -> Network Link.  Locate the Vantrell.kml file and supply a name.  On the Refresh "
         "tab, check the \"Fly to View on Refresh\" Box.",
         TextAlign::Center, {7, 58, 182, 26}},
        {"Choose \"Periodically\" under \"Time-Based Refresh\" and select a time to refresh on (4 secs is "
         "fine).",
         TextAlign::Center, {7, 88, 182, 18}},
        {"Please note: you may need to edit your fly-to speeds under options of Google Earth to ensure the "
         "best possible cache building dependent on your network's speed and congestion.",
         TextAlign::Center, {7, 110, 182, 34}},
        {"-------------------------------------", TextAlign::Center, {7, 148, 182, 10}},
        {nullptr, TextAlign::Center, {7, 162, 182, 34}},
        {nullptr, TextAlign::Center, {7, 201, 182, 34}},
        {nullptr, TextAlign::Center, {7, 239, 182, 34}},
        {nullptr, TextAlign::Center, {7, 280, 182, 8}},
    };
    const res::Dialog d = Template(IDD_ABOUTBOX);
    const std::vector<const res::DialogItem*> texts = StaticTexts(d);
    ASSERT_EQ(texts.size(), std::size(rows));
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const res::DialogItem& c = *texts[i];
        SCOPED_TRACE(i);
        if (rows[i].text != nullptr)
            EXPECT_EQ(c.text, rows[i].text);
        else
            EXPECT_GT(c.text.size(), 20u);
        EXPECT_EQ(TraitsOf(c).align, rows[i].align);
        ExpectRect(c, rows[i].rect);
        EXPECT_EQ(c.id, -1);
    }
    EXPECT_EQ(texts[5]->text, std::string(37, '-'));
    // The paragraphs follow each other down the box without an empty band.
    for (std::size_t i = 2; i < texts.size(); ++i)
        EXPECT_LE(texts[i]->y - (texts[i - 1]->y + texts[i - 1]->cy), 8) << "gap above paragraph " << i + 1;
}

TEST(AboutDialogTemplate, TextsKeepTheHouseStyle)
{
    const res::Dialog about = Template(IDD_ABOUTBOX);
    for (const res::DialogItem* c : StaticTexts(about)) {
        const std::string_view text = c->text;
        // A lone '&' would turn the next letter into an underlined mnemonic.
        EXPECT_EQ(text.find('&'), std::string_view::npos) << text;
        // Sentences are parted by two spaces, as in the quoted paragraphs.
        for (std::size_t at = text.find(". "); at != std::string_view::npos; at = text.find(". ", at + 1)) {
            if (at + 2 < text.size()) {
                EXPECT_EQ(text[at + 2], ' ') << text;
            }
        }
        EXPECT_EQ(text.find("   "), std::string_view::npos) << text;
    }
}

// The plan: its text selectable but not editable, wrapped and scrolled down, every control
// named by the label before it, and Close where the focus starts.
TEST(PlanDialogTemplate, ReadOnlyTextsLabelledAndTwoButtons)
{
    const res::Dialog d = Template(IDD_PLANBOX);
    EXPECT_TRUE(Has(d.style, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT)) << std::hex << d.style;
    EXPECT_FALSE(d.style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    EXPECT_EQ(d.caption, "Vantrell Plan");
    EXPECT_EQ(d.cx, 320);
    EXPECT_EQ(d.cy, 296);
    EXPECT_EQ(d.typeface, "MS Shell Dlg");
    EXPECT_EQ(d.pointSize, 8);

    struct Row {
        int id;
        const char* text;
        ControlKind kind;
        bool multiLine, readOnly, vScroll, wraps;
        Rect rect;
    };
    const Row rows[] = {
        {-1, "Plan:", ControlKind::Text, false, false, false, false, {7, 7, 306, 8}},
        {IDC_PLAN_TEXT, "", ControlKind::Edit, true, true, true, true, {7, 18, 306, 144}},
        {IDC_RESUME_TEXT, "", ControlKind::Text, false, false, false, false, {7, 168, 196, 8}},
        {IDC_RESUME, "&Begin at that point", ControlKind::CheckBox, false, false, false, false, {206, 167, 107, 10}},
        {-1, "Progress:", ControlKind::Text, false, false, false, false, {7, 182, 306, 8}},
        // The pass and point, "Paused" while the scan is, and what the viewer does (two lines).
        {IDC_PLAN_PROGRESS, "", ControlKind::Edit, true, true, false, true, {7, 193, 306, 44}},
        {IDC_FOLLOW, "&Wait for the viewer to read each point", ControlKind::CheckBox, false, false, false, false,
         {7, 241, 306, 10}},
        {IDC_AREA_OPEN, "Open &area...", ControlKind::PushButton, false, false, false, false, {7, 254, 64, 16}},
        {-1, "Either side of a path (1/10 miles):", ControlKind::Text, false, false, false, false, {77, 258, 124, 8}},
        {IDC_CORRIDOR, "", ControlKind::Edit, false, false, false, false, {203, 255, 30, 14}},
        {IDC_PLAN_OPEN, "&Open plan...", ControlKind::PushButton, false, false, false, false, {7, 274, 64, 16}},
        {IDC_PLAN_SAVE, "Save preview...", ControlKind::PushButton, false, false, false, false, {75, 274, 64, 16}},
        {IDOK, "Close", ControlKind::DefPushButton, false, false, false, false, {263, 274, 50, 16}},
    };
    ASSERT_EQ(d.items.size(), std::size(rows));
    for (std::size_t i = 0; i < d.items.size(); ++i) {
        const res::DialogItem& c = d.items[i];
        const ControlTraits traits = TraitsOf(c);
        SCOPED_TRACE(rows[i].text);
        EXPECT_EQ(c.id, rows[i].id);
        EXPECT_EQ(c.text, rows[i].text);
        EXPECT_EQ(traits.kind, rows[i].kind);
        EXPECT_EQ(traits.multiLine, rows[i].multiLine);
        EXPECT_EQ(traits.readOnly, rows[i].readOnly);
        EXPECT_EQ(traits.vScroll, rows[i].vScroll);
        EXPECT_EQ(traits.wraps, rows[i].wraps);
        EXPECT_EQ(traits.tabStop, rows[i].kind != ControlKind::Text);
        EXPECT_EQ(traits.digitsOnly, c.id == IDC_CORRIDOR);
        EXPECT_TRUE(traits.visible);
        ExpectRect(c, rows[i].rect);
    }
    EXPECT_FALSE(Script().Find(res::kTypeDialogInit, IDD_PLANBOX));
}

TEST(StringTable, AboutMenuEntryComesFromTheScript)
{
    const res::Bytes block = Resource(res::kTypeString, res::StringBlockName(IDS_ABOUTBOX));
    EXPECT_EQ(res::StringFromBlock(block, IDS_ABOUTBOX), "&About Vantrell...");
    // The same block's other slots are empty.
    EXPECT_EQ(res::StringBlockName(IDD_SCAN_DIALOG), res::StringBlockName(IDS_ABOUTBOX));
    EXPECT_EQ(res::StringFromBlock(block, IDD_SCAN_DIALOG), "");
    const res::Bytes plan = Resource(res::kTypeString, res::StringBlockName(IDS_PLANBOX));
    EXPECT_EQ(res::StringFromBlock(plan, IDS_PLANBOX), "&Plan this scan...");
}

TEST(Manifest, AsksForCommonControls6AndPerMonitorDpi)
{
    const res::Bytes data = Resource(24, 1);
    const std::string text(data.begin(), data.end());
    for (const char* wanted : {"name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
                               "processorArchitecture=\"amd64\"", ">true/pm</dpiAware>",
                               ">PerMonitorV2,PerMonitor</dpiAwareness>",
                               "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})
        EXPECT_NE(text.find(wanted), std::string::npos) << wanted;
}

// The reader refuses every cut of the real templates and data: the last byte of each is
// needed.
TEST(CompiledScript, EveryPrefixIsRefused)
{
    for (const int id : {IDD_ABOUTBOX, IDD_SCAN_DIALOG, IDD_PLANBOX}) {
        const res::Bytes data = Resource(res::kTypeDialog, id);
        for (std::size_t length = 0; length < data.size(); ++length) {
            const std::vector<std::uint8_t> copy(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(length));
            ASSERT_FALSE(res::ParseDialogTemplateEx(copy)) << "dialog " << id << " cut to " << length;
        }
    }
    const res::Bytes init = Resource(res::kTypeDialogInit, IDD_SCAN_DIALOG);
    for (std::size_t length = 0; length < init.size(); ++length) {
        const std::vector<std::uint8_t> copy(init.begin(), init.begin() + static_cast<std::ptrdiff_t>(length));
        ASSERT_FALSE(res::ParseDialogInit(copy)) << "cut to " << length;
    }
}

} // namespace
} // namespace vantrell
