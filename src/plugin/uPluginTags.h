// Tag tables: the constant tables through which the engine, the editor and the parameter
// code address families of parameters (a layer member in each layer, a modulation slot's
// columns, an arp row's steps, a chord's notes, an envelope's stages) and the modulation
// destinations those members feed.
#pragma once

#include <cstdint>

// Sizes of the families.
constexpr int kTagLayerMembers = 67;     // members of each layer
constexpr int kTagLayerDestStride = 92;  // destination of layer L = layer 1's + 92 L
constexpr int kTagModSlots = 8;
constexpr int kTagModColumns = 4;        // bypass, source, destination, amount
constexpr int kTagArpRows = 8;
constexpr int kTagArpSteps = 16;
constexpr int kTagVelSplitPoints = 4;    // fade in, start, end, fade out
constexpr int kTagChords = 4;
constexpr int kTagChordNotes = 6;
constexpr int kTagChordStride = 27;      // tags per chord
constexpr int kTagEnvelopes = 25;        // the amp envelope, then 8 per layer
constexpr int kTagEnvelopeSlots = 28;    // width of the envelope tables; 25..27 hold -1
constexpr int kTagEnvStages = 4;         // attack, decay, sustain, release

// Each layer's 67 tags in member order: block 1, block 2, then wire separation,
// free-running noise, string drift and pan.
extern const int32_t LAYER_1_TAGS[67];
extern const int32_t LAYER_2_TAGS[67];
extern const int32_t LAYER_3_TAGS[67];

// One table per layer member, its tag in layers 1, 2 and 3.
extern const int32_t SEMI_TAGS[3];
extern const int32_t FINE_TAGS[3];
extern const int32_t WIRE_Q_TAGS[3];
extern const int32_t WIRE_ENV_AMT_TAGS[3];
extern const int32_t WIRE_ENV_DEC_TAGS[3];
extern const int32_t STRING_IMP_LEN_TAGS[3];
extern const int32_t STRING_IMP_VOL_TAGS[3];
extern const int32_t STRING_IMP_SHP_TAGS[3];
extern const int32_t STRING_LEN_TAGS[3];
extern const int32_t STRING_PLUCK_TAGS[3];
extern const int32_t STRING_DAMP_TAGS[3];
extern const int32_t FM_1_SEMI_TAGS[3];
extern const int32_t FM_1_FINE_TAGS[3];
extern const int32_t FM_1_VOL_TAGS[3];
extern const int32_t FM_2_SEMI_TAGS[3];
extern const int32_t FM_2_FINE_TAGS[3];
extern const int32_t FM_2_VOL_TAGS[3];
extern const int32_t WAVE_TAGS[3];
extern const int32_t WAVE_SYM_TAGS[3];
extern const int32_t SUB_VOL_TAGS[3];
extern const int32_t FILTER_FREQ_TAGS[3];
extern const int32_t FILTER_SEP_TAGS[3];
extern const int32_t FILTER_Q_TAGS[3];
extern const int32_t FILTER_VOWEL_TAGS[3];
extern const int32_t FILTER_ENV_AMT_TAGS[3];
extern const int32_t FILTER_ENV_DEC_TAGS[3];
extern const int32_t PITCH_ENV_AMT_TAGS[3];
extern const int32_t PITCH_ENV_DEC_TAGS[3];
extern const int32_t HP_FREQ_TAGS[3];
extern const int32_t VOL_ENV_DEC_TAGS[3];
extern const int32_t VOL_TAGS[3];
extern const int32_t LAYER_ON_TAGS[3];
extern const int32_t LAYER_SOURCE_TAGS[3];
extern const int32_t LAYER_DEST_TAGS[3];
extern const int32_t WIRE_ON_TAGS[3];
extern const int32_t WIRE_KEY_TRACK_TAGS[3];
extern const int32_t WIRE_VEL_TRACK_TAGS[3];
extern const int32_t STRING_LEN_KEY_TRACK_TAGS[3];
extern const int32_t STRING_LEN_VEL_TRACK_TAGS[3];
extern const int32_t STRING_PLUCK_KEY_TRACK_TAGS[3];
extern const int32_t STRING_PLUCK_VEL_TRACK_TAGS[3];
extern const int32_t STRING_DAMP_KEY_TRACK_TAGS[3];
extern const int32_t STRING_DAMP_VEL_TRACK_TAGS[3];
extern const int32_t FM_MODE_TAGS[3];
extern const int32_t FM_1_PITCH_ENV_AMT_TAGS[3];
extern const int32_t FM_1_PITCH_ENV_DEC_TAGS[3];
extern const int32_t FM_1_VOL_ENV_DEC_TAGS[3];
extern const int32_t FM_1_VOL_ENV_SUST_TAGS[3];
extern const int32_t FM_1_VEL_TRACK_TAGS[3];
extern const int32_t FM_2_PITCH_ENV_AMT_TAGS[3];
extern const int32_t FM_2_PITCH_ENV_DEC_TAGS[3];
extern const int32_t FM_2_VOL_ENV_DEC_TAGS[3];
extern const int32_t FM_2_VOL_ENV_SUST_TAGS[3];
extern const int32_t FM_2_VEL_TRACK_TAGS[3];
extern const int32_t WAVE_FEED_TAGS[3];
extern const int32_t FILTER_MODE_TAGS[3];
extern const int32_t FILTER_ENV_SUST_TAGS[3];
extern const int32_t FILTER_KEY_TRACK_TAGS[3];
extern const int32_t FILTER_VEL_TRACK_TAGS[3];
extern const int32_t PITCH_ENV_CRV_TAGS[3];
extern const int32_t VOL_ENV_CRV_TAGS[3];
extern const int32_t VOL_ENV_KEY_TRACK_TAGS[3];
extern const int32_t VOL_ENV_VEL_TRACK_TAGS[3];
extern const int32_t WIRE_SEP_TAGS[3];
extern const int32_t FREE_ON_TAGS[3];
extern const int32_t DRIFT_ON_TAGS[3];
extern const int32_t PAN_TAGS[3];

// Modulation destinations fed by the layer members: layer L's copy of a layer destination
// d of layer 0 is d + kLayerDestStride * L.
constexpr int kLayerDestStride = 92;
extern const int32_t DEST_L_SEMI[3];
extern const int32_t DEST_L_FINE[3];
extern const int32_t DEST_L_WIRE_Q[3];
extern const int32_t DEST_L_WIRE_ENV_AMT[3];
extern const int32_t DEST_L_WIRE_ENV_DEC[3];
extern const int32_t DEST_L_STR_IMP_LEN[3];
extern const int32_t DEST_L_STR_IMP_VOL[3];
extern const int32_t DEST_L_STR_IMP_SHP[3];
extern const int32_t DEST_L_STR_LEN[3];
extern const int32_t DEST_L_STR_PLUCK[3];
extern const int32_t DEST_L_STR_DAMP[3];
extern const int32_t DEST_L_FM_1_SEMI[3];
extern const int32_t DEST_L_FM_1_FINE[3];
extern const int32_t DEST_L_FM_1_VOL[3];
extern const int32_t DEST_L_FM_2_SEMI[3];
extern const int32_t DEST_L_FM_2_FINE[3];
extern const int32_t DEST_L_FM_2_VOL[3];
extern const int32_t DEST_L_WAVE_MIX[3];
extern const int32_t DEST_L_WAVE_SYM[3];
extern const int32_t DEST_L_SUB_VOL[3];
extern const int32_t DEST_L_FILTER_FREQ[3];
extern const int32_t DEST_L_FILTER_SEP[3];
extern const int32_t DEST_L_FILTER_Q[3];
extern const int32_t DEST_L_FILTER_VOWEL[3];
extern const int32_t DEST_L_FILTER_ENV_AMT[3];
extern const int32_t DEST_L_FILTER_ENV_DEC[3];
extern const int32_t DEST_L_PITCH_ENV_AMT[3];
extern const int32_t DEST_L_PITCH_ENV_DEC[3];
extern const int32_t DEST_L_HP_FREQ[3];
extern const int32_t DEST_L_VOL_ENV_DEC[3];
extern const int32_t DEST_L_VOL[3];
extern const int32_t DEST_L_FM_1_PITCH_ENV_AMT[3];
extern const int32_t DEST_L_FM_1_PITCH_ENV_DEC[3];
extern const int32_t DEST_L_FM_1_VOL_ENV_DEC[3];
extern const int32_t DEST_L_FM_1_VOL_ENV_SUST[3];
extern const int32_t DEST_L_FM_2_PITCH_ENV_AMT[3];
extern const int32_t DEST_L_FM_2_PITCH_ENV_DEC[3];
extern const int32_t DEST_L_FM_2_VOL_ENV_DEC[3];
extern const int32_t DEST_L_FM_2_VOL_ENV_SUST[3];
extern const int32_t DEST_L_WAVE_FEED[3];
extern const int32_t DEST_L_FILTER_ENV_SUST[3];
extern const int32_t DEST_L_PITCH_ENV_CRV[3];
extern const int32_t DEST_L_VOL_ENV_CRV[3];
extern const int32_t DEST_L_WIRE_SEP[3];
extern const int32_t DEST_L_PAN[3];

// Layer destinations that no parameter feeds.
extern const int32_t DEST_L_OCT[3];
extern const int32_t DEST_L_WAVE_PHASE[3];
extern const int32_t DEST_L_HP_Q[3];
extern const int32_t DEST_L_WIRE_FREQ[3];
extern const int32_t DEST_L_SUB_SEMI[3];
extern const int32_t DEST_L_SUB_FINE[3];
extern const int32_t DEST_L_SUB_PAN[3];
extern const int32_t DEST_L_SUB_MIX[3];
extern const int32_t DEST_L_SUB_SYM[3];
extern const int32_t DEST_L_SUB_PHASE[3];

// Modulation matrix: one column per table, slots 1..8.
extern const int32_t MOD_BY_TAGS[8];
extern const int32_t MOD_SRC_TAGS[8];
extern const int32_t MOD_DEST_TAGS[8];
extern const int32_t MOD_AMT_TAGS[8];
extern const int32_t DEST_MOD_AMT[8];
extern const int32_t MOD_COLS_TAGS[8][4];

// Arpeggiator grid: 8 rows of 16 steps.
extern const int32_t ARP_ROW_START_TAGS[8];
extern const int32_t ARP_ROW_TAGS[8][16];

// Velocity split points per layer.
extern const int32_t LAYER_VEL_SPLIT_FADE_IN_TAGS[3];
extern const int32_t LAYER_VEL_SPLIT_START_TAGS[3];
extern const int32_t LAYER_VEL_SPLIT_END_TAGS[3];
extern const int32_t LAYER_VEL_SPLIT_FADE_OUT_TAGS[3];
extern const int32_t LAYER_VEL_TAGS[12];

// Chords 1..4. The note tables hold the tag of a run's first note; note n is that tag + n.
extern const int32_t CHORD_NOTES_TAGS[4];
extern const int32_t CHORD_STRUM_TAGS[4];
extern const int32_t CHORD_STRUM_SYNC_ON_TAGS[4];
extern const int32_t CHORD_SEMI_TAGS[4];
extern const int32_t CHORD_FINE_TAGS[4];
extern const int32_t CHORD_VEL_TAGS[4];
extern const int32_t CHORD_PAN_TAGS[4];
extern const int32_t DEST_CHORD_STRUMS[4];

// Global LFOs 1 and 2.
extern const int32_t LFO_SPEED_TAGS[2];
extern const int32_t LFO_WAVE_TAGS[2];
extern const int32_t LFO_MODE_TAGS[2];
extern const int32_t LFO_SYNC_ON_TAGS[2];
extern const int32_t DEST_LFO_SPEED[2];

// Envelopes: e = 0 amp, e = 1 + 8L + k for envelope k of layer L (filter, pitch, volume,
// wire, FM 1 pitch, FM 1 volume, FM 2 pitch, FM 2 volume); slots 25..27 are spare.
// ENV_TAGS[stage][e], stages attack, decay, sustain, release; -1 = no tag.
extern const int32_t ENV_TAGS[4][28];
extern const int32_t ENV_CURVE_TAGS[28];
