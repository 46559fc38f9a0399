// Pink noise and the small Fourier transform.
#include <cmath>
#include <cstring>

#include "engine/Fft.h"
#include "engine/RandSeed.h"
#include "plugin/uPlugin.h"

TRandSeed RandSeed;

namespace {
constexpr double kTwoPiD = 6.283185307179586476925;
}

// ---------------------------------------------------------------------------------------
// Pink noise
// ---------------------------------------------------------------------------------------

// A Voss-style generator: seven rows of random values in 0..0.25, refreshed at rates that
// fall by powers of two, and one extra value that changes only when all rows are redrawn.
// Only every second call changes anything; on average fewer than two rows are redrawn per
// change. The result is the sum of the eight values minus 1, so it stays within -1..1.
float APlugin::doPinkNoise(int generator) {
    if ((unsigned)generator >= (unsigned)kPinkGenerators) return 0.0f;
    TPinkNoise& g = pinkNoise[generator];

    const uint32_t old = g.counter;
    const uint32_t c = old + 1u;  // wraps at 2^32; only the low byte is looked at
    g.counter = c;
    if ((old & 1u) == 0u) return g.sum - 1.0f;

    int rows;  // rows r0 .. r(rows-1) are redrawn
    if ((c & 0xFEu) == 0u) {
        // All rows afresh, and the sum rebuilt from them so rounding never accumulates.
        float sum = 0.0f;
        for (float& r : g.rows) {
            r = 0.25f * RandSeed.nextUnipolar();
            sum += r;
        }
        g.sum = sum + 0.25f * RandSeed.nextUnipolar();
        return g.sum - 1.0f;
    } else if ((c & 0x3Eu) == 0u) {
        rows = 7;
    } else if ((c & 0x2Eu) == 0u) {
        rows = 6;
    } else if ((c & 0x1Eu) == 0u) {
        rows = 5;
    } else if ((c & 0x0Eu) == 0u) {
        rows = 4;
    } else if ((c & 0x06u) == 0u) {
        rows = 3;
    } else if ((c & 0x02u) == 0u) {
        rows = 2;
    } else {
        rows = 1;
    }
    for (int k = 0; k < rows; ++k) {
        const float r = 0.25f * RandSeed.nextUnipolar();
        g.sum += r - g.rows[k];
        g.rows[k] = r;
    }
    return g.sum - 1.0f;
}

// ---------------------------------------------------------------------------------------
// Fourier transform
// ---------------------------------------------------------------------------------------

namespace fft {

int numberOfBitsNeeded(int n) {
    if (n <= 0) return 0;
    int bits = 0;
    while (((unsigned)n & (1u << bits)) == 0u) ++bits;
    return bits;
}

int reverseBits(int index, int bits) {
    unsigned in = (unsigned)index;
    unsigned out = 0;
    for (int b = 0; b < bits; ++b) {
        out = (out << 1) | (in & 1u);
        in >>= 1;
    }
    return (int)out;
}

bool isValidSize(int n) { return n >= 2 && n <= kMaxSize && (n & (n - 1)) == 0; }

bool fourierTransform(double angle, int n, const float* inReal, const float* inImag,
                      float* outReal, float* outImag) {
    if (!isValidSize(n) || !inReal || !outReal || !outImag) return false;

    const int bits = numberOfBitsNeeded(n);
    for (int i = 0; i < n; ++i) {
        const int j = reverseBits(i, bits);
        outReal[j] = inReal[i];
        outImag[j] = inImag ? inImag[i] : 0.0f;
    }

    // Decimation in time. The twiddle factor w = e^(i theta j) is advanced by the
    // recurrence w' = w + (cos theta - 1) w + i sin theta w, with cos theta - 1 written as
    // -2 sin^2(theta / 2) so that small angles keep their precision.
    for (int block = 2; block <= n; block <<= 1) {
        const int half = block >> 1;
        const double theta = angle / (double)block;
        const double sh = std::sin(0.5 * theta);
        const double wpr = -2.0 * sh * sh;
        const double wpi = std::sin(theta);
        double wr = 1.0;
        double wi = 0.0;
        for (int j = 0; j < half; ++j) {
            for (int i = j; i < n; i += block) {
                const int k = i + half;
                const double tr = wr * outReal[k] - wi * outImag[k];
                const double ti = wr * outImag[k] + wi * outReal[k];
                const double ur = outReal[i];
                const double ui = outImag[i];
                outReal[k] = (float)(ur - tr);
                outImag[k] = (float)(ui - ti);
                outReal[i] = (float)(ur + tr);
                outImag[i] = (float)(ui + ti);
            }
            const double t = wr;
            wr += wr * wpr - wi * wpi;
            wi += wi * wpr + t * wpi;
        }
    }
    return true;
}

}  // namespace fft

int APlugin::numberOfBitsNeeded(int n) { return fft::numberOfBitsNeeded(n); }

int APlugin::reverseBits(int index, int bits) { return fft::reverseBits(index, bits); }

void APlugin::fourierTransform(double angle, int n) {
    fft::fourierTransform(angle, n, fftRealIn, fftImagIn, fftRealOut, fftImagOut);
}

void APlugin::fft(int n) { fourierTransform(kTwoPiD, n); }

void APlugin::ifft(int n) { fourierTransform(-kTwoPiD, n); }
