// The three page backgrounds. Each page is one panel whose rows and sections are drawn where
// the screen layouts put their controls, so captions, knobs and menus land inside them. The
// rows, rules and captions are tables; the code only walks them.
#include <cmath>
#include <vector>

#include "Artwork.h"

namespace artwork {

namespace {

constexpr double kPageW = 1132, kPageH = 779;

// A horizontal rule across the panel at y.
struct Separator {
    double y, alpha;
};

// Vertical rules of one row of sections, repeated `count` times `step` lower.
struct RowDividers {
    double y0, y1, step;
    int count;
    std::vector<double> xs;
};

struct Caption {
    double x, y, w, h;
    const char* text;
    Align align;
};

// ---- main page -------------------------------------------------------------------------
// Rows: three layer rows (89 px apart, from y 92), the effects (distortion, Mod FX, delay,
// reverb, path), LFO and arpeggiator, modulation / play / chord / amplifier, the ribbon.
const Separator kMainSeparators[] = {
    {180.5, 0.2}, {269.5, 0.2}, {358.5, 0.45}, {445.5, 0.45}, {587.5, 0.45}, {734.5, 0.45},
};
const RowDividers kMainDividers[] = {
    // layer row: knob containers | pitch envelope | high-pass | volume and output
    {92, 177, 89, 3, {724.5, 861.5, 905.5}},
    // distortion | Mod FX | delay | reverb | path
    {362, 442, 0, 1, {164.5, 442.5, 761.5, 1034.5}},
    // LFO | arpeggiator
    {449, 584, 0, 1, {166.5}},
    // mod matrix and velocity split | play | chord | amplifier
    {591, 731, 0, 1, {317.5, 492.5, 892.5}},
};
// The ribbon row: a light plate with the ribbon's groove (the ribbon control's rectangle).
constexpr double kRibbonPlate[4] = {24, 736.5, 1108, 762.5};
constexpr double kRibbonGroove[4] = {27, 737, 841, 757};
constexpr double kRibbonInset = 16;  // half the slider inset: where values 0 and 1 sit

// ---- easy page -------------------------------------------------------------------------
// The easy page's captions are dark olive, so its sections are light cards on the dark page,
// each as high as its controls reach: three layer rows (118 px apart), the effects, then
// LFO / arp / play / chord / amp above the ribbon, which has the main page's plate.
struct Card {
    double x0, y0, x1, y1;
};
const Card kEasyCards[] = {
    {20, 88, 1112, 184}, {20, 206, 1112, 302}, {20, 324, 1112, 420},
    {20, 442, 1112, 540}, {20, 558, 1112, 728},
};
const RowDividers kEasyDividers[] = {
    {96, 178, 118, 3, {747.5, 870.5, 943.5}},
    {450, 534, 0, 1, {213.5, 497.5, 757.5}},
    {564, 722, 0, 1, {201.5, 455.5, 664.5, 816.5}},
};
// Under the LFO's two knobs: a picture of the two LFOs' waves.
constexpr double kEasyLfoPicture[4] = {34, 682, 188, 718};

// ---- back page -------------------------------------------------------------------------
// Captions stand left of their controls (the controls' x varies with the caption's length);
// each box ends a few pixels before its control.
constexpr double kSettingsBox[4] = {36, 384, 640, 646};
const Caption kBackCaptions[] = {
    {50, 414, 158, 13, "MIDI INPUT CHANNEL", Align::Left},
    {50, 429, 158, 13, "PROGRAM CHANGE", Align::Left},
    {50, 449, 139, 13, "BANK CHANGE", Align::Left},
    {50, 469, 227, 13, "MIDI CONTROLLER CAPTURE", Align::Left},
    {50, 489, 199, 13, "COMPUTER KEYBOARD", Align::Left},
    {50, 509, 135, 13, "PRESET WARNING", Align::Left},
    {50, 533, 158, 13, "SCREEN SIZE", Align::Left},
    {50, 574, 85, 13, "A4 TUNING", Align::Left},
    {223, 574, 100, 13, "TUNING FILE", Align::Right},
    {529, 570, 60, 13, "RESET", Align::Left},
    {50, 610, 152, 13, "BRICK FILTER", Align::Left},
    {223, 614, 100, 13, "FREQUENCY", Align::Right},
};
// Group names, dim, at the box's right edge.
const Caption kBackGroups[] = {
    {540, 414, 88, 13, "MIDI", Align::Right},
    {540, 533, 88, 13, "DISPLAY", Align::Right},
    {540, 574, 88, 13, "TUNING", Align::Right},
    {540, 610, 88, 13, "OUTPUT", Align::Right},
};
const Separator kBackSeparators[] = {{527.5, 0.2}, {558.5, 0.2}, {598.5, 0.2}};
// The nameplate high on the page, a calm trace on the right of the settings.
constexpr double kNameplate[4] = {216, 150, 916, 260};
constexpr double kTraceBox[4] = {680, 384, 1096, 646};

void separators(Painter& p, const Separator* s, int n, double x0, double x1) {
    for (int i = 0; i < n; ++i) p.line(x0, s[i].y, x1, s[i].y, kLine, s[i].alpha);
}

void rowDividers(Painter& p, const RowDividers* rows, int n) {
    for (int i = 0; i < n; ++i)
        for (int k = 0; k < rows[i].count; ++k)
            for (double x : rows[i].xs)
                p.line(x, rows[i].y0 + k * rows[i].step, x, rows[i].y1 + k * rows[i].step, kLine,
                       0.3);
}

void card(Painter& p, const Card& c) {
    p.gradientRect(c.x0, c.y0, c.x1, c.y1, 8, kLightTop, kLightBottom);
    p.strokeRound(c.x0 + 0.5, c.y0 + 0.5, c.x1 - 0.5, c.y1 - 0.5, 8, {60, 64, 40}, 0.6);
}

// Two slow waves, a sine and a triangle, as the LFOs draw them.
void lfoPicture(Painter& p, const double* r) {
    cairo_t* cr = p.context();
    const double w = r[2] - r[0], mid = (r[1] + r[3]) / 2, amp = (r[3] - r[1]) / 2 - 2;
    p.line(r[0], mid + 0.5, r[2], mid + 0.5, {84, 92, 3}, 0.25);
    for (int k = 0; k < 2; ++k) {
        for (int i = 0; i <= 160; ++i) {
            const double t = i / 160.0, phase = 2 * t + 0.25 * k;
            const double tri = 4 * std::fabs(phase - std::floor(phase + 0.5)) - 1;
            const double v = k == 0 ? std::sin(2 * 3.14159265358979 * phase) : tri;
            if (i == 0) cairo_move_to(cr, r[0] + w * t, mid - amp * v);
            else cairo_line_to(cr, r[0] + w * t, mid - amp * v);
        }
        p.colour({84, 92, 3}, k == 0 ? 0.55 : 0.3);
        cairo_set_line_width(cr, 1.2);
        cairo_stroke(cr);
    }
}

// A cog: the settings menu's button.
void cog(Painter& p, double cx, double cy, double r) {
    cairo_t* cr = p.context();
    const int teeth = 8;
    for (int i = 0; i < 2 * teeth; ++i) {
        const double a0 = 3.14159265358979 * i / teeth, a1 = 3.14159265358979 * (i + 1) / teeth;
        const double rr = i % 2 == 0 ? r : r * 0.74;
        if (i == 0) cairo_move_to(cr, cx + rr * std::cos(a0), cy + rr * std::sin(a0));
        else cairo_line_to(cr, cx + rr * std::cos(a0), cy + rr * std::sin(a0));
        cairo_line_to(cr, cx + rr * std::cos(a1), cy + rr * std::sin(a1));
    }
    cairo_close_path(cr);
    cairo_new_sub_path(cr);
    cairo_arc_negative(cr, cx, cy, r * 0.34, 0, -2 * 3.14159265358979);
    p.colour(kTextDim);
    cairo_fill(cr);
}

void window(Painter& p) {
    p.gradientRect(0, 0, kPageW, kPageH, 0, {21, 22, 16}, {13, 14, 10});
}

void panel(Painter& p, double x0, double y0, double x1, double y1) {
    p.gradientRect(x0, y0, x1, y1, 8, kPanelTop, kPanelBottom);
    p.strokeRound(x0 + 0.5, y0 + 0.5, x1 - 0.5, y1 - 0.5, 8, kLine, 0.5);
}

void nameplate(Painter& p, double x, double y, double w, double h, double size) {
    TextStyle title;
    title.size = size;
    title.spacing = size * 0.12;
    title.align = Align::Centre;
    p.text(x, y, w, h * 0.62, "TAVROLUNE", title);
    TextStyle sub;
    sub.size = size * 0.3;
    sub.spacing = size * 0.07;
    sub.colour = kTextDim;
    sub.align = Align::Centre;
    p.text(x, y + h * 0.62, w, h * 0.3, "SIXTEEN VOICE SYNTHESIZER", sub);
}

// The top bar shared by the main and the easy page: preset block, compare and help, the
// parameter readouts, the view switch, the nameplate (the back page's click area) and the
// settings menu button.
void topBar(Painter& p, const char* otherView) {
    p.gradientRect(0, 0, kPageW, 77, 0, kHeaderTop, kHeaderBottom);
    p.line(0, 77.5, kPageW, 77.5, kLine, 0.4);
    p.strokeRound(24.5, 10.5, 385.5, 66.5, 6, kLine, 0.3);
    p.well(389, 13, 620, 64, 4);
    TextStyle small;
    small.size = 7;
    small.colour = kTextDim;
    small.align = Align::Centre;
    small.spacing = 0.8;
    p.text(630, 27, 68, 10, "VIEW", small);
    p.fillRound(630, 40, 698, 61, 4, kMenuInner);
    p.strokeRound(630.5, 40.5, 697.5, 60.5, 4, kLine, 0.6);
    TextStyle button;
    button.size = 8;
    button.align = Align::Centre;
    p.text(634, 40, 60, 21, otherView, button);
    nameplate(p, 789, 14, 303, 52, 25);
    p.strokeRound(1097.5, 9.5, 1125.5, 37.5, 4, kLine, 0.35);
    cog(p, 1111.5, 23.5, 8.5);
}

void ribbonRow(Painter& p) {
    const double* r = kRibbonPlate;
    p.gradientRect(r[0], r[1], r[2], r[3], 4, {190, 196, 160}, kPlate);
    p.strokeRound(r[0] + 0.5, r[1] + 0.5, r[2] - 0.5, r[3] - 0.5, 4, {60, 64, 40}, 0.6);
    const double* g = kRibbonGroove;
    p.well(g[0], g[1], g[2], g[3], 4);
    const double x0 = g[0] + kRibbonInset, x1 = g[2] - kRibbonInset;
    for (int k = 0; k <= 8; ++k) {
        const double x = x0 + (x1 - x0) * k / 8.0;
        p.line(x, g[1] + 1.5, x, g[1] + 4, kLine, 0.45);
        p.line(x, g[3] - 4, x, g[3] - 1.5, kLine, 0.45);
    }
}

// Three slow, fading waves: a quiet picture for the empty half of the back page.
void trace(Painter& p, const double* r) {
    cairo_t* cr = p.context();
    const double w = r[2] - r[0], mid = (r[1] + r[3]) / 2;
    for (int k = 0; k < 3; ++k) {
        const double amp = (r[3] - r[1]) * (0.32 - 0.09 * k);
        for (int i = 0; i <= 200; ++i) {
            const double t = i / 200.0;
            // A sine under a raised-cosine window, so each wave fades in and out.
            const double env = 0.5 - 0.5 * std::cos(2 * 3.14159265358979 * t);
            const double y = mid - amp * env * std::sin(2 * 3.14159265358979 * t * (2 + k));
            if (i == 0) cairo_move_to(cr, r[0] + w * t, y);
            else cairo_line_to(cr, r[0] + w * t, y);
        }
        p.colour(k == 0 ? kText : kLine, 0.35 - 0.08 * k);
        cairo_set_line_width(cr, 1.4 - 0.3 * k);
        cairo_stroke(cr);
    }
    p.line(r[0], mid + 0.5, r[2], mid + 0.5, kLine, 0.12);
}

} // namespace

void drawMainPage(Painter& p) {
    window(p);
    topBar(p, "EASY");
    panel(p, 20, 82, 1112, 766);
    separators(p, kMainSeparators, sizeof kMainSeparators / sizeof *kMainSeparators, 21, 1111);
    rowDividers(p, kMainDividers, sizeof kMainDividers / sizeof *kMainDividers);
    ribbonRow(p);
}

void drawEasyPage(Painter& p) {
    window(p);
    topBar(p, "ADVANCED");
    for (const Card& c : kEasyCards) card(p, c);
    rowDividers(p, kEasyDividers, sizeof kEasyDividers / sizeof *kEasyDividers);
    lfoPicture(p, kEasyLfoPicture);
    ribbonRow(p);
}

void drawBackPage(Painter& p) {
    window(p);
    panel(p, 20, 20, 1112, 759);
    const double* b = kSettingsBox;
    p.fillRound(b[0], b[1], b[2], b[3], 8, {255, 255, 255}, 0.03);
    p.strokeRound(b[0] + 0.5, b[1] + 0.5, b[2] - 0.5, b[3] - 0.5, 8, kLine, 0.45);
    TextStyle title;
    title.size = 11;
    title.spacing = 1.2;
    p.text(50, 390, 200, 16, "SETTINGS", title);
    separators(p, kBackSeparators, sizeof kBackSeparators / sizeof *kBackSeparators, b[0] + 8,
               b[2] - 8);
    TextStyle caption;
    for (const Caption& c : kBackCaptions) {
        caption.align = c.align;
        p.text(c.x, c.y, c.w, c.h, c.text, caption);
    }
    TextStyle group;
    group.colour = kTextDim;
    group.spacing = 1;
    for (const Caption& c : kBackGroups) {
        group.align = c.align;
        p.text(c.x, c.y, c.w, c.h, c.text, group);
    }
    TextStyle note;
    note.size = 7.5;
    note.colour = kTextDim;
    p.text(296, 533, 230, 13, "APPLIES WHEN THE PLUG-IN IS NEXT LOADED", note);

    const double* n = kNameplate;
    nameplate(p, n[0], n[1], n[2] - n[0], n[3] - n[1], 46);
    p.line(n[0] + 120, n[3] + 14.5, n[2] - 120, n[3] + 14.5, kLine, 0.3);
    trace(p, kTraceBox);
    TextStyle hint;
    hint.size = 8;
    hint.colour = kTextDim;
    hint.align = Align::Centre;
    hint.spacing = 1.5;
    p.text(20, 700, 1092, 14, "CLICK OUTSIDE THE SETTINGS TO RETURN", hint);
}

} // namespace artwork
