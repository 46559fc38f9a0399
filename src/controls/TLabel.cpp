#include "controls/TLabel.h"

#include "controls/TControlEditor.h"
#include "controls/TControlLook.h"

using namespace VSTGUI;
using namespace tlook;

TLabel::TLabel(const CRect& size, const std::string& text, CFontRef font, CColor colour, int alignMode,
               uint8_t dimmedAlpha)
    : CParamDisplay(size, nullptr, 0),
      text(text.empty() ? " " : text),
      labelFont(font),
      colour(colour),
      dimmedColour(colour.red, colour.green, colour.blue, dimmedAlpha),
      textAlign(alignMode == 0 ? 0 : (alignMode == 2 ? 2 : 1)) {
    setTag(NO_PARAMETER_TAG);
    // Held for the label's lifetime so that a font released early cannot leave it dangling.
    if (labelFont) labelFont->remember();
}

TLabel::~TLabel() {
    if (labelFont) labelFont->forget();
}

void TLabel::setString(const std::string& s) {
    const std::string next = s.empty() ? " " : s;
    if (next == text) return;
    text = next;
    setDirty(true);
}

void TLabel::setColor(CColor c) {
    if (c == colour) return;
    colour = c;
    dimmedColour = dimmed(c);
    setDirty(true);
}

void TLabel::setIndicator(bool on, int phase) {
    if (on == indicatorOn && phase == indicatorPhase) return;
    indicatorOn = on;
    indicatorPhase = phase;
    setDirty(true);
}

void TLabel::setBypassed(bool state) {
    if (state == bypassed) return;
    bypassed = state;
    setDirty(true);
}

void TLabel::setInvisible(bool state) {
    if (state == invisible) return;
    invisible = state;
    setDirty(true);
}

void TLabel::draw(CDrawContext* c) {
    if (invisible || !drawingEditor(this)) return;
    c->setFont(labelFont ? labelFont : kNormalFont, 0, kBoldFace);
    CColor fc = bypassed ? dimmedColour : colour;
    // The blinking indicator decides over the dimmed state.
    if (indicatorOn) fc = indicatorShows(true, indicatorPhase) ? colour : dimmedColour;
    c->setFontColor(fc);

    int n = 1;
    for (char ch : text)
        if (ch == '!') ++n;
    const CRect r = getViewSize();
    const double h = r.getHeight() / n;
    const CHoriTxtAlign align = textAlign == 0 ? kLeftText : (textAlign == 2 ? kRightText : kCenterText);
    std::size_t start = 0;
    for (int i = 0; i < n; ++i) {
        const std::size_t end = text.find('!', start);
        const std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        c->drawString(line.c_str(), CRect(r.left, r.top + i * h, r.right, r.top + (i + 1) * h), align, true);
        start = end == std::string::npos ? text.size() : end + 1;
    }
}
