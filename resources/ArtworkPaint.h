// Drawing primitives of the artwork generator: the panel palette and the few shapes every
// picture is made of. Everything is given in 100 % units; the caller has already scaled the
// cairo context to the size being drawn, so one drawing serves all four sizes.
#pragma once

#include <cairo.h>

namespace artwork {

struct Rgb {
    double r, g, b;  // 0..255
};

// The editor's palette: labels and lines are yellow-green on a dark olive panel.
constexpr Rgb kWindow{17, 18, 13};        // around the panels
constexpr Rgb kPanelTop{37, 40, 28};      // panel gradient, top
constexpr Rgb kPanelBottom{26, 28, 19};   // panel gradient, bottom
constexpr Rgb kHeaderTop{44, 47, 33};     // top bar gradient
constexpr Rgb kHeaderBottom{31, 33, 23};
constexpr Rgb kLine{127, 138, 12};        // lines, unlit LED, top-bar captions
constexpr Rgb kText{197, 213, 26};        // captions, lit LED
constexpr Rgb kDot{202, 217, 48};         // knob pointer
constexpr Rgb kMenuInner{48, 51, 14};     // menu and button faces
constexpr Rgb kKnobOuter{63, 68, 11};     // knob track
constexpr Rgb kWell{13, 14, 8};           // recessed displays
constexpr Rgb kPlate{176, 182, 146};      // the light ribbon plate (its captions are dark grey)

enum class Align { Left, Centre, Right };

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

private:
    void selectFont(const TextStyle& style, double size);
    cairo_t* cr;
};

} // namespace artwork
