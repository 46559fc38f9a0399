// Build-time tool: draws the editor's bitmaps at the four editor sizes into one pack file that
// the build links into the plug-in, so the plug-in is a single shared object.
//
//   tavrolune-artwork <pack file>
//
// Draws every id of ArtworkCatalog.h at every size index s (picture id = id + 1000 x s) as a
// PNG and writes them all into the pack, whose layout is (integers 32-bit little-endian):
//
//   "TAVART1\n"  count  count x {id, offset from the pack's start, length}  the PNG bytes
//
// in catalogue order, sizes ascending. The GUI layer (src/gui/EmbeddedArtwork.cpp) reads the
// same layout. The output depends only on this code (and the installed DejaVu font): two runs
// give the same bytes. The pack is written under a temporary name and renamed, so the build
// never links half of one.
#include <cairo.h>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "Artwork.h"
#include "ArtworkCatalog.h"

#if defined(__SANITIZE_ADDRESS__) && __has_include(<sanitizer/lsan_interface.h>)
#include <sanitizer/lsan_interface.h>
#define TAV_LSAN_DISABLE() __lsan_disable()
#else
#define TAV_LSAN_DISABLE() ((void)0)
#endif

namespace artwork {

bool drawCell(Painter& p, int id, int cell, int cells) {
    const bool on = cell == 1;
    switch (id) {
    case 10000: drawMainPage(p); return true;
    case 10001: drawEasyPage(p); return true;
    case 10002: drawBackPage(p); return true;
    case 10020: case 10021: case 10022: case 10023: drawLayerHeader(p, id - 10020); return true;
    case 10024: case 10025: case 10026: case 10027: drawLayerKnobs(p, id - 10024); return true;
    case 10030: case 10031: case 10032: case 10033: drawEasyLayerLeft(p, id - 10030); return true;
    case 10034: case 10035: case 10036: drawEasyLayerRight(p, id - 10034); return true;
    case 10367: drawEasyLayerRight(p, 3); return true;
    case 10040: drawSoftBox(p, 270, 60); return true;
    case 10041: drawSoftBox(p, 130, 118); return true;  // around the LFO's menus and knob
    case 10042: drawSoftBox(p, 158, 85); return true;
    case 10043: drawModMatrixPage(p); return true;
    case 10044: drawVelSplitPage(p); return true;
    case 10045: drawSoftBox(p, 135, 60); return true;
    case 10060: drawLed(p, on); return true;
    case 10062: drawLabelledSwitch(p, on); return true;
    case 10064: drawPreviewButton(p, on); return true;
    case 10065: drawRibbonTrack(p); return true;
    case 10066: drawRibbonHandle(p); return true;
    case 10067: drawRibbonMarker(p); return true;
    case 10050: case 10052: case 10053: case 10055: case 10056: {
        const double d = id == 10050 ? 52 : id <= 10053 ? 42 : 34;
        const bool marked = id == 10053 || id == 10056;
        drawKnobFrame(p, d, cells > 1 ? static_cast<double>(cell) / (cells - 1) : 0, marked);
        return true;
    }
    case 10051: drawKnobHandle(p, 52); return true;
    case 10054: drawKnobHandle(p, 42); return true;
    case 10057: drawKnobHandle(p, 34); return true;
    default: return false;
    }
}

} // namespace artwork

namespace {

using namespace artwork;

// Draws one bitmap at one size; null when it could not be made.
cairo_surface_t* render(const BitmapSpec& bitmap, int sizeIndex) {
    const double scale = kScales[sizeIndex];
    const int cw = static_cast<int>(bitmap.width * scale);
    const int ch = static_cast<int>(bitmap.height * scale);
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, cw, ch * bitmap.cells);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return nullptr;
    }
    cairo_t* cr = cairo_create(s);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_GRAY);
    Painter painter(cr);
    bool ok = true;
    for (int cell = 0; cell < bitmap.cells && ok; ++cell) {
        cairo_save(cr);
        cairo_translate(cr, 0, static_cast<double>(cell) * ch);
        cairo_rectangle(cr, 0, 0, cw, ch);
        cairo_clip(cr);
        // A page or container keeps the editor's exact scale, so its sections line up with
        // the scaled control positions; a strip's cell is fitted to its truncated size.
        if (bitmap.cells == 1)
            cairo_scale(cr, scale, scale);
        else
            cairo_scale(cr, cw / static_cast<double>(bitmap.width), ch / static_cast<double>(bitmap.height));
        ok = drawCell(painter, bitmap.id, cell, bitmap.cells);
        cairo_restore(cr);
    }
    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) ok = false;
    cairo_destroy(cr);
    if (!ok) {
        cairo_surface_destroy(s);
        return nullptr;
    }
    cairo_surface_flush(s);
    return s;
}

cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

void putU32(std::string& out, std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((v >> (8 * i)) & 0xff);
}

struct Entry {
    int id;
    std::string png;
};

std::string makePack(const std::vector<Entry>& entries) {
    static const char kMagic[] = "TAVART1\n";
    std::string pack(kMagic, 8);
    pack.resize(12 + 12 * entries.size());
    putU32(pack, 8, static_cast<uint32_t>(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::size_t at = 12 + 12 * i;
        putU32(pack, at, static_cast<uint32_t>(entries[i].id));
        putU32(pack, at + 4, static_cast<uint32_t>(pack.size()));
        putU32(pack, at + 8, static_cast<uint32_t>(entries[i].png.size()));
        pack += entries[i].png;
    }
    return pack;
}

bool writeFile(const std::string& file, const std::string& bytes) {
    const std::string temp = file + ".tmp";
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fclose(f) == 0 && ok;
    if (ok && std::rename(temp.c_str(), file.c_str()) == 0) return true;
    std::remove(temp.c_str());
    return false;
}

} // namespace

int main(int argc, char** argv) {
    // fontconfig keeps its caches until exit; that is not ours to report.
    TAV_LSAN_DISABLE();
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: %s <pack file>\n", argv[0]);
        return 2;
    }
    const std::string file = argv[1];
    std::vector<Entry> entries;
    for (const BitmapSpec& bitmap : kBitmaps) {
        for (int s = 0; s < kSizeCount; ++s) {
            Entry e{bitmap.id + 1000 * s, std::string()};
            cairo_surface_t* surface = render(bitmap, s);
            const bool ok = surface && cairo_surface_write_to_png_stream(surface, appendBytes, &e.png) ==
                                           CAIRO_STATUS_SUCCESS;
            if (surface) cairo_surface_destroy(surface);
            if (!ok) {
                std::fprintf(stderr, "tavrolune-artwork: cannot draw bitmap %d\n", e.id);
                return 1;
            }
            entries.push_back(std::move(e));
        }
    }
    if (!writeFile(file, makePack(entries))) {
        std::fprintf(stderr, "tavrolune-artwork: cannot write %s\n", file.c_str());
        return 1;
    }
    return 0;
}
