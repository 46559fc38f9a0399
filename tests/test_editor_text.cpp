// Text a musician can read: every caption, title and value the pages draw lies whole inside its
// box with the fonts the editor loads, no caption runs into a control, and every text stands out
// from the pixels behind it by at least 4.5 : 1 (relative luminance), at all four sizes.
// Texts are caught as the drawing context draws them; what lies behind a text is the same page
// rendered with the texts left out.
#include <cmath>
#include <cstdio>
#include <memory>

#include "Artwork.h"
#include "ArtworkCatalog.h"
#include "controls/TLabel.h"
#include "controls/TMenuButton.h"
#include "gui/OffscreenRenderer.h"
#include "plugin/uPluginTags.h"
#include "test_editor_util.h"
#include "gui_support/TextContrast.h"

#include "gui/LeakReportPause.h"

using namespace edtest;

namespace {

struct Recorder : TextObserver {
    std::vector<DrawnText> texts;
    bool paint = true;
    bool onText(const DrawnText& t) override {
        if (paint) texts.push_back(t);
        return paint;
    }
};

// A page rendered twice: as shown, and with no text (what lies behind each text).
struct Shot {
    std::vector<DrawnText> texts;
    std::unique_ptr<OffscreenRenderer> shown, bare;
    explicit Shot(CFrame* frame) {
        Recorder r;
        CDrawContext::setTextObserver(&r);
        shown = std::make_unique<OffscreenRenderer>(frame);
        shown->renderAll();
        r.paint = false;
        bare = std::make_unique<OffscreenRenderer>(frame);
        bare->renderAll();
        CDrawContext::setTextObserver(nullptr);
        texts = r.texts;
    }
    Pixel at(const OffscreenRenderer& o, int x, int y) const {
        const CColor c = o.getPixel(x, y);
        return {c.red, c.green, c.blue};
    }
    // The lowest contrast of the text's colour against any pixel its ink changes.
    double contrast(const DrawnText& t) const {
        double lowest = 1e9;
        CRect r = t.ink;
        r.bound(t.clip);
        for (int y = int(std::floor(r.top)); y < int(std::ceil(r.bottom)); ++y)
            for (int x = int(std::floor(r.left)); x < int(std::ceil(r.right)); ++x) {
                const Pixel a = at(*shown, x, y), b = at(*bare, x, y);
                if (a == b) continue;
                lowest = std::min(lowest, contrastRatio({t.colour.red, t.colour.green, t.colour.blue}, b));
            }
        return lowest;
    }
};

bool blank(const std::string& s) { return s.find_first_not_of(' ') == std::string::npos; }

CRect inFrame(CView* v) {
    const CRect r = v->getViewSize();
    CPoint tl(r.left, r.top);
    v->localToFrame(tl);
    return CRect(tl.x, tl.y, tl.x + r.getWidth(), tl.y + r.getHeight());
}

std::string where(const DrawnText& t) {
    char b[200];
    std::snprintf(b, sizeof b, "\"%s\" ink %.1f,%.1f-%.1f,%.1f box %.0f,%.0f-%.0f,%.0f colour %d,%d,%d", t.text.c_str(),
                  t.ink.left, t.ink.top, t.ink.right, t.ink.bottom, t.clip.left, t.clip.top, t.clip.right, t.clip.bottom,
                  t.colour.red, t.colour.green, t.colour.blue);
    return b;
}

struct Figures {
    double lowestContrast = 1e9;
    double narrowestMargin = 1e9;
    double smallestScale = 1;
    std::string lowestText, narrowestText, smallestText;
};

// Every text of the shot whole in its box, clear of the page's controls (captions) and
// readable; the figures keep the page's worst. At 100 % the face fits every text at its full
// size; where a larger size's box did not grow with its font, the text is fitted, but never
// below the smallest size the editor draws at 100 %.
void expectReadable(const Shot& shot, TestEditor& ed, int size, Figures& f) {
    std::vector<CRect> labels, controls;
    for (int i = 0; i < ed.getControlCount(); ++i) {
        CControl* c = ed.getControl(i);
        if (!c->isAttached() || !c->isVisible()) continue;
        auto* button = dynamic_cast<TMenuButton*>(c);
        if (dynamic_cast<TLabel*>(c)) labels.push_back(inFrame(c));
        else if (!button || !button->isClickArea()) controls.push_back(inFrame(c));
    }
    ASSERT_FALSE(shot.texts.empty());
    for (const DrawnText& t : shot.texts) {
        if (blank(t.text)) continue;
        const double margin = std::min(t.ink.left - t.clip.left, t.clip.right - t.ink.right);
        EXPECT_GE(margin, -0.5) << where(t) << " is cut at the side";
        EXPECT_TRUE(t.ink.top >= t.clip.top - 1 && t.ink.bottom <= t.clip.bottom + 1) << where(t) << " is cut";
        // The room a text drawn at its full size leaves in its box.
        const double room = t.clip.getWidth() - t.ink.getWidth();
        if (t.scale == 1 && room < f.narrowestMargin) f.narrowestMargin = room, f.narrowestText = where(t);
        if (t.scale < f.smallestScale) f.smallestScale = t.scale, f.smallestText = where(t);
        EXPECT_TRUE(size > 0 ? t.size >= 9 : t.scale == 1) << where(t) << " drawn at " << t.size << " px";
        const bool caption = std::any_of(labels.begin(), labels.end(), [&](const CRect& l) {
            return l.left <= t.box.left && l.right >= t.box.right && l.top <= t.box.top && l.bottom >= t.box.bottom;
        });
        if (caption)
            for (const CRect& c : controls) {
                const bool hit = std::min(c.right, t.ink.right) - std::max(c.left, t.ink.left) > 0.5 &&
                                 std::min(c.bottom, t.ink.bottom) - std::max(c.top, t.ink.top) > 0.5;
                EXPECT_FALSE(hit) << where(t) << " runs into the control at " << c.left << "," << c.top;
            }
        // A dimmed text is the look of a switched-off section, not a text to read.
        if (t.colour.alpha < 255) continue;
        const double k = shot.contrast(t);
        EXPECT_GE(k, 4.5) << where(t);
        if (k < f.lowestContrast) f.lowestContrast = k, f.lowestText = where(t);
    }
}

// A page background drawn at one size, with its texts and without (what lies behind them).
struct Background {
    std::vector<artwork::PaintedText> texts;
    cairo_surface_t* shown = nullptr;
    cairo_surface_t* bare = nullptr;
    Background(void (*draw)(artwork::Painter&), int size) {
        const double scale = artwork::kScales[size];
        // The generator names its face through cairo's own font loading, whose fontconfig
        // caches live until exit; that is not ours to report.
        TAV_LSAN_DISABLE();
        for (bool ink : {true, false}) {
            cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(1132 * scale), int(779 * scale));
            cairo_t* cr = cairo_create(s);
            cairo_scale(cr, scale, scale);
            artwork::Painter p(cr);
            p.inkText = ink;
            p.log = ink ? &texts : nullptr;
            draw(p);
            cairo_destroy(cr);
            cairo_surface_flush(s);
            (ink ? shown : bare) = s;
        }
        TAV_LSAN_ENABLE();
    }
    ~Background() {
        cairo_surface_destroy(shown);
        cairo_surface_destroy(bare);
    }
    static Pixel at(cairo_surface_t* s, int x, int y) {
        const unsigned char* d = cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s) + x * 4;
        return {d[2], d[1], d[0]};  // opaque pages: no premultiplication to undo
    }
    double contrast(const artwork::PaintedText& t) const {
        double lowest = 1e9;
        const int w = cairo_image_surface_get_width(shown), h = cairo_image_surface_get_height(shown);
        for (int y = std::max(0, int(t.ink[1])); y < std::min(h, int(std::ceil(t.ink[3]))); ++y)
            for (int x = std::max(0, int(t.ink[0])); x < std::min(w, int(std::ceil(t.ink[2]))); ++x) {
                const Pixel a = at(shown, x, y), b = at(bare, x, y);
                if (a == b) continue;
                const double k = t.alpha;
                const Pixel c{uint8_t(std::lround(t.colour.r * k + b.r * (1 - k))),
                              uint8_t(std::lround(t.colour.g * k + b.g * (1 - k))),
                              uint8_t(std::lround(t.colour.b * k + b.b * (1 - k)))};
                lowest = std::min(lowest, contrastRatio(c, b));
            }
        return lowest;
    }
};

} // namespace

TEST(EditorText, TextsPaintedIntoThePagesAreWholeAndReadableAtEverySize) {
    void (*pages[3])(artwork::Painter&) = {artwork::drawMainPage, artwork::drawEasyPage, artwork::drawBackPage};
    const char* names[3] = {"main", "easy", "back"};
    for (int page = 0; page < 3; ++page) {
        double lowest = 1e9;
        for (int size = 0; size < 4; ++size) {
            SCOPED_TRACE(testing::Message() << names[page] << " page, size " << size);
            Background bg(pages[page], size);
            EXPECT_GE(bg.texts.size(), page == 2 ? 18u : 4u);
            for (const auto& t : bg.texts) {
                EXPECT_TRUE(t.ink[0] >= t.box[0] - 0.5 && t.ink[2] <= t.box[2] + 0.5) << t.text << " leaves its box";
                const double k = bg.contrast(t);
                EXPECT_GE(k, 4.5) << t.text;
                lowest = std::min(lowest, k);
            }
        }
        std::printf("%s page artwork: lowest contrast %.2f : 1\n", names[page], lowest);
    }
}

// The ribbon group lies on both front pages at one place: the easy page's artwork gives it the
// main page's plate, with no section divider across it; the settings button shows its symbol.
TEST(EditorText, BothFrontPagesCarryTheRibbonPlateAndTheSettingsSymbol) {
    for (int size : {0, 3}) {
        SCOPED_TRACE(size);
        const double s = artwork::kScales[size];
        Background main(artwork::drawMainPage, size), easy(artwork::drawEasyPage, size);
        int differ = 0;
        for (int y = int(738 * s); y < int(761 * s); ++y)
            for (int x = int(28 * s); x < int(1104 * s); ++x)
                differ += !(Background::at(main.shown, x, y) == Background::at(easy.shown, x, y));
        EXPECT_EQ(differ, 0) << "pixels of the ribbon row";
        for (const Background* page : {&main, &easy}) {
            int lit = 0;
            for (int y = int(11 * s); y < int(36 * s); ++y)
                for (int x = int(1099 * s); x < int(1124 * s); ++x) lit += Background::at(page->shown, x, y).g > 120;
            EXPECT_GT(lit, 40 * s * s) << "the settings button's cog";
        }
    }
}

TEST(EditorText, EveryTextIsWholeClearOfControlsAndReadableOnEveryPageAtEverySize) {
    Figures pages[3];
    const char* names[3] = {"main", "easy", "back"};
    for (int size = 0; size < 4; ++size) {
        SCOPED_TRACE(testing::Message() << "size " << size);
        Bench b(0, size);
        // Each source type on every layer, the Mod FX plain and as Gator: every caption set.
        for (int page : {kPageMain, kPageEasy}) {
            for (int s = 0; s < 4; ++s) {
                SCOPED_TRACE(testing::Message() << "page " << names[page] << " source " << s);
                for (int l = 0; l < 3; ++l)
                    b.set(LAYER_SOURCE_TAGS[l], (s + 0.1f) / b.p().getSteppedRange(LAYER_SOURCE_TAGS[l]));
                b.set(349, (s == 3 ? 10.1f : s + 0.1f) / b.p().getSteppedRange(349));
                if (page == kPageEasy && b.ed->getScreenMode() != kPageEasy) b.ed->showEasyScreen();
                b.step();
                b.step();
                expectReadable(Shot(b.frame()), *b.ed, size, pages[page]);
            }
        }
        b.ed->showBackPage();
        SCOPED_TRACE("page back");
        expectReadable(Shot(b.frame()), *b.ed, size, pages[2]);
        EXPECT_TRUE(b.guard.faults.empty());
    }
    for (int p = 0; p < 3; ++p)
        std::printf("%s page: lowest contrast %.2f : 1 (%s); least room %.2f px (%s); smallest fit %.2f (%s)\n",
                    names[p], pages[p].lowestContrast, pages[p].lowestText.c_str(), pages[p].narrowestMargin,
                    pages[p].narrowestText.c_str(), pages[p].smallestScale, pages[p].smallestText.c_str());
}
