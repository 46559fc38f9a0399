// The modulation source submenus and the family entries of the control menu.
//
// Every value a family entry writes goes through the plug-in's plain setter (the host is not
// told), except the tempo-sync switches and the ribbon routing, which are settings chosen by
// rule and reach the host.
#include "editor/uEditorMenuLists.h"

#include <charconv>
#include <cmath>

#include "platform/dialogs.h"
#include "platform/strutil.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginStrings.h"
#include "plugin/uPluginTags.h"

namespace {

constexpr int kSemiRows = 97;
constexpr int kSemiZeroRow = 48;
constexpr int kOctave = 12;
constexpr int kRibbonSource = 111;
constexpr int kModFXModeTag = 349, kModFXSyncTag = 350, kDelaySyncTag = 352;
constexpr int kModFXGator = 10, kModFXRing = 9;
constexpr int kDistortAmp = 0, kDistortCab = 4;

const char* const LP_HP_ROWS[] = {"LP Filter", "HP Filter"};
const float LP_HP_VALUES[] = {0.0f, 1.0f};
const char* const LP_BP_HP_ROWS[] = {"LP Filter", "BP Filter", "HP Filter"};
const float LP_BP_HP_VALUES[] = {0.0f, 0.5f, 1.0f};

// The semitone submenus: their first row and row count (row 48, 0 semitones, stands alone).
constexpr int SEMI_GROUP_START[4] = {0, 24, 49, 73};
constexpr int kSemiGroupRows = 24;

// The source rows of group g in the order the menus list them.
int sourceGroupRows(int g, int* rows) {
    int n = 0;
    for (int s = SRC_SUBS_START[g]; s < SRC_SUBS_START[g + 1]; ++s) {
        rows[n++] = s;
        if (g == 0 && s == 6) {
            rows[n++] = 133;
            rows[n++] = 134;
        }
    }
    return n;
}

// The leading number of a typed text the way atof reads it, in the C locale. False when the
// text holds no number or one beyond double's range.
bool readTypedDouble(const std::string& text, double& value) {
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+') ++first;  // from_chars takes no '+'
    const auto r = std::from_chars(first, last, value, std::chars_format::general);
    return r.ec == std::errc() && std::isfinite(value);
}

}  // namespace

int steppedRowIndex(float value, int count) {
    if (count < 1) return 0;
    const int i = static_cast<int>(value * (static_cast<float>(count) - 0.01f) + 0.1f);
    return i < 0 ? 0 : (i >= count ? count - 1 : i);
}

// ---- modulation sources ------------------------------------------------------------------------

void TSourceSubmenus::build(TCommandMenu& menu, const std::string& prefix) {
    int rows[32];
    for (int g = 0; g < kGroups; ++g) {
        groups[g] = &menu.addSubmenu(prefix + SRC_SUB_STR[g]);
        const int n = sourceGroupRows(g, rows);
        for (int i = 0; i < n; ++i) groups[g]->add(SRC_STR[rows[i]]);
    }
}

int TSourceSubmenus::chosenSource(const TCommandMenu& menu) const {
    int rows[32];
    for (int g = 0; g < kGroups; ++g) {
        if (!groups[g] || menu.choiceFrom() != groups[g]) continue;
        // Only the rows this submenu offered: a name is looked up where it was chosen.
        const int n = sourceGroupRows(g, rows);
        for (int i = 0; i < n; ++i)
            if (menu.choiceText() == SRC_STR[rows[i]]) return rows[i];
    }
    return -1;
}

// ---- control families ------------------------------------------------------------------------------

TControlFamily::TControlFamily(APlugin& plugin, int controlTag, const TFamilyContext& context)
    : p(plugin), tag(controlTag), ctx(context) {
    detect();
}

void TControlFamily::offer(const char* title, const char* const* rows, int count, const float* values) {
    kind = kind == kNone ? kList : kind;
    listWanted = true;
    list.title = title;
    list.rows = rows;
    list.count = count;
    list.values = values;
}

void TControlFamily::detect() {
    for (int L = 0; L < 3; ++L) {
        const int pairs[3][2] = {{SEMI_TAGS[L], FINE_TAGS[L]},
                                 {FM_1_SEMI_TAGS[L], FM_1_FINE_TAGS[L]},
                                 {FM_2_SEMI_TAGS[L], FM_2_FINE_TAGS[L]}};
        for (int k = 0; k < 3; ++k) {
            if (tag != pairs[k][0] && tag != pairs[k][1]) continue;
            kind = kPitch;
            semiTag = pairs[k][0];
            fineTag = pairs[k][1];
            fmPair = k > 0;
            return;
        }
        if (tag == FILTER_VOWEL_TAGS[L]) {
            const int mode = p.getSteppedValue(FILTER_MODE_TAGS[L]);
            if (mode == 27) offer("Set to Vowel", FILTER_VOWEL_STR, 5);
            else if (mode == 11 || mode == 23) offer("Set to LP/HP Filter", LP_HP_ROWS, 2, LP_HP_VALUES);
            else if (mode == 12 || mode == 24) offer("Set to LP/BP/HP Filter", LP_BP_HP_ROWS, 3, LP_BP_HP_VALUES);
            return;
        }
    }
    switch (tag) {
        case 109:
            if (ctx.modFXMode == 4) offer("Set to LP/BP/HP Filter", LP_BP_HP_ROWS, 3, LP_BP_HP_VALUES);
            else if (ctx.modFXMode >= 6 && ctx.modFXMode <= 8) offer("Set Wave", LFO_WAVE_STR, 9);
            return;
        case 110:
        case 111:
            if (ctx.modFXMode == 5) offer("Set to Vowel", FILTER_VOWEL_STR, 5);
            return;
        case 108: {
            const int mode = p.getSteppedValue(kModFXModeTag);
            if (mode == kModFXGator) offer("Set Speed", GATER_PERIOD_STR, 34);
            else if (mode < kModFXRing && p.getOnOff(kModFXSyncTag)) offer("Set Speed", LFO_PERIOD_STR, 34);
            return;
        }
        case 102:
        case 103: {
            const int lfo = tag - 102;
            kind = kLFOSpeed;
            syncTag = LFO_SYNC_ON_TAGS[lfo];
            const bool on = p.getOnOff(syncTag);
            syncText = std::string("Turn LFO ") + (lfo == 0 ? "1" : "2") + " Tempo Sync " + (on ? "Off" : "On");
            if (on) offer("Set Speed", LFO_PERIOD_STR, 34);
            return;
        }
        case 114:
        case 115:
            if (p.getOnOff(kDelaySyncTag)) offer("Set Length", DELAY_LEN_STR, 15);
            return;
        case 105:
            // Only the table of the model shown, so a name both tables hold writes one value.
            if (ctx.distortMode == kDistortAmp) offer("Set Amp Model", AMP_MODEL_STR, 6);
            else if (ctx.distortMode == kDistortCab) offer("Set Cab Model", CAB_MODEL_STR, 4);
            return;
        case 126:
            kind = kRibbon;
            return;
        default:
            break;
    }
    for (int c = 0; c < 4; ++c)
        if (tag == CHORD_STRUM_TAGS[c]) {
            if (p.getOnOff(CHORD_STRUM_SYNC_ON_TAGS[c])) offer("Set Strum Length", CHORD_LEN_STR, 19);
            return;
        }
}

void TControlFamily::addEntries(TCommandMenu& menu) {
    switch (kind) {
        case kPitch:
            menu.addSeparator();
            for (int s = 0; s < 4; ++s) {
                if (s == 2) menu.add(SEMI_STR[kSemiZeroRow]);
                semiMenus[s] = &menu.addSubmenu(SEMI_SUB_STR[s]);
                semiMenus[s]->addAll(SEMI_STR + SEMI_GROUP_START[s], kSemiGroupRows);
            }
            menu.addSeparator().add("Up An Octave").add("Down An Octave").add("Reset Tuning");
            if (fmPair) menu.add("Set FM Ratio");
            return;
        case kLFOSpeed:
            menu.add(syncText);
            break;
        case kRibbon: {
            destMenu = &menu.addSubmenu("Set To Destination");
            destMenu->add("None");
            for (int g = 0; g < 24; ++g) {
                destGroups[g] = &destMenu->addSubmenu(DEST_SUB_STR[g]);
                for (int d = DEST_SUB_START[g]; d < DEST_SUB_START[g + 1]; ++d)
                    destGroups[g]->add(ctx.destNames ? ctx.destNames[d] : std::string(DEST_STR[d]));
            }
            return;
        }
        default:
            break;
    }
    if (listWanted) {
        list.menu = &menu.addSubmenu(list.title);
        list.menu->addAll(list.rows, list.count);
    }
}

void TControlFamily::run(const TCommandMenu& menu) {
    if (!menu.hasChoice()) return;
    if (kind == kPitch) return runPitch(menu);
    if (kind == kRibbon) return runRibbon(menu);
    if (kind == kLFOSpeed && menu.chose(syncText)) {
        if (p.getOnOff(syncTag)) p.setOff(syncTag);
        else p.setOn(syncTag);
        return;
    }
    if (list.menu) {
        const int row = menu.choseRowIn(*list.menu, list.rows, list.count);
        if (row >= 0) p.setParameter(tag, list.values ? list.values[row] : steppedRowValue(row, list.count));
    }
}

// ---- pitch ---------------------------------------------------------------------------------------------

void TControlFamily::setSemitone(int index) {
    if (index < 0) index = 0;
    if (index >= kSemiRows) index = kSemiRows - 1;
    p.setParameter(semiTag, steppedRowValue(index, kSemiRows));
}

void TControlFamily::runPitch(const TCommandMenu& menu) {
    int row = menu.chose(SEMI_STR[kSemiZeroRow]) ? kSemiZeroRow : -1;
    for (int s = 0; s < 4 && row < 0; ++s) {
        const int i = menu.choseRowIn(*semiMenus[s], SEMI_STR + SEMI_GROUP_START[s], kSemiGroupRows);
        if (i >= 0) row = SEMI_GROUP_START[s] + i;
    }
    if (row >= 0) {
        setSemitone(row);
        p.setParameter(fineTag, 0.5f);
        return;
    }
    // An octave from the step the parameter plays; the top and bottom steps hold.
    const int n = steppedRowIndex(p.getParameter(semiTag), kSemiRows);
    if (menu.chose("Up An Octave")) setSemitone(n + kOctave);
    else if (menu.chose("Down An Octave")) setSemitone(n - kOctave);
    else if (menu.chose("Reset Tuning")) {
        p.setParameter(semiTag, 0.5f);
        p.setParameter(fineTag, 0.5f);
    } else if (fmPair && menu.chose("Set FM Ratio"))
        askFMRatio();
}

// A frequency ratio as whole semitones on the semitone knob and the rest (under one
// semitone either way) on the fine knob. Ratios beyond four octaves stop at the end step.
void TControlFamily::askFMRatio() {
    std::string text = "1.0";
    inputBoxStr("FM Ratio", "FM Ratio", text);
    if (text.empty()) return;
    stripAllButNum(text);
    double ratio = 0.0;
    if (!readTypedDouble(text, ratio) || ratio <= 0.001) return;
    const float semis = static_cast<float>(std::log(ratio)) / 0.6931472f * 12.0f;
    int whole = static_cast<int>(semis);
    if (whole > kSemiZeroRow) whole = kSemiZeroRow;
    if (whole < -kSemiZeroRow) whole = -kSemiZeroRow;
    float fine = (semis - static_cast<float>(whole)) * 0.5f + 0.5f;
    fine = fine < 0.0f ? 0.0f : (fine > 1.0f ? 1.0f : fine);
    setSemitone(whole + kSemiZeroRow);
    p.setParameter(fineTag, fine);
}

// ---- ribbon ---------------------------------------------------------------------------------------------

void TControlFamily::runRibbon(const TCommandMenu& menu) {
    if (!destMenu) return;
    int dest = menu.choseIn(*destMenu, "None") ? 0 : -1;
    for (int g = 0; g < 24 && dest < 0; ++g) {
        if (menu.choiceFrom() != destGroups[g]) continue;
        for (int d = DEST_SUB_START[g]; d < DEST_SUB_START[g + 1]; ++d) {
            const std::string name = ctx.destNames ? ctx.destNames[d] : std::string(DEST_STR[d]);
            if (menu.choiceText() == name) {
                dest = d;
                break;
            }
        }
    }
    if (dest < 0) return;
    for (int k = 0; k < kTagModSlots; ++k) {
        if (p.getModSlotDest(k) != 0) continue;
        p.setToDefault(MOD_AMT_TAGS[k]);
        p.setSteppedValue(MOD_SRC_TAGS[k], kRibbonSource);
        p.setSteppedValue(MOD_DEST_TAGS[k], dest);
        return;
    }
}
