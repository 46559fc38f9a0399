#!/usr/bin/env python3
"""Writes demo.mid: a short phrase (about 8 seconds) for trying an instrument plug-in.

Format 1 with three tracks on MIDI channel 1:
  0  tempo track: name, 4/4, 120 bpm, a ritardando in the last bar
  1  chords: four held chords over a bass note, explicit note-offs
  2  lead: a melody with a pitch-bend slide and mod-wheel (CC1) swells; its note-offs are
     note-ons with velocity 0 under running status, as many sequencers write them

Standard library only; the output is the same byte for byte on every run.
Usage: make_demo_mid.py [OUTPUT]   (default: demo.mid next to this script)
"""

import os
import struct
import sys

TPQ = 480  # ticks per quarter note
BAR = 4 * TPQ
CH = 0     # MIDI channel 1


def vlq(value):
    """A MIDI variable-length quantity."""
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


def track_chunk(events, running_status):
    """events: (tick, bytes) pairs; sorted stably by tick. Ends with End of Track."""
    events = sorted(events, key=lambda e: e[0])
    body = bytearray()
    last_tick = 0
    status = None
    for tick, data in events:
        body += vlq(tick - last_tick)
        last_tick = tick
        if running_status and data[0] < 0xF0 and data[0] == status:
            body += data[1:]
        else:
            body += data
        status = data[0] if data[0] < 0xF0 else status
    body += vlq(0) + b"\xFF\x2F\x00"
    return b"MTrk" + struct.pack(">I", len(body)) + bytes(body)


def meta(kind, payload):
    return bytes([0xFF, kind]) + vlq(len(payload)) + payload


def tempo(bpm):
    return meta(0x51, struct.pack(">I", round(60_000_000 / bpm))[1:])


def note_on(key, vel):
    return bytes([0x90 | CH, key, vel])


def note_off(key):
    return bytes([0x80 | CH, key, 64])


def cc(number, value):
    return bytes([0xB0 | CH, number, value])


def bend(value):
    """value -8192..8191, 0 = centre."""
    v = max(0, min(16383, value + 8192))
    return bytes([0xE0 | CH, v & 0x7F, v >> 7])


def tempo_track():
    ev = [
        (0, meta(0x03, b"Tavrolune demo")),
        (0, meta(0x58, bytes([4, 2, 24, 8]))),  # 4/4
        (0, tempo(120)),
        (3 * BAR + 2 * TPQ, tempo(108)),
        (3 * BAR + 3 * TPQ, tempo(96)),
    ]
    return track_chunk(ev, running_status=False)


def chord_track():
    # D minor 9, B flat major 7, G minor 7, A 7 sus 4 resolving to A 7.
    chords = [
        (0 * BAR, BAR, [50, 57, 60, 64, 65]),
        (1 * BAR, BAR, [46, 53, 57, 62, 65]),
        (2 * BAR, BAR, [43, 50, 53, 58, 62]),
        (3 * BAR, 2 * TPQ, [45, 52, 55, 62, 64]),
    ]
    ev = [(0, meta(0x03, b"Chords"))]
    for start, length, keys in chords:
        for i, key in enumerate(keys):
            ev.append((start + 10 * i, note_on(key, 78 - 4 * i)))  # a slight strum
            ev.append((start + length - 1, note_off(key)))
    # The last chord: the fourth falls to the third, the rest are held to the end.
    held = [45, 52, 55, 61, 64]
    for i, key in enumerate(held):
        ev.append((3 * BAR + 2 * TPQ + 5 * i, note_on(key, 70 - 3 * i)))
        ev.append((4 * BAR, note_off(key)))
    # A low bass note under the whole phrase.
    ev.append((0, note_on(38, 90)))
    ev.append((4 * BAR, note_off(38)))
    return track_chunk(ev, running_status=False)


def lead_track():
    ev = [(0, meta(0x03, b"Lead")), (0, cc(1, 0)), (0, bend(0))]
    # (start in eighths, length in eighths, key, velocity)
    melody = [
        (0, 1, 69, 96), (1, 1, 72, 84), (2, 2, 74, 100), (4, 1, 72, 80), (5, 1, 69, 82),
        (6, 2, 77, 104),
        (8, 3, 74, 92), (11, 1, 72, 76), (12, 4, 69, 96),
        (16, 1, 70, 88), (17, 1, 72, 80), (18, 2, 74, 98), (20, 4, 77, 108),
        (24, 2, 76, 96), (26, 6, 73, 110),
    ]
    eighth = TPQ // 2
    for start, length, key, vel in melody:
        t0 = start * eighth
        t1 = (start + length) * eighth - 20
        ev.append((t0, note_on(key, vel)))
        ev.append((t1, note_on(key, 0)))  # note-off as velocity 0
    # A slide up into the long F (eighth 20): bend from a whole tone below to the centre,
    # assuming the usual +-2 semitone range.
    slide = 20 * eighth
    ev.append((slide - 10, bend(-8192)))  # after the previous note ends, before this one
    for i in range(1, 9):
        ev.append((slide + i * 24, bend(-8192 + i * 1024)))
    ev.append((slide + 9 * 24, bend(0)))
    # Mod-wheel swells on the held notes (eighths 12 and 26).
    for start, length in ((12, 4), (26, 6)):
        t0 = start * eighth
        span = length * eighth
        steps = 16
        for i in range(steps + 1):
            ev.append((t0 + i * span // steps, cc(1, round(110 * min(1.0, 2 * i / steps) if i <= steps // 2
                                                          else 110 * (2 - 2 * i / steps)))))
    # A small downward bend at the very end of the last note, then back.
    end = 32 * eighth
    for i in range(6):
        ev.append((end - 6 * 40 + i * 40, bend(-i * 600)))
    ev.append((end, bend(0)))
    ev.append((end, cc(1, 0)))
    return track_chunk(ev, running_status=True)


def build():
    tracks = [tempo_track(), chord_track(), lead_track()]
    header = b"MThd" + struct.pack(">IHHH", 6, 1, len(tracks), TPQ)
    return header + b"".join(tracks)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "demo.mid")
    data = build()
    tmp = out + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, out)
    print(f"wrote {out} ({len(data)} bytes)")


if __name__ == "__main__":
    main()
