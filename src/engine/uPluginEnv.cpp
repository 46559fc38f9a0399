// Envelopes: 25 per voice (Amp, then eight per layer), each with one state per stacked
// sub-element. An update every 16 samples of the voice computes each sub-element's level at
// the end of the next 16 samples; every sample in between the running level takes one
// linear step toward it. Times, sustain levels and curves are parameters plus the voice's
// modulation destinations.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "plugin/uPlugin.h"
#include "plugin/uPluginTags.h"

namespace {

// Modulation destinations and sources of one envelope. (Destinations and tags fit 16 bits:
// an update copies the record, and a smaller one is fewer moves.)
struct EnvInfo {
    int16_t speed;       // factor destination of this envelope
    int16_t layerSpeed;  // factor destination of its layer's envelopes, 0 for Amp
    int16_t attack, decay, sustain, release;
    int16_t attackCurve;  // 0: none (a linear attack)
    int16_t decayCurve, releaseCurve;
    int16_t attackTag, decayTag, sustainTag, releaseTag, curveTag;  // -1: none
    bool holdAtTop;  // a stage time above 0.999 never ends (layer envelopes)
    bool ownRate;    // a layer volume envelope: its time factor is not always 1
};
static_assert(sizeof(EnvInfo) == 30, "one record in two moves");
static_assert(kNumModDests <= 32767 && kNumParams <= 32767, "16-bit fields");

struct EnvInfoTable {
    EnvInfo e[kNumEnvs];
};

// The speed destination of each layer-1 envelope, in envelope order; the attack, decay,
// sustain, release and curve destinations follow it. Layer L adds 92 L.
constexpr int kLayerEnvSpeed[8] = {109, 116, 122, 56, 71, 78, 87, 94};

EnvInfoTable makeEnvInfo() {
    EnvInfoTable t{};
    EnvInfo& a = t.e[0];
    a.speed = 3;
    a.layerSpeed = 0;
    a.attack = 4;
    a.attackCurve = 5;
    a.decay = 6;
    a.decayCurve = 7;
    a.sustain = 8;
    a.release = 9;
    a.releaseCurve = 10;
    a.holdAtTop = false;
    a.ownRate = false;
    for (int layer = 0; layer < 3; ++layer) {
        for (int k = 0; k < 8; ++k) {
            EnvInfo& x = t.e[1 + 8 * layer + k];
            const int sd = kLayerEnvSpeed[k] + kLayerDestStride * layer;
            x.speed = sd;
            x.layerSpeed = 107 + kLayerDestStride * layer;
            x.attack = sd + 1;
            x.decay = sd + 2;
            x.sustain = sd + 3;
            x.release = sd + 4;
            x.attackCurve = 0;
            x.decayCurve = sd + 5;
            x.releaseCurve = sd + 5;
            x.holdAtTop = true;
            x.ownRate = k == 2;
        }
    }
    for (int n = 0; n < kNumEnvs; ++n) {
        EnvInfo& x = t.e[n];
        x.attackTag = ENV_TAGS[0][n];
        x.decayTag = ENV_TAGS[1][n];
        x.sustainTag = ENV_TAGS[2][n];
        x.releaseTag = ENV_TAGS[3][n];
        x.curveTag = ENV_CURVE_TAGS[n];
    }
    return t;
}

const EnvInfoTable& envInfo() {
    static const EnvInfoTable table = makeEnvInfo();
    return table;
}

// Layer retrigger destinations.
constexpr int kRetrigDest[3] = {128, 220, 312};
constexpr int kArpGateSource = 112;

inline double clamp01(double x) {
    if (!(x > 0.0)) return 0.0;  // NaN too
    return x < 1.0 ? x : 1.0;
}

// x^y for x >= 0; a base that rounding pushed below 0 counts as 0, an exponent of 1 is exact.
inline double curvePow(double x, double y) {
    if (!(x > 0.0)) return 0.0;
    if (y == 1.0 || x == 1.0) return x;
    return std::pow(x, y);
}

// 2^x for a curve or speed setting, kept finite whatever the modulation does.
inline double exp2Safe(double x) {
    if (!(x > -1000.0)) return 0.0;
    if (x > 1000.0) x = 1000.0;
    return std::exp2(x);
}

inline bool sameBits(double a, double b) {
    uint64_t x, y;
    std::memcpy(&x, &a, sizeof x);
    std::memcpy(&y, &b, sizeof y);
    return x == y;
}

// curvePow(x, exponent()) that asks for the exponent only when the result depends on it,
// and takes the power from the envelope's memo where another voice just took the same one
// (the same bits in, the same bits out).
template <typename Exponent>
inline double curvePowLazy(double x, TEnvState::PowMemo& memo, Exponent&& exponent) {
    if (!(x > 0.0)) return 0.0;
    if (x == 1.0) return x;
    const double y = exponent();
    if (y == 1.0) return x;
    if (sameBits(x, memo.x) && sameBits(y, memo.y)) return memo.value;
    memo.x = x;
    memo.y = y;
    memo.value = std::pow(x, y);
    return memo.value;
}

// exp2Safe(x) through a one-entry cache.
inline double exp2Cached(double x, double& in, double& out) {
    if (x == in && out != 0.0) return out;
    out = exp2Safe(x);
    in = x;
    return out;
}

inline float destOf(const float* dest, int d) {
    return d > 0 ? dest[d] : 0.0f;
}

// The voice's moving list: those of the given envelopes with a step other than zero in some
// of its first `count` sub-elements. Only these move between two updates. The advance
// entries skip the zero steps too: adding a zero leaves a running level as it is, since a
// level is never -0.0. builtFor: the voice's sub-element count as it holds it.
__attribute__((noinline)) void buildMovingListFrom(TEnvState& e, int v, int count,
                                                   int builtFor, const int32_t* envs,
                                                   int listed) {
    TEnvState::VoiceMoves& m = e.moves[v];
    int moving = 0, entries = 0;
    for (int li = 0; li < listed; ++li) {
        const int n = envs[li];
        if ((unsigned)n >= (unsigned)kNumEnvs) continue;
        uint64_t any = 0;
        for (int i = 0; i < count; ++i) {
            const double step = e.work.slot[v][n].sub[i].step;
            uint64_t bits;
            std::memcpy(&bits, &step, sizeof bits);
            if ((bits << 1) == 0) continue;  // either zero counts as zero
            any = 1;
            m.set(entries, step, i * kNumEnvs + ENV_RUN_PLACE[n]);
            ++entries;
        }
        if (any != 0) e.book[v].movingList[moving++] = (uint8_t)n;
    }
    e.book[v].movingCount = (uint8_t)moving;
    m.split(entries);
    m.builtFor = builtFor ^ (count == 1 ? m.widen(m.count) : 0);
}

// The same over every listed envelope.
void buildMovingList(TEnvState& e, int v, int count, int builtFor) {
    buildMovingListFrom(e, v, count, builtFor, e.list, e.listCount);
}

}  // namespace

__attribute__((noinline)) void TEnvState::rebuildMoves(int v, int subs) {
    if ((unsigned)v >= (unsigned)kEnvVoices) return;
    buildMovingList(*this, v, std::clamp(subs, 0, kEnvSubs), subs);
}

// The per-update phase step of a stage with time t: a full 0-to-1 stage lasts
// (2^(14 t) x rate + 32) / 1000 samples at speed 1.
static inline double stageStep(double t, double speed, double rate, bool holdAtTop) {
    if (holdAtTop && t > 0.999) return 0.0;
    return 16000.0 / (std::exp2(14.0 * t) * rate + 32.0) * speed;
}

// The same with 2^(14 t) through a one-entry cache, asking for the speed only when the
// step depends on it.
template <typename Speed>
static inline double stageStepCached(double t, Speed&& speed, double rate, bool holdAtTop,
                                     double& in, double& out) {
    if (holdAtTop && t > 0.999) return 0.0;
    if (!(t == in && out != 0.0)) {
        out = std::exp2(14.0 * t);
        in = t;
    }
    return 16000.0 / (out * rate + 32.0) * speed();
}

double APlugin::getEnvVar(int voice, int envNum, int stage) {
    if (!isValidVoice(voice) || envNum < 0 || envNum >= kNumEnvs) return 0.0;
    const EnvInfo& info = envInfo().e[envNum];
    const float* dest = modDestVoice[voice];
    const auto param = [&](int tag) { return tag >= 0 ? (double)paramValue[tag] : 0.0; };
    if (stage == kEnvSustain) return clamp01(param(info.sustainTag) + dest[info.sustain]);
    double speed = env.work.slot[voice][envNum].rate * (double)dest[23] * (double)dest[24] *
                   (double)dest[info.speed];
    if (info.layerSpeed) speed *= (double)dest[info.layerSpeed];
    double t;
    switch (stage) {
        case kEnvAttack: t = clamp01(param(info.attackTag) + dest[info.attack]); break;
        case kEnvDecay: t = clamp01(param(info.decayTag) + dest[info.decay]); break;
        default: t = clamp01(param(info.releaseTag) + dest[info.release]); break;
    }
    return stageStep(t, speed, (double)curSampleRate, info.holdAtTop);
}

// The curve function. With shapeAttackDecay, stage 0 gives the attack shape, stage 1 the
// decay shape and any other stage the phase itself; without it, the release shape.
double APlugin::getShapedEnv(int envNum, int voice, int stage, bool shapeAttackDecay, double phase,
                             double releasePhase, double releaseLevel, double sustain) {
    if (!isValidVoice(voice) || envNum < 0 || envNum >= kNumEnvs) return 0.0;
    const EnvInfo& info = envInfo().e[envNum];
    const float* dest = modDestVoice[voice];
    const double curveParam = info.curveTag >= 0 ? (double)paramValue[info.curveTag] : 0.0;
    if (shapeAttackDecay) {
        if (stage == kEnvAttack) {
            if (!(phase > 0.0)) return 0.0;
            const double c = info.attackCurve ? (double)dest[info.attackCurve] : 0.0;
            return curvePow(phase, exp2Safe(-4.0 * c));
        }
        if (stage == kEnvDecay) {
            const double s = sustain;
            if (!(s < phase)) return s;
            const double c = curveParam + (double)destOf(dest, info.decayCurve);
            const double span = 1.0 - s;
            const double x = span != 0.0 ? (phase - s) / span : (phase - s);
            return s + span * curvePow(std::fabs(x), exp2Safe(4.0 * c));
        }
        return phase;
    }
    const double c = curveParam + (double)destOf(dest, info.releaseCurve);
    const double x =
        releasePhase > 0.0 ? (releasePhase - phase) / releasePhase : (releasePhase - phase);
    return releaseLevel * curvePow(1.0 - x, exp2Safe(4.0 * c));
}

// Fast fade of a voice that allocation forced off: the Amp envelope's phase falls by 0.01
// per update; once every sub-element is down the voice is silent and the mark cleared.
static void fastRelease(APlugin& p, int v, int count, bool held) {
    TEnvState& e = p.env;
    auto& w = e.work;
    TEnvState::Slot& slot = w.slot[v][0];
    e.book[v].settled = 0;
    const double s = p.getEnvVar(v, 0, kEnvSustain);
    bool done = true;
    for (int i = 0; i < count; ++i) {
        TEnvState::Sub& c = slot.sub[i];
        const double old = c.target;
        w.run[v][i][kAmpRunPlace] = old;
        double ph = c.phase - 0.01;
        if (ph < 1e-5) ph = 0.0;
        c.phase = ph;
        const int st = c.stage;
        double lev;
        if (held)
            lev = (st == kEnvAttack || st == kEnvDecay)
                      ? p.getShapedEnv(0, v, st, true, ph, 0.0, 0.0, s)
                      : ph;
        else
            lev = p.getShapedEnv(0, v, kEnvRelease, false, ph, c.releasePhase, c.releaseLevel,
                                 s);
        c.target = lev;
        c.step = (lev - old) * (1.0 / 16.0);
        if (ph > 1e-5) done = false;
    }
    if (!done) return;
    for (int i = 0; i < count; ++i) {
        TEnvState::Sub& c = slot.sub[i];
        c.stage = kEnvRelease;
        c.phase = 0.0;
        w.run[v][i][kAmpRunPlace] = 0.0;
        c.target = 0.0;
        c.step = 0.0;
    }
    p.voiceStolen[v] = 0;
}

namespace {

// What one update of a voice's envelopes reads, the same for each of its envelopes.
struct EnvTick {
    const float* dest;          // the voice's modulation destinations
    const SharedFloat* param;   // the parameters' live values
    const int32_t* elemAge;     // the voice's sub-element ages (< 0: not started yet)
    double (*run)[kNumEnvs];    // the voice's running levels
    TEnvState::Slot* shared;    // voice 0's slots, holding the settings memos
    TEnvState::PowMemo* shapePow;  // the envelopes' curve power memos
    double rate;                // the sample rate
    double globalSpeed;         // the two global speed factors
    int count;                  // sub-elements
    bool held;                  // key or pedal down
};

// What updateEnvelope reports: left out (the envelope stands at its fixed point for the same
// settings), or computed, and then possibly fixed (left at a fixed point of a held update),
// possibly only for the same decay step, sustain level and curve (onInputs); from
// kEnvMovesShift on, the number of steps other than zero it wrote, and from kEnvEntriesShift
// on, how many of them took advance entries (the others went to the line).
enum : int { kEnvLeftOut = 0, kEnvComputed = 1, kEnvFixed = 2, kEnvOnInputs = 4 };
constexpr int kEnvMovesShift = 8;
constexpr int kEnvEntriesShift = 16;

inline double paramOf(const SharedFloat* param, int tag) {
    return tag >= 0 ? (double)param[tag] : 0.0;
}

// A decay's level at `phase` (not below the sustain level): the span above the sustain level
// shaped by the curve whose exponent `exponent` gives when it is needed.
template <typename Exponent>
__attribute__((always_inline)) inline double decayLevel(double phase, double sustain,
                                                    TEnvState::PowMemo& memo,
                                                    Exponent&& exponent) {
    const double span = 1.0 - sustain;
    const double x = span != 0.0 ? (phase - sustain) / span : (phase - sustain);
    return sustain + span * curvePowLazy(std::fabs(x), memo, std::forward<Exponent>(exponent));
}

// A release's level at `phase`: the level the release started from, shaped likewise.
template <typename Exponent>
__attribute__((always_inline)) inline double releaseLevel(const TEnvState::Sub& c, double phase,
                                                      TEnvState::PowMemo& memo,
                                                      Exponent&& exponent) {
    if (phase == 0.0) return 0.0;
    const double rp = c.releasePhase;
    const double x = rp > 0.0 ? (rp - phase) / rp : (rp - phase);
    return c.releaseLevel * curvePowLazy(1.0 - x, memo, std::forward<Exponent>(exponent));
}

// The straight paths' end for a single sub-element: its new target and step from the level
// it moves to, and its advance entry if the step is not zero (as the general loop's addMove
// writes it); returns the steps and entries written, as updateEnvelope reports them.
__attribute__((always_inline)) inline int settleSingle(TEnvState::Sub& c, double old, double lev,
                                                      int n, const TEnvState::MoveSlots& moves) {
    const double step = (lev - old) * (1.0 / 16.0);
    c.target = lev;
    c.step = step;
    int moved = 0;
    if (step != 0.0)  // either zero counts as zero; a NaN moves
        moved = 1 << kEnvMovesShift | moves.put(0, step, ENV_RUN_PLACE[n]) << kEnvEntriesShift;
    return moved;
}

// One envelope's update in each of the voice's sub-elements; envelopes do not interact, so
// their order does not matter. wasSettled: the envelope stood at a fixed point of the
// voice's last (held) update. The advance entries of the sub-elements it leaves with a
// step other than zero go to `moves` (as buildMovingListFrom would write them).
// The update in the general loop alone, kept out of line: the straight paths below are
// what most updates take, and without this loop's values live around them they keep
// theirs in registers.
int updateEnvelopeGeneral(const EnvTick& tick, TEnvState::Slot& slot, const EnvInfo& info,
                          int n, const TEnvState::MoveSlots& moves);

template <bool kStraight>
__attribute__((always_inline)) inline int updateEnvelopeBody(const EnvTick& tick,
                                                            TEnvState::Slot& slot,
                                                            const EnvInfo& info, int n,
                                                            bool wasSettled,
                                                            const TEnvState::MoveSlots& moves) {
    const float* const dest = tick.dest;
    const SharedFloat* const param = tick.param;
    const int count = tick.count;
    const bool held = tick.held;
    const bool holdAtTop = info.holdAtTop;
    TEnvState::Memo& memo = tick.shared[n].memo;
    // The speed, the sustain level, the stage steps and curve exponents are computed when
    // a sub-element first needs them: a held note in its sustain needs none.
    bool haveSpeed = false, haveSustain = false, haveCurve = false;
    double speedValue = 0.0, sustainValue = 0.0, curveValue = 0.0;
    const auto speedOf = [&]() {
        if (!haveSpeed) {
            // (The time factor of the others is 1 from their note start on; read through
            // a chosen pointer, not a branch.)
            static const double kOne = 1.0;
            const double* rate = info.ownRate ? &slot.rate : &kOne;
            speedValue = *rate * tick.globalSpeed * (double)dest[info.speed];
            if (info.layerSpeed) speedValue *= (double)dest[info.layerSpeed];
            haveSpeed = true;
        }
        return speedValue;
    };
    const auto sustainOf = [&]() {
        if (!haveSustain) {
            sustainValue = clamp01(paramOf(param, info.sustainTag) + dest[info.sustain]);
            haveSustain = true;
        }
        return sustainValue;
    };
    // The decay curve argument (the release curve's is the same for layer envelopes).
    const auto decayCurveOf = [&]() {
        if (!haveCurve) {
            curveValue = paramOf(param, info.curveTag) + destOf(dest, info.decayCurve);
            haveCurve = true;
        }
        return curveValue;
    };
    double dAttack = -1.0, dDecay = -1.0, dRelease = -1.0;
    double attackExp = -1.0, decayExp = -1.0, releaseExp = -1.0;
    const auto decayStepOf = [&]() {
        if (dDecay < 0.0)
            dDecay = stageStepCached(clamp01(paramOf(param, info.decayTag) + dest[info.decay]),
                                     speedOf, tick.rate, holdAtTop, memo.timeIn, memo.timePow);
        return dDecay;
    };

    if constexpr (kStraight) {
        if (wasSettled) {
            // A decay standing still (a zero step) at a level that no longer changes: the
            // update would write the same values again while its step stays zero and its
            // sustain level and curve are the ones it was computed with. A single sub-element
            // that stands at the top (phase 1, where its decay started) needs neither: there
            // the level is s + (1 - s) x 1 for a sustain level s in [0, 1], which rounds to 1
            // whatever s is, and the curve is not asked for.
            if (decayStepOf() == 0.0 &&
                ((count == 1 && slot.sub[0].phase == 1.0) ||
                 (sameBits(sustainOf(), slot.heldSustain) &&
                  sameBits(decayCurveOf(), slot.heldCurve))))
                return kEnvLeftOut;
        } else if (count == 1 && held && tick.elemAge[0] >= 0 && slot.sub[0].stage == kEnvDecay) {
            // The most common update, a held note's single sub-element in its decay: the
            // general loop's decay, straight (what each step needs is known here, not looked
            // up).
            TEnvState::Sub& c = slot.sub[0];
            const double old = c.target;
            tick.run[0][ENV_RUN_PLACE[n]] = old;
            const double d = decayStepOf();
            double phase = c.phase - d;
            const double sustain = sustainOf();
            double lev;
            bool settles;  // the decay stands still: fixed for the same inputs
            if (sustain > phase) {
                phase = sustain;
                c.stage = kEnvSustain;
                lev = sustain;
                settles = false;
            } else {
                // (A curve argument of 0, the rule, gives the exponent 2^0 = 1 without a look
                // at the memo.)
                lev = decayLevel(phase, sustain, tick.shapePow[n], [&]() {
                    const double curve = decayCurveOf();
                    return curve == 0.0 ? 1.0
                                        : exp2Cached(4.0 * curve, memo.curveIn, memo.curvePow);
                });
                settles = d == 0.0 && sameBits(lev, old);
            }
            c.phase = phase;
            c.releasePhase = phase;
            c.releaseLevel = lev;
            const int movedBits = settleSingle(c, old, lev, n, moves);
            if (!settles) return kEnvComputed | movedBits;
            slot.heldSustain = sustain;
            slot.heldCurve = decayCurveOf();
            return kEnvComputed | kEnvFixed | kEnvOnInputs | movedBits;
        } else if (count == 1 && !held && tick.elemAge[0] >= 0) {
            // A released note's single sub-element: the general loop's release, straight.
            TEnvState::Sub& c = slot.sub[0];
            const double old = c.target;
            tick.run[0][ENV_RUN_PLACE[n]] = old;
            const double d =
                stageStepCached(clamp01(paramOf(param, info.releaseTag) + dest[info.release]),
                                speedOf, tick.rate, holdAtTop, memo.timeIn, memo.timePow);
            const double phase = clamp01(c.phase - d);
            const double lev = releaseLevel(c, phase, tick.shapePow[n], [&]() {
                return exp2Cached(4.0 * (paramOf(param, info.curveTag) +
                                         destOf(dest, info.releaseCurve)),
                                  memo.curveIn, memo.curvePow);
            });
            c.stage = kEnvRelease;
            c.phase = phase;
            return kEnvComputed | settleSingle(c, old, lev, n, moves);
        }
        // (Recomputed there, the values the check above took come out the same.)
        return updateEnvelopeGeneral(tick, slot, info, n, moves);
    } else {
        bool fixed = held;      // this update leaves the envelope at a fixed point...
        bool onInputs = false;  // ...given the same decay step, sustain level and curve
        int moved = 0, taken = 0;
        const auto addMove = [&](int i, double step) {
            if (step != 0.0) {  // either zero counts as zero; a NaN moves
                taken += moves.put(taken, step, i * kNumEnvs + ENV_RUN_PLACE[n]);
                ++moved;
            }
        };

        for (int i = 0; i < count; ++i) {
            TEnvState::Sub& c = slot.sub[i];
            if (tick.elemAge[i] < 0) {  // a strummed note not started yet: its step stays
                fixed = false;
                addMove(i, c.step);
                continue;
            }
            const double old = c.target;
            int32_t stage = c.stage;
            double phase = c.phase;
            tick.run[i][ENV_RUN_PLACE[n]] = old;
            double lev;

            if (!held) {
                stage = kEnvRelease;
                if (dRelease < 0.0)
                    dRelease = stageStepCached(
                        clamp01(paramOf(param, info.releaseTag) + dest[info.release]), speedOf,
                        tick.rate, holdAtTop, memo.timeIn, memo.timePow);
                phase = clamp01(phase - dRelease);
                lev = releaseLevel(c, phase, tick.shapePow[n], [&]() {
                    if (releaseExp < 0.0)
                        releaseExp = exp2Cached(4.0 * (paramOf(param, info.curveTag) +
                                                       destOf(dest, info.releaseCurve)),
                                                memo.curveIn, memo.curvePow);
                    return releaseExp;
                });
                c.stage = stage;
                c.phase = phase;
            } else if (stage == kEnvRelease) {
                // Ended (or fading) while held again: the level stands where it is.
                c.step = 0.0;
                continue;
            } else {
                if (stage == kEnvAttack) {
                    fixed = false;
                    if (dAttack < 0.0)
                        dAttack = stageStepCached(
                            clamp01(paramOf(param, info.attackTag) + dest[info.attack]), speedOf,
                            tick.rate, holdAtTop, memo.timeIn, memo.timePow);
                    phase += dAttack;
                    if (phase > 1.0) {
                        phase = 1.0;
                        stage = kEnvDecay;
                        // The decay shape at phase 1 is 1 whatever the curve.
                        lev = 1.0;
                    } else if (!(phase > 0.0)) {
                        lev = 0.0;
                    } else {
                        lev = curvePowLazy(phase, tick.shapePow[n], [&]() {
                            if (attackExp < 0.0)
                                attackExp = exp2Cached(-4.0 * destOf(dest, info.attackCurve),
                                                       memo.curveIn, memo.curvePow);
                            return attackExp;
                        });
                    }
                } else if (stage == kEnvDecay) {
                    phase -= decayStepOf();
                    const double sustain = sustainOf();
                    if (sustain > phase) {
                        phase = sustain;
                        stage = kEnvSustain;
                        lev = sustain;
                        fixed = false;
                    } else {
                        lev = decayLevel(phase, sustain, tick.shapePow[n], [&]() {
                            if (decayExp < 0.0)
                                decayExp =
                                    exp2Cached(4.0 * decayCurveOf(), memo.curveIn, memo.curvePow);
                            return decayExp;
                        });
                        if (dDecay == 0.0 && sameBits(lev, old))
                            onInputs = true;
                        else
                            fixed = false;
                    }
                } else {
                    // Sustain: the level frozen when the stage was entered. Once the target
                    // reached it, the next update writes the same values again.
                    lev = phase;
                    if (!sameBits(old, phase)) fixed = false;
                }
                c.stage = stage;
                c.phase = phase;
                c.releasePhase = phase;
                c.releaseLevel = lev;
            }
            const double step = (lev - old) * (1.0 / 16.0);
            c.target = lev;
            c.step = step;
            addMove(i, step);
        }
        const int movedBits = moved << kEnvMovesShift | taken << kEnvEntriesShift;
        if (!fixed) return kEnvComputed | movedBits;
        if (!onInputs) return kEnvComputed | kEnvFixed | movedBits;
        slot.heldSustain = sustainOf();
        slot.heldCurve = decayCurveOf();
        return kEnvComputed | kEnvFixed | kEnvOnInputs | movedBits;
    }
}

__attribute__((noinline)) int updateEnvelopeGeneral(const EnvTick& tick, TEnvState::Slot& slot,
                                                    const EnvInfo& info, int n,
                                                    const TEnvState::MoveSlots& moves) {
    return updateEnvelopeBody<false>(tick, slot, info, n, false, moves);
}

// One envelope's update: the straight paths here, the general loop out of line.
__attribute__((always_inline)) inline int updateEnvelope(const EnvTick& tick,
                                                        TEnvState::Slot& slot,
                                                        const EnvInfo& info, int n,
                                                        bool wasSettled,
                                                        const TEnvState::MoveSlots& moves) {
    return updateEnvelopeBody<true>(tick, slot, info, n, wasSettled, moves);
}

}  // namespace

void APlugin::setEnvs(int v) {
    if (!isValidVoice(v)) return;
    const int count = std::clamp(voiceLevelCount[v], 0, kEnvSubs);
    const bool held = voiceKeyOn[v] != 0 || sustainPedal != 0;
    const float* dest = modDestVoice[v];
    const double rate = (double)curSampleRate;
    const double globalSpeed = (double)dest[23] * (double)dest[24];
    const EnvInfoTable& table = envInfo();
    auto& w = env.work;

    // Envelopes that stand at a fixed point of a held update are left as they are.
    TEnvState::VoiceBook& book = env.book[v];
    const uint32_t settledBefore = held && book.settledSubs == count ? book.settled : 0u;
    uint32_t settledNow = 0, settledOnInputs = 0;
    int updated = 0;
    bool stolen = false;

    const EnvTick tick{dest,        paramValue, voiceElemAge[v], w.run[v], w.slot[0],
                       envShapePow, rate,       globalSpeed,     count,    held};
    // The moving list and the advance entries are written as the envelopes are computed:
    // an envelope left out has a zero step everywhere.
    TEnvState::VoiceMoves& moves = env.moves[v];
    for (double& s : moves.line) s = -0.0;
    uint8_t* movingList = book.movingList;
    int moving = 0, entries = 0;
    const auto updateEnv = [&](int n) {
        const uint32_t bit = 1u << n;
        // (A copy: its fields are then one load each where they are read.)
        const EnvInfo info = table.e[n];
        const int r = updateEnvelope(tick, w.slot[v][n], info, n,
                                     (settledBefore & bit) != 0,
                                     TEnvState::MoveSlots{&moves, entries});
        if (r == kEnvLeftOut) {
            settledNow |= bit;
            settledOnInputs |= bit;
            return;
        }
        book.updatedList[updated++] = (uint8_t)n;
        if (r & kEnvFixed) settledNow |= bit;
        if (r & kEnvOnInputs) settledOnInputs |= bit;
        entries += r >> kEnvEntriesShift;
        if ((r >> kEnvMovesShift & 0xff) != 0) movingList[moving++] = (uint8_t)n;
    };

    uint32_t todo;
    if (voiceStolen[v]) {
        // A stolen voice moves nothing but its fading Amp envelope (and the envelopes
        // listed before it, of which there are none: Amp comes first).
        todo = 0;
        for (int li = 0; li < env.listCount; ++li) {
            const int n = env.list[li];
            if ((unsigned)n >= (unsigned)kNumEnvs) continue;
            if (n == 0) {
                stolen = true;
                break;
            }
            todo |= 1u << n;
        }
    } else {
        // Only the listed envelopes not standing at a fixed point whatever the settings are
        // looked at.
        const uint32_t still = settledBefore & ~book.settledOnInputs & env.listMask;
        settledNow = still;
        todo = env.listMask & ~still;
    }
    for (; todo != 0; todo &= todo - 1) updateEnv(__builtin_ctz(todo));
    if (stolen) fastRelease(*this, v, count, held);
    book.settled = stolen ? 0u : settledNow;
    book.settledOnInputs = settledOnInputs;
    book.settledSubs = count;
    // The fast fade moved the Amp envelope outside the computed ones.
    if (stolen) {
        buildMovingList(env, v, count, voiceLevelCount[v]);
    } else {
        book.movingCount = (uint8_t)moving;
        moves.count = (uint8_t)entries;
        moves.builtFor = voiceLevelCount[v] ^ (count == 1 ? moves.widen(entries) : 0);
    }
    // The computed envelopes' levels were set anew; two updates without a publish between
    // them ask for a whole one.
    book.updatedCount = (uint8_t)updated;
    if (env.publishUpdated[v] || stolen) env.publishAll[v] = 1;
    env.publishUpdated[v] = 1;
}

float APlugin::checkRetrigger(int v) {
    if (!isValidVoice(v)) return 0.99f;
    for (int layer = 0; layer < kNumLayers; ++layer) {
        const int src = env.retrigSource[layer];
        if (src < 0) continue;
        bool fire = false;
        if (src == kArpGateSource) {
            if (env.arpGateMark[v]) {
                env.arpGateMark[v] = 0;
                fire = true;
            }
        } else {
            const float value = (src < kNumModSources) ? modSrcVoice[v][src] : 0.0f;
            fire = value > 0.99f && env.retrigPrev[layer][v] < 0.99f;
            env.retrigPrev[layer][v] = value;
        }
        if (!fire) continue;
        env.book[v].settled = 0;  // the layer's envelopes start over
        env.moves[v].builtFor = TEnvState::kMovesStale;  // and their steps are zero
        for (int k = 0; k < 8; ++k) {
            const int n = 1 + 8 * layer + k;
            for (TEnvState::Sub& c : env.work.slot[v][n].sub) {
                c.stage = kEnvDecay;
                c.target = 1.0;
                c.phase = 1.0;
                c.releasePhase = 1.0;
                c.releaseLevel = 1.0;
                c.step = 0.0;
            }
        }
        // The string's drift oscillator starts over with the envelopes.
        for (int i = 0; i < kLayerNotes; ++i) layerNote[layer][v][i].driftPhase = 0;
    }
    return 0.99f;
}

// The envelope list (Amp, then per layer that is on its filter, pitch and volume envelopes,
// the wire envelope for a Wire layer and the four operator envelopes for an FM layer) and
// what the modulation slots ask of the envelopes: which attacks are modulated and which
// layer retriggers is driven by which source.
void APlugin::buildEnvList() {
    int32_t list[kNumEnvs];
    int count = 0;
    list[count++] = 0;
    for (int layer = 0; layer < kNumLayers; ++layer) {
        if (!layerOn[layer]) continue;
        list[count++] = ENV_FILTER[layer];
        list[count++] = ENV_PITCH[layer];
        list[count++] = ENV_VOL[layer];
        if (layerSource[layer] == kSourceWire) {
            list[count++] = ENV_WIRE[layer];
        } else if (layerSource[layer] == kSourceFM) {
            list[count++] = ENV_FM_1_PITCH[layer];
            list[count++] = ENV_FM_1_VOL[layer];
            list[count++] = ENV_FM_2_PITCH[layer];
            list[count++] = ENV_FM_2_VOL[layer];
        }
    }
    env.setList(list, count);

    const EnvInfoTable& table = envInfo();
    int slotDest[8], slotSrc[8];
    bool slotBypass[8];
    for (int s = 0; s < 8; ++s) {
        slotDest[s] = getSteppedValue(MOD_DEST_TAGS[s]);
        slotSrc[s] = getSteppedValue(MOD_SRC_TAGS[s]);
        slotBypass[s] = getOnOff(MOD_BY_TAGS[s]);
    }
    env.ampAttackModded = 0;
    for (int n = 0; n < kNumEnvs; ++n) {
        uint8_t modded = 0;
        for (int s = 0; s < 8; ++s)
            if (slotDest[s] == table.e[n].attack) modded = 1;
        env.attackModded[n] = modded;
    }
    env.ampAttackModded = env.attackModded[0];
    for (int layer = 0; layer < kNumLayers; ++layer) {
        env.retrigSource[layer] = -1;
        for (int s = 0; s < 8; ++s) {
            if (!slotBypass[s] && slotDest[s] == kRetrigDest[layer]) {
                env.retrigSource[layer] = slotSrc[s];
                break;
            }
        }
    }
}

namespace {

// The levels of one sub-element's listed envelopes into a source array: level and
// 1 - level per envelope, two neighbouring envelopes converted and stored at once.
inline void publishLevels(const TEnvState& e, const double* run, float* src) {
    const int groups = e.publishCount;
    for (int k = 0; k < groups; ++k) {
        const TEnvState::PublishGroup g = e.publish[k];
        float* out = src + g.slot;
        if (g.count == 2) {
#if defined(__SSE2__)
            const __m128 level = _mm_cvtpd_ps(_mm_loadu_pd(run + g.env));
            const __m128 inverse = _mm_sub_ps(_mm_set1_ps(1.0f), level);
            _mm_storeu_ps(out, _mm_unpacklo_ps(level, inverse));
#else
            const float l0 = (float)run[g.env], l1 = (float)run[g.env + 1];
            out[0] = l0;
            out[1] = 1.0f - l0;
            out[2] = l1;
            out[3] = 1.0f - l1;
#endif
        } else {
            const float level = (float)run[g.env];
            out[0] = level;
            out[1] = 1.0f - level;
        }
    }
}

// The levels of the listed envelopes alone: the others hold what the row was last given.
inline void publishListed(const uint8_t* list, int count, const double* run, float* src) {
    for (int k = 0; k < count; ++k) {
        const int n = list[k];
        const float level = (float)run[ENV_RUN_PLACE[n]];
        float* out = src + ENV_SOURCE_SLOT[n];
        out[0] = level;
        out[1] = 1.0f - level;
    }
}

}  // namespace

// Between two updates only the moving envelopes change their running levels, and an update
// sets only those it computes, so after one whole publish a voice's row needs just those; a
// note start, a new list or another sub-element asks for a whole one again.
void APlugin::publishEnvSources(int v) {
    if (!isValidVoice(v)) return;
    int sub = voiceFirstElement[v];
    if ((unsigned)sub >= (unsigned)kEnvSubs) sub = 0;
    const double* run = env.work.run[v][sub];
    const bool whole = env.publishAll[v] || env.publishedSub[v] != sub;
    const TEnvState::VoiceBook& book = env.book[v];
    const uint8_t* list = book.movingList;
    int count = book.movingCount;
    if (env.publishUpdated[v]) {
        list = book.updatedList;  // holds every moving envelope too
        count = book.updatedCount;
    }
    if (v == lastVoice) {
        if (whole || env.globalFrom != v)
            publishLevels(env, run, modSrcGlobal);
        else
            publishListed(list, count, run, modSrcGlobal);
        env.globalFrom = v;
    } else if (env.globalFrom == v) {
        env.globalFrom = -1;  // the global row no longer follows this voice's
    }
    if (whole)
        publishLevels(env, run, modSrcVoice[v]);
    else
        publishListed(list, count, run, modSrcVoice[v]);
    env.publishAll[v] = 0;
    env.publishUpdated[v] = 0;
    env.publishedSub[v] = sub;
}

// A new note: every envelope of the voice cleared, then the layer envelopes start at full
// level in Decay (or from 0 in Attack when a slot modulates their attack), and the Amp
// envelope likewise when its attack is instant; otherwise it runs its attack from 0.
void APlugin::startEnvs(int v, int velocity) {
    if (!isValidVoice(v)) return;
    auto& w = env.work;
    // Only the voice's sub-elements: every reader stops at its count, which changes only
    // with a new start, so the others keep whatever they held (mostly lines long gone
    // from the caches: a note start would fetch them only to write them).
    const int subs = std::clamp(voiceLevelCount[v], 0, kEnvSubs);
    // Each envelope written once, where it starts: at full level in Decay, or from 0 in
    // Attack (an attack that a slot modulates, or the Amp envelope's unless it is instant).
    const bool ampInstant = paramValue[5] <= 0.0001f && !env.ampAttackModded;
    for (int n = 0; n < kNumEnvs; ++n) {
        const bool full = n == 0 ? ampInstant : !env.attackModded[n];
        const double level = full ? 1.0 : 0.0;
        const int32_t stage = full ? kEnvDecay : kEnvAttack;
        TEnvState::Slot& slot = w.slot[v][n];
        for (int i = 0; i < subs; ++i) {
            TEnvState::Sub& c = slot.sub[i];
            c.stage = stage;
            c.target = level;
            c.step = 0.0;
            w.run[v][i][ENV_RUN_PLACE[n]] = level;
            c.phase = level;
            c.releasePhase = level;
            c.releaseLevel = level;
        }
    }
    // (The time factors stay: only the layer volume envelopes' ever leave the 1 the state
    // was cleared with, and theirs are set below.)
    // Every step is zero now, and every level to be published anew.
    env.book[v].movingCount = 0;
    env.moves[v].count = 0;
    env.moves[v].builtFor = TEnvState::kMovesStale;  // rebuilt (empty) at the first advance
    env.book[v].settled = 0;
    env.publishAll[v] = 1;
    if (env.globalFrom == v) env.globalFrom = -1;
    // The layer volume envelopes run faster for higher keys and softer notes (or the
    // reverse), by their key- and velocity-track settings.
    const double vel = std::clamp(velocity, 0, 127) / 127.0;
    const double pitch = (double)voicePitch[v];
    for (int layer = 0; layer < kNumLayers; ++layer) {
        const double k = paramValue[VOL_ENV_KEY_TRACK_TAGS[layer]];
        const double q = paramValue[VOL_ENV_VEL_TRACK_TAGS[layer]];
        w.slot[v][ENV_VOL[layer]].rate =
            exp2Safe((4.0 * q - 2.0) * (1.0 - vel)) * exp2Safe((2.0 * k - 1.0) * pitch);
    }
}

double APlugin::getVoiceAmpLevel(int v) {
    if (!isValidVoice(v)) return 0.0;
    const int count = std::clamp(voiceLevelCount[v], 0, kEnvSubs);
    double best = 0.0;
    for (int i = 0; i < count; ++i) best = std::max(best, env.work.run[v][i][kAmpRunPlace]);
    return best;
}
