// Sleep: an instance that has nothing to sound stops rendering sound. When no voice sounds
// and everything the effect chain holds has stayed far below hearing for longer than any of
// its lines reaches back, the effect chain, the output stage and the per-sample control
// work that only serves sound stand still and silence is written. What keeps time moves on
// sample for sample as it would have: the cadences and counters, the global modulation
// whenever a source of it moves, the Mod FX LFO and phases, the Gator, the delay and reverb
// controls, the mix smoothers, the ribbon, the arpeggiator's modulation sequence, and the
// scope rings and the lines that are indexed by the block counter (they take the silence
// they would have been written). A sample that needs sound runs the normal path again,
// from exactly the state that always running would hold there; the sound the lines still
// hold is the tail that had decayed below the watch's level.
#include <cmath>
#include <cstdlib>

#include "plugin/uPlugin.h"

namespace {

// The level below which the chain counts as silent, at the output: -140 dBFS, well under
// what a comparison with always running may show (-120 dBFS).
constexpr float kQuietLevel = 1e-7f;
constexpr uint32_t kScopeMask = (uint32_t)APlugin::kScopeRingSize - 1u;
// Reach of the reverb's own lines: the comb rows, the widen ring and the four all-passes.
constexpr uint32_t kReverbReach = 16384u + 16384u + 4u * 2528u;
// Lines of the Mod FX indexed by the block counter (ensemble, phaser).
constexpr uint32_t kModFXReach = 16384u;
// Margin for the brick filter and the bus.
constexpr uint32_t kMargin = 2048u;

// Gate sources: they move every sample while the Gator runs.
inline bool isGateSource(int src) { return src >= 108 && src <= 110; }

}  // namespace

uint8_t APlugin::sleepAllowedByEnvironment() {
    const char* v = std::getenv("TAV_NO_SLEEP");
    return (v && *v && *v != '0') ? 0 : 1;
}

void APlugin::setSleepAllowed(bool allowed) {
    __atomic_store_n(&sleepAllowed, (uint8_t)(allowed ? 1 : 0), __ATOMIC_RELAXED);
}

// What the quiet stretch was measured with: a change of any of it may bring back sound a
// stage still holds (a stage switched on again), so the watch starts over.
uint32_t APlugin::sleepSignature() {
    uint32_t s = (uint32_t)bypassAllFX | (uint32_t)distortOn << 1 | (uint32_t)modFXOn << 2 |
                 (uint32_t)delayOn << 3 | (uint32_t)reverbOn << 4;
    s |= (uint32_t)(modFXMode & 0xff) << 8;
    s |= (uint32_t)(distortMode & 0xff) << 16;
    for (int layer = 0; layer < kNumLayers; ++layer)
        s ^= (uint32_t)((int)layerDest[layer] & 7) << (24 + 3 * layer);
    return s;
}

// The settings under which sleeping keeps time exactly; anything else keeps running.
bool APlugin::sleepConfigSupported() {
    if (!__atomic_load_n(&sleepAllowed, __ATOMIC_RELAXED)) return false;
    // A distortion that runs has followers, counters and filters of its own.
    if (distortOn && !bypassAllFX) return false;
    // Slots reading the effect outputs or the output take values the sleep does not make.
    if (modOutputUsed || fxOutSrcUsed[0] || fxOutSrcUsed[1] || fxOutSrcUsed[2] || fxOutSrcUsed[3])
        return false;
    if (modFXOn && !bypassAllFX && !modFXCanSleep()) return false;
    // The arpeggiator that plays notes starts voices from its clock.
    if (playMode == 8 && arpRunning) return false;
    return true;
}

// Samples a quiet stretch must last: everything a line can bring back must have been
// written during it.
uint32_t APlugin::sleepWindow() {
    uint32_t w = kMargin;
    if (bypassAllFX) return w;
    if (reverbOn) w += kReverbReach + (uint32_t)reverbControl.preDelayR;
    if (delayOn)
        w += (uint32_t)std::fmax(fxDelay.getActualLength(0), fxDelay.getActualLength(1)) + 64u;
    if (modFXOn)
        w += kModFXReach +
             (uint32_t)std::fmax(modFXDelay.getActualLength(0), modFXDelay.getActualLength(1));
    return w;
}

// Whether the global modulation must run every sample: a source of it moves between the
// 16-sample steps (LFOs, noise, the ribbon's spring, the Gate while the Gator runs), or a
// slot's amount is another slot's destination (that takes effect one pass later).
bool APlugin::sleepControlsMoving() {
    if (lfoUsed[0] || lfoUsed[1] || lfoUsed[2] || modNoiseUsed || ribbonSpringOn) return true;
    const bool gator = modFXOn && !bypassAllFX && modFXMode == 10;
    for (int i = 0; i < modActiveCount; ++i) {
        if (gator && isGateSource(modRoutes[i].src)) return true;
        for (int j = 0; j < modActiveCount; ++j)
            if (modRoutes[j].dest == modRoutes[i].amountDest) return true;
    }
    return false;
}

// The rest of a sample whose controls ran asleep but which needs sound after all (a voice
// started, a stage was switched): as the render loop would finish it.
void APlugin::finishSampleAwake(int32_t i, float* outL, float* outR) {
    outSample.left = 0.0f;
    outSample.right = 0.0f;
    renderEngineSound();
    writeOutputSample(i, outL, outR);
}

int32_t APlugin::runAsleep(int32_t from, int32_t count, const float* inL, const float* inR,
                           float* outL, float* outR) {
    // Due MIDI, a program and a forced control pass take the normal path.
    if (midiQueueCount > 0 || presetApplying || presetPending || applyRetry || forceControlUpdate)
        return 0;
    if (!sleepConfigSupported() || sleepSignature() != quietSignature || activeVoiceCount > 0 ||
        getIsAnyVoicePlaying()) {
        sleeping = 0;
        quietSamples = 0;
        return 0;
    }

    // What the scope capture and the effect stages leave in the sources with no voice and a
    // silent chain.
    for (int s = 118; s <= 124; ++s) modSrcGlobal[s] = 0.0f;
    clearFXOutSources();
    SharedFloat* ring0 = scopeBuffer;
    SharedFloat* ring1 = scopeBuffer + kScopeRingSize;
    SharedFloat* ring2 = scopeBuffer + 2 * kScopeRingSize;

    int32_t n = 0;
    bool moving = true;  // the first sample runs every control step
    for (; n < count; ++n) {
        const int32_t i = from + n;
        float l = inL ? inL[i] : 0.0f;
        float r = inR ? inR[i] : 0.0f;
        if (!std::isfinite(l)) l = 0.0f;
        if (!std::isfinite(r)) r = 0.0f;
        // A host input that a slot listens to wakes the engine.
        if (modInputUsed && (l != 0.0f || r != 0.0f)) break;
        // The 4096-sample step of the editor refresh and the program hand-over is the
        // normal path's.
        if ((blockCounter & kSlowTaskMask) == 0 && (editorRefreshRequest || presetPending)) break;
        inSample.left = l;
        inSample.right = r;
        modSrcGlobal[117] = (l + r) * 4.0f;

        // The controls run on their cadences' samples and, while a source moves, on every
        // sample; between the steps nothing they read changes, so their results stand.
        const bool step = (sampleCounter & 0xf) == 0;
        if (n == 0 || step || moving) {
            const double ribbonBefore = ribbonSmoothed;
            const bool controlBlock = (sampleCounter & 0x7f) == 0;
            runEngineControls();
            if (n == 0 || step) moving = sleepControlsMoving() || ribbonSmoothed != ribbonBefore;
            if (activeVoiceCount > 0 ||
                (controlBlock && (sleepSignature() != quietSignature || !sleepConfigSupported()))) {
                applyPendingReverbControls();
                finishSampleAwake(i, outL, outR);
                sleeping = 0;
                quietSamples = 0;
                forceControlUpdate = 0;
                ++sampleCounter;
                ++blockCounter;
                ++n;
                break;
            }
        }
        // The next sample runs on asleep without a control step or a reason to stop.
        sleepLightStep = !moving && !modInputUsed && n + 1 < count &&
                         ((sampleCounter + 1) & 0xf) != 0 &&
                         ((blockCounter + 1) & kSlowTaskMask) != 0;
        advanceEffectsAsleep();
        sleepLightStep = 0;

        const uint32_t pos = sampleCounter & kScopeMask;
        ring0[pos] = ring1[pos] = ring2[pos] = 0.0f;
        modSrcGlobal[129] = 0.0f;
        if (outL) outL[i] = 0.0f;
        if (outR) outR[i] = 0.0f;
        forceControlUpdate = 0;
        ++sampleCounter;
        ++blockCounter;
    }
    applyPendingReverbControls();
    sleptSamples += (uint64_t)n;
    return n;
}

// After samples rendered awake: whether the stretch stays quiet, and once it has lasted
// the chain's reach, the engine goes to sleep.
void APlugin::watchSleep(int32_t from, int32_t count, const float* outL, const float* outR) {
    const float chainPeak = fxQuietPeak;
    fxQuietPeak = 0.0f;
    const uint32_t signature = sleepSignature();
    const auto notQuiet = [&]() {
        quietSamples = 0;
        quietSignature = signature;
        sleeping = 0;
    };
    // A voice in the list sounds: no need to look at the output.
    if (activeVoiceCount > 0) return notQuiet();
    float outPeak = 0.0f;
    for (int32_t i = from; i < from + count; ++i) {
        if (outL) outPeak = std::fmax(outPeak, std::fabs(outL[i]));
        if (outR) outPeak = std::fmax(outPeak, std::fabs(outR[i]));
    }
    const float gain = mainVolGain > 1.0f ? mainVolGain : 1.0f;
    if (!(outPeak < kQuietLevel) || !(chainPeak * gain < kQuietLevel) ||
        signature != quietSignature || !sleepConfigSupported() || getIsAnyVoicePlaying())
        return notQuiet();
    const uint32_t room = 0xffffffffu - quietSamples;
    quietSamples += (uint32_t)count < room ? (uint32_t)count : room;
    if (quietSamples >= sleepWindow()) sleeping = 1;
}
