// The easy page's controls: per layer the source and its essential knobs, the envelope
// columns, then one row of essentials per effect, LFO, arp, play, chord and amp section.
// Everything is built once per opening from the tables below (100 % coordinates; controls of
// a section container are relative to it). Nothing is attached here: the page switch and the
// section rebuilders attach the views that the current state shows.
#include "controls/TControlLook.h"
#include "controls/TGatorDisplay.h"
#include "controls/TKickButton.h"
#include "controls/TKnob.h"
#include "controls/TLabel.h"
#include "controls/TMenuButton.h"
#include "controls/TOnOff.h"
#include "controls/TOptionMenu.h"
#include "controls/TRadioButton.h"
#include "controls/TWaveScreen.h"
#include "editor/uEditor.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginStrings.h"
#include "plugin/uPluginTags.h"

using namespace VSTGUI;

namespace {

constexpr CColor kEasyCaption(84, 92, 3, 255);
constexpr int kSubMenuStyle = 280;
constexpr int kLayerStep = 118;  // the layer rows of the frame, 100 %

enum Align { kLeft = 0, kCentre = 1, kRight = 2 };

struct LabelRow {
    int x, y, w, h;
    const char* text;
    bool big;
    int align;
};

struct ButtonRow {
    int type, x, y, w, h;
};

struct KnobRow {
    int tag, x, y, style;
    const char* caption;  // nullptr: no caption
    int e;
};

struct SwitchRow {
    int tag, x, y;
};

struct MenuRow {
    int tag, x, y, w, h;
    const char* const* entries;
    const char* caption;  // below the menu
};

// ---- page-wide groups ---------------------------------------------------------------------
const LabelRow SECTION_TITLES[] = {
    {34, 455, 100, 10, "DIST", true, kLeft},  {233, 455, 100, 10, "MOD-FX", true, kLeft},
    {504, 455, 100, 10, "DELAY", true, kLeft}, {765, 455, 100, 10, "REVERB", true, kLeft},
    {34, 574, 100, 10, "LFO", true, kLeft},   {209, 574, 100, 10, "ARP", true, kLeft},
    {465, 574, 100, 10, "PLAY", true, kLeft}, {672, 574, 100, 10, "CHORD", true, kLeft},
    {822, 574, 100, 10, "AMP", true, kLeft},
};

const ButtonRow SECTION_BUTTONS[] = {
    {kMenuDistort, 34, 451, 30, 14}, {kMenuModFX, 233, 451, 41, 14}, {kMenuDelay, 504, 451, 37, 14},
    {kMenuReverb, 765, 455, 43, 14}, {kMenuLFO, 34, 570, 100, 14},   {kMenuPlay, 465, 570, 100, 14},
    {kMenuArp, 207, 570, 28, 14},    {kMenuChord, 671, 570, 38, 14}, {kMenuAmp, 822, 570, 100, 14},
};

// ---- per layer (frame rows at y + 118 x layer) ------------------------------------------------
struct EnvelopeKnob {
    const int32_t* tags;
    int x, style;
    const char* caption;
};
// Their knob and caption slots are the editor's EASY_* tables, in this order.
const EnvelopeKnob ENVELOPE_KNOBS[] = {
    {PITCH_ENV_AMT_TAGS, 752, 3, "PITCH!AMOUNT"},
    {PITCH_ENV_DEC_TAGS, 814, 2, "DEC"},
    {HP_FREQ_TAGS, 884, 2, "FREQ"},
    {VOL_ENV_DEC_TAGS, 961, 2, "DEC"},
    {VOL_TAGS, 1023, 0, "VOLUME"},
};
constexpr int kEnvelopeKnobY = 115, kEnvelopeCaptionE = 8;

// The envelope column titles, each under a layer menu button of the same place.
struct ColumnTitle {
    int x;
    const char* text;
    int buttonW;
};
const ColumnTitle COLUMN_TITLES[3] = {
    {753, "PITCH ENVELOPE", 90},
    {885, "HP", 30},
    {957, "VOLUME", 50},
};

// Source knobs of the left container: slot, caption, tag family, style; listed left to right.
struct SourceKnob {
    int slot;
    const char* caption;
    const int32_t* tags;
    int style;
};
const SourceKnob WIRE_KNOBS[] = {
    {0, "SEMI", SEMI_TAGS, 3},          {1, "Q", WIRE_Q_TAGS, 2},
    {2, "WIRE", WIRE_ENV_AMT_TAGS, 2},  {3, "DEC", WIRE_ENV_DEC_TAGS, 2},
    {4, "FREQ", FILTER_FREQ_TAGS, 2},   {5, "VEL", FILTER_VEL_TRACK_TAGS, 3},
    {6, "ENV", FILTER_ENV_AMT_TAGS, 3}, {8, "DEC", FILTER_ENV_DEC_TAGS, 2},
    {7, "SUST", FILTER_ENV_SUST_TAGS, 2},
};
const SourceKnob STRING_KNOBS[] = {
    {9, "SEMI", SEMI_TAGS, 3},
    {10, "IMP LEN", STRING_IMP_LEN_TAGS, 2},
    {11, "IMP VOL", STRING_IMP_VOL_TAGS, 2},
    {12, "IMP SHP", STRING_IMP_SHP_TAGS, 3},
    {13, "LENGTH", STRING_LEN_TAGS, 2},
    {14, "VEL!LENGTH", STRING_LEN_VEL_TRACK_TAGS, 3},
    {15, "PLUCK", STRING_PLUCK_TAGS, 2},
    {16, "VEL!PLUCK", STRING_PLUCK_VEL_TRACK_TAGS, 3},
    {17, "DAMP", STRING_DAMP_TAGS, 2},
    {18, "VEL!DAMP", STRING_DAMP_VEL_TRACK_TAGS, 3},
};
const SourceKnob FM_KNOBS[] = {
    {19, "SEMI1", FM_1_SEMI_TAGS, 3},          {22, "PITCH!ENV", FM_1_PITCH_ENV_AMT_TAGS, 3},
    {23, "DEC", FM_1_PITCH_ENV_DEC_TAGS, 2},   {20, "VOLUME", FM_1_VOL_TAGS, 2},
    {21, "DEC", FM_1_VOL_ENV_DEC_TAGS, 2},     {24, "VEL", FM_1_VEL_TRACK_TAGS, 2},
    {25, "SEMI2", FM_2_SEMI_TAGS, 3},          {28, "PITCH!ENV", FM_2_PITCH_ENV_AMT_TAGS, 3},
    {29, "DEC", FM_2_PITCH_ENV_DEC_TAGS, 2},   {26, "VOLUME", FM_2_VOL_TAGS, 2},
    {27, "DEC", FM_2_VOL_ENV_DEC_TAGS, 2},     {30, "VEL", FM_2_VEL_TRACK_TAGS, 2},
};
const SourceKnob WAVE_KNOBS[] = {
    {31, "SEMI", SEMI_TAGS, 3},          {32, "SYM", WAVE_SYM_TAGS, 2},
    {33, "SUB", SUB_VOL_TAGS, 2},        {34, "FREQ", FILTER_FREQ_TAGS, 2},
    {35, "SPRD", FILTER_SEP_TAGS, 3},    {36, "Q", FILTER_Q_TAGS, 2},
    {37, "VEL", FILTER_VEL_TRACK_TAGS, 3}, {38, "ENV", FILTER_ENV_AMT_TAGS, 3},
    {40, "DEC", FILTER_ENV_DEC_TAGS, 2}, {39, "SUST", FILTER_ENV_SUST_TAGS, 2},
};
struct SourceRow {
    const SourceKnob* knobs;
    int count, x0, step;
};
const SourceRow SOURCES[4] = {
    {WIRE_KNOBS, sizeof WIRE_KNOBS / sizeof *WIRE_KNOBS, 3, 72},
    {STRING_KNOBS, sizeof STRING_KNOBS / sizeof *STRING_KNOBS, 3, 72},
    {FM_KNOBS, sizeof FM_KNOBS / sizeof *FM_KNOBS, 3, 59},
    {WAVE_KNOBS, sizeof WAVE_KNOBS / sizeof *WAVE_KNOBS, 68, 65},
};
// The first knob sits 3 pixels into the container: wider captions would leave it.
constexpr int kSourceCaptionE = 3;
constexpr int kWaveMenuCaptionSlot = 32;

// The easy scope's rectangle in the left container, per size (not scaled from 100 %).
const CRect SCOPE_RECTS[4] = {CRect(647, 4, 717, 58), CRect(809, 5, 897, 73), CRect(970, 6, 1076, 87),
                              CRect(1294, 8, 1434, 116)};

// Filter mode groups: "Bypass", then submenu k holds FILTER_SUB_START[k] .. [k + 1] - 1.
constexpr int FILTER_SUB_START[7] = {1, 3, 13, 15, 25, 27, 35};

// ---- effects, LFO, arp, play, chord, amp ------------------------------------------------------
const SwitchRow EFFECT_SWITCHES[] = {{346, 63, 449}, {348, 282, 449}, {351, 546, 449}, {354, 817, 449}, {345, 1056, 491}};
const LabelRow BYPASS_LABEL = {1038, 521, 60, 10, "BYPASS ALL", false, kLeft};

const KnobRow DISTORT_KNOBS[3] = {{104, 31, 480, 6, "MIX", 16}, {105, 101, 480, 5, "", 16}, {106, 172, 480, 5, "", 16}};

// Frame knobs outside the layers, in build groups (the slices below).
const KnobRow FRAME_KNOBS[] = {
    // delay, reverb
    {113, 502, 480, 6, "MIX", 12}, {114, 574, 480, 5, "LEFT", 12},
    {115, 640, 480, 5, "RIGHT", 12}, {116, 706, 480, 6, "FEED", 12},
    {120, 764, 480, 6, "MIX", 12}, {122, 835, 480, 5, "SIZE", 12},
    {123, 907, 480, 5, "LENGTH", 12}, {124, 978, 480, 5, "DAMP", 12},
    // LFO speeds
    {102, 45, 618, 2, "LFO 1 SPEED", 18}, {103, 125, 618, 2, "LFO 2 SPEED", 18},
    // arp
    {398, 335, 570, 5, "SWING", 12}, {399, 394, 570, 5, "VEL/KEY", 12},
    {400, 394, 632, 5, "NOTE LEN", 12}, {401, 335, 632, 5, "SLIDE", 12},
    // play: the glide time, without a caption
    {4, 592, 618, 2, nullptr, 0},
    // amp
    {3, 857, 583, 3, "PAN", 12}, {2, 930, 583, 2, "VEL", 12}, {1, 1000, 568, 0, "VOLUME", 12},
    {5, 820, 650, 2, "ATTACK", 12}, {6, 894, 650, 2, "DECAY", 12},
    {7, 967, 650, 2, "SUSTAIN", 12}, {8, 1042, 650, 2, "RELEASE", 12},
};
constexpr int kDelayReverbKnobs = 0, kLFOKnobs = 8, kArpKnobs = 10, kPlayKnobs = 14, kAmpKnobs = 15,
              kFrameKnobCount = sizeof FRAME_KNOBS / sizeof *FRAME_KNOBS;

// Mod FX container: the mix knob, then the three knobs the mode retags.
const KnobRow MODFX_KNOBS[4] = {{107, 9, 12, 6, "MIX", 8}, {108, 82, 12, 5, "", 8},
                                {109, 154, 12, 5, "", 8},  {110, 228, 12, 5, "", 8}};
const LabelRow GATOR_LABELS[2] = {{129, 18, 10, 10, "L", false, kLeft}, {129, 38, 10, 10, "R", false, kLeft}};
constexpr int GATOR_TAGS[2] = {111, 112};
constexpr int GATOR_Y[2] = {14, 34};
constexpr int kGatorX = 140, kGatorW = 128, kGatorH = 16;

const MenuRow ARP_MENUS[3] = {{407, 211, 592, 110, 15, ARP_MODE_STR, "MODE"},
                              {395, 211, 623, 110, 15, ARP_STEPS_STR, "STEPS"},
                              {397, 211, 654, 110, 15, ARP_SPEED_STR, "SPEED"}};
const MenuRow PLAY_MENUS[3] = {{244, 468, 592, 113, 15, PLAY_MODE_STR, "PLAY MODE"},
                               {245, 468, 640, 113, 15, PORT_MODE_STR, "PORT MODE"},
                               {664, 468, 688, 113, 15, LOCK_MODE_STR, "PLAY LOCK MODE"}};
const MenuRow CHORD_MODE_MENU = {555, 674, 617, 130, 15, CHORD_MODE_STR, "CHORD PLAY MODE"};

// The two command buttons (always lit) and their captions.
struct CommandRow {
    int x, y;
    LabelRow caption;
};
const CommandRow ARP_COMMAND = {305, 568, {275, 574, 30, 10, "CMD", false, kLeft}};
const CommandRow CHORD_COMMAND = {788, 568, {760, 574, 30, 10, "CMD", false, kLeft}};
const LabelRow ARP_PRESET_LABELS[2] = {{207, 691, 40, 10, "PRESET", false, kLeft},
                                       {207, 708, 40, 10, "FOLDER", false, kLeft}};
constexpr int kArpPresetX = 250, kArpPresetY = 688, kArpFolderY = 705, kArpMenuW = 196;
constexpr int kArpOnTag = 394, kChordOnTag = 554;

} // namespace

void uEditor::createEasyScreenControls() {
    if (!plugin || !frame) return;
    const int big = getBig();
    auto s = [this](int v) { return getScaled(v); };
    const int* const envelopeSlots[5] = {EASY_PITCH_ENV_LABELS, EASY_PITCH_ENV_DEC_LABELS, EASY_HP_FREQ_LABELS,
                                         EASY_VOL_ENV_DEC_LABELS, EASY_VOL_LABELS};
    const int* const columnSlots[3] = {EASY_PITCH_ENV_BIG_LABELS, EASY_HP_BIG_LABELS, EASY_VOL_ENV_BIG_LABELS};
    // Knobs and captions beside the fixed layer slots take the free slots in build order;
    // a knob's caption shares its slot.
    auto reserved = [](int slot) {
        for (const int* t : {EASY_PITCH_ENV_LABELS, EASY_PITCH_ENV_DEC_LABELS, EASY_HP_FREQ_LABELS, EASY_VOL_LABELS,
                             EASY_VOL_ENV_DEC_LABELS, EASY_LAYER_BIG_LABELS, EASY_PITCH_ENV_BIG_LABELS,
                             EASY_HP_BIG_LABELS, EASY_VOL_ENV_BIG_LABELS, EASY_LAYER_SOURCE_LABELS})
            for (int k = 0; k < 3; ++k)
                if (slot == t[k]) return true;
        return false;
    };
    // Frame knobs take slots 15.. (their captions the same slots); other captions the slots after.
    static_assert(15 + kFrameKnobCount <= kEasyKnobSlots, "easy knob slots");
    int knobCursor = 0, labelCursor = 15 + kFrameKnobCount, onOffCursor = 3;
    auto freeLabel = [&]() -> TLabel** {
        while (labelCursor < kEasyLabelSlots && (reserved(labelCursor) || easyLabels[labelCursor])) ++labelCursor;
        return labelCursor < kEasyLabelSlots ? &easyLabels[labelCursor] : nullptr;
    };
    auto label = [&](TLabel*& member, const LabelRow& r) {
        if (r.big) createLabel(member, s(r.x), s(r.y), s(r.w), s(r.h), r.text, tlook::BIG_LABEL_FONT_SIZES[big],
                               kEasyCaption, r.align);
        else labelRect(member, CRect(s(r.x), s(r.y), s(r.x + r.w), s(r.y + r.h)), r.text, kEasyCaption, r.align);
    };
    auto frameLabel = [&](const LabelRow& r) {
        if (TLabel** slot = freeLabel()) label(*slot, r);
    };
    auto knob = [&](TKnob*& member, TLabel*& caption, const KnobRow& k) {
        if (k.caption) createEasyKnob(member, k.tag, s(k.x), s(k.y), k.style, caption, k.caption, s(k.e));
        else createEasyKnob(member, k.tag, s(k.x), s(k.y), k.style);
    };
    auto frameKnobs = [&](int from, int to) {
        for (int n = from; n < to; ++n) {
            while (knobCursor < kEasyKnobSlots && (reserved(knobCursor) || easyKnobs[knobCursor])) ++knobCursor;
            if (knobCursor >= kEasyKnobSlots) return;
            knob(easyKnobs[knobCursor], easyLabels[knobCursor], FRAME_KNOBS[n]);
        }
    };
    auto onOff = [&](int tag, int x, int y) {
        if (onOffCursor < kEasyOnOffSlots) createEasyOnOff(easyOnOffs[onOffCursor++], tag, s(x), s(y));
    };
    auto labelMenu = [&](TOptionMenu*& menu, const MenuRow& r) {
        if (TLabel** slot = freeLabel())
            createEasyLabelMenu(menu, r.tag, s(r.x), s(r.y), s(r.w), s(r.h), -1, r.entries, *slot, r.caption, 0, 0,
                                true);
    };
    auto command = [&](TKickButton*& button, const CommandRow& r) {
        createEasyOnOffKick(button, s(r.x), s(r.y));
        if (button) button->setAlwaysOn(true);
        frameLabel(r.caption);
    };

    // Section titles and their menu buttons.
    for (const LabelRow& r : SECTION_TITLES) frameLabel(r);
    for (int b = 0; b < 9; ++b) {
        const ButtonRow& r = SECTION_BUTTONS[b];
        createMenuButton(easySectionButtons[b], r.type, s(r.x), s(r.y), s(r.w), s(r.h), "", false, false);
    }

    // The layers.
    for (int i = 0; i < 3; ++i) {
        const int dy = kLayerStep * i;
        label(easyLabels[EASY_LAYER_BIG_LABELS[i]], {34, 100 + dy, 120, 10, UPPER_CASE_LAYER_STR[i], true, kLeft});
        createEasyOnOff(easyOnOffs[EASY_PITCH_ENV_LABELS[i]], LAYER_ON_TAGS[i], s(85), s(94 + dy));
        createMenuButton(easyLayerMenuButtons[i], kMenuLayer1 + i, s(34), s(99 + dy), s(43), s(15), "", false, false);
        for (int c = 0; c < 3; ++c) {
            const ColumnTitle& t = COLUMN_TITLES[c];
            label(easyLabels[columnSlots[c][i]], {t.x, 100 + dy, 120, 10, t.text, true, kLeft});
            createMenuButton(easyLayerColumnButtons[i][c], kMenuLayer1 + i, s(t.x), s(100 + dy), s(t.buttonW), s(16),
                             "", false, false);
        }
        label(easyLabels[EASY_LAYER_SOURCE_LABELS[i]], {109, 100 + dy, 45, 10, "SOURCE", false, kLeft});
        createMenu(easySourceMenus[i], LAYER_SOURCE_TAGS[i], s(157), s(97 + dy), s(103), s(15), 4, SOURCE_MODE_STR,
                   true, true);

        // The right container: Wire's filter title, FM's mode and semitone menus, Wave's filter.
        label(easyLayerFilterTitles[i], {35, 5, 100, 10, "FILTER", true, kLeft});
        createMenuButton(easyLayerFilterButtons[i], kMenuLayer1 + i, s(35), s(5), s(100), s(16), "", false, false);
        label(easyLayerFMModeLabels[i], {231, 5, 40, 10, "MODE", false, kRight});
        createMenu(easyLayerFMModeMenus[i], FM_MODE_TAGS[i], s(275), s(2), s(83), s(15), 2, FM_MODE_STR, true, true);
        label(easyLayerSemiLabels[i], {356, 5, 40, 10, "SEMI", false, kRight});
        const CRect semiRect(s(401), s(2), s(401 + 56), s(2 + 15));
        TOptionMenu* semi = own(easyLayerSemiMenus[i], new TOptionMenu(semiRect, this, SEMI_TAGS[i], nullptr, nullptr,
                                                                        kPopupStyle, true, true));
        for (int k = 0, n = 0; k < 4; ++k) {
            TOptionMenu* sub = own(easySemiSubMenus[i][k], new TOptionMenu(semiRect, this, SEMI_TAGS[i], nullptr,
                                                                            nullptr, kSubMenuStyle, true, true));
            for (int e = 0; e < 24; ++e) sub->addEntry(SEMI_SHORT_STR[n++]);
            semi->addEntry(sub, SEMI_SUB_STR[k]);
            // "No offset" stands between the groups below and above it.
            if (k == 1) semi->addEntry(SEMI_SHORT_STR[n++]);
        }
        addControl(semi, kControlMenu);
        label(easyLayerFilterLabels[i], {3, 5, 40, 10, "FILTER", false, kRight});
        const CRect filterRect(s(48), s(2), s(48 + 166), s(2 + 15));
        TOptionMenu* filter = own(easyLayerFilterModeMenus[i], new TOptionMenu(filterRect, this, FILTER_MODE_TAGS[i],
                                                                                nullptr, nullptr, kPopupStyle, true,
                                                                                true));
        filter->addEntry(FILTER_MODE_STR[0]);
        for (int k = 0; k < 6; ++k) {
            TOptionMenu* sub = own(easyFilterSubMenus[i][k], new TOptionMenu(filterRect, this, FILTER_MODE_TAGS[i],
                                                                              nullptr, nullptr, kSubMenuStyle, true,
                                                                              true));
            for (int m = FILTER_SUB_START[k]; m < FILTER_SUB_START[k + 1]; ++m) sub->addEntry(FILTER_MODE_STR[m]);
            filter->addEntry(sub, FILTER_MODE_SUB_STR[k]);
        }
        addControl(filter, kControlMenu);

        // Envelope columns on the frame.
        for (int n = 0; n < 5; ++n) {
            const EnvelopeKnob& k = ENVELOPE_KNOBS[n];
            const int slot = envelopeSlots[n][i];
            createEasyKnob(easyKnobs[slot], k.tags[i], s(k.x), s(kEnvelopeKnobY + dy), k.style, easyLabels[slot],
                           k.caption, s(kEnvelopeCaptionE));
        }

        // The left container: each source's knobs in x order, Wave's wave menu.
        for (const SourceRow& src : SOURCES)
            for (int n = 0; n < src.count; ++n) {
                const SourceKnob& k = src.knobs[n];
                createEasyKnob(easyLayerKnobs[i][k.slot], k.tags[i], s(src.x0 + src.step * n), 0, k.style,
                               easyLayerLabels[i][k.slot < kWaveMenuCaptionSlot ? k.slot : k.slot + 1], k.caption,
                               s(kSourceCaptionE));
            }
        createEasyLabelMenu(easyLayerWaveMenus[i], WAVE_TAGS[i], s(2), s(23), s(66), s(15), 6, WAVE_STR,
                            easyLayerLabels[i][kWaveMenuCaptionSlot], "WAVE", 0, 0, true);
    }

    // The output scopes (shown with a Wire layer; no parameter of their own).
    for (int i = 0; i < 3; ++i) own(scopesEasy[i], new TWaveScreen(SCOPE_RECTS[big], this, i, prefOutputDisplay));

    // Effect switches, then the bypass-all caption.
    for (const SwitchRow& r : EFFECT_SWITCHES) onOff(r.tag, r.x, r.y);
    frameLabel(BYPASS_LABEL);

    // Distortion: the model menu and knobs whose captions follow the model.
    const int distort = plugin->getSteppedValue(347) % kDistortModes;
    createMenu(easyDistortMenu, 347, s(84), s(452), s(83), s(15), kDistortModes, DISTORT_MODE_STR, true, true);
    for (int k = 0; k < 3; ++k) {
        KnobRow r = DISTORT_KNOBS[k];
        if (k > 0) r.caption = DISTORT_MODE_LABEL_STR[kDistortKnobs * distort + k - 1];
        knob(easyDistortKnobs[k], easyDistortLabels[k], r);
    }
    // Mod FX: the mode menu; in its container the mix knob and three knobs that each mode
    // retags (they start on tags 108..110), the Gator mode's step displays and captions.
    const int modFX = plugin->getSteppedValue(349) % kModFXModes;
    createMenu(easyModFXMenu, 349, s(302), s(452), s(115), s(15), kModFXModes, MOD_FX_MODE_STR, true, true);
    for (int k = 0; k < 4; ++k) {
        KnobRow r = MODFX_KNOBS[k];
        if (k > 0) r.caption = MOD_FX_LABEL_STR[kModFXKnobs * modFX + k - 1];
        knob(easyModFXKnobs[k], easyModFXLabels[k], r);
    }
    for (int g = 0; g < 2; ++g) {
        label(easyGatorLabels[g], GATOR_LABELS[g]);
        const CRect r(s(kGatorX), s(GATOR_Y[g]), s(kGatorX + kGatorW), s(GATOR_Y[g] + kGatorH));
        addControl(own(easyGatorDisplays[g], new TGatorDisplay(r, this, GATOR_TAGS[g])), kControlCommand);
    }
    frameKnobs(kDelayReverbKnobs, kLFOKnobs);

    // LFO speeds.
    frameKnobs(kLFOKnobs, kArpKnobs);

    // Arp: switch, the three menus, the command button, preset and folder, knobs.
    onOff(kArpOnTag, 236, 568);
    for (int m = 0; m < 3; ++m) labelMenu(easyArpMenus[m], ARP_MENUS[m]);
    command(easyArpCommand, ARP_COMMAND);
    for (const LabelRow& r : ARP_PRESET_LABELS) frameLabel(r);
    createMenu(arpPresetMenu, 849, s(kArpPresetX), s(kArpPresetY), s(kArpMenuW), s(15), 0, nullptr, true, true);
    createMenu(arpFolderMenu, 848, s(kArpPresetX), s(kArpFolderY), s(kArpMenuW), s(15), 0, nullptr, true, true);
    frameKnobs(kArpKnobs, kPlayKnobs);

    // Play: the three menus and the glide knob.
    for (int m = 0; m < 3; ++m) labelMenu(easyPlayMenus[m], PLAY_MENUS[m]);
    frameKnobs(kPlayKnobs, kAmpKnobs);

    // Chord: switch, play-order menu, command button, the chord selectors; in the chord
    // container each chord's strum knob and sync switch (the rebuilder shows the selected one).
    onOff(kChordOnTag, 718, 568);
    labelMenu(easyChordModeMenu, CHORD_MODE_MENU);
    command(easyChordCommand, CHORD_COMMAND);
    static const char* const CHORD_NUMBERS[4] = {"1", "2", "3", "4"};
    for (int c = 0; c < 4; ++c) {
        if (TLabel** slot = freeLabel()) {
            label(*slot, {672 + 35 * c, 598, 30, 10, CHORD_NUMBERS[c], false, kLeft});
            easyChordNumberLabels[c] = *slot;
        }
        createRadio(easyChordRadios[c], s(683 + 35 * c), s(592), 2, c, true);
    }
    for (int c = 0; c < 4; ++c) {
        knob(easyChordStrumKnobs[c], easyChordStrumLabels[c], {CHORD_STRUM_TAGS[c], 22, 1, 2, "STRUM", 8});
        createEasyOnOff(easyChordSyncOnOffs[c], CHORD_STRUM_SYNC_ON_TAGS[c], s(96), s(21));
        label(easyChordSyncLabels[c], {86, 42, 30, 10, "SYNC", false, kCentre});
    }

    // Amp.
    frameKnobs(kAmpKnobs, kFrameKnobCount);
}
