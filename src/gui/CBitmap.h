// Bitmaps: PNG images drawn 1:1, whole or as a region at a source offset (knob strips,
// two-state strips), with an alpha value.
//
// A bitmap made from a numeric resource id takes that picture from the artwork linked into
// the binary (gui/EmbeddedArtwork.h), so the plug-in needs no file beside it. A folder set
// with setResourceFolder() takes its place: ids then load "bmp%05d.png" (10060 ->
// "bmp10060.png") from it, and names load that file from it (".png" is added when the name has
// no extension); without such a folder a name loads nothing. A bitmap whose picture is missing
// or is no PNG still exists, has the size 0 x 0, draws nothing and answers isLoaded() false.
#pragma once

#include <string>

#include "gui/CBaseObject.h"
#include "gui/GuiTypes.h"

typedef struct _cairo_surface cairo_surface_t;

namespace VSTGUI {

class CDrawContext;

class CBitmap : public CBaseObject {
public:
    explicit CBitmap(const CResourceDescription& desc);
    // An empty, fully transparent bitmap of that size.
    CBitmap(CCoord width, CCoord height);
    // A bitmap on an existing cairo image surface (it takes its own reference).
    explicit CBitmap(cairo_surface_t* imageSurface);
    ~CBitmap() override;

    CBitmap(const CBitmap&) = delete;
    CBitmap& operator=(const CBitmap&) = delete;

    // Draws the part of the bitmap that starts at `offset` into `rect` (nothing is scaled;
    // what falls outside `rect` is not drawn), with the given opacity (0..1).
    virtual void draw(CDrawContext* context, const CRect& rect, const CPoint& offset = CPoint(0, 0),
                      float alpha = 1.f);
    // The same with the opacity as a byte (63 = 63/255).
    void drawAlphaBlend(CDrawContext* context, const CRect& rect, const CPoint& offset = CPoint(0, 0),
                        uint8_t alpha = 128);

    CCoord getWidth() const { return width; }
    CCoord getHeight() const { return height; }
    CPoint getSize() const { return CPoint(width, height); }
    const CResourceDescription& getResourceDescription() const { return resourceDesc; }
    bool isLoaded() const { return surface != nullptr; }
    // The path the bitmap was loaded from (or tried); empty for bitmaps not made from a file
    // (the linked-in artwork included).
    const std::string& getPath() const { return path; }

    cairo_surface_t* getSurface() const { return surface; }

    // A folder numeric and named resources are loaded from instead of the linked-in artwork;
    // an empty text restores the linked-in artwork.
    static void setResourceFolder(const std::string& folder);
    // That folder; empty while the linked-in artwork is used.
    static std::string getResourceFolder();
    // "bmp%05d.png" of an id.
    static std::string resourceFileName(int32_t id);

private:
    void loadFile(const std::string& file);
    void loadEmbedded(int32_t id);
    void take(cairo_surface_t* s);

    CResourceDescription resourceDesc;
    std::string path;
    cairo_surface_t* surface = nullptr;
    CCoord width = 0;
    CCoord height = 0;
};

} // namespace VSTGUI
