// Parameter names, value texts and labels, the value formatters and the display string
// tables they read.
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "plugin/uPluginStrings.h"
#include "plugin/uPluginTags.h"
#include "support/PluginHarness.h"
#include "test_mod_util.h"

namespace {

constexpr int kBuf = APlugin::kParamTextSize;
constexpr int kGuard = 32;
constexpr unsigned char kGuardByte = 0xA5;

// Calls one of the text calls into a buffer of the documented size followed by guard
// bytes, and fails the test if anything was written past the buffer or the text is not
// terminated inside it.
template <typename Call>
std::string guardedText(Call call) {
    unsigned char buf[kBuf + kGuard];
    std::memset(buf, kGuardByte, sizeof(buf));
    call(reinterpret_cast<char*>(buf));
    for (int i = kBuf; i < kBuf + kGuard; ++i) {
        if (buf[i] != kGuardByte) {
            ADD_FAILURE() << "text call wrote past its " << kBuf << "-byte buffer";
            break;
        }
    }
    const void* nul = std::memchr(buf, 0, kBuf);
    if (!nul) {
        ADD_FAILURE() << "text not terminated inside the buffer";
        return std::string();
    }
    return std::string(reinterpret_cast<char*>(buf));
}

std::string display(PluginHarness& h, int tag) {
    return guardedText([&](char* t) { h->getParameterDisplay(tag, t); });
}

std::string name(PluginHarness& h, int tag) {
    return guardedText([&](char* t) { h->getParameterName(tag, t); });
}

std::string label(PluginHarness& h, int tag) {
    return guardedText([&](char* t) { h->getParameterLabel(tag, t); });
}

// A plug-in with its start-up program applied.
struct Started {
    PluginHarness h;
    Started() { h.run(1); }
    APlugin* operator->() { return &h.plugin(); }
    void set(int tag, float v) { h->setParameter(tag, v); }
    void step(int tag, int index) { h->setSteppedValue(tag, index); }
    std::string text(int tag) { return display(h, tag); }
};

// A display script: each line acts on a tag and then, when it names a text, checks the text
// that tag shows. Read only checks; Set writes the program value, Live only the live value,
// Step picks a stepped choice (the value is its index), On and Off flip a switch.
enum class Do { Read, Set, Live, Step, On, Off };
struct Line {
    Do act;
    int tag;
    float value;
    const char* text;
};

void play(Started& p, std::initializer_list<Line> script) {
    int n = 0;
    for (const Line& l : script) {
        SCOPED_TRACE(testing::Message() << "script line " << n++ << ", tag " << l.tag << ", value " << l.value);
        switch (l.act) {
            case Do::Read: break;
            case Do::Set: p.set(l.tag, l.value); break;
            case Do::Live: p->paramValue[l.tag] = l.value; break;
            case Do::Step: p.step(l.tag, (int)l.value); break;
            case Do::On: p->setOn(l.tag); break;
            case Do::Off: p->setOff(l.tag); break;
        }
        if (l.text) {
            EXPECT_EQ(p.text(l.tag), l.text);
        }
    }
}

std::string listing(PluginHarness& h) {
    std::ostringstream out;
    for (int tag = 0; tag < kNumParams; ++tag)
        out << tag << '\t' << name(h, tag) << '\t' << display(h, tag) << '\t' << label(h, tag)
            << '\n';
    return out.str();
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

}  // namespace

// --- the string tables ---------------------------------------------------------------------

TEST(DisplayStrings, SemitoneRowsCarryTheirSignedOffset) {
    for (int i = 0; i < 97; ++i) {
        const int n = i - 48;
        const std::string expect = (n > 0 ? "+" : "") + std::to_string(n);
        EXPECT_EQ(SEMI_SHORT_STR[i], expect) << "row " << i;
        EXPECT_EQ(SEMI_STR[i], expect + " Semi") << "row " << i;
    }
    EXPECT_STREQ(SEMI_SHORT_STR[48], "0");
    EXPECT_STREQ(SEMI_STR[40], "-8 Semi");
    EXPECT_STREQ(SEMI_STR[58], "+10 Semi");
}

TEST(DisplayStrings, MenuTablesHoldTheirFixedRows) {
    EXPECT_STREQ(PRESET_COMMAND_STR[10], "-");
    EXPECT_STREQ(PRESET_COMMAND_STR[16], "-");
    EXPECT_STREQ(PRESET_COMMAND_STR[19], "-");
    EXPECT_STREQ(PRESET_COMMAND_STR[9], "Clear Preset");
    for (int i = 0; i < 4; ++i) EXPECT_STREQ(PRESET_COMMAND_STR[20 + i], SET_SCREEN_SIZE_STR[i]);
    int separators = 0;
    for (const char* row : PRESET_COMMAND_STR) separators += std::strcmp(row, "-") == 0;
    EXPECT_EQ(separators, 3);
    EXPECT_STRNE(PRESET_COMMAND_STR[15], "");
    EXPECT_STREQ(REG_MIDI_IN_CHANNEL_STR, "MIDIChannel");
    EXPECT_STREQ(REG_SCREEN_SIZE[3], "Big200");
    EXPECT_STREQ(MIDI_IN_CHANNEL_STR[0], "Omni");
    EXPECT_STREQ(MIDI_IN_CHANNEL_STR[16], "CH 16");
}

TEST(DisplayStrings, KnobNamesFollowTheModeLayout) {
    EXPECT_STREQ(MOD_FX_LABEL_STR[53], "");
    EXPECT_STREQ(MOD_FX_LABEL_STR[54], "");
    EXPECT_STREQ(MOD_FX_VAR_STR[53], "Mod FX Gator L");
    EXPECT_STREQ(MOD_FX_VAR_STR[54], "Mod FX Gator R");
    EXPECT_STREQ(MOD_FX_VAR_STR[5 * 9 + 4], "Mod FX Ring Mod Low Pass Frequency");
    EXPECT_STREQ(DISTORT_MODE_VAR_STR[2 * 20 + 1], "Sample Rate LowPass Frequency");
    EXPECT_STREQ(DISTORT_MODE_VAR_SHORT_STR[2 * 8 + 1], "Dist Treble");
    EXPECT_STREQ(DISTORT_MODE_LABEL_STR[2 * 25], "AMT");
    // Every model's long names start with words of the model (Octave 2's second knob and
    // the abbreviations aside): catches a row shifted out of its pair.
    for (int m = 0; m < kDistortModes; ++m) {
        const std::string first = DISTORT_MODE_VAR_STR[2 * m];
        const std::string second = DISTORT_MODE_VAR_STR[2 * m + 1];
        EXPECT_EQ(first.substr(0, 2), second.substr(0, 2)) << "model " << m;
    }
}

// Note lengths read triplet, straight, dotted from short to long, or the reverse.
TEST(DisplayStrings, NoteLengthGroupsFollowTheirPattern) {
    const char* marks[3] = {"T QB", " QB", "* QB"};
    const char* notes[5] = {"1/32", "1/16", "1/8", "1/4", "1/2"};
    for (int g = 0; g < 5; ++g)
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(DELAY_LEN_STR[3 * g + k], std::string(notes[g]) + marks[k]);
    // The strum lengths write the dotted mark after " QB" (rows 15 and 18).
    for (int g = 0; g < 4; ++g)
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(CHORD_LEN_STR[1 + 3 * g + k], std::string(notes[g]) + marks[k])
                << "row " << 1 + 3 * g + k;
    EXPECT_STREQ(CHORD_LEN_STR[13], "1/2T QB");
    EXPECT_STREQ(CHORD_LEN_STR[14], "1/2 QB");
    EXPECT_STREQ(CHORD_LEN_STR[15], "1/2 QB*");
    EXPECT_STREQ(CHORD_LEN_STR[16], "1T QB");
    EXPECT_STREQ(CHORD_LEN_STR[18], "1 QB*");
    const char* longNotes[11] = {"16/1", "8/1", "4/1", "2/1", "1/1", "1/2",
                                 "1/4",  "1/8", "1/16", "1/32", "1/64"};
    for (int g = 0; g < 11; ++g)
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(GATER_PERIOD_STR[1 + 3 * g + k], std::string(longNotes[g]) + marks[2 - k])
                << "row " << 1 + 3 * g + k;
    EXPECT_STREQ(LFO_PERIOD_STR[1], "32/1* QB");
    EXPECT_STREQ(LFO_PERIOD_STR[4], "16/1* QB");
    EXPECT_STREQ(LFO_PERIOD_STR[6], "16/1T QB");
    EXPECT_STREQ(LFO_PERIOD_STR[28], "1/16* QB");
    EXPECT_STREQ(LFO_PERIOD_STR[30], "1/16T QB");
    EXPECT_STREQ(RIBBON_SPRING_TIME_STR[5], "1/16T QB");
    EXPECT_STREQ(RIBBON_SPRING_TIME_STR[7], "1/16* QB");
    for (int i = 10; i < 16; ++i) EXPECT_EQ(GATER_LEN_STR[i], std::to_string(i + 1) + " Steps");
}

TEST(ModulationNames, NoneAtRowZeroAndLayerFamilies) {
    EXPECT_STREQ(SRC_STR[0], "None");
    EXPECT_STREQ(SRC_SHORT_STR[0], "None");
    EXPECT_STREQ(DEST_STR[0], "None");
    EXPECT_STREQ(DEST_SHORT_STR[0], "None");
    EXPECT_STREQ(SRC_STR[42], "Layer 1 Filter Envelope");
    EXPECT_STREQ(SRC_SHORT_STR[42], "L1 Flt Env");
    EXPECT_STREQ(SRC_STR[95], "Layer 3 Inverse Velocity Split");
    EXPECT_STREQ(SRC_SHORT_STR[95], "L3 Inv Vel Split");
    EXPECT_STREQ(DEST_STR[37], "Layer 1 Octave");
    EXPECT_STREQ(DEST_SHORT_STR[37], "L1 Octave");
    EXPECT_STREQ(DEST_STR[312], "Layer 3 Envelope Retrigger");
    EXPECT_STREQ(DEST_SHORT_STR[312], "L3 Retrigger");
    EXPECT_STREQ(DEST_STR[52], "Layer 1 Wire Base Frequency");
    EXPECT_STREQ(DEST_STR[144], "Layer 2 Wire Frequency");
    EXPECT_STREQ(DEST_STR[236], "Layer 3 Wire Frequency");
    EXPECT_STREQ(DEST_SHORT_STR[135], "L2 Phase");
    EXPECT_STREQ(DEST_SHORT_STR[227], "L3 Phase");
    EXPECT_STREQ(SRC_SHORT_STR[122], "L1+3 Out");
    EXPECT_STREQ(SRC_SHORT_STR[123], "L2+3 Out");
    EXPECT_STREQ(DEST_STR[348], "Mod FX S&&H");
    EXPECT_STREQ(DEST_SHORT_STR[348], "Mod FX S H");
    EXPECT_STREQ(DEST_SHORT_STR[375], "LFO 1 S&H");
    EXPECT_STREQ(DEST_SHORT_STR[387], "LFO 2 S&H");
    EXPECT_STREQ(DEST_STR[400], "Ribbon Value");
    EXPECT_STREQ(SRC_STR[136], "Pink UniPolar Noise");

    // Each layer's rows: the same suffix behind "Layer n " and "Ln ".
    for (int k = 0; k < 92; ++k) {
        const std::string l1 = std::string(DEST_STR[37 + k]).substr(8);
        for (int n = 1; n <= 3; ++n) {
            const int row = 37 + 92 * (n - 1) + k;
            const std::string prefix = "Layer " + std::to_string(n) + " ";
            const std::string shortPrefix = "L" + std::to_string(n) + " ";
            EXPECT_EQ(std::string(DEST_STR[row]).substr(0, 8), prefix) << row;
            EXPECT_EQ(std::string(DEST_SHORT_STR[row]).substr(0, 3), shortPrefix) << row;
            if (k != 15) {
                EXPECT_EQ(std::string(DEST_STR[row]).substr(8), l1) << row;
            }
            EXPECT_EQ(std::string(DEST_SHORT_STR[row]).substr(3),
                      std::string(DEST_SHORT_STR[37 + k]).substr(3))
                << row;
        }
    }
    for (int k = 0; k < 18; ++k)
        for (int n = 2; n <= 3; ++n)
            EXPECT_EQ(std::string(SRC_STR[42 + 18 * (n - 1) + k]).substr(8),
                      std::string(SRC_STR[42 + k]).substr(8));
}

TEST(ModulationNames, GroupsCoverTheirTables) {
    EXPECT_EQ(SRC_SUBS_START[0], 1);
    EXPECT_EQ(SRC_SUBS_START[7], 133);
    EXPECT_EQ(DEST_SUB_START[0], 1);
    EXPECT_EQ(DEST_SUB_START[24], kModDestCount);
    for (int g = 0; g < 7; ++g) EXPECT_LT(SRC_SUBS_START[g], SRC_SUBS_START[g + 1]);
    for (int g = 0; g < 24; ++g) EXPECT_LT(DEST_SUB_START[g], DEST_SUB_START[g + 1]);
    // A group heading names the rows it opens.
    EXPECT_STREQ(DEST_STR[DEST_SUB_START[2]], "Layer 1 Octave");
    EXPECT_STREQ(DEST_STR[DEST_SUB_START[21]], "Mod FX Mix");
    EXPECT_STREQ(DEST_STR[DEST_SUB_START[23]], "Mod Slot Amount 1");
    EXPECT_STREQ(SRC_STR[SRC_SUBS_START[2]], "Layer 1 Filter Envelope");
    EXPECT_STREQ(SRC_SUB_STR[6], "Other Sources");
    EXPECT_STREQ(DEST_SUB_STR[20], "Distortion/Delay/Reverb");
}

TEST(DisplayStrings, TableRowClampsItsIndex) {
    EXPECT_STREQ(tableRow(OFF_ON_STR, -5), "Off");
    EXPECT_STREQ(tableRow(OFF_ON_STR, 7), "On");
    EXPECT_STREQ(tableRow(DEST_STR, 1000), "Ribbon Value");
    EXPECT_STREQ(tableRow(nullptr, 3, 1), "");
    EXPECT_EQ(tableRows(SRC_STR), 137);
    EXPECT_EQ(tableRows(DEST_SHORT_STR), 401);
}

// --- formatters ----------------------------------------------------------------------------

TEST(ValueFormatters, FixedPointPercentAndPolar) {
    EXPECT_EQ(APlugin::getFloatStr(4.545f, 0), "5");
    EXPECT_EQ(APlugin::getFloatStr(-0.04f, 1), "-0.0");
    EXPECT_EQ(APlugin::getFloatStr(1234567.0f, 2), "1234567.00");
    EXPECT_EQ(APlugin::getFloatStr(0.5f, -3), "0");  // no negative decimals
    EXPECT_EQ(APlugin::getPercentStr(0.999f, true, 1), "99.9%");
    EXPECT_EQ(APlugin::getPercentStr(0.5f, false, 0), "50");
    EXPECT_EQ(APlugin::getPolarStr(0.5f, true, 1), "0.0%");
    EXPECT_EQ(APlugin::getPolarStr(0.0f, true, 1), "-100.0%");
    EXPECT_EQ(APlugin::getPolarStr(1.0f, false, 1), "100.0");
}

TEST(ValueFormatters, TagFormsReadTheProgramValueAndRejectInvalidTags) {
    Started p;
    p.set(7, 0.25f);
    EXPECT_EQ(p->getPercentStr(7, true, 1), "25.0%");
    EXPECT_EQ(p->getPolarStr(7, true, 0), "-50%");
    EXPECT_EQ(p->getSemiStr(7, 96.99f, 48.0f), "-24");
    p.set(29, 0.5f);
    EXPECT_EQ(p->getFilterFreqStr(29, true), "640 Hz");
    for (int bad : {-1, 1024, 5000}) {
        EXPECT_EQ(p->getPercentStr(bad, true, 1), "");
        EXPECT_EQ(p->getPolarStr(bad, true, 1), "");
        EXPECT_EQ(p->getSemiStr(bad, 96.99f, 48.0f), "");
        EXPECT_EQ(p->getFilterFreqStr(bad, true), "");
        EXPECT_EQ(p->getDBStr(bad, 80.0f, 60.0f, true, true), "");
    }
}

TEST(ValueFormatters, DecibelsReadTheLiveValue) {
    Started p;
    p->paramValue[1] = 0.00009f;
    EXPECT_EQ(p->getDBStr(1, 80.0f, 60.0f, true, true), "Off");
    EXPECT_EQ(p->getDBStr(1, 80.0f, 60.0f, true, false), "-60.0 dB");
    p->paramValue[1] = 0.0001f;
    EXPECT_EQ(p->getDBStr(1, 80.0f, 60.0f, true, true), "-60.0 dB");
    p->paramValue[1] = 1.0f;
    EXPECT_EQ(p->getDBStr(1, 80.0f, 60.0f, false, true), "20.0");
    EXPECT_EQ(p->getDBStr(1, 80.0f, 80.0f, true, true), "0.0 dB");
    EXPECT_EQ(p->getDBStr(1, 40.0f, 20.0f, true, true), "20.0 dB");
}

TEST(ValueFormatters, Semitones) {
    EXPECT_EQ(APlugin::getSemiStr(1.0f, 96.99f, 48.0f), "+48");
    EXPECT_EQ(APlugin::getSemiStr(0.5f, 96.99f, 48.0f), "0");
    EXPECT_EQ(APlugin::getSemiStr(0.25f, 96.99f, 48.0f), "-24");
    EXPECT_EQ(APlugin::getSemiStr(0.0f, 96.99f, 48.0f), "-48");
    EXPECT_EQ(APlugin::getSemiStr(0.0f, 72.0f, 36.0f), "-36");
    EXPECT_EQ(APlugin::getSemiStr(1.0f, 72.0f, 36.0f), "+36");
    EXPECT_EQ(APlugin::getSemiStr(1e30f, 96.99f, 48.0f).empty(), false);  // no overflow trap
}

TEST(ValueFormatters, FilterFrequency) {
    EXPECT_EQ(APlugin::getFilterFreqStr(0.0f, true), "20 Hz");
    EXPECT_EQ(APlugin::getFilterFreqStr(0.5f, true), "640 Hz");
    EXPECT_EQ(APlugin::getFilterFreqStr(1.0f, true), "20.5 KHz");
    EXPECT_EQ(APlugin::getFilterFreqStr(1.0f, false), "20480");
    // 1000 Hz lies at 0.56439: whole hertz below, kilohertz with one decimal above.
    EXPECT_EQ(APlugin::getFilterFreqStr(0.5643f, true), "999 Hz");
    EXPECT_EQ(APlugin::getFilterFreqStr(0.5645f, true), "1.0 KHz");
}

TEST(ValueFormatters, EnvelopeTime) {
    EXPECT_EQ(APlugin::getEnvLenStr(0.0f, true, false), "1.0 ms");
    EXPECT_EQ(APlugin::getEnvLenStr(0.5f, true, false), "128.0 ms");
    EXPECT_EQ(APlugin::getEnvLenStr(0.7f, true, false), "891.4 ms");
    EXPECT_EQ(APlugin::getEnvLenStr(0.72f, true, false), "1.08 sec");
    EXPECT_EQ(APlugin::getEnvLenStr(1.0f, true, false), "16.38 sec");
    EXPECT_EQ(APlugin::getEnvLenStr(1.0f, true, true), "16384.0 ms");
    EXPECT_EQ(APlugin::getEnvLenStr(0.5f, false, false), "128.0");
    EXPECT_EQ(APlugin::getEnvLenStr(-2.0f, true, false), "Off");  // 2^-28 ms
}

TEST(ValueFormatters, LFOSpeedAndPeriod) {
    EXPECT_EQ(APlugin::getLFOSpeedStr(0.0f, false, false), "0.01 Hz");
    EXPECT_EQ(APlugin::getLFOSpeedStr(0.5f, false, false), "0.86 Hz");
    EXPECT_EQ(APlugin::getLFOSpeedStr(1.0f, false, false), "110.00 Hz");
    EXPECT_EQ(APlugin::getLFOSpeedStr(0.0f, false, true), "148.95 sec");
    EXPECT_EQ(APlugin::getLFOSpeedStr(0.5f, false, true), "1.16 sec");
    EXPECT_EQ(APlugin::getLFOSpeedStr(1.0f, false, true), "9 ms");
    EXPECT_EQ(APlugin::getLFOSpeedStr(0.0f, 4096.0f, 14.0f, true, false), "Off");
    EXPECT_EQ(APlugin::getLFOSpeedStr(1.0f, 1.0f, 10.0f, false, false), "56.32 KHz");
    for (int i = 0; i < 34; ++i)
        EXPECT_STREQ(APlugin::getLFOSpeedStr((i + 0.1f) / 33.99f, true, false).c_str(),
                     LFO_PERIOD_STR[i]);
    EXPECT_STREQ(APlugin::getLFOSpeedStr(7.0f, true, false).c_str(), LFO_PERIOD_STR[33]);
    EXPECT_STREQ(APlugin::getLFOSpeedStr(-7.0f, true, false).c_str(), LFO_PERIOD_STR[0]);
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
    const double digit = dot < space ? std::pow(10.0, -(double)(space - dot - 1)) : 1.0;
    const double shown = std::strtod(text.c_str(), nullptr);
    const std::string unit = text.substr(space + 1);
    const double value = unit == "Hz" ? hz : unit == "sec" ? 1.0 / hz : unit == "ms" ? 1000.0 / hz : -1.0;
    EXPECT_NEAR(shown, value, digit / 2.0 + value * 0.002);
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
        expectShows(APlugin::getLFOSpeedStr(v, false, true), fxHz);
    }
}

TEST(ValueFormatters, ChordStrum) {
    EXPECT_EQ(APlugin::getChordStrum(0.0f, false, true), "Off");
    EXPECT_EQ(APlugin::getChordStrum(0.00002f, false, true), "1.0 ms");
    EXPECT_EQ(APlugin::getChordStrum(0.5f, false, true), "32.0 ms");
    EXPECT_EQ(APlugin::getChordStrum(1.0f, false, true), "1024.0 ms");
    EXPECT_EQ(APlugin::getChordStrum(1.0f, false, false), "1024.0");
    for (int i = 0; i < 19; ++i)
        EXPECT_STREQ(APlugin::getChordStrum((i + 0.1f) / 18.99f, true, true).c_str(),
                     CHORD_LEN_STR[i]);
}

TEST(ValueFormatters, IgnoreTheProcessLocale) {
    const char* old = std::setlocale(LC_ALL, nullptr);
    const std::string saved = old ? old : "C";
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8") && !std::setlocale(LC_ALL, "de_DE.utf8"))
        GTEST_SKIP() << "no locale with a decimal comma installed";
    char probe[32];
    std::snprintf(probe, sizeof(probe), "%.1f", 0.5);
    const bool commaLocale = std::strchr(probe, ',') != nullptr;
    const std::string a = APlugin::getFloatStr(1.25f, 2);
    const std::string b = APlugin::getEnvLenStr(0.5f, true, false);
    const std::string c = APlugin::getLFOSpeedStr(0.5f, false, false);
    std::setlocale(LC_ALL, saved.c_str());
    ASSERT_TRUE(commaLocale);
    EXPECT_EQ(a, "1.25");
    EXPECT_EQ(b, "128.0 ms");
    EXPECT_EQ(c, "0.86 Hz");
}

// --- value texts by display type -------------------------------------------------------------

TEST(ParameterDisplay, ContinuousTypes) {
    Started p;
    play(p, {
        {Do::Set, 7, 0.5f, "50.0%"},  // percent
        {Do::Set, 116, 0.0f, "-100.0%"},  // polar
        {Do::Set, 476, 1.0f, "127"},  // arp step velocity
        {Do::Set, 542, 0.5f, "63"},  // velocity split point
        {Do::Set, 10, 0.75f, "50.0 cents"},  // cents
        {Do::Set, 29, 0.5f, "640 Hz"},  // filter frequency
        {Do::Set, 5, 0.5f, "128.0 ms"},  // envelope time
        {Do::Set, 460, 0.0f, "-36 semi"},  // arp step tune
        {Do::Set, 571, 0.999f, "99%"},  // chord note volume
    });
}

TEST(ParameterDisplay, DecibelTypesShowTheLiveValue) {
    Started p;
    play(p, {
        {Do::Set, 1, 0.75f, "0.0 dB"},
        {Do::Set, 1, 0.0f, "Off"},
        {Do::Set, 28, 1.0f, "0.0 dB"},  // Wave Sub-Osc Volume, -80..0 dB
        // Only the live value changes: the text follows it.
        {Do::Live, 1, 0.75f, "0.0 dB"},
        {Do::Live, 28, 0.5f, "-40.0 dB"},
        // The percent type reads the program value: a live-only change does not show.
        {Do::Set, 7, 0.5f, nullptr},
        {Do::Live, 7, 0.1f, "50.0%"},
    });
}

TEST(ParameterDisplay, PanAndMix) {
    Started p;
    const struct {
        float v;
        const char* pan;
        const char* mix;
    } cases[] = {
        {0.499f, "Center", "Equal"},
        {0.5f, "Center", "Equal"},
        {0.501f, "Center", "Equal"},
        {0.5011f, "99% L / 100% R", "99% D / 100% W"},
        {0.0f, "100% L / 0% R", "100% D / 0% W"},
        {0.75f, "50% L / 100% R", "50% D / 100% W"},
        {0.25f, "100% L / 50% R", "100% D / 50% W"},
        {1.0f, "0% L / 100% R", "0% D / 100% W"},
    };
    for (const auto& c : cases) {
        p.set(3, c.v);
        p.set(104, c.v);
        EXPECT_EQ(p.text(3), c.pan) << c.v;
        EXPECT_EQ(p.text(104), c.mix) << c.v;
    }
}

TEST(ParameterDisplay, Semitones) {
    Started p;
    play(p, {
        {Do::Set, 9, 0.5f, "0 semi"},
        {Do::Set, 9, 1.0f, "+48 semi"},
        {Do::Set, 9, 0.25f, "-24 semi"},
    });
    // A chord's first note never moves; its other notes do.
    for (int c = 0; c < kTagChords; ++c) {
        p.set(CHORD_SEMI_TAGS[c], 1.0f);
        p.set(CHORD_SEMI_TAGS[c] + 1, 1.0f);
        EXPECT_EQ(p.text(CHORD_SEMI_TAGS[c]), "0 semi");
        EXPECT_EQ(p.text(CHORD_SEMI_TAGS[c] + 1), "+48 semi");
    }
}

TEST(ParameterDisplay, LFOSpeedFollowsSyncAndLiveValue) {
    Started p;
    play(p, {
        {Do::Off, 357, 0, nullptr},
        {Do::Set, 102, 0.5f, "0.86 Hz"},
        {Do::Live, 102, 1.0f, "110.00 Hz"},  // live only
        {Do::On, 357, 0, nullptr},
        {Do::Set, 102, (8 + 0.1f) / 33.99f, "8/1 QB"},
        // LFO 2 follows its own switch.
        {Do::Off, 360, 0, nullptr},
        {Do::Set, 103, 0.0f, "0.01 Hz"},
        {Do::On, 360, 0, nullptr},
        {Do::Read, 103, 0, "Off"},
    });
}

TEST(ParameterDisplay, ModulationSourceDestinationAndStepLists) {
    Started p;
    play(p, {
        {Do::Step, 369, 98, "LFO 1"},
        {Do::Step, 369, 0, "None"},
        {Do::Step, 377, 366, "LFO 1 Speed"},
        {Do::Step, 377, 400, "Ribbon Value"},
        {Do::Step, 492, 13, "Major"},
        {Do::Step, 524, 2, "3"},
        {Do::Step, 412, 0, "Off"},
        {Do::Step, 412, 1, "On"},
    });
}

TEST(ParameterDisplay, ModulationAmountByDestinationKind) {
    Started p;
    const int slot = 2;
    const int amount = 385 + slot;
    const int dest = MOD_DEST_TAGS[slot];
    play(p, {
        {Do::Step, dest, 14, nullptr},  // Global Octave
        {Do::Set, amount, 0.0f, "-7 octave"},
        {Do::Set, amount, 0.5f, "0 octave"},
        {Do::Set, amount, 1.0f, "8 octave"},
        {Do::Step, dest, 15, nullptr},  // Global Semi
        {Do::Set, amount, 0.0f, "-36.0 semi"},
        {Do::Set, amount, 1.0f, "36.0 semi"},
        {Do::Set, amount, 0.5f, "0.0 semi"},
        {Do::Step, dest, 130, nullptr},  // Layer 2 Semi
        {Do::Read, amount, 0, "0.0 semi"},
        {Do::Step, dest, 23, nullptr},  // Global Speed
        {Do::Set, amount, 0.0f, "x 0.06"},
        {Do::Set, amount, 0.5f, "x 1.00"},
        {Do::Set, amount, 1.0f, "x 16.00"},
        {Do::Step, dest, 12, nullptr},  // Pan: a plain destination
        {Do::Set, amount, 0.25f, "-50.0%"},
        {Do::Step, dest, 0, nullptr},
        {Do::Read, amount, 0, "-50.0%"},
    });
}

TEST(ParameterDisplay, InternalAndUnknownTypes) {
    Started p;
    EXPECT_EQ(p.text(127), "INTERNAL PARAMETER 128");
    EXPECT_EQ(p.text(1023), "INTERNAL PARAMETER 1024");
    EXPECT_EQ(p.text(0), "INTERNAL PARAMETER 1");
    p->paramType[127] = kTypeByTag;  // a by-tag record without a rule of its own
    EXPECT_EQ(p.text(127), "----");
    p->paramType[1023] = 57;
    EXPECT_EQ(p.text(1023), "----");
    p->paramType[1023] = -3;
    EXPECT_EQ(p.text(1023), "----");
    p->paramType[1017] = 99;  // out of range falls back to the tag's own rule
    p.set(1017, 0.5f);
    EXPECT_EQ(p.text(1017), "440 Hz");
}

TEST(ParameterDisplay, InvalidTagsAndNullBuffers) {
    Started p;
    for (int bad : {-1, 1024, -100000, 1 << 30}) {
        EXPECT_EQ(display(p.h, bad), " ");
        EXPECT_EQ(name(p.h, bad), "");
        EXPECT_EQ(label(p.h, bad), " ");
        EXPECT_EQ(p->getParameterDisplayStr(bad), " ");
        EXPECT_EQ(p->getParameterNameStr(bad), "");
        EXPECT_EQ(p->getParamType(bad), kTypeByTag);
    }
    p->getParameterDisplay(5, nullptr);
    p->getParameterName(5, nullptr);
    p->getParameterLabel(5, nullptr);
    for (int tag = 0; tag < kNumParams; ++tag) ASSERT_EQ(label(p.h, tag), " ") << tag;
}

// --- value texts by tag ------------------------------------------------------------------------

TEST(ParameterDisplayByTag, LockAwareGroupShowsTheSnapshot) {
    Started p;
    p.set(4, 0.25f);
    p.step(244, 2);
    p.step(394, 1);
    p.set(403, 1.0f);
    p->setLockState(1);
    play(p, {
        {Do::Live, 4, 0.9f, nullptr},  // the engine would use the snapshot, so does the text
        {Do::Live, 244, 0.0f, nullptr},
        {Do::Live, 394, 0.0f, nullptr},
        {Do::Live, 403, 0.0f, nullptr},
        {Do::Read, 4, 0, "25.0%"},
        {Do::Read, 244, 0, "Mono"},
        {Do::Read, 394, 0, "On"},
        {Do::Read, 403, 0, "127"},
    });
    p->setLockState(0);
    play(p, {
        {Do::Read, 4, 0, "90.0%"},
        {Do::Read, 244, 0, "Poly"},
        {Do::Read, 394, 0, "Off"},
        {Do::Read, 403, 0, "0"},
    });
}

TEST(ParameterDisplayByTag, ListsOfChoices) {
    Started p;
    const struct {
        int tag;
        const char* const* table;
        int rows;
    } lists[] = {
        {244, PLAY_MODE_STR, 9},      {245, PORT_MODE_STR, 5},
        {249, SOURCE_MODE_STR, 4},    {282, LAYER_DEST_STR, 5},
        {324, FM_MODE_STR, 2},        {304, FILTER_MODE_STR, 35},
        {344, FX_PATH_STR, 6},        {347, DISTORT_MODE_STR, 26},
        {349, MOD_FX_MODE_STR, 11},   {358, LFO_WAVE_SHORT_STR, 9},
        {356, LFO_MODE_STR, 4},       {395, ARP_STEPS_STR, 16},
        {396, ARP_STEPS_STR, 16},     {397, ARP_SPEED_STR, 17},
        {407, ARP_MODE_STR, 16},      {408, ARP_OCT_STR, 4},
        {409, ARP_TIED_MODE_STR, 4},  {410, ARP_LOOP_MODE_STR, 3},
        {411, ARP_RATCHET_MODE_STR, 9}, {555, CHORD_MODE_STR, 23},
        {583, CHORD_NOTE_STR, 6},     {664, LOCK_MODE_STR, 3},
        {666, RIBBON_SPRING_TIME_STR, 18}, {667, RIBBON_QUANT_STR, 13},
    };
    for (const auto& l : lists) {
        for (int i = 0; i < l.rows; ++i) {
            p.step(l.tag, i);
            EXPECT_EQ(p.text(l.tag), l.table[i]) << "tag " << l.tag << " row " << i;
        }
    }
    // Pitch-bend ranges carry a unit except when off.
    play(p, {
        {Do::Step, 246, 0, "Off"},
        {Do::Step, 247, 2, "2 semi"},
        {Do::Step, 247, 15, "48 semi"},
    });
}

TEST(ParameterDisplayByTag, WaveFilterVowelAndBlends) {
    Started p;
    play(p, {
        {Do::Set, 26, 0.51f, "Square"},
        {Do::Set, 57, 1.0f, "Pink"},
        {Do::Set, 88, 0.0f, "Sine"},

        {Do::Step, 272, 0, nullptr},
        {Do::Set, 32, 0.5f, "I"},
        {Do::Step, 272, 28, nullptr},  // Formant 1
        {Do::Read, 32, 0, "50.0%"},
        {Do::Step, 272, 11, nullptr},  // two-way blend
        {Do::Set, 32, 0.4f, "LP- 60%, HP- 40%"},
        {Do::Set, 32, 0.005f, "LP"},
        {Do::Set, 32, 0.995f, "HP"},
        // Layer 2's knob follows layer 2's mode, not layer 1's.
        {Do::Step, 304, 24, nullptr},  // three-way blend
        {Do::Set, 63, 0.75f, "BP- 51%, HP- 49%"},
        {Do::Set, 63, 0.5f, "BP"},
        {Do::Set, 63, 1.0f, "HP"},
        {Do::Set, 63, 0.0f, "LP"},
        {Do::Step, 336, 12, nullptr},
        {Do::Set, 94, 0.25f, "LP- 51%, BP- 49%"},
    });
}

TEST(ParameterDisplayByTag, DistortionKnobsFollowTheModel) {
    Started p;
    play(p, {
        {Do::Step, 347, 0, nullptr},  // Amp
        {Do::Set, 105, (2 + 0.1f) / 5.99f, "4x12"},
        {Do::Set, 106, 0.25f, "25.0%"},
        {Do::Step, 347, 1, nullptr},  // Atan
        {Do::Read, 106, 0, "-50.0%"},
        {Do::Step, 347, 2, nullptr},  // Bits
        {Do::Set, 105, 0.0f, "16.0 Bits"},
        {Do::Set, 105, 1.0f, "0.0 Bits"},
        {Do::Set, 106, 0.5f, "640 Hz"},
        {Do::Step, 347, 12, nullptr},  // HP
        {Do::Read, 105, 0, "20.5 KHz"},
        {Do::Step, 347, 4, nullptr},  // Cab
        {Do::Set, 105, (3 + 0.1f) / 3.99f, "Off Axis"},
        {Do::Step, 347, 8, nullptr},  // EQ
        {Do::Set, 105, 0.5f, nullptr},
        {Do::Set, 106, 1.0f, nullptr},
        {Do::Read, 105, 0, "0.0 dB"},
        {Do::Read, 106, 0, "20.0 dB"},
        {Do::Set, 105, 0.0f, "Off"},
        {Do::Step, 347, 20, nullptr},  // Rate
        {Do::Read, 105, 0, "44100 Hz"},
        {Do::Set, 105, 1.0f, "1378 Hz"},
        {Do::Step, 347, 10, nullptr},  // Fuzz
        {Do::Set, 105, 0.5f, "50.0%"},
        {Do::Read, 106, 0, "100.0%"},
    });
}

TEST(ParameterDisplayByTag, ModFXKnobsFollowTheType) {
    Started p;
    play(p, {
        {Do::Step, 349, 0, nullptr},  // Chorus
        {Do::Off, 350, 0, nullptr},
        {Do::Set, 108, 0.5f, "0.86 Hz"},
        {Do::On, 350, 0, nullptr},
        {Do::Set, 108, (11 + 0.1f) / 33.99f, "4/1 QB"},
        {Do::Set, 109, 0.5f, "25.0 ms"},
        {Do::Set, 110, 0.5f, "50.0%"},
        {Do::Set, 112, 0.5f, "640 Hz"},
        {Do::Step, 349, 3, nullptr},  // Phaser
        {Do::Read, 109, 0, "640 Hz"},
        {Do::Read, 112, 0, "50.0%"},
        {Do::Step, 349, 4, nullptr},  // Wah-Wah
        {Do::Read, 109, 0, "BP"},
        {Do::Read, 110, 0, "640 Hz"},
        {Do::Set, 111, 0.0f, "20 Hz"},
        {Do::Step, 349, 5, nullptr},  // TalkBox
        {Do::Read, 110, 0, "50.0% - I"},
        {Do::Set, 111, 1.0f, "100.0% - U"},
        {Do::Step, 349, 7, nullptr},  // Vibrato
        {Do::Set, 109, (8 + 0.1f) / 8.99f, "Sample and Hold"},
        {Do::Step, 349, 9, nullptr},  // Ring
        {Do::Set, 108, 0.5f, "640 Hz"},
        {Do::Set, 109, 0.75f, "50.0%"},
        {Do::Read, 112, 0, "640 Hz"},
        {Do::Step, 349, 10, nullptr},  // Gator
        {Do::Set, 108, (5 + 0.1f) / 33.99f, "8/1 QB"},
        {Do::Read, 109, 0, "75.0%"},
        {Do::Read, 111, 0, "Left Gator"},
        {Do::Read, 112, 0, "Right Gator"},
    });
}

TEST(ParameterDisplayByTag, DelayReverbStrumTuningAndBrickFilter) {
    Started p;
    play(p, {
        {Do::On, 352, 0, nullptr},
        {Do::Set, 114, 0.67f, "1/4 QB"},
        {Do::Set, 115, 1.0f, "1/2* QB"},
        {Do::Off, 352, 0, nullptr},
        {Do::Set, 114, 0.0f, "1.0ms"},
        {Do::Read, 115, 0, "4096.0ms"},

        {Do::Set, 121, 0.0f, "0.0 ms"},
        {Do::Set, 121, 1.0f, "511.5 ms"},
        {Do::Set, 122, 0.0f, "0.25 m3"},
        {Do::Set, 122, 1.0f, "7.75 m3"},
        {Do::Set, 123, 0.0f, "1%"},
        {Do::Set, 123, 0.5f, "25%"},
        {Do::Set, 123, 1.0f, "400%"},

        {Do::Off, 585, 0, nullptr},
        {Do::Set, 584, 0.5f, "32.0 ms"},
        {Do::Set, 584, 0.0f, "Off"},
        {Do::On, 585, 0, nullptr},
        {Do::Set, 584, (17 + 0.1f) / 18.99f, "1 QB"},
        {Do::Read, 611, 0, "Off"},  // chord 3 still unsynced at 0

        {Do::Set, 1017, 0.0f, "220 Hz"},
        {Do::Set, 1017, 0.5f, "440 Hz"},
        {Do::Set, 1017, 1.0f, "880 Hz"},
        {Do::Set, 1019, 0.0f, "0 KHz"},
        {Do::Set, 1019, 1.0f, "82 KHz"},
    });
}

// --- names ----------------------------------------------------------------------------------

TEST(ParameterName, KnobsAreRenamedWithTheirMode) {
    Started p;
    for (int d = 0; d < kDistortModes; ++d) {
        p.step(347, d);
        EXPECT_EQ(name(p.h, 105), DISTORT_MODE_VAR_STR[2 * d]) << d;
        EXPECT_EQ(name(p.h, 106), DISTORT_MODE_VAR_STR[2 * d + 1]) << d;
    }
    for (int x = 0; x < kModFXModes; ++x) {
        p.step(349, x);
        for (int k = 0; k < kModFXKnobs; ++k)
            EXPECT_EQ(name(p.h, 108 + k), MOD_FX_VAR_STR[5 * x + k]) << x << "/" << k;
    }
    p.step(347, 20);
    p.step(349, 9);
    EXPECT_EQ(p->getParameterNameStr(106), "Sample Rate LowPass Frequency");
    EXPECT_EQ(p->getParameterNameStr(112), "Mod FX Ring Mod Low Pass Frequency");
    // The host sees the same through its opcode.
    char buf[256] = {};
    p.h.dispatch(effGetParamName, 105, 0, buf);
    EXPECT_STREQ(buf, "Sample Rate Amount");
    // Other tags keep their record names.
    EXPECT_EQ(name(p.h, 104), "Distort Mix");
    EXPECT_EQ(name(p.h, 107), "Mod FX Mix");
    EXPECT_EQ(name(p.h, 0), "NONE");
}

TEST(ParameterName, LongNamesAreCutInsideTheBuffer) {
    Started p;
    p->paramName[127] = std::string(200, 'n');
    const std::string cut = name(p.h, 127);
    EXPECT_EQ(cut, std::string(kBuf - 1, 'n'));
    EXPECT_EQ(p->getParameterNameStr(127), cut);
}

TEST(ParameterText, EveryTagStaysInsideItsBufferInEveryMode) {
    Started p;
    // Extreme values and every mode selector position.
    for (float v : {0.0f, 0.5f, 1.0f}) {
        for (int tag = 1; tag < kNumParams; ++tag)
            if (tag != kPresetTriggerTag) p.set(tag, v);
        for (int d = 0; d < kDistortModes; d += 5) {
            p.step(347, d);
            for (int x = 0; x < kModFXModes; x += 3) {
                p.step(349, x);
                for (int tag = 0; tag < kNumParams; ++tag) {
                    const std::string t = display(p.h, tag);
                    EXPECT_FALSE(t.empty()) << tag;
                    name(p.h, tag);
                }
            }
        }
    }
}

// --- the start-up program as a host lists it -------------------------------------------------

TEST(ParameterListing, StartUpProgramMatchesTheReviewedListing) {
    Started p;
    const std::string actual = listing(p.h);
    const std::string path = std::string(TAV_SOURCE_DIR) + "/tests/data/parameter-listing.txt";
    std::ifstream in(path, std::ios::binary);
    std::string expected((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

    if (actual != expected) {
        // Leave the listing beside the build for review.
        const char* scratch = std::getenv("TAV_TEST_SCRATCH");
        std::filesystem::path out = scratch ? scratch : std::filesystem::temp_directory_path();
        std::filesystem::create_directories(out);
        out /= "parameter-listing.actual.txt";
        std::ofstream(out, std::ios::binary) << actual;
        const auto a = lines(actual), e = lines(expected);
        int shown = 0;
        for (std::size_t i = 0; i < std::max(a.size(), e.size()) && shown < 20; ++i) {
            const std::string al = i < a.size() ? a[i] : "<none>";
            const std::string el = i < e.size() ? e[i] : "<none>";
            if (al != el) {
                ADD_FAILURE() << "line " << i + 1 << "\n  expected: " << el
                              << "\n  actual:   " << al;
                ++shown;
            }
        }
        FAIL() << "listing differs from " << path << "; actual listing written to " << out;
    }
}
