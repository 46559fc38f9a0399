// Drawing on cairo: colours, lines, rectangles, ellipses, arcs, polygons, bitmaps and text.
//
// Pixel rules:
// - Aliased mode (kAliasing, the default) snaps coordinates to whole pixels and draws without
//   anti-aliasing. A filled rectangle covers exactly [left, right) x [top, bottom). A stroked
//   rectangle or ellipse lies inside its rectangle: with line width 1 a rectangle frames the
//   pixels of its outermost rows and columns. A line of odd width runs through the centres of
//   the pixels its end points name, both end points included.
// - Anti-aliased mode (kAntiAliasing) uses the coordinates as given, with smooth edges.
// - Angles of drawArc are in degrees, 0 at three o'clock, growing clockwise on the screen.
// - drawPolygon with kDrawFilled closes the shape; stroked it is an open polyline.
// - drawString(text, rect, align) centres the text vertically in the rectangle (baseline at
//   the middle plus half the capital height), aligns it horizontally, and clips it to the
//   rectangle.
// - The global alpha multiplies the opacity of everything drawn.
//
// Every view draws in its parent's coordinates (the coordinates of its own view rectangle),
// clipped to its rectangle; a view starts with the default state: frame colour white, fill
// colour black, font colour white, kSystemFont, line width 1, solid, aliased.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "gui/CFontDesc.h"
#include "gui/GuiTypes.h"

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

namespace VSTGUI {

class CBitmap;

enum CDrawStyle { kDrawStroked = 0, kDrawFilled, kDrawFilledAndStroked };

enum CDrawModeFlags : uint32_t { kAliasing = 0, kAntiAliasing = 1, kNonIntegralMode = 0xF0000000 };

class CDrawMode {
public:
    constexpr CDrawMode(uint32_t mode = kAliasing) : mode(mode) {}
    uint32_t modeIgnoringIntegralMode() const { return mode & ~kNonIntegralMode; }
    bool integralMode() const { return (mode & kNonIntegralMode) == 0; }
    bool isAntiAliased() const { return modeIgnoringIntegralMode() == kAntiAliasing; }
    uint32_t operator()() const { return mode; }
    bool operator==(const CDrawMode& m) const { return mode == m.mode; }
    bool operator!=(const CDrawMode& m) const { return mode != m.mode; }

private:
    uint32_t mode;
};

class CLineStyle {
public:
    enum LineCap { kLineCapButt = 0, kLineCapRound, kLineCapSquare };
    enum LineJoin { kLineJoinMiter = 0, kLineJoinRound, kLineJoinBevel };
    using CoordVector = std::vector<CCoord>;

    CLineStyle(LineCap cap = kLineCapButt, LineJoin join = kLineJoinMiter, CCoord dashPhase = 0.,
               const CoordVector& dashLengths = CoordVector())
        : cap(cap), join(join), dashPhase(dashPhase), dashLengths(dashLengths) {}

    LineCap getLineCap() const { return cap; }
    LineJoin getLineJoin() const { return join; }
    CCoord getDashPhase() const { return dashPhase; }
    // Dash and gap lengths in units of the line width.
    const CoordVector& getDashLengths() const { return dashLengths; }
    bool operator==(const CLineStyle& s) const {
        return cap == s.cap && join == s.join && dashPhase == s.dashPhase && dashLengths == s.dashLengths;
    }
    bool operator!=(const CLineStyle& s) const { return !(*this == s); }

private:
    LineCap cap;
    LineJoin join;
    CCoord dashPhase;
    CoordVector dashLengths;
};

extern const CLineStyle kLineSolid;
extern const CLineStyle kLineOnOffDash;

using PointList = std::vector<CPoint>;
using LinePair = std::pair<CPoint, CPoint>;
using LineList = std::vector<LinePair>;

// One text as a context draws it, in surface coordinates: the box it was laid out in, where
// its glyphs' ink lies, the clip it was drawn under, its colour (with the global alpha) and
// the size it was drawn at as a share of its font's size (below 1 when fitted to its box).
struct DrawnText {
    std::string text;
    CRect box;
    double scale = 1;
    double size = 0;  // pixels
    CRect ink;
    CRect clip;
    CColor colour;
};

// Sees every text any context draws (for tests that check what a page shows); answering false
// leaves the text unpainted. One observer for the process, set and cleared on the UI thread.
class TextObserver {
public:
    virtual ~TextObserver() = default;
    virtual bool onText(const DrawnText& text) = 0;
};

class CDrawContext {
public:
    // Draws on a cairo surface (an image surface, or a window's surface); the drawable area is
    // the surface's extent, or `bounds` when given.
    explicit CDrawContext(cairo_surface_t* surface, const CRect& bounds = CRect());
    ~CDrawContext();

    CDrawContext(const CDrawContext&) = delete;
    CDrawContext& operator=(const CDrawContext&) = delete;

    // ---- State ----
    void setLineStyle(const CLineStyle& style) { state.lineStyle = style; }
    const CLineStyle& getLineStyle() const { return state.lineStyle; }
    void setLineWidth(CCoord width) { state.lineWidth = width > 0 ? width : 1; }
    CCoord getLineWidth() const { return state.lineWidth; }
    void setDrawMode(CDrawMode mode) { state.drawMode = mode; }
    CDrawMode getDrawMode() const { return state.drawMode; }
    // The clip is the given rectangle within the area the drawing view may draw in.
    void setClipRect(const CRect& clip);
    CRect& getClipRect(CRect& clip) const {
        clip = state.clip;
        return clip;
    }
    void resetClipRect();
    void setFillColor(const CColor& color) { state.fillColor = color; }
    CColor getFillColor() const { return state.fillColor; }
    void setFrameColor(const CColor& color) { state.frameColor = color; }
    CColor getFrameColor() const { return state.frameColor; }
    void setFontColor(const CColor& color) { state.fontColor = color; }
    CColor getFontColor() const { return state.fontColor; }
    // Sets the font; a size above 0 and a style other than -1 replace the font's own.
    void setFont(const CFontRef font, const CCoord& size = 0, const int32_t& style = -1);
    CFontRef getFont() const { return state.fontRef; }
    // The effective font: family of the font set, with the size and style in use.
    const CFontDesc& getEffectiveFont() const { return state.font; }
    void setGlobalAlpha(float alpha) { state.globalAlpha = alpha < 0 ? 0 : (alpha > 1 ? 1 : alpha); }
    float getGlobalAlpha() const { return state.globalAlpha; }
    // Saves and restores all of the above (and the clip); calls must be balanced within a
    // view's draw.
    void saveGlobalState();
    void restoreGlobalState();

    // ---- Drawing ----
    void drawLine(const CPoint& start, const CPoint& end);
    void drawLine(const LinePair& line) { drawLine(line.first, line.second); }
    void drawLines(const LineList& lines);
    // A pen for consecutive lines (lineTo draws from the pen to the point and moves it).
    void moveTo(const CPoint& point) { state.pen = point; }
    void lineTo(const CPoint& point);
    CPoint getPenPosition() const { return state.pen; }
    void drawPolygon(const PointList& points, const CDrawStyle drawStyle = kDrawStroked);
    void drawRect(const CRect& rect, const CDrawStyle drawStyle = kDrawStroked);
    void drawArc(const CRect& rect, const float startAngle, const float endAngle,
                 const CDrawStyle drawStyle = kDrawStroked);
    void drawEllipse(const CRect& rect, const CDrawStyle drawStyle = kDrawStroked);
    void drawPoint(const CPoint& point, const CColor& color);
    // Makes the rectangle fully transparent.
    void clearRect(const CRect& rect);
    void drawBitmap(CBitmap* bitmap, const CRect& dest, const CPoint& offset = CPoint(0, 0),
                    float alpha = 1.f);

    CCoord getStringWidth(UTF8StringPtr string);
    void drawString(UTF8StringPtr string, const CRect& rect, const CHoriTxtAlign hAlign = kCenterText,
                    bool antialias = true);
    // Draws with the baseline starting at the point.
    void drawString(UTF8StringPtr string, const CPoint& point, bool antialias = true);

    // ---- For the view tree ----
    // Enters a child's coordinates: the origin moves by `offset` and drawing is clipped to
    // `clip` (in the new coordinates) within the current area; the drawing state is reset to
    // the defaults, the global alpha is multiplied by `alpha`. Balanced by leaveView().
    void enterView(const CPoint& offset, const CRect& clip, float alpha = 1.f);
    void leaveView();
    // Where the current coordinates' origin lies on the surface.
    CPoint getOrigin() const { return state.origin; }
    // Whether drawing a view clears its dirty state (false for snapshots of a frame that a
    // window shows too).
    void setClearsDirtyState(bool clears) { clearsDirty = clears; }
    bool getClearsDirtyState() const { return clearsDirty; }

    cairo_t* getCairo() const { return cr; }

    static void setTextObserver(TextObserver* observer);

private:
    struct State {
        CColor frameColor = kWhiteCColor;
        CColor fillColor = kBlackCColor;
        CColor fontColor = kWhiteCColor;
        CFontRef fontRef = kSystemFont;
        CFontDesc font;
        CCoord lineWidth = 1;
        CLineStyle lineStyle;
        CDrawMode drawMode = kAliasing;
        float globalAlpha = 1.f;
        CRect levelClip; // what the current view may draw in (current coordinates)
        CRect clip;      // levelClip narrowed by setClipRect
        CPoint origin;
        CPoint pen;
    };

    void resetAttributes();
    void applyClip();
    void setSourceColor(const CColor& color);
    void applyStroke();
    void applyAntialias();
    bool aliased() const { return !state.drawMode.isAntiAliased(); }
    CPoint strokePoint(const CPoint& p) const;
    CRect fillRect(const CRect& r) const;
    // Tells the observer, if any, of a text about to be drawn (rectangles in current
    // coordinates); false when it is not to be painted.
    bool observeText(UTF8StringPtr string, const CRect& box, double scale, const CRect& ink, const CRect& clip);
    void ellipsePath(const CRect& r);
    void strokeOrFill(const CDrawStyle style, const CRect& r, bool ellipse);

    cairo_t* cr = nullptr;
    State state;
    std::vector<State> stack;
    std::vector<std::size_t> levels; // stack depth at each enterView
    bool clearsDirty = true;
};

} // namespace VSTGUI
