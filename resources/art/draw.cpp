// The shared drawing of zel-artgen: the 256-colour palette and its error diffusion, the
// lettering helpers, and the globe, sky, lightning and telephone of several pictures.
#include "draw.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <vector>

namespace art {

// ---------------------------------------------------------------------------------------------
// The palette: the twenty static colours of a 256-colour Windows display, the 6x6x6 colour cube
// and twenty shades the pictures use for large areas (so they stay flat instead of dithered).

namespace {

QList<QRgb> palette256() {
    QList<QRgb> p = {
        qRgb(0, 0, 0),       qRgb(128, 0, 0),     qRgb(0, 128, 0),     qRgb(128, 128, 0),
        qRgb(0, 0, 128),     qRgb(128, 0, 128),   qRgb(0, 128, 128),   qRgb(192, 192, 192),
        qRgb(192, 220, 192), qRgb(166, 202, 240), qRgb(255, 251, 240), qRgb(160, 160, 164),
        qRgb(128, 128, 128), qRgb(255, 0, 0),     qRgb(0, 255, 0),     qRgb(255, 255, 0),
        qRgb(0, 0, 255),     qRgb(255, 0, 255),   qRgb(0, 255, 255),   qRgb(255, 255, 255),
    };
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                p.append(qRgb(r * 51, g * 51, b * 51));
    const QRgb extra[] = {
        qRgb(232, 220, 188), qRgb(214, 200, 164), qRgb(190, 176, 140), qRgb(150, 136, 104),
        qRgb(0, 96, 96),     qRgb(0, 72, 72),     qRgb(32, 144, 144),  qRgb(0, 112, 40),
        qRgb(20, 80, 30),    qRgb(224, 176, 40),  qRgb(176, 128, 16),  qRgb(24, 24, 24),
        qRgb(64, 64, 64),    qRgb(96, 96, 96),    qRgb(224, 224, 224), qRgb(0, 40, 120),
        qRgb(60, 120, 220),  qRgb(120, 176, 240), qRgb(90, 56, 30),    qRgb(150, 100, 60),
    };
    for (QRgb c : extra)
        p.append(c);
    return p;
}

int nearest(const QList<QRgb>& pal, int r, int g, int b) {
    int best = 0;
    long bestDist = 1L << 40;
    for (int i = 0; i < pal.size(); ++i) {
        const long dr = qRed(pal[i]) - r, dg = qGreen(pal[i]) - g, db = qBlue(pal[i]) - b;
        const long d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
        if (d < bestDist) {
            bestDist = d;
            best = i;
        }
    }
    return best;
}

} // namespace

// Floyd-Steinberg error diffusion onto the palette. Pixels with less than half opacity become
// the transparent index 0 of the result when keepAlpha is set (the one-bit mask of an icon).
QImage to256Colours(const QImage& source, bool keepAlpha) {
    const QImage src = source.convertToFormat(QImage::Format_ARGB32);
    QList<QRgb> pal = palette256();
    if (keepAlpha)
        pal[0] = qRgba(0, 0, 0, 0); // index 0 is transparent; black stays in the cube
    const int w = src.width(), h = src.height();
    QImage out(w, h, QImage::Format_Indexed8);
    out.setColorTable(pal);
    std::vector<float> err((w + 2) * 2 * 3, 0.0f);
    auto row = [&](int which) { return err.data() + which * (w + 2) * 3; };
    const QList<QRgb> opaque = keepAlpha ? pal.mid(1) : pal;
    const int shift = keepAlpha ? 1 : 0;
    for (int y = 0; y < h; ++y) {
        float* cur = row(y % 2);
        float* next = row((y + 1) % 2);
        std::fill(next, next + (w + 2) * 3, 0.0f);
        const QRgb* line = reinterpret_cast<const QRgb*>(src.constScanLine(y));
        uchar* dst = out.scanLine(y);
        for (int x = 0; x < w; ++x) {
            const QRgb px = line[x];
            if (keepAlpha && qAlpha(px) < 128) {
                dst[x] = 0;
                continue;
            }
            float c[3] = {qRed(px) + cur[(x + 1) * 3], qGreen(px) + cur[(x + 1) * 3 + 1],
                          qBlue(px) + cur[(x + 1) * 3 + 2]};
            for (float& v : c)
                v = std::clamp(v, 0.0f, 255.0f);
            const int idx = nearest(opaque, int(c[0]), int(c[1]), int(c[2]));
            dst[x] = uchar(idx + shift);
            const QRgb chosen = opaque[idx];
            const float e[3] = {c[0] - qRed(chosen), c[1] - qGreen(chosen), c[2] - qBlue(chosen)};
            // A little less than the full error: smooth areas get fewer stray dots.
            for (int k = 0; k < 3; ++k) {
                const float ek = e[k] * 0.8f;
                cur[(x + 2) * 3 + k] += ek * 7 / 16;
                next[x * 3 + k] += ek * 3 / 16;
                next[(x + 1) * 3 + k] += ek * 5 / 16;
                next[(x + 2) * 3 + k] += ek * 1 / 16;
            }
        }
    }
    return out;
}

QImage canvas(int w, int h, QColor fill) {
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(fill);
    return img;
}

void prepare(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, true);
}

QFont boldFont(qreal pixelSize, bool italic) {
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPixelSize(int(pixelSize));
    f.setBold(true);
    f.setItalic(italic);
    f.setStyleHint(QFont::SansSerif);
    return f;
}

// Lettering with a dark outline and a drop shadow, filled with a vertical gradient.
void lettering(QPainter& p, const QString& text, const QFont& font, QPointF baseline, QColor top,
               QColor bottom, QColor outline, qreal outlineWidth) {
    QPainterPath path;
    path.addText(baseline, font, text);
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 40, 150));
    p.drawPath(path.translated(2, 2));
    QLinearGradient g(0, path.boundingRect().top(), 0, path.boundingRect().bottom());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.setPen(QPen(outline, outlineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(g);
    p.drawPath(path);
    p.restore();
}

qreal textWidth(const QString& text, const QFont& font) {
    QPainterPath path;
    path.addText(0, 0, font, text);
    return path.boundingRect().width();
}

// ---------------------------------------------------------------------------------------------
// The globe: an orthographic view of the Americas, with the Atlantic and the edge of Africa.

namespace {

const std::vector<std::vector<LonLat>>& landmasses() {
    static const std::vector<std::vector<LonLat>> lands = {
        // South America
        {{-77, 8},   {-72, 12},  {-62, 10.5}, {-52, 5},   {-50, 0},   {-44, -2},
         {-35, -5},  {-35, -9},  {-39, -13},  {-40, -20}, {-44, -23}, {-48, -26},
         {-53, -34}, {-58, -38}, {-62, -39},  {-65, -42}, {-67, -46}, {-66, -50},
         {-69, -52}, {-68, -55}, {-72, -53},  {-75, -48}, {-73, -40}, {-72, -30},
         {-70, -18}, {-76, -14}, {-81, -6},   {-80, -2},  {-78, 2}},
        // North and Central America
        {{-77, 8},   {-80, 8},   {-83, 9},   {-86, 12},  {-88, 15},  {-92, 15},  {-95, 16},
         {-105, 20}, {-110, 23}, {-112, 29}, {-117, 32}, {-120, 34}, {-124, 40}, {-124, 48},
         {-130, 54}, {-140, 60}, {-150, 60}, {-165, 62}, {-165, 68}, {-155, 71}, {-140, 70},
         {-125, 70}, {-110, 68}, {-95, 68},  {-90, 64},  {-94, 59},  {-85, 55},  {-80, 52},
         {-78, 58},  {-75, 62},  {-65, 60},  {-60, 55},  {-56, 52},  {-60, 47},  {-65, 44},
         {-70, 42},  {-74, 40},  {-76, 35},  {-81, 31},  {-80, 26},  {-81, 25},  {-83, 29},
         {-89, 30},  {-94, 29},  {-97, 26},  {-97, 22},  {-95, 19},  {-91, 19},  {-90, 21},
         {-87, 21},  {-88, 17},  {-84, 15},  {-83, 11},  {-80, 9}},
        // Greenland
        {{-45, 60},
         {-40, 64},
         {-22, 70},
         {-20, 78},
         {-40, 83},
         {-60, 82},
         {-70, 78},
         {-55, 70},
         {-52, 66}},
        // Africa
        {{-17, 15}, {-16, 21}, {-13, 27}, {-10, 30}, {-6, 35},  {10, 37},  {11, 33},
         {20, 31},  {32, 31},  {43, 12},  {51, 11},  {40, -15}, {35, -25}, {20, -35},
         {18, -30}, {12, -17}, {13, -5},  {9, 4},    {-8, 5},   {-13, 8}},
        // Iberia
        {{-9, 37}, {-9, 43}, {-2, 43.5}, {3, 42}, {0, 39}, {-2, 37}, {-6, 36.5}},
        // Britain
        {{-5, 50}, {1, 51}, {2, 53}, {-2, 56}, {-3, 58.5}, {-6, 58}, {-5, 55}, {-3, 54}, {-5, 52}},
        // Cuba
        {{-85, 22}, {-80, 23.2}, {-75, 20.5}, {-77, 20}, {-80, 22}},
    };
    return lands;
}

} // namespace

void drawGlobe(QPainter& p, const Globe& globe, bool grid) {
    const QPointF c = globe.centre;
    const qreal r = globe.radius;
    p.save();
    // Shadow on the ground behind it.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 30, 90));
    p.drawEllipse(c + QPointF(r * 0.12, r * 0.12), r, r);

    QPainterPath disc;
    disc.addEllipse(c, r, r);
    QRadialGradient sea(c - QPointF(r * 0.35, r * 0.4), r * 1.5);
    sea.setColorAt(0, QColor(120, 190, 255));
    sea.setColorAt(0.45, QColor(20, 90, 210));
    sea.setColorAt(1, QColor(0, 10, 80));
    p.setBrush(sea);
    p.drawPath(disc);

    p.setClipPath(disc);
    QRadialGradient land(c - QPointF(r * 0.35, r * 0.4), r * 1.5);
    land.setColorAt(0, QColor(150, 230, 90));
    land.setColorAt(0.45, QColor(30, 150, 40));
    land.setColorAt(1, QColor(0, 60, 10));
    for (const auto& mass : landmasses()) {
        QPolygonF poly;
        bool any = false;
        for (const LonLat& ll : mass) {
            bool vis = false;
            poly << globe.project(ll, &vis);
            any = any || vis;
        }
        if (!any)
            continue;
        p.setPen(QPen(QColor(0, 70, 20), r > 20 ? 0.8 : 0.5));
        p.setBrush(land);
        p.drawPolygon(poly);
    }
    if (grid) {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(200, 240, 255, 110), r > 20 ? 0.8 : 0.6));
        // One grid line through the points `at(t)`, broken where it turns away from the viewer.
        auto gridLine = [&](auto at, int from, int to) {
            QPolygonF line;
            for (int t = from; t <= to; t += 5) {
                bool vis = false;
                const QPointF pt = globe.project(at(t), &vis);
                if (vis)
                    line << pt;
                else if (!line.isEmpty()) {
                    p.drawPolyline(line);
                    line.clear();
                }
            }
            p.drawPolyline(line);
        };
        for (int lon = -180; lon < 180; lon += 30)
            gridLine([&](int lat) { return LonLat{double(lon), double(lat)}; }, -90, 90);
        for (int lat = -60; lat <= 60; lat += 30)
            gridLine([&](int lon) { return LonLat{double(lon), double(lat)}; }, -180, 180);
    }
    // Highlight and terminator.
    QRadialGradient shine(c - QPointF(r * 0.42, r * 0.45), r * 0.55);
    shine.setColorAt(0, QColor(255, 255, 255, 150));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shine);
    p.drawPath(disc);
    p.setClipping(false);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0, 0, 60), r > 20 ? 1.0 : 0.7));
    p.drawPath(disc);
    p.restore();
}

// A lightning bolt from top (0,0) down to about (0, length); scale sets its width.
void drawLightning(QPainter& p, QPointF at, qreal s, qreal angleDeg) {
    const QPolygonF bolt = {{-3, 0}, {5, 0},   {1.5, 7}, {6, 7},    {-1, 17},
                            {1, 11}, {-3, 11}, {-1, 6},  {-4.5, 6}, {-3, 0}};
    p.save();
    p.translate(at);
    p.rotate(angleDeg);
    p.scale(s, s);
    // Glow
    p.setPen(QPen(QColor(255, 255, 200, 110), 2.4 / s * 1.5, Qt::SolidLine, Qt::RoundCap,
                  Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPolygon(bolt);
    QLinearGradient g(0, 0, 0, 17);
    g.setColorAt(0, QColor(255, 255, 120));
    g.setColorAt(1, QColor(255, 170, 0));
    p.setPen(QPen(QColor(160, 60, 0), 0.9 / s * 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(g);
    p.drawPolygon(bolt);
    p.restore();
}

void skyBackground(QPainter& p, QRectF rect, QColor top, QColor bottom) {
    QLinearGradient sky(rect.topLeft(), rect.bottomLeft());
    sky.setColorAt(0, top);
    sky.setColorAt(1, bottom);
    p.fillRect(rect, sky);
}

void cloud(QPainter& p, QPointF at, qreal s) {
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawEllipse(at, 9 * s, 4 * s);
    p.drawEllipse(at + QPointF(-6 * s, 1 * s), 6 * s, 3 * s);
    p.drawEllipse(at + QPointF(5 * s, -2 * s), 6 * s, 4 * s);
    p.drawEllipse(at + QPointF(-2 * s, -3 * s), 5 * s, 4 * s);
    p.restore();
}

// A desk telephone seen from the front, with the handset on its cradle.
void drawTelephone(QPainter& p, QPointF at, qreal s) {
    p.save();
    p.translate(at);
    p.scale(s, s);
    const QColor body(200, 30, 30), dark(110, 0, 0), light(255, 120, 100);
    // Shadow
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 30, 90));
    p.drawEllipse(QPointF(20, 31), 22, 4);
    // Body: a trapezoid with rounded top.
    QPainterPath base;
    base.moveTo(2, 30);
    base.lineTo(8, 12);
    base.quadTo(20, 8, 32, 12);
    base.lineTo(38, 30);
    base.closeSubpath();
    QLinearGradient bg(0, 10, 0, 30);
    bg.setColorAt(0, light);
    bg.setColorAt(0.4, body);
    bg.setColorAt(1, dark);
    p.setPen(QPen(QColor(60, 0, 0), 0.8));
    p.setBrush(bg);
    p.drawPath(base);
    // Dial
    p.setBrush(QColor(235, 235, 225));
    p.drawEllipse(QPointF(20, 21), 7, 6);
    p.setBrush(QColor(60, 60, 60));
    for (int i = 0; i < 10; ++i) {
        const double a = qDegreesToRadians(-60.0 + i * 28.0);
        p.drawEllipse(QPointF(20 + 5 * std::cos(a), 21 + 4.3 * std::sin(a)), 0.9, 0.8);
    }
    p.setBrush(body);
    p.drawEllipse(QPointF(20, 21), 2.2, 1.9);
    // Handset, resting on the cradle
    p.translate(0, 3);
    QPainterPath hs;
    hs.moveTo(-1, 8);
    hs.quadTo(-2, 2, 5, 1);
    hs.lineTo(35, 1);
    hs.quadTo(42, 2, 41, 8);
    hs.lineTo(34, 9);
    hs.quadTo(32, 5, 29, 5);
    hs.lineTo(11, 5);
    hs.quadTo(8, 5, 6, 9);
    hs.closeSubpath();
    QLinearGradient hg(0, 0, 0, 9);
    hg.setColorAt(0, light);
    hg.setColorAt(1, dark);
    p.setBrush(hg);
    p.drawPath(hs);
    // Cord
    p.translate(0, -3);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(60, 0, 0), 1.0));
    QPainterPath cord;
    cord.moveTo(38, 26);
    for (int i = 0; i < 5; ++i)
        cord.quadTo(42 + i * 2, 24 + (i % 2) * 6, 43 + i * 2, 27);
    p.drawPath(cord);
    p.restore();
}

} // namespace art
