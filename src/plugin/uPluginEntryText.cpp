// Typed value entry: the user types a number for one parameter instead of turning its
// control (Alt-click, "Set to Value" and the "Enter ... Value" menu entries).
//
// setNumValue picks, from the tag, its display type and a few section modes, the entry
// that matches what the control shows: a modal box titled with the parameter's name, a
// prompt with the accepted range and unit, and the current value in that unit as the
// starting text. The typed number goes back through the inverse of the display formula.
//
// Continuous entries write plain (setParameter); the stepped and on/off entries write
// through the automated setters, so the host hears of them. Everything runs on the
// editor's thread and returns when the box is closed.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/dialogs.h"
#include "platform/strutil.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginStrings.h"
#include "plugin/uPluginTags.h"

namespace {

// Tags with an entry of their own.
constexpr int kLfoSpeed1 = 102, kLfoSpeed2 = 103, kLfoSync1 = 357, kLfoSync2 = 360;
constexpr int kDistortKnob1 = 105, kDistortKnob2 = 106;
constexpr int kModFXKnob1 = 108, kModFXKnob2 = 109, kModFXKnob3 = 110, kModFXKnob4 = 111,
              kModFXKnob5 = 112, kModFXSync = 350;
constexpr int kDelayLeft = 114, kDelayRight = 115, kDelaySync = 352;
constexpr int kReverbPreDelay = 121, kReverbSize = 122, kReverbLength = 123;
constexpr int kRibbonBiPolar = 665;
constexpr int kDistortModeTag = 347, kModFXModeTag = 349;
constexpr int kFilterModeVocal = 27;
constexpr int kModAmountFirst = 385, kModAmountLast = 392;

// Distortion modes (rows of DISTORT_MODE_STR) and Mod FX modes (rows of MOD_FX_MODE_STR).
enum DistortMode {
    kDistAmp = 0, kDistAtan, kDistBits, kDistBP, kDistCab, kDistCos1, kDistCos2, kDistCross1,
    kDistEQ, kDistFold, kDistFuzz, kDistGapper, kDistHP, kDistLimit, kDistLP, kDistNoise,
    kDistOctave1, kDistOctave2, kDistOver, kDistPower, kDistRate, kDistRectify, kDistRez,
    kDistSaturate, kDistSquare, kDistValve
};
enum ModFXMode {
    kFXChorus = 0, kFXFlanger, kFXEnsemble, kFXPhaser, kFXWahWah, kFXTalkBox, kFXTremolo,
    kFXVibrato, kFXAutoPan, kFXRing, kFXGator
};

// Modulation destination kinds that have an entry of their own.
constexpr int kDestFactor = 2, kDestPitch = 3, kDestOctave = 4;

// Octave spans of the logarithmic displays (n x ln 2).
constexpr double kLn2 = 0.6931471805599453;
constexpr double kLn32 = 5.0 * kLn2;      // distortion rate: 5 octaves
constexpr double kLn1024 = 10.0 * kLn2;   // filter frequency, pre-delay, strum: 10 octaves
constexpr double kLn4096 = 12.0 * kLn2;   // delay time: 12 octaves
constexpr double kLn16384 = 14.0 * kLn2;  // envelope time, LFO rate: 14 octaves

// 2 to the power x as the value texts compute it: in double, narrowed to float.
float pow2(float x) { return (float)std::exp2((double)x); }

// A result of an inverse formula as a parameter value: above 1 is 1, below 0 is 0, and
// what is not a number (the logarithm of a negative entry) is the lowest value.
float clamp01(double v) {
    if (!(v > 0.0)) return 0.0f;
    return v > 1.0 ? 1.0f : (float)v;
}

int truncToInt(float x) {
    // Saturate before converting: the text of a value is never worth undefined behaviour.
    if (std::isnan(x)) return 0;
    if (x <= -2147483648.0f) return -2147483647 - 1;
    if (x >= 2147483648.0f) return 2147483647;
    return (int)x;
}

std::string wholeNumber(float v) { return std::to_string(truncToInt(v)); }

// The whole numbers that values show as where their text cuts the fraction off.
int shownFilterHz(float v) { return truncToInt(20.0f * pow2(v * 10.0f)); }
int shownRateHz(float v) { return truncToInt(44100.0f / pow2(v * 5.0f)); }
int shownLengthPercent(float v) { return truncToInt(pow2(v * 8.0f - 6.0f) * 100.0f); }
int shownVelocity(float v) { return truncToInt(v * 127.0f); }
int shownPercent(float v) { return truncToInt(v * 100.0f); }
int shownSizeQuarters(float v) { return truncToInt(std::floor(v * 30.75f + 1.0f)); }

// An inverse formula lands on the lower edge of the typed number's display step, and float
// rounding can leave it a hair outside, where a text that cuts the fraction shows the
// number below the typed one. Moves the value by single float steps (a few at most) until
// it shows at least the typed whole number; `rising` tells whether the shown number grows
// with the value.
float settleOn(float v, double typed, int (*shown)(float), bool rising) {
    if (!(typed > -2147483648.0 && typed < 2147483647.0)) return v;
    const int whole = (int)std::floor(typed);
    for (int i = 0; i < 64 && shown(v) < whole; ++i) {
        const float next = std::nextafter(v, rising ? 2.0f : -1.0f);
        if (next < 0.0f || next > 1.0f) break;
        v = next;
    }
    return v;
}

// The longest leading real number of a cleaned answer, read in the C locale whatever the
// process locale. False when the answer holds no number at all.
bool leadingReal(const std::string& text, double& x) {
    const char* p = text.data();
    const char* end = p + text.size();
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    if (p == end || !((*p >= '0' && *p <= '9') || *p == '.')) return false;
    double v = 0.0;
    const std::from_chars_result r = std::from_chars(p, end, v, std::chars_format::fixed);
    if (r.ptr == p) return false;
    if (r.ec == std::errc::result_out_of_range) {
        // Too large to hold saturates; too small to hold is 0.
        bool whole = false;
        for (const char* q = p; q < r.ptr && *q != '.'; ++q)
            if (*q != '0') whole = true;
        v = whole ? 1.0e300 : 0.0;
    }
    x = negative ? -v : v;
    return true;
}

// The longest leading whole number of a cleaned answer ("12.5" gives 12), saturated to
// the 32-bit range. False when the answer starts with no digit.
bool leadingWhole(const std::string& text, int64_t& n) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t first = i;
    int64_t v = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        if (v < 4294967296LL) v = v * 10 + (text[i] - '0');
        ++i;
    }
    if (i == first) return false;
    if (v > 2147483648LL) v = 2147483648LL;
    n = negative ? -v : v;
    if (n > 2147483647LL) n = 2147483647LL;
    return true;
}

// An answer reduced to its digits, signs and points; empty when the box was cancelled.
std::string cleaned(std::string answer) {
    stripAllButNum(answer);
    return answer;
}

bool answerReal(const std::string& answer, double& x) {
    if (answer.empty()) return false;
    return leadingReal(cleaned(answer), x);
}

bool answerWhole(const std::string& answer, int64_t& n) {
    if (answer.empty()) return false;
    return leadingWhole(cleaned(answer), n);
}

}  // namespace

// --- the boxes --------------------------------------------------------------------------

std::string APlugin::setNumInput(int tag, std::string defaultText, std::string prompt) {
    char text[kEntryBufSize];
    copyBounded(text, sizeof(text), defaultText);
    char title[kEntryBufSize];
    title[0] = 0;
    getParameterName(tag, title);
    inputBox(prompt, title, text, sizeof(text));
    std::string answer(text);
    // A decimal comma is as good as a point.
    for (char& c : answer)
        if (c == ',') c = '.';
    return answer;
}

void APlugin::setNumPer(int tag) {
    if (!isValidTag(tag)) return;
    const float v = getParameter(tag);
    double x;
    if (!answerReal(setNumInput(tag, getFloatStr(v * 100.0f, 1), "0 to 100%"), x)) return;
    setParameter(tag, clamp01(x / 100.0));
}

void APlugin::setNumPolar(int tag, std::string unit) {
    if (!isValidTag(tag)) return;
    const float v = getParameter(tag);
    double x;
    if (!answerReal(setNumInput(tag, getFloatStr(v * 200.0f - 100.0f, 1), "-100 to 100" + unit),
                    x))
        return;
    setParameter(tag, clamp01(x / 200.0 + 0.5));
}

void APlugin::setNumVol(int tag, float scale, float offset, std::string prompt) {
    if (!isValidTag(tag) || !(scale != 0.0f)) return;
    const float v = paramValue[tag];
    const std::string shown = v < 0.0001f ? std::string("Off") : getFloatStr(v * scale - offset, 1);
    double x;
    if (!answerReal(setNumInput(tag, shown, prompt), x)) return;
    setParameter(tag, clamp01((x + offset) / scale));
}

void APlugin::setNumFilter(int tag) {
    if (!isValidTag(tag)) return;
    const float v = getParameter(tag);
    double x;
    if (!answerReal(setNumInput(tag, wholeNumber(20.0f * pow2(10.0f * v)), "20 Hz to 20500 Hz"),
                    x))
        return;
    setParameter(tag, settleOn(clamp01(std::log(x / 20.0) / kLn1024), x, shownFilterHz, true));
}

void APlugin::setNumSpeed(int tag, bool synced) {
    if (!isValidTag(tag)) return;
    if (synced) {
        setNumSteppedStr(tag, 33.99f, 34, LFO_PERIOD_STR);
        return;
    }
    const float v = getParameter(tag);
    double x;
    // The rate that plays: 55 / 8192 x 2^(14 v) Hz, as the value text shows it.
    if (!answerReal(setNumInput(tag, getFloatStr(0.0067138671875f * pow2(14.0f * v), 2),
                                "0 to 110 Hz"),
                    x))
        return;
    setParameter(tag, x < 0.000001 ? 0.0f : clamp01(std::log(x * 8192.0 / 55.0) / kLn16384));
}

namespace {

// Asks for a position in a stepped list of `count` choices, counted from 1 and starting at
// the current one `c`, and writes the answer.
void enterStepPosition(APlugin& p, int tag, float range, int count, int c, const std::string& prompt) {
    char text[kEntryBufSize];
    std::snprintf(text, sizeof(text), "%d", c + 1);
    char title[kEntryBufSize];
    title[0] = 0;
    p.getParameterName(tag, title);
    inputBox(prompt, title, text, sizeof(text));
    int64_t n;
    if (!answerWhole(text, n)) return;
    // The user types the position in the list; the setter keeps it within the list.
    const int64_t index = n - 1;
    p.setSteppedValue(tag, index < -1 ? -1 : (int)index, range, count);
}

}  // namespace

void APlugin::setNumSteppedStr(int tag, float range, int count, const char* const* names,
                               int rows) {
    if (!isValidTag(tag) || count < 1 || !(range > 0.0f)) return;
    const int c = getSteppedValue(tag, range, count);
    const std::string prompt = std::string(tableRow(names, rows, 0)) + " (1) to " +
                               tableRow(names, rows, count - 1) + " (" + std::to_string(count) +
                               ")" + ", Currently " + tableRow(names, rows, c) + " (" +
                               std::to_string(c + 1) + ")";
    enterStepPosition(*this, tag, range, count, c, prompt);
}

void APlugin::setNumSteppedStr(int tag, const char* const* names, int rows) {
    if (!isValidTag(tag)) return;
    setNumSteppedStr(tag, paramStepRange[tag], paramStepCount[tag], names, rows);
}

void APlugin::setNumStepped(int tag, float range, int count) {
    if (!isValidTag(tag) || count < 1 || !(range > 0.0f)) return;
    const int c = getSteppedValue(tag, range, count);
    const std::string prompt = "(1) to (" + std::to_string(count) + ")" + ", Currently (" +
                               std::to_string(c + 1) + ")";
    enterStepPosition(*this, tag, range, count, c, prompt);
}

void APlugin::setNumVel(int layer, int point, float value) {
    if (layer < 0 || layer >= kNumLayers || point < 0 || point >= kTagVelSplitPoints) return;
    if (std::isnan(value)) return;
    const int32_t* points = &LAYER_VEL_TAGS[layer * kTagVelSplitPoints];
    // The four points stay in order; where the neighbours cross, the upper one wins.
    if (point > 0) {
        const float below = getParameter(points[point - 1]);
        if (value < below) value = below;
    }
    if (point < kTagVelSplitPoints - 1) {
        const float above = getParameter(points[point + 1]);
        if (value > above) value = above;
    }
    setParameter(points[point], value);
}

// --- choosing the entry -----------------------------------------------------------------

namespace {

// The rows whose inverse formula is their own (Distort Bits and Rate, Mod FX delay and
// filter type, delay time, the three reverb controls, unsynced strum length).
enum class OwnRow {
    Bits, Rate, ModDelay, FilterType, DelayTime, PreDelay, Size, Length, Strum
};

}  // namespace

static void runOwnRow(APlugin& p, int tag, OwnRow row) {
    const float v = p.getParameter(tag);
    std::string shown, prompt;
    switch (row) {
        case OwnRow::Bits:
            shown = APlugin::getFloatStr(16.0f - 15.99f * v, 1);
            prompt = "1 to 16 Bits";
            break;
        case OwnRow::Rate:
            shown = wholeNumber(44100.0f / pow2(5.0f * v));
            prompt = "2000 to 44100 Hz";
            break;
        case OwnRow::ModDelay:
            shown = APlugin::getFloatStr(50.0f * v, 1);
            prompt = "0 to 50 ms";
            break;
        case OwnRow::FilterType:
            shown = std::to_string((int)(2.99f * v) + 1);
            prompt = "1 - LP, 2 - BP, 3 - HP";
            break;
        case OwnRow::DelayTime:
            shown = APlugin::getFloatStr(pow2(12.0f * v), 1);
            prompt = "0 to 4096 ms";
            break;
        case OwnRow::PreDelay:
            shown = APlugin::getFloatStr((pow2(10.0f * v) - 1.0f) * 0.5f, 1);
            prompt = "0 to 511 ms";
            break;
        case OwnRow::Size:
            shown = APlugin::getFloatStr(std::floor(30.75f * v + 1.0f) * 0.25f, 2);
            prompt = "0.25 to 7.75m^3";
            break;
        case OwnRow::Length:
            shown = wholeNumber(100.0f * pow2(8.0f * v - 6.0f));
            prompt = "1 to 400%";
            break;
        case OwnRow::Strum:
            shown = APlugin::getChordStrum(v, false, false);
            prompt = "1 to 1024 ms";
            break;
    }

    double x;
    if (!answerReal(p.setNumInput(tag, shown, prompt), x)) return;
    double y;
    int (*shownWhole)(float) = nullptr;  // for the rows whose text cuts the fraction off
    bool rising = true;
    double typed = x;
    switch (row) {
        case OwnRow::Bits:
            y = 1.0 - x * 0.0625;
            break;
        case OwnRow::Rate:
            if (x <= 0.0001) return;
            y = std::log(44100.0 / x) / kLn32;
            shownWhole = shownRateHz;
            rising = false;
            break;
        case OwnRow::ModDelay:
            y = x / 50.0;
            break;
        case OwnRow::FilterType:
            y = (x - 1.0) / 2.1;
            break;
        case OwnRow::DelayTime:
            if (x <= 0.001) return;
            y = std::log(x) / kLn4096;
            break;
        case OwnRow::PreDelay:
            y = std::log(2.0 * x + 1.0) / kLn1024;
            break;
        case OwnRow::Size:
            if (x <= 0.0001) return;
            y = (4.0 * x - 1.0) / 30.75;
            shownWhole = shownSizeQuarters;
            typed = 4.0 * x;
            break;
        case OwnRow::Length:
            if (x <= 0.0001) return;
            y = (std::log(x / 100.0) / kLn2 + 6.0) * 0.125;
            shownWhole = shownLengthPercent;
            break;
        case OwnRow::Strum:
            y = std::log(x) / kLn1024;
            break;
        default:
            return;
    }
    const float v01 = clamp01(y);
    p.setParameter(tag, shownWhole ? settleOn(v01, typed, shownWhole, rising) : v01);
}

// The modulation amount, in the unit of the slot's destination.
static void runModAmount(APlugin& p, int tag) {
    const int slot = (tag >= kModAmountFirst && tag <= kModAmountLast) ? tag - kModAmountFirst : 0;
    int dest = p.getSteppedValue(MOD_DEST_TAGS[slot]);
    if (dest < 0 || dest >= kModDestCount) dest = 0;
    const int kind = p.destType[dest];
    const float v = p.getParameter(tag);

    if (kind == kDestFactor) {
        double x;
        if (!answerReal(p.setNumInput(tag, APlugin::getFloatStr(pow2(8.0f * v - 4.0f), 2),
                                      "0.06 to 16.0"),
                        x))
            return;
        if (x < 0.06) x = 0.06;
        if (x > 16.0) x = 16.0;
        p.setParameter(tag, clamp01((std::log(x) / kLn2 + 4.0) * 0.125));
    } else if (kind == kDestPitch) {
        const float shown = (float)(int)(720.0f * v + 0.1f) * 0.1f - 36.0f;
        // The amount moves in tenths of a semitone and the box shows them, so a typed
        // tenth is kept rather than cut to the whole semitone.
        double x;
        if (!answerReal(p.setNumInput(tag, APlugin::getFloatStr(shown, 1), "-36 to 36 semi"), x))
            return;
        p.setParameter(tag, clamp01(x / 72.0 + 0.5));
    } else if (kind == kDestOctave) {
        int64_t n;
        if (!answerWhole(p.setNumInput(tag, wholeNumber((2.0f * v - 1.0f) * 8.0f + 0.1f),
                                       "-7 to 8 octave"),
                         n))
            return;
        // A whole octave sits in the middle of its band of values.
        const double s = n >= 1 ? 1.0 : (n <= -1 ? -1.0 : 0.0);
        double f = ((double)n + 0.5 * s) / 8.0;
        if (f < -1.0) f = -1.0;
        if (f > 1.0) f = 1.0;
        p.setParameter(tag, (float)(f * 0.5 + 0.5));
    } else {
        p.setNumPolar(tag, "%");
    }
}

void APlugin::setNumValue(int tag) {
    if (!isValidTag(tag) || isTagLocked(tag)) return;
    const float v = getParameter(tag);

    // A Filter Vowel knob picks one of five vowels only while its filter is "Vocal".
    for (int layer = 0; layer < kNumLayers; ++layer)
        if (tag == FILTER_VOWEL_TAGS[layer] &&
            getSteppedValue(FILTER_MODE_TAGS[layer]) == kFilterModeVocal) {
            setNumSteppedStr(tag, 4.99f, 5, FILTER_VOWEL_STR);
            return;
        }

    const int m = getSteppedValue(kModFXModeTag);
    const int d = getSteppedValue(kDistortModeTag);

    // --- tags with an entry of their own -------------------------------------------------
    switch (tag) {
        case 26: case 57: case 88:  // layer Wave
            setNumSteppedStr(tag, WAVE_STR);
            return;
        case kLfoSpeed1:
            setNumSpeed(tag, getOnOff(kLfoSync1));
            return;
        case kLfoSpeed2:
            setNumSpeed(tag, getOnOff(kLfoSync2));
            return;
        case kDistortKnob1:
            switch (d) {
                case kDistAmp: setNumSteppedStr(tag, 5.99f, 6, AMP_MODEL_STR); return;
                case kDistCab: setNumSteppedStr(tag, 3.99f, 4, CAB_MODEL_STR); return;
                case kDistBits: runOwnRow(*this, tag, OwnRow::Bits); return;
                case kDistRate: runOwnRow(*this, tag, OwnRow::Rate); return;
                case kDistBP: case kDistHP: case kDistLP: setNumFilter(tag); return;
                case kDistEQ: setNumVol(tag, 40.0f, 20.0f, "-20 to 20 dB"); return;
                default: setNumPer(tag); return;
            }
        case kDistortKnob2:
            switch (d) {
                case kDistAtan: case kDistFold: case kDistOctave2: case kDistOver:
                case kDistPower: case kDistSaturate: case kDistSquare: case kDistValve:
                    setNumPolar(tag, "%");
                    return;
                case kDistBits: case kDistNoise: case kDistRectify: case kDistRate:
                    setNumFilter(tag);
                    return;
                case kDistEQ: setNumVol(tag, 40.0f, 20.0f, "-20 to 20 dB"); return;
                default: setNumPer(tag); return;
            }
        case kModFXKnob1:
            if (m == kFXRing)
                setNumFilter(tag);
            else if (m == kFXGator)
                setNumSteppedStr(tag, 33.99f, 34, GATER_PERIOD_STR);
            else
                setNumSpeed(tag, getOnOff(kModFXSync));
            return;
        case kModFXKnob2:
            switch (m) {
                case kFXChorus: case kFXFlanger: case kFXEnsemble:
                    runOwnRow(*this, tag, OwnRow::ModDelay);
                    return;
                case kFXPhaser: case kFXTalkBox: setNumFilter(tag); return;
                case kFXWahWah: runOwnRow(*this, tag, OwnRow::FilterType); return;
                case kFXTremolo: case kFXVibrato: case kFXAutoPan:
                    setNumSteppedStr(tag, 8.99f, 9, LFO_WAVE_STR);
                    return;
                case kFXRing: setNumPolar(tag, "%"); return;
                default: setNumPer(tag); return;
            }
        case kModFXKnob3:
        case kModFXKnob4:
            if (m == kFXWahWah)
                setNumFilter(tag);
            else
                setNumPer(tag);
            return;
        case kModFXKnob5:
            if (m == kFXChorus || m == kFXRing)
                setNumFilter(tag);
            else
                setNumPer(tag);
            return;
        case kDelayLeft:
        case kDelayRight:
            if (getOnOff(kDelaySync))
                setNumSteppedStr(tag, 14.99f, 15, DELAY_LEN_STR);
            else
                runOwnRow(*this, tag, OwnRow::DelayTime);
            return;
        case kReverbPreDelay: runOwnRow(*this, tag, OwnRow::PreDelay); return;
        case kReverbSize: runOwnRow(*this, tag, OwnRow::Size); return;
        case kReverbLength: runOwnRow(*this, tag, OwnRow::Length); return;
        case kRibbonValueTag:
            if (getOnOff(kRibbonBiPolar))
                setNumPer(tag);
            else
                setNumPolar(tag, "%");
            return;
        case 244: setNumSteppedStr(tag, PLAY_MODE_STR); return;
        case 245: setNumSteppedStr(tag, PORT_MODE_STR); return;
        case 246: case 247: setNumSteppedStr(tag, PITCH_BEND_STR); return;
        case 249: case 281: case 313: setNumSteppedStr(tag, SOURCE_MODE_STR); return;
        case 250: case 282: case 314: setNumSteppedStr(tag, LAYER_DEST_STR); return;
        case 272: case 304: case 336: setNumSteppedStr(tag, FILTER_MODE_STR); return;
        case 344: setNumSteppedStr(tag, FX_PATH_STR); return;
        case kDistortModeTag: setNumSteppedStr(tag, DISTORT_MODE_STR); return;
        case kModFXModeTag: setNumSteppedStr(tag, MOD_FX_MODE_STR); return;
        case 355: case 358: setNumSteppedStr(tag, LFO_WAVE_STR); return;
        case 356: case 359: setNumSteppedStr(tag, LFO_MODE_STR); return;
        case 395: case 396: setNumSteppedStr(tag, ARP_STEPS_STR); return;
        case 397: setNumSteppedStr(tag, ARP_SPEED_STR); return;
        case 407: setNumSteppedStr(tag, ARP_MODE_STR); return;
        case 408: setNumSteppedStr(tag, ARP_OCT_STR); return;
        case 409: setNumSteppedStr(tag, ARP_TIED_MODE_STR); return;
        case 410: setNumSteppedStr(tag, ARP_LOOP_MODE_STR); return;
        case 411: setNumSteppedStr(tag, ARP_RATCHET_MODE_STR); return;
        case 555: setNumSteppedStr(tag, CHORD_MODE_STR); return;
        case 666: setNumSteppedStr(tag, RIBBON_SPRING_TIME_STR); return;
        case 667: setNumSteppedStr(tag, RIBBON_QUANT_STR); return;
        default:
            break;
    }
    for (int chord = 0; chord < kTagChords; ++chord)
        if (tag == CHORD_STRUM_TAGS[chord]) {
            if (getOnOff(CHORD_STRUM_SYNC_ON_TAGS[chord]))
                setNumSteppedStr(tag, 18.99f, 19, CHORD_LEN_STR);
            else
                runOwnRow(*this, tag, OwnRow::Strum);
            return;
        }

    // --- by display type -----------------------------------------------------------------
    double x;
    int64_t n;
    switch (paramType[tag]) {
        case kTypeOnOff:
            if (answerReal(setNumInput(tag, wholeNumber(1.99f * v), "0 for Off, 1 for On"), x))
                setOnOff(tag, x >= 0.5);
            return;
        case kTypePolar:
        case kTypePan:
        case kTypeMix:
            setNumPolar(tag, "%");
            return;
        case kTypeDB60:
            setNumVol(tag, 80.0f, 60.0f, "-60 to 20 dB");
            return;
        case kTypeMidi127:
            if (answerReal(setNumInput(tag, wholeNumber(127.0f * v), "Velocity 0 to 127"), x))
                setParameter(tag, settleOn(clamp01(x / 127.0), x, shownVelocity, true));
            return;
        case kTypeVelSplit:
            if (answerReal(setNumInput(tag, wholeNumber(127.0f * v), "Velocity 0 to 127"), x))
                setNumVel(velTagLayer[tag], velTagPoint[tag],
                          settleOn(clamp01(x / 127.0), x, shownVelocity, true));
            return;
        case kTypeDB80:
            setNumVol(tag, 80.0f, 80.0f, "-80 to 0 dB");
            return;
        case kTypeSemi48:
            // Stored inside its step, so every typed semitone reads back and plays as typed.
            if (answerWhole(setNumInput(tag, std::to_string((int)(96.99f * v) - 48),
                                        "-48 to +48 semi"),
                            n))
                setParameter(tag, clamp01(((double)n + 48.0 + 0.1) / 96.99));
            return;
        case kTypeCents:
            setNumPolar(tag, " cent");
            return;
        case kTypeFilterFreq:
            setNumFilter(tag);
            return;
        case kTypeEnvTime:
            if (answerReal(setNumInput(tag, getEnvLenStr(v, false, false), "1 to 16384 ms"), x))
                setParameter(tag, clamp01(std::log(x) / kLn16384));
            return;
        case kTypeModAmount:
            runModAmount(*this, tag);
            return;
        case kTypeSemi36:
            // 73 positions: +36 is the top of the knob and must be reachable by typing it.
            if (answerWhole(setNumInput(tag, std::to_string((int)(72.0f * v) - 36),
                                        "-36 to +36 semi"),
                            n)) {
                const int64_t index = n + 36;
                setSteppedValue(tag, index < -1 ? -1 : (index > 73 ? 73 : (int)index), 72.0f, 73);
            }
            return;
        case kTypeArpChord:
            setNumSteppedStr(tag, ARP_CHORD_STR);
            return;
        case kTypeArpRatchet:
            setNumSteppedStr(tag, ARP_RATCHET_STR);
            return;
        case kTypeIntPercent:
            if (answerReal(setNumInput(tag, wholeNumber(100.0f * v), "Volume 0 to 100%"), x))
                setParameter(tag, settleOn(clamp01(x / 100.0), x, shownPercent, true));
            return;
        case kTypeInternal:
            return;
        default:
            if (paramStepCount[tag] != -1)
                setNumStepped(tag, paramStepRange[tag], paramStepCount[tag]);
            else
                setNumPer(tag);
            return;
    }
}
