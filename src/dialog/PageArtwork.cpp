// Everything is drawn as coverage masks with soft edges (a pixel's share of a shape from
// its distance to the outline), then blended in, so the shapes and the lettering need no
// font or picture file.
#include "dialog/PageArtwork.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {
constexpr double Pi = 3.14159265358979323846;

struct TRgbF {
    double R, G, B;
};

TRgbF Mix(TRgbF a, TRgbF b, double t) { return {a.R + (b.R - a.R) * t, a.G + (b.G - a.G) * t, a.B + (b.B - a.B) * t}; }

class TMask {
public:
    TMask(int width, int height) : FWidth(width), FHeight(height), FCover(static_cast<size_t>(width * height), 0.0) {}
    double At(int x, int y) const { return FCover[static_cast<size_t>(y * FWidth + x)]; }

    // A stroke from a to b, radius r, with round ends.
    void Capsule(double ax, double ay, double bx, double by, double r)
    {
        Shape(std::min(ax, bx) - r, std::min(ay, by) - r, std::max(ax, bx) + r, std::max(ay, by) + r,
              [&](double px, double py) {
                  const double dx = bx - ax, dy = by - ay;
                  const double length2 = dx * dx + dy * dy;
                  const double t = length2 > 0 ? std::clamp(((px - ax) * dx + (py - ay) * dy) / length2, 0.0, 1.0) : 0;
                  return std::hypot(px - (ax + t * dx), py - (ay + t * dy)) - r;
              });
    }
    void Circle(double cx, double cy, double r)
    {
        Shape(cx - r, cy - r, cx + r, cy + r, [&](double px, double py) { return std::hypot(px - cx, py - cy) - r; });
    }
    // A rectangle with rounded corners, turned by angle (radians) about its centre.
    void RoundRect(double cx, double cy, double halfW, double halfH, double corner, double angle)
    {
        const double c = std::cos(angle), s = std::sin(angle);
        const double reach = std::hypot(halfW, halfH);
        Shape(cx - reach, cy - reach, cx + reach, cy + reach, [&](double px, double py) {
            const double lx = std::abs((px - cx) * c + (py - cy) * s) - (halfW - corner);
            const double ly = std::abs(-(px - cx) * s + (py - cy) * c) - (halfH - corner);
            return std::hypot(std::max(lx, 0.0), std::max(ly, 0.0)) + std::min(std::max(lx, ly), 0.0) - corner;
        });
    }
    // The outline of the same, stroke wide.
    void RoundRectFrame(double cx, double cy, double halfW, double halfH, double corner, double angle, double stroke)
    {
        const double c = std::cos(angle), s = std::sin(angle);
        const double reach = std::hypot(halfW, halfH) + stroke;
        Shape(cx - reach, cy - reach, cx + reach, cy + reach, [&](double px, double py) {
            const double lx = std::abs((px - cx) * c + (py - cy) * s) - (halfW - corner);
            const double ly = std::abs(-(px - cx) * s + (py - cy) * c) - (halfH - corner);
            const double d =
                std::hypot(std::max(lx, 0.0), std::max(ly, 0.0)) + std::min(std::max(lx, ly), 0.0) - corner;
            return std::abs(d) - stroke / 2;
        });
    }

private:
    template <typename Distance>
    void Shape(double left, double top, double right, double bottom, Distance distance)
    {
        const int x0 = std::max(0, static_cast<int>(std::floor(left)) - 1);
        const int y0 = std::max(0, static_cast<int>(std::floor(top)) - 1);
        const int x1 = std::min(FWidth - 1, static_cast<int>(std::ceil(right)) + 1);
        const int y1 = std::min(FHeight - 1, static_cast<int>(std::ceil(bottom)) + 1);
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                const double cover = std::clamp(0.5 - distance(x + 0.5, y + 0.5), 0.0, 1.0);
                double& kept = FCover[static_cast<size_t>(y * FWidth + x)];
                kept = std::max(kept, cover);
            }
    }

    int FWidth, FHeight;
    std::vector<double> FCover;
};

class TCanvasF {
public:
    TCanvasF(int width, int height) : FWidth(width), FHeight(height), FPixels(static_cast<size_t>(width * height)) {}
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    TRgbF& At(int x, int y) { return FPixels[static_cast<size_t>(y * FWidth + x)]; }

    template <typename Colour>
    void Fill(Colour colour)
    {
        for (int y = 0; y < FHeight; ++y)
            for (int x = 0; x < FWidth; ++x) At(x, y) = colour(x, y);
    }
    template <typename Colour>
    void Paint(const TMask& mask, double opacity, Colour colour)
    {
        for (int y = 0; y < FHeight; ++y)
            for (int x = 0; x < FWidth; ++x) {
                const double a = mask.At(x, y) * opacity;
                if (a > 0) At(x, y) = Mix(At(x, y), colour(x, y), a);
            }
    }
    TBitmap ToBitmap()
    {
        TBitmap bitmap;
        bitmap.SetSize(FWidth, FHeight);
        for (int y = 0; y < FHeight; ++y) {
            uint8_t* row = bitmap.ScanLine(y);
            for (int x = 0; x < FWidth; ++x) {
                const TRgbF& c = At(x, y);
                auto byte = [](double v) { return static_cast<uint8_t>(std::clamp(std::lround(v * 255.0), 0L, 255L)); };
                row[x * 3] = byte(c.B);
                row[x * 3 + 1] = byte(c.G);
                row[x * 3 + 2] = byte(c.R);
            }
        }
        return bitmap;
    }

private:
    int FWidth, FHeight;
    std::vector<TRgbF> FPixels;
};

// The program's name in strokes: each letter is polylines in a box whose x-height runs
// from 0.5 to the baseline 1.0, scaled by size.
struct TStroke {
    std::vector<std::pair<double, double>> Points;
};

std::vector<std::pair<double, double>> Arc(double cx, double cy, double r, double fromDeg, double toDeg)
{
    std::vector<std::pair<double, double>> points;
    const int steps = 24;
    for (int i = 0; i <= steps; ++i) {
        const double a = (fromDeg + (toDeg - fromDeg) * i / steps) * Pi / 180.0;
        points.emplace_back(cx + r * std::cos(a), cy - r * std::sin(a));
    }
    return points;
}

// Strokes of one letter and its advance.
double Letter(char letter, std::vector<TStroke>& strokes, std::vector<std::pair<double, double>>& dots)
{
    auto line = [&](std::vector<std::pair<double, double>> points) { strokes.push_back({std::move(points)}); };
    switch (letter) {
    case 'V': line({{0.0, 0.05}, {0.36, 1.0}, {0.72, 0.05}}); return 0.82;
    case 'e': {
        auto bowl = Arc(0.25, 0.75, 0.25, 0, 315);
        bowl.insert(bowl.begin(), {0.0, 0.75});
        line(bowl);
        return 0.6;
    }
    case 'l': line({{0.06, 0.0}, {0.06, 1.0}}); return 0.24;
    case 'u': {
        auto cup = Arc(0.2, 0.8, 0.2, 180, 360);
        cup.insert(cup.begin(), {0.0, 0.5});
        cup.emplace_back(0.4, 0.5);
        line(cup);
        line({{0.4, 0.5}, {0.4, 1.0}});
        return 0.56;
    }
    case 'm': {
        line({{0.0, 0.5}, {0.0, 1.0}});
        for (double left : {0.0, 0.32}) {
            auto arch = Arc(left + 0.16, 0.66, 0.16, 180, 0);
            arch.emplace_back(left + 0.32, 1.0);
            line(arch);
        }
        return 0.8;
    }
    case 'i':
        line({{0.06, 0.5}, {0.06, 1.0}});
        dots.emplace_back(0.06, 0.3);
        return 0.24;
    case 'n': {
        line({{0.0, 0.5}, {0.0, 1.0}});
        auto arch = Arc(0.19, 0.69, 0.19, 180, 0);
        arch.emplace_back(0.38, 1.0);
        line(arch);
        return 0.56;
    }
    default: return 0.4;
    }
}

void Lettering(TMask& mask, const char* text, double left, double top, double size, double weight)
{
    double x = left;
    for (const char* c = text; *c; ++c) {
        std::vector<TStroke> strokes;
        std::vector<std::pair<double, double>> dots;
        const double advance = Letter(*c, strokes, dots);
        for (const TStroke& stroke : strokes)
            for (size_t i = 1; i < stroke.Points.size(); ++i)
                mask.Capsule(x + stroke.Points[i - 1].first * size, top + stroke.Points[i - 1].second * size,
                             x + stroke.Points[i].first * size, top + stroke.Points[i].second * size, weight);
        for (const auto& dot : dots) mask.Circle(x + dot.first * size, top + dot.second * size, weight * 1.25);
        x += advance * size;
    }
}

const TRgbF Night{0.07, 0.09, 0.20};
const TRgbF Dusk{0.25, 0.16, 0.38};
const TRgbF Ember{0.86, 0.52, 0.30};
const TRgbF Vellum{0.97, 0.94, 0.86};
const TRgbF Ink{0.30, 0.27, 0.24};
}  // namespace

TBitmap MakeAboutPicture(int width, int height)
{
    TCanvasF canvas(width, height);
    // Evening sky: night at the top, dusk lower down, a warm glow on the horizon at the left.
    canvas.Fill([&](int x, int y) {
        const double t = static_cast<double>(y) / height;
        TRgbF sky = Mix(Night, Dusk, std::clamp(t * 1.3, 0.0, 1.0));
        const double glow = std::exp(
            -(std::pow((x - width * 0.18) / (width * 0.35), 2) + std::pow((y - height * 1.05) / (height * 0.45), 2)));
        return Mix(sky, Ember, 0.75 * glow);
    });
    // A few early stars.
    const double stars[][3] = {{40, 24, 1.1}, {118, 14, 0.8}, {205, 38, 1.0}, {262, 12, 0.7},
                               {88, 52, 0.6}, {170, 22, 0.6}, {236, 62, 0.7}, {20, 160, 0.5}};
    for (const auto& star : stars) {
        TMask light(width, height);
        light.Circle(star[0], star[1], star[2]);
        canvas.Paint(light, 0.85, [](int, int) { return TRgbF{1.0, 0.95, 0.85}; });
    }
    // Two photographs lying askew behind the card, then the card itself, light as vellum.
    const double cardX = 340, cardY = 118, cardHalfW = 112, cardHalfH = 62;
    const double photos[][3] = {{cardX - 30, cardY - 6, -0.16}, {cardX + 22, cardY + 4, 0.11}};
    const TRgbF photoTones[] = {{0.42, 0.55, 0.70}, {0.80, 0.62, 0.42}};
    for (int i = 0; i < 2; ++i) {
        TMask shadow(width, height), paper(width, height), inside(width, height);
        shadow.RoundRect(photos[i][0] + 4, photos[i][1] + 6, 84, 56, 4, photos[i][2]);
        paper.RoundRect(photos[i][0], photos[i][1], 84, 56, 3, photos[i][2]);
        inside.RoundRect(photos[i][0], photos[i][1], 76, 48, 1, photos[i][2]);
        canvas.Paint(shadow, 0.35, [](int, int) { return TRgbF{0, 0, 0.05}; });
        canvas.Paint(paper, 1.0, [](int, int) { return TRgbF{0.98, 0.97, 0.94}; });
        const TRgbF tone = photoTones[i];
        canvas.Paint(inside, 1.0,
                     [&](int, int y) { return Mix(tone, Dusk, std::clamp((y - 60.0) / 140.0, 0.0, 1.0)); });
    }
    TMask cardShadow(width, height), card(width, height), rule(width, height);
    cardShadow.RoundRect(cardX + 3, cardY + 5, cardHalfW, cardHalfH, 8, 0);
    card.RoundRect(cardX, cardY, cardHalfW, cardHalfH, 7, 0);
    canvas.Paint(cardShadow, 0.45, [](int, int) { return TRgbF{0, 0, 0.04}; });
    canvas.Paint(card, 1.0, [&](int, int y) { return Mix(Vellum, TRgbF{0.93, 0.88, 0.78}, (y - 56.0) / 124.0); });
    // A thin rule above the link and one below it, like a printed card.
    rule.Capsule(cardX - 86, 80, cardX + 86, 80, 0.5);
    rule.Capsule(cardX - 86, 110, cardX + 86, 110, 0.5);
    canvas.Paint(rule, 0.5, [](int, int) { return Ember; });
    TMask badge(width, height);
    badge.RoundRectFrame(cardX, 146, 34, 14, 6, 0, 1.2);
    canvas.Paint(badge, 0.6, [](int, int) { return Ink; });
    TMask badgeMark(width, height);
    Lettering(badgeMark, "V", cardX - 6, 138, 16, 1.4);
    canvas.Paint(badgeMark, 0.8, [](int, int) { return Ember; });

    // The name, glowing softly, at the left.
    TMask halo(width, height), name(width, height);
    Lettering(halo, "Vellumine", 24, 80, 38, 4.5);
    Lettering(name, "Vellumine", 24, 80, 38, 2.0);
    canvas.Paint(halo, 0.18, [](int, int) { return Ember; });
    canvas.Paint(name, 1.0, [&](int, int y) {
        return Mix(TRgbF{1, 0.97, 0.9}, TRgbF{0.98, 0.8, 0.6}, (y - 80.0) / 38.0);
    });
    TMask underline(width, height);
    underline.Capsule(26, 132, 196, 132, 1.0);
    canvas.Paint(underline, 0.7, [&](int x, int) { return Mix(Ember, Dusk, (x - 26.0) / 170.0); });
    return canvas.ToBitmap();
}

TBitmap MakeSettingsPicture(int width, int height)
{
    TCanvasF canvas(width, height);
    const TRgbF top{0.97, 0.96, 0.93}, bottom{0.90, 0.88, 0.84};
    canvas.Fill([&](int x, int y) {
        const double t = static_cast<double>(y) / height;
        TRgbF base = Mix(top, bottom, t);
        const double warm = std::exp(
            -(std::pow((x - width * 0.95) / (width * 0.4), 2) + std::pow((y - height * 1.0) / (height * 0.6), 2)));
        return Mix(base, TRgbF{0.96, 0.83, 0.68}, 0.55 * warm);
    });
    // Three frames fanned out right of the resolution row, away from the controls and clear of
    // the last row, which runs wide under them.
    const double frames[][3] = {{372, 158, -0.22}, {398, 153, 0.0}, {424, 160, 0.2}};
    for (const auto& f : frames) {
        TMask shadow(width, height), paper(width, height), inside(width, height);
        shadow.RoundRect(f[0] + 3, f[1] + 3, 28, 21, 3, f[2]);
        paper.RoundRect(f[0], f[1], 28, 21, 2, f[2]);
        inside.RoundRect(f[0], f[1], 24, 17, 1, f[2]);
        canvas.Paint(shadow, 0.18, [](int, int) { return TRgbF{0.2, 0.15, 0.1}; });
        canvas.Paint(paper, 1.0, [](int, int) { return TRgbF{1.0, 0.99, 0.97}; });
        canvas.Paint(inside, 0.85, [&](int, int y) {
            return Mix(TRgbF{0.55, 0.68, 0.82}, TRgbF{0.88, 0.6, 0.4}, std::clamp((y - 135.0) / 45.0, 0.0, 1.0));
        });
    }
    // A faint line under each setting's row ties the page together.
    TMask rules(width, height);
    for (double y : {60.0, 124.0}) rules.Capsule(24, y, 458, y, 0.5);
    canvas.Paint(rules, 0.35, [](int, int) { return Ember; });
    return canvas.ToBitmap();
}
