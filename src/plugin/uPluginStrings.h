// The fixed display texts of the synthesizer: names of the choices of menu-type
// parameters, knob names and captions that follow a mode, menu headings and commands,
// editor sizes, preference keys, and the modulation source and destination names.
//
// Every table is a constant array of C strings with a fixed row count: it exists before
// any static constructor runs, is never written, and is shared by every instance, the
// editor and the sound engine without a lock. Row i of a table names stepped value i.
// Index a table with tableRow() when the index is not already known to be in range.
#pragma once

#include <cstddef>
#include <cstdint>

// --- reading a row ------------------------------------------------------------------------

// Row `index` of a table of `rows` rows; an index outside the table gives its first or
// last row, and an empty table gives "".
inline const char* tableRow(const char* const* table, int rows, int index) {
    if (!table || rows < 1) return "";
    if (index < 0) index = 0;
    if (index >= rows) index = rows - 1;
    const char* row = table[index];
    return row ? row : "";
}

template <std::size_t N>
inline const char* tableRow(const char* const (&table)[N], int index) {
    return tableRow(table, (int)N, index);
}

template <std::size_t N>
constexpr int tableRows(const char* const (&)[N]) {
    return (int)N;
}

// --- preference keys ----------------------------------------------------------------------

extern const char* const REG_PRESET_WARNING_STR;       // "PresetWarning"
extern const char* const REG_MIDI_PRESET_STR;          // "MIDIPreset"
extern const char* const REG_MIDI_BANK_STR;            // "MIDIBank"
extern const char* const REG_MIDI_CAPTURE_STR;         // "MIDICapture"
extern const char* const REG_MIDI_IN_CHANNEL_STR;      // "MIDIChannel"
extern const char* const REG_MIDI_SPRING_CHANNEL_STR;  // "MIDISpring"
extern const char* const REG_KEYBOARD_STR;             // "Keyboard"
extern const char* const REG_DRAG_AND_DROP_STR;        // "DragAndDrop"
extern const char* const REG_TOOL_TIP_STR;             // "ToolTip"
extern const char* const REG_DIAL_ANIMATION_STR;       // "Animation"
extern const char* const REG_OUTPUT_DISPLAY_STR;       // "OutputDisplay"
extern const char* const REG_OUTPUT_DISPLAY_SPEED_STR; // "OutputDisplaySpeed"
extern const char* const REG_GATER_DISPLAY_POS_STR;    // "DisplayGaterPos"
extern const char* const REG_ADVANCE_DISPLAY_STR;      // "AdvancedDisplay"
// One key per editor size; "Y" is stored under the chosen one, "N" under the others.
extern const char* const REG_SCREEN_SIZE[4];

// --- editor sizes and general choices -----------------------------------------------------

extern const char* const SET_SCREEN_SIZE_STR[4];
extern const char* const SCREEN_SIZE_SHORT_STR[4];
extern const char* const SCREEN_SIZE_STR[4];
extern const char* const MIDI_IN_CHANNEL_STR[17];
extern const char* const OFF_ON_STR[2];
extern const char* const LOCK_MODE_STR[3];

// --- preset menu --------------------------------------------------------------------------

extern const char* const PRESET_SUB_HEADER_STR[8];
extern const char* const PRESET_COMMAND_STR[24];

// --- voice and pitch ----------------------------------------------------------------------

extern const char* const PLAY_MODE_STR[9];
extern const char* const PORT_MODE_STR[5];
extern const char* const PITCH_BEND_STR[16];
extern const char* const SEMI_SHORT_STR[97];  // row i: offset i - 48, "+" above zero
extern const char* const SEMI_STR[97];        // the same with " Semi"
extern const char* const SEMI_SUB_STR[4];
extern const char* const VEL_SECTION_STR[4];

// --- layers -------------------------------------------------------------------------------

extern const char* const UPPER_CASE_LAYER_STR[3];
extern const char* const LAYER_STR[3];
extern const char* const SOURCE_MODE_STR[4];
extern const char* const FM_MODE_STR[2];
extern const char* const WAVE_STR[6];
extern const char* const LAYER_DEST_STR[5];

// --- filters ------------------------------------------------------------------------------

extern const char* const FILTER_MODE_STR[35];
extern const char* const FILTER_MODE_SUB_STR[6];
extern const char* const FILTER_MULTI_1_STR[2];
extern const char* const FILTER_MULTI_2_STR[3];
extern const char* const FILTER_VOWEL_STR[5];

// --- effects ------------------------------------------------------------------------------

extern const char* const FX_PATH_STR[6];
extern const char* const DISTORT_MODE_STR[26];
extern const char* const AMP_MODEL_STR[6];
extern const char* const CAB_MODEL_STR[4];
extern const char* const MOD_FX_MODE_STR[11];
extern const char* const DELAY_LEN_STR[15];
extern const char* const GATER_LEN_STR[16];
extern const char* const GATER_PERIOD_STR[34];

// Knob names of the distortion models: row 2 * mode + knob (knob 0 or 1).
constexpr int kDistortModes = 26;
constexpr int kDistortKnobs = 2;
extern const char* const DISTORT_MODE_VAR_STR[52];
extern const char* const DISTORT_MODE_VAR_SHORT_STR[52];
extern const char* const DISTORT_MODE_LABEL_STR[52];

// Knob names of the Mod FX types: row 5 * mode + knob (knob 0..4).
constexpr int kModFXModes = 11;
constexpr int kModFXKnobs = 5;
extern const char* const MOD_FX_VAR_STR[55];
extern const char* const MOD_FX_LABEL_STR[55];

// --- LFOs and ribbon ----------------------------------------------------------------------

extern const char* const LFO_WAVE_STR[9];
extern const char* const LFO_WAVE_SHORT_STR[9];
extern const char* const LFO_MODE_STR[4];
extern const char* const LFO_PERIOD_STR[34];
extern const char* const RIBBON_QUANT_STR[13];
extern const char* const RIBBON_SPRING_TIME_STR[18];

// --- arpeggiator --------------------------------------------------------------------------

extern const char* const ARP_MODE_STR[16];
extern const char* const ARP_MODE_SHORT_STR[16];
extern const char* const ARP_OCT_STR[4];
extern const char* const ARP_STEPS_STR[16];
extern const char* const ARP_SPEED_STR[17];
extern const char* const ARP_TIED_MODE_STR[4];
extern const char* const ARP_LOOP_MODE_STR[3];
extern const char* const ARP_LOOP_MODE_SHORT_STR[3];
extern const char* const ARP_ROWS_STR[8];
extern const char* const ARP_RATCHET_STR[4];
extern const char* const ARP_RATCHET_MODE_STR[9];
extern const char* const ARP_RATCHET_SHORT_MODE_STR[9];
extern const char* const ARP_CHORD_STR[30];
extern const char* const ARP_CHORD_SHORT_STR[30];

// --- chords -------------------------------------------------------------------------------

extern const char* const CHORD_MODE_STR[23];
extern const char* const CHORD_LEN_STR[19];
extern const char* const CHORD_NOTE_STR[6];
extern const char* const USER_CHORD_STR[4];

// --- modulation sources and destinations --------------------------------------------------

constexpr int kModSourceCount = 137;  // row 0 "None", sources 1..136
constexpr int kModDestCount = 401;    // row 0 "None", destinations 1..400

extern const char* const SRC_STR[kModSourceCount];
extern const char* const SRC_SHORT_STR[kModSourceCount];
extern const char* const DEST_STR[kModDestCount];
extern const char* const DEST_SHORT_STR[kModDestCount];

// Menu groups: group g covers the rows from entry g up to, not including, entry g + 1.
// Source rows 133..136 lie past the last source group.
extern const char* const SRC_SUB_STR[7];
extern const char* const DEST_SUB_STR[24];
extern const int32_t SRC_SUBS_START[8];
extern const int32_t DEST_SUB_START[25];
