// The Options dialog: one check box and two buttons. Its code measures in twips.
#include "frmSettings.h"

#include "forms/Design.h"

namespace kelvara::forms {

namespace {
constexpr ControlDesign kControls[] = {
    {.kind = ControlKind::CheckBox, .name = "chkStartUp",
     .caption = L"با شروع ويندوز برنامه اجرا شود", .twips = {240, 240, 4095, 195}, .tabIndex = 0,
     .rightAligned = true, .rightToLeft = true, .boxAtRight = true},
    {.kind = ControlKind::Button, .name = "cmdOK", .caption = L"ذخيره",
     .twips = {240, 1320, 1215, 375}, .tabIndex = 1, .isDefault = true},
    {.kind = ControlKind::Button, .name = "cmdCancel", .caption = L"انصراف",
     .twips = {1560, 1320, 1215, 375}, .tabIndex = 2, .isCancel = true},
};

constexpr FormDesign kDesign{
    .name = "frmSettings",
    .caption = L"Options",
    .border = Border::FixedSingle,
    .clientWidthTwips = 4575,
    .clientHeightTwips = 1935,
    .scale = toolkit::ScaleUnit::Twips,
    .start = toolkit::StartPosition::CenterOwner,
    .font = kWindowFont,
    .controls = kControls,
};
}  // namespace

const FormDesign& frmSettingsDesign() { return kDesign; }

}  // namespace kelvara::forms
