// The held multimode quads (HeldMultimode) stepped two at a time.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "dsp/FilterTables.h"
#include "dsp/HeldMultimode.h"
#include "dsp/LaneDispatch.h"

namespace {

// The eight-lane paths for one test; the width in use before comes back after it.
struct WideLanes {
    lanes::Width saved = lanes::width();
    WideLanes() { lanes::setWidth(lanes::Width::Wide); }
    ~WideLanes() { lanes::setWidth(saved); }
};

// Two held quads stepped together (stepTwo) against the same two stepped one at a time, in
// every mode a quad holds, the envelopes moving and standing by turns: the same output bits.
TEST(HeldMultimode, TwoQuadsSteppedTogetherMatchEachAlone) {
    const WideLanes wideLanes;
    if (!TAV_WIDE_LANES || !lanes::wide()) GTEST_SKIP() << "four lanes only here";
    initFilterTables();
    for (int mode = kFilterLow12; mode <= kFilterNotch12; ++mode) {
        HeldMultimode held[2];  // stepped together, one at a time
        std::vector<std::unique_ptr<TFilter>> f[2];
        for (auto& list : f)
            for (int v = 0; v < 8; ++v) {
                list.push_back(std::make_unique<TFilter>());
                list.back()->init(48000.0f);
                list.back()->setType(mode, true);
            }
        int together = 0;
        for (int n = 0; n < 1200; ++n) {
            Lanes4 lanes[2][4][2];
            unsigned steps[2][2] = {};
            bool ready = true;
            for (int b = 0; b < 2; ++b)
                for (int q = 0; q < 2; ++q) {
                    float args[4][4] = {}, mods[4] = {};
                    stereoOverStruct o[4];
                    for (int i = 0, v = 4 * q; i < 4; ++i, ++v) {
                        args[i][0] = 1.0f + 0.1f * (float)v, args[i][1] = v % 2 ? 0.3f : 0.8f;
                        const float x = std::sin(0.05f * (float)(n * (v + 3)));
                        o[i] = {{{x, x}, {-x, 0.5f * x}}};
                        f[b][v]->setEnv(0, (n / 200) % 2 ? 0.2f : 0.3f * std::sin(0.003f * (float)(n * (v + 1))));
                    }
                    filtermath::loadNotePair(o[0], o[1], lanes[b][2 * q]);
                    filtermath::loadNotePair(o[2], o[3], lanes[b][2 * q + 1]);
                    const int32_t key = HeldMultimode::key(4 * q, 4 * q + 1, 4 * q + 2, 4 * q + 3);
                    if (held[b].holds(q, key) && held[b].stands(q, 0.45f, &mods[0], &mods[1], &mods[2], &mods[3],
                                                                args[0], args[1], args[2], args[3], steps[b][q]))
                        continue;
                    TFilter* const g[4] = {f[b][4 * q].get(), f[b][4 * q + 1].get(), f[b][4 * q + 2].get(),
                                           f[b][4 * q + 3].get()};
                    for (int i = 0; i < 4; ++i)
                        steps[b][q] |= (g[i]->prepareNoteLater({0.45f, 0.45f}, {0, 0}, args[i], &o[i], &o[i]) ==
                                        TFilter::kNoteFollow) << i;
                    ready = ready && held[b].take(q, g, key);
                }
            if (!ready) continue;  // (both banks alike: their filters are)
            HeldMultimode::stepTwo<false>(held[0].quad, steps[0][0], steps[0][1], lanes[0]);
            held[1].step(0, steps[1][0], lanes[1][0], lanes[1][1]);
            held[1].step(1, steps[1][1], lanes[1][2], lanes[1][3]);
            ASSERT_EQ(0, std::memcmp(lanes[0], lanes[1], sizeof lanes[0])) << "mode " << mode << " sample " << n;
            ++together;
        }
        EXPECT_GT(together, 1000) << mode;
    }
}

}  // namespace
