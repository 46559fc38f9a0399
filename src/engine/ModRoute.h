// The modulation matrix's per-sample records: an active route, and the memo that lets a pass
// whose inputs and outputs all stand be skipped.
#pragma once

#include <cstdint>

constexpr int kNumModSources = 137;
constexpr int kNumModDests = 401;
// A destination row, with room to spare. Not a power of two: rows 2 KB apart would put
// the same destination of every other voice into one cache set, where the voices' rows
// evict each other and whatever else maps there.
constexpr int kModDestSlots = 528;

// The destinations the render loop reads every sample (each layer's volume, pan, wave mix
// and phase, filter, high-pass and Wire frequencies, high-pass Q; the voice's volume and
// pan) are also kept side by side in the row's two last cache lines, past the 401: the
// per-sample readers then touch two lines of a voice's row rather than one or two for each
// layer. Whatever writes a destination of a row writes its copy there too (the defaults
// carry the copies' defaults, so a row copied from them is whole).
constexpr int kHotDestBase = 496;  // a cache line's first slot (rows are 33 lines apart)
constexpr int kHotLayerStride = 8;
enum HotLayerDest : int {  // in the order of the layer's block; volume and pan side by side
    kHotVol, kHotPan, kHotMix, kHotPhase, kHotFilterFreq, kHotHPFreq, kHotHPQ, kHotWireFreq
};
constexpr int kHotLayerDest[kHotLayerStride] = {50, 51, 40, 43, 44, 48, 49, 52};  // layer 1's
constexpr int kHotVoiceVolume = kHotDestBase + 3 * kHotLayerStride;  // destination 1
constexpr int kHotVoicePan = kHotVoiceVolume + 1;                    // destination 12
// FM's operator levels (layer 1's destinations 77 and 93), two a layer, in the room left in
// the last line: an FM voice layer would otherwise touch two lines of its own for them.
constexpr int kHotFMLevelBase = kHotVoicePan + 1;
constexpr int hotFMLevelSlot(int layer, int op) { return kHotFMLevelBase + 2 * layer + op; }
static_assert(kHotDestBase >= kNumModDests && hotFMLevelSlot(2, 1) < kModDestSlots &&
                  kHotDestBase % 16 == 0 && kModDestSlots % 16 == 0,
              "the copies lie past the destinations, from a cache line's start");
// The slot of each destination's copy in the row (for the layer stride 92), or -1.
struct HotDestCopies {
    int16_t slot[kNumModDests];
};
constexpr HotDestCopies hotDestCopies() {
    HotDestCopies c{};
    for (int16_t& s : c.slot) s = -1;
    c.slot[1] = kHotVoiceVolume;
    c.slot[12] = kHotVoicePan;
    for (int layer = 0; layer < 3; ++layer)
        for (int k = 0; k < kHotLayerStride; ++k)
            c.slot[kHotLayerDest[k] + 92 * layer] =
                (int16_t)(kHotDestBase + kHotLayerStride * layer + k);
    for (int layer = 0; layer < 3; ++layer) {
        c.slot[77 + 92 * layer] = (int16_t)hotFMLevelSlot(layer, 0);
        c.slot[93 + 92 * layer] = (int16_t)hotFMLevelSlot(layer, 1);
    }
    return c;
}
inline constexpr HotDestCopies kHotDestCopies = hotDestCopies();
constexpr int hotDestSlot(int d) {
    return d >= 0 && d < kNumModDests ? kHotDestCopies.slot[d] : -1;
}
// Layer `layer`'s copy of its hot destination k.
constexpr int hotLayerSlot(int layer, int k) { return kHotDestBase + kHotLayerStride * layer + k; }

// Whether destination d is read only by the voices and the control steps, never by the
// effect chain or the output stage: the layers' own (37 to 312), the main ones but Mono
// Spread (the voices' volume and pan, the Amp envelope, tuning, portamento, strums, speeds,
// the arpeggiator), the global LFOs' settings, the slots' amounts and the ribbon (366 to
// 400). Mono Spread (11), which the output stage reads, and the effects' (313 to 365) are
// not.
constexpr bool destOutsideChain(int d) {
    return (d >= 1 && d <= 10) || (d >= 12 && d <= 312) || (d >= 366 && d < kNumModDests);
}

// An active slot with everything the per-sample passes need. The routes are grouped by
// destination (the groups in the order their destinations first appear, each in slot
// order): destinations do not interact, so each is reset, moved by its routes and checked
// in one go.
struct ModRoute {
    int32_t dest;
    int16_t kind;        // the destination's kind (add, factor, pitch, stepped, multiply)
    int16_t copy;        // where the destination's copy lies (hotDestSlot), or dest
    int32_t src;         // 0: none
    int32_t amountTag;   // the slot's amount parameter
    int32_t amountDest;  // the destination that modulates the slot's amount
    uint8_t fromGlobal;  // the source only the global row carries
    uint8_t bipolar;     // the source is bipolar
    uint8_t first;       // the first route of its destination's group
    uint8_t last;        // the last one
};
static_assert(sizeof(ModRoute) == 24, "eight routes in three cache lines");

// Where every input of a modulation pass lies (each route's amount parameter, amount
// destination and source value) with the bits it read there, then where each value it
// wrote lies with the bits it wrote. A pass whose inputs and outputs all stand as they were
// would write the same values, and is skipped. Locations are byte offsets into the engine,
// so the check is one loop of loads over one or two cache lines.
//
// A voice's destination row is written by its own passes alone, but for a note start or a
// reset (which also start the voice's counter over, so that a whole pass follows without a
// check) and for what drops its memo: there, the amount destinations a pass read are
// compared once, after it, and the memo dropped if the pass itself moved them; the check
// then looks at the parameters and sources alone. The global row is watched whole.
constexpr int kModPassWatches = 32;  // eight routes: three inputs and one output each
struct alignas(64) ModPassMemo {
    uint32_t generation;  // the route generation the locations belong to (0: none)
    uint8_t count;        // entries the check looks at (up to seven share the header's line)
    uint8_t inputs;       // entries read before the pass
    uint8_t total;        // entries in all: those from `inputs` on were written by the pass
    uint8_t steady;       // kSteadyInputs, kSteadyNow (see below)
    struct Watch {
        uint32_t offset;
        uint32_t bits;
    } watch[kModPassWatches];
    // A route generation whose routes' destinations (and their copies) are the only slots
    // of the row that may hold other than their defaults (0: not known). While the routes
    // stand, the 128-sample reset of the row then has nothing to set back: every slot the
    // routes write is written again from its default.
    uint32_t rowRoutes;
};
static_assert(sizeof(ModPassMemo) == 320, "the row's routes in the padding of the last line");
// A voice's pass whose checked inputs are all parameters and sources that change only at a
// run's start (MIDI, a control step), at the voice's own 4-sample step (where its check
// follows) or through setModSrc (kSteadyInputs), and whose memo stood or was taken anew at
// that step, with no setModSrc since (kSteadyNow): on the samples after the step within the
// same run of the render loop, nothing its check reads can have moved on this thread, and
// the check is left out. (A parameter that another thread writes lands at no set sample
// anyway; the next step's check sees it.)
constexpr uint8_t kSteadyInputs = 1;
constexpr uint8_t kSteadyNow = 2;
// Whether a voice pass reading source `src` (0: none) from its own row or the global one
// can keep kSteadyInputs: the note, controller and pedal sources (written at note events,
// run starts or the voice's step) and the ribbon (through setModSrc only).
constexpr bool steadyModSource(int src, bool fromGlobal) {
    return src == 0 || (!fromGlobal && (src <= 41 || src == 111));
}
// After setModSrc: no voice's memo is known to stand any longer.
inline void dropSteadyMemos(ModPassMemo* memos, int voices) {
    for (int v = 0; v < voices; ++v) memos[v].steady &= kSteadyInputs;
}
static_assert(kModPassWatches <= 255, "an entry count fits a byte");
// The entries every check looks at: those past a memo's count then hold what keeps them
// standing (see watchModPass), or more of its own (which stand as long as the pass does).
constexpr int kModPassFixed = 4;

// Whether every location a memo watches holds the bits its pass read or wrote there, the
// route generation included; base is the engine the offsets count from. Parameter values
// are written by other threads too: every location is read as one relaxed atomic access, a
// plain move on x86.
inline bool modPassMemoStands(const char* base, uint32_t routeGeneration,
                              const ModPassMemo& memo) {
    typedef uint32_t __attribute__((may_alias)) WordAlias;
    uint32_t changed = memo.generation ^ routeGeneration;
    const ModPassMemo::Watch* w = memo.watch;
    const auto moved = [base, w](int k) {
        return __atomic_load_n(reinterpret_cast<const WordAlias*>(base + w[k].offset),
                               __ATOMIC_RELAXED) ^
               w[k].bits;
    };
    // A route or two is the rule: the first kModPassFixed entries are looked at whatever
    // the count (a memo with fewer fills the others with entries that watch their own
    // bits), the others in a loop.
    static_assert(kModPassFixed == 4, "four entries unrolled");
    changed |= moved(0) | moved(1) | moved(2) | moved(3);
    for (int k = kModPassFixed; k < memo.count; ++k) changed |= moved(k);
    return changed == 0;
}
