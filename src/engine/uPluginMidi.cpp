// MIDI input. The host hands a block's events to processEvents, which copies them into a
// fixed pool of records; the render loop then calls processMidi once per sample, which
// counts every pending event down and dispatches those that come due: notes to the play
// modes, pressure, pitch bend and controllers to the modulation sources, the sustain
// pedal, and controllers mapped to parameters (with soft takeover).
#include <cmath>
#include <cstring>

#include "platform/platform.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginStrings.h"

namespace {

constexpr VstInt32 kFreeSlot = -99;
constexpr int kFirstSlot = 1;
constexpr int kLastSlot = kMidiQueueSize - 1;
constexpr int kMaxPending = kMidiQueueSize - 1;
constexpr VstInt32 kTimeInfoFlags = kVstPpqPosValid | kVstTempoValid;
// The latest sample an event may be scheduled for: the largest block a host uses. Later
// or negative offsets are pulled into this window so that every slot comes due.
constexpr VstInt32 kMaxDeltaFrames = 8191;

// Controllers that feed modulation sources 22..41, in source order.
constexpr int kControllerSources[] = {2,  3,  4,  11, 16, 17, 18, 19, 20, 21,
                                      74, 84, 85, 86, 87, 88, 89, 90, 113, 114};

int sourceOfController(int controller) {
    for (int i = 0; i < (int)(sizeof(kControllerSources) / sizeof(kControllerSources[0])); ++i)
        if (kControllerSources[i] == controller) return APlugin::kFirstCCSource + i;
    return 0;
}

}  // namespace

// --- queueing ------------------------------------------------------------------------------

VstInt32 APlugin::processEvents(VstEvents* events) {
    if (!events || events->numEvents <= 0) return 1;
    VstInt32 limit = blockSize > kMaxDeltaFrames + 1 ? blockSize - 1 : kMaxDeltaFrames;
    for (VstInt32 e = 0; e < events->numEvents; ++e) {
        const VstEvent* event = events->events[e];
        if (!event || event->type != kVstMidiType) continue;
        if (midiQueueCount >= kMaxPending) return 1;
        int slot = kFirstSlot;
        while (slot <= kLastSlot && (!midiQueue[slot] || midiQueue[slot]->deltaFrames != kFreeSlot))
            ++slot;
        if (slot > kLastSlot) return 1;

        const VstMidiEvent* in = reinterpret_cast<const VstMidiEvent*>(event);
        VstMidiEvent* rec = midiQueue[slot];
        VstInt32 delta = in->deltaFrames;
        if (delta < 0) delta = 0;
        if (delta > limit) delta = limit;
        rec->type = in->type;
        rec->byteSize = in->byteSize;
        rec->flags = in->flags;
        rec->noteLength = in->noteLength;
        rec->noteOffset = in->noteOffset;
        std::memcpy(rec->midiData, in->midiData, sizeof(rec->midiData));
        rec->detune = in->detune;
        rec->noteOffVelocity = in->noteOffVelocity;
        midiQueueSeq[slot] = midiSeqNext++;
        rec->deltaFrames = delta;  // last: marks the slot as taken
        ++midiQueueCount;
    }
    return 1;
}

// --- dispatch ---------------------------------------------------------------------------------

// Counts every queued event down by one sample and dispatches those that are due, in the
// order they arrived. While a program waits or is being applied, due events stay in the
// queue: they would start voices the application silences, or play with the old sound.
// A MIDI event of the queue is due at the coming sample.
bool APlugin::midiDueNow() const {
    if (midiQueueCount <= 0) return false;
    for (int slot = kFirstSlot; slot <= kLastSlot; ++slot) {
        const VstMidiEvent* rec = midiQueue[slot];
        if (rec && rec->deltaFrames == 0) return true;
    }
    return false;
}

void APlugin::processMidi(long) {
    const bool hold = presetPending.load(std::memory_order_relaxed) ||
                      presetApplying.load(std::memory_order_relaxed);
    int due[kMidiQueueSize];
    int dueCount = 0;
    int pending = midiQueueCount;
    for (int slot = kFirstSlot; slot <= kLastSlot && pending > 0; ++slot) {
        VstMidiEvent* rec = midiQueue[slot];
        if (!rec || rec->deltaFrames == kFreeSlot) continue;
        --pending;
        if (rec->deltaFrames > 0) {
            --rec->deltaFrames;
            continue;
        }
        if (hold) continue;
        // Insertion by arrival; usually there are only one or two.
        int at = dueCount++;
        while (at > 0 && (int32_t)(midiQueueSeq[due[at - 1]] - midiQueueSeq[slot]) > 0) {
            due[at] = due[at - 1];
            --at;
        }
        due[at] = slot;
    }
    for (int k = 0; k < dueCount; ++k) {
        VstMidiEvent* rec = midiQueue[due[k]];
        if (midiQueueCount <= 0) {
            midiQueueCount = 0;
            return;
        }
        --midiQueueCount;
        timeInfo = getTimeInfo(kTimeInfoFlags);

        const int channel = rec->midiData[0] & 0x0F;
        if (midiChannel < 0 || channel == midiChannel) dispatchMidiEvent(*rec);
        rec->deltaFrames = kFreeSlot;
    }
}

void APlugin::dispatchMidiEvent(const VstMidiEvent& event) {
    const int status = event.midiData[0] & 0xF0;
    const int channel = event.midiData[0] & 0x0F;
    const int d1 = event.midiData[1] & 0x7F;
    const int d2 = event.midiData[2] & 0x7F;
    const bool mpe = playMode == 1;

    switch (status) {
        case 0x90:
            if (d2 > 0) {
                if (arpKeyEntry)
                    arpKeyEntryNoteOn(d1, d2);
                else
                    midiNoteDown(d1, d2, channel);
                break;
            }
            [[fallthrough]];
        case 0x80:
            if (arpKeyEntry)
                arpKeyEntryNoteOff();
            else
                midiNoteRelease(d1, d2, channel);
            break;
        case 0xA0: {
            const float p = (float)d2 / 127.0f;
            if (mpe) {
                for (int v = 0; v < kNumVoices; ++v)
                    if (voiceChannel[v] == channel) voicePolyPressure[v] = p;
                channelPolyPressure[channel] = p;
            } else {
                bool matched = false;
                for (int v = 0; v < kNumVoices; ++v) {
                    if (voiceNote[v] == d1 && isVoiceSounding(v)) {
                        voicePolyPressure[v] = p;
                        matched = true;
                    }
                }
                if (!matched)
                    for (int v = 0; v < kNumVoices; ++v) voicePolyPressure[v] = p;
            }
            break;
        }
        case 0xC0:
            break;
        case 0xD0: {
            const float a = (float)d1 / 127.0f;
            if (mpe) {
                for (int v = 0; v < kNumVoices; ++v)
                    if (voiceChannel[v] == channel) voiceChannelPressure[v] = a;
                channelChannelPressure[channel] = a;
            } else {
                for (int v = 0; v < kNumVoices; ++v) voiceChannelPressure[v] = a;
            }
            break;
        }
        case 0xE0: {
            const float b = (float)(d2 * 128 + d1) / 8192.0f - 1.0f;
            if (mpe) {
                for (int v = 0; v < kNumVoices; ++v)
                    if (voiceChannel[v] == channel) modSrcVoice[v][21] = b;
                modSrcChannel[channel][21] = b;
            } else {
                for (int v = 0; v < kNumVoices; ++v) modSrcVoice[v][21] = b;
            }
            pitchBendValue = b;
            modSrcGlobal[21] = b;
            break;
        }
        case 0xB0:
            dispatchController(d1, d2, channel);
            break;
        default:
            break;
    }
}

void APlugin::dispatchController(int controller, int value, int channel) {
    const float v = (float)value / 127.0f;
    lastMIDICC = value;
    switch (controller) {
        case 1:
            if (playMode == 1) {
                for (int voice = 0; voice < kNumVoices; ++voice)
                    if (voiceChannel[voice] == channel) voiceModWheel[voice] = v;
                channelModWheel[channel] = v;
            } else {
                for (float& w : voiceModWheel) w = v;
            }
            modWheelValue = v;
            break;
        case 64:
            handleSustainPedal(value);
            break;
        case 120:
        case 121:
        case 123:
            // All sound off, reset controllers, all notes off: never learned or mapped.
            setEverythingOff(true);
            return;
        default:
            if (const int src = sourceOfController(controller)) setModSrc(src, v, channel);
            break;
    }
    applyControllerMap(controller, v);
}

void APlugin::handleSustainPedal(int value) {
    const bool down = value >= 64;
    const bool latchWas = arpPedalLatch != 0;
    // The voice and channel maps stay: notes held across a pedal message in Poly MPE must
    // still find their voices when they are released.
    sustainPedal = 0;
    arpPedalLatch = 0;
    if (playMode == 8) {
        if (down) {
            if (!latchWas) arpPedalNotes[0] = 0;
            arpPedalLatch = 1;
        } else if (latchWas) {
            const int count = arpPedalNotes[0] < kArpPedalNotes ? arpPedalNotes[0] : kArpPedalNotes;
            for (int i = 0; i < count; ++i) midiNoteRelease(arpPedalNotes[1 + i], value, 127);
            std::memset(arpPedalNotes, 0, sizeof(arpPedalNotes));
        }
    } else if (down) {
        sustainPedal = 1;
    }
}

void APlugin::applyControllerMap(int controller, float value) {
    if (midiLearnArmed) {
        if (isValidTag(midiLearnTag)) {
            const int tag = midiLearnTag;
            midiCCMap[controller] = tag;
            midiCaptured[tag] = getParameter(tag);
            midiLatched[tag] = 0;
            // The preference store is written off the audio thread.
            __atomic_store_n(&midiLearnPending[controller], tag, __ATOMIC_RELAXED);
            __atomic_store_n(&midiLearnPendingAny, (uint8_t)1, __ATOMIC_RELEASE);
        }
        midiLearnArmed = 0;
    }
    const int tag = midiCCMap[controller];
    if (tag == 0 || !isValidTag(tag)) return;
    bool change = true;
    if (midiCaptureOn && !midiLatched[tag]) {
        if (std::fabs(value - midiCaptured[tag]) < 0.025f)
            midiLatched[tag] = 1;
        else
            change = false;
    }
    if (change) setParameter(tag, value);
    editorRefreshRequest = 1;
    if (tag == kRibbonValueTag && midiSpringOn) ribbonCountdown = 4;
}

// --- key entry into the arp grid ----------------------------------------------------------------

void APlugin::arpKeyEntryNoteOn(int note, int velocity) {
    const int s = arpKeyEntryStep < 0 ? 0 : (arpKeyEntryStep > 15 ? 15 : arpKeyEntryStep);
    setOn(412 + s);
    setOff(428 + s);
    setOff(444 + s);
    float tune = ((float)note - 60.0f + 0.1f) / 72.0f + 0.5f;
    tune = tune < 0.0f ? 0.0f : (tune > 1.0f ? 1.0f : tune);
    setParameter(460 + s, tune);
    const float vel = (float)velocity / 127.0f;
    setParameter(476 + s, vel < 1.0f ? vel : 1.0f);
    setToDefault(508 + s);
    setToDefault(492 + s);
    setToDefault(524 + s);
    editorRefreshRequest = 1;
    turnAllVoicesOff();
    // Audition the note on the next voice of 0..14.
    curVoice = (curVoice + 1) % 15;
    setVoiceOn(curVoice);
    setNotePressed(curVoice, note, velocity, 0.0f, 0, true, false, true);
}

void APlugin::arpKeyEntryNoteOff() {
    arpStepCount = getArpNumOfSteps();
    while (arpKeyEntryStep < arpStepCount) {
        ++arpKeyEntryStep;
        if (arpKeyEntryStep >= arpStepCount) break;
        if (getArpStepOn(arpKeyEntryStep) && !getArpStepTied(arpKeyEntryStep)) break;
    }
    if (arpStepCount != 0 && arpKeyEntryStep >= arpStepCount) {
        setOff(406);
        arpKeyEntry = 0;
        arpKeyEntryLast = 0;
        arpKeyEntryStep = 0;
    }
    turnAllVoicesOff();
}

// --- modulation sources of the MIDI controllers ---------------------------------------------------

void APlugin::setModSrc(int src, float value) {
    if (src < 1 || src >= kNumModSources) return;
    modSrcGlobal[src] = value;
    for (int v = 0; v < kNumVoices; ++v) modSrcVoice[v][src] = value;
    // (The effect sources that the chain sets every sample are of no steady pass.)
    if (steadyModSource(src, false)) {
        dropSteadyMemos(modPassMemo, kNumVoices);
        voicesStandFrom = 0;
    }
}

void APlugin::setModSrc(int voice, int src, float value) {
    if (!isValidVoice(voice) || src < 1 || src >= kNumModSources) return;
    modSrcVoice[voice][src] = value;
    if (steadyModSource(src, false)) {
        modPassMemo[voice].steady &= kSteadyInputs;
        voicesStandFrom = 0;
    }
}

void APlugin::setModSrc(int src, float value, int channel) {
    if (src < 1 || src >= kNumModSources) return;
    if (playMode != 1) {
        for (int v = 0; v < kNumVoices; ++v) modSrcVoiceCC[v][src] = value;
        return;
    }
    if (channel < 0 || channel >= kMidiChannels) return;
    for (int v = 0; v < kNumVoices; ++v)
        if (voiceChannel[v] == channel) modSrcVoiceCC[v][src] = value;
    modSrcChannel[channel][src] = value;
}

// --- preferences ----------------------------------------------------------------------------------

void APlugin::updateMIDIChannel(bool force) {
    // Read on the UI thread (or at start-up); the audio thread only uses the cached value.
    if (!onAudioThread()) {
        // Stored as 0 for all channels or 1..16 for one (17 selects a channel no event
        // carries); anything else, a negative value too, means all channels.
        const int stored = loadIntFromPrefs("MIDIChannel");
        const int channel = (stored >= 1 && stored < 18) ? stored - 1 : -1;
        const bool changed = channel != midiChannel;
        midiChannel = channel;
        updateMIDIPrefs();
        if (!changed && !force) return;
    } else if (!force) {
        return;
    }
    if (onAudioThread() || !engineRunning)
        setEverythingOff(true);
    else
        __atomic_store_n(&everythingOffRequest, (uint8_t)1, __ATOMIC_RELEASE);
}

void APlugin::updateMIDIPrefs() {
    if (onAudioThread()) return;
    midiCaptureOn = getRegisterIsOn(REG_MIDI_CAPTURE_STR, true) ? 1 : 0;
    midiSpringOn = getRegisterIsOn(REG_MIDI_SPRING_CHANNEL_STR, true) ? 1 : 0;
}

void APlugin::flushMIDILearnPrefs() {
    if (onAudioThread()) return;
    if (!__atomic_exchange_n(&midiLearnPendingAny, (uint8_t)0, __ATOMIC_ACQ_REL)) return;
    for (int cc = 0; cc < 128; ++cc) {
        const int32_t tag = __atomic_exchange_n(&midiLearnPending[cc], -1, __ATOMIC_ACQ_REL);
        if (tag >= 0) setMIDICC(cc, tag);
    }
}
