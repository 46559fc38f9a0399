#include "hostlib/MidiFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "hostlib/FileUtil.h"

namespace tavhost {

namespace {

class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    size_t pos() const { return pos_; }
    size_t remaining() const { return size_ - pos_; }
    bool atEnd() const { return pos_ >= size_; }

    bool byte(uint8_t& out) {
        if (pos_ >= size_) return false;
        out = data_[pos_++];
        return true;
    }
    bool peek(uint8_t& out) const {
        if (pos_ >= size_) return false;
        out = data_[pos_];
        return true;
    }
    bool u16(uint32_t& out) {
        if (remaining() < 2) return false;
        out = ((uint32_t)data_[pos_] << 8) | data_[pos_ + 1];
        pos_ += 2;
        return true;
    }
    bool u32(uint32_t& out) {
        if (remaining() < 4) return false;
        out = ((uint32_t)data_[pos_] << 24) | ((uint32_t)data_[pos_ + 1] << 16) |
              ((uint32_t)data_[pos_ + 2] << 8) | data_[pos_ + 3];
        pos_ += 4;
        return true;
    }
    // A variable-length quantity: at most four bytes, 28 bits.
    bool vlq(uint32_t& out) {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            uint8_t b;
            if (!byte(b)) return false;
            value = (value << 7) | (b & 0x7f);
            if (!(b & 0x80)) {
                out = value;
                return true;
            }
        }
        return false;
    }
    bool skip(size_t n) {
        if (remaining() < n) return false;
        pos_ += n;
        return true;
    }
    const uint8_t* here() const { return data_ + pos_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

std::string hexByte(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof(buf), "0x%02X", v & 0xffu);
    return buf;
}

int channelDataBytes(uint8_t status) {
    switch (status & 0xf0) {
        case 0xC0:
        case 0xD0:
            return 1;
        default:
            return 2;
    }
}

struct TrackResult {
    std::vector<MidiFileEvent> events;
    std::vector<MidiTempoChange> tempos;
    int64_t endTick = 0;
};

// Parses one MTrk body. `base` is the body's offset in the file, for messages.
bool parseTrack(const uint8_t* body, size_t size, size_t base, int trackIndex, size_t eventBudget,
                TrackResult& out, std::string& error) {
    Reader r(body, size);
    int64_t tick = 0;
    uint8_t running = 0;
    auto fail = [&](const std::string& what) {
        error = "track " + std::to_string(trackIndex) + ": " + what + " at byte " +
                std::to_string(base + r.pos());
        return false;
    };
    while (!r.atEnd()) {
        uint32_t delta;
        if (!r.vlq(delta)) return fail("truncated or overlong delta time");
        tick += delta;
        uint8_t status;
        if (!r.peek(status)) return fail("truncated event");
        if (status & 0x80) {
            r.byte(status);
        } else {
            if (!running) return fail("data byte " + hexByte(status) + " without a running status");
            status = running;
        }
        if (status == 0xFF) {
            uint8_t type;
            uint32_t len;
            if (!r.byte(type) || !r.vlq(len)) return fail("truncated meta event");
            if (len > r.remaining()) return fail("meta event longer than its track");
            if (type == 0x51 && len >= 3) {
                const uint8_t* p = r.here();
                uint32_t us = ((uint32_t)p[0] << 16) | ((uint32_t)p[1] << 8) | p[2];
                // A zero tempo would stop time; such an event is ignored.
                if (us > 0) out.tempos.push_back({tick, us});
            }
            r.skip(len);
            out.endTick = tick;
            if (type == 0x2F) break;  // end of track: anything after it is not part of it
            continue;
        }
        if (status == 0xF0 || status == 0xF7) {
            uint32_t len;
            if (!r.vlq(len)) return fail("truncated system exclusive event");
            if (!r.skip(len)) return fail("system exclusive event longer than its track");
            out.endTick = tick;
            continue;
        }
        if (status >= 0xF0) return fail("status byte " + hexByte(status) + " not allowed in a file");
        running = status;
        MidiFileEvent ev;
        ev.tick = tick;
        ev.track = trackIndex;
        ev.bytes[0] = status;
        int n = channelDataBytes(status);
        for (int i = 0; i < n; ++i) {
            uint8_t d;
            if (!r.byte(d)) return fail("truncated channel message");
            if (d & 0x80) return fail("status byte " + hexByte(d) + " inside a channel message");
            ev.bytes[1 + i] = d;
        }
        ev.size = (uint8_t)(1 + n);
        if (out.events.size() >= eventBudget) return fail("too many events");
        out.events.push_back(ev);
        out.endTick = tick;
    }
    return true;
}

}  // namespace

double MidiFile::ppqAtTick(int64_t tick) const {
    if (ticksPerQuarter > 0) return (double)tick / ticksPerQuarter;
    return tempoMap.ppqAtSeconds(secondsAtTick(tick));
}

double MidiFile::secondsAtTick(int64_t tick) const {
    if (ticksPerQuarter > 0) return tempoMap.secondsAtPpq((double)tick / ticksPerQuarter);
    if (smpteTicksPerSecond > 0) return (double)tick / smpteTicksPerSecond;
    return 0.0;
}

bool parseMidiFile(const uint8_t* data, size_t size, MidiFile& out, std::string& error) {
    out = MidiFile();
    if (!data || size == 0) {
        error = "empty MIDI file";
        return false;
    }
    if (size > kMaxMidiFileBytes) {
        error = "MIDI file too large";
        return false;
    }
    Reader r(data, size);
    if (size < 14 || std::memcmp(data, "MThd", 4) != 0) {
        error = "not a Standard MIDI File (no MThd header)";
        return false;
    }
    r.skip(4);
    uint32_t headerLen, format, ntracks, division;
    r.u32(headerLen);
    if (headerLen < 6 || headerLen > r.remaining()) {
        error = "bad MIDI header length " + std::to_string(headerLen);
        return false;
    }
    r.u16(format);
    r.u16(ntracks);
    r.u16(division);
    r.skip(headerLen - 6);
    if (format > 1) {
        error = "MIDI file format " + std::to_string(format) + " is not supported (only 0 and 1)";
        return false;
    }
    if (ntracks == 0 || (format == 0 && ntracks != 1)) {
        error = "MIDI file format " + std::to_string(format) + " with " + std::to_string(ntracks) +
                " tracks";
        return false;
    }
    MidiFile file;
    file.format = (int)format;
    file.trackCount = (int)ntracks;
    if (division & 0x8000) {
        int fps = -(int)(int8_t)(division >> 8);
        int perFrame = (int)(division & 0xff);
        double rate = fps == 29 ? 29.97 : (double)fps;
        if ((fps != 24 && fps != 25 && fps != 29 && fps != 30) || perFrame == 0) {
            error = "bad SMPTE time division";
            return false;
        }
        file.smpteTicksPerSecond = rate * perFrame;
    } else {
        if (division == 0) {
            error = "MIDI time division is 0";
            return false;
        }
        file.ticksPerQuarter = (int)division;
    }

    std::vector<TrackResult> tracks;
    size_t totalEvents = 0;
    while (tracks.size() < ntracks) {
        if (r.atEnd()) {
            error = "truncated MIDI file: " + std::to_string(ntracks) + " tracks declared, " +
                    std::to_string(tracks.size()) + " found";
            return false;
        }
        char id[4];
        uint32_t len = 0;
        if (r.remaining() < 8) {
            error = "truncated chunk header at byte " + std::to_string(r.pos());
            return false;
        }
        std::memcpy(id, r.here(), 4);
        r.skip(4);
        r.u32(len);
        if (len > r.remaining()) {
            error = "truncated MIDI file: chunk at byte " + std::to_string(r.pos() - 8) +
                    " claims " + std::to_string(len) + " bytes, " + std::to_string(r.remaining()) +
                    " left";
            return false;
        }
        size_t bodyPos = r.pos();
        const uint8_t* body = r.here();
        r.skip(len);
        if (std::memcmp(id, "MTrk", 4) != 0) continue;  // unknown chunks are skipped
        TrackResult track;
        if (!parseTrack(body, len, bodyPos, (int)tracks.size(), kMaxMidiEvents - totalEvents, track,
                        error))
            return false;
        totalEvents += track.events.size();
        tracks.push_back(std::move(track));
    }

    std::vector<MidiTempoChange> tempos;
    for (const TrackResult& t : tracks) {
        tempos.insert(tempos.end(), t.tempos.begin(), t.tempos.end());
        file.lengthTicks = std::max(file.lengthTicks, t.endTick);
    }
    std::stable_sort(tempos.begin(), tempos.end(),
                     [](const MidiTempoChange& a, const MidiTempoChange& b) { return a.tick < b.tick; });
    file.tempoChanges = tempos;
    if (file.ticksPerQuarter > 0) {
        for (const MidiTempoChange& t : tempos)
            file.tempoMap.addChange((double)t.tick / file.ticksPerQuarter, 60e6 / t.microsPerQuarter);
    }

    file.events.reserve(totalEvents);
    for (TrackResult& t : tracks) file.events.insert(file.events.end(), t.events.begin(), t.events.end());
    std::stable_sort(file.events.begin(), file.events.end(),
                     [](const MidiFileEvent& a, const MidiFileEvent& b) { return a.tick < b.tick; });
    for (MidiFileEvent& ev : file.events) ev.seconds = file.secondsAtTick(ev.tick);
    file.lengthSeconds = file.secondsAtTick(file.lengthTicks);
    out = std::move(file);
    return true;
}

bool readMidiFile(const std::string& path, MidiFile& out, std::string& error) {
    std::vector<uint8_t> data;
    if (!readWholeFile(path, kMaxMidiFileBytes, data, error)) return false;
    if (!parseMidiFile(data.data(), data.size(), out, error)) {
        error = "'" + path + "': " + error;
        return false;
    }
    return true;
}

}  // namespace tavhost
