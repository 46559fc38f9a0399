// The main page builder: every control of the main page, created once per opening from the
// layout tables below, and the modulation destination names whose rows follow the distortion
// model and the layers' filter modes.
//
// Positions are 100 % pixels; S{v, c125, c150, c200} adds a per-size pixel correction so the
// controls land on the artwork of every size. Controls inside a section container are placed
// relative to it. The builder only creates and records; the page switch and the section
// rebuilders decide what is attached where.
#include <iterator>
#include <string>

#include "controls/TArpScreen.h"
#include "controls/TChordScreen.h"
#include "controls/TGatorDisplay.h"
#include "controls/THSlider.h"
#include "controls/TKickButton.h"
#include "controls/TKnob.h"
#include "controls/TLabel.h"
#include "controls/TLine.h"
#include "controls/TMenuButton.h"
#include "controls/TModScreen.h"
#include "controls/TOnOff.h"
#include "controls/TOptionMenu.h"
#include "controls/TRadioButton.h"
#include "controls/TReadout.h"
#include "controls/TVelSplitScreen.h"
#include "controls/TWaveScreen.h"
#include "editor/uEditor.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginStrings.h"
#include "plugin/uPluginTags.h"

using namespace VSTGUI;

static_assert(uEditor::kNumDestNames == kModDestCount, "one name per modulation destination");

namespace {

// A 100 % coordinate with its corrections at 125 %, 150 % and 200 %.
struct S {
    int v, c125 = 0, c150 = 0, c200 = 0;
};

constexpr CColor TOP_COLOUR(127, 138, 12, 255);
constexpr CColor MAIN_COLOUR(197, 213, 26, 255);
constexpr CColor RIBBON_COLOUR(63, 63, 63, 255);
constexpr int kNoTag = 9999;
constexpr unsigned kAll = ~0u;

const CFontRef FONT_SIZES[4] = {kNormalFontVerySmall, kNormalFontSmall, kNormalFont, kNormalFontVeryBig};
const CFontRef LABEL_FONT_SIZES[4] = {kNormalFontVerySmall, kNormalFontSmall, kNormalFont, kNormalFontVeryBig};
const CFontRef BIG_LABEL_FONT_SIZES[4] = {kNormalFont, kNormalFontBig, kNormalFontVeryBig, kNormalFontVeryBig};

enum LabelFont { kCaption, kTitle };

struct LabelRow {
    const char* text;
    S x, y;
    int w, h;
    LabelFont font;
    CColor colour;
    int align;  // 0 left, 1 centre, 2 right
};

// ---- top bar ------------------------------------------------------------------------------

const LabelRow TOP_CAPTIONS[6] = {
    {"PRESET", {60}, {23, 2, 1, 1}, 50, 9, kCaption, TOP_COLOUR, 2},
    {"BANK", {61}, {46, 0, 0, 1}, 50, 9, kCaption, TOP_COLOUR, 2},
    {"EDIT", {265}, {23, 2, 1, 1}, 50, 9, kCaption, TOP_COLOUR, 2},
    {"ORIG", {264}, {46, 0, 0, 1}, 50, 9, kCaption, TOP_COLOUR, 2},
    {"ECS", {343}, {23, 2, 1, 1}, 24, 9, kCaption, TOP_COLOUR, 2},
    {"HELP", {336}, {46, 0, 0, 1}, 30, 9, kCaption, TOP_COLOUR, 2},
};

const LabelRow SECTION_TITLES[13] = {
    {"DIST", {34, 1}, {365}, 100, 10, kTitle, MAIN_COLOUR, 0},
    {"MOD-FX", {174, 2}, {365}, 100, 10, kTitle, MAIN_COLOUR, 0},
    {"DELAY", {447, 2, -1}, {365}, 100, 10, kTitle, MAIN_COLOUR, 0},
    {"REVERB", {768, 1, 0, 1}, {365}, 100, 10, kTitle, MAIN_COLOUR, 0},
    {"PATH", {1041, 1}, {365}, 50, 10, kTitle, MAIN_COLOUR, 0},
    {"LFO 1", {34, 1}, {452, 1, 1}, 100, 10, kTitle, MAIN_COLOUR, 0},
    {"LFO 2", {96}, {452, 1, 1}, 100, 10, kTitle, MAIN_COLOUR, 0},
    {"ARP", {174, 2}, {452, 1, 1}, 100, 10, kTitle, MAIN_COLOUR, 0},
    {"MOD MATRIX", {34, 1}, {593}, 100, 10, kTitle, MAIN_COLOUR, 0},
    {"VEL SPLIT", {140}, {593}, 100, 10, kTitle, MAIN_COLOUR, 0},
    {"PLAY", {320, 0, 0, 2}, {593}, 100, 10, kTitle, MAIN_COLOUR, 0},
    {"CHORD", {497, -1}, {593}, 100, 10, kTitle, MAIN_COLOUR, 0},
    {"AMP", {896, 0, 0, 2}, {593}, 100, 10, kTitle, MAIN_COLOUR, 0},
};

// The section command buttons (menu type, place, size); they lie over the section titles.
struct ButtonRow {
    int type;
    S x, y;
    int w, h;
};
const ButtonRow SECTION_BUTTONS[13] = {
    {11, {31}, {361}, 30, 14},  {12, {174}, {361}, 43, 14},          {13, {447}, {361}, 37, 14},
    {14, {768}, {361}, 44, 14}, {15, {1041}, {361}, 48, 14},         {6, {34, 1}, {450, 1, 1}, 28, 14},
    {6, {96}, {450, 1, 1}, 28, 14}, {7, {175}, {448}, 23, 14},       {9, {35}, {589}, 65, 14},
    {10, {140}, {589}, 51, 14}, {16, {320}, {589}, 48, 14},          {8, {497, 0, 0, -3}, {589}, 40, 14},
    {17, {896}, {589}, 48, 14},
};

// ---- layer rows ---------------------------------------------------------------------------

// Per-layer y corrections of the row's menus, small captions and titles (layers 1, 2, 3).
enum RowY { kRowMenu, kRowCaption, kRowTitle };
const S ROW_Y_CORRECTION[3][3] = {
    {{0, 1, 0, 0}, {0, 1, -1, 0}, {0, 1, 0, 0}},
    {{0, 0, -1, 0}, {0, 1, -1, 0}, {0, 1, 0, 0}},
    {{0, 0, 0, 0}, {0, 0, -1, 0}, {0, 0, 0, 0}},
};

// The frame knobs of a layer row: caption, tags per layer, x, y of layer 1, knob type, and the
// slots of the three layers' knobs and captions in mainKnobs / mainLabels.
struct RowKnob {
    const char* caption;
    const int32_t* tags;
    S x;
    int y, type;
    int knobs[3], labels[3];
};
const RowKnob ROW_KNOBS[9] = {
    {"PITCH!AMOUNT", PITCH_ENV_AMT_TAGS, {731}, 121, 3, {7, 10, 13}, {34, 37, 40}},
    {"DEC", PITCH_ENV_DEC_TAGS, {776}, 121, 2, {8, 11, 14}, {35, 38, 41}},
    {"CURVE", PITCH_ENV_CRV_TAGS, {821}, 126, 4, {9, 12, 15}, {36, 39, 42}},
    {"FREQ", HP_FREQ_TAGS, {864, -1}, 121, 2, {16, 17, 18}, {43, 44, 45}},
    {"DEC", VOL_ENV_DEC_TAGS, {909}, 121, 2, {20, 25, 30}, {47, 52, 57}},
    {"CURVE", VOL_ENV_CRV_TAGS, {950}, 126, 4, {21, 26, 31}, {48, 53, 58}},
    {"KEY!TRK", VOL_ENV_KEY_TRACK_TAGS, {986}, 126, 5, {22, 27, 32}, {49, 54, 59}},
    {"PAN", PAN_TAGS, {1022}, 126, 5, {23, 28, 33}, {50, 55, 60}},
    {"VOLUME", VOL_TAGS, {1055}, 116, 0, {19, 24, 29}, {46, 51, 56}},
};
constexpr int kFirstRowLabelSlot = 34, kLastRowLabelSlot = 60;

// The layer knob container's knobs: slot, caption, tags per layer, knob type, x (y is 8, the
// "FINE" knobs 13). Caption slot = knob slot, but one higher from slot 46 on (the Wave set's
// wave menu has caption slot 46).
struct LayerKnob {
    int slot;
    const char* caption;
    const int32_t* tags;
    int type, x;
};
const LayerKnob LAYER_KNOBS[] = {
    // Wire
    {0, "SEMI", SEMI_TAGS, 3, 3}, {1, "FINE", FINE_TAGS, 5, 47}, {2, "Q", WIRE_Q_TAGS, 2, 84},
    {3, "SEP", WIRE_SEP_TAGS, 3, 128}, {4, "WIRE", WIRE_ENV_AMT_TAGS, 2, 172}, {5, "DEC", WIRE_ENV_DEC_TAGS, 2, 216},
    {7, "VEL", WIRE_VEL_TRACK_TAGS, 3, 260}, {6, "KEY", WIRE_KEY_TRACK_TAGS, 3, 304},
    {8, "FREQ", FILTER_FREQ_TAGS, 2, 348}, {13, "VEL", FILTER_VEL_TRACK_TAGS, 3, 392},
    {12, "KEY", FILTER_KEY_TRACK_TAGS, 3, 436}, {9, "ENV", FILTER_ENV_AMT_TAGS, 3, 480},
    {11, "DEC", FILTER_ENV_DEC_TAGS, 2, 524}, {10, "SUST", FILTER_ENV_SUST_TAGS, 2, 568},
    // String
    {14, "SEMI", SEMI_TAGS, 3, 3}, {15, "FINE", FINE_TAGS, 5, 47}, {16, "IMP LEN", STRING_IMP_LEN_TAGS, 2, 93},
    {17, "IMP VOL", STRING_IMP_VOL_TAGS, 2, 141}, {18, "IMP SHP", STRING_IMP_SHP_TAGS, 3, 189},
    {19, "LENGTH", STRING_LEN_TAGS, 2, 246}, {21, "VEL!LENGTH", STRING_LEN_VEL_TRACK_TAGS, 3, 294},
    {20, "KEY!LENGTH", STRING_LEN_KEY_TRACK_TAGS, 3, 342}, {22, "PLUCK", STRING_PLUCK_TAGS, 2, 399},
    {24, "VEL!PLUCK", STRING_PLUCK_VEL_TRACK_TAGS, 3, 447}, {23, "KEY!PLUCK", STRING_PLUCK_KEY_TRACK_TAGS, 3, 495},
    {25, "DAMP", STRING_DAMP_TAGS, 2, 552}, {27, "VEL!DAMP", STRING_DAMP_VEL_TRACK_TAGS, 3, 600},
    {26, "KEY!DAMP", STRING_DAMP_KEY_TRACK_TAGS, 3, 648},
    // FM
    {28, "SEMI1", FM_1_SEMI_TAGS, 3, 3}, {29, "FINE", FM_1_FINE_TAGS, 5, 47},
    {33, "PITCH!ENV", FM_1_PITCH_ENV_AMT_TAGS, 3, 84}, {34, "DEC", FM_1_PITCH_ENV_DEC_TAGS, 2, 128},
    {30, "VOLUME", FM_1_VOL_TAGS, 2, 172}, {31, "DEC", FM_1_VOL_ENV_DEC_TAGS, 2, 216},
    {32, "SUST", FM_1_VOL_ENV_SUST_TAGS, 2, 260}, {35, "VEL", FM_1_VEL_TRACK_TAGS, 2, 304},
    {36, "SEMI2", FM_2_SEMI_TAGS, 3, 348}, {37, "FINE", FM_2_FINE_TAGS, 5, 392},
    {41, "PITCH!ENV", FM_2_PITCH_ENV_AMT_TAGS, 3, 429}, {42, "DEC", FM_2_PITCH_ENV_DEC_TAGS, 2, 473},
    {38, "VOLUME", FM_2_VOL_TAGS, 2, 517}, {39, "DEC", FM_2_VOL_ENV_DEC_TAGS, 2, 561},
    {40, "SUST", FM_2_VOL_ENV_SUST_TAGS, 2, 605}, {43, "VEL", FM_2_VEL_TRACK_TAGS, 2, 649},
    // Wave (the wave menu comes first, see createMainLayerViews)
    {44, "SEMI", SEMI_TAGS, 3, 84}, {45, "FINE", FINE_TAGS, 5, 131}, {46, "SYM", WAVE_SYM_TAGS, 3, 178},
    {47, "SUB", SUB_VOL_TAGS, 2, 225}, {48, "FREQ", FILTER_FREQ_TAGS, 2, 272}, {49, "SPRD", FILTER_SEP_TAGS, 3, 319},
    {50, "Q", FILTER_Q_TAGS, 2, 366}, {51, "VOWEL", FILTER_VOWEL_TAGS, 2, 413},
    {53, "VEL", FILTER_VEL_TRACK_TAGS, 3, 460}, {52, "KEY", FILTER_KEY_TRACK_TAGS, 3, 507},
    {54, "ENV", FILTER_ENV_AMT_TAGS, 3, 555}, {56, "DEC", FILTER_ENV_DEC_TAGS, 2, 602},
    {55, "SUST", FILTER_ENV_SUST_TAGS, 2, 649},
};
constexpr int kWaveSetFirstSlot = 44, kWaveMenuLabelSlot = 46;
int sourceOfSlot(int slot) { return slot < 14 ? 0 : (slot < 28 ? 1 : (slot < 44 ? 2 : 3)); }

// Per-size rectangles (left, top, width, height) of views drawn to their own measure.
CRect sized(const int (&t)[4][4], int s) {
    return CRect(t[s][0], t[s][1], t[s][0] + t[s][2], t[s][1] + t[s][3]);
}
const int SCOPE_RECTS[4][4] = {{612, 0, 72, 54}, {765, 3, 90, 63}, {918, 3, 108, 75}, {1224, 2, 144, 104}};
const int ARP_GRID_RECTS[4][4] = {{262, 452, 576, 128}, {327, 565, 720, 160}, {393, 675, 864, 192},
                                  {523, 904, 1152, 256}};
const int MOD_SCREEN_RECTS[4][4] = {{0, 14, 282, 104}, {0, 18, 352, 128}, {0, 21, 421, 160}, {0, 29, 560, 208}};
const int SPLIT_SCREEN_RECTS[4][4] = {{6, 47, 268, 78}, {8, 59, 335, 98}, {9, 71, 402, 117}, {12, 94, 536, 156}};
const int CHORD_SCREEN_RECTS[4][4] = {{660, 593, 228, 128}, {823, 744, 282, 160}, {986, 894, 343, 192},
                                      {1316, 1186, 456, 256}};
const int RIBBON_RECTS[4][4] = {{27, 737, 814, 20}, {36, 922, 1016, 25}, {43, 1106, 1220, 30}, {58, 1474, 1626, 40}};
const int LINE_RECTS[4][4] = {{219, 597, 5, 1}, {273, 746, 7, 1}, {331, 895, 7, 2}, {415, 1194, 31, 2}};

// ---- effects ------------------------------------------------------------------------------

struct FrameKnob {
    const char* caption;
    int tag;
    S x, y;
    int type;
};
const FrameKnob DISTORT_KNOBS[3] = {
    {"MIX", 104, {35, 0, 0, -1}, {394}, 5}, {"1", 105, {83, 0, 0, -1}, {394}, 4}, {"2", 106, {131}, {394}, 4}};
// mainKnobs slots 34.. hold the delay, reverb, arp and amplifier knobs in this order.
constexpr int kFirstSectionKnobSlot = 34;
const FrameKnob SECTION_KNOBS[] = {
    {"MIX", 113, {448, 0, 0, -2}, {394}, 5},     {"LEFT", 114, {495, 0, 0, -1}, {394}, 4},
    {"RIGHT", 115, {541, 0, 0, -1}, {394}, 4},   {"FEED", 116, {587}, {394}, 5},
    {"CROSS", 117, {634, 0, 0, 1}, {394}, 5},    {"LP", 118, {679, 0, 0, 1}, {394}, 4},
    {"HP", 119, {726, 0, 0, 2}, {394}, 4},       {"MIX", 120, {769}, {394}, 5},
    {"PRE", 121, {815}, {394}, 4},               {"SIZE", 122, {862}, {394}, 4},
    {"LENGTH", 123, {907}, {394}, 4},            {"DAMP", 124, {953}, {394}, 4},
    {"HP", 125, {999}, {394}, 4},                {"SWING", 398, {1012}, {451}, 4},
    {"VEL/KEY", 399, {1012}, {498, 0, 0, 1}, 4}, {"RTCH VEL", 403, {1012}, {545, 1, 1, 2}, 4},
    {"SLIDE", 401, {1062}, {451}, 4},            {"NOTE LEN", 400, {1062}, {497, 0, 0, 1}, 4},
    {"SMOOTH", 402, {1062}, {545, 1, 1, 2}, 4},  {"VOLUME", 1, {1022}, {605}, 0},
    {"VEL", 2, {976}, {610}, 2},                 {"PAN", 3, {925}, {610}, 3},
    {"ATTACK", 5, {901}, {663}, 2},              {"DECAY", 6, {952}, {663}, 2},
    {"SUSTAIN", 7, {1003}, {663}, 2},            {"RELEASE", 8, {1054}, {663}, 2},
};
constexpr int kFirstArpKnob = 13, kFirstAmpKnob = 19;
constexpr int kPortamentoKnobSlot = 0;

// Switches: tag, place, caption (none: a plain switch) with its side, width and x offset.
struct SwitchRow {
    int tag;
    S x, y;
    const char* caption;
    int side, e;
    S dx;
};
const SwitchRow FX_SWITCHES[8] = {
    {346, {66, -1, 2, -9}, {363}, nullptr, 0, 0, {0}},
    {348, {226, -1, 1, -18}, {363}, nullptr, 0, 0, {0}},
    {351, {492, -2, 0, -16}, {363}, nullptr, 0, 0, {0}},
    {354, {823, -4, 0, -22}, {363}, nullptr, 0, 0, {0}},
    {350, {413, -1, -1, -3}, {363}, "SYNC", 2, 40, {0}},
    {353, {596, 0, -1, 1}, {363}, "EQUAL", 2, 40, {-1, 2, 0, -2}},
    {352, {734, -1, -1, 0}, {363}, "SYNC", 2, 40, {0}},
    {345, {1008, 0, -1, -1}, {363}, "BYPASS ALL", 2, 60, {-1, 0, -2, 0}},
};
const SwitchRow ARP_SWITCHES[4] = {
    {394, {205, -1, 0, -13}, {450, 0, 1, 0}, nullptr, 0, 0, {0}},
    {405, {190}, {469, 1}, "LATCH", 0, 25, {0}},
    {406, {190}, {499, 1}, "KEY", 0, 25, {0}},
    {404, {190}, {529, 2, 0, 1}, "SYNC", 0, 25, {0}},
};

// Menus: tag, place, size, entries; a caption makes it a label menu (caption below it, no
// extra width, step zones on).
struct MenuRow {
    int tag;
    S x, y, w;
    int h;
    const char* const* entries;
    int count;
    const char* caption;
    bool centred, delta;
};
#define ROWS(table) table, static_cast<int>(std::size(table))
#define COUNTED(table) static_cast<int>(std::size(table)), table
const MenuRow FX_MENUS[3] = {
    {347, {85}, {362}, {76}, 15, ROWS(DISTORT_MODE_STR), nullptr, true, true},
    {349, {245}, {362}, {117}, 15, ROWS(MOD_FX_MODE_STR), nullptr, true, true},
    {344, {1043}, {378}, {54}, 63, ROWS(FX_PATH_STR), nullptr, false, false},
};
const MenuRow ARP_MENUS[8] = {
    {395, {844, 0, 1}, {453}, {60}, 15, ROWS(ARP_STEPS_STR), "STEPS", true, true},
    {396, {844, 0, 1}, {487, 1, 1, 1}, {60}, 15, ROWS(ARP_STEPS_STR), "LOOP START", true, true},
    {410, {844, 0, 1}, {521, 2, 1, 1}, {60}, 15, ROWS(ARP_LOOP_MODE_STR), "LOOP MODE", true, true},
    {408, {844, 0, 1}, {554, 3, 2, 2}, {60}, 15, ROWS(ARP_OCT_STR), "OCTAVE", true, true},
    {407, {910}, {453}, {90}, 15, ROWS(ARP_MODE_STR), "MODE", true, true},
    {397, {910}, {487, 1, 1, 1}, {90}, 15, ROWS(ARP_SPEED_STR), "SPEED", true, true},
    {409, {910}, {521, 2, 1, 1}, {90}, 15, ROWS(ARP_TIED_MODE_STR), "TIED MODE", true, true},
    {411, {910}, {554, 3, 2, 2}, {90}, 15, ROWS(ARP_RATCHET_MODE_STR), "RATCHET MODE", true, true},
};
const MenuRow PLAY_MENUS[5] = {
    {244, {323}, {608}, {113}, 15, ROWS(PLAY_MODE_STR), "PLAY MODE", true, true},
    {664, {323}, {638}, {113}, 15, ROWS(LOCK_MODE_STR), "PLAY LOCK MODE", true, true},
    {245, {323}, {668}, {113}, 15, ROWS(PORT_MODE_STR), "PORT MODE", true, true},
    {246, {323}, {698}, {76}, 15, ROWS(PITCH_BEND_STR), "BEND DOWN", true, true},
    {247, {403}, {698}, {76}, 15, ROWS(PITCH_BEND_STR), "BEND UP", true, true},
};
constexpr int kPlayLockMenu = 1;

// Captions of the lower sections (frame).
const LabelRow SECTION_CAPTIONS[] = {
    {"CMD", {178, 3, 4, 5}, {573, 1}, 34, 10, kCaption, MAIN_COLOUR, 1},
    {"STEP", {225, 1, 3, 3}, {457, 1, -2, 1}, 36, 10, kCaption, MAIN_COLOUR, 1},
    {"TIED", {225, 1, 3, 3}, {473, 1, -2, 1}, 36, 10, kCaption, MAIN_COLOUR, 1},
    {"SLIDE", {225, 1, 3, 3}, {489, 1, -2, 1}, 36, 10, kCaption, MAIN_COLOUR, 1},
    {"TUNE", {225, 1, 3, 3}, {505, 1, -2, 1}, 36, 10, kCaption, MAIN_COLOUR, 1},
    {"VEL", {225, 1, 3, 3}, {521, 1, -2, 1}, 36, 10, kCaption, MAIN_COLOUR, 1},
    {"CHORD", {225, 1, 3, 3}, {537, 1, -2, 1}, 36, 10, kCaption, MAIN_COLOUR, 1},
    {"FREE", {225, 1, 3, 3}, {553, 1, -2, 1}, 36, 10, kCaption, MAIN_COLOUR, 1},
    {"RATCH", {225, 1, 3, 0}, {569, 1, -2, 0}, 36, 10, kCaption, MAIN_COLOUR, 1},
    {"CMD", {263, 1, 2, 0}, {593, 0, -1, 0}, 34, 10, kCaption, MAIN_COLOUR, 1},
    {"ON", {215, 2, 2, 2}, {593, 0, -1, 0}, 25, 10, kCaption, MAIN_COLOUR, 2},
    {"1", {446, -3, -3, -2}, {611, 0, 0, -1}, 60, 10, kCaption, MAIN_COLOUR, 2},
    {"2", {471, -3, -3, -2}, {611, 0, 0, -1}, 60, 10, kCaption, MAIN_COLOUR, 2},
    {"3", {496, -3, -3, -2}, {611, 0, 0, -1}, 60, 10, kCaption, MAIN_COLOUR, 2},
    {"4", {521, -3, -3, -2}, {611, 0, 0, -1}, 60, 10, kCaption, MAIN_COLOUR, 2},
    {"CMD", {614, 0, -2, -3}, {593, 0, -1, 0}, 25, 10, kCaption, MAIN_COLOUR, 2},
    {"TUNE", {500, -2, -3, -2}, {628}, 25, 10, kCaption, MAIN_COLOUR, 2},
    {"VOL", {548, -2, -3, -2}, {628}, 25, 10, kCaption, MAIN_COLOUR, 2},
    {"PAN", {596, -2, -3, -2}, {628}, 25, 10, kCaption, MAIN_COLOUR, 2},
};
const LabelRow MATRIX_CAPTIONS[4] = {
    {"#", {0}, {3}, 18, 10, kCaption, MAIN_COLOUR, 1},
    {"SOURCE", {19}, {3}, 100, 10, kCaption, MAIN_COLOUR, 1},
    {"DESTINATION", {119, 1, 2}, {3}, 110, 10, kCaption, MAIN_COLOUR, 1},
    {"AMOUNT", {229, 0, 2, 2}, {3}, 53, 10, kCaption, MAIN_COLOUR, 1},
};
const LabelRow SPLIT_CAPTIONS[4] = {
    {"FADE IN", {51, 2, 3, 3}, {0}, 54, 10, kCaption, MAIN_COLOUR, 1},
    {"START", {107, 2, 3, 2}, {0}, 54, 10, kCaption, MAIN_COLOUR, 1},
    {"END", {163, 2, 2, 2}, {0}, 54, 10, kCaption, MAIN_COLOUR, 1},
    {"FADE OUT", {219, 3, 3, 2}, {0}, 54, 10, kCaption, MAIN_COLOUR, 1},
};
const LabelRow RIBBON_CAPTIONS[3] = {
    {"BIPLR", {839}, {741}, 40, 9, kCaption, RIBBON_COLOUR, 2},
    {"SPRING!BACK", {908}, {737}, 38, 18, kCaption, RIBBON_COLOUR, 1},
    {"QUANT", {1017}, {741}, 40, 9, kCaption, RIBBON_COLOUR, 2},
};

// Radios on the frame: place, group, index.
struct RadioRow {
    S x, y;
    int group, index;
};
const RadioRow LFO_RADIOS[2] = {{{70, 2, 2, -13}, {450, 1, 1}, 0, 0}, {{134, 0, 1, -15}, {450, 1, 1}, 0, 1}};
const RadioRow MOD_PAGE_RADIOS[2] = {{{116, -4, 2, -32}, {591}, 1, 0}, {{204, -2, 3, -23}, {591}, 1, 1}};
const RadioRow CHORD_RADIOS[4] = {{{508, -3, -3, -2}, {609}, 2, 0}, {{533, -3, -3, -2}, {609}, 2, 1},
                                  {{558, -3, -3, -2}, {609}, 2, 2}, {{583, -3, -3, -2}, {609}, 2, 3}};
const RadioRow CHORD_VIEW_RADIOS[3] = {{{528, -2, -3, -2}, {626, 0, 0, -1}, 3, 0},
                                       {{574, -2, -3, -2}, {626, 0, 0, -1}, 3, 1},
                                       {{622, -2, -3, -2}, {626, 0, 0, -1}, 3, 2}};

// The program numbers each preset submenu lists: [start, end).
constexpr int PRESET_START[8] = {0, 32, 64, 96, 128, 160, 192, 224};
constexpr int PRESET_END[8] = {32, 64, 96, 128, 160, 192, 224, 256};
constexpr int FILTER_SUB_START[7] = {1, 3, 13, 15, 25, 27, 35};

} // namespace

// ---- small helpers ----------------------------------------------------------------------------

void uEditor::placeMain(CView* view, int container, unsigned pages) {
    if (view) mainViews.push_back(MainView{view, container, pages});
}

TLabel*& uEditor::newMainLabel() {
    if (nextMainLabel == kFirstRowLabelSlot) nextMainLabel = kLastRowLabelSlot + 1;
    // A full table would be a layout mistake; the spare slot at the end is simply reused.
    if (nextMainLabel >= kNumMainLabels) return mainLabels[kNumMainLabels - 1];
    return mainLabels[nextMainLabel++];
}

namespace {

struct Builder {
    uEditor& ed;
    int big;
    int sc(const S& s) const { return ed.getScaled(s.v, s.c125, s.c150, s.c200); }
    int sc(int v) const { return ed.getScaled(v); }
};

} // namespace

// ---- the builder ----------------------------------------------------------------------------

void uEditor::createMainScreenControls() {
    if (!plugin) return;
    mainViews.clear();
    nextMainLabel = 0;
    // Runs after every view of the page has been released (releasers run newest first).
    releasers.push_back([this]() { mainViews.clear(); });

    distortMode = plugin->getSteppedValue(347);
    updateDestStr();

    createMainTopBar();
    for (int l = 0; l < 3; ++l) createMainLayerRow(l);
    for (int l = 0; l < 3; ++l) createMainLayerViews(l);
    createMainEffects();
    createMainSections();
}

namespace {
// A label from a table row at its scaled place.
void makeLabel(uEditor& ed, TLabel*& label, const LabelRow& r, int big) {
    const CFontRef font = r.font == kTitle ? BIG_LABEL_FONT_SIZES[big] : LABEL_FONT_SIZES[big];
    ed.createLabel(label, ed.getScaled(r.x.v, r.x.c125, r.x.c150, r.x.c200),
                   ed.getScaled(r.y.v, r.y.c125, r.y.c150, r.y.c200), ed.getScaled(r.w), ed.getScaled(r.h), r.text,
                   font, r.colour, r.align);
}
} // namespace

void uEditor::createMainTopBar() {
    const Builder b{*this, getBig()};
    auto label = [&](TLabel*& l, const LabelRow& r, int container = -1, unsigned pages = kAll) {
        makeLabel(*this, l, r, b.big);
        placeMain(l, container, pages);
    };
    for (int i = 0; i < 6; ++i) label(topLabels[i], TOP_CAPTIONS[i]);
    for (const LabelRow& r : SECTION_TITLES) label(newMainLabel(), r);
    for (int i = 0; i < 13; ++i) {
        const ButtonRow& r = SECTION_BUTTONS[i];
        createMenuButton(sectionButtons[i], r.type, b.sc(r.x), b.sc(r.y), b.sc(r.w), b.sc(r.h), "", false, false);
        placeMain(sectionButtons[i], -1);
    }

    // The preset selector: eight submenus of program names, then the commands.
    const CRect presetRect(b.sc(S{116}), b.sc(S{18, 2, 1, 1}), b.sc(S{116}) + b.sc(161),
                           b.sc(S{18, 2, 1, 1}) + b.sc(18));
    own(presetMenu, new TOptionMenu(presetRect, this, kNoTag, nullptr, nullptr, kPopupStyle));
    presetMenu->setPresetMenu();
    const int programs = plugin->getAeffect()->numPrograms;
    for (int i = 0; i < 8; ++i) {
        auto* sub = new TOptionMenu(CRect(0, 0, 0, 0), this, kNoTag, nullptr, nullptr,
                                    kPopupStyle | kNoDrawStyle | kNoTextStyle);
        for (int p = PRESET_START[i]; p < PRESET_END[i] && p < programs; ++p) {
            char name[256] = {};
            plugin->getProgramNameIndexed(0, p, name);
            sub->addEntry(name);
        }
        presetMenu->addEntry(sub, PRESET_SUB_HEADER_STR[i]);
        sub->forget();
    }
    presetMenu->addEntry("-");
    presetMenu->addEntry(PRESET_COMMAND_STR[9]);  // "Clear Preset"
    for (int i = 20; i <= 23; ++i) presetMenu->addEntry(PRESET_COMMAND_STR[i]);
    placeMain(presetMenu, -1);

    const int fy = b.sc(S{41, 0, 1, 1});
    own(folderMenu, new TOptionMenu(CRect(b.sc(116), fy, b.sc(116) + b.sc(161), fy + b.sc(18)), this, kNoTag, nullptr,
                                    nullptr, kPopupStyle));
    folderMenu->addEntry("Introduction Folder");
    folderMenu->setString("Introduction Folder");
    placeMain(folderMenu, -1);

    createKickButton(previewButton, b.sc(S{42, 1, 1}), b.sc(44), kNoTag, getEditorBitmap(10064));
    placeMain(previewButton, -1);
    createOnOffKick(editedButton, b.sc(318), b.sc(S{21, 1, 1}));
    placeMain(editedButton, -1);
    createOnOffKick(origButton, b.sc(318), b.sc(S{44, -1}));
    placeMain(origButton, -1);
    const int ecs = getScaledF(13.f);
    createMenuButton(ecsMenuButton, 1, b.sc(S{369, 1}), b.sc(S{21, 1}), ecs, ecs, "", true, false);
    placeMain(ecsMenuButton, -1);
    createOnOffKick(helpButton, b.sc(369), b.sc(S{44, -1}));
    placeMain(helpButton, -1);
    createReadout(paramNameReadout, b.sc(393), b.sc(S{19, 2, 1, 1}), b.sc(222), b.sc(16), "Vantorix", true, true);
    placeMain(paramNameReadout, -1);
    createReadout(paramValueReadout, b.sc(393), b.sc(S{42, 0, 0, 1}), b.sc(222), b.sc(16), "Tavrolune", true, true);
    placeMain(paramValueReadout, -1);
    createKickButtonArea(screenSwitchArea, b.sc(630), b.sc(40), b.sc(68), b.sc(21));
    placeMain(screenSwitchArea, -1);
    createKickButtonArea(backPageArea, b.sc(789), b.sc(14), b.sc(303), b.sc(52));
    placeMain(backPageArea, -1);
    createMenuButton(controlMenuButton, 0, b.sc(1099), b.sc(11), b.sc(25), b.sc(25), "", false, false);
    placeMain(controlMenuButton, -1);
}

void uEditor::createMainLayerRow(int l) {
    const Builder b{*this, getBig()};
    const S* yc = ROW_Y_CORRECTION[l];
    auto rowY = [&](int y, int kind) {
        const S c = yc[kind];
        return getScaled(y + 89 * l, c.c125, c.c150, c.c200);
    };
    auto label = [&](const char* text, S x, int y, int kind, int w, LabelFont font, int align) {
        TLabel*& lab = newMainLabel();
        createLabel(lab, b.sc(x), rowY(y, kind), b.sc(w), b.sc(10), text,
                    font == kTitle ? BIG_LABEL_FONT_SIZES[b.big] : LABEL_FONT_SIZES[b.big], MAIN_COLOUR, align);
        placeMain(lab, -1);
    };
    auto button = [&](TMenuButton*& m, S x, int y, int w) {
        createMenuButton(m, 3 + l, b.sc(x), b.sc(y + 89 * l), b.sc(w), b.sc(16), "", false, false);
        placeMain(m, -1);
    };
    auto menu = [&](TOptionMenu*& m, int tag, S x, int w, const char* const* entries, int count) {
        createMenu(m, tag, b.sc(x), rowY(95, kRowMenu), b.sc(w), b.sc(15), count, entries, true, true);
        placeMain(m, -1);
    };

    label(UPPER_CASE_LAYER_STR[l], S{34, 1}, 98, kRowTitle, 120, kTitle, 0);
    button(layerRowButtons[l][0], S{34}, 96, 40);
    createOnOff(layerOnOffs[l], LAYER_ON_TAGS[l], b.sc(S{89, -3, 1, -25}), b.sc(96 + 89 * l));
    placeMain(layerOnOffs[l], -1);
    label("SOURCE", S{91}, 98, kRowCaption, 60, kCaption, 2);
    menu(layerSourceMenus[l], LAYER_SOURCE_TAGS[l], S{157, 2}, 73, ROWS(SOURCE_MODE_STR));
    label("OUT", S{955, -1}, 98, kRowCaption, 40, kCaption, 2);
    menu(layerOutMenus[l], LAYER_DEST_TAGS[l], S{1001}, 100, ROWS(LAYER_DEST_STR));
    label("PITCH ENVELOPE", S{726, 3, 1}, 98, kRowTitle, 120, kTitle, 0);
    label("HP", S{865, 3, 2}, 98, kRowTitle, 120, kTitle, 0);
    label("VOLUME", S{913, 1}, 98, kRowTitle, 120, kTitle, 0);
    button(layerRowButtons[l][1], S{726}, 98, 90);
    button(layerRowButtons[l][2], S{865}, 98, 30);
    button(layerRowButtons[l][3], S{913}, 98, 50);
}

void uEditor::createMainLayerViews(int l) {
    const Builder b{*this, getBig()};
    const int right = kLayerRight0 + 4 * l, left = kLayerLeft0 + 4 * l;
    enum : unsigned { kWire = 1, kString = 2, kFM = 4, kWave = 8 };
    auto caption = [&](TLabel*& lab, const char* text, S x, S y, int w, LabelFont font, int align, unsigned pages) {
        createLabel(lab, b.sc(x), b.sc(y), b.sc(w), b.sc(10), text,
                    font == kTitle ? BIG_LABEL_FONT_SIZES[b.big] : LABEL_FONT_SIZES[b.big], MAIN_COLOUR, align);
        placeMain(lab, right, pages);
    };
    auto captionedSwitch = [&](TOnOff*& sw, TLabel*& lab, int tag, int x, const char* text, unsigned pages) {
        createOnOff(sw, tag, b.sc(x), b.sc(4), lab, text, 2, 30, 0);
        placeMain(sw, right, pages);
        placeMain(lab, right, pages);
    };

    // The header container, in the order its controls are listed per source.
    captionedSwitch(layerThinOnOffs[l], layerThinLabels[l], WIRE_ON_TAGS[l], 34, "THIN", kWire);
    caption(layerFilterTitles[l], "FILTER", S{146, 1, 2}, S{6, 1}, 100, kTitle, 0, kWire);
    createMenuButton(layerFilterButtons[l], 3 + l, b.sc(S{146, 1, 2}), b.sc(S{0, 1}), b.sc(100), b.sc(16), "", false,
                     false);
    placeMain(layerFilterButtons[l], right, kWire);
    captionedSwitch(layerFreeOnOffs[l], layerFreeLabels[l], FREE_ON_TAGS[l], 34, "FREE", kString | kWave);
    captionedSwitch(layerDriftOnOffs[l], layerDriftLabels[l], DRIFT_ON_TAGS[l], 90, "DRIFT", kString);
    caption(layerFMModeLabels[l], "MODE", S{253, -3}, S{6, 1, -1}, 40, kCaption, 2, kFM);
    createMenu(layerFMModeMenus[l], FM_MODE_TAGS[l], b.sc(299), b.sc(S{3, 1}), b.sc(83), b.sc(15), COUNTED(FM_MODE_STR),
               true, true);
    placeMain(layerFMModeMenus[l], right, kFM);
    caption(layerSemiLabels[l], "SEMI3", S{379, -1}, S{6, 1, -1}, 40, kCaption, 2, kFM);

    // The semitone menu: 24 rows per submenu, the centre row between the second and third.
    const CRect semiRect(b.sc(425), b.sc(S{3, 1}), b.sc(425) + b.sc(56), b.sc(S{3, 1}) + b.sc(15));
    own(layerSemiMenus[l], new TOptionMenu(semiRect, this, SEMI_TAGS[l], nullptr, nullptr, kPopupStyle, true, true));
    for (int k = 0, n = 0; k < 4; ++k) {
        TOptionMenu* sub = own(semiSubMenus[l][k], new TOptionMenu(CRect(0, 0, 0, 0), this, SEMI_TAGS[l], nullptr,
                                                                    nullptr, kPopupStyle | kNoDrawStyle | kNoTextStyle,
                                                                    true, true));
        for (int i = 0; i < 24; ++i) sub->addEntry(SEMI_SHORT_STR[n++]);
        layerSemiMenus[l]->addEntry(sub, SEMI_SUB_STR[k]);
        if (k == 1) layerSemiMenus[l]->addEntry(SEMI_SHORT_STR[n++]);
    }
    addControl(layerSemiMenus[l], kControlMenu);
    placeMain(layerSemiMenus[l], right, kFM);

    caption(layerFilterLabels[l], "FILTER", S{54, 1, -2, 2}, S{6, 1, -1}, 40, kCaption, 2, kWave);
    const S fx{100, 1, -2, 2};
    const CRect filterRect(b.sc(fx), b.sc(S{3, 1}), b.sc(fx) + b.sc(169), b.sc(S{3, 1}) + b.sc(15));
    own(layerFilterModeMenus[l],
        new TOptionMenu(filterRect, this, FILTER_MODE_TAGS[l], nullptr, nullptr, kPopupStyle, true, true));
    layerFilterModeMenus[l]->addEntry(FILTER_MODE_STR[0]);
    for (int k = 0; k < 6; ++k) {
        TOptionMenu* sub = own(filterSubMenus[l][k],
                               new TOptionMenu(CRect(0, 0, 0, 0), this, FILTER_MODE_TAGS[l], nullptr, nullptr,
                                               kPopupStyle | kNoDrawStyle | kNoTextStyle, true, true));
        for (int m = FILTER_SUB_START[k]; m < FILTER_SUB_START[k + 1]; ++m) sub->addEntry(FILTER_MODE_STR[m]);
        layerFilterModeMenus[l]->addEntry(sub, FILTER_MODE_SUB_STR[k]);
    }
    addControl(layerFilterModeMenus[l], kControlMenu);
    placeMain(layerFilterModeMenus[l], right, kWave);

    // The row's frame knobs.
    for (const RowKnob& k : ROW_KNOBS) {
        createKnob(mainKnobs[k.knobs[l]], k.tags[l], b.sc(k.x), b.sc(k.y + 89 * l), k.type, mainLabels[k.labels[l]],
                   k.caption, 10);
        placeMain(mainKnobs[k.knobs[l]], -1);
        placeMain(mainLabels[k.labels[l]], -1);
    }

    // The knob container, one source's set after the other; the wave menu opens the Wave set.
    for (const LayerKnob& k : LAYER_KNOBS) {
        const unsigned pages = 1u << sourceOfSlot(k.slot);
        if (k.slot == kWaveSetFirstSlot) {
            createLabelMenu(layerWaveMenus[l], WAVE_TAGS[l], b.sc(S{6, -1, -1}), b.sc(20), b.sc(71), b.sc(15),
                            COUNTED(WAVE_STR), layerKnobLabels[l][kWaveMenuLabelSlot], "WAVE", 0, 0, true);
            placeMain(layerWaveMenus[l], left, pages);
            placeMain(layerKnobLabels[l][kWaveMenuLabelSlot], left, pages);
        }
        TLabel*& lab = layerKnobLabels[l][k.slot < kWaveMenuLabelSlot ? k.slot : k.slot + 1];
        const int y = k.type == 5 ? 13 : 8;
        createKnob(layerKnobs[l][k.slot], k.tags[l], b.sc(k.x), b.sc(y), k.type, lab, k.caption, 10);
        placeMain(layerKnobs[l][k.slot], left, pages);
        placeMain(lab, left, pages);
    }
    own(scopesMain[l], new TWaveScreen(sized(SCOPE_RECTS, b.big), this, l, prefOutputDisplay));
    placeMain(scopesMain[l], left, kWire);
}

namespace {
void makeMenu(uEditor& ed, TOptionMenu*& menu, TLabel*& label, const MenuRow& r) {
    auto sc = [&](const S& s) { return ed.getScaled(s.v, s.c125, s.c150, s.c200); };
    if (r.caption)
        ed.createLabelMenu(menu, r.tag, sc(r.x), sc(r.y), sc(r.w), ed.getScaled(r.h), r.count, r.entries, label,
                           r.caption, 0, 0, r.delta);
    else
        ed.createMenu(menu, r.tag, sc(r.x), sc(r.y), sc(r.w), ed.getScaled(r.h), r.count, r.entries, r.centred,
                      r.delta);
}
} // namespace

void uEditor::createMainEffects() {
    const Builder b{*this, getBig()};
    auto knob = [&](TKnob*& k, TLabel*& lab, const FrameKnob& r, int container = -1, unsigned pages = kAll) {
        createKnob(k, r.tag, b.sc(r.x), b.sc(r.y), r.type, lab, r.caption, 10);
        placeMain(k, container, pages);
        placeMain(lab, container, pages);
    };
    for (int i = 0; i < 3; ++i) knob(distortKnobs[i], distortLabels[i], DISTORT_KNOBS[i]);
    for (int i = 0; i < kFirstArpKnob; ++i) {
        TLabel*& caption = newMainLabel();
        knob(mainKnobs[kFirstSectionKnobSlot + i], caption, SECTION_KNOBS[i]);
        fxKnobLabels[i] = caption;
    }

    // Mod FX container: six knobs, the last three hidden in Gator mode where the step
    // displays take their place.
    static const int MODFX_X[6] = {7, 53, 100, 145, 192, 237};
    static const char* const MODFX_CAPTIONS[6] = {"MIX", "1", "2", "3", "4", "5"};
    for (int i = 0; i < 6; ++i)
        knob(modFXKnobs[i], modFXKnobLabels[i], FrameKnob{MODFX_CAPTIONS[i], 107 + i, {MODFX_X[i]}, {13}, i ? 4 : 5},
             kModFXView, i < 3 ? kAll : 1u);
    static const char* const GATOR_SIDES[2] = {"L", "R"};
    for (int i = 0; i < 2; ++i) {
        const LabelRow side{GATOR_SIDES[i], {129}, {15 + 20 * i}, 10, 10, kCaption, MAIN_COLOUR, 0};
        makeLabel(*this, gatorLabels[i], side, b.big);
        placeMain(gatorLabels[i], kModFXView, 2u);
    }
    for (int i = 0; i < 2; ++i) {
        const int x = b.sc(140), y = b.sc(11 + 20 * i);
        own(gatorDisplays[i], new TGatorDisplay(CRect(x, y, x + b.sc(128), y + b.sc(16)), this, 111 + i));
        placeMain(gatorDisplays[i], kModFXView, 2u);
    }

    for (int i = 0; i < 8; ++i) {
        const SwitchRow& r = FX_SWITCHES[i];
        if (r.caption) {
            createOnOff(fxOnOffs[i], r.tag, b.sc(r.x), b.sc(r.y), newMainLabel(), r.caption, r.side, r.e, b.sc(r.dx));
            placeMain(mainLabels[nextMainLabel - 1], -1);
            fxSwitchLabels[i] = mainLabels[nextMainLabel - 1];
        } else {
            createOnOff(fxOnOffs[i], r.tag, b.sc(r.x), b.sc(r.y));
        }
        placeMain(fxOnOffs[i], -1);
    }
    TOptionMenu** fxMenus[3] = {&distortModeMenu, &modFXModeMenu, &fxPathMenu};
    TLabel* none = nullptr;
    for (int i = 0; i < 3; ++i) {
        makeMenu(*this, *fxMenus[i], none, FX_MENUS[i]);
        placeMain(*fxMenus[i], -1);
    }
}

void uEditor::createMainSections() {
    static_assert(kFirstSectionKnobSlot + std::size(SECTION_KNOBS) <= kNumMainKnobs, "room for every knob");
    const Builder b{*this, getBig()};
    auto label = [&](TLabel*& l, const LabelRow& r, int container = -1, unsigned pages = kAll) {
        makeLabel(*this, l, r, b.big);
        placeMain(l, container, pages);
    };
    auto radio = [&](TRadioButton*& r, const RadioRow& row) {
        createRadio(r, b.sc(row.x), b.sc(row.y), row.group, row.index, false);
        placeMain(r, -1);
    };
    auto menuRow = [&](TOptionMenu*& m, TLabel*& lab, const MenuRow& r, int container = -1, unsigned pages = kAll) {
        makeMenu(*this, m, lab, r);
        placeMain(m, container, pages);
        if (r.caption) placeMain(lab, container, pages);
    };
    auto knob = [&](TKnob*& k, TLabel*& lab, const FrameKnob& r, int container = -1, unsigned pages = kAll) {
        createKnob(k, r.tag, b.sc(r.x), b.sc(r.y), r.type, lab, r.caption, 10);
        placeMain(k, container, pages);
        placeMain(lab, container, pages);
    };
    auto litCommand = [&](TKickButton*& k, S x, S y) {
        createOnOffKick(k, b.sc(x), b.sc(y));
        if (k) k->setAlwaysOn(true);
        placeMain(k, -1);
    };
    const LabelRow* caption = SECTION_CAPTIONS;

    // LFO: the page radios, then both LFOs' sets at the same places in the container.
    for (int i = 0; i < 2; ++i) radio(lfoRadios[i], LFO_RADIOS[i]);
    for (int i = 0; i < 2; ++i) {
        const unsigned page = 1u << i;
        const MenuRow wave{LFO_WAVE_TAGS[i], {7, 0, 0, -2}, {4}, {119, 0, 0, 3}, 15, ROWS(LFO_WAVE_STR), "WAVE",
                           true, true};
        const MenuRow mode{LFO_MODE_TAGS[i], {7, 0, 0, -2}, {38}, {119, 0, 0, 3}, 15, ROWS(LFO_MODE_STR), "MODE",
                           true, true};
        menuRow(lfoWaveMenus[i], lfoLabels[i][0], wave, kLFOView, page);
        menuRow(lfoModeMenus[i], lfoLabels[i][1], mode, kLFOView, page);
        knob(lfoSpeedKnobs[i], lfoLabels[i][2], FrameKnob{"SPEED", LFO_SPEED_TAGS[i], {47}, {67, 2, 1, 2}, 2},
             kLFOView, page);
        createOnOff(lfoSyncOnOffs[i], LFO_SYNC_ON_TAGS[i], b.sc(96), b.sc(S{80, 2, 1, 2}), lfoLabels[i][3], "SYNC", 0,
                    10, 0);
        placeMain(lfoSyncOnOffs[i], kLFOView, page);
        placeMain(lfoLabels[i][3], kLFOView, page);
    }

    // Arpeggiator.
    for (int i = 0; i < 4; ++i) {
        const SwitchRow& r = ARP_SWITCHES[i];
        if (r.caption) {
            createOnOff(arpOnOffs[i], r.tag, b.sc(r.x), b.sc(r.y), newMainLabel(), r.caption, r.side, r.e, b.sc(r.dx));
            placeMain(mainLabels[nextMainLabel - 1], -1);
        } else {
            createOnOff(arpOnOffs[i], r.tag, b.sc(r.x), b.sc(r.y));
        }
        placeMain(arpOnOffs[i], -1);
    }
    litCommand(arpCommandButton, S{190}, S{558, 1});
    for (int i = 0; i < 9; ++i) label(newMainLabel(), *caption++);  // "CMD" and the eight row names
    for (int i = kFirstArpKnob; i < kFirstAmpKnob; ++i)
        knob(mainKnobs[kFirstSectionKnobSlot + i], newMainLabel(), SECTION_KNOBS[i]);
    for (int i = 0; i < 8; ++i) menuRow(arpMenus[i], newMainLabel(), ARP_MENUS[i]);
    own(arpScreen, new TArpScreen(sized(ARP_GRID_RECTS, b.big), this, b.big));
    placeMain(arpScreen, -1);

    // Modulation matrix and velocity split.
    for (int i = 0; i < 2; ++i) radio(modPageRadios[i], MOD_PAGE_RADIOS[i]);
    label(newMainLabel(), *caption++);  // "CMD"
    litCommand(modCommandButton, S{294}, S{591});
    own(modViewLine, new TLine(sized(LINE_RECTS, b.big), this));
    placeMain(modViewLine, -1);
    for (int i = 0; i < 4; ++i) label(modMatrixLabels[i], MATRIX_CAPTIONS[i], kModView, 1u);
    own(modScreen, new TModScreen(sized(MOD_SCREEN_RECTS, b.big), this, b.big));
    placeMain(modScreen, kModView, 1u);
    label(newMainLabel(), *caption++);  // "ON"
    velSplitOnLabel = mainLabels[nextMainLabel - 1];
    createOnOff(velSplitOnOff, 541, b.sc(S{242, 1}), b.sc(591));
    placeMain(velSplitOnOff, -1);
    for (int i = 0; i < 4; ++i) label(velSplitLabels[i], SPLIT_CAPTIONS[i], kModView, 2u);
    static const char* const LAYER_NAMES[3] = {"LAYER 1", "LAYER 2", "LAYER 3"};
    for (int i = 0; i < 3; ++i) {
        createRadio(velSplitLayerRadios[i], b.sc(S{4, 1, 1}), b.sc(S{10 + 12 * i, 0, -1}), b.sc(46), b.sc(12),
                    LAYER_NAMES[i], 4, i);
        placeMain(velSplitLayerRadios[i], kModView, 2u);
    }
    for (int l = 0; l < 3; ++l)
        for (int k = 0; k < 4; ++k) {
            velSplitValues[l][k] = static_cast<int>(plugin->getParameter(LAYER_VEL_TAGS[4 * l + k]) * 127.f);
            const int x = b.sc(52 + 56 * k), y = b.sc(S{11 + 12 * l, 1, -1});
            CTextEdit* field = own(velSplitFields[l][k],
                                   new CTextEdit(CRect(x, y, x + b.sc(54), y + b.sc(10)), this, kNoTag,
                                                 std::to_string(velSplitValues[l][k]).c_str()));
            field->setFont(FONT_SIZES[b.big]);
            field->setTransparency(true);
            field->setFontColor(MAIN_COLOUR);
            placeMain(field, kModView, 2u);
        }
    own(velSplitScreen, new TVelSplitScreen(sized(SPLIT_SCREEN_RECTS, b.big), this, b.big));
    placeMain(velSplitScreen, kModView, 2u);

    // Play.
    for (int i = 0; i < 5; ++i) menuRow(playMenus[i], newMainLabel(), PLAY_MENUS[i]);
    if (playMenus[kPlayLockMenu]) playMenus[kPlayLockMenu]->setDeltaOff();
    // The portamento amount has no caption: the "PORT MODE" menu beside it names it.
    createKnob(mainKnobs[kPortamentoKnobSlot], 4, b.sc(453), b.sc(S{661, 1}), 4);
    placeMain(mainKnobs[kPortamentoKnobSlot], -1);

    // Chords: the chord radios with their numbers, on, command, view-mode radios, then the
    // container with each chord's set at the same places.
    for (int i = 0; i < 4; ++i) {
        radio(chordRadios[i], CHORD_RADIOS[i]);
        label(newMainLabel(), *caption++);
        chordNumberLabels[i] = mainLabels[nextMainLabel - 1];
    }
    createOnOff(chordOnOff, 554, b.sc(S{547, -6, -1, -22}), b.sc(591));
    placeMain(chordOnOff, -1);
    litCommand(chordCommandButton, S{641, 1, -3, -3}, S{591});
    label(newMainLabel(), *caption++);  // "CMD"
    for (int i = 0; i < 3; ++i) {
        radio(chordViewRadios[i], CHORD_VIEW_RADIOS[i]);
        label(newMainLabel(), *caption++);
    }
    menuRow(chordModeMenu, chordModeLabel,
            MenuRow{555, {0}, {0}, {110}, 15, ROWS(CHORD_MODE_STR), "CHORD PLAY MODE", true, true}, kChordView);
    createMenuButton(strumMenuButton, 2, 0, b.sc(62), b.sc(110), b.sc(15), "", false, true);
    placeMain(strumMenuButton, kChordView);
    for (int c = 0; c < 4; ++c) {
        const unsigned page = 1u << c;
        menuRow(chordNotesMenus[c], chordNotesLabels[c],
                MenuRow{CHORD_NOTES_TAGS[c], {0}, {31}, {110}, 15, ROWS(CHORD_NOTE_STR), "NOTES", true, true},
                kChordView, page);
        knob(chordStrumKnobs[c], chordStrumLabels[c], FrameKnob{"STRUM", CHORD_STRUM_TAGS[c], {121, 0, -1}, {24}, 4},
             kChordView, page);
        // The switch and its caption keep clear of the container's right edge.
        createOnOff(chordSyncOnOffs[c], CHORD_STRUM_SYNC_ON_TAGS[c], b.sc(S{140, 0, -3, -1}), b.sc(63));
        placeMain(chordSyncOnOffs[c], kChordView, page);
        label(chordSyncLabels[c], LabelRow{"SYNC", {78, 0, -2}, {65}, 60, 10, kCaption, MAIN_COLOUR, 2}, kChordView,
              page);
    }
    own(chordScreen, new TChordScreen(sized(CHORD_SCREEN_RECTS, b.big), this, b.big));
    placeMain(chordScreen, -1);

    // Amplifier.
    for (int i = kFirstAmpKnob; i < static_cast<int>(std::size(SECTION_KNOBS)); ++i)
        knob(mainKnobs[kFirstSectionKnobSlot + i], newMainLabel(), SECTION_KNOBS[i]);

    // Ribbon, the last control of the page.
    for (int i = 0; i < 3; ++i) label(ribbonLabels[i], RIBBON_CAPTIONS[i]);
    createEasyOnOff(ribbonOnOff, 665, b.sc(879), b.sc(735));
    placeMain(ribbonOnOff, -1);
    createMenu(ribbonSpringMenu, 666, b.sc(950), b.sc(738), b.sc(59), b.sc(15), 18, RIBBON_SPRING_TIME_STR, true,
               false);
    placeMain(ribbonSpringMenu, -1);
    createMenu(ribbonQuantMenu, 667, b.sc(1059), b.sc(738), b.sc(47), b.sc(15), 13, RIBBON_QUANT_STR, true, false);
    placeMain(ribbonQuantMenu, -1);
    own(ribbonSlider, new THSlider(sized(RIBBON_RECTS, b.big), this, 126, b.big, true));
    addControl(ribbonSlider, kControlSlider);
    placeMain(ribbonSlider, -1);
}

void uEditor::updatePresetMenu() {
    if (!finishedOpening || !plugin || !presetMenu) return;
    char name[256] = {};
    plugin->getProgramName(name);
    presetMenu->setString(name);
    presetMenu->setDirty(true);
}

// ---- destination names ------------------------------------------------------------------------

void uEditor::updateDestStr() {
    for (int i = 0; i < kNumDestNames; ++i) {
        destNames[i] = DEST_STR[i];
        destShortNames[i] = DEST_SHORT_STR[i];
    }
    if (!plugin || distortMode < 0 || distortMode >= 26) return;
    for (int k = 0; k < 2; ++k) {
        destNames[315 + k] = DISTORT_MODE_VAR_STR[2 * distortMode + k];
        destShortNames[315 + k] = DISTORT_MODE_VAR_SHORT_STR[2 * distortMode + k];
    }
    for (int k = 0; k < 3; ++k) {
        const int m = plugin->getSteppedValue(FILTER_MODE_TAGS[k]);
        const std::string P = "Layer " + std::to_string(k + 1), p = "L" + std::to_string(k + 1);
        const int v = DEST_L_FILTER_VOWEL[k], q = DEST_L_FILTER_Q[k];
        auto name = [&](int dest, const char* what) {
            destNames[dest] = P + what;
            destShortNames[dest] = p + what;
        };
        name(v, " Filter Vowel");
        name(q, " Filter Q");
        if (m == 28 || m == 29) name(v, " Filter Formant");
        if (m == 11 || m == 12 || m == 23 || m == 24) name(v, " Filter Mix");
        else if (m > 29) destNames[q] = P + " Filter Amount";
    }
    if (screenMode == kPageMain) dirtyMod = 1;
}

std::string uEditor::getDestStr(int dest) const {
    return dest >= 0 && dest < kNumDestNames ? destNames[dest] : std::string();
}

std::string uEditor::getDestShortStr(int dest) const {
    return dest >= 0 && dest < kNumDestNames ? destShortNames[dest] : std::string();
}
