// Parameter names, value texts and labels as the host and the editor show them.
//
// A tag's value text is chosen by its record's display type; records of type kTypeByTag
// have a rule of their own per tag. Most rules format the program value; the ones that
// follow a mode or a switch read the live value, and the play-lock group reads the
// lock-aware value, so the text always shows what the engine is using.
#include <cmath>
#include <cstring>

#include "plugin/uPlugin.h"
#include "plugin/uPluginStrings.h"
#include "plugin/uPluginTags.h"

namespace {

constexpr std::size_t kTextSize = APlugin::kParamTextSize;
// What the string forms give the virtual text calls: room for any override.
constexpr std::size_t kScratchSize = 256;

constexpr int kTagDistortKnob1 = 105;
constexpr int kTagDistortKnob2 = 106;
constexpr int kTagModFXKnob1 = 108;
constexpr int kTagModFXKnob5 = 112;
constexpr int kTagDistortMode = 347;
constexpr int kTagModFXMode = 349;
constexpr int kTagModFXSync = 350;
constexpr int kTagDelaySync = 352;
constexpr int kTagLFO1Speed = 102;
constexpr int kTagLFO1Sync = 357;
constexpr int kTagLFO2Sync = 360;
constexpr int kTagFirstModAmount = 385;

// Copies text into a caller's buffer of kTextSize bytes, cut if need be, NUL-terminated.
void putText(char* dst, const char* src) {
    std::size_t n = 0;
    while (n + 1 < kTextSize && src[n]) ++n;
    std::memcpy(dst, src, n);
    dst[n] = 0;
}

// int(x), truncating toward zero, saturated instead of undefined for huge values.
int truncToInt(float x) {
    if (std::isnan(x)) return 0;
    if (x >= 2147483648.0f) return 2147483647;
    if (x <= -2147483648.0f) return -2147483647 - 1;
    return (int)x;
}

float pow2f(float x) { return (float)std::exp2((double)x); }

std::string decimal(int n) { return std::to_string(n); }

// Pan and mix: a left/right (dry/wet) balance with a text of its own around the centre.
std::string balanceText(float v, bool mix) {
    if (v > 0.501f)
        return decimal(truncToInt(v * -200.0f + 200.0f)) + (mix ? "% D / 100% W" : "% L / 100% R");
    if (v < 0.499f)
        return (mix ? "100% D / " : "100% L / ") + decimal(truncToInt(v * 200.0f)) +
               (mix ? "% W" : "% R");
    return mix ? "Equal" : "Center";
}

// Two neighbouring outputs of a multi-output filter blended: "LP- 60%, HP- 40%".
std::string blendText(const char* from, const char* to, float part) {
    const int n = truncToInt(part * 100.0f);
    return std::string(from) + "- " + decimal(100 - n) + "%, " + to + "- " + decimal(n) + "%";
}

std::string modAmountText(APlugin& p, int tag, float v) {
    int slot = tag - kTagFirstModAmount;
    if (slot < 0 || slot >= kTagModSlots) slot = 0;
    int dest = p.getSteppedValue(MOD_DEST_TAGS[slot]);
    if (dest < 0 || dest >= kModDestCount) dest = 0;
    switch (p.destType[dest]) {
        case 4:  // whole octaves added
            return decimal(truncToInt((v + v - 1.0f) * 8.0f + 0.1f)) + " octave";
        case 3: {  // a 0.1-semitone grid
            const float twice = v * 360.0f;
            const float semis = (float)truncToInt(twice + twice + 0.1f) * 0.1f - 36.0f;
            return APlugin::getFloatStr(semis, 1) + " semi";
        }
        case 2:  // a speed factor
            return "x " + APlugin::getFloatStr(pow2f(v * 4.0f + v * 4.0f - 4.0f), 2);
        default:
            return APlugin::getPolarStr(v, true, 1);
    }
}

std::string filterVowelText(APlugin& p, int tag, float v) {
    int layer = 0;
    while (layer < 2 && FILTER_VOWEL_TAGS[layer] != tag) ++layer;
    const int mode = p.getSteppedValue(FILTER_MODE_TAGS[layer]);
    switch (mode) {
        case 28:
        case 29:  // formant filters: a position
            return APlugin::getFloatStr(v * 100.0f, 1) + "%";
        case 11:
        case 23:  // low/high blend
            if (v < 0.01f) return FILTER_MULTI_1_STR[0];
            if (v > 0.99f) return FILTER_MULTI_1_STR[1];
            return blendText(FILTER_MULTI_1_STR[0], FILTER_MULTI_1_STR[1], v);
        case 12:
        case 24: {  // low/band/high blend
            const float x = v * 1.999f;
            const int i = truncToInt(x);
            const float f = x - (float)i;
            if (f < 0.01f) return tableRow(FILTER_MULTI_2_STR, i);
            if (f > 0.99f) return tableRow(FILTER_MULTI_2_STR, i + 1);
            return blendText(tableRow(FILTER_MULTI_2_STR, i), tableRow(FILTER_MULTI_2_STR, i + 1),
                             f);
        }
        default:
            return tableRow(FILTER_VOWEL_STR, p.getSteppedValue(tag, 4.99f, 5));
    }
}

std::string distortKnob1Text(APlugin& p, float v) {
    switch (p.getSteppedValue(kTagDistortMode)) {
        case 0:  // Amp
            return tableRow(AMP_MODEL_STR, APlugin::getSteppedValue(v, 5.99f, 6));
        case 2:  // Bits
            return APlugin::getFloatStr(v * -15.99f + 16.0f, 1) + " Bits";
        case 3:   // BP
        case 12:  // HP
        case 14:  // LP
            return APlugin::getFilterFreqStr(v, true);
        case 4:  // Cab
            return tableRow(CAB_MODEL_STR, APlugin::getSteppedValue(v, 3.99f, 4));
        case 8:  // EQ
            return p.getDBStr(kTagDistortKnob1, 40.0f, 20.0f, true, true);
        case 20:  // Rate
            return decimal(truncToInt(44100.0f / pow2f(v * 5.0f))) + " Hz";
        default:
            return APlugin::getPercentStr(v, true, 1);
    }
}

std::string distortKnob2Text(APlugin& p, float v) {
    switch (p.getSteppedValue(kTagDistortMode)) {
        case 1:   // Atan
        case 9:   // Fold
        case 17:  // Octave 2
        case 18:  // Over
        case 19:  // Power
        case 23:  // Saturate
        case 24:  // Square
        case 25:  // Valve
            return APlugin::getPolarStr(v, true, 1);
        case 2:   // Bits
        case 15:  // Noise
        case 20:  // Rate
        case 21:  // Rectify
            return APlugin::getFilterFreqStr(v, true);
        case 8:  // EQ
            return p.getDBStr(kTagDistortKnob2, 40.0f, 20.0f, true, true);
        default:
            return APlugin::getPercentStr(v, true, 1);
    }
}

// Mod FX types: 0 Chorus, 1 Flanger, 2 Ensemble, 3 Phaser, 4 Wah-Wah, 5 TalkBox,
// 6 Tremolo, 7 Vibrato, 8 AutoPan, 9 Ring, 10 Gator.
std::string modFXKnobText(APlugin& p, int tag, int fx, float v) {
    switch (tag) {
        case 108:
            if (fx == 9) return APlugin::getFilterFreqStr(v, true);
            if (fx == 10)
                return tableRow(GATER_PERIOD_STR, APlugin::getSteppedValue(v, 33.99f, 34));
            return APlugin::getLFOSpeedStr(p.paramValue[tag], p.getOnOff(kTagModFXSync), false);
        case 109:
            if (fx == 3 || fx == 5) return APlugin::getFilterFreqStr(v, true);
            if (fx == 4) return tableRow(FILTER_MULTI_2_STR, truncToInt(v * 2.99f));
            if (fx >= 6 && fx <= 8)
                return tableRow(LFO_WAVE_STR, APlugin::getSteppedValue(v, 8.99f, 9));
            if (fx == 9) return APlugin::getPolarStr(v, true, 1);
            if (fx == 10) return APlugin::getPercentStr(v, true, 1);
            return APlugin::getFloatStr(v * 50.0f, 1) + " ms";
        case 110:
        case 111:
            if (fx == 4) return APlugin::getFilterFreqStr(v, true);
            if (fx == 5)
                return APlugin::getPercentStr(v, true, 1) + " - " +
                       tableRow(FILTER_VOWEL_STR, p.getSteppedValue(tag, 4.99f, 5));
            // While the type is Gator, knobs 4 and 5 carry the step patterns.
            if (fx == 10 && tag == 111) return "Left Gator";
            return APlugin::getPercentStr(v, true, 1);
        default:  // 112
            if (fx == 0 || fx == 9) return APlugin::getFilterFreqStr(v, true);
            if (fx == 10) return "Right Gator";
            return APlugin::getPercentStr(v, true, 1);
    }
}

std::string delayTimeText(APlugin& p, float v) {
    if (p.getOnOff(kTagDelaySync)) return tableRow(DELAY_LEN_STR, truncToInt(v * 14.99f));
    return APlugin::getFloatStr(pow2f(v * 12.0f), 1) + "ms";
}

// The rules of the kTypeByTag records; "----" for a tag without one.
std::string perTagText(APlugin& p, int tag, float v) {
    if (tag >= kTagModFXKnob1 && tag <= kTagModFXKnob5)
        return modFXKnobText(p, tag, p.getSteppedValue(kTagModFXMode), v);
    switch (tag) {
        case 4:
        case 398:
        case 399:
        case 400:
        case 401:
        case 402:
            return APlugin::getPercentStr(p.getLockVar(tag), true, 1);
        case 26:
        case 57:
        case 88:
            return tableRow(WAVE_STR, truncToInt(v * 5.0f));
        case 32:
        case 63:
        case 94:
            return filterVowelText(p, tag, v);
        case kTagDistortKnob1:
            return distortKnob1Text(p, v);
        case kTagDistortKnob2:
            return distortKnob2Text(p, v);
        case 114:
        case 115:
            return delayTimeText(p, v);
        case 121:
            return APlugin::getFloatStr((pow2f(v * 10.0f) - 1.0f) * 0.5f, 1) + " ms";
        case 122:
            return APlugin::getFloatStr(std::floor(v * 30.75f + 1.0f) * 0.25f, 2) + " m3";
        case 123:
            return decimal(truncToInt(pow2f(v * 8.0f - 6.0f) * 100.0f)) + "%";
        case 244:
            return tableRow(PLAY_MODE_STR, p.getLockVarStepped(tag));
        case 245:
            return tableRow(PORT_MODE_STR, p.getLockVarStepped(tag));
        case 246:
        case 247: {
            const int row = p.getLockVarStepped(tag);
            std::string s = tableRow(PITCH_BEND_STR, row);
            if (row > 0) s += " semi";
            return s;
        }
        case 249:
        case 281:
        case 313:
            return tableRow(SOURCE_MODE_STR, p.getSteppedValue(tag));
        case 250:
        case 282:
        case 314:
            return tableRow(LAYER_DEST_STR, p.getSteppedValue(tag));
        case 260:
        case 292:
        case 324:
            return tableRow(FM_MODE_STR, p.getSteppedValue(tag));
        case 272:
        case 304:
        case 336:
            return tableRow(FILTER_MODE_STR, p.getSteppedValue(tag));
        case 344:
            return tableRow(FX_PATH_STR, p.getSteppedValue(tag));
        case kTagDistortMode:
            return tableRow(DISTORT_MODE_STR, p.getSteppedValue(tag));
        case kTagModFXMode:
            return tableRow(MOD_FX_MODE_STR, p.getSteppedValue(tag));
        case 355:
        case 358:
            return tableRow(LFO_WAVE_SHORT_STR, p.getSteppedValue(tag));
        case 356:
        case 359:
            return tableRow(LFO_MODE_STR, p.getSteppedValue(tag));
        case 394:
        case 404:
        case 405:
        case 406:
            return OFF_ON_STR[p.getLockVarOnOff(tag) ? 1 : 0];
        case 395:
        case 396:
            return tableRow(ARP_STEPS_STR, p.getLockVarStepped(tag));
        case 397:
            return tableRow(ARP_SPEED_STR, p.getLockVarStepped(tag));
        case 403:
            return decimal(truncToInt(p.getLockVar(tag) * 127.0f));
        case 407:
            return tableRow(ARP_MODE_STR, p.getLockVarStepped(tag));
        case 408:
            return tableRow(ARP_OCT_STR, p.getLockVarStepped(tag));
        case 409:
            return tableRow(ARP_TIED_MODE_STR, p.getLockVarStepped(tag));
        case 410:
            return tableRow(ARP_LOOP_MODE_STR, p.getLockVarStepped(tag));
        case 411:
            return tableRow(ARP_RATCHET_MODE_STR, p.getLockVarStepped(tag));
        case 555:
            return tableRow(CHORD_MODE_STR, p.getSteppedValue(tag));
        case 556:
        case 583:
        case 610:
        case 637:
            return tableRow(CHORD_NOTE_STR, p.getSteppedValue(tag));
        case 557:
        case 584:
        case 611:
        case 638:  // the strum-sync switch is the next tag
            return APlugin::getChordStrum(v, p.getOnOff(tag + 1), true);
        case 664:
            return tableRow(LOCK_MODE_STR, p.getSteppedValue(tag));
        case 666:
            return tableRow(RIBBON_SPRING_TIME_STR, p.getRibbonSpringTime());
        case 667:
            return tableRow(RIBBON_QUANT_STR, p.getRibbonQuant());
        case 1017:
            return decimal(truncToInt(pow2f(v + v - 1.0f) * 440.0f)) + " Hz";
        case 1019:
            return decimal(truncToInt(pow2f(v * 12.0f) * 20.0f / 1000.0f + 0.1f)) + " KHz";
        default:
            return "----";
    }
}

bool isChordFirstSemi(int tag) {
    for (int c = 0; c < kTagChords; ++c)
        if (CHORD_SEMI_TAGS[c] == tag) return true;
    return false;
}

// The value text of a valid tag.
std::string valueText(APlugin& p, int tag) {
    const float v = p.getParameter(tag);
    switch (p.paramType[tag]) {
        case kTypeOnOff:
            return OFF_ON_STR[p.getOnOff(tag) ? 1 : 0];
        case kTypePercent:
            return APlugin::getPercentStr(v, true, 1);
        case kTypePolar:
            return APlugin::getPolarStr(v, true, 1);
        case kTypeDB60:
            return p.getDBStr(tag, 80.0f, 60.0f, true, true);
        case kTypeMidi127:
        case kTypeVelSplit:
            return decimal(truncToInt(v * 127.0f));
        case kTypeDB80:
            return p.getDBStr(tag, 80.0f, 80.0f, true, true);
        case kTypePan:
            return balanceText(v, false);
        case kTypeMix:
            return balanceText(v, true);
        case kTypeSemi48:
            // A chord's first note is its root: it never moves.
            if (isChordFirstSemi(tag)) return "0 semi";
            return APlugin::getSemiStr(v, 96.99f, 48.0f) + " semi";
        case kTypeCents:
            return APlugin::getFloatStr(v * 200.0f - 100.0f, 1) + " cents";
        case kTypeFilterFreq:
            return APlugin::getFilterFreqStr(v, true);
        case kTypeEnvTime:
            return APlugin::getEnvLenStr(v, true, false);
        case kTypeLFOSpeed: {
            const bool synced = p.getOnOff(tag == kTagLFO1Speed ? kTagLFO1Sync : kTagLFO2Sync);
            return APlugin::getLFOSpeedStr(p.paramValue[tag], synced, false);
        }
        case kTypeModSource:
            return tableRow(SRC_STR, p.getSteppedValue(tag));
        case kTypeModDest:
            return tableRow(DEST_STR, p.getSteppedValue(tag));
        case kTypeModAmount:
            return modAmountText(p, tag, v);
        case kTypeSemi36:
            return APlugin::getSemiStr(v, 72.0f, 36.0f) + " semi";
        case kTypeArpChord:
            return tableRow(ARP_CHORD_STR, p.getSteppedValue(tag));
        case kTypeArpRatchet:
            return tableRow(ARP_RATCHET_STR, p.getSteppedValue(tag));
        case kTypeIntPercent:
            return decimal(truncToInt(v * 100.0f)) + "%";
        case kTypeInternal:
            return "INTERNAL PARAMETER " + decimal(tag + 1);
        default:  // kTypeByTag and anything outside the known types
            return perTagText(p, tag, v);
    }
}

// The name of a valid tag: the knobs whose meaning follows the distortion model or the
// Mod FX type are named after what they do in the current one.
const char* nameText(APlugin& p, int tag) {
    if (tag == kTagDistortKnob1 || tag == kTagDistortKnob2) {
        const int mode = p.getSteppedValue(kTagDistortMode);
        return tableRow(DISTORT_MODE_VAR_STR, mode * kDistortKnobs + (tag - kTagDistortKnob1));
    }
    if (tag >= kTagModFXKnob1 && tag <= kTagModFXKnob5) {
        const int mode = p.getSteppedValue(kTagModFXMode);
        return tableRow(MOD_FX_VAR_STR, mode * kModFXKnobs + (tag - kTagModFXKnob1));
    }
    return p.paramName[tag].c_str();
}

}  // namespace

void APlugin::getParameterDisplay(VstInt32 index, char* text) {
    if (!text) return;
    putText(text, " ");
    if (!isValidTag(index)) return;
    putText(text, valueText(*this, index).c_str());
}

void APlugin::getParameterName(VstInt32 index, char* text) {
    if (!text) return;
    text[0] = 0;
    if (!isValidTag(index)) return;
    putText(text, nameText(*this, index));
}

void APlugin::getParameterLabel(VstInt32 index, char* label) {
    if (!label) return;
    putText(label, " ");
}

std::string APlugin::getParameterDisplayStr(int tag) {
    char buf[kScratchSize] = {};
    getParameterDisplay(tag, buf);
    buf[kScratchSize - 1] = 0;
    return buf;
}

std::string APlugin::getParameterNameStr(int tag) {
    char buf[kScratchSize] = {};
    getParameterName(tag, buf);
    buf[kScratchSize - 1] = 0;
    return buf;
}

int APlugin::getParamType(int tag) { return isValidTag(tag) ? paramType[tag] : kTypeByTag; }
