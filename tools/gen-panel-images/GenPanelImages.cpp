// Draws the panel images (resource ids 101..116) with Cairo from the layout
// table in editor/PanelLayout.cpp, and a composite of each layout: the
// background with every control image drawn at its place. The output is
// deterministic: fixed fonts read from Debian's font packages (not looked up),
// fixed noise, no dates in the files.
//
//   gen-panel-images <image folder> [<composite folder>]
#include <cairo-ft.h>
#include <cairo.h>
#include <ft2build.h>
#include <png.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "core/Parameter.h"
#include "editor/PanelLayout.h"
#include "engine/ParameterTable.h"

namespace fs = std::filesystem;

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Colour {
    double r, g, b, a = 1.0;
};

constexpr Colour kCream{0.87, 0.82, 0.69};
constexpr Colour kCreamDim{0.66, 0.61, 0.50};
constexpr Colour kShadow{0.0, 0.0, 0.0, 0.65};
constexpr Colour kAmber{1.0, 0.71, 0.29};

void SetColour(cairo_t* cr, const Colour& c)
{
    cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a);
}

// ---- Fonts ------------------------------------------------------------------------

enum class Face { Label, Title, Logo, Text };

struct Fonts {
    FT_Library library = nullptr;
    std::vector<FT_Face> faces;
    std::vector<cairo_font_face_t*> cairoFaces;

    bool Load()
    {
        if (FT_Init_FreeType(&library) != 0) {
            return false;
        }
        const char* files[] = {
            "/usr/share/fonts/truetype/liberation/LiberationSansNarrow-Bold.ttf",
            "/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf",
            "/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf",
            "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf",
        };
        for (const char* file : files) {
            FT_Face face = nullptr;
            if (FT_New_Face(library, file, 0, &face) != 0) {
                std::fprintf(stderr, "gen-panel-images: cannot read %s\n", file);
                return false;
            }
            faces.push_back(face);
            cairoFaces.push_back(cairo_ft_font_face_create_for_ft_face(face, 0));
        }
        return true;
    }

    void Use(cairo_t* cr, Face face, double size) const
    {
        cairo_set_font_face(cr, cairoFaces[static_cast<std::size_t>(face)]);
        cairo_set_font_size(cr, size);
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        cairo_set_font_options(cr, options);
        cairo_font_options_destroy(options);
    }
};

const Fonts* g_fonts = nullptr;

double TextWidth(cairo_t* cr, const char* text)
{
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text, &extents);
    return extents.x_advance;
}

// Text centred on x at baseline y, engraved: a dark shadow a pixel below.
void EngravedText(cairo_t* cr, const char* text, double x, double y, Face face, double size,
                  const Colour& colour = kCream)
{
    g_fonts->Use(cr, face, size);
    const double left = std::round(x - TextWidth(cr, text) / 2.0);
    SetColour(cr, kShadow);
    cairo_move_to(cr, left, y + 1.0);
    cairo_show_text(cr, text);
    SetColour(cr, colour);
    cairo_move_to(cr, left, y);
    cairo_show_text(cr, text);
}

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r)
{
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
    cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
    cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
}

// ---- Surfaces ---------------------------------------------------------------------

struct Canvas {
    cairo_surface_t* surface;
    cairo_t* cr;

    Canvas(int w, int h)
        : surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h)), cr(cairo_create(surface))
    {
    }
    ~Canvas()
    {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // Writes an 8-bit RGBA PNG (straight alpha) whatever the content, with
    // fixed compression and no time or text chunks.
    bool Write(const fs::path& path)
    {
        cairo_surface_flush(surface);
        fs::create_directories(path.parent_path());
        const int w = cairo_image_surface_get_width(surface);
        const int h = cairo_image_surface_get_height(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        const unsigned char* data = cairo_image_surface_get_data(surface);
        std::vector<unsigned char> rgba(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                std::uint32_t pixel;
                std::memcpy(&pixel, data + static_cast<std::ptrdiff_t>(y) * stride + x * 4, 4);
                const unsigned a = pixel >> 24;
                unsigned char* out =
                    &rgba[(static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + x) * 4];
                for (int c = 0; c < 3; ++c) {
                    const unsigned v = (pixel >> (16 - 8 * c)) & 0xFF;
                    // Cairo keeps colours premultiplied by alpha.
                    out[c] = static_cast<unsigned char>(a == 0 ? 0 : std::min(255u, (v * 255 + a / 2) / a));
                }
                out[3] = static_cast<unsigned char>(a);
            }
        }
        std::FILE* file = std::fopen(path.string().c_str(), "wb");
        if (file == nullptr) {
            std::fprintf(stderr, "gen-panel-images: cannot write %s\n", path.string().c_str());
            return false;
        }
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        if (setjmp(png_jmpbuf(png)) != 0) {
            png_destroy_write_struct(&png, &info);
            std::fclose(file);
            return false;
        }
        png_init_io(png, file);
        png_set_compression_level(png, 9);
        png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8,
                     PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < h; ++y) {
            png_write_row(png, &rgba[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) * 4]);
        }
        png_write_end(png, nullptr);
        png_destroy_write_struct(&png, &info);
        return std::fclose(file) == 0;
    }
};

// Calls draw(cr, frame) with the origin moved to each frame in turn.
template <typename Draw>
void DrawFrames(Canvas& canvas, const PanelImage& image, Draw draw)
{
    const int frameHeight = image.FrameHeight();
    for (int frame = 0; frame < image.frames; ++frame) {
        cairo_save(canvas.cr);
        cairo_rectangle(canvas.cr, 0, frame * frameHeight, image.width, frameHeight);
        cairo_clip(canvas.cr);
        cairo_translate(canvas.cr, 0, frame * frameHeight);
        draw(canvas.cr, frame);
        cairo_restore(canvas.cr);
    }
}

// ---- Control images ---------------------------------------------------------------

// Angle of a pointer: 0 straight up, clockwise positive (radians).
void PointAt(double angle, double radius, double cx, double cy, double& x, double& y)
{
    x = cx + radius * std::sin(angle);
    y = cy - radius * std::cos(angle);
}

void DrawKnob(cairo_t* cr, double size, int frame, int frames)
{
    const double c = size / 2.0;
    const double skirt = c - 1.0;
    const double cap = c * 0.68;
    const double angle = (-150.0 + 300.0 * frame / (frames - 1)) * kPi / 180.0;

    // Drop shadow, skirt with a knurled edge.
    cairo_arc(cr, c, c + 1.0, skirt, 0, 2 * kPi);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.45);
    cairo_fill(cr);
    cairo_pattern_t* body = cairo_pattern_create_linear(0, 0, 0, size);
    cairo_pattern_add_color_stop_rgb(body, 0.0, 0.24, 0.23, 0.22);
    cairo_pattern_add_color_stop_rgb(body, 1.0, 0.07, 0.07, 0.07);
    cairo_arc(cr, c, c, skirt, 0, 2 * kPi);
    cairo_set_source(cr, body);
    cairo_fill(cr);
    cairo_pattern_destroy(body);
    const int ridges = static_cast<int>(size * 1.5);
    cairo_set_line_width(cr, 0.8);
    for (int i = 0; i < ridges; ++i) {
        double x0, y0, x1, y1;
        const double a = angle + 2 * kPi * i / ridges;
        PointAt(a, cap + 1.0, c, c, x0, y0);
        PointAt(a, skirt - 0.4, c, c, x1, y1);
        cairo_move_to(cr, x0, y0);
        cairo_line_to(cr, x1, y1);
    }
    cairo_set_source_rgba(cr, 0.55, 0.53, 0.50, 0.28);
    cairo_stroke(cr);

    // Brushed metal cap lit from the top left.
    cairo_pattern_t* metal =
        cairo_pattern_create_radial(c - cap * 0.45, c - cap * 0.55, cap * 0.1, c, c, cap * 1.15);
    cairo_pattern_add_color_stop_rgb(metal, 0.0, 0.93, 0.92, 0.88);
    cairo_pattern_add_color_stop_rgb(metal, 0.55, 0.66, 0.65, 0.62);
    cairo_pattern_add_color_stop_rgb(metal, 1.0, 0.36, 0.35, 0.33);
    cairo_arc(cr, c, c, cap, 0, 2 * kPi);
    cairo_set_source(cr, metal);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(metal);
    cairo_set_line_width(cr, 0.8);
    cairo_set_source_rgba(cr, 0.1, 0.1, 0.1, 0.8);
    cairo_stroke(cr);
    cairo_set_line_width(cr, 0.4);
    for (double r = cap * 0.25; r < cap; r += 1.6) {
        cairo_arc(cr, c, c, r, 0, 2 * kPi);
        cairo_set_source_rgba(cr, 1, 1, 1, 0.06);
        cairo_stroke(cr);
    }

    // The pointer: a dark groove across the cap and a lit mark on the skirt.
    double x0, y0, x1, y1;
    PointAt(angle, cap * 0.25, c, c, x0, y0);
    PointAt(angle, cap - 0.5, c, c, x1, y1);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, std::max(1.6, size / 16.0));
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
    cairo_set_source_rgb(cr, 0.12, 0.11, 0.10);
    cairo_stroke(cr);
    PointAt(angle, cap + 1.2, c, c, x0, y0);
    PointAt(angle, skirt - 0.8, c, c, x1, y1);
    cairo_set_line_width(cr, std::max(1.5, size / 18.0));
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
    SetColour(cr, kAmber);
    cairo_stroke(cr);
}

void DrawSelector(cairo_t* cr, int frame)
{
    // A chicken-head selector over five positions, -90 to +90 degrees.
    const double c = 20.0;
    for (int i = 0; i < 5; ++i) {
        double x, y;
        PointAt((-90.0 + 45.0 * i) * kPi / 180.0, 18.0, c, c, x, y);
        cairo_arc(cr, x, y, 1.3, 0, 2 * kPi);
        SetColour(cr, i == frame ? kAmber : kCreamDim);
        cairo_fill(cr);
    }
    cairo_arc(cr, c, c + 1, 13.0, 0, 2 * kPi);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.5);
    cairo_fill(cr);
    cairo_pattern_t* body = cairo_pattern_create_radial(c - 5, c - 6, 1, c, c, 15);
    cairo_pattern_add_color_stop_rgb(body, 0.0, 0.30, 0.29, 0.27);
    cairo_pattern_add_color_stop_rgb(body, 1.0, 0.06, 0.06, 0.06);
    cairo_arc(cr, c, c, 13.0, 0, 2 * kPi);
    cairo_set_source(cr, body);
    cairo_fill(cr);
    cairo_pattern_destroy(body);
    // The head: a tapered bar through the centre.
    cairo_save(cr);
    cairo_translate(cr, c, c);
    cairo_rotate(cr, (-90.0 + 45.0 * frame) * kPi / 180.0);
    cairo_move_to(cr, -3.5, 9);
    cairo_line_to(cr, 3.5, 9);
    cairo_line_to(cr, 1.6, -14);
    cairo_line_to(cr, -1.6, -14);
    cairo_close_path(cr);
    cairo_pattern_t* metal = cairo_pattern_create_linear(-4, 0, 4, 0);
    cairo_pattern_add_color_stop_rgb(metal, 0.0, 0.55, 0.54, 0.51);
    cairo_pattern_add_color_stop_rgb(metal, 0.5, 0.92, 0.91, 0.87);
    cairo_pattern_add_color_stop_rgb(metal, 1.0, 0.45, 0.44, 0.42);
    cairo_set_source(cr, metal);
    cairo_fill(cr);
    cairo_pattern_destroy(metal);
    cairo_move_to(cr, 0, -4);
    cairo_line_to(cr, 0, -13);
    cairo_set_line_width(cr, 1.2);
    SetColour(cr, kAmber);
    cairo_stroke(cr);
    cairo_restore(cr);
}

// A lamp button; lit shows the amber lamp glowing.
void DrawButton(cairo_t* cr, double w, double h, bool lit)
{
    RoundedRect(cr, 1, 1.5, w - 2, h - 2.5, 3);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
    cairo_fill(cr);
    cairo_pattern_t* body = cairo_pattern_create_linear(0, 1, 0, h - 2);
    cairo_pattern_add_color_stop_rgb(body, 0.0, lit ? 0.36 : 0.25, lit ? 0.33 : 0.23, lit ? 0.29 : 0.21);
    cairo_pattern_add_color_stop_rgb(body, 1.0, 0.11, 0.10, 0.09);
    RoundedRect(cr, 1.5, 1, w - 3, h - 3, 3);
    cairo_set_source(cr, body);
    cairo_fill(cr);
    cairo_pattern_destroy(body);
    // Lamp window.
    RoundedRect(cr, 5, 4, w - 10, 5, 1.5);
    if (lit) {
        cairo_pattern_t* glow = cairo_pattern_create_linear(0, 4, 0, 9);
        cairo_pattern_add_color_stop_rgb(glow, 0.0, 1.0, 0.88, 0.55);
        cairo_pattern_add_color_stop_rgb(glow, 1.0, 1.0, 0.58, 0.16);
        cairo_set_source(cr, glow);
        cairo_fill(cr);
        cairo_pattern_destroy(glow);
    } else {
        cairo_set_source_rgb(cr, 0.22, 0.15, 0.07);
        cairo_fill(cr);
    }
    RoundedRect(cr, 1.5, 1, w - 3, h - 3, 3);
    cairo_set_line_width(cr, 1.0);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.10);
    cairo_stroke(cr);
}

void DrawToggle(cairo_t* cr, bool up)
{
    // Hex nut with a metal bat pointing up or down.
    const double c = 10.0;
    cairo_arc(cr, c, c, 7.0, 0, 2 * kPi);
    cairo_pattern_t* nut = cairo_pattern_create_linear(0, 3, 0, 17);
    cairo_pattern_add_color_stop_rgb(nut, 0.0, 0.75, 0.74, 0.70);
    cairo_pattern_add_color_stop_rgb(nut, 1.0, 0.28, 0.27, 0.25);
    cairo_set_source(cr, nut);
    cairo_fill(cr);
    cairo_pattern_destroy(nut);
    cairo_arc(cr, c, c, 3.2, 0, 2 * kPi);
    cairo_set_source_rgb(cr, 0.08, 0.08, 0.08);
    cairo_fill(cr);
    const double tip = up ? 1.5 : 18.5;
    cairo_move_to(cr, c - 2.2, c);
    cairo_line_to(cr, c + 2.2, c);
    cairo_line_to(cr, c + 1.5, tip);
    cairo_line_to(cr, c - 1.5, tip);
    cairo_close_path(cr);
    cairo_pattern_t* bat = cairo_pattern_create_linear(c - 2, 0, c + 2, 0);
    cairo_pattern_add_color_stop_rgb(bat, 0.0, 0.60, 0.59, 0.56);
    cairo_pattern_add_color_stop_rgb(bat, 0.5, 0.97, 0.96, 0.93);
    cairo_pattern_add_color_stop_rgb(bat, 1.0, 0.50, 0.49, 0.46);
    cairo_set_source(cr, bat);
    cairo_fill(cr);
    cairo_pattern_destroy(bat);
    cairo_arc(cr, c, tip, 1.9, 0, 2 * kPi);
    cairo_set_source_rgb(cr, 0.9, 0.89, 0.86);
    cairo_fill(cr);
}

void DrawFlip(cairo_t* cr, bool up)
{
    RoundedRect(cr, 0.5, 0.5, 8, 20, 2);
    cairo_set_source_rgb(cr, 0.05, 0.05, 0.05);
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 1.0);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.12);
    cairo_stroke(cr);
    const double top = up ? 2.0 : 10.0;
    RoundedRect(cr, 1.5, top, 6, 9, 1.5);
    cairo_pattern_t* tab = cairo_pattern_create_linear(0, top, 0, top + 9);
    cairo_pattern_add_color_stop_rgb(tab, 0.0, 0.92, 0.90, 0.85);
    cairo_pattern_add_color_stop_rgb(tab, 1.0, 0.45, 0.44, 0.41);
    cairo_set_source(cr, tab);
    cairo_fill(cr);
    cairo_pattern_destroy(tab);
}

void DrawTextButton(cairo_t* cr, const char* text, bool lit, const Colour& light)
{
    RoundedRect(cr, 1, 1.5, 48, 19.5, 3);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
    cairo_fill(cr);
    cairo_pattern_t* body = cairo_pattern_create_linear(0, 1, 0, 21);
    cairo_pattern_add_color_stop_rgb(body, 0.0, 0.27, 0.25, 0.23);
    cairo_pattern_add_color_stop_rgb(body, 1.0, 0.10, 0.09, 0.08);
    RoundedRect(cr, 1.5, 1, 47, 19, 3);
    cairo_set_source(cr, body);
    cairo_fill(cr);
    cairo_pattern_destroy(body);
    g_fonts->Use(cr, Face::Label, 10.0);
    const double x = std::round(25.0 - TextWidth(cr, text) / 2.0);
    if (lit) {
        // A soft glow behind lit lettering.
        for (int i = 3; i >= 1; --i) {
            cairo_set_source_rgba(cr, light.r, light.g, light.b, 0.12);
            RoundedRect(cr, 6 - i, 5 - i, 38 + 2 * i, 11 + 2 * i, 3);
            cairo_fill(cr);
        }
        SetColour(cr, light);
    } else {
        cairo_set_source_rgb(cr, 0.45, 0.42, 0.38);
    }
    cairo_move_to(cr, x, 14.5);
    cairo_show_text(cr, text);
}

void DrawArrowButton(cairo_t* cr, bool next, bool pressed)
{
    const double shift = pressed ? 1.0 : 0.0;
    RoundedRect(cr, 1, 1.5, 20, 19.5, 3);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
    cairo_fill(cr);
    RoundedRect(cr, 1.5, 1 + shift, 19, 19 - shift, 3);
    cairo_pattern_t* body = cairo_pattern_create_linear(0, 1, 0, 21);
    cairo_pattern_add_color_stop_rgb(body, 0.0, pressed ? 0.16 : 0.29, pressed ? 0.15 : 0.27,
                                     pressed ? 0.14 : 0.25);
    cairo_pattern_add_color_stop_rgb(body, 1.0, 0.09, 0.08, 0.08);
    cairo_set_source(cr, body);
    cairo_fill(cr);
    cairo_pattern_destroy(body);
    const double cx = 11.0;
    const double cy = 10.5 + shift;
    if (next) {
        cairo_move_to(cr, cx - 3, cy - 5);
        cairo_line_to(cr, cx + 4, cy);
        cairo_line_to(cr, cx - 3, cy + 5);
    } else {
        cairo_move_to(cr, cx + 3, cy - 5);
        cairo_line_to(cr, cx - 4, cy);
        cairo_line_to(cr, cx + 3, cy + 5);
    }
    cairo_close_path(cr);
    SetColour(cr, pressed ? kAmber : kCream);
    cairo_fill(cr);
}

void DrawVibe(cairo_t* cr, bool on)
{
    RoundedRect(cr, 0.5, 0.5, 64, 15, 3);
    cairo_set_source_rgb(cr, 0.06, 0.05, 0.05);
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 1.0);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.10);
    cairo_stroke(cr);
    g_fonts->Use(cr, Face::Label, 9.0);
    const char* text = "VINTAGE VIBE";
    const double x = std::round(32.5 - TextWidth(cr, text) / 2.0);
    if (on) {
        for (int i = 2; i >= 1; --i) {
            cairo_set_source_rgba(cr, 1.0, 0.6, 0.2, 0.15);
            RoundedRect(cr, 6 - i, 3 - i, 53 + 2 * i, 10 + 2 * i, 3);
            cairo_fill(cr);
        }
        SetColour(cr, kAmber);
    } else {
        cairo_set_source_rgb(cr, 0.30, 0.22, 0.12);
    }
    cairo_move_to(cr, x, 11.5);
    cairo_show_text(cr, text);
}

void Box(cairo_t* cr, double x, double y, double w, double h, const char* text)
{
    RoundedRect(cr, x + 0.5, y + 0.5, w, h, 2);
    cairo_set_source_rgb(cr, 0.16, 0.14, 0.12);
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 1.0);
    SetColour(cr, kCreamDim);
    cairo_stroke(cr);
    g_fonts->Use(cr, Face::Label, 8.5);
    cairo_move_to(cr, std::round(x + w / 2 - TextWidth(cr, text) / 2) + 0.5, y + h / 2 + 3.5);
    SetColour(cr, kCream);
    cairo_show_text(cr, text);
}

void Arrow(cairo_t* cr, double x0, double y0, double x1, double y1)
{
    cairo_set_line_width(cr, 1.0);
    SetColour(cr, kAmber);
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
    cairo_stroke(cr);
    const double a = std::atan2(y1 - y0, x1 - x0);
    cairo_move_to(cr, x1, y1);
    cairo_line_to(cr, x1 - 4 * std::cos(a - 0.45), y1 - 4 * std::sin(a - 0.45));
    cairo_line_to(cr, x1 - 4 * std::cos(a + 0.45), y1 - 4 * std::sin(a + 0.45));
    cairo_close_path(cr);
    cairo_fill(cr);
}

// The routing of the voice: the pre-filters and the VCF side by side
// (parallel), or the VCF feeding the pre-filters (serial).
void DrawDiagram(cairo_t* cr, bool serial)
{
    RoundedRect(cr, 0.5, 0.5, 132, 82, 4);
    cairo_set_source_rgb(cr, 0.05, 0.05, 0.04);
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 1.0);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.12);
    cairo_stroke(cr);
    EngravedText(cr, serial ? "SERIAL" : "PARALLEL", 66.5, 12, Face::Label, 8.5, kCreamDim);
    if (!serial) {
        Box(cr, 4, 40, 22, 16, "IN");
        Box(cr, 40, 22, 48, 16, "VCF");
        Box(cr, 40, 58, 48, 16, "PRE-FILT");
        Box(cr, 104, 40, 25, 16, "MIX");
        Arrow(cr, 27, 48, 39, 31);
        Arrow(cr, 27, 49, 39, 66);
        Arrow(cr, 89, 31, 103, 46);
        Arrow(cr, 89, 66, 103, 51);
    } else {
        Box(cr, 4, 40, 22, 16, "IN");
        Box(cr, 31, 22, 36, 16, "VCF");
        Box(cr, 58, 58, 44, 16, "PRE-FILT");
        Box(cr, 104, 40, 25, 16, "MIX");
        Arrow(cr, 27, 46, 35, 39);
        Arrow(cr, 60, 39, 72, 57);
        Arrow(cr, 102, 60, 110, 57);
    }
}

// ---- Backgrounds -----------------------------------------------------------------

// A fixed pseudo-random sequence for the brushed texture.
std::uint32_t g_noise = 0x1234567u;
double Noise()
{
    g_noise = g_noise * 1664525u + 1013904223u;
    return static_cast<double>(g_noise >> 8) / static_cast<double>(1u << 24);
}

void Screw(cairo_t* cr, double x, double y)
{
    cairo_arc(cr, x, y + 0.8, 5.0, 0, 2 * kPi);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.55);
    cairo_fill(cr);
    cairo_pattern_t* head = cairo_pattern_create_radial(x - 2, y - 2, 0.5, x, y, 5.5);
    cairo_pattern_add_color_stop_rgb(head, 0.0, 0.80, 0.79, 0.75);
    cairo_pattern_add_color_stop_rgb(head, 1.0, 0.30, 0.29, 0.27);
    cairo_arc(cr, x, y, 4.6, 0, 2 * kPi);
    cairo_set_source(cr, head);
    cairo_fill(cr);
    cairo_move_to(cr, x - 3.2, y - 1.2);
    cairo_line_to(cr, x + 3.2, y + 1.2);
    cairo_set_line_width(cr, 1.1);
    cairo_set_source_rgb(cr, 0.12, 0.12, 0.11);
    cairo_stroke(cr);
}

// An engraved section frame with its title set into the top line.
void Section(cairo_t* cr, const PanelSection& s)
{
    g_fonts->Use(cr, Face::Title, 9.5);
    const double titleLeft = s.left + 10;
    const double titleRight = titleLeft + TextWidth(cr, s.title);
    for (int pass = 0; pass < 2; ++pass) {
        const double o = pass == 0 ? 1.0 : 0.0;  // shadow first, then the light line
        if (pass == 0) {
            cairo_set_source_rgba(cr, 0, 0, 0, 0.7);
        } else {
            cairo_set_source_rgba(cr, kCreamDim.r, kCreamDim.g, kCreamDim.b, 0.55);
        }
        const double l = s.left + 0.5 + o;
        const double t = s.top + 0.5 + o;
        const double r = s.right - 0.5 + o;
        const double b = s.bottom - 0.5 + o;
        const double k = 4.0;
        cairo_move_to(cr, titleLeft - 4, t);
        cairo_line_to(cr, l + k, t);
        cairo_arc_negative(cr, l + k, t + k, k, -kPi / 2, -kPi);
        cairo_line_to(cr, l, b - k);
        cairo_arc_negative(cr, l + k, b - k, k, kPi, kPi / 2);
        cairo_line_to(cr, r - k, b);
        cairo_arc_negative(cr, r - k, b - k, k, kPi / 2, 0);
        cairo_line_to(cr, r, t + k);
        cairo_arc_negative(cr, r - k, t + k, k, 0, -kPi / 2);
        cairo_line_to(cr, titleRight + 4, t);
        cairo_set_line_width(cr, 1.0);
        cairo_stroke(cr);
    }
    g_fonts->Use(cr, Face::Title, 9.5);
    SetColour(cr, kShadow);
    cairo_move_to(cr, titleLeft, s.top + 4.5);
    cairo_show_text(cr, s.title);
    SetColour(cr, kCream);
    cairo_move_to(cr, titleLeft, s.top + 3.5);
    cairo_show_text(cr, s.title);
}

// Scale marks around a knob, drawn into the background: 11 ticks over 300
// degrees, longer at the ends and the middle.
void KnobScale(cairo_t* cr, const PanelControl& control, const PanelImage& image)
{
    const double c = image.width / 2.0;
    const double cx = control.x + c;
    const double cy = control.y + image.FrameHeight() / 2.0;
    cairo_set_line_width(cr, 1.0);
    for (int i = 0; i <= 10; ++i) {
        const double a = (-150.0 + 30.0 * i) * kPi / 180.0;
        const bool major = i == 0 || i == 5 || i == 10;
        double x0, y0, x1, y1;
        PointAt(a, c + 1.5, cx, cy, x0, y0);
        PointAt(a, c + (major ? 5.0 : 3.5), cx, cy, x1, y1);
        cairo_move_to(cr, x0, y0);
        cairo_line_to(cr, x1, y1);
        cairo_set_source_rgba(cr, kCreamDim.r, kCreamDim.g, kCreamDim.b, major ? 0.9 : 0.6);
        cairo_stroke(cr);
    }
}

// A recessed window for the program number and name.
void Window(cairo_t* cr, double x, double y, double w, double h)
{
    RoundedRect(cr, x, y, w, h, 3);
    cairo_set_source_rgb(cr, 0.03, 0.03, 0.03);
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 1.0);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.14);
    cairo_stroke(cr);
    cairo_move_to(cr, x + 3, y + 1.5);
    cairo_line_to(cr, x + w - 3, y + 1.5);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.9);
    cairo_stroke(cr);
}

void DrawBackground(cairo_t* cr, const PanelLayout& layout)
{
    const double w = layout.width;
    const double h = layout.height;
    g_noise = 0x1234567u;
    cairo_pattern_t* base = cairo_pattern_create_linear(0, 0, 0, h);
    cairo_pattern_add_color_stop_rgb(base, 0.0, 0.175, 0.160, 0.145);
    cairo_pattern_add_color_stop_rgb(base, 1.0, 0.110, 0.100, 0.090);
    cairo_rectangle(cr, 0, 0, w, h);
    cairo_set_source(cr, base);
    cairo_fill(cr);
    cairo_pattern_destroy(base);
    // Brushed metal: faint horizontal streaks.
    cairo_set_line_width(cr, 1.0);
    for (int y = 0; y < layout.height; ++y) {
        const double x0 = Noise() * w * 0.5;
        cairo_move_to(cr, x0, y + 0.5);
        cairo_line_to(cr, x0 + w * (0.3 + Noise() * 0.7), y + 0.5);
        const double v = Noise();
        cairo_set_source_rgba(cr, v > 0.5 ? 1.0 : 0.0, v > 0.5 ? 1.0 : 0.0, v > 0.5 ? 1.0 : 0.0,
                              0.025 + 0.02 * Noise());
        cairo_stroke(cr);
    }
    // The header strip and its rule.
    const double header = 66.0;
    cairo_rectangle(cr, 0, 0, w, header);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
    cairo_fill(cr);
    cairo_move_to(cr, 0, header + 0.5);
    cairo_line_to(cr, w, header + 0.5);
    cairo_set_source_rgba(cr, kAmber.r, kAmber.g, kAmber.b, 0.55);
    cairo_stroke(cr);
    cairo_move_to(cr, 0, header + 1.5);
    cairo_line_to(cr, w, header + 1.5);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.8);
    cairo_stroke(cr);
    // Frame of the whole panel.
    cairo_rectangle(cr, 0.5, 0.5, w - 1, h - 1);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.9);
    cairo_stroke(cr);
    cairo_rectangle(cr, 1.5, 1.5, w - 3, h - 3);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.08);
    cairo_stroke(cr);

    // Lettering of the header.
    g_fonts->Use(cr, Face::Logo, 38.0);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.7);
    cairo_move_to(cr, 31, 50);
    cairo_show_text(cr, "VORN");
    cairo_pattern_t* logo = cairo_pattern_create_linear(0, 18, 0, 50);
    cairo_pattern_add_color_stop_rgb(logo, 0.0, 1.0, 0.86, 0.58);
    cairo_pattern_add_color_stop_rgb(logo, 1.0, 0.86, 0.55, 0.20);
    cairo_set_source(cr, logo);
    cairo_move_to(cr, 30, 48);
    cairo_show_text(cr, "VORN");
    cairo_pattern_destroy(logo);
    EngravedText(cr, "POLYPHONIC  ENSEMBLE  SYNTHESIZER", 260, 46, Face::Label, 11.0, kCreamDim);

    Window(cr, 568.5, 30.5, 27, 19);
    Window(cr, 618.5, 30.5, 199, 19);
    EngravedText(cr, "PROGRAM", 582, 62, Face::Label, 8.5, kCreamDim);
    RoundedRect(cr, 820.5, 30.5, 47, 19, 3);
    cairo_set_source_rgba(cr, kCreamDim.r, kCreamDim.g, kCreamDim.b, 0.6);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
    for (const PanelControl& control : CommonPanelControls()) {
        if (control.kind == PanelControlKind::OptionMenu && control.label != nullptr) {
            EngravedText(cr, control.label, control.x + control.width / 2.0, control.y + 13.5, Face::Title,
                         9.0);
        }
    }
    EngravedText(cr, "MIDI", 897, 62, Face::Label, 8.5, kCreamDim);
    EngravedText(cr, "PANEL", 950, 62, Face::Label, 8.5, kCreamDim);
    EngravedText(cr, "CLICKS", 1064.5, 62, Face::Label, 8.5, kCreamDim);

    Screw(cr, 11, 11);
    Screw(cr, w - 11, 11);
    Screw(cr, 11, h - 11);
    Screw(cr, w - 11, h - 11);

    for (const PanelSection& section : layout.sections) {
        Section(cr, section);
    }
    for (const PanelControl& control : layout.controls) {
        const PanelImage* image = FindPanelImage(control.image);
        if (image == nullptr) {
            continue;
        }
        if (control.kind == PanelControlKind::Knob && image->frames == 65) {
            KnobScale(cr, control, *image);
        }
        if (control.label != nullptr) {
            const PanelRect rect = ControlRect(control);
            const bool scaled = control.kind == PanelControlKind::Knob && image->frames == 65;
            EngravedText(cr, control.label, (rect.left + rect.right) / 2.0,
                         rect.bottom + (scaled ? 13.0 : 11.0), Face::Label, 9.0);
        }
    }
    for (const PanelLegend& legend : layout.legends) {
        if (legend.text[0] >= '1' && legend.text[0] <= '5' && legend.text[1] == ' ') {
            // The selector's position list: left aligned.
            g_fonts->Use(cr, Face::Label, 8.0);
            SetColour(cr, kShadow);
            cairo_move_to(cr, legend.x - 14, legend.y + 1);
            cairo_show_text(cr, legend.text);
            SetColour(cr, kCreamDim);
            cairo_move_to(cr, legend.x - 14, legend.y);
            cairo_show_text(cr, legend.text);
        } else {
            EngravedText(cr, legend.text, legend.x, legend.y, Face::Label, 8.0, kCreamDim);
        }
    }
}

// ---- Output ------------------------------------------------------------------------

bool DrawImage(const PanelImage& image, const fs::path& folder)
{
    Canvas canvas(image.width, image.height);
    switch (image.id) {
        case kImageEditBackground:
            DrawBackground(canvas.cr, EditPanelLayout());
            break;
        case kImageCompactBackground:
            DrawBackground(canvas.cr, CompactPanelLayout());
            break;
        case kImageButton:
            DrawFrames(canvas, image, [](cairo_t* cr, int f) { DrawButton(cr, 28, 24, f == 1); });
            break;
        case kImageKnob:
        case kImageKnobBig:
        case kImageKnobSmall:
            DrawFrames(canvas, image,
                       [&](cairo_t* cr, int f) { DrawKnob(cr, image.width, f, image.frames); });
            break;
        case kImageSwitch:
            DrawFrames(canvas, image, [](cairo_t* cr, int f) { DrawToggle(cr, f == 1); });
            break;
        case kImageSwitch5:
            DrawFrames(canvas, image, [](cairo_t* cr, int f) { DrawSelector(cr, f); });
            break;
        case kImageFlip:
            DrawFrames(canvas, image, [](cairo_t* cr, int f) { DrawFlip(cr, f == 1); });
            break;
        case kImageEdit:
            DrawFrames(canvas, image, [](cairo_t* cr, int f) { DrawTextButton(cr, "EDIT", f == 1, kAmber); });
            break;
        case kImageLearn:
            DrawFrames(canvas, image, [](cairo_t* cr, int f) {
                DrawTextButton(cr, "LEARN", f == 1, Colour{0.45, 1.0, 0.45});
            });
            break;
        case kImageUnlearn:
            DrawFrames(canvas, image, [](cairo_t* cr, int f) {
                DrawTextButton(cr, "UNLEARN", f == 1, Colour{1.0, 0.38, 0.30});
            });
            break;
        case kImagePrevious:
            DrawFrames(canvas, image, [](cairo_t* cr, int f) { DrawArrowButton(cr, false, f == 1); });
            break;
        case kImageNext:
            DrawFrames(canvas, image, [](cairo_t* cr, int f) { DrawArrowButton(cr, true, f == 1); });
            break;
        case kImageVibe:
            DrawFrames(canvas, image, [](cairo_t* cr, int f) { DrawVibe(cr, f == 1); });
            break;
        case kImageDiagram:
            DrawFrames(canvas, image, [](cairo_t* cr, int f) { DrawDiagram(cr, f == 1); });
            break;
        default:
            return false;
    }
    return canvas.Write(folder / fs::path(image.name).filename());
}

// The frame a control shows in the composite: knobs at their parameter's
// default, the first ensemble button lit, the vibe lamp on.
int CompositeFrame(const PanelControl& control, const PanelImage& image,
                   std::span<const Parameter> parameters)
{
    if (control.kind == PanelControlKind::Knob && control.binding >= 0 &&
        control.binding < static_cast<int>(parameters.size())) {
        const double normalized = NormalizedDefault(parameters[static_cast<std::size_t>(control.binding)]);
        if (image.frames == 5) {
            return 1 + static_cast<int>(normalized * 4.0 + 0.5) % 4;
        }
        return static_cast<int>(normalized * (image.frames - 1) + 0.5);
    }
    if (control.kind == PanelControlKind::PresetButton) {
        return control.binding == kCodeFirstEnsembleButton ? 1 : 0;
    }
    if (control.kind == PanelControlKind::VibeIndicator || control.binding == kCodeEditSwitch) {
        return 1;
    }
    return 0;
}

bool DrawComposite(const PanelLayout& layout, const fs::path& images, const fs::path& path)
{
    std::vector<Parameter> parameters(kParameterCount);
    DefineVornParameters(parameters);
    Canvas canvas(layout.width, layout.height);
    cairo_t* cr = canvas.cr;
    const PanelImage* background = FindPanelImage(layout.background);
    cairo_surface_t* back = cairo_image_surface_create_from_png(
        (images / fs::path(background->name).filename()).string().c_str());
    cairo_set_source_surface(cr, back, 0, 0);
    cairo_paint(cr);
    cairo_surface_destroy(back);
    auto place = [&](const PanelControl& control) {
        const PanelImage* image = FindPanelImage(control.image);
        if (image == nullptr) {
            return;
        }
        const bool compactEdit =
            control.binding == kCodeEditSwitch && layout.background == kImageCompactBackground;
        const int frame = compactEdit ? 0 : CompositeFrame(control, *image, parameters);
        cairo_surface_t* strip =
            cairo_image_surface_create_from_png((images / fs::path(image->name).filename()).string().c_str());
        cairo_save(cr);
        cairo_rectangle(cr, control.x, control.y, image->width, image->FrameHeight());
        cairo_clip(cr);
        cairo_set_source_surface(cr, strip, control.x, control.y - frame * image->FrameHeight());
        cairo_paint(cr);
        cairo_restore(cr);
        cairo_surface_destroy(strip);
    };
    for (const PanelControl& control : CommonPanelControls()) {
        place(control);
    }
    for (const PanelControl& control : layout.controls) {
        place(control);
    }
    // What the text controls show: the first program and the version.
    g_fonts->Use(cr, Face::Text, 15.0);
    cairo_set_source_rgba(cr, 1, 1, 1, 160.0 / 255.0);
    cairo_move_to(cr, std::round(582 - TextWidth(cr, "00") / 2), 45);
    cairo_show_text(cr, "00");
    cairo_move_to(cr, std::round(718 - TextWidth(cr, "Pipe Organ") / 2), 45);
    cairo_show_text(cr, "Pipe Organ");
    g_fonts->Use(cr, Face::Text, 12.0);
    cairo_set_source_rgba(cr, 1, 1, 1, 128.0 / 255.0);
    cairo_move_to(cr, std::round(516 - TextWidth(cr, "v.1.0.3.N") / 2), 52);
    cairo_show_text(cr, "v.1.0.3.N");
    return canvas.Write(path);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: gen-panel-images <image folder> [<composite folder>]\n");
        return 2;
    }
    Fonts fonts;
    if (!fonts.Load()) {
        return 1;
    }
    g_fonts = &fonts;
    const fs::path images = argv[1];
    for (const PanelImage& image : PanelImages()) {
        if (!DrawImage(image, images)) {
            return 1;
        }
    }
    if (argc >= 3) {
        const fs::path composites = argv[2];
        if (!DrawComposite(EditPanelLayout(), images, composites / "panel-edit.png") ||
            !DrawComposite(CompactPanelLayout(), images, composites / "panel-compact.png")) {
            return 1;
        }
    }
    return 0;
}
