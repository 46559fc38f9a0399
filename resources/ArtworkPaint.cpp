#include "ArtworkPaint.h"

#include <cmath>
#include <cstring>

namespace artwork {

namespace {

constexpr double kPi = 3.14159265358979323846;
const char kFamily[] = "DejaVu Sans";

} // namespace

void Painter::colour(const Rgb& c, double alpha) {
    cairo_set_source_rgba(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0, alpha);
}

void Painter::roundRect(double x0, double y0, double x1, double y1, double radius) {
    const double r = std::fmin(radius, std::fmin(x1 - x0, y1 - y0) / 2);
    cairo_new_sub_path(cr);
    if (r <= 0) {
        cairo_rectangle(cr, x0, y0, x1 - x0, y1 - y0);
        return;
    }
    cairo_arc(cr, x1 - r, y0 + r, r, -kPi / 2, 0);
    cairo_arc(cr, x1 - r, y1 - r, r, 0, kPi / 2);
    cairo_arc(cr, x0 + r, y1 - r, r, kPi / 2, kPi);
    cairo_arc(cr, x0 + r, y0 + r, r, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
}

void Painter::gradientRect(double x0, double y0, double x1, double y1, double radius,
                           const Rgb& top, const Rgb& bottom) {
    cairo_pattern_t* p = cairo_pattern_create_linear(0, y0, 0, y1);
    cairo_pattern_add_color_stop_rgb(p, 0, top.r / 255.0, top.g / 255.0, top.b / 255.0);
    cairo_pattern_add_color_stop_rgb(p, 1, bottom.r / 255.0, bottom.g / 255.0, bottom.b / 255.0);
    roundRect(x0, y0, x1, y1, radius);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

void Painter::fillRound(double x0, double y0, double x1, double y1, double radius, const Rgb& c,
                        double alpha) {
    roundRect(x0, y0, x1, y1, radius);
    colour(c, alpha);
    cairo_fill(cr);
}

void Painter::strokeRound(double x0, double y0, double x1, double y1, double radius, const Rgb& c,
                          double alpha, double width) {
    roundRect(x0, y0, x1, y1, radius);
    colour(c, alpha);
    cairo_set_line_width(cr, width);
    cairo_stroke(cr);
}

void Painter::line(double x0, double y0, double x1, double y1, const Rgb& c, double alpha,
                   double width) {
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
    colour(c, alpha);
    cairo_set_line_width(cr, width);
    cairo_stroke(cr);
}

void Painter::disc(double cx, double cy, double r, const Rgb& c, double alpha) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
    colour(c, alpha);
    cairo_fill(cr);
}

void Painter::ring(double cx, double cy, double r, const Rgb& c, double alpha, double width) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
    colour(c, alpha);
    cairo_set_line_width(cr, width);
    cairo_stroke(cr);
}

void Painter::glow(double cx, double cy, double r, const Rgb& c, double alpha) {
    cairo_pattern_t* p = cairo_pattern_create_radial(cx, cy, 0, cx, cy, r);
    cairo_pattern_add_color_stop_rgba(p, 0, c.r / 255.0, c.g / 255.0, c.b / 255.0, alpha);
    cairo_pattern_add_color_stop_rgba(p, 1, c.r / 255.0, c.g / 255.0, c.b / 255.0, 0);
    cairo_new_sub_path(cr);
    cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

void Painter::well(double x0, double y0, double x1, double y1, double radius) {
    fillRound(x0, y0, x1, y1, radius, kWell);
    // Inner shadow along the top, a faint lit lip along the bottom.
    cairo_save(cr);
    roundRect(x0, y0, x1, y1, radius);
    cairo_clip(cr);
    cairo_pattern_t* p = cairo_pattern_create_linear(0, y0, 0, y0 + 4);
    cairo_pattern_add_color_stop_rgba(p, 0, 0, 0, 0, 0.6);
    cairo_pattern_add_color_stop_rgba(p, 1, 0, 0, 0, 0);
    cairo_rectangle(cr, x0, y0, x1 - x0, 4);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
    cairo_restore(cr);
    strokeRound(x0 + 0.5, y0 + 0.5, x1 - 0.5, y1 - 0.5, radius, kLine, 0.35);
}

void Painter::selectFont(const TextStyle& style, double size) {
    cairo_select_font_face(cr, kFamily, CAIRO_FONT_SLANT_NORMAL,
                           style.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    // No hinting: the same outline at every size, and the text does not depend on the
    // screen font settings of the machine that builds.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
}

double Painter::textWidth(const char* s, const TextStyle& style) {
    selectFont(style, style.size);
    cairo_text_extents_t te;
    cairo_text_extents(cr, s, &te);
    return te.x_advance + style.spacing * static_cast<double>(std::strlen(s));
}

void Painter::text(double x, double y, double w, double h, const char* s, const TextStyle& style) {
    double size = style.size;
    const double natural = textWidth(s, style);
    if (natural > w && natural > 0) size *= w / natural;
    const double scale = size / style.size;
    const double width = natural * scale;
    selectFont(style, size);
    cairo_font_extents_t fe;
    cairo_font_extents(cr, &fe);
    double px = x;
    if (style.align == Align::Centre) px = x + (w - width) / 2;
    if (style.align == Align::Right) px = x + w - width;
    // Capitals centred in the box: the cap height is close to the ascent less a fifth.
    const double baseline = y + h / 2 + fe.ascent * 0.4;
    colour(style.colour, style.alpha);
    double ink[4] = {1e9, 1e9, -1e9, -1e9};
    auto show = [&](const char* t) {
        cairo_text_extents_t te;
        cairo_text_extents(cr, t, &te);
        ink[0] = std::fmin(ink[0], px + te.x_bearing);
        ink[1] = std::fmin(ink[1], baseline + te.y_bearing);
        ink[2] = std::fmax(ink[2], px + te.x_bearing + te.width);
        ink[3] = std::fmax(ink[3], baseline + te.y_bearing + te.height);
        if (inkText) {
            cairo_move_to(cr, px, baseline);
            cairo_show_text(cr, t);
        }
        px += te.x_advance + style.spacing * scale;
    };
    if (style.spacing == 0) {
        show(s);
    } else {
        char one[2] = {0, 0};
        for (const char* c = s; *c; ++c) {
            one[0] = *c;
            show(one);
        }
    }
    cairo_new_path(cr);
    if (!log) return;
    PaintedText t{s, {x, y, x + w, y + h}, {ink[0], ink[1], ink[2], ink[3]}, style.colour, style.alpha};
    for (double* r : {t.box, t.ink}) {
        cairo_user_to_device(cr, &r[0], &r[1]);
        cairo_user_to_device(cr, &r[2], &r[3]);
    }
    log->push_back(t);
}

} // namespace artwork
