// The fixed amp and cabinet responses: their structure, their stability and that each
// model really shapes the spectrum differently.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "dsp/TAmpModels.h"

using namespace ampmodels;

namespace {

constexpr double kPi = 3.14159265358979323846;

// Impulse response of cab row r, run exactly as the distortion stage runs it: rings of 32
// with a shared write index, y = sum AA[t] in[i - t] + BB[t] out[i - t].
std::vector<double> cabImpulse(int r, int n) {
    std::vector<double> in(kCabTaps, 0.0), out(kCabTaps, 0.0), y(n);
    int i = 0;
    for (int k = 0; k < n; ++k) {
        in[i] = (k == 0) ? 1.0 : 0.0;
        double acc = 0.0;
        for (int t = 0; t < kCabTaps; ++t) {
            const int j = (i - t + kCabTaps) % kCabTaps;
            acc += CAB_AA[r][t] * in[j] + CAB_BB[r][t] * out[j];
        }
        out[i] = acc;
        y[k] = acc;
        i = (i + 1) % kCabTaps;
    }
    return y;
}

double magnitudeDb(const std::vector<double>& h, double freq, double rate) {
    std::complex<double> s = 0.0;
    for (std::size_t t = 0; t < h.size(); ++t)
        s += h[t] * std::polar(1.0, -2.0 * kPi * freq / rate * (double)t);
    return 20.0 * std::log10(std::abs(s) + 1e-30);
}

}  // namespace

TEST(AmpModels, SetZeroIsTheIdentityAndSetOneKeepsItsOpening) {
    EXPECT_EQ(AMP_RESPONSE[0][0], 1.0f);
    for (int t = 1; t < kAmpTaps; ++t) EXPECT_EQ(AMP_RESPONSE[0][t], 0.0f);
    const float opening[8] = {0.00391f, -0.00391f, 0.00388f, -0.0509f,
                              -0.1214f, -0.1137f,  -0.0747f, 0.0114f};
    for (int t = 0; t < 8; ++t) EXPECT_EQ(AMP_RESPONSE[1][t], opening[t]);
}

TEST(AmpModels, EverySpeakerResponseDiesOutAndShapesTheTop) {
    for (int k = 1; k < kAmpSets; ++k) {
        std::vector<double> h(AMP_RESPONSE[k], AMP_RESPONSE[k] + kAmpTaps);
        double head = 0.0, tail = 0.0;
        for (int t = 0; t < 16; ++t) head += h[t] * h[t];
        for (int t = 56; t < 64; ++t) tail += h[t] * h[t];
        EXPECT_LT(tail, head * 1e-3) << "set " << k;
        // A speaker: well down at 15 kHz against the mids.
        EXPECT_LT(magnitudeDb(h, 15000.0, 44100.0), magnitudeDb(h, 1500.0, 44100.0) - 10.0)
            << "set " << k;
    }
    // "Radio" has no bass at all.
    std::vector<double> radio(AMP_RESPONSE[5], AMP_RESPONSE[5] + kAmpTaps);
    EXPECT_LT(magnitudeDb(radio, 30.0, 44100.0), magnitudeDb(radio, 1500.0, 44100.0) - 20.0);
}

TEST(AmpModels, CabinetRowsKeepTheirStructure) {
    for (int r : {0, 4}) {
        EXPECT_EQ(CAB_AA[r][0], 1.0f);
        EXPECT_EQ(CAB_BB[r][0], 1.0f);
        for (int t = 1; t < kCabTaps; ++t) {
            EXPECT_EQ(CAB_AA[r][t], 0.0f);
            EXPECT_EQ(CAB_BB[r][t], 0.0f);
        }
    }
    for (int r : {1, 2, 3, 5, 6, 7}) EXPECT_EQ(CAB_BB[r][0], 0.0f) << r;
    EXPECT_EQ(CAB_AA[1][0], 0.9526f);
    EXPECT_EQ(CAB_AA[1][1], 0.4237f);
    EXPECT_EQ(CAB_AA[1][2], -0.2993f);
    EXPECT_EQ(CAB_AA[5][0], 0.6366f);
    EXPECT_EQ(CAB_AA[5][1], 0.5397f);
    EXPECT_EQ(CAB_AA[5][2], 0.3069f);
    EXPECT_EQ(CAB_BB[1][1], 0.3733f);
    EXPECT_EQ(CAB_BB[1][2], -0.3791f);
    EXPECT_EQ(CAB_BB[5][1], 0.6601f);
    EXPECT_EQ(CAB_BB[5][2], 0.1360f);
    EXPECT_EQ(cabRow(1, 44100.0f), 1);
    EXPECT_EQ(cabRow(3, 80000.0f), 3);
    EXPECT_EQ(cabRow(2, 96000.0f), 6);
    EXPECT_EQ(cabRow(9, 44100.0f), 3);
    EXPECT_EQ(cabRow(-1, 192000.0f), 4);
}

TEST(AmpModels, EveryCabinetIsStableAndDiffers) {
    for (int r : {1, 2, 3, 5, 6, 7}) {
        std::vector<double> h = cabImpulse(r, 20000);
        double early = 0.0, late = 0.0;
        for (int k = 0; k < 200; ++k) early += h[k] * h[k];
        for (int k = 10000; k < 20000; ++k) late += h[k] * h[k];
        EXPECT_GT(early, 1e-3) << "row " << r;
        EXPECT_LT(late, 1e-20) << "row " << r;
    }
    // The three cabinets do not sound alike: their 6 kHz to 1 kHz balances differ.
    double balance[4];
    for (int m = 1; m <= 3; ++m) {
        std::vector<double> h = cabImpulse(m, 4096);
        balance[m] = magnitudeDb(h, 6000.0, 44100.0) - magnitudeDb(h, 1000.0, 44100.0);
    }
    EXPECT_GT(std::fabs(balance[1] - balance[2]), 3.0);
    EXPECT_GT(std::fabs(balance[2] - balance[3]), 3.0);
    EXPECT_GT(std::fabs(balance[1] - balance[3]), 3.0);
}
