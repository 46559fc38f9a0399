// The editor artwork that the build draws beside the plug-in: every bitmap at every size, at
// the size the scaling rule gives, the same bytes on every run, and pictures that show their
// states. A missing resource folder leaves bitmaps unloaded rather than failing.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <cstdlib>
#include <set>
#include <string>

#include "../resources/ArtworkCatalog.h"
#include "gui/CBitmap.h"
#include "gui_support/GuiTestKit.h"
#include "support/TestFiles.h"

using namespace VSTGUI;
using namespace guitest;

namespace {

std::string folderOf(const std::string& path) { return path.substr(0, path.rfind('/') + 1); }

const std::string kResources = folderOf(TAV_PLUGIN_PATH) + "Tavrolune.resources/";

struct Loaded {
    CBitmap* bmp;
    explicit Loaded(int id) : bmp(new CBitmap(CResourceDescription(id))) {}
    ~Loaded() { bmp->forget(); }
    // Pixels of rows y0..y1 whose (premultiplied) green is above `level`: lit yellow-green.
    int lit(int y0, int y1, int level = 150) const {
        cairo_surface_t* s = bmp->getSurface();
        const unsigned char* d = cairo_image_surface_get_data(s);
        const int stride = cairo_image_surface_get_stride(s);
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = 0; x < bmp->getWidth(); ++x) n += d[y * stride + x * 4 + 1] > level;
        return n;
    }
    double meanGreen() const {
        const int h = static_cast<int>(bmp->getHeight()), w = static_cast<int>(bmp->getWidth());
        cairo_surface_t* s = bmp->getSurface();
        const unsigned char* d = cairo_image_surface_get_data(s);
        double sum = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) sum += d[y * cairo_image_surface_get_stride(s) + x * 4 + 1];
        return sum / (w * h);
    }
    int alphaAt(int x, int y) const {
        cairo_surface_t* s = bmp->getSurface();
        return cairo_image_surface_get_data(s)[y * cairo_image_surface_get_stride(s) + x * 4 + 3];
    }
};

} // namespace

TEST(GuiArtwork, EveryBitmapExistsAtEverySizeAtItsScaledSize) {
    GuiStateGuard state;
    CBitmap::setResourceFolder(kResources);
    std::set<int> ids;
    for (const artwork::BitmapSpec& bitmap : artwork::kBitmaps) {
        ids.insert(bitmap.id);
        for (int s = 0; s < artwork::kSizeCount; ++s) {
            SCOPED_TRACE(bitmap.id + 1000 * s);
            Loaded b(bitmap.id + 1000 * s);
            ASSERT_TRUE(b.bmp->isLoaded());
            const int cellW = static_cast<int>(bitmap.width * artwork::kScales[s]);
            const int cellH = static_cast<int>(bitmap.height * artwork::kScales[s]);
            EXPECT_EQ(b.bmp->getWidth(), cellW);
            EXPECT_EQ(b.bmp->getHeight(), cellH * bitmap.cells);
            if (bitmap.cells == 2) {
                EXPECT_EQ(static_cast<int>(b.bmp->getHeight()) % 2, 0);
            }
            if (bitmap.cells == artwork::kKnobFrames) {
                EXPECT_EQ(b.bmp->getHeight(), 149 * b.bmp->getWidth());
            }
        }
    }
    EXPECT_EQ(ids.size(), 39u);
    // The frame takes its size from the main background; the pages share it; the easy layer
    // containers share their height.
    Loaded main(10000), easy(10001), back(10002), left(13030), right(13367);
    EXPECT_EQ(main.bmp->getSize(), CPoint(1132, 779));
    EXPECT_EQ(easy.bmp->getSize(), main.bmp->getSize());
    EXPECT_EQ(back.bmp->getSize(), main.bmp->getSize());
    EXPECT_EQ(left.bmp->getHeight(), right.bmp->getHeight());
}

TEST(GuiArtwork, ARerunWritesTheSameBytes) {
    const std::string out = testfiles::makeScratchFolder("artwork");
    ASSERT_FALSE(out.empty());
    const std::string tool = folderOf(TAV_HOST_PATH) + "tavrolune-artwork";
    ASSERT_EQ(std::system(("'" + tool + "' '" + out + "'").c_str()), 0);
    const std::vector<std::string> names = testfiles::listFolder(out);
    EXPECT_EQ(names.size(), 39u * 4);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        EXPECT_EQ(testfiles::readFile(out + "/" + name), testfiles::readFile(kResources + name));
    }
}

TEST(GuiArtwork, PicturesShowTheirStatesTheSameAtEverySize) {
    GuiStateGuard state;
    CBitmap::setResourceFolder(kResources);
    for (int s = 0; s < artwork::kSizeCount; ++s) {
        SCOPED_TRACE(s);
        // Two-state strips: the lower (on) half is the lit one.
        for (int id : {10060, 10062, 10064}) {
            Loaded strip(id + 1000 * s);
            const int half = static_cast<int>(strip.bmp->getHeight()) / 2;
            EXPECT_GT(strip.lit(half, 2 * half), strip.lit(0, half) + half / 2) << id;
        }
        // A plain knob lights more of its arc as the value grows; a marked one lights from the
        // centre, so both ends light more than the middle.
        Loaded plain(10050 + 1000 * s), marked(10053 + 1000 * s);
        const int f = static_cast<int>(plain.bmp->getWidth()), g = static_cast<int>(marked.bmp->getWidth());
        EXPECT_LT(plain.lit(0, f), plain.lit(74 * f, 75 * f));
        EXPECT_LT(plain.lit(74 * f, 75 * f), plain.lit(148 * f, 149 * f));
        EXPECT_LT(marked.lit(74 * g, 75 * g), marked.lit(0, g));
        EXPECT_LT(marked.lit(74 * g, 75 * g), marked.lit(148 * g, 149 * g));
        // The pages are opaque; the containers let the page show through.
        Loaded page(10000 + 1000 * s), container(10024 + 1000 * s);
        EXPECT_EQ(page.alphaAt(0, 0), 255);
        EXPECT_EQ(container.alphaAt(0, 0), 0);
        // One drawing scaled: the page's overall tone barely moves between sizes.
        Loaded first(10000);
        EXPECT_NEAR(page.meanGreen(), first.meanGreen(), 1.5);
    }
}

TEST(GuiArtwork, AMissingFolderOrBadFileLoadsNothing) {
    GuiStateGuard state;
    const std::string bad = testfiles::makeScratchFolder("artwork-bad");
    testfiles::writeFile(bad + "/bmp10000.png", "not a picture");
    for (const std::string& folder : {std::string("/nonexistent/Tavrolune.resources/"), bad}) {
        CBitmap::setResourceFolder(folder);
        Loaded b(10000);
        EXPECT_FALSE(b.bmp->isLoaded());
        EXPECT_EQ(b.bmp->getSize(), CPoint(0, 0));
        Canvas c(8, 8);
        b.bmp->draw(c.ctx(), CRect(0, 0, 8, 8));
        EXPECT_TRUE(c.changed(kBlackCColor).empty());
    }
}
