// All eight slots at extreme amounts on voice and global destinations, both LFOs shaped and
// at their fastest, notes, bends and the wheel throughout: 20 s through the offline host stay
// finite, within the clip and sounding; in the engine every destination, source and LFO value
// stays finite.
#include <algorithm>

#include "test_mod_util.h"

using namespace enginetest;
using namespace modtest;

namespace {

class ModStress : public ::testing::Test {
protected:
    void SetUp() override { tavtest::isolatePluginHome(tavtest::hostScratchDir("mod-stress")); }
};

Params stressPatch() {
    Params p = {{1, 0.8f}, {5, 0.0f}, {7, 1.0f}, {541, 0.0f}, {554, 0.0f}, {345, 0.0f},
                {346, 1.0f}, {348, 1.0f}, {351, 1.0f}, {354, 1.0f}, {666, springTimeValue(0)}};
    for (int layer = 0; layer < 3; ++layer) {
        p.push_back({LAYER_ON_TAGS[layer], 1.0f});
        p.push_back({LAYER_SOURCE_TAGS[layer], sourceValue(layer == 0 ? 3 : layer - 1)});
        p.push_back({VOL_TAGS[layer], 0.7f});
    }
    // Both LFOs free at the top rate, a square and a saw.
    p = with(p, {{102, 1.0f}, {103, 1.0f}, {357, 0.0f}, {360, 0.0f},
                 {355, lfoWaveValue(6)}, {358, lfoWaveValue(4)}, {356, lfoModeValue(0)},
                 {359, lfoModeValue(2)}});
    p = with(p, slot(0, kSrcLFO1, kDestLayer1Semi, 1.0f));  // +-36 semitones per voice
    p = with(p, slot(1, 106, kDestLayer1Cutoff, 0.0f));     // LFO 1*2, full down
    p = with(p, slot(2, 101, kDestVolume, 1.0f));           // volume x uni LFO 2
    p = with(p, slot(3, kSrcOffset, 369, 1.0f));            // LFO 1 shape +1
    p = with(p, slot(4, kSrcOffset, 381, 0.0f));            // LFO 2 shape -1
    p = with(p, slot(5, 131, DEST_MOD_AMT[0], 1.0f));       // noise on slot 1's amount
    p = with(p, slot(6, kSrcLFO12, 23, 0.0f));              // global speed x 2^(-4 (l1 + l2))
    p = with(p, slot(7, 129, 378, 1.0f));                   // the output drives LFO 2's rate
    return p;
}

std::vector<tavhost::TimedMidiEvent> stressPhrase(double seconds) {
    std::vector<tavhost::TimedMidiEvent> ev;
    const int chords = (int)(seconds / 0.5);
    for (int i = 0; i < chords; ++i) {
        const int64_t t = (int64_t)(i * 0.5 * kRate);
        for (int k = 0; k < 4; ++k) {
            const uint8_t note = (uint8_t)(36 + (i * 7 + k * 5) % 60);
            ev.push_back(midi(t + k, 0x90, note, (uint8_t)(40 + 20 * k)));
            ev.push_back(midi(t + (int64_t)(0.45 * kRate) + k, 0x80, note, 0));
        }
        ev.push_back(midi(t + 100, 0xE0, 0, (uint8_t)((i * 37) & 127)));
        ev.push_back(midi(t + 200, 0xB0, 1, (uint8_t)((i * 53) & 127)));
    }
    std::stable_sort(ev.begin(), ev.end(),
                     [](const tavhost::TimedMidiEvent& a, const tavhost::TimedMidiEvent& b) {
                         return a.frame < b.frame;
                     });
    return ev;
}

bool finiteRow(const float* row, int n) {
    for (int i = 0; i < n; ++i)
        if (!std::isfinite(row[i])) return false;
    return true;
}

bool finiteLFO(const APlugin::TLFOState& s) {
    return std::isfinite(s.phase) && std::isfinite(s.humanize) && std::isfinite(s.keyTrack) &&
           std::isfinite(s.smoothed) && std::isfinite(s.biRun) && std::isfinite(s.uniRun) &&
           s.phase >= 0.0 && s.phase < 1.0;
}

}  // namespace

TEST_F(ModStress, TwentySecondsOfExtremeSlotsStayFiniteAndBounded) {
    const double seconds = 20.0;
    const Rendered r = render(stressPatch(), stressPhrase(seconds), (int64_t)(seconds * kRate));
    ASSERT_TRUE(r.clean) << r.faults;
    ASSERT_EQ(r.left.size(), (size_t)(seconds * kRate));
    for (size_t i = 0; i < r.left.size(); ++i) {
        ASSERT_TRUE(std::isfinite(r.left[i]) && std::isfinite(r.right[i])) << i;
        ASSERT_LE(std::fabs(r.left[i]), 1.0f) << i;
        ASSERT_LE(std::fabs(r.right[i]), 1.0f) << i;
    }
    // Still sounding in every two-second stretch: nothing stuck at silence.
    for (double t = 0.0; t + 2.0 <= seconds; t += 2.0)
        EXPECT_GT(rms(r.left, (size_t)(t * kRate), (size_t)(2.0 * kRate)), 1e-3) << t << " s";
}

TEST_F(ModStress, EngineStateStaysFinite) {
    Engine e;
    APlugin& p = e.p();
    e.set(stressPatch());
    const auto phrase = stressPhrase(6.0);
    size_t next = 0;
    for (int64_t frame = 0; frame < (int64_t)(6.0 * kRate); frame += 512) {
        while (next < phrase.size() && phrase[next].frame < frame + 512) {
            const auto& m = phrase[next++];
            e.send({{m.bytes[0], m.bytes[1], m.bytes[2]}});
        }
        e.render(512, 512);
        ASSERT_TRUE(finiteRow(p.modDestGlobal, kNumModDests)) << frame;
        ASSERT_TRUE(finiteRow(p.modSrcGlobal, kNumModSources)) << frame;
        for (int v = 0; v < kNumVoices; ++v) {
            ASSERT_TRUE(finiteRow(p.modDestVoice[v], kNumModDests)) << frame << " voice " << v;
            ASSERT_TRUE(finiteRow(p.modSrcVoice[v], kNumModSources)) << frame << " voice " << v;
            for (int n = 0; n < 2; ++n) ASSERT_TRUE(finiteLFO(p.voiceLFO[v][n])) << frame;
        }
        for (int n = 0; n < 2; ++n) ASSERT_TRUE(finiteLFO(p.globalLFO[n])) << frame;
        ASSERT_TRUE(std::isfinite(p.lfoBaseIncrement[0]));
    }
    EXPECT_EQ(p.modActiveCount, 8);
    EXPECT_EQ(p.lfoUsed[2], 1);
    EXPECT_EQ(p.modNoiseUsed, 1);
}
