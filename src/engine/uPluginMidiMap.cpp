// MIDI learn and the controller-map file ("*.ecs"): which parameter each of the 128 MIDI
// controllers drives. The map lives in memory for the audio thread and in the preference
// store (one entry per controller) so that it outlives the plug-in; the soft-takeover state
// keeps a controller from making its parameter jump. The controller events themselves are
// handled by the MIDI dispatch; everything here runs on the UI side.
#include <cstring>

#include "engine/ControllerMapFile.h"
#include "engine/TextFileRead.h"
#include "platform/fileselect.h"
#include "platform/platform.h"
#include "plugin/uPlugin.h"

namespace {

constexpr const char* kECSProblem = "Problem with ECS File";

// The controller number a typed text asks for, the way atoi reads it but held to 0..127
// whatever its size; false when the text does not start with a number.
bool typedController(const char* text, int& controller) {
    const char* p = text;
    while (*p == ' ' || *p == '\t') ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (*p < '0' || *p > '9') return false;
    long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        if (value < 1000) value = value * 10 + (*p - '0');
    if (negative) value = -value;
    controller = value < 0 ? 0 : (value > 127 ? 127 : (int)value);
    return true;
}

}  // namespace

void APlugin::setMIDILatch(int tag, bool on) {
    if (!isValidTag(tag)) return;
    // Assignments the audio thread learnt go to the store first, so none is written back
    // over the change made here.
    flushMIDILearnPrefs();
    __atomic_store_n(&midiLearnTag, tag, __ATOMIC_RELEASE);
    if (on) {
        __atomic_store_n(&midiLearnArmed, (uint8_t)1, __ATOMIC_RELEASE);
        return;
    }
    platform::PrefsBatch batch;
    for (int cc = 0; cc < 128; ++cc) {
        if (midiCCMap[cc] != tag) continue;
        midiCCMap[cc] = 0;
        setMIDICC(cc, 0);
    }
    midiCaptured[tag] = 0.0f;
    midiLatched[tag] = 0;
}

void APlugin::setMIDICCNum(int tag) {
    if (!isValidTag(tag)) return;
    char buffer[kEntryBufSize];
    buffer[0] = 0;
    inputBox("MIDI CC: " + getParameterNameStr(tag), "MIDI CC (0 - 127)", buffer, (int)sizeof(buffer));
    buffer[sizeof(buffer) - 1] = 0;
    int controller = 0;
    // Nothing typed, or no number: nothing is mapped.
    if (!typedController(buffer, controller)) return;
    flushMIDILearnPrefs();
    midiCCMap[controller] = tag;
    setMIDICC(controller, tag);
}

void APlugin::resetMIDI() {
    flushMIDILearnPrefs();
    {
        platform::PrefsBatch batch;
        for (int cc = 0; cc < 128; ++cc) {
            midiCCMap[cc] = 0;
            setMIDICC(cc, 0);
        }
    }
    resetMIDICapture();
}

// Every parameter is picked up again near its program value.
void APlugin::resetMIDICapture() {
    if (!onAudioThread()) updateMIDIPrefs();
    for (int tag = 0; tag < kNumParams; ++tag) {
        midiCaptured[tag] = getParameter(tag);
        midiLatched[tag] = 0;
    }
}

void APlugin::applyControllerMapTable(const int32_t* map) {
    flushMIDILearnPrefs();
    {
        platform::PrefsBatch batch;
        for (int cc = 0; cc < 128; ++cc) {
            midiCCMap[cc] = map[cc];
            setMIDICC(cc, map[cc]);
        }
    }
    resetMIDICapture();
}

void APlugin::loadECS() {
    if (onAudioThread()) return;
    std::string dir, file;
    fileSelectLoadDirStr("Load ECS", ecsDir, "Load", "*.ecs", "", dir, file);
    if (file.empty()) return;
    std::string data;
    int32_t map[128];
    if (!platform::fileExists(file) || !textfile::readWholeFile(file, ecsfile::kMaxFileSize, data) ||
        !ecsfile::parse(data.data(), data.size(), map)) {
        messageBox(kECSProblem, 0);
        return;
    }
    applyControllerMapTable(map);
}

void APlugin::saveECS() {
    if (onAudioThread()) return;
    std::string dir, file;
    fileSelectSaveDirStr("Save ECS", ecsDir, "Save", "Tavrolune.ecs", dir, file);
    if (file.empty()) return;
    flushMIDILearnPrefs();
    int32_t map[128];
    for (int cc = 0; cc < 128; ++cc) map[cc] = midiCCMap[cc];
    // A temporary file renamed over the old one: a failed save leaves the old map whole.
    if (!platform::writeFileAtomically(file, ecsfile::write(map))) messageBox(kECSProblem, 0);
}
