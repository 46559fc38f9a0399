// Parameters: texts, typed entry, stepping and access by meaning.
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "plugin/uPluginStrings.h"
#include "plugin/uPluginTags.h"
#include "support/FakeEditor.h"
#include "support/PluginHarness.h"
#include "test_mod_util.h"

namespace {

constexpr int kBuf = APlugin::kParamTextSize;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr int kIntMin = std::numeric_limits<int>::min();
constexpr int kIntMax = std::numeric_limits<int>::max();
const int kInvalidTags[] = {-1, -1000, 1024, 5000, kIntMin, kIntMax};

// Calls a text call into a buffer of the documented size followed by guard bytes, and fails
// the test if anything was written past the buffer or the text is not terminated inside it.
template <typename Call>
std::string guardedText(Call call) {
    char buf[kBuf + 32];
    std::memset(buf, 0x5A, sizeof(buf));
    call(buf);
    EXPECT_EQ(std::string(buf + kBuf, 32), std::string(32, 0x5A)) << "text call wrote past its buffer";
    EXPECT_TRUE(std::memchr(buf, 0, kBuf)) << "text not terminated inside the buffer";
    return std::string(buf, strnlen(buf, kBuf));
}
std::string display(PluginHarness& h, int tag) { return guardedText([&](char* t) { h->getParameterDisplay(tag, t); }); }
std::string name(PluginHarness& h, int tag) { return guardedText([&](char* t) { h->getParameterName(tag, t); }); }
std::string label(PluginHarness& h, int tag) { return guardedText([&](char* t) { h->getParameterLabel(tag, t); }); }

// A display script: each line acts on a tag and then, when it names a text, checks the text
// that tag shows. Read only checks; Set writes the program value, Live only the live value,
// Step picks a stepped choice (the value is its index), On and Off flip a switch.
enum class Do { Read, Set, Live, Step, On, Off };
struct Line { Do act; int tag; float value; const char* text; };

// A plug-in with its start-up program applied; every suite here starts from one.
struct Param : ::testing::Test {
    PluginHarness h;
    APlugin& p = h.plugin();
    void SetUp() override {
        h.run(1);
        h.host().automated.clear();
    }
    std::string text(int tag) { return display(h, tag); }
    bool toldHost(int tag) {
        for (const auto& a : h.host().automated)
            if (a.first == tag) return true;
        return false;
    }
    std::vector<float> programValues() { return {p.programs[0].values, p.programs[0].values + kNumParams}; }
    // Steps a tag as the mouse wheel does and returns its program value, or its index.
    float wheel(int tag, int delta, bool fine = false, float scale = 1.0f) {
        p.changeDelta(tag, delta, fine, scale);
        return p.getParameter(tag);
    }
    int wheelStepped(int tag, int delta, float range = -1.0f, int count = -1) {
        p.changeDelta(tag, delta, false, 1.0f);
        return range < 0.0f ? p.getSteppedValue(tag) : p.getSteppedValue(tag, range, count);
    }
    // Live, program and edited copies of a tag all hold v.
    void expectStored(int tag, float v) {
        EXPECT_EQ(p.paramValue[tag], v) << "tag " << tag;
        EXPECT_EQ(p.getParameter(tag), v) << "tag " << tag;
        EXPECT_EQ(p.paramEdited[tag], v) << "tag " << tag;
    }
    void play(std::initializer_list<Line> script) {
        int n = 0;
        for (const Line& l : script) {
            SCOPED_TRACE(testing::Message() << "script line " << n++ << ", tag " << l.tag);
            switch (l.act) {
                case Do::Read: break;
                case Do::Set: p.setParameter(l.tag, l.value); break;
                case Do::Live: p.paramValue[l.tag] = l.value; break;
                case Do::Step: p.setSteppedValue(l.tag, (int)l.value); break;
                case Do::On: p.setOn(l.tag); break;
                case Do::Off: p.setOff(l.tag); break;
            }
            if (l.text) {
                EXPECT_EQ(text(l.tag), l.text);
            }
        }
    }
};

using ParameterDisplay = Param;
using Stepping = Param;
using Access = Param;
using platform::DialogRecord;

}  // namespace

// --- formatters and value texts ------------------------------------------------------------
TEST(ValueFormatters, ShowValuesInTheirUnitsAndClampTableRows) {
    const std::pair<std::string, const char*> cases[] = {
        {tableRow(OFF_ON_STR, -5), "Off"},                     {tableRow(DEST_STR, 1000), "Ribbon Value"},
        {tableRow(nullptr, 3, 1), ""},                         {APlugin::getFloatStr(4.545f, 0), "5"},
        {APlugin::getFloatStr(-0.04f, 1), "-0.0"},             {APlugin::getFloatStr(0.5f, -3), "0"},
        {APlugin::getPercentStr(0.999f, true, 1), "99.9%"},    {APlugin::getPolarStr(0.0f, true, 1), "-100.0%"},
        {APlugin::getPolarStr(1.0f, false, 1), "100.0"},       {APlugin::getSemiStr(1.0f, 96.99f, 48.0f), "+48"},
        {APlugin::getSemiStr(0.5f, 96.99f, 48.0f), "0"},       {APlugin::getSemiStr(0.0f, 72.0f, 36.0f), "-36"},
        {APlugin::getFilterFreqStr(1.0f, true), "20.5 KHz"},   {APlugin::getFilterFreqStr(1.0f, false), "20480"},
        // 1000 Hz lies at 0.56439: whole hertz below, kilohertz with one decimal above.
        {APlugin::getFilterFreqStr(0.5643f, true), "999 Hz"},  {APlugin::getFilterFreqStr(0.5645f, true), "1.0 KHz"},
        {APlugin::getEnvLenStr(0.7f, true, false), "891.4 ms"}, {APlugin::getEnvLenStr(0.72f, true, false), "1.08 sec"},
        {APlugin::getEnvLenStr(1.0f, true, true), "16384.0 ms"}, {APlugin::getEnvLenStr(-2.0f, true, false), "Off"},
        {APlugin::getLFOSpeedStr(1.0f, false, false), "110.00 Hz"}, {APlugin::getLFOSpeedStr(1.0f, false, true), "9 ms"},
        {APlugin::getLFOSpeedStr(0.0f, 4096.0f, 14.0f, true, false), "Off"},
        {APlugin::getLFOSpeedStr(1.0f, 1.0f, 10.0f, false, false), "56.32 KHz"},
        {APlugin::getLFOSpeedStr(7.0f, true, false), LFO_PERIOD_STR[33]},
        {APlugin::getLFOSpeedStr(-7.0f, true, false), LFO_PERIOD_STR[0]},
        {APlugin::getChordStrum(0.0f, false, true), "Off"},    {APlugin::getChordStrum(0.00002f, false, true), "1.0 ms"},
        {APlugin::getChordStrum(1.0f, false, false), "1024.0"},
        {APlugin::getChordStrum(17.1f / 18.99f, true, true), CHORD_LEN_STR[17]},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].first, cases[i].second) << i;
    EXPECT_FALSE(APlugin::getSemiStr(1e30f, 96.99f, 48.0f).empty());  // no overflow trap
}

TEST_F(ParameterDisplay, FormsByTagUnknownTypesAndInvalidTags) {
    p.setParameter(7, 0.25f);
    EXPECT_EQ(p.getPolarStr(7, true, 0), "-50%");
    p.paramValue[1] = 0.00009f;  // decibels read the live value; "Off" only below the floor
    EXPECT_EQ(p.getDBStr(1, 80.0f, 60.0f, true, true) + p.getDBStr(1, 80.0f, 60.0f, true, false), "Off-60.0 dB");
    p.paramValue[1] = 0.0001f;
    EXPECT_EQ(p.getDBStr(1, 80.0f, 60.0f, true, true), "-60.0 dB");
    p.paramType[127] = kTypeByTag;  // a by-tag record without a rule of its own
    p.paramType[1023] = -3;
    p.paramType[1017] = 99;  // out of range falls back to the tag's own rule
    p.setParameter(1017, 0.5f);
    EXPECT_EQ(text(127) + "|" + text(1023) + "|" + text(1017), "----|----|440 Hz");
    for (int bad : {-1, 1024, kIntMin}) {
        EXPECT_EQ(p.getPercentStr(bad, true, 1) + p.getSemiStr(bad, 96.99f, 48.0f) + p.getFilterFreqStr(bad, true) +
                      p.getDBStr(bad, 80.0f, 60.0f, true, true),
                  "");
        EXPECT_EQ(display(h, bad) + "|" + name(h, bad) + "|" + label(h, bad), " || ");
        EXPECT_EQ(p.getParamType(bad), kTypeByTag);
    }
    for (auto call : {&APlugin::getParameterDisplay, &APlugin::getParameterName, &APlugin::getParameterLabel})
        (p.*call)(5, nullptr);
}

namespace {

// Cycles per second of an LFO phase read from the running engine every 64 samples for 1 s.
template <typename Phase>
double playedRate(enginetest::Engine& e, Phase phase) {
    constexpr int kChunk = 64, kChunks = 750;
    double cycles = 0.0, last = phase();
    for (int i = 0; i < kChunks; ++i) {
        e.render(kChunk, kChunk);
        const double now = phase();
        cycles += now - last - std::floor(now - last);
        last = now;
    }
    return cycles * 48000.0 / (kChunk * kChunks);
}

// A shown rate ("0.86 Hz") or period ("1.16 sec", "9 ms") against a rate in Hz: within half
// the text's last digit and 0.2 % for the measurement.
void expectShows(const std::string& text, double hz) {
    SCOPED_TRACE(text + " for " + std::to_string(hz) + " Hz");
    const std::size_t dot = text.find('.'), space = text.find(' ');
    ASSERT_NE(space, std::string::npos);
    const double digit = dot < space ? std::pow(10.0, -(double)(space - dot - 1)) : 1.0, unit = text[space + 1];
    const double value = unit == 'H' ? hz : unit == 's' ? 1.0 / hz : unit == 'm' ? 1000.0 / hz : -1.0;
    EXPECT_NEAR(std::strtod(text.c_str(), nullptr), value, digit / 2.0 + value * 0.002);
}

}  // namespace

TEST(ValueFormatters, FreeRatesShowWhatPlays) {
    using namespace modtest;
    for (float v : {0.0f, 0.5f, 1.0f}) {
        SCOPED_TRACE(v);
        // LFO 1, free, in use by a slot; its global phase as the engine advances it.
        enginetest::Engine lfo(with(dryPatch(0), with(slot(0, kSrcLFO1, kDestLayer1Semi, pitchAmount(1.0)),
                                                      {{357, 0.0f}, {102, v}})));
        const double lfoHz = playedRate(lfo, [&] { return lfo.p().globalLFO[0].phase; });
        expectShows(display(lfo.harness(), 102), lfoHz);
        expectShows(APlugin::getLFOSpeedStr(v, false, true), lfoHz);
        // The Mod FX, free, with its chain running; its left LFO phase.
        enginetest::Engine fx({{345, 0.0f}, {348, 1.0f}, {349, 0.0f}, {350, 0.0f}, {108, v}});
        const double fxHz = playedRate(fx, [&] { return (double)fx.p().modFXLFO.phase[0]; });
        expectShows(display(fx.harness(), 108), fxHz);
    }
}

TEST_F(ParameterDisplay, ContinuousTypes) {
    play({
        {Do::Set, 7, 0.5f, "50.0%"},         {Do::Set, 116, 0.0f, "-100.0%"},   // percent, polar
        {Do::Set, 476, 1.0f, "127"},         {Do::Set, 542, 0.5f, "63"},        // velocities
        {Do::Set, 10, 0.75f, "50.0 cents"},  {Do::Set, 29, 0.5f, "640 Hz"},
        {Do::Set, 5, 0.5f, "128.0 ms"},      {Do::Set, 460, 0.0f, "-36 semi"},  // arp step tune
        {Do::Set, 571, 0.999f, "99%"},       {Do::Set, 9, 0.5f, "0 semi"},      // chord note volume
        {Do::Set, 9, 1.0f, "+48 semi"},      {Do::Set, 9, 0.25f, "-24 semi"},
        // Decibels follow the live value; the percent type reads the program value.
        {Do::Set, 1, 0.0f, "Off"},           {Do::Live, 1, 0.75f, "0.0 dB"},
        {Do::Set, 28, 1.0f, "0.0 dB"},       {Do::Live, 28, 0.5f, "-40.0 dB"},  // -80..0 dB
        {Do::Live, 7, 0.1f, "50.0%"},
    });
    // A chord's first note never moves; its other notes do.
    for (int c = 0; c < kTagChords; ++c) {
        p.setParameter(CHORD_SEMI_TAGS[c], 1.0f);
        p.setParameter(CHORD_SEMI_TAGS[c] + 1, 1.0f);
        EXPECT_EQ(text(CHORD_SEMI_TAGS[c]), "0 semi");
        EXPECT_EQ(text(CHORD_SEMI_TAGS[c] + 1), "+48 semi");
    }
    // Pan and mix.
    for (const auto& [v, pan, mix] : {std::tuple{0.499f, "Center", "Equal"}, {0.501f, "Center", "Equal"},
                                      {0.5011f, "99% L / 100% R", "99% D / 100% W"}, {0.0f, "100% L / 0% R", "100% D / 0% W"},
                                      {0.25f, "100% L / 50% R", "100% D / 50% W"}, {1.0f, "0% L / 100% R", "0% D / 100% W"}}) {
        p.setParameter(3, v);
        p.setParameter(104, v);
        EXPECT_EQ(text(3), pan) << v;
        EXPECT_EQ(text(104), mix) << v;
    }
}

TEST_F(ParameterDisplay, RatesFollowTheirSyncSwitchAndLiveValue) {
    play({
        {Do::Off, 357, 0, nullptr},  {Do::Set, 102, 0.5f, "0.86 Hz"}, {Do::Live, 102, 1.0f, "110.00 Hz"},
        {Do::On, 357, 0, nullptr},   {Do::Set, 102, 8.1f / 33.99f, "8/1 QB"},
        // LFO 2 follows its own switch.
        {Do::Off, 360, 0, nullptr},  {Do::Set, 103, 0.0f, "0.01 Hz"}, {Do::On, 360, 0, nullptr},
        {Do::Read, 103, 0, "Off"},
        // Delay times and strum lengths too.
        {Do::On, 352, 0, nullptr},   {Do::Set, 114, 0.67f, "1/4 QB"}, {Do::Set, 115, 1.0f, "1/2* QB"},
        {Do::Off, 352, 0, nullptr},  {Do::Set, 114, 0.0f, "1.0ms"},   {Do::Read, 115, 0, "4096.0ms"},
        {Do::Off, 585, 0, nullptr},  {Do::Set, 584, 0.5f, "32.0 ms"},
        {Do::On, 585, 0, nullptr},   {Do::Set, 584, 17.1f / 18.99f, "1 QB"},
        {Do::Read, 611, 0, "Off"},  // chord 3 still unsynced at 0
    });
}

TEST_F(ParameterDisplay, ModulationListsAndAmountsByDestinationKind) {
    const int amount = MOD_AMT_TAGS[2], dest = MOD_DEST_TAGS[2];
    play({
        {Do::Step, 369, 98, "LFO 1"},   {Do::Step, 377, 400, "Ribbon Value"},
        {Do::Step, 492, 13, "Major"},   {Do::Step, 412, 1, "On"},
        {Do::Step, dest, 14, nullptr},  // Global Octave
        {Do::Set, amount, 0.0f, "-7 octave"}, {Do::Set, amount, 1.0f, "8 octave"},
        {Do::Step, dest, 15, nullptr},  // Global Semi
        {Do::Set, amount, 0.0f, "-36.0 semi"}, {Do::Set, amount, 0.5f, "0.0 semi"},
        {Do::Step, dest, 23, nullptr},  // Global Speed
        {Do::Set, amount, 0.0f, "x 0.06"}, {Do::Set, amount, 1.0f, "x 16.00"},
        {Do::Step, dest, 12, nullptr},  // Pan: a plain destination
        {Do::Set, amount, 0.25f, "-50.0%"}, {Do::Step, dest, 0, nullptr}, {Do::Read, amount, 0, "-50.0%"},
    });
}

TEST_F(ParameterDisplay, LockedGroupShowsTheSnapshot) {
    p.setParameter(4, 0.25f);
    p.setSteppedValue(244, 2);
    p.setSteppedValue(394, 1);
    p.setLockState(1);
    // The engine would use the snapshot, so does the text.
    play({{Do::Live, 4, 0.9f, "25.0%"}, {Do::Live, 244, 0.0f, "Mono"}, {Do::Live, 394, 0.0f, "On"}});
    p.setLockState(0);
    play({{Do::Read, 4, 0, "90.0%"}, {Do::Read, 244, 0, "Poly"}, {Do::Read, 394, 0, "Off"}});
}

TEST_F(ParameterDisplay, ListsShowTheirChoices) {
    const std::tuple<int, const char* const*, int> lists[] = {
        {244, PLAY_MODE_STR, 9},      {245, PORT_MODE_STR, 5},       {249, SOURCE_MODE_STR, 4},
        {282, LAYER_DEST_STR, 5},     {324, FM_MODE_STR, 2},         {304, FILTER_MODE_STR, 35},
        {344, FX_PATH_STR, 6},        {347, DISTORT_MODE_STR, 26},   {349, MOD_FX_MODE_STR, 11},
        {358, LFO_WAVE_SHORT_STR, 9}, {356, LFO_MODE_STR, 4},        {396, ARP_STEPS_STR, 16},
        {397, ARP_SPEED_STR, 17},     {407, ARP_MODE_STR, 16},       {408, ARP_OCT_STR, 4},
        {409, ARP_TIED_MODE_STR, 4},  {410, ARP_LOOP_MODE_STR, 3},   {411, ARP_RATCHET_MODE_STR, 9},
        {555, CHORD_MODE_STR, 23},    {583, CHORD_NOTE_STR, 6},      {664, LOCK_MODE_STR, 3},
        {666, RIBBON_SPRING_TIME_STR, 18}, {667, RIBBON_QUANT_STR, 13}};
    for (const auto& [tag, table, rows] : lists)
        for (int i : {1, rows - 1}) {
            p.setSteppedValue(tag, i);
            EXPECT_EQ(text(tag), table[i]) << "tag " << tag << " row " << i;
        }
    // Pitch-bend ranges carry a unit except when off.
    play({{Do::Step, 246, 0, "Off"}, {Do::Step, 247, 15, "48 semi"}});
}

TEST_F(ParameterDisplay, WaveFilterVowelAndBlends) {
    play({
        {Do::Set, 26, 0.51f, "Square"}, {Do::Set, 57, 1.0f, "Pink"},
        {Do::Step, 272, 0, nullptr},  {Do::Set, 32, 0.5f, "I"},
        {Do::Step, 272, 28, nullptr},  // Formant 1
        {Do::Read, 32, 0, "50.0%"},
        {Do::Step, 272, 11, nullptr},  // two-way blend
        {Do::Set, 32, 0.4f, "LP- 60%, HP- 40%"}, {Do::Set, 32, 0.005f, "LP"}, {Do::Set, 32, 0.995f, "HP"},
        // Layer 2's knob follows layer 2's mode, not layer 1's.
        {Do::Step, 304, 24, nullptr},  // three-way blend
        {Do::Set, 63, 0.75f, "BP- 51%, HP- 49%"}, {Do::Set, 63, 0.5f, "BP"}, {Do::Set, 63, 0.0f, "LP"},
        {Do::Step, 336, 12, nullptr}, {Do::Set, 94, 0.25f, "LP- 51%, BP- 49%"},
    });
}

TEST_F(ParameterDisplay, EffectKnobsFollowTheirModel) {
    play({
        {Do::Step, 347, 0, nullptr}, {Do::Set, 105, 2.1f / 5.99f, "4x12"}, {Do::Set, 106, 0.25f, "25.0%"},  // Amp
        {Do::Step, 347, 1, nullptr}, {Do::Read, 106, 0, "-50.0%"},                                          // Atan
        {Do::Step, 347, 2, nullptr}, {Do::Set, 105, 1.0f, "0.0 Bits"}, {Do::Set, 106, 0.5f, "640 Hz"},
        {Do::Step, 347, 4, nullptr}, {Do::Set, 105, 3.1f / 3.99f, "Off Axis"},                              // Cab
        {Do::Step, 347, 8, nullptr}, {Do::Set, 105, 0.5f, "0.0 dB"}, {Do::Set, 106, 1.0f, "20.0 dB"},      // EQ
        {Do::Step, 347, 20, nullptr}, {Do::Set, 105, 0.0f, "44100 Hz"}, {Do::Set, 105, 1.0f, "1378 Hz"},   // Rate

        {Do::Step, 349, 0, nullptr}, {Do::Off, 350, 0, nullptr}, {Do::Set, 108, 0.5f, "0.86 Hz"},          // Chorus
        {Do::On, 350, 0, nullptr},   {Do::Set, 108, 11.1f / 33.99f, "4/1 QB"},
        {Do::Set, 109, 0.5f, "25.0 ms"}, {Do::Set, 112, 0.5f, "640 Hz"},
        {Do::Step, 349, 3, nullptr}, {Do::Read, 109, 0, "640 Hz"},                                          // Phaser
        {Do::Step, 349, 4, nullptr}, {Do::Read, 109, 0, "BP"},                                              // Wah-Wah
        {Do::Step, 349, 5, nullptr}, {Do::Set, 110, 0.5f, "50.0% - I"}, {Do::Set, 111, 1.0f, "100.0% - U"}, // TalkBox
        {Do::Step, 349, 7, nullptr}, {Do::Set, 109, 8.1f / 8.99f, "Sample and Hold"},                       // Vibrato
        {Do::Step, 349, 9, nullptr}, {Do::Set, 108, 0.5f, "640 Hz"},                                        // Ring
        {Do::Step, 349, 10, nullptr}, {Do::Set, 108, 5.1f / 33.99f, "8/1 QB"},                              // Gator
        {Do::Read, 111, 0, "Left Gator"}, {Do::Read, 112, 0, "Right Gator"},

        {Do::Set, 121, 1.0f, "511.5 ms"}, {Do::Set, 122, 0.0f, "0.25 m3"}, {Do::Set, 123, 0.5f, "25%"},
        {Do::Set, 123, 1.0f, "400%"},     {Do::Set, 1017, 0.0f, "220 Hz"}, {Do::Set, 1017, 1.0f, "880 Hz"},
        {Do::Set, 1019, 1.0f, "82 KHz"},
    });
}

TEST_F(ParameterDisplay, EffectKnobsAreRenamedWithTheirModeAndLongNamesCut) {
    p.setSteppedValue(347, 20);
    p.setSteppedValue(349, 9);
    EXPECT_EQ(name(h, 106), "Sample Rate LowPass Frequency");
    EXPECT_EQ(name(h, 112), "Mod FX Ring Mod Low Pass Frequency");
    EXPECT_EQ(name(h, 104), "Distort Mix");  // other tags keep their record names

    p.paramName[127] = std::string(200, 'n');  // long names are cut inside the buffer
    EXPECT_EQ(name(h, 127), std::string(kBuf - 1, 'n'));
}

TEST_F(ParameterDisplay, EveryTagStaysInsideItsBufferInEveryMode) {
    for (float v : {0.0f, 0.5f, 1.0f}) {
        for (int tag = 1; tag < kNumParams; ++tag)
            if (tag != kPresetTriggerTag) p.setParameter(tag, v);
        for (int mode = 0; mode < kDistortModes; mode += 5) {
            p.setSteppedValue(347, mode);
            p.setSteppedValue(349, (mode / 2) % kModFXModes);
            for (int tag = 0; tag < kNumParams; ++tag) EXPECT_FALSE(display(h, tag).empty() || name(h, tag).empty()) << tag;
        }
    }
}

// The start-up program as a host lists it: every tag's name, text and label.
TEST_F(ParameterDisplay, StartUpProgramMatchesTheReviewedListing) {
    std::ostringstream out;
    for (int tag = 0; tag < kNumParams; ++tag)
        out << tag << '\t' << name(h, tag) << '\t' << display(h, tag) << '\t' << label(h, tag) << '\n';
    const std::string actual = out.str();
    const std::string path = std::string(TAV_SOURCE_DIR) + "/tests/data/parameter-listing.txt";
    std::ifstream in(path, std::ios::binary);
    const std::string expected((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (actual == expected) return;
    // Leave the listing beside the build for review.
    const char* scratch = std::getenv("TAV_TEST_SCRATCH");
    const std::filesystem::path file = std::filesystem::path(scratch ? scratch : "/tmp") / "parameter-listing.actual.txt";
    std::ofstream(file, std::ios::binary) << actual;
    const std::size_t at = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end()).first - actual.begin();
    FAIL() << "listing differs from " << path << " at: " << actual.substr(actual.rfind('\n', at) + 1, 120)
           << "\nactual listing written to " << file;
}

// --- typed value entry, the boxes answered by the platform's scripted answerer -------------
namespace {

struct Entry : Param {
    void SetUp() override {
        platform::dialogSetMode(platform::DialogMode::Scripted);
        Param::SetUp();
    }
    void TearDown() override {
        platform::dialogScriptClear();
        platform::dialogSetMode(platform::DialogMode::Headless);
    }
    // Runs the entry of a tag, answering its box with OK and `text` (or Cancel). Returns
    // the box shown, if any.
    std::optional<DialogRecord> enter(int tag, const std::string& text, bool ok = true) {
        platform::dialogScriptClear();
        platform::dialogTranscriptClear();
        ok ? platform::dialogScriptOk(text) : platform::dialogScriptCancel();
        p.setNumValue(tag);
        platform::dialogScriptClear();
        const std::vector<DialogRecord> shown = platform::dialogTranscript();
        EXPECT_LE(shown.size(), 1u) << "tag " << tag;
        return shown.empty() ? std::nullopt : std::optional<DialogRecord>(shown.back());
    }
    std::optional<DialogRecord> cancel(int tag) { return enter(tag, "", false); }
    // The text of the box shown, "<none>" if none was.
    std::string prompt(int tag, const std::string& text) {
        const auto box = enter(tag, text);
        return box ? box->text : "<none>";
    }

    // Typing `typed` into the tag's box leaves the parameter at `value` (NaN: not checked);
    // the box showed `prompt` and started from `initial` where those are given.
    struct Typed { int tag; std::string typed; float value; const char* prompt = nullptr; const char* initial = nullptr; };
    void type(std::initializer_list<Typed> rows) {
        for (const Typed& r : rows) {
            SCOPED_TRACE(testing::Message() << "tag " << r.tag << " typed \"" << r.typed << "\"");
            const std::optional<DialogRecord> box = enter(r.tag, r.typed);
            ASSERT_TRUE(box || !(r.prompt || r.initial));
            EXPECT_EQ(box && r.prompt ? box->text : "", r.prompt ? r.prompt : "");
            EXPECT_EQ(box && r.initial ? box->initial : "", r.initial ? r.initial : "");
            EXPECT_NEAR(std::isnan(r.value) ? 0.0f : p.getParameter(r.tag), std::isnan(r.value) ? 0.0f : r.value, 1e-6f);
        }
    }

    // Cancel and an emptied field change nothing; accepting the shown text keeps the value
    // text. Returns whether the tag took typed entry.
    bool roundTrip(int tag, const std::string& context) {
        SCOPED_TRACE(context + ", tag " + std::to_string(tag));
        const std::vector<float> before = programValues();
        const std::string text = p.getParameterDisplayStr(tag);
        const std::optional<DialogRecord> box = cancel(tag);
        if (!box) return false;
        EXPECT_EQ(programValues(), before) << "cancel";
        enter(tag, "");
        EXPECT_EQ(programValues(), before) << "empty";
        enter(tag, box->initial);
        EXPECT_EQ(p.getParameterDisplayStr(tag), text) << "typed \"" << box->initial << "\"";
        return true;
    }
    void sweep(std::initializer_list<int> tags, const std::string& context) {
        for (int tag : tags)
            for (float v : {0.0f, 0.013f, 0.25f, 0.5f, 0.61f, 0.777f, 0.93f, 1.0f}) {
                if (p.paramType[tag] == kTypeVelSplit) {
                    // The four points of a layer stay in order: move them together.
                    for (int point = 0; point < 4; ++point) p.setParameter(tag - p.velTagPoint[tag] + point, v);
                } else if ((tag == 114 || tag == 115) && p.getOnOff(352)) {
                    p.setSteppedValue(tag, (int)(v * 14.0f), 14.99f, 15);  // a synced delay time
                } else {
                    p.setParameter(tag, v);
                }
                roundTrip(tag, context + " value " + std::to_string(v));
            }
    }
    // The first modulation destination of a kind.
    int destOfKind(int kind) {
        for (int d = 1; d < kNumModDests; ++d)
            if (p.destType[d] == kind) return d;
        return -1;
    }
};

}  // namespace

TEST_F(Entry, EveryTagKeepsItsTextWhenTheShownTextIsTypedBack) {
    // Every parameter a user sees takes typed entry; internal ones show no box.
    for (int tag = 0; tag < kNumParams; ++tag)
        EXPECT_EQ(roundTrip(tag, "start-up"), p.paramType[tag] != kTypeInternal) << "tag " << tag;
    for (int tag = 1; tag < kNumParams; ++tag)
        if (p.paramType[tag] != kTypeInternal) sweep({tag}, "");
}

TEST_F(Entry, ModeDependentKnobsKeepTheirTextInEveryMode) {
    for (int mode = 0; mode < 26; ++mode) p.setSteppedValue(347, mode), sweep({105, 106}, "distort " + std::to_string(mode));
    for (int sync = 0; sync < 2; ++sync) {
        for (int tag : {350, 357, 360, 352, 558, 585, 612, 639, 665}) p.setOnOff(tag, sync == 1);
        for (int mode = 0; mode < 11; ++mode)
            p.setSteppedValue(349, mode), sweep({108, 109, 110, 111, 112}, "mod fx " + std::to_string(mode));
        sweep({102, 103, 114, 115, 557, 584, 611, 638, 126}, "sync " + std::to_string(sync));
    }
    for (int mode : {0, 11, 12, 27, 28})
        p.setSteppedValue(FILTER_MODE_TAGS[2], mode), sweep({FILTER_VOWEL_TAGS[2]}, "filter " + std::to_string(mode));
    for (int kind = 1; kind <= 5; ++kind) {
        ASSERT_GT(destOfKind(kind), 0) << kind;
        p.setSteppedValue(MOD_DEST_TAGS[7], destOfKind(kind)), sweep({MOD_AMT_TAGS[7]}, "kind " + std::to_string(kind));
    }
}

TEST_F(Entry, ContinuousBoxesShowTheirRangeAndHoldWhatIsTypedInIt) {
    const int freq = FILTER_FREQ_TAGS[0];
    p.setParameter(122, 0.5f);
    type({
        {2, "12,5", 0.125f, "0 to 100%"},  // "Velocity > Volume": a decimal comma is a point
        {2, "50 %", 0.5f}, {2, "-20", 0.0f, nullptr, "50.0"}, {2, "250", 1.0f},
        {3, "0", 0.5f, "-100 to 100%"}, {3, "-100", 0.0f},
        {FINE_TAGS[0], "-25", 0.375f, "-100 to 100 cent"},
        {freq, "20480", 1.0f, "20 Hz to 20500 Hz"}, {freq, "640", 0.5f, nullptr, "20480"},
        // Below the range, negative or zero: the lowest value, never NaN.
        {freq, "5", 0.0f}, {freq, "640", 0.5f}, {freq, "-300", 0.0f},
        {1, "0", 0.75f, "-60 to 20 dB"}, {1, "-60", 0.0f},
        {1, "Off", 0.0f, nullptr, "Off"},  // accepting "Off" unchanged is no number
        {SUB_VOL_TAGS[0], "-20", 0.75f, "-80 to 0 dB"},
        {6, "128", 0.5f, "1 to 16384 ms"}, {6, "-3", 0.0f}, {6, "99999", 1.0f},
        {476, "64", 64.0f / 127.0f, "Velocity 0 to 127"},
        {CHORD_VEL_TAGS[0] + 2, "50", 0.5f, "Volume 0 to 100%"},
        {122, "0", 0.5f, "0.25 to 7.75m^3"},  // Reverb Size: at or below its guard nothing is written
        {122, "7.75", 30.0f / 30.75f}, {122, "7.9375", 1.0f, nullptr, "7.75"},
        {123, "100", 0.75f, "1 to 400%"},  // Reverb Length
        {121, "-3", 0.0f, "0 to 511 ms"}, {121, "511.5", 1.0f},  // Reverb Pre-Delay
    });
    EXPECT_EQ(cancel(2)->title, p.getParameterNameStr(2));
    EXPECT_TRUE(h.host().automated.empty());  // continuous entries are not reported to the host
    // The ribbon's range follows its polarity.
    p.setOn(665);
    type({{126, "25", 0.25f, "0 to 100%"}});
    p.setOff(665);
    type({{126, "50", 0.75f, "-100 to 100%"}});
}

TEST_F(Entry, RatesAndTimesFollowTheirSyncSwitches) {
    p.setOff(357);
    h.host().automated.clear();
    type({{102, "110", 1.0f, "0 to 110 Hz"}, {102, "0.859375 Hz", 0.5f}, {102, "0.86", kNaN, nullptr, "0.86"}});
    EXPECT_EQ(p.getParameterDisplayStr(102), "0.86 Hz") << "a typed rate reads back as typed";
    EXPECT_TRUE(h.host().automated.empty());
    p.setOn(357);
    p.setSteppedValue(102, 3, 33.99f, 34);
    auto box = enter(102, "5");
    EXPECT_EQ(box->text, std::string(LFO_PERIOD_STR[0]) + " (1) to " + LFO_PERIOD_STR[33] +
                             " (34), Currently " + LFO_PERIOD_STR[3] + " (4)");
    EXPECT_EQ(box->initial, "4");
    EXPECT_EQ(p.getSteppedValue(102, 33.99f, 34), 4);
    EXPECT_TRUE(toldHost(102));  // stepped entries are automated
    p.setOff(352);
    p.setParameter(114, 0.5f);
    type({{114, "0.0005", 0.5f, "0 to 4096 ms"}, {114, "64", 0.5f}});  // below its guard nothing is written
    p.setOn(352);
    enter(114, "15");
    EXPECT_EQ(p.getSteppedValue(114, 14.99f, 15), 14);
}

TEST_F(Entry, SwitchesAndSemitones) {
    type({{351, "1", 1.0f, "0 for Off, 1 for On"}, {351, "0.4", 0.0f, nullptr, "1"}, {351, "0.5", 1.0f}});
    EXPECT_TRUE(toldHost(351));
    for (int tag : {SEMI_TAGS[0], PITCH_ENV_AMT_TAGS[1]}) {
        EXPECT_EQ(prompt(tag, "0"), "-48 to +48 semi");
        for (int n = -48; n <= 48; ++n) {
            enter(tag, std::to_string(n));
            ASSERT_EQ((int)(p.getParameter(tag) * 96.99f) - 48, n) << tag;
            ASSERT_EQ(p.getParameterDisplayStr(tag), (n > 0 ? "+" : "") + std::to_string(n) + " semi");
        }
        type({{tag, "-60", 0.0f}});
        enter(tag, "+60");
        EXPECT_EQ(p.getParameterDisplayStr(tag), "+48 semi");
    }
    // The arp's step tune is stepped and automated.
    EXPECT_EQ(prompt(460, "12"), "-36 to +36 semi");
    EXPECT_EQ(APlugin::getSteppedValue(p.getParameter(460), 72.0f, 72), 48);
    EXPECT_TRUE(toldHost(460));
    for (const auto& [typed, shown] : {std::pair{"36", "+36 semi"}, {"-99", "-36 semi"}}) {
        enter(460, typed);
        EXPECT_EQ(p.getParameterDisplayStr(460), shown);
    }
}


TEST_F(Entry, ListsTakeThePositionNotTheName) {
    const int wave = WAVE_TAGS[0];
    p.setSteppedValue(wave, 1);
    const std::string shown = std::string(WAVE_STR[0]) + " (1) to " + WAVE_STR[5] + " (6), Currently " + WAVE_STR[1] + " (2)";
    type({{wave, "6", kNaN, shown.c_str(), "2"}});
    // Typed positions past either end give the end; a name holds no number: nothing is
    // chosen ("Saw" keeps the third wave).
    for (const auto& [typed, index] : {std::pair{"6", 5}, {"0", 0}, {"9", 5}, {"3", 2}, {"Saw", 2},
                                       {"99999999999999999999", 5}, {"-99999999999999999999", 0}}) {
        enter(wave, typed);
        EXPECT_EQ(p.getSteppedValue(wave), index) << "typed \"" << typed << "\"";
    }
    EXPECT_TRUE(toldHost(wave));
    // Records without names are stepped by number.
    p.setSteppedValue(CHORD_NOTES_TAGS[0], 2);
    EXPECT_EQ(prompt(CHORD_NOTES_TAGS[0], "5"), "(1) to (6), Currently (3)");
    EXPECT_EQ(p.getSteppedValue(CHORD_NOTES_TAGS[0]), 4);
    // The filter vowel is a list only in its own layer's vocal mode.
    const int vowel = FILTER_VOWEL_TAGS[1];
    p.setSteppedValue(FILTER_MODE_TAGS[1], 27);
    enter(vowel, "3");
    EXPECT_EQ(p.getSteppedValue(vowel, 4.99f, 5), 2);
    p.setSteppedValue(FILTER_MODE_TAGS[1], 26);
    p.setSteppedValue(FILTER_MODE_TAGS[0], 27);
    type({{vowel, "50", 0.5f, "0 to 100%"}});
}

TEST_F(Entry, VelocitySplitPointsStayInOrder) {
    const int* t = &LAYER_VEL_TAGS[4];  // layer 2: fade in, start, end, fade out
    for (int i = 0; i < 4; ++i) p.setParameter(t[i], (float)(20 + 20 * i + 20 * (i / 2)) / 127.0f);  // 20 40 80 100
    EXPECT_EQ(prompt(t[1], "10"), "Velocity 0 to 127");  // start below fade in: raised to it
    EXPECT_EQ(p.getParameter(t[1]), p.getParameter(t[0]));
    enter(t[3], "50");  // fade out below end: raised to it
    EXPECT_EQ(p.getParameter(t[3]), p.getParameter(t[2]));
    enter(t[0], "90");  // fade in above start: lowered to it
    EXPECT_EQ(p.getParameter(t[0]), p.getParameter(t[1]));
    type({{t[2], "60", 60.0f / 127.0f}});
    EXPECT_TRUE(h.host().automated.empty());
    // The writer guards layer and point; the upper neighbour wins where they would cross.
    const std::vector<float> before = programValues();
    for (const auto& [layer, point] : {std::pair{3, 0}, {-1, 0}, {0, 4}, {0, -1}}) p.setNumVel(layer, point, 0.5f);
    p.setNumVel(0, 1, kNaN);
    EXPECT_EQ(programValues(), before);
    p.setParameter(LAYER_VEL_TAGS[10], p.getParameter(LAYER_VEL_TAGS[9]) + 0.1f);
    p.setNumVel(2, 1, 0.99f);
    EXPECT_EQ(p.getParameter(LAYER_VEL_TAGS[9]), p.getParameter(LAYER_VEL_TAGS[10]));
}

TEST_F(Entry, ModAmountAndEffectKnobsFollowTheirDestinationOrMode) {
    const int tag = MOD_AMT_TAGS[3], dest = MOD_DEST_TAGS[3];
    p.setSteppedValue(dest, destOfKind(2));  // a factor
    type({{tag, "16", 1.0f, "0.06 to 16.0"}, {tag, "1", 0.5f}, {tag, "0.01", 0.0f}});
    p.setSteppedValue(dest, destOfKind(4));  // octaves added
    type({{tag, "8", 1.0f, "-7 to 8 octave"}, {tag, "-7", 0.03125f}, {tag, "-8", 0.0f}});
    p.setSteppedValue(dest, destOfKind(3));  // semitones
    type({{tag, "12", 12.0f / 72.0f + 0.5f, "-36 to 36 semi"}, {tag, "-7.5", kNaN}});
    EXPECT_EQ(p.getParameterDisplayStr(tag), "-7.5 semi");
    p.setSteppedValue(dest, destOfKind(1));  // plain
    type({{tag, "50", 0.75f, "-100 to 100%"}});
    EXPECT_FALSE(toldHost(tag));
    p.setSteppedValue(347, 20);  // Rate
    p.setParameter(105, 0.5f);
    type({{105, "0", 0.5f, "2000 to 44100 Hz"}, {105, "44100", 0.0f}});
    p.setSteppedValue(347, 2);  // Bits
    type({{105, "8", 0.5f, "1 to 16 Bits"}, {106, "640", kNaN, "20 Hz to 20500 Hz"}});
    p.setSteppedValue(347, 8);  // EQ
    type({{106, "10", 0.75f, "-20 to 20 dB"}});
    p.setSteppedValue(347, 0);  // Amp
    enter(105, "3");
    EXPECT_EQ(APlugin::getSteppedValue(p.getParameter(105), 5.99f, 6), 2);
    p.setSteppedValue(349, 4);  // Wah-Wah
    type({{109, "3", kNaN, "1 - LP, 2 - BP, 3 - HP"}, {110, "640", kNaN, "20 Hz to 20500 Hz"}});
    EXPECT_EQ((int)(2.99f * p.getParameter(109)), 2);
    p.setSteppedValue(349, 10);  // Gator
    EXPECT_EQ(prompt(108, "34").rfind(std::string(GATER_PERIOD_STR[0]) + " (1)", 0), 0u);
    EXPECT_EQ(p.getSteppedValue(108, 33.99f, 34), 33);
}

TEST_F(Entry, LockedAndInvalidTagsShowNoBoxAndOddAnswersNeverWriteGarbage) {
    p.setLockState(1);
    for (int tag : {4, 244, 407, 460, 539}) EXPECT_FALSE(cancel(tag)) << tag;
    EXPECT_TRUE(cancel(347));
    p.setLockState(0);
    EXPECT_TRUE(cancel(244));
    for (int tag : {-1, 1024, kIntMin}) EXPECT_FALSE(cancel(tag));
    const int tag = 2;
    type({{tag, std::string(400, '9'), 1.0f}, {tag, "1" + std::string(350, '0'), 1.0f},
          {tag, "0." + std::string(300, '0') + "1", 0.0f}, {tag, "50", 0.5f},
          {tag, "abc", 0.5f}, {tag, "-", 0.5f}, {tag, "+", 0.5f}, {tag, ".", 0.5f}, {tag, "--5", 0.5f},
          {tag, "+-3", 0.5f}, {tag, "e", 0.5f}, {tag, ".25", 0.0025f}, {tag, "1.5.7", 0.015f},
          {tag, "+40-2", 0.4f}});
    for (int t = 0; t < kNumParams; ++t) ASSERT_FALSE(std::isnan(p.getParameter(t)));
}

TEST_F(Entry, NumbersAreWrittenAndReadInTheCLocaleWhateverTheProcessLocale) {
    const char* old = std::setlocale(LC_ALL, nullptr);
    const std::string saved = old ? old : "C";
    bool switched = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"})
        if (!switched) switched = std::setlocale(LC_ALL, name) != nullptr;
    const std::string a = APlugin::getFloatStr(1.25f, 2), b = APlugin::getEnvLenStr(0.5f, true, false);
    const std::string c = APlugin::getLFOSpeedStr(0.5f, false, false);
    type({{2, "12.5", 0.125f}, {2, "37,5", 0.375f}});
    const auto box = cancel(2);
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ(a + " " + b + " " + c + " " + box->initial, "1.25 128.0 ms 0.86 Hz 37.5");
    if (!switched) std::printf("no decimal-comma locale installed; checked in the C locale\n");
}


// --- stepping by a signed number of steps, as the wheel and the value menu entries do -------
TEST_F(Stepping, SemitoneKnobsMoveOneShownSemitonePerDeltaWithoutTellingTheHost) {
    for (int layer : {0, 2})
        for (int tag : {SEMI_TAGS[layer], FM_1_SEMI_TAGS[layer], FM_2_SEMI_TAGS[layer]}) {
            p.setParameter(tag, 0.5f);
            // One shown semitone per step; Shift and scale do not matter.
            for (const auto& [delta, fine, semi] : {std::tuple{1, false, 1}, {1, true, 2}, {-5, false, -3}})
                EXPECT_EQ((int)(wheel(tag, delta, fine, fine ? 6.0f : 1.0f) * 96.99f) - 48, semi) << tag;
        }
    EXPECT_TRUE(h.host().automated.empty());
}

TEST_F(Stepping, EachKindStepsItsOwnWayAndStopsAtBothEnds) {
    p.setParameter(1, 0.5f);
    for (const auto& [delta, fine, scale, to] : {std::tuple{1, false, 1.0f, 0.51f}, {-2, true, 1.0f, 0.508f},
                                                 {1, true, 6.0f, 0.514f}, {1, false, 6.0f, 0.574f}, {1, false, kNaN, 0.574f}})
        EXPECT_FLOAT_EQ(wheel(1, delta, fine, scale), to) << delta << " " << scale;  // NaN: a step of nothing
    EXPECT_TRUE(toldHost(1));
    const std::tuple<int, float, int> ends[] = {
        {SEMI_TAGS[0], 1.0f, 1}, {SEMI_TAGS[0], 0.0f, -1}, {1, 1.0f, 1}, {1, 0.0f, -3},
        {LAYER_VEL_SPLIT_FADE_OUT_TAGS[0], 1.0f, 1}, {LAYER_VEL_SPLIT_FADE_IN_TAGS[0], 0.0f, -1}};
    for (const auto& [tag, from, delta] : ends) {
        p.setParameter(tag, from);
        EXPECT_EQ(wheel(tag, delta), from) << tag;
    }
    p.setSteppedValue(244, 5);  // Play Mode, 9 choices
    p.changeDelta(244, 1, true, 1.0f);  // Shift does not make a list fine
    EXPECT_EQ(p.getSteppedValue(244), 6);
    for (const auto& [delta, to] : {std::pair{2, 8}, {1, 8}, {-100, 0}, {kIntMax, 8}, {kIntMin, 0}})
        EXPECT_EQ(wheelStepped(244, delta), to) << delta;
    EXPECT_TRUE(toldHost(244));
    p.setSteppedValue(557, 17, 18.99f, 19);  // a caller's list stops at its own ends
    p.changeDeltaStepped(557, 2, 18.99f, 19);
    EXPECT_EQ(p.getSteppedValue(557, 18.99f, 19), 18);
    // A switch goes on for up and for zero, off for down.
    p.setParameter(351, 0.0f);
    h.host().automated.clear();
    for (const auto& [delta, to] : {std::pair{1, 1.0f}, {-1, 0.0f}, {0, 1.0f}}) EXPECT_EQ(wheel(351, delta), to) << delta;
    EXPECT_EQ(h.host().automated.size(), 3u);
}


TEST_F(Stepping, KnobsThatBecomeListsStepOverThemWhileSyncedOrInTheirMode) {
    // A switch or mode that makes the knob a list, the list, and a step over it.
    const struct { std::function<void()> setup; int tag; float range; int count, from, delta, to; } lists[] = {
        {[&] { p.setOn(357), p.setOn(360); }, 102, 33.99f, 34, 10, 50, 33},
        {[&] { p.setOff(348), p.setOn(350); }, 108, 33.99f, 34, 3, -1, 2},  // whether the Mod FX is on or not
        {[&] { p.modFXMode = 8; }, 109, 8.99f, 9, 4, 1, 5},
        {[&] { p.distortMode = 4; }, 105, 3.99f, 4, 2, 5, 3},
        {[&] { p.setOn(352); }, 115, 14.99f, 15, 14, -4, 10},
        {[&] { p.setOn(CHORD_STRUM_SYNC_ON_TAGS[3]); }, CHORD_STRUM_TAGS[3], 18.99f, 19, 0, 1, 1},
    };
    for (const auto& l : lists) {
        l.setup();
        p.setSteppedValue(l.tag, l.from, l.range, l.count);
        EXPECT_EQ(wheelStepped(l.tag, l.delta, l.range, l.count), l.to) << l.tag;
        EXPECT_FLOAT_EQ(p.getParameter(l.tag), (l.to + 0.1f) / l.range) << l.tag;
    }
    // Off their lists they are continuous.
    p.setOff(360);
    p.setOff(CHORD_STRUM_SYNC_ON_TAGS[3]);
    p.distortMode = 1;  // Atan
    for (int tag : {103, 105, CHORD_STRUM_TAGS[3]}) {
        p.setParameter(tag, 0.5f);
        EXPECT_FLOAT_EQ(wheel(tag, 1, true), 0.501f) << tag;
    }
}

TEST_F(Stepping, WaveStepResetsItsLayersSymmetryEvenAtTheEnd) {
    const int wave = WAVE_TAGS[1], sym = WAVE_SYM_TAGS[1];
    p.setSteppedValue(wave, 4);
    p.setParameter(WAVE_SYM_TAGS[0], 0.9f);
    for (int to : {5, 5}) {  // the second step is past the last wave
        p.setParameter(sym, 0.2f);
        h.host().automated.clear();
        EXPECT_EQ(wheelStepped(wave, 1), to);
        EXPECT_EQ(p.getParameter(sym), 0.5f);
        EXPECT_TRUE(toldHost(wave) && toldHost(sym));
    }
    EXPECT_EQ(p.getParameter(WAVE_SYM_TAGS[0]), 0.9f);
}

TEST_F(Stepping, ModSourcesFollowTheMenuOrder) {
    const int cases[][3] = {{6, 1, 133},  {133, 1, 134}, {134, 1, 7},   {7, -1, 134}, {133, -1, 6}, {132, 1, 135},
                            {136, 1, 136}, {135, -1, 132}, {6, 3, 133}, {7, -5, 134}, {10, 2, 12},  {0, -1, 0}};
    for (int slot : {0, 7})
        for (const auto& c : cases) {
            p.setSteppedValue(MOD_SRC_TAGS[slot], c[0]);
            EXPECT_EQ(wheelStepped(MOD_SRC_TAGS[slot], c[1]), c[2]) << "slot " << slot << " from " << c[0] << " by " << c[1];
        }
}

TEST_F(Stepping, SectionModesAndLayerSourcesUpdateAnOpenEditor) {
    FakeEditor* editor = openFakeEditor(h);
    p.setSteppedValue(281, 0);
    EXPECT_EQ(wheelStepped(281, 1), 1);
    p.setSteppedValue(347, 3);
    wheel(347, -1);
    p.setSteppedValue(349, 10);
    wheel(349, 1);
    EXPECT_EQ(editor->layer + editor->distort + editor->modFX, 3);
    p.editorOpening = 1;  // while the editor is still being opened it is not asked
    p.publishEditorState();
    p.setSteppedValue(313, 0);
    wheel(313, 1);
    EXPECT_EQ(editor->layer, 1);
}

TEST_F(Stepping, VelocityHandlesNeverPassTheirNeighbours) {
    const int* t = &LAYER_VEL_TAGS[0];
    for (int i = 0; i < 4; ++i) p.setParameter(t[i], (i < 2 ? 0.2f : 0.6f) + (i % 2) * 0.005f);
    h.host().automated.clear();
    EXPECT_FLOAT_EQ(wheel(t[0], 1), 0.205f);   // fade in up: stops at start
    EXPECT_FLOAT_EQ(wheel(t[3], -1), 0.6f);    // fade out down: stops at end
    EXPECT_FLOAT_EQ(wheel(t[1], -1), 0.205f);  // start down: stops at fade in
    EXPECT_FLOAT_EQ(wheel(t[2], 1), 0.6f);     // end up: stops at fade out
    EXPECT_FLOAT_EQ(wheel(t[1], 1), 0.215f);   // free inside its neighbours
    EXPECT_FLOAT_EQ(wheel(t[1], 1, true), 0.216f);
    EXPECT_TRUE(h.host().automated.empty());
    p.setParameter(LAYER_VEL_TAGS[8], 0.0f);  // other layers keep to their own handles
    p.setParameter(LAYER_VEL_TAGS[9], 0.5f);
    EXPECT_FLOAT_EQ(wheel(LAYER_VEL_TAGS[8], 3), 0.03f);
}

TEST_F(Stepping, ArpBrowserSelectorsStopAtTheEndsAndWriteNoValue) {
    const float folderValue = p.getParameter(848), presetValue = p.getParameter(849);
    p.arpFolderCount = 3;
    p.curArpFolder = 0;
    p.editorRefreshRequest = 0;
    EXPECT_EQ(wheel(848, 2), folderValue);
    EXPECT_EQ(p.curArpFolder * 10 + (int)p.editorRefreshRequest, 21);
    wheel(848, 1);  // past the last folder
    EXPECT_EQ(p.curArpFolder, 2);
    p.arpPresetCount = 0;  // nothing browsed yet
    p.curArpPreset = 0;
    EXPECT_EQ(wheel(849, 1), presetValue);
    EXPECT_EQ(p.curArpPreset, 0);
    EXPECT_TRUE(h.host().automated.empty());
}

TEST_F(Stepping, LockedAndInvalidTagsDoNotMove) {
    p.setSteppedValue(244, 2);
    p.setParameter(4, 0.5f);
    p.setLockState(1);
    EXPECT_EQ(wheelStepped(244, 1), 2);
    EXPECT_EQ(wheel(4, 1), 0.5f);
    p.setParameter(1, 0.5f);
    EXPECT_FLOAT_EQ(wheel(1, 1), 0.51f);  // the lock does not hold it
    p.setLockState(0);
    EXPECT_EQ(wheelStepped(244, 1), 3);
    h.host().automated.clear();
    for (int tag : {-1, 1024, kIntMin}) {
        p.changeDelta(tag, 1, false, 1.0f);
        p.changeDeltaStepped(tag, 1, 8.99f, 9);
    }
    EXPECT_TRUE(h.host().automated.empty());
}

// --- access by meaning: choices, switches, defaults, copies, texts and the editor window ----
TEST_F(Access, SteppedValuesReadBackClampedAndAutomatedAndLeaveContinuousRecordsAlone) {
    int records = 0;
    for (int tag = 0; tag < kNumParams; ++tag) {
        const int count = p.getSteppedNum(tag);
        records += count != -1;
        for (int i = 0; i < count; ++i) {
            p.setSteppedValue(tag, i);
            ASSERT_EQ(p.getSteppedValue(tag), i) << "tag " << tag << " index " << i;
        }
    }
    EXPECT_GT(records, 100);
    p.setSteppedValue(395, 15);  // 16 choices over a range of 15: the last value is past 1.0
    EXPECT_EQ(p.paramValue[395], 1.0f);
    for (const auto& [index, read] : {std::pair{-3, 0}, {14, 8}, {kIntMax, 8}, {kIntMin, 0}}) {
        p.setSteppedValue(244, index);  // Play Mode, 9 choices
        EXPECT_EQ(p.getSteppedValue(244), read) << index;
    }
    EXPECT_FLOAT_EQ(p.paramValue[244], 0.1f / 8.99f);
    const std::pair<float, int> reads[] = {{1.0f, 8},          {2.5f, 8}, {-0.5f, 0}, {2.89f / 8.99f, 2},
                                           {2.91f / 8.99f, 3}, {kNaN, 0}, {std::numeric_limits<float>::infinity(), 8}};
    for (const auto& [v, index] : reads) EXPECT_EQ(APlugin::getSteppedValue(v, 8.99f, 9), index) << v;
    EXPECT_EQ(APlugin::getSteppedValue(3.0e38f, 199.99f, 137), 136);
    EXPECT_EQ(APlugin::getSteppedValue(0.5f, 1.0f, 0), 0);
    h.host().automated.clear();
    p.setSteppedValue(347, 5);
    p.setSteppedValueMax(349);
    ASSERT_EQ(h.host().automated.size(), 2u);
    EXPECT_EQ(h.host().automated[0], std::make_pair(347, 5.1f / 26.99f));
    EXPECT_EQ(p.getSteppedValue(349), 10);
    // A continuous record takes no stepped write in its own record form, but the caller's
    // own list steps it: 19 strum lengths over 18.99.
    p.setParameter(1, 0.37f);
    h.host().automated.clear();
    p.setSteppedValue(1, 3);
    p.setSteppedValueMax(1);
    EXPECT_EQ(p.paramValue[1], 0.37f);
    EXPECT_TRUE(h.host().automated.empty());
    p.setSteppedValue(557, 7, 18.99f, 19);
    EXPECT_FLOAT_EQ(p.paramValue[557], 7.1f / 18.99f);
}


TEST_F(Access, SwitchWritersStoreWholeValuesAndInvalidTagsGiveNeutralAnswers) {
    EXPECT_TRUE(APlugin::getOnOff(0.5f));
    EXPECT_FALSE(APlugin::getOnOff(0.4999f));
    for (const auto& [v, stored] : {std::pair{0.7f, 1.0f}, {0.49f, 0.0f}}) {
        p.setOnOff(126, v);  // continuous, not a switch record: the writers decide the value
        EXPECT_EQ(p.paramValue[126], stored);
    }
    p.setParameter(126, 0.6f);
    h.host().automated.clear();
    p.toggleValue(126);
    EXPECT_EQ(h.host().automated, (std::vector<std::pair<int, float>>{{126, 0.0f}}));
    h.host().automated.clear();
    for (int tag : kInvalidTags) {
        EXPECT_EQ(p.getSteppedValue(tag) + p.getSteppedValue(tag, 8.99f, 9), 0);
        EXPECT_EQ(p.getSteppedRange(tag), 1.0f);
        EXPECT_EQ(p.getSteppedNum(tag), -1);
        EXPECT_FALSE(p.getOnOff(tag));
        EXPECT_EQ(p.getDefaultValue(tag) + p.getOrigValue(tag), 0.0f);
        p.setSteppedValueMax(tag);
        p.setOn(tag);
        p.setOff(tag);
        p.toggleValue(tag);
        p.setToDefault(tag);
        p.setToOrig(tag);
        p.setZeroValue(tag);
        p.setRandomValue(tag);
        p.setSteppedValue(tag, 1);
        p.setSteppedValue(tag, 1, 8.99f, 9);
        p.setOnOff(tag, true);
    }
    EXPECT_TRUE(h.host().automated.empty());
}

TEST_F(Access, DefaultsOriginalsZeroAndRandom) {
    // The ribbon rests at the bottom when unipolar; a range takes the record default.
    p.setOff(665);
    p.setToDefault(126);
    EXPECT_EQ(p.paramValue[126], 0.0f);
    p.setToDefaultRange(126, 126);
    EXPECT_EQ(p.paramValue[126], 0.5f);
    for (int tag = 9; tag <= 20; ++tag) p.setParameter(tag, 0.123f);
    h.host().automated.clear();
    p.setToDefaultRange(9, 20);
    EXPECT_EQ(p.paramValue[9], p.paramDefault[9]);
    EXPECT_EQ(p.paramValue[20], p.paramDefault[20]);
    p.setToDefaultRange(20, 9);
    p.setToDefaultRange(-1, 5);
    p.setToDefaultRange(1020, 1024);
    EXPECT_EQ(h.host().automated.size(), 12u);

    p.setParameter(1, 0.2f);
    p.setToOrig(1);
    EXPECT_EQ(p.paramValue[1], p.getOrigValue(1));
    p.setZeroValue(1);  // written without telling the host
    EXPECT_EQ(p.paramValue[1], 0.75f);
    EXPECT_EQ(h.host().automated.size(), 13u);

    std::set<float> seen;  // random values lie on the grid of 32768 steps from 0 to 1 and are automated
    for (int i = 0; i < 20; ++i, seen.insert(p.paramValue[1])) {
        p.setRandomValue(1);
        ASSERT_TRUE(p.paramValue[1] >= 0.0f && p.paramValue[1] <= 1.0f &&
                    p.paramValue[1] == std::round(p.paramValue[1] * 32767.0f) / 32767.0f);
    }
    EXPECT_GT(seen.size(), 1u);
    EXPECT_EQ(h.host().automated.size(), 33u);
}

TEST_F(Access, CopiesAndSwapsAreQuietAndNeverWriteTheProgramTriggerOrOutsideTheTags) {
    for (int i = 0; i < 4; ++i) {
        p.setParameter(100 + i, 0.1f * (float)(i + 1));
        p.setParameter(110 + i, 0.9f - 0.1f * (float)i);
    }
    p.copyParameterRange(100, 40, 4);
    p.swapParameterRange(100, 110, 4);
    for (int i : {0, 3}) {
        expectStored(40 + i, 0.1f * (float)(i + 1));
        expectStored(100 + i, 0.9f - 0.1f * (float)i);
        expectStored(110 + i, 0.1f * (float)(i + 1));
    }
    p.copyParameterToRange(100, 20, 23);
    expectStored(20, 0.9f);
    expectStored(23, 0.9f);
    EXPECT_TRUE(h.host().automated.empty());
    h.run(4096);  // 4097 samples in all: the start-up program has been applied
    ASSERT_EQ((int)p.presetPending, 0);
    const float trigger = p.getParameter(kPresetTriggerTag);
    p.setParameter(7, 0.42f);
    p.copyParameter(1, kPresetTriggerTag);
    p.copyParameterToRange(5, 1015, 2000);
    p.swapParameter(kPresetTriggerTag, 3);
    p.swapParameterRange(1020, 1021, 10);
    p.copyParameter(kPresetTriggerTag, 7);  // nor copy its value elsewhere
    p.copyParameterToRange(kPresetTriggerTag, 7, 8);
    EXPECT_EQ(p.getParameter(kPresetTriggerTag), trigger);
    EXPECT_EQ(p.getParameter(7), 0.42f);
    // The pairs that exist in a clipped range are still copied: 1020..1029 holds 1020, 1021, 1023.
    p.setParameter(1001, 0.22f);
    p.copyParameterRange(1000, 1020, 10);
    EXPECT_EQ(p.getParameter(1021), 0.22f);
    EXPECT_EQ(p.getParameter(1023), p.getParameter(1003));
    // Negative starts go on with the first valid pair; huge counts end at the tag space.
    p.setParameter(50, 0.5f);
    p.copyParameterRange(-2, 48, 3);  // only the pair 0 -> 50, and tag 0 holds 0
    EXPECT_EQ(p.getParameter(50), 0.0f);
    p.copyParameterRange(-2000000000, 5, kIntMax);
    p.swapParameterRange(kIntMax, 3, 5);
    p.copyParameterRange(1, 2, -5);
    EXPECT_EQ((int)p.presetPending, 0);
}


TEST_F(Access, TextsAreEncodedOnePerTagCleanedBoundedAndWrittenQuietly) {
    h.run(4096);  // 4097 samples in all: the start-up program has been applied
    const float orig = p.paramOrig[935], last = p.paramLast[935];
    ASSERT_EQ((int)p.editChanged, 0);
    h.host().automated.clear();
    p.setStringFromParam("Arp Folder", 930, 28, false);  // bypasses host, editor and change test
    EXPECT_TRUE(h.host().automated.empty() && !p.editChanged && p.paramOrig[935] == orig && p.paramLast[935] == last);
    EXPECT_EQ(p.getStringFromParamStr(930, 28, true, false), "Arp Folder");
    p.setStringFromParam(" -A", 930, 28, false);
    p.setParameter(933, 1.0f);  // 1.0 holds no character
    EXPECT_EQ(p.getStringFromParamStr(930, 28, false, false), " -A");
    // Control characters and UTF-8 bytes vanish; their neighbours close up.
    for (const auto& [in, out] : {std::pair{"Bass: a/b?c", "Bass- a b c"}, {"x<y>\"z*\\|", "x y  z   "},
                                  {"Aa Zz 09 -~", "Aa Zz 09 -~"}, {"Fl\xC3\xBCte\t1\x7F", "Flte1\x7F"}}) {
        p.setStringFromParam(in, 930, 28, false);
        EXPECT_EQ(p.getStringFromParamStr(930, 28, false, false), out);
    }
    const std::string thirty = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123";
    p.setStringFromParam(thirty, 930, 28, false);
    EXPECT_EQ(p.getStringFromParamStr(930, 28, false, false), thirty.substr(0, 27));
    p.setStringFromParam("Ab", 930, 28, false);
    EXPECT_EQ(p.getParameter(957), 0.0f);  // the rest is cleared
    // A run that leaves the tag space is cut, not written past it.
    p.setStringFromParam("WXYZ12", 1020, 10, false);
    EXPECT_EQ(p.getStringFromParamStr(1020, 10, false, false), "WXYZ");
    p.setStringFromParam("Q", -3, 10, false);
    EXPECT_EQ(p.getStringFromParamStr(-3, 10, false, false), "");
    p.setStringFromParam("abcdef", -2, 10, false);  // 'a', 'b' fall outside
    EXPECT_EQ(p.getStringFromParamStr(0, 4, false, false), "cdef");
    EXPECT_EQ(p.getStringFromParamStr(930, -4, false, false) + p.getStringFromParamStr(kIntMax, 100, false, false), "");
    p.setStringFromParam("abc", kIntMax, 50, false);
    // The scratch and the live copy are separate sources (as a lock or a pending program makes them).
    p.setStringFromParam("Prog", 850, 80, false);
    p.setStringFromParam("Scratch", 850, 80, true);
    EXPECT_EQ(p.getStringFromParamStr(850, 80, false, true), "Scratch");
    p.paramValue[850] = (float)('X' + 0.5) / 255.99f;
    EXPECT_EQ(p.getStringFromParamStr(850, 80, true, false), "Xrog");
    EXPECT_EQ(p.getStringFromParamStr(850, 80, false, false), "Prog");
}

TEST_F(Access, EditorIsOpenOnlyWithItsWindowAndNotWhileOpening) {
    FakeEditor* editor = installFakeEditor(h);
    p.editorOpen = 1;
    p.publishEditorState();
    EXPECT_FALSE(p.isEditorOpen());  // no window yet
    int window = 0;
    editor->open(&window);
    p.editorOpening = 1;
    p.publishEditorState();
    EXPECT_FALSE(p.isEditorOpen());
    p.editorOpening = 0;
    p.publishEditorState();  // a refresh request becomes a redraw only while the editor is open
    p.editorRefreshRequest = 1;
    p.updateEditorScreen();
    EXPECT_EQ((int)p.editorRefreshRequest * 10 + (int)p.editorRedrawRequest, 1);
}
