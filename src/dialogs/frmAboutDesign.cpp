// The About dialog: picture, title, credit, rights notice, an etched separator, two buttons.
#include "frmAbout.h"

#include "forms/Design.h"
#include "shared/Constants.h"
#include "kelvara/Version.h"

namespace kelvara::forms {

namespace {
constexpr toolkit::FontDesc kTitleFont{L"Tahoma", 8.25f, FW_BOLD, ARABIC_CHARSET};

constexpr ControlDesign kControls[] = {
    {.kind = ControlKind::Picture, .name = "Image1", .twips = {240, 90, 825, 825},
     .resourceName = kAboutPictureResource},
    {.kind = ControlKind::Label, .name = "Label4", .caption = KELVARA_TITLE_WITH_VERSION_W,
     .twips = {2075, 240, 2025, 195}, .tabIndex = 4, .font = kTitleFont, .rightAligned = true,
     .rightToLeft = true, .autoSize = true},
    {.kind = ControlKind::Label, .name = "Label2",
     .caption = L"برنامه\u200Cنویس: گروه کلوارا", .twips = {2525, 600, 1575, 195},
     .tabIndex = 2, .rightAligned = true, .rightToLeft = true, .autoSize = true},
    {.kind = ControlKind::Label, .name = "Label1",
     .caption = L"همه حقوق این برنامه محفوظ است.\r\n\r\n"
                L"استفاده از آن برای همگان رایگان است.",
     .twips = {200, 1080, 3900, 585}, .tabIndex = 3, .rightAligned = true, .rightToLeft = true,
     .autoSize = true, .wordWrap = true},
    {.kind = ControlKind::Button, .name = "Command1", .caption = L"تاييد",
     .twips = {240, 2400, 1100, 400}, .tabIndex = 0},
    {.kind = ControlKind::Button, .name = "Command2", .caption = L"تماس با ما",
     .twips = {1440, 2400, 1100, 400}, .tabIndex = 1},
};

constexpr LineDesign kLines[] = {
    {.name = "Line2", .x1 = 245, .y1 = 945, .x2 = 4085, .y2 = 945, .color = RGB(172, 168, 153),
     .width = 1},
    {.name = "Line1", .x1 = 245, .y1 = 960, .x2 = 4085, .y2 = 960, .color = RGB(255, 255, 255),
     .width = 2},
};

constexpr FormDesign kDesign{
    .name = "frmAbout",
    .caption = L"About Dictionary",
    .border = Border::FixedSingle,
    .clientWidthTwips = 4335,
    .clientHeightTwips = 3015,
    .scale = toolkit::ScaleUnit::Pixels,
    .start = toolkit::StartPosition::CenterScreen,
    .font = kWindowFont,
    .controls = kControls,
    .lines = kLines,
};
}  // namespace

const FormDesign& frmAboutDesign() { return kDesign; }

}  // namespace kelvara::forms
