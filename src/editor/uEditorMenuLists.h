// Pieces the control menu and the section menus share: the modulation sources offered in
// their seven groups, the choice lists whose rows are stepped values, and the family entries
// that some controls add to their control menu (pitch, filter vowel, note values, waves,
// models, tempo sync, the ribbon's destinations).
#pragma once

#include <string>

#include "editor/uEditorMenu.h"

class APlugin;

// Row i of a list of `count` choices as a stored stepped value: (i + 0.1) / (count - 0.01).
// The 97 semitone rows follow the same rule, so every row decodes to itself.
inline float steppedRowValue(int row, int count) {
    return (static_cast<float>(row) + 0.1f) / (static_cast<float>(count) - 0.01f);
}
// The index a stepped value of `count` choices stands for, clamped to the list.
int steppedRowIndex(float value, int count);

// The modulation sources as seven submenus titled prefix + group name. "None" and the two
// last sources are offered nowhere; the first group lists "Last Note" and "Centre Last Note"
// right after "Center Note".
class TSourceSubmenus {
public:
    static constexpr int kGroups = 7;
    void build(TCommandMenu& menu, const std::string& prefix);
    // The source row of the chosen entry; -1 when no entry of these submenus was chosen.
    int chosenSource(const TCommandMenu& menu) const;

private:
    TCommandMenu* groups[kGroups] = {};
};

// What the editor knows that the family entries read besides the plug-in.
struct TFamilyContext {
    int modFXMode = 0;                        // the Mod FX mode the pages show
    int distortMode = 0;                      // the distortion model the pages show
    const std::string* destNames = nullptr;   // 401 destination names, row 0 "None"
};

// The family entries of one control's menu. Built while the menu is built; after the choice
// run() carries out the family command that was chosen, if any. A control belongs to at most
// one family.
class TControlFamily {
public:
    TControlFamily(APlugin& plugin, int tag, const TFamilyContext& context);
    void addEntries(TCommandMenu& menu);
    void run(const TCommandMenu& menu);

private:
    enum Kind { kNone, kPitch, kList, kLFOSpeed, kRibbon };
    // One submenu of choices that sets the clicked tag.
    struct ChoiceList {
        const char* title = nullptr;
        const char* const* rows = nullptr;
        int count = 0;
        const float* values = nullptr;  // fixed values per row; null: stepped rows
        TCommandMenu* menu = nullptr;
    };
    void detect();
    void offer(const char* title, const char* const* rows, int count, const float* values = nullptr);
    void runPitch(const TCommandMenu& menu);
    void setSemitone(int index);
    void askFMRatio();
    void runRibbon(const TCommandMenu& menu);

    APlugin& p;
    const int tag;
    TFamilyContext ctx;
    Kind kind = kNone;
    // Pitch: the control's pitch pair and whether it is an FM operator's.
    int semiTag = -1, fineTag = -1;
    bool fmPair = false;
    TCommandMenu* semiMenus[4] = {};
    // List: the choices offered (at most one list per control).
    ChoiceList list;
    bool listWanted = false;
    // LFO speed: the sync switch and its texts.
    int syncTag = -1;
    std::string syncText;
    // Ribbon: the destination submenu and its groups.
    TCommandMenu* destMenu = nullptr;
    TCommandMenu* destGroups[24] = {};
};
