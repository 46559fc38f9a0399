// The render loop: the host's audio entry. It renders the instrument one sample at a time:
// due MIDI first, then the control work at its cadences (every 4096, 128, 16 and 4
// samples), the voices' layers, the effect chain and the output stage.
#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#include <emmintrin.h>
#define TAV_HAVE_MXCSR 1
#endif

#include "engine/RowStride.h"
#include "plugin/uPlugin.h"

namespace {

// The plug-in whose render call is running on this thread. UI-side calls check it to tell
// whether they run inside the audio callback (then they act at once) or beside it.
// Both live in the static TLS block: a loaded library's other thread variables are made on
// a thread's first touch, with malloc, which a fresh audio thread must never reach.
#define TAV_STATIC_TLS __attribute__((tls_model("initial-exec")))
thread_local const APlugin* tlsRenderingPlugin TAV_STATIC_TLS = nullptr;
// One byte per thread: its address names the thread.
thread_local char tlsThreadMark TAV_STATIC_TLS = 0;

class RenderScope {
public:
    explicit RenderScope(const APlugin* plugin) : previous_(tlsRenderingPlugin) {
        tlsRenderingPlugin = plugin;
    }
    ~RenderScope() { tlsRenderingPlugin = previous_; }
    RenderScope(const RenderScope&) = delete;
    RenderScope& operator=(const RenderScope&) = delete;

private:
    const APlugin* previous_;
};

// Flush-to-zero and denormals-are-zero for the length of one render call; the caller's
// setting comes back on return.
class DenormalGuard {
public:
    DenormalGuard() {
#ifdef TAV_HAVE_MXCSR
        saved_ = _mm_getcsr();
        _mm_setcsr(saved_ | 0x8040u);  // FTZ (bit 15) and DAZ (bit 6)
#endif
    }
    ~DenormalGuard() {
#ifdef TAV_HAVE_MXCSR
        _mm_setcsr(saved_);
#endif
    }
    DenormalGuard(const DenormalGuard&) = delete;
    DenormalGuard& operator=(const DenormalGuard&) = delete;

private:
    unsigned saved_ = 0;
};

constexpr VstInt32 kTimeInfoFlags = kVstPpqPosValid | kVstTempoValid;
constexpr float kSmoothKeep = 0.99f;
constexpr float kSmoothTake = 0.00999999f;

inline float levelGain(float v) {
    return v < 1e-5f ? 0.0f : std::pow(10.0f, (80.0f * v - 60.0f) / 20.0f);
}

// The old accumulating process call: it renders nothing and adds nothing, but keeps the
// MIDI queue moving so queued events are not held back.
void processDeprecatedEntry(AEffect* effect, float** inputs, float** outputs, VstInt32 frames) {
    if (!effect || !effect->object) return;
    auto* plugin = static_cast<APlugin*>(static_cast<AudioEffect*>(effect->object));
    plugin->__processDeprecated(inputs, outputs, frames);
}

// The layer-output sources of a voice from its first note's records of this sample
// (getLayerVoiceOutput, inlined); a layer that is off gives 0.
struct LayerOutWriter {
    explicit LayerOutWriter(APlugin& p) : p_(p) {
#if defined(__SSE__) || defined(__x86_64__)
        // All ones in the lane of each layer that is on.
        const __m128i on = _mm_setr_epi32(p.layerOn[0], p.layerOn[1], p.layerOn[2], 0);
        onMask_ = _mm_castsi128_ps(_mm_cmpgt_epi32(on, _mm_setzero_si128()));
#else
        on_[0] = p.layerOn[0] != 0;
        on_[1] = p.layerOn[1] != 0;
        on_[2] = p.layerOn[2] != 0;
#endif
    }
    // Voice v's sources, from its first note's records.
    void write(int v) const {
        int first = p_.voiceFirstElement[v];
        if ((unsigned)first >= (unsigned)kLayerNotes) first = 0;
        float* const src = p_.modSrcVoice[v];
#if defined(__SSE__) || defined(__x86_64__)
        // One lane per layer: each lane sums its record's four values in the scalar order,
        // and the pair and triple sums are the same single adds.
        __m128 r0 = _mm_load_ps(&p_.noteOut[0][v][first].sub[0].left);
        __m128 r1 = _mm_load_ps(&p_.noteOut[1][v][first].sub[0].left);
        __m128 r2 = _mm_load_ps(&p_.noteOut[2][v][first].sub[0].left);
        __m128 r3 = _mm_setzero_ps();
        _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
        // [out0, out1, out2, 0]
        const __m128 o = _mm_and_ps(
            _mm_mul_ps(_mm_add_ps(_mm_add_ps(_mm_add_ps(r0, r1), r2), r3), _mm_set1_ps(0.25f)),
            onMask_);
        const __m128 o2 = _mm_shuffle_ps(o, o, _MM_SHUFFLE(2, 2, 2, 2));
        const __m128 s01 = _mm_add_ps(o, _mm_shuffle_ps(o, o, _MM_SHUFFLE(1, 1, 1, 1)));
        // [118 119 120 121] = [out0, out1, out0 + out1, out2]
        const __m128 x = _mm_movelh_ps(o, _mm_unpacklo_ps(s01, o2));
        // [out0 + out2, out1 + out2, out0 + out1 + out2, -]
        const __m128 y = _mm_add_ps(x, o2);
        // [121 122 123 124] = [out2, out0 + out2, out1 + out2, out0 + out1 + out2]
        const __m128 q = _mm_shuffle_ps(x, y, _MM_SHUFFLE(0, 0, 3, 3));
        _mm_storeu_ps(src + 118, x);
        _mm_storeu_ps(src + 121, _mm_shuffle_ps(q, y, _MM_SHUFFLE(2, 1, 2, 0)));
#else
        const float out0 = on_[0] ? noteRecordLevel(p_.noteOut[0][v][first]) : 0.0f;
        const float out1 = on_[1] ? noteRecordLevel(p_.noteOut[1][v][first]) : 0.0f;
        const float out2 = on_[2] ? noteRecordLevel(p_.noteOut[2][v][first]) : 0.0f;
        src[118] = out0;
        src[119] = out1;
        src[121] = out2;
        src[120] = out0 + out1;
        src[122] = out0 + out2;
        src[123] = out1 + out2;
        src[124] = out0 + out1 + out2;
#endif
    }

private:
    APlugin& p_;
#if defined(__SSE__) || defined(__x86_64__)
    __m128 onMask_;
#else
    bool on_[3];
#endif
};

// The host input of sample i as beginSample takes it: a missing channel or a value that is
// not finite gives +0; then the audio-in source.
__attribute__((always_inline)) inline void takeInputSample(APlugin& p, VstInt32 i, const float* inL,
                                                           const float* inR) {
    p.inSample.left = inL && std::isfinite(inL[i]) ? inL[i] : 0.0f;
    p.inSample.right = inR && std::isfinite(inR[i]) ? inR[i] : 0.0f;
    p.modSrcGlobal[117] = (p.inSample.left + p.inSample.right) * 4.0f;
}

// beginSample for a sample after the first of a run of the render loop. The run goes on only
// while no program waits or is being applied and no retry is due, and it ends before the
// next 16-sample cadence, so none of its later samples is on a slow-task boundary: of
// beginSample there remain the MIDI, the inputs and the cleared output. Only a route from
// the audio-in source reads the input (the control steps may set one up): without one it is
// taken at the run's end alone.
__attribute__((always_inline)) inline void beginRunSample(APlugin& p, VstInt32 i, const float* inL,
                                                          const float* inR) {
    p.outSample.left = 0.0f;
    p.outSample.right = 0.0f;
    if (p.midiQueueCount > 0) p.processMidi(i);
    if (p.modInputUsed || p.forceControlUpdate || (p.sampleCounter & 15) == 0)
        takeInputSample(p, i, inL, inR);
}

// runEngineControls where it has nothing to do but the 4-sample cadence and the global
// modulation (no cadence of 16 or more samples is due and no update is forced), as on the
// later samples of a run; the full step otherwise.
__attribute__((always_inline)) inline void runRunSampleControls(APlugin& p) {
    if (p.forceControlUpdate || (p.sampleCounter & 15) == 0) {
        p.runEngineControls();
        return;
    }
    if ((p.sampleCounter & 3) == 0) p.setGlobalLFOS();
    p.runGlobalModulation();
}

// After the voices' sound: every listed voice's notes a sample older, its envelopes a step
// on and its counter moved (movesRow, levelRow: opaqueStride of the envelopes' moves and
// running levels). Apart from the voice pass, which does this itself when every voice has
// one note (the rule).
__attribute__((noinline)) void advanceVoiceNotes(APlugin& p, intptr_t movesRow,
                                                  intptr_t levelRow) {
    const int listed = p.activeVoiceCount;
    for (int a = 0; a < listed; ++a) {
        const int v = p.activeVoiceList[a];
        if (!APlugin::isValidVoice(v)) __builtin_unreachable();  // the list holds voices only
        const int count = p.voiceLevelCount[v];
        // A voice holds one to a few notes: a plain loop, since the vector one's set-up
        // costs more than the increments (the empty asm keeps the compiler from vectorizing
        // it).
        int32_t* age = p.voiceElemAge[v];
        for (int k = 0; k < count; ++k) {
            ++age[k];
            asm("" : "+r"(k));
        }
        p.env.advanceRows(v, count, *rowAt(p.env.moves, movesRow, v),
                          (*rowAt(p.env.work.run, levelRow, v))[0]);
        ++p.voiceCounter[v];
    }
}

}  // namespace

bool APlugin::onAudioThread() const { return tlsRenderingPlugin == this; }

// Inside a render call, or on the thread that rendered last while the host is processing:
// hosts call some entries (program changes among them) from their audio thread between
// render calls, and those must keep off the disk and never wait either.
bool APlugin::onHostAudioThread() const {
    if (tlsRenderingPlugin == this) return true;
    return __atomic_load_n(const_cast<uint8_t*>(&engineRunning), __ATOMIC_ACQUIRE) != 0 &&
           audioThreadMark.load(std::memory_order_relaxed) == &tlsThreadMark;
}

bool APlugin::readsEngineView() const {
    return __atomic_load_n(const_cast<uint8_t*>(&engineRunning), __ATOMIC_ACQUIRE) != 0 && !onHostAudioThread();
}

void APlugin::installDeprecatedProcess() { cEffect.process = processDeprecatedEntry; }

void APlugin::__processDeprecated(float**, float**, VstInt32 sampleFrames) {
    if (sampleFrames <= 0) return;
    RenderScope scope(this);
    for (VstInt32 i = 0; i < sampleFrames && midiQueueCount > 0; ++i) processMidi(i);
}

void APlugin::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
    if (sampleFrames <= 0) return;
    DenormalGuard denormals;
    RenderScope scope(this);

    float* outL = outputs ? outputs[0] : nullptr;
    float* outR = outputs ? outputs[1] : nullptr;
    const float* inL = inputs ? inputs[0] : nullptr;
    const float* inR = inputs ? inputs[1] : nullptr;

    if (audioThreadMark.load(std::memory_order_relaxed) != &tlsThreadMark)
        audioThreadMark.store(&tlsThreadMark, std::memory_order_relaxed);
    // The layers' inputs the voices' controls compared at a sample of an earlier call may
    // have moved since (the host sets parameters between calls).
    for (TTailLevels& t : tailLevels) t.ctlSharedKnown = 0;
    runPendingRequests();

    timeInfo = getTimeInfo(kTimeInfoFlags);
    hostPPQ = timeInfo ? timeInfo->ppqPos : 0.0;
    int stagesRun = 0;
    programFadeInBlock = 0;
    // The start-up program is applied whole in the first block: nothing sounds before it.
    const bool roomy = sampleFrames >= 256 || !startupApplied;

    VstInt32 firstAwake = sampleFrames;
    for (VstInt32 i = 0; i < sampleFrames;) {
        // Asleep: the samples that need no sound are written silent with their time kept.
        if (sleeping) {
            i += runAsleep(i, sampleFrames - i, inL, inR, outL, outR);
            if (i >= sampleFrames) break;
        }
        if (firstAwake > i) firstAwake = i;
        if (beginSample(i, inL, inR, roomy, stagesRun)) {
            // A program waits or is being applied: the old sound fades out, then silence.
            renderEngineAroundProgram();
            finishSample(i, outL, outR);
            ++i;
            continue;
        }
        programFadeLeft = -1;
        // More samples' voices join this one's while nothing at their start (MIDI, a
        // program, a cadence step) can move what the chain reads; then the chain runs over
        // them all, with each sample's layer outputs and counters.
        // Each voice pass of the run but its last is followed by the next one's, which is all
        // that reads the layer-output sources; the run's end writes what its last pass left.
        layerOutDeferred = 1;
        runEngineControls();
        renderEngineVoices();
        VstInt32 end = i + 1;
        if (!renderPerSample && effectsCanFollow()) {
            const uint32_t toCadence = 16u - std::max(sampleCounter & 15u, blockCounter & 15u);
            const VstInt32 limit = std::min<VstInt32>(sampleFrames, i + (VstInt32)toCadence);
            runSamples = limit - i;
            // Each sample's layer outputs, in the run's order.
            stereoOverStruct(*sub)[kNumLayers] = subLayerOut;
            std::memcpy(*sub, layerOut, sizeof(layerOut));
            while (end < limit && !(midiQueueCount > 0 && midiDueNow()) && !presetPending && !presetApplying &&
                   !applyRetry) {
                forceControlUpdate = 0;
                ++sampleCounter;
                ++blockCounter;
                beginRunSample(*this, end, inL, inR);
                runRunSampleControls(*this);
                renderEngineVoices(end - i);
                std::memcpy(*++sub, layerOut, sizeof(layerOut));
                ++end;
            }
        }
        layerOutDeferred = 0;
        runSamples = 1;
        settleRunAhead();
        if (end > i + 1) takeInputSample(*this, end - 1, inL, inR);
        if (layerOutStale) writeLayerOutSources();
        sampleCounter -= (uint32_t)(end - 1 - i);
        blockCounter -= (uint32_t)(end - 1 - i);
        if (end > i + 1) {
            // The chain and the output stage over the run, stage by stage.
            subBlockSamples += (uint64_t)(end - i);
            finishRun(i, end - i, outL, outR);
        } else {
            renderEngineEffects();
            finishSample(i, outL, outR);
        }
        i = end;
    }
    if (firstAwake < sampleFrames) watchSleep(firstAwake, sampleFrames - firstAwake, outL, outR);
    publishEngineView();
}

bool APlugin::beginSample(VstInt32 i, const float* inL, const float* inR, bool roomy,
                          int& stagesRun) {
    outSample.left = 0.0f;
    outSample.right = 0.0f;
    if (midiQueueCount > 0) processMidi(i);
    // A host input that is not a number never reaches the modulation.
    takeInputSample(*this, i, inL, inR);

    const bool boundary = (blockCounter & kSlowTaskMask) == 0;
    if (boundary && editorRefreshRequest) updateEditorScreen();
    // A program is applied in stages: a block of a few hundred samples takes them all at
    // once, a smaller one only one, so no block carries the whole cost. A copy of the
    // record that a restore overlapped is taken again on the next sample.
    if (!presetApplying && presetPending && (boundary || applyRetry)) {
        applyRetry = !beginProgramApply() && presetPending;
        if (presetApplying) ++stagesRun;
    }
    while (presetApplying && (stagesRun == 0 || roomy)) {
        runProgramApplyStage(applyStage);
        ++stagesRun;
    }
    return presetApplying || presetPending;
}

void APlugin::writeOutputSample(VstInt32 i, float* outL, float* outR) {
    float left = outSample.left;
    float right = outSample.right;
    runOutputStage(left, right);
    modSrcGlobal[129] = (left + right) * 4.0f;
    if (outL) outL[i] = left;
    if (outR) outR[i] = right;
}

void APlugin::finishSample(VstInt32 i, float* outL, float* outR) {
    writeOutputSample(i, outL, outR);
    forceControlUpdate = 0;
    ++sampleCounter;
    ++blockCounter;
}

// Whether the chain may run after the voices of the following samples, with the bits it
// would give right after each one's: nothing the chain writes is read by a voice, a route
// or a retrigger (effect outputs, the output, the Gator's gates), no route moves a
// destination the chain or the output stage reads, and the chain draws nothing from the
// shared generator that the voices draw from too (the Mod FX LFO does so when it wraps).
// A route to a destination outside the chain (a vibrato on the global tuning, a global
// LFO's speed) is taken sample by sample by the control steps and the voices within the
// run, in the order the per-sample path takes it.
bool APlugin::effectsCanFollow() {
    if (modOutputUsed || fxOutSrcUsed[0] || fxOutSrcUsed[1] || fxOutSrcUsed[2] || fxOutSrcUsed[3])
        return false;
    auto fedByChain = [](int src) { return (src >= 108 && src <= 110) || (src >= 125 && src <= 129); };
    for (int i = 0; i < modActiveCount; ++i) {
        const ModRoute& r = modRoutes[i];
        if (fedByChain(r.src) || !destOutsideChain(r.dest)) return false;
    }
    for (int layer = 0; layer < kEnvLayers; ++layer)
        if (fedByChain(env.retrigSource[layer])) return false;
    if (bypassAllFX) return true;
    if (distortDrawsRandom()) return false;
    return !(modFXOn && modFXWrapsWithin(kSubBlock));
}

// Everything between the MIDI and the output stage for one sample.
void APlugin::renderEngineSample() {
    runEngineControls();
    renderEngineSound();
}

// The voices, the scope rings and the effect chain of one sample, after its controls.
void APlugin::renderEngineSound() {
    renderEngineVoices();
    renderEngineEffects();
}

void APlugin::renderEngineVoices(int runPos) {
    // --- voices ---
    if ((sampleCounter & 3) == 0) rebuildActiveVoices();
    // Envelope sources are published when something reads them, and on the last sample
    // before a control block, which may route one: its first pass then reads the levels the
    // sample before it would have published.
    const uint8_t sourcesRead = envSourcesRead;
    const bool publishEnvs = sourcesRead == 1 || ((sampleCounter + 1) & 0x7f) == 0;
    // (Only a control block changes the routes and the LFOs in use: copies, which the
    // stores below would otherwise make the compiler load again for each voice.)
    const bool lfosUsed = (lfoUsed[0] | lfoUsed[1]) != 0;
    const uint32_t routeGeneration = modRouteGeneration;
    const char* const base = reinterpret_cast<const char*>(this);
    const bool plain = !lfosUsed && !publishEnvs;
    // Unread envelope sources: every voice's are left as they are at once (for a voice off
    // the list that only asks its next publish for a whole row), and a voice's own update
    // on this sample, which asks for a publish, is skipped again after it. Once done, only a
    // publish undoes that (a note start or an update asks for a whole row as well), so the
    // samples up to the next publish need not do it again.
    if (!publishEnvs) {
        if (sourcesRead == 0) {
            env.skipAllSources();
            envSourcesRead = 2;
        }
    } else if (sourcesRead == 2) {
        envSourcesRead = 0;
    }

    // A sample where every listed voice took its 4-sample step and was left with its pass
    // known to stand (kSteadyNow) marks voicesStandFrom with 1 + its place in the run (low
    // four bits). On the next three samples of the same run every voice is then a plain one
    // with nothing to look at: its counter moved as many steps past the step as the run did,
    // and what could have taken its kSteadyNow since (a pass, setModSrc, a note start) ran no
    // pass or cleared the mark. (The list only loses voices between note starts.) Nor is
    // there any on its 4-sample steps up to its next 16-sample tick if its LFOs are silent:
    // such a step sees its pass stand (kSteadyNow, from a step within the run) and leaves it
    // so. The mark holds how many samples after it are such (bits 4 to 7): three, or up to
    // the first tick of a listed voice when every one's LFOs are silent.
    // Whether that holds is seen voice by voice in the loop; what could take a voice's mark
    // after its turn (setModSrc, a note start) clears voicesStandFrom, set to 1 before it
    // to stand for "not cleared".
    bool allStand = true;
    bool lfosSilent = true;
    unsigned toTick = 15;  // the samples after this one before a listed voice's next tick
    uint32_t moving = ~0u;
    // (voicesSingle: 1 + whether every voice had one note on the last pass, 0 where the list
    // changed since; only a note start changes a listed voice's count, and it ends the
    // samples that stand.)
    int knownSingle = -1;
    standLeft = 0;
    if (plain && (unsigned)(runPos - (voicesStandFrom & 15)) < (unsigned)(voicesStandFrom >> 4)) {
        moving = env.movingMarked;
        knownSingle = voicesSingle - 1;
        const int standEnd = (voicesStandFrom & 15) + (voicesStandFrom >> 4);
        standLeft = std::min<int>(standEnd, runSamples) - runPos;
        goto voicesDone;
    }
    settleRunAhead();
    voicesStandFrom = 1;
    for (int a = 0; a < activeVoiceCount; ++a) {
        int v = activeVoiceList[a];
        if (!isValidVoice(v)) __builtin_unreachable();  // the list holds voices only
        // (Only a note start or a reset sets a voice's counter, never a step of its pass.)
        int32_t counter = voiceCounter[v];
        // Three samples in four of a voice, the rule: no controls, LFO step or pitch, and
        // (no LFO in use) only the memo of its pass to look at, unless it is known to stand
        // (kSteadyNow, from the voice's last 4-sample step, which came within this run).
        // Such voices are gone through in a loop of their own, which needs few registers.
        if (plain) {
            while ((counter & 3) != 0) {
                allStand = false;
                if (!((modPassMemo[v].steady & kSteadyNow) && (counter & 3) <= runPos) &&
                    !modPassMemoStands(base, routeGeneration, modPassMemo[v]))
                    runVoiceModulation(v);
                if (++a >= activeVoiceCount) break;
                v = activeVoiceList[a];
                if (!isValidVoice(v)) __builtin_unreachable();  // the list holds voices only
                counter = voiceCounter[v];
            }
            if (a >= activeVoiceCount) break;
        }
        const bool tick = (counter & 0xf) == 0;
        if (tick) runVoiceControls(v);
        // (Unread, every voice's were skipped above: only an update asks again.)
        if (publishEnvs)
            publishEnvSources(v);
        else if (tick)
            skipEnvSources(v);
        // (Both LFOs unused and the voice's silent, the rule: nothing to step, and no call.)
        if ((counter & 3) == 0 && (lfosUsed || !(voiceLFOSilent[v][0] & voiceLFOSilent[v][1])))
            setVoiceLFOS(v);
        // The modulation pass: its memo is looked at here, since a pass left standing (the
        // rule between two of the voice's ticks) then costs no call.
        // (Between two ticks a step whose last one came within this run stands as well.) The
        // 128-sample pass runs whole, but in a row whose routes stood since its last whole
        // pass (rowRoutes) it has nothing to set back and is an ordinary one, which may stand
        // too; not so after a note start or a reset (counter 0), which rewrote the row that
        // a voice's memo does not watch.
        if (lfosUsed ||
            ((counter & 0x7f) == 0 &&
             (counter == 0 || modPassMemo[v].rowRoutes != routeGeneration)) ||
            (!((counter & 0xf) != 0 && (counter & 3) == 0 && runPos >= 4 &&
               (modPassMemo[v].steady & kSteadyNow)) &&
             !modPassMemoStands(base, routeGeneration, modPassMemo[v])))
            runVoiceModulation(v);
        else  // standing now: so it stays, if its inputs are steady, until something moves them
            modPassMemo[v].steady |= (modPassMemo[v].steady & kSteadyInputs) << 1;
        if (tick) runVoicePitch(v);
        allStand = allStand && (counter & 3) == 0 && (modPassMemo[v].steady & kSteadyNow);
        lfosSilent = lfosSilent && (voiceLFOSilent[v][0] & voiceLFOSilent[v][1]);
        toTick = std::min(toTick, ~(unsigned)counter & 15u);
    }
    // (A run ends before its 16th sample: a mark there would see no sample of its own.)
    voicesStandFrom = allStand && voicesStandFrom != 0 && runPos < 15
                          ? (uint8_t)((runPos + 1) | (lfosSilent ? toTick : 3u) << 4)
                          : 0;
    if (voicesStandFrom != 0) {
        // (The advances up to the next pass leave every other envelope's level as it is.)
        uint32_t marked = 0;
        for (int a = 0; a < activeVoiceCount; ++a) {
            const TEnvState::VoiceBook& book = env.book[activeVoiceList[a]];
            for (int k = 0; k < book.movingCount; ++k) marked |= 1u << (book.movingList[k] & 31);
        }
        env.movingMarked = marked;
    }
voicesDone:
    env.movingNow = moving;
    // (Whether every listed voice has one note: they then keep it until the advance below.)
    const bool single = renderLayers(knownSingle);
    voicesSingle = (uint8_t)(1 + single);

    // The layers' outputs of each voice's first note as its layer-output sources. Unless a
    // route or retrigger reads them, only lastVoice's are read (by the scopes and the global
    // row) before the next voice pass, so inside a run of the render loop the others are
    // written only before a 16-sample cadence (which may run a control block), at the run's
    // end and for the voices leaving the list (then the voice list, records and layer
    // switches are still the ones of this pass).
    const LayerOutWriter layerOuts(*this);
    const bool allRows = !layerOutDeferred || layerOutRead || ((sampleCounter + 1) & 15) == 0;
    layerOutStale = allRows ? 0 : 1;
    if (allRows) {
        for (int a = 0; a < activeVoiceCount; ++a) {
            const int v = activeVoiceList[a];
            if (!isValidVoice(v)) __builtin_unreachable();  // the list holds voices only
            layerOuts.write(v);
        }
    }
    // (The list, its length and lastVoice stand through the loop: copies, which the stores
    // below would otherwise make the compiler load again for each voice.)
    const int listed = activeVoiceCount;
    const int last = lastVoice;
    // Every listed voice's counter takes one step below, each once: lastVoice is listed when
    // its counter moved.
    const int32_t lastCounter = isValidVoice(last) ? voiceCounter[last] : 0;
    const intptr_t movesRow = opaqueStride(env.moves);
    const intptr_t levelRow = opaqueStride(env.work.run);
    if (!single) {
        advanceVoiceNotes(*this, movesRow, levelRow);
    } else if (moving == 0) {
        // No envelope moves: each voice's advance would add nothing but zero steps.
        for (int a = 0; a < listed; ++a) {
            const int v = activeVoiceList[a];
            if (!isValidVoice(v)) __builtin_unreachable();  // the list holds voices only
            ++voiceElemAge[v][0];
            ++voiceCounter[v];
        }
    } else {
        // Each voice of one note: its note's age and its envelopes' one sub-element.
        for (int a = 0; a < listed; ++a) {
            const int v = activeVoiceList[a];
            if (!isValidVoice(v)) __builtin_unreachable();  // the list holds voices only
            ++voiceElemAge[v][0];
            env.advanceRows(v, 1, *rowAt(env.moves, movesRow, v),
                            (*rowAt(env.work.run, levelRow, v))[0]);
            ++voiceCounter[v];
        }
    }
    if (!allRows && isValidVoice(last) && voiceCounter[last] != lastCounter) layerOuts.write(last);

    captureScopes();
}

// The layer-output sources of every listed voice, from the records of the last voice pass.
void APlugin::writeLayerOutSources() {
    layerOutStale = 0;
    const LayerOutWriter layerOuts(*this);
    for (int a = 0; a < activeVoiceCount; ++a) {
        const int v = activeVoiceList[a];
        if (!isValidVoice(v)) continue;
        layerOuts.write(v);
    }
}

void APlugin::renderEngineEffects() {
    // The effect stages refill their output sources; every pass of this sample has read
    // those of the previous one.
    clearFXOutSources();
    mixEffectsToOutput();
}

// The control steps of one sample: the 4096, 128, 16 and 4-sample cadences, the global
// modulation, tempo, transport and levels. A sleeping engine runs these too.
void APlugin::runEngineControls() {
    const bool forced = forceControlUpdate != 0;

    if ((sampleCounter & kSlowTaskMask) == 0) {
        // The ribbon's spring countdown rests at -1 and springs the ribbon back at 0.
        if (ribbonCountdown >= 0) {
            --ribbonCountdown;
            if (ribbonCountdown == 0) setRibbonSpringOn();
        }
        if (ribbonCountdown < 0) ribbonCountdown = -1;
        if (brickFilterOn) updateMasterFilter();
    }

    if ((sampleCounter & 0x7f) == 0 || forced) runControlBlock();

    if ((sampleCounter & 0xf) == 0 || forced) {
        modWheelSmoothed = kSmoothKeep * modWheelSmoothed + kSmoothTake * modWheelValue + 1e-15f;
        modSrcGlobal[1] = modWheelSmoothed;
        if (playMode != 8 && (arpMode == 13 || arpMode == 14)) setArpMod();
    }

    if ((sampleCounter & 3) == 0 || forced) setGlobalLFOS();
    // Global LFO sources, white noise, the ribbon and the global pass of the matrix.
    runGlobalModulation();

    if ((sampleCounter & 0xf) == 0 || forced) runSlowControls();
}

void APlugin::rebuildActiveVoices() {
    // A voice that joins here rather than through addActiveVoice (its key turned on again
    // while it was silent) has not been through the voice loop yet: the voices' standing
    // (voicesStandFrom) no longer holds for the list.
    uint32_t was = 0;
    for (int a = 0; a < activeVoiceCount; ++a) was |= 1u << (activeVoiceList[a] & 31);
    uint32_t now = 0;
#if defined(__SSE2__)
    // A voice whose key is on sounds: one compare of the key flags finds those, and only the
    // others have their levels looked at.
    static_assert(kNumVoices == 16, "the key flags fill one vector");
    __m128i keys;
    std::memcpy(&keys, voiceKeyOn, sizeof(keys));
    now = ~(uint32_t)_mm_movemask_epi8(_mm_cmpeq_epi8(keys, _mm_setzero_si128())) & 0xffffu;
    for (uint32_t rest = ~now & 0xffffu; rest != 0; rest &= rest - 1)
        if (isVoiceSounding(__builtin_ctz(rest))) now |= rest & -rest;
#else
    for (int v = 0; v < kNumVoices; ++v)
        if (isVoiceSounding(v)) now |= 1u << v;
#endif
    // The same voices, the rule: the list (always in ascending order) stands as it is.
    if (now == was) return;
    // The voices leaving the list keep the layer-output sources of their last pass; a pass
    // that left them unwritten wrote its records, and the layer switches are the same (no
    // control block runs inside a run but at a 16-sample cadence, which writes them all
    // before it).
    if (layerOutStale && (was & ~now) != 0) {
        const LayerOutWriter layerOuts(*this);
        for (uint32_t left = was & ~now; left != 0; left &= left - 1)
            layerOuts.write(__builtin_ctz(left));
    }
    voicesSingle = 0;
    ++voiceListGeneration;
    int n = 0;
    for (uint32_t left = now; left != 0; left &= left - 1) activeVoiceList[n++] = __builtin_ctz(left);
    activeVoiceCount = n;
    if (now & ~was) voicesStandFrom = 0;
    // A voice joining without a note start runs its layers' filters as they stand.
    for (uint32_t joined = now & ~was; joined != 0; joined &= joined - 1)
        for (int layer = 0; layer < kNumLayers; ++layer)
            voiceFiltersClean[layer][__builtin_ctz(joined)] &= (uint8_t)~layerFilterUse[layer];
}

void APlugin::addActiveVoice(int voice) {
    voicesStandFrom = 0;  // a note start: its voice's counter starts over
    if (!isValidVoice(voice)) return;
    int pos = 0;
    while (pos < activeVoiceCount && activeVoiceList[pos] < voice) ++pos;
    if (pos < activeVoiceCount && activeVoiceList[pos] == voice) return;
    for (int i = activeVoiceCount; i > pos; --i) activeVoiceList[i] = activeVoiceList[i - 1];
    activeVoiceList[pos] = voice;
    ++activeVoiceCount;
    ++voiceListGeneration;
}

// --- control block, every 128 samples ---------------------------------------------------

void APlugin::runControlBlock() {
    setLastVoice();

    const int oldPlayMode = playMode;
    const int oldPortMode = portMode;
    const int oldChordMode = chordMode;
    const int oldArpMode = arpMode;
    const int oldArpLoopMode = arpLoopMode;
    const bool oldArpOn = arpOn != 0;

    int newPlayMode = getLockVarStepped(244);
    int newArpMode = getArpMode();
    bool newArpOn = getLockVarOnOff(394);

    // Arp On and the Arp play mode are one setting seen from two places; a modulation-only
    // arp mode cannot run as the arpeggiator.
    if (newArpMode == oldArpMode) {
        if (newArpOn != oldArpOn) {
            newPlayMode = newArpOn ? 8 : 0;
            setLockVarStepped(244, newPlayMode);
        } else if (newPlayMode != oldPlayMode) {
            newArpOn = newPlayMode == 8;
            setLockVarOnOff(394, newArpOn);
        }
        if (newArpOn && newArpMode > 12) {
            newArpMode = 0;
            setSteppedValue(407, 0);
        }
    } else if (newArpMode < 13 && oldArpMode >= 13 && !newArpOn) {
        newArpOn = true;
        newPlayMode = 8;
        setLockVarOnOff(394, true);
        setLockVarStepped(244, 8);
    } else if (newArpMode >= 13 && newArpOn) {
        newArpOn = false;
        newPlayMode = 0;
        setLockVarOnOff(394, false);
        setLockVarStepped(244, 0);
    }
    arpOn = newArpOn ? 1 : 0;
    playMode = newPlayMode;
    arpMode = newArpMode;
    portMode = getPortMode();
    chordMode = getSteppedValue(555);
    arpLoopMode = getArpLoopMode();
    if (playMode != oldPlayMode || portMode != oldPortMode || chordMode != oldChordMode ||
        arpMode != oldArpMode || arpLoopMode != oldArpLoopMode)
        reset();

    updateLayerState();
    updateChordTable();

    const int newDistortMode = getSteppedValue(347);
    if (newDistortMode != distortMode) {
        distortMode = newDistortMode;
        initDistort();
    }
    const int newModFXMode = getSteppedValue(349);
    if (newModFXMode != modFXMode) {
        modFXMode = newModFXMode;
        initModFX();
    }
    brickFilterOn = getOnOff(1018) ? 1 : 0;
    bypassAllFX = getOnOff(345) ? 1 : 0;
    distortOn = getOnOff(346) ? 1 : 0;
    modFXOn = getOnOff(348) ? 1 : 0;
    delayOn = getOnOff(351) ? 1 : 0;
    reverbOn = getOnOff(354) ? 1 : 0;
    decodeFXPath();

    modSrcGlobal[130] = 1.0f;
    updateModSlots();
    buildEnvList();
    envSourcesRead = 0;
    for (int i = 0; i < modActiveCount; ++i)
        if (modRoutes[i].src >= kFirstEnvSource && modRoutes[i].src <= kLastEnvSource) envSourcesRead = 1;
    for (int layer = 0; layer < kEnvLayers; ++layer)
        if (env.retrigSource[layer] >= kFirstEnvSource && env.retrigSource[layer] <= kLastEnvSource)
            envSourcesRead = 1;
    const auto layerOutSource = [](int src) { return src >= 118 && src <= 124; };
    layerOutRead = 0;
    for (int i = 0; i < modActiveCount; ++i)
        if (layerOutSource(modRoutes[i].src)) layerOutRead = 1;
    for (int layer = 0; layer < kEnvLayers; ++layer)
        if (layerOutSource(env.retrigSource[layer])) layerOutRead = 1;
}

// --- tempo, transport and levels, every 16 samples -----------------------------------------

void APlugin::runSlowControls() {
    if (timeInfo) {
        updateTempo();
        checkTransport();
    }

    if (!getLocked()) {
        const bool latch = getOnOff(405);
        if (latch != (arpLatchLast != 0)) {
            arpLatchLast = latch ? 1 : 0;
            arpLatch = latch ? 1 : 0;
            if (!latch) {
                // Letting go of the latch releases what it held.
                const int count = arpPedalNotes[0];
                arpPedalNotes[0] = 0;
                for (int i = 0; i < count && i < kArpPedalNotes; ++i)
                    midiNoteRelease(arpPedalNotes[1 + i], 127, 0);
            } else {
                arpPedalNotes[0] = 0;
            }
        }
        const bool keyEntry = getOnOff(406);
        if (keyEntry != (arpKeyEntryLast != 0)) {
            if (arpKeyEntryLast) arpKeyEntryStep = 0;
            arpKeyEntryLast = keyEntry ? 1 : 0;
            arpKeyEntry = keyEntry ? 1 : 0;
            setEverythingOff(true);
        }
    }

    // The gain is the level curve of the smoothed volume wherever either is set: a volume
    // that stands keeps its gain.
    const float volume = 0.100000024f * loadValue(paramValue[1]) + 0.9f * mainVolSmooth;
    uint32_t volumeBits, smoothBits;
    std::memcpy(&volumeBits, &volume, sizeof(volumeBits));
    std::memcpy(&smoothBits, &mainVolSmooth, sizeof(smoothBits));
    mainVolSmooth = volume;
    if (volumeBits != smoothBits) mainVolGain = levelGain(mainVolSmooth);
    mainPanSmooth = 0.100000024f * loadValue(paramValue[3]) + 0.9f * mainPanSmooth;
    tunedIncrement = baseNoteIncrement * std::exp2(2.0 * loadValue(paramValue[1017]) - 1.0);
    updateLayerLevels();

    if (playMode == 8 && arpRunning) {
        if (arpMode <= 8)
            setArpNorm();
        else if (arpMode == 9)
            setArpChord();
        else if (arpMode <= 12)
            setArpSeq();
    }
}

void APlugin::updateTempo() {
    if (timeInfo->flags & kVstTempoValid) {
        // A tempo that is not a number keeps the last one.
        const double hostTempo = timeInfo->tempo * (double)tempoScale;
        if (std::isfinite(hostTempo)) {
            tempo = (float)(hostTempo < 1.0 ? 1.0 : (hostTempo > 30000.0 ? 30000.0 : hostTempo));
            tempoD = tempo;
        }
    }
    sampleRateOverTempo = (double)curSampleRate / tempoD;
    samplesPerBar = 240.0 * (double)curSampleRate / tempoD;
    getArpToStart();
}

void APlugin::checkTransport() {
    const uint8_t playing = (timeInfo->flags & kVstTransportPlaying) ? 1 : 0;
    if (playing && !hostPlaying) {
        initGlobalLFO(0);
        initGlobalLFO(1);
        resetModFXTransport();
        setRibbbonSpringOff();
    } else if (!playing && hostPlaying) {
        setRibbbonSpringOff();
    }
    hostPlaying = playing;
}

// --- per voice, every 16 samples of the voice ---------------------------------------------

void APlugin::runVoiceControls(int v) {
    setEnvs(v);
    // (No layer's retrigger driven by a source, the usual case: all three are negative.)
    if ((env.retrigSource[0] & env.retrigSource[1] & env.retrigSource[2]) >= 0) checkRetrigger(v);

    float* src = modSrcVoice[v];
    const float* cc = modSrcVoiceCC[v];
    // A note start marks its voice new and sets its counter to 0, so the voice's first pass
    // after it comes here; nothing else reads the mark.
    if (voiceNew[v]) {
        voiceNew[v] = 0;
        voiceModWheelSmoothed[v] = voiceModWheel[v];
        voicePolyPressureSmoothed[v] = voicePolyPressure[v];
        voiceChannelPressureSmoothed[v] = voiceChannelPressure[v];
        for (int s = kFirstCCSource; s <= kLastCCSource; ++s) src[s] = cc[s];
    } else {
        voiceModWheelSmoothed[v] = kSmoothTake * voiceModWheel[v] + kSmoothKeep * voiceModWheelSmoothed[v];
        voicePolyPressureSmoothed[v] =
            kSmoothTake * voicePolyPressure[v] + kSmoothKeep * voicePolyPressureSmoothed[v];
        voiceChannelPressureSmoothed[v] =
            kSmoothTake * voiceChannelPressure[v] + kSmoothKeep * voiceChannelPressureSmoothed[v];
        for (int s = kFirstCCSource; s <= kLastCCSource; ++s)
            src[s] = kSmoothTake * cc[s] + kSmoothKeep * src[s];
    }
    src[1] = voiceModWheelSmoothed[v];
    src[4] = voicePolyPressureSmoothed[v];
    src[3] = voiceChannelPressureSmoothed[v];
    src[2] = src[1] > src[3] ? src[1] : src[3];
    if (v == lastVoice) {
        for (int s = 1; s <= 4; ++s) modSrcGlobal[s] = src[s];
        for (int s = kFirstCCSource; s <= kLastCCSource; ++s) modSrcGlobal[s] = cc[s];
    }
    voicePitchBend[v] = pitchBendOctaves(src[21]);
    if (playMode != 8 && arpMode == 15) setArpMod(v);
}

void APlugin::runVoicePitch(int v) {
    const bool glides = portMode == 1 || portMode == 2 ||
                        ((portMode == 3 || portMode == 4) && notesPlaying > 1);
    if (glides && glideDir[v] != 0.0f) {
        glidePitch[v] += glideStep[v];
        if ((glideDir[v] > 0.0f && glidePitch[v] >= voicePitch[v]) ||
            (glideDir[v] < 0.0f && glidePitch[v] <= voicePitch[v]))
            glidePitch[v] = voicePitch[v];
    } else {
        glidePitch[v] = voicePitch[v];
    }
    const float* dest = modDestVoice[v];
    const double octaves = (double)dest[16] / 12.0 + (double)saturateInt(dest[14] * 8.0f + 0.1f, 64) +
                           (double)dest[15];
    voicePitchFactor[v] = std::exp2(octaves) * tunedIncrement;
    setLayerControls(v);
}

// The voice's pitch bend in octaves from its "Pitchbend" source (-1 .. just under +1). The
// upward side is scaled so that the highest bend a MIDI message can carry reaches the
// named range exactly, as controllers that send a range expect.
float APlugin::pitchBendOctaves(float bend) {
    // At rest (the rule) the bend is -0 octaves whatever the range.
    if (bend == 0.0f) return -0.0f;
    if (bend > 0.0f) bend = bend * (8192.0f / 8191.0f) > 1.0f ? 1.0f : bend * (8192.0f / 8191.0f);
    const float p = bend * 0.5f + 0.5f;
    return p > 0.5f ? getPitchBendValue(247, p) : -getPitchBendValue(246, 1.0f - p);
}

int APlugin::saturateInt(float value, int limit) {
    if (!(value > (float)-limit)) return value != value ? 0 : -limit;
    if (value > (float)limit) return limit;
    return (int)value;
}

// --- sample rate ----------------------------------------------------------------------------

void APlugin::setSampleRate(float rate) {
    if (!(rate >= 5.0f && rate <= 500000.0f)) return;
    const float diff = rate - curSampleRate;
    if (diff < 1e-5f && diff > -1e-5f) return;
    curSampleRate = rate;
    curSampleRateInv = 1.0f / rate;
    AudioEffect::setSampleRate(rate);
    updateBaseNote();
    overSampleRate = 2.0f * rate;
    overSampleRateInv = 1.0f / overSampleRate;
    barSamplesAtOneBPM = 240.0 * (double)rate;
    sampleRateOverTempo = (double)rate / tempoD;
    samplesPerBar = 240.0 * (double)rate / tempoD;
    tunedIncrement = baseNoteIncrement * std::exp2(2.0 * loadValue(paramValue[1017]) - 1.0);
    updateMasterFilter();
    setFXSampleRate();
    reset();
}
