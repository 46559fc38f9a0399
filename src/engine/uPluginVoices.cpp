// Voice allocation and play modes: which of the 16 voices a note takes, which one a note-off
// releases and which one is forced out, by the play mode and the held-note stack of the
// mono and legato modes; and the operations that switch every voice off.
#include <cstdlib>
#include <cstring>

#include "plugin/uPlugin.h"

namespace {

constexpr double kSilent = 1e-5;
constexpr int kSrcVelocity = 17;
constexpr int kSrcReleaseVelocity = 18;
constexpr int kSrcNoteOn = 19;
constexpr int kSrcNoteOff = 20;

}  // namespace

// --- queries -------------------------------------------------------------------------------

float APlugin::getVoiceLevel(int voice) {
    if (!isValidVoice(voice)) return 0.0f;
    int count = voiceLevelCount[voice];
    if (count > kVoiceElements) count = kVoiceElements;
    double best = 0.0;
    for (int k = 0; k < count; ++k) {
        const double level = env.envLevel(0, voice, k);
        if (level > best) best = level;
    }
    return (float)best;
}

int APlugin::getNotesPlaying() {
    int n = 0;
    for (int v = 0; v < kNumVoices; ++v)
        if (isVoiceSounding(v)) ++n;
    return n;
}

bool APlugin::isPolyPlayMode() const { return playMode == 0 || playMode == 1 || playMode == 8; }

int APlugin::getNotesOn() {
    if (isPolyPlayMode()) {
        int n = 0;
        for (int v = 0; v < kNumVoices; ++v)
            if (voiceKeyOn[v]) ++n;
        return n;
    }
    return monoNoteHeld ? 2 : 0;
}

int APlugin::getPortMode() {
    if (getLockVarStepped(244) == 8) return 1;
    return getLockVarStepped(245);
}

bool APlugin::anyVoiceKeyOn() {
    for (int v = 0; v < kNumVoices; ++v)
        if (voiceKeyOn[v]) return true;
    return false;
}

// --- single voices ------------------------------------------------------------------------

void APlugin::setVoiceOn(int voice) {
    if (!isValidVoice(voice)) return;
    voiceKeyOn[voice] = 1;
    voiceStolen[voice] = 0;
    modSrcVoice[voice][kSrcNoteOn] = 1.0f;
    modSrcVoice[voice][kSrcNoteOff] = 0.0f;
}

void APlugin::setVoiceOff(int voice, int velocity) {
    releaseVoice(voice, (float)velocity / 127.0f);
}

void APlugin::releaseVoice(int voice, float releaseVelocity) {
    if (!isValidVoice(voice)) return;
    voiceKeyOn[voice] = 0;
    float* src = modSrcVoice[voice];
    src[kSrcReleaseVelocity] = releaseVelocity;
    src[kSrcNoteOn] = 0.0f;
    src[kSrcNoteOff] = 1.0f;
    const bool phraseOver = isPolyPlayMode() ? !anyVoiceKeyOn() : !monoNoteHeld;
    if (phraseOver) {
        modSrcGlobal[kSrcReleaseVelocity] = releaseVelocity;
        modSrcGlobal[kSrcNoteOn] = 0.0f;
        modSrcGlobal[kSrcNoteOff] = 1.0f;
    }
}

// --- allocation ------------------------------------------------------------------------------

void APlugin::getNextCurVoice() {
    float level[kNumVoices];
    bool keyOn[kNumVoices];
    int count = 0;
    for (int v = 0; v < kNumVoices; ++v) {
        level[v] = getVoiceLevel(v);
        keyOn[v] = voiceKeyOn[v] != 0;
        if (keyOn[v] || level[v] > kSilent) ++count;
    }

    if (count != kNumVoices - 1) {
        int chosen = -1;
        for (int v = 0; v < kNumVoices && chosen < 0; ++v)
            if (!keyOn[v] && !(level[v] > kSilent)) chosen = v;
        if (chosen >= 0) {
            curVoice = chosen;
            lastVoice = chosen;
            voiceStolen[chosen] = 0;
        } else {
            // Every voice sounds: the quietest released one, else the quietest of all.
            for (int v = 0; v < kNumVoices; ++v)
                if (!keyOn[v] && (chosen < 0 || level[v] < level[chosen])) chosen = v;
            if (chosen < 0)
                for (int v = 0; v < kNumVoices; ++v)
                    if (chosen < 0 || level[v] < level[chosen]) chosen = v;
            curVoice = chosen >= 0 ? chosen : (curVoice + 1) % 15;
        }
    } else {
        // One voice is silent. Force the quietest released voice out (a held one when all
        // are held) so that a voice stays free for the next note, then take the highest
        // voice that was not held.
        int victim = -1;
        for (int v = 0; v < kNumVoices; ++v)
            if (v != curVoice && !keyOn[v] && (victim < 0 || level[v] < level[victim])) victim = v;
        if (victim < 0)
            for (int v = 0; v < kNumVoices; ++v)
                if (v != curVoice && (victim < 0 || level[v] < level[victim])) victim = v;
        if (victim >= 0) {
            voiceKeyOn[victim] = 0;
            voiceStolen[victim] = 1;
        }
        int chosen = -1;
        for (int v = kNumVoices - 1; v >= 0 && chosen < 0; --v)
            if (!keyOn[v]) chosen = v;
        if (chosen < 0) chosen = victim >= 0 ? victim : 0;
        curVoice = chosen;
        lastVoice = chosen;
        voiceStolen[chosen] = 0;
    }
    if (isValidVoice(curVoice)) voiceStartStamp[curVoice] = (int32_t)sampleCounter;
}

// --- held-note stack of the mono and legato modes ------------------------------------------------

void APlugin::clearNoteStack() {
    for (int32_t& n : noteStack) n = -1;
    noteStackTop = -1;
}

bool APlugin::pushNote(int note) {
    if (noteStackTop >= 0) {
        const int newest = noteStack[noteStackTop];
        const int rule = playMode == 3 || playMode == 6 ? 1 : (playMode == 4 || playMode == 7 ? -1 : 0);
        if (rule > 0 && !(note > newest)) return false;
        if (rule < 0 && !(note < newest)) return false;
    }
    if (noteStackTop < kNoteStackSize - 1) ++noteStackTop;
    noteStack[noteStackTop] = note;  // a full stack overwrites its newest entry
    return true;
}

bool APlugin::noteStackHolds(int note) {
    for (int i = 0; i <= noteStackTop && i < kNoteStackSize; ++i)
        if (noteStack[i] == note) return true;
    return false;
}

// Removes every occurrence of the note (and any empty entry), keeping the order. True when
// the note was the newest entry.
bool APlugin::removeNote(int note) {
    const bool wasNewest = noteStackTop >= 0 && noteStack[noteStackTop] == note;
    int kept = 0;
    for (int i = 0; i <= noteStackTop && i < kNoteStackSize; ++i) {
        const int n = noteStack[i];
        if (n == note || n < 0) continue;
        noteStack[kept++] = n;
    }
    for (int i = kept; i < kNoteStackSize; ++i) noteStack[i] = -1;
    noteStackTop = kept - 1;
    return wasNewest;
}

// --- note on ------------------------------------------------------------------------------------

void APlugin::midiNoteDown(int note, int velocity, int channel) {
    note &= 0x7F;
    notesPlaying = getNotesPlaying();
    if (notesPlaying == 0) {
        const float r1 = (float)(engineRand() & 0x7FFF) / 32767.0f;
        const float r2 = (float)(engineRand() & 0x7FFF) / 32767.0f;
        modSrcGlobal[kSrcVelocity] = (float)velocity / 127.0f;
        modSrcGlobal[5] = (float)note / 127.0f;
        modSrcGlobal[6] = ((float)note - 57.0f) / 12.0f;
        modSrcGlobal[7] = 2.0f * r1 - 1.0f;
        modSrcGlobal[8] = r1;
        modSrcGlobal[9] = 2.0f * r2 - 1.0f;
        modSrcGlobal[10] = r2;
        modSrcGlobal[kSrcNoteOn] = 1.0f;
        modSrcGlobal[kSrcNoteOff] = 0.0f;
        setModSrc(115, 0.0f);
        setModSrc(113, 0.0f);
        setModSrc(112, 0.0f);
        setModSrc(114, 0.0f);
        arpPhraseStart(velocity, true);
    } else if (arpMode == 14) {
        arpPhraseStart(velocity, false);
    }
    noKeyHeld = isPolyPlayMode() ? !anyVoiceKeyOn() : !monoNoteHeld;

    switch (playMode) {
        case 0:
        case 1:
            getNextCurVoice();
            setVoiceOn(curVoice);
            if (playMode == 1 && channel >= 0 && channel < kMidiChannels) {
                channelVoice[channel] = curVoice;
                voiceChannel[curVoice] = channel;
            }
            setNotePressed(curVoice, note, velocity, 0.0f, 0, true, false, true);
            notesPlaying = getNotesPlaying();
            break;
        case 2:
        case 3:
        case 4: {
            if (!pushNote(note)) return;
            releaseVoice(curVoice, (float)velocity / 127.0f);
            if (isValidVoice(curVoice)) voiceStolen[curVoice] = 1;
            getNextCurVoice();
            voiceStolen[curVoice] = 0;
            if (noteStackTop == 0) {
                noteStackVelocity = velocity;
                notesPlaying = 1;
            } else {
                noKeyHeld = 0;
                monoNoteHeld = 1;
                notesPlaying = 2;
            }
            setVoiceOn(curVoice);
            setNotePressed(curVoice, note, noteStackVelocity, 0.0f, 0, true, false, true);
            break;
        }
        case 5:
        case 6:
        case 7: {
            if (!pushNote(note)) return;
            if (noteStackTop > 0) {
                monoNoteHeld = 1;
                noKeyHeld = 0;
                setNotePressed(curVoice, note, noteStackVelocity, 0.0f, 0, false, false, true);
                notesPlaying = 2;
            } else {
                releaseVoice(curVoice, (float)velocity / 127.0f);
                if (isValidVoice(curVoice)) voiceStolen[curVoice] = 1;
                noteStackVelocity = velocity;
                getNextCurVoice();
                voiceStolen[curVoice] = 0;
                setVoiceOn(curVoice);
                setNotePressed(curVoice, note, noteStackVelocity, 0.0f, 0, true, false, true);
                notesPlaying = 1;
            }
            break;
        }
        case 8:
            arpNoteDown(note, velocity);
            notesPlaying = getNotesPlaying();
            break;
        default:
            break;
    }
}

// The Arp play mode keeps the keys for the arpeggiator, which plays the voices itself.
void APlugin::arpNoteDown(int note, int velocity) {
    arpStepCount = getArpNumOfSteps();
    if (arpMode < 10) {
        const bool wasEmpty = arpHeldCount == 0;
        if (arpHeldCount < kArpHeldNotes) {
            arpHeldNotes[arpHeldCount] = note;
            arpHeldVelocity[arpHeldCount] = velocity;
            ++arpHeldCount;
            sortArpHeldNotes();
        }
        if (wasEmpty && arpHeldCount > 0) {
            curVoice = 0;
            arpRunning = 0;
            alternateCounter = 0;
            restartArp(true);
        }
        for (int n = 0; n < 2; ++n)
            if (getSteppedValue(n == 0 ? 356 : 359) == 3) initGlobalLFO(n);
        getArpToStart();
    } else {
        const bool stackWasEmpty = noteStackTop < 0;
        if (stackWasEmpty) noteStackVelocity = velocity;
        if (noteStackTop < kNoteStackSize - 1) ++noteStackTop;
        noteStack[noteStackTop] = note;
        const bool heldBefore = arpHeldCount > 0;
        arpHeldNotes[0] = note;
        arpHeldVelocity[0] = noteStackVelocity;
        arpHeldCount = 1;
        if (!heldBefore) {
            curVoice = 0;
            arpRunning = 0;
            alternateCounter = 0;
            restartArp(false);
        } else if (arpMode > 10) {
            arpSeqReset = 1;
        }
    }
}

// --- note off ------------------------------------------------------------------------------------

void APlugin::midiNoteRelease(int note, int velocity, int channel) {
    note &= 0x7F;
    const float rv = (float)velocity / 127.0f;
    switch (playMode) {
        case 0:
            for (int v = 0; v < kNumVoices; ++v) {
                if (voiceNote[v] != note) continue;
                voiceNote[v] = -1;
                releaseVoice(v, rv);
            }
            break;
        case 1:
            for (int v = 0; v < kNumVoices; ++v) {
                if (voiceNote[v] != note || voiceChannel[v] != channel) continue;
                voiceNote[v] = -1;
                voiceKeyOn[v] = 0;
                voiceStolen[v] = 0;
            }
            break;
        case 2:
        case 3:
        case 4: {
            if (noteStackTop < 0 || !noteStackHolds(note)) return;
            const bool wasNewest = removeNote(note);
            if (noteStackTop < 0) {
                clearNoteStack();
                monoNoteHeld = 0;
                releaseVoice(curVoice, rv);
                if (isValidVoice(curVoice)) voiceStolen[curVoice] = 0;
                return;
            }
            if (wasNewest) {
                releaseVoice(curVoice, rv);
                if (isValidVoice(curVoice)) voiceStolen[curVoice] = 1;
                getNextCurVoice();
                voiceStolen[curVoice] = 0;
                setVoiceOn(curVoice);
                setNotePressed(curVoice, noteStack[noteStackTop], noteStackVelocity, 0.0f, 0, true,
                               false, true);
            }
            break;
        }
        case 5:
        case 6:
        case 7: {
            if (noteStackTop < 0 || !noteStackHolds(note)) return;
            removeNote(note);
            if (noteStackTop >= 0) {
                setNotePressed(curVoice, noteStack[noteStackTop], noteStackVelocity, 0.0f, 0, false,
                               false, true);
            } else {
                clearNoteStack();
                monoNoteHeld = 0;
                for (int v = 0; v < kNumVoices; ++v) releaseVoice(v, rv);
            }
            break;
        }
        case 8:
            arpNoteRelease(note, velocity);
            break;
        default:
            break;
    }
}

void APlugin::arpNoteRelease(int note, int velocity) {
    const float rv = (float)velocity / 127.0f;
    const bool latched = arpPedalLatch || arpLatch;
    if (latched && arpPedalNotes[0] < kArpPedalNotes) {
        arpPedalNotes[1 + arpPedalNotes[0]] = note;
        ++arpPedalNotes[0];
    }
    if (arpMode >= 10) {
        if (latched) return;
        if (noteStackTop <= 0) {
            for (int v = 0; v < kNumVoices; ++v) releaseVoice(v, rv);
            arpHeldCount = 0;
            clearNoteStack();
        } else {
            removeNote(note);
            arpHeldNotes[0] = noteStack[noteStackTop];
            arpHeldVelocity[0] = noteStackVelocity;
            arpHeldCount = 1;
            if (arpMode == 11) arpSeqReset = 1;
        }
        return;
    }
    if (!latched) {
        int kept = 0;
        for (int i = 0; i < arpHeldCount; ++i) {
            if (arpHeldNotes[i] == note) continue;
            arpHeldNotes[kept] = arpHeldNotes[i];
            arpHeldVelocity[kept] = arpHeldVelocity[i];
            ++kept;
        }
        arpHeldCount = kept;
        sortArpHeldNotes();
    }
    if (arpHeldCount == 0)
        for (int v = 0; v < kNumVoices; ++v) releaseVoice(v, rv);
}

// --- all off ----------------------------------------------------------------------------------------

void APlugin::turnAllVoicesOff() {
    for (int v = 0; v < kNumVoices; ++v)
        if (voiceKeyOn[v]) releaseVoice(v, 1.0f);
    for (int v = 0; v < kNumVoices; ++v) {
        voiceStolen[v] = 0;
        voiceKeyOn[v] = 0;
        voiceChannel[v] = -1;
    }
    for (int32_t& c : channelVoice) c = -1;
}

void APlugin::setEverythingOff(bool forgetPitch) {
    turnAllVoicesOff();
    arpRunning = 0;
    curVoice = 0;
    initArp();
    arpHeldCount = 0;
    std::memset(voiceStolen, 0, sizeof(voiceStolen));
    clearNoteStack();
    if (forgetPitch) lastPitch = kPitchNone;
    monoNoteHeld = 0;
    // The voices' rows start over while their counters run on: their memos no longer stand.
    for (int v = 0; v < kNumVoices; ++v) {
        std::memcpy(modDestVoice[v], modDestDefault, sizeof(modDestVoice[v]));
        modPassMemo[v].generation = 0;
        dropTailLevels(tailLevels, v);
    }
}

// A 15-bit pseudo-random value for the note-level random sources and the chord humanizing:
// the C library's generator takes a lock, which the audio thread must not.
int APlugin::engineRand() {
    noteRandState = noteRandState * 1103515245u + 12345u;
    return (int)((noteRandState >> 16) & 0x7FFFu);
}
