// The editor's artwork as linked into this binary: one pack of PNG pictures by resource id,
// drawn by the build's artwork generator. Layout (integers 32-bit little-endian):
//
//   "TAVART1\n"  count  count x {id, offset from the pack's start, length}  the PNG bytes
//
// A pack that does not hold to it (bad magic, an entry outside the pack) answers no picture.
#pragma once

#include <cstddef>
#include <cstdint>

namespace VSTGUI {

struct ArtworkBytes {
    const unsigned char* data = nullptr;
    std::size_t size = 0;
};

// The pack linked into this binary.
ArtworkBytes embeddedArtworkPack();
// The PNG of `id` in `pack`; empty when the pack has none or is malformed.
ArtworkBytes findArtwork(ArtworkBytes pack, int32_t id);

} // namespace VSTGUI
