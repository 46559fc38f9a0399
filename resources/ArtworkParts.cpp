// Section containers and control strips. Container pictures are mostly transparent: they lie
// over the page background and only add the grouping of the knobs they hold (dividers between
// the knob groups, a scope window, header rules), so the page's panel shows through and the
// frame can redraw any part of a container from the page upwards.
#include <cmath>
#include <vector>

#include "Artwork.h"

namespace artwork {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};

struct Span {
    double x0, x1;
};

struct SourceDecor {
    std::vector<double> dividers;  // x of the rules between knob groups
    bool scope;                    // a window for the layer's output scope
};

// Main knob container (695 x 68): the knob groups of each source as the layout places them
// (Wire: pitch | wire | filter | scope; String: pitch | impulse | length | pluck | damp;
// FM: operator 1 | operator 2; Wave: oscillator | filter). Rules sit in the gaps.
const SourceDecor kMainKnobDecor[4] = {
    {{79.5, 345, 609}, true},
    {{84, 236.5, 389.5, 542.5}, false},
    {{345}, false},
    {{267.5}, false},
};
// The main scope window (the scope's own rectangle at 100 %).
constexpr double kMainScope[4] = {612, 0, 684, 54};

// Main header strip (490 x 21): the knob-group rules continued upwards where the header has
// nothing there (its x is the knob container's x less 205).
const std::vector<double> kHeaderDividers[4] = {{140, 404}, {}, {140}, {}};

// Easy left container (722 x 96): knob groups with knobs every 72 (Wire, String), 59 (FM) or
// 65 px (Wave).
const SourceDecor kEasyLeftDecor[4] = {
    {{60, 276, 634}, true},
    {{60, 276, 420, 564}, false},
    {{348.5}, false},
    {{251.5}, false},
};
constexpr double kEasyScope[4] = {647, 4, 717, 58};

// Easy right container (465 x 96): a rule under the header controls over the knob group they
// belong to (Wire: the filter; FM: the operators; Wave: the filter; String has none).
const std::vector<Span> kEasyRightRules[4] = {{{35, 365}}, {}, {{225, 462}}, {{7, 439}}};

void scopeWindow(Painter& p, const double r[4]) {
    p.well(r[0], r[1], r[2], r[3], 3);
    // A faint centre line, as a resting trace.
    p.line(r[0] + 4, (r[1] + r[3]) / 2, r[2] - 4, (r[1] + r[3]) / 2, kLine, 0.25, 0.8);
}

void dividers(Painter& p, const std::vector<double>& xs, double y0, double y1, double alpha) {
    for (double x : xs) p.line(x, y0, x, y1, kLine, alpha);
}

} // namespace

void drawLayerHeader(Painter& p, int source) {
    p.line(0, 20.5, 490, 20.5, kLine, 0.22);
    dividers(p, kHeaderDividers[source], 3, 20.5, 0.3);
}

void drawLayerKnobs(Painter& p, int source) {
    const SourceDecor& d = kMainKnobDecor[source];
    p.fillRound(0.5, 2, 694.5, 66, 5, kWhite, 0.025);
    dividers(p, d.dividers, 6, 62, 0.3);
    if (d.scope) scopeWindow(p, kMainScope);
}

void drawEasyLayerLeft(Painter& p, int source) {
    const SourceDecor& d = kEasyLeftDecor[source];
    // It lies on the easy page's light card: a faint olive tint groups the knobs.
    p.fillRound(0.5, 0, 721.5, 64, 5, {84, 92, 3}, 0.06);
    dividers(p, d.dividers, 4, 60, 0.3);
    if (d.scope) scopeWindow(p, kEasyScope);
}

void drawEasyLayerRight(Painter& p, int source) {
    // A plain rule: the group's title sits right above it, down to y 15.
    for (const Span& s : kEasyRightRules[source]) p.line(s.x0, 17.5, s.x1, 17.5, kLine, 0.4);
}

void drawSoftBox(Painter& p, double w, double h) {
    p.fillRound(0.5, 0.5, w - 0.5, h - 0.5, 5, kWhite, 0.03);
    p.strokeRound(0.5, 0.5, w - 0.5, h - 0.5, 5, kLine, 0.18);
}

void drawModMatrixPage(Painter& p) {
    // Column heads ("#", source, destination, amount) over the matrix screen.
    p.fillRound(0, 0, 282, 13, 3, kWhite, 0.05);
    dividers(p, {18.5, 118.5, 228.5}, 2, 12, 0.3);
    p.strokeRound(0.5, 13.5, 281.5, 118.5, 3, kLine, 0.25);
}

void drawVelSplitPage(Painter& p) {
    // The table of the twelve split values (three layers x fade in, start, end, fade out).
    p.fillRound(50.5, 9.5, 275.5, 46.5, 3, kWhite, 0.03);
    p.strokeRound(50.5, 9.5, 275.5, 46.5, 3, kLine, 0.3);
    for (double y : {22.5, 34.5}) p.line(51, y, 275, y, kLine, 0.14);
    dividers(p, {107.5, 163.5, 219.5}, 10, 46, 0.14);
}

void drawLed(Painter& p, bool on) {
    const double c = 6.5;
    p.disc(c, c, 6.2, kWell);
    p.ring(c, c, 5.9, kLine, 0.3, 0.8);
    if (on) p.glow(c, c, 6.4, kText, 0.4);
    p.ring(c, c, 4.0, on ? kText : kLine, 1, 1.4);
    p.disc(c, c, 2.0, on ? kText : kLine);
}

void drawLabelledSwitch(Painter& p, bool on) {
    p.fillRound(0.5, 0.5, 12.5, 12.5, 2.5, kWell);
    p.strokeRound(0.5, 0.5, 12.5, 12.5, 2.5, kLine, 0.45, 0.8);
    if (on) p.glow(6.5, 6.5, 6, kText, 0.35);
    p.fillRound(3, 5, 10, 8, 1.5, on ? kText : kLine, on ? 1 : 0.6);
}

void drawPreviewButton(Painter& p, bool on) {
    cairo_t* cr = p.context();
    const Rgb& ink = on ? kText : kLine;
    p.fillRound(1, 1, 17, 17, 3, on ? kMenuInner : Rgb{30, 32, 20});
    p.strokeRound(1.5, 1.5, 16.5, 16.5, 3, kLine, 0.6);
    if (on) p.glow(9, 9, 9, kText, 0.25);
    // An eighth note: the head, the stem and the flag.
    cairo_save(cr);
    cairo_translate(cr, 7.2, 12.6);
    cairo_rotate(cr, -0.35);
    cairo_scale(cr, 2.7, 2.0);
    cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
    cairo_restore(cr);
    p.colour(ink);
    cairo_fill(cr);
    p.line(9.6, 12.2, 9.6, 4.2, ink, 1, 1.2);
    cairo_move_to(cr, 9.6, 4.2);
    cairo_curve_to(cr, 10.6, 5.6, 13.2, 6.0, 12.6, 8.8);
    p.colour(ink);
    cairo_set_line_width(cr, 1.2);
    cairo_stroke(cr);
}

void drawRibbonTrack(Painter& p) {
    // Shown over the ribbon groove while the ribbon is bipolar: the two halves and the centre.
    p.fillRound(16, 4, 406, 16, 2, kLine, 0.10);
    p.fillRound(408, 4, 798, 16, 2, kLine, 0.10);
    p.line(407, 2, 407, 18, kText, 1, 2);
    cairo_t* cr = p.context();
    cairo_move_to(cr, 403.5, 0);
    cairo_line_to(cr, 410.5, 0);
    cairo_line_to(cr, 407, 3.5);
    cairo_close_path(cr);
    cairo_move_to(cr, 403.5, 20);
    cairo_line_to(cr, 410.5, 20);
    cairo_line_to(cr, 407, 16.5);
    cairo_close_path(cr);
    p.colour(kText);
    cairo_fill(cr);
}

void drawRibbonHandle(Painter& p) {
    p.gradientRect(0.5, 0.5, 11.5, 19.5, 2.5, {230, 236, 198}, {136, 144, 98});
    p.strokeRound(0.5, 0.5, 11.5, 19.5, 2.5, {30, 32, 20}, 0.9);
    p.line(6, 4, 6, 16, {40, 42, 28}, 0.75, 1.2);
    p.line(7, 4, 7, 16, kWhite, 0.35, 0.6);
}

void drawRibbonMarker(Painter& p) { p.fillRound(0.5, 1, 3.5, 19, 1.5, kText, 0.8); }

void drawKnobFrame(Painter& p, double d, double value, bool marked) {
    cairo_t* cr = p.context();
    const double c = d / 2;
    const double R = d / 2;
    // The sweep of the editor's knobs: 255.6 degrees from lower left to lower right.
    auto angle = [](double v) { return 2 * kPi * (0.71 * v - 0.6); };
    const double start = angle(0), end = angle(1), centre = angle(0.5), now = angle(value);
    const double rt = R * 0.78, wt = d * 0.075;

    p.disc(c, c, R - 0.4, {20, 21, 13});
    p.ring(c, c, R - 0.9, kLine, 0.22, 0.8);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_set_line_width(cr, wt);
    cairo_new_sub_path(cr);
    cairo_arc(cr, c, c, rt, start, end);
    p.colour(kKnobOuter);
    cairo_stroke(cr);
    const double from = marked ? std::fmin(centre, now) : start;
    const double to = marked ? std::fmax(centre, now) : now;
    if (to - from > 1e-4) {
        cairo_new_sub_path(cr);
        cairo_arc(cr, c, c, rt, from, to);
        p.colour(kText);
        cairo_stroke(cr);
    }
    if (marked) {
        const double r0 = rt + wt / 2 + 0.6, r1 = R - 1.2;
        p.line(c + r0 * std::cos(centre), c + r0 * std::sin(centre), c + r1 * std::cos(centre),
               c + r1 * std::sin(centre), kText, 0.9, 1.1);
    }
    // The cap, lit from the upper left.
    const double rc = R * 0.56;
    cairo_pattern_t* g =
        cairo_pattern_create_radial(c - rc * 0.35, c - rc * 0.45, rc * 0.1, c, c, rc * 1.05);
    cairo_pattern_add_color_stop_rgb(g, 0, 96 / 255.0, 101 / 255.0, 70 / 255.0);
    cairo_pattern_add_color_stop_rgb(g, 1, 28 / 255.0, 30 / 255.0, 19 / 255.0);
    cairo_new_sub_path(cr);
    cairo_arc(cr, c, c, rc, 0, 2 * kPi);
    cairo_set_source(cr, g);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
    p.ring(c, c, rc, kBlack, 0.55, 0.8);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    p.line(c + rc * 0.2 * std::cos(now), c + rc * 0.2 * std::sin(now), c + rc * 0.88 * std::cos(now),
           c + rc * 0.88 * std::sin(now), kDot, 1, d * 0.06);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
}

void drawKnobHandle(Painter& p, double d) {
    // A faint sheen on the cap's upper half; everything else stays clear.
    cairo_t* cr = p.context();
    const double c = d / 2, rc = d / 2 * 0.56;
    cairo_save(cr);
    cairo_new_sub_path(cr);
    cairo_arc(cr, c, c, rc - 0.6, 0, 2 * kPi);
    cairo_clip(cr);
    cairo_translate(cr, c, c - rc * 0.55);
    cairo_scale(cr, rc * 0.85, rc * 0.5);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
    p.colour(kWhite, 0.09);
    cairo_fill(cr);
    cairo_restore(cr);
}

} // namespace artwork
