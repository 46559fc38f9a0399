// The parameter records: what each of the 1024 tags is (name, display type, stepping,
// default and zero values, switch flag, modulation destination). They are written once
// while the plug-in is built and only read afterwards.
#include <string>

#include "plugin/uPlugin.h"
#include "plugin/uPluginTags.h"

namespace {

constexpr int32_t kContinuous = -1;        // step count of a continuous record
constexpr float kContinuousRange = -1.0f;  // step range of an explicit continuous record
constexpr float kSame = -1.0f;             // zero value: the record's default (any negative does)

// One member of a family: the tag table gives its tag in each instance of the family
// (layer, mod slot, arp step, chord), the destination table the destination it feeds.
struct FamilyRecord {
    const int32_t* tags;
    const int32_t* dests;  // null: feeds no destination
    const char* suffix;
    int32_t type;
    int32_t steps;
    float range;
    float def;
    float zero;
    bool isSwitch;
};

struct SingleRecord {
    int32_t tag;
    const char* name;
    int32_t type;
    int32_t steps;
    float range;
    float def;
    float zero;
    bool isSwitch;
    int32_t modDest;
};

// The 67 members of a layer, in the order of LAYER_1_TAGS. Columns: tag table, destination
// table, name suffix, display type, step count, step range, default, zero value, switch.
const FamilyRecord kLayerMembers[] = {
    {SEMI_TAGS, DEST_L_SEMI, "Semi", kTypeSemi48, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {FINE_TAGS, DEST_L_FINE, "Fine", kTypeCents, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {WIRE_Q_TAGS, DEST_L_WIRE_Q, "Wire Q", kTypePercent, kContinuous, kContinuousRange, 0.0f, kSame, false},
    {WIRE_ENV_AMT_TAGS, DEST_L_WIRE_ENV_AMT, "Wire Envelope Amount", kTypeFilterFreq, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {WIRE_ENV_DEC_TAGS, DEST_L_WIRE_ENV_DEC, "Wire Envelope Decay/Release", kTypeEnvTime, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {STRING_IMP_LEN_TAGS, DEST_L_STR_IMP_LEN, "String Impulse Length", kTypePercent, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {STRING_IMP_VOL_TAGS, DEST_L_STR_IMP_VOL, "String Impulse Volume", kTypeDB60, kContinuous, kContinuousRange, 0.75f, kSame, false},
    {STRING_IMP_SHP_TAGS, DEST_L_STR_IMP_SHP, "String Impulse Shape", kTypePercent, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {STRING_LEN_TAGS, DEST_L_STR_LEN, "String Length", kTypePercent, kContinuous, kContinuousRange, 1.0f, kSame, false},
    {STRING_PLUCK_TAGS, DEST_L_STR_PLUCK, "String Pluck", kTypePercent, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {STRING_DAMP_TAGS, DEST_L_STR_DAMP, "String Damp", kTypePercent, kContinuous, kContinuousRange, 0.0f, kSame, false},
    {FM_1_SEMI_TAGS, DEST_L_FM_1_SEMI, "FM 1 Semi", kTypeSemi48, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {FM_1_FINE_TAGS, DEST_L_FM_1_FINE, "FM 1 Fine", kTypeCents, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {FM_1_VOL_TAGS, DEST_L_FM_1_VOL, "FM 1 Volume", kTypeDB60, kContinuous, kContinuousRange, 0.75f, kSame, false},
    {FM_2_SEMI_TAGS, DEST_L_FM_2_SEMI, "FM 2 Semi", kTypeSemi48, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {FM_2_FINE_TAGS, DEST_L_FM_2_FINE, "FM 2 Fine", kTypeCents, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {FM_2_VOL_TAGS, DEST_L_FM_2_VOL, "FM 2 Volume", kTypeDB60, kContinuous, kContinuousRange, 0.75f, kSame, false},
    {WAVE_TAGS, DEST_L_WAVE_MIX, "Wave", kTypeByTag, 6, 5.0f, 0.0f, kSame, false},
    {WAVE_SYM_TAGS, DEST_L_WAVE_SYM, "Wave Symmetry", kTypePercent, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {SUB_VOL_TAGS, DEST_L_SUB_VOL, "Wave Sub-Osc Volume", kTypeDB80, kContinuous, kContinuousRange, 0.0f, kSame, false},
    {FILTER_FREQ_TAGS, DEST_L_FILTER_FREQ, "Filter Frequency", kTypeFilterFreq, kContinuous, kContinuousRange, 1.0f, kSame, false},
    {FILTER_SEP_TAGS, DEST_L_FILTER_SEP, "Filter Separation", kTypePolar, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {FILTER_Q_TAGS, DEST_L_FILTER_Q, "Filter Q", kTypePercent, kContinuous, kContinuousRange, 0.0f, kSame, false},
    {FILTER_VOWEL_TAGS, DEST_L_FILTER_VOWEL, "Filter Vowel", kTypeByTag, kContinuous, kContinuousRange, 0.0f, kSame, false},
    {FILTER_ENV_AMT_TAGS, DEST_L_FILTER_ENV_AMT, "Filter Envelope Amount", kTypePolar, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {FILTER_ENV_DEC_TAGS, DEST_L_FILTER_ENV_DEC, "Filter Envelope Decay/Release", kTypeEnvTime, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {PITCH_ENV_AMT_TAGS, DEST_L_PITCH_ENV_AMT, "Pitch Envelope Amount", kTypeSemi48, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {PITCH_ENV_DEC_TAGS, DEST_L_PITCH_ENV_DEC, "Pitch Envelope Decay/Release", kTypeEnvTime, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {HP_FREQ_TAGS, DEST_L_HP_FREQ, "HP Filter Frequency", kTypeFilterFreq, kContinuous, kContinuousRange, 0.0f, kSame, false},
    {VOL_ENV_DEC_TAGS, DEST_L_VOL_ENV_DEC, "Volume Envelope Decay/Release", kTypeEnvTime, kContinuous, kContinuousRange, 1.0f, kSame, false},
    {VOL_TAGS, DEST_L_VOL, "Volume", kTypeDB60, kContinuous, kContinuousRange, 0.625f, kSame, false},
    {LAYER_ON_TAGS, nullptr, "On/Off", kTypeOnOff, 2, 1.99f, 1.0f, kSame, true},
    {LAYER_SOURCE_TAGS, nullptr, "Source", kTypeByTag, 4, 3.99f, 0.0f, kSame, false},
    {LAYER_DEST_TAGS, nullptr, "Output Destination", kTypeByTag, 5, 4.99f, 0.0f, kSame, false},
    {WIRE_ON_TAGS, nullptr, "Wire On", kTypeOnOff, kContinuous, kContinuousRange, 1.0f, kSame, true},
    {WIRE_KEY_TRACK_TAGS, nullptr, "Wire Key-Track", kTypePolar, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {WIRE_VEL_TRACK_TAGS, nullptr, "Wire Vel-Track", kTypePolar, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {STRING_LEN_KEY_TRACK_TAGS, nullptr, "String Length Key-Track", kTypePolar, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {STRING_LEN_VEL_TRACK_TAGS, nullptr, "String Length Vel-Track", kTypePolar, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {STRING_PLUCK_KEY_TRACK_TAGS, nullptr, "String Pluck Key-Track", kTypePolar, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {STRING_PLUCK_VEL_TRACK_TAGS, nullptr, "String Pluck Vel-Track", kTypePolar, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {STRING_DAMP_KEY_TRACK_TAGS, nullptr, "String Damp Key-Track", kTypePolar, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {STRING_DAMP_VEL_TRACK_TAGS, nullptr, "String Damp Vel-Track", kTypePolar, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {FM_MODE_TAGS, nullptr, "FM Mode", kTypeByTag, 2, 1.99f, 0.0f, kSame, false},
    {FM_1_PITCH_ENV_AMT_TAGS, DEST_L_FM_1_PITCH_ENV_AMT, "FM 1 Pitch Envelope Amount", kTypeSemi48, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {FM_1_PITCH_ENV_DEC_TAGS, DEST_L_FM_1_PITCH_ENV_DEC, "FM 1 Pitch Envelope Decay/Release", kTypeEnvTime, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {FM_1_VOL_ENV_DEC_TAGS, DEST_L_FM_1_VOL_ENV_DEC, "FM 1 Volume Envelope Decay/Release", kTypeEnvTime, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {FM_1_VOL_ENV_SUST_TAGS, DEST_L_FM_1_VOL_ENV_SUST, "FM 1 Volume Envelope Sustain", kTypePercent, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {FM_1_VEL_TRACK_TAGS, nullptr, "FM 1 Velocity Track", kTypePercent, kContinuous, kContinuousRange, 0.0f, kSame, false},
    {FM_2_PITCH_ENV_AMT_TAGS, DEST_L_FM_2_PITCH_ENV_AMT, "FM 2 Pitch Envelope Amount", kTypeSemi48, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {FM_2_PITCH_ENV_DEC_TAGS, DEST_L_FM_2_PITCH_ENV_DEC, "FM 2 Pitch Envelope Decay/Release", kTypeEnvTime, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {FM_2_VOL_ENV_DEC_TAGS, DEST_L_FM_2_VOL_ENV_DEC, "FM 2 Volume Envelope Decay/Release", kTypeEnvTime, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {FM_2_VOL_ENV_SUST_TAGS, DEST_L_FM_2_VOL_ENV_SUST, "FM 2 Volume Envelope Sustain", kTypePercent, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {FM_2_VEL_TRACK_TAGS, nullptr, "FM 2 Velocity Track", kTypePercent, kContinuous, kContinuousRange, 0.0f, kSame, false},
    {WAVE_FEED_TAGS, DEST_L_WAVE_FEED, "Wave Feed", kTypePercent, kContinuous, kContinuousRange, 0.0f, kSame, false},
    {FILTER_MODE_TAGS, nullptr, "Filter Mode", kTypeByTag, 35, 34.99f, 0.0f, kSame, false},
    {FILTER_ENV_SUST_TAGS, DEST_L_FILTER_ENV_SUST, "Filter Envelope Sustain", kTypePercent, kContinuous, kContinuousRange, 1.0f, kSame, false},
    {FILTER_KEY_TRACK_TAGS, nullptr, "Filter Key-Track", kTypePolar, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {FILTER_VEL_TRACK_TAGS, nullptr, "Filter Vel-Track", kTypePolar, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {PITCH_ENV_CRV_TAGS, DEST_L_PITCH_ENV_CRV, "Pitch Envelope Curve", kTypePercent, kContinuous, kContinuousRange, 0.2f, kSame, false},
    {VOL_ENV_CRV_TAGS, DEST_L_VOL_ENV_CRV, "Volume Envelope Curve", kTypePercent, kContinuous, kContinuousRange, 0.2f, kSame, false},
    {VOL_ENV_KEY_TRACK_TAGS, nullptr, "Volume Envelope Key-Track", kTypePolar, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {VOL_ENV_VEL_TRACK_TAGS, nullptr, "Volume Envelope Vel-Track", kTypePolar, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {WIRE_SEP_TAGS, DEST_L_WIRE_SEP, "Wire Separation", kTypePolar, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {FREE_ON_TAGS, nullptr, "Free-Running Noise", kTypeOnOff, kContinuous, kContinuousRange, 1.0f, kSame, true},
    {DRIFT_ON_TAGS, nullptr, "String Drift", kTypeOnOff, kContinuous, kContinuousRange, 1.0f, kSame, true},
    {PAN_TAGS, DEST_L_PAN, "Pan", kTypePan, kContinuous, kContinuousRange, 0.5f, kSame, false},
};
static_assert(sizeof(kLayerMembers) / sizeof(kLayerMembers[0]) == kTagLayerMembers,
              "one row per layer member");

// A fresh patch sounds with layer 1 alone.
constexpr float kLayerOnDefault[kNumLayers] = {1.0f, 0.0f, 0.0f};

// Parameters that belong to no family. Columns: tag, name, display type, step count, step
// range, default, zero value, switch, modulation destination.
const SingleRecord kSingles[] = {
    {1, "Main Volume", kTypeDB60, kContinuous, kContinuousRange, 0.6f, 0.75f, false, 1},
    {2, "Velocity > Volume", kTypePercent, kContinuous, kContinuousRange, 0.5f, 0.0f, false, 2},
    {3, "Pan", kTypePan, kContinuous, kContinuousRange, 0.5f, kSame, false, 12},
    {4, "Portamento Amount", kTypeByTag, kContinuous, kContinuousRange, 0.0f, kSame, false, 13},
    {5, "Amp Envelope Attack", kTypeEnvTime, kContinuous, kContinuousRange, 0.0f, kSame, false, 4},
    {6, "Amp Envelope Decay", kTypeEnvTime, kContinuous, kContinuousRange, 0.5f, kSame, false, 6},
    {7, "Amp Envelope Sustain", kTypePercent, kContinuous, kContinuousRange, 1.0f, kSame, false, 8},
    {8, "Amp Envelope Release", kTypeEnvTime, kContinuous, kContinuousRange, 0.5f, kSame, false, 9},
    {102, "LFO 1 Speed", kTypeLFOSpeed, kContinuous, kContinuousRange, 0.5f, 0.0f, false, 366},
    {103, "LFO 2 Speed", kTypeLFOSpeed, kContinuous, kContinuousRange, 0.5f, 0.0f, false, 378},
    {104, "Distort Mix", kTypeMix, kContinuous, kContinuousRange, 0.25f, 0.5f, false, 313},
    {105, "Distort 1", kTypeByTag, kContinuous, kContinuousRange, 0.42f, 0.0f, false, 315},
    {106, "Distort 2", kTypeByTag, kContinuous, kContinuousRange, 0.0f, kSame, false, 316},
    {107, "Mod FX Mix", kTypeMix, kContinuous, kContinuousRange, 0.25f, 0.5f, false, 338},
    {108, "Mod FX 1", kTypeByTag, kContinuous, kContinuousRange, 0.42f, 0.0f, false, 0},
    {109, "Mod FX 2", kTypeByTag, kContinuous, kContinuousRange, 0.481f, 0.0f, false, 0},
    {110, "Mod FX 3", kTypeByTag, kContinuous, kContinuousRange, 0.44f, 0.0f, false, 0},
    {111, "Mod FX 4", kTypeByTag, kContinuous, kContinuousRange, 0.36f, 0.0f, false, 0},
    {112, "Mod FX 5", kTypeByTag, kContinuous, kContinuousRange, 1.0f, 0.0f, false, 0},
    {113, "Delay Mix", kTypeMix, kContinuous, kContinuousRange, 0.167f, 0.5f, false, 319},
    {114, "Delay Left", kTypeByTag, kContinuous, kContinuousRange, 0.67f, 0.0f, false, 321},
    {115, "Delay Right", kTypeByTag, kContinuous, kContinuousRange, 0.585f, 0.0f, false, 322},
    {116, "Delay Feed", kTypePolar, kContinuous, kContinuousRange, 0.69f, kSame, false, 325},
    {117, "Delay Cross", kTypePolar, kContinuous, kContinuousRange, 0.5f, kSame, false, 326},
    {118, "Delay LowPass Filter Frequency", kTypeFilterFreq, kContinuous, kContinuousRange, 0.935f, 0.0f, false, 327},
    {119, "Delay HighPass Filter Frequency", kTypeFilterFreq, kContinuous, kContinuousRange, 0.185f, 0.0f, false, 328},
    {120, "Reverb Mix", kTypeMix, kContinuous, kContinuousRange, 0.15f, 0.5f, false, 329},
    {121, "Reverb Pre-Delay", kTypeByTag, kContinuous, kContinuousRange, 0.61f, 0.0f, false, 331},
    {122, "Reverb Size", kTypeByTag, kContinuous, kContinuousRange, 0.645f, 0.0f, false, 334},
    {123, "Reverb Length", kTypeByTag, kContinuous, kContinuousRange, 0.81f, 0.0f, false, 335},
    {124, "Reverb Damp", kTypePercent, kContinuous, kContinuousRange, 0.285f, 0.0f, false, 336},
    {125, "Reverb HighPass Filter Frequency", kTypeFilterFreq, kContinuous, kContinuousRange, 0.1f, 0.0f, false, 337},
    {126, "Ribbon Value", kTypePolar, kContinuous, kContinuousRange, 0.5f, kSame, false, 400},
    {244, "Play Mode", kTypeByTag, 9, 8.99f, 0.0f, kSame, false, 0},
    {245, "Portamento Mode", kTypeByTag, 5, 4.99f, 0.0f, kSame, false, 0},
    {246, "Pitch Bend Down", kTypeByTag, 16, 15.99f, 0.0f, kSame, false, 0},
    {247, "Pitch Bend Up", kTypeByTag, 16, 15.99f, 0.0f, kSame, false, 0},
    {344, "FX Path", kTypeByTag, 6, 5.99f, 0.0f, kSame, false, 0},
    {345, "Bypass All FX On/Off", kTypeOnOff, 2, 1.99f, 0.0f, kSame, true, 0},
    {346, "Distort On/Off", kTypeOnOff, kContinuous, kContinuousRange, 0.0f, kSame, true, 0},
    {347, "Distort Mode", kTypeByTag, 26, 26.99f, 0.0f, kSame, false, 0},
    {348, "Mod FX On/Off", kTypeOnOff, kContinuous, kContinuousRange, 0.0f, kSame, true, 0},
    {349, "Mod FX Mode", kTypeByTag, 11, 10.99f, 0.0f, kSame, false, 0},
    {350, "Mod FX Tempo Sync On/Off", kTypeOnOff, 2, 1.99f, 1.0f, 0.0f, true, 0},
    {351, "Delay On/Off", kTypeOnOff, kContinuous, kContinuousRange, 0.0f, kSame, true, 0},
    {352, "Delay Tempo Sync On/Off", kTypeOnOff, 2, 1.99f, 1.0f, 0.0f, true, 0},
    {353, "Delay Equal Feedback On/Off", kTypeOnOff, 2, 1.99f, 1.0f, 0.0f, true, 0},
    {354, "Reverb On/Off", kTypeOnOff, kContinuous, kContinuousRange, 0.0f, kSame, true, 0},
    {355, "LFO 1 Wave", kTypeByTag, 9, 8.99f, 0.0f, kSame, false, 0},
    {356, "LFO 1 Mode", kTypeByTag, 4, 3.99f, 0.0f, kSame, false, 0},
    {357, "LFO 1 Tempo Sync On/Off", kTypeOnOff, 2, 1.99f, 1.0f, 0.0f, true, 0},
    {358, "LFO 2 Wave", kTypeByTag, 9, 8.99f, 0.0f, kSame, false, 0},
    {359, "LFO 2 Mode", kTypeByTag, 4, 3.99f, 0.0f, kSame, false, 0},
    {360, "LFO 2 Tempo Sync On/Off", kTypeOnOff, 2, 1.99f, 1.0f, 0.0f, true, 0},
    {394, "Arp On / Off", kTypeByTag, 2, 1.99f, 0.0f, kSame, true, 0},
    {395, "Arp Number of Steps", kTypeByTag, 16, 15.0f, 1.0f, kSame, false, 27},
    {396, "Arp Loop Start Step", kTypeByTag, 16, 15.0f, 0.0f, kSame, false, 28},
    {397, "Arp Speed", kTypeByTag, 17, 16.99f, 0.5f, 0.0f, false, 26},
    {398, "Arp Swing", kTypeByTag, kContinuous, kContinuousRange, 0.0f, kSame, false, 29},
    {399, "Arp Velocity / Key", kTypeByTag, kContinuous, kContinuousRange, 0.0f, kSame, false, 32},
    {400, "Arp Note Length", kTypeByTag, kContinuous, kContinuousRange, 1.0f, 0.0f, false, 31},
    {401, "Arp Slide", kTypeByTag, kContinuous, kContinuousRange, 0.0f, kSame, false, 30},
    {402, "Arp Smooth", kTypeByTag, kContinuous, kContinuousRange, 0.0f, kSame, false, 34},
    {403, "Arp Velocity > Ratchet", kTypeByTag, kContinuous, kContinuousRange, 0.0f, kSame, false, 33},
    {404, "Arp Host Sync On / Off", kTypeByTag, 2, 1.99f, 1.0f, kSame, true, 0},
    {405, "Arp Latch On / Off", kTypeByTag, 2, 1.99f, 0.0f, kSame, true, 0},
    {406, "Arp Key Entry On / Off", kTypeByTag, 2, 1.99f, 0.0f, kSame, true, 0},
    {407, "Arp Mode", kTypeByTag, 16, 19.99f, 0.0f, kSame, false, 0},
    {408, "Arp Octave", kTypeByTag, 4, 3.0f, 0.0f, kSame, false, 0},
    {409, "Arp Tied Mode", kTypeByTag, 4, 3.0f, 0.0f, kSame, false, 0},
    {410, "Arp Loop Mode", kTypeByTag, 3, 2.99f, 0.0f, kSame, false, 0},
    {411, "Arp Ratchet Mode", kTypeByTag, 9, 9.99f, 0.0f, kSame, false, 0},
    {541, "Velocity Split On/Off", kTypeOnOff, kContinuous, kContinuousRange, 0.0f, kSame, true, 0},
    {554, "Chord On / Off", kTypeOnOff, 2, 1.99f, 0.0f, kSame, true, 0},
    {555, "Chord Mode", kTypeByTag, 23, 23.99f, 0.0f, kSame, false, 0},
    {664, "Play Lock Mode", kTypeByTag, 3, 2.99f, 0.0f, kSame, false, 0},
    {665, "Ribbon BiPolar On/Off", kTypeOnOff, 2, 1.99f, 1.0f, kSame, true, 0},
    {666, "Ribbon Spring Time", kTypeByTag, 18, 17.99f, 0.839355f, kSame, false, 0},
    {667, "Ribbon Quantization", kTypeByTag, 13, 12.99f, 0.0f, kSame, false, 0},
    {1017, "Global Tuning", kTypeByTag, kContinuous, kContinuousRange, 0.5f, kSame, false, 0},
    {1018, "Brick Filter On/Off", kTypeOnOff, kContinuous, kContinuousRange, 1.0f, kSame, true, 0},
    {1019, "Brick Filter Frequency", kTypeByTag, kContinuous, kContinuousRange, 0.795f, kSame, false, 0},
};

// The columns of the modulation matrix, each a table over the eight slots.
const FamilyRecord kModColumns[] = {
    {MOD_BY_TAGS, nullptr, "Bypass On/Off", kTypeOnOff, kContinuous, kContinuousRange, 0.0f, kSame, true},
    {MOD_SRC_TAGS, nullptr, "Source", kTypeModSource, 137, 199.99f, 0.0f, kSame, false},
    {MOD_DEST_TAGS, nullptr, "Destination", kTypeModDest, 401, 499.99f, 0.0f, kSame, false},
    {MOD_AMT_TAGS, DEST_MOD_AMT, "Amount", kTypeModAmount, kContinuous, kContinuousRange, 0.5f, kSame, false},
};

// The rows of the arpeggiator grid, each a table over the sixteen steps; every step of a
// row has the same record.
const FamilyRecord kArpRows[kTagArpRows] = {
    {ARP_ROW_TAGS[0], nullptr, "On / Off", kTypeOnOff, 2, 1.99f, 1.0f, kSame, true},
    {ARP_ROW_TAGS[1], nullptr, "Tied On / Off", kTypeOnOff, 2, 1.99f, 0.0f, kSame, true},
    {ARP_ROW_TAGS[2], nullptr, "Slide On / Off", kTypeOnOff, 2, 1.99f, 0.0f, kSame, true},
    {ARP_ROW_TAGS[3], nullptr, "Tune", kTypeSemi36, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {ARP_ROW_TAGS[4], nullptr, "Velocity", kTypeMidi127, kContinuous, kContinuousRange, 1.0f, kSame, false},
    {ARP_ROW_TAGS[5], nullptr, "Chord", kTypeArpChord, 30, 29.99f, 0.036678895f, kSame, false},
    {ARP_ROW_TAGS[6], nullptr, "Free", kTypePolar, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {ARP_ROW_TAGS[7], nullptr, "Ratchet", kTypeArpRatchet, 4, 3.99f, 0.0f, kSame, false},
};

// The velocity split points of a layer, in point order.
const FamilyRecord kVelSplitPoints[kTagVelSplitPoints] = {
    {LAYER_VEL_SPLIT_FADE_IN_TAGS, nullptr, "Velocity Split Fade In", kTypeVelSplit, kContinuous, kContinuousRange, 0.0f, kSame, false},
    {LAYER_VEL_SPLIT_START_TAGS, nullptr, "Velocity Split Start", kTypeVelSplit, kContinuous, kContinuousRange, 0.0f, kSame, false},
    {LAYER_VEL_SPLIT_END_TAGS, nullptr, "Velocity Split End", kTypeVelSplit, kContinuous, kContinuousRange, 1.0f, kSame, false},
    {LAYER_VEL_SPLIT_FADE_OUT_TAGS, nullptr, "Velocity Split Fade Out", kTypeVelSplit, kContinuous, kContinuousRange, 1.0f, kSame, false},
};

// Chord-wide members of each chord.
const FamilyRecord kChordMembers[] = {
    {CHORD_NOTES_TAGS, nullptr, "Notes", kTypeByTag, 6, 5.99f, 0.0f, kSame, false},
    {CHORD_STRUM_TAGS, DEST_CHORD_STRUMS, "Strum Length", kTypeByTag, kContinuous, kContinuousRange, 0.0f, kSame, false},
    {CHORD_STRUM_SYNC_ON_TAGS, nullptr, "Strum Tempo Sync", kTypeOnOff, 2, 1.99f, 0.0f, kSame, true},
};

// The four runs of six notes of each chord; the tables hold the tag of a run's first note.
const FamilyRecord kChordNoteRuns[] = {
    {CHORD_SEMI_TAGS, nullptr, "Semi", kTypeSemi48, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {CHORD_FINE_TAGS, nullptr, "Fine", kTypeCents, kContinuous, kContinuousRange, 0.5f, kSame, false},
    {CHORD_VEL_TAGS, nullptr, "Volume", kTypeIntPercent, kContinuous, kContinuousRange, 1.0f, kSame, false},
    {CHORD_PAN_TAGS, nullptr, "Pan", kTypePan, kContinuous, kContinuousRange, 0.5f, kSame, false},
};

constexpr int kProgramTextFirst = 128, kProgramTextLast = 243;
constexpr int kArpTextFirst = 848, kArpTextLast = 957;

std::string numbered(const char* prefix, int number, const char* rest) {
    return prefix + std::to_string(number) + rest;
}

void writeMember(APlugin& plugin, int tag, const FamilyRecord& r, float def, int modDest,
                 const std::string& name) {
    plugin.setParameterVars(tag, def, r.isSwitch, r.range, r.steps, modDest, r.type, name,
                            r.zero);
}

// Member `index` of a family (layer, mod slot, chord) with the destination it feeds there.
void writeFamilyMember(APlugin& plugin, const FamilyRecord& r, int index, float def,
                       const std::string& name) {
    writeMember(plugin, r.tags[index], r, def, r.dests ? r.dests[index] : 0, name);
}

// A record that only carries a value: internal, continuous, 0.
void writeInternal(APlugin& plugin, int tag, const std::string& name) {
    plugin.setParameterVars(tag, 0.0f, false, kContinuousRange, kContinuous, 0, kTypeInternal,
                            name, 0.0f);
}

}  // namespace

void APlugin::setParameterVars(int tag, float defaultValue, bool isSwitch, float stepRange,
                               int stepCount, int modDest, int displayType,
                               const std::string& name, float zeroValue) {
    if (!isValidTag(tag)) return;
    paramDefault[tag] = defaultValue;
    paramIsSwitch[tag] = isSwitch ? 1 : 0;
    paramStepRange[tag] = stepRange;
    paramStepCount[tag] = stepCount;
    paramModDest[tag] = modDest;
    paramType[tag] = displayType;
    paramName[tag] = name;
    // Only a negative zero value means "the default"; 0.0 is a real zero value.
    paramZeroValue[tag] = zeroValue < 0.0f ? defaultValue : zeroValue;
}

void APlugin::initParameterRecords() {
    for (int tag = 0; tag < kNumParams; ++tag) {
        velTagLayer[tag] = 0;
        velTagPoint[tag] = 0;
        // The unset record: internal, not stepped, step range +1.
        setParameterVars(tag, 0.0f, false, 1.0f, kContinuous, 0, kTypeInternal,
                         numbered("Unused Parameter ", tag + 1, " N/A"), 0.0f);
    }

    writeInternal(*this, 0, "NONE");

    for (const SingleRecord& r : kSingles)
        setParameterVars(r.tag, r.def, r.isSwitch, r.range, r.steps, r.modDest, r.type, r.name,
                         r.zero);

    for (int layer = 0; layer < kNumLayers; ++layer) {
        const std::string prefix = numbered("Layer ", layer + 1, " ");
        for (const FamilyRecord& r : kLayerMembers) {
            const float def = r.tags == LAYER_ON_TAGS ? kLayerOnDefault[layer] : r.def;
            writeFamilyMember(*this, r, layer, def, prefix + r.suffix);
        }
        for (int point = 0; point < kTagVelSplitPoints; ++point) {
            const FamilyRecord& r = kVelSplitPoints[point];
            const int tag = r.tags[layer];
            writeMember(*this, tag, r, r.def, 0, prefix + r.suffix);
            velTagLayer[tag] = layer;
            velTagPoint[tag] = point;
        }
    }

    for (int slot = 0; slot < kTagModSlots; ++slot) {
        const std::string prefix = numbered("Modulation Slot ", slot + 1, " ");
        for (const FamilyRecord& r : kModColumns)
            writeFamilyMember(*this, r, slot, r.def, prefix + r.suffix);
    }

    for (int row = 0; row < kTagArpRows; ++row) {
        const FamilyRecord& r = kArpRows[row];
        for (int step = 0; step < kTagArpSteps; ++step)
            writeMember(*this, r.tags[step], r, r.def, 0,
                        numbered("Arp Step ", step + 1, " ") + r.suffix);
    }

    for (int chord = 0; chord < kTagChords; ++chord) {
        const std::string prefix = numbered("Chord ", chord + 1, "");
        for (const FamilyRecord& r : kChordMembers)
            writeFamilyMember(*this, r, chord, r.def, prefix + " " + r.suffix);
        for (const FamilyRecord& r : kChordNoteRuns)
            for (int note = 0; note < kTagChordNotes; ++note)
                writeMember(*this, r.tags[chord] + note, r, r.def, 0,
                            prefix + numbered(", Note ", note + 1, " ") + r.suffix);
    }

    for (int tag = kProgramTextFirst; tag <= kProgramTextLast; ++tag)
        writeInternal(*this, tag, numbered("Preset Parameter ", tag + 1, " N/A"));
    for (int tag = kArpTextFirst; tag <= kArpTextLast; ++tag)
        writeInternal(*this, tag, numbered("Arp Preset Parameter ", tag + 1, " N/A"));
}
