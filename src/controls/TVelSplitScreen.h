// The velocity splits of the three layers: each layer's range over the velocity axis (left
// velocity 0, right full velocity) as a trapezoid from its fade-in point up to its start,
// flat to its end and down to its fade-out point. The layer being edited is drawn bright
// with four round handles, the other two faintly behind it; a press picks the nearest
// handle, moves it to the pointer and a horizontal drag moves it further.
#pragma once

#include "gui/vstgui.h"

class APlugin;

class TVelSplitScreen : public VSTGUI::CControl {
public:
    enum Handle { kNone = -1, kFadeIn = 0, kStart = 1, kEnd = 2, kFadeOut = 3 };

    TVelSplitScreen(const VSTGUI::CRect& size, VSTGUI::IControlListener* listener, int sizeIndex);

    // Stores the layer (clamped to the three layers) and always redraws.
    void setLayer(int layer);
    int getLayer() const { return layer; }
    int getSelected() const { return selected; }

    // trunc of the distance between two whole-pixel points.
    static int getDistance(int x1, int y1, int x2, int y2);
    // The handle of the shown layer nearest to the point (ties go to start, end, fade out,
    // fade in in that order); kNone unless a press is under way in an open editor.
    int getNearest(const VSTGUI::CPoint& point) const;
    // Moves the selected handle to x (kept between its neighbours, host not told).
    void setPoint(int x);

    void draw(VSTGUI::CDrawContext* context) override;
    VSTGUI::CMouseEventResult onMouseDown(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseUp(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    VSTGUI::CMouseEventResult onMouseMoved(VSTGUI::CPoint& where, const VSTGUI::CButtonState& buttons) override;
    bool onWheel(const VSTGUI::CPoint& where, const float& distance, const VSTGUI::CButtonState& buttons) override;
    void setViewSize(const VSTGUI::CRect& rect, bool invalidate = true) override;
    VSTGUI::CView* newCopy() const override { return new TVelSplitScreen(*this); }

private:
    void computeGeometry();
    int pointTag(int layerIndex, int point) const;
    int pointX(APlugin* plugin, int layerIndex, int point) const;
    int pointY(int point) const { return point == kStart || point == kEnd ? yTop : yBottom; }
    void drawOutline(VSTGUI::CDrawContext* context, APlugin* plugin, int layerIndex);
    void drawDot(VSTGUI::CDrawContext* context, int x, int y, int index);

    bool mouseDown = false;
    int selected = kNone;
    int sizeIndex;
    int layer = 0;
    int dotSize = 0;
    int xMin = 0, xMax = 0, yTop = 0, yBottom = 0;
    float xSpan = 0, ySpan = 0;
    VSTGUI::CPoint lastPoint;
};
