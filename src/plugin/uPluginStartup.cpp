// Start-up state: the records, the editor notification and lock masks, the folder
// preferences, the controller map and the engine's idle values.
#include <cstring>
#include <initializer_list>

#include "dsp/FilterTables.h"
#include "platform/platform.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginTags.h"

namespace {

constexpr int kWholeValue = 1 << 20;

struct FolderPref {
    const char* key;
    const char* defaultPath;  // under the product's folder root; null: stays empty
    bool writeBack;
};

// Destination kinds: 2 speed factor, 3 semitones, 4 octave, 5 volume; 1 for the rest.
// Per-layer entries are given for layer 1 and repeat 92 and 184 rows further on.
struct DestKinds {
    int32_t type;
    std::initializer_list<int> global;
    std::initializer_list<int> perLayer;
};
const DestKinds kDestKinds[] = {
    {2, {3, 17, 19, 20, 21, 22, 23, 24, 25, 26, 366, 378, 398}, {56, 71, 78, 87, 94, 107, 109, 116, 122}},
    {3, {15}, {38, 68, 84, 100}},
    {4, {14}, {37}},
    {5, {1}, {50, 63, 77, 93, 102}},
};

// Sources whose values swing around zero.
constexpr int kBipolarSources[] = {6,   7,   9,   11,  13,  15,  21,  98,  100,
                                   102, 106, 117, 126, 127, 128, 129, 131, 135};
constexpr int kOffsetSource = 130;

void setRange(uint8_t* flags, int first, int last) {
    for (int tag = first; tag <= last; ++tag) flags[tag] = 1;
}

}  // namespace

void APlugin::initVariables() {
    // Value copies and records start cleared.
    std::memset(paramLast, 0, sizeof(paramLast));
    std::memset(paramOrig, 0, sizeof(paramOrig));
    std::memset(paramEdited, 0, sizeof(paramEdited));
    for (SharedFloat& v : paramValue) v = 0.0f;
    std::memset(paramDefault, 0, sizeof(paramDefault));
    std::memset(paramIsSwitch, 0, sizeof(paramIsSwitch));
    std::memset(paramStepRange, 0, sizeof(paramStepRange));
    std::memset(paramStepCount, 0, sizeof(paramStepCount));
    std::memset(paramModDest, 0, sizeof(paramModDest));
    std::memset(paramType, 0, sizeof(paramType));
    std::memset(paramZeroValue, 0, sizeof(paramZeroValue));
    for (std::string& name : paramName) name.clear();

    initParameterRecords();

    // The tags whose changes an open editor shows.
    std::memset(notifyEditor, 0, sizeof(notifyEditor));
    setRange(notifyEditor, 1, 126);
    setRange(notifyEditor, 244, 667);
    setRange(notifyEditor, 1005, 1019);

    // Folders: an empty preference takes the default, which is stored for next time.
    const FolderPref folders[] = {
        {"ECSDir", "/Applications/Vantorix/Tavrolune/ECS/", true},
        {"ModDir", "/Applications/Vantorix/Tavrolune/Mod/", true},
        {"ArpDir", "/Applications/Vantorix/Tavrolune/Arp/", true},
        {"ChordDir", "/Applications/Vantorix/Tavrolune/Chord/", true},
        {"LayerDirWire", "/Applications/Vantorix/Tavrolune/Layer/Wire", true},
        {"LayerDirString", "/Applications/Vantorix/Tavrolune/Layer/String", true},
        {"LayerDirFM", "/Applications/Vantorix/Tavrolune/Layer/FM", true},
        {"LayerDirWave", "/Applications/Vantorix/Tavrolune/Layer/Wave", true},
        {"VelSplitDir", "/Applications/Vantorix/Tavrolune/VelSplit/", true},
        {"Tuning", "/Applications/Vantorix/Tavrolune/Tuning", false},
        {"TuningName", nullptr, false},
    };
    std::string* fields[] = {&ecsDir,      &modDir,      &arpDir,      &chordDir,
                             &layerDir[0], &layerDir[1], &layerDir[2], &layerDir[3],
                             &velSplitDir, &tuningDir,   &tuningName};
    {
        // Defaults written back in one go: a first start writes the file once, not per folder.
        platform::PrefsBatch oneWrite;
        for (std::size_t i = 0; i < sizeof(folders) / sizeof(folders[0]); ++i) {
            std::string& field = *fields[i];
            // Read whole: a long folder path must not be cut.
            loadStringFromPrefs(folders[i].key, field, kWholeValue);
            if (!field.empty() || !folders[i].defaultPath) continue;
            field = platform::mapApplicationsPath(folders[i].defaultPath);
            if (folders[i].writeBack) saveStringToPrefs(folders[i].key, field);
        }
    }
    // The manual lives at one fixed place whatever the store says.
    helpPath = platform::mapApplicationsPath(
        "/Applications/Vantorix/Tavrolune/Manual/Vantorix_Tavrolune_Manual.pdf");

    for (int n = 0; n < 128; ++n) tuneTable[n] = (float)n;
    presetLoading = 0;
    editorBusy = 0;

    // MIDI: the controller map from the preferences, nothing captured yet.
    for (int cc = 0; cc < 128; ++cc) midiCCMap[cc] = getMIDICC(cc);
    for (float& v : midiCaptured) v = -1.0f;
    std::memset(midiLatched, 0, sizeof(midiLatched));
    updateMIDIChannel(false);
    midiLearnTag = -1;
    midiLearnArmed = 0;
    lastMIDICC = 0;
    initEngineState();

    hostPPQ = 0.0;
    sampleCounter = 0;
    editChanged = 0;
    tempo = 120.0f;
    tempoD = 120.0;
    curSampleRate = 44100.0f;

    // The lock holds portamento, play mode, pitch bend and the whole arpeggiator.
    lockState = 0;
    std::memset(lockValue, 0, sizeof(lockValue));
    std::memset(lockedTag, 0, sizeof(lockedTag));
    lockedTag[4] = 1;
    setRange(lockedTag, 244, 247);
    setRange(lockedTag, 394, 539);

    env.clearAll();

    // Lookup tables, read by index on the audio thread; the filter tables are shared by
    // every instance of the process and filled by the first.
    initSineNoiseTables();
    initPhaseWarpTable();
    initFilterTables();
    initFilters();
    // The effect section at the start-up rate: delay, reverb, distortion and Mod FX.
    initFX();
    initLFOWaves();

    ribbonSpringOn = 0;
    initModulationState();
    initLFOState();
    // Arp folders and preset names, and the tuning table, read ahead so that a program
    // change on the audio thread never reads the disk.
    preparePlayingTools();
    initWaveTables();
}

void APlugin::initModulationState() {
    std::memset(srcBipolar, 0, sizeof(srcBipolar));
    std::memset(modSrcGlobal, 0, sizeof(modSrcGlobal));
    std::memset(modSrcVoice, 0, sizeof(modSrcVoice));
    // Every note reads 0 until the start-up program's tuning step fills the table.
    for (float& t : tuneTable) t = 0.0f;
    for (int src : kBipolarSources) srcBipolar[src] = 1;

    for (int32_t& t : destType) t = 1;
    for (const DestKinds& kinds : kDestKinds) {
        for (int d : kinds.global) destType[d] = kinds.type;
        for (int d : kinds.perLayer)
            for (int layer = 0; layer < kNumLayers; ++layer)
                destType[d + kLayerDestStride * layer] = kinds.type;
    }
    for (int d = 0; d < kModDestSlots; ++d) {
        const int32_t kind = d < kNumModDests ? destType[d] : 1;
        modDestDefault[d] = (kind == 2 || kind == 5) ? 1.0f : 0.0f;
        modDestGlobal[d] = modDestDefault[d];
    }
    // The copies of the destinations the render loop reads (see hotDestSlot) start as theirs.
    for (int d = 0; d < kNumModDests; ++d) {
        const int copy = hotDestSlot(d);
        if (copy > 0) modDestDefault[copy] = modDestGlobal[copy] = modDestDefault[d];
    }
    // The constant source "Offset" is 1 everywhere, for ever.
    modSrcGlobal[kOffsetSource] = 1.0f;
    for (int v = 0; v < kNumVoices; ++v) modSrcVoice[v][kOffsetSource] = 1.0f;
}
