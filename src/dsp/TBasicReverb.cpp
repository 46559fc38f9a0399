#include "dsp/TBasicReverb.h"

#include <cmath>
#include <cstring>
#include <type_traits>

#include <immintrin.h>

#include "dsp/LaneDispatch.h"

namespace {

constexpr float kRefRate = 44100.0f;
// Keeps the comb states out of the denormal range when the input falls silent.
constexpr float kDenormal = 1e-15f;

// The slow comb-length modulation moves a length by well under this factor.
constexpr float kLengthFactorHeadroom = 1.01f;

// The share of the wanted comb lengths that fits the lines, for the largest of the size
// times rate factors: 1 while the longest comb (with the modulation's headroom) fits.
float combFitFor(float scale, int longestBase) {
    const float limit = (float)(TComb::kRowMask - 1);
    const float need = scale * (float)longestBase * kLengthFactorHeadroom;
    return need > limit ? limit / need : 1.0f;  // NaN: 1
}

// A length in samples truncated into 0..limit before the conversion (NaN gives 0).
int32_t saturateLength(float len, int32_t limit) {
    if (!(len > 0.0f)) return 0;
    if (len >= (float)limit) return limit;
    return (int32_t)len;
}

typedef int32_t RevSelect __attribute__((vector_size(16)));

// Whether two values hold the same bits (NaNs and signed zeros included).
inline bool sameBits(const void* a, const void* b, size_t size) { return std::memcmp(a, b, size) == 0; }

// Rows to columns: a[0..3] become, in place, the vectors of their first, second, third
// and fourth elements.
inline void transpose(RevLanes a[4]) {
    const RevLanes t0 = __builtin_shuffle(a[0], a[1], RevSelect{0, 4, 1, 5});
    const RevLanes t1 = __builtin_shuffle(a[2], a[3], RevSelect{0, 4, 1, 5});
    const RevLanes t2 = __builtin_shuffle(a[0], a[1], RevSelect{2, 6, 3, 7});
    const RevLanes t3 = __builtin_shuffle(a[2], a[3], RevSelect{2, 6, 3, 7});
    a[0] = __builtin_shuffle(t0, t1, RevSelect{0, 1, 4, 5});
    a[1] = __builtin_shuffle(t0, t1, RevSelect{2, 3, 6, 7});
    a[2] = __builtin_shuffle(t2, t3, RevSelect{0, 1, 4, 5});
    a[3] = __builtin_shuffle(t2, t3, RevSelect{2, 3, 6, 7});
}

}  // namespace

// Comb lengths at 44100 Hz (left; the right channel is 23 samples longer).
const int TBasicReverb::kCombBase[2][kCombsPerSide] = {
    {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617, 1680, 1046},
    {1139, 1211, 1300, 1379, 1445, 1514, 1580, 1640, 1703, 1069},
};
const int TBasicReverb::kAllpassBase[2][kAllpassStages] = {
    {556, 441, 341, 225},
    {579, 464, 364, 248},
};

static int longestCombBase() {
    int m = 1;
    for (const auto& side : TBasicReverb::kCombBase)
        for (int b : side) m = b > m ? b : m;
    return m;
}

// --- TComb ----------------------------------------------------------------------------

void TComb::clear() {
    row = 0;
    batchRow = batchSize = batchPos = 0;
    batchDamp = batchRoom = 0.0f;
    for (int k = 0; k < kPerLane; ++k) {
        for (int lane = 0; lane < kLanes; ++lane) length[k][lane] = 1;
        state[k] = RevLanes{0.0f, 0.0f, 0.0f, 0.0f};
    }
    shortest = 1;
    lastLengthsValid = false;
    std::memset(lines, 0, sizeof(lines));
}

void TComb::setRows(int32_t longest) {
    int32_t want = 4096;
    while (want < longest && want < kRows) want *= 2;
    if (want == rows) return;
    flush();
    const int32_t was = rows;
    const int32_t keep = was < want ? was : want;
    // Lines of more rows lie further apart, so the last line moves first and none is
    // written over before it has moved; for fewer rows, the first moves first.
    for (int i = 0; i < kCombs; ++i) {
        const int c = want > was ? kCombs - 1 - i : i;
        float* const from = lines + (size_t)c * (size_t)(was + kLinePad);
        for (int32_t j = 0; j < keep; ++j) moving[j] = from[(row - keep + 1 + j) & (was - 1)];
        float* const to = lines + (size_t)c * (size_t)(want + kLinePad);
        std::memset(to, 0, sizeof(float) * (size_t)(want + kLinePad));
        for (int32_t j = 0; j < keep; ++j) to[(row - keep + 1 + j) & (want - 1)] = moving[j];
        std::memcpy(to + want, to, sizeof(float) * kBlock);
    }
    rows = want;
}

template <int Rows>
float* TComb::lineOf(int comb) {
    return lines + (size_t)comb * (Rows + kLinePad);
}
template <int Rows>
const float* TComb::lineOf(int comb) const {
    return lines + (size_t)comb * (Rows + kLinePad);
}

template <class Fn>
void TComb::withRows(Fn&& fn) {
    if (rows == 4096)
        fn(std::integral_constant<int, 4096>{});
    else if (rows == 8192)
        fn(std::integral_constant<int, 8192>{});
    else
        fn(std::integral_constant<int, kRows>{});
}

void TComb::setSize(const int32_t lengths[kCombs]) {
    // The prepared batch read with the old lengths: finish it where it stands.
    flush();
    if (lastLengthsValid && std::memcmp(lengths, lastLengths, sizeof(lastLengths)) == 0) return;
    std::memcpy(lastLengths, lengths, sizeof(lastLengths));
    lastLengthsValid = true;
    for (int lane = 0; lane < kLanes; ++lane)
        for (int k = 0; k < kPerLane; ++k) {
            int32_t len = lengths[lane * kPerLane + k];
            if (len > kRowMask) len = kRowMask;
            // A length of 0 (or less) reads the previous row, as a length of 1.
            length[k][lane] = len <= 0 ? 1 : len;
        }
    shortest = length[0][0];
    int32_t longest = 1;
    for (int k = 0; k < kPerLane; ++k)
        for (int lane = 0; lane < kLanes; ++lane) {
            if (length[k][lane] < shortest) shortest = length[k][lane];
            if (length[k][lane] > longest) longest = length[k][lane];
        }
    if (longest > rows) setRows(longest);
}

int32_t TComb::getLength(int comb) const {
    if (comb < 0 || comb >= kCombs) return 0;
    return length[comb % kPerLane][comb / kPerLane];
}

void TComb::flush() {
    withRows([this](auto r) { flushIn<decltype(r)::value>(); });
}

template <int Rows>
void TComb::flushIn() {
    constexpr int32_t kMask = Rows - 1;
    const int n = batchPos;
    if (n > 0) {
        const float room = batchRoom;
        for (int k = 0; k < kPerLane; ++k) {
            const RevLanes* st = ahead[k];
            const int in = k & 1;  // even combs take input 0, odd ones input 1
            float* l[kLanes];
            for (int lane = 0; lane < kLanes; ++lane) l[lane] = lineOf<Rows>(lane * kPerLane + k);
            int i = 0;
            // Four samples at a time: transposed, each lane's four rows are one store.
            for (; i + 4 <= n; i += 4) {
                RevLanes w[4];
                for (int q = 0; q < 4; ++q) w[q] = st[i + q] * room + inputs[i + q][in];
                const int32_t r = (batchRow + i) & kMask;
                if (r + 3 > kMask || r < kBlock) {
                    for (int q = 0; q < 4; ++q) writeRow<Rows>(l, (r + q) & kMask, w[q]);
                    continue;
                }
                transpose(w);
                for (int lane = 0; lane < kLanes; ++lane) std::memcpy(l[lane] + r, &w[lane], sizeof(w[lane]));
            }
            for (; i < n; ++i) writeRow<Rows>(l, (batchRow + i) & kMask, st[i] * room + inputs[i][in]);
            state[k] = st[n - 1];
        }
    }
    batchPos = batchSize = 0;
}

template <int Rows>
void TComb::writeRow(float* const l[kLanes], int32_t r, RevLanes w) {
    for (int lane = 0; lane < kLanes; ++lane) l[lane][r] = w[lane];
    if (r < kBlock) {
        // The first rows again past the end, for prepare's unwrapped reads.
        for (int lane = 0; lane < kLanes; ++lane) l[lane][Rows + r] = w[lane];
    }
}

// The lines span far more than the caches hold, and their forty read and forty write streams
// are more than the processor's own prefetcher follows: each row's cache lines are fetched
// into the second-level cache well before a batch reads and writes them. Nothing is computed
// differently. (Inlined by force: out of line, the compiler may take a call that only
// prefetches for one without effect, and drop it.)
template <int Rows>
__attribute__((always_inline)) inline void TComb::fetchAhead(int32_t last) const {
    const int32_t r = (last + kFetchAhead) & (Rows - 1);
    for (int k = 0; k < kPerLane; ++k) {
        for (int lane = 0; lane < kLanes; ++lane) {
            const float* const line = lineOf<Rows>(lane * kPerLane + k);
            __builtin_prefetch(line + r, 0, 2);
            __builtin_prefetch(line + ((r - length[k][lane]) & (Rows - 1)), 0, 2);
        }
    }
}

template <int Rows>
void TComb::prepare(int32_t first, float damp, float room) {
    const int n = shortest < kBlock ? shortest : kBlock;
    batchRow = first;
    batchSize = n;
    batchPos = 0;
    batchDamp = damp;
    batchRoom = room;
    fetchAhead<Rows>(first + n - 1);
    const float oneMinusDamp = 1.0f - damp;
    for (int i = 0; i < n; ++i) sums[i] = RevLanes{0.0f, 0.0f, 0.0f, 0.0f};
    for (int k = 0; k < kPerLane; ++k) {
        // Each lane reads n consecutive rows from its start; rows past the end continue
        // with the copies of the first rows, so no read needs wrapping.
        const float* l[kLanes];
        for (int lane = 0; lane < kLanes; ++lane)
            l[lane] = lineOf<Rows>(lane * kPerLane + k) + ((first - length[k][lane]) & (Rows - 1));
        RevLanes s = state[k];
        RevLanes* st = ahead[k];
        auto step = [&](int i, RevLanes v) {
            s = s * damp + v * oneMinusDamp + kDenormal;
            st[i] = s;
            sums[i] += v;
        };
        int i = 0;
        // Four samples at a time: four rows of each lane, transposed into one vector per
        // sample.
        for (; i + 4 <= n; i += 4) {
            RevLanes v[4];
            for (int lane = 0; lane < kLanes; ++lane) std::memcpy(&v[lane], l[lane] + i, sizeof(v[lane]));
            transpose(v);
            for (int q = 0; q < 4; ++q) step(i + q, v[q]);
        }
        for (; i < n; ++i) step(i, RevLanes{l[0][i], l[1][i], l[2][i], l[3][i]});
    }
}

RevLanes TComb::update(RevLanes evenIn, RevLanes oddIn, float damp, float room) {
    if (batchPos == batchSize || damp != batchDamp || room != batchRoom) {
        flush();
        withRows([&](auto r) { prepare<decltype(r)::value>((row + 1) & kRowMask, damp, room); });
    }
    row = (row + 1) & kRowMask;
    inputs[batchPos][0] = evenIn;
    inputs[batchPos][1] = oddIn;
    return sums[batchPos++];
}

void TComb::run(int n, const RevLanes (*input)[2], float damp, float room, RevLanes* out) {
    // A batch the per-sample path left half done: its done rows are written, the rest is
    // worked out again here with the same operations.
    flush();
    withRows([&](auto r) { runIn<decltype(r)::value>(n, input, damp, room, out); });
}

template <int Rows>
void TComb::runIn(int n, const RevLanes (*input)[2], float damp, float room, RevLanes* out) {
    constexpr int32_t kMask = Rows - 1;
    const int most = shortest < kBlock ? shortest : kBlock;
    const float oneMinusDamp = 1.0f - damp;
    for (int from = 0; from < n;) {
        const int m = n - from < most ? n - from : most;
        const int32_t first = (row + 1) & kRowMask;
        const int32_t at = first & kMask;  // its place in each line
        RevLanes* sum = out + from;
        for (int i = 0; i < m; ++i) sum[i] = RevLanes{0.0f, 0.0f, 0.0f, 0.0f};
        fetchAhead<Rows>(first + m - 1);
        if (at >= kBlock && at + m - 1 <= kMask && lanes::wide()) {
            runPieceWide<Rows>(m, at, input + from, damp, room, sum);
            row = (row + m) & kRowMask;
            from += m;
            continue;
        }
        for (int k = 0; k < kPerLane; ++k) {
            // Even combs take the first input, odd ones the second: sample i's is in[2 * i].
            const RevLanes* in = &input[from][k & 1];
            const float* src[kLanes];
            float* dst[kLanes];
            for (int lane = 0; lane < kLanes; ++lane) {
                dst[lane] = lineOf<Rows>(lane * kPerLane + k);
                src[lane] = dst[lane] + ((first - length[k][lane]) & kMask);
            }
            RevLanes s = state[k];
            int i = 0;
            if (at >= kBlock && at + m - 1 <= kMask) {
                // No written row wraps or has a copy past the end (all but two pieces in a
                // turn of the line): the four lanes' rows are one pointer and a fixed stride
                // apart.
                float* const w0 = lineOf<Rows>(k) + at;
                constexpr int kStride = kPerLane * (Rows + kLinePad);
                const float* const r0 = src[0];
                const float* const r1 = src[1];
                const float* const r2 = src[2];
                const float* const r3 = src[3];
                for (; i + 4 <= m; i += 4) {
                    RevLanes v[4];
                    std::memcpy(&v[0], r0 + i, sizeof(v[0]));
                    std::memcpy(&v[1], r1 + i, sizeof(v[1]));
                    std::memcpy(&v[2], r2 + i, sizeof(v[2]));
                    std::memcpy(&v[3], r3 + i, sizeof(v[3]));
                    transpose(v);
                    for (int q = 0; q < 4; ++q) {
                        s = s * damp + v[q] * oneMinusDamp + kDenormal;
                        sum[i + q] += v[q];
                        v[q] = s * room + in[2 * (i + q)];
                    }
                    transpose(v);
                    for (int lane = 0; lane < kLanes; ++lane)
                        std::memcpy(w0 + lane * kStride + i, &v[lane], sizeof(v[lane]));
                }
                for (; i < m; ++i) {
                    const RevLanes v = {r0[i], r1[i], r2[i], r3[i]};
                    s = s * damp + v * oneMinusDamp + kDenormal;
                    sum[i] += v;
                    const RevLanes w = s * room + in[2 * i];
                    for (int lane = 0; lane < kLanes; ++lane) w0[lane * kStride + i] = w[lane];
                }
                state[k] = s;
                continue;
            }
            for (; i + 4 <= m; i += 4) {
                RevLanes v[4];
                for (int lane = 0; lane < kLanes; ++lane) std::memcpy(&v[lane], src[lane] + i, sizeof(v[lane]));
                transpose(v);
                RevLanes w[4];
                for (int q = 0; q < 4; ++q) {
                    s = s * damp + v[q] * oneMinusDamp + kDenormal;
                    sum[i + q] += v[q];
                    w[q] = s * room + in[2 * (i + q)];
                }
                const int32_t r = (first + i) & kMask;
                if (r + 3 > kMask || r < kBlock) {
                    for (int q = 0; q < 4; ++q) writeRow<Rows>(dst, (r + q) & kMask, w[q]);
                    continue;
                }
                transpose(w);
                for (int lane = 0; lane < kLanes; ++lane) std::memcpy(dst[lane] + r, &w[lane], sizeof(w[lane]));
            }
            for (; i < m; ++i) {
                const RevLanes v = {src[0][i], src[1][i], src[2][i], src[3][i]};
                s = s * damp + v * oneMinusDamp + kDenormal;
                sum[i] += v;
                writeRow<Rows>(dst, (first + i) & kMask, s * room + in[2 * i]);
            }
            state[k] = s;
        }
        row = (row + m) & kRowMask;
        from += m;
    }
}

namespace {

// transpose() on both halves of four eight-lane vectors at once.
__attribute__((always_inline, target("avx2"))) inline void transposeHalves(__m256 a[4]) {
    const __m256 t0 = _mm256_unpacklo_ps(a[0], a[1]);
    const __m256 t1 = _mm256_unpacklo_ps(a[2], a[3]);
    const __m256 t2 = _mm256_unpackhi_ps(a[0], a[1]);
    const __m256 t3 = _mm256_unpackhi_ps(a[2], a[3]);
    a[0] = _mm256_shuffle_ps(t0, t1, 0x44);
    a[1] = _mm256_shuffle_ps(t0, t1, 0xee);
    a[2] = _mm256_shuffle_ps(t2, t3, 0x44);
    a[3] = _mm256_shuffle_ps(t2, t3, 0xee);
}

__attribute__((always_inline, target("avx2"))) inline __m128 toM128(RevLanes v) {
    __m128 r;
    std::memcpy(&r, &v, sizeof(r));
    return r;
}

__attribute__((always_inline, target("avx2"))) inline RevLanes fromM128(__m128 v) {
    RevLanes r;
    std::memcpy(&r, &v, sizeof(r));
    return r;
}

}  // namespace

template <int Rows>
__attribute__((target("avx2"))) void TComb::runPieceWide(int m, int32_t at, const RevLanes (*in)[2],
                                                          float damp, float room, RevLanes* sum) {
    static_assert(kPerLane % 2 == 0, "the comb indexes pair up");
    constexpr int kLine = Rows + kLinePad;
    constexpr int kStride = kPerLane * kLine;
    const __m256 dampV = _mm256_set1_ps(damp);
    const __m256 keepV = _mm256_set1_ps(1.0f - damp);
    const __m256 roomV = _mm256_set1_ps(room);
    const __m256 denormalV = _mm256_set1_ps(kDenormal);
    const float* const in0 = reinterpret_cast<const float*>(in);
    for (int k = 0; k < kPerLane; k += 2) {
        const float* a[kLanes];  // rows of comb index k
        const float* b[kLanes];  // rows of comb index k + 1
        for (int lane = 0; lane < kLanes; ++lane) {
            a[lane] = lineOf<Rows>(lane * kPerLane + k) + ((at - length[k][lane]) & (Rows - 1));
            b[lane] = lineOf<Rows>(lane * kPerLane + k + 1) + ((at - length[k + 1][lane]) & (Rows - 1));
        }
        // Row `at` of comb index k in lane 0; index k + 1 is one line further, each lane
        // kStride further.
        float* const w0 = lineOf<Rows>(k) + at;
        __m256 s = _mm256_set_m128(toM128(state[k + 1]), toM128(state[k]));
        int i = 0;
        for (; i + 4 <= m; i += 4) {
            __m256 v[4];
            for (int lane = 0; lane < kLanes; ++lane)
                v[lane] = _mm256_set_m128(_mm_loadu_ps(b[lane] + i), _mm_loadu_ps(a[lane] + i));
            transposeHalves(v);
            for (int q = 0; q < 4; ++q) {
                s = _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(s, dampV), _mm256_mul_ps(v[q], keepV)), denormalV);
                float* const sq = reinterpret_cast<float*>(sum + i + q);
                const __m128 t = _mm_add_ps(_mm_loadu_ps(sq), _mm256_castps256_ps128(v[q]));
                _mm_storeu_ps(sq, _mm_add_ps(t, _mm256_extractf128_ps(v[q], 1)));
                v[q] = _mm256_add_ps(_mm256_mul_ps(s, roomV), _mm256_loadu_ps(in0 + 8 * (i + q)));
            }
            transposeHalves(v);
            for (int lane = 0; lane < kLanes; ++lane) {
                _mm_storeu_ps(w0 + lane * kStride + i, _mm256_castps256_ps128(v[lane]));
                _mm_storeu_ps(w0 + lane * kStride + kLine + i, _mm256_extractf128_ps(v[lane], 1));
            }
        }
        RevLanes sa = fromM128(_mm256_castps256_ps128(s));
        RevLanes sb = fromM128(_mm256_extractf128_ps(s, 1));
        for (; i < m; ++i) {
            const RevLanes va = {a[0][i], a[1][i], a[2][i], a[3][i]};
            sa = sa * damp + va * (1.0f - damp) + kDenormal;
            sum[i] += va;
            const RevLanes wa = sa * room + in[i][0];
            const RevLanes vb = {b[0][i], b[1][i], b[2][i], b[3][i]};
            sb = sb * damp + vb * (1.0f - damp) + kDenormal;
            sum[i] += vb;
            const RevLanes wb = sb * room + in[i][1];
            for (int lane = 0; lane < kLanes; ++lane) {
                w0[lane * kStride + i] = wa[lane];
                w0[lane * kStride + kLine + i] = wb[lane];
            }
        }
        state[k] = sa;
        state[k + 1] = sb;
    }
}

// --- TAllpass -------------------------------------------------------------------------

void TAllpass::init(int leftLength, int rightLength) {
    const int lengths[2] = {leftLength, rightLength};
    for (int ch = 0; ch < 2; ++ch) {
        int n = lengths[ch];
        if (n < 1) n = 1;
        if (n > kMaxLength) n = kMaxLength;
        length[ch] = n;
    }
    feedback = 0.5f;
    clear();
}

void TAllpass::clear() {
    pos[0] = pos[1] = 0;
    std::memset(line, 0, sizeof(line));
}

RevLanes TAllpass::process(RevLanes x) {
    if (++pos[0] >= length[0]) pos[0] = 0;
    if (++pos[1] >= length[1]) pos[1] = 0;
    float* l = line[0][pos[0]];
    float* r = line[1][pos[1]];
    const RevLanes y = {l[0], l[1], r[0], r[1]};
    const RevLanes w = feedback * y + x + 1e-8f;
    l[0] = w[0];
    l[1] = w[1];
    r[0] = w[2];
    r[1] = w[3];
    return y - x;
}

// The rows of a piece are distinct, so no sample of it reads a row another one wrote: the
// samples are independent, and two run side by side, each with the one-sample operations.
__attribute__((target("avx2"))) int TAllpass::runPieceWide(int m, float* l, float* r, float fb, RevLanes* x) {
    const __m256 fbV = _mm256_set1_ps(fb);
    const __m256 offsetV = _mm256_set1_ps(1e-8f);
    float* const xf = reinterpret_cast<float*>(x);
    int q = 0;
    for (; q + 2 <= m; q += 2) {
        // Rows q, q + 1 of the left line (A, B each), then of the right: reordered into
        // sample q's (A left, B left, A right, B right), then sample q + 1's.
        const __m256 rows = _mm256_set_m128(_mm_loadu_ps(r + 2 * q), _mm_loadu_ps(l + 2 * q));
        const __m256 y = _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(rows), 0xd8));
        const __m256 in = _mm256_loadu_ps(xf + 4 * q);
        const __m256 w = _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(fbV, y), in), offsetV);
        const __m256 back = _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(w), 0xd8));
        _mm_storeu_ps(l + 2 * q, _mm256_castps256_ps128(back));
        _mm_storeu_ps(r + 2 * q, _mm256_extractf128_ps(back, 1));
        _mm256_storeu_ps(xf + 4 * q, _mm256_sub_ps(y, in));
    }
    return q;
}

void TAllpass::processRun(int n, RevLanes* x) {
    int32_t p0 = pos[0], p1 = pos[1];
    const int32_t len0 = length[0], len1 = length[1];
    const float fb = feedback;
    for (int j = 0; j < n;) {
        // Samples before either position wraps run without the wrap tests.
        int32_t m = n - j;
        if (len0 - 1 - p0 < m) m = len0 - 1 - p0;
        if (len1 - 1 - p1 < m) m = len1 - 1 - p1;
        if (m > 0) {
            float* l = line[0][p0 + 1];
            float* r = line[1][p1 + 1];
            int q = 0;
            if (lanes::wide()) q = runPieceWide(m, l, r, fb, x + j);
            for (; q < m; ++q) {
                const RevLanes y = {l[2 * q], l[2 * q + 1], r[2 * q], r[2 * q + 1]};
                const RevLanes w = fb * y + x[j + q] + 1e-8f;
                l[2 * q] = w[0];
                l[2 * q + 1] = w[1];
                r[2 * q] = w[2];
                r[2 * q + 1] = w[3];
                x[j + q] = y - x[j + q];
            }
            p0 += m;
            p1 += m;
            j += m;
            continue;
        }
        if (++p0 >= len0) p0 = 0;
        if (++p1 >= len1) p1 = 0;
        float* l = line[0][p0];
        float* r = line[1][p1];
        const RevLanes y = {l[0], l[1], r[0], r[1]};
        const RevLanes w = fb * y + x[j] + 1e-8f;
        l[0] = w[0];
        l[1] = w[1];
        r[0] = w[2];
        r[1] = w[3];
        x[j] = y - x[j];
        ++j;
    }
    pos[0] = p0;
    pos[1] = p1;
}

// --- TBasicReverb ---------------------------------------------------------------------

TBasicReverb::TBasicReverb() {
    comb_.clear();
    for (TAllpass& ap : allpass) ap.init(1, 1);
    create();
}

void TBasicReverb::create() {
    rate = kRefRate;
    room = 0.9099097f;
    damp = 0.275f;
    roomKeyValid = dampKeyValid = false;
    update();
    init();
    ringPos = 0;
    for (int32_t& w : widenOffset) w = 0;
    std::memset(ring, 0, sizeof(ring));
}

void TBasicReverb::init() {
    combFit = combFitFor(rate / kRefRate, longestCombBase());
    update();
    const float k = combFit < 1.0f ? rate / kRefRate * combFit : rate / kRefRate;
    // The longest comb the plug-in can ask for at this rate (setSize's lengths, give or
    // take their rounding) is all the lines need to hold.
    const float largest = kLargestSize * rate / kRefRate;
    const float largestFit = combFitFor(largest, longestCombBase());
    comb_.setRows(saturateLength((largestFit < 1.0f ? largest * largestFit : largest) *
                                     (float)longestCombBase() * kLargestLengthFactor + 2.5f,
                                 TComb::kRowMask));
    for (int bank = 0; bank < 2; ++bank)
        for (int j = 0; j < kCombsPerSide; ++j) lengthFactor[bank][j] = 1.0f;
    sizeKeyValid = false;  // lengths and combFit set here, not by setSize
    int32_t lengths[TComb::kCombs];
    for (int bank = 0; bank < 2; ++bank)
        for (int ch = 0; ch < 2; ++ch)
            for (int j = 0; j < kCombsPerSide; ++j)
                lengths[bank * 20 + ch * 10 + j] =
                    saturateLength(kCombBase[ch][j] * k + 0.5f, TComb::kRowMask);
    comb_.setSize(lengths);
    lowState = highState = RevLanes{0.0f, 0.0f, 0.0f, 0.0f};
    for (int s = 0; s < kAllpassStages; ++s)
        allpass[s].init(saturateLength(kAllpassBase[0][s] * k + 0.5f, TAllpass::kMaxLength),
                        saturateLength(kAllpassBase[1][s] * k + 0.5f, TAllpass::kMaxLength));
    mute();
}

void TBasicReverb::setSampleRate(float newRate) {
    if (!(newRate >= 1.0f)) return;
    if (std::fabs(newRate - rate) < 0.0001f) return;
    rate = newRate;
    init();
}

void TBasicReverb::mute() {
    // clear() also resets the write row and the comb states; the lengths stay.
    int32_t lengths[TComb::kCombs];
    for (int j = 0; j < TComb::kCombs; ++j) lengths[j] = comb_.getLength(j);
    comb_.clear();
    comb_.setSize(lengths);
    lowState = highState = RevLanes{0.0f, 0.0f, 0.0f, 0.0f};
    for (TAllpass& ap : allpass) ap.clear();
    std::memset(ring, 0, sizeof(ring));
    ringPos = 0;
}

void TBasicReverb::update() {
    dampLane = damp;
    oneMinusDampLane = 1.0f - damp;
    // Shortened combs pass their feedback more often: room^fit per pass keeps the decay
    // time; their echoes come 1 / fit times as densely, so the output is lowered by the
    // square root of fit to keep the tail's energy. The rates and sizes the plug-in accepts
    // need fit >= 0.19; the floor only keeps absurd sizes' feedback clearly below 1.
    const float fit = combFit > 0.125f ? combFit : 0.125f;
    roomLane = combFit < 1.0f ? std::pow(room, fit) : room;
    outGain = combFit < 1.0f ? 0.025f * std::sqrt(fit) : 0.025f;
}

void TBasicReverb::setRoomSize(float x) {
    if (!(x >= 0.0f)) x = 0.0f;
    if (x > 1.0f) x = 1.0f;
    if (roomKeyValid && sameBits(&x, &roomKey, sizeof(x))) return;
    roomKey = x;
    roomKeyValid = true;
    room = std::log10(20.0f * x + 1.0f) * 0.249579f + 0.65f;
    update();
}

void TBasicReverb::setDamp(float x) {
    if (!(x >= 0.0f)) x = 0.0f;
    if (x > 1.0f) x = 1.0f;
    if (dampKeyValid && sameBits(&x, &dampKey, sizeof(x))) return;
    dampKey = x;
    dampKeyValid = true;
    damp = 0.55f * x;
    update();
}

void TBasicReverb::setWiden(int t0, int t1, int t2, int t3) {
    const int taps[4] = {t0, t1, t2, t3};
    for (int i = 0; i < 4; ++i) {
        int t = taps[i];
        if (t < 0) t = 0;
        if (t > kRingMask) t = kRingMask;
        widenOffset[i] = kRingMask - t;
    }
}

void TBasicReverb::setMod(float a, float b, float c, float d) {
    for (int j = 0; j < kCombsPerSide; ++j) {
        lengthFactor[0][j] = (j & 1) ? b : a;
        lengthFactor[1][j] = (j & 1) ? d : c;
    }
}

void TBasicReverb::setSize(float sizeA, float sizeB) {
    // Lengths and combFit follow from the sizes, the rate and the length factors alone.
    SizeKey key;
    key.sizeA = sizeA;
    key.sizeB = sizeB;
    key.rate = rate;
    std::memcpy(key.factor, lengthFactor, sizeof(key.factor));
    if (sizeKeyValid && sameBits(&key, &sizeKey, sizeof(key))) return;
    sizeKey = key;
    sizeKeyValid = true;
    const float sizes[2] = {sizeA, sizeB};
    // One share for both banks keeps their ratio.
    const float fit = combFitFor(std::fmax(sizeA, sizeB) * rate / kRefRate, longestCombBase());
    if (fit != combFit) {
        combFit = fit;
        update();
    }
    int32_t lengths[TComb::kCombs];
    static_assert(kCombsPerSide == 10, "three vectors of four cover a side, the last two overlapping");
    const RevLanes limit = {(float)TComb::kRowMask, (float)TComb::kRowMask, (float)TComb::kRowMask,
                            (float)TComb::kRowMask};
    static constexpr int kStarts[3] = {0, 4, 6};
    const RevSelect limitInt = {TComb::kRowMask, TComb::kRowMask, TComb::kRowMask, TComb::kRowMask};
    for (int bank = 0; bank < 2; ++bank) {
        float scale = sizes[bank] * rate / kRefRate;
        if (fit < 1.0f) scale *= fit;
        for (int ch = 0; ch < 2; ++ch)
            for (int j : kStarts) {
                // saturateLength(scale * base * factor + 0.5f) of four combs at once.
                RevSelect base;
                RevLanes factor;
                std::memcpy(&base, &kCombBase[ch][j], sizeof(base));
                std::memcpy(&factor, &lengthFactor[bank][j], sizeof(factor));
                const RevLanes len = scale * __builtin_convertvector(base, RevLanes) * factor + 0.5f;
                RevSelect whole;
                const __m128i t = _mm_cvttps_epi32((__m128)len);
                std::memcpy(&whole, &t, sizeof(whole));
                const RevSelect atLimit = len >= limit;
                const RevSelect positive = len > RevLanes{0.0f, 0.0f, 0.0f, 0.0f};
                const RevSelect r = ((whole & ~atLimit) | (limitInt & atLimit)) & positive;
                std::memcpy(&lengths[bank * 20 + ch * 10 + j], &r, sizeof(r));
            }
    }
    comb_.setSize(lengths);
}

void TBasicReverb::setFilter(float low, float high) {
    const float key[3] = {low, high, rate};
    if (filterKeyValid && sameBits(key, filterKey, sizeof(key))) return;
    std::memcpy(filterKey, key, sizeof(key));
    filterKeyValid = true;
    const float fl = 20.0f * std::exp2(10.0f * low) / rate;
    const float fh = 20.0f * std::exp2(10.0f * high) / rate;
    float a = fl > 0.3f ? 0.6f : 2.0f * fl;
    if (a > 0.59f) a = 1.0f;  // low-pass fully open
    float b = fh > 0.3f ? 0.6f : 2.0f * fh;
    if (b < 0.01f) b = 0.0f;  // high-pass off
    if (!(a >= 0.0f)) a = 1.0f;
    if (!(b >= 0.0f)) b = 0.0f;
    filterA = a;
    filterB = b;
    filterOneMinusA = 1.0f - a;
    filterOneMinusB = 1.0f - b;
}

void TBasicReverb::process(float inL, float inR, float& o1, float& o2, float& o3, float& o4) {
    ringPos = (ringPos + 1) & kRingMask;
    ring[0][ringPos] = inL;
    ring[1][ringPos] = inR;
    const float tap1 = ring[0][(ringPos + widenOffset[0]) & kRingMask];
    const float tap2 = ring[1][(ringPos + widenOffset[1]) & kRingMask];
    const float tap3 = ring[0][(ringPos + widenOffset[2]) & kRingMask];
    const float tap4 = ring[1][(ringPos + widenOffset[3]) & kRingMask];

    // Comb inputs per lane (A left, A right, B left, B right): the even combs take inL,
    // tap2, inL, tap4 and the odd ones tap1, inR, tap3, inR.
    const RevLanes evenIn = {inL, tap2, inL, tap4};
    const RevLanes oddIn = {tap1, inR, tap3, inR};
    const RevLanes sums = comb_.update(evenIn, oddIn, dampLane, roomLane);
    lowState = lowState * filterOneMinusA + sums * filterA;
    highState = highState * filterOneMinusB + lowState * filterB;
    const RevLanes band = lowState - highState;
    // The all-pass lanes are A left, B left, A right, B right.
    RevLanes x = {band[0], band[2], band[1], band[3]};
    for (int s = 0; s < kAllpassStages; ++s) x = allpass[s].process(x);
    x *= outGain;
    o1 = x[0];
    o2 = x[2];
    o3 = x[1];
    o4 = x[3];
}

void TBasicReverb::processRun(int n, const float* inL, const float* inR, RevLanes* out) {
    processRunUngained(n, inL, inR, out);
    const float gain = outGain;
    for (int j = 0; j < n; ++j) out[j] *= gain;
}

// The combs and the output band-pass sample by sample, then each all-pass stage over the
// whole run: every stage's state moves on sample by sample as in process().
void TBasicReverb::processRunUngained(int n, const float* inL, const float* inR, RevLanes* out) {
    int32_t pos = ringPos;
    const int32_t w0 = widenOffset[0], w1 = widenOffset[1], w2 = widenOffset[2], w3 = widenOffset[3];
    const float dampL = dampLane, roomL = roomLane;
    const float fA = filterA, fB = filterB, fA1 = filterOneMinusA, fB1 = filterOneMinusB;
    RevLanes low = lowState, high = highState;
    float* ringL = ring[0];
    float* ringR = ring[1];
    for (int from = 0; from < n; from += kMaxRun) {
        const int m = n - from < kMaxRun ? n - from : kMaxRun;
        // The comb inputs depend on the input and the ring alone, so they are all gathered
        // first (each tap reads the ring as it stands at its own sample), then the combs run
        // over the whole piece.
        RevLanes combIn[kMaxRun][2];
        // Where neither the written rows nor any tap's rows wrap within the piece, the rows
        // are plain offsets from the first ones (each tap still reads the ring as it stands
        // at its own sample).
        const int32_t first = (pos + 1) & kRingMask;
        const int32_t t0 = (first + w0) & kRingMask, t1 = (first + w1) & kRingMask;
        const int32_t t2 = (first + w2) & kRingMask, t3 = (first + w3) & kRingMask;
        const int32_t last = kRingMask - (m - 1);
        if (first <= last && t0 <= last && t1 <= last && t2 <= last && t3 <= last) {
            float* const wl = ringL + first;
            float* const wr = ringR + first;
            const float* const r0 = ringL + t0;
            const float* const r1 = ringR + t1;
            const float* const r2 = ringL + t2;
            const float* const r3 = ringR + t3;
            int j = 0;
            // Four samples at a time: their rows written first, then the taps read. A tap
            // one to three rows ahead of the written row would read a row the block writes
            // later; any other reads what the sample by sample loop reads.
            const auto ahead = [first](int32_t t) { return t - first >= 1 && t - first <= 3; };
            if (!ahead(t0) && !ahead(t1) && !ahead(t2) && !ahead(t3)) {
                for (; j + 4 <= m; j += 4) {
                    RevLanes l, r, a[4], b[4];
                    std::memcpy(&l, inL + from + j, sizeof(l));
                    std::memcpy(&r, inR + from + j, sizeof(r));
                    std::memcpy(wl + j, &l, sizeof(l));
                    std::memcpy(wr + j, &r, sizeof(r));
                    a[0] = a[2] = l;
                    b[1] = b[3] = r;
                    std::memcpy(&a[1], r1 + j, sizeof(a[1]));
                    std::memcpy(&a[3], r3 + j, sizeof(a[3]));
                    std::memcpy(&b[0], r0 + j, sizeof(b[0]));
                    std::memcpy(&b[2], r2 + j, sizeof(b[2]));
                    transpose(a);
                    transpose(b);
                    for (int q = 0; q < 4; ++q) {
                        combIn[j + q][0] = a[q];
                        combIn[j + q][1] = b[q];
                    }
                }
            }
            for (; j < m; ++j) {
                const float l = inL[from + j], r = inR[from + j];
                wl[j] = l;
                wr[j] = r;
                combIn[j][0] = RevLanes{l, r1[j], l, r3[j]};
                combIn[j][1] = RevLanes{r0[j], r, r2[j], r};
            }
            pos = (pos + m) & kRingMask;
        } else {
            for (int j = 0; j < m; ++j) {
                const float l = inL[from + j], r = inR[from + j];
                pos = (pos + 1) & kRingMask;
                ringL[pos] = l;
                ringR[pos] = r;
                const float tap1 = ringL[(pos + w0) & kRingMask];
                const float tap2 = ringR[(pos + w1) & kRingMask];
                const float tap3 = ringL[(pos + w2) & kRingMask];
                const float tap4 = ringR[(pos + w3) & kRingMask];
                combIn[j][0] = RevLanes{l, tap2, l, tap4};
                combIn[j][1] = RevLanes{tap1, r, tap3, r};
            }
        }
        RevLanes* o = out + from;
        comb_.run(m, combIn, dampL, roomL, o);
        for (int j = 0; j < m; ++j) {
            low = low * fA1 + o[j] * fA;
            high = high * fB1 + low * fB;
            const RevLanes band = low - high;
            o[j] = RevLanes{band[0], band[2], band[1], band[3]};
        }
    }
    ringPos = pos;
    lowState = low;
    highState = high;
    for (int s = 0; s < kAllpassStages; ++s) allpass[s].processRun(n, out);
}
