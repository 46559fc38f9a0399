// The parameter records, the tag tables and the start-up program, checked through a real
// plug-in object and against each other.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "plugin/uPlugin.h"
#include "plugin/uPluginDemo.h"
#include "plugin/uPluginTags.h"

namespace {

VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == 1 ? 2400 : 0;  // audioMasterVersion
}

const int32_t* const kLayerTags[3] = {LAYER_1_TAGS, LAYER_2_TAGS, LAYER_3_TAGS};

// Tags that no record names.
bool isUnsetTag(int tag) {
    return tag == 127 || tag == 393 || tag == 540 || (tag >= 668 && tag <= 847) ||
           (tag >= 958 && tag <= 1004) || tag >= 1020;
}
bool isProgramTextTag(int tag) { return tag >= 128 && tag <= 243; }
bool isArpTextTag(int tag) { return tag >= 848 && tag <= 957; }

std::string numbered(const char* prefix, int n, const char* rest) {
    return prefix + std::to_string(n) + rest;
}

struct TagTable {
    const char* name;
    const int32_t* values;
    int count;
};
#define TABLE(t) TagTable{#t, &(t)[0], (int)(sizeof(t) / sizeof((t)[0]))}
#define TABLE2(t) \
    TagTable { #t, &(t)[0][0], (int)(sizeof(t) / sizeof((t)[0][0])) }

// The per-member tag tables of a layer, in member order.
const TagTable kMemberTables[67] = {
    TABLE(SEMI_TAGS), TABLE(FINE_TAGS), TABLE(WIRE_Q_TAGS), TABLE(WIRE_ENV_AMT_TAGS),
    TABLE(WIRE_ENV_DEC_TAGS), TABLE(STRING_IMP_LEN_TAGS), TABLE(STRING_IMP_VOL_TAGS),
    TABLE(STRING_IMP_SHP_TAGS), TABLE(STRING_LEN_TAGS), TABLE(STRING_PLUCK_TAGS),
    TABLE(STRING_DAMP_TAGS), TABLE(FM_1_SEMI_TAGS), TABLE(FM_1_FINE_TAGS), TABLE(FM_1_VOL_TAGS),
    TABLE(FM_2_SEMI_TAGS), TABLE(FM_2_FINE_TAGS), TABLE(FM_2_VOL_TAGS), TABLE(WAVE_TAGS),
    TABLE(WAVE_SYM_TAGS), TABLE(SUB_VOL_TAGS), TABLE(FILTER_FREQ_TAGS), TABLE(FILTER_SEP_TAGS),
    TABLE(FILTER_Q_TAGS), TABLE(FILTER_VOWEL_TAGS), TABLE(FILTER_ENV_AMT_TAGS),
    TABLE(FILTER_ENV_DEC_TAGS), TABLE(PITCH_ENV_AMT_TAGS), TABLE(PITCH_ENV_DEC_TAGS),
    TABLE(HP_FREQ_TAGS), TABLE(VOL_ENV_DEC_TAGS), TABLE(VOL_TAGS), TABLE(LAYER_ON_TAGS),
    TABLE(LAYER_SOURCE_TAGS), TABLE(LAYER_DEST_TAGS), TABLE(WIRE_ON_TAGS),
    TABLE(WIRE_KEY_TRACK_TAGS), TABLE(WIRE_VEL_TRACK_TAGS), TABLE(STRING_LEN_KEY_TRACK_TAGS),
    TABLE(STRING_LEN_VEL_TRACK_TAGS), TABLE(STRING_PLUCK_KEY_TRACK_TAGS),
    TABLE(STRING_PLUCK_VEL_TRACK_TAGS), TABLE(STRING_DAMP_KEY_TRACK_TAGS),
    TABLE(STRING_DAMP_VEL_TRACK_TAGS), TABLE(FM_MODE_TAGS), TABLE(FM_1_PITCH_ENV_AMT_TAGS),
    TABLE(FM_1_PITCH_ENV_DEC_TAGS), TABLE(FM_1_VOL_ENV_DEC_TAGS), TABLE(FM_1_VOL_ENV_SUST_TAGS),
    TABLE(FM_1_VEL_TRACK_TAGS), TABLE(FM_2_PITCH_ENV_AMT_TAGS), TABLE(FM_2_PITCH_ENV_DEC_TAGS),
    TABLE(FM_2_VOL_ENV_DEC_TAGS), TABLE(FM_2_VOL_ENV_SUST_TAGS), TABLE(FM_2_VEL_TRACK_TAGS),
    TABLE(WAVE_FEED_TAGS), TABLE(FILTER_MODE_TAGS), TABLE(FILTER_ENV_SUST_TAGS),
    TABLE(FILTER_KEY_TRACK_TAGS), TABLE(FILTER_VEL_TRACK_TAGS), TABLE(PITCH_ENV_CRV_TAGS),
    TABLE(VOL_ENV_CRV_TAGS), TABLE(VOL_ENV_KEY_TRACK_TAGS), TABLE(VOL_ENV_VEL_TRACK_TAGS),
    TABLE(WIRE_SEP_TAGS), TABLE(FREE_ON_TAGS), TABLE(DRIFT_ON_TAGS), TABLE(PAN_TAGS),
};

// Layer members that feed a modulation destination, with their destination tables.
struct MemberDest {
    const int32_t* tags;
    TagTable dests;
};
const MemberDest kMemberDests[] = {
    {SEMI_TAGS, TABLE(DEST_L_SEMI)},
    {FINE_TAGS, TABLE(DEST_L_FINE)},
    {WIRE_Q_TAGS, TABLE(DEST_L_WIRE_Q)},
    {WIRE_ENV_AMT_TAGS, TABLE(DEST_L_WIRE_ENV_AMT)},
    {WIRE_ENV_DEC_TAGS, TABLE(DEST_L_WIRE_ENV_DEC)},
    {STRING_IMP_LEN_TAGS, TABLE(DEST_L_STR_IMP_LEN)},
    {STRING_IMP_VOL_TAGS, TABLE(DEST_L_STR_IMP_VOL)},
    {STRING_IMP_SHP_TAGS, TABLE(DEST_L_STR_IMP_SHP)},
    {STRING_LEN_TAGS, TABLE(DEST_L_STR_LEN)},
    {STRING_PLUCK_TAGS, TABLE(DEST_L_STR_PLUCK)},
    {STRING_DAMP_TAGS, TABLE(DEST_L_STR_DAMP)},
    {FM_1_SEMI_TAGS, TABLE(DEST_L_FM_1_SEMI)},
    {FM_1_FINE_TAGS, TABLE(DEST_L_FM_1_FINE)},
    {FM_1_VOL_TAGS, TABLE(DEST_L_FM_1_VOL)},
    {FM_2_SEMI_TAGS, TABLE(DEST_L_FM_2_SEMI)},
    {FM_2_FINE_TAGS, TABLE(DEST_L_FM_2_FINE)},
    {FM_2_VOL_TAGS, TABLE(DEST_L_FM_2_VOL)},
    {WAVE_TAGS, TABLE(DEST_L_WAVE_MIX)},
    {WAVE_SYM_TAGS, TABLE(DEST_L_WAVE_SYM)},
    {SUB_VOL_TAGS, TABLE(DEST_L_SUB_VOL)},
    {FILTER_FREQ_TAGS, TABLE(DEST_L_FILTER_FREQ)},
    {FILTER_SEP_TAGS, TABLE(DEST_L_FILTER_SEP)},
    {FILTER_Q_TAGS, TABLE(DEST_L_FILTER_Q)},
    {FILTER_VOWEL_TAGS, TABLE(DEST_L_FILTER_VOWEL)},
    {FILTER_ENV_AMT_TAGS, TABLE(DEST_L_FILTER_ENV_AMT)},
    {FILTER_ENV_DEC_TAGS, TABLE(DEST_L_FILTER_ENV_DEC)},
    {PITCH_ENV_AMT_TAGS, TABLE(DEST_L_PITCH_ENV_AMT)},
    {PITCH_ENV_DEC_TAGS, TABLE(DEST_L_PITCH_ENV_DEC)},
    {HP_FREQ_TAGS, TABLE(DEST_L_HP_FREQ)},
    {VOL_ENV_DEC_TAGS, TABLE(DEST_L_VOL_ENV_DEC)},
    {VOL_TAGS, TABLE(DEST_L_VOL)},
    {FM_1_PITCH_ENV_AMT_TAGS, TABLE(DEST_L_FM_1_PITCH_ENV_AMT)},
    {FM_1_PITCH_ENV_DEC_TAGS, TABLE(DEST_L_FM_1_PITCH_ENV_DEC)},
    {FM_1_VOL_ENV_DEC_TAGS, TABLE(DEST_L_FM_1_VOL_ENV_DEC)},
    {FM_1_VOL_ENV_SUST_TAGS, TABLE(DEST_L_FM_1_VOL_ENV_SUST)},
    {FM_2_PITCH_ENV_AMT_TAGS, TABLE(DEST_L_FM_2_PITCH_ENV_AMT)},
    {FM_2_PITCH_ENV_DEC_TAGS, TABLE(DEST_L_FM_2_PITCH_ENV_DEC)},
    {FM_2_VOL_ENV_DEC_TAGS, TABLE(DEST_L_FM_2_VOL_ENV_DEC)},
    {FM_2_VOL_ENV_SUST_TAGS, TABLE(DEST_L_FM_2_VOL_ENV_SUST)},
    {WAVE_FEED_TAGS, TABLE(DEST_L_WAVE_FEED)},
    {FILTER_ENV_SUST_TAGS, TABLE(DEST_L_FILTER_ENV_SUST)},
    {PITCH_ENV_CRV_TAGS, TABLE(DEST_L_PITCH_ENV_CRV)},
    {VOL_ENV_CRV_TAGS, TABLE(DEST_L_VOL_ENV_CRV)},
    {WIRE_SEP_TAGS, TABLE(DEST_L_WIRE_SEP)},
    {PAN_TAGS, TABLE(DEST_L_PAN)},
};

// Layer destinations that no record feeds, with their layer-1 values.
struct LoneDest {
    TagTable table;
    int32_t layer1;
};
const LoneDest kLoneDests[] = {
    {TABLE(DEST_L_OCT), 37},       {TABLE(DEST_L_WAVE_PHASE), 43}, {TABLE(DEST_L_HP_Q), 49},
    {TABLE(DEST_L_WIRE_FREQ), 52}, {TABLE(DEST_L_SUB_SEMI), 100},  {TABLE(DEST_L_SUB_FINE), 101},
    {TABLE(DEST_L_SUB_PAN), 103},  {TABLE(DEST_L_SUB_MIX), 104},   {TABLE(DEST_L_SUB_SYM), 105},
    {TABLE(DEST_L_SUB_PHASE), 106},
};

// Every table of tags (destination tables excluded); -1 entries mean "no tag".
std::vector<TagTable> allTagTables() {
    std::vector<TagTable> t(std::begin(kMemberTables), std::end(kMemberTables));
    const TagTable more[] = {
        TABLE(LAYER_1_TAGS),        TABLE(LAYER_2_TAGS),
        TABLE(LAYER_3_TAGS),        TABLE(MOD_BY_TAGS),
        TABLE(MOD_SRC_TAGS),        TABLE(MOD_DEST_TAGS),
        TABLE(MOD_AMT_TAGS),        TABLE2(MOD_COLS_TAGS),
        TABLE(ARP_ROW_START_TAGS),  TABLE2(ARP_ROW_TAGS),
        TABLE(LAYER_VEL_SPLIT_FADE_IN_TAGS), TABLE(LAYER_VEL_SPLIT_START_TAGS),
        TABLE(LAYER_VEL_SPLIT_END_TAGS),     TABLE(LAYER_VEL_SPLIT_FADE_OUT_TAGS),
        TABLE(LAYER_VEL_TAGS),      TABLE(CHORD_NOTES_TAGS),
        TABLE(CHORD_STRUM_TAGS),    TABLE(CHORD_STRUM_SYNC_ON_TAGS),
        TABLE(CHORD_SEMI_TAGS),     TABLE(CHORD_FINE_TAGS),
        TABLE(CHORD_VEL_TAGS),      TABLE(CHORD_PAN_TAGS),
        TABLE(LFO_SPEED_TAGS),      TABLE(LFO_WAVE_TAGS),
        TABLE(LFO_MODE_TAGS),       TABLE(LFO_SYNC_ON_TAGS),
        TABLE2(ENV_TAGS),           TABLE(ENV_CURVE_TAGS),
    };
    t.insert(t.end(), std::begin(more), std::end(more));
    return t;
}

class Records : public ::testing::Test {
protected:
    static void SetUpTestSuite() { plugin = new APlugin(hostCallback); }
    static void TearDownTestSuite() {
        delete plugin;
        plugin = nullptr;
    }

    static const std::string& name(int tag) { return plugin->paramName[tag]; }
    static bool isExplicit(int tag) {
        return name(tag).compare(0, 17, "Unused Parameter ") != 0;
    }
    static bool isStepped(int tag) { return plugin->paramStepCount[tag] > 0; }
    // The stepped decoding: index = clamp(int(value x range + 0.1), 0, steps - 1).
    static int decode(int tag, float value) {
        const int i = (int)(value * plugin->paramStepRange[tag] + 0.1f);
        return std::max(0, std::min(i, plugin->paramStepCount[tag] - 1));
    }

    static APlugin* plugin;
};
APlugin* Records::plugin = nullptr;

// --- the unset record, tag 0 and the text slots -----------------------------------------

TEST_F(Records, TagZeroIsNoneAndInternal) {
    EXPECT_EQ(name(0), "NONE");
    EXPECT_EQ(plugin->paramType[0], kTypeInternal);
    EXPECT_EQ(plugin->paramStepCount[0], -1);
    EXPECT_FLOAT_EQ(plugin->paramStepRange[0], -1.0f);
    EXPECT_EQ(plugin->paramDefault[0], 0.0f);
    EXPECT_EQ(plugin->paramZeroValue[0], 0.0f);
    EXPECT_EQ(plugin->paramIsSwitch[0], 0);
    EXPECT_EQ(plugin->paramModDest[0], 0);
}

TEST_F(Records, UnsetTagsHaveTheUnsetRecord) {
    EXPECT_EQ(name(1023), "Unused Parameter 1024 N/A");
    EXPECT_EQ(name(127), "Unused Parameter 128 N/A");
    EXPECT_EQ(name(1022), "Unused Parameter 1023 N/A");
    int unset = 0;
    for (int tag = 0; tag < kNumParams; ++tag) {
        SCOPED_TRACE(tag);
        EXPECT_EQ(isUnsetTag(tag), !isExplicit(tag));
        if (!isUnsetTag(tag)) continue;
        ++unset;
        EXPECT_EQ(name(tag), numbered("Unused Parameter ", tag + 1, " N/A"));
        EXPECT_EQ(plugin->paramStepRange[tag], 1.0f);
        EXPECT_EQ(plugin->paramStepCount[tag], -1);
        EXPECT_EQ(plugin->paramType[tag], kTypeInternal);
        EXPECT_EQ(plugin->paramDefault[tag], 0.0f);
        EXPECT_EQ(plugin->paramZeroValue[tag], 0.0f);
        EXPECT_EQ(plugin->paramIsSwitch[tag], 0);
        EXPECT_EQ(plugin->paramModDest[tag], 0);
    }
    EXPECT_EQ(unset, 1 + 1 + 1 + 180 + 47 + 4);
}

TEST_F(Records, TextSlotsAreInternalContinuousRecords) {
    for (int tag = 0; tag < kNumParams; ++tag) {
        if (!isProgramTextTag(tag) && !isArpTextTag(tag)) continue;
        SCOPED_TRACE(tag);
        EXPECT_EQ(name(tag), isProgramTextTag(tag)
                                 ? numbered("Preset Parameter ", tag + 1, " N/A")
                                 : numbered("Arp Preset Parameter ", tag + 1, " N/A"));
        EXPECT_EQ(plugin->paramType[tag], kTypeInternal);
        EXPECT_EQ(plugin->paramStepCount[tag], -1);
        EXPECT_EQ(plugin->paramStepRange[tag], -1.0f);
        EXPECT_EQ(plugin->paramDefault[tag], 0.0f);
        EXPECT_EQ(plugin->paramZeroValue[tag], 0.0f);
        EXPECT_EQ(plugin->paramIsSwitch[tag], 0);
        EXPECT_EQ(plugin->paramModDest[tag], 0);
    }
    EXPECT_EQ(name(243), "Preset Parameter 244 N/A");
    EXPECT_EQ(name(848), "Arp Preset Parameter 849 N/A");
}

TEST_F(Records, OnlyTagZeroUnsetAndTextSlotsAreInternal) {
    for (int tag = 0; tag < kNumParams; ++tag) {
        const bool internal = tag == 0 || isUnsetTag(tag) || isProgramTextTag(tag) ||
                              isArpTextTag(tag);
        EXPECT_EQ(plugin->paramType[tag] == kTypeInternal, internal) << tag;
        EXPECT_GE(plugin->paramType[tag], 0) << tag;
        EXPECT_LE(plugin->paramType[tag], 22) << tag;
    }
}

// --- stepping, defaults and zero values ---------------------------------------------------

TEST_F(Records, ExplicitContinuousRecordsHaveRangeMinusOne) {
    for (int tag = 0; tag < kNumParams; ++tag) {
        if (!isExplicit(tag) || isStepped(tag)) continue;
        SCOPED_TRACE(tag);
        EXPECT_EQ(plugin->paramStepCount[tag], -1);
        EXPECT_EQ(plugin->paramStepRange[tag], -1.0f);
    }
    EXPECT_EQ(plugin->paramStepRange[1], -1.0f);
    EXPECT_EQ(plugin->paramStepRange[1021], 1.0f);
}

TEST_F(Records, EveryStepReachableAndDefaultsDecodeInRange) {
    int stepped = 0;
    for (int tag = 0; tag < kNumParams; ++tag) {
        if (!isStepped(tag)) continue;
        SCOPED_TRACE(tag);
        ++stepped;
        EXPECT_GE(plugin->paramStepCount[tag], 2);
        EXPECT_GT(plugin->paramStepRange[tag], 0.0f);
        EXPECT_EQ(decode(tag, 0.0f), 0);
        EXPECT_EQ(decode(tag, 1.0f), plugin->paramStepCount[tag] - 1);
        // The stored default and zero value are encoded indices inside 0..1.
        EXPECT_GE(plugin->paramDefault[tag], 0.0f);
        EXPECT_LE(plugin->paramDefault[tag], 1.0f);
        EXPECT_GE(plugin->paramZeroValue[tag], 0.0f);
        EXPECT_LE(plugin->paramZeroValue[tag], 1.0f);
    }
    // Singles, 6 per layer, source and destination of each mod slot, 5 arp rows, 2 per chord.
    EXPECT_EQ(stepped, 35 + 3 * 6 + 2 * 8 + 5 * 16 + 2 * 4);
}

TEST_F(Records, SteppedDefaultsDecodeToTheirIndices) {
    EXPECT_EQ(decode(395, plugin->paramDefault[395]), 15);  // Arp Number of Steps
    EXPECT_EQ(decode(397, plugin->paramDefault[397]), 8);   // Arp Speed
    EXPECT_EQ(decode(666, plugin->paramDefault[666]), 15);  // Ribbon Spring Time
    for (int k = 0; k < 16; ++k) EXPECT_EQ(decode(492 + k, plugin->paramDefault[492 + k]), 1);
    for (int tag : {350, 352, 353, 357, 360}) {
        EXPECT_EQ(decode(tag, plugin->paramDefault[tag]), 1) << tag;
        EXPECT_EQ(decode(tag, plugin->paramZeroValue[tag]), 0) << tag;
    }
    // Ranges that are not steps - 0.01.
    EXPECT_EQ(plugin->paramStepRange[26], 5.0f);  // Layer 1 Wave, 6 steps
    EXPECT_EQ(decode(26, 1.0f), 5);
    EXPECT_EQ(decode(26, 0.5f), 2);
    EXPECT_EQ(plugin->paramStepRange[395], 15.0f);
    EXPECT_EQ(plugin->paramStepRange[396], 15.0f);
    EXPECT_EQ(plugin->paramStepCount[407], 16);
    // Arp Mode: the upper quarter of the range all reads as the last mode.
    EXPECT_EQ(decode(407, 0.746f), 15);
    EXPECT_EQ(decode(407, 0.745f), 14);
    EXPECT_EQ(plugin->paramStepRange[408], 3.0f);
    EXPECT_EQ(plugin->paramStepRange[409], 3.0f);
    EXPECT_EQ(plugin->paramStepCount[411], 9);
    EXPECT_EQ(decode(411, 1.0f), 8);
    EXPECT_EQ(plugin->paramStepCount[347], 26);
    EXPECT_FLOAT_EQ(plugin->paramStepRange[347], 26.99f);
    EXPECT_EQ(plugin->paramStepCount[555], 23);
    EXPECT_FLOAT_EQ(plugin->paramStepRange[555], 23.99f);
    for (int s = 0; s < 8; ++s) {
        EXPECT_EQ(plugin->paramStepCount[MOD_SRC_TAGS[s]], 137);
        EXPECT_FLOAT_EQ(plugin->paramStepRange[MOD_SRC_TAGS[s]], 199.99f);
        EXPECT_EQ(plugin->paramStepCount[MOD_DEST_TAGS[s]], 401);
        EXPECT_FLOAT_EQ(plugin->paramStepRange[MOD_DEST_TAGS[s]], 499.99f);
    }
}

TEST_F(Records, ZeroValues) {
    // An explicit 0.0 is kept; "same" takes the default.
    EXPECT_FLOAT_EQ(plugin->paramDefault[2], 0.5f);
    EXPECT_EQ(plugin->paramZeroValue[2], 0.0f);
    EXPECT_FLOAT_EQ(plugin->paramDefault[1], 0.6f);
    EXPECT_FLOAT_EQ(plugin->paramZeroValue[1], 0.75f);
    for (int tag : {104, 107, 113, 120}) EXPECT_FLOAT_EQ(plugin->paramZeroValue[tag], 0.5f) << tag;
    for (int tag : {350, 352, 353, 357, 360}) {
        EXPECT_EQ(plugin->paramDefault[tag], 1.0f) << tag;
        EXPECT_EQ(plugin->paramZeroValue[tag], 0.0f) << tag;
        EXPECT_EQ(plugin->paramIsSwitch[tag], 1) << tag;
    }
    EXPECT_EQ(plugin->paramZeroValue[3], plugin->paramDefault[3]);
    EXPECT_FLOAT_EQ(plugin->paramZeroValue[666], 0.839355f);
    EXPECT_FLOAT_EQ(plugin->paramZeroValue[1019], 0.795f);
    for (int L = 0; L < 3; ++L)
        for (int m = 0; m < 67; ++m) {
            const int tag = kLayerTags[L][m];
            EXPECT_EQ(plugin->paramZeroValue[tag], plugin->paramDefault[tag]) << tag;
        }
    // No record keeps a negative "same" marker.
    for (int tag = 0; tag < kNumParams; ++tag) EXPECT_GE(plugin->paramZeroValue[tag], 0.0f) << tag;
}

TEST_F(Records, SwitchesAndTheirDisplayTypes) {
    const std::set<int> switchesShownByTag = {394, 404, 405, 406};
    int switches = 0;
    for (int tag = 0; tag < kNumParams; ++tag) {
        if (!plugin->paramIsSwitch[tag]) continue;
        ++switches;
        EXPECT_EQ(plugin->paramType[tag], switchesShownByTag.count(tag) ? kTypeByTag : kTypeOnOff)
            << tag;
        // A switch's default is off or on, never between.
        EXPECT_TRUE(plugin->paramDefault[tag] == 0.0f || plugin->paramDefault[tag] == 1.0f) << tag;
    }
    // Singles, 4 per layer, the mod bypasses, 3 arp rows, the chords' strum sync.
    EXPECT_EQ(switches, 18 + 3 * 4 + 8 + 3 * 16 + 4);
    EXPECT_EQ(plugin->paramIsSwitch[394], 1);
    EXPECT_EQ(plugin->paramType[394], kTypeByTag);
    EXPECT_EQ(plugin->paramIsSwitch[541], 1);
    EXPECT_EQ(plugin->paramIsSwitch[1018], 1);
    EXPECT_EQ(plugin->paramIsSwitch[1019], 0);
}

// --- names --------------------------------------------------------------------------------

TEST_F(Records, FamilyMemberNames) {
    EXPECT_EQ(name(FILTER_Q_TAGS[1]), "Layer 2 Filter Q");
    EXPECT_EQ(name(62), "Layer 2 Filter Q");
    EXPECT_EQ(name(392), "Modulation Slot 8 Amount");
    EXPECT_EQ(name(361), "Modulation Slot 1 Bypass On/Off");
    EXPECT_EQ(name(539), "Arp Step 16 Ratchet");
    EXPECT_EQ(name(412), "Arp Step 1 On / Off");
    EXPECT_EQ(name(638), "Chord 4 Strum Length");
    EXPECT_EQ(name(582), "Chord 1, Note 6 Pan");
    EXPECT_EQ(name(559), "Chord 1, Note 1 Semi");
    EXPECT_EQ(name(663), "Chord 4, Note 6 Pan");
    EXPECT_EQ(name(552), "Layer 3 Velocity Split End");
    EXPECT_EQ(name(1007), "Layer 3 Pan");
    EXPECT_EQ(name(248), "Layer 1 On/Off");
    EXPECT_EQ(name(88), "Layer 3 Wave");
    EXPECT_EQ(name(3), "Pan");
    EXPECT_EQ(name(7), "Amp Envelope Sustain");
    EXPECT_EQ(name(1019), "Brick Filter Frequency");
}

TEST_F(Records, NameLengthsAndUniqueness) {
    std::size_t longest = 0, shortest = 1000;
    int shortestTag = -1;
    std::map<std::string, int> seen;
    for (int tag = 0; tag < kNumParams; ++tag) {
        const std::string& n = name(tag);
        EXPECT_FALSE(n.empty()) << tag;
        auto it = seen.emplace(n, tag);
        EXPECT_TRUE(it.second) << "tags " << it.first->second << " and " << tag << ": " << n;
        longest = std::max(longest, n.size());
        if (n.size() < shortest) {
            shortest = n.size();
            shortestTag = tag;
        }
    }
    EXPECT_EQ(longest, 42u);
    EXPECT_EQ(name(332), "Layer 3 FM 2 Volume Envelope Decay/Release");
    EXPECT_EQ(name(332).size(), 42u);
    EXPECT_EQ(shortestTag, 3);
    // The ratchet mode has a name of its own.
    EXPECT_EQ(name(407), "Arp Mode");
    EXPECT_NE(name(411), name(407));
    EXPECT_EQ(name(411), "Arp Ratchet Mode");
}

// --- families and their tag tables --------------------------------------------------------

TEST_F(Records, LayerTablesFollowTheTagSpace) {
    const int block3[4] = {1011, 1014, 1008, 1005};  // wire sep, free noise, drift, pan
    for (int L = 0; L < 3; ++L)
        for (int m = 0; m < 67; ++m) {
            int expected;
            if (m < 31)
                expected = 9 + 31 * L + m;
            else if (m < 63)
                expected = 248 + 32 * L + (m - 31);
            else
                expected = block3[m - 63] + L;
            EXPECT_EQ(kLayerTags[L][m], expected) << L << "/" << m;
            EXPECT_EQ(kMemberTables[m].count, 3) << kMemberTables[m].name;
            EXPECT_EQ(kMemberTables[m].values[L], kLayerTags[L][m]) << kMemberTables[m].name;
        }
}

TEST_F(Records, LayerMembersAgreeAcrossLayers) {
    for (int m = 0; m < 67; ++m) {
        const int t0 = LAYER_1_TAGS[m];
        ASSERT_EQ(name(t0).compare(0, 8, "Layer 1 "), 0) << t0;
        const std::string suffix = name(t0).substr(8);
        for (int L = 1; L < 3; ++L) {
            const int t = kLayerTags[L][m];
            SCOPED_TRACE(kMemberTables[m].name);
            EXPECT_EQ(name(t), numbered("Layer ", L + 1, " ") + suffix);
            EXPECT_EQ(plugin->paramType[t], plugin->paramType[t0]);
            EXPECT_EQ(plugin->paramStepCount[t], plugin->paramStepCount[t0]);
            EXPECT_EQ(plugin->paramStepRange[t], plugin->paramStepRange[t0]);
            EXPECT_EQ(plugin->paramIsSwitch[t], plugin->paramIsSwitch[t0]);
            if (kMemberTables[m].values != LAYER_ON_TAGS) {
                EXPECT_EQ(plugin->paramDefault[t], plugin->paramDefault[t0]);
            }
            if (plugin->paramModDest[t0] == 0)
                EXPECT_EQ(plugin->paramModDest[t], 0);
            else
                EXPECT_EQ(plugin->paramModDest[t], plugin->paramModDest[t0] + 92 * L);
        }
    }
    // Layer 1 sounds by default; the start-up program turns layer 3 on as well.
    EXPECT_EQ(plugin->paramDefault[LAYER_ON_TAGS[0]], 1.0f);
    EXPECT_EQ(plugin->paramDefault[LAYER_ON_TAGS[1]], 0.0f);
    EXPECT_EQ(plugin->paramDefault[LAYER_ON_TAGS[2]], 0.0f);
    EXPECT_EQ(DEMOVAR[0][LAYER_ON_TAGS[0]], 1.0f);
    EXPECT_EQ(DEMOVAR[0][LAYER_ON_TAGS[1]], 0.0f);
    EXPECT_EQ(DEMOVAR[0][LAYER_ON_TAGS[2]], 1.0f);
}

TEST_F(Records, LayerDestinationTables) {
    std::set<int> fedDests;
    for (const MemberDest& md : kMemberDests) {
        SCOPED_TRACE(md.dests.name);
        ASSERT_EQ(md.dests.count, 3);
        for (int L = 0; L < 3; ++L) {
            EXPECT_EQ(md.dests.values[L], md.dests.values[0] + kTagLayerDestStride * L);
            EXPECT_EQ(plugin->paramModDest[md.tags[L]], md.dests.values[L]);
            EXPECT_TRUE(fedDests.insert(md.dests.values[L]).second);
        }
    }
    // Layer members not in the list feed nothing.
    int fed = 0;
    for (int L = 0; L < 3; ++L)
        for (int m = 0; m < 67; ++m) fed += plugin->paramModDest[kLayerTags[L][m]] != 0;
    EXPECT_EQ(fed, 3 * (int)(sizeof(kMemberDests) / sizeof(kMemberDests[0])));
    EXPECT_EQ(DEST_L_SEMI[0], 38);
    EXPECT_EQ(DEST_L_VOL_ENV_CRV[2], 311);
    EXPECT_EQ(DEST_L_SUB_VOL[1], 194);

    // The ten destinations that no record feeds.
    for (const LoneDest& d : kLoneDests) {
        SCOPED_TRACE(d.table.name);
        ASSERT_EQ(d.table.count, 3);
        for (int L = 0; L < 3; ++L) {
            EXPECT_EQ(d.table.values[L], d.layer1 + 92 * L);
            for (int tag = 0; tag < kNumParams; ++tag)
                EXPECT_NE(plugin->paramModDest[tag], d.table.values[L]) << tag;
        }
    }
}

TEST_F(Records, EveryRecordFeedsAtMostOneDistinctDestination) {
    std::map<int, int> byDest;
    for (int tag = 0; tag < kNumParams; ++tag) {
        const int d = plugin->paramModDest[tag];
        EXPECT_GE(d, 0);
        EXPECT_LE(d, 400);
        if (d == 0) continue;
        auto it = byDest.emplace(d, tag);
        EXPECT_TRUE(it.second) << "destination " << d << " fed by " << it.first->second << " and "
                               << tag;
    }
}

TEST_F(Records, ModulationMatrix) {
    const int32_t* cols[4] = {MOD_BY_TAGS, MOD_SRC_TAGS, MOD_DEST_TAGS, MOD_AMT_TAGS};
    const char* suffix[4] = {"Bypass On/Off", "Source", "Destination", "Amount"};
    for (int s = 0; s < 8; ++s)
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(cols[c][s], 361 + 8 * c + s);
            EXPECT_EQ(MOD_COLS_TAGS[s][c], cols[c][s]);
            EXPECT_EQ(name(cols[c][s]), numbered("Modulation Slot ", s + 1, " ") + suffix[c]);
        }
    for (int s = 0; s < 8; ++s) {
        EXPECT_EQ(plugin->paramIsSwitch[MOD_BY_TAGS[s]], 1);
        EXPECT_EQ(plugin->paramType[MOD_SRC_TAGS[s]], kTypeModSource);
        EXPECT_EQ(plugin->paramType[MOD_DEST_TAGS[s]], kTypeModDest);
        EXPECT_EQ(plugin->paramType[MOD_AMT_TAGS[s]], kTypeModAmount);
        EXPECT_EQ(DEST_MOD_AMT[s], 390 + s);
        EXPECT_EQ(plugin->paramModDest[MOD_AMT_TAGS[s]], DEST_MOD_AMT[s]);
        EXPECT_EQ(plugin->paramModDest[MOD_SRC_TAGS[s]], 0);
        EXPECT_FLOAT_EQ(plugin->paramDefault[MOD_AMT_TAGS[s]], 0.5f);
    }
}

TEST_F(Records, ArpeggiatorGrid) {
    const char* suffix[8] = {"On / Off", "Tied On / Off", "Slide On / Off", "Tune",
                             "Velocity", "Chord",         "Free",           "Ratchet"};
    const int type[8] = {kTypeOnOff, kTypeOnOff, kTypeOnOff,   kTypeSemi36,
                         kTypeMidi127, kTypeArpChord, kTypePolar, kTypeArpRatchet};
    for (int r = 0; r < 8; ++r) {
        EXPECT_EQ(ARP_ROW_START_TAGS[r], 412 + 16 * r);
        const int first = ARP_ROW_TAGS[r][0];
        for (int k = 0; k < 16; ++k) {
            const int tag = ARP_ROW_TAGS[r][k];
            EXPECT_EQ(tag, 412 + 16 * r + k);
            EXPECT_EQ(name(tag), numbered("Arp Step ", k + 1, " ") + suffix[r]);
            EXPECT_EQ(plugin->paramType[tag], type[r]) << tag;
            EXPECT_EQ(plugin->paramStepCount[tag], plugin->paramStepCount[first]);
            EXPECT_EQ(plugin->paramStepRange[tag], plugin->paramStepRange[first]);
            EXPECT_EQ(plugin->paramDefault[tag], plugin->paramDefault[first]);
            EXPECT_EQ(plugin->paramIsSwitch[tag], r < 3 ? 1 : 0);
            EXPECT_EQ(DEMOVAR[0][tag], DEMOVAR[0][first]);
        }
    }
    EXPECT_EQ(plugin->paramStepCount[492], 30);
    EXPECT_EQ(plugin->paramStepCount[524], 4);
}

TEST_F(Records, VelocitySplitPointsAndTheirLayerAndPoint) {
    const int32_t* points[4] = {LAYER_VEL_SPLIT_FADE_IN_TAGS, LAYER_VEL_SPLIT_START_TAGS,
                                LAYER_VEL_SPLIT_END_TAGS, LAYER_VEL_SPLIT_FADE_OUT_TAGS};
    const char* suffix[4] = {"Velocity Split Fade In", "Velocity Split Start",
                             "Velocity Split End", "Velocity Split Fade Out"};
    std::set<int> splitTags;
    for (int L = 0; L < 3; ++L)
        for (int p = 0; p < 4; ++p) {
            const int tag = 542 + 4 * L + p;
            splitTags.insert(tag);
            EXPECT_EQ(points[p][L], tag);
            EXPECT_EQ(LAYER_VEL_TAGS[4 * L + p], tag);
            EXPECT_EQ(name(tag), numbered("Layer ", L + 1, " ") + suffix[p]);
            EXPECT_EQ(plugin->paramType[tag], kTypeVelSplit);
            EXPECT_EQ(plugin->velTagLayer[tag], L);
            EXPECT_EQ(plugin->velTagPoint[tag], p);
            EXPECT_EQ(plugin->paramModDest[tag], 0);
            EXPECT_EQ(plugin->paramIsSwitch[tag], 0);
        }
    for (int tag = 0; tag < kNumParams; ++tag) {
        if (splitTags.count(tag)) continue;
        EXPECT_EQ(plugin->velTagLayer[tag], 0) << tag;
        EXPECT_EQ(plugin->velTagPoint[tag], 0) << tag;
    }
    EXPECT_EQ(plugin->paramType[541], kTypeOnOff);
    EXPECT_EQ(name(541), "Velocity Split On/Off");
}

TEST_F(Records, Chords) {
    const struct {
        const int32_t* table;
        int offset;
    } wide[] = {{CHORD_NOTES_TAGS, 0}, {CHORD_STRUM_TAGS, 1}, {CHORD_STRUM_SYNC_ON_TAGS, 2}};
    const struct {
        const int32_t* table;
        int offset;
        const char* suffix;
        int type;
    } runs[] = {{CHORD_SEMI_TAGS, 3, "Semi", kTypeSemi48},
                {CHORD_FINE_TAGS, 9, "Fine", kTypeCents},
                {CHORD_VEL_TAGS, 15, "Volume", kTypeIntPercent},
                {CHORD_PAN_TAGS, 21, "Pan", kTypePan}};
    for (int c = 0; c < 4; ++c) {
        const int base = 556 + 27 * c;
        for (auto& w : wide) EXPECT_EQ(w.table[c], base + w.offset);
        EXPECT_EQ(name(base), numbered("Chord ", c + 1, " Notes"));
        EXPECT_EQ(name(base + 2), numbered("Chord ", c + 1, " Strum Tempo Sync"));
        EXPECT_EQ(plugin->paramModDest[CHORD_STRUM_TAGS[c]], DEST_CHORD_STRUMS[c]);
        EXPECT_EQ(DEST_CHORD_STRUMS[c], 19 + c);
        EXPECT_EQ(plugin->paramIsSwitch[CHORD_STRUM_SYNC_ON_TAGS[c]], 1);
        EXPECT_EQ(plugin->paramStepCount[CHORD_NOTES_TAGS[c]], 6);
        for (auto& r : runs) {
            EXPECT_EQ(r.table[c], base + r.offset);
            for (int n = 0; n < 6; ++n) {
                const int tag = r.table[c] + n;
                EXPECT_EQ(name(tag), numbered("Chord ", c + 1, ", Note ") + std::to_string(n + 1) +
                                         " " + r.suffix);
                EXPECT_EQ(plugin->paramType[tag], r.type);
                EXPECT_EQ(plugin->paramDefault[tag], plugin->paramDefault[r.table[0]]);
                EXPECT_EQ(plugin->paramModDest[tag], 0);
            }
        }
    }
    EXPECT_EQ(plugin->paramDefault[CHORD_VEL_TAGS[3] + 5], 1.0f);
}

TEST_F(Records, LfoTables) {
    for (int i = 0; i < 2; ++i) {
        const std::string lfo = numbered("LFO ", i + 1, " ");
        EXPECT_EQ(name(LFO_SPEED_TAGS[i]), lfo + "Speed");
        EXPECT_EQ(name(LFO_WAVE_TAGS[i]), lfo + "Wave");
        EXPECT_EQ(name(LFO_MODE_TAGS[i]), lfo + "Mode");
        EXPECT_EQ(name(LFO_SYNC_ON_TAGS[i]), lfo + "Tempo Sync On/Off");
        EXPECT_EQ(plugin->paramModDest[LFO_SPEED_TAGS[i]], DEST_LFO_SPEED[i]);
        EXPECT_EQ(plugin->paramType[LFO_SPEED_TAGS[i]], kTypeLFOSpeed);
    }
    EXPECT_EQ(DEST_LFO_SPEED[0], 366);
    EXPECT_EQ(DEST_LFO_SPEED[1], 378);
}

TEST_F(Records, EnvelopeTables) {
    const char* kinds[8] = {"Filter",     "Pitch",       "Volume",     "Wire",
                            "FM 1 Pitch", "FM 1 Volume", "FM 2 Pitch", "FM 2 Volume"};
    EXPECT_EQ(ENV_TAGS[0][0], 5);
    EXPECT_EQ(ENV_TAGS[1][0], 6);
    EXPECT_EQ(ENV_TAGS[2][0], 7);
    EXPECT_EQ(ENV_TAGS[3][0], 8);
    EXPECT_EQ(ENV_CURVE_TAGS[0], -1);
    for (int e = 1; e < kTagEnvelopeSlots; ++e) EXPECT_EQ(ENV_TAGS[0][e], -1) << e;
    for (int e = kTagEnvelopes; e < kTagEnvelopeSlots; ++e)
        for (int stage = 0; stage < 4; ++stage) {
            EXPECT_EQ(ENV_TAGS[stage][e], -1);
            EXPECT_EQ(ENV_CURVE_TAGS[e], -1);
        }
    for (int L = 0; L < 3; ++L)
        for (int k = 0; k < 8; ++k) {
            const int e = 1 + 8 * L + k;
            const std::string prefix = numbered("Layer ", L + 1, " ") + kinds[k] + " Envelope ";
            SCOPED_TRACE(prefix);
            ASSERT_GE(ENV_TAGS[1][e], 0);
            EXPECT_EQ(ENV_TAGS[3][e], ENV_TAGS[1][e]);
            EXPECT_EQ(name(ENV_TAGS[1][e]), prefix + "Decay/Release");
            if (k == 0 || k == 5 || k == 7)
                EXPECT_EQ(name(ENV_TAGS[2][e]), prefix + "Sustain");
            else
                EXPECT_EQ(ENV_TAGS[2][e], -1);
            if (k == 1 || k == 2)
                EXPECT_EQ(name(ENV_CURVE_TAGS[e]), prefix + "Curve");
            else
                EXPECT_EQ(ENV_CURVE_TAGS[e], -1);
        }
    EXPECT_EQ(ENV_TAGS[1][1], 34);
    EXPECT_EQ(ENV_TAGS[2][1], 273);
    EXPECT_EQ(ENV_CURVE_TAGS[2], 276);
    EXPECT_EQ(ENV_CURVE_TAGS[19], 341);
}

TEST_F(Records, EveryTableTagIsANamedRecord) {
    for (const TagTable& t : allTagTables()) {
        SCOPED_TRACE(t.name);
        EXPECT_GT(t.count, 0);
        for (int i = 0; i < t.count; ++i) {
            const int tag = t.values[i];
            if (tag == -1) continue;  // a spare slot of an envelope table
            ASSERT_TRUE(APlugin::isValidTag(tag)) << i;
            EXPECT_TRUE(isExplicit(tag)) << tag;
            EXPECT_NE(tag, 0);
            EXPECT_FALSE(isProgramTextTag(tag) || isArpTextTag(tag)) << tag;
        }
    }
}

TEST_F(Records, LayerTagsCoverTheLayerBlocksOnce) {
    std::set<int> tags;
    for (int L = 0; L < 3; ++L)
        for (int m = 0; m < 67; ++m) EXPECT_TRUE(tags.insert(kLayerTags[L][m]).second);
    std::set<int> expected;
    for (int t = 9; t <= 101; ++t) expected.insert(t);
    for (int t = 248; t <= 343; ++t) expected.insert(t);
    for (int t = 1005; t <= 1016; ++t) expected.insert(t);
    EXPECT_EQ(tags, expected);
}

// --- the start-up program -----------------------------------------------------------------

TEST_F(Records, StartupProgramIsInRange) {
    for (int tag = 0; tag < kNumParams; ++tag) {
        const float v = DEMOVAR[0][tag];
        SCOPED_TRACE(tag);
        EXPECT_GE(v, 0.0f);
        EXPECT_LE(v, 1.0f);
        if (isUnsetTag(tag) || isProgramTextTag(tag) || isArpTextTag(tag) || tag == 0) {
            EXPECT_EQ(v, 0.0f);
        }
        if (plugin->paramIsSwitch[tag]) {
            EXPECT_TRUE(v == 0.0f || v == 1.0f);
        }
    }
}

TEST_F(Records, StartupProgramSpotValues) {
    const float* p = DEMOVAR[0];
    EXPECT_FLOAT_EQ(p[1], 0.55f);
    EXPECT_FLOAT_EQ(p[6], 0.86f);
    EXPECT_EQ(p[7], 0.0f);  // amp sustain off although its default is 1
    EXPECT_FLOAT_EQ(p[SEMI_TAGS[1]], 0.38f);
    EXPECT_FLOAT_EQ(p[VOL_TAGS[2]], 0.6999f);
    EXPECT_FLOAT_EQ(p[WIRE_SEP_TAGS[0]], 0.6699f);
    EXPECT_EQ(p[WIRE_SEP_TAGS[1]], 0.0f);
    EXPECT_FLOAT_EQ(p[FILTER_FREQ_TAGS[2]], 0.265f);
    EXPECT_EQ(decode(WAVE_TAGS[2], p[WAVE_TAGS[2]]), 2);
    EXPECT_EQ(decode(LAYER_SOURCE_TAGS[2], p[LAYER_SOURCE_TAGS[2]]), 3);
    EXPECT_EQ(decode(FILTER_MODE_TAGS[2], p[FILTER_MODE_TAGS[2]]), 3);
    EXPECT_EQ(p[FILTER_KEY_TRACK_TAGS[0]], 1.0f);
    EXPECT_EQ(decode(244, p[244]), 0);
    EXPECT_EQ(decode(246, p[246]), 2);
    EXPECT_EQ(decode(247, p[247]), 2);
    EXPECT_EQ(decode(349, p[349]), 1);
    EXPECT_EQ(p[348], 1.0f);
    EXPECT_EQ(p[354], 1.0f);
    EXPECT_FLOAT_EQ(p[107], 0.53f);
    EXPECT_FLOAT_EQ(p[120], 0.255f);
    EXPECT_EQ(decode(MOD_SRC_TAGS[0], p[MOD_SRC_TAGS[0]]), 111);
    EXPECT_EQ(decode(MOD_SRC_TAGS[1], p[MOD_SRC_TAGS[1]]), 1);
    // Both used slots modulate layer 3's filter frequency.
    EXPECT_EQ(decode(MOD_DEST_TAGS[0], p[MOD_DEST_TAGS[0]]), DEST_L_FILTER_FREQ[2]);
    EXPECT_EQ(decode(MOD_DEST_TAGS[1], p[MOD_DEST_TAGS[1]]), DEST_L_FILTER_FREQ[2]);
    EXPECT_FLOAT_EQ(p[MOD_AMT_TAGS[0]], 0.685f);
    EXPECT_FLOAT_EQ(p[MOD_AMT_TAGS[7]], 0.5f);
    EXPECT_EQ(decode(500, p[500]), 1);  // arp step chord
    EXPECT_EQ(p[412], 1.0f);
    EXPECT_EQ(p[476], 1.0f);
    EXPECT_FLOAT_EQ(p[LAYER_VEL_SPLIT_START_TAGS[1]], 0.2f);
    EXPECT_FLOAT_EQ(p[LAYER_VEL_SPLIT_END_TAGS[2]], 0.6f);
    EXPECT_EQ(p[CHORD_VEL_TAGS[2] + 3], 1.0f);
    EXPECT_EQ(p[CHORD_PAN_TAGS[3] + 5], 0.5f);
    EXPECT_EQ(decode(666, p[666]), 15);
    EXPECT_FLOAT_EQ(p[1019], 0.795f);
    EXPECT_EQ(p[1018], 1.0f);
    EXPECT_EQ(p[kPresetTriggerTag], 0.0f);
}

TEST_F(Records, StartupValuesOfUniformFamiliesMatchTheirDefaults) {
    // Where a family starts at its defaults, the program and the records agree.
    for (int c = 0; c < 4; ++c)
        for (int o = 0; o < 27; ++o) {
            const int tag = 556 + 27 * c + o;
            EXPECT_NEAR(DEMOVAR[0][tag], plugin->paramDefault[tag], 1e-6) << tag;
        }
    for (int tag = 412; tag <= 539; ++tag)
        EXPECT_NEAR(DEMOVAR[0][tag], plugin->paramDefault[tag], 1e-6) << tag;
    for (int L = 0; L < 3; ++L)
        for (int m : {2, 5, 6, 7, 8, 9, 10}) {
            const int tag = kLayerTags[L][m];
            EXPECT_EQ(DEMOVAR[0][tag], plugin->paramDefault[tag]) << tag;
        }
}

// --- writing a record ---------------------------------------------------------------------

TEST_F(Records, SetParameterVarsIgnoresInvalidTags) {
    std::vector<float> defaults(plugin->paramDefault, plugin->paramDefault + kNumParams);
    std::vector<float> zeros(plugin->paramZeroValue, plugin->paramZeroValue + kNumParams);
    std::vector<int32_t> types(plugin->paramType, plugin->paramType + kNumParams);
    std::vector<int32_t> steps(plugin->paramStepCount, plugin->paramStepCount + kNumParams);
    std::vector<float> ranges(plugin->paramStepRange, plugin->paramStepRange + kNumParams);
    std::vector<int32_t> dests(plugin->paramModDest, plugin->paramModDest + kNumParams);
    std::vector<uint8_t> switches(plugin->paramIsSwitch, plugin->paramIsSwitch + kNumParams);
    std::vector<std::string> names(plugin->paramName, plugin->paramName + kNumParams);

    for (int tag : {-1, kNumParams, INT_MIN, INT_MAX})
        plugin->setParameterVars(tag, 0.25f, true, 3.99f, 4, 7, kTypePercent, "Intruder", 0.5f);

    EXPECT_EQ(std::vector<float>(plugin->paramDefault, plugin->paramDefault + kNumParams),
              defaults);
    EXPECT_EQ(std::vector<float>(plugin->paramZeroValue, plugin->paramZeroValue + kNumParams),
              zeros);
    EXPECT_EQ(std::vector<int32_t>(plugin->paramType, plugin->paramType + kNumParams), types);
    EXPECT_EQ(std::vector<int32_t>(plugin->paramStepCount, plugin->paramStepCount + kNumParams),
              steps);
    EXPECT_EQ(std::vector<float>(plugin->paramStepRange, plugin->paramStepRange + kNumParams),
              ranges);
    EXPECT_EQ(std::vector<int32_t>(plugin->paramModDest, plugin->paramModDest + kNumParams),
              dests);
    EXPECT_EQ(std::vector<uint8_t>(plugin->paramIsSwitch, plugin->paramIsSwitch + kNumParams),
              switches);
    EXPECT_EQ(std::vector<std::string>(plugin->paramName, plugin->paramName + kNumParams), names);
}

TEST_F(Records, SetParameterVarsZeroValueRulesAndRebuild) {
    plugin->setParameterVars(1021, 0.25f, true, 3.99f, 4, 7, kTypePercent, "Probe", -0.5f);
    EXPECT_EQ(plugin->paramName[1021], "Probe");
    EXPECT_EQ(plugin->paramDefault[1021], 0.25f);
    EXPECT_EQ(plugin->paramZeroValue[1021], 0.25f);  // negative: the default
    EXPECT_EQ(plugin->paramIsSwitch[1021], 1);
    EXPECT_EQ(plugin->paramStepCount[1021], 4);
    EXPECT_EQ(plugin->paramStepRange[1021], 3.99f);
    EXPECT_EQ(plugin->paramModDest[1021], 7);
    EXPECT_EQ(plugin->paramType[1021], kTypePercent);

    plugin->setParameterVars(1021, 0.25f, false, -1.0f, -1, 0, kTypePercent, "Probe", 0.0f);
    EXPECT_EQ(plugin->paramZeroValue[1021], 0.0f);  // 0.0 is kept
    plugin->setParameterVars(1021, 0.25f, false, -1.0f, -1, 0, kTypePercent, "Probe", 0.9f);
    EXPECT_EQ(plugin->paramZeroValue[1021], 0.9f);

    // Building the records again restores the unset record and clears the split map.
    plugin->velTagLayer[5] = 2;
    plugin->velTagPoint[5] = 3;
    plugin->initParameterRecords();
    EXPECT_EQ(plugin->paramName[1021], "Unused Parameter 1022 N/A");
    EXPECT_EQ(plugin->paramStepRange[1021], 1.0f);
    EXPECT_EQ(plugin->paramType[1021], kTypeInternal);
    EXPECT_EQ(plugin->paramIsSwitch[1021], 0);
    EXPECT_EQ(plugin->velTagLayer[5], 0);
    EXPECT_EQ(plugin->velTagPoint[5], 0);
    EXPECT_EQ(plugin->velTagLayer[553], 2);
    EXPECT_EQ(plugin->velTagPoint[553], 3);
}

}  // namespace
