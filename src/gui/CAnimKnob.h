// A knob drawn from a strip of sub-images stacked vertically: the value picks the image.
//
// Mouse: a drag changes the value; in kLinearMode moving up by 200 pixels covers the whole
// range (Shift: 2000 pixels), in kCircularMode the value follows the pointer's angle around the
// centre (value 0 at the lower left, 1 at the lower right, 270 degrees apart), in
// kRelativCircularMode the angle's change moves it. The mode comes from the frame's editor
// (CFrame::getKnobMode). A Ctrl+click or a double click sets the default value; the wheel steps
// by the wheel increment (a tenth of it with Shift).
#pragma once

#include "gui/CControl.h"

namespace VSTGUI {

class CAnimKnob : public CControl {
public:
    CAnimKnob(const CRect& size, IControlListener* listener, int32_t tag, int32_t subPixmaps,
              CCoord heightOfOneImage, CBitmap* background, const CPoint& offset = CPoint(0, 0));
    // The number of images is the bitmap's height divided by the view's height.
    CAnimKnob(const CRect& size, IControlListener* listener, int32_t tag, CBitmap* background,
              const CPoint& offset = CPoint(0, 0));
    CAnimKnob(const CAnimKnob& other) = default;

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseCancel() override;
    bool onWheel(const CPoint& where, const float& distance, const CButtonState& buttons) override;
    CView* newCopy() const override { return new CAnimKnob(*this); }

    void setNumSubPixmaps(int32_t n) { subPixmaps = n > 0 ? n : 1; }
    int32_t getNumSubPixmaps() const { return subPixmaps; }
    void setHeightOfOneImage(CCoord h) { heightOfOneImage = h; }
    CCoord getHeightOfOneImage() const { return heightOfOneImage; }
    void setInverseBitmap(bool b) { inverseBitmap = b; }
    bool getInverseBitmap() const { return inverseBitmap; }
    // The image shown for the current value.
    int32_t getFrameIndex() const;

protected:
    float valueFromAngle(const CPoint& where) const;
    double angleOf(const CPoint& where) const;

    CPoint offset;
    int32_t subPixmaps;
    CCoord heightOfOneImage;
    bool inverseBitmap = false;

    bool dragging = false;
    int32_t dragMode = kDragLinear;
    CPoint firstPoint;
    double lastAngle = 0;

    enum { kDragLinear = 0, kDragCircular, kDragRelative };
};

} // namespace VSTGUI
