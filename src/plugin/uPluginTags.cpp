// Values of the tag tables. The parameter records are built from these same tables, so a
// table and the record of the tag it names cannot disagree.
#include "plugin/uPluginTags.h"

// Each layer's 67 tags in member order: block 1, block 2, then wire separation,
// free-running noise, string drift and pan.
const int32_t LAYER_1_TAGS[67] = {
    9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24,
    25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 248,
    249, 250, 251, 252, 253, 254, 255, 256, 257, 258, 259, 260, 261, 262, 263, 264,
    265, 266, 267, 268, 269, 270, 271, 272, 273, 274, 275, 276, 277, 278, 279, 1011,
    1014, 1008, 1005,
};
const int32_t LAYER_2_TAGS[67] = {
    40, 41, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55,
    56, 57, 58, 59, 60, 61, 62, 63, 64, 65, 66, 67, 68, 69, 70, 280,
    281, 282, 283, 284, 285, 286, 287, 288, 289, 290, 291, 292, 293, 294, 295, 296,
    297, 298, 299, 300, 301, 302, 303, 304, 305, 306, 307, 308, 309, 310, 311, 1012,
    1015, 1009, 1006,
};
const int32_t LAYER_3_TAGS[67] = {
    71, 72, 73, 74, 75, 76, 77, 78, 79, 80, 81, 82, 83, 84, 85, 86,
    87, 88, 89, 90, 91, 92, 93, 94, 95, 96, 97, 98, 99, 100, 101, 312,
    313, 314, 315, 316, 317, 318, 319, 320, 321, 322, 323, 324, 325, 326, 327, 328,
    329, 330, 331, 332, 333, 334, 335, 336, 337, 338, 339, 340, 341, 342, 343, 1013,
    1016, 1010, 1007,
};

// One table per layer member, its tag in layers 1, 2 and 3.
const int32_t SEMI_TAGS[3] = {9, 40, 71};
const int32_t FINE_TAGS[3] = {10, 41, 72};
const int32_t WIRE_Q_TAGS[3] = {11, 42, 73};
const int32_t WIRE_ENV_AMT_TAGS[3] = {12, 43, 74};
const int32_t WIRE_ENV_DEC_TAGS[3] = {13, 44, 75};
const int32_t STRING_IMP_LEN_TAGS[3] = {14, 45, 76};
const int32_t STRING_IMP_VOL_TAGS[3] = {15, 46, 77};
const int32_t STRING_IMP_SHP_TAGS[3] = {16, 47, 78};
const int32_t STRING_LEN_TAGS[3] = {17, 48, 79};
const int32_t STRING_PLUCK_TAGS[3] = {18, 49, 80};
const int32_t STRING_DAMP_TAGS[3] = {19, 50, 81};
const int32_t FM_1_SEMI_TAGS[3] = {20, 51, 82};
const int32_t FM_1_FINE_TAGS[3] = {21, 52, 83};
const int32_t FM_1_VOL_TAGS[3] = {22, 53, 84};
const int32_t FM_2_SEMI_TAGS[3] = {23, 54, 85};
const int32_t FM_2_FINE_TAGS[3] = {24, 55, 86};
const int32_t FM_2_VOL_TAGS[3] = {25, 56, 87};
const int32_t WAVE_TAGS[3] = {26, 57, 88};
const int32_t WAVE_SYM_TAGS[3] = {27, 58, 89};
const int32_t SUB_VOL_TAGS[3] = {28, 59, 90};
const int32_t FILTER_FREQ_TAGS[3] = {29, 60, 91};
const int32_t FILTER_SEP_TAGS[3] = {30, 61, 92};
const int32_t FILTER_Q_TAGS[3] = {31, 62, 93};
const int32_t FILTER_VOWEL_TAGS[3] = {32, 63, 94};
const int32_t FILTER_ENV_AMT_TAGS[3] = {33, 64, 95};
const int32_t FILTER_ENV_DEC_TAGS[3] = {34, 65, 96};
const int32_t PITCH_ENV_AMT_TAGS[3] = {35, 66, 97};
const int32_t PITCH_ENV_DEC_TAGS[3] = {36, 67, 98};
const int32_t HP_FREQ_TAGS[3] = {37, 68, 99};
const int32_t VOL_ENV_DEC_TAGS[3] = {38, 69, 100};
const int32_t VOL_TAGS[3] = {39, 70, 101};
const int32_t LAYER_ON_TAGS[3] = {248, 280, 312};
const int32_t LAYER_SOURCE_TAGS[3] = {249, 281, 313};
const int32_t LAYER_DEST_TAGS[3] = {250, 282, 314};
const int32_t WIRE_ON_TAGS[3] = {251, 283, 315};
const int32_t WIRE_KEY_TRACK_TAGS[3] = {252, 284, 316};
const int32_t WIRE_VEL_TRACK_TAGS[3] = {253, 285, 317};
const int32_t STRING_LEN_KEY_TRACK_TAGS[3] = {254, 286, 318};
const int32_t STRING_LEN_VEL_TRACK_TAGS[3] = {255, 287, 319};
const int32_t STRING_PLUCK_KEY_TRACK_TAGS[3] = {256, 288, 320};
const int32_t STRING_PLUCK_VEL_TRACK_TAGS[3] = {257, 289, 321};
const int32_t STRING_DAMP_KEY_TRACK_TAGS[3] = {258, 290, 322};
const int32_t STRING_DAMP_VEL_TRACK_TAGS[3] = {259, 291, 323};
const int32_t FM_MODE_TAGS[3] = {260, 292, 324};
const int32_t FM_1_PITCH_ENV_AMT_TAGS[3] = {261, 293, 325};
const int32_t FM_1_PITCH_ENV_DEC_TAGS[3] = {262, 294, 326};
const int32_t FM_1_VOL_ENV_DEC_TAGS[3] = {263, 295, 327};
const int32_t FM_1_VOL_ENV_SUST_TAGS[3] = {264, 296, 328};
const int32_t FM_1_VEL_TRACK_TAGS[3] = {265, 297, 329};
const int32_t FM_2_PITCH_ENV_AMT_TAGS[3] = {266, 298, 330};
const int32_t FM_2_PITCH_ENV_DEC_TAGS[3] = {267, 299, 331};
const int32_t FM_2_VOL_ENV_DEC_TAGS[3] = {268, 300, 332};
const int32_t FM_2_VOL_ENV_SUST_TAGS[3] = {269, 301, 333};
const int32_t FM_2_VEL_TRACK_TAGS[3] = {270, 302, 334};
const int32_t WAVE_FEED_TAGS[3] = {271, 303, 335};
const int32_t FILTER_MODE_TAGS[3] = {272, 304, 336};
const int32_t FILTER_ENV_SUST_TAGS[3] = {273, 305, 337};
const int32_t FILTER_KEY_TRACK_TAGS[3] = {274, 306, 338};
const int32_t FILTER_VEL_TRACK_TAGS[3] = {275, 307, 339};
const int32_t PITCH_ENV_CRV_TAGS[3] = {276, 308, 340};
const int32_t VOL_ENV_CRV_TAGS[3] = {277, 309, 341};
const int32_t VOL_ENV_KEY_TRACK_TAGS[3] = {278, 310, 342};
const int32_t VOL_ENV_VEL_TRACK_TAGS[3] = {279, 311, 343};
const int32_t WIRE_SEP_TAGS[3] = {1011, 1012, 1013};
const int32_t FREE_ON_TAGS[3] = {1014, 1015, 1016};
const int32_t DRIFT_ON_TAGS[3] = {1008, 1009, 1010};
const int32_t PAN_TAGS[3] = {1005, 1006, 1007};

// Modulation destinations fed by the layer members (layer stride 92).
const int32_t DEST_L_SEMI[3] = {38, 130, 222};
const int32_t DEST_L_FINE[3] = {39, 131, 223};
const int32_t DEST_L_WIRE_Q[3] = {54, 146, 238};
const int32_t DEST_L_WIRE_ENV_AMT[3] = {55, 147, 239};
const int32_t DEST_L_WIRE_ENV_DEC[3] = {58, 150, 242};
const int32_t DEST_L_STR_IMP_LEN[3] = {62, 154, 246};
const int32_t DEST_L_STR_IMP_VOL[3] = {63, 155, 247};
const int32_t DEST_L_STR_IMP_SHP[3] = {64, 156, 248};
const int32_t DEST_L_STR_LEN[3] = {65, 157, 249};
const int32_t DEST_L_STR_PLUCK[3] = {66, 158, 250};
const int32_t DEST_L_STR_DAMP[3] = {67, 159, 251};
const int32_t DEST_L_FM_1_SEMI[3] = {68, 160, 252};
const int32_t DEST_L_FM_1_FINE[3] = {69, 161, 253};
const int32_t DEST_L_FM_1_VOL[3] = {77, 169, 261};
const int32_t DEST_L_FM_2_SEMI[3] = {84, 176, 268};
const int32_t DEST_L_FM_2_FINE[3] = {85, 177, 269};
const int32_t DEST_L_FM_2_VOL[3] = {93, 185, 277};
const int32_t DEST_L_WAVE_MIX[3] = {40, 132, 224};
const int32_t DEST_L_WAVE_SYM[3] = {41, 133, 225};
const int32_t DEST_L_SUB_VOL[3] = {102, 194, 286};
const int32_t DEST_L_FILTER_FREQ[3] = {44, 136, 228};
const int32_t DEST_L_FILTER_SEP[3] = {45, 137, 229};
const int32_t DEST_L_FILTER_Q[3] = {46, 138, 230};
const int32_t DEST_L_FILTER_VOWEL[3] = {47, 139, 231};
const int32_t DEST_L_FILTER_ENV_AMT[3] = {108, 200, 292};
const int32_t DEST_L_FILTER_ENV_DEC[3] = {111, 203, 295};
const int32_t DEST_L_PITCH_ENV_AMT[3] = {115, 207, 299};
const int32_t DEST_L_PITCH_ENV_DEC[3] = {118, 210, 302};
const int32_t DEST_L_HP_FREQ[3] = {48, 140, 232};
const int32_t DEST_L_VOL_ENV_DEC[3] = {124, 216, 308};
const int32_t DEST_L_VOL[3] = {50, 142, 234};
const int32_t DEST_L_FM_1_PITCH_ENV_AMT[3] = {70, 162, 254};
const int32_t DEST_L_FM_1_PITCH_ENV_DEC[3] = {73, 165, 257};
const int32_t DEST_L_FM_1_VOL_ENV_DEC[3] = {80, 172, 264};
const int32_t DEST_L_FM_1_VOL_ENV_SUST[3] = {81, 173, 265};
const int32_t DEST_L_FM_2_PITCH_ENV_AMT[3] = {86, 178, 270};
const int32_t DEST_L_FM_2_PITCH_ENV_DEC[3] = {89, 181, 273};
const int32_t DEST_L_FM_2_VOL_ENV_DEC[3] = {96, 188, 280};
const int32_t DEST_L_FM_2_VOL_ENV_SUST[3] = {97, 189, 281};
const int32_t DEST_L_WAVE_FEED[3] = {42, 134, 226};
const int32_t DEST_L_FILTER_ENV_SUST[3] = {112, 204, 296};
const int32_t DEST_L_PITCH_ENV_CRV[3] = {121, 213, 305};
const int32_t DEST_L_VOL_ENV_CRV[3] = {127, 219, 311};
const int32_t DEST_L_WIRE_SEP[3] = {53, 145, 237};
const int32_t DEST_L_PAN[3] = {51, 143, 235};

// Layer destinations that no parameter feeds.
const int32_t DEST_L_OCT[3] = {37, 129, 221};
const int32_t DEST_L_WAVE_PHASE[3] = {43, 135, 227};
const int32_t DEST_L_HP_Q[3] = {49, 141, 233};
const int32_t DEST_L_WIRE_FREQ[3] = {52, 144, 236};
const int32_t DEST_L_SUB_SEMI[3] = {100, 192, 284};
const int32_t DEST_L_SUB_FINE[3] = {101, 193, 285};
const int32_t DEST_L_SUB_PAN[3] = {103, 195, 287};
const int32_t DEST_L_SUB_MIX[3] = {104, 196, 288};
const int32_t DEST_L_SUB_SYM[3] = {105, 197, 289};
const int32_t DEST_L_SUB_PHASE[3] = {106, 198, 290};

// Modulation matrix: one column per table, slots 1..8.
const int32_t MOD_BY_TAGS[8] = {361, 362, 363, 364, 365, 366, 367, 368};
const int32_t MOD_SRC_TAGS[8] = {369, 370, 371, 372, 373, 374, 375, 376};
const int32_t MOD_DEST_TAGS[8] = {377, 378, 379, 380, 381, 382, 383, 384};
const int32_t MOD_AMT_TAGS[8] = {385, 386, 387, 388, 389, 390, 391, 392};
const int32_t DEST_MOD_AMT[8] = {390, 391, 392, 393, 394, 395, 396, 397};
const int32_t MOD_COLS_TAGS[8][4] = {
    {361, 369, 377, 385},
    {362, 370, 378, 386},
    {363, 371, 379, 387},
    {364, 372, 380, 388},
    {365, 373, 381, 389},
    {366, 374, 382, 390},
    {367, 375, 383, 391},
    {368, 376, 384, 392},
};

// Arpeggiator grid: 8 rows of 16 steps.
const int32_t ARP_ROW_START_TAGS[8] = {412, 428, 444, 460, 476, 492, 508, 524};
const int32_t ARP_ROW_TAGS[8][16] = {
    {412, 413, 414, 415, 416, 417, 418, 419, 420, 421, 422, 423, 424, 425, 426, 427},
    {428, 429, 430, 431, 432, 433, 434, 435, 436, 437, 438, 439, 440, 441, 442, 443},
    {444, 445, 446, 447, 448, 449, 450, 451, 452, 453, 454, 455, 456, 457, 458, 459},
    {460, 461, 462, 463, 464, 465, 466, 467, 468, 469, 470, 471, 472, 473, 474, 475},
    {476, 477, 478, 479, 480, 481, 482, 483, 484, 485, 486, 487, 488, 489, 490, 491},
    {492, 493, 494, 495, 496, 497, 498, 499, 500, 501, 502, 503, 504, 505, 506, 507},
    {508, 509, 510, 511, 512, 513, 514, 515, 516, 517, 518, 519, 520, 521, 522, 523},
    {524, 525, 526, 527, 528, 529, 530, 531, 532, 533, 534, 535, 536, 537, 538, 539},
};

// Velocity split points per layer.
const int32_t LAYER_VEL_SPLIT_FADE_IN_TAGS[3] = {542, 546, 550};
const int32_t LAYER_VEL_SPLIT_START_TAGS[3] = {543, 547, 551};
const int32_t LAYER_VEL_SPLIT_END_TAGS[3] = {544, 548, 552};
const int32_t LAYER_VEL_SPLIT_FADE_OUT_TAGS[3] = {545, 549, 553};
const int32_t LAYER_VEL_TAGS[12] = {542, 543, 544, 545, 546, 547, 548, 549, 550, 551, 552, 553};

// Chords 1..4. The note tables hold the tag of a run's first note; note n is that tag + n.
const int32_t CHORD_NOTES_TAGS[4] = {556, 583, 610, 637};
const int32_t CHORD_STRUM_TAGS[4] = {557, 584, 611, 638};
const int32_t CHORD_STRUM_SYNC_ON_TAGS[4] = {558, 585, 612, 639};
const int32_t CHORD_SEMI_TAGS[4] = {559, 586, 613, 640};
const int32_t CHORD_FINE_TAGS[4] = {565, 592, 619, 646};
const int32_t CHORD_VEL_TAGS[4] = {571, 598, 625, 652};
const int32_t CHORD_PAN_TAGS[4] = {577, 604, 631, 658};
const int32_t DEST_CHORD_STRUMS[4] = {19, 20, 21, 22};

// Global LFOs 1 and 2.
const int32_t LFO_SPEED_TAGS[2] = {102, 103};
const int32_t LFO_WAVE_TAGS[2] = {355, 358};
const int32_t LFO_MODE_TAGS[2] = {356, 359};
const int32_t LFO_SYNC_ON_TAGS[2] = {357, 360};
const int32_t DEST_LFO_SPEED[2] = {366, 378};

// Envelopes: e = 0 amp, e = 1 + 8L + k for envelope k of layer L (filter, pitch, volume,
// wire, FM 1 pitch, FM 1 volume, FM 2 pitch, FM 2 volume); slots 25..27 are spare.
// ENV_TAGS[stage][e], stages attack, decay, sustain, release; -1 = no tag.
const int32_t ENV_TAGS[4][28] = {
    {
        5, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
        -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
    },
    {
        6, 34, 36, 38, 13, 262, 263, 267, 268, 65, 67, 69, 44, 294,
        295, 299, 300, 96, 98, 100, 75, 326, 327, 331, 332, -1, -1, -1,
    },
    {
        7, 273, -1, -1, -1, -1, 264, -1, 269, 305, -1, -1, -1, -1,
        296, -1, 301, 337, -1, -1, -1, -1, 328, -1, 333, -1, -1, -1,
    },
    {
        8, 34, 36, 38, 13, 262, 263, 267, 268, 65, 67, 69, 44, 294,
        295, 299, 300, 96, 98, 100, 75, 326, 327, 331, 332, -1, -1, -1,
    },
};
const int32_t ENV_CURVE_TAGS[28] = {
    -1, -1, 276, 277, -1, -1, -1, -1, -1, -1, 308, 309, -1, -1,
    -1, -1, -1, -1, 340, 341, -1, -1, -1, -1, -1, -1, -1, -1,
};
