// The start-up program, built at compile time from one compact table per family of
// parameters. Tags not named here (unset tags, the text slots) start at 0.
#include "plugin/uPluginDemo.h"

namespace {

constexpr int kTagCount = 1024;

struct Program {
    float v[kTagCount];
};

struct TagValue {
    int tag;
    float value;
};

// Start-up values of the 67 layer members, per layer 1, 2, 3, in member order.
constexpr float kLayerStart[67][3] = {
    {0.5f, 0.38f, 0.5f},  // Semi
    {0.5f, 0.5f, 0.5f},  // Fine
    {0.0f, 0.0f, 0.0f},  // Wire Q
    {0.665f, 0.665f, 0.5f},  // Wire Envelope Amount
    {0.825f, 0.825f, 0.5f},  // Wire Envelope Decay/Release
    {0.5f, 0.5f, 0.5f},  // String Impulse Length
    {0.75f, 0.75f, 0.75f},  // String Impulse Volume
    {0.5f, 0.5f, 0.5f},  // String Impulse Shape
    {1.0f, 1.0f, 1.0f},  // String Length
    {0.5f, 0.5f, 0.5f},  // String Pluck
    {0.0f, 0.0f, 0.0f},  // String Damp
    {0.5f, 0.5f, 0.5f},  // FM 1 Semi
    {0.5f, 0.5f, 0.5f},  // FM 1 Fine
    {0.75f, 0.75f, 0.75f},  // FM 1 Volume
    {0.5f, 0.5f, 0.5f},  // FM 2 Semi
    {0.5f, 0.5f, 0.5f},  // FM 2 Fine
    {0.75f, 0.75f, 0.75f},  // FM 2 Volume
    {0.0f, 0.0f, 0.51f},  // Wave
    {0.5f, 0.5f, 0.8f},  // Wave Symmetry
    {0.0f, 0.0f, 0.0f},  // Wave Sub-Osc Volume
    {1.0f, 1.0f, 0.265f},  // Filter Frequency
    {0.5f, 0.5f, 0.675f},  // Filter Separation
    {0.0f, 0.0f, 0.0f},  // Filter Q
    {0.0f, 0.0f, 0.0f},  // Filter Vowel
    {0.5f, 0.5f, 0.705f},  // Filter Envelope Amount
    {0.5f, 0.5f, 0.725f},  // Filter Envelope Decay/Release
    {0.5f, 0.5f, 0.5f},  // Pitch Envelope Amount
    {0.5f, 0.5f, 0.5f},  // Pitch Envelope Decay/Release
    {0.0f, 0.0f, 0.0f},  // HP Filter Frequency
    {1.0f, 1.0f, 1.0f},  // Volume Envelope Decay/Release
    {0.625f, 0.625f, 0.6999f},  // Volume
    {1.0f, 0.0f, 1.0f},  // On/Off
    {0.0f, 0.0f, 0.776942f},  // Source
    {0.0f, 0.0f, 0.0f},  // Output Destination
    {1.0f, 1.0f, 1.0f},  // Wire On
    {0.5f, 0.5f, 0.5f},  // Wire Key-Track
    {0.57f, 0.57f, 0.5f},  // Wire Vel-Track
    {0.5f, 0.5f, 0.5f},  // String Length Key-Track
    {0.5f, 0.5f, 0.5f},  // String Length Vel-Track
    {0.5f, 0.5f, 0.5f},  // String Pluck Key-Track
    {0.5f, 0.5f, 0.5f},  // String Pluck Vel-Track
    {0.5f, 0.5f, 0.5f},  // String Damp Key-Track
    {0.5f, 0.5f, 0.5f},  // String Damp Vel-Track
    {0.0f, 0.0f, 0.0f},  // FM Mode
    {0.5f, 0.5f, 0.5f},  // FM 1 Pitch Envelope Amount
    {0.5f, 0.5f, 0.5f},  // FM 1 Pitch Envelope Decay/Release
    {0.5f, 0.5f, 0.5f},  // FM 1 Volume Envelope Decay/Release
    {0.5f, 0.5f, 0.5f},  // FM 1 Volume Envelope Sustain
    {0.0f, 0.0f, 0.0f},  // FM 1 Velocity Track
    {0.5f, 0.5f, 0.5f},  // FM 2 Pitch Envelope Amount
    {0.5f, 0.5f, 0.5f},  // FM 2 Pitch Envelope Decay/Release
    {0.5f, 0.5f, 0.5f},  // FM 2 Volume Envelope Decay/Release
    {0.5f, 0.5f, 0.5f},  // FM 2 Volume Envelope Sustain
    {0.0f, 0.0f, 0.0f},  // FM 2 Velocity Track
    {0.0f, 0.0f, 0.0f},  // Wave Feed
    {0.0f, 0.0f, 0.088597f},  // Filter Mode
    {0.0f, 0.0f, 0.22f},  // Filter Envelope Sustain
    {1.0f, 1.0f, 1.0f},  // Filter Key-Track
    {0.5f, 0.5f, 0.5f},  // Filter Vel-Track
    {0.2f, 0.2f, 0.2f},  // Pitch Envelope Curve
    {0.2f, 0.2f, 0.2f},  // Volume Envelope Curve
    {0.5f, 0.5f, 0.5f},  // Volume Envelope Key-Track
    {0.5f, 0.5f, 0.5f},  // Volume Envelope Vel-Track
    {0.6699f, 0.0f, 0.0f},  // Wire Separation
    {0.0f, 0.0f, 0.0f},  // Free-Running Noise
    {0.0f, 0.0f, 0.0f},  // String Drift
    {0.5f, 0.5f, 0.5f},  // Pan
};

// Single parameters whose start-up value is not 0.
constexpr TagValue kSingleStart[] = {
    {1, 0.55f},
    {2, 0.5f},
    {3, 0.5f},
    {6, 0.86f},
    {8, 0.725f},
    {102, 0.5f},
    {103, 0.5f},
    {104, 0.25f},
    {105, 0.42f},
    {106, 0.481f},
    {107, 0.53f},
    {108, 0.43f},
    {109, 0.15f},
    {110, 1.0f},
    {111, 0.81f},
    {112, 0.6f},
    {113, 0.167f},
    {114, 0.67f},
    {115, 0.585f},
    {116, 0.69f},
    {117, 0.5f},
    {118, 0.935f},
    {119, 0.185f},
    {120, 0.255f},
    {121, 0.61f},
    {122, 0.645f},
    {123, 0.81f},
    {124, 0.285f},
    {125, 0.1f},
    {126, 0.5f},
    {244, 0.011123f},
    {246, 0.131332f},
    {247, 0.131332f},
    {348, 1.0f},
    {349, 0.100091f},
    {350, 1.0f},
    {352, 1.0f},
    {353, 1.0f},
    {354, 1.0f},
    {357, 1.0f},
    {360, 1.0f},
    {395, 1.0f},
    {397, 0.5f},
    {400, 1.0f},
    {404, 1.0f},
    {665, 1.0f},
    {666, 0.839355f},
    {1017, 0.5f},
    {1018, 1.0f},
    {1019, 0.795f},
};

// Modulation matrix, column by column (bypass, source, destination, amount), slots 1..8.
constexpr float kModStart[4][8] = {
    {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f},
    {0.555528f, 0.0055f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f},
    {0.456209f, 0.456209f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f},
    {0.685f, 0.635f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f},
};

// Arpeggiator grid: one value for every step of a row (on, tied, slide, tune, velocity,
// chord, free, ratchet).
constexpr float kArpRowStart[8] = {1.0f, 0.0f, 0.0f, 0.5f, 1.0f, 0.036679f, 0.5f, 0.0f};

// Velocity split points per layer: fade in, start, end, fade out.
constexpr float kVelSplitStart[3][4] = {
    {0.0f, 0.2f, 0.6f, 1.0f},
    {0.0f, 0.2f, 0.6f, 1.0f},
    {0.0f, 0.2f, 0.6f, 1.0f},
};

// One chord's 27 values (every chord starts alike): notes, strum length, strum sync,
// then six semitone offsets, six fine tunes, six volumes and six pans.
constexpr float kChordStart[27] = {
    0.0f, 0.0f, 0.0f,
    0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f,
    0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f,
    1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f,
    0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f,
};

// Tag of member m of layer L, in the member order of the layer tag tables.
constexpr int layerTag(int layer, int member) {
    if (member < 31) return 9 + 31 * layer + member;
    if (member < 63) return 248 + 32 * layer + (member - 31);
    const int block3[4] = {1011, 1014, 1008, 1005};  // wire sep, free noise, drift, pan
    return block3[member - 63] + layer;
}

constexpr Program buildStartupProgram() {
    Program p{};
    for (int layer = 0; layer < 3; ++layer) {
        for (int m = 0; m < 67; ++m) p.v[layerTag(layer, m)] = kLayerStart[m][layer];
        for (int point = 0; point < 4; ++point)
            p.v[542 + 4 * layer + point] = kVelSplitStart[layer][point];
    }
    for (const TagValue& s : kSingleStart) p.v[s.tag] = s.value;
    for (int column = 0; column < 4; ++column)
        for (int slot = 0; slot < 8; ++slot) p.v[361 + 8 * column + slot] = kModStart[column][slot];
    for (int row = 0; row < 8; ++row)
        for (int step = 0; step < 16; ++step) p.v[412 + 16 * row + step] = kArpRowStart[row];
    for (int chord = 0; chord < 4; ++chord)
        for (int offset = 0; offset < 27; ++offset)
            p.v[556 + 27 * chord + offset] = kChordStart[offset];
    return p;
}

constexpr Program kStartup = buildStartupProgram();

}  // namespace

// Spelled out element by element so that the table is a plain constant array.
#define TAV_V4(i) kStartup.v[i], kStartup.v[i + 1], kStartup.v[i + 2], kStartup.v[i + 3]
#define TAV_V16(i) TAV_V4(i), TAV_V4(i + 4), TAV_V4(i + 8), TAV_V4(i + 12)
#define TAV_V64(i) TAV_V16(i), TAV_V16(i + 16), TAV_V16(i + 32), TAV_V16(i + 48)
#define TAV_V256(i) TAV_V64(i), TAV_V64(i + 64), TAV_V64(i + 128), TAV_V64(i + 192)

const float DEMOVAR[1][1024] = {{TAV_V256(0), TAV_V256(256), TAV_V256(512), TAV_V256(768)}};

#undef TAV_V256
#undef TAV_V64
#undef TAV_V16
#undef TAV_V4

static_assert(sizeof(DEMOVAR) == sizeof(float) * kTagCount, "one value per tag");
