#include "gui/EmbeddedArtwork.h"

#include <cstring>

// Defined by the artwork library that the build links into the GUI layer.
extern "C" const unsigned char tav_artwork_pack_begin[];
extern "C" const unsigned char tav_artwork_pack_end[];

namespace VSTGUI {

namespace {

uint32_t readU32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

} // namespace

ArtworkBytes embeddedArtworkPack() {
    ArtworkBytes b;
    b.data = tav_artwork_pack_begin;
    b.size = static_cast<std::size_t>(tav_artwork_pack_end - tav_artwork_pack_begin);
    return b;
}

ArtworkBytes findArtwork(ArtworkBytes pack, int32_t id) {
    if (!pack.data || pack.size < 12 || std::memcmp(pack.data, "TAVART1\n", 8) != 0) return {};
    const std::size_t count = readU32(pack.data + 8);
    if (count > (pack.size - 12) / 12) return {};
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char* e = pack.data + 12 + 12 * i;
        if (static_cast<int32_t>(readU32(e)) != id) continue;
        const std::size_t offset = readU32(e + 4), length = readU32(e + 8);
        if (offset > pack.size || length > pack.size - offset || length == 0) return {};
        ArtworkBytes png;
        png.data = pack.data + offset;
        png.size = length;
        return png;
    }
    return {};
}

} // namespace VSTGUI
