// The bitmaps the editor's views draw: their resource ids at 100 %, the size of one cell at
// 100 % and how many cells are stacked vertically (1 a plain picture, 2 a two-state strip
// with the off state on top, 149 a knob strip). The artwork generator draws exactly these;
// the tests read the same list.
//
// Sizes at the larger editor sizes follow one rule: each cell is trunc(cell x scale) wide and
// high, and the bitmap stacks its cells. So a two-state strip stays even in height and a knob
// strip stays 149 frames of a square frame. Id of size index s = id + 1000 x s.
#pragma once

namespace artwork {

struct BitmapSpec {
    int id;      // resource id at 100 %
    int width;   // one cell at 100 %
    int height;  // one cell at 100 %
    int cells;   // cells stacked vertically
};

constexpr int kKnobFrames = 149;
constexpr int kSizeCount = 4;
constexpr double kScales[kSizeCount] = {1.0, 1.25, 1.5, 2.0};

constexpr BitmapSpec kBitmaps[] = {
    // page backgrounds: main, easy, back page (the frame takes its size from the first)
    {10000, 1132, 779, 1}, {10001, 1132, 779, 1}, {10002, 1132, 779, 1},
    // main layer header strip and knob container, per source type (Wire, String, FM, Wave)
    {10020, 490, 21, 1}, {10021, 490, 21, 1}, {10022, 490, 21, 1}, {10023, 490, 21, 1},
    {10024, 695, 68, 1}, {10025, 695, 68, 1}, {10026, 695, 68, 1}, {10027, 695, 68, 1},
    // easy layer left and right containers, per source type (the right one's last id is 10367)
    {10030, 722, 96, 1}, {10031, 722, 96, 1}, {10032, 722, 96, 1}, {10033, 722, 96, 1},
    {10034, 465, 96, 1}, {10035, 465, 96, 1}, {10036, 465, 96, 1}, {10367, 465, 96, 1},
    // section containers: Mod FX, LFO, main chord (158 wide so the strum sync switch at 144
    // fits whole), mod matrix page, velocity split page, easy chord
    {10040, 270, 60, 1}, {10041, 150, 120, 1}, {10042, 158, 85, 1},
    {10043, 284, 126, 1}, {10044, 284, 126, 1}, {10045, 135, 60, 1},
    // two-state strips: LED, labelled switch, top-bar preview button
    {10060, 13, 13, 2}, {10062, 13, 13, 2}, {10064, 18, 18, 2},
    // ribbon: track with centre mark, handle, modulation marker
    {10065, 814, 20, 1}, {10066, 12, 20, 1}, {10067, 4, 20, 1},
    // easy knob strips: large; medium plain and marked; small plain and marked
    {10050, 52, 52, kKnobFrames}, {10052, 42, 42, kKnobFrames}, {10053, 42, 42, kKnobFrames},
    {10055, 34, 34, kKnobFrames}, {10056, 34, 34, kKnobFrames},
    // knob handles, one frame each, for the large, medium and small knobs
    {10051, 52, 52, 1}, {10054, 42, 42, 1}, {10057, 34, 34, 1},
};

constexpr int kBitmapCount = sizeof(kBitmaps) / sizeof(kBitmaps[0]);

} // namespace artwork
