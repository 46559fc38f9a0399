// Microtuning: the pitch of each MIDI note in semitones, from a tuning file ("*.tun") or
// equal-tempered. The tuning name (the file's name, remembered in the preference
// "TuningName") is read again by every program change; the table for it is read ahead off
// the audio thread and kept beside the name, so the audio thread only copies it.
#include "engine/TextFileRead.h"
#include "engine/TuningFile.h"
#include "platform/fileselect.h"
#include "platform/platform.h"
#include "plugin/uPlugin.h"

namespace {

void equalTemperament(float* table) {
    for (int n = 0; n < tunfile::kNotes; ++n) table[n] = (float)n;
}

// The table of the named file in the tuning folder; equal temperament when there is no
// name or the file cannot be used.
void readNamedTuning(const std::string& dir, const std::string& name, float* table) {
    equalTemperament(table);
    if (name.empty()) return;
    std::string path = dir;
    if (!path.empty() && path.back() != '/') path += '/';
    path += name + ".tun";
    std::string data;
    if (!textfile::readWholeFile(path, tunfile::kMaxFileSize, data)) return;
    tunfile::parse(data.data(), data.size(), table);
}

}  // namespace

// Notes read the table without a lock while it changes: each entry is written whole.
void APlugin::publishTuneTable(const float* table) {
    for (int n = 0; n < 128; ++n) __atomic_store(&tuneTable[n], const_cast<float*>(&table[n]), __ATOMIC_RELAXED);
}

// UI side, the lock held: the table read ahead for `name` (into the table the audio thread
// is not reading, then switched to).
void APlugin::storeTuningCache(const std::string& name, const float* table) {
    const uint8_t next = __atomic_load_n(const_cast<uint8_t*>(&tuningCacheIndex), __ATOMIC_ACQUIRE) ^ 1;
    for (int n = 0; n < 128; ++n) tuningCacheTable[next][n] = table[n];
    __atomic_store_n(const_cast<uint8_t*>(&tuningCacheIndex), next, __ATOMIC_RELEASE);
    __atomic_store_n(const_cast<uint8_t*>(&tuningCacheValid), (uint8_t)1, __ATOMIC_RELEASE);
    tuningCacheName = name;
}

// Off the audio thread: reads the file of the tuning name when the name is new.
void APlugin::prepareTuning() {
    if (onAudioThread()) return;
    lockPlayingTools();
    const bool fresh = tuningCacheValid && tuningCacheName == tuningName;
    const std::string name = tuningName;
    const std::string dir = tuningDir;
    unlockPlayingTools();
    if (fresh) return;
    float table[128];
    readNamedTuning(dir, name, table);
    lockPlayingTools();
    // Unless the tuning changed meanwhile.
    if (tuningName == name) storeTuningCache(name, table);
    unlockPlayingTools();
}

void APlugin::setTuning() {
    if (!onAudioThread()) prepareTuning();
    if (!__atomic_load_n(const_cast<uint8_t*>(&tuningCacheValid), __ATOMIC_ACQUIRE)) {
        float table[128];
        equalTemperament(table);
        publishTuneTable(table);
        return;
    }
    const uint8_t index = __atomic_load_n(const_cast<uint8_t*>(&tuningCacheIndex), __ATOMIC_ACQUIRE);
    publishTuneTable(tuningCacheTable[index & 1]);
}

void APlugin::loadTuning() {
    if (onAudioThread()) return;
    std::string dir, file;
    fileSelectLoadDirStr("Tuning Files", tuningDir, "Load", "*.tun", "", dir, file);
    if (file.empty()) return;
    // Parsed into a table of its own: a file without a tuning section changes nothing,
    // so the name and the table always belong together.
    std::string data;
    float table[128];
    if (!textfile::readWholeFile(file, tunfile::kMaxFileSize, data)) return;
    if (!tunfile::parse(data.data(), data.size(), table)) return;
    const std::string name = getFileNameOnlyStr(file, true);
    lockPlayingTools();
    tuningName = name;
    storeTuningCache(name, table);
    publishTuneTable(table);
    unlockPlayingTools();
    saveStringToPrefs("TuningName", name);
}

void APlugin::resetTuning() {
    if (onAudioThread()) return;
    float table[128];
    equalTemperament(table);
    lockPlayingTools();
    tuningName.clear();
    storeTuningCache(std::string(), table);
    publishTuneTable(table);
    unlockPlayingTools();
    saveStringToPrefs("TuningName", "");
}

std::string APlugin::getTuningName() {
    lockPlayingTools();
    std::string name = tuningName.empty() ? std::string("Standard Tuning") : tuningName;
    unlockPlayingTools();
    return name;
}
