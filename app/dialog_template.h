// Dialog 102, the setup wizard's one window, as a host-neutral table: every
// control with its id, kind, starting text, position and size in dialog units
// and starting state. A host (Win32, terminal, scripted) builds its window from
// this table; the wizard then changes the controls only by id.
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "platform/win_types.h"

namespace swk::app {

// ---- Control ids --------------------------------------------------------------
inline constexpr int kOkButton = 1;         // IDOK: also Enter
inline constexpr int kCancelButton = 2;     // IDCANCEL: also Escape and the close box
inline constexpr int kBrowseButton = 1000;  // made at run time over the placeholder
inline constexpr int kPathField = 1001;
inline constexpr int kInfoText = 1002;
inline constexpr int kPathLabel = 1003;
inline constexpr int kLatestVersionNote = 1009;
inline constexpr int kBrowsePlaceholder = 1010;
inline constexpr int kRestartButton = 1011;

// ---- Resources ----------------------------------------------------------------
inline constexpr int kDialogResourceId = 102;
inline constexpr int kApplicationIconId = 128;
inline constexpr int kBrowseIconId = 180;

// ---- Window styles the template and the run-time button use ------------------------
inline constexpr DWORD WS_CHILD = 0x40000000u;
inline constexpr DWORD WS_VISIBLE = 0x10000000u;
inline constexpr DWORD WS_DISABLED = 0x08000000u;
inline constexpr DWORD WS_TABSTOP = 0x00010000u;
inline constexpr DWORD WS_POPUP = 0x80000000u;
inline constexpr DWORD WS_CAPTION = 0x00C00000u;
inline constexpr DWORD WS_SYSMENU = 0x00080000u;
inline constexpr DWORD DS_MODALFRAME = 0x80u;
inline constexpr DWORD DS_SETFONT = 0x40u;
inline constexpr DWORD BS_PUSHBUTTON = 0x0u;
inline constexpr DWORD BS_DEFPUSHBUTTON = 0x1u;
inline constexpr DWORD BS_ICON = 0x40u;
inline constexpr DWORD ES_AUTOHSCROLL = 0x80u;
inline constexpr DWORD SS_LEFT = 0x0u;
inline constexpr DWORD kBrowseButtonStyle = WS_CHILD | WS_VISIBLE | BS_ICON;  // 0x50000040

// ---- Types ----------------------------------------------------------------------
enum class ControlKind { DefaultPushButton, PushButton, Edit, StaticText, IconButton };

// A rectangle: left, top, right, bottom (right and bottom exclusive), in
// dialog units or pixels depending on where it is used.
struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct ControlTemplate {
    int id = 0;
    ControlKind kind = ControlKind::StaticText;
    std::string_view name;  // the wizard's name for the control
    std::string_view text;  // text at start
    Rect units;             // position and size in dialog units
    bool visible = true;
    bool enabled = true;
    DWORD style = 0;  // window style bits, as a resource compiler would write them
};

struct DialogTemplate {
    int resourceId = kDialogResourceId;
    std::string_view caption;
    std::string_view fontName;
    int fontPoints = 0;
    int widthUnits = 0, heightUnits = 0;
    DWORD style = 0;
    std::array<ControlTemplate, 8> controls;
};

// Dialog base units: the average character width and the character height of
// the dialog's font, in pixels. One horizontal dialog unit is baseX/4 pixels,
// one vertical unit baseY/8 pixels.
struct DialogBaseUnits {
    int baseX = 0;
    int baseY = 0;
};

// "MS Sans Serif" 8 points at 96 dots per inch: average character width 6 and
// character height 13 pixels (the published base units of that font, as the
// dialog manager computes them from the average width of "A".."Z" "a".."z" and
// the text metric height).
inline constexpr DialogBaseUnits kSetupFontBaseUnits{6, 13};

// ---- Operations -------------------------------------------------------------------
const DialogTemplate& SetupDialogTemplate();

// The template row of a control, or nothing for an id the template lacks
// (the browse button is made at run time).
std::optional<ControlTemplate> FindControl(int id);

// Dialog units to pixels as the dialog manager maps them: each coordinate times
// the base unit, divided by 4 (x) or 8 (y), rounded to the nearest pixel.
Rect DialogUnitsToPixels(Rect units, DialogBaseUnits base = kSetupFontBaseUnits);

}  // namespace swk::app
