// Golden renders: a few short renders through the engine (each sound model, a filter sweep,
// the modulation matrix, the effect chain), and the first frames after a warm-up compared
// with values kept below. Any change to the render path that moves the output shows here.
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

// All eight slots on per-voice destinations, both LFOs per voice.
Params matrixPatch() {
    using modtest::slot;
    Params p = modelPatch(2);
    const int routes[8][2] = {{98, 38}, {100, 44}, {17, 1}, {1, 136},
                              {96, 142}, {102, 228}, {7, 51}, {99, 109}};
    const float amounts[8] = {0.51f, 0.7f, 0.9f, 0.8f, 0.6f, 0.3f, 0.7f, 0.6f};
    for (int i = 0; i < 8; ++i) p = with(p, slot(i, routes[i][0], routes[i][1], amounts[i]));
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

struct Scenario {
    const char* name;
    Params params;
    bool sweep;
};

std::vector<Scenario> scenarios() {
    return {{"Wire", modelPatch(0), false},      {"String", modelPatch(1), false},
            {"FM", modelPatch(2), false},        {"Wave", modelPatch(3), false},
            {"FilterSweep", sweepPatch(), true}, {"Matrix", matrixPatch(), false},
            {"Effects", effectsPatch(), false}};
}

// Left and right of the kept frames, interleaved.
std::vector<float> renderScenario(const Scenario& s) {
    RandSeed.reset();  // the noise tables and draws start from the same state every time
    Engine e(s.params);
    const int notes[5] = {48, 52, 55, 59, 62};
    for (int i = 0; i < 5; ++i) e.noteOn(notes[i], 70 + 10 * i);
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
const float kGolden[7][2 * kFrames] = {
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
        -0.00227516587f, -0.00212479709f, -0.00117940083f, 0.0047608735f}
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

INSTANTIATE_TEST_SUITE_P(Scenarios, GoldenRenders, ::testing::Range(0, 7),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(scenarios()[(size_t)info.param].name);
                         });

}  // namespace
