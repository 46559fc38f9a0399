// A small oscilloscope of one layer's output: the last stretch of the layer's signal, read
// from the plug-in's capture rings as a line through a fixed number of points. The editor
// switches it on and off, marks it active while the layer plays and asks it to refresh from
// its idle; the wheel and the output menu zoom the window it shows.
#pragma once

#include "gui/vstgui.h"

class TWaveScreen : public VSTGUI::CControl {
public:
    static constexpr int kPointCount = 32;
    static constexpr float kMinZoom = 0.0625f;
    static constexpr float kMaxZoom = 16.0f;

    TWaveScreen(const VSTGUI::CRect& size, VSTGUI::IControlListener* listener, int layer, bool on);

    // Both mark the screen dirty only when the flag changes.
    void setOn(bool state);
    void setActive(bool state);
    bool getOn() const { return on; }
    bool getActive() const { return active; }
    // The editor's refresh counter: while on, a new counter redraws the trace.
    void update(int n);
    // The window is 16384 x zoom samples long; zoom stays within kMinZoom..kMaxZoom.
    void resetZoom();
    // Multiplies the zoom by f; a factor below 0.01 resets it.
    void setZoom(float f);
    // The zoom as a whole percentage (half the window shows as 200).
    int getZoom() const;
    int getLayer() const { return layer; }

    void draw(VSTGUI::CDrawContext* context) override;
    VSTGUI::CMouseEventResult onMouseDown(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseUp(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    bool onWheel(const VSTGUI::CPoint& where, const float& distance, const VSTGUI::CButtonState& buttons) override;
    void setViewSize(const VSTGUI::CRect& rect, bool invalidate = true) override;
    VSTGUI::CView* newCopy() const override { return new TWaveScreen(*this); }

private:
    void scaleZoom(float f);

    bool on;
    bool active = true;
    int pointCount = kPointCount;
    int layer;
    int updateCount = 0;
    float zoom = 1.0f;
    float widthMinus1;
    float height;
    // Reused by every draw so the trace needs no allocation.
    VSTGUI::PointList points;
};
