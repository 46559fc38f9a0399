// The parameter records, the tag tables and the start-up program against each other: what
// the reviewed parameter listing (test_param) cannot show.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
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
    return tag == 127 || tag == 393 || tag == 540 || (tag >= 668 && tag <= 847) || (tag >= 958 && tag <= 1004) || tag >= 1020;
}
bool isProgramTextTag(int tag) { return tag >= 128 && tag <= 243; }
bool isArpTextTag(int tag) { return tag >= 848 && tag <= 957; }

// Some layer members that feed a modulation destination, with their destination tables.
const std::pair<const int32_t*, const int32_t*> kMemberDests[] = {
    {SEMI_TAGS, DEST_L_SEMI},         {WAVE_TAGS, DEST_L_WAVE_MIX},       {FILTER_FREQ_TAGS, DEST_L_FILTER_FREQ},
    {VOL_ENV_CRV_TAGS, DEST_L_VOL_ENV_CRV}, {WIRE_SEP_TAGS, DEST_L_WIRE_SEP}, {PAN_TAGS, DEST_L_PAN},
};

class Records : public ::testing::Test {
protected:
    static void SetUpTestSuite() { plugin = new APlugin(hostCallback); }
    static void TearDownTestSuite() { delete plugin; }
    static const std::string& name(int tag) { return plugin->paramName[tag]; }
    // The stepped decoding: index = clamp(int(value x range + 0.1), 0, steps - 1).
    static int decode(int tag, float value) {
        const int i = (int)(value * plugin->paramStepRange[tag] + 0.1f);
        return std::max(0, std::min(i, plugin->paramStepCount[tag] - 1));
    }
    // Everything a record holds.
    static std::string record(int t) {
        return name(t) + "|" + std::to_string(plugin->paramDefault[t]) + "|" + std::to_string(plugin->paramZeroValue[t]) +
               "|" + std::to_string(plugin->paramType[t]) + "|" + std::to_string(plugin->paramStepCount[t]) + "|" +
               std::to_string(plugin->paramStepRange[t]) + "|" + std::to_string(plugin->paramModDest[t]) + "|" +
               std::to_string(plugin->paramIsSwitch[t]);
    }
    static inline APlugin* plugin = nullptr;
};

// The unset record, tag 0 and the text slots are the only internal records; every other
// record is explicit, stepped ones reach every step and keep their values inside 0..1.
TEST_F(Records, InternalUnsetSteppedAndSwitchRecords) {
    int unset = 0, stepped = 0, switches = 0;
    std::set<std::string> names;
    for (int tag = 0; tag < kNumParams; ++tag) {
        SCOPED_TRACE(tag);
        const bool text = isProgramTextTag(tag) || isArpTextTag(tag);
        const bool internal = tag == 0 || isUnsetTag(tag) || text;
        const int steps = plugin->paramStepCount[tag];
        EXPECT_EQ(plugin->paramType[tag] == kTypeInternal, internal);
        EXPECT_TRUE(plugin->paramType[tag] >= 0 && plugin->paramType[tag] <= 22);
        EXPECT_TRUE(names.insert(name(tag)).second) << "duplicate name " << name(tag);
        EXPECT_GE(plugin->paramZeroValue[tag], 0.0f);
        if (internal) {
            EXPECT_EQ(plugin->paramStepRange[tag], isUnsetTag(tag) ? 1.0f : -1.0f);
            EXPECT_EQ(steps + plugin->paramIsSwitch[tag] + plugin->paramModDest[tag], -1);
            EXPECT_EQ(plugin->paramDefault[tag] + plugin->paramZeroValue[tag], 0.0f);
        }
        unset += isUnsetTag(tag);
        if (isUnsetTag(tag) || text) {
            const char* kind = isUnsetTag(tag) ? "Unused Parameter " : isProgramTextTag(tag) ? "Preset Parameter " : "Arp Preset Parameter ";
            EXPECT_EQ(name(tag), kind + std::to_string(tag + 1) + " N/A");
        }
        if (steps > 0) {
            ++stepped;
            EXPECT_GE(steps, 2);
            EXPECT_EQ(decode(tag, 0.0f), 0);
            EXPECT_EQ(decode(tag, 1.0f), steps - 1);
            EXPECT_TRUE(plugin->paramDefault[tag] >= 0.0f && plugin->paramDefault[tag] <= 1.0f);
            EXPECT_LE(plugin->paramZeroValue[tag], 1.0f);
        } else if (!isUnsetTag(tag)) {
            EXPECT_EQ(plugin->paramStepRange[tag], -1.0f);
        }
        if (plugin->paramIsSwitch[tag]) {
            ++switches;
            const bool byTag = tag == 394 || (tag >= 404 && tag <= 406);
            EXPECT_EQ(plugin->paramType[tag], byTag ? kTypeByTag : kTypeOnOff);
            EXPECT_TRUE(plugin->paramDefault[tag] == 0.0f || plugin->paramDefault[tag] == 1.0f);
        }
    }
    EXPECT_EQ(unset, 1 + 1 + 1 + 180 + 47 + 4);
    // Singles, 6 per layer, source and destination of each mod slot, 5 arp rows, 2 per chord.
    EXPECT_EQ(stepped, 35 + 3 * 6 + 2 * 8 + 5 * 16 + 2 * 4);
    // Singles, 4 per layer, the mod bypasses, 3 arp rows, the chords' strum sync.
    EXPECT_EQ(switches, 18 + 3 * 4 + 8 + 3 * 16 + 4);
    // Where the range is not steps - 0.01: the upper quarter of Arp Mode reads as the last.
    EXPECT_EQ(decode(407, 0.746f), 15);
    EXPECT_EQ(decode(407, 0.745f), 14);
    // "Same" takes the default; an explicit 0.0 is kept.
    EXPECT_FLOAT_EQ(plugin->paramZeroValue[1], 0.75f);
    EXPECT_EQ(plugin->paramZeroValue[2], 0.0f);
    EXPECT_EQ(plugin->paramZeroValue[3], plugin->paramDefault[3]);
}

// Each layer's records equal layer 1's but for the name and the destination they feed, and
// each fed destination is fed by one record only.
TEST_F(Records, LayersAgreeAndFeedTheirOwnDestinations) {
    std::set<int> layerTags, expected;
    for (int i = 0; i < 3 * 67; ++i) EXPECT_TRUE(layerTags.insert(kLayerTags[i / 67][i % 67]).second);
    for (const auto& [from, to] : {std::pair{9, 101}, {248, 343}, {1005, 1016}})
        for (int t = from; t <= to; ++t) expected.insert(t);
    EXPECT_EQ(layerTags, expected);
    for (int m = 0; m < 67; ++m) {
        const int t0 = LAYER_1_TAGS[m];
        ASSERT_EQ(name(t0).compare(0, 8, "Layer 1 "), 0) << t0;
        for (int L = 1; L < 3; ++L) {
            const int t = kLayerTags[L][m];
            SCOPED_TRACE(t);
            EXPECT_EQ(name(t), "Layer " + std::to_string(L + 1) + " " + name(t0).substr(8));
            // The same record but for name, destination and the layer's on switch default.
            auto same = [](int tag) {
                return std::to_string(plugin->paramType[tag]) + "|" + std::to_string(plugin->paramStepCount[tag]) + "|" +
                       std::to_string(plugin->paramStepRange[tag]) + "|" + std::to_string(plugin->paramIsSwitch[tag]) +
                       "|" + std::to_string(tag == LAYER_ON_TAGS[0] || tag == LAYER_ON_TAGS[1] || tag == LAYER_ON_TAGS[2]
                                                ? 0.0f : plugin->paramDefault[tag]);
            };
            EXPECT_EQ(same(t), same(t0));
            EXPECT_EQ(plugin->paramModDest[t], plugin->paramModDest[t0] ? plugin->paramModDest[t0] + 92 * L : 0);
        }
    }
    // Layer 1 sounds by default; the start-up program turns layer 3 on as well.
    EXPECT_EQ(plugin->paramDefault[LAYER_ON_TAGS[0]], 1.0f);
    EXPECT_EQ(plugin->paramDefault[LAYER_ON_TAGS[1]], 0.0f);
    EXPECT_EQ(DEMOVAR[0][LAYER_ON_TAGS[2]], 1.0f);
    int fed = 0;
    for (int tag : layerTags) fed += plugin->paramModDest[tag] != 0;
    EXPECT_EQ(fed, 3 * 45);
    for (const auto& [members, dests] : kMemberDests)
        for (int L = 0; L < 3; ++L) {
            EXPECT_EQ(dests[L], dests[0] + kTagLayerDestStride * L);
            EXPECT_EQ(plugin->paramModDest[members[L]], dests[L]);
        }
    std::map<int, int> byDest;
    for (int tag = 0; tag < kNumParams; ++tag) {
        const int d = plugin->paramModDest[tag];
        EXPECT_TRUE(d >= 0 && d <= 400) << tag;
        EXPECT_TRUE(d == 0 || byDest.emplace(d, tag).second) << "destination " << d;
    }
    for (int s = 0; s < 8; ++s) EXPECT_EQ(plugin->paramModDest[MOD_AMT_TAGS[s]], DEST_MOD_AMT[s]);
    for (int c = 0; c < 4; ++c) EXPECT_EQ(plugin->paramModDest[CHORD_STRUM_TAGS[c]], DEST_CHORD_STRUMS[c]);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(plugin->paramModDest[LFO_SPEED_TAGS[i]], DEST_LFO_SPEED[i]);
}

TEST_F(Records, VelocitySplitTagsAndTheStartupProgram) {
    for (int tag = 0; tag < kNumParams; ++tag) {
        SCOPED_TRACE(tag);
        const bool split = tag >= 542 && tag < 554;
        EXPECT_EQ(plugin->velTagLayer[tag], split ? (tag - 542) / 4 : 0);
        EXPECT_EQ(plugin->velTagPoint[tag], split ? (tag - 542) % 4 : 0);
        EXPECT_EQ(plugin->paramType[tag] == kTypeVelSplit, split);
        // The start-up program is in range, empty where no record is, whole for switches.
        const float v = DEMOVAR[0][tag];
        EXPECT_TRUE(v >= 0.0f && v <= 1.0f);
        EXPECT_TRUE(plugin->paramType[tag] != kTypeInternal || v == 0.0f);
        EXPECT_TRUE(!plugin->paramIsSwitch[tag] || v == 0.0f || v == 1.0f);
    }
}

TEST_F(Records, SetParameterVarsGuardsTagsKeepsZeroValueRulesAndRebuilds) {
    std::vector<std::string> before;
    for (int t = 0; t < kNumParams; ++t) before.push_back(record(t));
    for (int tag : {-1, kNumParams, INT_MIN, INT_MAX})
        plugin->setParameterVars(tag, 0.25f, true, 3.99f, 4, 7, kTypePercent, "Intruder", 0.5f);
    for (int t = 0; t < kNumParams; ++t) ASSERT_EQ(record(t), before[t]);

    plugin->setParameterVars(1021, 0.25f, true, 3.99f, 4, 7, kTypePercent, "Probe", -0.5f);
    EXPECT_EQ(record(1021), "Probe|0.250000|0.250000|" + std::to_string(kTypePercent) + "|4|3.990000|7|1");  // negative: the default
    plugin->setParameterVars(1021, 0.25f, false, -1.0f, -1, 0, kTypePercent, "Probe", 0.0f);
    EXPECT_EQ(plugin->paramZeroValue[1021], 0.0f);  // 0.0 is kept
    plugin->setParameterVars(1021, 0.25f, false, -1.0f, -1, 0, kTypePercent, "Probe", 0.9f);
    EXPECT_EQ(plugin->paramZeroValue[1021], 0.9f);

    // Defaults a double click restores, and the zero values kept apart from them.
    EXPECT_FLOAT_EQ(plugin->paramDefault[2], 0.5f);  // "Velocity > Volume"
    EXPECT_FLOAT_EQ(plugin->paramDefault[1], 0.6f);
    EXPECT_FLOAT_EQ(plugin->paramZeroValue[1], 0.75f);

    // Building the records again restores the unset record and clears the split map.
    plugin->velTagLayer[5] = 2;
    plugin->velTagPoint[5] = 3;
    plugin->initParameterRecords();
    EXPECT_EQ(record(1021), before[1021]);
    EXPECT_EQ(plugin->velTagLayer[5] + plugin->velTagPoint[5], 0);
    EXPECT_EQ(plugin->velTagLayer[553] * 10 + plugin->velTagPoint[553], 23);
}

}  // namespace
