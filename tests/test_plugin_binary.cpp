// The built shared object as real hosts meet it: its exported symbols, its entry, and
// the offline host's view of identity, parameters and saved state.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "support/PluginHarness.h"
#include "vst/vst2abi.h"

namespace {

struct CommandResult {
    int status = -1;
    std::string output;
};

// Every command runs with this test process's own home: the host's validation writes
// preferences and files there, which tests running beside it must not share.
CommandResult runCommand(const std::string& command) {
    useScratchHome();
    CommandResult r;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return r;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof(buf), pipe)) > 0) r.output.append(buf, n);
    const int raw = ::pclose(pipe);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return r;
}

std::string host() { return std::string(TAV_HOST_PATH); }
std::string plugin() { return std::string(TAV_PLUGIN_PATH); }

std::filesystem::path scratch(const std::string& name) {
    useScratchHome();
    std::filesystem::path dir = std::filesystem::path(std::getenv("HOME")) / "binary";
    std::filesystem::create_directories(dir);
    return dir / name;
}

VstIntPtr versionZeroHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return 0;
}

VstIntPtr plainHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

}  // namespace

TEST(PluginBinary, ExportsOnlyTheEntryPoints) {
    CommandResult r = runCommand("nm -D --defined-only '" + plugin() + "'");
    ASSERT_EQ(r.status, 0) << r.output;
    std::set<std::string> names;
    std::istringstream lines(r.output);
    std::string addr, kind, name;
    while (lines >> addr >> kind >> name) names.insert(name);
    EXPECT_EQ(names, (std::set<std::string>{"VSTPluginMain", "main", "main_macho"}));
}

TEST(PluginBinary, EveryEntryBuildsAPluginAndRefusesANonHost) {
    useScratchHome();
    void* lib = dlopen(plugin().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    using Entry = AEffect* (*)(audioMasterCallback);
    for (const char* symbol : {"VSTPluginMain", "main_macho", "main"}) {
        SCOPED_TRACE(symbol);
        auto entry = reinterpret_cast<Entry>(dlsym(lib, symbol));
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry(versionZeroHost), nullptr);
        AEffect* e = entry(plainHost);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->magic, kEffectMagic);
        EXPECT_EQ(e->numParams, 1024);
        e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
    }
    dlclose(lib);
}

TEST(PluginBinary, InfoShowsIdentityAndEveryParameter) {
    CommandResult r = runCommand("'" + host() + "' info '" + plugin() + "'");
    ASSERT_EQ(r.status, 0) << r.output;
    for (const char* expected : {"\"Tavrolune\"", "\"Vantorix\"", "0x00010000", "'TaVo'",
                                 "2 (synth)", "Tavrolune 2", "Main Volume",
                                 "Layer 3 FM 2 Volume Envelope Decay/Release",
                                 "Unused Parameter 1024 N/A"})
        EXPECT_NE(r.output.find(expected), std::string::npos) << expected;
}

TEST(PluginBinary, ValidatePasses) {
    CommandResult r = runCommand("'" + host() + "' validate '" + plugin() + "'");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find(" 0 failed"), std::string::npos) << r.output;
}

// The host counts the lock, wait and heap calls of the audio thread's calls, which it makes
// on a fresh thread every few blocks, with the editor closed and then open.
TEST(PluginBinary, AudioCallsOnFreshThreadsNeitherLockNorAllocate) {
    CommandResult r = runCommand("'" + host() + "' validate '" + plugin() + "' --only realtime-calls");
    if (r.output.find("SKIP realtime-calls") != std::string::npos) GTEST_SKIP() << "no counters in this build";
    EXPECT_EQ(r.status, 0) << r.output;
    // Once with the editor closed, once open.
    int clean = 0;
    for (size_t at = r.output.find(" 0 lock/wait and 0 heap calls in "); at != std::string::npos;
         at = r.output.find(" 0 lock/wait and 0 heap calls in ", at + 1))
        ++clean;
    EXPECT_EQ(clean, 2) << r.output;
    EXPECT_NE(r.output.find("editor open"), std::string::npos) << r.output;
}

TEST(PluginBinary, StateRoundTripsForChunkAndParameterHosts) {
    for (const char* product : {"REAPER", "Some Host"}) {
        SCOPED_TRACE(product);
        const std::string tag = product[0] == 'R' ? "chunk" : "params";
        const std::filesystem::path first = scratch(tag + "-1.state");
        const std::filesystem::path second = scratch(tag + "-2.state");
        const std::string hostArgs = std::string(" --host-product '") + product + "'";
        CommandResult save = runCommand("'" + host() + "' state '" + plugin() + "' --save '" +
                                        first.string() + "'" + hostArgs);
        ASSERT_EQ(save.status, 0) << save.output;
        CommandResult load = runCommand("'" + host() + "' state '" + plugin() + "' --load '" +
                                        first.string() + "' --save '" + second.string() + "'" +
                                        hostArgs);
        ASSERT_EQ(load.status, 0) << load.output;
        std::ifstream a(first, std::ios::binary), b(second, std::ios::binary);
        std::string bytesA((std::istreambuf_iterator<char>(a)), {});
        std::string bytesB((std::istreambuf_iterator<char>(b)), {});
        EXPECT_GT(bytesA.size(), 4096u);
        EXPECT_EQ(bytesA, bytesB);
    }
}

TEST(PluginBinary, TruncatedStateFileIsRefused) {
    const std::filesystem::path good = scratch("good.state");
    const std::filesystem::path cut = scratch("cut.state");
    ASSERT_EQ(runCommand("'" + host() + "' state '" + plugin() + "' --save '" + good.string() +
                         "' --host-product REAPER")
                  .status,
              0);
    std::ifstream in(good, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    std::ofstream(cut, std::ios::binary).write(bytes.data(), (std::streamsize)bytes.size() / 2);
    CommandResult r = runCommand("'" + host() + "' state '" + plugin() + "' --load '" +
                                 cut.string() + "' --host-product REAPER");
    EXPECT_NE(r.status, 0) << r.output;
}
