#include "controls/TOptionMenu.h"

#include <cmath>

#include "controls/TControlEditor.h"
#include "controls/TControlLook.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginStrings.h"
#include "plugin/uPluginTags.h"

using namespace VSTGUI;
using namespace tlook;

namespace {

constexpr int kFXPathTag = 344;
// Which block sits in each of the three rows for every effect path (0 Mod FX, 1 Delay,
// 2 Reverb), top to bottom.
constexpr int FX_PATH_ROWS[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
constexpr const char* FX_BLOCK_NAMES[3] = {"MOD FX", "DELAY", "REVERB"};

template <std::size_t N>
const char* row(const char* const (&table)[N], int i) {
    return table[i < 0 ? 0 : (i >= static_cast<int>(N) ? N - 1 : i)];
}

bool isSemiTag(int tag) {
    for (int t : SEMI_TAGS)
        if (t == tag) return true;
    return false;
}

int wheelDirection(float d) { return d > 0 ? 1 : (d < 0 ? -1 : 0); }

} // namespace

TOptionMenu::TOptionMenu(const CRect& size, IControlListener* listener, int32_t tag, CBitmap* background,
                         CBitmap* backgroundWhenClicked, int32_t style, bool centred, bool deltaButtons)
    : COptionMenu(size, listener, tag, background, backgroundWhenClicked, style),
      deltaButtons(deltaButtons),
      textAlign(centred ? 1 : 0) {}

TOptionMenu::~TOptionMenu() = default;

void TOptionMenu::setString(const char* s) { setString(std::string(s ? s : "")); }

void TOptionMenu::setString(const std::string& s) {
    const std::string next = s.empty() ? " " : s;
    if (next == text) return;
    text = next;
    setDirty(true);
}

void TOptionMenu::setPresetMenu() {
    presetMenu = true;
    deltaButtons = false;
    folderMenu = false;
}

void TOptionMenu::setFolderMenu() {
    folderMenu = true;
    deltaButtons = false;
    presetMenu = false;
}

void TOptionMenu::setDeltaOff() { deltaButtons = false; }

void TOptionMenu::setBypassed(bool state) {
    if (state == bypassed) return;
    bypassed = state;
    setDirty(true);
}

void TOptionMenu::setInvisible(bool state) {
    if (state == invisible) return;
    invisible = state;
    setDirty(true);
}

void TOptionMenu::setIndicator(bool on, int phase) {
    if (on == indicatorOn && phase == indicatorPhase) return;
    indicatorOn = on;
    indicatorPhase = phase;
    setDirty(true);
}

std::string TOptionMenu::shownText() const {
    APlugin* p = controlPlugin(this);
    if (!p) return text;
    switch (getTag()) {
        case 355:
        case 358: return row(LFO_WAVE_SHORT_STR, p->getSteppedValue(getTag()));
        case 407: return row(ARP_MODE_SHORT_STR, p->getArpMode());
        case 410: return row(ARP_LOOP_MODE_SHORT_STR, p->getArpLoopMode());
        case 411: return row(ARP_RATCHET_SHORT_MODE_STR, p->getSteppedValue(411));
        default: return text;
    }
}

void TOptionMenu::drawPathRows(CDrawContext* c, int path) {
    const CRect r = getViewSize();
    const double h = r.getHeight() / 3;
    const int p = path < 0 ? 0 : (path > 5 ? 5 : path);
    for (int k = 0; k < 3; ++k) {
        const CRect rowRect(r.left, r.top + k * h, r.right, r.top + (k + 1) * h);
        c->drawString(FX_BLOCK_NAMES[FX_PATH_ROWS[p][k]], rowRect, kCenterText, true);
    }
}

// Previous/next triangles: at the right end for presets, at the left end for folders.
void TOptionMenu::drawArrows(CDrawContext* c) {
    TControlEditor* e = controlEditor(this);
    const CRect r = getViewSize();
    const double H = r.getHeight();
    const double cy = static_cast<float>((r.top + r.bottom) / 2);
    const int s3 = e->getScaled(3);
    const int s2 = e->getScaled(2);
    const double A = std::trunc(H / 2 - s3);
    const double E = std::trunc(H / 2 - s2);
    auto triangle = [&](double tipX, double baseX) {
        PointList pts{CPoint(tipX, cy), CPoint(baseX, cy - E), CPoint(baseX, cy + E)};
        c->drawPolygon(pts, kDrawFilled);
    };
    c->setFillColor(TEXT_COLOR);
    if (presetMenu) {
        triangle(r.right, r.right - A);
        triangle(r.right - s3 - 2 * A, r.right - s3 - A);
    } else {
        triangle(r.left, r.left + A);
        triangle(r.left + 2 * A + s3, r.left + A + s3);
    }
}

void TOptionMenu::draw(CDrawContext* c) {
    TControlEditor* e = drawingEditor(this);
    if (!e || getTag() == HIDDEN_MENU_TAG || invisible) return;
    const int big = sizeIndex(e->getBig());
    const CRect r = getViewSize();
    if (!presetMenu && !folderMenu) {
        c->setFillColor(MENU_INNER_COLOR);
        c->drawRect(r, kDrawFilled);
    }
    c->setFont(FONT_SIZES[big]);
    const CColor fontColor = bypassed ? MENU_TEXT_BYPASSED_COLOR : MENU_TEXT_COLOR;
    c->setFontColor(fontColor);
    c->setDrawMode(kAntiAliasing);
    if (presetMenu || folderMenu) drawArrows(c);
    c->setDrawMode(kAliasing);
    if (deltaButtons) drawDeltaZones(c, r, big, fontColor);
    c->setFontColor(fontColor);

    if (getTag() == kFXPathTag) {
        drawPathRows(c, controlPlugin(this)->getSteppedValue(kFXPathTag));
        return;
    }
    CRect rowRect = r;
    if (folderMenu) rowRect.left = r.left + 4 * std::trunc(r.getHeight() / 2 - e->getScaled(3));
    drawTextRow(c, shownText().c_str(), rowRect, textAlign, big);

    if (indicatorShows(indicatorOn, indicatorPhase)) {
        const double size = INDICATOR_SIZE[big];
        const double off = INDICATOR_OFF[big];
        c->setFillColor(INDICATOR_COLOR);
        c->drawRect(CRect(r.left + off + size, r.top + size, r.left + off + r.getHeight() - size, r.bottom - size),
                    kDrawFilled);
    }
}

CMouseEventResult TOptionMenu::onMouseDown(CPoint& where, const CButtonState& buttons) {
    constexpr CMouseEventResult done = kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    TControlEditor* e = controlEditor(this);
    APlugin* p = controlPlugin(this);
    if (!getMouseEnabled() || bypassed || invisible || !e || !p) return done;
    const int tag = getTag();
    const CRect r = getViewSize();
    const int big = e->getBig();

    if (deltaButtons) {
        const int dir = deltaZoneAt(r, where.x, big);
        if (dir != 0) {
            if (!hasShift(buttons))
                p->changeDelta(tag, dir, false, 1.0f);
            else if (dir < 0)
                p->setSteppedValue(tag, 0);
            else
                p->setSteppedValueMax(tag);
            return done;
        }
    }
    const double a = std::trunc(2 * r.getHeight() / 3 - 4);
    if (presetMenu && where.x > r.right - std::trunc(2.5 * a)) {
        e->changeProgramDelta(where.x > r.right - a ? 1 : -1, false);
        return done;
    }
    if (folderMenu && where.x < r.left + 2 * a) return done;

    setLastButton(buttons);
    CBaseObjectGuard guard(this);
    if (hasCommand(buttons)) {
        if (hasShift(buttons)) {
            p->setParameter(tag, p->getOrigValue(tag));
            return done;
        }
        p->setToDefault(tag);
    } else if (isOptionClick(buttons)) {
        p->setNumValue(tag);
    } else {
        if ((hasShift(buttons) || (buttons & kApple)) && getListener() &&
            getListener()->controlModifierClicked(this, buttons) != 0)
            return done;
        if (buttons.isLeftButton() || buttons.isRightButton() || (buttons & kApple)) popup();
        return done;
    }
    // The editor hears of the new value when the plug-in's change reached this menu.
    if (isDirty() && getListener()) getListener()->valueChanged(this);
    return done;
}

bool TOptionMenu::onWheel(const CPoint&, const float& distance, const CButtonState& buttons) {
    if (bypassed) return false;
    TControlEditor* e = controlEditor(this);
    if (!e) return true;
    const int dir = wheelDirection(distance);
    if (presetMenu) {
        e->changeProgramDelta(-dir, false);
    } else if (folderMenu) {
        e->changeFolderDelta(-dir, false);
    } else if (APlugin* p = controlPlugin(this)) {
        const int tag = getTag();
        p->changeDelta(tag, isSemiTag(tag) ? dir : -dir, hasShift(buttons), 1.0f);
    }
    return true;
}
