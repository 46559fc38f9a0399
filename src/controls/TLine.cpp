#include "controls/TLine.h"

#include "controls/TControlEditor.h"
#include "controls/TControlLook.h"

using namespace VSTGUI;

TLine::TLine(const CRect& size, IControlListener* listener)
    : CControl(size, listener, tlook::NO_PARAMETER_TAG, nullptr) {}

TLine::~TLine() = default;

void TLine::setVisible(bool state) {
    if (state == lineVisible) return;
    lineVisible = state;
    setDirty(true);
}

void TLine::draw(CDrawContext* c) {
    if (!lineVisible || !drawingEditor(this)) return;
    c->setFrameColor(LINE_COLOR);
    c->setFillColor(LINE_COLOR);
    c->drawRect(getViewSize(), kDrawFilled);
}
