// The editor artwork that the build draws and links in: every bitmap at every size, at the
// size the scaling rule gives, the same bytes on every run and in the plug-in, and pictures
// that show their states. A missing folder or picture, or a broken pack, loads nothing.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <cstdlib>
#include <set>
#include <string>

#include "../resources/ArtworkCatalog.h"
#include "gui/CBitmap.h"
#include "gui/EmbeddedArtwork.h"
#include "gui_support/GuiTestKit.h"
#include "support/TestFiles.h"

using namespace VSTGUI;
using namespace guitest;

namespace {

std::string folderOf(const std::string& path) { return path.substr(0, path.rfind('/') + 1); }


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
    // The pack holds exactly the catalogue at the four sizes.
    const ArtworkBytes pack = embeddedArtworkPack();
    ASSERT_GE(pack.size, 12u);
    EXPECT_EQ(pack.data[8] | pack.data[9] << 8, artwork::kBitmapCount * artwork::kSizeCount);
    EXPECT_EQ(findArtwork(pack, 10061).data, nullptr);
    EXPECT_EQ(findArtwork(pack, 14000).data, nullptr);
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

TEST(GuiArtwork, ARerunWritesTheSameBytesAndThePluginHoldsThem) {
    const std::string out = testfiles::makeScratchFolder("artwork");
    ASSERT_FALSE(out.empty());
    const std::string tool = folderOf(TAV_HOST_PATH) + "tavrolune-artwork";
    ASSERT_EQ(std::system(("'" + tool + "' '" + out + "/again.pack'").c_str()), 0);
    const std::string again = testfiles::readFile(out + "/again.pack");
    const ArtworkBytes linked = embeddedArtworkPack();
    ASSERT_GT(again.size(), 39u * 4 * 12);
    EXPECT_TRUE(again == std::string(reinterpret_cast<const char*>(linked.data), linked.size));
    // The plug-in's shared object carries the same pack whole.
    EXPECT_NE(testfiles::readFile(TAV_PLUGIN_PATH).find(again), std::string::npos);
    // Nothing is left beside the plug-in for it to depend on.
    EXPECT_EQ(testfiles::listFolder(folderOf(TAV_PLUGIN_PATH)), std::vector<std::string>{"Tavrolune.so"});
}

TEST(GuiArtwork, PicturesShowTheirStatesTheSameAtEverySize) {
    GuiStateGuard state;
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

TEST(GuiArtwork, AMissingFolderOrPictureOrBadFileLoadsNothing) {
    GuiStateGuard state;
    const std::string bad = testfiles::makeScratchFolder("artwork-bad");
    testfiles::writeFile(bad + "/bmp10000.png", "not a picture");
    // A folder set in place of the linked-in artwork that is missing or holds no PNG, and an
    // id the artwork does not have.
    for (const std::string& folder : {std::string("/nonexistent/artwork/"), bad, std::string()}) {
        CBitmap::setResourceFolder(folder);
        Loaded b(folder.empty() ? 10061 : 10000);
        EXPECT_FALSE(b.bmp->isLoaded());
        EXPECT_EQ(b.bmp->getSize(), CPoint(0, 0));
        Canvas c(8, 8);
        b.bmp->draw(c.ctx(), CRect(0, 0, 8, 8));
        EXPECT_TRUE(c.changed(kBlackCColor).empty());
    }
}

TEST(GuiArtwork, ABrokenPackAnswersNoPicture) {
    const ArtworkBytes linked = embeddedArtworkPack();
    ASSERT_NE(findArtwork(linked, 10000).data, nullptr);
    const std::string whole(reinterpret_cast<const char*>(linked.data), linked.size);
    auto find = [](const std::string& bytes, int id) {
        ArtworkBytes pack;
        pack.data = reinterpret_cast<const unsigned char*>(bytes.data());
        pack.size = bytes.size();
        return findArtwork(pack, id).data != nullptr;
    };
    // The pack's last picture: the catalogue's last id at the largest size.
    const int last = artwork::kBitmaps[artwork::kBitmapCount - 1].id + 1000 * (artwork::kSizeCount - 1);
    EXPECT_TRUE(find(whole, last));
    std::string magic = whole, count = whole, entry = whole;
    magic[0] = 'X';
    count[11] = 0x7f;                // more entries than the pack can hold
    entry[12 + 4 + 3] = 0x7f;        // the first picture's offset beyond the end
    const std::string cut = whole.substr(0, whole.size() - 1);  // the last picture lacks a byte
    EXPECT_FALSE(find(magic, 10000));
    EXPECT_FALSE(find(count, 10000));
    EXPECT_FALSE(find(entry, 10000));
    EXPECT_FALSE(find(cut, last));
    EXPECT_TRUE(find(cut, 10000));
    EXPECT_FALSE(find(whole.substr(0, 11), 10000));
}
