#include "controls/TReadoutString.h"

#include "controls/TControlEditor.h"
#include "controls/TControlLook.h"
#include "controls/TReadout.h"

using namespace VSTGUI;
using namespace tlook;

TReadoutString::TReadoutString(const CRect& size, IControlListener* listener, const std::string& text, bool black,
                               bool centred, bool reactToMouse)
    : CControl(size, listener, NO_PARAMETER_TAG, nullptr),
      reactToMouse(reactToMouse),
      text(text.empty() ? " " : text),
      colour(black ? kBlackCColor : WHITE_COLOR),
      textAlign(centred ? 1 : 0) {}

TReadoutString::~TReadoutString() = default;

void TReadoutString::setString(const std::string& s) {
    const std::string next = s.empty() ? " " : s;
    if (next == text) return;
    text = next;
    setDirty(true);
}

void TReadoutString::draw(CDrawContext* c) {
    if (!drawingEditor(this)) return;
    c->setFont(kNormalFontVeryBig);
    c->setFontColor(colour);
    c->drawString(text.c_str(), getViewSize(), textAlign == 0 ? kLeftText : kCenterText, true);
}

CMouseEventResult TReadoutString::onMouseDown(CPoint&, const CButtonState& buttons) {
    return treadout::press(this, reactToMouse, buttons);
}

CMouseEventResult TReadoutString::onMouseUp(CPoint&, const CButtonState&) { return treadout::release(this); }
