// The templates generated from Vantrell.rc, checked against the form and About box
// the program must show.

#include "DialogTemplate.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace vantrell {
namespace {

const DialogControl* findById(const DialogTemplate& dialog, int id)
{
    for (const DialogControl& c : dialog.controls)
        if (c.id == id)
            return &c;
    return nullptr;
}

std::vector<const DialogControl*> staticTexts(const DialogTemplate& dialog)
{
    std::vector<const DialogControl*> texts;
    for (const DialogControl& c : dialog.controls)
        if (c.kind == ControlKind::Text)
            texts.push_back(&c);
    return texts;
}

struct Rect {
    int x, y, width, height;
};

void expectRect(const DialogControl& c, Rect r)
{
    EXPECT_EQ(c.x, r.x) << c.name << " " << c.text;
    EXPECT_EQ(c.y, r.y) << c.name << " " << c.text;
    EXPECT_EQ(c.width, r.width) << c.name << " " << c.text;
    EXPECT_EQ(c.height, r.height) << c.name << " " << c.text;
}

struct InputRow {
    int id;
    const char* name;
    ControlKind kind;
    const char* text;
    Rect rect;
};

// Input controls and buttons, in tab order.
const InputRow kScanInputs[] = {
    {1000, "IDC_LAT_DEG", ControlKind::Edit, "", {77, 4, 27, 15}},
    {1005, "IDC_LAT_MIN", ControlKind::Edit, "", {126, 4, 27, 15}},
    {1006, "IDC_LAT_SEC", ControlKind::Edit, "", {174, 4, 27, 15}},
    {1009, "IDC_LAT_DIR", ControlKind::DropDownList, "", {212, 5, 48, 30}},
    {1001, "IDC_LON_DEG", ControlKind::Edit, "", {77, 31, 28, 15}},
    {1007, "IDC_LON_MIN", ControlKind::Edit, "", {126, 31, 28, 15}},
    {1008, "IDC_LON_SEC", ControlKind::Edit, "", {174, 31, 28, 15}},
    {1010, "IDC_LON_DIR", ControlKind::DropDownList, "", {212, 32, 48, 30}},
    {1002, "IDC_MILES_EAST", ControlKind::Edit, "", {182, 59, 78, 15}},
    {1003, "IDC_MILES_SOUTH", ControlKind::Edit, "", {182, 87, 78, 15}},
    {1011, "IDC_RANGE", ControlKind::Edit, "", {182, 114, 78, 15}},
    {1004, "IDC_SPEED", ControlKind::Edit, "", {182, 141, 78, 15}},
    {1013, "IDC_RESOLUTION", ControlKind::Edit, "", {182, 168, 78, 15}},
    {1, "IDOK", ControlKind::DefPushButton, "Start", {210, 197, 50, 16}},
    {2, "IDCANCEL", ControlKind::PushButton, "Quit", {7, 197, 50, 16}},
    {3, "IDC_PAUSE", ControlKind::PushButton, "Pause", {65, 197, 50, 16}},
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
    const DialogTemplate& d = kScanDialogTemplate;
    EXPECT_EQ(d.id, IDD_SCAN_DIALOG);
    EXPECT_EQ(d.id, 102);
    EXPECT_STREQ(d.name, "IDD_SCAN_DIALOG");
    EXPECT_STREQ(d.caption, "");
    EXPECT_EQ(d.width, 267);
    EXPECT_EQ(d.height, 220);
    EXPECT_STREQ(d.fontFace, "MS Shell Dlg");
    EXPECT_EQ(d.fontPointSize, 8);
}

TEST(ScanDialogTemplate, InputsAndButtonsByIdKindAndRectangle)
{
    for (const InputRow& row : kScanInputs) {
        SCOPED_TRACE(row.name);
        const DialogControl* c = findById(kScanDialogTemplate, row.id);
        ASSERT_NE(c, nullptr);
        EXPECT_STREQ(c->name, row.name);
        EXPECT_EQ(c->kind, row.kind);
        EXPECT_STREQ(c->text, row.text);
        expectRect(*c, row.rect);
        EXPECT_TRUE(c->visible);
        EXPECT_TRUE(c->tabStop);
        EXPECT_EQ(c->digitsOnly, row.kind == ControlKind::Edit);
        EXPECT_EQ(c->sorted, row.kind == ControlKind::DropDownList);
    }
}

TEST(ScanDialogTemplate, TabOrderIsTheInputsThenStartQuitPause)
{
    std::vector<int> tabOrder;
    for (const DialogControl& c : kScanDialogTemplate.controls)
        if (c.tabStop)
            tabOrder.push_back(c.id);
    std::vector<int> wanted;
    for (const InputRow& row : kScanInputs)
        wanted.push_back(row.id);
    EXPECT_EQ(tabOrder, wanted);
}

TEST(ScanDialogTemplate, LabelsAreStaticLeftAlignedTexts)
{
    const std::vector<const DialogControl*> labels = staticTexts(kScanDialogTemplate);
    ASSERT_EQ(labels.size(), std::size(kScanLabels));
    for (std::size_t i = 0; i < labels.size(); ++i) {
        const DialogControl& c = *labels[i];
        EXPECT_STREQ(c.text, kScanLabels[i].text);
        expectRect(c, kScanLabels[i].rect);
        EXPECT_EQ(c.id, -1);
        EXPECT_EQ(c.align, TextAlign::Left);
        EXPECT_FALSE(c.tabStop);
        EXPECT_TRUE(c.visible);
    }
}

TEST(ScanDialogTemplate, ProgressBarIsHiddenAndSkippedByTab)
{
    const DialogControl* bar = findById(kScanDialogTemplate, IDC_PROGRESS);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->id, 1012);
    EXPECT_EQ(bar->kind, ControlKind::ProgressBar);
    expectRect(*bar, {123, 199, 80, 14});
    EXPECT_FALSE(bar->visible);
    EXPECT_FALSE(bar->tabStop);
    // Everything else in the form is there to be seen.
    std::size_t count = 0;
    for (const DialogControl& c : kScanDialogTemplate.controls)
        count += c.visible ? 1 : 0;
    EXPECT_EQ(count, kScanDialogTemplate.controls.size() - 1);
    EXPECT_EQ(kScanDialogTemplate.controls.size(), std::size(kScanInputs) + std::size(kScanLabels) + 1);
}

TEST(AboutDialogTemplate, FrameAndOkButton)
{
    const DialogTemplate& d = kAboutDialogTemplate;
    EXPECT_EQ(d.id, IDD_ABOUTBOX);
    EXPECT_EQ(d.id, 100);
    EXPECT_STREQ(d.name, "IDD_ABOUTBOX");
    EXPECT_STREQ(d.caption, "About Vantrell");
    EXPECT_EQ(d.width, 196);
    EXPECT_EQ(d.height, 295);
    EXPECT_STREQ(d.fontFace, "MS Shell Dlg");
    EXPECT_EQ(d.fontPointSize, 8);

    const DialogControl* ok = findById(d, IDOK);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->kind, ControlKind::DefPushButton);
    EXPECT_STREQ(ok->text, "OK");
    expectRect(*ok, {139, 7, 50, 16});
    for (const DialogControl& c : d.controls)
        EXPECT_EQ(c.tabStop, &c == ok) << c.text;
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
        {nullptr, TextAlign::Center, {7, 201, 182, 34}},
        {nullptr, TextAlign::Center, {7, 239, 182, 34}},
        {nullptr, TextAlign::Center, {7, 280, 182, 8}},
    };
    const std::vector<const DialogControl*> texts = staticTexts(kAboutDialogTemplate);
    ASSERT_EQ(texts.size(), std::size(rows));
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const DialogControl& c = *texts[i];
        SCOPED_TRACE(i);
        if (rows[i].text != nullptr)
            EXPECT_EQ(std::string_view(c.text), rows[i].text);
        else
            EXPECT_GT(std::string_view(c.text).size(), 20u);
        EXPECT_EQ(c.align, rows[i].align);
        expectRect(c, rows[i].rect);
        EXPECT_EQ(c.id, -1);
    }
    EXPECT_EQ(std::string_view(texts[5]->text), std::string(37, '-'));
}

TEST(AboutDialogTemplate, TextsKeepTheHouseStyle)
{
    for (const DialogControl* c : staticTexts(kAboutDialogTemplate)) {
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

} // namespace

TEST(StringTable, AboutMenuEntryComesFromTheScript)
{
    ASSERT_NE(ResourceString(IDS_ABOUTBOX), nullptr);
    EXPECT_STREQ(ResourceString(IDS_ABOUTBOX), "&About Vantrell...");
    EXPECT_EQ(ResourceString(IDD_SCAN_DIALOG), nullptr);
}

} // namespace vantrell
