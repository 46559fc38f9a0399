// Text controls: a value display, a static text and an inline text field.
#pragma once

#include <functional>
#include <string>

#include "gui/CControl.h"
#include "gui/CFontDesc.h"

namespace VSTGUI {

// Style bits of displays and menus (COptionMenu adds its own above them).
enum CParamDisplayStyle : int32_t {
    kShadowText = 1 << 0,
    k3DIn = 1 << 1,
    k3DOut = 1 << 2,
    kNoTextStyle = 1 << 3,
    kNoDrawStyle = 1 << 4,
    kRoundRectStyle = 1 << 5,
    kNoFrame = 1 << 6,
};

// Shows its value as text (or through a conversion function) over a background colour or
// bitmap, with an optional frame.
class CParamDisplay : public CControl {
public:
    using ValueToStringFunction = std::function<bool(float value, char utf8String[256], CParamDisplay* display)>;

    CParamDisplay(const CRect& size, CBitmap* background = nullptr, int32_t style = 0);
    CParamDisplay(const CParamDisplay& other);
    ~CParamDisplay() override;

    // Takes its own reference to the font.
    virtual void setFont(CFontRef font);
    CFontRef getFont() const { return font; }
    virtual void setFontColor(const CColor& color);
    CColor getFontColor() const { return fontColor; }
    virtual void setBackColor(const CColor& color);
    CColor getBackColor() const { return backColor; }
    virtual void setFrameColor(const CColor& color);
    CColor getFrameColor() const { return frameColor; }
    virtual void setShadowColor(const CColor& color);
    CColor getShadowColor() const { return shadowColor; }
    virtual void setHoriAlign(CHoriTxtAlign align);
    CHoriTxtAlign getHoriAlign() const { return horiAlign; }
    virtual void setTextInset(const CPoint& inset);
    CPoint getTextInset() const { return textInset; }
    virtual void setStyle(int32_t newStyle);
    int32_t getStyle() const { return style; }
    virtual void setPrecision(uint8_t p);
    uint8_t getPrecision() const { return precision; }
    void setAntialias(bool state) { antialias = state; }
    bool getAntialias() const { return antialias; }
    void setValueToStringFunction(ValueToStringFunction f) { valueToString = std::move(f); }
    // The text for the value (the conversion function's, else the number with `precision`
    // decimals, independent of the locale).
    virtual std::string getValueText() const;

    void draw(CDrawContext* context) override;
    CView* newCopy() const override { return new CParamDisplay(*this); }

protected:
    virtual void drawBack(CDrawContext* context, CBitmap* newBack = nullptr);
    virtual void drawPlatformText(CDrawContext* context, UTF8StringPtr string);
    // The rectangle text is drawn in.
    CRect getTextRect() const;

    CFontRef font;
    CColor fontColor = kWhiteCColor;
    CColor backColor = kBlackCColor;
    CColor frameColor = kBlackCColor;
    CColor shadowColor = kRedCColor;
    CHoriTxtAlign horiAlign = kCenterText;
    CPoint textInset;
    int32_t style;
    uint8_t precision = 2;
    bool antialias = true;
    ValueToStringFunction valueToString;
};

// A display of a fixed text.
class CTextLabel : public CParamDisplay {
public:
    CTextLabel(const CRect& size, UTF8StringPtr txt = nullptr, CBitmap* background = nullptr,
               const int32_t style = 0);
    CTextLabel(const CTextLabel& other) = default;

    // Stores the text; marks the label dirty when it changed.
    virtual void setText(const UTF8String& txt);
    virtual const UTF8String& getText() const { return text; }

    void draw(CDrawContext* context) override;
    CView* newCopy() const override { return new CTextLabel(*this); }

protected:
    UTF8String text;
};

// A text field edited in place. A left click (or the frame giving it the focus) starts
// editing with the whole text selected; typing replaces the selection or inserts at the
// caret; Backspace, Delete, the arrows, Home and End edit and move. Return, Enter or Tab and
// the loss of the focus (a press elsewhere, CFrame::setFocusView) commit: the text takes the
// edited text and, when it changed, the listener hears valueChanged. Escape cancels.
class CTextEdit : public CTextLabel {
public:
    CTextEdit(const CRect& size, IControlListener* listener, int32_t tag, UTF8StringPtr txt = nullptr,
              CBitmap* background = nullptr, const int32_t style = 0);
    CTextEdit(const CTextEdit& other);

    // While editing only the text shown after a cancel changes, not the edited text.
    void setText(const UTF8String& txt) override;

    bool isTextEditing() const { return textEditing; }
    const std::string& getEditedText() const { return editText; }
    // The caret as a byte index into the edited text.
    std::size_t getCaretPosition() const { return caret; }
    bool isAllSelected() const { return allSelected; }
    // Starts editing (as a click would) / commits / cancels.
    void startEditing();
    void commitEditing();
    void cancelEditing();

    void takeFocus() override;
    void looseFocus() override;
    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    int32_t onKeyDown(VstKeyCode& keyCode) override;
    bool removed(CView* parent) override;
    CView* newCopy() const override { return new CTextEdit(*this); }

private:
    void endEditing(bool commit);
    void insertText(const std::string& utf8);

    std::string editText;
    std::size_t caret = 0;
    bool textEditing = false;
    bool allSelected = false;
    bool cancelPending = false;
};

} // namespace VSTGUI
