#include "gui/CDrawContext.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>

#include "gui/CBitmap.h"

namespace VSTGUI {

const CLineStyle kLineSolid;
const CLineStyle kLineOnOffDash(CLineStyle::kLineCapButt, CLineStyle::kLineJoinMiter, 0., {1., 1.});

namespace {

constexpr double kPi = 3.14159265358979323846;

double snap(double v) { return std::floor(v + 0.5); }

TextObserver* gTextObserver = nullptr;

bool oddWidth(double w) {
    const double r = snap(w);
    return std::fabs(w - r) < 1e-9 && (static_cast<long long>(r) % 2) != 0;
}

} // namespace

CDrawContext::CDrawContext(cairo_surface_t* surface, const CRect& bounds) {
    cr = cairo_create(surface);
    CRect area = bounds;
    if (area.isEmpty() && cairo_surface_get_type(surface) == CAIRO_SURFACE_TYPE_IMAGE)
        area = CRect(0, 0, cairo_image_surface_get_width(surface), cairo_image_surface_get_height(surface));
    state.levelClip = area;
    state.clip = area;
    cairo_rectangle(cr, area.left, area.top, area.getWidth(), area.getHeight());
    cairo_clip(cr);
}

CDrawContext::~CDrawContext() {
    if (cr) cairo_destroy(cr);
}

void CDrawContext::resetAttributes() {
    state.frameColor = kWhiteCColor;
    state.fillColor = kBlackCColor;
    state.fontColor = kWhiteCColor;
    state.fontRef = kSystemFont;
    state.font = CFontDesc(kSystemFont->getName(), kSystemFont->getSize(), kSystemFont->getStyle());
    state.lineWidth = 1;
    state.lineStyle = kLineSolid;
    state.drawMode = kAliasing;
    state.pen = CPoint();
}

void CDrawContext::setFont(const CFontRef font, const CCoord& size, const int32_t& style) {
    if (!font) return;
    state.fontRef = font;
    state.font = CFontDesc(font->getName(), size > 0 ? size : font->getSize(),
                           style != -1 ? style : font->getStyle());
}

void CDrawContext::applyClip() {
    cairo_reset_clip(cr);
    const CRect& c = state.clip;
    cairo_rectangle(cr, c.left, c.top, c.getWidth(), c.getHeight());
    cairo_clip(cr);
}

void CDrawContext::setClipRect(const CRect& clip) {
    CRect c = clip;
    c.normalize();
    c.bound(state.levelClip);
    state.clip = c;
    applyClip();
}

void CDrawContext::resetClipRect() { setClipRect(state.levelClip); }

void CDrawContext::saveGlobalState() {
    stack.push_back(state);
    cairo_save(cr);
}

void CDrawContext::restoreGlobalState() {
    // A view cannot restore past the state it started drawing with.
    const std::size_t floor = levels.empty() ? 0 : levels.back();
    if (stack.size() <= floor) return;
    cairo_restore(cr);
    state = stack.back();
    stack.pop_back();
}

void CDrawContext::enterView(const CPoint& offset, const CRect& clip, float alpha) {
    stack.push_back(state);
    cairo_save(cr);
    levels.push_back(stack.size());
    cairo_translate(cr, offset.x, offset.y);
    state.origin.offset(offset);
    CRect parent = state.clip;
    parent.offsetInverse(offset);
    CRect c = clip;
    c.bound(parent);
    state.levelClip = c;
    state.clip = c;
    cairo_rectangle(cr, c.left, c.top, c.getWidth(), c.getHeight());
    cairo_clip(cr);
    state.globalAlpha *= alpha;
    resetAttributes();
}

void CDrawContext::leaveView() {
    if (levels.empty()) return;
    const std::size_t depth = levels.back();
    levels.pop_back();
    // Unbalanced saves of the view are undone here.
    while (stack.size() > depth) {
        cairo_restore(cr);
        stack.pop_back();
    }
    if (stack.empty()) return;
    cairo_restore(cr);
    state = stack.back();
    stack.pop_back();
}

void CDrawContext::setSourceColor(const CColor& color) {
    cairo_set_source_rgba(cr, color.red / 255.0, color.green / 255.0, color.blue / 255.0,
                          color.alpha / 255.0 * state.globalAlpha);
}

void CDrawContext::applyAntialias() {
    cairo_set_antialias(cr, aliased() ? CAIRO_ANTIALIAS_NONE : CAIRO_ANTIALIAS_DEFAULT);
}

void CDrawContext::applyStroke() {
    cairo_set_line_width(cr, state.lineWidth);
    cairo_line_cap_t cap = CAIRO_LINE_CAP_BUTT;
    switch (state.lineStyle.getLineCap()) {
    case CLineStyle::kLineCapButt:
        // Aliased solid lines include both end pixels (square caps would close the gaps of
        // a dashed one).
        cap = aliased() && state.lineStyle.getDashLengths().empty() ? CAIRO_LINE_CAP_SQUARE : CAIRO_LINE_CAP_BUTT;
        break;
    case CLineStyle::kLineCapRound:
        cap = CAIRO_LINE_CAP_ROUND;
        break;
    case CLineStyle::kLineCapSquare:
        cap = CAIRO_LINE_CAP_SQUARE;
        break;
    }
    cairo_set_line_cap(cr, cap);
    cairo_line_join_t join = CAIRO_LINE_JOIN_MITER;
    if (state.lineStyle.getLineJoin() == CLineStyle::kLineJoinRound) join = CAIRO_LINE_JOIN_ROUND;
    if (state.lineStyle.getLineJoin() == CLineStyle::kLineJoinBevel) join = CAIRO_LINE_JOIN_BEVEL;
    cairo_set_line_join(cr, join);
    const auto& d = state.lineStyle.getDashLengths();
    if (d.empty()) {
        cairo_set_dash(cr, nullptr, 0, 0);
    } else {
        std::vector<double> dashes;
        for (CCoord v : d) dashes.push_back(v * state.lineWidth);
        cairo_set_dash(cr, dashes.data(), static_cast<int>(dashes.size()),
                       state.lineStyle.getDashPhase() * state.lineWidth);
    }
    applyAntialias();
    setSourceColor(state.frameColor);
}

CPoint CDrawContext::strokePoint(const CPoint& p) const {
    if (!aliased()) return p;
    const double half = oddWidth(state.lineWidth) ? 0.5 : 0.0;
    return CPoint(snap(p.x) + half, snap(p.y) + half);
}

CRect CDrawContext::fillRect(const CRect& r) const {
    CRect out = r;
    out.normalize();
    if (aliased()) out.makeIntegral();
    return out;
}

void CDrawContext::drawLine(const CPoint& start, const CPoint& end) {
    const CPoint a = strokePoint(start);
    const CPoint b = strokePoint(end);
    cairo_new_path(cr);
    cairo_move_to(cr, a.x, a.y);
    cairo_line_to(cr, b.x, b.y);
    applyStroke();
    cairo_stroke(cr);
    state.pen = end;
}

void CDrawContext::drawLines(const LineList& lines) {
    for (const LinePair& l : lines) drawLine(l.first, l.second);
}

void CDrawContext::lineTo(const CPoint& point) { drawLine(state.pen, point); }

void CDrawContext::drawPolygon(const PointList& points, const CDrawStyle drawStyle) {
    if (points.size() < 2) return;
    const bool fill = drawStyle == kDrawFilled || drawStyle == kDrawFilledAndStroked;
    const bool stroke = drawStyle == kDrawStroked || drawStyle == kDrawFilledAndStroked;
    if (fill) {
        cairo_new_path(cr);
        for (std::size_t i = 0; i < points.size(); ++i) {
            const CPoint p = aliased() ? CPoint(snap(points[i].x), snap(points[i].y)) : points[i];
            if (i == 0)
                cairo_move_to(cr, p.x, p.y);
            else
                cairo_line_to(cr, p.x, p.y);
        }
        cairo_close_path(cr);
        applyAntialias();
        setSourceColor(state.fillColor);
        cairo_fill(cr);
    }
    if (stroke) {
        cairo_new_path(cr);
        for (std::size_t i = 0; i < points.size(); ++i) {
            const CPoint p = strokePoint(points[i]);
            if (i == 0)
                cairo_move_to(cr, p.x, p.y);
            else
                cairo_line_to(cr, p.x, p.y);
        }
        if (fill) cairo_close_path(cr);
        applyStroke();
        cairo_stroke(cr);
    }
}

void CDrawContext::ellipsePath(const CRect& r) {
    const double w = r.getWidth();
    const double h = r.getHeight();
    cairo_new_path(cr);
    if (w <= 0 || h <= 0) return;
    cairo_save(cr);
    cairo_translate(cr, r.left + w / 2, r.top + h / 2);
    cairo_scale(cr, w / 2, h / 2);
    cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
    cairo_restore(cr);
    cairo_close_path(cr);
}

void CDrawContext::strokeOrFill(const CDrawStyle drawStyle, const CRect& rect, bool ellipse) {
    const CRect r = fillRect(rect);
    if (r.isEmpty()) return;
    if (drawStyle == kDrawFilled || drawStyle == kDrawFilledAndStroked) {
        if (ellipse)
            ellipsePath(r);
        else {
            cairo_new_path(cr);
            cairo_rectangle(cr, r.left, r.top, r.getWidth(), r.getHeight());
        }
        applyAntialias();
        setSourceColor(state.fillColor);
        cairo_fill(cr);
    }
    if (drawStyle == kDrawStroked || drawStyle == kDrawFilledAndStroked) {
        // The stroke lies inside the rectangle.
        CRect s = r;
        const double half = state.lineWidth / 2;
        s.inset(half, half);
        if (s.getWidth() < 0 || s.getHeight() < 0) return;
        if (ellipse) {
            ellipsePath(s);
        } else {
            cairo_new_path(cr);
            cairo_rectangle(cr, s.left, s.top, s.getWidth(), s.getHeight());
        }
        applyStroke();
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
        cairo_stroke(cr);
    }
}

void CDrawContext::drawRect(const CRect& rect, const CDrawStyle drawStyle) {
    strokeOrFill(drawStyle, rect, false);
}

void CDrawContext::drawEllipse(const CRect& rect, const CDrawStyle drawStyle) {
    strokeOrFill(drawStyle, rect, true);
}

void CDrawContext::drawArc(const CRect& rect, const float startAngle, const float endAngle,
                           const CDrawStyle drawStyle) {
    CRect r = fillRect(rect);
    const bool fill = drawStyle == kDrawFilled || drawStyle == kDrawFilledAndStroked;
    const bool stroke = drawStyle == kDrawStroked || drawStyle == kDrawFilledAndStroked;
    const double a0 = startAngle * kPi / 180.0;
    const double a1 = endAngle * kPi / 180.0;
    auto arcPath = [&](const CRect& e, bool pie) {
        cairo_new_path(cr);
        const double w = e.getWidth();
        const double h = e.getHeight();
        if (w <= 0 || h <= 0) return false;
        cairo_save(cr);
        cairo_translate(cr, e.left + w / 2, e.top + h / 2);
        cairo_scale(cr, w / 2, h / 2);
        if (pie) cairo_move_to(cr, 0, 0);
        cairo_arc(cr, 0, 0, 1, a0, a1);
        if (pie) cairo_close_path(cr);
        cairo_restore(cr);
        return true;
    };
    if (fill && arcPath(r, true)) {
        applyAntialias();
        setSourceColor(state.fillColor);
        cairo_fill(cr);
    }
    if (stroke) {
        CRect s = r;
        s.inset(state.lineWidth / 2, state.lineWidth / 2);
        if (arcPath(s, false)) {
            applyStroke();
            cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
            cairo_stroke(cr);
        }
    }
}

void CDrawContext::drawPoint(const CPoint& point, const CColor& color) {
    cairo_new_path(cr);
    cairo_rectangle(cr, snap(point.x), snap(point.y), 1, 1);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    setSourceColor(color);
    cairo_fill(cr);
}

void CDrawContext::clearRect(const CRect& rect) {
    const CRect r = fillRect(rect);
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_new_path(cr);
    cairo_rectangle(cr, r.left, r.top, r.getWidth(), r.getHeight());
    cairo_fill(cr);
    cairo_restore(cr);
}

void CDrawContext::drawBitmap(CBitmap* bitmap, const CRect& dest, const CPoint& offset, float alpha) {
    if (!bitmap || !bitmap->getSurface()) return;
    CRect r = dest;
    r.normalize();
    r.makeIntegral();
    if (r.isEmpty()) return;
    const double ox = snap(offset.x);
    const double oy = snap(offset.y);
    cairo_save(cr);
    cairo_new_path(cr);
    cairo_rectangle(cr, r.left, r.top, r.getWidth(), r.getHeight());
    cairo_clip(cr);
    cairo_set_source_surface(cr, bitmap->getSurface(), r.left - ox, r.top - oy);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    const double a = (alpha < 0 ? 0 : (alpha > 1 ? 1 : alpha)) * state.globalAlpha;
    cairo_paint_with_alpha(cr, a);
    cairo_restore(cr);
}

CCoord CDrawContext::getStringWidth(UTF8StringPtr string) {
    if (!string || !*string) return 0;
    cairo_scaled_font_t* font = state.font.getScaledFont(0, true);
    if (!font) return 0;
    cairo_text_extents_t te;
    cairo_scaled_font_text_extents(font, string, &te);
    return te.x_advance;
}

void CDrawContext::drawString(UTF8StringPtr string, const CRect& rect, const CHoriTxtAlign hAlign,
                              bool antialias) {
    if (!string || !*string) return;
    cairo_scaled_font_t* font = state.font.getScaledFont(0, antialias);
    if (!font) return;
    cairo_text_extents_t te;
    cairo_scaled_font_text_extents(font, string, &te);
    // A text wider than its rectangle is drawn smaller until its ink fits: whole and a little
    // smaller reads better than cut off.
    const double fullSize = state.font.getSize() > 0 ? state.font.getSize() : 12.0;
    double size = fullSize;
    for (int k = 0; k < 64 && rect.getWidth() > 0 && te.width > rect.getWidth() && size > 1; ++k) {
        size = std::max(1.0, std::floor((size * rect.getWidth() / te.width) * 4) / 4);
        if (k > 0) size -= 0.25;
        cairo_scaled_font_t* smaller = state.font.getScaledFont(size, antialias);
        if (!smaller) break;
        font = smaller;
        cairo_scaled_font_text_extents(font, string, &te);
    }
    const CFontDesc::Metrics m = state.font.getMetrics(size);
    const double width = te.x_advance;
    const double baseline = rect.top + rect.getHeight() / 2 + m.capHeight / 2;
    double x = rect.left;
    if (hAlign == kRightText)
        x = rect.right - width;
    else if (hAlign == kCenterText)
        x = rect.left + (rect.getWidth() - width) / 2;
    // Bold glyphs reach a little past their advance: a text that fits keeps all its ink in the
    // rectangle rather than losing a sliver at the edge it is aligned to.
    if (te.width <= rect.getWidth()) {
        if (snap(x) + te.x_bearing + te.width > rect.right) x = std::floor(rect.right - te.x_bearing - te.width);
        if (snap(x) + te.x_bearing < rect.left) x = std::ceil(rect.left - te.x_bearing);
    }
    CRect clip = rect;
    clip.normalize();
    clip.makeIntegral();
    clip.bound(state.clip);
    if (clip.isEmpty()) return;
    cairo_save(cr);
    cairo_new_path(cr);
    cairo_rectangle(cr, clip.left, clip.top, clip.getWidth(), clip.getHeight());
    cairo_clip(cr);
    if (observeText(string, rect, size / fullSize,
                    CRect(snap(x) + te.x_bearing, snap(baseline) + te.y_bearing,
                          snap(x) + te.x_bearing + te.width, snap(baseline) + te.y_bearing + te.height),
                    clip)) {
        cairo_set_scaled_font(cr, font);
        setSourceColor(state.fontColor);
        cairo_move_to(cr, snap(x), snap(baseline));
        cairo_show_text(cr, string);
    }
    cairo_new_path(cr);
    cairo_restore(cr);
}

void CDrawContext::drawString(UTF8StringPtr string, const CPoint& point, bool antialias) {
    if (!string || !*string) return;
    cairo_scaled_font_t* font = state.font.getScaledFont(0, antialias);
    if (!font) return;
    cairo_text_extents_t te;
    cairo_scaled_font_text_extents(font, string, &te);
    const double x = snap(point.x), y = snap(point.y);
    const CRect ink(x + te.x_bearing, y + te.y_bearing, x + te.x_bearing + te.width, y + te.y_bearing + te.height);
    if (!observeText(string, ink, 1, ink, state.clip)) return;
    cairo_save(cr);
    cairo_set_scaled_font(cr, font);
    setSourceColor(state.fontColor);
    cairo_move_to(cr, x, y);
    cairo_show_text(cr, string);
    cairo_new_path(cr);
    cairo_restore(cr);
}

void CDrawContext::setTextObserver(TextObserver* observer) { gTextObserver = observer; }

bool CDrawContext::observeText(UTF8StringPtr string, const CRect& box, double scale, const CRect& ink,
                               const CRect& clip) {
    if (!gTextObserver) return true;
    const CPoint o = state.origin;
    DrawnText t;
    t.text = string;
    t.box = box;
    t.ink = ink;
    t.clip = clip;
    t.box.offset(o);
    t.ink.offset(o);
    t.clip.offset(o);
    t.scale = scale;
    t.size = scale * (state.font.getSize() > 0 ? state.font.getSize() : 12.0);
    t.colour = state.fontColor;
    t.colour.alpha = static_cast<uint8_t>(std::lround(state.fontColor.alpha * state.globalAlpha));
    return gTextObserver->onText(t);
}

} // namespace VSTGUI
