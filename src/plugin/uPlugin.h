// APlugin: the one plug-in object. It owns the whole state of the synthesizer in fixed
// arrays (parameters and their copies, voices, filters, effects) allocated once when the
// host creates it, so nothing on the audio path allocates.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/ModRoute.h"
#include "engine/TEngineView.h"
#include "engine/TEnvState.h"
#include "engine/TLayerState.h"
#include "engine/TRunAhead.h"
#include "dsp/HeldMultimode.h"
#include "dsp/LargePages.h"
#include "dsp/TBasicReverb.h"
#include "dsp/TDelay.h"
#include "dsp/TFilter.h"
#include "dsp/TLayerFilters.h"
#include "dsp/TParaEQ.h"
#include "plugin/ParamType.h"
#include "plugin/SharedValue.h"
#include "plugin/TEditorLink.h"
#include "vst/AudioEffectX.h"

constexpr int kNumParams = 1024;
constexpr int kNumPrograms = 1;
constexpr int kMidiQueueSize = 251;
constexpr int kMaxArpEntries = 256;

// Tag 1022 is the program trigger: a write to it asks the audio thread to apply the
// program record at its next 4096-sample boundary.
constexpr int kPresetTriggerTag = 1022;
constexpr int kRibbonValueTag = 126;
constexpr uint32_t kSlowTaskMask = 4095;

// The one program, and byte for byte the state chunk: 1024 native floats then a name.
struct TProgramRecord {
    float values[kNumParams];
    char name[32];
};
static_assert(sizeof(TProgramRecord) == 4128, "the state chunk is 4128 bytes");

class APlugin : public AudioEffectX {
public:
    explicit APlugin(audioMasterCallback audioMaster);
    ~APlugin() override;
    // The object asks for large pages: every block walks tens of megabytes of it.
    static void* operator new(std::size_t size);
    static void operator delete(void* p) noexcept;

    // --- lifecycle and host boundary -------------------------------------------------
    void suspend() override;
    float getVu() override;
    VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                         float opt) override;
    bool getEffectName(char* name) override;
    bool getProductString(char* text) override;
    bool getVendorString(char* text) override;
    VstInt32 getVendorVersion() override;
    VstInt32 canDo(char* text) override;
    bool getOutputProperties(VstInt32 index, VstPinProperties* properties) override;
    bool beginEdit(VstInt32 index) override;
    bool endEdit(VstInt32 index) override;
    VstIntPtr vendorSpecific(VstInt32 lArg, VstIntPtr lArg2, void* ptrArg,
                             float floatArg) override;
    bool notifyNKSHost(int32_t id, void* data, uint64_t size);
    bool getVendorSpecificPropertyInfo(uint32_t id, uint64_t& size, bool& flag);
    bool getVendorSpecificProperty(uint32_t id, void* data);
    bool setVendorSpecificProperty(uint32_t id, const void* data, uint64_t size);

    // --- parameter records and start-up ----------------------------------------------
    void setParameterVars(int tag, float defaultValue, bool isSwitch, float stepRange,
                          int stepCount, int modDest, int displayType, const std::string& name,
                          float zeroValue);
    void initVariables();
    void initParameterRecords();

    // --- parameter names and texts ---------------------------------------------------
    void getParameterName(VstInt32 index, char* text) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    void getParameterLabel(VstInt32 index, char* label) override;

    // --- value access ----------------------------------------------------------------
    static bool isValidTag(int tag) { return (unsigned)tag < (unsigned)kNumParams; }

    // --- snapshots and host parameter access ------------------------------------------
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    void setPresetParameters();
    bool getIsSettingPreset();
    bool getEditChanged() { return editChanged != 0; }
    void doHardReset();

    // --- program record and state chunk ----------------------------------------------
    VstInt32 getChunk(void** data, bool isPreset) override;
    VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset) override;
    void setProgram(VstInt32 program) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;
    void unSelectThenSetProgram();
    TProgramRecord& currentProgram() { return programs[curProgram]; }

    // --- sound engine ----------------------------------------------------------------
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    VstInt32 processEvents(VstEvents* events) override;
    void setSampleRate(float rate) override;
    void reset();
    void updateBaseNote();
    void updateMIDIChannel(bool force);
    void setTuning();
    void scanArpFolders();
    void scanArpPresets();
    void getArpPreset();
    int getArpMode();
    int getRibbonSpringTime();
    int getRibbonQuant();
    void setRibbbonSpringOff();

    // === section: value texts and formatters (owned by the texts work) ===============
    // Name, value text and label of a tag as the host and the editor show them. The
    // char* forms write at most kParamTextSize bytes, NUL included.
    static constexpr int kParamTextSize = 64;
    std::string getParameterDisplayStr(int tag);
    std::string getParameterNameStr(int tag);
    int getParamType(int tag);  // kTypeByTag for an invalid tag

    // Value formatters: a normalised value as the text a user reads, always with "." as
    // the decimal point whatever the process locale. The tag forms read the program
    // value (getDBStr the live value) and give "" for an invalid tag.
    static std::string getFloatStr(float value, int decimals);
    static std::string getPercentStr(float value, bool percentSign, int decimals);
    std::string getPercentStr(int tag, bool percentSign, int decimals);
    static std::string getPolarStr(float value, bool percentSign, int decimals);
    std::string getPolarStr(int tag, bool percentSign, int decimals);
    std::string getDBStr(int tag, float scale, float offset, bool unit, bool offAtZero);
    static std::string getSemiStr(float value, float range, float offset);
    std::string getSemiStr(int tag, float range, float offset);
    static std::string getFilterFreqStr(float value, bool unit);
    std::string getFilterFreqStr(int tag, bool unit);
    static std::string getEnvLenStr(float value, bool unit, bool alwaysMs);
    static std::string getLFOSpeedStr(float value, bool synced, bool asPeriod);
    static std::string getLFOSpeedStr(float value, float divisor, float exponent,
                                      bool offAtZero, bool asPeriod);
    static std::string getChordStrum(float value, bool synced, bool unit);
    // === end section: value texts =====================================================

    // === section: typed entry, value access, stepping, lock, program commands =========
    // Stepped values: N choices 0..N-1 stored as (index + 0.1) / range; read back by
    // truncating value * range + 0.1 and clamping to the choices.
    static int getSteppedValue(float value, float range, int count);
    int getSteppedValue(int tag, float range, int count);  // live value, caller's list
    int getSteppedValue(int tag);                          // live value, the tag's record
    int getSteppedValue(int tag, float value);             // given value, the tag's record
    void setSteppedValue(int tag, int index);              // automated
    void setSteppedValue(int tag, int index, float range, int count);  // automated
    void setSteppedValueMax(int tag);
    float getSteppedRange(int tag);
    int getSteppedNum(int tag);

    // On/off values: on is 0.5 or more; writers store exactly 1.0 or 0.0 (automated).
    static bool getOnOff(float value) { return value >= 0.5f; }
    bool getOnOff(int tag);
    void setOnOff(int tag, bool on);
    void setOnOff(int tag, float value);
    void setOn(int tag);
    void setOff(int tag);
    void toggleValue(int tag);

    // Defaults, originals, zero and random values.
    float getDefaultValue(int tag);
    void setToDefault(int tag);
    void setToDefaultRange(int first, int last);
    float getOrigValue(int tag);
    void setToOrig(int tag);
    void setZeroValue(int tag);
    void setRandomValue(int tag);

    // Copies and swaps of program values, written plain; pairs touching the program
    // trigger are skipped.
    void copyParameter(int from, int to);
    void copyParameterRange(int from, int to, int count);
    void copyParameterToRange(int from, int first, int last);
    void swapParameter(int a, int b);
    void swapParameterRange(int a, int b, int count);

    // Short texts kept one character per tag in a run of count tags.
    std::string getStringFromParamStr(int tag, int count, bool live, bool scratch);
    void setStringFromParam(const std::string& text, int tag, int count, bool scratch);

    // The editor window as the core sees it: the published open state, one atomic load, safe
    // on any thread (nothing here reaches the editor's frame).
    bool isEditorOpen();
    // UI thread, whenever the editor changes editorOpen/editorOpening or its window: publishes
    // whether the editor is open (the pair reads open, its window is up) for every thread.
    void publishEditorState();
    void updateEditorScreen();

    // Typed value entry: a modal box per parameter, the typed number mapped back to 0..1.
    void setNumValue(int tag);
    std::string setNumInput(int tag, std::string defaultText, std::string prompt);
    void setNumPer(int tag);
    void setNumPolar(int tag, std::string unit);
    void setNumVol(int tag, float scale, float offset, std::string prompt);
    void setNumFilter(int tag);
    void setNumSpeed(int tag, bool synced);
    // Stepped entry over a list of `rows` names (a row past the list reads as its last).
    void setNumSteppedStr(int tag, float range, int count, const char* const* names, int rows);
    void setNumSteppedStr(int tag, const char* const* names, int rows);  // the tag's record
    template <std::size_t N>
    void setNumSteppedStr(int tag, float range, int count, const char* const (&names)[N]) {
        setNumSteppedStr(tag, range, count, names, (int)N);
    }
    template <std::size_t N>
    void setNumSteppedStr(int tag, const char* const (&names)[N]) {
        setNumSteppedStr(tag, names, (int)N);
    }
    void setNumStepped(int tag, float range, int count);
    void setNumVel(int layer, int point, float value);

    // Stepping by a signed number of steps (mouse wheel, arrows, menu).
    void changeDelta(int tag, int delta, bool fine, float scale);
    void changeDeltaStepped(int tag, int delta, float range, int count);

    // The play lock: 0 off, 1 on (held tags read the snapshot), 2 set (snapshot written
    // back, then off).
    void setLockState(int state);
    bool getLocked() { return __atomic_load_n(&lockState, __ATOMIC_RELAXED) != 0; }
    int getLockState() { return lockState; }
    bool isTagLocked(int tag);
    float getLockVar(int tag);
    bool getLockVarOnOff(int tag);
    int getLockVarStepped(int tag);
    void setLockVar(int tag, float value);
    void setLockVarOnOff(int tag, bool on);
    void setLockVarStepped(int tag, int index);

    // Program commands: back to the loaded program, forward to the edits, or cleared.
    void origProgram();
    void editProgram();
    void clearProgram();
    void doFileCommands(int command);
    static bool fileExists(const std::string& path);

    // Arp preset browser selection.
    void changeArpFolder(int index);
    void loadArpPreset(int index);

    float textScratch[kNumParams] = {};
    // Whether the lock has ever taken its snapshot; until then "Set" has nothing to write.
    uint8_t lockSnapshotTaken = 0;
    // === end section: value access ====================================================

    // === section: lookup tables, pink noise (owned by the tables work) =================
    // Engine lookup tables, built once by the start-up and read by index on the audio
    // thread. None depends on the sample rate. (The filter tables are process-wide:
    // dsp/FilterTables.h.)
    static constexpr int kSinTableSize = 65536;
    static constexpr int kNoiseTableSize = 65536;
    static constexpr int kWarpRows = 512;
    static constexpr int kWarpSize = 4096;
    static constexpr int kLFOWaveCount = 9;
    static constexpr int kLFOWaveSize = 65536;
    static constexpr int kOscShapes = 4;   // sine, rising saw, square, triangle
    static constexpr int kOscBands = 34;   // band 0: the ideal wave; 1..33 band-limited
    static constexpr int kOscWaveSize = 4096;
    static constexpr int kPinkGenerators = 384;
    static constexpr int kFftBufferSize = 4097;

    // Start-up builders, called by initVariables in this order:
    void initSineNoiseTables();  // sine, cosine, white and pink noise, in one pass
    void initPhaseWarpTable();
    //   (then the process-wide filter tables: initFilterTables())
    void initLFOWaves();         // uses rand() for the sample-and-hold wave
    void initWaveTables();       // note bands, oscillator wavetables, short sine

    // One sample of pink-noise generator `generator` (0 .. kPinkGenerators-1), in -1..1;
    // advances the shared RandSeed. An index outside the range gives 0.
    float doPinkNoise(int generator);

    // Fourier transform of fftRealIn/fftImagIn into fftRealOut/fftImagOut (n a power of
    // two, 2..4096; other sizes do nothing). Not scaled: ifft(fft(x)) = n x.
    void fft(int n);
    void ifft(int n);
    void fourierTransform(double angle, int n);
    static int numberOfBitsNeeded(int n);
    static int reverseBits(int index, int bits);

    float sinTable[kSinTableSize];  // sin(2 pi i / 65535.988)
    float cosTable[kSinTableSize];
    float whiteNoiseTable[kNoiseTableSize];
    float pinkNoiseTable[kNoiseTableSize];
    // Entry i: pink[i] + pink[i + 1] and white[i] + white[i + 1] (wrapping), the sums Wire adds
    // stepping two entries; a page after the end repeats the start (sets of later members kept).
    float noisePairTable[kNoiseTableSize + 512][2];
    // Per symmetry row: phase index -> table index, the bend point moved to mid-cycle;
    // row 255 is the identity.
    int32_t phaseWarpTable[kWarpRows][kWarpSize];
    // Sine up, sine down, triangle up, triangle down, saw up, saw down, square up,
    // square down, sample and hold.
    float lfoWave[kLFOWaveCount][kLFOWaveSize];
    float oscWave[kOscShapes][kOscBands][kOscWaveSize];
    int32_t noteBand[128];  // band of oscWave per MIDI note
    float sinTable4096[kOscWaveSize];

    // Voss-style pink noise: rows refreshed at rates falling by powers of two.
    struct TPinkNoise {
        uint32_t counter;
        float rows[7];
        float sum;
    };
    TPinkNoise pinkNoise[kPinkGenerators] = {};

    float fftRealIn[kFftBufferSize];
    float fftRealOut[kFftBufferSize];
    float fftImagIn[kFftBufferSize];
    float fftImagOut[kFftBufferSize];
    // === end section: lookup tables ===================================================

    // === section: engine core: render loop, MIDI, voices, notes, output (engine-core work) ==
    // Voice slots, play modes, the MIDI queue and controller state, note start with chords
    // and strum, the render loop's own state and the output stage. Everything here is a
    // fixed member: the audio thread never allocates.
    static constexpr int kVoiceElements = 8;  // stacked-note slots per voice
    static constexpr int kMaxChordNotes = 6;  // notes of one chord (what the filters serve)
    static constexpr int kNumChords = 4;
    static constexpr int kMidiChannels = 16;
    static constexpr int kNoteStackSize = 128;
    static constexpr int kArpPedalNotes = 64;
    static constexpr int kScopeRingSize = 131072;  // per layer, a power of two
    static constexpr float kPitchNone = -10.0f;   // lastPitch when no note sounded yet
    static constexpr int kFirstCCSource = 22;     // sources fed by MIDI controllers
    static constexpr int kLastCCSource = 41;
    static constexpr int kFirstEnvSource = 42;    // envelope levels (and velocity splits)
    static constexpr int kLastEnvSource = 97;
    static constexpr int kArpHeldNotes = 32;

    // Start-up values of everything below; called once by initVariables.
    void initEngineState();
    void resume() override;
    // The host switched processing off (suspend); pending UI requests run at once.
    void engineSuspend();

    // --- render loop --------------------------------------------------------------------
    // The old accumulating process call: keeps the MIDI queue moving, renders nothing.
    void __processDeprecated(float** inputs, float** outputs, VstInt32 sampleFrames);
    void installDeprecatedProcess();
    void renderEngineSample();
    void runControlBlock();
    void runSlowControls();
    void runVoiceControls(int voice);  // envelopes, MIDI sources, pitch bend
    void runVoicePitch(int voice);     // glide, pitch factor, layer controls
    void updateTempo();
    void checkTransport();
    void rebuildActiveVoices();
    void addActiveVoice(int voice);
    float pitchBendOctaves(float bend);
    // value truncated toward zero and held within -limit..limit (NaN gives 0).
    static int saturateInt(float value, int limit);
    void runPendingRequests();
    // True when a UI-side request may act at once: on the audio thread, or while the host
    // is not processing.
    bool runsNow() const;

    // --- output stage and scope -------------------------------------------------------------
    void updateMasterFilter();
    void runOutputStage(float& left, float& right);
    void runOutputStageRun(int n, stereoStruct* io);
    struct TBrickMap;
    static void buildBrickMap(TBrickMap& map, float g, float k);
    void runOutputStageBaseline(int n, stereoStruct* io);
    void captureScopes();
    void getWaveDisplay(int ring, int n, float zoom, float* out);

    // --- MIDI queue and dispatch -------------------------------------------------------------
    void processMidi(long sampleIndex);
    void dispatchMidiEvent(const VstMidiEvent& event);
    void dispatchController(int controller, int value, int channel);
    void handleSustainPedal(int value);
    void applyControllerMap(int controller, float value);
    void arpKeyEntryNoteOn(int note, int velocity);
    void arpKeyEntryNoteOff();
    // Preferences the audio thread needs, read on other threads.
    void updateMIDIPrefs();
    // Writes controller assignments learnt on the audio thread to the preferences.
    void flushMIDILearnPrefs();
    // MIDI controller sources: every voice, or in Poly MPE the voices of one channel.
    void setModSrc(int src, float value);
    void setModSrc(int voice, int src, float value);
    void setModSrc(int src, float value, int channel);

    // --- voice allocation and play modes ----------------------------------------------------
    void midiNoteDown(int note, int velocity, int channel);
    void midiNoteRelease(int note, int velocity, int channel);
    void getNextCurVoice();
    void setVoiceOn(int voice);
    void setVoiceOff(int voice, int velocity);
    void releaseVoice(int voice, float releaseVelocity);
    void turnAllVoicesOff();
    void setEverythingOff(bool forgetPitch);
    int getNotesPlaying();
    int getNotesOn();
    int getPortMode();
    static bool isValidVoice(int voice) { return (unsigned)voice < (unsigned)kNumVoices; }
    // Key on, or an Amp-envelope level of one of its stacked notes above 1e-5. Inline: the
    // active-list rebuild and the scope capture ask it every few samples.
    static constexpr double kVoiceSilentLevel = 1e-5;
    bool isVoiceSounding(int voice) const {
        if (!isValidVoice(voice)) return false;
        if (voiceKeyOn[voice]) return true;
        int count = voiceLevelCount[voice];
        if (count > kVoiceElements) count = kVoiceElements;
        for (int k = 0; k < count; ++k)
            if (env.envLevel(0, voice, k) > kVoiceSilentLevel) return true;
        return false;
    }
    float getVoiceLevel(int voice);
    bool isPolyPlayMode() const;  // Poly, Poly MPE and Arp: one voice per key
    bool anyVoiceKeyOn();
    bool pushNote(int note);
    bool removeNote(int note);
    bool noteStackHolds(int note);
    void clearNoteStack();
    void arpNoteDown(int note, int velocity);
    void arpNoteRelease(int note, int velocity);
    void sortArpHeldNotes();
    int engineRand();

    // --- note start ------------------------------------------------------------------------
    void prefetchVoiceStart(int voice);
    void prefetchElementStart(int voice);
    void setNotePressed(int voice, int note, int velocity, float semitoneOffset, int arpChord,
                        bool retrigger, bool fromArp, bool glide);
    void startVoiceNote(int voice, int note, int velocity, int arpChord, bool fromArp);
    void layoutChord(int voice, int arpChord, bool fromArp);
    void updateChordTable();
    void setNoteSources(int voice, int note, int velocity);

    // --- reset and voice queries -------------------------------------------------------------
    void resetEngine();
    // resetEngine without the effect section's buffers (initFX) and the editor refresh.
    void resetEngineState();
    float getTuning(int note);
    float getStringMod(int tagA, int tagB, float x, float y);
    float getPitchBendValue(int tag, float value);
    void setLastVoice();
    bool getIsVoicePlaying(int voice);
    bool getIsAnyVoicePlaying();
    void previewNoteOn();
    void previewNoteReleased();
    void performPreviewNoteOn();
    void performPreviewNoteReleased();
    bool onAudioThread() const;
    bool onHostAudioThread() const;

    // --- what the render loop calls of the LFOs, ribbon, filters, effects and arpeggiator -------
    void setGlobalLFOS();
    void setVoiceLFOS(int voice);
    void initGlobalLFO(int lfo);
    void initVoiceLFO(int voice, int lfo);
    void setRibbonSpringOn();
    // The filters' and effects' resets, called by reset and when a mode changes (defined
    // with the filters and the effects); initFX(part) does one of kFXInitParts in turn.
    void initFilters();
    void initFX(int part = -1);
    void initDistort();
    void initModFX();
    void setArpNorm();
    void setArpChord();
    void setArpSeq();
    void setArpMod();
    void setArpMod(int voice);
    void getArpToStart();
    void initArp();
    void updateArpMod(int voice);
    void restartArp(bool refreshOctaves);
    void arpPhraseStart(int velocity, bool firstNote);
    int getArpNumOfSteps();
    bool getArpStepOn(int step);
    bool getArpStepTied(int step);
    int getArpLoopMode();

    // --- voice state ---------------------------------------------------------------------------
    alignas(64) int32_t voiceLevelCount[kNumVoices] = {};  // stacked notes used, 1..kMaxChordNotes
    int32_t voiceCounter[kNumVoices] = {};      // the voice's own sample counter
    int32_t voiceFirstElement[kNumVoices] = {};
    float voicePitch[kNumVoices] = {};          // octaves from MIDI note 57
    int32_t voiceStartStamp[kNumVoices] = {};
    int32_t voiceNote[kNumVoices] = {};
    int32_t voiceChannel[kNumVoices] = {};      // Poly MPE: channel that started the voice, -1 none
    int32_t channelVoice[kMidiChannels] = {};   // Poly MPE: last voice started per channel, -1 none
    uint8_t voiceNew[kNumVoices] = {};
    float glidePitch[kNumVoices] = {};
    float glideStep[kNumVoices] = {};
    float glideDir[kNumVoices] = {};
    float voicePitchBend[kNumVoices] = {};      // octaves
    // 2^(global fine, octave, semitone destinations) x tunedIncrement, every 16 samples.
    double voicePitchFactor[kNumVoices] = {};
    int32_t voiceChord[kNumVoices] = {};
    float lastPitch = {};
    // Per stacked note: samples since it started (negative while a strummed note waits),
    // pitch ratio, semitone offset and its left/right gains from the chord table.
    alignas(64) int32_t voiceElemAge[kNumVoices][kVoiceElements] = {};
    float voiceElemRatio[kNumVoices][kVoiceElements] = {};
    float voiceElemSemi[kNumVoices][kVoiceElements] = {};
    // A lead room starts a 4 KB stretch and puts the member after it at the L1 set it names (in
    // 64 B lines): the lines every sample reads spread over the sets rather than piling up.
    alignas(4096) unsigned char elemGainLead[42 * 64];
    float voiceElemGain[kNumVoices][kVoiceElements][2] = {};
    // Held notes of the mono and legato modes.
    int32_t noteStack[kNoteStackSize] = {};
    int32_t noteStackTop = {};
    int32_t noteStackVelocity = {};
    // Chords: the control block's table and the chord-mode cycle position.
    float chordRatio[kNumChords][kMaxChordNotes] = {};
    float chordSemi[kNumChords][kMaxChordNotes] = {};
    float chordGain[kNumChords][kMaxChordNotes][2] = {};
    int32_t curChord = {}, chordStep = {};
    int32_t alternateCounter = {};
    uint32_t noteRandState = 1;  // engineRand

    // --- MIDI controller state ----------------------------------------------------------------
    float pitchBendValue = {};
    float modWheelValue = {};
    float modWheelSmoothed = {};
    float voiceModWheel[kNumVoices] = {};
    float voiceModWheelSmoothed[kNumVoices] = {};
    float channelModWheel[kMidiChannels] = {};
    float voicePolyPressure[kNumVoices] = {};
    float voicePolyPressureSmoothed[kNumVoices] = {};
    float voiceChannelPressure[kNumVoices] = {};
    float voiceChannelPressureSmoothed[kNumVoices] = {};
    float channelPolyPressure[kMidiChannels] = {};
    float channelChannelPressure[kMidiChannels] = {};
    // Raw controller sources per voice and per channel; per-voice destinations.
    float modSrcVoiceCC[kNumVoices][kNumModSources] = {};
    float modSrcChannel[kMidiChannels][kNumModSources] = {};
    alignas(4096) unsigned char modDestLead[35 * 64];
    alignas(64) float modDestVoice[kNumVoices][kModDestSlots] = {};
    // Preferences cached for the audio thread.
    uint8_t midiCaptureOn = 1;
    uint8_t midiSpringOn = 1;
    // Controller assignments learnt on the audio thread, waiting to be stored (tag, -1 none).
    int32_t midiLearnPending[128] = {};
    volatile uint8_t midiLearnPendingAny = 0;

    // Arpeggiator fields the note handling touches (the arpeggiator itself comes later).
    uint8_t arpKeyEntry = {};
    int32_t arpKeyEntryStep = {};
    int32_t arpStepCount = {};
    uint8_t arpPedalLatch = {};
    uint8_t arpLatch = {};
    int32_t arpPedalNotes[1 + kArpPedalNotes] = {};  // count, then the notes
    int32_t arpHeldNotes[kArpHeldNotes] = {};          // the keys the Arp play mode holds
    int32_t arpHeldVelocity[kArpHeldNotes] = {};
    int32_t arpHeldCount = 0;
    uint8_t arpRunning = 0;
    uint8_t arpSeqReset = 0;
    int32_t arpLoopMode = {};
    uint8_t arpOn = {};
    uint8_t arpLatchLast = {};
    uint8_t arpKeyEntryLast = {};

    // --- render loop state ---------------------------------------------------------------------
    float tempoScale = {};
    double sampleRateOverTempo = {};
    double samplesPerBar = {};
    double barSamplesAtOneBPM = {};
    uint8_t hostPlaying = {};
    // Effect switches cached by the control block.
    uint8_t bypassAllFX = 0, distortOn = 0, modFXOn = 0, delayOn = 0, reverbOn = 0;
    // The effect path as the control block decoded it (decodeFXPath): the stage at each
    // position and the layers entering the chain just before it, in layer order.
    uint8_t fxPathStage[3] = {0, 1, 2};
    uint8_t fxEntryLayers[3][kNumLayers] = {};
    uint8_t fxEntryCount[3] = {};

    // --- output stage and scope ------------------------------------------------------------------
    uint8_t brickFilterOn = {};
    float brickG = 0.0f;
    float brickK = 1.0f;
    float brickState[2][2][2] = {};  // channel, section, s1/s2
    // The brick filter's four oversampled steps on one held input, folded into one linear
    // map per host sample (new state and output from the old state and the input); rebuilt
    // by the output stage whenever brickG or brickK differ from the values it came from.
    struct TBrickMap {
        alignas(16) float column[4][4];  // new state per old state component (s1, s2, s1, s2)
        alignas(16) float input[4];      // new state per unit of input
        float out[4];                    // output per old state component
        float outInput;                  // output per unit of input
        float g;
        float k;
        bool valid;
    } brickMap = {};
    // Written by the audio thread, read by the editor's scopes: whole values only.
    SharedFloat scopeBuffer[kNumLayers * kScopeRingSize];

    // === end section: engine core =========================================================

    // === section: engine sound: layer models and envelopes (engine-sound work) =============
    // Calls the render loop makes, in its order:
    //   control block (128 samples): updateLayerState(), then buildEnvList() (after the
    //     modulation slots are cached);
    //   slow controls (16 samples): updateLayerLevels() after the main volume and pan;
    //   per active voice v, voice counter & 15 == 0: setEnvs(v), checkRetrigger(v); after
    //     the glide and the voice pitch factor: setLayerControls(v);
    //   per active voice v, every sample: publishEnvSources(v) (before its modulation pass);
    //   renderLayers() once per sample (clears layerOut, renders every active layer of
    //     every active voice into layerOut; true: every listed voice has one note);
    //   per active voice v after rendering: getLayerVoiceOutput(layer, v) for the layer
    //     output sources, then advanceEnvs(v), then the voice's counters advance.
    // Note start (retrigger): setVelocitySplit(v, velocity, base) at the velocity step,
    //   startLayerSound(v, velocity) at the per-layer filter/string/FM step, then
    //   startEnvs(v, velocity). reset(): resetLayerLevels() with the other smoothers;
    //   env.silenceAll() silences every envelope.
    // Envelope levels: env.envLevel(envNum, voice, sub) (the working arrays are indexed
    //   [voice][sub][envelope]); getVoiceAmpLevel(v) is the voice's largest Amp level.
    void updateLayerState();
    void buildEnvList();
    void updateLayerLevels();
    void resetLayerLevels();
    void setEnvs(int voice);
    float checkRetrigger(int voice);
    double getShapedEnv(int envNum, int voice, int stage, bool shapeAttackDecay, double phase,
                        double releasePhase, double releaseLevel, double sustain);
    double getEnvVar(int voice, int envNum, int stage);
    void publishEnvSources(int voice);
    // These two run for every voice every sample: inline, in TEnvState.
    void skipEnvSources(int voice) {
        if (isValidVoice(voice)) env.skipSources(voice);
    }
    void advanceEnvs(int voice) {
        if (isValidVoice(voice)) env.advance(voice, voiceLevelCount[voice]);
    }
    void setLayerControls(int voice);
    bool renderLayers(int knownSingle = -1);
    void finishLayer(int layer, SourceMode, int n, const int* list, const int* counts, bool single);
    float getLayerVoiceOutput(int layer, int voice);
    void setVelocitySplit(int voice, int velocity, float base);
    void startLayerSound(int voice, int velocity);
    void startEnvs(int voice, int velocity);
    // The largest running Amp-envelope level of its first voiceLevelCount sub-elements (0: none).
    double getVoiceAmpLevel(int voice);

    // Smoothed levels and pitches of each layer, every 16 samples.
    float layerVolSmooth[kNumLayers] = {};
    float impVolSmooth[kNumLayers] = {};
    float impVolGain[kNumLayers] = {};
    float fm1VolSmooth[kNumLayers] = {};
    float fm1VolGain[kNumLayers] = {};  // scaled to phase units (x 16777215)
    float fm2VolSmooth[kNumLayers] = {};
    float fm2VolGain[kNumLayers] = {};
    float subVolSmooth[kNumLayers] = {};
    float layerSemi[kNumLayers] = {};  // octaves
    float layerFine[kNumLayers] = {};  // octaves, 0 for an FM layer
    float fm1Pitch[kNumLayers] = {};   // octaves
    float fm2Pitch[kNumLayers] = {};
    // Set at note start, read while the voice renders.
    float layerVelGain[kNumLayers][kNumVoices] = {};
    float fmVelGain[kNumLayers][kNumVoices][2] = {};
    float stringLenMod[kNumLayers][kNumVoices] = {};
    float stringDampMod[kNumLayers][kNumVoices] = {};
    float stringPluckMod[kNumLayers][kNumVoices] = {};
    alignas(64) unsigned char tailLead[12 * 64];
    TTailLevels tailLevels[kNumLayers] = {};  // what the layers' tails keep (see there)
    // Per voice layer controls and per stacked note state, output records and memories.
    alignas(4096) unsigned char layerVoiceLead[58 * 64];
    TLayerVoice layerVoice[kNumLayers][kNumVoices] = {};
    TLayerNote layerNote[kNumLayers][kNumVoices][kLayerNotes] = {};
    stereoOverStruct noteOut[kNumLayers][kNumVoices][kLayerNotes] = {};
    // String lines and excitation histories (see TStringLines), on pages of their own.
    std::unique_ptr<TStringLines, largepages::Release> strings =
        largepages::makeZeroedOne<TStringLines>();
    // The noise generator of the Wave noise shapes and the note-start phases.
    uint32_t soundRandState = 1;
    // === end section: engine sound ========================================================

    // === section: arpeggiator, learn files, tuning (playing-tools work) ===================
    // The arpeggiator and 16-step sequencer (and the arp as a modulation source), the arp
    // preset browser, MIDI learn with controller-map files ("*.ecs") and microtuning from
    // tuning files ("*.tun").
    //
    // Threads: the note players, the modulator and program application run on the audio
    // thread and never touch the disk; the browser's folder scans, the file loads and the
    // dialogs run on the UI (or host) thread. What a program change may name (the tuning
    // file of the tuning name, the presets of every arp folder) is read ahead off the audio
    // thread (preparePlayingTools) and kept in the caches below; the audio thread reads
    // them under a try-lock it never waits for, and leaves them alone when it is taken.
    static constexpr int kArpSteps = 16;
    static constexpr int kArpFirstTag = 394;       // settings 394..411, grid 412..539
    static constexpr int kArpPresetValues = 146;   // tags 394..539
    static constexpr int kArpFolderNameTag = 850;  // folder name of the loaded arp preset
    static constexpr int kArpFolderNameLen = 80;
    static constexpr int kArpPresetNameTag = 930;  // its preset name
    static constexpr int kArpPresetNameLen = 28;
    static constexpr int kArpChordVoices = 16;

    // --- arpeggiator: settings and grid as the engine and the editor read them ---------------
    int getArpSpeed();
    int getArpOct();
    int getArpNumOct();
    int getArpTiedMode();
    int getArpRatchetMode();
    int getArpLoopStart();
    int getArpNumOfStepsWithCatchup();
    int getArpLoopStartWithCatchup();
    bool getArpHostSync();
    float getArpVelKey();
    static bool isValidArpStep(int step) { return (unsigned)step < (unsigned)kArpSteps; }
    bool getArpStepSlide(int step);
    float getArpStepTune(int step);  // semitones -36..+36
    int getArpStepTuneForDisplay(int step);
    float getArpStepVel(int step);   // 0..127
    float getArpStepFree(int step);  // -1..1
    int getArpStepRatchet(int step); // 0 "Off", 1..3 for 2..4 hits
    int getArpStepChord(int step);   // row of ARP_CHORD_STR
    // Run state for the editor (read without locking).
    int getArpLedPos();
    int getArpSeq();
    bool getArpPlaying();
    int getArpPlayedCount();
    bool getArpRatchetDisplay();
    void setArpKeyEntryPos(int step);
    void resetArpKeyEntryPos();
    // Whether a tied step sounds again on a pass of the given parity (flag: always).
    bool getArpRetrigger(int step, int passParity, bool flag);
    // The share of a step after which a ratchet hits again (9999: no ratchet).
    double getArpRatchetLen(int step);

    // --- arpeggiator: the players ------------------------------------------------------------
    bool updateArpStep();
    void updateArpClock();
    void playArpNote(int index, bool newNote, bool setSources);
    void startArpChord(bool newStep);
    void smoothArpVoiceFree();
    void restartArpMod();
    void restartArpVoiceMod(int voice);
    void applyArpModStep(int voice);
    bool advanceArpModStep(int& step, int& dir, int& passParity, bool rereadLimits);
    void checkArpModTransport();
    float smoothArpFree(float state, float target);
    bool arpRatchetApplies();

    // --- arp preset browser ------------------------------------------------------------------
    std::string getArpFolder(int index);
    std::string getArpPreset(int index);
    bool hasLoadedArpPreset();
    void setArpPresetName(const std::string& path);
    static bool sortStringsToupper(const std::string& a, const std::string& b);
    // The stored folder and preset name of the program (no allocation: audio thread).
    void readArpPresetIdentity(char* folder, char* preset);
    // What a name looks like once kept in `count` parameter slots.
    static std::string arpStoredForm(const std::string& name, int count);
    void refreshArpPresetMirror();
    int findArpFolder(const char* stored);
    void serviceArpSelectRequest();
    void scanArpFolderPresets(int folder);
    bool readArpPresetFile(const std::string& path, float* values);
    void loadArpPresetAt(int index);

    // --- MIDI learn and controller-map files ---------------------------------------------------
    void setMIDILatch(int tag, bool on);
    void setMIDICCNum(int tag);
    void resetMIDI();
    void resetMIDICapture();
    void loadECS();
    void saveECS();
    void applyControllerMapTable(const int32_t* map);

    // --- tuning ------------------------------------------------------------------------------------
    void loadTuning();
    void resetTuning();
    std::string getTuningName();
    void publishTuneTable(const float* table);
    void storeTuningCache(const std::string& name, const float* table);

    // --- read-ahead of what program changes need ------------------------------------------------
    void preparePlayingTools();
    void prepareTuning();
    bool tryLockPlayingTools();
    void lockPlayingTools();
    void unlockPlayingTools();

    // --- arpeggiator state -----------------------------------------------------------------------
    uint8_t arpModRunning = 1;  // "Mod Free" runs from the start
    uint8_t arpRestart = 1;
    uint8_t arpChordFirst = 1;   // the pattern is in its first step: new keys sound at once
    uint8_t arpNewKey[128] = {}; // per note: the key joined since the pattern's last chord
    int32_t arpLoopStart = 0, arpOctave = 0, arpOctaveCount = 1, arpPassParity = 0;
    int32_t arpStep = -1, arpStepDir = 1, arpNoteCounter = 0, arpSwingParity = 0;
    int32_t arpModSwingParity = 0, arpModStep = 0, arpModStepDir = 1, arpModPassParity = 0;
    int32_t arpNoteIndex = 0, arpPassCounter = 0, arpRatchetCount = 0, arpCurNote = 0;
    int32_t arpVoiceStep[kNumVoices] = {};
    int32_t arpSortedNotes[kArpHeldNotes] = {};  // the held keys by pitch
    int32_t arpSortedVels[kArpHeldNotes] = {};
    int32_t arpSortedCount = 0;
    int32_t arpChordVoices[kArpChordVoices] = {};
    int32_t arpChordVoiceCount = 0;
    int32_t arpCurChord = 0;
    float arpKeyVelocity = 0.0f;  // first key's velocity / 127
    float arpModFree = 0.0f;      // target of source 115 for the modulator
    float arpModFreeSmoothed = 0.0f;
    float arpCurTune = 0.0f;      // semitones
    float arpCurVelocity = 1.0f;  // 0..127
    float arpVoiceFreeSource[kNumVoices] = {};  // smoothed free value per voice
    float arpVoiceFree[kNumVoices] = {};        // the step's free value per voice
    double arpPhase = 0.0;
    double arpStartPhase = 0.0;  // where in its first step a host-synced start lands
    double arpModPhase = 0.0;
    double arpStepIncrement = 0.0;  // steps per 16-sample tick
    double arpRatchetPhase = 0.0;
    double arpNoteLength = 99999.0;
    double arpRatchetLength = 9999.0;
    double arpSwing[2] = {1.0, 1.0};
    double arpSmoothAttack = 0.0;
    double arpSmoothDecay = 0.0;
    uint32_t arpClockTick = 0xFFFFFFFFu;  // the 16-sample tick the clock was last read on
    // Host position for the synced start: the last sixteenth seen and where the block began.
    int32_t arpLastSixteenth = -1;
    double arpBlockPPQ = -1.0;
    uint32_t arpBlockStart = 0;
    uint8_t arpModHostPlaying = 0;
    uint32_t arpModTransportTick = 0xFFFFFFFFu;
    // Mod Poly: a modulator per voice.
    uint8_t arpVoiceModRunning[kNumVoices] = {};
    int32_t arpVoiceModSwingParity[kNumVoices] = {};
    int32_t arpVoiceModStep[kNumVoices] = {};
    int32_t arpVoiceModPassParity[kNumVoices] = {};
    int32_t arpVoiceModStepDir[kNumVoices] = {};
    double arpVoiceModPhase[kNumVoices] = {};
    float arpVoiceModFree[kNumVoices] = {};
    float arpVoiceModFreeSmoothed[kNumVoices] = {};

    // --- browser and read-ahead caches --------------------------------------------------------------
    // Per folder of arpFolderNames: its preset names, sorted, each followed by '\n'.
    std::string arpPresetCache[kMaxArpEntries];
    int32_t arpPresetCacheCount[kMaxArpEntries] = {};
    uint8_t arpFoldersScanned = 0;
    // The folder whose presets arpPresetNames holds (-1: none yet).
    int32_t arpPresetListFolder = -1;
    // A program was applied while the caches were busy: the UI side selects again.
    volatile uint8_t arpSelectPending = 0;
    // The tuning of tuningName as read ahead, and the name it was read for: two tables, the
    // audio thread copies the one tuningCacheIndex names (no lock), the UI side fills the
    // other and then switches.
    float tuningCacheTable[2][128] = {};
    volatile uint8_t tuningCacheIndex = 0;
    volatile uint8_t tuningCacheValid = 0;
    std::string tuningCacheName;
    volatile uint8_t playToolsBusy = 0;
    // === end section: playing tools =========================================================

    // === section: modulation (modulation work) =============================================
    // The two LFOs (once globally and once per voice), the eight-slot modulation matrix and
    // the ribbon controller. The render loop calls, in its order:
    //   control block (128 samples): updateModSlots(), before buildEnvList();
    //   every 4 samples: setGlobalLFOS(); then every sample runGlobalModulation(): the global
    //     LFO sources, white noise, the ribbon and the global pass of the matrix;
    //   per active voice: setVoiceLFOS(v) every 4 samples of the voice, then every sample
    //     runVoiceModulation(v): the voice's LFO sources and its pass of the matrix;
    //   clearFXOutSources() right before the effect stages, which refill sources 125-128, so
    //     that every pass reads the effect outputs of the previous sample.
    static constexpr int kModSlots = 8;
    static constexpr int kNumLFOs = 2;

    // One LFO: the phase and its random draws, the smoothing, shaping and bias settings of
    // the last slow refresh, and both outputs as targets interpolated over four samples.
    struct TLFOState {
        double phase;        // 0..1
        double holdCounter;  // sample-and-hold position, a new held value at 1
        double humanize;     // rate factor drawn once per cycle
        double keyTrack;     // rate factor of the key tracking
        float random;        // -1..1, the "Sample and Hold" wave, new every cycle
        float held;
        float smoothed;
        float fallCoef;
        float riseCoef;
        float shapeExp;
        uint8_t shapeOn;
        float biasScale[3];  // for negative, zero and positive wave values
        float biTarget, biPrev, biRun, biInc;
        float uniTarget, uniPrev, uniRun, uniInc;
        // The last inputs of the powers of two the update takes and their results, so that
        // settings standing still cost no exp2 (a result of 0 marks an empty entry where 0
        // is no possible result).
        float fallIn, riseIn, shapeIn;
        double keyIn, holdIn, bitsIn;
        double keyOut, holdOut, bitsOut;
    };

    // Start-up: both global LFOs and every voice copy at rest, nothing in use.
    void initLFOState();
    void initAllVoiceLFO(int lfo);
    // The arpeggiator started playing: both global LFOs and all voice LFOs restart.
    void restartLFOsForArp();
    // Control block: the slot cache, the active slot list, the source-in-use flags, the LFO
    // waves and modes and the ribbon settings.
    void updateModSlots();
    void updateRibbonSettings();
    void runGlobalModulation();
    void runVoiceModulation(int voice);
    void publishGlobalLFOs();
    void publishVoiceLFOs(int voice);
    void runGlobalModPass();
    void runVoiceModPass(int voice);
    void runModPass(float* dest, const float* row, bool voicePass, bool whole, float* cacheExp,
                    float* cacheValue);
    void runRibbonSample();
    void clearFXOutSources();

    // Slot and destination queries (the editor calls these on the UI thread; no lock).
    int getModSlotDest(int slot);
    bool getModSlotBypass(int slot);
    int getDestTypeForSlot(int slot);
    std::string getModSrcByModStr(int slot);
    int getModDest(int tag);
    int getDestTypeForDest(int dest);
    static bool isValidModSlot(int slot) { return slot >= 0 && slot < kModSlots; }
    static bool isValidSrc(int src) { return src >= 1 && src <= 136; }
    void setModSlotVar(int slot, bool bypass, float amount, int source, int dest);
    // The destination a parameter controls (the Mod FX knobs follow the Mod FX mode).
    int getTagDest(int tag);
    // What a knob shows while voices sound: its value moved by the last voice's modulation.
    float getModValue(int tag);
    // The chord the engine plays, -1 with chords off or nothing playing.
    int getCurChord();

    // --- what the editor shows of the running engine ----------------------------------------
    // The audio thread publishes it at the end of every render call; the editor's readers
    // above (getModValue, getTagDest, getCurChord, the arp, gate and scope readers) take it
    // from here when another thread renders, so the UI's idle never reads state the audio
    // thread is writing. Every field is written and read whole with relaxed atomics.
    TEngineView engineView;
    // Audio thread, at the end of a render call.
    void publishEngineView();
    // Whether the caller reads the published view: another thread renders (the editor's
    // idle beside a running host); on the rendering thread, or before any render, the
    // engine's own state is read.
    bool readsEngineView() const;

    // LFOs.
    TLFOState globalLFO[kNumLFOs] = {};
    TLFOState voiceLFO[kNumVoices][kNumLFOs] = {};
    // What the render loop reads or writes on every sample, gathered from the sections above and
    // below so that it shares a few cache lines (each keeps its own comments).
    // A voice LFO no slot uses, already silenced (every output 0): silencing it again would
    // store the same zeros. Cleared by whatever else writes the state.
    alignas(64) uint8_t voiceLFOSilent[kNumVoices][kNumLFOs] = {};
    // LFO 1, LFO 2, a combination of both (which also marks both) used by some slot.
    uint8_t lfoUsed[3] = {};
    uint8_t modInputUsed = 0;
    uint8_t modOutputUsed = 0;
    uint8_t modNoiseUsed = 0;
    // 1 when an active route or a layer's retrigger reads an envelope source (42-97): only then
    // are envelope levels published every sample (control block); 2: unread, rows skipped.
    uint8_t envSourcesRead = 0;
    // Whether an active route or a layer's retrigger reads a layer-output source (118-124),
    // set by the control block. While the render loop's run of samples allows it
    // (layerOutDeferred), a voice pass writes those sources of the voices other than
    // lastVoice only before a 16-sample cadence; layerOutStale marks a pass that left them:
    // the list rebuild writes those of the voices it drops, the loop all at its run's end.
    uint8_t layerOutRead = 0;
    uint8_t layerOutDeferred = 0, layerOutStale = 0;
    uint8_t voicesStandFrom = 0, voicesSingle = 0;  // see renderEngineVoices
    // Samples from this one on (itself included) whose voice pass is left out, as far as the
    // run goes (runSamples, set where it starts); 0 where the pass runs. The list's changes
    // are counted in voiceListGeneration.
    int32_t standLeft = 0, runSamples = 1;
    uint32_t voiceListGeneration = 0;
    uint32_t modRouteGeneration = 1;
    uint8_t voiceKeyOn[kNumVoices] = {};
    uint8_t voiceStolen[kNumVoices] = {};
    int32_t curVoice = {};
    int32_t lastVoice = {};
    int32_t notesPlaying = {};
    uint8_t noKeyHeld = {};
    uint8_t monoNoteHeld = {};
    uint8_t sustainPedal = {};
    int32_t playMode = {};                      // 0 Poly .. 8 Arp
    int32_t portMode = {};                      // 0 Off .. 4 Held Time
    int32_t chordMode = {};
    // Voices rendered this sample, rebuilt every 4 samples.
    int32_t activeVoiceList[kNumVoices] = {};
    int32_t activeVoiceCount = {};
    int32_t arpMode = {};
    stereoStruct inSample = {};
    stereoStruct outSample = {};
    float mainVolSmooth = {};
    float mainVolGain = {};
    float mainPanSmooth = {};
    double tunedIncrement = {};
    // --- hand-over from the UI thread ------------------------------------------------------------
    // Set by resume, cleared by suspend: while clear, UI requests run at once.
    volatile uint8_t engineRunning = 0;
    volatile uint8_t resetRequest = 0;
    volatile uint8_t everythingOffRequest = 0;
    volatile uint8_t previewOnRequest = 0;
    volatile uint8_t previewOffRequest = 0;
    // The editor's ribbon let go (spring on) or taken (spring off): the latest wins.
    enum : uint8_t { kRibbonSpringOnRequest = 1, kRibbonSpringOffRequest = 2 };
    std::atomic<uint8_t> ribbonSpringRequest{0};
    void performRibbonSpringOn();
    // Layer state (refreshed every 128 samples) and the layers' output of this sample.
    uint8_t layerOn[kNumLayers] = {};
    int32_t activeLayers[kNumLayers] = {};
    int32_t activeLayerCount = 0;
    SourceMode layerSource[kNumLayers] = {};
    LayerDest layerDest[kNumLayers] = {};
    int32_t layerWave[kNumLayers] = {};          // 0..5: Sine, Saw, Square, Triangle, White, Pink
    int32_t layerWaveGroup[kNumLayers][2] = {};  // the two wavetable shapes the wave mix blends
    uint8_t layerFMChain[kNumLayers] = {};       // FM routing "1>2>3" (else "1+2>3")
    stereoOverStruct layerOut[kNumLayers] = {};
    float layerVolGain[kNumLayers] = {};
    float subVolGain[kNumLayers] = {};
    uint32_t applySeq = 0;      // recordSeq the copy was taken at
    int32_t applyStage = 0;     // next stage of the program application under way
    uint8_t startupApplied = 0;  // the first application has ended (audio thread)
    uint8_t applyRetry = 0;     // the last copy was overlapped: try on the next sample
    // --- hand-over flags between the threads (bytes written whole) --------------------
    std::atomic<uint8_t> presetPending{0};
    std::atomic<uint8_t> presetApplying{0};
    std::atomic<uint8_t> editorRefreshRequest{0};
    std::atomic<uint8_t> editorRedrawRequest{0};
    volatile uint8_t forceControlUpdate = 0;
    // The editor's own state pair (written on the UI thread) and, derived from it by
    // publishEditorState, the one open state that other threads read.
    std::atomic<uint8_t> editorOpen{0};
    std::atomic<uint8_t> editorOpening{0};
    std::atomic<uint8_t> editorShown{0};
    std::atomic<uint8_t> editChanged{0};
    uint8_t presetLoading = 0;
    uint8_t editorBusy = 0;
    int32_t midiQueueCount = 0;
    uint32_t sampleCounter = 0;  // advances while the engine renders
    uint32_t blockCounter = 0;   // advances on every sample: program application, refresh
    // Ribbon run state.
    uint8_t ribbonSpringOn = 0;
    double ribbonSpringSpeed = 0.0, ribbonSpringPos = 0.0, ribbonSmoothed = 0.0;
    // The bits of the ribbon source every row holds (above 32 bits: not written yet).
    uint64_t ribbonSourceBits = ~0ull;
    // The ribbon's last step left its smoothed value as it found it, from these bits of the
    // value parameter, the value destination and the smoothed value, with the settings it
    // still has: the same step gives the same again.
    uint8_t ribbonSettled = 0;
    uint32_t ribbonSettledValue = 0, ribbonSettledDest = 0;
    uint64_t ribbonSettledSmoothed = 0;
    int32_t ribbonCountdown = -1;
    int32_t lfoWaveSel[kNumLFOs] = {};
    int32_t lfoModeSel[kNumLFOs] = {};  // 0 Poly, 1 Free, 2 Mono, 3 Legato
    double lfoBaseIncrement[kNumLFOs] = {};
    // The "Sample and Hold" draws: a 15-bit generator of our own, no library lock.
    uint32_t lfoRandomState = 1;

    // Matrix: the slot cache of the control block and the active slots in slot order.
    int32_t modSlotSrc[kModSlots] = {};
    int32_t modSlotDest[kModSlots] = {};
    int32_t modSlotType[kModSlots] = {};
    uint8_t modSlotBypass[kModSlots] = {};
    uint8_t modSlotSrcGlobal[kModSlots] = {};  // a source only the global row carries
    int32_t modActiveSlots[kModSlots] = {};
    int32_t modActiveCount = 0;
    // The active slots again, one record each, grouped by destination (see ModRoute).
    alignas(64) ModRoute modRoutes[kModSlots] = {};
    // Per voice (the last row: the global pass) and route of a factor destination: the
    // last exponent and its power of two, so that a source standing still costs no exp2.
    // A value of 0 (never a power of two here) marks an empty entry.
    float modFactorExp[kNumVoices + 1][kModSlots] = {};
    float modFactorValue[kNumVoices + 1][kModSlots] = {};
    // Per voice (and, last, the global pass): what its last modulation pass read and wrote
    // (see ModPassMemo). Valid while its generation equals modRouteGeneration.
    static_assert(kModPassWatches >= kModSlots * 4, "three inputs and one output per route");
    ModPassMemo modPassMemo[kNumVoices + 1] = {};
    bool modPassStands(const ModPassMemo& memo) const;
    void watchModPass(ModPassMemo& memo, const float* dest, const float* row) const;
    void runModPassMemo(ModPassMemo& memo, float* dest, const float* row, bool voicePass, bool whole,
                        float* cacheExp, float* cacheValue);

    // Ribbon settings of the control block.
    uint8_t ribbonBipolar = 0;
    int32_t ribbonQuantIndex = 0;
    float ribbonQuantDivisor = 0.0f, ribbonSmoothCoef = 0.9f;
    // === end section: modulation ===========================================================

    // === section: voice filters (filters work) ============================================
    // Per layer and voice: the Wave multimode filter, the Wire band-pass and low-pass, the last
    // high-pass; per layer what its quads and octets hold. As init(44100) until initFilters().
    TFilter voiceFilter[kNumLayers][kNumVoices];
    TBPFilter voiceBPFilter[kNumLayers][kNumVoices];
    THPFilter voiceHPFilter[kNumLayers][kNumVoices];
    HighPassOctets hpOctets[kNumLayers];
    WireQuads wireQuads[kNumLayers];
    HeldMultimode mmQuads[kNumLayers];
    // Each layer's plain Wave or FM voices rendered ahead (see TRunAhead); settleRunAhead
    // at the run's end, before a voice pass and before a reset.
    TRunAhead runAhead[kNumLayers];
    void settleRunAhead();
    TLPFilter voiceLPFilter[kNumLayers][kNumVoices];
    // The filters of a layer its model runs (kUses*, none while the layer is off), as
    // updateLayerState last found them; and per layer and voice, those known to hold what
    // their reset leaves, which a note start does not reset (some 5 KB of cold lines per
    // note) and leaves marked where the model does not run them. Only a listed voice runs
    // its filters: initFilters marks all but those, a model or on/off change of a layer
    // unmarks the filters it now runs in the listed voices, and a voice joining the list
    // without a note start those its layers run.
    enum : uint8_t {
        kUsesMultimode = 1,
        kUsesBandPass = 2,
        kUsesLowPass = 4,
        kUsesHighPass = 8,
        kUsesAllFilters = 15
    };
    uint8_t layerFilterUse[kNumLayers] = {};
    uint8_t voiceFiltersClean[kNumLayers][kNumVoices] = {};
    // Per layer and voice: its notes' string lines and histories hold only what those notes
    // wrote (String rendered them from their start, or they were cleared when the layer took
    // them over as String); else an earlier note's, which such a takeover clears first.
    uint8_t stringLinesOwn[kNumLayers][kNumVoices] = {};
    // === end section: voice filters =======================================================

    // === section: effects (effects work) ==================================================
    // The distortion and amp stage, the effect chain in its six path orders, the modulation
    // effects with the Gator, the stereo delay and the reverb. The render loop calls
    // doDistort() every sample and doFX() unless Bypass All FX is on. Everything is a fixed
    // member (the delays allocate their histories once, when constructed).
    static constexpr int kAmpRingSize = 64;
    static constexpr int kCabRingSize = 32;
    static constexpr int kPreDelaySize = 131072;  // per channel: 0.68 s at 192 kHz
    static constexpr int kEnsembleVoices = 6;
    static constexpr int kEnsembleSize = 16384;
    static constexpr int kPhaserSize = 16384;
    static constexpr int kPhaserStages = 4;
    static constexpr int kGateSteps = 16;

    // Render-loop entry points and resets (initFX, initDistort, initModFX are declared with
    // the engine core above).
    void doDistort();
    void doFX();
    void decodeFXPath();
    // The render loop's effect step: the distortion stage, the chain (or with Bypass All FX
    // the layers routed to it, dry), then the layers routed to "Output", into outSample.
    void mixEffectsToOutput();
    // mixEffectsToOutput over a run of n samples the render loop runs after their voices:
    // their layer outputs are in subLayerOut, blockCounter is the first one's; each sample's
    // outSample into out[]. The pieces of the chain over such a run follow.
    void mixEffectsRun(int n, stereoStruct* out);
    void doDistortRun(int n, stereoStruct* bus);
    void doFXRun(int n, stereoStruct* bus, float& peak);
    void runModFXRun(int n, const stereoStruct* in, stereoStruct* wet);
    void stepModFXLFORun(int type, float rate, int n, float* lfoL, float* lfoR);
    void doLimiterRun(int n, stereoStruct* x);
    // The Mod FX output's low and high cut on one wet sample (lowCut < 0.99 or highCut > 0.01).
    stereoStruct filterModFXWet(stereoStruct wet, float lowCut, float highCut);
    void runDelayRun(int n, const stereoStruct* in, stereoStruct* wet);
    void runReverbRun(int n, const stereoStruct* in, stereoStruct* wet);
    // The rate-derived effect constants; setSampleRate calls it before its reset.
    void setFXSampleRate();
    // The host transport started: the Mod FX LFO and the gate restart.
    void resetModFXTransport();
    // The gate step the editor lights (UI thread; reads without locking).
    int getGaterPos();
    // Soft clip of the "Amp" and "Cab" models.
    stereoStruct doFilterDistort(stereoStruct x, float drive);
    // Peak limiter of the Flanger and Phaser wet signal.
    void doLimiter(stereoStruct& x);
    // Gate steps of parameters 111 and 112 into gateGain.
    void decodeGatePattern();

    // Pieces of the chain.
    void runDistortModel(stereoOverStruct& v, const stereoOverStruct& xp, float A, float B);
    void runModFXStage(stereoStruct in, stereoStruct& wet);
    void runDelayStage(stereoStruct in, stereoStruct& wet);
    void runReverbStage(stereoStruct in, stereoStruct& wet);
    void stepModFXLFO(int type, float rate, float& lfoL, float& lfoR);
    float getModFXRate(int type);
    // exp2(4 x) of the "Mod FX Speed" destination: the factor on the LFO rate.
    float getModFXSpeedFactor();
    void runGator(stereoStruct in, stereoStruct& wet);
    void setupEnsemble(float rate);
    stereoStruct runEnsemble(stereoStruct in);
    stereoStruct runPhaser(stereoStruct in, float lfoUL, float lfoUR);

    // A value computed from one float input (an exp2 or pow of a parameter plus a
    // modulation destination), kept with the input's bit pattern: the per-sample stages
    // recompute it only when the input has changed, which between control blocks it rarely
    // does. The result is the function's own, so nothing audible changes.
    struct TFXMemo {
        uint32_t inBits = 0;
        bool valid = false;
        float out = 0.0f;
        template <class F>
        float get(float x, F f) {
            uint32_t bits;
            __builtin_memcpy(&bits, &x, sizeof(bits));
            if (!valid || bits != inBits) {
                out = f(x);
                inBits = bits;
                valid = true;
            }
            return out;
        }
    };

    // The effect bus: the distortion stage writes both; doFX leaves the chain's result in
    // fxBusOut.
    stereoStruct fxBusIn = {};
    stereoStruct fxBusOut = {};
    // Whether a modulation slot uses source 125 "Distort FX Out", 126 "Mod FX Out", 127
    // "Delay Out", 128 "Reverb Out" (kept by the modulation matrix's control block).
    uint8_t fxOutSrcUsed[4] = {};
    // Effect-output sources that may hold a value other than 0 (they were used since the
    // last clear): cleared with the used ones.
    uint8_t fxOutSrcDirty[4] = {1, 1, 1, 1};

    // --- distortion stage --------------------------------------------------------------------
    TFilter distortFilter[3];  // low-pass (mode 7), band-pass (9), high-pass (8)
    TParaEQ distortEQ;
    float distortInLevel = 0.0f;   // input level follower
    float distortOutLevel = 0.0f;  // output level follower
    float distortDCState[2] = {};  // DC blocker, left and right
    float distortDCCoef = 30.0f / 88200.0f;
    TFXMemo distortPreBoost;   // boostGain of the pre-boost destination
    TFXMemo distortPostBoost;  // boostGain of the post-boost destination
    float distortMixSmooth = 0.0f;
    float distortRateCounter = 0.0f;  // "Rate": samples since the held sample was taken
    stereoOverStruct distortRateHeld = {};
    float ampRing[kAmpRingSize][2] = {};
    int32_t ampIndex = 0;
    float cabIn[kCabRingSize][2] = {};
    float cabOut[kCabRingSize][2] = {};
    int32_t cabIndex = 0;
    // --- chain: mix smoothers, delay, reverb ----------------------------------------------------
    float modFXMixSmooth = 0.0f;
    float delayMixSmooth = 0.0f;
    TDelay fxDelay;
    alignas(4096) unsigned char reverbLead[12 * 64];
    TBasicReverb fxReverb;
    struct TReverbControl {
        float widenPhase[4];
        float widenIncrement[4];
        float widenDepth[4];
        int32_t widenTap[4];
        float mixSmooth;
        float modRate[2];     // cycles per sample
        double modPhase[2];   // cycles, advanced by the 16-sample update
        int32_t preDelayL;    // samples
        int32_t preDelayR;
        float preFeed;
    } reverbControl = {};
    float preDelayLine[2][kPreDelaySize] = {};

    // --- modulation effects ------------------------------------------------------------------
    struct TModFXLFO {
        float phase[2];     // left, right (0..1)
        float out[2];       // smoothed output
        float hum[2];       // rate factors of the "Hum" destination
        float held[2];
        float holdCounter;
        float random;       // 0..1, new every left cycle
        float ringPhase;
    } modFXLFO = {{0, 0}, {0, 0}, {1, 1}, {0, 0}, 0, 0, 0};
    TDelay modFXDelay;
    TFilter modFXFilter[3];  // Wah-Wah / TalkBox filter, output low-pass, output high-pass
    double modFXRateCoef = 1.71875 / 44100.0 / 256.0;  // free LFO rate per sample at 2^0
    // getModFXRate's last result and the inputs it came from (speed, sync, tempo, rate).
    struct TModFXRateCache {
        bool valid;
        bool sync;
        float speed;
        float tempo;
        float sampleRate;
        float value;
    } modFXRateCache = {false, false, 0.0f, 0.0f, 0.0f, 0.0f};
    TFXMemo modFXSpeedFactor;  // exp2(4 x) of the LFO speed destination
    TFXMemo modFXWidenFactor;  // 4 exp2(8 x) + 1 of the Chorus/Flanger widen amount
    float ensemblePhase[kEnsembleVoices] = {};
    float ensembleLen[kEnsembleVoices] = {};
    float ensembleInc[kEnsembleVoices] = {};
    float ensembleDepth[kEnsembleVoices] = {};
    float ensembleOffset[kEnsembleVoices] = {};
    float ensembleGain[kEnsembleVoices][2] = {};
    float ensembleLine[kEnsembleVoices][kEnsembleSize][2] = {};
    // Direct-form histories per stage and channel: x[n-1], x[n-2], y[n-1], y[n-2].
    float phaserHist[kPhaserStages][2][4] = {};
    float phaserPrev[2] = {};
    float phaserLine[kPhaserSize] = {};
    float limiterLevel = 1.0f;
    // Gator: per step left/right gain, the smoothed gain, the position in steps.
    float gateGain[kGateSteps][2] = {};
    float gateCurrent[2] = {};
    volatile double gaterPhase = 0.0;
    volatile int32_t gateStepCount = kGateSteps;
    double gateFactor = 1.0;
    double gateIncrement = 0.0;
    // === end section: effects ===============================================================

    // --- parameter records (eight parallel arrays, written once at start-up) ----------
    float paramDefault[kNumParams];
    uint8_t paramIsSwitch[kNumParams];
    float paramStepRange[kNumParams];
    int32_t paramStepCount[kNumParams];
    int32_t paramModDest[kNumParams];
    int32_t paramType[kNumParams];
    std::string paramName[kNumParams];
    float paramZeroValue[kNumParams];
    int32_t velTagLayer[kNumParams];
    int32_t velTagPoint[kNumParams];

    // --- value copies per tag ----------------------------------------------------------
    SharedFloat paramValue[kNumParams];  // live: what the engine reads
    float paramOrig[kNumParams];    // the program as it was loaded
    float paramEdited[kNumParams];  // every value setParameter accepted
    float paramLast[kNumParams];    // last value that passed the change test
    float midiCaptured[kNumParams];
    uint8_t midiLatched[kNumParams];
    uint8_t notifyEditor[kNumParams];
    uint8_t lockedTag[kNumParams];
    float lockValue[kNumParams];
    int32_t lockState = 0;

    TProgramRecord programs[kNumPrograms];
    TProgramRecord bankChunk;
    TProgramRecord programChunk;

    // --- program hand-over ------------------------------------------------------------
    // A whole-record write (a restored chunk) is bracketed by recordSeq (odd while it is
    // under way); single values are written whole at any time. The audio thread copies the
    // record into applyValues and keeps the copy only when no whole-record write overlapped
    // it, otherwise it tries again on the next sample: it never waits, every request after
    // the copy asks again, and so the last write wins.
    std::atomic<uint32_t> recordSeq{0};
    std::atomic<uint8_t> recordWriter{0};  // whole-record writers take turns
    float applyValues[kNumParams] = {};
    // The sound of the program being replaced fades out before the application begins:
    // samples of the fade still to run, -1 while none has begun for the waiting request.
    int32_t programFadeLeft = -1;
    int32_t programFadeLength = 0;
    // A fade ran in this render call: the application, the dearest step, waits for the next
    // call, so that no call carries both the voices and the application.
    uint8_t programFadeInBlock = 0;
    // A program was asked for on the audio thread: the next call from another thread
    // reads ahead what it may need.
    std::atomic<uint8_t> playToolsRequest{0};
    // The thread that rendered last while the host is processing (see onAudioThread).
    std::atomic<const void*> audioThreadMark{nullptr};

    // Asks the audio thread to apply the program record (any thread, constant time).
    void requestProgram();
    // Audio thread: starts an application at a 4096-sample boundary when one is asked for.
    bool beginProgramApply();
    void runProgramApplyStage(int stage);
    // Audio thread: whether the fade before an application has ended (begins it on the
    // first call for a request).
    bool programFadeFinished();
    // One sample of the engine: faded while a program waits, silent until it is applied.
    void renderEngineAroundProgram();
    void servicePlayingToolsRequest();
    // Copies a whole record in (values clamped into 0..1, a non-number as 0) and asks for
    // it to be applied; false when another thread's record write is under way on the audio
    // thread, which must not wait for it.
    bool storeProgramRecord(const TProgramRecord& record);

    // --- host flags, set once by the constructor ---------------------------------------
    // In a word of their own: the compiler may read several of them at once, and that read
    // must not cover the hand-over flags, which other threads write.
    alignas(8) uint8_t isHostReaper = 0;
    uint8_t isHostSolena = 0;
    uint8_t isHostVendorProp = 0;
    uint8_t isHostKore = 0;
    uint8_t isHostKompleteOrMaschine = 0;

    // --- MIDI ------------------------------------------------------------------------------
    VstMidiEvent* midiQueue[kMidiQueueSize];
    // Arrival order of each queued event: events due at the same sample, and the events
    // held back while a program is applied, are dispatched in this order.
    uint32_t midiQueueSeq[kMidiQueueSize] = {};
    uint32_t midiSeqNext = 0;
    int32_t midiCCMap[128];
    int32_t midiChannel = -1;
    int32_t midiLearnTag = -1;
    uint8_t midiLearnArmed = 0;
    int32_t lastMIDICC = 0;

    // --- folders and names -------------------------------------------------------------
    std::string ecsDir, tuningDir, helpPath, velSplitDir, modDir, arpDir, chordDir, tuningName;
    std::string layerDir[4];
    std::string arpFolderNames[kMaxArpEntries];
    std::string arpPresetNames[kMaxArpEntries];
    int32_t curArpFolder = 0;
    int32_t curArpPreset = -1;
    int32_t arpFolderCount = 0;
    int32_t arpPresetCount = 0;

    // --- engine state used by the core -------------------------------------------------
    VstTimeInfo* timeInfo = nullptr;
    float curSampleRate = 44100.0f;
    float curSampleRateInv = 1.0f / 44100.0f;
    float overSampleRate = 88200.0f;
    float overSampleRateInv = 1.0f / 88200.0f;
    double baseNoteIncrement = 0.0;
    double hostPPQ = 0.0;
    float tempo = 120.0f;
    double tempoD = 120.0;
    int32_t distortMode = 0;
    int32_t modFXMode = 0;
    float tuneTable[128];

    // Modulation: destination kinds, sources that swing around zero, source and dest values.
    int32_t destType[kNumModDests];
    uint8_t srcBipolar[kNumModSources];
    float modDestDefault[kModDestSlots];
    float modDestGlobal[kModDestSlots];
    float modSrcGlobal[kNumModSources];
    alignas(4096) unsigned char modSrcLead[35 * 64];
    alignas(64) float modSrcVoice[kNumVoices][kNumModSources];
    alignas(4096) unsigned char envLead[17 * 64];
    TEnvState env;
    // The editor as the core sees it; the same object is AudioEffect::editor.
    TEditorLink* editorLink = nullptr;

    // === section: sleep ===================================================================
    // An instance with no voice sounding and an effect chain whose tail has decayed far below
    // hearing stops rendering sound: the effect chain, the output stage and the per-sample
    // control work that only serves sound stand still and silence is written, while
    // everything that keeps time (counters, cadences, LFO, Mod FX and Gator phases, the
    // reverb's slow modulation, the ribbon, the arpeggiator, the scope rings) moves on
    // exactly as it would have. The first sample that needs sound (a due MIDI event, a
    // preview, a program, a host input a slot listens to) runs the normal path again.
    // Allowed unless the environment variable TAV_NO_SLEEP is set at construction or
    // setSleepAllowed(false) was called (the comparison renders of the tests).
    void setSleepAllowed(bool allowed);
    bool isAsleep() const { return sleeping != 0; }
    uint64_t getSleptSamples() const { return sleptSamples; }
    // The render loop's hooks: the samples from `from` on that can be slept (0: none; the
    // outputs are written), and the bookkeeping after a block rendered awake.
    int32_t runAsleep(int32_t from, int32_t count, const float* inL, const float* inR,
                      float* outL, float* outR);
    void watchSleep(int32_t from, int32_t count, const float* outL, const float* outR);
    // The control steps of one engine sample (cadences, global modulation, tempo and
    // levels), before the voices.
    void runEngineControls();
    void renderEngineSound();
    // renderEngineSound in its two parts: the voices and the scope capture, then the effect
    // chain (sources cleared, mixEffectsToOutput).
    void renderEngineVoices(int runPos = 0);  // runPos: samples since its run's first
    void renderEngineEffects();
    // Every listed voice's layer-output sources from the last voice pass (see layerOutStale);
    // the list rebuild writes those of the voices it drops.
    void writeLayerOutSources();
    // --- sub-blocks ------------------------------------------------------------------------
    // The render loop runs the voices of up to kSubBlock samples, then the effect chain and
    // the output stage over the same samples, when nothing the chain does reaches back into
    // those voices within the run and nothing the voices do moves what the chain reads (see
    // effectsCanFollow); otherwise, and with renderPerSample set, sample by sample.
    static constexpr int kSubBlock = 16;
    uint8_t renderPerSample = 0;       // the per-sample reference path, forced
    uint64_t subBlockSamples = 0;      // samples whose effects ran after a run of voices
    alignas(4096) unsigned char subLayerOutLead[43 * 64];
    stereoOverStruct subLayerOut[kSubBlock][kNumLayers] = {};
    // The per-sample steps before the engine: output cleared, due MIDI, the host input, the
    // editor refresh and the program hand-over at their boundaries. True when the sample is
    // silent (a program pending or being applied).
    bool beginSample(VstInt32 i, const float* inL, const float* inR, bool roomy, int& stagesRun);
    // The output stage of the sample just rendered, into the host buffers.
    void writeOutputSample(VstInt32 i, float* outL, float* outR);
    // The output stage of the engine's sample, the host's buffers, the counters.
    void finishSample(VstInt32 i, float* outL, float* outR);
    // The chain, the output stage and the counters of a run of n samples from `first` whose
    // voices have run, their layer outputs in subLayerOut.
    void finishRun(VstInt32 first, int n, float* outL, float* outR);
    bool effectsCanFollow();
    bool midiDueNow() const;
    bool distortDrawsRandom() const;
    bool modFXWrapsWithin(int samples);
    // The effect chain's time keeping for one sample, without its sound.
    void advanceEffectsAsleep();
    void advanceModFXAsleep();
    // Pieces of the delay, reverb and Gator steps that keep time or set controls.
    void updateDelayControls();
    void updateReverbControls();
    struct TReverbInputs {
        float p[5];  // parameters 121..125
        float d[7];  // destinations 331..337
    };
    TReverbInputs reverbInputsNow() const;
    void advanceReverbPhases();
    void applyReverbControls(const TReverbInputs& in);
    void applyPendingReverbControls();
    TReverbInputs sleepReverbInputs = {}; uint8_t sleepReverbPending = 0;
    void stepGator();
    bool modFXCanSleep();
    void advanceModFXPhases(float rate);
    // Set by the sleep for a sample after which it runs on without a control step: the Mod
    // FX LFO need not read its wave there.
    uint8_t sleepLightStep = 0;
    bool sleepConfigSupported();
    uint32_t sleepSignature();
    uint32_t sleepWindow();

    static uint8_t sleepAllowedByEnvironment();
    uint8_t sleepAllowed = sleepAllowedByEnvironment(); uint8_t sleeping = 0;
    bool sleepControlsMoving();
    void finishSampleAwake(int32_t i, float* outL, float* outR);
    uint32_t quietSamples = 0;     // samples of the current quiet stretch
    uint32_t quietSignature = 0;   // what the stretch was measured with
    uint64_t sleptSamples = 0;
    float fxQuietPeak = 0.0f;      // largest effect output and bus value since the last block
    // The bits of the six pitch values and the FM flag updateLayerLevels last took each
    // layer's pitches from (an FM flag of all ones: not taken yet).
    uint32_t layerPitchKey[kNumLayers][7] = {
        {0, 0, 0, 0, 0, 0, ~0u}, {0, 0, 0, 0, 0, 0, ~0u}, {0, 0, 0, 0, 0, 0, ~0u}};
    uint32_t chordTableKey[4 * kNumChords * kMaxChordNotes + 1] = {};  // the chord table's parameter bits, then 1
    float reverbExp2[3][2] = {{0.0f, 1.0f}, {0.0f, 1.0f}, {0.0f, 1.0f}};  // the reverb's last powers of 2: x, 2^x
    uint32_t modSlotKey[3 * kModSlots + 1] = {};  // the slots' source, destination, bypass bits, then 1
    TEnvState::PowMemo envShapePow[kNumEnvs] = {};  // each envelope's last curve power
    // What the slots of its line held before a String layer's voice rendered ahead wrote
    // them, a row per voice of the list (see TRunAhead::settleStrings).
    float stringAheadSaved[kNumLayers][TRunAhead::kVoices][TRunAhead::kSamples] = {};

private:
    void detectHost();
    void initModulationState();
    // Loads the program record into the live, original and edited values and asks the
    // audio thread to apply it.
    void loadProgram();
    const TProgramRecord* chunkSource(bool isPreset, TProgramRecord*& staging);
};

// The factory the exported entries call; null when the object could not be built.
AudioEffect* createEffectInstance(audioMasterCallback audioMaster);

// Made by the editor subsystem: the editor object for a plug-in, registered with it.
TEditorLink* createPluginEditor(APlugin* plugin);
