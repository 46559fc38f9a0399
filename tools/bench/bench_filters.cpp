// Cost of the voice filters: for each of the 35 modes of the multimode filter and for the
// three layer filters, nanoseconds per host sample of one voice layer with 1, 2 and 6
// stacked notes, at a static cutoff and with every note's envelope moving each sample (so
// the coefficients are recomputed every call). Then the cost of a note start (the resets of
// three layers) and the 16 voices x 3 layers figure of a 24 dB filter as a share of a core.
// Prints figures only.
//
// usage: tavrolune-bench-filters [--seconds S]
#include <time.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "dsp/FilterTables.h"
#include "dsp/TFilter.h"
#include "dsp/TLayerFilters.h"

namespace {

constexpr float kRate = 48000.0f;

double threadSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return (double)ts.tv_sec + 1e-9 * (double)ts.tv_nsec;
}

// Notes of a voice layer: a sawtooth per note, slightly detuned.
struct Notes {
    std::vector<stereoOverStruct> in, out;
    std::vector<float> phase;
    explicit Notes(int n) : in(n), out(n), phase(n, 0.0f) {}
    void next() {
        for (size_t i = 0; i < in.size(); ++i) {
            for (int s = 0; s < 2; ++s) {
                phase[i] += 0.0021f * (1.0f + 0.01f * (float)i);
                if (phase[i] >= 1.0f) phase[i] -= 1.0f;
                in[i].sub[s] = {2.0f * phase[i] - 1.0f, 1.0f - 2.0f * phase[i]};
            }
        }
    }
};

volatile float gSink;

// A slow envelope sweep, precomputed so that its cost does not count.
float sweep(long n) {
    static std::vector<float> table;
    if (table.empty()) {
        table.resize(4096);
        for (size_t i = 0; i < table.size(); ++i)
            table[i] = 0.2f * std::sin(6.2831853f * (float)i / (float)table.size());
    }
    return table[(size_t)n & 4095];
}

// ns per host sample of `run(notes, n)` over `samples` host samples.
template <typename F>
double timePerSample(int copies, long samples, F&& run) {
    Notes notes(copies);
    double best = 1e30;
    for (int rep = 0; rep < 3; ++rep) {
        const double t0 = threadSeconds();
        for (long n = 0; n < samples; ++n) {
            notes.next();
            run(notes, n);
        }
        const double t = threadSeconds() - t0;
        if (t < best) best = t;
        gSink = notes.out[0].sub[0].left;
    }
    return 1e9 * best / (double)samples;
}

// The cost of the note generator alone, subtracted from every figure.
double baseline(int copies, long samples) {
    return timePerSample(copies, samples, [](Notes& x, long) {
        for (size_t i = 0; i < x.in.size(); ++i) x.out[i] = x.in[i];
    });
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 1.0;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::atof(argv[++i]);
    if (!(seconds > 0.0)) seconds = 1.0;
    const long samples = (long)(seconds * kRate);
    initFilterTables();

    const int copyCounts[3] = {1, 2, 6};
    double base[3];
    for (int k = 0; k < 3; ++k) base[k] = baseline(copyCounts[k], samples);

    std::printf("Voice filter cost, ns per host sample of one voice layer (%.0f Hz, %.1f s)\n",
                kRate, seconds);
    std::printf("%-5s %10s %10s %10s   %10s %10s %10s\n", "mode", "static 1", "2", "6",
                "moving 1", "2", "6");
    auto filter = std::make_unique<TFilter>();
    for (int mode = 0; mode < kFilterModeCount; ++mode) {
        std::printf("%-5d", mode);
        for (int moving = 0; moving < 2; ++moving) {
            for (int k = 0; k < 3; ++k) {
                filter->init(kRate);
                filter->setType(mode, true);
                const double ns = timePerSample(copyCounts[k], samples, [&](Notes& x, long n) {
                    if (moving)
                        for (int c = 0; c < copyCounts[k]; ++c)
                            filter->setEnv(c, sweep(n + 7 * c));
                    filter->process({0.45f, 0.45f}, {0.0f, 0.0f}, 1.2f, 0.6f, 0.4f,
                                    copyCounts[k], x.in.data(), x.out.data());
                });
                std::printf(" %10.1f", ns - base[k]);
            }
            std::printf(moving ? "\n" : "  ");
        }
    }

    std::printf("\nLayer filters, ns per host sample of one voice layer\n");
    std::printf("%-10s %10s %10s %10s   %10s %10s %10s\n", "filter", "static 1", "2", "6",
                "moving 1", "2", "6");
    TBPFilter bp;
    TLPFilter lp;
    THPFilter hp;
    const char* names[3] = {"band-pass", "low-pass", "high-pass"};
    for (int which = 0; which < 3; ++which) {
        std::printf("%-10s", names[which]);
        for (int moving = 0; moving < 2; ++moving) {
            for (int k = 0; k < 3; ++k) {
                bp.init(kRate);
                lp.init(kRate);
                hp.init(kRate);
                const double ns = timePerSample(copyCounts[k], samples, [&](Notes& x, long n) {
                    const float e = moving ? sweep(n) : 0.0f;
                    const int c = copyCounts[k];
                    if (which == 0) {
                        for (int i = 0; i < c; ++i) bp.setEnv(i, e);
                        bp.process(true, {0.5f, 0.5f}, 0.0f, 1.2f, 0.5f, c, x.in.data(), x.out.data());
                    } else if (which == 1) {
                        for (int i = 0; i < c; ++i) lp.setEnv(i, e);
                        lp.process(0.5f, 0.0f, 0.5f, c, x.in.data(), x.out.data());
                    } else {
                        hp.process(0.3f, e, 0.2f, c, x.in.data(), x.out.data());
                    }
                });
                std::printf(" %10.1f", ns - base[k]);
            }
            std::printf(moving ? "\n" : "  ");
        }
    }

    // A note start resets the filters of three layers (a six-note chord: six voices).
    {
        std::vector<std::unique_ptr<TFilter>> layers;
        for (int i = 0; i < 18; ++i) {
            layers.push_back(std::make_unique<TFilter>());
            layers.back()->init(kRate);
        }
        const int rounds = 2000;
        const double t0 = threadSeconds();
        for (int r = 0; r < rounds; ++r)
            for (auto& f : layers) {
                f->setType(r & 1 ? 30 : 15, true);
                f->reset();
            }
        const double us = 1e6 * (threadSeconds() - t0) / rounds;
        std::printf("\nsix-note chord start (18 multimode filter resets): %.2f us\n", us);
    }

    // 16 voices x 3 layers of one note each through a 24 dB low-pass (mode 15) and the
    // high-pass, cutoff moving: the filters' share of one core.
    {
        std::vector<std::unique_ptr<TFilter>> filters;
        std::vector<THPFilter> highs(48);
        for (int i = 0; i < 48; ++i) {
            filters.push_back(std::make_unique<TFilter>());
            filters.back()->init(kRate);
            filters.back()->setType(15, true);
            highs[i].init(kRate);
        }
        const long n48 = samples / 4;
        const double ns = timePerSample(1, n48, [&](Notes& x, long n) {
            for (int i = 0; i < 48; ++i) {
                filters[i]->setEnv(0, sweep(n + i));
                filters[i]->process({0.45f, 0.45f}, {0.0f, 0.0f}, 1.0f, 0.5f, 0.0f, 1, x.in.data(),
                                    x.out.data());
                highs[i].process(0.1f, 0.0f, 0.0f, 1, x.out.data(), x.out.data());
            }
        }) - base[0];
        std::printf("16 x 3 voice layers, 24 dB low-pass + high-pass, moving cutoff: %.0f ns per "
                    "sample, %.2f %% of a core at %.0f Hz\n",
                    ns, 100.0 * ns * 1e-9 * kRate, kRate);
    }
    return 0;
}
