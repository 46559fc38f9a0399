// The arp preset browser: the sub-folders of the arp folder and the "*.arp" files of the
// current one, and which folder and preset the program says were loaded. The program keeps
// that identity as text in parameter slots (the folder name in 80 tags from 850, the preset
// name in 28 from 930), so it travels with the program.
//
// The menus' lists (arpFolderNames, arpPresetNames) are built on the UI side only. For
// program changes on the audio thread every folder's preset names are kept in
// arpPresetCache, read ahead off the audio thread; the audio thread only looks names up in
// it (under the try-lock) and, for a name it does not find, leaves a request that the UI
// side answers from the disk.
#include <cstring>

#include "engine/ArpPresetFile.h"
#include "engine/TextFileRead.h"
#include "platform/folderlist.h"
#include "platform/platform.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginTextChar.h"

namespace {

// The character a slot value holds (0: none).
int slotChar(float value) {
    if (!(value >= 0.0f)) return 0;
    if (value > 1.0f) value = 1.0f;
    return (int)(value * 255.99f + 0.1f) & 0xFF;
}

// Whether `name`, kept in `count` slots, reads back as `stored`. Allocates nothing.
bool storedFormEquals(const char* name, std::size_t length, int count, const char* stored) {
    const std::size_t room = count > 0 ? (std::size_t)count - 1 : 0;
    const std::size_t n = length < room ? length : room;
    std::size_t k = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const int c = cleanTextChar((unsigned char)name[i]);
        if (c == 0) continue;
        if (stored[k] != (char)c) return false;
        ++k;
    }
    return stored[k] == 0;
}

std::string withSlash(const std::string& dir) {
    if (dir.empty() || dir.back() == '/') return dir;
    return dir + "/";
}

}  // namespace

// --- ordering and names ---------------------------------------------------------------------------

bool APlugin::sortStringsToupper(const std::string& a, const std::string& b) {
    return platform::namesOrderedUpper(a, b);
}

std::string APlugin::arpStoredForm(const std::string& name, int count) {
    std::string out;
    const std::size_t room = count > 0 ? (std::size_t)count - 1 : 0;
    for (std::size_t i = 0; i < name.size() && i < room; ++i) {
        const int c = cleanTextChar((unsigned char)name[i]);
        if (c != 0) out += (char)c;
    }
    return out;
}

void APlugin::readArpPresetIdentity(char* folder, char* preset) {
    // The characters of `count` slots from `first`, empty slots skipped; out holds count + 1.
    auto readSlots = [this](int first, int count, char* out) {
        int k = 0;
        for (int i = 0; i < count; ++i) {
            const int c = slotChar(getParameter(first + i));
            if (c != 0) out[k++] = (char)c;
        }
        out[k] = 0;
    };
    readSlots(kArpFolderNameTag, kArpFolderNameLen, folder);
    readSlots(kArpPresetNameTag, kArpPresetNameLen, preset);
}

void APlugin::setArpPresetName(const std::string& path) {
    std::string folder, name;
    if (!path.empty()) {
        // The folder below the arp folder that holds the file; none for a file directly in
        // it, or in a folder outside it.
        const std::string dir = getFileDriveDirStr(path);
        std::string base = arpDir;
        while (base.size() > 1 && base.back() == '/') base.pop_back();
        if (dir != base && dir.size() > base.size() + 1 && dir.compare(0, base.size(), base) == 0 &&
            dir[base.size()] == '/')
            folder = dir.substr(base.size() + 1);
        name = getFileNameOnlyStr(path, true);
    }
    setStringFromParam(folder, kArpFolderNameTag, kArpFolderNameLen, false);
    setStringFromParam(name, kArpPresetNameTag, kArpPresetNameLen, false);
}

// --- scans (UI side, the lock held) ------------------------------------------------------------------

namespace {

// The "*.arp" files of a folder (exact case), as names without ".arp", sorted, each followed
// by '\n'; at most kMaxArpEntries of them.
int listArpPresetFiles(const std::string& folder, std::string& packed) {
    const std::vector<std::string> files = platform::listFolderEntries(folder, platform::FolderEntryKind::Files);
    packed.clear();
    int count = 0;
    for (const std::string& file : files) {
        if (count >= kMaxArpEntries) break;
        if (file.size() < 5 || file.compare(file.size() - 4, 4, ".arp") != 0) continue;
        packed.append(file, 0, file.size() - 4);
        packed += '\n';
        ++count;
    }
    return count;
}

}  // namespace

void APlugin::scanArpFolderPresets(int folder) {
    if (folder < 0 || folder >= arpFolderCount) return;
    std::string packed;
    const int count = listArpPresetFiles(withSlash(arpDir) + arpFolderNames[folder], packed);
    arpPresetCache[folder].swap(packed);
    arpPresetCacheCount[folder] = count;
    if (folder == arpPresetListFolder) arpPresetListFolder = -1;  // the menu list follows
}

void APlugin::scanArpFolders() {
    // The audio thread keeps to what was read ahead.
    if (onAudioThread()) return;
    // Read from the disk first; the lock is held only to put the lists in place.
    const std::string base = withSlash(arpDir);
    std::vector<std::string> folders = platform::listFolderEntries(arpDir, platform::FolderEntryKind::Folders);
    if (folders.size() > (std::size_t)kMaxArpEntries) folders.resize(kMaxArpEntries);
    const int count = (int)folders.size();
    std::vector<std::string> packed(folders.size());
    std::vector<int> presets(folders.size());
    for (int i = 0; i < count; ++i) presets[i] = listArpPresetFiles(base + folders[i], packed[i]);

    lockPlayingTools();
    for (int i = 0; i < kMaxArpEntries; ++i) {
        if (i < count) {
            arpFolderNames[i].swap(folders[i]);
            arpPresetCache[i].swap(packed[i]);
            arpPresetCacheCount[i] = presets[i];
        } else {
            arpFolderNames[i].clear();
            arpPresetCache[i].clear();
            arpPresetCacheCount[i] = 0;
        }
    }
    arpFolderCount = count;
    arpFoldersScanned = 1;
    arpPresetListFolder = -1;
    unlockPlayingTools();
}

void APlugin::scanArpPresets() {
    if (onAudioThread()) return;
    lockPlayingTools();
    if (!arpFoldersScanned) {
        unlockPlayingTools();
        scanArpFolders();
        lockPlayingTools();
    }
    scanArpFolderPresets(curArpFolder);
    refreshArpPresetMirror();
    unlockPlayingTools();
}

// The menu's preset list follows the current folder (UI side, the lock held).
void APlugin::refreshArpPresetMirror() {
    const int folder = curArpFolder;
    if (folder == arpPresetListFolder) return;
    for (int i = 0; i < kMaxArpEntries; ++i) arpPresetNames[i].clear();
    int count = 0;
    if (folder >= 0 && folder < arpFolderCount) {
        const std::string& packed = arpPresetCache[folder];
        std::size_t start = 0;
        while (count < kMaxArpEntries) {
            const std::size_t end = packed.find('\n', start);
            if (end == std::string::npos) break;
            arpPresetNames[count++] = packed.substr(start, end - start);
            start = end + 1;
        }
    }
    arpPresetCount = count;
    arpPresetListFolder = folder;
}

// --- selection by the program's stored names -----------------------------------------------------------

// The last folder whose name, as the slots keep it, is `stored` (-1: none); the lock held.
int APlugin::findArpFolder(const char* stored) {
    int f = -1;
    for (int i = 0; i < arpFolderCount; ++i)
        if (storedFormEquals(arpFolderNames[i].data(), arpFolderNames[i].size(), kArpFolderNameLen, stored))
            f = i;
    return f;
}

// A program applied while the caches were busy, or one that named something not read
// ahead, is selected again on the UI side, where the disk may be read.
void APlugin::serviceArpSelectRequest() {
    if (onAudioThread()) return;
    if (__atomic_exchange_n(const_cast<uint8_t*>(&arpSelectPending), (uint8_t)0, __ATOMIC_ACQ_REL)) getArpPreset();
}

void APlugin::getArpPreset() {
    char folder[kArpFolderNameLen + 1];
    char preset[kArpPresetNameLen + 1];
    readArpPresetIdentity(folder, preset);

    const bool audio = onAudioThread();
    if (audio) {
        if (!tryLockPlayingTools()) {
            __atomic_store_n(const_cast<uint8_t*>(&arpSelectPending), (uint8_t)1, __ATOMIC_RELEASE);
            return;
        }
    } else {
        if (!arpFoldersScanned) scanArpFolders();
        lockPlayingTools();
    }

    int f = findArpFolder(folder);
    if (f < 0 && !audio && folder[0]) {
        // A folder made since the last scan.
        unlockPlayingTools();
        scanArpFolders();
        lockPlayingTools();
        f = findArpFolder(folder);
    }
    int p = -1;
    if (f >= 0) {
        if (!audio) scanArpFolderPresets(f);
        const std::string& packed = arpPresetCache[f];
        std::size_t start = 0;
        for (int i = 0; i < arpPresetCacheCount[f]; ++i) {
            const std::size_t end = packed.find('\n', start);
            if (end == std::string::npos) break;
            if (storedFormEquals(packed.data() + start, end - start, kArpPresetNameLen, preset)) p = i;
            start = end + 1;
        }
    }
    if (f < 0 || p < 0) {
        // A name the read-ahead does not know may be new on the disk: the UI side looks.
        if (audio && (folder[0] || preset[0]))
            __atomic_store_n(const_cast<uint8_t*>(&arpSelectPending), (uint8_t)1, __ATOMIC_RELEASE);
        f = 0;
        p = 0;
        if (!audio) scanArpFolderPresets(0);
    }
    curArpFolder = f;
    curArpPreset = p;
    if (!audio) refreshArpPresetMirror();
    unlockPlayingTools();
}

bool APlugin::hasLoadedArpPreset() {
    if (onAudioThread()) return curArpPreset >= 0;
    serviceArpSelectRequest();
    char folder[kArpFolderNameLen + 1];
    char preset[kArpPresetNameLen + 1];
    readArpPresetIdentity(folder, preset);
    if (!arpFoldersScanned) scanArpFolders();
    lockPlayingTools();
    scanArpFolderPresets(curArpFolder);
    refreshArpPresetMirror();
    int p = -1;
    for (int i = 0; i < arpPresetCount; ++i)
        if (storedFormEquals(arpPresetNames[i].data(), arpPresetNames[i].size(), kArpPresetNameLen, preset))
            p = i;
    curArpPreset = p;
    unlockPlayingTools();
    return p >= 0;
}

// --- the menus' lists ------------------------------------------------------------------------------------

std::string APlugin::getArpFolder(int index) {
    if (onAudioThread()) return std::string();
    serviceArpSelectRequest();
    lockPlayingTools();
    std::string name = index >= 0 && index < arpFolderCount ? arpFolderNames[index] : std::string("---");
    unlockPlayingTools();
    return name;
}

std::string APlugin::getArpPreset(int index) {
    if (onAudioThread()) return std::string();
    serviceArpSelectRequest();
    lockPlayingTools();
    refreshArpPresetMirror();
    std::string name = index >= 0 && index < arpPresetCount ? arpPresetNames[index] : std::string("---");
    unlockPlayingTools();
    return name;
}

// --- loading -------------------------------------------------------------------------------------------

bool APlugin::readArpPresetFile(const std::string& path, float* values) {
    std::string data;
    if (!textfile::readWholeFile(path, arpfile::kMaxFileSize, data)) return false;
    return arpfile::parse(data.data(), data.size(), values);
}

// Preset `index` of the current folder: read whole and checked before anything changes.
void APlugin::loadArpPresetAt(int index) {
    if (onAudioThread() || index < 0) return;
    serviceArpSelectRequest();
    lockPlayingTools();
    refreshArpPresetMirror();
    const bool listed = index < arpPresetCount && curArpFolder >= 0 && curArpFolder < arpFolderCount;
    const std::string folder = listed ? arpFolderNames[curArpFolder] : std::string();
    const std::string preset = listed ? arpPresetNames[index] : std::string();
    unlockPlayingTools();
    if (!listed) return;

    const std::string path = withSlash(withSlash(arpDir) + folder) + preset + ".arp";
    float values[arpfile::kValues];
    if (!fileExists(path) || !readArpPresetFile(path, values)) {
        messageBox("Problem with Preset", 0);
        return;
    }
    for (int i = 0; i < arpfile::kValues; ++i) setParameter(kArpFirstTag + i, values[i]);
    curArpPreset = index;
    setStringFromParam(folder, kArpFolderNameTag, kArpFolderNameLen, false);
    setStringFromParam(preset, kArpPresetNameTag, kArpPresetNameLen, false);
    doHardReset();
}
