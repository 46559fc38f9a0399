// Start-up cost of the plug-in object: construction time of a first and a second instance
// in one process (the filter tables are filled only for the first), the time of each
// table builder, and the object's size and resident memory. Prints figures only.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "dsp/FilterTables.h"
#include "plugin/uPlugin.h"

namespace {

VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Resident set size of this process in KiB, 0 when unknown.
long residentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, 6, "VmRSS:") == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return 0;
}

double mib(double bytes) { return bytes / (1024.0 * 1024.0); }

template <typename F>
double timed(F&& f) {
    const Clock::time_point t = Clock::now();
    f();
    return msSince(t);
}

}  // namespace

int main() {
    // A private home, so the preferences the start-up writes never reach the user's.
    char scratch[] = "/tmp/tav-bench-XXXXXX";
    if (!mkdtemp(scratch)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::filesystem::path root = scratch;
    for (const char* sub : {"home", "config", "data", "cache"})
        std::filesystem::create_directories(root / sub);
    setenv("HOME", (root / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
    setenv("XDG_CACHE_HOME", (root / "cache").c_str(), 1);
    setenv("XDG_CONFIG_DIRS", (root / "none").c_str(), 1);

    const double engineTables =
        sizeof(APlugin::sinTable) + sizeof(APlugin::cosTable) +
        sizeof(APlugin::whiteNoiseTable) + sizeof(APlugin::pinkNoiseTable) +
        sizeof(APlugin::phaseWarpTable) + sizeof(APlugin::lfoWave) + sizeof(APlugin::oscWave) +
        sizeof(APlugin::noteBand) + sizeof(APlugin::sinTable4096);
    std::printf("sizeof(APlugin)              %10.2f MiB\n", mib(sizeof(APlugin)));
    std::printf("  engine lookup tables       %10.2f MiB\n", mib(engineTables));
    std::printf("filter tables (per process)  %10.2f MiB\n",
                mib((15.0 * kFilterTableSize + kFilterDampingSize) * sizeof(float)));

    const bool filledBefore = filterTablesReady();
    const long rss0 = residentKiB();
    AudioEffect* first = nullptr;
    const double firstMs = timed([&] { first = createEffectInstance(hostCallback); });
    const long rss1 = residentKiB();
    const bool filledByFirst = !filledBefore && filterTablesReady();
    AudioEffect* second = nullptr;
    const double secondMs = timed([&] { second = createEffectInstance(hostCallback); });
    const long rss2 = residentKiB();
    if (!first || !second) {
        std::fprintf(stderr, "construction failed\n");
        return 1;
    }

    std::printf("construction, first instance %10.2f ms   (filter tables %s)\n", firstMs,
                filledByFirst ? "filled here" : "not filled by construction");
    std::printf("construction, second instance%10.2f ms\n", secondMs);
    std::printf("resident memory: process start %.1f MiB, +%.1f MiB first, +%.1f MiB second\n",
                rss0 / 1024.0, (rss1 - rss0) / 1024.0, (rss2 - rss1) / 1024.0);
    std::printf("target: construction under 150 ms\n\n");

    // Each builder on its own, rebuilding the second instance's tables.
    APlugin* p = static_cast<APlugin*>(second);
    std::printf("table builders (second instance, rebuilt):\n");
    std::printf("  sine, cosine, white, pink  %10.2f ms\n",
                timed([&] { p->initSineNoiseTables(); }));
    std::printf("  phase warp                 %10.2f ms\n",
                timed([&] { p->initPhaseWarpTable(); }));
    if (!filterTablesReady())
        std::printf("  filter tables (first fill) %10.2f ms\n", timed([] { initFilterTables(); }));
    std::printf("  filter tables (again)      %10.4f ms\n", timed([] { initFilterTables(); }));
    std::printf("  LFO waves                  %10.2f ms\n", timed([&] { p->initLFOWaves(); }));
    std::printf("  oscillator wavetables      %10.2f ms\n", timed([&] { p->initWaveTables(); }));

    delete second;
    delete first;
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    return 0;
}
