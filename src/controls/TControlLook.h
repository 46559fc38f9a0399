// The look every custom control shares: the palette, the per-size tables, the fonts, the
// one-line text row, the LED, the "-"/"+" delta zones and the blinking indicator.
//
// Per-size tables are indexed by the editor's size index 0..3 (100, 125, 150, 200 %);
// sizeIndex() clamps whatever index it is given.
#pragma once

#include "gui/vstgui.h"

namespace tlook {

using VSTGUI::CColor;

constexpr CColor MENU_INNER_COLOR(48, 51, 14, 255);
constexpr CColor MENU_TEXT_COLOR(197, 213, 26, 255);
constexpr CColor MENU_TEXT_BYPASSED_COLOR(197, 213, 26, 63);
constexpr CColor TEXT_COLOR(197, 213, 26, 255);
constexpr CColor TEXT_BYPASSED_COLOR(197, 213, 26, 63);
// The "-" and "+" zones: dark enough that their glyphs in the text colour read at 4.5 : 1.
constexpr CColor MENU_ARROW_COLOR(80, 87, 7, 255);
constexpr CColor INDICATOR_COLOR(197, 213, 26, 255);
constexpr CColor KNOB_OUTER_COLOR(63, 68, 11, 255);
constexpr CColor KNOB_MID_COLOR(117, 127, 9, 255);
constexpr CColor KNOB_INNER_COLOR(117, 127, 9, 255);
constexpr CColor KNOB_DOT_COLOR(202, 217, 48, 255);
constexpr CColor KNOB_DOT_BYPASSED_COLOR(202, 217, 48, 63);
constexpr CColor LED_ON_COLOR(197, 213, 26, 255);
constexpr CColor LED_OFF_COLOR(127, 138, 12, 255);
constexpr CColor LED_BYPASSED_COLOR(127, 138, 12, 63);
constexpr CColor WHITE_COLOR(255, 255, 255, 255);

// The dimmed variant of a colour: the same red, green and blue at alpha 63.
constexpr CColor dimmed(CColor c) { return CColor(c.red, c.green, c.blue, 63); }

// A control that is no parameter; an option menu with the hidden tag is never drawn.
constexpr int NO_PARAMETER_TAG = 9999;
constexpr int HIDDEN_MENU_TAG = 9998;
// Parameter tags the host may hear of.
constexpr int kNumParameterTags = 1024;
inline bool isParameterTag(int tag) { return tag >= 0 && tag < kNumParameterTags; }

constexpr double SCALE[4] = {1.0, 1.25, 1.5, 2.0};
constexpr int MENU_DELTA_BUTTON_WIDTH[4] = {16, 20, 24, 32};
constexpr int MENU_MINUS_OFFSET_X[4] = {4, 6, 8, 10};
constexpr int MENU_MINUS_OFFSET_Y[4] = {-1, 0, 0, 0};
constexpr int MENU_PLUS_OFFSET_X[4] = {4, 5, 7, 9};
constexpr int MENU_PLUS_OFFSET_Y[4] = {-1, 1, 1, 1};
constexpr int INDICATOR_SIZE[4] = {6, 7, 9, 12};
constexpr int INDICATOR_OFF[4] = {20, 25, 30, 40};
constexpr int SLIDER_WIDTH[4] = {32, 40, 48, 64};
extern const VSTGUI::CFontRef FONT_SIZES[4];
extern const VSTGUI::CFontRef BIG_LABEL_FONT_SIZES[4];

inline int sizeIndex(int big) { return big < 0 ? 0 : (big > 3 ? 3 : big); }
// trunc(v x SCALE[size]); trunc(v) for an index outside 0..3.
int scaled(double v, int big);

// The one-line text row of menus, buttons and readouts: centred vertically on the rectangle
// (one pixel lower at size 0), as high as the context's font size allows.
VSTGUI::CRect textRow(const VSTGUI::CRect& r, double fontSize, int big);
// Draws `text` anti-aliased in the text row of `r` with the context's font and colour;
// align 0 left, 1 centre, 2 right.
void drawTextRow(VSTGUI::CDrawContext* c, const char* text, const VSTGUI::CRect& r, int align, int big);

// The vector LED: a ring and a dot in `r`, lit, unlit or dimmed (dimmed wins).
void drawLed(VSTGUI::CDrawContext* c, const VSTGUI::CRect& r, bool on, bool bypassed);
// A two-state strip (upper half off, lower half on) drawn into `r` for value 0 or 1.
void drawLedBitmap(VSTGUI::CDrawContext* c, VSTGUI::CBitmap* strip, const VSTGUI::CRect& r, float value);

// The "-" and "+" zones at the ends of `r`, with their glyphs in `textColor`.
void drawDeltaZones(VSTGUI::CDrawContext* c, const VSTGUI::CRect& r, int big, CColor textColor);
// Which zone a press at x falls on: -1 the "-" zone, +1 the "+" zone, 0 neither.
int deltaZoneAt(const VSTGUI::CRect& r, double x, int big);

// Whether a blinking indicator shows: on, and the phase even.
inline bool indicatorShows(bool on, int phase) { return on && (phase % 2) == 0; }

// Button states in the roles the controls give them. Ctrl has the Command role, Alt the
// Option role, a right click (or Super) the Control-click role.
inline bool isOptionClick(const VSTGUI::CButtonState& b) { return b() == (VSTGUI::kLButton | VSTGUI::kAlt); }
inline bool hasCommand(const VSTGUI::CButtonState& b) { return (b() & VSTGUI::kControl) != 0; }
inline bool hasShift(const VSTGUI::CButtonState& b) { return (b() & VSTGUI::kShift) != 0; }
inline bool isContextClick(const VSTGUI::CButtonState& b) {
    return b.isRightButton() || (b() & VSTGUI::kApple) != 0;
}

} // namespace tlook
