// The value types of the GUI layer: coordinates, points, rectangles, colours, mouse button
// states, event results, text alignment, UTF-8 strings and resource descriptions.
//
// Coordinates are doubles in pixels, x to the right and y downwards. A rectangle holds its
// left, top, right and bottom edges; right and bottom are exclusive: a rectangle from (0, 0)
// to (10, 10) covers the pixels 0..9 in both directions.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>

namespace VSTGUI {

using CCoord = double;
using UTF8StringPtr = const char*;

struct CPoint {
    CCoord x = 0;
    CCoord y = 0;

    constexpr CPoint() = default;
    constexpr CPoint(CCoord x, CCoord y) : x(x), y(y) {}

    CPoint& offset(CCoord dx, CCoord dy) {
        x += dx;
        y += dy;
        return *this;
    }
    CPoint& offset(const CPoint& p) { return offset(p.x, p.y); }
    CPoint& offsetInverse(const CPoint& p) { return offset(-p.x, -p.y); }
    CPoint operator+(const CPoint& p) const { return CPoint(x + p.x, y + p.y); }
    CPoint operator-(const CPoint& p) const { return CPoint(x - p.x, y - p.y); }
    CPoint& operator+=(const CPoint& p) { return offset(p); }
    CPoint& operator-=(const CPoint& p) { return offsetInverse(p); }
    bool operator==(const CPoint& p) const { return x == p.x && y == p.y; }
    bool operator!=(const CPoint& p) const { return !(*this == p); }
};

struct CRect {
    CCoord left = 0;
    CCoord top = 0;
    CCoord right = 0;
    CCoord bottom = 0;

    constexpr CRect() = default;
    constexpr CRect(CCoord left, CCoord top, CCoord right, CCoord bottom)
        : left(left), top(top), right(right), bottom(bottom) {}
    // A rectangle from its top-left corner and its size (x = width, y = height).
    constexpr CRect(const CPoint& origin, const CPoint& size)
        : left(origin.x), top(origin.y), right(origin.x + size.x), bottom(origin.y + size.y) {}

    CCoord getWidth() const { return right - left; }
    CCoord getHeight() const { return bottom - top; }
    CRect& setWidth(CCoord w) {
        right = left + w;
        return *this;
    }
    CRect& setHeight(CCoord h) {
        bottom = top + h;
        return *this;
    }
    CPoint getTopLeft() const { return CPoint(left, top); }
    CPoint getTopRight() const { return CPoint(right, top); }
    CPoint getBottomLeft() const { return CPoint(left, bottom); }
    CPoint getBottomRight() const { return CPoint(right, bottom); }
    CPoint getSize() const { return CPoint(getWidth(), getHeight()); }
    CPoint getCenter() const { return CPoint(left + getWidth() / 2, top + getHeight() / 2); }

    CRect& offset(CCoord dx, CCoord dy) {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
        return *this;
    }
    CRect& offset(const CPoint& p) { return offset(p.x, p.y); }
    CRect& offsetInverse(const CPoint& p) { return offset(-p.x, -p.y); }
    CRect& moveTo(CCoord x, CCoord y) { return offset(x - left, y - top); }
    CRect& moveTo(const CPoint& p) { return moveTo(p.x, p.y); }
    // Moves the rectangle so that its top-left corner is (0, 0).
    CRect& originize() { return moveTo(0, 0); }
    CRect& inset(CCoord dx, CCoord dy) {
        left += dx;
        right -= dx;
        top += dy;
        bottom -= dy;
        return *this;
    }
    CRect& extend(CCoord dx, CCoord dy) { return inset(-dx, -dy); }
    CRect& normalize() {
        if (left > right) std::swap(left, right);
        if (top > bottom) std::swap(top, bottom);
        return *this;
    }
    // Rounds every edge to the nearest whole pixel.
    CRect& makeIntegral() {
        left = std::floor(left + 0.5);
        top = std::floor(top + 0.5);
        right = std::floor(right + 0.5);
        bottom = std::floor(bottom + 0.5);
        return *this;
    }

    bool isEmpty() const { return right <= left || bottom <= top; }
    // Left and top edges included, right and bottom edges excluded.
    bool pointInside(const CPoint& p) const {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
    // Whether the two rectangles share at least one pixel.
    bool rectOverlap(const CRect& r) const {
        return right > r.left && left < r.right && bottom > r.top && top < r.bottom;
    }
    // The intersection; an empty rectangle (right = left or bottom = top) when they do not
    // overlap.
    CRect& bound(const CRect& r) {
        if (left < r.left) left = r.left;
        if (top < r.top) top = r.top;
        if (right > r.right) right = r.right;
        if (bottom > r.bottom) bottom = r.bottom;
        if (right < left) right = left;
        if (bottom < top) bottom = top;
        return *this;
    }
    // The smallest rectangle holding both; an empty rectangle does not count.
    CRect& unite(const CRect& r) {
        if (r.isEmpty()) return *this;
        if (isEmpty()) return *this = r;
        if (r.left < left) left = r.left;
        if (r.top < top) top = r.top;
        if (r.right > right) right = r.right;
        if (r.bottom > bottom) bottom = r.bottom;
        return *this;
    }
    bool operator==(const CRect& r) const {
        return left == r.left && top == r.top && right == r.right && bottom == r.bottom;
    }
    bool operator!=(const CRect& r) const { return !(*this == r); }
};

// A colour as red, green, blue and alpha bytes (alpha 255 = opaque).
struct CColor {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t alpha = 255;

    constexpr CColor() = default;
    constexpr CColor(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255)
        : red(r), green(g), blue(b), alpha(a) {}
    bool operator==(const CColor& c) const {
        return red == c.red && green == c.green && blue == c.blue && alpha == c.alpha;
    }
    bool operator!=(const CColor& c) const { return !(*this == c); }
};

inline constexpr CColor MakeCColor(uint8_t r = 0, uint8_t g = 0, uint8_t b = 0, uint8_t a = 255) {
    return CColor(r, g, b, a);
}

constexpr CColor kTransparentCColor(255, 255, 255, 0);
constexpr CColor kBlackCColor(0, 0, 0, 255);
constexpr CColor kWhiteCColor(255, 255, 255, 255);
constexpr CColor kGreyCColor(127, 127, 127, 255);
constexpr CColor kRedCColor(255, 0, 0, 255);
constexpr CColor kGreenCColor(0, 255, 0, 255);
constexpr CColor kBlueCColor(0, 0, 255, 255);
constexpr CColor kYellowCColor(255, 255, 0, 255);
constexpr CColor kCyanCColor(0, 255, 255, 255);
constexpr CColor kMagentaCColor(255, 0, 255, 255);

// Mouse buttons and modifier keys of an event. On Linux: Ctrl is kControl (the role the
// Command key has on a Mac), Alt is kAlt (the Option key), Super is kApple (the Mac's Control
// key).
enum CButton : int32_t {
    kLButton = 1 << 1,
    kMButton = 1 << 2,
    kRButton = 1 << 3,
    kShift = 1 << 4,
    kControl = 1 << 5,
    kAlt = 1 << 6,
    kApple = 1 << 7,
    kButton4 = 1 << 8,
    kButton5 = 1 << 9,
    kDoubleClick = 1 << 10,
};

class CButtonState {
public:
    CButtonState(int32_t state = 0) : state(state) {}

    int32_t getButtonState() const { return state & (kLButton | kMButton | kRButton | kButton4 | kButton5); }
    int32_t getModifierState() const { return state & (kShift | kControl | kAlt | kApple); }
    bool isLeftButton() const { return getButtonState() == kLButton; }
    bool isRightButton() const { return getButtonState() == kRButton; }
    bool isDoubleClick() const { return (state & kDoubleClick) != 0; }

    int32_t operator()() const { return state; }
    operator int32_t() const { return state; }
    CButtonState& operator|=(int32_t s) {
        state |= s;
        return *this;
    }
    CButtonState& operator&=(int32_t s) {
        state &= s;
        return *this;
    }

private:
    int32_t state;
};

enum CMouseEventResult {
    kMouseEventNotImplemented = 0,
    kMouseEventHandled,
    kMouseEventNotHandled,
    // Handled, and the view wants neither the following moves nor the release: nothing is
    // captured.
    kMouseDownEventHandledButDontNeedMovedOrUpEvents,
    // Handled, and the view wants no further moves (the capture ends).
    kMouseMoveEventHandledButDontNeedMoreEvents,
};

// Horizontal text alignment (the values 0, 1, 2 are part of the interface).
enum CHoriTxtAlign { kLeftText = 0, kCenterText = 1, kRightText = 2 };

// A UTF-8 text. Converts from and to C strings and std::string.
class UTF8String {
public:
    UTF8String() = default;
    UTF8String(UTF8StringPtr s) : str(s ? s : "") {}
    UTF8String(const std::string& s) : str(s) {}
    UTF8String(std::string&& s) : str(std::move(s)) {}

    const std::string& getString() const { return str; }
    UTF8StringPtr data() const { return str.c_str(); }
    UTF8StringPtr get() const { return str.c_str(); }
    std::size_t getByteCount() const { return str.size(); }
    bool empty() const { return str.empty(); }
    void clear() { str.clear(); }
    operator UTF8StringPtr() const { return str.c_str(); }
    operator const std::string&() const { return str; }

    UTF8String& operator=(UTF8StringPtr s) {
        str = s ? s : "";
        return *this;
    }
    UTF8String& operator+=(const UTF8String& s) {
        str += s.str;
        return *this;
    }
    bool operator==(const UTF8String& s) const { return str == s.str; }
    bool operator!=(const UTF8String& s) const { return str != s.str; }
    bool operator==(UTF8StringPtr s) const { return str == (s ? s : ""); }
    bool operator!=(UTF8StringPtr s) const { return !(*this == s); }

private:
    std::string str;
};

// Names a resource: a number (a bitmap "bmp%05d.png") or a file name in the resource folder.
class CResourceDescription {
public:
    enum Type : uint32_t { kIntegerType, kStringType, kUnknownType };

    CResourceDescription() = default;
    CResourceDescription(int32_t id) : type(kIntegerType), id(id) {}
    CResourceDescription(UTF8StringPtr name) : type(kStringType), name(name ? name : "") {}
    CResourceDescription(const std::string& name) : type(kStringType), name(name) {}

    Type type = kUnknownType;
    int32_t id = 0;
    std::string name;
};

// A view attribute is named by a four-character code.
using CViewAttributeID = uint32_t;
// The tooltip text of a view: UTF-8 with its terminating zero.
constexpr CViewAttributeID kCViewTooltipAttribute = 0x63767474; // 'cvtt'

} // namespace VSTGUI
