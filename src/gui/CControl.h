// A view with a value: tag, value range, default value, listener, edit gestures.
//
// - setValue() stores the value (clamped to min..max) and never notifies; valueChanged()
//   tells the listener. The value may be set from any thread.
// - isDirty() is true while the value differs from the one last drawn (or after
//   setDirty(true)); drawing the control clears it.
// - beginEdit()/endEdit() bracket a gesture. They count: the listener and the host (through
//   the frame) hear of the first beginEdit and of the endEdit that balances it; an endEdit
//   without a beginEdit is ignored.
#pragma once

#include <atomic>

#include "gui/CView.h"

namespace VSTGUI {

class CControl;

class IControlListener {
public:
    virtual ~IControlListener() = default;
    virtual void valueChanged(CControl* control) = 0;
    // A press with a modifier key or the right button, asked by controls before they act;
    // non-zero means the listener took the press.
    virtual int32_t controlModifierClicked(CControl* /*control*/, CButtonState /*button*/) { return 0; }
    virtual void controlBeginEdit(CControl* /*control*/) {}
    virtual void controlEndEdit(CControl* /*control*/) {}
    virtual void controlTagWillChange(CControl* /*control*/) {}
    virtual void controlTagDidChange(CControl* /*control*/) {}
};

class CControl : public CView {
public:
    CControl(const CRect& size, IControlListener* listener = nullptr, int32_t tag = 0,
             CBitmap* background = nullptr);
    CControl(const CControl& other);
    ~CControl() override;

    virtual void setValue(float val);
    virtual float getValue() const { return value.load(std::memory_order_relaxed); }
    virtual void setValueNormalized(float val);
    virtual float getValueNormalized() const;
    virtual void setMin(float val) { vmin = val; }
    virtual float getMin() const { return vmin; }
    virtual void setMax(float val) { vmax = val; }
    virtual float getMax() const { return vmax; }
    float getRange() const { return vmax - vmin; }
    virtual void setDefaultValue(float val) { defaultValue = val; }
    virtual float getDefaultValue() const { return defaultValue; }
    virtual void setTag(int32_t val);
    int32_t getTag() const { return tag; }
    virtual void setListener(IControlListener* l) { listener = l; }
    IControlListener* getListener() const { return listener; }

    // Tells the listener that the value changed.
    virtual void valueChanged();
    virtual void beginEdit();
    virtual void endEdit();
    bool isEditing() const { return editing > 0; }
    // Clamps the value to min..max.
    virtual void bounceValue();
    // Sets the default value (and tells the listener, inside an edit gesture) for a
    // Ctrl+left click or a left double click; true when it did.
    virtual bool checkDefaultValue(CButtonState button);

    void setWheelInc(float val) { wheelInc = val; }
    float getWheelInc() const { return wheelInc; }
    void setBackOffset(const CPoint& offset) { backOffset = offset; }
    const CPoint& getBackOffset() const { return backOffset; }

    bool isDirty() const override;
    void setDirty(bool state = true) override;
    // A gesture interrupted (the control leaves the tree or a pop-up took the release) ends.
    CMouseEventResult onMouseCancel() override;
    bool removed(CView* parent) override;

protected:
    // Asks the listener's controlModifierClicked for a press with a modifier or the right
    // button; true when the listener took the press.
    bool listenerTookModifierClick(const CButtonState& buttons);

    std::atomic<float> value{0.f};
    float oldValue = 1.f;
    float vmin = 0.f;
    float vmax = 1.f;
    float defaultValue = 0.5f;
    float wheelInc = 0.1f;
    int32_t tag;
    IControlListener* listener;
    int32_t editing = 0;
    CPoint backOffset;
};

} // namespace VSTGUI
