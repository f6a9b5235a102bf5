// Dialog 102 as the hosts build it, and the dialog-unit to pixel mapping.
#include "app/dialog_template.h"

#include <gtest/gtest.h>

namespace swk::app {
namespace {

struct Row {
    int id;
    std::string_view text;
    int x, y, cx, cy;
    bool visible, enabled;
};

// Id, text at start, position, size, start state.
constexpr Row kRows[] = {
    {1, "OK", 203, 133, 58, 14, true, true},
    {2, "Cancel", 142, 133, 58, 14, true, true},
    {1001, "", 7, 23, 224, 14, true, false},
    {1002, "", 7, 39, 248, 92, true, true},
    {1003, "Setup path:", 6, 11, 51, 8, true, true},
    {1010, "", 233, 23, 20, 14, true, true},
    {1009, "Microsoft IE addon and latest version info (from Internet)", 7, 137, 195, 10, false,
     true},
    {1011, "Restart Windows", 68, 133, 71, 14, false, true},
};

TEST(DialogTemplateTest, HoldsEveryControlWithItsPlaceAndStartState) {
    const DialogTemplate& dialog = SetupDialogTemplate();
    EXPECT_EQ(dialog.resourceId, 102);
    EXPECT_EQ(dialog.caption, "SWK Program (and SWK Internet Explorer addon) Setup");
    EXPECT_EQ(dialog.fontName, "MS Sans Serif");
    EXPECT_EQ(dialog.fontPoints, 8);
    EXPECT_EQ(dialog.widthUnits, 262);
    EXPECT_EQ(dialog.heightUnits, 147);
    EXPECT_EQ(dialog.controls.size(), std::size(kRows));
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.id);
        const auto control = FindControl(row.id);
        ASSERT_TRUE(control);
        EXPECT_EQ(control->text, row.text);
        EXPECT_EQ(control->units, (Rect{row.x, row.y, row.x + row.cx, row.y + row.cy}));
        EXPECT_EQ(control->visible, row.visible);
        EXPECT_EQ((control->style & WS_VISIBLE) != 0, row.visible);
        EXPECT_EQ(control->enabled, row.enabled);
        EXPECT_EQ((control->style & WS_DISABLED) == 0, row.enabled);
    }
    EXPECT_EQ(FindControl(kOkButton)->kind, ControlKind::DefaultPushButton);
    EXPECT_FALSE(FindControl(kBrowseButton));  // made at run time
}

TEST(DialogTemplateTest, MapsDialogUnitsLikeTheDialogManager) {
    // x × 6 / 4 and y × 13 / 8, rounded to nearest, halves away from zero.
    EXPECT_EQ(DialogUnitsToPixels(Rect{0, 0, 262, 147}), (Rect{0, 0, 393, 239}));
    EXPECT_EQ(DialogUnitsToPixels(Rect{7, 39, 255, 131}), (Rect{11, 63, 383, 213}));
    EXPECT_EQ(DialogUnitsToPixels(Rect{1, 4, 3, 12}), (Rect{2, 7, 5, 20}));
    EXPECT_EQ(DialogUnitsToPixels(Rect{4, 8, 8, 16}, DialogBaseUnits{8, 16}),
              (Rect{8, 16, 16, 32}));
}

}  // namespace
}  // namespace swk::app
