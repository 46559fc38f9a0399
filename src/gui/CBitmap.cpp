#include "gui/CBitmap.h"

#include <cairo.h>
#include <climits>
#include <cstring>
#include <cstdio>
#include <mutex>

#include "gui/CDrawContext.h"
#include "gui/EmbeddedArtwork.h"

namespace VSTGUI {

namespace {

std::mutex gFolderMutex;
std::string gFolderOverride;

} // namespace

void CBitmap::setResourceFolder(const std::string& folder) {
    std::lock_guard<std::mutex> lock(gFolderMutex);
    gFolderOverride = folder;
    if (!gFolderOverride.empty() && gFolderOverride.back() != '/') gFolderOverride += '/';
}

std::string CBitmap::getResourceFolder() {
    std::lock_guard<std::mutex> lock(gFolderMutex);
    return gFolderOverride;
}

std::string CBitmap::resourceFileName(int32_t id) {
    char name[32];
    std::snprintf(name, sizeof name, "bmp%05d.png", static_cast<int>(id));
    return name;
}

CBitmap::CBitmap(const CResourceDescription& desc) : resourceDesc(desc) {
    const std::string folder = getResourceFolder();
    if (folder.empty()) {
        if (desc.type == CResourceDescription::kIntegerType) loadEmbedded(desc.id);
        return;
    }
    if (desc.type == CResourceDescription::kIntegerType) {
        loadFile(folder + resourceFileName(desc.id));
    } else if (desc.type == CResourceDescription::kStringType && !desc.name.empty()) {
        // Names stay inside the resource folder.
        if (desc.name.find('/') != std::string::npos) return;
        std::string file = desc.name;
        if (file.find('.') == std::string::npos) file += ".png";
        loadFile(folder + file);
    }
}

CBitmap::CBitmap(CCoord w, CCoord h) {
    const int iw = w > 0 ? static_cast<int>(w) : 0;
    const int ih = h > 0 ? static_cast<int>(h) : 0;
    if (iw <= 0 || ih <= 0) return;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, iw, ih);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return;
    }
    surface = s;
    width = iw;
    height = ih;
}

CBitmap::CBitmap(cairo_surface_t* imageSurface) {
    if (!imageSurface || cairo_surface_status(imageSurface) != CAIRO_STATUS_SUCCESS ||
        cairo_surface_get_type(imageSurface) != CAIRO_SURFACE_TYPE_IMAGE)
        return;
    surface = cairo_surface_reference(imageSurface);
    width = cairo_image_surface_get_width(surface);
    height = cairo_image_surface_get_height(surface);
}

CBitmap::~CBitmap() {
    if (surface) cairo_surface_destroy(surface);
}

void CBitmap::loadFile(const std::string& file) {
    path = file;
    take(cairo_image_surface_create_from_png(file.c_str()));
}

namespace {

struct PngReader {
    ArtworkBytes bytes;
    std::size_t at = 0;
};

cairo_status_t readPng(void* closure, unsigned char* data, unsigned int length) {
    PngReader* r = static_cast<PngReader*>(closure);
    if (length > r->bytes.size - r->at) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(data, r->bytes.data + r->at, length);
    r->at += length;
    return CAIRO_STATUS_SUCCESS;
}

} // namespace

void CBitmap::loadEmbedded(int32_t id) {
    PngReader reader;
    reader.bytes = findArtwork(embeddedArtworkPack(), id);
    if (!reader.bytes.data) return;
    take(cairo_image_surface_create_from_png_stream(readPng, &reader));
}

void CBitmap::take(cairo_surface_t* s) {
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return;
    }
    surface = s;
    width = cairo_image_surface_get_width(s);
    height = cairo_image_surface_get_height(s);
}

void CBitmap::draw(CDrawContext* context, const CRect& rect, const CPoint& offset, float alpha) {
    if (context) context->drawBitmap(this, rect, offset, alpha);
}

void CBitmap::drawAlphaBlend(CDrawContext* context, const CRect& rect, const CPoint& offset,
                             uint8_t alpha) {
    draw(context, rect, offset, alpha / 255.f);
}

} // namespace VSTGUI
