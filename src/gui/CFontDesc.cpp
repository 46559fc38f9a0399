#include "gui/CFontDesc.h"

#include <cairo-ft.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <strings.h>

#include <map>
#include <mutex>
#include <tuple>

#include "LeakReportPause.h"

namespace VSTGUI {

namespace {

const char kDefaultFamily[] = "DejaVu Sans";
// The editor's bold captions were laid out for a narrower face than DejaVu Sans Bold, which runs
// a tenth wider and is cut off in their boxes; its condensed cut fits them. Regular text keeps
// the regular cut, whose strokes stay solid at the small sizes values are drawn at.
const char kDefaultBoldFamily[] = "DejaVu Sans Condensed";

// Families the editor names that are not installed on Linux, and the installed faces that
// take their place (matched case-insensitively; a name that starts with a key also matches,
// so style-suffixed variants such as "Verdanaial" resolve too).
struct Alias {
    const char* name;
    const char* family;
};
const Alias kAliases[] = {
    {"verdana", "DejaVu Sans"},      {"arial", "DejaVu Sans"},
    {"helvetica", "DejaVu Sans"},    {"lucida grande", "DejaVu Sans"},
    {"symbol", "DejaVu Sans"},       {"courier", "DejaVu Sans Mono"},
    {"monaco", "DejaVu Sans Mono"},  {"menlo", "DejaVu Sans Mono"},
};

struct FaceEntry {
    cairo_font_face_t* face = nullptr;
    std::string family;
    bool resolved = false;
};

using FaceKey = std::tuple<std::string, bool, bool>;
using ScaledKey = std::tuple<cairo_font_face_t*, double, bool>;

// The caches live for the whole process: cairo and fontconfig objects are expensive to make
// and are shared by every frame.
struct FontCache {
    std::mutex mutex;
    std::map<FaceKey, FaceEntry> faces;
    std::map<ScaledKey, cairo_scaled_font_t*> scaled;
};

FontCache* makeCache() {
    // fontconfig loses a few bytes of its own while it parses its configuration; that
    // happens once, here, and is none of ours to report.
    TAV_LSAN_DISABLE();
    FcInit();
    TAV_LSAN_ENABLE();
    return new FontCache;
}

FontCache* gCache = nullptr;

std::mutex gCacheMutex;

FontCache& cache() {
    std::lock_guard<std::mutex> lock(gCacheMutex);
    if (!gCache) gCache = makeCache();
    return *gCache;
}

// A host that unloads the plug-in gets the cairo objects back. This runs when the shared
// object is unloaded (or the program ends), after every frame has closed.
__attribute__((destructor)) void releaseFontCache() {
    std::lock_guard<std::mutex> lock(gCacheMutex);
    FontCache* c = gCache;
    if (!c) return;
    for (auto& s : c->scaled) cairo_scaled_font_destroy(s.second);
    for (auto& f : c->faces)
        if (f.second.face) cairo_font_face_destroy(f.second.face);
    delete c;
    gCache = nullptr;
}

bool familyMatches(FcPattern* match, const std::string& wanted) {
    FcChar8* fam = nullptr;
    for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &fam) == FcResultMatch; ++i) {
        if (strcasecmp(reinterpret_cast<const char*>(fam), wanted.c_str()) == 0) return true;
    }
    return false;
}

FaceEntry loadFace(const std::string& family, bool bold, bool italic) {
    FaceEntry entry;
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return entry;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return entry;
    entry.resolved = familyMatches(match, family);
    FcChar8* fam = nullptr;
    if (FcPatternGetString(match, FC_FAMILY, 0, &fam) == FcResultMatch)
        entry.family = reinterpret_cast<const char*>(fam);
    entry.face = cairo_ft_font_face_create_for_pattern(match);
    FcPatternDestroy(match);
    if (entry.face && cairo_font_face_status(entry.face) != CAIRO_STATUS_SUCCESS) {
        cairo_font_face_destroy(entry.face);
        entry.face = nullptr;
    }
    return entry;
}

const FaceEntry& faceFor(const std::string& name, int32_t style) {
    std::string family = CFontDesc::familyFor(name);
    if ((style & kBoldFace) && family == kDefaultFamily) family = kDefaultBoldFamily;
    const FaceKey key(family, (style & kBoldFace) != 0, (style & kItalicFace) != 0);
    FontCache& c = cache();
    std::lock_guard<std::mutex> lock(c.mutex);
    auto it = c.faces.find(key);
    if (it == c.faces.end())
        it = c.faces.emplace(key, loadFace(family, std::get<1>(key), std::get<2>(key))).first;
    return it->second;
}

} // namespace

CFontDesc::CFontDesc(const UTF8String& name, const CCoord& size, const int32_t style)
    : name(name), size(size), style(style) {}

CFontDesc::CFontDesc(const CFontDesc& other)
    : CBaseObject(other), name(other.name), size(other.size), style(other.style) {}

CFontDesc::~CFontDesc() = default;

const char* CFontDesc::defaultFamily() { return kDefaultFamily; }

std::string CFontDesc::familyFor(const std::string& family) {
    if (family.empty()) return kDefaultFamily;
    for (const Alias& a : kAliases) {
        const std::size_t n = std::char_traits<char>::length(a.name);
        if (family.size() >= n && strncasecmp(family.c_str(), a.name, n) == 0) return a.family;
    }
    return family;
}

std::string CFontDesc::getResolvedFamily() const { return faceFor(name.getString(), style).family; }

bool CFontDesc::isResolved() const {
    const FaceEntry& e = faceFor(name.getString(), style);
    return e.face != nullptr && e.resolved;
}

cairo_scaled_font_t* CFontDesc::getScaledFont(CCoord pixelSize, bool antialias) const {
    const double px = pixelSize > 0 ? pixelSize : (size > 0 ? size : 12.0);
    cairo_font_face_t* face = faceFor(name.getString(), style).face;
    if (!face) return nullptr;
    FontCache& c = cache();
    std::lock_guard<std::mutex> lock(c.mutex);
    const ScaledKey key(face, px, antialias);
    auto it = c.scaled.find(key);
    if (it != c.scaled.end()) return it->second;
    cairo_matrix_t fontMatrix;
    cairo_matrix_t ctm;
    cairo_matrix_init_scale(&fontMatrix, px, px);
    cairo_matrix_init_identity(&ctm);
    // Fixed options, so that text looks the same in every window and every off-screen image.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, antialias ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    cairo_font_options_set_subpixel_order(options, CAIRO_SUBPIXEL_ORDER_DEFAULT);
    cairo_scaled_font_t* scaled = cairo_scaled_font_create(face, &fontMatrix, &ctm, options);
    cairo_font_options_destroy(options);
    if (cairo_scaled_font_status(scaled) != CAIRO_STATUS_SUCCESS) {
        cairo_scaled_font_destroy(scaled);
        return nullptr;
    }
    c.scaled.emplace(key, scaled);
    return scaled;
}

CFontDesc::Metrics CFontDesc::getMetrics(CCoord pixelSize) const {
    Metrics m;
    cairo_scaled_font_t* font = getScaledFont(pixelSize, true);
    if (!font) return m;
    cairo_font_extents_t fe;
    cairo_scaled_font_extents(font, &fe);
    m.ascent = fe.ascent;
    m.descent = fe.descent;
    cairo_text_extents_t te;
    cairo_scaled_font_text_extents(font, "H", &te);
    m.capHeight = -te.y_bearing;
    return m;
}

// ---- The standard fonts: the one place their sizes are defined -----------------------------

namespace {
CFontDesc gSystemFont("", 12, kNormalFace);
CFontDesc gNormalFontVeryBig("", 18, kNormalFace);
CFontDesc gNormalFontBig("", 14, kNormalFace);
CFontDesc gNormalFont("", 12, kNormalFace);
CFontDesc gNormalFontSmall("", 11, kNormalFace);
CFontDesc gNormalFontSmaller("", 10, kNormalFace);
CFontDesc gNormalFontVerySmall("", 9, kNormalFace);
CFontDesc gSymbolFont("Symbol", 12, kNormalFace);
} // namespace

const CFontRef kSystemFont = &gSystemFont;
const CFontRef kNormalFontVeryBig = &gNormalFontVeryBig;
const CFontRef kNormalFontBig = &gNormalFontBig;
const CFontRef kNormalFont = &gNormalFont;
const CFontRef kNormalFontSmall = &gNormalFontSmall;
const CFontRef kNormalFontSmaller = &gNormalFontSmaller;
const CFontRef kNormalFontVerySmall = &gNormalFontVerySmall;
const CFontRef kSymbolFont = &gSymbolFont;

} // namespace VSTGUI
