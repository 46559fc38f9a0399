// The modulation matrix: eight slots route any of the 137 sources to any of the 401
// destinations. Every sample the slots run once over the global rows and once over each
// active voice's rows; the consumers (layer models, envelopes, LFOs, arpeggiator, effects,
// ribbon) read the destination values. The control block caches the slot settings every
// 128 samples, so the per-sample work is bounded by the active slots.
#include <cmath>
#include <cstring>

#include "engine/RandSeed.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginStrings.h"
#include "plugin/uPluginTags.h"

namespace {

enum DestKind : int32_t {
    kDestAdd = 1,
    kDestFactor = 2,
    kDestPitch = 3,
    kDestStepped = 4,
    kDestMultiply = 5,
};

static_assert(kLayerDestStride == 92, "the copies' slots count layers 92 apart");

constexpr int kLastSource = 136;
constexpr int kLastDest = 400;
constexpr int kSrcRibbon = 111;
constexpr int kSrcInput = 117;
constexpr int kSrcFirstFXOut = 125;
constexpr int kSrcOutput = 129;
constexpr int kSrcWhiteNoise = 131;
constexpr int kSrcWhiteUniNoise = 132;

// A destination past this magnitude means nothing to any consumer; holding it there keeps
// a runaway slot from ever reaching infinity.
constexpr float kDestLimit = 1.0e9f;

// The Mod FX knobs 108..112 and the destination each drives in each Mod FX mode.
constexpr int kModFXKnobDest[5][11] = {
    {341, 341, 341, 341, 341, 341, 341, 341, 341, 360, 341},
    {351, 351, 351, 351, 356, 360, 340, 340, 340, 362, 350},
    {352, 352, 352, 352, 357, 357, 352, 361, 352, 361, 352},
    {353, 353, 355, 353, 358, 358, 345, 345, 345, 353, 353},
    {364, 354, 354, 354, 359, 359, 350, 350, 350, 364, 354},
};

// Knobs whose shown value is a level: the tag, its destination, and which gain it scales.
enum GainKind { kGainMain, kGainLayer, kGainImpulse, kGainFM1, kGainFM2, kGainSub };
struct LevelKnob {
    int tag;
    int dest;
    GainKind kind;
    int layer;
};
constexpr LevelKnob kLevelKnobs[16] = {
    {1, 1, kGainMain, 0},       {15, 63, kGainImpulse, 0},  {22, 77, kGainFM1, 0},
    {25, 93, kGainFM2, 0},      {28, 102, kGainSub, 0},     {39, 50, kGainLayer, 0},
    {46, 155, kGainImpulse, 1}, {53, 169, kGainFM1, 1},     {56, 185, kGainFM2, 1},
    {59, 194, kGainSub, 1},     {70, 142, kGainLayer, 1},   {77, 247, kGainImpulse, 2},
    {84, 261, kGainFM1, 2},     {87, 277, kGainFM2, 2},     {90, 286, kGainSub, 2},
    {101, 234, kGainLayer, 2},
};
constexpr int kHighPassKnobs[3] = {37, 68, 99};
constexpr int kLFOSpeedDest[2] = {366, 378};
constexpr int kDestStrumSpeed = 17;
constexpr double kLog16384 = 9.704061;  // ln(2^14): a factor as a share of the 14 octaves
constexpr float kFMGainScale = 16777215.0f;

inline float clamp01(float x) {
    if (!(x > 0.0f)) return 0.0f;  // NaN too
    return x < 1.0f ? x : 1.0f;
}

inline int clampIndex(int x, int hi) { return x < 0 ? 0 : (x > hi ? hi : x); }

// 2^(4 a s) for a factor destination, the exponent held to +-126. `cache` holds the last
// exponent and its power (0: none yet), so a source standing still costs no exp2.
inline float factorOf(float a, float s, float* cacheExp, float* cacheValue) {
    float e = 4.0f * a * s;
    if (!(e > -126.0f)) e = e != e ? 0.0f : -126.0f;
    if (e > 126.0f) e = 126.0f;
    if (e == *cacheExp && *cacheValue != 0.0f) return *cacheValue;
    const float f = std::exp2(e);
    *cacheExp = e;
    *cacheValue = f;
    return f;
}

// One slot applied to its destination value x: amount a, source value s.
inline void applySlot(float& x, int kind, float a, float s, int src, bool bipolar, bool voice,
                      float* cacheExp, float* cacheValue) {
    switch (kind) {
        case kDestFactor:
            x *= factorOf(a, s, cacheExp, cacheValue);
            break;
        case kDestPitch:
            if (voice) {
                // The source as up to 36 semitones, cut to whole cents, in octaves.
                x += std::trunc(s * 3600.0f) * 0.01f * a / 12.0f;
                break;
            }
            x += a * s;
            break;
        case kDestMultiply: {
            const float u = src == kSrcRibbon ? std::fabs(s) : (bipolar ? s * 0.5f + 0.5f : s);
            if (a > 1e-6f)
                x *= u * a + 1.0f - a;
            else
                x *= (1.0f - std::fabs(u)) * std::fabs(a) + 1.0f - std::fabs(a);
            break;
        }
        default:
            x += a * s;
            break;
    }
}

// A destination that overflowed is held at the limit; one that is not a number goes back to
// its default.
inline void keepFinite(float& x, float fallback) {
    if (x >= -kDestLimit && x <= kDestLimit) return;
    x = x > kDestLimit ? kDestLimit : (x < -kDestLimit ? -kDestLimit : fallback);
}

}  // namespace

// --- control block ------------------------------------------------------------------------

void APlugin::updateModSlots() {
    for (int n = 0; n < kNumLFOs; ++n) {
        lfoWaveSel[n] = clampIndex(getSteppedValue(LFO_WAVE_TAGS[n]), 8);
        lfoModeSel[n] = clampIndex(getSteppedValue(LFO_MODE_TAGS[n]), 3);
    }
    updateRibbonSettings();
    // The routes and the in-use flags follow from each slot's source, destination and bypass
    // values alone (the destination kinds, the sources' polarities and the step records are
    // set at start-up): each value is read once, as one access, into the key, and while its
    // bits all stand, what this would build is already in place.
    uint32_t diff = modSlotKey[3 * kModSlots] ^ 1u;
    for (int slot = 0; slot < kModSlots; ++slot) {
        const int32_t tags[3] = {MOD_SRC_TAGS[slot], MOD_DEST_TAGS[slot], MOD_BY_TAGS[slot]};
        for (int k = 0; k < 3; ++k) {
            const float value = loadValue(paramValue[tags[k]]);
            uint32_t bits;
            std::memcpy(&bits, &value, sizeof(bits));
            diff |= bits ^ modSlotKey[3 * slot + k];
            modSlotKey[3 * slot + k] = bits;
        }
    }
    modSlotKey[3 * kModSlots] = 1;
    if (diff == 0) return;
    const auto value = [this](int slot, int k) {
        float v;
        std::memcpy(&v, &modSlotKey[3 * slot + k], sizeof(v));
        return v;
    };
    ModRoute previous[kModSlots];
    std::memcpy(previous, modRoutes, sizeof(previous));
    const int previousCount = modActiveCount;
    int active = 0;
    ModRoute inSlotOrder[kModSlots];
    std::memset(lfoUsed, 0, sizeof(lfoUsed));
    std::memset(fxOutSrcUsed, 0, sizeof(fxOutSrcUsed));
    modInputUsed = modOutputUsed = modNoiseUsed = 0;
    for (int slot = 0; slot < kModSlots; ++slot) {
        const int src = clampIndex(getSteppedValue(MOD_SRC_TAGS[slot], value(slot, 0)), kLastSource);
        const int dest = clampIndex(getSteppedValue(MOD_DEST_TAGS[slot], value(slot, 1)), kLastDest);
        int kind = dest > 0 ? destType[dest] : kDestAdd;
        if (kind < kDestAdd || kind > kDestMultiply) kind = kDestAdd;
        const bool bypass = isValidTag(MOD_BY_TAGS[slot]) && value(slot, 2) >= 0.5f;  // getOnOff
        modSlotSrc[slot] = src;
        modSlotDest[slot] = dest;
        modSlotType[slot] = kind;
        modSlotBypass[slot] = bypass ? 1 : 0;
        // Sources that only the global row carries: the voice passes read them there.
        modSlotSrcGlobal[slot] = (src == kSrcInput || src == kSrcOutput || src == kSrcWhiteNoise ||
                                  src == kSrcWhiteUniNoise)
                                     ? 1
                                     : 0;
        if (!bypass && dest != 0) {
            ModRoute& r = inSlotOrder[active];
            r.dest = dest;
            r.kind = (int16_t)kind;
            r.copy = (int16_t)(hotDestSlot(dest) >= 0 ? hotDestSlot(dest) : dest);
            r.src = src;
            r.amountTag = MOD_AMT_TAGS[slot];
            r.amountDest = DEST_MOD_AMT[slot];
            r.fromGlobal = modSlotSrcGlobal[slot];
            r.bipolar = srcBipolar[src] != 0 ? 1 : 0;
            r.first = r.last = 1;
            modActiveSlots[active++] = slot;
        }

        // The in-use flags look at every slot, bypassed or not.
        if (src == 98 || src == 99) lfoUsed[0] = 1;
        if (src == 100 || src == 101) lfoUsed[1] = 1;
        if (src >= 102 && src <= 107) lfoUsed[0] = lfoUsed[1] = lfoUsed[2] = 1;
        if (src == kSrcInput) modInputUsed = 1;
        if (src == kSrcOutput) modOutputUsed = 1;
        if (src == kSrcWhiteNoise || src == kSrcWhiteUniNoise) modNoiseUsed = 1;
        if (src >= kSrcFirstFXOut && src < kSrcFirstFXOut + 4) fxOutSrcUsed[src - kSrcFirstFXOut] = 1;
    }
    modActiveCount = active;
    // The routes grouped by destination, the groups in the order their destinations first
    // appear, each group in slot order.
    int placed = 0;
    for (int i = 0; i < active; ++i) {
        const int d = inSlotOrder[i].dest;
        bool seen = false;
        for (int j = 0; j < i; ++j) seen = seen || inSlotOrder[j].dest == d;
        if (seen) continue;
        const int start = placed;
        for (int k = i; k < active; ++k) {
            if (inSlotOrder[k].dest != d) continue;
            modRoutes[placed] = inSlotOrder[k];
            modRoutes[placed].first = placed == start ? 1 : 0;
            modRoutes[placed].last = 0;
            ++placed;
        }
        modRoutes[placed - 1].last = 1;
    }
    // Other routes: no voice's last pass stands for the next one.
    // (0 is no generation: a memo holding it stands for nothing.)
    if (active != previousCount || std::memcmp(previous, modRoutes, sizeof(previous)) != 0)
        if (++modRouteGeneration == 0) modRouteGeneration = 1;
}

// --- per sample -----------------------------------------------------------------------------

void APlugin::runGlobalModulation() {
    // (Neither LFO in use: nothing to publish.)
    if (lfoUsed[0] | lfoUsed[1]) publishGlobalLFOs();
    if (modNoiseUsed) {
        const float u = RandSeed.nextUnipolar();
        modSrcGlobal[kSrcWhiteNoise] = 2.0f * u - 1.0f;
        modSrcGlobal[kSrcWhiteUniNoise] = u;
    }
    runRibbonSample();
    runGlobalModPass();
}

namespace {
// The bits of what the layers' tails keep of a voice's destination row (see TTailLevels):
// each layer's volume and pan copies, side by side, then the voice's.
struct TailInputs {
    uint64_t pair[kNumLayers + 1];
};
static_assert(kHotPan == kHotVol + 1 && kHotVoicePan == kHotVoiceVolume + 1, "pairs side by side");
inline TailInputs tailInputs(const float* row) {
    TailInputs t;
    for (int layer = 0; layer < kNumLayers; ++layer)
        std::memcpy(&t.pair[layer], row + hotLayerSlot(layer, kHotVol), sizeof t.pair[layer]);
    std::memcpy(&t.pair[kNumLayers], row + kHotVoiceVolume, sizeof t.pair[kNumLayers]);
    return t;
}

// A voice's pass run anew (its memo taken with it), and the same after publishing the
// voice's LFO sources: kept out of line, so the per-sample check that usually finds the
// last pass standing needs no frame of its own. The layers' controls look at the row again;
// the tails' kept levels of the voice are dropped only where the pass moved what they read
// (a pitch or filter route leaves them standing).
__attribute__((noinline)) void rerunVoiceModPass(APlugin& p, int voice, bool whole) {
    float* const row = p.modDestVoice[voice];
    const TailInputs before = tailInputs(row);
    p.runModPassMemo(p.modPassMemo[voice], row, p.modSrcVoice[voice], true, whole,
                     p.modFactorExp[voice], p.modFactorValue[voice]);
    const TailInputs after = tailInputs(row);
    if (std::memcmp(&before, &after, sizeof before) != 0)
        dropTailLevels(p.tailLevels, voice);
    else
        dropControlsStand(p.tailLevels, voice);
}
__attribute__((noinline)) void runVoiceModulationWithLFOs(APlugin& p, int voice) {
    p.publishVoiceLFOs(voice);
    p.runVoiceModPass(voice);
}
}  // namespace

void APlugin::runVoiceModulation(int voice) {
    if (!isValidVoice(voice)) return;
    // (Neither LFO in use: nothing to publish.)
    if (lfoUsed[0] | lfoUsed[1]) return runVoiceModulationWithLFOs(*this, voice);
    const bool whole = (voiceCounter[voice] & 0x7f) == 0;
    if (!whole && modPassStands(modPassMemo[voice])) return;
    rerunVoiceModPass(*this, voice, whole);
}

// Only the sources that are used (and those used since the last clear) can hold anything
// but 0; the others are left as the last clear left them.
void APlugin::clearFXOutSources() {
    for (int k = 0; k < 4; ++k) {
        if (!fxOutSrcUsed[k] && !fxOutSrcDirty[k]) continue;
        fxOutSrcDirty[k] = fxOutSrcUsed[k];
        const int s = kSrcFirstFXOut + k;
        modSrcGlobal[s] = 0.0f;
        for (int v = 0; v < kNumVoices; ++v) modSrcVoice[v][s] = 0.0f;
    }
}

// One pass of the active routes over a destination row. The amount destinations are taken
// before anything is reset: a slot that modulates another slot's amount acts one sample
// later. Each written destination starts from its default, takes its routes in slot order
// and is held finite; on the 128-sample cadence (`whole`) every other one goes back to its
// default too.
void APlugin::runModPass(float* dest, const float* row, bool voicePass, bool whole,
                         float* cacheExp, float* cacheValue) {
    const int count = modActiveCount;
    const ModRoute* routes = modRoutes;
    float amountMod[kModSlots];
    for (int i = 0; i < count; ++i) amountMod[i] = dest[routes[i].amountDest];
    if (whole) std::memcpy(dest, modDestDefault, sizeof(modDestGlobal));

    float x = 0.0f;
    for (int i = 0; i < count; ++i) {
        const ModRoute& r = routes[i];
        if (r.first) x = modDestDefault[r.dest];
        const int src = r.src;
        const float a = 2.0f * paramValue[r.amountTag] - 1.0f + amountMod[i];
        const float s = src > 0 ? (r.fromGlobal ? modSrcGlobal[src] : row[src]) : 0.0f;
        applySlot(x, r.kind, a, s, src, r.bipolar != 0, voicePass, cacheExp + i, cacheValue + i);
        if (r.last) {
            keepFinite(x, modDestDefault[r.dest]);
            dest[r.dest] = x;
            dest[r.copy] = x;  // (the destination itself again, when it has no copy)
        }
    }
}

namespace {
// The bits of a float of the engine at a byte offset. Parameter values are written by other
// threads too: every location is read as one relaxed atomic access, a plain move on x86.
typedef uint32_t __attribute__((may_alias)) WordAlias;
inline uint32_t bitsAt(const char* base, uint32_t offset) {
    return __atomic_load_n(reinterpret_cast<const WordAlias*>(base + offset), __ATOMIC_RELAXED);
}
}  // namespace

// Whether every watched location holds the bits the memo's pass read or wrote there.
inline bool APlugin::modPassStands(const ModPassMemo& memo) const {
    return modPassMemoStands(reinterpret_cast<const char*>(this), modRouteGeneration, memo);
}

namespace {
// modPassMemoStands for the global row, which is checked every sample: the entries past the
// fixed ones are taken straight up to eight (a few routes is the rule), without a loop's
// counting for each.
inline bool globalPassStands(const char* base, uint32_t routeGeneration, const ModPassMemo& memo) {
    const ModPassMemo::Watch* w = memo.watch;
    const auto moved = [base, w](int k) { return bitsAt(base, w[k].offset) ^ w[k].bits; };
    static_assert(kModPassFixed == 4 && kModPassWatches >= 8, "four entries always, four more by count");
    uint32_t changed = (memo.generation ^ routeGeneration) | moved(0) | moved(1) | moved(2) | moved(3);
    const int count = memo.count;
    for (int k = 8; k < count; ++k) changed |= moved(k);
    switch (count) {
        default:
            changed |= moved(7);
            [[fallthrough]];
        case 7:
            changed |= moved(6);
            [[fallthrough]];
        case 6:
            changed |= moved(5);
            [[fallthrough]];
        case 5:
            changed |= moved(4);
            [[fallthrough]];
        case 4:
        case 3:
        case 2:
        case 1:
        case 0:
            break;
    }
    return changed == 0;
}
}  // namespace

void APlugin::runGlobalModPass() {
    const bool whole = (sampleCounter & 0x7f) == 0 || forceControlUpdate;
    ModPassMemo& memo = modPassMemo[kNumVoices];
    // A whole pass over a row whose routes stood since its last one sets nothing back: it is
    // an ordinary pass then, and one that stands is left out as well (the row is watched
    // whole, so a reset that rewrote it does not stand).
    const bool resets = whole && (forceControlUpdate || memo.rowRoutes != modRouteGeneration);
    if (!resets && globalPassStands(reinterpret_cast<const char*>(this), modRouteGeneration, memo)) return;
    runModPassMemo(memo, modDestGlobal, modSrcGlobal, false, whole, modFactorExp[kNumVoices],
                   modFactorValue[kNumVoices]);
}

// The voice's pass, skipped while every input it reads and every value it writes stand bit
// for bit as its last run left them (between the 128-sample resets): it would write them again.
void APlugin::runVoiceModPass(int voice) {
    if (!isValidVoice(voice)) return;
    const bool whole = (voiceCounter[voice] & 0x7f) == 0;
    ModPassMemo& memo = modPassMemo[voice];
    if (!whole && modPassStands(memo)) return;
    rerunVoiceModPass(*this, voice, whole);
}

// Where the pass over a destination row reads (each route's amount parameter, amount
// destination and source) and then writes (each destination group); each location once. A
// voice's row (see ModPassMemo) leaves its amount destinations out of the check and its
// outputs out of the memo.
void APlugin::watchModPass(ModPassMemo& memo, const float* dest, const float* row) const {
    const char* base = reinterpret_cast<const char*>(this);
    const auto offsetOf = [base](const void* p) {
        return (uint32_t)(reinterpret_cast<const char*>(p) - base);
    };
    const int count = modActiveCount;
    const bool ownRow = dest != modDestGlobal;
    int n = 0;
    int from = 0;  // duplicates are looked for among the entries taken at the same time
    bool steady = ownRow;
    const auto watch = [&memo, &n, &from](uint32_t offset) {
        for (int k = from; k < n; ++k)
            if (memo.watch[k].offset == offset) return;
        memo.watch[n++].offset = offset;
    };
    for (int i = 0; i < count; ++i) {
        const ModRoute& r = modRoutes[i];
        watch(offsetOf(&paramValue[r.amountTag]));
        if (!ownRow) watch(offsetOf(&dest[r.amountDest]));
        if (r.src > 0) watch(offsetOf(r.fromGlobal ? &modSrcGlobal[r.src] : &row[r.src]));
        steady = steady && steadyModSource(r.src, r.fromGlobal != 0);
    }
    memo.steady = steady ? kSteadyInputs : 0;
    if (ownRow) {
        memo.count = (uint8_t)n;
        from = n;
        for (int i = 0; i < count; ++i) watch(offsetOf(&dest[modRoutes[i].amountDest]));
        memo.inputs = memo.total = (uint8_t)n;
    } else {
        memo.inputs = (uint8_t)n;
        from = n;
        for (int i = 0; i < count; ++i)
            if (modRoutes[i].last) watch(offsetOf(&dest[modRoutes[i].dest]));
        memo.count = memo.total = (uint8_t)n;
    }
    // The entries every check looks at beyond these watch their own bits, which nothing
    // else writes: they always stand.
    for (int k = n; k < kModPassFixed; ++k) memo.watch[k].offset = offsetOf(&memo.watch[k].bits);
}

// A pass over a destination row with its memo taken anew: the inputs as the pass reads them
// (the amount destinations before it writes any), then the values it wrote. The locations
// stand while the routes do. A voice's pass that moved an amount destination it read
// leaves no memo: the next pass reads another value.
__attribute__((noinline)) void APlugin::runModPassMemo(ModPassMemo& memo, float* dest,
                                                       const float* row, bool voicePass,
                                                       bool whole, float* cacheExp,
                                                       float* cacheValue) {
    if (memo.generation != modRouteGeneration) watchModPass(memo, dest, row);
    const char* base = reinterpret_cast<const char*>(this);
    const int checked = memo.count;
    const int inputs = memo.inputs;
    const int total = memo.total;
    for (int k = 0; k < inputs; ++k) memo.watch[k].bits = bitsAt(base, memo.watch[k].offset);
    const uint32_t routes = modRouteGeneration;
    runModPass(dest, row, voicePass, whole && (memo.rowRoutes != routes || routes == 0), cacheExp,
               cacheValue);
    if (whole)
        memo.rowRoutes = routes;
    else if (memo.rowRoutes != routes)
        memo.rowRoutes = 0;
    uint32_t moved = 0;
    for (int k = checked; k < inputs; ++k)
        moved |= bitsAt(base, memo.watch[k].offset) ^ memo.watch[k].bits;
    memo.generation = moved == 0 ? modRouteGeneration : 0u;
    for (int k = inputs; k < total; ++k) memo.watch[k].bits = bitsAt(base, memo.watch[k].offset);
    // A memo taken anew stands for what its pass read now; one left without stands for
    // nothing.
    const uint8_t kind = memo.steady & kSteadyInputs;
    memo.steady = kind && moved == 0 ? kSteadyInputs | kSteadyNow : kind;
}

// --- slot and destination queries -------------------------------------------------------------

int APlugin::getModSlotDest(int slot) {
    if (!isValidModSlot(slot)) return 0;
    return clampIndex(getSteppedValue(MOD_DEST_TAGS[slot]), kLastDest);
}

bool APlugin::getModSlotBypass(int slot) {
    if (!isValidModSlot(slot)) return false;
    return getOnOff(MOD_BY_TAGS[slot]);
}

int APlugin::getDestTypeForSlot(int slot) {
    if (!isValidModSlot(slot)) return 0;
    return getDestTypeForDest(getModSlotDest(slot));
}

std::string APlugin::getModSrcByModStr(int slot) {
    if (!isValidModSlot(slot)) return std::string();
    return SRC_STR[clampIndex(getSteppedValue(MOD_SRC_TAGS[slot]), kLastSource)];
}

int APlugin::getModDest(int tag) {
    if (!isValidTag(tag)) return 0;
    return getSteppedValue(tag);
}

int APlugin::getDestTypeForDest(int dest) {
    if (dest < 0 || dest > kLastDest) return 0;
    return destType[dest];
}

void APlugin::setModSlotVar(int slot, bool bypass, float amount, int source, int dest) {
    if (!isValidModSlot(slot)) return;
    setParameter(MOD_BY_TAGS[slot], bypass ? 1.0f : 0.0f);
    setParameter(MOD_AMT_TAGS[slot], amount);
    setSteppedValue(MOD_SRC_TAGS[slot], clampIndex(source, kLastSource));
    setSteppedValue(MOD_DEST_TAGS[slot], clampIndex(dest, kLastDest));
}

namespace {

int tagDestIn(const APlugin& p, int tag, int modFXMode) {
    if (!APlugin::isValidTag(tag)) return 0;
    if (tag >= 108 && tag <= 112) return kModFXKnobDest[tag - 108][clampIndex(modFXMode, 10)];
    return p.paramModDest[tag];
}

// The engine's own state, for the rendering thread.
struct LiveState {
    APlugin& p;
    int modFXMode() const { return p.modFXMode; }
    int voice() const { return p.lastVoice; }
    bool playing() { return p.getIsAnyVoicePlaying(); }
    const float* dest(int voice) const { return p.modDestVoice[voice]; }
    float gain(GainKind kind, int layer) const {
        switch (kind) {
            case kGainMain: return p.mainVolGain;
            case kGainLayer: return p.layerVolGain[layer];
            case kGainImpulse: return p.impVolGain[layer];
            case kGainFM1: return p.fm1VolGain[layer];
            case kGainFM2: return p.fm2VolGain[layer];
            case kGainSub: return p.subVolGain[layer];
        }
        return 0.0f;
    }
};

// The view the audio thread published, for every other thread.
struct ViewState {
    const TEngineView& v;
    int modFXMode() const { return v.modFXMode.load(std::memory_order_relaxed); }
    int voice() const { return v.lastVoice.load(std::memory_order_relaxed); }
    bool playing() const { return v.anyVoicePlaying.load(std::memory_order_relaxed) != 0; }
    const SharedFloat* dest(int) const { return v.modDest; }
    float gain(GainKind kind, int layer) const {
        switch (kind) {
            case kGainMain: return v.mainVolGain;
            case kGainLayer: return v.layerVolGain[layer];
            case kGainImpulse: return v.impVolGain[layer];
            case kGainFM1: return v.fm1VolGain[layer];
            case kGainFM2: return v.fm2VolGain[layer];
            case kGainSub: return v.subVolGain[layer];
        }
        return 0.0f;
    }
};

template <typename State>
float modValueIn(APlugin& p, int tag, State s) {
    if (!APlugin::isValidTag(tag)) return 0.0f;
    const int d = tagDestIn(p, tag, s.modFXMode());
    if (d < 1 || d > kLastDest) return p.paramValue[tag];
    const int voice = s.voice();
    if (!APlugin::isValidVoice(voice) || !s.playing()) return p.getLockVar(tag);

    const auto* dest = s.dest(voice);
    const float value = p.paramValue[tag];
    float x = value + dest[d];

    for (const LevelKnob& k : kLevelKnobs) {
        if (k.tag != tag) continue;
        float gain = s.gain(k.kind, k.layer);
        if (k.kind == kGainFM1 || k.kind == kGainFM2) gain /= kFMGainScale;
        const float g = std::fabs(dest[k.dest]) * gain;
        x = g < 0.001f ? 0.0f : (20.0f * std::log10(g) + 60.0f) / 80.0f;
        return clamp01(x);
    }
    for (int layer = 0; layer < kNumLayers; ++layer)
        if (tag == kHighPassKnobs[layer]) return clamp01(value + dest[DEST_L_HP_FREQ[layer]]);
    for (int n = 0; n < APlugin::kNumLFOs; ++n) {
        if (tag != LFO_SPEED_TAGS[n]) continue;
        const double f = dest[kLFOSpeedDest[n]];
        return clamp01(f > 0.0 ? value + (float)(std::log(f) / kLog16384) : value);
    }
    for (int chord = 0; chord < APlugin::kNumChords; ++chord) {
        if (tag != CHORD_STRUM_TAGS[chord]) continue;
        const double f = (double)dest[kDestStrumSpeed] * (double)dest[DEST_CHORD_STRUMS[chord]];
        return clamp01(f > 0.0 ? value + (float)(std::log(f) / kLog16384) : value);
    }
    return clamp01(x);
}

}  // namespace

int APlugin::getTagDest(int tag) {
    return tagDestIn(*this, tag, readsEngineView() ? engineView.modFXMode.load(std::memory_order_relaxed) : modFXMode);
}

int APlugin::getCurChord() {
    if (readsEngineView()) return engineView.curChord.load(std::memory_order_relaxed);
    if (!getOnOff(554) || !getIsAnyVoicePlaying()) return -1;
    return curChord;
}

float APlugin::getModValue(int tag) {
    if (readsEngineView()) return modValueIn(*this, tag, ViewState{engineView});
    return modValueIn(*this, tag, LiveState{*this});
}
