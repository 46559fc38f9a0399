// The editor's sections: 27 fixed, ordered lists of parameter tags that the section commands
// act on as a whole, each with a 16-level undo stack and a clipboard slot. All storage is
// part of the editor object, so no command allocates.
//
// Threads: everything here runs on the UI thread. A clear asked for by the audio thread (a
// program was applied while the window is open) is only recorded there; it is carried out
// before the next push or pop (drainPending), so a stack never mixes two programs.
#include <cstring>

#include "editor/uEditor.h"
#include "plugin/uPlugin.h"

namespace {

// One run of a list: tags first..last, ascending.
struct TagRun {
    int first, last;
};

// The runs of each section's list, in list order.
struct SectionRuns {
    int count;
    TagRun runs[6];
};

const SectionRuns SECTION_RUNS[uEditor::kNumSections] = {
    {0, {}},  // 0 All Layers: the three layers' lists one after the other (below)
    // 1..3 Layers: knobs, switches, wire separation, free run, drift, pan.
    {6, {{9, 39}, {248, 279}, {1011, 1011}, {1014, 1014}, {1008, 1008}, {1005, 1005}}},
    {6, {{40, 70}, {280, 311}, {1012, 1012}, {1015, 1015}, {1009, 1009}, {1006, 1006}}},
    {6, {{71, 101}, {312, 343}, {1013, 1013}, {1016, 1016}, {1010, 1010}, {1007, 1007}}},
    {4, {{102, 102}, {355, 357}, {103, 103}, {358, 360}}},           // 4 LFOs
    {2, {{102, 102}, {355, 357}}},                                    // 5 LFO 1
    {2, {{103, 103}, {358, 360}}},                                    // 6 LFO 2
    {1, {{107, 112}}},                                                // 7 Gator
    {1, {{394, 539}}},                                                // 8 Arp Preset
    {2, {{394, 539}, {848, 957}}},                                    // 9 Arp (with the preset's name slots)
    {1, {{361, 392}}},                                                // 10 Mod Matrix
    {1, {{541, 553}}},                                                // 11 Velocity Splits
    {1, {{542, 545}}},                                                // 12 Velocity Split of layer 1
    {1, {{546, 549}}},                                                // 13 of layer 2
    {1, {{550, 553}}},                                                // 14 of layer 3
    // All Chords reaches chord 4's last pans (659..663) too, so that no command of this
    // section loses them; its preset file keeps the 105 values 554..658 (see the files).
    {1, {{554, 663}}},                                                // 15 All Chords
    {1, {{556, 582}}},                                                // 16 Chord 1
    {1, {{583, 609}}},                                                // 17 Chord 2
    {1, {{610, 636}}},                                                // 18 Chord 3
    {1, {{637, 663}}},                                                // 19 Chord 4
    // The effects' on/off switch comes last, so a reset that skips the last tag keeps it.
    {3, {{104, 106}, {347, 347}, {346, 346}}},                        // 20 Distort FX
    {3, {{107, 112}, {349, 350}, {348, 348}}},                        // 21 Mod FX
    {3, {{113, 119}, {352, 353}, {351, 351}}},                        // 22 Delay
    {2, {{120, 125}, {354, 354}}},                                    // 23 Reverb
    {1, {{344, 345}}},                                                // 24 Path
    {2, {{244, 247}, {4, 4}}},                                        // 25 Play
    {2, {{1, 3}, {5, 8}}},                                            // 26 Amp
};

}  // namespace

const int uEditor::LAYER_SECTIONS[3] = {1, 2, 3};
const int uEditor::VEL_SPLIT_SECTIONS[3] = {12, 13, 14};
const int uEditor::CHORD_SECTIONS[4] = {16, 17, 18, 19};

void uEditor::setSectionTags() {
    std::memset(sectionTags, 0, sizeof(sectionTags));
    std::memset(sectionTagCount, 0, sizeof(sectionTagCount));
    auto append = [this](int section, int tag) {
        if (sectionTagCount[section] < kSectionCapacity) sectionTags[section][sectionTagCount[section]++] = tag;
    };
    for (int s = 0; s < kNumSections; ++s) {
        const SectionRuns& r = SECTION_RUNS[s];
        for (int k = 0; k < r.count; ++k)
            for (int tag = r.runs[k].first; tag <= r.runs[k].last; ++tag) append(s, tag);
    }
    for (int layer = 0; layer < 3; ++layer)
        for (int i = 0; i < sectionTagCount[LAYER_SECTIONS[layer]]; ++i)
            append(kSectionAllLayers, sectionTags[LAYER_SECTIONS[layer]][i]);
}

void uEditor::initSections() {
    setSectionTags();
    std::memset(clipboard, 0, sizeof(clipboard));
    std::memset(clipboardValid, 0, sizeof(clipboardValid));
    doClearUndos();
}

void uEditor::doClearUndos() {
    for (int& i : undoIndex) i = -1;
    std::memset(undoValues, 0, sizeof(undoValues));
}

void uEditor::drainBeforeUndo() {
    if (VSTGUI::isUIThread()) drainPending();
    // A clear recorded while the window was being closed or opened is still due.
    if (pendingClearUndos.exchange(false)) doClearUndos();
}

int uEditor::getSectionTagCount(int section) const { return validSection(section) ? sectionTagCount[section] : 0; }

int uEditor::getSectionTag(int section, int position) const {
    if (!validSection(section) || position < 0 || position >= sectionTagCount[section]) return -1;
    return sectionTags[section][position];
}

int uEditor::getUndoIndex(int section) const { return validSection(section) ? undoIndex[section] : -1; }

bool uEditor::getClipboardValid(int section) const { return validSection(section) && clipboardValid[section]; }

void uEditor::setSectionUndo(int section) {
    if (!validSection(section) || !plugin) return;
    drainBeforeUndo();
    const int count = sectionTagCount[section];
    int level = undoIndex[section] + 1;
    if (level >= kUndoLevels) {
        // Full: the oldest snapshot goes, the others move down one level.
        for (int k = 0; k + 1 < kUndoLevels; ++k)
            std::memcpy(undoValues[section][k], undoValues[section][k + 1], sizeof(float) * count);
        level = kUndoLevels - 1;
    }
    undoIndex[section] = level;
    for (int i = 0; i < count; ++i) undoValues[section][level][i] = plugin->getParameter(sectionTags[section][i]);
}

void uEditor::undoSection(int section) {
    if (!validSection(section) || !plugin) return;
    drainBeforeUndo();
    const int level = undoIndex[section];
    if (level < 0) return;
    for (int i = 0; i < sectionTagCount[section]; ++i)
        plugin->setParameter(sectionTags[section][i], undoValues[section][level][i]);
    undoIndex[section] = level - 1;
}

void uEditor::copySection(int section) {
    if (!validSection(section) || !plugin) return;
    for (int i = 0; i < sectionTagCount[section]; ++i) clipboard[section][i] = plugin->getParameter(sectionTags[section][i]);
    clipboardValid[section] = 1;
}

void uEditor::pasteSection(int section) {
    if (!validSection(section) || !plugin || !clipboardValid[section]) return;
    for (int i = 0; i < sectionTagCount[section]; ++i) plugin->setParameter(sectionTags[section][i], clipboard[section][i]);
}

void uEditor::resetSection(int section, int skip) {
    if (!validSection(section) || !plugin) return;
    const int count = sectionTagCount[section];
    if (skip < 0) skip = 0;
    if (count <= skip) return;
    for (int i = 0; i < count - skip; ++i) plugin->setToDefault(sectionTags[section][i]);
}

void uEditor::setSectionToOrig(int section) {
    if (!validSection(section) || !plugin) return;
    for (int i = 0; i < sectionTagCount[section]; ++i) plugin->setToOrig(sectionTags[section][i]);
}

// Positions beyond the shorter list are left alone: an unused slot of a list holds no tag.
void uEditor::copySections(int from, int to) {
    if (!validSection(from) || !validSection(to) || !plugin) return;
    const int count = sectionTagCount[from] < sectionTagCount[to] ? sectionTagCount[from] : sectionTagCount[to];
    for (int i = 0; i < count; ++i) plugin->copyParameter(sectionTags[from][i], sectionTags[to][i]);
}

void uEditor::swapSections(int a, int b) {
    if (!validSection(a) || !validSection(b) || !plugin) return;
    const int count = sectionTagCount[a] < sectionTagCount[b] ? sectionTagCount[a] : sectionTagCount[b];
    for (int i = 0; i < count; ++i) plugin->swapParameter(sectionTags[a][i], sectionTags[b][i]);
}
