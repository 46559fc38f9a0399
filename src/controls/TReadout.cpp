#include "controls/TReadout.h"

#include "controls/TControlEditor.h"
#include "controls/TControlLook.h"

using namespace VSTGUI;
using namespace tlook;

TReadout::TReadout(const CRect& size, IControlListener* listener, const std::string& text, bool centred,
                   bool background)
    : CControl(size, listener, NO_PARAMETER_TAG, nullptr),
      background(background),
      text(text.empty() ? " " : text),
      textAlign(centred ? 1 : 0) {}

TReadout::~TReadout() = default;

void TReadout::setString(const std::string& s) {
    const std::string next = s.empty() ? " " : s;
    if (next == text) return;
    text = next;
    setDirty(true);
}

void TReadout::draw(CDrawContext* c) {
    TControlEditor* e = drawingEditor(this);
    if (!e) return;
    const int big = sizeIndex(e->getBig());
    const CRect r = getViewSize();
    if (background) {
        c->setFillColor(MENU_INNER_COLOR);
        c->drawRect(r, kDrawFilled);
    }
    c->setFontColor(bigFont ? kBlackCColor : TEXT_COLOR);
    c->setFont(bigFont ? BIG_LABEL_FONT_SIZES[big] : FONT_SIZES[big]);
    drawTextRow(c, text.c_str(), r, textAlign, big);
}

CMouseEventResult TReadout::onMouseDown(CPoint&, const CButtonState& buttons) {
    return treadout::press(this, reactToMouse, buttons);
}

CMouseEventResult TReadout::onMouseUp(CPoint&, const CButtonState&) { return treadout::release(this); }

namespace treadout {

CMouseEventResult press(CControl* c, bool reactToMouse, const CButtonState& buttons) {
    if (!c->getMouseEnabled() || !(buttons & kLButton) || !controlEditor(c) || !reactToMouse)
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    c->setValue(1.0f);
    c->setDirty(true);
    c->valueChanged();
    return kMouseEventHandled;
}

CMouseEventResult release(CControl* c) {
    c->setValue(0.0f);
    c->setDirty(true);
    c->valueChanged();
    return kMouseEventHandled;
}

} // namespace treadout
