// APlugin: the one plug-in object. It owns the whole state of the synthesizer in fixed
// arrays (parameters and their copies, voices, filters, effects) allocated once when the
// host creates it, so nothing on the audio path allocates.
#pragma once

#include <cstdint>
#include <string>

#include "engine/TEnvState.h"
#include "plugin/TEditorLink.h"
#include "vst/AudioEffectX.h"

constexpr int kNumParams = 1024;
constexpr int kNumPrograms = 1;
constexpr int kNumVoices = 16;
constexpr int kNumLayers = 3;
constexpr int kMidiQueueSize = 251;
constexpr int kMaxArpEntries = 256;
constexpr int kNumModSources = 137;
constexpr int kNumModDests = 401;
constexpr int kModDestSlots = 512;

// Tag 1022 is the program trigger: a write to it asks the audio thread to apply the
// program record at its next 4096-sample boundary.
constexpr int kPresetTriggerTag = 1022;
constexpr int kRibbonValueTag = 126;
constexpr uint32_t kSlowTaskMask = 4095;

// How a parameter's value is shown.
enum ParamType : int32_t {
    kTypeByTag = 0,
    kTypeOnOff = 1,
    kTypePercent = 2,
    kTypePolar = 3,
    kTypeDB60 = 4,
    kTypeMidi127 = 5,
    kTypeVelSplit = 6,
    kTypeDB80 = 7,
    kTypePan = 8,
    kTypeMix = 9,
    kTypeSemi48 = 10,
    kTypeCents = 11,
    kTypeFilterFreq = 12,
    kTypeEnvTime = 13,
    kTypeLFOSpeed = 14,
    kTypeModSource = 15,
    kTypeModDest = 16,
    kTypeModAmount = 17,
    kTypeSemi36 = 18,
    kTypeArpChord = 19,
    kTypeArpRatchet = 20,
    kTypeIntPercent = 21,
    kTypeInternal = 22,
};

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
    void setEverythingOff();
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

    // The editor window as the core sees it.
    bool isEditorOpen();
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
    bool getLocked() { return lockState != 0; }
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
    // === end section: engine core =========================================================

    // === section: engine sound: layer models and envelopes (engine-sound work) =============
    // === end section: engine sound ========================================================

    // === section: voice filters (filters work) ============================================
    // === end section: voice filters =======================================================

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
    float paramValue[kNumParams];   // live: what the engine reads
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

    // --- hand-over flags between the threads (bytes written whole) --------------------
    volatile uint8_t presetPending = 0;
    volatile uint8_t presetApplying = 0;
    volatile uint8_t editorRefreshRequest = 0;
    volatile uint8_t editorRedrawRequest = 0;
    volatile uint8_t forceControlUpdate = 0;
    volatile uint8_t editorOpen = 0;
    volatile uint8_t editorOpening = 0;
    volatile uint8_t editChanged = 0;
    uint8_t presetLoading = 0;
    uint8_t editorBusy = 0;

    // --- host flags, set once by the constructor ---------------------------------------
    uint8_t isHostReaper = 0;
    uint8_t isHostSolena = 0;
    uint8_t isHostVendorProp = 0;
    uint8_t isHostKore = 0;
    uint8_t isHostKompleteOrMaschine = 0;

    // --- MIDI ------------------------------------------------------------------------------
    VstMidiEvent* midiQueue[kMidiQueueSize];
    int32_t midiQueueCount = 0;
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
    uint32_t sampleCounter = 0;  // advances while the engine renders
    uint32_t blockCounter = 0;   // advances on every sample: program application, refresh
    double hostPPQ = 0.0;
    float tempo = 120.0f;
    double tempoD = 120.0;
    int32_t distortMode = 0;
    int32_t modFXMode = 0;
    float tuneTable[128];

    // Modulation: the kind of each destination, which sources swing around zero, and the
    // source and destination values.
    int32_t destType[kNumModDests];
    uint8_t srcBipolar[kNumModSources];
    float modDestDefault[kModDestSlots];
    float modDestGlobal[kModDestSlots];
    float modSrcGlobal[kNumModSources];
    float modSrcVoice[kNumVoices][kNumModSources];

    // Ribbon run state.
    uint8_t ribbonSpringOn = 0;
    double ribbonSpringSpeed = 0.0;
    double ribbonSpringPos = 0.0;
    double ribbonSmoothed = 0.0;
    int32_t ribbonCountdown = -1;

    TEnvState env;

    // The editor as the core sees it; the same object is AudioEffect::editor.
    TEditorLink* editorLink = nullptr;

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
