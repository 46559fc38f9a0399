// Typed value entry: the box each parameter gets, what typing into it writes, and that
// accepting the shown text keeps the value text, for every tag that takes typed entry.
// The boxes are answered by the platform's scripted answerer.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "plugin/uPluginStrings.h"
#include "plugin/uPluginTags.h"
#include "support/PluginHarness.h"

namespace {

using platform::DialogRecord;

struct Entry : ::testing::Test {
    PluginHarness h;
    APlugin& p = h.plugin();

    void SetUp() override {
        platform::dialogSetMode(platform::DialogMode::Scripted);
        platform::dialogScriptClear();
        platform::dialogTranscriptClear();
        h.run(1);  // the start-up program is applied
        h.host().automated.clear();
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
        if (ok)
            platform::dialogScriptOk(text);
        else
            platform::dialogScriptCancel();
        p.setNumValue(tag);
        platform::dialogScriptClear();
        const std::vector<DialogRecord> shown = platform::dialogTranscript();
        EXPECT_LE(shown.size(), 1u) << "tag " << tag;
        if (shown.empty()) return std::nullopt;
        return shown.back();
    }
    std::optional<DialogRecord> cancel(int tag) { return enter(tag, "", false); }

    // How a row compares the parameter with its expected value: exactly, within four float
    // steps (EXPECT_FLOAT_EQ), within 1e-6, or not at all.
    enum class Cmp { Exact, Float, Near, Unchecked };
    // Typing `typed` into the tag's box leaves the parameter at `value`; the box showed
    // `prompt` and started from `initial` where those are given.
    struct Typed {
        int tag;
        const char* typed;
        float value;
        Cmp cmp;
        const char* prompt = nullptr;
        const char* initial = nullptr;
    };
    void type(std::initializer_list<Typed> rows) {
        for (const Typed& r : rows) {
            SCOPED_TRACE(testing::Message() << "tag " << r.tag << " typed \"" << r.typed << "\"");
            const std::optional<DialogRecord> box = enter(r.tag, r.typed);
            if (r.prompt || r.initial) {
                ASSERT_TRUE(box);
                if (r.prompt) {
                    EXPECT_EQ(box->text, r.prompt);
                }
                if (r.initial) {
                    EXPECT_EQ(box->initial, r.initial);
                }
            }
            const float v = p.getParameter(r.tag);
            switch (r.cmp) {
                case Cmp::Exact: EXPECT_EQ(v, r.value); break;
                case Cmp::Float: EXPECT_FLOAT_EQ(v, r.value); break;
                case Cmp::Near: EXPECT_NEAR(v, r.value, 1e-6f); break;
                case Cmp::Unchecked: break;
            }
        }
    }

    std::vector<float> programValues() {
        return std::vector<float>(p.programs[0].values, p.programs[0].values + kNumParams);
    }
    bool toldHost(int tag) {
        for (const auto& a : h.host().automated)
            if (a.first == tag) return true;
        return false;
    }

    // Cancel and an emptied field change nothing; accepting the shown text keeps the value
    // text. Returns whether the tag took typed entry.
    bool roundTrip(int tag, const std::string& context) {
        const std::vector<float> before = programValues();
        const std::string text = p.getParameterDisplayStr(tag);
        const std::optional<DialogRecord> box = cancel(tag);
        if (!box) return false;
        EXPECT_EQ(programValues(), before) << context << " cancel, tag " << tag;
        enter(tag, "");
        EXPECT_EQ(programValues(), before) << context << " empty, tag " << tag;
        enter(tag, box->initial);
        EXPECT_EQ(p.getParameterDisplayStr(tag), text)
            << context << " tag " << tag << " typed \"" << box->initial << "\" for \"" << text
            << "\"";
        return true;
    }

    // The first modulation destination of a kind.
    int destOfKind(int kind) {
        for (int d = 1; d < kNumModDests; ++d)
            if (p.destType[d] == kind) return d;
        return -1;
    }
};

const float kSampleValues[] = {0.0f, 0.013f, 0.25f, 0.5f, 0.61f, 0.777f, 0.93f, 1.0f};

}  // namespace

// --- typing the shown text back ---------------------------------------------------------

TEST_F(Entry, EveryTagOfTheStartupProgramKeepsItsTextWhenTheShownTextIsTypedBack) {
    int taking = 0;
    for (int tag = 0; tag < kNumParams; ++tag) {
        const bool took = roundTrip(tag, "start-up");
        // Every parameter a user sees takes typed entry; internal ones show no box.
        EXPECT_EQ(took, p.paramType[tag] != kTypeInternal) << "tag " << tag;
        taking += took ? 1 : 0;
    }
    EXPECT_GT(taking, 500);
    EXPECT_FALSE(cancel(0));
    EXPECT_FALSE(cancel(848));
    EXPECT_FALSE(cancel(kPresetTriggerTag));
}

TEST_F(Entry, EveryTagKeepsItsTextAcrossItsRange) {
    for (int tag = 1; tag < kNumParams; ++tag) {
        if (p.paramType[tag] == kTypeInternal) continue;
        // Synced delay times are stepped over their list; the modes test covers them.
        if (tag == 114 || tag == 115) continue;
        for (float v : kSampleValues) {
            if (p.paramType[tag] == kTypeVelSplit) {
                // The four points of a layer stay in order: move them together.
                const int first = tag - p.velTagPoint[tag];
                for (int point = 0; point < 4; ++point) p.setParameter(first + point, v);
            } else {
                p.setParameter(tag, v);
            }
            roundTrip(tag, "value " + std::to_string(v));
        }
    }
}

TEST_F(Entry, ModeDependentKnobsKeepTheirTextInEveryMode) {
    for (int mode = 0; mode < 26; ++mode) {
        p.setSteppedValue(347, mode);
        for (int tag : {105, 106})
            for (float v : kSampleValues) {
                p.setParameter(tag, v);
                roundTrip(tag, "distort mode " + std::to_string(mode));
            }
    }
    for (int sync = 0; sync < 2; ++sync) {
        p.setOnOff(350, sync == 1);
        for (int mode = 0; mode < 11; ++mode) {
            p.setSteppedValue(349, mode);
            for (int tag = 108; tag <= 112; ++tag)
                for (float v : kSampleValues) {
                    p.setParameter(tag, v);
                    roundTrip(tag, "mod fx mode " + std::to_string(mode));
                }
        }
        for (int tag : {357, 360, 352, 558, 585, 612, 639, 665}) p.setOnOff(tag, sync == 1);
        for (int tag : {102, 103, 114, 115, 557, 584, 611, 638, 126})
            for (float v : kSampleValues) {
                // A synced delay time is one of its list's steps.
                if ((tag == 114 || tag == 115) && sync == 1)
                    p.setSteppedValue(tag, (int)(v * 14.0f), 14.99f, 15);
                else
                    p.setParameter(tag, v);
                roundTrip(tag, "sync " + std::to_string(sync));
            }
    }
    for (int layer = 0; layer < 3; ++layer)
        for (int mode : {0, 11, 12, 27, 28}) {
            p.setSteppedValue(FILTER_MODE_TAGS[layer], mode);
            for (float v : kSampleValues) {
                p.setParameter(FILTER_VOWEL_TAGS[layer], v);
                roundTrip(FILTER_VOWEL_TAGS[layer], "filter mode " + std::to_string(mode));
            }
        }
    for (int kind = 1; kind <= 5; ++kind) {
        const int dest = destOfKind(kind);
        ASSERT_GT(dest, 0) << kind;
        for (int slot = 0; slot < 8; ++slot) {
            p.setSteppedValue(MOD_DEST_TAGS[slot], dest);
            for (float v : kSampleValues) {
                p.setParameter(MOD_AMT_TAGS[slot], v);
                roundTrip(MOD_AMT_TAGS[slot], "destination kind " + std::to_string(kind));
            }
        }
    }
}

// --- continuous entries --------------------------------------------------------------------

TEST_F(Entry, PercentAcceptsCommaAndIgnoresUnits) {
    const int tag = 2;  // "Velocity > Volume"
    auto box = enter(tag, "12,5");
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, "0 to 100%");
    EXPECT_EQ(box->title, p.getParameterNameStr(tag));
    EXPECT_FLOAT_EQ(p.getParameter(tag), 0.125f);
    type({
        {tag, "50 %", 0.5f, Cmp::Float},
        {tag, "-20", 0.0f, Cmp::Exact, nullptr, "50.0"},
        {tag, "250", 1.0f, Cmp::Exact},
    });
    // Continuous entries are not reported to the host.
    EXPECT_TRUE(h.host().automated.empty());
}

TEST_F(Entry, BipolarAndCents) {
    const int pan = 3;
    type({
        {pan, "0", 0.5f, Cmp::Exact, "-100 to 100%"},
        {pan, "100", 1.0f, Cmp::Exact},
        {pan, "-100", 0.0f, Cmp::Exact},
        {FINE_TAGS[0], "-25", 0.375f, Cmp::Float, "-100 to 100 cent"},
    });
}

TEST_F(Entry, FilterFrequency) {
    const int tag = FILTER_FREQ_TAGS[0];
    type({
        {tag, "20", 0.0f, Cmp::Exact, "20 Hz to 20500 Hz"},
        {tag, "20480", 1.0f, Cmp::Exact},
        {tag, "640", 0.5f, Cmp::Near, nullptr, "20480"},
    });
    // Below the range, negative or zero: the lowest value, never NaN.
    for (const char* low : {"5", "0", "-300"}) {
        enter(tag, "640");
        enter(tag, low);
        EXPECT_EQ(p.getParameter(tag), 0.0f) << low;
    }
}

TEST_F(Entry, LfoSpeedUnsyncedAndSynced) {
    p.setOff(357);
    type({
        {102, "110", 1.0f, Cmp::Exact, "0 to 110 Hz"},
        {102, "0", 0.0f, Cmp::Exact, nullptr, "110.00"},
        {102, "0.859375 Hz", 0.5f, Cmp::Near},  // the rate that plays at 0.5
        {102, "0.86", 0.5f, Cmp::Unchecked, nullptr, "0.86"},
    });
    EXPECT_EQ(p.getParameterDisplayStr(102), "0.86 Hz") << "a typed rate reads back as typed";

    p.setOn(357);
    p.setSteppedValue(102, 3, 33.99f, 34);
    h.host().automated.clear();
    auto box = enter(102, "5");
    const std::string expected = std::string(LFO_PERIOD_STR[0]) + " (1) to " + LFO_PERIOD_STR[33] +
                                 " (34), Currently " + LFO_PERIOD_STR[3] + " (4)";
    EXPECT_EQ(box->text, expected);
    EXPECT_EQ(box->initial, "4");
    EXPECT_EQ(p.getSteppedValue(102, 33.99f, 34), 4);
    EXPECT_TRUE(toldHost(102));  // stepped entries are automated
}

TEST_F(Entry, DecibelsAndTheirOffText) {
    const int tag = 1;  // Main Volume, -60 to 20 dB
    type({
        {tag, "0", 0.75f, Cmp::Float, "-60 to 20 dB"},
        {tag, "20", 1.0f, Cmp::Exact},
        {tag, "-60", 0.0f, Cmp::Exact},
        // Accepting "Off" unchanged is no number: the value stays off.
        {tag, "Off", 0.0f, Cmp::Exact, nullptr, "Off"},
    });

    auto box = enter(SUB_VOL_TAGS[0], "-20");
    EXPECT_EQ(box->text, "-80 to 0 dB");
    EXPECT_FLOAT_EQ(p.getParameter(SUB_VOL_TAGS[0]), 0.75f);
}

TEST_F(Entry, EnvelopeTimeVelocityAndVolume) {
    type({
        {6, "128", 0.5f, Cmp::Near, "1 to 16384 ms"},  // Amp Envelope Decay
        {6, "-3", 0.0f, Cmp::Exact},
        {6, "99999", 1.0f, Cmp::Exact},
    });

    auto box = enter(476, "64");  // arp step 1 velocity
    EXPECT_EQ(box->text, "Velocity 0 to 127");
    EXPECT_FLOAT_EQ(p.getParameter(476), 64.0f / 127.0f);
    EXPECT_EQ(p.getParameterDisplayStr(476), "64");

    box = enter(CHORD_VEL_TAGS[0] + 2, "50");
    EXPECT_EQ(box->text, "Volume 0 to 100%");
    EXPECT_FLOAT_EQ(p.getParameter(CHORD_VEL_TAGS[0] + 2), 0.5f);
    EXPECT_TRUE(h.host().automated.empty());
}

TEST_F(Entry, SwitchesTakeZeroOrOne) {
    const int tag = 351;  // Delay On/Off
    type({
        {tag, "1", 1.0f, Cmp::Exact, "0 for Off, 1 for On"},
        {tag, "0.4", 0.0f, Cmp::Exact, nullptr, "1"},
        {tag, "0.5", 1.0f, Cmp::Exact},
    });
    EXPECT_TRUE(toldHost(tag));
}

TEST_F(Entry, SemitonesReadBackAsTyped) {
    for (int tag : {SEMI_TAGS[0], FM_2_SEMI_TAGS[2], PITCH_ENV_AMT_TAGS[1]}) {
        auto box = enter(tag, "0");
        ASSERT_TRUE(box);
        EXPECT_EQ(box->text, "-48 to +48 semi");
        for (int n = -48; n <= 48; ++n) {
            enter(tag, std::to_string(n));
            const float v = p.getParameter(tag);
            ASSERT_EQ((int)(v * 96.99f) - 48, n) << tag;
            ASSERT_EQ(p.getParameterDisplayStr(tag),
                      (n > 0 ? "+" : "") + std::to_string(n) + " semi");
        }
        enter(tag, "+60");
        EXPECT_EQ((int)(p.getParameter(tag) * 96.99f) - 48, 48);
        enter(tag, "-60");
        EXPECT_EQ(p.getParameter(tag), 0.0f);
    }
}

TEST_F(Entry, ArpTuneIsSteppedAndReachesBothEnds) {
    const int tag = 460;  // arp step 1 tune
    auto box = enter(tag, "12");
    EXPECT_EQ(box->text, "-36 to +36 semi");
    EXPECT_FLOAT_EQ(p.getParameter(tag), 48.1f / 72.0f);
    EXPECT_EQ(APlugin::getSteppedValue(p.getParameter(tag), 72.0f, 72), 48);
    EXPECT_TRUE(toldHost(tag));
    enter(tag, "36");
    EXPECT_EQ(p.getParameterDisplayStr(tag), "+36 semi");
    enter(tag, "-36");
    EXPECT_EQ(p.getParameterDisplayStr(tag), "-36 semi");
    enter(tag, "-99");
    EXPECT_EQ(p.getParameterDisplayStr(tag), "-36 semi");
}

TEST_F(Entry, ReverbAndDelayRowsWithGuards) {
    p.setParameter(122, 0.5f);
    type({
        {122, "0", 0.5f, Cmp::Exact, "0.25 to 7.75m^3"},  // Reverb Size: at or below its guard nothing is written
        {122, "7.75", 30.0f / 30.75f, Cmp::Float},
    });
    auto box = cancel(122);
    EXPECT_EQ(box->initial, "7.75");
    enter(122, "7.9375");
    EXPECT_EQ(p.getParameter(122), 1.0f);

    p.setParameter(123, 0.5f);
    type({
        {123, "0", 0.5f, Cmp::Exact, "1 to 400%"},  // Reverb Length
        {123, "100", 0.75f, Cmp::Float},

        {121, "-3", 0.0f, Cmp::Exact, "0 to 511 ms"},  // Reverb Pre-Delay: below -0.5 ms the lowest value
        {121, "511.5", 1.0f, Cmp::Float},
    });

    p.setOff(352);
    p.setParameter(114, 0.5f);
    type({
        {114, "0.0005", 0.5f, Cmp::Exact, "0 to 4096 ms"},  // Delay time guard
        {114, "64", 0.5f, Cmp::Float},
    });
    p.setOn(352);
    box = enter(114, "15");
    EXPECT_EQ(p.getSteppedValue(114, 14.99f, 15), 14);
}

TEST_F(Entry, DistortAndModFXKnobsFollowTheirModes) {
    p.setSteppedValue(347, 20);  // Rate
    p.setParameter(105, 0.5f);
    type({
        {105, "0", 0.5f, Cmp::Exact, "2000 to 44100 Hz"},  // guard
        {105, "44100", 0.0f, Cmp::Exact},
    });
    p.setSteppedValue(347, 2);  // Bits
    type({
        {105, "8", 0.5f, Cmp::Float, "1 to 16 Bits"},
        {106, "640", 0.0f, Cmp::Unchecked, "20 Hz to 20500 Hz"},
    });
    p.setSteppedValue(347, 8);  // EQ
    auto box = enter(106, "10");
    EXPECT_EQ(box->text, "-20 to 20 dB");
    EXPECT_FLOAT_EQ(p.getParameter(106), 0.75f);
    p.setSteppedValue(347, 0);  // Amp
    box = enter(105, "3");
    EXPECT_EQ(box->text.rfind(std::string(AMP_MODEL_STR[0]) + " (1) to ", 0), 0u);
    EXPECT_EQ(APlugin::getSteppedValue(p.getParameter(105), 5.99f, 6), 2);

    p.setSteppedValue(349, 4);  // Wah-Wah
    box = enter(109, "3");
    EXPECT_EQ(box->text, "1 - LP, 2 - BP, 3 - HP");
    EXPECT_EQ((int)(2.99f * p.getParameter(109)), 2);
    box = enter(110, "640");
    EXPECT_EQ(box->text, "20 Hz to 20500 Hz");
    p.setSteppedValue(349, 0);  // Chorus
    type({
        {109, "25", 0.5f, Cmp::Float, "0 to 50 ms"},
        {112, "20", 0.0f, Cmp::Unchecked, "20 Hz to 20500 Hz"},
    });
    p.setSteppedValue(349, 10);  // Gator
    box = enter(108, "34");
    EXPECT_EQ(p.getSteppedValue(108, 33.99f, 34), 33);
    EXPECT_EQ(box->text.rfind(std::string(GATER_PERIOD_STR[0]) + " (1)", 0), 0u);
}

TEST_F(Entry, StrumLengthFollowsItsSyncSwitch) {
    const int tag = CHORD_STRUM_TAGS[1];
    p.setOff(tag + 1);
    p.setParameter(tag, 0.0f);
    type({
        {tag, "32", 0.5f, Cmp::Near, "1 to 1024 ms", "Off"},
        {tag, "-1", 0.0f, Cmp::Exact},
    });
    p.setOn(tag + 1);
    auto box = enter(tag, "19");
    EXPECT_EQ(p.getSteppedValue(tag, 18.99f, 19), 18);
    EXPECT_EQ(box->text.rfind(std::string(CHORD_LEN_STR[0]) + " (1) to " + CHORD_LEN_STR[18], 0),
              0u);
}

TEST_F(Entry, RibbonValueFollowsItsPolarity) {
    p.setOn(665);
    EXPECT_EQ(enter(126, "25")->text, "0 to 100%");
    EXPECT_FLOAT_EQ(p.getParameter(126), 0.25f);
    p.setOff(665);
    EXPECT_EQ(enter(126, "50")->text, "-100 to 100%");
    EXPECT_FLOAT_EQ(p.getParameter(126), 0.75f);
}

// --- stepped entries ------------------------------------------------------------------------

TEST_F(Entry, ListsTakeThePositionNotTheName) {
    const int wave = WAVE_TAGS[0];
    p.setSteppedValue(wave, 1);
    auto box = enter(wave, "6");
    EXPECT_EQ(box->initial, "2");
    EXPECT_EQ(box->text, std::string(WAVE_STR[0]) + " (1) to " + WAVE_STR[5] + " (6), Currently " +
                             WAVE_STR[1] + " (2)");
    EXPECT_EQ(p.getSteppedValue(wave), 5);
    // Typed positions past either end give the end; a name holds no number: nothing is
    // chosen ("Saw" keeps the third wave).
    const struct {
        const char* typed;
        int index;
    } answers[] = {{"9", 5}, {"0", 0}, {"3", 2}, {"Saw", 2}, {"99999999999999999999", 5},
                   {"-99999999999999999999", 0}};
    for (const auto& a : answers) {
        enter(wave, a.typed);
        EXPECT_EQ(p.getSteppedValue(wave), a.index) << "typed \"" << a.typed << "\"";
    }
    EXPECT_TRUE(toldHost(wave));
}

TEST_F(Entry, RecordsWithoutNamesAreSteppedByNumber) {
    const int tag = CHORD_NOTES_TAGS[0];  // 6 choices
    p.setSteppedValue(tag, 2);
    auto box = enter(tag, "5");
    EXPECT_EQ(box->text, "(1) to (6), Currently (3)");
    EXPECT_EQ(box->initial, "3");
    EXPECT_EQ(p.getSteppedValue(tag), 4);
    box = enter(369, "134");  // a mod source: 137 choices by number
    EXPECT_EQ(box->text.rfind("(1) to (137)", 0), 0u);
    EXPECT_EQ(p.getSteppedValue(369), 133);
}

TEST_F(Entry, FilterVowelIsAListOnlyInVocalMode) {
    const int tag = FILTER_VOWEL_TAGS[1];
    p.setSteppedValue(FILTER_MODE_TAGS[1], 27);
    auto box = enter(tag, "3");
    EXPECT_EQ(box->text.rfind(std::string(FILTER_VOWEL_STR[0]) + " (1) to " + FILTER_VOWEL_STR[4],
                              0),
              0u);
    EXPECT_EQ(p.getSteppedValue(tag, 4.99f, 5), 2);
    p.setSteppedValue(FILTER_MODE_TAGS[1], 26);
    EXPECT_EQ(enter(tag, "50")->text, "0 to 100%");
    EXPECT_FLOAT_EQ(p.getParameter(tag), 0.5f);
    // Another layer's mode does not matter.
    p.setSteppedValue(FILTER_MODE_TAGS[0], 27);
    EXPECT_EQ(enter(tag, "40")->text, "0 to 100%");
}

// --- velocity split points ------------------------------------------------------------------

TEST_F(Entry, VelocitySplitPointsStayInOrder) {
    const int* t = &LAYER_VEL_TAGS[4];  // layer 2: fade in, start, end, fade out
    p.setParameter(t[0], 20.0f / 127.0f);
    p.setParameter(t[1], 40.0f / 127.0f);
    p.setParameter(t[2], 80.0f / 127.0f);
    p.setParameter(t[3], 100.0f / 127.0f);
    auto box = enter(t[1], "10");  // start below fade in: raised to it
    EXPECT_EQ(box->text, "Velocity 0 to 127");
    EXPECT_EQ(p.getParameter(t[1]), p.getParameter(t[0]));
    enter(t[3], "50");  // fade out below end: raised to it
    EXPECT_EQ(p.getParameter(t[3]), p.getParameter(t[2]));
    enter(t[0], "90");  // fade in above start: lowered to it
    EXPECT_EQ(p.getParameter(t[0]), p.getParameter(t[1]));
    enter(t[2], "60");
    EXPECT_FLOAT_EQ(p.getParameter(t[2]), 60.0f / 127.0f);
    EXPECT_TRUE(h.host().automated.empty());
}

TEST_F(Entry, VelocitySplitWriterGuardsLayerAndPoint) {
    const std::vector<float> before = programValues();
    p.setNumVel(3, 0, 0.5f);
    p.setNumVel(-1, 0, 0.5f);
    p.setNumVel(0, 4, 0.5f);
    p.setNumVel(0, -1, 0.5f);
    p.setNumVel(0, 1, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(programValues(), before);
    p.setParameter(LAYER_VEL_TAGS[9], 0.3f);
    p.setParameter(LAYER_VEL_TAGS[10], 0.6f);
    p.setNumVel(2, 1, 0.8f);  // the upper neighbour wins where they would cross
    EXPECT_EQ(p.getParameter(LAYER_VEL_TAGS[9]), 0.6f);
}

// --- modulation amounts ---------------------------------------------------------------------

TEST_F(Entry, ModAmountFollowsTheDestinationKind) {
    const int slot = 3;
    const int tag = MOD_AMT_TAGS[slot];

    p.setSteppedValue(MOD_DEST_TAGS[slot], destOfKind(2));  // a factor
    type({
        {tag, "16", 1.0f, Cmp::Exact, "0.06 to 16.0"},
        {tag, "1", 0.5f, Cmp::Float},
        {tag, "0.01", 0.0f, Cmp::Exact},
    });

    p.setSteppedValue(MOD_DEST_TAGS[slot], destOfKind(4));  // octaves added
    type({
        {tag, "8", 1.0f, Cmp::Exact, "-7 to 8 octave"},
        {tag, "0", 0.5f, Cmp::Exact},
        {tag, "-7", 0.03125f, Cmp::Float},
        {tag, "-8", 0.0f, Cmp::Exact},
    });

    p.setSteppedValue(MOD_DEST_TAGS[slot], destOfKind(3));  // semitones
    EXPECT_EQ(enter(tag, "12")->text, "-36 to 36 semi");
    EXPECT_FLOAT_EQ(p.getParameter(tag), 12.0f / 72.0f + 0.5f);
    enter(tag, "-7.5");
    EXPECT_EQ(p.getParameterDisplayStr(tag), "-7.5 semi");

    p.setSteppedValue(MOD_DEST_TAGS[slot], destOfKind(1));  // plain
    EXPECT_EQ(enter(tag, "50")->text, "-100 to 100%");
    EXPECT_FLOAT_EQ(p.getParameter(tag), 0.75f);
    EXPECT_TRUE(h.host().automated.empty() || !toldHost(tag));
}

// --- refusals and robustness ----------------------------------------------------------------

TEST_F(Entry, LockedAndInvalidTagsShowNoBox) {
    p.setLockState(1);
    for (int tag : {4, 244, 407, 460, 539}) EXPECT_FALSE(cancel(tag)) << tag;
    EXPECT_TRUE(cancel(347));
    p.setLockState(0);
    EXPECT_TRUE(cancel(244));
    for (int tag : {-1, 1024, std::numeric_limits<int>::min()}) EXPECT_FALSE(cancel(tag));
}

TEST_F(Entry, NumbersAreReadInTheCLocaleWhateverTheProcessLocale) {
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old ? old : "C";
    bool switched = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"})
        if (std::setlocale(LC_NUMERIC, name)) {
            switched = true;
            break;
        }
    type({
        {2, "12.5", 0.125f, Cmp::Float},
        {2, "37,5", 0.375f, Cmp::Float},
    });
    auto box = cancel(2);
    EXPECT_EQ(box->initial, "37.5");
    std::setlocale(LC_NUMERIC, saved.c_str());
    if (!switched) std::printf("no decimal-comma locale installed; checked in the C locale\n");
}

TEST_F(Entry, OddAnswersNeverOverflowOrWriteGarbage) {
    const int tag = 2;
    enter(tag, std::string(400, '9'));
    EXPECT_EQ(p.getParameter(tag), 1.0f);
    enter(tag, "1" + std::string(350, '0'));
    EXPECT_EQ(p.getParameter(tag), 1.0f);
    enter(tag, "0." + std::string(300, '0') + "1");
    EXPECT_EQ(p.getParameter(tag), 0.0f);
    p.setParameter(tag, 0.5f);
    for (const char* junk : {"abc", "-", "+", ".", "--5", "+-3", "e"}) {
        enter(tag, junk);
        EXPECT_EQ(p.getParameter(tag), 0.5f) << junk;
    }
    type({
        {tag, ".25", 0.0025f, Cmp::Float},
        {tag, "1.5.7", 0.015f, Cmp::Float},
        {tag, "+40-2", 0.4f, Cmp::Float},
    });
    for (int t = 0; t < kNumParams; ++t) ASSERT_FALSE(std::isnan(p.getParameter(t)));
}
