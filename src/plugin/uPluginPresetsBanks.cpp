// Program commands: put the whole current program back to the state it was loaded in,
// forward again to the user's edits (so the two can be compared), or to every record
// default. The original and edited snapshots are left alone, so the user can go back and
// forth any number of times. Also the small file test the loaders share.
#include "platform/files.h"
#include "plugin/uPlugin.h"

namespace {

constexpr int kCommandOriginal = 11;
constexpr int kCommandEdited = 12;
constexpr int kCommandClear = 13;

}  // namespace

// Stores a whole program into the live and program values. Deliberately not through
// setParameter: no clamping, no change test, no host message, and no write that would
// ask the audio thread to apply the program again. The engine picks the values up at
// its next control-rate block.
static void storeProgram(APlugin& p, const float* source, bool edited) {
    float* program = p.programs[p.getProgram()].values;
    for (int tag = 0; tag < kNumParams; ++tag) {
        const float v = source[tag];
        storeValue(p.paramValue[tag], v);
        storeValue(program[tag], v);
    }
    p.editChanged = edited ? 1 : 0;
    if (p.isEditorOpen()) p.editorRedrawRequest = 1;
    // The program's text slots may name another arp folder and preset now.
    p.scanArpFolders();
    p.getArpPreset();
    p.reset();
}

void APlugin::origProgram() { storeProgram(*this, paramOrig, false); }

void APlugin::editProgram() { storeProgram(*this, paramEdited, true); }

void APlugin::clearProgram() { storeProgram(*this, paramDefault, true); }

void APlugin::doFileCommands(int command) {
    switch (command) {
        case kCommandOriginal:
            origProgram();
            break;
        case kCommandEdited:
            editProgram();
            break;
        case kCommandClear:
            clearProgram();
            break;
        default:
            break;
    }
}

bool APlugin::fileExists(const std::string& path) {
    // Only a regular file that opens for reading, tested without blocking: a FIFO in a
    // preset's place must not hang the caller, and no loader can read a folder.
    return platform::canReadRegularFile(path);
}

// --- arp preset browser selection ----------------------------------------------------

void APlugin::changeArpFolder(int index) {
    if (index < 0 || index >= arpFolderCount) return;
    curArpFolder = index;
    scanArpPresets();
    editorRefreshRequest = 1;
}

void APlugin::loadArpPreset(int index) {
    // The lock holds the whole arp group: a preset must not replace it.
    if (getLocked()) return;
    if (index < 0) return;
    // Reads the file all or nothing, stores the folder and preset names and hard-resets.
    loadArpPresetAt(index);
}
