// The arpeggiator and 16-step sequencer. On the render loop's 16-sample tick it turns the
// held keys into a stepped pattern of notes: one held note per step (the note-order modes),
// all held notes per step (Chord), or the newest key transposed by the pattern (the
// sequencer modes). In the three Mod modes the pattern plays no notes and only drives the
// modulation sources 112..116. The pattern is the grid of parameters 412..539, 16 steps by
// 8 rows; its settings are parameters 394..411. Everything here runs on the audio thread,
// except the getters the editor reads.
#include <cmath>
#include <cstring>

#include "plugin/uPlugin.h"
#include "plugin/uPluginTags.h"

namespace {

// Speed factors of "Arp Speed": steps per sixteenth note.
constexpr double ARP_TEMPO_ARRAY[17] = {1.0 / 16.0, 1.0 / 12.0, 1.0 / 8.0, 1.0 / 6.0, 1.0 / 4.0, 1.0 / 3.0,
                                        1.0 / 2.0,  2.0 / 3.0,  1.0,       1.5,       2.0,       3.0,
                                        4.0,        6.0,        8.0,       12.0,      16.0};

constexpr int kSrcArpGate = 112;
constexpr int kSrcArpTune = 113;
constexpr int kSrcArpVelocity = 114;
constexpr int kSrcArpFree = 115;
constexpr int kSrcArpFreeSmoothed = 116;
constexpr double kNoRatchet = 9999.0;
constexpr double kNoRelease = 99999.0;

enum ArpMode {
    kArpUp = 0,
    kArpDown,
    kArpUpDown,
    kArpDownUp,
    kArpRandom,
    kArpOrdered,
    kArpReverseOrder,
    kArpOrderedUpDown,
    kArpOrderedDownUp,
    kArpChord,
    kArpSequencer,
    kArpSequencerReset,
    kArpSequencerMono,
    kArpModFree,
    kArpModMono,
    kArpModPoly,
};
enum ArpLoopMode { kLoopOn = 0, kLoopOff, kLoopPingPong };
enum ArpTiedMode { kTiedNormal = 0, kTiedSpecial, kTiedToggle1, kTiedToggle2 };

inline float clamp01(float x) { return x < 0.0f ? 0.0f : (x > 1.0f ? 1.0f : x); }

// Whole steps that a modulation destination adds: int(d * 15 + 0.1), held to a sane range
// (NaN adds nothing).
int modSteps(float d) {
    const float x = d * 15.0f + 0.1f;
    if (!(x > -64.0f)) return x != x ? 0 : -64;
    if (x > 64.0f) return 64;
    return (int)x;
}

// Moves `step` on by `dir` under the loop mode: Off ends after the last of `count` steps,
// PingPong turns at both ends (the last step sounds twice, going up and coming back), the
// others jump back to `loopStart`. `wrapped` tells whether the pattern came round to its loop
// start. False when a one-pass pattern has run out.
bool moveArpStep(int loopMode, int count, int loopStart, int& step, int& dir, bool& wrapped) {
    step += dir;
    wrapped = false;
    switch (loopMode) {
        case kLoopOff:
            if (step >= count) return false;
            break;
        case kLoopPingPong:
            if (dir > 0) {
                if (step >= count) {
                    step = count - 1;
                    dir = -1;
                }
            } else if (step <= loopStart) {
                step = loopStart;
                dir = 1;
                wrapped = true;
            }
            break;
        default:
            if (step >= count) {
                step = loopStart;
                wrapped = true;
            }
            break;
    }
    if (step < 0) step = 0;
    return true;
}

// The next octave of the pattern's octave range.
void nextArpOctave(APlugin& p) { p.arpOctave = p.arpOctaveCount > 0 ? (p.arpOctave + 1) % p.arpOctaveCount : 0; }

// Sets the current velocity (key velocity and step velocity mixed by "Vel Key"), tune and
// chord from `step`; hands back the step's own velocity and tune for the modulation sources.
void setArpCurFromStep(APlugin& p, int step, int keyVelocity, float& stepVelocity, float& stepTune) {
    const float k = p.getArpVelKey();
    stepVelocity = p.getArpStepVel(step);
    p.arpCurVelocity = (float)keyVelocity * k + (1.0f - k) * stepVelocity;
    stepTune = p.getArpStepTune(step);
    p.arpCurTune = stepTune + 12.0f * (float)p.arpOctave;
    p.arpCurChord = p.getArpStepChord(step);
}

// The start of a note-playing tick: false when the pattern does not run (it stops, and
// silences its voices, once no key is held).
bool arpTickRuns(APlugin& p) {
    p.updateArpClock();
    if (!p.arpRunning) return false;
    if (p.arpHeldCount < 1) {
        p.arpRunning = 0;
        p.turnAllVoicesOff();
        return false;
    }
    return true;
}

// Ratchets: the step's note sounds again after each share of the step. Moves the ratchet
// phase on by this tick; true when the next ratchet is due.
bool arpRatchetDue(APlugin& p) {
    p.arpRatchetPhase += p.arpStepIncrement * p.arpSwing[p.arpSwingParity];
    if (p.arpRatchetPhase > 1.0) p.arpRatchetPhase -= 1.0;
    if (p.arpRatchetPhase <= p.arpRatchetLength) return false;
    p.arpRatchetPhase -= p.arpRatchetLength;
    ++p.arpRatchetCount;
    return true;
}

// Whether this tick starts a new step (or the pattern starts over).
bool arpStepDue(const APlugin& p) { return p.arpPhase >= 1.0 || p.arpRestart; }

// Moves to the next step: the swing alternates, the phase wraps, and the ratchets start
// over. `first` tells whether this is the pattern's first step. False when a one-pass
// pattern has ended.
bool arpEnterStep(APlugin& p, bool& first) {
    p.arpSwingParity ^= 1;
    p.arpPhase = p.arpRestart ? p.arpStartPhase : p.arpPhase - std::floor(p.arpPhase);
    p.arpStartPhase = 0.0;
    // The ratchets count from the step's own start, as the step phase does.
    p.arpRatchetPhase = p.arpPhase;
    p.arpRatchetCount = 0;
    // A ratchet belongs to the step that set it.
    p.arpRatchetLength = kNoRatchet;
    if (!p.updateArpStep()) return false;
    first = p.arpRestart != 0;
    p.arpRestart = 0;
    return true;
}

// The end of a note-playing tick: voice v's step sources become the global ones, the free
// values glide, and the step phase moves on.
void arpTickEnds(APlugin& p, int v) {
    if (APlugin::isValidVoice(v)) {
        p.modSrcGlobal[kSrcArpTune] = p.modSrcVoice[v][kSrcArpTune];
        p.modSrcGlobal[kSrcArpVelocity] = p.modSrcVoice[v][kSrcArpVelocity];
    }
    p.smoothArpVoiceFree();
    p.arpPhase += p.arpStepIncrement * p.arpSwing[p.arpSwingParity];
}

}  // namespace

// --- settings ---------------------------------------------------------------------------------

int APlugin::getArpMode() { return getLockVarStepped(407); }
int APlugin::getArpLoopMode() { return getLockVarStepped(410); }
int APlugin::getArpSpeed() { return getLockVarStepped(397); }
int APlugin::getArpOct() { return getLockVarStepped(408); }
int APlugin::getArpNumOct() { return getArpOct() + 1; }
int APlugin::getArpTiedMode() { return getLockVarStepped(409); }
int APlugin::getArpRatchetMode() { return getLockVarStepped(411); }
bool APlugin::getArpHostSync() { return getLockVarOnOff(404); }
int APlugin::getArpNumOfStepsWithCatchup() { return getLockVarStepped(395) + 1; }
int APlugin::getArpLoopStartWithCatchup() { return getLockVarStepped(396); }

int APlugin::getArpNumOfSteps() {
    if (readsEngineView()) return engineView.arpNumOfSteps.load(std::memory_order_relaxed);
    int steps = getLockVarStepped(395) + modSteps(modDestGlobal[27]);
    steps = steps < 0 ? 0 : (steps > kArpSteps - 1 ? kArpSteps - 1 : steps);
    return steps + 1;
}

int APlugin::getArpLoopStart() {
    if (readsEngineView()) return engineView.arpLoopStart.load(std::memory_order_relaxed);
    int start = getLockVarStepped(396) + modSteps(modDestGlobal[28]);
    if (start < 0) start = 0;
    const int last = getArpNumOfSteps() - 1;
    return start > last ? last : start;
}

float APlugin::getArpVelKey() { return clamp01(getLockVar(399) + modDestGlobal[32]); }

// --- grid ---------------------------------------------------------------------------------------

bool APlugin::getArpStepOn(int s) { return isValidArpStep(s) && getLockVarOnOff(ARP_ROW_START_TAGS[0] + s); }
bool APlugin::getArpStepTied(int s) { return isValidArpStep(s) && getLockVarOnOff(ARP_ROW_START_TAGS[1] + s); }
bool APlugin::getArpStepSlide(int s) { return isValidArpStep(s) && getLockVarOnOff(ARP_ROW_START_TAGS[2] + s); }

float APlugin::getArpStepTune(int s) { return (float)getArpStepTuneForDisplay(s); }

int APlugin::getArpStepTuneForDisplay(int s) {
    if (!isValidArpStep(s)) return 0;
    const float v = clamp01(getLockVar(ARP_ROW_START_TAGS[3] + s));
    return (int)(v * 72.0f) - 36;
}

float APlugin::getArpStepVel(int s) {
    if (!isValidArpStep(s)) return 0.0f;
    return clamp01(getLockVar(ARP_ROW_START_TAGS[4] + s)) * 127.0f;
}

int APlugin::getArpStepChord(int s) { return isValidArpStep(s) ? getLockVarStepped(ARP_ROW_START_TAGS[5] + s) : 0; }

float APlugin::getArpStepFree(int s) {
    if (!isValidArpStep(s)) return 0.0f;
    const float v = 2.0f * getLockVar(ARP_ROW_START_TAGS[6] + s) - 1.0f;
    return v < -1.0f ? -1.0f : (v > 1.0f ? 1.0f : (v == v ? v : 0.0f));
}

int APlugin::getArpStepRatchet(int s) { return isValidArpStep(s) ? getLockVarStepped(ARP_ROW_START_TAGS[7] + s) : 0; }

void APlugin::setArpKeyEntryPos(int s) {
    if (isValidArpStep(s)) arpKeyEntryStep = s;
}

void APlugin::resetArpKeyEntryPos() { arpKeyEntryStep = 0; }

bool APlugin::getArpRetrigger(int step, int passParity, bool flag) {
    if (flag || step >= kArpSteps || !getArpStepTied(step)) return true;
    switch (getArpTiedMode()) {
        case kTiedSpecial:
            return true;
        case kTiedToggle1:
            return passParity == 0;
        case kTiedToggle2:
            return passParity == 1;
        default:
            return false;
    }
}

// Whether the ratchet mode lets ratchets sound on this pass of the pattern.
bool APlugin::arpRatchetApplies() {
    const int p = arpPassCounter;
    switch (getArpRatchetMode()) {
        case 1:
            return true;
        case 2:
            return p % 2 == 1;
        case 3:
            return p % 2 == 0;
        case 4:
            return p % 3 == 2;
        case 5:
            return p % 4 == 3;
        case 6:
            return p % 3 == 0;
        case 7:
            return p % 4 == 0;
        case 8:
            return arpKeyVelocity >= clamp01(getLockVar(403) + modDestGlobal[33]);
        default:
            return false;
    }
}

double APlugin::getArpRatchetLen(int step) {
    if (!isValidArpStep(step) || getArpStepTied(step) || getArpRatchetMode() == 0) return kNoRatchet;
    const int r = getArpStepRatchet(step);
    if (r <= 0 || !arpRatchetApplies() || arpRatchetCount == r) return kNoRatchet;
    return 1.0 / (double)(r + 1);
}

bool APlugin::getArpRatchetDisplay() {
    if (getArpRatchetMode() == 0) return false;
    if (playMode != 8 || !arpRunning || arpHeldCount <= 0) return true;
    return arpRatchetApplies();
}

// --- run state for the editor -------------------------------------------------------------------

int APlugin::getArpLedPos() {
    if (readsEngineView()) return engineView.arpLedPos.load(std::memory_order_relaxed);
    if (arpKeyEntry) return arpKeyEntryStep;
    if (playMode != 8) {
        if (arpMode == kArpModFree || arpMode == kArpModMono) return arpModRunning ? arpModStep : -1;
        if (arpMode == kArpModPoly) {
            const int v = lastVoice;
            if (!isValidVoice(v) || !arpVoiceModRunning[v]) return -1;
            return arpVoiceModStep[v];
        }
        return -1;
    }
    return (arpHeldCount > 0 && getIsAnyVoicePlaying()) ? arpStep : -1;
}

int APlugin::getArpSeq() {
    return readsEngineView() ? engineView.arpSeq.load(std::memory_order_relaxed) : arpPassParity;
}
bool APlugin::getArpPlaying() {
    return readsEngineView() ? engineView.arpPlaying.load(std::memory_order_relaxed) != 0 : arpHeldCount > 0;
}
int APlugin::getArpPlayedCount() { return arpPassCounter; }

// --- held notes -----------------------------------------------------------------------------------

// The keys in the order they were pressed stay in arpHeldNotes; this keeps the same pairs
// sorted by pitch beside them (equal notes keep their order) and marks a key that has just
// joined as new.
void APlugin::sortArpHeldNotes() {
    int count = arpHeldCount;
    count = count < 0 ? 0 : (count > kArpHeldNotes ? kArpHeldNotes : count);
    if (count > arpSortedCount && count > 0) arpNewKey[arpHeldNotes[count - 1] & 0x7F] = 1;
    for (int i = 0; i < count; ++i) {
        arpSortedNotes[i] = arpHeldNotes[i];
        arpSortedVels[i] = arpHeldVelocity[i];
    }
    for (int i = 1; i < count; ++i) {
        const int n = arpSortedNotes[i];
        const int vel = arpSortedVels[i];
        int j = i - 1;
        while (j >= 0 && arpSortedNotes[j] > n) {
            arpSortedNotes[j + 1] = arpSortedNotes[j];
            arpSortedVels[j + 1] = arpSortedVels[j];
            --j;
        }
        arpSortedNotes[j + 1] = n;
        arpSortedVels[j + 1] = vel;
    }
    arpSortedCount = count;
}

// --- start and restart ---------------------------------------------------------------------------

void APlugin::initArp() {
    // The engine is being reset off the audio thread (construction, a rate change, a program
    // command): a good moment to read ahead what a later program change may name.
    if (!onAudioThread()) preparePlayingTools();

    arpRestart = 1;
    arpChordFirst = 1;
    arpRunning = 0;
    arpStep = -1;
    arpStepDir = 1;
    arpSwingParity = 0;
    arpPassCounter = 0;
    arpRatchetCount = 0;
    arpOctave = 0;
    arpOctaveCount = getArpNumOct();
    arpPassParity = 0;
    arpCurNote = 0;
    arpHeldCount = 0;
    arpSortedCount = 0;
    arpKeyVelocity = 0.0f;
    arpCurTune = 0.0f;
    arpCurVelocity = 1.0f;
    arpPhase = 0.0;
    arpStartPhase = 0.0;
    arpRatchetPhase = 0.0;
    arpRatchetLength = kNoRatchet;
    arpChordVoiceCount = 0;
    std::memset(arpNewKey, 0, sizeof(arpNewKey));
    std::memset(arpHeldNotes, 0, sizeof(arpHeldNotes));
    std::memset(arpHeldVelocity, 0, sizeof(arpHeldVelocity));
    std::memset(arpSortedNotes, 0, sizeof(arpSortedNotes));
    std::memset(arpSortedVels, 0, sizeof(arpSortedVels));
    std::memset(arpChordVoices, 0, sizeof(arpChordVoices));
    for (int32_t& s : arpVoiceStep) s = -1;
}

// The first key of a phrase in the Arp play mode: the pattern starts over from its first
// step, and plays once the host position allows (getArpToStart).
void APlugin::restartArp(bool refreshOctaves) {
    arpRunning = 0;
    arpPhase = 0.0;
    arpStartPhase = 0.0;
    arpRestart = 1;
    arpStep = -1;
    arpStepDir = 1;
    arpNoteCounter = 0;
    arpSwingParity = 0;
    arpOctave = 0;
    if (refreshOctaves) arpOctaveCount = getArpNumOct();
    arpPassParity = 0;
    arpChordFirst = 1;
    arpChordVoiceCount = 0;
    arpRatchetLength = kNoRatchet;
    const float free = getArpStepFree(0);
    for (int v = 0; v < kNumVoices; ++v) {
        arpVoiceFreeSource[v] = free;
        arpVoiceFree[v] = free;
    }
    setModSrc(kSrcArpFree, free);
    // Sequencer modes get no start request of their own from the key handling.
    getArpToStart();
}

// A key pressed while nothing sounds (firstNote), or any key in Mod Mono: the modulator
// starts over, and on the first key the play position too.
void APlugin::arpPhraseStart(int velocity, bool firstNote) {
    restartArpMod();
    if (!firstNote) return;
    if (playMode != 8) arpStep = -1;
    arpStepDir = 1;
    arpRatchetPhase = 0.0;
    arpRatchetCount = 0;
    arpPassCounter = 0;
    arpKeyVelocity = (float)velocity / 127.0f;
    arpStepCount = getArpNumOfSteps();
    arpLoopStart = getArpLoopStart();
}

// The host lets the pattern start: at once without sync, on a stopped transport or without
// time information; on a playing transport at the next sixteenth note (or right away when
// the key lands on one). The LFOs start over with the pattern.
void APlugin::getArpToStart() {
    int sixteenth = arpLastSixteenth;
    double q = 0.0;
    const bool playing = timeInfo && (timeInfo->flags & kVstTransportPlaying) &&
                         (timeInfo->flags & kVstPpqPosValid);
    if (playing) {
        // The host gives the position of the block's first sample; count the samples since.
        const double ppq = timeInfo->ppqPos;
        if (ppq != arpBlockPPQ) {
            arpBlockPPQ = ppq;
            arpBlockStart = sampleCounter;
        }
        const double since = (double)(uint32_t)(sampleCounter - arpBlockStart);
        q = 4.0 * (ppq + since * tempoD / (60.0 * (double)curSampleRate));
        if (!std::isfinite(q) || std::fabs(q) > 1e12) q = 0.0;
        sixteenth = (int)std::floor(q);
    }

    if (arpHeldCount > 0 && !arpRunning) {
        bool start = false;
        double offset = 0.0;
        if (!getArpHostSync() || !playing) {
            start = true;
        } else {
            const double threshold = isHostVendorProp ? tempoD * 8.0 / (double)curSampleRate : 0.001;
            const double fraction = q - std::floor(q);
            if (sixteenth != arpLastSixteenth || fraction < threshold || std::fabs(q) < threshold) {
                start = true;
                // Land on the host's grid: the part of the sixteenth already gone counts.
                const double speed =
                    ARP_TEMPO_ARRAY[getArpSpeed()] * (double)modDestGlobal[26] * (double)modDestGlobal[23];
                offset = fraction * (std::isfinite(speed) && speed > 0.0 ? speed : 1.0);
                offset -= std::floor(offset);
            }
        }
        if (start) {
            arpRunning = 1;
            arpStartPhase = offset;
            restartLFOsForArp();
        }
    }
    arpLastSixteenth = sixteenth;
}

// --- clock --------------------------------------------------------------------------------------

// Once per 16-sample tick: the step increment, the swing factors, the note-length threshold
// and the smoothing coefficients of the free value.
void APlugin::updateArpClock() {
    const uint32_t tick = sampleCounter >> 4;
    if (tick == arpClockTick && !forceControlUpdate) return;
    arpClockTick = tick;

    double increment = (double)modDestGlobal[26] * (double)modDestGlobal[23] * (double)curSampleRateInv *
                       ARP_TEMPO_ARRAY[getArpSpeed()] * 16.0 * tempoD / 15.0;
    if (!(increment >= 0.0) || !std::isfinite(increment)) increment = 0.0;
    arpStepIncrement = increment;

    const double d = clamp01(getLockVar(398) + modDestGlobal[29]);
    arpSwing[0] = 1.0 + d / 2.0;
    arpSwing[1] = (1.0 + d / 2.0) / (1.0 + d);

    double length = (double)getLockVar(400) + 0.0001 + (double)modDestGlobal[31];
    if (!(length >= 0.0)) length = 0.0;
    if (length > 1.0) length = kNoRelease;
    arpNoteLength = length;

    const double base = (double)getLockVar(402) + (double)modDestGlobal[34];
    double ka = base + (double)modDestGlobal[35];
    double kd = base + (double)modDestGlobal[36];
    ka = ka > 0.0 ? ka : 0.0;
    kd = kd > 0.0 ? kd : 0.0;
    arpSmoothAttack = 1.0 - std::exp2(-8.0 * ka);
    arpSmoothDecay = 1.0 - std::exp2(-8.0 * kd);
    if (!std::isfinite(arpSmoothAttack)) arpSmoothAttack = 0.0;
    if (!std::isfinite(arpSmoothDecay)) arpSmoothDecay = 0.0;
}

float APlugin::smoothArpFree(float state, float target) {
    const double k = target > state ? arpSmoothAttack : arpSmoothDecay;
    return (float)((double)state * k + (1.0 - k) * (double)target + 1e-15);
}

// In the Arp play mode every voice's free value glides toward its step's free value.
void APlugin::smoothArpVoiceFree() {
    for (int v = 0; v < kNumVoices; ++v) {
        arpVoiceFreeSource[v] = smoothArpFree(arpVoiceFreeSource[v], arpVoiceFree[v]);
        modSrcVoice[v][kSrcArpFree] = arpVoiceFree[v];
        modSrcVoice[v][kSrcArpFreeSmoothed] = arpVoiceFreeSource[v];
    }
    if (isValidVoice(curVoice)) {
        modSrcGlobal[kSrcArpFree] = arpVoiceFree[curVoice];
        modSrcGlobal[kSrcArpFreeSmoothed] = arpVoiceFreeSource[curVoice];
    }
}

// --- pattern position ------------------------------------------------------------------------------

bool APlugin::updateArpStep() {
    bool wrapped = false;
    if (!moveArpStep(arpLoopMode, arpStepCount, arpLoopStart, arpStep, arpStepDir, wrapped)) {
        // One pass only: the pattern ends and forgets its keys.
        arpHeldCount = 0;
        arpSortedCount = 0;
        turnAllVoicesOff();
        return false;
    }
    if (wrapped) {
        arpLoopStart = getArpLoopStart();
        arpStepCount = getArpNumOfSteps();
        arpPassParity ^= 1;
        arpPassCounter = (arpPassCounter + 1) % 720;
        if (arpMode >= kArpSequencer) nextArpOctave(*this);
    }
    return true;
}

// --- the note players ----------------------------------------------------------------------------

// Computes the step's velocity, note, transposition and chord for held-note entry `index`
// and sounds it on the current voice: a new note (retrigger) or the held one re-pitched.
void APlugin::playArpNote(int index, bool newNote, bool setSources) {
    const int step = arpStep;
    const bool byPitch = arpMode <= kArpRandom;
    int note = 0, keyVelocity = 0;
    if (arpMode >= kArpSequencer) {
        note = arpHeldNotes[0];
        keyVelocity = arpHeldVelocity[0];
    } else if (index >= 0 && index < (byPitch ? arpSortedCount : arpHeldCount)) {
        note = byPitch ? arpSortedNotes[index] : arpHeldNotes[index];
        keyVelocity = byPitch ? arpSortedVels[index] : arpHeldVelocity[index];
    }
    float stepVelocity = 0.0f, stepTune = 0.0f;
    setArpCurFromStep(*this, step, keyVelocity, stepVelocity, stepTune);
    arpCurNote = note;
    const int v = curVoice;
    if (setSources && isValidVoice(v)) {
        arpVoiceFreeSource[v] = modSrcGlobal[kSrcArpFree];
        arpVoiceFree[v] = getArpStepFree(step);
        modSrcVoice[v][kSrcArpVelocity] = stepVelocity / 127.0f;
        modSrcVoice[v][kSrcArpTune] = stepTune / 36.0f;
    }
    if (note > 0 && isValidVoice(v)) {
        setNotePressed(v, note, (int)arpCurVelocity, arpCurTune, arpCurChord, newNote, true,
                       getArpStepSlide(step));
        if (newNote) arpRatchetLength = getArpRatchetLen(step);
    }
}

void APlugin::setArpNorm() {
    if (!arpTickRuns(*this)) return;
    // The step's note on a fresh voice, the others released.
    auto soundOnNewVoice = [this](bool newNote, bool setSources) {
        turnAllVoicesOff();
        getNextCurVoice();
        setVoiceOn(curVoice);
        arpVoiceStep[curVoice] = arpStep;
        playArpNote(arpNoteIndex, newNote, setSources);
    };

    if (arpRatchetDue(*this)) {
        const bool tied = getArpStepTied(arpStep);
        if (getArpStepOn(arpStep) && (!tied || getArpRetrigger(arpStep, arpPassParity, false)))
            soundOnNewVoice(!tied, false);
    }

    if (arpPhase > arpNoteLength && isValidVoice(curVoice) && voiceKeyOn[curVoice]) setVoiceOff(curVoice, 127);

    if (arpStepDue(*this)) {
        bool first = false;
        if (!arpEnterStep(*this, first)) return;
        if (arpMode >= kArpSequencer && arpSeqReset) {
            arpStep = 0;
            arpSeqReset = 0;
        }

        if (!getArpStepOn(arpStep)) {
            if (isValidVoice(curVoice) && voiceKeyOn[curVoice]) setVoiceOff(curVoice, 127);
        } else if (getArpStepTied(arpStep) && !first) {
            // A tie holds the note; some tied modes move it to this step's values.
            if (getArpRetrigger(arpStep, arpPassParity, false)) playArpNote(arpNoteIndex, false, true);
        } else {
            if (arpMode >= kArpSequencer) {
                arpNoteIndex = 0;
            } else {
                arpNoteCounter = first ? 0 : arpNoteCounter + 1;
                const int n = arpHeldCount > 0 ? arpHeldCount : 1;
                const int c = arpNoteCounter;
                int index = 0, remainder = 0;
                switch (arpMode) {
                    case kArpDown:
                    case kArpReverseOrder:
                        remainder = c % n;
                        index = n - 1 - remainder;
                        break;
                    case kArpUpDown:
                    case kArpOrderedUpDown:
                    case kArpDownUp:
                    case kArpOrderedDownUp: {
                        if (n == 1) break;
                        const int m = c % (2 * n - 2);
                        remainder = m;
                        const bool down = arpMode == kArpDownUp || arpMode == kArpOrderedDownUp;
                        if (!down)
                            index = m < n ? m : 2 * n - 2 - m;
                        else
                            index = m < n ? n - 1 - m : m - (n - 1);
                        break;
                    }
                    case kArpRandom:
                        index = (int)(((double)n - 0.01) * (double)(engineRand() & 0x7FFF) / 32767.0);
                        remainder = index;
                        break;
                    default:
                        remainder = c % n;
                        index = remainder;
                        break;
                }
                index = index < 0 ? 0 : (index >= n ? n - 1 : index);
                if (!first && remainder == 0) nextArpOctave(*this);
                arpNoteIndex = index;
            }
            soundOnNewVoice(true, true);
        }
    }

    arpTickEnds(*this, curVoice);
}

// The sequencer modes play the newest key, transposed by the pattern; the key handling
// keeps that key as the only held note.
void APlugin::setArpSeq() { setArpNorm(); }

// Sounds every held key (in the order pressed, at most 16) on a voice of its own.
void APlugin::startArpChord(bool newStep) {
    const int step = arpStep;
    float stepVelocity = 0.0f, stepTune = 0.0f;
    setArpCurFromStep(*this, step, arpHeldVelocity[0], stepVelocity, stepTune);
    const float velocity = arpCurVelocity;
    const float free = getArpStepFree(step);

    if (newStep) {
        turnAllVoicesOff();
        arpChordVoiceCount = 0;
    }
    const int count = arpHeldCount < kArpHeldNotes ? arpHeldCount : kArpHeldNotes;
    for (int i = 0; i < count && arpChordVoiceCount < kArpChordVoices; ++i) {
        const int note = arpHeldNotes[i];
        // Between steps only the keys that joined since the chord sounded are added.
        if (!newStep && !arpNewKey[note & 0x7F]) continue;
        arpNewKey[note & 0x7F] = 0;
        getNextCurVoice();
        const int v = curVoice;
        setVoiceOn(v);
        arpVoiceStep[v] = step;
        arpChordVoices[arpChordVoiceCount++] = v;
        arpVoiceFreeSource[v] = modSrcGlobal[kSrcArpFree];
        arpVoiceFree[v] = free;
        modSrcVoice[v][kSrcArpVelocity] = stepVelocity / 127.0f;
        modSrcVoice[v][kSrcArpTune] = stepTune / 36.0f;
        if (note > 0) setNotePressed(v, note, (int)velocity, arpCurTune, arpCurChord, true, true, false);
    }
    if (newStep) {
        std::memset(arpNewKey, 0, sizeof(arpNewKey));
        arpRatchetLength = getArpRatchetLen(step);
    }
}

void APlugin::setArpChord() {
    if (!arpTickRuns(*this)) return;

    // The chord's restart asks for the ratchet again; the step's count stays.
    if (arpRatchetDue(*this) && getArpStepOn(arpStep)) startArpChord(true);

    if (arpPhase > arpNoteLength && anyVoiceKeyOn()) turnAllVoicesOff();

    if (arpStepDue(*this)) {
        bool first = false;
        if (!arpEnterStep(*this, first)) return;
        // Keys that join after the pattern's first step wait for the next step.
        if (!first) arpChordFirst = 0;

        if (!getArpStepOn(arpStep)) {
            turnAllVoicesOff();
            arpChordVoiceCount = 0;
        } else if (getArpStepTied(arpStep) && !first) {
            if (getArpRetrigger(arpStep, arpPassParity, false)) {
                float stepVelocity = 0.0f, stepTune = 0.0f;
                setArpCurFromStep(*this, arpStep, arpHeldVelocity[0], stepVelocity, stepTune);
                for (int i = 0; i < arpChordVoiceCount; ++i) {
                    const int v = arpChordVoices[i];
                    if (isValidVoice(v) && voiceNote[v] > 0)
                        setNotePressed(v, voiceNote[v], (int)arpCurVelocity, arpCurTune, arpCurChord, false,
                                       true, false);
                }
            }
        } else {
            if (!first) nextArpOctave(*this);
            startArpChord(true);
        }
    } else if (arpChordFirst && getArpStepOn(arpStep) && arpStep >= 0) {
        // In the pattern's first step a key that joins sounds at once.
        startArpChord(false);
    }

    arpTickEnds(*this, arpChordVoiceCount > 0 ? arpChordVoices[0] : -1);
}

// --- the arp as a modulation source ------------------------------------------------------------

// Advances a modulator's step by the loop rules of the pattern. False when a one-pass
// pattern has ended.
bool APlugin::advanceArpModStep(int& step, int& dir, int& passParity, bool rereadLimits) {
    bool wrapped = false;
    if (!moveArpStep(arpLoopMode, arpStepCount, arpLoopStart, step, dir, wrapped)) return false;
    // Ping-pong changes the pass at every step, the other modes when the pattern comes round.
    if (arpLoopMode == kLoopPingPong || wrapped) passParity ^= 1;
    if (wrapped && rereadLimits) {
        arpLoopStart = getArpLoopStart();
        arpStepCount = getArpNumOfSteps();
    }
    return true;
}

// Publishes the modulator's current step: 112 whether the step is on, and for an on step
// that sounds, 113 tune, 114 velocity and the free value (the target of 115).
void APlugin::applyArpModStep(int voice) {
    if (arpMode < kArpModFree) return;
    const int step = voice < 0 ? arpModStep : arpVoiceModStep[voice];
    const int parity = voice < 0 ? arpModPassParity : arpVoiceModPassParity[voice];
    const bool on = getArpStepOn(step);
    if (voice < 0) {
        setModSrc(kSrcArpGate, on ? 1.0f : 0.0f);
    } else {
        modSrcVoice[voice][kSrcArpGate] = on ? 1.0f : 0.0f;
        modSrcGlobal[kSrcArpGate] = on ? 1.0f : 0.0f;
    }
    if (!isValidArpStep(step) || !on) return;
    if (getArpStepTied(step) && !getArpRetrigger(step, parity, false)) return;
    const float tune = getArpStepTune(step) / 36.0f;
    const float velocity = getArpStepVel(step) / 127.0f;
    const float free = getArpStepFree(step);
    if (voice < 0) {
        setModSrc(kSrcArpTune, tune);
        setModSrc(kSrcArpVelocity, velocity);
        arpModFree = free;
    } else {
        modSrcVoice[voice][kSrcArpTune] = tune;
        modSrcVoice[voice][kSrcArpVelocity] = velocity;
        arpVoiceModFree[voice] = free;
        modSrcGlobal[kSrcArpTune] = tune;
        modSrcGlobal[kSrcArpVelocity] = velocity;
        modSrcGlobal[kSrcArpFree] = free;
    }
}

// Called by the note start for the voice it starts (the voice's modulator starts over)
// and with -1 for the global modulator's current step.
void APlugin::updateArpMod(int voice) {
    if (voice >= 0) {
        if (!isValidVoice(voice)) return;
        restartArpVoiceMod(voice);
        return;
    }
    applyArpModStep(-1);
}

void APlugin::restartArpMod() {
    arpModRunning = 1;
    arpModStep = 0;
    arpModSwingParity = 0;
    arpModPassParity = 0;
    arpModPhase = 0.0;
    arpModStepDir = 1;
    applyArpModStep(-1);
    arpModFreeSmoothed = arpModFree;
}

void APlugin::restartArpVoiceMod(int v) {
    arpVoiceModRunning[v] = 1;
    arpVoiceModStep[v] = 0;
    arpVoiceModSwingParity[v] = 0;
    arpVoiceModPassParity[v] = 0;
    arpVoiceModPhase[v] = 0.0;
    arpVoiceModStepDir[v] = 1;
    applyArpModStep(v);
    arpVoiceModFreeSmoothed[v] = arpVoiceModFree[v];
}

// The transport starting restarts the modulator's sequence, once per tick at most.
void APlugin::checkArpModTransport() {
    const uint32_t tick = sampleCounter >> 4;
    if (tick == arpModTransportTick) return;
    arpModTransportTick = tick;
    const uint8_t playing = (timeInfo && (timeInfo->flags & kVstTransportPlaying)) ? 1 : 0;
    if (playing && !arpModHostPlaying) {
        arpModStep = 0;
        arpModPhase = 0.0;
        arpModSwingParity = 0;
        arpModStepDir = 1;
        for (int v = 0; v < kNumVoices; ++v) {
            arpVoiceModStep[v] = 0;
            arpVoiceModPhase[v] = 0.0;
            arpVoiceModSwingParity[v] = 0;
            arpVoiceModStepDir[v] = 1;
        }
    }
    arpModHostPlaying = playing;
}

// Mod Free and Mod Mono: one modulator for all voices.
void APlugin::setArpMod() {
    updateArpClock();
    checkArpModTransport();
    if (arpModRunning) {
        if (arpModPhase >= 1.0) {
            arpModSwingParity ^= 1;
            arpModPhase -= std::floor(arpModPhase);
            if (!advanceArpModStep(arpModStep, arpModStepDir, arpModPassParity, true)) {
                arpModRunning = 0;
            } else {
                const uint8_t gate = getArpStepOn(arpModStep) && !getArpStepTied(arpModStep) ? 1 : 0;
                for (int v = 0; v < kNumVoices; ++v) env.arpGateMark[v] = gate;
                applyArpModStep(-1);
            }
        }
        arpModPhase += arpStepIncrement * arpSwing[arpModSwingParity];
    }
    arpModFreeSmoothed = smoothArpFree(arpModFreeSmoothed, arpModFree);
    setModSrc(kSrcArpFree, arpModFree);
    setModSrc(kSrcArpFreeSmoothed, arpModFreeSmoothed);
}

// Mod Poly: each voice runs the pattern from its own start.
void APlugin::setArpMod(int v) {
    if (!isValidVoice(v)) return;
    updateArpClock();
    checkArpModTransport();
    if (arpVoiceModRunning[v]) {
        if (arpVoiceModPhase[v] >= 1.0) {
            arpVoiceModSwingParity[v] ^= 1;
            arpVoiceModPhase[v] -= std::floor(arpVoiceModPhase[v]);
            if (!advanceArpModStep(arpVoiceModStep[v], arpVoiceModStepDir[v], arpVoiceModPassParity[v],
                                   v == curVoice)) {
                arpVoiceModRunning[v] = 0;
            } else {
                const int s = arpVoiceModStep[v];
                env.arpGateMark[v] = getArpStepOn(s) && !getArpStepTied(s) ? 1 : 0;
                applyArpModStep(v);
            }
        }
        // The voice's own tick comes every 16 of its samples, as the global one does.
        arpVoiceModPhase[v] += arpStepIncrement * arpSwing[arpVoiceModSwingParity[v]];
    }
    arpVoiceModFreeSmoothed[v] = smoothArpFree(arpVoiceModFreeSmoothed[v], arpVoiceModFree[v]);
    modSrcVoice[v][kSrcArpFree] = arpVoiceModFree[v];
    modSrcVoice[v][kSrcArpFreeSmoothed] = arpVoiceModFreeSmoothed[v];
    if (v == lastVoice) {
        modSrcGlobal[kSrcArpFree] = arpVoiceModFree[v];
        modSrcGlobal[kSrcArpFreeSmoothed] = arpVoiceModFreeSmoothed[v];
    }
}
