// The plug-in object as a host meets it: identity, host detection, capabilities,
// parameters, program hand-over and the state chunk.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "dsp/FilterTables.h"
#include "dsp/LargePages.h"
#include "editor/uEditor.h"
#include "support/PluginHarness.h"

namespace {

// Hands the plug-in up to three MIDI messages, ten frames into the next block.
void sendNotes(APlugin& p, const std::vector<std::array<int, 3>>& messages) {
    VstMidiEvent notes[3] = {};
    struct {
        VstInt32 numEvents;
        VstIntPtr reserved;
        VstEvent* events[3];
    } list = {(VstInt32)messages.size(), 0, {}};
    for (size_t i = 0; i < messages.size(); ++i) {
        notes[i].type = kVstMidiType;
        notes[i].byteSize = sizeof(VstMidiEvent);
        notes[i].deltaFrames = 10;
        for (int k = 0; k < 3; ++k) notes[i].midiData[k] = (char)messages[i][k];
        list.events[i] = reinterpret_cast<VstEvent*>(&notes[i]);
    }
    p.processEvents(reinterpret_cast<VstEvents*>(&list));
}

std::string dispatchText(PluginHarness& h, VstInt32 opcode, VstInt32 index = 0) {
    char buf[256];
    std::memset(buf, 0, sizeof(buf));
    h.dispatch(opcode, index, 0, buf);
    return buf;
}

}  // namespace

TEST(PluginIdentity, HostSeesNameVendorIdLayoutAndCapabilities) {
    PluginHarness h;
    AEffect* e = h->getAeffect();
    EXPECT_EQ(e->numParams, 1024);
    EXPECT_EQ(e->uniqueID, vstFourCC('T', 'a', 'V', 'o'));
    EXPECT_TRUE(e->flags & effFlagsIsSynth);
    EXPECT_EQ(dispatchText(h, effGetEffectName) + "/" + dispatchText(h, effGetVendorString), "Tavrolune/Vantorix");
    EXPECT_EQ(h.dispatch(effGetPlugCategory), kPlugCategSynth);
    const int before = h.host().wantMidi;
    h.dispatch(effMainsChanged, 0, 1);
    EXPECT_EQ(h.host().wantMidi, before + 1) << "resuming asks the host for MIDI";

    for (const char* text : {"receiveVstMidiEvent", "sendVstMidiEvent", "NKSCallbacks"}) {
        std::vector<char> buf(text, text + std::strlen(text) + 1);
        EXPECT_EQ(h.dispatch(effCanDo, 0, 0, buf.data()), text[0] == 's' ? 0 : 1) << text;
    }
    char nks[] = "NKSCallbacks";
    EXPECT_EQ(h->canDo(nks), 0);
    EXPECT_EQ(h.dispatch(effCanDo, 0, 0, nullptr), 0);

    // Output pins are described (label and flags only), input pins and bad indices are not.
    VstPinProperties pin, untouched;
    std::memset(&pin, 0x5A, sizeof(pin));
    ASSERT_EQ(h.dispatch(effGetOutputProperties, 1, 0, &pin), 1);
    EXPECT_STREQ(pin.label, "Tavrolune 2");
    EXPECT_EQ(pin.flags, kVstPinIsActive | kVstPinIsStereo);
    EXPECT_EQ(pin.shortLabel[0], 0x5A);
    std::memset(&untouched, 0x33, sizeof(untouched));
    const VstPinProperties copy = untouched;
    EXPECT_EQ(h.dispatch(effGetOutputProperties, 2, 0, &untouched) + h.dispatch(effGetOutputProperties, -1, 0, &untouched) +
                  h.dispatch(effGetInputProperties, 0, 0, &untouched) + h.dispatch(effGetOutputProperties, 0, 0, nullptr),
              0);
    EXPECT_EQ(std::memcmp(&untouched, &copy, sizeof(copy)), 0);
}

// The object is laid on whole large pages (and asks for them), and the host's close gives
// that memory back through the object's own release.
TEST(PluginMemory, TheObjectStartsOnALargePageBoundary) {
    for (int i = 0; i < 2; ++i) {
        PluginHarness h;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(&h.plugin()) % (uintptr_t(2) << 20), 0u);
    }
}

// Blocks from shared slabs come zeroed and apart, a slab goes with its last block, and past
// the last slab place a block comes on its own and goes back as such.
TEST(PluginMemory, SlabBlocksComeZeroedApartAndTheirSlabGoesWithTheLast) {
    struct Case {
        std::size_t bytes;
        int perSlab, takes, slabs;
    };
    const int most = largepages::Slabs::kMaxSlabs;
    const auto zero = [](unsigned char x) { return x == 0; };
    for (const Case c : {Case{4096, 8, 9, 2}, Case{64, 1, most + 3, most}}) {
        largepages::Slabs slabs(c.bytes, c.perSlab);
        std::vector<unsigned char*> taken;
        for (int i = 0; i < c.takes; ++i) {
            auto* b = static_cast<unsigned char*>(slabs.take());
            EXPECT_TRUE(std::all_of(b, b + c.bytes, zero));
            std::memset(b, 0xA5, c.bytes);
            for (unsigned char* o : taken) ASSERT_TRUE(b + c.bytes <= o || o + c.bytes <= b);
            taken.push_back(b);
        }
        EXPECT_EQ(slabs.slabCount(), c.slabs);
        slabs.give(taken[0]);  // dirtied, given back and taken again: zeroed
        taken[0] = static_cast<unsigned char*>(slabs.take());
        EXPECT_TRUE(std::all_of(taken[0], taken[0] + c.bytes, zero));
        EXPECT_EQ(slabs.slabCount(), c.slabs);
        for (unsigned char* b : taken) slabs.give(b);
        EXPECT_EQ(slabs.slabCount(), 0);
    }
}

// Made on large pages (where the system grants them on request), an instance takes a few
// hundred page faults; on small pages its buffers took some 18,000, most of its start-up.
// The process's first instance fills the filter tables too: some 3,600 more on small pages.
TEST(PluginMemory, MakingAnInstanceTakesFewPageFaults) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's shadow memory faults in on its own";
#endif
    std::ifstream mode("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string line;
    std::getline(mode, line);
    if (line.find("[never]") != std::string::npos || line.empty())
        GTEST_SKIP() << "no large pages on request here";
    // (The first is the process's first only where no instance came before it: CTest runs
    // each test on its own. Else it is made but not measured.)
    const bool fresh = !filterTablesReady();
    for (const char* which : {"first", "second"}) {
        struct rusage before, after;
        getrusage(RUSAGE_SELF, &before);
        { PluginHarness h; }
        getrusage(RUSAGE_SELF, &after);
        if (fresh || which[0] == 's')
            EXPECT_LT(after.ru_minflt - before.ru_minflt, 2000) << "page faults making the " << which << " instance";
    }
}

TEST(PluginHostDetection, FlagsFollowProductAndVendorStrings) {
    // The flags in order: Reaper, Solena, Propellerhead, Kore, Komplete or Maschine.
    const struct { std::string product, vendor, flags; } cases[] = {
        {"Reaper", "", "R...."}, {"REAPER64", "", "....."}, {"Live", "Ableton", "....."},
        {"Kore 2", "", "...K."}, {"Anything", "Propellerhead Software", "..P.."}, {"Maschine 2", "", "....M"},
        {"Komplete Kontrol", "", "....M"}, {"kx-solena", "", ".S..."}, {"", "", "....."},
        {std::string(300, 'R'), std::string(300, 'p'), "....."}};  // no NUL within the buffer: not over-read
    for (const auto& c : cases) {
        PluginHarness h(c.product, c.vendor);
        const std::string got = std::string(h->isHostReaper ? "R" : ".") + (h->isHostSolena ? "S" : ".") +
                                (h->isHostVendorProp ? "P" : ".") + (h->isHostKore ? "K" : ".") +
                                (h->isHostKompleteOrMaschine ? "M" : ".");
        EXPECT_EQ(got, c.flags) << c.product.substr(0, 20);
        EXPECT_EQ((h->getAeffect()->flags & effFlagsProgramChunks) != 0, c.flags != ".....") << c.product.substr(0, 20);
    }
}

TEST(PluginCapabilities, EditGesturesTellEditorThenHost) {
    PluginHarness h;
    auto* editor = dynamic_cast<uEditor*>(h->getEditor());
    ASSERT_NE(editor, nullptr);
    h->beginEdit(37);
    EXPECT_EQ(editor->getEditTag(), 37);
    EXPECT_EQ(h.host().beginEdits, std::vector<int>{37});
    h->endEdit(37);
    EXPECT_EQ(editor->getEditTag(), -1);
    EXPECT_EQ(h.host().endEdits.size(), 1u);
}

TEST(PluginVendorSpecific, NKSOnlyOnKompleteOrMaschineAndWithHostSupport) {
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
    EXPECT_EQ(h.dispatch(effVendorSpecific, (VstInt32)(0x4E490000u | 12), 0, buf), 1);
    uint32_t v32;
    std::memcpy(&v32, buf, 4);
    EXPECT_EQ(v32, 3u);
    EXPECT_EQ(h.dispatch(effVendorSpecific, (VstInt32)(0x4E490000u | 12), 0, nullptr), 0);
    EXPECT_EQ(h.dispatch(effVendorSpecific, (VstInt32)(0x4E490000u | 14), 0, buf), 0);
    // The wheel message is not forwarded on these hosts.
    EXPECT_EQ(h.dispatch(effVendorSpecific, vstFourCC('s', 't', 'C', 'A'), vstFourCC('W', 'h', 'e', 'e'), nullptr, 1.0f), 0);

    uint32_t payload = 7;
    EXPECT_FALSE(h->notifyNKSHost(12, &payload, 4)) << "the host does not support it";
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
    // 346 "Distort On/Off" is a switch.
    const struct { int tag; float in, out; } cases[] = {
        {1, 1.7f, 1.0f}, {1, -0.2f, 0.0f}, {1, std::numeric_limits<float>::quiet_NaN(), 0.0f}, {346, 0.49f, 0.0f}, {346, 0.5f, 1.0f}};
    for (const auto& c : cases) {
        p.setParameter(c.tag, c.in);
        EXPECT_EQ(p.getParameter(c.tag), c.out) << c.tag << " " << c.in;
        EXPECT_EQ(p.paramValue[c.tag], c.out) << c.tag << " " << c.in;
        EXPECT_EQ(p.paramEdited[c.tag], c.out) << c.tag << " " << c.in;
    }
    const float before = p.getParameter(5);
    p.setParameter(1024, 0.5f);
    p.setParameter(-1, 0.5f);
    EXPECT_EQ(p.getParameter(1024) + p.getParameter(-1), 0.0f);
    EXPECT_EQ(p.getParameter(5), before);
    // An automated write reports the stored value to the host.
    h->setParameterAutomated(346, 0.7f);
    EXPECT_EQ(h.host().automated, (std::vector<std::pair<int, float>>{{346, 1.0f}}));
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
    for (float bipolar : {1.0f, 0.0f}) {  // a bipolar ribbon rests at the centre, a unipolar one at 0
        rec.values[kRibbonValueTag] = 0.8f;
        rec.values[665] = bipolar;
        rec.values[666] = 0.839355f;  // spring time set
        rec.values[405] = rec.values[406] = 1.0f;  // latch, key entry
        p.setProgram(0);
        h.run(4096 + 1024);
        EXPECT_EQ(p.getParameter(kRibbonValueTag), bipolar * 0.5f);
        EXPECT_EQ(p.paramValue[kRibbonValueTag], bipolar * 0.5f);
        EXPECT_EQ(p.paramEdited[kRibbonValueTag], 0.8f);
        EXPECT_FALSE(p.ribbonSpringOn) << "armed at rest with no speed, the spring stops at once";
        EXPECT_EQ(p.getParameter(405) + p.paramValue[405] + p.paramOrig[406], 0.0f);
    }
}

TEST(PluginProgram, ModulationArpModesAreSwitchedOffUnlessLocked) {
    for (int lock : {0, 1}) {
        PluginHarness h;
        h.run(1);
        h->lockState = lock;
        TProgramRecord& rec = h->currentProgram();
        rec.values[407] = 0.9f;  // arp mode index 15
        rec.values[394] = 1.0f;
        rec.values[244] = 0.5f;
        h->setProgram(0);
        h.run(4096);
        if (lock) {
            EXPECT_EQ(h->paramValue[394], 1.0f);
            EXPECT_TRUE(h.host().automated.empty());
            continue;
        }
        EXPECT_EQ(h->paramValue[394] + h->paramValue[244], 0.0f);
        int told = 0;
        for (auto& a : h.host().automated) told += (a.first == 394 || a.first == 244) && a.second == 0.0f;
        EXPECT_EQ(told, 2);
    }
}

TEST(PluginProgram, OnlyProgramZeroAndNotWhileEditorOpens) {
    PluginHarness h;
    APlugin& p = h.plugin();
    h.run(1);
    p.currentProgram().values[9] = 0.9f;
    p.setProgram(1);
    p.setProgram(-1);
    p.editorOpening = 1;
    p.setProgram(0);
    EXPECT_FALSE(p.presetPending);
    p.editorOpening = 0;
    p.setProgram(0);
    EXPECT_TRUE(p.presetPending);
    EXPECT_EQ(p.paramOrig[9], 0.9f);
    char text[64] = "keep";
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

TEST(PluginChunk, PolicyFollowsTheHostAndABankIsValuesThenName) {
    const struct { const char* product; const char* vendor; bool bank, program; } cases[] = {
        {"REAPER", "", true, false}, {"KX-Solena", "", true, false}, {"Any", "Propellerhead", true, true},
        {"Maschine 2", "", true, false}, {"Kore 2", "", false, false}, {"Live", "", false, false}};
    for (const auto& c : cases) {
        PluginHarness h(c.product, c.vendor);
        EXPECT_EQ(getChunk(h, false).size(), c.bank ? 4128u : 0u) << c.product;
        EXPECT_EQ(getChunk(h, true).size(), c.program ? 4128u : 0u) << c.product;
    }
    PluginHarness h("REAPER");
    h.run(1);
    h->setParameter(9, 0.25f);
    const std::vector<unsigned char> chunk = getChunk(h, false);
    ASSERT_EQ(chunk.size(), 4128u);
    float v[2];
    std::memcpy(&v[0], &chunk[4 * 9], 4);
    std::memcpy(&v[1], &chunk[4 * 1], 4);
    EXPECT_EQ(v[0], 0.25f);
    EXPECT_EQ(v[1], 0.55f);
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

TEST(PluginChunk, AProgramChunkLeavesTheBankRecordTheHostHoldsAlone) {
    // A host offered both kinds keeps the bank record it was given while it hands back a
    // program chunk (effSetChunk index 1).
    PluginHarness h("Any", "Propellerhead");
    h.run(1);
    h->setParameter(9, 0.25f);
    void* bank = nullptr;
    ASSERT_EQ(h.dispatch(effGetChunk, 0, 0, &bank), 4128);
    const unsigned char* held = static_cast<const unsigned char*>(bank);
    const std::vector<unsigned char> before(held, held + 4128);
    std::vector<unsigned char> program = getChunk(h, true);
    ASSERT_EQ(program.size(), 4128u);
    const float v = 0.75f;
    std::memcpy(&program[4 * 9], &v, 4);
    EXPECT_EQ(h.dispatch(effSetChunk, 1, 4128, program.data()), 1);
    h.run(4096);
    EXPECT_EQ(h->getParameter(9), 0.75f);
    EXPECT_EQ(std::vector<unsigned char>(held, held + 4128), before);
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

TEST(PluginChunk, NameWithoutTerminatorIsCutAndARestoreWhileTheEditorOpensApplies) {
    PluginHarness h("REAPER");
    h.run(4097);
    std::vector<unsigned char> chunk = getChunk(h, false);
    std::memset(&chunk[4096], 'N', 32);
    const float v = 0.3f;
    std::memcpy(&chunk[4 * 9], &v, 4);
    h->editorOpening = 1;
    ASSERT_EQ(h->setChunk(chunk.data(), 4128, false), 1);
    h->editorOpening = 0;
    EXPECT_TRUE(h->presetPending);
    h.run(4096);
    EXPECT_EQ(h->paramValue[9], 0.3f);
    char name[64];
    h->getProgramName(name);
    EXPECT_EQ(std::string(name), std::string(31, 'N'));
    char hostBuf[64];
    std::memset(hostBuf, 0x7F, sizeof(hostBuf));
    h.dispatch(effGetProgramName, 0, 0, hostBuf);
    EXPECT_EQ(std::strlen(hostBuf), 23u);
    EXPECT_EQ(hostBuf[24], 0x7F);
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
    for (auto note : {std::array<int, 3>{0x90, 60, 100}, {0x80, 60, 0}, {0x90, 64, 100}}) {
        sendNotes(p, {note});
        h.run(64, 64);
    }
    ASSERT_TRUE(p.presetPending);
    EXPECT_FALSE(p.anyVoiceKeyOn()) << "nothing starts under the old program";
    h.run(4096, 64);
    ASSERT_FALSE(p.presetPending || p.presetApplying);
    int held60 = 0, held64 = 0;
    for (int v = 0; v < kNumVoices; ++v) {
        held60 += p.voiceKeyOn[v] && p.voiceNote[v] == 60;
        held64 += p.voiceKeyOn[v] && p.voiceNote[v] == 64;
    }
    EXPECT_EQ(held60 * 10 + held64, 1);
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
    sendNotes(p, {{0x90, 48, 110}, {0x90, 52, 110}, {0x90, 56, 110}});
    h.run(512);
    struct rusage before, after;
    getrusage(RUSAGE_SELF, &before);
    h.run(2 * 44100);
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_minflt - before.ru_minflt, 100) << "minor page faults while playing";
}
