#include "controls/TMenuButton.h"

#include "controls/TControlEditor.h"
#include "controls/TControlLook.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginTags.h"

using namespace VSTGUI;
using namespace tlook;

namespace {

constexpr int kModFXModeTag = 349;
constexpr int kGatorMode = 10;

} // namespace

TMenuButton::TMenuButton(const CRect& size, IControlListener* listener, const std::string& label, int menuType,
                         bool ledLook, bool deltaLook)
    : CControl(size, listener, NO_PARAMETER_TAG, nullptr),
      ledLook(ledLook),
      deltaLook(deltaLook),
      menuType(menuType),
      label(label.empty() ? " " : label) {}

TMenuButton::~TMenuButton() = default;

void TMenuButton::setString(const std::string& s) {
    const std::string next = s.empty() ? " " : s;
    if (next == label) return;
    label = next;
    setDirty(true);
}

int TMenuButton::strumTag() const {
    TControlEditor* e = controlEditor(this);
    int chord = e ? e->getSelectedChord() : 0;
    chord = chord < 0 ? 0 : (chord > 3 ? 3 : chord);
    return CHORD_STRUM_TAGS[chord];
}

void TMenuButton::draw(CDrawContext* c) {
    TControlEditor* e = drawingEditor(this);
    if (!e) return;
    const CRect r = getViewSize();
    if (ledLook) drawLed(c, r, true, false);
    if (deltaLook) {
        const int big = sizeIndex(e->getBig());
        c->setFillColor(MENU_INNER_COLOR);
        c->drawRect(r, kDrawFilled);
        c->setFont(FONT_SIZES[big]);
        drawDeltaZones(c, r, big, MENU_TEXT_COLOR);
        c->setFontColor(MENU_TEXT_COLOR);
        drawTextRow(c, label.c_str(), r, 1, big);
    }
}

void TMenuButton::openMenu() {
    TControlEditor* e = controlEditor(this);
    switch (menuType) {
        case kMenuControl: e->showControlMenu(); break;
        case kMenuECS: e->showECSMenu(); break;
        case kMenuLayer1:
        case kMenuLayer2:
        case kMenuLayer3: e->showLayerMenu(menuType - kMenuLayer1); break;
        case kMenuLFO: e->showLFOMenu(); break;
        case kMenuArp: e->showArpMenu(-1, -1, false); break;
        case kMenuChord: e->showChordMenu(-1); break;
        case kMenuMod: e->showModMenu(-1); break;
        case kMenuVelSplit: e->showVelSplitMenu(); break;
        case kMenuDistort: e->showDistortMenu(); break;
        case kMenuModFX:
            if (controlPlugin(this)->getSteppedValue(kModFXModeTag) == kGatorMode)
                e->showGaterMenu();
            else
                e->showModFXMenu();
            break;
        case kMenuDelay: e->showDelayMenu(); break;
        case kMenuReverb: e->showReverbMenu(); break;
        case kMenuPath: e->showPathMenu(); break;
        case kMenuPlay: e->showPlayMenu(); break;
        case kMenuAmp: e->showAmpMenu(); break;
        default: break;
    }
}

CMouseEventResult TMenuButton::strumPress(const CPoint& where, const CButtonState& buttons) {
    constexpr CMouseEventResult done = kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    TControlEditor* e = controlEditor(this);
    APlugin* p = controlPlugin(this);
    const int tag = strumTag();
    const int dir = deltaZoneAt(getViewSize(), where.x, e->getBig());
    if (dir != 0) {
        if (!hasShift(buttons))
            p->changeDelta(tag, dir, false, 1.0f);
        else if (p->getSteppedNum(tag) < 1)
            // The strum length is continuous, and the stepped writers leave such a tag
            // alone: its ends are 0 and 1.
            p->setParameterAutomated(tag, dir < 0 ? 0.0f : 1.0f);
        else if (dir < 0)
            p->setSteppedValue(tag, 0);
        else
            p->setSteppedValueMax(tag);
        return done;
    }
    const bool command = hasCommand(buttons);
    if (command && hasShift(buttons)) {
        p->setParameter(tag, p->getOrigValue(tag));
    } else if (command || buttons.isDoubleClick()) {
        p->setParameter(tag, p->getDefaultValue(tag));
    } else if (isOptionClick(buttons)) {
        p->setNumValue(tag);
    } else {
        e->showStrumMenu(tag);
        return kMouseEventHandled;
    }
    if (isDirty()) valueChanged();
    return done;
}

CMouseEventResult TMenuButton::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!getMouseEnabled() || !controlEditor(this) || !controlPlugin(this))
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    CBaseObjectGuard guard(this);
    if (menuType == kMenuStrum) return strumPress(where, buttons);
    openMenu();
    return kMouseEventHandled;
}

CMouseEventResult TMenuButton::onMouseUp(CPoint&, const CButtonState&) { return kMouseEventHandled; }

bool TMenuButton::onWheel(const CPoint&, const float& distance, const CButtonState& buttons) {
    if (menuType == kMenuStrum) {
        if (APlugin* p = controlPlugin(this)) {
            const int dir = distance > 0 ? 1 : (distance < 0 ? -1 : 0);
            p->changeDelta(strumTag(), dir, hasShift(buttons), 1.0f);
        }
    }
    // The container sees the wheel too.
    return false;
}
