#include "app/dialog_template.h"

namespace swk::app {
namespace {

inline constexpr DWORD WS_BORDER = 0x00800000u;
inline constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

// Position x, y and size cx × cy in dialog units as a rectangle.
constexpr Rect Units(int x, int y, int cx, int cy) {
    return Rect{x, y, x + cx, y + cy};
}

constexpr DialogTemplate kSetupDialog{
    kDialogResourceId,
    "SWK Program (and SWK Internet Explorer addon) Setup",
    "MS Sans Serif",
    8,
    262,
    147,
    WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
    {{
        // OK starts enabled; the wizard disables it when no disk space is free.
        {kOkButton, ControlKind::DefaultPushButton, "OK button", "OK", Units(203, 133, 58, 14),
         true, true, kChild | WS_TABSTOP | BS_DEFPUSHBUTTON},
        {kCancelButton, ControlKind::PushButton, "Cancel button", "Cancel", Units(142, 133, 58, 14),
         true, true, kChild | WS_TABSTOP | BS_PUSHBUTTON},
        {kPathField, ControlKind::Edit, "PathField", "", Units(7, 23, 224, 14), true, false,
         kChild | WS_DISABLED | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL},
        {kInfoText, ControlKind::StaticText, "InfoText", "", Units(7, 39, 248, 92), true, true,
         kChild | SS_LEFT},
        {kPathLabel, ControlKind::StaticText, "label", "Setup path:", Units(6, 11, 51, 8), true,
         true, kChild | SS_LEFT},
        {kBrowsePlaceholder, ControlKind::StaticText, "placeholder", "", Units(233, 23, 20, 14),
         true, true, kChild | SS_LEFT},
        {kLatestVersionNote, ControlKind::StaticText, "LatestVersionNote",
         "Microsoft IE addon and latest version info (from Internet)", Units(7, 137, 195, 10),
         false, true, WS_CHILD | SS_LEFT},
        {kRestartButton, ControlKind::PushButton, "RestartButton", "Restart Windows",
         Units(68, 133, 71, 14), false, true, WS_CHILD | WS_TABSTOP | BS_PUSHBUTTON},
    }},
};

// a × b / c rounded to the nearest integer, halves away from zero.
constexpr int MulDiv(int a, int b, int c) {
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

}  // namespace

const DialogTemplate& SetupDialogTemplate() {
    return kSetupDialog;
}

std::optional<ControlTemplate> FindControl(int id) {
    for (const ControlTemplate& control : kSetupDialog.controls)
        if (control.id == id) return control;
    return std::nullopt;
}

Rect DialogUnitsToPixels(Rect units, DialogBaseUnits base) {
    return Rect{MulDiv(units.left, base.baseX, 4), MulDiv(units.top, base.baseY, 8),
                MulDiv(units.right, base.baseX, 4), MulDiv(units.bottom, base.baseY, 8)};
}

}  // namespace swk::app
