// Font descriptions: a family name, a size in pixels and a style, resolved through fontconfig
// and drawn with cairo's FreeType back-end.
//
// Family names are resolved by name, never by whatever generic face fontconfig offers: the
// alias table in CFontDesc.cpp maps the families the editor asks for ("Verdana" and its
// variants) to faces installed here ("DejaVu Sans", whose bold is drawn in its condensed cut
// "DejaVu Sans Condensed" so captions fit the boxes they were laid out for); a family that neither exists nor has an
// alias falls back to the default face and reports itself as not resolved.
//
// The standard fonts below are constant pointers to objects that live for the whole
// program, so tables of them may be filled during static initialisation.
#pragma once

#include <string>

#include "gui/CBaseObject.h"
#include "gui/GuiTypes.h"

typedef struct _cairo_scaled_font cairo_scaled_font_t;

namespace VSTGUI {

enum CTxtFace : int32_t {
    kNormalFace = 0,
    kBoldFace = 1 << 1,
    kItalicFace = 1 << 2,
    kUnderlineFace = 1 << 3,
    kStrikethroughFace = 1 << 4,
};

class CFontDesc : public CBaseObject {
public:
    CFontDesc(const UTF8String& name = "", const CCoord& size = 0, const int32_t style = 0);
    CFontDesc(const CFontDesc& other);
    // Copies name, size and style (the reference count stays).
    CFontDesc& operator=(const CFontDesc& other) {
        name = other.name;
        size = other.size;
        style = other.style;
        return *this;
    }
    ~CFontDesc() override;

    const UTF8String& getName() const { return name; }
    CCoord getSize() const { return size; }
    int32_t getStyle() const { return style; }
    virtual void setName(const UTF8String& newName) { name = newName; }
    virtual void setSize(CCoord newSize) { size = newSize; }
    virtual void setStyle(int32_t newStyle) { style = newStyle; }

    bool operator==(const CFontDesc& f) const {
        return name == f.name && size == f.size && style == f.style;
    }

    // The installed family the name resolves to ("DejaVu Sans" for "Verdana").
    std::string getResolvedFamily() const;
    // False when neither the family nor an alias of it is installed (the default face is
    // used instead).
    bool isResolved() const;

    // The family name fontconfig is asked for: the alias of `family`, or `family` itself.
    static std::string familyFor(const std::string& family);
    // The family used for an empty name and for the standard fonts.
    static const char* defaultFamily();

    // A cairo font of this family and style at `pixelSize` (the description's own size when
    // pixelSize <= 0), or null when no face could be loaded. Owned by a process-wide cache.
    cairo_scaled_font_t* getScaledFont(CCoord pixelSize = 0, bool antialias = true) const;

    struct Metrics {
        double ascent = 0;
        double descent = 0;
        double capHeight = 0;
    };
    Metrics getMetrics(CCoord pixelSize = 0) const;

private:
    UTF8String name;
    CCoord size;
    int32_t style;
};

using CFontRef = CFontDesc*;

// The standard fonts, at fixed pixel sizes (the one table of them is in CFontDesc.cpp):
// system 12, very big 18, big 14, normal 12, small 11, smaller 10, very small 9, symbol 12.
extern const CFontRef kSystemFont;
extern const CFontRef kNormalFontVeryBig;
extern const CFontRef kNormalFontBig;
extern const CFontRef kNormalFont;
extern const CFontRef kNormalFontSmall;
extern const CFontRef kNormalFontSmaller;
extern const CFontRef kNormalFontVerySmall;
extern const CFontRef kSymbolFont;

} // namespace VSTGUI
