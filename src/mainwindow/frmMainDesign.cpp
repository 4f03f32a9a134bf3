// The main window: the word box, the result list, the meaning box, four buttons, three
// captions, the clipboard timer and the tray menu.
#include "frmMain.h"

#include "forms/Design.h"
#include "shared/Constants.h"

namespace kelvara::forms {

namespace {
constexpr toolkit::FontDesc kWordFont{L"Tahoma", 8.25f, FW_NORMAL, ANSI_CHARSET};
constexpr toolkit::FontDesc kListFont{L"Verdana", 8.25f, FW_NORMAL, ANSI_CHARSET};

constexpr ControlDesign kControls[] = {
    {.kind = ControlKind::TextBox, .name = "txtWord", .twips = {180, 345, 3600, 285},
     .tabIndex = 0, .font = kWordFont},
    {.kind = ControlKind::TextBox, .name = "txtExp", .twips = {180, 2175, 3600, 1020},
     .tabIndex = 1, .multiLine = true, .verticalScrollBar = true, .readOnly = true,
     .rightAligned = true, .rightToLeft = true},
    {.kind = ControlKind::ListBox, .name = "lstWords", .twips = {120, 1080, 3600, 645},
     .tabIndex = 2, .font = kListFont, .foreColor = RGB(0, 0, 0)},
    {.kind = ControlKind::Button, .name = "Command1", .caption = L"بستن",
     .twips = {2880, 3480, 1215, 405}, .tabIndex = 3},
    {.kind = ControlKind::Button, .name = "Command2", .caption = L"...درباره",
     .twips = {1560, 3480, 1215, 405}, .tabIndex = 4},
    {.kind = ControlKind::Button, .name = "Command3", .caption = L"تلفظ",
     .twips = {240, 3480, 1215, 405}, .tabIndex = 5, .enabled = false},
    {.kind = ControlKind::Label, .name = "lblWord", .caption = L": واژه",
     .twips = {3405, 105, 360, 195}, .tabIndex = 6, .autoSize = true},
    {.kind = ControlKind::Label, .name = "lblWords", .caption = L": (يافته (ها",
     .twips = {3000, 840, 750, 195}, .tabIndex = 7, .autoSize = true},
    {.kind = ControlKind::Label, .name = "lblExp", .caption = L": ترجمه",
     .twips = {3225, 1920, 525, 195}, .tabIndex = 8, .autoSize = true},
    {.kind = ControlKind::Button, .name = "Command4", .caption = L"اختيارات",
     .twips = {4200, 3480, 1215, 405}, .tabIndex = 9},
};

constexpr TimerDesign kTimers[] = {
    {.name = "tmrClipboard", .enabled = false, .interval = 2},
};

constexpr MenuDesign kMenu[] = {
    {.level = 0, .name = "mnuPopup", .caption = L"pop", .visible = false},
    {.level = 1, .name = "Show_menu", .caption = L"نمايش", .visible = false},
    {.level = 1, .name = "M_menu", .caption = L"شکارچي لغت"},
    {.level = 2, .name = "Word_menu", .caption = L"فعال", .checked = true},
    {.level = 2, .name = "blank3", .caption = L"-"},
    {.level = 2, .name = "Ballon_menu", .caption = L"نمايش ترجمه در بالون", .checked = true},
    {.level = 1, .name = "About_menu", .caption = L"درباره واژه نامه کلوارا"},
    {.level = 1, .name = "blank1", .caption = L"-"},
    {.level = 1, .name = "Close_menu", .caption = L"بستن"},
};

constexpr FormDesign kDesign{
    .name = "frmMain",
    .caption = kProductName,
    .border = Border::Sizable,
    .clientWidthTwips = 5655,
    .clientHeightTwips = 3990,
    .outerWidth = 385,
    .outerHeight = 300,
    .scale = toolkit::ScaleUnit::Pixels,
    .start = toolkit::StartPosition::CenterScreen,
    .keyPreview = true,
    .font = kWindowFont,
    .controls = kControls,
    .timers = kTimers,
    .menu = kMenu,
};
}  // namespace

const FormDesign& frmMainDesign() { return kDesign; }

}  // namespace kelvara::forms
