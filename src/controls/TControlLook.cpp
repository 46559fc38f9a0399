#include "controls/TControlLook.h"

#include <cmath>

#include "controls/TControlEditor.h"
#include "plugin/uPlugin.h"

using namespace VSTGUI;

namespace tlook {

const CFontRef FONT_SIZES[4] = {kNormalFontVerySmall, kNormalFontSmall, kNormalFont, kNormalFontVeryBig};
const CFontRef BIG_LABEL_FONT_SIZES[4] = {kNormalFont, kNormalFontBig, kNormalFontVeryBig, kNormalFontVeryBig};

int scaled(double v, int big) {
    if (big < 0 || big > 3) return static_cast<int>(v);
    return static_cast<int>(v * SCALE[big]);
}

CRect textRow(const CRect& r, double fontSize, int big) {
    double cy = (r.top + r.bottom) / 2;
    if (big == 0) cy += 1;
    const int h = static_cast<int>(fontSize + 2) / 2;
    return CRect(r.left, cy - h, r.right, cy + h);
}

void drawTextRow(CDrawContext* c, const char* text, const CRect& r, int align, int big) {
    const double size = c->getEffectiveFont().getSize();
    const CHoriTxtAlign a = align == 0 ? kLeftText : (align == 2 ? kRightText : kCenterText);
    c->drawString(text, textRow(r, size, big), a, true);
}

void drawLed(CDrawContext* c, const CRect& r, bool on, bool bypassed) {
    const CColor color = bypassed ? LED_BYPASSED_COLOR : (on ? LED_ON_COLOR : LED_OFF_COLOR);
    const double w = r.getWidth();
    c->setDrawMode(kAntiAliasing);
    c->setFrameColor(color);
    c->setFillColor(color);
    const double ring = std::trunc(0.1 * w);
    CRect ringRect = r;
    ringRect.inset(ring, ring);
    c->setLineWidth(2);
    c->drawEllipse(ringRect, kDrawStroked);
    CRect dot = r;
    dot.inset(0.25 * w, 0.25 * w);
    dot.right -= 1;
    dot.bottom -= 1;
    c->setLineWidth(1);
    c->drawEllipse(dot, kDrawFilled);
    c->setDrawMode(kAliasing);
}

void drawLedBitmap(CDrawContext* c, CBitmap* strip, const CRect& r, float value) {
    if (!strip) return;
    const double off = strip->getHeight() * std::trunc(value) * 0.5;
    strip->draw(c, r, CPoint(0, off));
}

void drawDeltaZones(CDrawContext* c, const CRect& r, int big, CColor textColor) {
    const int s = sizeIndex(big);
    const double W = MENU_DELTA_BUTTON_WIDTH[s];
    c->setFillColor(MENU_ARROW_COLOR);
    c->drawRect(CRect(r.left, r.top, r.left + W, r.bottom), kDrawFilled);
    c->drawRect(CRect(r.right - W, r.top, r.right, r.bottom), kDrawFilled);
    c->setFontColor(textColor);
    const double mx = r.left + MENU_MINUS_OFFSET_X[s];
    c->drawString("-", CRect(mx, r.top + MENU_MINUS_OFFSET_Y[s], mx + W, r.bottom + MENU_MINUS_OFFSET_Y[s]),
                  kLeftText, true);
    const double px = r.right - MENU_PLUS_OFFSET_X[s];
    c->drawString("+", CRect(px - W, r.top + MENU_PLUS_OFFSET_Y[s], px, r.bottom + MENU_PLUS_OFFSET_Y[s]),
                  kRightText, true);
}

int deltaZoneAt(const CRect& r, double x, int big) {
    const double W = MENU_DELTA_BUTTON_WIDTH[sizeIndex(big)];
    const double d = x - r.left;
    if (d > r.getWidth() - W) return 1;
    if (d < W) return -1;
    return 0;
}

} // namespace tlook

int TControlEditor::getScaled(int v, int c125, int c150, int c200) const {
    const int big = getBig();
    if (big < 1 || big > 3) return static_cast<int>(v);
    const int corr[4] = {0, c125, c150, c200};
    return tlook::scaled(v, big) + corr[big];
}

TControlEditor* controlEditor(const CView* view) {
    if (!view) return nullptr;
    return dynamic_cast<TControlEditor*>(view->getEditor());
}

APlugin* controlPlugin(const CView* view) {
    TControlEditor* e = controlEditor(view);
    return e ? e->getPlugin() : nullptr;
}

TControlEditor* drawingEditor(const CView* view) {
    TControlEditor* e = controlEditor(view);
    return e && e->getPlugin() && e->getEditorFinishedOpening() ? e : nullptr;
}
