// The output stage's brick-wall filter: its one-step form against the two sections run
// four times per host sample as written out, at several settings and rates, after the
// coefficients change behind its back, and with inputs that are not numbers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "support/PluginHarness.h"

namespace {

// Two state-variable low-pass sections in series, four steps per host sample on the held
// input, the mean of the four outputs; one channel.
struct ReferenceBrick {
    float st[2][2] = {};
    float process(float x, float g, float k) {
        float sum = 0.0f;
        for (int step = 0; step < 4; ++step) {
            float in = x;
            for (int section = 0; section < 2; ++section) {
                float& s1 = st[section][0];
                float& s2 = st[section][1];
                const float hp = (in - ((1.0f + g) * s1 + s2)) * k;
                const float t = g * hp;
                const float bp = s1 + t;
                const float lp = s2 + g * bp;
                s1 = bp + t;
                s2 = lp + g * bp;
                in = lp;
            }
            sum += in;
        }
        return sum * 0.25f + 1e-15f;
    }
};

std::vector<float> noise(int n, uint32_t seed, float amp) {
    std::vector<float> v((size_t)n);
    for (int i = 0; i < n; ++i) {
        seed = seed * 1664525u + 1013904223u;
        v[(size_t)i] = amp * (float)((int32_t)seed) * 4.656613e-10f;
    }
    return v;
}

// The plug-in's output stage with only the filter acting: unit gain, no width change.
struct Stage {
    std::unique_ptr<PluginHarness> h = std::make_unique<PluginHarness>();
    APlugin& p() { return h->plugin(); }
    Stage(float rate, float setting) {
        APlugin& q = p();
        q.setSampleRate(rate);
        q.paramValue[1019] = setting;
        q.updateMasterFilter();
        q.brickFilterOn = 1;
        q.mainVolGain = 1.0f;
        q.modDestGlobal[11] = 0.0f;
        for (auto& ch : q.brickState)
            for (auto& sec : ch)
                for (float& s : sec) s = 0.0f;
    }
};

// Runs n samples of two different signals through the stage and the reference; returns
// the largest difference and adds the reference's energy to level.
double compare(Stage& s, ReferenceBrick ref[2], int n, uint32_t seed, double& level) {
    const std::vector<float> l = noise(n, seed, 0.4f), r = noise(n, seed + 1, 0.3f);
    double worst = 0.0;
    for (int i = 0; i < n; ++i) {
        // A burst, then silence: the filter's own ringing is compared too.
        const float inL = i < n / 2 ? l[(size_t)i] : 0.0f;
        const float inR = i < n / 2 ? r[(size_t)i] : 0.0f;
        float outL = inL, outR = inR;
        s.p().runOutputStage(outL, outR);
        const float g = s.p().brickG, k = s.p().brickK;
        const float wantL = ref[0].process(inL, g, k), wantR = ref[1].process(inR, g, k);
        worst = std::fmax(worst, std::fabs((double)outL - wantL));
        worst = std::fmax(worst, std::fabs((double)outR - wantR));
        level += (double)wantL * wantL + (double)wantR * wantR;
    }
    return worst;
}

}  // namespace

TEST(OutputStage, TheBrickFilterMatchesItsSectionsRunStepByStep) {
    for (float rate : {22050.0f, 44100.0f, 96000.0f}) {
        for (float setting : {0.3f, 0.6f, 0.795f, 1.0f}) {
            Stage s(rate, setting);
            ReferenceBrick ref[2];
            double level = 0.0;
            const double worst = compare(s, ref, 20000, 5u, level);
            EXPECT_LT(worst, 1e-5) << rate << " Hz, setting " << setting;
            EXPECT_GT(level, 1.0) << "a real signal passed at " << rate << " Hz, setting " << setting;
        }
    }
}

TEST(OutputStage, TheBrickFilterFollowsCoefficientsChangedFromOutside) {
    Stage s(44100.0f, 0.5f);
    ReferenceBrick ref[2];
    double level = 0.0;
    EXPECT_LT(compare(s, ref, 4000, 9u, level), 1e-5);
    // A reset writes the coefficients directly; a new setting recomputes them. Both must
    // take effect at once, with the state carried over.
    s.p().brickG = 0.0f;
    s.p().brickK = 1.0f;
    EXPECT_LT(compare(s, ref, 4000, 10u, level), 1e-5);
    s.p().paramValue[1019] = 0.9f;
    s.p().updateMasterFilter();
    EXPECT_LT(compare(s, ref, 4000, 11u, level), 1e-5);
    EXPECT_GT(level, 1.0);
}

TEST(OutputStage, AnInputThatIsNotANumberLeavesTheFilterClean) {
    Stage s(44100.0f, 0.7f);
    float l = NAN, r = INFINITY;
    s.p().runOutputStage(l, r);
    EXPECT_TRUE(std::isfinite(l));
    EXPECT_TRUE(std::isfinite(r));
    for (int i = 0; i < 100; ++i) {
        float a = 0.25f, b = -0.25f;
        s.p().runOutputStage(a, b);
        ASSERT_TRUE(std::isfinite(a) && std::isfinite(b)) << i;
    }
    for (const auto& ch : s.p().brickState)
        for (const auto& sec : ch)
            for (float v : sec) EXPECT_TRUE(std::isfinite(v));
}
