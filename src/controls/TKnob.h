// The knob of every continuous parameter. On the main screen it is drawn with vectors (outer
// disc, inner disc, a value dot on a 255.6 degree sweep, an optional centre mark and an arc
// showing how far modulation moves the parameter); on the easy screen from a 149-frame strip
// plus a second strip for the modulated position.
//
// Mouse: a vertical drag moves 1/200 of the range per pixel (1/10000 with Shift; changing Shift
// mid-drag changes only the speed), a double click or Ctrl-click sets the default, Ctrl+Shift
// the value the program was loaded with, Alt asks for a typed value, a right click opens the
// parameter's MIDI menu; the wheel steps the parameter through the plug-in. Every value change
// sits inside one edit gesture.
#pragma once

#include "gui/vstgui.h"

class TKnob : public VSTGUI::CAnimKnob {
public:
    static constexpr int kFrames = 149;

    // kind: 4 and 5 large, 2 and 3 medium, any other small. The bitmaps are used only by an
    // easy-screen knob (setEasy) and may be null.
    TKnob(const VSTGUI::CRect& size, VSTGUI::IControlListener* listener, int32_t tag, VSTGUI::CBitmap* faceBitmap,
          VSTGUI::CBitmap* modBitmap, const VSTGUI::CPoint& offset, bool centreMark, int diameter, int kind);

    void setEasy() { easy = true; }
    void setBypassed(bool bypassed);
    void setOn(bool on) { setBypassed(!on); }
    bool getBypassed() const { return bypassed; }
    // The parameter's modulated value, from the editor's refresh; shown only while the
    // editor's animation is on (otherwise the knob's own value is shown).
    void setModValue(float v, int counter);
    float getModValue() const { return modValue; }
    int getModFrame() const { return modFrame; }
    // Where the value dot's centre lies for a value, in the knob's coordinates (its parent's).
    VSTGUI::CPoint dotCentre(float value) const;

    void draw(VSTGUI::CDrawContext* context) override;
    VSTGUI::CMouseEventResult onMouseDown(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseUp(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseMoved(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseCancel() override;
    bool onWheel(const VSTGUI::CPoint& where, const float& distance, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CView* newCopy() const override { return new TKnob(*this); }

private:
    void drawVector(VSTGUI::CDrawContext* c, int big, bool animation);
    void drawBitmaps(VSTGUI::CDrawContext* c);
    bool offersDrop() const;
    bool isFactorAmount() const;

    bool easy = false;
    bool bypassed = false;
    bool centreMark;
    bool drawing = false;
    bool stepAmount = false;
    bool knobDragging = false;
    int modCounter = 0;
    int diameter;
    int sizeClass;
    int maxFrame = kFrames - 1;
    int modFrame = 0;
    float modValue = 0.f;
    float startValue = 0.f;
    float step = 0.f;
    float frameScale = static_cast<float>(kFrames);
    VSTGUI::CBitmap* faceBitmap;
    VSTGUI::CBitmap* modBitmap;
    VSTGUI::CPoint startPoint;
    VSTGUI::CPoint lastPoint;
};
