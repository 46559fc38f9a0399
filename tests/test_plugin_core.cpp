// The plug-in object as a host meets it: identity, host detection, capabilities,
// parameters, program hand-over and the state chunk.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "editor/uEditor.h"
#include "support/PluginHarness.h"

namespace {

std::string dispatchText(PluginHarness& h, VstInt32 opcode, VstInt32 index = 0) {
    char buf[256];
    std::memset(buf, 0, sizeof(buf));
    h.dispatch(opcode, index, 0, buf);
    return buf;
}

}  // namespace

TEST(PluginIdentity, HostSeesNameVendorVersionIdAndLayout) {
    PluginHarness h;
    AEffect* e = h->getAeffect();
    EXPECT_EQ(e->magic, kEffectMagic);
    EXPECT_EQ(e->numPrograms, 1);
    EXPECT_EQ(e->numParams, 1024);
    EXPECT_EQ(e->numInputs, 2);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->uniqueID, vstFourCC('T', 'a', 'V', 'o'));
    EXPECT_TRUE(e->flags & effFlagsIsSynth);
    EXPECT_TRUE(e->flags & effFlagsCanReplacing);
    EXPECT_FALSE(e->flags & effFlagsCanDoubleReplacing);
    EXPECT_EQ(dispatchText(h, effGetEffectName), "Tavrolune");
    EXPECT_EQ(dispatchText(h, effGetProductString), "Tavrolune");
    EXPECT_EQ(dispatchText(h, effGetVendorString), "Vantorix");
    EXPECT_EQ(h.dispatch(effGetVendorVersion), 0x10000);
    EXPECT_EQ(h.dispatch(effGetPlugCategory), kPlugCategSynth);
    EXPECT_EQ(h.dispatch(effGetVstVersion), 2400);
}

TEST(PluginIdentity, ResumeAsksForMidi) {
    PluginHarness h;
    const int before = h.host().wantMidi;
    h.dispatch(effMainsChanged, 0, 1);
    EXPECT_EQ(h.host().wantMidi, before + 1);
}

struct HostCase {
    const char* product;
    const char* vendor;
    bool reaper, solena, prop, kore, komplete;
};

TEST(PluginHostDetection, FlagsFollowProductAndVendorStrings) {
    const HostCase cases[] = {
        {"Reaper", "", true, false, false, false, false},
        {"REAPER64", "", false, false, false, false, false},
        {"Live", "Ableton", false, false, false, false, false},
        {"Kore 2", "", false, false, false, true, false},
        {"Anything", "Propellerhead Software", false, false, true, false, false},
        {"Maschine 2", "", false, false, false, false, true},
        {"Komplete Kontrol", "", false, false, false, false, true},
        {"kx-solena", "", false, true, false, false, false},
        {"", "", false, false, false, false, false},
    };
    for (const HostCase& c : cases) {
        SCOPED_TRACE(std::string(c.product) + " / " + c.vendor);
        PluginHarness h(c.product, c.vendor);
        EXPECT_EQ(h->isHostReaper != 0, c.reaper);
        EXPECT_EQ(h->isHostSolena != 0, c.solena);
        EXPECT_EQ(h->isHostVendorProp != 0, c.prop);
        EXPECT_EQ(h->isHostKore != 0, c.kore);
        EXPECT_EQ(h->isHostKompleteOrMaschine != 0, c.komplete);
        const bool chunks = c.reaper || c.solena || c.prop || c.kore || c.komplete;
        EXPECT_EQ((h->getAeffect()->flags & effFlagsProgramChunks) != 0, chunks);
    }
}

TEST(PluginHostDetection, HostStringFillingItsWholeBufferIsReadSafely) {
    // 300 characters without a NUL within the plug-in's buffer must not be over-read.
    PluginHarness h(std::string(300, 'R'), std::string(300, 'p'));
    EXPECT_FALSE(h->isHostReaper);
}

TEST(PluginCapabilities, CanDoAnswersOnlyWhatItClaims) {
    PluginHarness h;
    auto canDo = [&](const char* text) {
        std::vector<char> buf(text, text + std::strlen(text) + 1);
        return h.dispatch(effCanDo, 0, 0, buf.data());
    };
    EXPECT_EQ(canDo("receiveVstEvents"), 1);
    EXPECT_EQ(canDo("receiveVstMidiEvent"), 1);
    EXPECT_EQ(canDo("receiveVstTimeInfo"), 1);
    EXPECT_EQ(canDo("sendVstMidiEvent"), 0);
    EXPECT_EQ(canDo("NKSCallbacks"), 1);
    char nks[] = "NKSCallbacks";
    EXPECT_EQ(h->canDo(nks), 0);
    EXPECT_EQ(h.dispatch(effCanDo, 0, 0, nullptr), 0);
}

TEST(PluginCapabilities, OutputPinsAreDescribedInputPinsAreNot) {
    PluginHarness h;
    VstPinProperties pin;
    std::memset(&pin, 0x5A, sizeof(pin));
    ASSERT_EQ(h.dispatch(effGetOutputProperties, 1, 0, &pin), 1);
    EXPECT_STREQ(pin.label, "Tavrolune 2");
    EXPECT_EQ(pin.flags, kVstPinIsActive | kVstPinIsStereo);
    EXPECT_EQ(pin.shortLabel[0], 0x5A) << "fields other than label and flags stay untouched";

    VstPinProperties untouched;
    std::memset(&untouched, 0x33, sizeof(untouched));
    VstPinProperties copy = untouched;
    EXPECT_EQ(h.dispatch(effGetOutputProperties, 2, 0, &untouched), 0);
    EXPECT_EQ(h.dispatch(effGetOutputProperties, -1, 0, &untouched), 0);
    EXPECT_EQ(std::memcmp(&untouched, &copy, sizeof(copy)), 0);
    EXPECT_EQ(h.dispatch(effGetInputProperties, 0, 0, &untouched), 0);
    EXPECT_EQ(h.dispatch(effGetOutputProperties, 0, 0, nullptr), 0);
}

TEST(PluginCapabilities, EditGesturesTellEditorThenHost) {
    PluginHarness h;
    auto* editor = dynamic_cast<uEditor*>(h->getEditor());
    ASSERT_NE(editor, nullptr);
    h->beginEdit(37);
    EXPECT_EQ(editor->getEditTag(), 37);
    ASSERT_EQ(h.host().beginEdits.size(), 1u);
    EXPECT_EQ(h.host().beginEdits[0], 37);
    h->endEdit(37);
    EXPECT_EQ(editor->getEditTag(), -1);
    ASSERT_EQ(h.host().endEdits.size(), 1u);
}

TEST(PluginVendorSpecific, NKSPropertiesOnlyOnKompleteOrMaschine) {
    PluginHarness plain("Live");
    unsigned char buf[16];
    EXPECT_EQ(plain.dispatch(effVendorSpecific, (VstInt32)(0x4E490000u | 12), 0, buf), 0);

    PluginHarness h("Maschine 2");
    std::memset(buf, 0xEE, sizeof(buf));
    EXPECT_EQ(h.dispatch(effVendorSpecific, (VstInt32)(0x4E690000u | 28), 0, buf), 1);
    uint64_t size;
    std::memcpy(&size, buf, 8);
    EXPECT_EQ(size, 1u);
    EXPECT_EQ(buf[8], 0);
    EXPECT_EQ(buf[9], 0xEE);

    std::memset(buf, 0, sizeof(buf));
    EXPECT_EQ(h.dispatch(effVendorSpecific, (VstInt32)(0x4E490000u | 12), 0, buf), 1);
    uint32_t v32;
    std::memcpy(&v32, buf, 4);
    EXPECT_EQ(v32, 3u);
    EXPECT_EQ(h.dispatch(effVendorSpecific, (VstInt32)(0x4E490000u | 12), 0, nullptr), 0);
    EXPECT_EQ(h.dispatch(effVendorSpecific, (VstInt32)(0x4E490000u | 14), 0, buf), 0);
    EXPECT_EQ(h.dispatch(effVendorSpecific, (VstInt32)(0x4E490000u | 32), 0, buf), 1);
    uint64_t v64;
    std::memcpy(&v64, buf, 8);
    EXPECT_EQ(v64, 1u);
    EXPECT_EQ(h.dispatch(effVendorSpecific, (VstInt32)(0x4E690000u | 28), 0, nullptr), 1);
    // The wheel message is not forwarded on these hosts.
    EXPECT_EQ(h.dispatch(effVendorSpecific, vstFourCC('s', 't', 'C', 'A'),
                         vstFourCC('W', 'h', 'e', 'e'), nullptr, 1.0f),
              0);

    uint64_t infoSize = 0;
    bool flag = false;
    EXPECT_TRUE(h->getVendorSpecificPropertyInfo(13, infoSize, flag));
    EXPECT_EQ(infoSize, 4u);
    EXPECT_TRUE(flag);
    EXPECT_FALSE(h->getVendorSpecificPropertyInfo(99, infoSize, flag));
    EXPECT_FALSE(h->setVendorSpecificProperty(12, buf, 4));
}

TEST(PluginVendorSpecific, NKSNotificationNeedsHostSupport) {
    PluginHarness h("Komplete Kontrol");
    uint32_t payload = 7;
    EXPECT_FALSE(h->notifyNKSHost(12, &payload, 4));
    EXPECT_TRUE(h.host().vendorCalls.empty());
    h.host().canDoAnswer = 1;
    h.host().vendorSpecificAnswer = 1;
    EXPECT_TRUE(h->notifyNKSHost(12, &payload, 4));
    ASSERT_EQ(h.host().vendorCalls.size(), 1u);
    EXPECT_EQ(h.host().vendorCalls[0].index, ('K' << 24) | ('I' << 16) | 12);
    EXPECT_EQ(h.host().vendorCalls[0].value, 4);
}

TEST(PluginParameters, ValuesAreClampedSnappedAndBoundsChecked) {
    PluginHarness h;
    APlugin& p = h.plugin();
    p.setParameter(1, 1.7f);
    EXPECT_EQ(p.getParameter(1), 1.0f);
    EXPECT_EQ(p.paramValue[1], 1.0f);
    EXPECT_EQ(p.paramEdited[1], 1.0f);
    p.setParameter(1, -0.2f);
    EXPECT_EQ(p.getParameter(1), 0.0f);
    p.setParameter(1, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(p.getParameter(1), 0.0f);
    EXPECT_FALSE(std::isnan(p.paramValue[1]));

    // 346 "Distort On/Off" is a switch.
    p.setParameter(346, 0.49f);
    EXPECT_EQ(p.paramValue[346], 0.0f);
    p.setParameter(346, 0.5f);
    EXPECT_EQ(p.paramValue[346], 1.0f);

    const float before = p.getParameter(5);
    p.setParameter(1024, 0.5f);
    p.setParameter(-1, 0.5f);
    EXPECT_EQ(p.getParameter(1024), 0.0f);
    EXPECT_EQ(p.getParameter(-1), 0.0f);
    EXPECT_EQ(p.getParameter(5), before);
}

TEST(PluginParameters, ChangeTestUsesLastAcceptedValue) {
    PluginHarness h;
    h.run(1);  // apply the start-up program
    APlugin& p = h.plugin();
    ASSERT_FALSE(p.getEditChanged());
    const float orig = p.paramOrig[2];
    const float last = p.paramLast[2];
    p.setParameter(2, orig + 0.00005f);
    p.setParameter(2, orig + 0.00009f);
    EXPECT_EQ(p.paramLast[2], last);
    EXPECT_FALSE(p.getEditChanged());
    p.setParameter(2, orig + 0.0003f);
    EXPECT_EQ(p.paramLast[2], orig + 0.0003f);
    EXPECT_TRUE(p.getEditChanged());

    // An original value at -0.5 or below never marks the program as edited.
    PluginHarness h2;
    h2.run(1);
    h2->paramOrig[3] = -0.6f;
    h2->setParameter(3, 0.9f);
    EXPECT_FALSE(h2->getEditChanged());
}

TEST(PluginParameters, AutomatedWriteReportsTheStoredValue) {
    PluginHarness h;
    h->setParameterAutomated(346, 0.7f);
    ASSERT_EQ(h.host().automated.size(), 1u);
    EXPECT_EQ(h.host().automated[0].first, 346);
    EXPECT_EQ(h.host().automated[0].second, 1.0f);
}

TEST(PluginParameters, HostTextsAreBoundedAndTerminated) {
    PluginHarness h;
    for (int opcode : {effGetParamName, effGetParamDisplay, effGetParamLabel}) {
        for (int tag : {0, 1, 300, 1023, 1024, -1}) {
            char buf[128];
            std::memset(buf, 0x7F, sizeof(buf));
            h.dispatch(opcode, tag, 0, buf);
            EXPECT_NE(std::memchr(buf, 0, 64), nullptr) << opcode << " " << tag;
            for (int i = 64; i < 128; ++i) ASSERT_EQ(buf[i], 0x7F) << opcode << " " << tag;
        }
        h.dispatch(opcode, 1, 0, nullptr);  // must not crash
    }
    EXPECT_EQ(dispatchText(h, effGetParamName, 1023), "Unused Parameter 1024 N/A");
}

TEST(PluginProgram, StartupProgramIsPendingAndAppliedAtFirstBoundary) {
    PluginHarness h;
    APlugin& p = h.plugin();
    EXPECT_TRUE(p.presetPending);
    EXPECT_TRUE(p.getIsSettingPreset());
    char name[64] = "x";
    p.getProgramName(name);
    EXPECT_STREQ(name, "");
    h.run(1);
    EXPECT_FALSE(p.presetPending || p.presetApplying) << "the start-up program goes in whole";
    EXPECT_TRUE(p.editorRefreshRequest);
    EXPECT_TRUE(p.getIsSettingPreset()) << "still setting during the next 4096 samples";
    h.run(4096);
    EXPECT_FALSE(p.getIsSettingPreset());
    EXPECT_EQ(p.getParameter(1), 0.55f) << "Main Volume of the start-up program";
    EXPECT_EQ(p.paramValue[1], p.getParameter(1));
}

TEST(PluginProgram, TriggerDuringApplicationAppliesTheNewestRecordAfterIt) {
    PluginHarness h;
    APlugin& p = h.plugin();
    h.run(4096 + 1024, 64);
    p.setProgram(0);
    h.run(3072 + 64, 64);  // small blocks take one stage each: the boundary's block starts it
    ASSERT_TRUE(p.presetApplying);
    p.currentProgram().values[7] = 0.25f;
    p.setParameter(kPresetTriggerTag, 0.0f);
    p.setParameter(kPresetTriggerTag, 0.0f);
    EXPECT_TRUE(p.presetPending) << "a request while applying is kept, not dropped";
    h.run(4096 + 1024);
    EXPECT_FALSE(p.presetPending || p.presetApplying);
    EXPECT_EQ(p.paramValue[7], 0.25f);
    EXPECT_EQ(p.paramValue[7], p.getParameter(7));
}

TEST(PluginProgram, ApplicationRestsTheSpringingRibbonAndDropsLatch) {
    PluginHarness h;
    APlugin& p = h.plugin();
    h.run(1);
    TProgramRecord& rec = p.currentProgram();
    rec.values[kRibbonValueTag] = 0.8f;
    rec.values[665] = 1.0f;        // bipolar
    rec.values[666] = 0.839355f;   // spring time set
    rec.values[405] = 1.0f;        // latch
    rec.values[406] = 1.0f;        // key entry
    p.setProgram(0);
    h.run(4096 + 1024);
    EXPECT_EQ(p.paramValue[kRibbonValueTag], 0.5f);
    EXPECT_EQ(p.getParameter(kRibbonValueTag), 0.5f);
    EXPECT_EQ(p.paramEdited[kRibbonValueTag], 0.8f);
    // Armed at rest with no speed, the spring stops on its first sample.
    EXPECT_FALSE(p.ribbonSpringOn);
    EXPECT_EQ(p.ribbonSpringPos, 0.5);
    EXPECT_EQ(p.paramValue[405], 0.0f);
    EXPECT_EQ(p.paramOrig[406], 0.0f);
    EXPECT_EQ(p.getParameter(405), 0.0f);

    rec.values[665] = 0.0f;  // unipolar rests at 0
    rec.values[kRibbonValueTag] = 0.8f;
    p.setProgram(0);
    h.run(4096);
    EXPECT_EQ(p.paramValue[kRibbonValueTag], 0.0f);
}

TEST(PluginProgram, ModulationArpModesAreSwitchedOffUnlessLocked) {
    PluginHarness h;
    APlugin& p = h.plugin();
    h.run(1);
    TProgramRecord& rec = p.currentProgram();
    rec.values[407] = 0.9f;  // arp mode index 15
    rec.values[394] = 1.0f;
    rec.values[244] = 0.5f;
    p.setProgram(0);
    h.run(4096);
    EXPECT_EQ(p.paramValue[394], 0.0f);
    EXPECT_EQ(p.paramValue[244], 0.0f);
    bool told394 = false, told244 = false;
    for (auto& a : h.host().automated) {
        told394 |= a.first == 394 && a.second == 0.0f;
        told244 |= a.first == 244 && a.second == 0.0f;
    }
    EXPECT_TRUE(told394 && told244);

    PluginHarness locked;
    locked.run(1);
    locked->lockState = 1;
    locked->currentProgram().values[407] = 0.9f;
    locked->currentProgram().values[394] = 1.0f;
    locked->setProgram(0);
    locked.run(4096);
    EXPECT_EQ(locked->paramValue[394], 1.0f);
    EXPECT_TRUE(locked.host().automated.empty());
}

TEST(PluginProgram, OnlyProgramZeroAndNotWhileEditorOpens) {
    PluginHarness h;
    APlugin& p = h.plugin();
    h.run(1);
    p.currentProgram().values[9] = 0.9f;
    p.setProgram(1);
    p.setProgram(-1);
    EXPECT_FALSE(p.presetPending);
    p.editorOpening = 1;
    p.setProgram(0);
    EXPECT_FALSE(p.presetPending);
    p.editorOpening = 0;
    p.setProgram(0);
    EXPECT_TRUE(p.presetPending);
    EXPECT_EQ(p.paramOrig[9], 0.9f);

    char text[64];
    std::strcpy(text, "keep");
    EXPECT_FALSE(p.getProgramNameIndexed(0, 1, text));
    EXPECT_STREQ(text, "keep");
    EXPECT_TRUE(p.getProgramNameIndexed(5, 0, text));
    EXPECT_STREQ(text, "");
}

// --- state chunk ------------------------------------------------------------------------

namespace {

std::vector<unsigned char> getChunk(PluginHarness& h, bool preset) {
    void* data = nullptr;
    const VstIntPtr size = h.dispatch(effGetChunk, preset ? 1 : 0, 0, &data);
    if (size <= 0 || !data) return {};
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    return std::vector<unsigned char>(bytes, bytes + size);
}

}  // namespace

TEST(PluginChunk, PolicyFollowsTheHost) {
    struct Case {
        const char* product;
        const char* vendor;
        bool bank, program;
    } cases[] = {
        {"REAPER", "", true, false},      {"KX-Solena", "", true, false},
        {"Any", "Propellerhead", true, true}, {"Maschine 2", "", true, false},
        {"Kore 2", "", false, false},     {"Live", "", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.product);
        PluginHarness h(c.product, c.vendor);
        EXPECT_EQ(getChunk(h, false).size(), c.bank ? 4128u : 0u);
        EXPECT_EQ(getChunk(h, true).size(), c.program ? 4128u : 0u);
    }
}

TEST(PluginChunk, BankChunkIsValuesThenName) {
    PluginHarness h("REAPER");
    h.run(1);
    h->setParameter(9, 0.25f);
    std::vector<unsigned char> chunk = getChunk(h, false);
    ASSERT_EQ(chunk.size(), 4128u);
    float v;
    std::memcpy(&v, &chunk[4 * 9], 4);
    EXPECT_EQ(v, 0.25f);
    std::memcpy(&v, &chunk[4 * 1], 4);
    EXPECT_EQ(v, 0.55f);
    EXPECT_EQ(chunk[4096], 0);
}

TEST(PluginChunk, RoundTripRestoresValuesNameAndBytes) {
    PluginHarness a("REAPER");
    a.run(1);
    for (int tag = 1; tag < 1024; tag += 7) a->setParameter(tag, std::fmod(tag * 0.618f, 1.0f));
    a->setParameter(kPresetTriggerTag, 0.35f);  // hosts may automate the trigger too
    std::vector<unsigned char> chunk = getChunk(a, false);
    ASSERT_EQ(chunk.size(), 4128u);
    std::strcpy(reinterpret_cast<char*>(&chunk[4096]), "Glass Harp");

    PluginHarness b("REAPER");
    b.run(1);
    EXPECT_EQ(b.dispatch(effSetChunk, 0, (VstIntPtr)chunk.size(), chunk.data()), 1);
    b.run(4096);
    for (int tag = 0; tag < 1024; ++tag) {
        if (tag == 405 || tag == 406) continue;  // never restored latched
        float stored;
        std::memcpy(&stored, &chunk[4 * tag], 4);
        ASSERT_EQ(b->getParameter(tag), stored) << tag;
        ASSERT_EQ(b->paramValue[tag], stored) << tag;
    }
    char name[64];
    b.dispatch(effGetProgramName, 0, 0, name);
    EXPECT_STREQ(name, "Glass Harp");
    EXPECT_EQ(getChunk(b, false), chunk);
}

TEST(PluginChunk, BadChunksChangeNothing) {
    PluginHarness h("REAPER");
    h.run(4097);
    std::vector<unsigned char> before = getChunk(h, false);
    ASSERT_EQ(before.size(), 4128u);
    EXPECT_EQ(h.dispatch(effSetChunk, 0, 4128, nullptr), 0);
    for (int size : {0, 100, 4127}) {
        std::vector<unsigned char> small(size ? size : 1, 0xFF);
        EXPECT_EQ(h->setChunk(small.data(), size, false), 0) << size;
    }
    EXPECT_FALSE(h->presetPending);
    EXPECT_EQ(getChunk(h, false), before);
    void** none = nullptr;
    EXPECT_EQ(h->getChunk(none, false), 0);
}

// A host this plug-in offers no chunks may still hand one back: it is applied, not dropped
// behind a success answer; and every value a chunk carries is taken as a parameter would be.
TEST(PluginChunk, RestoreOnUnflaggedHostIsAppliedAndValuesAreClamped) {
    PluginHarness h("Live");
    h.run(4097);
    std::vector<unsigned char> chunk(4128, 0);
    const float bad[] = {0.3f, NAN, INFINITY, -INFINITY, -2.0f, 7.0f};
    for (int i = 0; i < 6; ++i) std::memcpy(&chunk[4 * (10 + i)], &bad[i], 4);
    EXPECT_EQ(h->setChunk(chunk.data(), 4128, false), 1);
    EXPECT_TRUE(h->presetPending);
    const float want[] = {0.3f, 0.0f, 1.0f, 0.0f, 0.0f, 1.0f};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(h->currentProgram().values[10 + i], want[i]) << i;
    h.run(4096 + 128);
    EXPECT_EQ(h->paramValue[10], 0.3f);
}

TEST(PluginChunk, NameWithoutTerminatorIsCutAndHostNameBounded) {
    PluginHarness h("REAPER");
    h.run(1);
    std::vector<unsigned char> chunk = getChunk(h, false);
    std::memset(&chunk[4096], 'N', 32);
    ASSERT_EQ(h->setChunk(chunk.data(), 4128, false), 1);
    char name[64];
    h->getProgramName(name);
    EXPECT_EQ(std::string(name), std::string(31, 'N'));
    char hostBuf[64];
    std::memset(hostBuf, 0x7F, sizeof(hostBuf));
    h.dispatch(effGetProgramName, 0, 0, hostBuf);
    EXPECT_EQ(std::strlen(hostBuf), 23u);
    EXPECT_EQ(hostBuf[24], 0x7F);
}

TEST(PluginChunk, RestoreWhileEditorOpensIsStillApplied) {
    PluginHarness h("REAPER");
    h.run(4097);
    std::vector<unsigned char> chunk = getChunk(h, false);
    float v = 0.3f;
    std::memcpy(&chunk[4 * 9], &v, 4);
    h->editorOpening = 1;
    ASSERT_EQ(h->setChunk(chunk.data(), 4128, false), 1);
    h->editorOpening = 0;
    EXPECT_TRUE(h->presetPending);
    h.run(4096);
    EXPECT_EQ(h->paramValue[9], 0.3f);
}

TEST(PluginProgram, ControllersPickUpFromTheAppliedProgram) {
    PluginHarness h;
    h.run(1);
    APlugin& p = h.plugin();
    for (int tag : {1, 29, 113, 385}) EXPECT_EQ(p.midiCaptured[tag], p.getParameter(tag)) << tag;
    p.currentProgram().values[29] = 0.2f;
    p.setProgram(0);
    EXPECT_EQ(p.midiCaptured[29], 0.0f) << "cleared while the program waits";
    h.run(4096);
    EXPECT_EQ(p.midiCaptured[29], 0.2f);
}

// Notes that arrive while a program waits are held in the queue and play, in the order
// they came, once the program is in place: 60 on, 60 off, 64 on leaves only 64 held.
TEST(PluginProgram, MidiDuringAPendingProgramPlaysInOrderAfterIt) {
    PluginHarness h;
    APlugin& p = h.plugin();
    h.run(8192 + 1024, 64);
    p.setProgram(0);
    auto send = [&](unsigned char status, unsigned char note, unsigned char velocity) {
        VstMidiEvent e = {};
        e.type = kVstMidiType;
        e.byteSize = sizeof(e);
        e.deltaFrames = 10;
        e.midiData[0] = (char)status;
        e.midiData[1] = (char)note;
        e.midiData[2] = (char)velocity;
        VstEvents events = {};
        events.numEvents = 1;
        events.events[0] = reinterpret_cast<VstEvent*>(&e);
        p.processEvents(&events);
        h.run(64, 64);
    };
    send(0x90, 60, 100);
    send(0x80, 60, 0);
    send(0x90, 64, 100);
    ASSERT_TRUE(p.presetPending);
    EXPECT_FALSE(p.anyVoiceKeyOn()) << "nothing starts under the old program";
    h.run(4096, 64);
    ASSERT_FALSE(p.presetPending || p.presetApplying);
    int held60 = 0, held64 = 0;
    for (int v = 0; v < kNumVoices; ++v) {
        held60 += p.voiceKeyOn[v] && p.voiceNote[v] == 60;
        held64 += p.voiceKeyOn[v] && p.voiceNote[v] == 64;
    }
    EXPECT_EQ(held60, 0);
    EXPECT_EQ(held64, 1);
    EXPECT_TRUE(p.isVoiceSounding(p.curVoice));
}

// Whatever a chunk holds, nothing outside 0..1 (or not a number) can be read back.
TEST(PluginChunk, MutatedChunksLeaveOnlyValuesWithinRange) {
    PluginHarness h("REAPER");
    h.run(4097);
    std::vector<unsigned char> chunk = getChunk(h, false);
    ASSERT_EQ(chunk.size(), 4128u);
    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    for (int round = 0; round < 2000; ++round) {
        for (int k = 0; k < 8; ++k) {
            const uint32_t at = next() % 1024;
            const uint32_t bits = next();
            std::memcpy(&chunk[4 * at], &bits, 4);  // any pattern: NaN, infinities, huge, tiny
        }
        ASSERT_EQ(h->setChunk(chunk.data(), 4128, false), 1);
        const std::vector<unsigned char> back = getChunk(h, false);
        ASSERT_EQ(back.size(), 4128u);
        for (int tag = 0; tag < kNumParams; ++tag) {
            float v;
            std::memcpy(&v, &back[4 * tag], 4);
            ASSERT_TRUE(v >= 0.0f && v <= 1.0f) << "round " << round << " tag " << tag << " " << v;
            ASSERT_EQ(h->getParameter(tag), v);
        }
        if (round % 250 == 0) h.run(4096 + 128, 512);
    }
    for (float v : h->paramValue) ASSERT_TRUE(v >= 0.0f && v <= 1.0f);
}

// Every buffer the audio thread uses is written when the plug-in is made: two seconds of a
// chord through the delay and the reverb take next to no page faults.
TEST(PluginMemory, PlayingTakesNoPageFaults) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's shadow memory faults in on its own";
#endif
    PluginHarness h;
    APlugin& p = h.plugin();
    for (int tag : {351, 354}) p.currentProgram().values[tag] = 1.0f;  // Delay, Reverb on
    p.setProgram(0);
    VstMidiEvent notes[3] = {};
    struct {
        VstInt32 numEvents;
        VstIntPtr reserved;
        VstEvent* events[3];
    } chord = {3, 0, {}};
    for (int i = 0; i < 3; ++i) {
        notes[i].type = kVstMidiType;
        notes[i].byteSize = sizeof(VstMidiEvent);
        notes[i].midiData[0] = (char)0x90;
        notes[i].midiData[1] = (char)(48 + 4 * i);
        notes[i].midiData[2] = 110;
        chord.events[i] = reinterpret_cast<VstEvent*>(&notes[i]);
    }
    p.processEvents(reinterpret_cast<VstEvents*>(&chord));
    h.run(512);
    struct rusage before, after;
    getrusage(RUSAGE_SELF, &before);
    h.run(2 * 44100);
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_minflt - before.ru_minflt, 100) << "minor page faults while playing";
}
