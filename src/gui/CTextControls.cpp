#include "gui/CTextControls.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"

namespace VSTGUI {

// ---- CParamDisplay -------------------------------------------------------------------------

CParamDisplay::CParamDisplay(const CRect& size, CBitmap* background, int32_t style)
    : CControl(size, nullptr, -1, background), font(kNormalFont), style(style) {
    font->remember();
}

CParamDisplay::CParamDisplay(const CParamDisplay& other)
    : CControl(other),
      font(other.font),
      fontColor(other.fontColor),
      backColor(other.backColor),
      frameColor(other.frameColor),
      shadowColor(other.shadowColor),
      horiAlign(other.horiAlign),
      textInset(other.textInset),
      style(other.style),
      precision(other.precision),
      antialias(other.antialias),
      valueToString(other.valueToString) {
    if (font) font->remember();
}

CParamDisplay::~CParamDisplay() {
    if (font) font->forget();
}

void CParamDisplay::setFont(CFontRef newFont) {
    if (!newFont || newFont == font) return;
    newFont->remember();
    if (font) font->forget();
    font = newFont;
    setDirty(true);
}

void CParamDisplay::setFontColor(const CColor& c) {
    if (c == fontColor) return;
    fontColor = c;
    setDirty(true);
}

void CParamDisplay::setBackColor(const CColor& c) {
    if (c == backColor) return;
    backColor = c;
    setDirty(true);
}

void CParamDisplay::setFrameColor(const CColor& c) {
    if (c == frameColor) return;
    frameColor = c;
    setDirty(true);
}

void CParamDisplay::setShadowColor(const CColor& c) {
    if (c == shadowColor) return;
    shadowColor = c;
    setDirty(true);
}

void CParamDisplay::setHoriAlign(CHoriTxtAlign a) {
    if (a == horiAlign) return;
    horiAlign = a;
    setDirty(true);
}

void CParamDisplay::setTextInset(const CPoint& inset) {
    if (inset == textInset) return;
    textInset = inset;
    setDirty(true);
}

void CParamDisplay::setStyle(int32_t s) {
    if (s == style) return;
    style = s;
    setDirty(true);
}

void CParamDisplay::setPrecision(uint8_t p) {
    if (p > 16) p = 16;
    if (p == precision) return;
    precision = p;
    setDirty(true);
}

std::string CParamDisplay::getValueText() const {
    char text[256];
    text[0] = 0;
    if (valueToString) {
        if (valueToString(getValue(), text, const_cast<CParamDisplay*>(this))) {
            text[sizeof text - 1] = 0;
            return text;
        }
    }
    float v = getValue();
    if (!std::isfinite(v)) v = 0;
    const auto res = std::to_chars(text, text + sizeof text - 1, v, std::chars_format::fixed, precision);
    *res.ptr = 0;
    return text;
}

CRect CParamDisplay::getTextRect() const {
    CRect r = getViewSize();
    r.inset(textInset.x, textInset.y);
    return r;
}

void CParamDisplay::drawBack(CDrawContext* context, CBitmap* newBack) {
    CBitmap* bmp = newBack ? newBack : getDrawBackground();
    if (bmp) {
        bmp->draw(context, getViewSize(), backOffset);
    } else if (!getTransparency()) {
        context->setFillColor(backColor);
        context->drawRect(getViewSize(), kDrawFilled);
        if (!(style & (k3DIn | k3DOut | kNoFrame))) {
            context->setLineWidth(1);
            context->setFrameColor(frameColor);
            context->drawRect(getViewSize(), kDrawStroked);
        }
    }
    if (style & (k3DIn | k3DOut)) {
        const CRect& r = getViewSize();
        context->setLineWidth(1);
        context->setFrameColor((style & k3DIn) ? kBlackCColor : kWhiteCColor);
        context->drawLine(CPoint(r.left, r.bottom - 1), CPoint(r.left, r.top));
        context->drawLine(CPoint(r.left, r.top), CPoint(r.right - 1, r.top));
        context->setFrameColor((style & k3DIn) ? kWhiteCColor : kBlackCColor);
        context->drawLine(CPoint(r.right - 1, r.top), CPoint(r.right - 1, r.bottom - 1));
        context->drawLine(CPoint(r.right - 1, r.bottom - 1), CPoint(r.left, r.bottom - 1));
    }
}

void CParamDisplay::drawPlatformText(CDrawContext* context, UTF8StringPtr string) {
    if ((style & kNoTextStyle) || !string || !*string) return;
    context->setFont(font);
    const CRect r = getTextRect();
    if (style & kShadowText) {
        CRect s = r;
        s.offset(1, 1);
        context->setFontColor(shadowColor);
        context->drawString(string, s, horiAlign, antialias);
    }
    context->setFontColor(fontColor);
    context->drawString(string, r, horiAlign, antialias);
}

void CParamDisplay::draw(CDrawContext* context) {
    if (style & kNoDrawStyle) return;
    drawBack(context);
    drawPlatformText(context, getValueText().c_str());
}

// ---- CTextLabel ----------------------------------------------------------------------------

CTextLabel::CTextLabel(const CRect& size, UTF8StringPtr txt, CBitmap* background, const int32_t style)
    : CParamDisplay(size, background, style), text(txt) {}

void CTextLabel::setText(const UTF8String& txt) {
    if (txt == text) return;
    text = txt;
    setDirty(true);
}

void CTextLabel::draw(CDrawContext* context) {
    if (style & kNoDrawStyle) return;
    drawBack(context);
    drawPlatformText(context, text.data());
}

// ---- CTextEdit -----------------------------------------------------------------------------

namespace {

std::string utf8Of(uint32_t cp) {
    std::string s;
    if (cp < 0x80) {
        s += static_cast<char>(cp);
    } else if (cp < 0x800) {
        s += static_cast<char>(0xC0 | (cp >> 6));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        if (cp >= 0xD800 && cp <= 0xDFFF) return s;
        s += static_cast<char>(0xE0 | (cp >> 12));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x110000) {
        s += static_cast<char>(0xF0 | (cp >> 18));
        s += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return s;
}

bool isContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

std::size_t prevChar(const std::string& s, std::size_t pos) {
    if (pos == 0) return 0;
    --pos;
    while (pos > 0 && isContinuation(s[pos])) --pos;
    return pos;
}

std::size_t nextChar(const std::string& s, std::size_t pos) {
    if (pos >= s.size()) return s.size();
    ++pos;
    while (pos < s.size() && isContinuation(s[pos])) ++pos;
    return pos;
}

} // namespace

CTextEdit::CTextEdit(const CRect& size, IControlListener* listener, int32_t tag, UTF8StringPtr txt,
                     CBitmap* background, const int32_t style)
    : CTextLabel(size, txt, background, style) {
    setListener(listener);
    setTag(tag);
    setWantsFocus(true);
}

CTextEdit::CTextEdit(const CTextEdit& other) : CTextLabel(other) {}

void CTextEdit::setText(const UTF8String& txt) { CTextLabel::setText(txt); }

void CTextEdit::startEditing() {
    if (textEditing) return;
    textEditing = true;
    editText = text.getString();
    caret = editText.size();
    allSelected = true;
    invalid();
}

void CTextEdit::endEditing(bool commit) {
    if (!textEditing) return;
    textEditing = false;
    allSelected = false;
    invalid();
    if (commit && editText != text.getString()) {
        CBaseObjectGuard guard(this);
        CTextLabel::setText(editText);
        beginEdit();
        valueChanged();
        endEdit();
    }
}

void CTextEdit::commitEditing() {
    if (!textEditing) return;
    CFrame* frame = getFrame();
    if (frame && frame->getFocusView() == this)
        frame->setFocusView(nullptr); // commits through looseFocus
    else
        endEditing(true);
}

void CTextEdit::cancelEditing() {
    if (!textEditing) return;
    cancelPending = true;
    CFrame* frame = getFrame();
    if (frame && frame->getFocusView() == this) frame->setFocusView(nullptr);
    endEditing(false);
    cancelPending = false;
}

void CTextEdit::takeFocus() { startEditing(); }

void CTextEdit::looseFocus() { endEditing(!cancelPending); }

bool CTextEdit::removed(CView* parent) {
    endEditing(false);
    return CTextLabel::removed(parent);
}

void CTextEdit::insertText(const std::string& utf8) {
    if (allSelected) {
        editText.clear();
        caret = 0;
        allSelected = false;
    }
    editText.insert(caret, utf8);
    caret += utf8.size();
}

CMouseEventResult CTextEdit::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!(buttons & kLButton)) return kMouseEventNotHandled;
    if (listenerTookModifierClick(buttons)) return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    if (!textEditing) {
        CFrame* frame = getFrame();
        if (frame)
            frame->setFocusView(this);
        else
            startEditing();
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    (void)where;
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

int32_t CTextEdit::onKeyDown(VstKeyCode& key) {
    if (!textEditing) return -1;
    switch (key.virt) {
    case VKEY_RETURN:
    case VKEY_ENTER:
    case VKEY_TAB:
        commitEditing();
        return 1;
    case VKEY_ESCAPE:
        cancelEditing();
        return 1;
    case VKEY_BACK:
        if (allSelected) {
            editText.clear();
            caret = 0;
            allSelected = false;
        } else if (caret > 0) {
            const std::size_t p = prevChar(editText, caret);
            editText.erase(p, caret - p);
            caret = p;
        }
        invalid();
        return 1;
    case VKEY_DELETE:
        if (allSelected) {
            editText.clear();
            caret = 0;
            allSelected = false;
        } else if (caret < editText.size()) {
            editText.erase(caret, nextChar(editText, caret) - caret);
        }
        invalid();
        return 1;
    case VKEY_LEFT:
        caret = allSelected ? 0 : prevChar(editText, caret);
        allSelected = false;
        invalid();
        return 1;
    case VKEY_RIGHT:
        caret = allSelected ? editText.size() : nextChar(editText, caret);
        allSelected = false;
        invalid();
        return 1;
    case VKEY_HOME:
        caret = 0;
        allSelected = false;
        invalid();
        return 1;
    case VKEY_END:
        caret = editText.size();
        allSelected = false;
        invalid();
        return 1;
    default:
        break;
    }
    // Shortcuts (Ctrl or Super held) are not text.
    if (key.modifier & (MODIFIER_CONTROL | MODIFIER_COMMAND)) return -1;
    if (key.virt == VKEY_SPACE && key.character == 0) key.character = ' ';
    if (key.character >= 0x20 && key.character != 0x7F) {
        insertText(utf8Of(static_cast<uint32_t>(key.character)));
        invalid();
        return 1;
    }
    return -1;
}

void CTextEdit::draw(CDrawContext* context) {
    if (!textEditing) {
        CTextLabel::draw(context);
        return;
    }
    drawBack(context);
    context->setFont(font);
    const CRect r = getTextRect();
    const char* s = editText.c_str();
    const double width = context->getStringWidth(s);
    double x = r.left;
    if (horiAlign == kRightText)
        x = r.right - width;
    else if (horiAlign == kCenterText)
        x = r.left + (r.getWidth() - width) / 2;
    x = std::floor(x + 0.5);
    if (allSelected && !editText.empty()) {
        const double cap = context->getEffectiveFont().getMetrics().capHeight;
        const double mid = r.top + r.getHeight() / 2;
        CColor sel = fontColor;
        sel.alpha = 90;
        context->setFillColor(sel);
        context->drawRect(CRect(x, std::floor(mid - cap), x + std::ceil(width), std::ceil(mid + cap)), kDrawFilled);
    }
    context->setFontColor(fontColor);
    context->drawString(s, r, horiAlign, antialias);
    if (!allSelected) {
        const double cx = x + context->getStringWidth(editText.substr(0, caret).c_str());
        const double cap = context->getEffectiveFont().getMetrics().capHeight;
        const double mid = r.top + r.getHeight() / 2;
        context->setFrameColor(fontColor);
        context->setLineWidth(1);
        context->drawLine(CPoint(std::floor(cx + 0.5), std::floor(mid - cap)), CPoint(std::floor(cx + 0.5), std::ceil(mid + cap) - 1));
    }
}

} // namespace VSTGUI
