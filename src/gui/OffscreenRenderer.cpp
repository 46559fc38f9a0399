#include "gui/OffscreenRenderer.h"

#include <cairo.h>
#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <typeinfo>

#include "gui/CControl.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"

namespace VSTGUI {

OffscreenRenderer::OffscreenRenderer(CFrame* frame) : frame(frame) {
    width = frame ? static_cast<int>(frame->getWidth()) : 0;
    height = frame ? static_cast<int>(frame->getHeight()) : 0;
    if (width < 1) width = 1;
    if (height < 1) height = 1;
    image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
}

OffscreenRenderer::~OffscreenRenderer() {
    if (image) cairo_surface_destroy(image);
}

void OffscreenRenderer::renderAll() {
    if (!frame) return;
    CDrawContext context(image);
    frame->platformDrawRect(&context, CRect(0, 0, width, height));
    cairo_surface_flush(image);
}

std::vector<CRect> OffscreenRenderer::renderInvalid() {
    if (!frame) return {};
    frame->idle();
    std::vector<CRect> region = frame->takeInvalidRegion();
    CDrawContext context(image);
    for (const CRect& r : region) frame->platformDrawRect(&context, r);
    cairo_surface_flush(image);
    return region;
}

void OffscreenRenderer::snapshot() {
    if (!frame) return;
    CDrawContext context(image);
    context.setClearsDirtyState(false);
    frame->platformDrawRect(&context, CRect(0, 0, width, height));
    cairo_surface_flush(image);
}

CColor OffscreenRenderer::getPixel(int x, int y) const {
    if (!image || x < 0 || y < 0 || x >= width || y >= height) return CColor(0, 0, 0, 0);
    cairo_surface_flush(image);
    const unsigned char* data = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    const uint32_t px = *reinterpret_cast<const uint32_t*>(data + y * stride + x * 4);
    const uint8_t a = px >> 24;
    uint8_t r = (px >> 16) & 0xFF;
    uint8_t g = (px >> 8) & 0xFF;
    uint8_t b = px & 0xFF;
    if (a != 0 && a != 255) { // premultiplied
        r = static_cast<uint8_t>((r * 255 + a / 2) / a);
        g = static_cast<uint8_t>((g * 255 + a / 2) / a);
        b = static_cast<uint8_t>((b * 255 + a / 2) / a);
    }
    return CColor(r, g, b, a);
}

bool OffscreenRenderer::writePng(const std::string& path) const {
    if (!image) return false;
    return cairo_surface_write_to_png(image, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

namespace {

std::string className(const CView* v) {
    const char* mangled = typeid(*v).name();
    int status = 0;
    char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    std::string name = status == 0 && demangled ? demangled : mangled;
    std::free(demangled);
    const std::string prefix = "VSTGUI::";
    if (name.compare(0, prefix.size(), prefix) == 0) name.erase(0, prefix.size());
    return name;
}

std::string coord(CCoord c) {
    char buf[32];
    if (c == static_cast<long long>(c))
        std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(c));
    else
        std::snprintf(buf, sizeof buf, "%.2f", c);
    return buf;
}

void dumpInto(const CView* v, const std::string& indent, std::string& out) {
    out += indent + className(v);
    if (auto* c = dynamic_cast<const CControl*>(v)) out += " tag=" + std::to_string(c->getTag());
    const CRect& r = v->getViewSize();
    out += " rect=(" + coord(r.left) + "," + coord(r.top) + "," + coord(r.right) + "," + coord(r.bottom) + ")";
    out += v->isVisible() ? " visible" : " hidden";
    out += v->isAttached() ? " attached" : " detached";
    out += "\n";
    if (const CViewContainer* c = v->asViewContainer())
        for (const CView* child : c->getChildren()) dumpInto(child, indent + "  ", out);
}

} // namespace

std::string dumpViewTree(const CView* root) {
    std::string out;
    if (root) dumpInto(root, "", out);
    return out;
}

} // namespace VSTGUI
