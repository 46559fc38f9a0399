// Golden renders: a few short renders through the engine (each sound model, a filter sweep,
// the modulation matrix, the effect chain, the start-up chord, noise waves, strummed chords,
// modulation from envelope, layer-output, effect-output, audio and noise sources), and the
// first frames after a warm-up compared with values kept below. Any change to the render
// path that moves the output shows here. The same renders in blocks of 1, 7, 64 and 512
// samples, with notes entering mid-block, must give the same samples, and so must the
// render loop's per-sample path forced.
//
// To regenerate after a change that is meant to alter the sound, run
//   TAV_GOLDEN_PRINT=1 build/tests/test_golden_renders --gtest_filter='*GoldenRenders*'
// (with the scratch HOME of scripts/test.sh) and paste the printed rows over kGolden.
// Each render runs with the widest lanes the processor has and again with the baseline
// lanes: both must give the same samples.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <ostream>

#include "dsp/LaneDispatch.h"
#include "engine/RandSeed.h"
#include "test_mod_util.h"

using namespace enginetest;

namespace {

constexpr int kFrames = 16;          // frames kept per render, left and right
constexpr int kWarmUp = 3000;        // samples after the notes before the kept frames
constexpr double kTolerance = 1e-6;  // -120 dBFS

// Every layer on and set to one model, the effects bypassed (the voice path alone).
Params modelPatch(int model) {
    Params p = {{1, 0.4f}, {541, 0.0f}, {345, 1.0f}};
    for (int layer = 0; layer < 3; ++layer) {
        p.push_back({LAYER_ON_TAGS[layer], 1.0f});
        p.push_back({LAYER_SOURCE_TAGS[layer], sourceValue(model)});
        p.push_back({VOL_TAGS[layer], 0.55f});
    }
    return p;
}

// Wave through a resonant 24 dB low-pass on every layer (the cutoff swept while it plays).
Params sweepPatch() {
    Params p = modelPatch(3);
    for (int layer = 0; layer < 3; ++layer) {
        p.push_back({FILTER_MODE_TAGS[layer], stepped(15, 34.99f)});
        p.push_back({FILTER_Q_TAGS[layer], 0.6f});
    }
    return p;
}

// Slot i routes the i-th route's source to its destination.
struct Route {
    int src, dest;
    float amount;
};
Params withRoutes(Params p, std::initializer_list<Route> routes) {
    int i = 0;
    for (const Route& r : routes) p = with(p, modtest::slot(i++, r.src, r.dest, r.amount));
    return p;
}

// All eight slots on per-voice destinations, both LFOs per voice.
Params matrixPatch() {
    const Params p = withRoutes(modelPatch(2), {{98, 38, 0.51f}, {100, 44, 0.7f}, {17, 1, 0.9f},
                                                {1, 136, 0.8f}, {96, 142, 0.6f}, {102, 228, 0.3f},
                                                {7, 51, 0.7f}, {99, 109, 0.6f}});
    return with(p, {{102, 0.55f}, {103, 0.6f}, {357, 0.0f}, {360, 0.0f},
                    {356, stepped(0, 3.99f)}, {359, stepped(0, 3.99f)}});
}

// Distortion, Mod FX, delay and reverb on, the layers entering the chain at three points.
Params effectsPatch() {
    Params p = modelPatch(0);
    p = with(p, {{345, 0.0f}, {346, 1.0f}, {347, stepped(4, 26.99f)}, {105, stepped(2, 3.99f)},
                 {348, 1.0f}, {349, stepped(2, 10.99f)}, {351, 1.0f}, {354, 1.0f},
                 {344, stepped(5, 5.99f)}});
    const int dest[3] = {0, 3, 1};
    for (int layer = 0; layer < 3; ++layer)
        p.push_back({LAYER_DEST_TAGS[layer], stepped(dest[layer], 4.99f)});
    return p;
}

// Wave layers on white and pink noise beside a Wire layer, a three-note strummed chord per
// key: the voices draw from the shared generators in turn.
Params noiseStrumPatch() {
    Params p = with(modelPatch(3), {{WAVE_TAGS[0], waveValue(4)}, {WAVE_TAGS[1], waveValue(5)},
                                    {LAYER_SOURCE_TAGS[2], sourceValue(0)}, {554, 1.0f},
                                    {CHORD_NOTES_TAGS[0], stepped(2, 5.99f)},
                                    {CHORD_STRUM_TAGS[0], 0.3f}, {CHORD_STRUM_SYNC_ON_TAGS[0], 0.0f}});
    for (int i = 0; i < 3; ++i)
        p.push_back({CHORD_SEMI_TAGS[0] + i, ((float)(48 + 4 * i) + 0.1f) / 96.99f});
    return p;
}

// Envelope, layer-output, effect-output, audio and noise sources, to per-voice and global
// destinations, through the effect chain.
Params sourcesPatch() {
    return withRoutes(effectsPatch(), {{42, 44, 0.7f}, {118, 228, 0.6f}, {125, 51, 0.7f},
                                       {129, 50, 0.4f}, {131, 139, 0.6f}, {96, 313, 0.7f},
                                       {124, 341, 0.65f}, {128, 319, 0.7f}});
}

// The Chorus with its output low-cut beside the delay and the reverb, the distortion stage
// off (its DC blocker alone).
Params chorusPatch() {
    return with(effectsPatch(), {{346, 0.0f}, {349, stepped(0, 10.99f)}, {112, 0.3f}});
}

// A model (Wave, Wire) with a pitch envelope: a voice whose envelope still moves, listed
// after voices whose envelopes are done, leaves the plain voices' loop in the middle of the
// list.
Params pitchEnvelopePatch(int model) {
    Params p = modelPatch(model);
    for (int layer = 0; layer < 3; ++layer) {
        p.push_back({PITCH_ENV_AMT_TAGS[layer], 0.8f});
        p.push_back({PITCH_ENV_DEC_TAGS[layer], 0.35f});
    }
    return p;
}

// FM with pitch envelopes moving (the layer's, and an operator's on two layers), the third
// layer's operators chained: voices leave FM's plain voices' loop in the middle of the list,
// and a chained layer takes none.
Params fmEnvelopePatch() {
    Params p = pitchEnvelopePatch(2);
    p.push_back({FM_1_PITCH_ENV_AMT_TAGS[0], 0.7f});
    p.push_back({FM_1_PITCH_ENV_DEC_TAGS[0], 0.3f});
    p.push_back({FM_2_PITCH_ENV_AMT_TAGS[1], 0.3f});
    p.push_back({FM_2_PITCH_ENV_DEC_TAGS[1], 0.4f});
    p.push_back({FM_MODE_TAGS[2], 1.0f});
    return p;
}

// FM with its velocity routed to feedback (layer 1), symmetry (2) and wave mix between two
// shapes (3): voices FM's plain voices' loop must leave to the full path.
Params fmShapesPatch() {
    using modtest::slot;
    Params p = with(modelPatch(2), slot(0, 17, DEST_L_WAVE_FEED[0], 0.8f));
    p = with(p, slot(1, 17, DEST_L_WAVE_SYM[1], 0.8f));
    return with(p, slot(2, 17, DEST_L_WAVE_MIX[2], 0.6f));
}

// Moving sources (global LFOs, the last voice's envelopes, white noise, velocity) on
// destinations outside the effect chain: the global tuning, the voices' volume and pan, the
// Amp envelope, a global LFO's speed and a slot's amount.
Params globalRoutesPatch() {
    const Params p = withRoutes(modelPatch(3), {{98, 16, 0.6f}, {96, 12, 0.7f}, {17, 1, 0.8f},
                                                {100, 366, 0.7f}, {102, 24, 0.6f}, {42, 15, 0.55f},
                                                {131, 390, 0.6f}, {99, 8, 0.6f}});
    return with(p, {{102, 0.55f}, {103, 0.6f}});
}

// The same kind of sources on what the effect chain and the output stage read: the
// delay's mix, the Mod FX speed, the reverb's size and the Mono Spread.
Params chainRoutesPatch() {
    const Params p = withRoutes(effectsPatch(), {{98, 319, 0.8f}, {100, 341, 0.8f},
                                                 {99, 334, 0.8f}, {101, 11, 0.8f}});
    return with(p, {{102, 0.55f}, {103, 0.6f}});
}

struct Scenario {
    const char* name;
    Params params;
    bool sweep;
    bool startup;  // the start-up program as it is, an eight-note chord
};

std::vector<Scenario> scenarios() {
    return {{"Wire", modelPatch(0), false, false},      {"String", modelPatch(1), false, false},
            {"FM", modelPatch(2), false, false},        {"Wave", modelPatch(3), false, false},
            {"FilterSweep", sweepPatch(), true, false}, {"Matrix", matrixPatch(), false, false},
            {"Effects", effectsPatch(), false, false},  {"StartupChord", Params(), false, true},
            {"NoiseStrum", noiseStrumPatch(), false, false},
            {"Sources", sourcesPatch(), false, false},
            {"Chorus", chorusPatch(), false, false},
            {"PitchEnvelope", pitchEnvelopePatch(3), false, false},
            {"WirePitchEnvelope", pitchEnvelopePatch(0), false, false},
            {"FMPitchEnvelope", fmEnvelopePatch(), false, false},
            {"FMShapes", fmShapesPatch(), false, false},
            {"GlobalRoutes", globalRoutesPatch(), false, false},
            {"ChainRoutes", chainRoutesPatch(), false, false}};
}

// Left and right of the kept frames, interleaved.
std::vector<float> renderScenario(const Scenario& s) {
    RandSeed.reset();  // the noise tables and draws start from the same state every time
    Engine e(s.params);
    if (s.startup) {
        const int chord[8] = {48, 52, 55, 59, 60, 64, 67, 71};
        for (int i = 0; i < 8; ++i) e.noteOn(chord[i], 100);
    } else {
        const int notes[5] = {48, 52, 55, 59, 62};
        for (int i = 0; i < 5; ++i) e.noteOn(notes[i], 70 + 10 * i);
    }
    for (int done = 0; done < kWarmUp; done += 64) {
        if (s.sweep) {
            const float x = 0.2f + 0.6f * (float)done / (float)kWarmUp;
            for (int layer = 0; layer < 3; ++layer) e.p().setParameter(FILTER_FREQ_TAGS[layer], x);
        }
        e.render(64, 64);
    }
    const std::vector<float> left = e.render(kFrames, 64);
    std::vector<float> out;
    for (int i = 0; i < kFrames; ++i) {
        out.push_back(left[(size_t)i]);
        out.push_back(e.lastRight[(size_t)i]);
    }
    return out;
}

// Regenerate with TAV_GOLDEN_PRINT=1 (see the top of the file).
const float kGolden[10][2 * kFrames] = {
    {  // Wire
        0.00427246559f, 0.0027386914f, 0.00282944692f, 0.00297595793f,
        0.00287608709f, 0.00261285319f, 0.00558749586f, 0.00660926942f,
        0.004536964f, 0.00903775822f, 0.00447059842f, 0.00652887207f,
        0.00463515567f, 0.00425365986f, 0.00283116847f, 0.00408626813f,
        0.00567917572f, 0.00252135005f, 0.00528176362f, -0.00136157265f,
        -0.00068562699f, -0.00258558337f, 0.00154506031f, 1.60116997e-05f,
        0.00492516346f, 0.000339111546f, 0.00207379274f, -0.00289357989f,
        0.0064903493f, -0.00124750531f, 0.0108552305f, 0.00286485953f},
    {  // String
        0.00164478039f, 0.00164478039f, 0.00181189994f, 0.00181189994f,
        0.00174308743f, 0.00174308743f, 0.00046895392f, 0.00046895392f,
        0.000353440351f, 0.000353440351f, 0.00234805606f, 0.00234805606f,
        0.0055749733f, 0.0055749733f, 0.00678524794f, 0.00678524794f,
        0.00585984532f, 0.00585984532f, 0.00526757957f, 0.00526757957f,
        0.00519791478f, 0.00519791478f, 0.00479803421f, 0.00479803421f,
        0.00366339064f, 0.00366339064f, 0.00302748987f, 0.00302748987f,
        0.0021098915f, 0.0021098915f, 0.000256222294f, 0.000256222294f},
    {  // FM
        -0.00960758142f, -0.00960758142f, -0.00919758156f, -0.00919758156f,
        -0.00875176303f, -0.00875176303f, -0.008296296f, -0.008296296f,
        -0.00785185304f, -0.00785185304f, -0.00739496714f, -0.00739496714f,
        -0.00693345815f, -0.00693345815f, -0.00646717194f, -0.00646717194f,
        -0.0059816828f, -0.0059816828f, -0.00549831428f, -0.00549831428f,
        -0.00499729719f, -0.00499729719f, -0.00448539667f, -0.00448539667f,
        -0.00399128208f, -0.00399128208f, -0.00346568041f, -0.00346568041f,
        -0.00291654351f, -0.00291654351f, -0.00238010311f, -0.00238010311f},
    {  // Wave
        -0.00221825088f, -0.0022412145f, -0.00207638438f, -0.00208739401f,
        -0.00192795752f, -0.00192511501f, -0.00177463971f, -0.00176023634f,
        -0.00163295143f, -0.00160802901f, -0.00149240578f, -0.00145477499f,
        -0.0013560243f, -0.00130644394f, -0.00121870381f, -0.00115983584f,
        -0.00107991975f, -0.00101074588f, -0.000946362154f, -0.000865841983f,
        -0.000813849794f, -0.00072470482f, -0.000683883147f, -0.000587108661f,
        -0.000560546119f, -0.000454390422f, -0.000432508445f, -0.000318391045f,
        -0.000300076732f, -0.000180502961f, -0.000177006514f, -5.07732875e-05f},
    {  // FilterSweep
        -0.00447660871f, -0.00439454662f, -0.00419718632f, -0.00411520759f,
        -0.00393251749f, -0.0038506221f, -0.0037374075f, -0.00365559291f,
        -0.00350119546f, -0.00341946306f, -0.00322635495f, -0.0031447066f,
        -0.00301629188f, -0.00293472712f, -0.00281898584f, -0.00273750606f,
        -0.00255872076f, -0.00247732364f, -0.00232201465f, -0.00224070158f,
        -0.00214399514f, -0.00206276681f, -0.0019212832f, -0.0018401402f,
        -0.00166999165f, -0.00158893457f, -0.00148511131f, -0.0014041391f,
        -0.00130103785f, -0.00122015062f, -0.00105837372f, -0.000977572403f},
    {  // Matrix
        -0.00279223174f, -0.00230202964f, -0.00249506091f, -0.00201882003f,
        -0.00217128894f, -0.00171070511f, -0.00182627444f, -0.0013827181f,
        -0.00147800392f, -0.00104999542f, -0.00112054113f, -0.000707171566f,
        -0.000751178246f, -0.000353299256f, -0.000374662573f, 9.85937277e-06f,
        1.25830356e-05f, 0.000386889238f, 0.00040175172f, 0.000767792226f,
        0.000799158646f, 0.00115975877f, 0.00119753042f, 0.00155752921f,
        0.00158415141f, 0.00194774312f, 0.00198552292f, 0.00235675322f,
        0.00238322746f, 0.00276809884f, 0.002759255f, 0.00316342548f},
    {  // Effects
        0.0102022095f, 0.00542862713f, 0.00791653059f, 0.00648811227f,
        0.00354861724f, 0.00795965176f, -0.00234235404f, 0.0116377743f,
        -0.00574133405f, 0.015508797f, -0.00355884386f, 0.0140608288f,
        -0.00271082553f, 0.0086255325f, -0.00130679877f, 0.00675738929f,
        0.00420888746f, 0.00691183656f, 0.0024393585f, 0.00232059089f,
        -0.00593432365f, -0.00295758178f, -0.00715076411f, -0.00376511971f,
        -0.00726647768f, -0.00505614514f, -0.00897985976f, -0.00738113467f,
        -0.00227516587f, -0.00212479709f, -0.00117940083f, 0.0047608735f},
    {  // StartupChord
        -0.516109824f, -0.39226982f, -0.533548176f, -0.401878655f,
        -0.54266268f, -0.43368569f, -0.533560455f, -0.423918754f,
        -0.532397807f, -0.376043558f, -0.549655139f, -0.366272002f,
        -0.580555201f, -0.391821355f, -0.596763313f, -0.396956474f,
        -0.582981527f, -0.396917939f, -0.581669807f, -0.433781773f,
        -0.57084775f, -0.434877902f, -0.505409598f, -0.38329953f,
        -0.451797932f, -0.408785522f, -0.43414855f, -0.477669209f,
        -0.375885934f, -0.444070309f, -0.299574018f, -0.406291395f},
    {  // NoiseStrum
        0.00080149126f, -0.00835613627f, -0.0168345608f, -0.0258457251f,
        0.00843459088f, -0.000327070913f, 0.0244746134f, 0.0160384495f,
        0.0312217604f, 0.0231499728f, 0.018091727f, 0.0104079992f,
        0.0119193913f, 0.00463741599f, 0.00345654972f, -0.00343396887f,
        0.00489359722f, -0.00163380534f, 0.0333529338f, 0.0271585658f,
        0.0207468886f, 0.0148552349f, 0.000127384978f, -0.00546847098f,
        -0.00788011588f, -0.0131197767f, -0.0131844729f, -0.0179361217f,
        0.0147132948f, 0.0106256511f, 0.0395039804f, 0.0362775661f},
    {  // Sources
        0.00444930233f, 0.00678764097f, 0.00336035527f, 0.00834968407f,
        0.00217072223f, 0.0111665986f, -0.00418110564f, 0.01309733f,
        -0.00905244052f, 0.011288546f, -0.00615930371f, 0.00980906002f,
        -0.00498313177f, 0.00800631288f, -0.00343442173f, 0.00761199603f,
        0.00347265112f, 0.00954752415f, 0.00556606567f, 0.00775043666f,
        0.00058591878f, 0.00327503122f, -0.00199089828f, -0.000725220947f,
        -0.00697013596f, -0.00537805958f, -0.011077038f, -0.00987698603f,
        -0.00482750125f, -0.00751007115f, -0.00713320449f, 0.000396113668f}
};

class GoldenRenders : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { tavtest::isolatePluginHome(tavtest::hostScratchDir("golden")); }
};

TEST_P(GoldenRenders, FirstFramesAfterWarmUpKeepTheirValues) {
    const Scenario s = scenarios()[(size_t)GetParam()];
    lanes::setWidth(lanes::widest());
    const std::vector<float> wide = renderScenario(s);
    lanes::setWidth(lanes::Width::Baseline);
    const std::vector<float> base = renderScenario(s);
    lanes::setWidth(lanes::widest());
    if (std::getenv("TAV_GOLDEN_PRINT")) {
        std::printf("    {  // %s\n", s.name);
        for (size_t i = 0; i < wide.size(); ++i)
            std::printf("%s%.9gf%s", i % 4 == 0 ? "        " : " ", (double)wide[i],
                        i + 1 == wide.size() ? "},\n" : (i % 4 == 3 ? ",\n" : ","));
    }
    double level = 0.0;
    for (size_t i = 0; i < wide.size(); ++i) {
        // The baseline and the widest lanes run the same operations in the same order.
        EXPECT_EQ(wide[i], base[i]) << s.name << " sample " << i;
        EXPECT_NEAR(wide[i], kGolden[GetParam()][i], kTolerance) << s.name << " sample " << i;
        level = std::max(level, (double)std::fabs(wide[i]));
    }
    EXPECT_GT(level, 1e-4) << s.name << " is silent: the golden values would prove nothing";
}

INSTANTIATE_TEST_SUITE_P(Scenarios, GoldenRenders, ::testing::Range(0, 10),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(scenarios()[(size_t)info.param].name);
                         });

// Wire with a pitch envelope: its notes' steps start from the step before the fine/semi
// factor (Wire without one, from the product the controls keep: GoldenRenders' Wire).
TEST(WirePitchEnvelope, FirstFramesAfterWarmUpKeepTheirValues) {
    const float golden[2 * kFrames] = {
        0.00730492268f, 0.00408739736f, -0.00517693022f, -0.00217116391f,
        -0.00685320189f, -0.00119953137f, -0.00496063568f, 0.000468263839f,
        -0.00564612402f, -0.00367365638f, -0.00254592579f, -0.00414463272f,
        0.00052188267f, -0.00174611411f, -0.000484092481f, -0.00256248331f,
        -0.00301566836f, -0.00293629174f, -0.00222341251f, -0.000386905216f,
        -0.000900247542f, 0.00054806046f, -0.00204340555f, 0.000778764312f,
        -0.000576738094f, 0.00215502805f, 0.00119073922f, 0.00148125982f,
        -0.00134457846f, -0.000263462483f, -0.0030222307f, -0.00209535868f};
    const Scenario s = scenarios()[12];
    ASSERT_EQ(std::string(s.name), "WirePitchEnvelope");
    const std::vector<float> got = renderScenario(s);
    ASSERT_EQ(got.size(), (size_t)(2 * kFrames));
    for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], golden[i], kTolerance) << i;
}

// Whole renders of the scenarios in blocks of 1, 7, 64 and 512 samples, with notes entering
// mid-block and in a burst, a note stolen and a long release: every sample must match.
std::vector<float> renderInBlocks(const Scenario& s, int block, bool perSample = false,
                                  uint64_t* subBlockSamples = nullptr) {
    struct Note {
        int frame, status, key, velocity;
    };
    std::vector<Note> notes = {{0, 0x90, 48, 90}};
    for (int i = 0; i < 18; ++i) notes.push_back({301 + 5 + 2 * i, 0x90, 50 + 3 * i, 60 + 3 * i});
    for (int i = 0; i < 18; ++i) notes.push_back({2801 + 7 * i, 0x80, 50 + 3 * i, 0});
    notes.push_back({2801 + 133, 0x80, 48, 0});
    RandSeed.reset();
    Engine e(s.params);
    e.p().renderPerSample = perSample ? 1 : 0;
    e.p().subBlockSamples = 0;
    std::vector<float> out;
    int at = 0;  // the first sample not rendered yet, always on a block boundary
    auto take = [&](int n) {
        const std::vector<float> left = e.render(n, block);
        for (size_t i = 0; i < left.size(); ++i) {
            out.push_back(left[i]);
            out.push_back(e.lastRight[i]);
        }
        at += n;
    };
    for (const Note& n : notes) {
        // Each event goes with the block it falls in, at its offset inside that block.
        take((n.frame - at) / block * block);
        e.send({{(uint8_t)n.status, (uint8_t)n.key, (uint8_t)n.velocity}}, n.frame - at);
    }
    take(9000 - at);
    if (subBlockSamples) *subBlockSamples = e.p().subBlockSamples;
    return out;
}

class BlockSizes : public GoldenRenders {};

TEST_P(BlockSizes, GiveTheSameSamples) {
    const Scenario s = scenarios()[(size_t)GetParam()];
    const std::vector<float> one = renderInBlocks(s, 1);
    double level = 0.0;
    for (int block : {7, 64, 512}) {
        const std::vector<float> other = renderInBlocks(s, block);
        ASSERT_EQ(one.size(), other.size());
        size_t differing = 0, first = one.size();
        for (size_t i = 0; i < one.size(); ++i) {
            if (one[i] != other[i] && differing++ == 0) first = i;
            level = std::max(level, (double)std::fabs(one[i]));
        }
        EXPECT_EQ(differing, 0u) << s.name << " in blocks of " << block << ", first at " << first;
    }
    EXPECT_GT(level, 1e-4) << s.name << " is silent";
}

INSTANTIATE_TEST_SUITE_P(Scenarios, BlockSizes, ::testing::Values(0, 2, 5, 6, 7, 8, 9, 15),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(scenarios()[(size_t)info.param].name);
                         });

// Envelope levels are published only while something reads them. A route from an envelope
// made while notes sound (taken by the next control block) must read what publishing all
// along would have given: the same route held neutral (amount 0.5) from the start and
// turned up at the same moment renders the same samples.
TEST(EnvelopeSources, RoutesMadeWhileNotesSoundReadWhatPublishingAllAlongGives) {
    using modtest::slot;
    tavtest::isolatePluginHome(tavtest::hostScratchDir("golden-envelopes"));
    const int routes[3][2] = {{96, 228}, {96, 38}, {96, 130}};
    for (const auto& route : routes) {
        // 0: held neutral, then turned up; 1: made at that moment; 2: never made.
        std::vector<float> take[3];
        for (int k = 0; k < 3; ++k) {
            RandSeed.reset();
            // An instant Amp attack and a short decay to half: the level moves, then stands
            // still well before the route is made.
            Engine e(with(with(modelPatch(3), {{5, 0.0f}, {6, 0.15f}, {7, 0.5f}}),
                          k == 0 ? slot(0, route[0], route[1], 0.5f) : slot(0, 0, 0, 0.5f, true)));
            const int notes[4] = {48, 55, 60, 64};
            for (int i = 0; i < 4; ++i) e.noteOn(notes[i], 100);
            // Up to a control block: the slot's amount (read on every sample) and its route
            // (taken by the control block) change together.
            take[k] = e.render(1000 + (int)(128u - (e.p().sampleCounter + 1000u) % 128u), 64);
            // Written as the host does, without a forced control pass.
            if (k < 2)
                for (const auto& kv : slot(0, route[0], route[1], 0.85f))
                    e.p().setParameter(kv.first, kv.second);
            const std::vector<float> rest = e.render(4000, 64);
            take[k].insert(take[k].end(), rest.begin(), rest.end());
        }
        EXPECT_EQ(take[0], take[1]) << "route " << route[0] << " -> " << route[1];
        EXPECT_NE(take[0], take[2]) << "route " << route[0] << " -> " << route[1] << " moves nothing";
    }
}

// The render loop runs the effect chain after a run of up to 16 samples' voices when the
// chain and the voices cannot reach each other within it, and sample by sample otherwise
// (routes from effect outputs or to the effects). The per-sample path, forced,
// must give the same samples; whether the runs were taken is checked too.
class SubBlocks : public GoldenRenders {};

TEST_P(SubBlocks, GiveWhatThePerSamplePathGives) {
    const Scenario s = scenarios()[(size_t)GetParam()];
    const bool runs = s.name != std::string("Sources") && s.name != std::string("ChainRoutes");
    for (int block : {7, 64, 512}) {
        uint64_t used = 0, forced = 0;
        const std::vector<float> fast = renderInBlocks(s, block, false, &used);
        const std::vector<float> reference = renderInBlocks(s, block, true, &forced);
        ASSERT_EQ(fast.size(), reference.size());
        size_t differing = 0, first = fast.size();
        for (size_t i = 0; i < fast.size(); ++i)
            if (fast[i] != reference[i] && differing++ == 0) first = i;
        EXPECT_EQ(differing, 0u) << s.name << " in blocks of " << block << ", first at " << first;
        EXPECT_EQ(forced, 0u) << s.name;
        if (runs)
            EXPECT_GT(used, 4000u) << s.name << " in blocks of " << block;
        else
            EXPECT_EQ(used, 0u) << s.name << " in blocks of " << block;
    }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, SubBlocks,
                         ::testing::Values(0, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(scenarios()[(size_t)info.param].name);
                         });

}  // namespace

// Eight Wave voices whose quads hold their high-passes, the layers' high-pass frequency and
// filter cutoff moving away and back (the high-pass also while the multimode filters move,
// so that it settles again on other values), with the widest lanes and the baseline: the
// same output, bit for bit.
TEST(GoldenRendersHeld, WaveHighPassesFollowTheirArgumentsAwayAndBack) {
    std::vector<float> out[2];
    for (int run = 0; run < 2; ++run) {
        lanes::setWidth(run == 0 ? lanes::widest() : lanes::Width::Baseline);
        RandSeed.reset();
        Engine e(modelPatch(3));
        const int chord[8] = {48, 52, 55, 59, 60, 64, 67, 71};
        for (int note : chord) e.noteOn(note, 100);
        for (int n = 0; n < 96; ++n) {
            const int phase = n / 8 % 4;  // 0, 2: at rest; 1: high-pass moved; 3: both
            for (int layer = 0; layer < 3; ++layer)
                e.set({{HP_FREQ_TAGS[layer], phase % 2 ? 0.3f : 0.1f},
                       {FILTER_FREQ_TAGS[layer], phase == 3 ? 0.7f : 0.5f}});
            const std::vector<float> left = e.render(64, 64);
            out[run].insert(out[run].end(), left.begin(), left.end());
        }
    }
    lanes::setWidth(lanes::widest());
    ASSERT_EQ(out[0].size(), out[1].size());
    for (size_t i = 0; i < out[0].size(); ++i) ASSERT_EQ(out[0][i], out[1][i]) << "sample " << i;
}

// Wave voices of a filtering mode, whose quads hold their high-passes, joined by voices
// started after the multimode filters were bypassed; once the first ones end, the layers'
// high-passes run in octets (the quads give theirs back). With the widest lanes and the
// baseline: the same output, bit for bit.
TEST(GoldenRendersHeld, WaveHighPassesGoFromQuadsToOctets) {
    std::vector<float> out[2];
    for (int run = 0; run < 2; ++run) {
        lanes::setWidth(run == 0 ? lanes::widest() : lanes::Width::Baseline);
        RandSeed.reset();
        Params p = with(modelPatch(3), {{ENV_TAGS[3][0], 0.0f}});  // a short amp release
        for (int layer = 0; layer < 3; ++layer)
            p.push_back({FILTER_MODE_TAGS[layer], stepped(kFilterLow12, 34.99f)});
        Engine e(p);
        const auto keep = [&](const std::vector<float>& x) {
            out[run].insert(out[run].end(), x.begin(), x.end());
        };
        for (int k = 0; k < 4; ++k) e.noteOn(48 + k, 100);
        keep(e.render(512, 64));
        for (int layer = 0; layer < 3; ++layer)
            e.set({{FILTER_MODE_TAGS[layer], stepped(kFilterBypass, 34.99f)}});
        for (int k = 0; k < 8; ++k) e.noteOn(60 + k, 100);
        keep(e.render(512, 64));
        for (int k = 0; k < 4; ++k) e.noteOff(48 + k);
        keep(e.render(8192, 64));
    }
    lanes::setWidth(lanes::widest());
    ASSERT_EQ(out[0].size(), out[1].size());
    for (size_t i = 0; i < out[0].size(); ++i) ASSERT_EQ(out[0][i], out[1][i]) << "sample " << i;
}

// FM voices and the Wave voices of layers whose multimode filters are bypassed (their
// tails run from their high-pass octets' lanes) and Wire voices (from their pairs'
// records), the gains in lanes: the layers' pan and volume moving, notes let
// go and new ones taken (an octet of four voices, then of other voices), with the widest
// lanes and the baseline: the same output, bit for bit.
class TailLanes : public ::testing::TestWithParam<int> {};
TEST_P(TailLanes, FollowTheirLevelsAndVoices) {
    std::vector<float> out[2];
    for (int run = 0; run < 2; ++run) {
        lanes::setWidth(run == 0 ? lanes::widest() : lanes::Width::Baseline);
        RandSeed.reset();
        Engine e(modelPatch(GetParam()));
        for (int k = 0; k < 12; ++k) e.noteOn(48 + k, 60 + 5 * k);
        for (int n = 0; n < 64; ++n) {
            if (n == 20) e.noteOff(50);
            if (n == 24)
                for (int k = 0; k < 5; ++k) e.noteOn(62 + k, 90);
            for (int layer = 0; layer < 3; ++layer)
                e.set({{PAN_TAGS[layer], n / 8 % 2 ? 0.2f + 0.2f * layer : 0.5f},
                       {VOL_TAGS[layer], n / 16 % 2 ? 0.3f : 0.55f}});
            const std::vector<float> left = e.render(64, 64);
            out[run].insert(out[run].end(), left.begin(), left.end());
            out[run].insert(out[run].end(), e.lastRight.begin(), e.lastRight.end());
        }
    }
    lanes::setWidth(lanes::widest());
    ASSERT_EQ(out[0].size(), out[1].size());
    for (size_t i = 0; i < out[0].size(); ++i) ASSERT_EQ(out[0][i], out[1][i]) << "sample " << i;
}
INSTANTIATE_TEST_SUITE_P(Models, TailLanes, ::testing::Values(2, 0, 3));

// A held chord whose envelopes come to rest: its voices (and Wire's quads) then skip the
// looks at their controls (and maps) that would find nothing moved, and its tails the
// forming of gains that would come out as they are. Its cutoffs, separation, level and pan
// moved and brought back, a note let go and taken again, and MIDI inside every block: the
// same output, bit for bit, as the per-sample path (which never skips), for Wire, FM and
// Wave (FM's and Wave's voices also rendered ahead through the samples of a run that stand).
class SettledChords : public ::testing::TestWithParam<int> {};
TEST_P(SettledChords, FollowWhatMovesThemAgain) {
    const int model = GetParam();
    const int32_t* const separation = model == 0 ? WIRE_SEP_TAGS : FILTER_SEP_TAGS;
    std::vector<float> out[2];
    int steady = 0, standing = 0;
    uint64_t handed = 0, cutShort = 0;
    for (int run = 0; run < 2; ++run) {
        RandSeed.reset();
        Params p = modelPatch(model);
        // Every envelope quick to a sustain that sounds, but the layers' level envelopes,
        // which have none: they stay slow, so that the chord still sounds when it settles.
        for (int e = 0; e < 28; ++e) {
            if (e == ENV_VOL[0] || e == ENV_VOL[1] || e == ENV_VOL[2]) continue;
            for (int stage = 0; stage < 2; ++stage)
                if (ENV_TAGS[stage][e] >= 0) p.push_back({ENV_TAGS[stage][e], 0.05f});
            if (ENV_TAGS[2][e] >= 0) p.push_back({ENV_TAGS[2][e], 0.6f});
        }
        if (model == 3)  // a mode the multimode quads hold
            for (int layer = 0; layer < 3; ++layer)
                p.push_back({FILTER_MODE_TAGS[layer], stepped(kFilterLow12, 34.99f)});
        Engine e(p);
        e.p().renderPerSample = (uint8_t)run;
        for (int k = 0; k < 8; ++k) e.noteOn(48 + 3 * k, 60 + 5 * k);
        for (int n = 0; n < 192; ++n) {
            // 0: at rest; 1 to 3 and 5: one input moved; 4: a note out
            const int phase = n / 16 % 6;
            for (int layer = 0; layer < 3; ++layer)
                e.set({{FILTER_FREQ_TAGS[layer], phase == 1 ? 0.6f : 0.5f},
                       {separation[layer], phase == 2 ? 0.5f : 0.34f},
                       {VOL_TAGS[layer], phase == 3 ? 0.4f : 0.55f},
                       {PAN_TAGS[layer], phase == 5 ? 0.3f : 0.5f}});
            if (n % 96 == 64) e.noteOff(51);
            if (n % 96 == 72) e.noteOn(51, 70);
            // (channel pressure inside the block: a run ends there)
            e.send({{0xD0, (uint8_t)(n % 128)}}, 5 + n % 50);
            const std::vector<float> left = e.render(64, 64);
            out[run].insert(out[run].end(), left.begin(), left.end());
            out[run].insert(out[run].end(), e.lastRight.begin(), e.lastRight.end());
            // (the last sample's voices took the steady loop, and Wire's quads their chains alone)
            const APlugin& a = e.p();
            if (run == 0) handed = a.runAhead[0].handedOver, cutShort = a.runAhead[0].cutShort;
            if (run == 0) {
                steady += model == 0   ? a.wireQuads[0].steadyNow
                          : model == 2 ? a.env.passLeftOut() &&
                                             a.hpOctets[0].steadyFor == a.sampleCounter
                                       : a.env.stillNow(1u << ENV_FILTER[0] | 1u << ENV_PITCH[0]) &&
                                             a.mmQuads[0].steadyFor == a.sampleCounter;
                // (and Wave's multimode quads stepped without looking at what they stand on)
                standing += a.env.stillNow(1u << ENV_FILTER[0]) &&
                            a.mmQuads[0].standFor == a.sampleCounter;
            }
        }
    }
    if (model != 0) {  // its voices were rendered ahead, and runs cut the samples short
        EXPECT_GT(handed, 4000u);
        EXPECT_GT(cutShort, 100u);
    }
    if (model != 0 || lanes::widest() != lanes::Width::Baseline) EXPECT_GT(steady, 40);
    if (model == 3 && lanes::widest() != lanes::Width::Baseline) EXPECT_GT(standing, 40);
    ASSERT_EQ(out[0].size(), out[1].size());
    for (size_t i = 0; i < out[0].size(); ++i) ASSERT_EQ(out[0][i], out[1][i]) << "sample " << i;
}
INSTANTIATE_TEST_SUITE_P(Models, SettledChords, ::testing::Values(0, 2, 3));

// Voices rendered ahead through the samples of a run that stand, where those samples end
// before they are all handed over: at MIDI inside the block, at the end of a block of a
// size out of step with the render loop's cadence, where voices end one by one (their list
// shrinks), where a pitch envelope moves and where feedback, which reads what the last
// sample left each note, turns on after them. The same output, bit for bit, as the
// per-sample path, for String, FM and Wave, each case with notes rendered ahead and cut short.
// (feedbackFrom: the block from which the oscillators' feedback is on; -1: never. lowest:
// the lowest keys and semitones, whose String delays come within a run's length of the
// line's size: a run's reads then reach slots that the same run writes later.)
struct AheadCase {
    int model;
    int block;
    bool pitchEnvelope;
    int feedbackFrom = -1;
    bool lowest = false;
};
void PrintTo(const AheadCase& c, std::ostream* os) {
    *os << "model " << c.model << ", block " << c.block << (c.pitchEnvelope ? ", pitch envelope" : "")
        << (c.feedbackFrom >= 0 ? ", feedback" : "") << (c.lowest ? ", lowest keys" : "");
}
class RunAhead : public ::testing::TestWithParam<AheadCase> {};
// String's lines of every voice's first note, in one number (a later note reads them).
uint64_t stringLinesHash(const APlugin& a) {
    uint64_t h = 1469598103934665603u;
    for (const auto& layer : a.strings->line)
        for (const auto& voice : layer)
            for (float x : voice[0]) {
                uint32_t bits;
                std::memcpy(&bits, &x, sizeof bits);
                h = (h ^ bits) * 1099511628211u;
            }
    return h;
}
TEST_P(RunAhead, GivesWhatThePerSamplePathGives) {
    const AheadCase c = GetParam();
    std::vector<float> out[2];
    std::vector<uint64_t> lines[2];  // String: after each block, where runs were cut short
    uint64_t handed = 0, cutShort = 0;
    for (int run = 0; run < 2; ++run) {
        RandSeed.reset();
        Params p = modelPatch(c.model);
        for (int e = 1; e < 25; ++e)  // the layers' envelopes quick to a sustain that sounds
            if (e != ENV_VOL[0] && e != ENV_VOL[1] && e != ENV_VOL[2] && ENV_TAGS[1][e] >= 0) {
                p.push_back({ENV_TAGS[1][e], 0.05f});
                if (ENV_TAGS[2][e] >= 0) p.push_back({ENV_TAGS[2][e], 0.6f});
            }
        p.push_back({ENV_TAGS[3][0], 0.15f});  // an amp release that ends within the render
        for (int layer = 0; layer < 3 && c.pitchEnvelope; ++layer)
            p.push_back({PITCH_ENV_AMT_TAGS[layer], 0.8f});
        for (int layer = 0; layer < 3 && c.feedbackFrom >= 0; ++layer)  // by the mod wheel
            p = with(p, modtest::slot(layer, 1, DEST_L_WAVE_FEED[layer], 0.8f));
        // (strings that ring on past a short excitation, through a loop filter that keeps some
        // of its last sample)
        for (int layer = 0; layer < 3 && c.model == 1; ++layer)
            p = with(p, {{STRING_LEN_TAGS[layer], 1.0f},
                         {STRING_IMP_LEN_TAGS[layer], 0.0f},
                         {STRING_DAMP_TAGS[layer], 0.5f}});
        for (int layer = 0; layer < 3 && c.lowest; ++layer) p.push_back({SEMI_TAGS[layer], 0.0f});
        Engine e(p);
        e.p().renderPerSample = (uint8_t)run;
        // (strings sound ahead only once their excitation and its history are past)
        const int key = c.lowest ? 0 : 50, blocks = c.model == 1 ? 300 : 80, held = blocks - 40;
        for (int k = 0; k < 8; ++k) e.noteOn(key + 2 * k, 70 + 6 * k);
        for (int n = 0; n < blocks; ++n) {
            if (n == c.feedbackFrom) e.send({{0xB0, 1, 127}});
            if (n >= held && n % 4 == 0) e.noteOff(key + (n - held) / 2, 3 + n % 29);
            e.send({{0xD0, (uint8_t)(n % 128)}}, 7 + 13 * n % (c.block - 7));
            const std::vector<float> left = e.render(c.block, c.block);
            out[run].insert(out[run].end(), left.begin(), left.end());
            if (c.model == 1) lines[run].push_back(stringLinesHash(e.p()));
        }
        if (run == 0) {
            for (const TRunAhead& a : e.p().runAhead) {
                handed += a.handedOver;
                cutShort += a.cutShort;
            }
        }
    }
    EXPECT_GT(handed, 1000u);
    EXPECT_GT(cutShort, 20u);
    EXPECT_EQ(lines[0], lines[1]);
    ASSERT_EQ(out[0].size(), out[1].size());
    for (size_t i = 0; i < out[0].size(); ++i) ASSERT_EQ(out[0][i], out[1][i]) << "sample " << i;
}
INSTANTIATE_TEST_SUITE_P(Cases, RunAhead,
                         ::testing::Values(AheadCase{1, 64, false}, AheadCase{1, 100, true},
                                           AheadCase{1, 64, false, -1, true},
                                           AheadCase{2, 64, false}, AheadCase{2, 100, true},
                                           AheadCase{3, 64, false}, AheadCase{3, 100, true},
                                           AheadCase{3, 37, false}, AheadCase{2, 64, false, 30},
                                           AheadCase{3, 64, false, 30}));
