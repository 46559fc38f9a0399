// The names of the modulation sources and destinations, long and short, and the groups
// the menus list them under. Row = source number or destination index; row 0 is "None".
#include "plugin/uPluginStrings.h"

namespace {

template <std::size_t N>
constexpr bool allRowsSet(const char* const (&table)[N]) {
    for (std::size_t i = 0; i < N; ++i)
        if (table[i] == nullptr) return false;
    return true;
}

}  // namespace

// --- groups -------------------------------------------------------------------------------

constexpr const char* const SRC_SUB_STR[] = {
    "MIDI Sources", "MIDI CC Source", "Layer 1 Sources", "Layer 2 Source",
    "Layer 3 Sources", "Mod Sources", "Other Sources",
};

const int32_t SRC_SUBS_START[8] = {1, 22, 42, 60, 78, 96, 117, 133};

constexpr const char* const DEST_SUB_STR[] = {
    "Main",
    "Arp",
    "Layer 1 Main",
    "Layer 1 Wire / String",
    "Layer 1 FM 1",
    "Layer 1 FM 2",
    "Layer 1 Sub",
    "Layer 1 Envelopes",
    "Layer 2 Main",
    "Layer 2 Wire / String",
    "Layer 2 FM 1",
    "Layer 2 FM 2",
    "Layer 2 Sub",
    "Layer 2 Envelopes",
    "Layer 3 Main",
    "Layer 3 Wire / String",
    "Layer 3 FM 1",
    "Layer 3 FM 2",
    "Layer 3 Sub",
    "Layer 3 Envelopes",
    "Distortion/Delay/Reverb",
    "Mod FX",
    "LFO",
    "Modulation",
};

const int32_t DEST_SUB_START[25] = {
    1, 26, 37, 52, 68, 84, 100, 107, 129, 144, 160, 176, 192,
    199, 221, 236, 252, 268, 284, 291, 313, 338, 366, 390, 401,
};

// --- sources ------------------------------------------------------------------------------

constexpr const char* const SRC_STR[] = {
    // MIDI
    "None",  // 0
    "Mod Wheel",  // 1
    "Mod Wheel / Aftertouch",  // 2
    "Channel Aftertouch",  // 3
    "Poly Aftertouch",  // 4
    "Note",  // 5
    "Center Note",  // 6
    "Note Random 1",  // 7
    "Note UniPolar Random 1",  // 8
    "Note Random 2",  // 9
    "Note UniPolar Random 2",  // 10
    "2 Alternate",  // 11
    "2 UniPolar Alternate",  // 12
    "3 Alternate",  // 13
    "3 UniPolar Alternate",  // 14
    "4 Alternate",  // 15
    "4 UniPolar Alternate",  // 16
    "Velocity",  // 17
    "Release Velocity",  // 18
    "Note On",  // 19
    "Note Off",  // 20
    "Pitchbend",  // 21
    "CC 2 (Breath)",  // 22
    "CC 3",  // 23
    "CC4 (Foot)",  // 24
    "CC11 (Expression)",  // 25
    "CC 16",  // 26
    "CC 17",  // 27
    "CC 18",  // 28
    "CC 19",  // 29
    "CC 20",  // 30
    "CC 21",  // 31
    "CC74 (Brightness)",  // 32
    "CC 84",  // 33
    "CC 85",  // 34
    "CC 86",  // 35
    "CC 87",  // 36
    "CC 88",  // 37
    "CC 89",  // 38
    "CC 90",  // 39
    "CC 113",  // 40
    "CC 114",  // 41
    // Layer 1
    "Layer 1 Filter Envelope",  // 42
    "Layer 1 Inverse Filter Envelope",  // 43
    "Layer 1 Pitch Envelope",  // 44
    "Layer 1 Inverse Pitch Envelope",  // 45
    "Layer 1 Volume Envelope",  // 46
    "Layer 1 Inverse Volume Envelope",  // 47
    "Layer 1 Wire Envelope",  // 48
    "Layer 1 Inverse Wire Envelope",  // 49
    "Layer 1 FM 1 Pitch Envelope",  // 50
    "Layer 1 FM 1 Inverse Pitch Envelope",  // 51
    "Layer 1 FM 1 Volume Envelope",  // 52
    "Layer 1 FM 1 Inverse Volume Envelope",  // 53
    "Layer 1 FM 2 Pitch Envelope",  // 54
    "Layer 1 FM 2 Inverse Pitch Envelope",  // 55
    "Layer 1 FM 2 Volume Envelope",  // 56
    "Layer 1 FM 2 Inverse Volume Envelope",  // 57
    "Layer 1 Velocity Split",  // 58
    "Layer 1 Inverse Velocity Split",  // 59
    // Layer 2
    "Layer 2 Filter Envelope",  // 60
    "Layer 2 Inverse Filter Envelope",  // 61
    "Layer 2 Pitch Envelope",  // 62
    "Layer 2 Inverse Pitch Envelope",  // 63
    "Layer 2 Volume Envelope",  // 64
    "Layer 2 Inverse Volume Envelope",  // 65
    "Layer 2 Wire Envelope",  // 66
    "Layer 2 Inverse Wire Envelope",  // 67
    "Layer 2 FM 1 Pitch Envelope",  // 68
    "Layer 2 FM 1 Inverse Pitch Envelope",  // 69
    "Layer 2 FM 1 Volume Envelope",  // 70
    "Layer 2 FM 1 Inverse Volume Envelope",  // 71
    "Layer 2 FM 2 Pitch Envelope",  // 72
    "Layer 2 FM 2 Inverse Pitch Envelope",  // 73
    "Layer 2 FM 2 Volume Envelope",  // 74
    "Layer 2 FM 2 Inverse Volume Envelope",  // 75
    "Layer 2 Velocity Split",  // 76
    "Layer 2 Inverse Velocity Split",  // 77
    // Layer 3
    "Layer 3 Filter Envelope",  // 78
    "Layer 3 Inverse Filter Envelope",  // 79
    "Layer 3 Pitch Envelope",  // 80
    "Layer 3 Inverse Pitch Envelope",  // 81
    "Layer 3 Volume Envelope",  // 82
    "Layer 3 Inverse Volume Envelope",  // 83
    "Layer 3 Wire Envelope",  // 84
    "Layer 3 Inverse Wire Envelope",  // 85
    "Layer 3 FM 1 Pitch Envelope",  // 86
    "Layer 3 FM 1 Inverse Pitch Envelope",  // 87
    "Layer 3 FM 1 Volume Envelope",  // 88
    "Layer 3 FM 1 Inverse Volume Envelope",  // 89
    "Layer 3 FM 2 Pitch Envelope",  // 90
    "Layer 3 FM 2 Inverse Pitch Envelope",  // 91
    "Layer 3 FM 2 Volume Envelope",  // 92
    "Layer 3 FM 2 Inverse Volume Envelope",  // 93
    "Layer 3 Velocity Split",  // 94
    "Layer 3 Inverse Velocity Split",  // 95
    // Global
    "Amp Envelope",  // 96
    "Inverse Amp Envelope",  // 97
    "LFO 1",  // 98
    "UniPolar LFO 1",  // 99
    "LFO 2",  // 100
    "UniPolar LFO 2",  // 101
    "LFO 1+2",  // 102
    "UniPolar LFO 1+2",  // 103
    "LFO 1-2",  // 104
    "UniPolar LFO 1-2",  // 105
    "LFO 1*2",  // 106
    "UniPolar LFO 1*2",  // 107
    "Gator Left",  // 108
    "Gator Right",  // 109
    "Gator Average",  // 110
    "Ribbon",  // 111
    "Arp On/Off",  // 112
    "Arp Tune",  // 113
    "Arp Velocity",  // 114
    "Arp Free",  // 115
    "Arp Free Smoothed",  // 116
    "Input",  // 117
    "Layer 1 Output",  // 118
    "Layer 2 Output",  // 119
    "Layer 1+2 Output",  // 120
    "Layer 3 Output",  // 121
    "Layer 1+3 Output",  // 122
    "Layer 2+3 Output",  // 123
    "Layer 1+2+3 Output",  // 124
    "Distortion FX Output",  // 125
    "Mod FX Output",  // 126
    "Delay Output",  // 127
    "Reverb Output",  // 128
    "Output",  // 129
    "Offset",  // 130
    "White Noise",  // 131
    "White UniPolar Noise",  // 132
    "Last Note",  // 133
    "Centre Last Note",  // 134
    "Pink Noise",  // 135
    "Pink UniPolar Noise",  // 136
};

constexpr const char* const SRC_SHORT_STR[] = {
    // MIDI
    "None",  // 0
    "Mod Wheel",  // 1
    "Mod/After",  // 2
    "Ch After",  // 3
    "Poly After",  // 4
    "Note",  // 5
    "Centre Note",  // 6
    "Note Rnd 1",  // 7
    "Uni Note Rnd 1",  // 8
    "Note Rnd 2",  // 9
    "Uni Note Rnd 2",  // 10
    "2 Alt",  // 11
    "2 Uni Alt",  // 12
    "3 Alt",  // 13
    "3 Uni Alt",  // 14
    "4 Alt",  // 15
    "4 Uni Alt",  // 16
    "Velocity",  // 17
    "Rel Velocity",  // 18
    "Note On",  // 19
    "Note Off",  // 20
    "Ptcbend",  // 21
    "CC2 ",  // 22
    "CC3",  // 23
    "CC4",  // 24
    "CC11",  // 25
    "CC16",  // 26
    "CC17",  // 27
    "CC18",  // 28
    "CC19",  // 29
    "CC20",  // 30
    "CC21",  // 31
    "CC74",  // 32
    "CC84",  // 33
    "CC85",  // 34
    "CC86",  // 35
    "CC87",  // 36
    "CC88",  // 37
    "CC89",  // 38
    "CC90",  // 39
    "CC113",  // 40
    "CC114",  // 41
    // Layer 1
    "L1 Flt Env",  // 42
    "L1 Inv Flt Env",  // 43
    "L1 Ptc Env",  // 44
    "L1 Inv Ptc Env",  // 45
    "L1 Vol Env",  // 46
    "L1 Inv Vol Env",  // 47
    "L1 Wire Env",  // 48
    "L1 Inv Wire Env",  // 49
    "L1 FM1 Ptc Env",  // 50
    "L1 FM1 Inv Ptc Env",  // 51
    "L1 FM1 Vol Env",  // 52
    "L1 FM1 Inv Vol Env",  // 53
    "L1 FM2 Ptc Env",  // 54
    "L1 FM2 Inv Ptc Env",  // 55
    "L1 FM2 Vol Env",  // 56
    "L1 FM2 Inv Vol Env",  // 57
    "L1 Vel Split",  // 58
    "L1 Inv Vel Split",  // 59
    // Layer 2
    "L2 Flt Env",  // 60
    "L2 Inv Flt Env",  // 61
    "L2 Ptc Env",  // 62
    "L2 Inv Ptc Env",  // 63
    "L2 Vol Env",  // 64
    "L2 Inv Vol Env",  // 65
    "L2 Wire Env",  // 66
    "L2 Inv Wire Env",  // 67
    "L2 FM1 Ptc Env",  // 68
    "L2 FM1 Inv Ptc Env",  // 69
    "L2 FM1 Vol Env",  // 70
    "L2 FM1 Inv Vol Env",  // 71
    "L2 FM2 Ptc Env",  // 72
    "L2 FM2 Inv Ptc Env",  // 73
    "L2 FM2 Vol Env",  // 74
    "L2 FM2 Inv Vol Env",  // 75
    "L2 Vel Split",  // 76
    "L2 Inv Vel Split",  // 77
    // Layer 3
    "L3 Flt Env",  // 78
    "L3 Inv Flt Env",  // 79
    "L3 Ptc Env",  // 80
    "L3 Inv Ptc Env",  // 81
    "L3 Vol Env",  // 82
    "L3 Inv Vol Env",  // 83
    "L3 Wire Env",  // 84
    "L3 Inv Wire Env",  // 85
    "L3 FM1 Ptc Env",  // 86
    "L3 FM1 Inv Ptc Env",  // 87
    "L3 FM1 Vol Env",  // 88
    "L3 FM1 Inv Vol Env",  // 89
    "L3 FM2 Ptc Env",  // 90
    "L3 FM2 Inv Ptc Env",  // 91
    "L3 FM2 Vol Env",  // 92
    "L3 FM2 Inv Vol Env",  // 93
    "L3 Vel Split",  // 94
    "L3 Inv Vel Split",  // 95
    // Global
    "Amp Env",  // 96
    "Amp Inv Env",  // 97
    "LFO 1",  // 98
    "Uni LFO 1",  // 99
    "LFO 2",  // 100
    "Uni LFO 2",  // 101
    "LFO 1+2",  // 102
    "Uni LFO 1+2",  // 103
    "LFO 1-2",  // 104
    "Uni LFO 1-2",  // 105
    "LFO 1*2",  // 106
    "Uni LFO 1*2",  // 107
    "Gator Left",  // 108
    "Gator Right",  // 109
    "Gator Average",  // 110
    "Ribbon",  // 111
    "Arp On/Off",  // 112
    "Arp Tune",  // 113
    "Arp Vel",  // 114
    "Arp Free",  // 115
    "Arp Free Sm",  // 116
    "Input",  // 117
    "L1 Out",  // 118
    "L2 Out",  // 119
    "L1+2 Out",  // 120
    "L3 Out",  // 121
    "L1+3 Out",  // 122
    "L2+3 Out",  // 123
    "L1+2+3 Out",  // 124
    "Distort FX Out",  // 125
    "Mod FX Out",  // 126
    "Delay Out",  // 127
    "Reverb Out",  // 128
    "Out",  // 129
    "Offset",  // 130
    "White Noise",  // 131
    "White Uni Noise",  // 132
    "Last Note",  // 133
    "Centre Last Note",  // 134
    "Pink Noise",  // 135
    "Pink Uni Noise",  // 136
};

// --- destinations -------------------------------------------------------------------------

// "&&" shows a single "&" in a menu item, where a lone "&" marks a shortcut.
constexpr const char* const DEST_STR[] = {
    // Main and arp
    "None",  // 0
    "Volume",  // 1
    "Velocity To Volume",  // 2
    "Amp Envelope Speed",  // 3
    "Amp Envelope Attack",  // 4
    "Amp Envelope Attack Curve",  // 5
    "Amp Envelope Decay",  // 6
    "Amp Envelope Decay Curve",  // 7
    "Amp Envelope Sustain",  // 8
    "Amp Envelope Release",  // 9
    "Amp Envelope Release Curve",  // 10
    "Mono Spread",  // 11
    "Pan",  // 12
    "Portamento Amount",  // 13
    "Global Octave",  // 14
    "Global Semi",  // 15
    "Global Fine",  // 16
    "Chord Strum Speed",  // 17
    "Chord Humanization",  // 18
    "Chord 1 Strum Speed",  // 19
    "Chord 2 Strum Speed",  // 20
    "Chord 3 Strum Speed",  // 21
    "Chord 4 Strum Speed",  // 22
    "Global Speed",  // 23
    "Global Envelope Speed",  // 24
    "Global LFO Speed",  // 25
    "Arp Speed",  // 26
    "Arp Steps",  // 27
    "Arp Loop",  // 28
    "Arp Swing",  // 29
    "Arp Slide",  // 30
    "Arp Note Length",  // 31
    "Arp Velocity/Key",  // 32
    "Arp Ratchet Velocity",  // 33
    "Arp Smooth",  // 34
    "Arp Smooth Attack",  // 35
    "Arp Smooth Decay",  // 36
    // Layer 1
    "Layer 1 Octave",  // 37
    "Layer 1 Semi",  // 38
    "Layer 1 Fine",  // 39
    "Layer 1 Wave Mix",  // 40
    "Layer 1 Symmetry",  // 41
    "Layer 1 Feed",  // 42
    "Layer 1 Phase",  // 43
    "Layer 1 Filter Frequency",  // 44
    "Layer 1 Filter Separation",  // 45
    "Layer 1 Filter Q",  // 46
    "Layer 1 Filter Vowel / Mix",  // 47
    "Layer 1 HP Frequency",  // 48
    "Layer 1 HP Q",  // 49
    "Layer 1 Volume",  // 50
    "Layer 1 Pan",  // 51
    "Layer 1 Wire Base Frequency",  // 52
    "Layer 1 Wire Separation",  // 53
    "Layer 1 Wire Q",  // 54
    "Layer 1 Wire Envelope Amount",  // 55
    "Layer 1 Wire Envelope Speed",  // 56
    "Layer 1 Wire Attack",  // 57
    "Layer 1 Wire Decay",  // 58
    "Layer 1 Wire Sustain",  // 59
    "Layer 1 Wire Release",  // 60
    "Layer 1 Wire Curve",  // 61
    "Layer 1 String Impulse Length",  // 62
    "Layer 1 String Impulse Volume",  // 63
    "Layer 1 String Impulse Shape",  // 64
    "Layer 1 String Length",  // 65
    "Layer 1 String Pluck",  // 66
    "Layer 1 String Damp",  // 67
    "Layer 1 FM 1 Semi",  // 68
    "Layer 1 FM 1 Fine",  // 69
    "Layer 1 FM 1 Pitch Envelope Amount",  // 70
    "Layer 1 FM 1 Pitch Envelope Speed",  // 71
    "Layer 1 FM 1 Pitch Envelope Attack",  // 72
    "Layer 1 FM 1 Pitch Envelope Decay",  // 73
    "Layer 1 FM 1 Pitch Envelope Sustain",  // 74
    "Layer 1 FM 1 Pitch Envelope Release",  // 75
    "Layer 1 FM 1 Pitch Envelope Curve",  // 76
    "Layer 1 FM 1 Volume",  // 77
    "Layer 1 FM 1 Volume Envelope Speed",  // 78
    "Layer 1 FM 1 Volume Envelope Attack",  // 79
    "Layer 1 FM 1 Volume Envelope Decay",  // 80
    "Layer 1 FM 1 Volume Envelope Sustain",  // 81
    "Layer 1 FM 1 Volume Envelope Release",  // 82
    "Layer 1 FM 1 Volume Envelope Curve",  // 83
    "Layer 1 FM 2 Semi",  // 84
    "Layer 1 FM 2 Fine",  // 85
    "Layer 1 FM 2 Pitch Envelope Amount",  // 86
    "Layer 1 FM 2 Pitch Envelope Speed",  // 87
    "Layer 1 FM 2 Pitch Envelope Attack",  // 88
    "Layer 1 FM 2 Pitch Envelope Decay",  // 89
    "Layer 1 FM 2 Pitch Envelope Sustain",  // 90
    "Layer 1 FM 2 Pitch Envelope Release",  // 91
    "Layer 1 FM 2 Pitch Envelope Curve",  // 92
    "Layer 1 FM 2 Volume",  // 93
    "Layer 1 FM 2 Volume Envelope Speed",  // 94
    "Layer 1 FM 2 Volume Envelope Attack",  // 95
    "Layer 1 FM 2 Volume Envelope Decay",  // 96
    "Layer 1 FM 2 Volume Envelope Sustain",  // 97
    "Layer 1 FM 2 Volume Envelope Release",  // 98
    "Layer 1 FM 2 Volume Envelope Curve",  // 99
    "Layer 1 Sub-Osc Semi",  // 100
    "Layer 1 Sub-Osc Fine",  // 101
    "Layer 1 Sub-Osc Volume",  // 102
    "Layer 1 Sub-Osc Pan",  // 103
    "Layer 1 Sub-Osc Wave Mix",  // 104
    "Layer 1 Sub-Osc Symmetry",  // 105
    "Layer 1 Sub-Osc Phase",  // 106
    "Layer 1 Envelope Speed",  // 107
    "Layer 1 Filter Envelope Amount",  // 108
    "Layer 1 Filter Envelope Speed",  // 109
    "Layer 1 Filter Envelope Attack",  // 110
    "Layer 1 Filter Envelope Decay",  // 111
    "Layer 1 Filter Envelope Sustain",  // 112
    "Layer 1 Filter Envelope Release",  // 113
    "Layer 1 Filter Envelope Curve",  // 114
    "Layer 1 Pitch Envelope Amount",  // 115
    "Layer 1 Pitch Envelope Speed",  // 116
    "Layer 1 Pitch Envelope Attack",  // 117
    "Layer 1 Pitch Envelope Decay",  // 118
    "Layer 1 Pitch Envelope Sustain",  // 119
    "Layer 1 Pitch Envelope Release",  // 120
    "Layer 1 Pitch Envelope Curve",  // 121
    "Layer 1 Volume Envelope Speed",  // 122
    "Layer 1 Volume Envelope Attack",  // 123
    "Layer 1 Volume Envelope Decay",  // 124
    "Layer 1 Volume Envelope Sustain",  // 125
    "Layer 1 Volume Envelope Release",  // 126
    "Layer 1 Volume Envelope Curve",  // 127
    "Layer 1 Envelope Retrigger",  // 128
    // Layer 2
    "Layer 2 Octave",  // 129
    "Layer 2 Semi",  // 130
    "Layer 2 Fine",  // 131
    "Layer 2 Wave Mix",  // 132
    "Layer 2 Symmetry",  // 133
    "Layer 2 Feed",  // 134
    "Layer 2 Phase",  // 135
    "Layer 2 Filter Frequency",  // 136
    "Layer 2 Filter Separation",  // 137
    "Layer 2 Filter Q",  // 138
    "Layer 2 Filter Vowel / Mix",  // 139
    "Layer 2 HP Frequency",  // 140
    "Layer 2 HP Q",  // 141
    "Layer 2 Volume",  // 142
    "Layer 2 Pan",  // 143
    "Layer 2 Wire Frequency",  // 144
    "Layer 2 Wire Separation",  // 145
    "Layer 2 Wire Q",  // 146
    "Layer 2 Wire Envelope Amount",  // 147
    "Layer 2 Wire Envelope Speed",  // 148
    "Layer 2 Wire Attack",  // 149
    "Layer 2 Wire Decay",  // 150
    "Layer 2 Wire Sustain",  // 151
    "Layer 2 Wire Release",  // 152
    "Layer 2 Wire Curve",  // 153
    "Layer 2 String Impulse Length",  // 154
    "Layer 2 String Impulse Volume",  // 155
    "Layer 2 String Impulse Shape",  // 156
    "Layer 2 String Length",  // 157
    "Layer 2 String Pluck",  // 158
    "Layer 2 String Damp",  // 159
    "Layer 2 FM 1 Semi",  // 160
    "Layer 2 FM 1 Fine",  // 161
    "Layer 2 FM 1 Pitch Envelope Amount",  // 162
    "Layer 2 FM 1 Pitch Envelope Speed",  // 163
    "Layer 2 FM 1 Pitch Envelope Attack",  // 164
    "Layer 2 FM 1 Pitch Envelope Decay",  // 165
    "Layer 2 FM 1 Pitch Envelope Sustain",  // 166
    "Layer 2 FM 1 Pitch Envelope Release",  // 167
    "Layer 2 FM 1 Pitch Envelope Curve",  // 168
    "Layer 2 FM 1 Volume",  // 169
    "Layer 2 FM 1 Volume Envelope Speed",  // 170
    "Layer 2 FM 1 Volume Envelope Attack",  // 171
    "Layer 2 FM 1 Volume Envelope Decay",  // 172
    "Layer 2 FM 1 Volume Envelope Sustain",  // 173
    "Layer 2 FM 1 Volume Envelope Release",  // 174
    "Layer 2 FM 1 Volume Envelope Curve",  // 175
    "Layer 2 FM 2 Semi",  // 176
    "Layer 2 FM 2 Fine",  // 177
    "Layer 2 FM 2 Pitch Envelope Amount",  // 178
    "Layer 2 FM 2 Pitch Envelope Speed",  // 179
    "Layer 2 FM 2 Pitch Envelope Attack",  // 180
    "Layer 2 FM 2 Pitch Envelope Decay",  // 181
    "Layer 2 FM 2 Pitch Envelope Sustain",  // 182
    "Layer 2 FM 2 Pitch Envelope Release",  // 183
    "Layer 2 FM 2 Pitch Envelope Curve",  // 184
    "Layer 2 FM 2 Volume",  // 185
    "Layer 2 FM 2 Volume Envelope Speed",  // 186
    "Layer 2 FM 2 Volume Envelope Attack",  // 187
    "Layer 2 FM 2 Volume Envelope Decay",  // 188
    "Layer 2 FM 2 Volume Envelope Sustain",  // 189
    "Layer 2 FM 2 Volume Envelope Release",  // 190
    "Layer 2 FM 2 Volume Envelope Curve",  // 191
    "Layer 2 Sub-Osc Semi",  // 192
    "Layer 2 Sub-Osc Fine",  // 193
    "Layer 2 Sub-Osc Volume",  // 194
    "Layer 2 Sub-Osc Pan",  // 195
    "Layer 2 Sub-Osc Wave Mix",  // 196
    "Layer 2 Sub-Osc Symmetry",  // 197
    "Layer 2 Sub-Osc Phase",  // 198
    "Layer 2 Envelope Speed",  // 199
    "Layer 2 Filter Envelope Amount",  // 200
    "Layer 2 Filter Envelope Speed",  // 201
    "Layer 2 Filter Envelope Attack",  // 202
    "Layer 2 Filter Envelope Decay",  // 203
    "Layer 2 Filter Envelope Sustain",  // 204
    "Layer 2 Filter Envelope Release",  // 205
    "Layer 2 Filter Envelope Curve",  // 206
    "Layer 2 Pitch Envelope Amount",  // 207
    "Layer 2 Pitch Envelope Speed",  // 208
    "Layer 2 Pitch Envelope Attack",  // 209
    "Layer 2 Pitch Envelope Decay",  // 210
    "Layer 2 Pitch Envelope Sustain",  // 211
    "Layer 2 Pitch Envelope Release",  // 212
    "Layer 2 Pitch Envelope Curve",  // 213
    "Layer 2 Volume Envelope Speed",  // 214
    "Layer 2 Volume Envelope Attack",  // 215
    "Layer 2 Volume Envelope Decay",  // 216
    "Layer 2 Volume Envelope Sustain",  // 217
    "Layer 2 Volume Envelope Release",  // 218
    "Layer 2 Volume Envelope Curve",  // 219
    "Layer 2 Envelope Retrigger",  // 220
    // Layer 3
    "Layer 3 Octave",  // 221
    "Layer 3 Semi",  // 222
    "Layer 3 Fine",  // 223
    "Layer 3 Wave Mix",  // 224
    "Layer 3 Symmetry",  // 225
    "Layer 3 Feed",  // 226
    "Layer 3 Phase",  // 227
    "Layer 3 Filter Frequency",  // 228
    "Layer 3 Filter Separation",  // 229
    "Layer 3 Filter Q",  // 230
    "Layer 3 Filter Vowel / Mix",  // 231
    "Layer 3 HP Frequency",  // 232
    "Layer 3 HP Q",  // 233
    "Layer 3 Volume",  // 234
    "Layer 3 Pan",  // 235
    "Layer 3 Wire Frequency",  // 236
    "Layer 3 Wire Separation",  // 237
    "Layer 3 Wire Q",  // 238
    "Layer 3 Wire Envelope Amount",  // 239
    "Layer 3 Wire Envelope Speed",  // 240
    "Layer 3 Wire Attack",  // 241
    "Layer 3 Wire Decay",  // 242
    "Layer 3 Wire Sustain",  // 243
    "Layer 3 Wire Release",  // 244
    "Layer 3 Wire Curve",  // 245
    "Layer 3 String Impulse Length",  // 246
    "Layer 3 String Impulse Volume",  // 247
    "Layer 3 String Impulse Shape",  // 248
    "Layer 3 String Length",  // 249
    "Layer 3 String Pluck",  // 250
    "Layer 3 String Damp",  // 251
    "Layer 3 FM 1 Semi",  // 252
    "Layer 3 FM 1 Fine",  // 253
    "Layer 3 FM 1 Pitch Envelope Amount",  // 254
    "Layer 3 FM 1 Pitch Envelope Speed",  // 255
    "Layer 3 FM 1 Pitch Envelope Attack",  // 256
    "Layer 3 FM 1 Pitch Envelope Decay",  // 257
    "Layer 3 FM 1 Pitch Envelope Sustain",  // 258
    "Layer 3 FM 1 Pitch Envelope Release",  // 259
    "Layer 3 FM 1 Pitch Envelope Curve",  // 260
    "Layer 3 FM 1 Volume",  // 261
    "Layer 3 FM 1 Volume Envelope Speed",  // 262
    "Layer 3 FM 1 Volume Envelope Attack",  // 263
    "Layer 3 FM 1 Volume Envelope Decay",  // 264
    "Layer 3 FM 1 Volume Envelope Sustain",  // 265
    "Layer 3 FM 1 Volume Envelope Release",  // 266
    "Layer 3 FM 1 Volume Envelope Curve",  // 267
    "Layer 3 FM 2 Semi",  // 268
    "Layer 3 FM 2 Fine",  // 269
    "Layer 3 FM 2 Pitch Envelope Amount",  // 270
    "Layer 3 FM 2 Pitch Envelope Speed",  // 271
    "Layer 3 FM 2 Pitch Envelope Attack",  // 272
    "Layer 3 FM 2 Pitch Envelope Decay",  // 273
    "Layer 3 FM 2 Pitch Envelope Sustain",  // 274
    "Layer 3 FM 2 Pitch Envelope Release",  // 275
    "Layer 3 FM 2 Pitch Envelope Curve",  // 276
    "Layer 3 FM 2 Volume",  // 277
    "Layer 3 FM 2 Volume Envelope Speed",  // 278
    "Layer 3 FM 2 Volume Envelope Attack",  // 279
    "Layer 3 FM 2 Volume Envelope Decay",  // 280
    "Layer 3 FM 2 Volume Envelope Sustain",  // 281
    "Layer 3 FM 2 Volume Envelope Release",  // 282
    "Layer 3 FM 2 Volume Envelope Curve",  // 283
    "Layer 3 Sub-Osc Semi",  // 284
    "Layer 3 Sub-Osc Fine",  // 285
    "Layer 3 Sub-Osc Volume",  // 286
    "Layer 3 Sub-Osc Pan",  // 287
    "Layer 3 Sub-Osc Wave Mix",  // 288
    "Layer 3 Sub-Osc Symmetry",  // 289
    "Layer 3 Sub-Osc Phase",  // 290
    "Layer 3 Envelope Speed",  // 291
    "Layer 3 Filter Envelope Amount",  // 292
    "Layer 3 Filter Envelope Speed",  // 293
    "Layer 3 Filter Envelope Attack",  // 294
    "Layer 3 Filter Envelope Decay",  // 295
    "Layer 3 Filter Envelope Sustain",  // 296
    "Layer 3 Filter Envelope Release",  // 297
    "Layer 3 Filter Envelope Curve",  // 298
    "Layer 3 Pitch Envelope Amount",  // 299
    "Layer 3 Pitch Envelope Speed",  // 300
    "Layer 3 Pitch Envelope Attack",  // 301
    "Layer 3 Pitch Envelope Decay",  // 302
    "Layer 3 Pitch Envelope Sustain",  // 303
    "Layer 3 Pitch Envelope Release",  // 304
    "Layer 3 Pitch Envelope Curve",  // 305
    "Layer 3 Volume Envelope Speed",  // 306
    "Layer 3 Volume Envelope Attack",  // 307
    "Layer 3 Volume Envelope Decay",  // 308
    "Layer 3 Volume Envelope Sustain",  // 309
    "Layer 3 Volume Envelope Release",  // 310
    "Layer 3 Volume Envelope Curve",  // 311
    "Layer 3 Envelope Retrigger",  // 312
    // Effects, LFOs and modulation
    "Distortion FX Mix",  // 313
    "Distortion FX Pan",  // 314
    "Distortion FX 1",  // 315
    "Distortion FX 2",  // 316
    "Distortion FX Pre-Boost",  // 317
    "Distortion FX Post-Boost",  // 318
    "Delay Mix",  // 319
    "Delay Pan",  // 320
    "Delay Left",  // 321
    "Delay Right",  // 322
    "Delay Length",  // 323
    "Delay Fine Length",  // 324
    "Delay Feed",  // 325
    "Delay Cross",  // 326
    "Delay LP",  // 327
    "Delay HP",  // 328
    "Reverb Mix",  // 329
    "Reverb Pan",  // 330
    "Reverb PreDelay",  // 331
    "Reverb PreFeed",  // 332
    "Reverb PreWiden",  // 333
    "Reverb Size",  // 334
    "Reverb Length",  // 335
    "Reverb Damp",  // 336
    "Reverb HP",  // 337
    "Mod FX Mix",  // 338
    "Mod FX Pan",  // 339
    "Mod FX Wave",  // 340
    "Mod FX Speed",  // 341
    "Mod FX Spread",  // 342
    "Mod FX Separation",  // 343
    "Mod FX Phase",  // 344
    "Mod FX Symmetry",  // 345
    "Mod FX Bias",  // 346
    "Mod FX Bits",  // 347
    "Mod FX S&&H",  // 348
    "Mod FX Hum",  // 349
    "Mod FX Smooth",  // 350
    "Mod FX Length/Pitch",  // 351
    "Mod FX Width",  // 352
    "Mod FX Widen",  // 353
    "Mod FX Feed",  // 354
    "Mod FX Ensemble",  // 355
    "Mod FX Wah Type",  // 356
    "Mod FX Wah/TalkBox Low",  // 357
    "Mod FX Wah/TalkBox High",  // 358
    "Mod FX Q",  // 359
    "Mod FX Frequency",  // 360
    "Mod FX Amount",  // 361
    "Mod FX Fine",  // 362
    "Mod FX Swing",  // 363
    "Mod FX LP",  // 364
    "Mod FX HP",  // 365
    "LFO 1 Speed",  // 366
    "LFO 1 Phase",  // 367
    "LFO 1 Symmetry",  // 368
    "LFO 1 Shape",  // 369
    "LFO 1 Smooth",  // 370
    "LFO 1 Smooth Attack",  // 371
    "LFO 1 Smooth Decay",  // 372
    "LFO 1 Bias",  // 373
    "LFO 1 Bits",  // 374
    "LFO 1 S&&H",  // 375
    "LFO 1 Humanize",  // 376
    "LFO 1 Key Track",  // 377
    "LFO 2 Speed",  // 378
    "LFO 2 Phase",  // 379
    "LFO 2 Symmetry",  // 380
    "LFO 2 Shape",  // 381
    "LFO 2 Smooth",  // 382
    "LFO 2 Smooth Attack",  // 383
    "LFO 2 Smooth Decay",  // 384
    "LFO 2 Bias",  // 385
    "LFO 2 Bits",  // 386
    "LFO 2 S&&H",  // 387
    "LFO 2 Humanize",  // 388
    "LFO 2 Key Track",  // 389
    "Mod Slot Amount 1",  // 390
    "Mod Slot Amount 2",  // 391
    "Mod Slot Amount 3",  // 392
    "Mod Slot Amount 4",  // 393
    "Mod Slot Amount 5",  // 394
    "Mod Slot Amount 6",  // 395
    "Mod Slot Amount 7",  // 396
    "Mod Slot Amount 8",  // 397
    "Ribbon Speed",  // 398
    "Ribbon Smooth",  // 399
    "Ribbon Value",  // 400
};

constexpr const char* const DEST_SHORT_STR[] = {
    // Main and arp
    "None",  // 0
    "Vol",  // 1
    "Vel To Vol",  // 2
    "Main Env Spd",  // 3
    "Amp Env Att",  // 4
    "Amp Env Att Crv",  // 5
    "Amp Env Dec",  // 6
    "Amp Env Dec Crv",  // 7
    "Amp Env Sust",  // 8
    "Amp Env Rel",  // 9
    "Amp Env Rel Crv",  // 10
    "Mono Spread",  // 11
    "Pan",  // 12
    "Portamento Amt",  // 13
    "Global Oct",  // 14
    "Global Semi",  // 15
    "Global Fine",  // 16
    "Chord Strum",  // 17
    "Chord Human",  // 18
    "Chord Strum 1",  // 19
    "Chord Strum 2",  // 20
    "Chord Strum 3",  // 21
    "Chord Strum 4",  // 22
    "Global Spd",  // 23
    "Global Env Spd",  // 24
    "Global LFO Spd",  // 25
    "Arp Spd",  // 26
    "Arp Steps",  // 27
    "Arp Loop Start",  // 28
    "Arp Swing",  // 29
    "Arp Slide",  // 30
    "Arp Note Len",  // 31
    "Arp Vel/Key",  // 32
    "Arp Ratchet Vel",  // 33
    "Arp Smooth",  // 34
    "Arp Smth Att",  // 35
    "Arp Smth Dec",  // 36
    // Layer 1
    "L1 Octave",  // 37
    "L1 Semi",  // 38
    "L1 Fine",  // 39
    "L1 Wave Mix",  // 40
    "L1 Sym",  // 41
    "L1 Feed",  // 42
    "L1 Phase",  // 43
    "L1 Filter Freq",  // 44
    "L1 Filter Sep",  // 45
    "L1 Filter Q",  // 46
    "L1 Filter Vowel/Mix",  // 47
    "L1 HP Freq",  // 48
    "L1 HP Q",  // 49
    "L1 Volume",  // 50
    "L1 Pan",  // 51
    "L1 Wire Freq",  // 52
    "L1 Wire Sep",  // 53
    "L1 Wire Q",  // 54
    "L1 Wire Env Amt",  // 55
    "L1 Wire Env Spd",  // 56
    "L1 Wire Att",  // 57
    "L1 Wire Dec",  // 58
    "L1 Wire Sust",  // 59
    "L1 Wire Rel",  // 60
    "L1 Wire Crv",  // 61
    "L1 Str Imp Len",  // 62
    "L1 Str Imp Vol",  // 63
    "L1 Str Imp Shp",  // 64
    "L1 Str Len",  // 65
    "L1 Str Pluck",  // 66
    "L1 Str Damp",  // 67
    "L1 FM1 Semi",  // 68
    "L1 FM1 Fine",  // 69
    "L1 FM1 Ptc Env Amt",  // 70
    "L1 FM1 Ptc Env Spd",  // 71
    "L1 FM1 Ptc Env Att",  // 72
    "L1 FM1 Ptc Env Dec",  // 73
    "L1 FM1 Ptc Env Sust",  // 74
    "L1 FM1 Ptc Env Rel",  // 75
    "L1 FM1 Ptc Env Crv",  // 76
    "L1 FM1 Vol",  // 77
    "L1 FM1 Vol Env Spd",  // 78
    "L1 FM1 Vol Env Att",  // 79
    "L1 FM1 Vol Env Dec",  // 80
    "L1 FM1 Vol Env Sust",  // 81
    "L1 FM1 Vol Env Rel",  // 82
    "L1 FM1 Vol Env Crv",  // 83
    "L1 FM2 Semi",  // 84
    "L1 FM2 Fine",  // 85
    "L1 FM2 Ptc Env Amt",  // 86
    "L1 FM2 Ptc Env Spd",  // 87
    "L1 FM2 Ptc Env Att",  // 88
    "L1 FM2 Ptc Env Dec",  // 89
    "L1 FM2 Ptc Env Sust",  // 90
    "L1 FM2 Ptc Env Rel",  // 91
    "L1 FM2 Ptc Env Crv",  // 92
    "L1 FM2 Vol",  // 93
    "L1 FM2 Vol Env Spd",  // 94
    "L1 FM2 Vol Env Att",  // 95
    "L1 FM2 Vol Env Dec",  // 96
    "L1 FM2 Vol Env Sust",  // 97
    "L1 FM2 Vol Env Rel",  // 98
    "L1 FM2 Vol Env Crv",  // 99
    "L1 Sub Semi",  // 100
    "L1 Sub Fine",  // 101
    "L1 Sub Vol",  // 102
    "L1 Sub Pan",  // 103
    "L1 Sub Wave Mix",  // 104
    "L1 Sub Sym",  // 105
    "L1 Sub Phs",  // 106
    "L1 Env Spd",  // 107
    "L1 Flt Env Amt",  // 108
    "L1 Flt Env Spd",  // 109
    "L1 Flt Env Att",  // 110
    "L1 Flt Env Dec",  // 111
    "L1 Flt Env Sust",  // 112
    "L1 Flt Env Rel",  // 113
    "L1 Flt Env Crv",  // 114
    "L1 Ptc Env Amt",  // 115
    "L1 Ptc Env Spd",  // 116
    "L1 Ptc Env Att",  // 117
    "L1 Ptc Env Dec",  // 118
    "L1 Ptc Env Sust",  // 119
    "L1 Ptc Env Rel",  // 120
    "L1 Ptc Env Crv",  // 121
    "L1 Vol Env Spd",  // 122
    "L1 Vol Env Att",  // 123
    "L1 Vol Env Dec",  // 124
    "L1 Vol Env Sust",  // 125
    "L1 Vol Env Rel",  // 126
    "L1 Vol Env Crv",  // 127
    "L1 Retrigger",  // 128
    // Layer 2
    "L2 Octave",  // 129
    "L2 Semi",  // 130
    "L2 Fine",  // 131
    "L2 Wave Mix",  // 132
    "L2 Sym",  // 133
    "L2 Feed",  // 134
    "L2 Phase",  // 135
    "L2 Filter Freq",  // 136
    "L2 Filter Sep",  // 137
    "L2 Filter Q",  // 138
    "L2 Filter Vowel/Mix",  // 139
    "L2 HP Freq",  // 140
    "L2 HP Q",  // 141
    "L2 Volume",  // 142
    "L2 Pan",  // 143
    "L2 Wire Freq",  // 144
    "L2 Wire Sep",  // 145
    "L2 Wire Q",  // 146
    "L2 Wire Env Amt",  // 147
    "L2 Wire Env Spd",  // 148
    "L2 Wire Att",  // 149
    "L2 Wire Dec",  // 150
    "L2 Wire Sust",  // 151
    "L2 Wire Rel",  // 152
    "L2 Wire Crv",  // 153
    "L2 Str Imp Len",  // 154
    "L2 Str Imp Vol",  // 155
    "L2 Str Imp Shp",  // 156
    "L2 Str Len",  // 157
    "L2 Str Pluck",  // 158
    "L2 Str Damp",  // 159
    "L2 FM1 Semi",  // 160
    "L2 FM1 Fine",  // 161
    "L2 FM1 Ptc Env Amt",  // 162
    "L2 FM1 Ptc Env Spd",  // 163
    "L2 FM1 Ptc Env Att",  // 164
    "L2 FM1 Ptc Env Dec",  // 165
    "L2 FM1 Ptc Env Sust",  // 166
    "L2 FM1 Ptc Env Rel",  // 167
    "L2 FM1 Ptc Env Crv",  // 168
    "L2 FM1 Vol",  // 169
    "L2 FM1 Vol Env Spd",  // 170
    "L2 FM1 Vol Env Att",  // 171
    "L2 FM1 Vol Env Dec",  // 172
    "L2 FM1 Vol Env Sust",  // 173
    "L2 FM1 Vol Env Rel",  // 174
    "L2 FM1 Vol Env Crv",  // 175
    "L2 FM2 Semi",  // 176
    "L2 FM2 Fine",  // 177
    "L2 FM2 Ptc Env Amt",  // 178
    "L2 FM2 Ptc Env Spd",  // 179
    "L2 FM2 Ptc Env Att",  // 180
    "L2 FM2 Ptc Env Dec",  // 181
    "L2 FM2 Ptc Env Sust",  // 182
    "L2 FM2 Ptc Env Rel",  // 183
    "L2 FM2 Ptc Env Crv",  // 184
    "L2 FM2 Vol",  // 185
    "L2 FM2 Vol Env Spd",  // 186
    "L2 FM2 Vol Env Att",  // 187
    "L2 FM2 Vol Env Dec",  // 188
    "L2 FM2 Vol Env Sust",  // 189
    "L2 FM2 Vol Env Rel",  // 190
    "L2 FM2 Vol Env Crv",  // 191
    "L2 Sub Semi",  // 192
    "L2 Sub Fine",  // 193
    "L2 Sub Vol",  // 194
    "L2 Sub Pan",  // 195
    "L2 Sub Wave Mix",  // 196
    "L2 Sub Sym",  // 197
    "L2 Sub Phs",  // 198
    "L2 Env Spd",  // 199
    "L2 Flt Env Amt",  // 200
    "L2 Flt Env Spd",  // 201
    "L2 Flt Env Att",  // 202
    "L2 Flt Env Dec",  // 203
    "L2 Flt Env Sust",  // 204
    "L2 Flt Env Rel",  // 205
    "L2 Flt Env Crv",  // 206
    "L2 Ptc Env Amt",  // 207
    "L2 Ptc Env Spd",  // 208
    "L2 Ptc Env Att",  // 209
    "L2 Ptc Env Dec",  // 210
    "L2 Ptc Env Sust",  // 211
    "L2 Ptc Env Rel",  // 212
    "L2 Ptc Env Crv",  // 213
    "L2 Vol Env Spd",  // 214
    "L2 Vol Env Att",  // 215
    "L2 Vol Env Dec",  // 216
    "L2 Vol Env Sust",  // 217
    "L2 Vol Env Rel",  // 218
    "L2 Vol Env Crv",  // 219
    "L2 Retrigger",  // 220
    // Layer 3
    "L3 Octave",  // 221
    "L3 Semi",  // 222
    "L3 Fine",  // 223
    "L3 Wave Mix",  // 224
    "L3 Sym",  // 225
    "L3 Feed",  // 226
    "L3 Phase",  // 227
    "L3 Filter Freq",  // 228
    "L3 Filter Sep",  // 229
    "L3 Filter Q",  // 230
    "L3 Filter Vowel/Mix",  // 231
    "L3 HP Freq",  // 232
    "L3 HP Q",  // 233
    "L3 Volume",  // 234
    "L3 Pan",  // 235
    "L3 Wire Freq",  // 236
    "L3 Wire Sep",  // 237
    "L3 Wire Q",  // 238
    "L3 Wire Env Amt",  // 239
    "L3 Wire Env Spd",  // 240
    "L3 Wire Att",  // 241
    "L3 Wire Dec",  // 242
    "L3 Wire Sust",  // 243
    "L3 Wire Rel",  // 244
    "L3 Wire Crv",  // 245
    "L3 Str Imp Len",  // 246
    "L3 Str Imp Vol",  // 247
    "L3 Str Imp Shp",  // 248
    "L3 Str Len",  // 249
    "L3 Str Pluck",  // 250
    "L3 Str Damp",  // 251
    "L3 FM1 Semi",  // 252
    "L3 FM1 Fine",  // 253
    "L3 FM1 Ptc Env Amt",  // 254
    "L3 FM1 Ptc Env Spd",  // 255
    "L3 FM1 Ptc Env Att",  // 256
    "L3 FM1 Ptc Env Dec",  // 257
    "L3 FM1 Ptc Env Sust",  // 258
    "L3 FM1 Ptc Env Rel",  // 259
    "L3 FM1 Ptc Env Crv",  // 260
    "L3 FM1 Vol",  // 261
    "L3 FM1 Vol Env Spd",  // 262
    "L3 FM1 Vol Env Att",  // 263
    "L3 FM1 Vol Env Dec",  // 264
    "L3 FM1 Vol Env Sust",  // 265
    "L3 FM1 Vol Env Rel",  // 266
    "L3 FM1 Vol Env Crv",  // 267
    "L3 FM2 Semi",  // 268
    "L3 FM2 Fine",  // 269
    "L3 FM2 Ptc Env Amt",  // 270
    "L3 FM2 Ptc Env Spd",  // 271
    "L3 FM2 Ptc Env Att",  // 272
    "L3 FM2 Ptc Env Dec",  // 273
    "L3 FM2 Ptc Env Sust",  // 274
    "L3 FM2 Ptc Env Rel",  // 275
    "L3 FM2 Ptc Env Crv",  // 276
    "L3 FM2 Vol",  // 277
    "L3 FM2 Vol Env Spd",  // 278
    "L3 FM2 Vol Env Att",  // 279
    "L3 FM2 Vol Env Dec",  // 280
    "L3 FM2 Vol Env Sust",  // 281
    "L3 FM2 Vol Env Rel",  // 282
    "L3 FM2 Vol Env Crv",  // 283
    "L3 Sub Semi",  // 284
    "L3 Sub Fine",  // 285
    "L3 Sub Vol",  // 286
    "L3 Sub Pan",  // 287
    "L3 Sub Wave Mix",  // 288
    "L3 Sub Sym",  // 289
    "L3 Sub Phs",  // 290
    "L3 Env Spd",  // 291
    "L3 Flt Env Amt",  // 292
    "L3 Flt Env Spd",  // 293
    "L3 Flt Env Att",  // 294
    "L3 Flt Env Dec",  // 295
    "L3 Flt Env Sust",  // 296
    "L3 Flt Env Rel",  // 297
    "L3 Flt Env Crv",  // 298
    "L3 Ptc Env Amt",  // 299
    "L3 Ptc Env Spd",  // 300
    "L3 Ptc Env Att",  // 301
    "L3 Ptc Env Dec",  // 302
    "L3 Ptc Env Sust",  // 303
    "L3 Ptc Env Rel",  // 304
    "L3 Ptc Env Crv",  // 305
    "L3 Vol Env Spd",  // 306
    "L3 Vol Env Att",  // 307
    "L3 Vol Env Dec",  // 308
    "L3 Vol Env Sust",  // 309
    "L3 Vol Env Rel",  // 310
    "L3 Vol Env Crv",  // 311
    "L3 Retrigger",  // 312
    // Effects, LFOs and modulation
    "Distort Mix",  // 313
    "Distort Pan",  // 314
    "Distort FX 1",  // 315
    "Distort FX 2",  // 316
    "Distort Pre",  // 317
    "Distort Post",  // 318
    "Delay Mix",  // 319
    "Delay Pan",  // 320
    "Delay Left",  // 321
    "Delay Right",  // 322
    "Delay Len",  // 323
    "Delay Fine",  // 324
    "Delay Feed",  // 325
    "Delay Cross",  // 326
    "Delay LP",  // 327
    "Delay HP",  // 328
    "Verb Mix",  // 329
    "Verb Pan",  // 330
    "Verb PreDelay",  // 331
    "Verb PreFeed",  // 332
    "Verb PreWiden",  // 333
    "Verb Size",  // 334
    "Verb Length",  // 335
    "Verb Damp",  // 336
    "Verb HP",  // 337
    "Mod FX Mix",  // 338
    "Mod FX Pan",  // 339
    "Mod FX Wave",  // 340
    "Mod FX Spd",  // 341
    "Mod FX Spread",  // 342
    "Mod FX Sep",  // 343
    "Mod FX Phase",  // 344
    "Mod FX Sym",  // 345
    "Mod FX Bias",  // 346
    "Mod FX Bits",  // 347
    "Mod FX S H",  // 348
    "Mod FX Hum",  // 349
    "Mod FX Smooth",  // 350
    "Mod FX Length",  // 351
    "Mod FX Width",  // 352
    "Mod FX Widen",  // 353
    "Mod FX Feed",  // 354
    "Mod FX Ens",  // 355
    "Mod FX Wah Type",  // 356
    "Mod FX Low",  // 357
    "Mod FX High",  // 358
    "Mod FX Q",  // 359
    "Mod FX Freq",  // 360
    "Mod FX Amt",  // 361
    "Mod FX Fine",  // 362
    "Mod FX Swing",  // 363
    "Mod FX LP",  // 364
    "Mod FX HP",  // 365
    "LFO 1 Speed",  // 366
    "LFO 1 Phase",  // 367
    "LFO 1 Sym",  // 368
    "LFO 1 Shape",  // 369
    "LFO 1 Smooth",  // 370
    "LFO 1 Sm Att",  // 371
    "LFO 1 Sm Dcy",  // 372
    "LFO 1 Bias",  // 373
    "LFO 1 Bits",  // 374
    "LFO 1 S&H",  // 375
    "LFO 1 Hum",  // 376
    "LFO 1 Keytrack",  // 377
    "LFO 2 Speed",  // 378
    "LFO 2 Phase",  // 379
    "LFO 2 Sym",  // 380
    "LFO 2 Shape",  // 381
    "LFO 2 Smooth",  // 382
    "LFO 2 Sm Att",  // 383
    "LFO 2 Sm Dcy",  // 384
    "LFO 2 Bias",  // 385
    "LFO 2 Bits",  // 386
    "LFO 2 S&H",  // 387
    "LFO 2 Hum",  // 388
    "LFO 2 Keytrack",  // 389
    "Mod 1 Amt",  // 390
    "Mod 2 Amt",  // 391
    "Mod 3 Amt",  // 392
    "Mod 4 Amt",  // 393
    "Mod 5 Amt",  // 394
    "Mod 6 Amt",  // 395
    "Mod 7 Amt",  // 396
    "Mod 8 Amt",  // 397
    "Ribbon Speed",  // 398
    "Ribbon Smooth",  // 399
    "Ribbon Value",  // 400
};

static_assert(allRowsSet(SRC_SUB_STR), "SRC_SUB_STR lacks rows");
static_assert(allRowsSet(DEST_SUB_STR), "DEST_SUB_STR lacks rows");
static_assert(allRowsSet(SRC_STR), "SRC_STR lacks rows");
static_assert(allRowsSet(SRC_SHORT_STR), "SRC_SHORT_STR lacks rows");
static_assert(allRowsSet(DEST_STR), "DEST_STR lacks rows");
static_assert(allRowsSet(DEST_SHORT_STR), "DEST_SHORT_STR lacks rows");
