// Renders the artwork in skin/common: the default main-window background, the
// three alternative backgrounds and their chooser thumbnails, the caption-band
// logo, the drawing shown while no device is connected and the caption-button
// glyphs. The PNGs are committed beside the layouts; after changing this file,
// re-run it with
//   cmake --build build --target talvo-skin-art && build/tools/skin_art/talvo-skin-art skin
//
// Every image is computed here from fixed numbers and a seeded hash, so two
// runs write identical files.

#include <QColor>
#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "art_registry.h"

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 572;
constexpr int kCaption = 48;
constexpr int kThumbWidth = 96;
constexpr int kThumbHeight = 68;

struct Rgb {
    float r = 0, g = 0, b = 0;
};

Rgb hex(uint32_t v) {
    return {float((v >> 16) & 0xff) / 255.f, float((v >> 8) & 0xff) / 255.f, float(v & 0xff) / 255.f};
}

Rgb mix(Rgb a, Rgb b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb scale(Rgb a, float k) { return {a.r * k, a.g * k, a.b * k}; }

Rgb add(Rgb a, Rgb b, float k) { return {a.r + b.r * k, a.g + b.g * k, a.b + b.b * k}; }

float smoothstep(float e0, float e1, float x) {
    const float t = std::clamp((x - e0) / (e1 - e0), 0.f, 1.f);
    return t * t * (3.f - 2.f * t);
}

// Soft elliptical falloff: 1 at the centre, fading like a Gaussian.
float glow(float x, float y, float cx, float cy, float rx, float ry) {
    const float dx = (x - cx) / rx;
    const float dy = (y - cy) / ry;
    return std::exp(-2.2f * (dx * dx + dy * dy));
}

float hash01(uint32_t a, uint32_t b = 0) {
    using talvo::skin_art::Hash;
    return float(Hash(a * 0x9e3779b9U ^ Hash(b + 0x632be5abU)) >> 8) / float(1 << 24);
}

// Smooth 1-D value noise, used for the slow brightness changes along curtains.
float noise1(float x, uint32_t seed) {
    const float fl = std::floor(x);
    const float t = x - fl;
    const auto i = uint32_t(int32_t(fl) + 100000);
    const float s = t * t * (3.f - 2.f * t);
    return hash01(i, seed) * (1.f - s) + hash01(i + 1, seed) * s;
}

// Backgrounds are built in floating point and quantised once at the end, so
// the long dark gradients can be dithered instead of banding.
class Canvas {
public:
    Canvas(int w, int h) : m_w(w), m_h(h), m_px(size_t(w) * size_t(h)) {}

    void paint(const std::function<Rgb(float, float, Rgb)>& shader) {
        for (int y = 0; y < m_h; ++y)
            for (int x = 0; x < m_w; ++x) {
                Rgb& p = m_px[size_t(y) * size_t(m_w) + size_t(x)];
                p = shader(float(x) + 0.5f, float(y) + 0.5f, p);
            }
    }

    // An ordered 8x8 dither keeps the gradients smooth while its short period
    // still compresses well in PNG.
    QImage toImage() const {
        static constexpr int bayer[8][8] = {
            {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
            {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
            {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
            {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};
        QImage img(m_w, m_h, QImage::Format_RGB888);
        for (int y = 0; y < m_h; ++y) {
            uchar* line = img.scanLine(y);
            for (int x = 0; x < m_w; ++x) {
                const Rgb& p = m_px[size_t(y) * size_t(m_w) + size_t(x)];
                const float d = (float(bayer[y & 7][x & 7]) + 0.5f) / 64.f;
                const auto q = [d](float v) { return uchar(std::clamp(int(v * 255.f + d), 0, 255)); };
                line[x * 3] = q(p.r);
                line[x * 3 + 1] = q(p.g);
                line[x * 3 + 2] = q(p.b);
            }
        }
        return img;
    }

private:
    int m_w, m_h;
    std::vector<Rgb> m_px;
};

// Distance in pixels from (x, y) to the nearest edge of a pointy-top hex grid
// whose cells are `size` pixels across the flats.
float hexEdgeDistance(float x, float y, float size) {
    constexpr float s3 = 1.7320508f;
    const float px = x / size;
    const float py = y / size;
    const auto wrap = [](float v, float m) { return v - m * std::floor(v / m); };
    const float ax = wrap(px, 1.f) - 0.5f;
    const float ay = wrap(py, s3) - s3 / 2;
    const float bx = wrap(px - 0.5f, 1.f) - 0.5f;
    const float by = wrap(py - s3 / 2, s3) - s3 / 2;
    const bool useA = ax * ax + ay * ay < bx * bx + by * by;
    const float gx = std::abs(useA ? ax : bx);
    const float gy = std::abs(useA ? ay : by);
    const float n = std::max(gx * 0.5f + gy * s3 / 2, gx);
    return (0.5f - n) * size;
}

// Shared finish for every background: a vignette, then a darker caption band
// with a hairline edge so the caption buttons read on any skin.
void finish(Canvas& c) {
    c.paint([](float x, float y, Rgb p) {
        const float dx = (x - kWidth / 2.f) / (kWidth * 0.62f);
        const float dy = (y - kHeight * 0.45f) / (kHeight * 0.7f);
        const float v = 1.f - 0.32f * smoothstep(0.35f, 1.25f, std::sqrt(dx * dx + dy * dy));
        p = scale(p, v);
        if (y < kCaption) {
            p = scale(p, 0.72f);
        } else if (y < kCaption + 1) {
            p = mix(p, Rgb{1, 1, 1}, 0.045f);
        } else {
            // Short soft shadow under the band gives it a little depth.
            p = scale(p, 1.f - 0.18f * std::exp(-(y - kCaption - 1) / 3.f));
        }
        return p;
    });
}

QImage renderDefault() {
    Canvas c(kWidth, kHeight);
    const Rgb top = hex(0x1a1d22), bottom = hex(0x121417), accent = hex(0x1ec8ff);
    c.paint([&](float x, float y, Rgb) {
        Rgb p = mix(top, bottom, y / kHeight);
        const float g = glow(x, y, kWidth / 2.f, 70.f, 380.f, 240.f);
        p = mix(p, accent, 0.085f * g);
        // The hex texture is strongest under the glow and fades out below, so
        // the lower half where most controls sit stays plain.
        const float edge = hexEdgeDistance(x + 7.f, y + 3.f, 22.f);
        const float line = 1.f - smoothstep(0.2f, 1.0f, edge);
        const float reach = 0.35f + 0.65f * glow(x, y, kWidth / 2.f, 40.f, 470.f, 360.f);
        p = add(p, mix(Rgb{1, 1, 1}, accent, 0.4f), 0.022f * line * reach);
        return p;
    });
    finish(c);
    return c.toImage();
}

// Carbon fibre: a 2x2 twill of tows whose shading runs across the fibres,
// with a cool sheen sweeping diagonally over the top.
QImage renderCarbon() {
    Canvas c(kWidth, kHeight);
    const Rgb top = hex(0x1c1e22), bottom = hex(0x111215);
    c.paint([&](float x, float y, Rgb) {
        Rgb p = mix(top, bottom, y / kHeight);
        constexpr float cell = 8.f;
        const int i = int(std::floor(x / cell));
        const int j = int(std::floor(y / cell));
        const float u = (x - float(i) * cell) / cell;
        const float v = (y - float(j) * cell) / cell;
        const bool across = ((i + j) & 3) < 2;
        const float t = across ? v : u;
        const float along = across ? u : v;
        // Rounded tow cross-section, darker where one tow dips under the next.
        const float tow = std::sin(t * 3.14159f);
        const float dip = 0.45f + 0.55f * std::sin(along * 3.14159f);
        // Tows lying one way catch more of the light than those lying the other.
        const float facing = across ? 1.f : 0.72f;
        const float sheen = glow(x, y, 250.f, 40.f, 560.f, 260.f);
        const float shade = (tow * dip * facing - 0.42f) * (0.16f + 0.14f * sheen);
        p = scale(p, 1.f + shade);
        p = mix(p, hex(0x8fa3b8), 0.045f * sheen);
        return p;
    });
    finish(c);
    return c.toImage();
}

// Aurora: a curtain of blue light across the upper third whose rays fade
// upwards into violet, with a fainter second curtain behind it.
QImage renderAurora() {
    Canvas c(kWidth, kHeight);
    const Rgb top = hex(0x16182a), bottom = hex(0x0f1016);
    const Rgb blue = hex(0x2f86ff), violet = hex(0x8a52ff), cyan = hex(0x1ec8ff);
    c.paint([&](float x, float y, Rgb) {
        Rgb p = mix(top, bottom, std::pow(y / kHeight, 0.8f));
        p = mix(p, violet, 0.07f * glow(x, y, 640.f, 60.f, 420.f, 260.f));
        p = mix(p, blue, 0.05f * glow(x, y, 130.f, 120.f, 380.f, 260.f));
        // Returns how far above the curtain's lower edge (0 = on it, 1 = top
        // of the rays) and the light there.
        const auto curtain = [&](float base, float tilt, float amp, float freq, float phase, float edge,
                                 uint32_t seed, float& height) {
            const float mid = base + tilt * (x / kWidth - 0.5f) + amp * std::sin(x * freq + phase) +
                              24.f * (noise1(x / 170.f, seed) - 0.5f);
            const float d = y - mid;
            constexpr float rayLength = 150.f;
            height = std::clamp(-d / rayLength, 0.f, 1.f);
            const float profile = d < 0 ? std::exp(d / (rayLength * 0.45f)) : std::exp(-(d * d) / (edge * edge));
            const float rays = 0.6f + 0.4f * noise1(x / 13.f, seed + 7);
            return profile * (d < 0 ? rays : 1.f);
        };
        float h1 = 0, h2 = 0;
        const float back = curtain(170.f, -70.f, 26.f, 0.0081f, 2.2f, 80.f, 2, h2);
        const float front = curtain(245.f, -90.f, 38.f, 0.0058f, 0.4f, 30.f, 1, h1);
        const float across = 0.45f + 0.55f * std::exp(-std::pow((x - kWidth * 0.55f) / 520.f, 2.f) * 2.f);
        p = mix(p, mix(blue, violet, 0.5f + 0.5f * h2), 0.08f * back * across);
        p = mix(p, mix(mix(cyan, blue, 0.55f), violet, h1), 0.19f * front * across);
        return p;
    });
    finish(c);
    return c.toImage();
}

// Ember: a warm glow rising from below with a few sparks drifting up.
QImage renderEmber() {
    Canvas c(kWidth, kHeight);
    const Rgb top = hex(0x1b1918), bottom = hex(0x141110);
    const Rgb red = hex(0xe0401f), orange = hex(0xff8a2a);

    struct Spark {
        float x, y, r, k;
    };
    std::vector<Spark> sparks;
    for (uint32_t n = 0; n < 22; ++n) {
        const float fx = hash01(n, 11);
        const float fy = hash01(n, 12);
        // Sparks rise from the heart of the glow, spreading and dimming as
        // they climb.
        const float rise = std::pow(fy, 1.4f);
        const float x = kWidth * (0.5f + (fx - 0.5f) * (0.45f + 0.5f * rise));
        const float y = kHeight - 30.f - rise * 300.f;
        const float k = (0.35f + 0.65f * hash01(n, 14)) * (1.f - 0.7f * rise);
        sparks.push_back({x, y, 0.9f + 1.1f * hash01(n, 13), k});
    }

    c.paint([&](float x, float y, Rgb) {
        Rgb p = mix(top, bottom, y / kHeight);
        p = mix(p, red, 0.22f * glow(x, y, kWidth / 2.f, kHeight + 60.f, 640.f, 360.f));
        p = mix(p, orange, 0.10f * glow(x, y, kWidth / 2.f, kHeight + 30.f, 330.f, 180.f));
        p = mix(p, red, 0.035f * glow(x, y, 120.f, 40.f, 360.f, 260.f));
        for (const Spark& s : sparks) {
            const float dx = x - s.x, dy = y - s.y;
            if (std::abs(dx) > 12.f || std::abs(dy) > 12.f)
                continue;
            const float d2 = dx * dx + dy * dy;
            const float core = std::exp(-d2 / (s.r * s.r));
            const float halo = std::exp(-d2 / (s.r * s.r * 14.f));
            p = add(p, orange, s.k * (0.30f * core + 0.06f * halo));
        }
        return p;
    });
    finish(c);
    return c.toImage();
}

QImage thumbnail(const QImage& full) {
    QImage t = full.scaled(kThumbWidth, kThumbHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                   .convertToFormat(QImage::Format_RGB888);
    QPainter p(&t);
    p.setPen(QColor(0x34, 0x39, 0x42));
    p.setBrush(Qt::NoBrush);
    p.drawRect(0, 0, kThumbWidth - 1, kThumbHeight - 1);
    return t;
}

// The app mark from data/icons/talvo.svg, redrawn in its 256-unit space.
QImage renderLogo(int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);

    const QColor ink(0x0d, 0x0f, 0x12);
    const auto pen = [&](const QColor& c, qreal w) {
        QPen pn(c, w);
        pn.setCapStyle(Qt::RoundCap);
        pn.setJoinStyle(Qt::RoundJoin);
        return pn;
    };

    QLinearGradient tile(0, 8, 0, 248);
    tile.setColorAt(0, QColor(0x2a, 0x2e, 0x36));
    tile.setColorAt(1, QColor(0x15, 0x17, 0x1b));
    p.setPen(Qt::NoPen);
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(8, 8, 240, 240), 52, 52);
    p.setPen(QPen(QColor(0x3a, 0x40, 0x4a), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(8.5, 8.5, 239, 239), 51.5, 51.5);

    QPainterPath shell(QPointF(128, 36));
    shell.cubicTo(88, 36, 70, 66, 70, 108);
    shell.lineTo(70, 160);
    shell.cubicTo(70, 200, 96, 222, 128, 222);
    shell.cubicTo(160, 222, 186, 200, 186, 160);
    shell.lineTo(186, 108);
    shell.cubicTo(186, 66, 168, 36, 128, 36);
    shell.closeSubpath();
    // The shell gradient runs corner to corner of the shell's bounding box.
    QLinearGradient shellFill(0, 0, 1, 1);
    shellFill.setCoordinateMode(QGradient::ObjectMode);
    shellFill.setColorAt(0, QColor(0xee, 0xf1, 0xf5));
    shellFill.setColorAt(1, QColor(0x9a, 0xa3, 0xae));
    p.setPen(pen(ink, 6));
    p.setBrush(shellFill);
    p.drawPath(shell);

    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(128, 40), QPointF(128, 84));
    QPainterPath rear(QPointF(74, 118));
    rear.cubicTo(100, 128, 156, 128, 182, 118);
    p.drawPath(rear);

    QRadialGradient halo(QPointF(128, 82), 34);
    halo.setColorAt(0, QColor(0x1e, 0xc8, 0xff, 140));
    halo.setColorAt(1, QColor(0x1e, 0xc8, 0xff, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(halo);
    p.drawEllipse(QPointF(128, 82), 34, 34);

    QLinearGradient wheel(0, 58, 0, 106);
    wheel.setColorAt(0, QColor(0x7f, 0xe3, 0xff));
    wheel.setColorAt(1, QColor(0x1e, 0xc8, 0xff));
    p.setPen(pen(ink, 5));
    p.setBrush(wheel);
    p.drawRoundedRect(QRectF(116, 58, 24, 48), 12, 12);
    p.setPen(pen(QColor(0x0b, 0x6f, 0x8f), 3));
    for (qreal y : {72.0, 82.0, 92.0})
        p.drawLine(QPointF(121, y), QPointF(135, y));

    QPainterPath strip(QPointF(98, 196));
    strip.cubicTo(114, 206, 142, 206, 158, 196);
    p.setPen(pen(QColor(0x1e, 0xc8, 0xff), 8));
    p.setBrush(Qt::NoBrush);
    p.drawPath(strip);
    return img;
}

// Line drawing of a mouse seen from above, in a 200-unit space.
QImage renderNoDevice(int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 200.0, size / 200.0);

    const QColor line(0x5c, 0x63, 0x6e);
    const QColor accent(0x1e, 0xc8, 0xff);
    const auto pen = [](QColor c, qreal w) {
        QPen pn(c, w);
        pn.setCapStyle(Qt::RoundCap);
        pn.setJoinStyle(Qt::RoundJoin);
        return pn;
    };
    const auto withAlpha = [](QColor c, int a) {
        c.setAlpha(a);
        return c;
    };

    // Body: narrower at the buttons, widest over the palm.
    QPainterPath body(QPointF(100, 24));
    body.cubicTo(74, 24, 60, 40, 58, 70);
    body.lineTo(55, 124);
    body.cubicTo(53, 158, 72, 178, 100, 178);
    body.cubicTo(128, 178, 147, 158, 145, 124);
    body.lineTo(142, 70);
    body.cubicTo(140, 40, 126, 24, 100, 24);
    body.closeSubpath();

    // Very faint fill so the shape holds together on busy skins.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 8));
    p.drawPath(body);

    QRadialGradient wheelGlow(QPointF(100, 60), 30);
    wheelGlow.setColorAt(0, withAlpha(accent, 70));
    wheelGlow.setColorAt(1, withAlpha(accent, 0));
    p.setBrush(wheelGlow);
    p.drawEllipse(QPointF(100, 60), 30, 30);

    QRadialGradient stripGlow(QPointF(100, 160), 34);
    stripGlow.setColorAt(0, withAlpha(accent, 45));
    stripGlow.setColorAt(1, withAlpha(accent, 0));
    p.setBrush(stripGlow);
    p.drawEllipse(QPointF(100, 160), 34, 20);

    p.setBrush(Qt::NoBrush);
    p.setPen(pen(line, 2));
    p.drawPath(body);

    // Split between the two main buttons, interrupted by the wheel.
    p.drawLine(QPointF(100, 25), QPointF(100, 44));
    p.drawLine(QPointF(100, 76), QPointF(100, 84));
    QPainterPath rear(QPointF(57, 96));
    rear.cubicTo(78, 106, 122, 106, 143, 96);
    p.drawPath(rear);

    // DPI button behind the wheel and the two thumb buttons on the left flank.
    p.drawRoundedRect(QRectF(95.5, 86, 9, 8), 3, 3);
    p.drawLine(QPointF(63, 104), QPointF(62.4, 116));
    p.drawLine(QPointF(62.2, 123), QPointF(61.6, 135));

    p.setPen(pen(line, 2));
    p.setBrush(withAlpha(accent, 40));
    p.drawRoundedRect(QRectF(93, 44, 14, 32), 7, 7);
    p.setPen(pen(withAlpha(accent, 200), 1.5));
    for (qreal y : {54.0, 60.0, 66.0})
        p.drawLine(QPointF(97.5, y), QPointF(102.5, y));

    QPainterPath strip(QPointF(82, 160));
    strip.cubicTo(92, 166, 108, 166, 118, 160);
    p.setBrush(Qt::NoBrush);
    p.setPen(pen(withAlpha(accent, 60), 6));
    p.drawPath(strip);
    p.setPen(pen(withAlpha(accent, 210), 2));
    p.drawPath(strip);
    return img;
}

// Caption-button glyphs, drawn in a 16-unit space. Horizontal and vertical
// strokes sit on whole units so their 2-unit width covers whole pixels at 1x and 2x alike.
enum class Glyph { Menu, Skin, Minimise, Maximise, Restore, Close };

QPainterPath glyphPath(Glyph g) {
    QPainterPath path;
    switch (g) {
    case Glyph::Menu:
        for (qreal y : {4.0, 8.0, 12.0}) {
            path.moveTo(4, y);
            path.lineTo(12, y);
        }
        break;
    case Glyph::Minimise:
        path.moveTo(4, 11);
        path.lineTo(12, 11);
        break;
    case Glyph::Maximise:
        path.addRect(QRectF(4, 4, 8, 8));
        break;
    case Glyph::Restore:
        // Only the part of the back window that shows above and right of the
        // front one is drawn, so the two never cross. The pair sits half a
        // pixel up and right of centre, which balances the heavier front window.
        path.addRect(QRectF(4, 6, 6, 6));
        path.moveTo(7, 5);
        path.lineTo(7, 3);
        path.lineTo(13, 3);
        path.lineTo(13, 9);
        path.lineTo(11, 9);
        break;
    case Glyph::Close:
        path.moveTo(4.5, 4.5);
        path.lineTo(11.5, 11.5);
        path.moveTo(11.5, 4.5);
        path.lineTo(4.5, 11.5);
        break;
    case Glyph::Skin: {
        // Palette: a round board with a round bite out of its lower right for
        // the thumb. The board is traced clockwise from one edge of the bite
        // to the other, then back along the bite.
        const QPointF board(8, 8), bite(12.4, 12.4);
        const qreal r = 5, biteR = 3.1;
        const qreal d = std::hypot(bite.x() - board.x(), bite.y() - board.y());
        const qreal along = (d * d + r * r - biteR * biteR) / (2 * d);
        const qreal toBite = -45; // direction from board to bite, in QPainterPath degrees
        const qreal halfBoard = std::acos(along / r) * 180 / std::numbers::pi;
        const qreal halfBite = std::acos((d - along) / biteR) * 180 / std::numbers::pi;
        const auto box = [](QPointF c, qreal rad) { return QRectF(c.x() - rad, c.y() - rad, 2 * rad, 2 * rad); };
        path.arcMoveTo(box(board, r), toBite - halfBoard);
        path.arcTo(box(board, r), toBite - halfBoard, -(360 - 2 * halfBoard));
        path.arcTo(box(bite, biteR), toBite + 180 - halfBite, 2 * halfBite);
        path.closeSubpath();
        break;
    }
    }
    return path;
}

QImage renderGlyph(Glyph g, QColor colour, int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);

    QPen pen(colour, 2);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    // One path per glyph: where strokes meet, the outline is filled once, so
    // crossings are not darker than the lines themselves.
    p.drawPath(glyphPath(g));
    if (g == Glyph::Skin) {
        p.setPen(Qt::NoPen);
        p.setBrush(colour);
        // Paint dots in an arc across the free side of the board, centred on
        // pixel corners so each is a solid 2x2 block at 1x.
        for (const QPointF c : {QPointF(6, 9), QPointF(7, 6), QPointF(10, 7)})
            p.drawEllipse(c, 1.1, 1.1);
    }
    return img;
}

bool save(const QImage& img, const QString& path) {
    if (talvo::skin_art::SavePng(img, path))
        return true;
    std::fprintf(stderr, "talvo-skin-art: cannot write %s\n", qPrintable(path));
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: talvo-skin-art <skin folder>\n");
        return 2;
    }
    const QDir skin(QString::fromLocal8Bit(argv[1]));
    if (!skin.mkpath(QStringLiteral("common"))) {
        std::fprintf(stderr, "talvo-skin-art: cannot create %s/common\n", argv[1]);
        return 1;
    }
    const auto out = [&](const char* name) { return skin.filePath(QStringLiteral("common/") + QLatin1String(name)); };

    bool ok = true;
    const struct {
        const char* name;
        const char* thumb;
        QImage (*render)();
    } backgrounds[] = {
        {"background.png", "background_thumb.png", renderDefault},
        {"skin_1.png", "skin_1_thumb.png", renderCarbon},
        {"skin_2.png", "skin_2_thumb.png", renderAurora},
        {"skin_3.png", "skin_3_thumb.png", renderEmber},
    };
    for (const auto& bg : backgrounds) {
        const QImage img = bg.render();
        ok = save(img, out(bg.name)) && ok;
        ok = save(thumbnail(img), out(bg.thumb)) && ok;
    }
    ok = save(renderLogo(28), out("logo.png")) && ok;
    ok = save(renderLogo(56), out("logo@2x.png")) && ok;
    ok = save(renderNoDevice(200), out("no_device.png")) && ok;
    ok = save(renderNoDevice(400), out("no_device@2x.png")) && ok;
    const QColor glyphInk(0xc9, 0xce, 0xd6);
    const struct {
        const char* name;
        Glyph glyph;
        QColor colour;
    } glyphs[] = {
        {"btn_menu", Glyph::Menu, glyphInk},       {"btn_skin", Glyph::Skin, glyphInk},
        {"btn_min", Glyph::Minimise, glyphInk},    {"btn_max", Glyph::Maximise, glyphInk},
        {"btn_restore", Glyph::Restore, glyphInk}, {"btn_close", Glyph::Close, glyphInk},
        // Drawn white because the close button turns red under the pointer.
        {"btn_close_hover", Glyph::Close, Qt::white},
    };
    for (const auto& gl : glyphs) {
        const std::string base(gl.name);
        ok = save(renderGlyph(gl.glyph, gl.colour, 16), out((base + ".png").c_str())) && ok;
        ok = save(renderGlyph(gl.glyph, gl.colour, 32), out((base + "@2x.png").c_str())) && ok;
    }
    for (const auto& [area, draw] : talvo::skin_art::AreaArtworks()) {
        if (!draw(skin)) {
            std::fprintf(stderr, "talvo-skin-art: cannot write the %s artwork\n", area.c_str());
            ok = false;
        }
    }
    return ok ? 0 : 1;
}
