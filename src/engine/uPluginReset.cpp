// Engine reset, the start-up state of the engine, the hand-over of UI-thread requests to
// the audio thread, the base pitch, the voice queries and the editor's preview note.
#include <cmath>
#include <cstring>

#include "plugin/uPlugin.h"

namespace {

// Octaves per "Pitch Bend Up/Down" choice: Off, 1..12, 24, 36, 48 semitones.
constexpr float kPitchBendRange[16] = {
    0.0f,        1.0f / 12.0f, 2.0f / 12.0f, 3.0f / 12.0f, 4.0f / 12.0f,  5.0f / 12.0f,
    6.0f / 12.0f, 7.0f / 12.0f, 8.0f / 12.0f, 9.0f / 12.0f, 10.0f / 12.0f, 11.0f / 12.0f,
    1.0f,        2.0f,         3.0f,         4.0f,
};

inline float levelGain(float v) {
    return v < 1e-5f ? 0.0f : std::pow(10.0f, (80.0f * v - 60.0f) / 20.0f);
}

inline bool takeFlag(volatile uint8_t& flag) {
    return __atomic_exchange_n(const_cast<uint8_t*>(&flag), (uint8_t)0, __ATOMIC_ACQ_REL) != 0;
}

inline void raiseFlag(volatile uint8_t& flag) {
    __atomic_store_n(const_cast<uint8_t*>(&flag), (uint8_t)1, __ATOMIC_RELEASE);
}

}  // namespace

void APlugin::initEngineState() {
    installDeprecatedProcess();

    std::memset(voiceKeyOn, 0, sizeof(voiceKeyOn));
    std::memset(voiceStolen, 0, sizeof(voiceStolen));
    std::memset(voiceStartStamp, 0, sizeof(voiceStartStamp));
    for (int v = 0; v < kNumVoices; ++v) {
        voiceNote[v] = -1;
        voiceChannel[v] = -1;
        voicePitch[v] = 0.0f;
        voiceLevelCount[v] = 0;
        voiceCounter[v] = 0;
        voiceNew[v] = 0;
        glidePitch[v] = glideStep[v] = glideDir[v] = 0.0f;
        voicePitchBend[v] = 0.0f;
        voicePitchFactor[v] = 0.0;
        voiceChord[v] = 0;
        voiceFirstElement[v] = 0;
        for (int k = 0; k < kVoiceElements; ++k) {
            voiceElemAge[v][k] = 0;
            voiceElemRatio[v][k] = 1.0f;
            voiceElemSemi[v][k] = 0.0f;
            voiceElemGain[v][k][0] = voiceElemGain[v][k][1] = 1.0f;
        }
        std::memcpy(modDestVoice[v], modDestDefault, sizeof(modDestVoice[v]));
        dropTailLevels(tailLevels, v);
    }
    for (int32_t& c : channelVoice) c = -1;
    curVoice = 0;
    lastVoice = -1;
    notesPlaying = 0;
    noKeyHeld = 1;
    monoNoteHeld = 0;
    sustainPedal = 0;
    playMode = portMode = chordMode = 0;
    lastPitch = kPitchNone;
    activeVoiceCount = 0;
    ++voiceListGeneration;
    clearNoteStack();
    noteStackVelocity = 0;
    curChord = 0;
    chordStep = 0;
    alternateCounter = 0;
    noteRandState = 1;
    updateChordTable();

    pitchBendValue = 0.0f;
    modWheelValue = modWheelSmoothed = 0.0f;
    std::memset(voiceModWheel, 0, sizeof(voiceModWheel));
    std::memset(voiceModWheelSmoothed, 0, sizeof(voiceModWheelSmoothed));
    std::memset(channelModWheel, 0, sizeof(channelModWheel));
    std::memset(voicePolyPressure, 0, sizeof(voicePolyPressure));
    std::memset(voicePolyPressureSmoothed, 0, sizeof(voicePolyPressureSmoothed));
    std::memset(voiceChannelPressure, 0, sizeof(voiceChannelPressure));
    std::memset(voiceChannelPressureSmoothed, 0, sizeof(voiceChannelPressureSmoothed));
    std::memset(channelPolyPressure, 0, sizeof(channelPolyPressure));
    std::memset(channelChannelPressure, 0, sizeof(channelChannelPressure));
    std::memset(modSrcVoiceCC, 0, sizeof(modSrcVoiceCC));
    std::memset(modSrcChannel, 0, sizeof(modSrcChannel));
    for (int32_t& t : midiLearnPending) t = -1;
    midiLearnPendingAny = 0;
    updateMIDIPrefs();

    arpKeyEntry = 0;
    arpKeyEntryStep = 0;
    arpStepCount = 0;
    arpPedalLatch = 0;
    arpLatch = 0;
    std::memset(arpPedalNotes, 0, sizeof(arpPedalNotes));
    arpMode = arpLoopMode = 0;
    arpOn = arpLatchLast = arpKeyEntryLast = 0;
    arpRunning = 0;
    arpSeqReset = 0;
    arpHeldCount = 0;

    inSample = stereoStruct{0.0f, 0.0f};
    outSample = stereoStruct{0.0f, 0.0f};
    tempo = 120.0f;
    tempoD = 120.0;
    tempoScale = 1.0f;
    sampleCounter = 0;
    barSamplesAtOneBPM = 240.0 * (double)curSampleRate;
    sampleRateOverTempo = (double)curSampleRate / tempoD;
    samplesPerBar = 240.0 * (double)curSampleRate / tempoD;
    hostPlaying = 0;
    mainVolSmooth = 0.0f;
    mainVolGain = 0.0f;
    mainPanSmooth = 0.0f;
    tunedIncrement = 0.0;
    bypassAllFX = distortOn = modFXOn = delayOn = reverbOn = 0;

    brickFilterOn = 0;
    std::memset(brickState, 0, sizeof(brickState));
    brickG = 0.0f;
    brickK = 1.0f;
    for (SharedFloat& v : scopeBuffer) v = 0.0f;

    engineRunning = 0;
    resetRequest = everythingOffRequest = previewOnRequest = previewOffRequest = 0;
}

// --- hand-over from the UI thread ------------------------------------------------------------

void APlugin::resume() {
    AudioEffectX::resume();
    updateMIDIPrefs();
    flushMIDILearnPrefs();
    runPendingRequests();
    raiseFlag(engineRunning);
}

void APlugin::engineSuspend() {
    __atomic_store_n(const_cast<uint8_t*>(&engineRunning), (uint8_t)0, __ATOMIC_RELEASE);
    runPendingRequests();
    flushMIDILearnPrefs();
}

bool APlugin::runsNow() const {
    return onAudioThread() || __atomic_load_n(const_cast<uint8_t*>(&engineRunning), __ATOMIC_ACQUIRE) == 0;
}

void APlugin::runPendingRequests() {
    if (takeFlag(resetRequest)) resetEngine();
    if (takeFlag(everythingOffRequest)) setEverythingOff(true);
    if (takeFlag(previewOnRequest)) performPreviewNoteOn();
    if (takeFlag(previewOffRequest)) performPreviewNoteReleased();
    if (ribbonSpringRequest.load(std::memory_order_relaxed)) {
        const uint8_t request = ribbonSpringRequest.exchange(0, std::memory_order_acquire);
        if (request == kRibbonSpringOnRequest) performRibbonSpringOn();
        if (request == kRibbonSpringOffRequest) setRibbbonSpringOff();
    }
}

// --- reset -----------------------------------------------------------------------------------

void APlugin::reset() {
    // From the UI thread while the host is processing, the audio thread does it at the
    // start of its next block; otherwise here and now.
    if (runsNow())
        resetEngine();
    else
        raiseFlag(resetRequest);
}

void APlugin::resetEngine() {
    resetEngineState();
    initFX();
    editorRefreshRequest = 1;
}

void APlugin::resetEngineState() {
    // (Notes rendered ahead first take the state the samples handed over left them in.)
    settleRunAhead();
    if (!onAudioThread()) updateMIDIChannel(false);
    setEverythingOff(true);
    alternateCounter = 0;
    chordStep = 0;

    playMode = getLockVarStepped(244);
    portMode = playMode == 8 ? 1 : getLockVarStepped(245);
    chordMode = getSteppedValue(555);
    arpMode = getArpMode();
    arpLoopMode = getArpLoopMode();
    modFXMode = getSteppedValue(349);

    modWheelSmoothed = modWheelValue;

    initArp();
    arpStepCount = getArpNumOfSteps();
    arpLatch = getLockVarOnOff(405) ? 1 : 0;

    std::memset(voiceFirstElement, 0, sizeof(voiceFirstElement));
    std::memset(voiceNew, 0, sizeof(voiceNew));
    std::memset(arpPedalNotes, 0, sizeof(arpPedalNotes));

    // The level smoothers start at the live values, so nothing fades in after a reset.
    mainVolSmooth = loadValue(paramValue[1]);
    mainVolGain = levelGain(mainVolSmooth);
    mainPanSmooth = loadValue(paramValue[3]);
    resetLayerLevels();

    std::memcpy(modDestGlobal, modDestDefault, sizeof(modDestGlobal));

    initGlobalLFO(0);
    initGlobalLFO(1);
    initFilters();
}

void APlugin::updateBaseNote() { baseNoteIncrement = 110.0 / (double)curSampleRate; }

// --- queries ---------------------------------------------------------------------------------

float APlugin::getTuning(int note) { return tuneTable[note & 0x7F]; }

float APlugin::getStringMod(int tagA, int tagB, float x, float y) {
    if (!isValidTag(tagA) || !isValidTag(tagB)) return 0.0f;
    return (2.0f * loadValue(paramValue[tagA]) - 1.0f) * x + (2.0f * loadValue(paramValue[tagB]) - 1.0f) * y;
}

// Octaves of a bend p (0.5 centre .. 1 full) with the range chosen by tag 246 or 247; a full
// bend is the named range exactly.
float APlugin::getPitchBendValue(int tag, float value) {
    int index = (int)(getLockVar(tag) * 15.99f);
    index = index < 0 ? 0 : (index > 15 ? 15 : index);
    return (value - 0.5f) * kPitchBendRange[index] * 2.0f;
}

void APlugin::setLastVoice() {
    if (isVoiceSounding(curVoice)) lastVoice = curVoice;
    int32_t best = 0;
    for (int v = 0; v < kNumVoices; ++v) {
        if (!isVoiceSounding(v)) continue;
        if (voiceStartStamp[v] > best) {
            best = voiceStartStamp[v];
            lastVoice = v;
        }
    }
}

bool APlugin::getIsVoicePlaying(int voice) { return isVoiceSounding(voice); }

bool APlugin::getIsAnyVoicePlaying() {
    for (int v = 0; v < kNumVoices; ++v)
        if (isVoiceSounding(v)) return true;
    return false;
}

// --- the editor's preview note -------------------------------------------------------------------

void APlugin::previewNoteOn() {
    if (runsNow())
        performPreviewNoteOn();
    else
        raiseFlag(previewOnRequest);
}

void APlugin::previewNoteReleased() {
    if (runsNow())
        performPreviewNoteReleased();
    else
        raiseFlag(previewOffRequest);
}

void APlugin::performPreviewNoteOn() {
    timeInfo = getTimeInfo(kVstPpqPosValid | kVstTempoValid);
    setEverythingOff(true);
    midiNoteDown(60, 100, 0);
}

void APlugin::performPreviewNoteReleased() {
    // Every voice lets go; the note stack of the mono modes is left as it is.
    for (int v = 0; v < kNumVoices; ++v) {
        releaseVoice(v, 1.0f);
        voiceChannel[v] = -1;
    }
    initArp();
    chordStep = 0;
}
