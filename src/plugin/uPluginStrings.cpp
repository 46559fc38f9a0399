// The fixed display texts. Plain constant arrays of string literals: they are in place
// before any code of the module runs and nothing ever writes them.
#include "plugin/uPluginStrings.h"

namespace {

// A table declared with more rows than it was given would silently hold null rows.
template <std::size_t N>
constexpr bool allRowsSet(const char* const (&table)[N]) {
    for (std::size_t i = 0; i < N; ++i)
        if (table[i] == nullptr) return false;
    return true;
}

}  // namespace

// --- preference keys ----------------------------------------------------------------------

const char* const REG_PRESET_WARNING_STR = "PresetWarning";
const char* const REG_MIDI_PRESET_STR = "MIDIPreset";
const char* const REG_MIDI_BANK_STR = "MIDIBank";
const char* const REG_MIDI_CAPTURE_STR = "MIDICapture";
const char* const REG_MIDI_IN_CHANNEL_STR = "MIDIChannel";
const char* const REG_MIDI_SPRING_CHANNEL_STR = "MIDISpring";
const char* const REG_KEYBOARD_STR = "Keyboard";
const char* const REG_DRAG_AND_DROP_STR = "DragAndDrop";
const char* const REG_TOOL_TIP_STR = "ToolTip";
const char* const REG_DIAL_ANIMATION_STR = "Animation";
const char* const REG_OUTPUT_DISPLAY_STR = "OutputDisplay";
const char* const REG_OUTPUT_DISPLAY_SPEED_STR = "OutputDisplaySpeed";
const char* const REG_GATER_DISPLAY_POS_STR = "DisplayGaterPos";
const char* const REG_ADVANCE_DISPLAY_STR = "AdvancedDisplay";

constexpr const char* const REG_SCREEN_SIZE[] = {"Big100", "Big125", "Big150", "Big200"};

// --- editor sizes and general choices -----------------------------------------------------

constexpr const char* const SET_SCREEN_SIZE_STR[] = {
    "Set To 100% Screen Size", "Set To 125% Screen Size", "Set To 150% Screen Size",
    "Set To 200% Screen Size",
};

constexpr const char* const SCREEN_SIZE_SHORT_STR[] = {"100%", "125%", "150%", "200%"};

constexpr const char* const SCREEN_SIZE_STR[] = {
    "100% Screen", "125% Screen", "150% Screen", "200% Screen",
};

constexpr const char* const MIDI_IN_CHANNEL_STR[] = {
    "Omni",  "CH 01", "CH 02", "CH 03", "CH 04", "CH 05", "CH 06", "CH 07", "CH 08",
    "CH 09", "CH 10", "CH 11", "CH 12", "CH 13", "CH 14", "CH 15", "CH 16",
};

constexpr const char* const OFF_ON_STR[] = {"Off", "On"};

constexpr const char* const LOCK_MODE_STR[] = {"Off", "On", "Set"};

// --- preset menu --------------------------------------------------------------------------

constexpr const char* const PRESET_SUB_HEADER_STR[] = {
    "Preset 1-32",    "Preset 33-64",   "Preset 65-96",   "Preset 97-128",
    "Preset 129-160", "Preset 161-192", "Preset 193-224", "Preset 225 - 256",
};

constexpr const char* const PRESET_COMMAND_STR[] = {
    "Save Current Preset in Favorites",
    "Save Preset",
    "Save Preset As",
    "Save Preset In Folder",
    "Rename Preset",
    "Create New Preset",
    "Delete Preset",
    "Load Preset",
    "Default Preset",
    "Clear Preset",
    "-",
    "Copy Folder",
    "Rename Folder",
    "Create New Folder",
    "Delete Folder",
    "Refresh Folder",
    "-",
    "Revert to Original Preset",
    "Revert to Edited Preset",
    "-",
    "Set To 100% Screen Size",
    "Set To 125% Screen Size",
    "Set To 150% Screen Size",
    "Set To 200% Screen Size",
};

// --- voice and pitch ----------------------------------------------------------------------

constexpr const char* const PLAY_MODE_STR[] = {
    "Poly", "Poly MPE", "Mono", "Mono Hi", "Mono Lo", "Legato", "Legato Hi", "Legato Lo", "Arp",
};

constexpr const char* const PORT_MODE_STR[] = {
    "Off", "Const Rate", "Const Time", "Held Rate", "Held Time",
};

constexpr const char* const PITCH_BEND_STR[] = {
    "Off", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "24", "36", "48",
};

constexpr const char* const SEMI_SHORT_STR[] = {
    "-48", "-47", "-46", "-45", "-44", "-43", "-42", "-41", "-40", "-39",
    "-38", "-37", "-36", "-35", "-34", "-33", "-32", "-31", "-30", "-29",
    "-28", "-27", "-26", "-25", "-24", "-23", "-22", "-21", "-20", "-19",
    "-18", "-17", "-16", "-15", "-14", "-13", "-12", "-11", "-10", "-9",
    "-8", "-7", "-6", "-5", "-4", "-3", "-2", "-1", "0", "+1",
    "+2", "+3", "+4", "+5", "+6", "+7", "+8", "+9", "+10", "+11",
    "+12", "+13", "+14", "+15", "+16", "+17", "+18", "+19", "+20", "+21",
    "+22", "+23", "+24", "+25", "+26", "+27", "+28", "+29", "+30", "+31",
    "+32", "+33", "+34", "+35", "+36", "+37", "+38", "+39", "+40", "+41",
    "+42", "+43", "+44", "+45", "+46", "+47", "+48",
};

constexpr const char* const SEMI_STR[] = {
    "-48 Semi", "-47 Semi", "-46 Semi", "-45 Semi", "-44 Semi", "-43 Semi",
    "-42 Semi", "-41 Semi", "-40 Semi", "-39 Semi", "-38 Semi", "-37 Semi",
    "-36 Semi", "-35 Semi", "-34 Semi", "-33 Semi", "-32 Semi", "-31 Semi",
    "-30 Semi", "-29 Semi", "-28 Semi", "-27 Semi", "-26 Semi", "-25 Semi",
    "-24 Semi", "-23 Semi", "-22 Semi", "-21 Semi", "-20 Semi", "-19 Semi",
    "-18 Semi", "-17 Semi", "-16 Semi", "-15 Semi", "-14 Semi", "-13 Semi",
    "-12 Semi", "-11 Semi", "-10 Semi", "-9 Semi", "-8 Semi", "-7 Semi",
    "-6 Semi", "-5 Semi", "-4 Semi", "-3 Semi", "-2 Semi", "-1 Semi",
    "0 Semi", "+1 Semi", "+2 Semi", "+3 Semi", "+4 Semi", "+5 Semi",
    "+6 Semi", "+7 Semi", "+8 Semi", "+9 Semi", "+10 Semi", "+11 Semi",
    "+12 Semi", "+13 Semi", "+14 Semi", "+15 Semi", "+16 Semi", "+17 Semi",
    "+18 Semi", "+19 Semi", "+20 Semi", "+21 Semi", "+22 Semi", "+23 Semi",
    "+24 Semi", "+25 Semi", "+26 Semi", "+27 Semi", "+28 Semi", "+29 Semi",
    "+30 Semi", "+31 Semi", "+32 Semi", "+33 Semi", "+34 Semi", "+35 Semi",
    "+36 Semi", "+37 Semi", "+38 Semi", "+39 Semi", "+40 Semi", "+41 Semi",
    "+42 Semi", "+43 Semi", "+44 Semi", "+45 Semi", "+46 Semi", "+47 Semi",
    "+48 Semi",
};

constexpr const char* const SEMI_SUB_STR[] = {
    "-48 to -25 Semi", "-24 to -1 Semi", "+1 to +24 Semi", "+25 to +48 Semi",
};

constexpr const char* const VEL_SECTION_STR[] = {
    "Velocity Split Fade In", "Velocity Split Start", "Velocity Split End",
    "Velocity Split Fade Out",
};

// --- layers -------------------------------------------------------------------------------

constexpr const char* const UPPER_CASE_LAYER_STR[] = {"LAYER 1", "LAYER 2", "LAYER 3"};

constexpr const char* const LAYER_STR[] = {"Layer 1", "Layer 2", "Layer 3"};

constexpr const char* const SOURCE_MODE_STR[] = {"Wire", "String", "FM", "Wave"};

constexpr const char* const FM_MODE_STR[] = {"1+2>3", "1>2>3"};

constexpr const char* const WAVE_STR[] = {"Sine", "Saw", "Square", "Triangle", "White", "Pink"};

constexpr const char* const LAYER_DEST_STR[] = {
    "Distortion FX", "Mod FX", "Delay", "Reverb", "Output",
};

// --- filters ------------------------------------------------------------------------------

constexpr const char* const FILTER_MODE_STR[] = {
    "Bypass",
    "6dB LowPass",
    "6dB HighPass",
    "12dB LowPass",
    "12dB HighPass",
    "12dB BandPass",
    "12dB Notch",
    "12dB Zero Delay LowPass",
    "12dB Zero Delay HighPass",
    "12dB Zero Delay BandPass",
    "12dB Zero Delay Notch",
    "12dB Zero Low/High Pass",
    "12dB Zero Low/Band/High Pass",
    "18dB LowPass",
    "18dB HighPass",
    "24dB LowPass",
    "24dB HighPass",
    "24dB BandPass",
    "24dB Notch",
    "24dB Zero Delay LowPass",
    "24dB Zero Delay HighPass",
    "24dB Zero Delay BandPass",
    "24dB Zero Delay Notch",
    "24dB Zero Low/High Pass",
    "24dB Zero Low/Band/High Pass",
    "36dB LowPass",
    "36dB HighPass",
    "Vocal",
    "Formant 1",
    "Formant 2",
    "Positive Comb Filter",
    "Negative Comb Filter",
    "Ping-Pong Comb Filter",
    "Ring Modulation",
    "Amp Modulation",
};

constexpr const char* const FILTER_MODE_SUB_STR[] = {
    "6dB", "12dB", "18dB", "24dB", "36dB", "Vowel/Comb/Ring",
};

constexpr const char* const FILTER_MULTI_1_STR[] = {"LP", "HP"};

constexpr const char* const FILTER_MULTI_2_STR[] = {"LP", "BP", "HP"};

constexpr const char* const FILTER_VOWEL_STR[] = {"A", "E", "I", "O", "U"};

// --- effects ------------------------------------------------------------------------------

constexpr const char* const FX_PATH_STR[] = {
    "Mod FX > Delay > Reverb", "Mod FX > Reverb > Delay", "Delay > Mod FX > Reverb",
    "Delay > Reverb > Mod FX", "Reverb > Mod FX > Delay", "Reverb > Delay > Mod FX",
};

constexpr const char* const DISTORT_MODE_STR[] = {
    "Amp",      "Atan",     "Bits",  "BP",    "Cab",     "Cos 1",    "Cos 2",
    "Cross 1",  "EQ",       "Fold",  "Fuzz",  "Gapper",  "HP",       "Limit",
    "LP",       "Noise",    "Octave 1", "Octave 2", "Over", "Power", "Rate",
    "Rectify",  "Rez",      "Saturate", "Square", "Valve",
};

constexpr const char* const AMP_MODEL_STR[] = {"None", "4x10", "4x12", "Bass", "Combo", "Radio"};

constexpr const char* const CAB_MODEL_STR[] = {"None", "Fender", "Marshall", "Off Axis"};

constexpr const char* const MOD_FX_MODE_STR[] = {
    "Chorus",  "Flanger", "Ensemble", "Phaser", "Wah-Wah", "TalkBox",
    "Tremolo", "Vibrato", "AutoPan",  "Ring",   "Gator",
};

// Note lengths read triplet, straight, dotted from short to long.
constexpr const char* const DELAY_LEN_STR[] = {
    "1/32T QB", "1/32 QB", "1/32* QB",
    "1/16T QB", "1/16 QB", "1/16* QB",
    "1/8T QB",  "1/8 QB",  "1/8* QB",
    "1/4T QB",  "1/4 QB",  "1/4* QB",
    "1/2T QB",  "1/2 QB",  "1/2* QB",
};

constexpr const char* const GATER_LEN_STR[] = {
    "1 Step",   "2 Steps",  "3 Steps",  "4 Steps",  "5 Steps",  "6 Steps",
    "7 Steps",  "8 Steps",  "9 Step",   "10 Steps", "11 Steps", "12 Steps",
    "13 Steps", "14 Steps", "15 Steps", "16 Steps",
};

// From long to short: dotted, straight, triplet.
constexpr const char* const GATER_PERIOD_STR[] = {
    "Off",
    "16/1* QB", "16/1 QB", "16/1T QB",
    "8/1* QB",  "8/1 QB",  "8/1T QB",
    "4/1* QB",  "4/1 QB",  "4/1T QB",
    "2/1* QB",  "2/1 QB",  "2/1T QB",
    "1/1* QB",  "1/1 QB",  "1/1T QB",
    "1/2* QB",  "1/2 QB",  "1/2T QB",
    "1/4* QB",  "1/4 QB",  "1/4T QB",
    "1/8* QB",  "1/8 QB",  "1/8T QB",
    "1/16* QB", "1/16 QB", "1/16T QB",
    "1/32* QB", "1/32 QB", "1/32T QB",
    "1/64* QB", "1/64 QB", "1/64T QB",
};

// Two knobs per distortion model: row 2 * mode + knob.
constexpr const char* const DISTORT_MODE_VAR_STR[] = {
    "Amp Model",              "Amp Distort",                     // Amp
    "Atan Amount",            "Atan Symmetry",                   // Atan
    "Bit Rate",               "Bit LowPass Frequency",           // Bits
    "BandPass Frequency",     "BandPass Q",                      // BP
    "Cab Model",              "Cab Distort",                     // Cab
    "Cos 1 Frequency",        "Cos 1 Shift",                     // Cos 1
    "Cos 2 Start",            "Cos 2 End",                       // Cos 2
    "Cross 1 Amount",         "Cross 1 Rectify",                 // Cross 1
    "EQ Bass",                "EQ Treble",                       // EQ
    "FoldOver Amount",        "FoldOver Symmetry",               // Fold
    "Fuzz Amount",            "Fuzz Frequency",                  // Fuzz
    "Gapper Amount",          "Gapper Frequency",                // Gapper
    "HighPass Frequency",     "HighPass Q",                      // HP
    "Limiter Amount",         "Limiter Limit",                   // Limit
    "LowPass Frequency",      "LowPass Q",                       // LP
    "Noise Amount",           "Noise LowPass Frequency",         // Noise
    "Octave 1 Negative",      "Octave 1 Positive",               // Octave 1
    "Octave 2 Frequency",     "Octave 1 Symmetry",               // Octave 2
    "Overdrive Amount",       "Overdrive Symmetry",              // Over
    "Power Amount",           "Power Symmetry",                  // Power
    "Sample Rate Amount",     "Sample Rate LowPass Frequency",   // Rate
    "Rectify Amount",         "Rectify Distort",                 // Rectify
    "Rez Amount",             "Rez Frequency",                   // Rez
    "Saturate Amount",        "Saturate Symmetry",               // Saturate
    "Square Amount",          "Square Symmetry",                 // Square
    "Valve Amount",           "Valve Symmetry",                  // Valve
};

constexpr const char* const DISTORT_MODE_VAR_SHORT_STR[] = {
    "Dist Model", "Dist Distort",  // Amp
    "Dist Amt",   "Dist Sym",      // Atan
    "Dist Rate",  "Dist LP",       // Bits
    "Dist Freq",  "Dist Q",        // BP
    "Dist Model", "Dist Distort",  // Cab
    "Dist Freq",  "Dist Shift",    // Cos 1
    "Dist Start", "Dist End",      // Cos 2
    "Dist Amt",   "Dist Rect",     // Cross 1
    "Dist Bass",  "Dist Treble",   // EQ
    "Dist Amt",   "Dist Sym",      // Fold
    "Dist Amt",   "Dist Freq",     // Fuzz
    "Dist Amt",   "Dist Freq",     // Gapper
    "Dist Freq",  "Dist Q",        // HP
    "Dist Amt",   "Dist Limit",    // Limit
    "Dist Freq",  "Dist Q",        // LP
    "Dist Amt",   "Dist LP",       // Noise
    "Dist Neg",   "Dist Pos",      // Octave 1
    "Dist Freq",  "Dist Sym",      // Octave 2
    "Dist Amt",   "Dist Sym",      // Over
    "Dist Amt",   "Dist Sym",      // Power
    "Dist Rate",  "Dist LP",       // Rate
    "Dist Rect",  "Dist Distort",  // Rectify
    "Dist Amt",   "Dist Sym",      // Rez
    "Dist Amt",   "Dist Sym",      // Saturate
    "Dist Amt",   "Dist Sym",      // Square
    "Dist Amt",   "Dist Sym",      // Valve
};

constexpr const char* const DISTORT_MODE_LABEL_STR[] = {
    "MODEL", "DIST",   // Amp
    "AMT",   "SYM",    // Atan
    "RATE",  "LP",     // Bits
    "FREQ",  "Q",      // BP
    "MODEL", "DIST",   // Cab
    "FREQ",  "SHIFT",  // Cos 1
    "START", "END",    // Cos 2
    "AMT",   "RECT",   // Cross 1
    "BASS",  "TREB",   // EQ
    "AMT",   "SYM",    // Fold
    "AMT",   "FREQ",   // Fuzz
    "AMT",   "FREQ",   // Gapper
    "FREQ",  "Q",      // HP
    "AMT",   "LIMIT",  // Limit
    "FREQ",  "Q",      // LP
    "AMT",   "LP",     // Noise
    "NEG",   "POS",    // Octave 1
    "FREQ",  "SYM",    // Octave 2
    "AMT",   "SYM",    // Over
    "AMT",   "SYM",    // Power
    "RATE",  "LP",     // Rate
    "RECT",  "DIST",   // Rectify
    "AMT",   "SYM",    // Rez
    "AMT",   "SYM",    // Saturate
    "AMT",   "SYM",    // Square
    "AMT",   "SYM",    // Valve
};

// Five knobs per Mod FX type: row 5 * mode + knob.
constexpr const char* const MOD_FX_VAR_STR[] = {
    // Chorus
    "Mod FX Speed", "Mod FX Length", "Mod FX Width", "Mod FX Widen",
    "Mod FX Low Pass Frequency",
    // Flanger
    "Mod FX Speed", "Mod FX Length", "Mod FX Width", "Mod FX Widen", "Mod FX Feedback",
    // Ensemble
    "Mod FX Speed", "Mod FX Length", "Mod FX Width", "Mod FX Ensemble Amount",
    "Mod FX Feedback",
    // Phaser
    "Mod FX Speed", "Mod FX Phaser Pitch", "Mod FX Width", "Mod FX Widen", "Mod FX Feedback",
    // Wah-Wah
    "Mod FX Speed", "Mod FX WahWah Type", "Mod FX WahWah Low", "Mod FX WahWah High",
    "Mod FX WahWah Q",
    // TalkBox
    "Mod FX Speed", "Mod FX TalkBox Frequency", "Mod FX TalkBox Low", "Mod FX TalkBox High",
    "Mod FX TalkBox Q",
    // Tremolo
    "Mod FX Speed", "Mod FX Tremolo Wave", "Mod FX Tremolo Amount", "Mod FX Tremolo Symmetry",
    "Mod FX Tremolo Smooth",
    // Vibrato
    "Mod FX Speed", "Mod FX Vibrato Wave", "Mod FX Vibrato Amount", "Mod FX Vibrato Symmetry",
    "Mod FX Vibrato Smooth",
    // AutoPan
    "Mod FX Speed", "Mod FX AutoPan Wave", "Mod FX AutoPan Amount", "Mod FX AutoPan Symmetry",
    "Mod FX AutoPan Smooth",
    // Ring
    "Mod FX Ring Mod Frequency", "Mod FX Ring Mod Fine", "Mod FX Ring Mod Amount",
    "Mod FX Ring Mod Widen", "Mod FX Ring Mod Low Pass Frequency",
    // Gator
    "Mod FX Speed", "Mod FX Smooth", "Mod FX Length", "Mod FX Gator L", "Mod FX Gator R",
};

// The Gator's pattern knobs have no caption: the pattern display stands there.
constexpr const char* const MOD_FX_LABEL_STR[] = {
    "SPEED", "LENGTH", "WIDTH", "WIDEN",  "LP",    // Chorus
    "SPEED", "LENGTH", "WIDTH", "WIDEN",  "FEED",  // Flanger
    "SPEED", "LENGTH", "WIDTH", "ENS",    "FEED",  // Ensemble
    "SPEED", "PITCH",  "WIDTH", "WIDEN",  "FEED",  // Phaser
    "SPEED", "TYPE",   "LOW",   "HIGH",   "Q",     // Wah-Wah
    "SPEED", "FREQ",   "LOW",   "HIGH",   "Q",     // TalkBox
    "SPEED", "WAVE",   "AMOUNT", "SYM",   "SMTH",  // Tremolo
    "SPEED", "WAVE",   "AMOUNT", "SYM",   "SMTH",  // Vibrato
    "SPEED", "WAVE",   "AMOUNT", "SYM",   "SMTH",  // AutoPan
    "FREQ",  "FINE",   "AMOUNT", "WIDEN", "LP",    // Ring
    "SPEED", "SMTH",   "LEN",   "",       "",      // Gator
};

// --- LFOs and ribbon ----------------------------------------------------------------------

constexpr const char* const LFO_WAVE_STR[] = {
    "Sine Up", "Sine Down", "Triangle Up", "Triangle Down", "Saw Up",
    "Saw Down", "Square Up", "Square Down", "Sample and Hold",
};

constexpr const char* const LFO_WAVE_SHORT_STR[] = {
    "Sine Up", "Sine Down", "Triangle Up", "Triangle Down", "Saw Up",
    "Saw Down", "Square Up", "Square Down", "S&H",
};

constexpr const char* const LFO_MODE_STR[] = {"Poly", "Free", "Mono", "Legato"};

// From long to short: dotted, straight, triplet.
constexpr const char* const LFO_PERIOD_STR[] = {
    "Off",
    "32/1* QB", "32/1 QB", "32/1T QB",
    "16/1* QB", "16/1 QB", "16/1T QB",
    "8/1* QB",  "8/1 QB",  "8/1T QB",
    "4/1* QB",  "4/1 QB",  "4/1T QB",
    "2/1* QB",  "2/1 QB",  "2/1T QB",
    "1/1* QB",  "1/1 QB",  "1/1T QB",
    "1/2* QB",  "1/2 QB",  "1/2T QB",
    "1/4* QB",  "1/4 QB",  "1/4T QB",
    "1/8* QB",  "1/8 QB",  "1/8T QB",
    "1/16* QB", "1/16 QB", "1/16T QB",
    "1/32* QB", "1/32",    "1/32T QB",
};

constexpr const char* const RIBBON_QUANT_STR[] = {
    "Off", "32", "24", "20", "16", "12", "10", "8", "6", "5", "4", "3", "2",
};

constexpr const char* const RIBBON_SPRING_TIME_STR[] = {
    "Off",     "Instant",
    "1/32T QB", "1/32 QB", "1/32* QB",
    "1/16T QB", "1/16 QB", "1/16* QB",
    "1/8T QB",  "1/8 QB",  "1/8* QB",
    "1/4T QB",  "1/4 QB",  "1/4* QB",
    "1/2T QB",  "1/2 QB",  "1/2* QB",
    "1 QB",
};

// --- arpeggiator --------------------------------------------------------------------------

constexpr const char* const ARP_MODE_STR[] = {
    "Up",        "Down",          "Up/Down",         "Down/Up",
    "Random",    "Ordered",       "Reverse Order",   "Ordered Up/Down",
    "Ordered Down/Up", "Chord",   "Sequencer",       "Sequencer Reset",
    "Sequencer Mono",  "Mod Free", "Mod Mono",       "Mod Poly",
};

constexpr const char* const ARP_MODE_SHORT_STR[] = {
    "Up",        "Down",    "Up/Down",   "Down/Up",
    "Random",    "Ordered", "Rev Order", "Order U/D",
    "Order D/U", "Chord",   "Seq",       "Seq Reset",
    "Seq Mono",  "Mod Free", "Mod Mono", "Mod Poly",
};

constexpr const char* const ARP_OCT_STR[] = {"1", "2", "3", "4"};

constexpr const char* const ARP_STEPS_STR[] = {
    "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16",
};

constexpr const char* const ARP_SPEED_STR[] = {
    "1/16x", "1/12x", "1/8x", "1/6x", "1/4x", "1/3x", "1/2x", "2/3x", "1x",
    "3/2x",  "2x",    "3x",   "4x",   "6x",   "8x",   "12x",  "16x",
};

constexpr const char* const ARP_TIED_MODE_STR[] = {"Normal", "Special", "Toggle1", "Toggle2"};

constexpr const char* const ARP_LOOP_MODE_STR[] = {"On", "Off", "PingPong"};

constexpr const char* const ARP_LOOP_MODE_SHORT_STR[] = {"On", "Off", "<>"};

constexpr const char* const ARP_ROWS_STR[] = {
    "On/Off", "Tied", "Slide", "Tune", "Velocity", "Chord", "Free", "Ratchet",
};

constexpr const char* const ARP_RATCHET_STR[] = {"Off", "2", "3", "4"};

constexpr const char* const ARP_RATCHET_MODE_STR[] = {
    "Off",
    "On",
    "Off/On Cycle",
    "On/Off Cycle",
    "2 Off/1 On Cycle",
    "3 Off/1 On Cycle",
    "1 On/2 Off Cycle",
    "1 On/3 Off Cycle",
    "Velocity",
};

constexpr const char* const ARP_RATCHET_SHORT_MODE_STR[] = {
    "Off", "On", "Off/On", "On/Off", "2/1Off/On", "3/1Off/On", "1/2Off/On", "1/3Off/On",
    "Velocity",
};

constexpr const char* const ARP_CHORD_STR[] = {
    "Set",           "None",          "Chord 1",     "Chord 2",       "Chord 3",
    "Chord 4",       "Chord 1 Rev",   "Chord 2 Rev", "Chord 3 Rev",   "Chord 4 Rev",
    "2 Octaves",     "3 Octaves",     "4 Octaves",   "Major",         "Fifth",
    "Sus 4",         "Sus 2",         "Major Added 9", "Major 6",     "Major 7",
    "Minor",         "Minor Added 9", "Minor 6",     "Minor b6",      "Minor 7",
    "Minor 7b5",     "Dominant 7",    "7 Sus 4",     "Diminished",    "Diminished 7",
};

constexpr const char* const ARP_CHORD_SHORT_STR[] = {
    "Set",   "None",  "Chr1",  "Chr2",  "Chr3",  "Chr4",  "Chr1R", "Chr2R", "Chr3R", "Chr4R",
    "2Oct",  "3Oct",  "4Oct",  "Maj",   "Fifth", "Sus 4", "Sus 2", "MajA9", "Maj 6", "Maj 7",
    "Min",   "MinA9", "Min 6", "Minb6", "Min 7", "Min7b", "Dom 7", "Sus 7", "Dim",   "Dim 7",
};

// --- chords -------------------------------------------------------------------------------

constexpr const char* const CHORD_MODE_STR[] = {
    "1",       "2",           "3",       "4",           "1 ALT",
    "12",      "12 ALT",      "121",     "121 ALT",     "1221",
    "1221 ALT", "123",        "123 ALT", "12321",       "12321 ALT",
    "123321",  "123321 ALT",  "1234",    "1234 ALT",    "1234321",
    "1234321 ALT", "12344321", "12344321 ALT",
};

// From short to long: triplet, straight, dotted.
constexpr const char* const CHORD_LEN_STR[] = {
    "Off",
    "1/32T QB", "1/32 QB", "1/32* QB",
    "1/16T QB", "1/16 QB", "1/16* QB",
    "1/8T QB",  "1/8 QB",  "1/8* QB",
    "1/4T QB",  "1/4 QB",  "1/4* QB",
    "1/2T QB",  "1/2 QB",  "1/2 QB*",
    "1T QB",    "1 QB",    "1 QB*",
};

constexpr const char* const CHORD_NOTE_STR[] = {
    "1 Note", "2 Notes", "3 Notes", "4 Notes", "5 Notes", "6 Notes",
};

constexpr const char* const USER_CHORD_STR[] = {
    "User Chord 1", "User Chord 2", "User Chord 3", "User Chord 4",
};

// --- every row present -------------------------------------------------------------------
static_assert(allRowsSet(REG_SCREEN_SIZE), "REG_SCREEN_SIZE lacks rows");
static_assert(allRowsSet(SET_SCREEN_SIZE_STR), "SET_SCREEN_SIZE_STR lacks rows");
static_assert(allRowsSet(SCREEN_SIZE_SHORT_STR), "SCREEN_SIZE_SHORT_STR lacks rows");
static_assert(allRowsSet(SCREEN_SIZE_STR), "SCREEN_SIZE_STR lacks rows");
static_assert(allRowsSet(MIDI_IN_CHANNEL_STR), "MIDI_IN_CHANNEL_STR lacks rows");
static_assert(allRowsSet(OFF_ON_STR), "OFF_ON_STR lacks rows");
static_assert(allRowsSet(LOCK_MODE_STR), "LOCK_MODE_STR lacks rows");
static_assert(allRowsSet(PRESET_SUB_HEADER_STR), "PRESET_SUB_HEADER_STR lacks rows");
static_assert(allRowsSet(PRESET_COMMAND_STR), "PRESET_COMMAND_STR lacks rows");
static_assert(allRowsSet(PLAY_MODE_STR), "PLAY_MODE_STR lacks rows");
static_assert(allRowsSet(PORT_MODE_STR), "PORT_MODE_STR lacks rows");
static_assert(allRowsSet(PITCH_BEND_STR), "PITCH_BEND_STR lacks rows");
static_assert(allRowsSet(SEMI_SHORT_STR), "SEMI_SHORT_STR lacks rows");
static_assert(allRowsSet(SEMI_STR), "SEMI_STR lacks rows");
static_assert(allRowsSet(SEMI_SUB_STR), "SEMI_SUB_STR lacks rows");
static_assert(allRowsSet(VEL_SECTION_STR), "VEL_SECTION_STR lacks rows");
static_assert(allRowsSet(UPPER_CASE_LAYER_STR), "UPPER_CASE_LAYER_STR lacks rows");
static_assert(allRowsSet(LAYER_STR), "LAYER_STR lacks rows");
static_assert(allRowsSet(SOURCE_MODE_STR), "SOURCE_MODE_STR lacks rows");
static_assert(allRowsSet(FM_MODE_STR), "FM_MODE_STR lacks rows");
static_assert(allRowsSet(WAVE_STR), "WAVE_STR lacks rows");
static_assert(allRowsSet(LAYER_DEST_STR), "LAYER_DEST_STR lacks rows");
static_assert(allRowsSet(FILTER_MODE_STR), "FILTER_MODE_STR lacks rows");
static_assert(allRowsSet(FILTER_MODE_SUB_STR), "FILTER_MODE_SUB_STR lacks rows");
static_assert(allRowsSet(FILTER_MULTI_1_STR), "FILTER_MULTI_1_STR lacks rows");
static_assert(allRowsSet(FILTER_MULTI_2_STR), "FILTER_MULTI_2_STR lacks rows");
static_assert(allRowsSet(FILTER_VOWEL_STR), "FILTER_VOWEL_STR lacks rows");
static_assert(allRowsSet(FX_PATH_STR), "FX_PATH_STR lacks rows");
static_assert(allRowsSet(DISTORT_MODE_STR), "DISTORT_MODE_STR lacks rows");
static_assert(allRowsSet(AMP_MODEL_STR), "AMP_MODEL_STR lacks rows");
static_assert(allRowsSet(CAB_MODEL_STR), "CAB_MODEL_STR lacks rows");
static_assert(allRowsSet(MOD_FX_MODE_STR), "MOD_FX_MODE_STR lacks rows");
static_assert(allRowsSet(DELAY_LEN_STR), "DELAY_LEN_STR lacks rows");
static_assert(allRowsSet(GATER_LEN_STR), "GATER_LEN_STR lacks rows");
static_assert(allRowsSet(GATER_PERIOD_STR), "GATER_PERIOD_STR lacks rows");
static_assert(allRowsSet(DISTORT_MODE_VAR_STR), "DISTORT_MODE_VAR_STR lacks rows");
static_assert(allRowsSet(DISTORT_MODE_VAR_SHORT_STR), "DISTORT_MODE_VAR_SHORT_STR lacks rows");
static_assert(allRowsSet(DISTORT_MODE_LABEL_STR), "DISTORT_MODE_LABEL_STR lacks rows");
static_assert(allRowsSet(MOD_FX_VAR_STR), "MOD_FX_VAR_STR lacks rows");
static_assert(allRowsSet(MOD_FX_LABEL_STR), "MOD_FX_LABEL_STR lacks rows");
static_assert(allRowsSet(LFO_WAVE_STR), "LFO_WAVE_STR lacks rows");
static_assert(allRowsSet(LFO_WAVE_SHORT_STR), "LFO_WAVE_SHORT_STR lacks rows");
static_assert(allRowsSet(LFO_MODE_STR), "LFO_MODE_STR lacks rows");
static_assert(allRowsSet(LFO_PERIOD_STR), "LFO_PERIOD_STR lacks rows");
static_assert(allRowsSet(RIBBON_QUANT_STR), "RIBBON_QUANT_STR lacks rows");
static_assert(allRowsSet(RIBBON_SPRING_TIME_STR), "RIBBON_SPRING_TIME_STR lacks rows");
static_assert(allRowsSet(ARP_MODE_STR), "ARP_MODE_STR lacks rows");
static_assert(allRowsSet(ARP_MODE_SHORT_STR), "ARP_MODE_SHORT_STR lacks rows");
static_assert(allRowsSet(ARP_OCT_STR), "ARP_OCT_STR lacks rows");
static_assert(allRowsSet(ARP_STEPS_STR), "ARP_STEPS_STR lacks rows");
static_assert(allRowsSet(ARP_SPEED_STR), "ARP_SPEED_STR lacks rows");
static_assert(allRowsSet(ARP_TIED_MODE_STR), "ARP_TIED_MODE_STR lacks rows");
static_assert(allRowsSet(ARP_LOOP_MODE_STR), "ARP_LOOP_MODE_STR lacks rows");
static_assert(allRowsSet(ARP_LOOP_MODE_SHORT_STR), "ARP_LOOP_MODE_SHORT_STR lacks rows");
static_assert(allRowsSet(ARP_ROWS_STR), "ARP_ROWS_STR lacks rows");
static_assert(allRowsSet(ARP_RATCHET_STR), "ARP_RATCHET_STR lacks rows");
static_assert(allRowsSet(ARP_RATCHET_MODE_STR), "ARP_RATCHET_MODE_STR lacks rows");
static_assert(allRowsSet(ARP_RATCHET_SHORT_MODE_STR), "ARP_RATCHET_SHORT_MODE_STR lacks rows");
static_assert(allRowsSet(ARP_CHORD_STR), "ARP_CHORD_STR lacks rows");
static_assert(allRowsSet(ARP_CHORD_SHORT_STR), "ARP_CHORD_SHORT_STR lacks rows");
static_assert(allRowsSet(CHORD_MODE_STR), "CHORD_MODE_STR lacks rows");
static_assert(allRowsSet(CHORD_LEN_STR), "CHORD_LEN_STR lacks rows");
static_assert(allRowsSet(CHORD_NOTE_STR), "CHORD_NOTE_STR lacks rows");
static_assert(allRowsSet(USER_CHORD_STR), "USER_CHORD_STR lacks rows");
