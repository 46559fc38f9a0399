// Drawing primitives of the artwork generator: the panel palette and the few shapes every
// picture is made of. Everything is given in 100 % units; the caller has already scaled the
// cairo context to the size being drawn, so one drawing serves all four sizes.
#pragma once

#include <cairo.h>

#include <vector>

namespace artwork {

struct Rgb {
    double r, g, b;  // 0..255
};

// The editor's palette: labels and lines are yellow-green on a dark olive panel.
constexpr Rgb kWindow{17, 18, 13};        // around the panels
constexpr Rgb kPanelTop{37, 40, 28};      // panel gradient, top
constexpr Rgb kPanelBottom{26, 28, 19};   // panel gradient, bottom
constexpr Rgb kHeaderTop{22, 23, 17};     // top bar gradient: dark enough for its captions
constexpr Rgb kHeaderBottom{16, 17, 12};  // in the line colour
constexpr Rgb kLine{127, 138, 12};        // lines, unlit LED, top-bar captions
constexpr Rgb kText{197, 213, 26};        // captions, lit LED
constexpr Rgb kTextDim{163, 176, 22};     // secondary texts on the dark panels (still 4.5 : 1)
constexpr Rgb kDot{202, 217, 48};         // knob pointer
constexpr Rgb kMenuInner{48, 51, 14};     // menu and button faces
constexpr Rgb kKnobOuter{63, 68, 11};     // knob track
constexpr Rgb kWell{13, 14, 8};           // recessed displays
constexpr Rgb kPlate{176, 182, 146};      // the light ribbon plate (its captions are dark grey)
constexpr Rgb kLightTop{230, 233, 211};   // the easy page's light sections, whose captions are
constexpr Rgb kLightBottom{214, 218, 194}; // dark olive

enum class Align { Left, Centre, Right };

// A text as the painter placed it, in device pixels: its box, its ink and its colour.
struct PaintedText {
    const char* text;
    double box[4];  // x0, y0, x1, y1
    double ink[4];
    Rgb colour;
    double alpha;
};

struct TextStyle {
    double size = 9;
    bool bold = true;
    Rgb colour = kText;
    double alpha = 1;
    Align align = Align::Left;
    double spacing = 0;  // extra space after each letter
};

class Painter {
public:
    explicit Painter(cairo_t* cr) : cr(cr) {}
    cairo_t* context() const { return cr; }

    void colour(const Rgb& c, double alpha = 1);
    void roundRect(double x0, double y0, double x1, double y1, double radius);
    // A rectangle filled with a vertical gradient.
    void gradientRect(double x0, double y0, double x1, double y1, double radius, const Rgb& top,
                      const Rgb& bottom);
    void fillRound(double x0, double y0, double x1, double y1, double radius, const Rgb& c,
                   double alpha = 1);
    void strokeRound(double x0, double y0, double x1, double y1, double radius, const Rgb& c,
                     double alpha, double width = 1);
    void line(double x0, double y0, double x1, double y1, const Rgb& c, double alpha,
              double width = 1);
    void disc(double cx, double cy, double r, const Rgb& c, double alpha = 1);
    void ring(double cx, double cy, double r, const Rgb& c, double alpha, double width);
    // A soft light around a lit element.
    void glow(double cx, double cy, double r, const Rgb& c, double alpha);
    // A recessed well: dark face, darker top edge, faint lit bottom edge.
    void well(double x0, double y0, double x1, double y1, double radius);

    // Text in the box (x, y, w, h), vertically centred; shrinks to fit the width.
    void text(double x, double y, double w, double h, const char* s, const TextStyle& style);
    double textWidth(const char* s, const TextStyle& style);

    // For tests: every text painted is added to `log` when set; with `inkText` false the texts
    // are placed and logged but not painted (the picture as it is behind them).
    std::vector<PaintedText>* log = nullptr;
    bool inkText = true;

private:
    void selectFont(const TextStyle& style, double size);
    cairo_t* cr;
};

} // namespace artwork
