// Section preset files: the values of one section as text, so that a layer, the arp pattern,
// the modulation matrix, the velocity splits, all chords or one chord can be kept on their
// own. The form: a first word ("V1.0" when written here, not checked when read), then one
// value 0..1 per tag of the section, in list order, written "%f"-style in the C locale.
//
// Loads are all or nothing: the whole file is read and checked before any value changes.
// Saves write a temporary file beside the target and rename it over the target, so a failed
// save leaves the old file as it was.
#include <charconv>
#include <cmath>

#include "editor/uEditor.h"
#include "engine/TextFileRead.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/fileselect.h"
#include "plugin/uPlugin.h"

namespace {

constexpr const char* kPresetProblem = "Problem with Preset";

// The kind of file a section is kept in.
struct SectionFileKind {
    const char* extension;
    const char* loadTitle;
    const char* saveTitle;
    int values;  // how many values the file holds (the first ones of the section's list)
};

const SectionFileKind LAYER_FILE = {"lyr", "Load Layer Preset", "Save Layer Preset", 67};
const SectionFileKind ARP_FILE = {"arp", "Load Arp Preset", "Save Arp Preset", 146};
const SectionFileKind MOD_FILE = {"mod", "Load Mod Matrix Preset", "Save Mod Matrix Preset", 32};
const SectionFileKind VEL_SPLIT_FILE = {"vls", "Load Velocity Split Preset", "Save Velocity Split Preset", 13};
// The all-chords file keeps the 105 values 554..658 that stored files hold, although the
// section itself reaches 663.
const SectionFileKind ALL_CHORDS_FILE = {"crs", "Load All Chords Preset", "Save All Chords Preset", 105};
const SectionFileKind CHORD_FILE = {"crd", "Load Chord Preset", "Save Chord Preset", 27};

const SectionFileKind* fileKindOf(int section) {
    switch (section) {
        case 1: case 2: case 3: return &LAYER_FILE;
        case 8: return &ARP_FILE;
        case 10: return &MOD_FILE;
        case 11: return &VEL_SPLIT_FILE;
        case 15: return &ALL_CHORDS_FILE;
        case 16: case 17: case 18: case 19: return &CHORD_FILE;
        default: return nullptr;
    }
}

// Reads `count` values of a section file held in memory into `values` (by position). The
// first word is passed over unread; each value must be one finite number within 0..1, and
// words after the last value are ignored. False (values untouched) for anything else.
bool parseSectionFile(const std::string& data, int count, float* values) {
    textfile::WordReader words(data.data(), data.size());
    const char* first = nullptr;
    const char* last = nullptr;
    if (!words.next(first, last)) return false;
    float read[uEditor::kSectionCapacity];
    for (int i = 0; i < count; ++i) {
        double v = 0.0;
        if (!words.next(first, last) || !textfile::parseNumberToken(first, last, v)) return false;
        if (!(v >= 0.0 && v <= 1.0)) return false;
        read[i] = static_cast<float>(v);
    }
    for (int i = 0; i < count; ++i) values[i] = read[i];
    return true;
}

// "%f" of a value in the C locale: fixed point, six decimals.
void appendValue(std::string& text, float value) {
    char buffer[64];
    const std::to_chars_result r =
        std::to_chars(buffer, buffer + sizeof(buffer), static_cast<double>(value), std::chars_format::fixed, 6);
    text.append(buffer, r.ptr);
    text += '\n';
}

}  // namespace

std::string uEditor::sectionFileFolder(int section) const {
    if (!plugin) return std::string();
    switch (section) {
        case 1: case 2: case 3: {
            // A layer's files live in the folder of its current source type.
            int type = plugin->getSteppedValue(249 + 32 * (section - 1));
            if (type < 0 || type > 3) type = 0;
            return plugin->layerDir[type];
        }
        case 8: return plugin->arpDir;
        case 10: return plugin->modDir;
        case 11: return plugin->velSplitDir;
        case 15: case 16: case 17: case 18: case 19: return plugin->chordDir;
        default: return std::string();
    }
}

bool uEditor::writeSectionFile(const std::string& path, const std::string& text) {
    // A link stays a link: the file it names is replaced.
    return platform::writeFileAtomically(platform::linkTarget(path), text);
}

void uEditor::saveSection(int section) {
    if (!validSection(section) || !plugin) return;
    const SectionFileKind* kind = fileKindOf(section);
    if (!kind) return;
    const std::string pattern = std::string("*.") + kind->extension;
    std::string dir, path;
    fileSelectSaveDirStr(kind->saveTitle, sectionFileFolder(section), "Save", pattern, dir, path);
    if (path.empty()) return;
    std::string text = "V1.0\n";
    text.reserve(16 + 10 * kind->values);
    for (int i = 0; i < kind->values && i < sectionTagCount[section]; ++i)
        appendValue(text, plugin->getParameter(sectionTags[section][i]));
    if (!writeSectionFile(path, text)) messageBox(kPresetProblem, 0);
}

void uEditor::loadSection(int section) {
    if (!validSection(section) || !plugin) return;
    if (const SectionFileKind* kind = fileKindOf(section)) {
        const std::string pattern = std::string("*.") + kind->extension;
        std::string dir, path;
        fileSelectLoadDirStr(kind->loadTitle, sectionFileFolder(section), "Load", pattern, "", dir, path);
        if (!path.empty()) {
            const int count = kind->values < sectionTagCount[section] ? kind->values : sectionTagCount[section];
            std::string data;
            float values[kSectionCapacity];
            if (platform::readRegularFile(path, platform::kMaxTextFileSize, data) != platform::FileRead::ok ||
                !parseSectionFile(data, count, values)) {
                messageBox(kPresetProblem, 0);
            } else {
                for (int i = 0; i < count; ++i) plugin->setParameter(sectionTags[section][i], values[i]);
                // The arp preset browser shows the file's folder and name.
                if (section == kSectionArpPreset) plugin->setArpPresetName(path);
            }
        }
    }
    plugin->doHardReset();
}
