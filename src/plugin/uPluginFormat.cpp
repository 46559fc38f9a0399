// Value formatters: a normalised parameter value as the text a user reads.
//
// Numbers are written with std::to_chars, which never looks at the process locale: a
// host that switches LC_NUMERIC to a decimal comma must not change what we display, and
// typed entry reads these texts back expecting a point.
#include <charconv>
#include <cmath>

#include "plugin/uPlugin.h"
#include "plugin/uPluginStrings.h"

namespace {

constexpr int kMaxDecimals = 30;

// 2 to the power x, computed in double from the float exponent, narrowed to float.
float pow2f(float x) { return (float)std::exp2((double)x); }

// int(x), truncating toward zero, saturated instead of undefined for huge values.
int truncToInt(float x) {
    if (std::isnan(x)) return 0;
    if (x >= 2147483648.0f) return 2147483647;
    if (x <= -2147483648.0f) return -2147483647 - 1;
    return (int)x;
}

std::string decimal(int n) {
    char buf[16];
    const auto res = std::to_chars(buf, buf + sizeof(buf), n);
    return std::string(buf, res.ptr);
}

}  // namespace

std::string APlugin::getFloatStr(float value, int decimals) {
    if (decimals < 0) decimals = 0;
    if (decimals > kMaxDecimals) decimals = kMaxDecimals;
    // A float has at most 39 integer digits; sign, point and decimals fit easily.
    char buf[96];
    const auto res = std::to_chars(buf, buf + sizeof(buf), (double)value,
                                   std::chars_format::fixed, decimals);
    if (res.ec != std::errc()) return std::string();
    return std::string(buf, res.ptr);
}

std::string APlugin::getPercentStr(float value, bool percentSign, int decimals) {
    std::string s = getFloatStr(value * 100.0f, decimals);
    if (percentSign) s += '%';
    return s;
}

std::string APlugin::getPercentStr(int tag, bool percentSign, int decimals) {
    if (!isValidTag(tag)) return std::string();
    return getPercentStr(getParameter(tag), percentSign, decimals);
}

std::string APlugin::getPolarStr(float value, bool percentSign, int decimals) {
    std::string s = getFloatStr(value * 200.0f - 100.0f, decimals);
    if (percentSign) s += '%';
    return s;
}

std::string APlugin::getPolarStr(int tag, bool percentSign, int decimals) {
    if (!isValidTag(tag)) return std::string();
    return getPolarStr(getParameter(tag), percentSign, decimals);
}

std::string APlugin::getDBStr(int tag, float scale, float offset, bool unit, bool offAtZero) {
    if (!isValidTag(tag)) return std::string();
    const float live = paramValue[tag];
    if (offAtZero && live < 0.0001f) return "Off";
    std::string s = getFloatStr(live * scale - offset, 1);
    if (unit) s += " dB";
    return s;
}

std::string APlugin::getSemiStr(float value, float range, float offset) {
    const int n = truncToInt(value * range) + truncToInt(-offset);
    return n > 0 ? "+" + decimal(n) : decimal(n);
}

std::string APlugin::getSemiStr(int tag, float range, float offset) {
    if (!isValidTag(tag)) return std::string();
    return getSemiStr(getParameter(tag), range, offset);
}

std::string APlugin::getFilterFreqStr(float value, bool unit) {
    const float f = 20.0f * pow2f(value * 10.0f);
    if (!unit) return decimal(truncToInt(f));
    if (f < 1000.0f) return decimal(truncToInt(f)) + " Hz";
    return getFloatStr(f / 1000.0f, 1) + " KHz";
}

std::string APlugin::getFilterFreqStr(int tag, bool unit) {
    if (!isValidTag(tag)) return std::string();
    return getFilterFreqStr(getParameter(tag), unit);
}

std::string APlugin::getEnvLenStr(float value, bool unit, bool alwaysMs) {
    const float ms = pow2f(value * 14.0f);
    if (ms < 0.00001f) return "Off";
    if (!unit) return getFloatStr(ms, 1);
    if (alwaysMs || ms < 1000.0f) return getFloatStr(ms, 1) + " ms";
    return getFloatStr(ms / 1000.0f, 2) + " sec";
}

// The free rates of the LFOs and of the Mod FX run at 2^(14 v) x 1.71875 / 256 Hz, which is
// 55 / 8192 x 2^(14 v): 0.0067 Hz at 0, 0.86 Hz at 0.5, 110 Hz at 1.
std::string APlugin::getLFOSpeedStr(float value, bool synced, bool asPeriod) {
    if (synced) return tableRow(LFO_PERIOD_STR, getSteppedValue(value, 33.99f, 34));
    return getLFOSpeedStr(value, 8192.0f, 14.0f, false, asPeriod);
}

std::string APlugin::getLFOSpeedStr(float value, float divisor, float exponent, bool offAtZero,
                                    bool asPeriod) {
    if (offAtZero && value < 0.00001f) return "Off";
    const float hz = (55.0f / divisor) * pow2f(value * exponent);
    if (asPeriod) {
        const float seconds = 1.0f / hz;
        if (seconds < 1.0f) return getFloatStr(seconds * 1000.0f, 0) + " ms";
        return getFloatStr(seconds, 2) + " sec";
    }
    if (hz < 1000.0f) return getFloatStr(hz, 2) + " Hz";
    return getFloatStr(hz / 1000.0f, 2) + " KHz";
}

std::string APlugin::getChordStrum(float value, bool synced, bool unit) {
    if (synced) return tableRow(CHORD_LEN_STR, getSteppedValue(value, 18.99f, 19));
    if (value < 0.00001f) return "Off";
    std::string s = getFloatStr(pow2f(value * 10.0f), 1);
    if (unit) s += " ms";
    return s;
}
