// A thin separator line: its rectangle filled in the line colour. It can be hidden while it
// stays in the view tree.
#pragma once

#include "gui/vstgui.h"

class TLine : public VSTGUI::CControl {
public:
    static constexpr VSTGUI::CColor LINE_COLOR{106, 108, 73, 255};

    TLine(const VSTGUI::CRect& size, VSTGUI::IControlListener* listener);
    TLine(const TLine& other) = default;
    ~TLine() override;

    // Only the drawing depends on it; the view stays where it is.
    void setVisible(bool state) override;
    bool isLineVisible() const { return lineVisible; }

    VSTGUI::CView* newCopy() const override { return new TLine(*this); }
    void draw(VSTGUI::CDrawContext* context) override;

private:
    bool lineVisible = true;
};
