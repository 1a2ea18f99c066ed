// zel-artgen: draws the wizard's pictures and the demo kit's pictures, icons and start-up sound.
//
//   zel-artgen pictures DIR   the pages' pictures (160 x 120, as BMP) and the application and
//                             directory chooser's icons (as XPM, which keeps transparency):
//                             formats the wizard reads in microseconds, without a decompressor
//   zel-artgen kit DIR        the demo kit's binary files (sponsor pictures, icons, sound)
//
// Everything is drawn here with QPainter and then reduced to a 256-colour palette with error
// diffusion, so the pictures have the look of a setup program of the Windows 95 years.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

// ---------------------------------------------------------------------------------------------
// The palette: the twenty static colours of a 256-colour Windows display, the 6x6x6 colour cube
// and twenty shades the pictures use for large areas (so they stay flat instead of dithered).

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

// Floyd-Steinberg error diffusion onto the palette. Pixels with less than half opacity become
// the transparent index 0 of the result when keepAlpha is set (the one-bit mask of an icon).
QImage to256Colours(const QImage& source, bool keepAlpha = false) {
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

QImage canvas(int w, int h, QColor fill = Qt::transparent) {
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(fill);
    return img;
}

void prepare(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing, true);
}

QFont boldFont(qreal pixelSize, bool italic = false) {
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPixelSize(int(pixelSize));
    f.setBold(true);
    f.setItalic(italic);
    f.setStyleHint(QFont::SansSerif);
    return f;
}

// Lettering with a dark outline and a drop shadow, filled with a vertical gradient.
void lettering(QPainter& p, const QString& text, const QFont& font, QPointF baseline, QColor top,
               QColor bottom, QColor outline, qreal outlineWidth = 1.2) {
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

struct LonLat {
    double lon, lat;
};

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

struct Globe {
    QPointF centre;
    qreal radius;
    double lon0 = -52, lat0 = 12;

    // Screen position and whether the point faces the viewer; hidden points are pushed onto
    // the rim so that outlines crossing it stay closed.
    QPointF project(LonLat ll, bool* visible = nullptr) const {
        const double la = qDegreesToRadians(ll.lat), lo = qDegreesToRadians(ll.lon - lon0);
        const double p0 = qDegreesToRadians(lat0);
        double x = std::cos(la) * std::sin(lo);
        double y = std::cos(p0) * std::sin(la) - std::sin(p0) * std::cos(la) * std::cos(lo);
        const double c = std::sin(p0) * std::sin(la) + std::cos(p0) * std::cos(la) * std::cos(lo);
        if (visible)
            *visible = c >= 0;
        if (c < 0) {
            const double n = std::hypot(x, y);
            if (n > 0) {
                x /= n;
                y /= n;
            }
        }
        return {centre.x() + radius * x, centre.y() - radius * y};
    }
};

void drawGlobe(QPainter& p, const Globe& globe, bool grid = true) {
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
void drawLightning(QPainter& p, QPointF at, qreal s, qreal angleDeg = 0) {
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

// ---------------------------------------------------------------------------------------------
// The pages' pictures.

QImage welcomePicture() {
    QImage img = canvas(160, 120);
    QPainter p(&img);
    prepare(p);
    skyBackground(p, img.rect(), QColor(0, 30, 120), QColor(150, 205, 255));
    cloud(p, {20, 14}, 1.0);
    cloud(p, {132, 62}, 1.2);
    cloud(p, {150, 100}, 0.8);
    // Ground haze at the bottom
    QLinearGradient haze(0, 100, 0, 120);
    haze.setColorAt(0, QColor(255, 255, 255, 0));
    haze.setColorAt(1, QColor(255, 255, 255, 110));
    p.fillRect(QRectF(0, 100, 160, 20), haze);

    drawGlobe(p, Globe{{58, 68}, 42});
    drawLightning(p, {126, 42}, 1.7, 18);
    drawTelephone(p, {104, 74}, 1.1);

    const QFont big = boldFont(34, true);
    const qreal w = textWidth(QStringLiteral("ZEL"), big);
    lettering(p, QStringLiteral("ZEL"), big, {154 - w, 36}, QColor(255, 255, 150),
              QColor(255, 150, 0), QColor(100, 20, 0), 1.4);
    return img;
}

void teal(QPainter& p, QRectF rect) {
    QLinearGradient g(rect.topLeft(), rect.bottomRight());
    g.setColorAt(0, QColor(0, 128, 128));
    g.setColorAt(1, QColor(0, 96, 96));
    p.fillRect(rect, g);
}

// A 3.5" diskette at the origin, 46 x 48, tilted by angle.
void drawDiskette(QPainter& p, QPointF at, qreal angle, QColor shell, const QString& label) {
    p.save();
    p.translate(at);
    p.rotate(angle);
    // Shadow
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 30, 30, 130));
    p.drawRoundedRect(QRectF(3, 3, 46, 48), 2, 2);
    // Shell with the clipped corner top-right
    QPainterPath body;
    body.moveTo(0, 0);
    body.lineTo(42, 0);
    body.lineTo(46, 4);
    body.lineTo(46, 48);
    body.lineTo(0, 48);
    body.closeSubpath();
    QLinearGradient g(0, 0, 46, 48);
    g.setColorAt(0, shell.lighter(150));
    g.setColorAt(1, shell);
    p.setPen(QPen(shell.darker(250), 0.8));
    p.setBrush(g);
    p.drawPath(body);
    // Metal shutter
    QLinearGradient metal(10, 0, 32, 0);
    metal.setColorAt(0, QColor(230, 230, 230));
    metal.setColorAt(0.5, QColor(160, 160, 164));
    metal.setColorAt(1, QColor(220, 220, 220));
    p.setPen(QPen(QColor(80, 80, 80), 0.6));
    p.setBrush(metal);
    p.drawRect(QRectF(10, 0, 24, 17));
    p.setBrush(QColor(40, 40, 40));
    p.drawRect(QRectF(24, 3, 5, 11));
    // Label
    p.setPen(QPen(QColor(120, 120, 120), 0.6));
    p.setBrush(QColor(255, 251, 240));
    p.drawRect(QRectF(5, 22, 36, 25));
    p.setPen(QPen(QColor(0, 0, 160), 0.7));
    for (int i = 0; i < 3; ++i)
        p.drawLine(QPointF(8, 33 + i * 4.5), QPointF(38, 33 + i * 4.5));
    QFont f = boldFont(7);
    p.setFont(f);
    p.setPen(QColor(160, 0, 0));
    p.drawText(QRectF(5, 22, 36, 9), Qt::AlignCenter, label);
    // Write-protect hole
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(20, 20, 20));
    p.drawRect(QRectF(2, 42, 2.5, 3));
    p.restore();
}

// A dotted arrow along a quadratic curve, with a solid head at its end.
void dottedArrow(QPainter& p, QPointF from, QPointF ctrl, QPointF to) {
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 0, 0));
    auto at = [&](double t) {
        const double u = 1 - t;
        return u * u * from + 2 * u * t * ctrl + t * t * to;
    };
    const int dots = 9;
    for (int i = 0; i < dots; ++i) {
        const QPointF d = at(0.02 + 0.84 * i / (dots - 1));
        p.setBrush(QColor(100, 0, 0));
        p.drawEllipse(d + QPointF(0.6, 0.6), 2.1, 2.1);
        p.setBrush(QColor(255, 30, 30));
        p.drawEllipse(d, 2.0, 2.0);
    }
    const QPointF tip = to, back = at(0.86);
    QLineF dir(back, tip);
    const QLineF n = dir.normalVector().unitVector();
    const QPointF side(n.dx() * 5, n.dy() * 5);
    const QPolygonF head = {tip, back + side, back - side};
    p.setPen(QPen(QColor(100, 0, 0), 0.8));
    p.setBrush(QColor(255, 30, 30));
    p.drawPolygon(head);
    p.restore();
}

QImage copyPicture() {
    QImage img = canvas(160, 120);
    QPainter p(&img);
    prepare(p);
    teal(p, img.rect());
    // A faint floor line
    p.fillRect(QRectF(0, 92, 160, 28), QColor(0, 72, 72, 90));
    drawDiskette(p, {12, 40}, -10, QColor(20, 40, 150), QStringLiteral("ZEL 1"));
    drawDiskette(p, {100, 44}, 8, QColor(40, 40, 40), QStringLiteral("C:"));
    dottedArrow(p, {40, 30}, {80, -6}, {112, 36});
    dottedArrow(p, {52, 88}, {82, 112}, {104, 94});
    return img;
}

QImage installTypePicture() {
    QImage img = canvas(160, 120);
    QPainter p(&img);
    prepare(p);
    // Wall and desk
    skyBackground(p, QRectF(0, 0, 160, 92), QColor(0, 72, 120), QColor(40, 140, 170));
    QLinearGradient desk(0, 92, 0, 120);
    desk.setColorAt(0, QColor(150, 100, 60));
    desk.setColorAt(1, QColor(90, 56, 30));
    p.fillRect(QRectF(0, 92, 160, 28), desk);
    p.setPen(QPen(QColor(60, 36, 18), 1));
    p.drawLine(QPointF(0, 92.5), QPointF(160, 92.5));

    const QColor beige(214, 200, 164), beigeLight(236, 226, 196), beigeDark(150, 136, 104);
    auto beigeFill = [&](QRectF r) {
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        g.setColorAt(0, beigeLight);
        g.setColorAt(1, beige);
        return g;
    };
    p.setPen(QPen(beigeDark.darker(150), 0.8));
    // Desktop case
    const QRectF box(26, 68, 108, 24);
    p.setBrush(QColor(0, 0, 0, 70));
    p.drawRect(box.translated(3, 2));
    p.setBrush(beigeFill(box));
    p.drawRoundedRect(box, 1.5, 1.5);
    // Drive bays
    p.setBrush(QColor(190, 176, 140));
    p.drawRect(QRectF(86, 72, 42, 7));
    p.drawRect(QRectF(96, 81, 28, 6));
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.drawLine(QPointF(89, 75.5), QPointF(125, 75.5));
    p.drawLine(QPointF(100, 84), QPointF(118, 84));
    // Power switch and lights
    p.setPen(QPen(beigeDark.darker(150), 0.6));
    p.setBrush(beige.darker(115));
    p.drawRect(QRectF(32, 82, 9, 6));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 220, 0));
    p.drawEllipse(QPointF(48, 85), 1.3, 1.3);
    p.setBrush(QColor(255, 160, 0));
    p.drawEllipse(QPointF(54, 85), 1.3, 1.3);
    // Badge
    p.setPen(QColor(0, 0, 128));
    p.setFont(boldFont(6));
    p.drawText(QRectF(30, 70, 40, 8), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("ZEL 486"));

    // Monitor stand
    p.setPen(QPen(beigeDark.darker(150), 0.8));
    p.setBrush(beigeFill(QRectF(60, 60, 40, 8)));
    QPolygonF stand = {{66, 68}, {94, 68}, {90, 62}, {70, 62}};
    p.drawPolygon(stand);
    // CRT
    const QRectF crt(40, 8, 80, 56);
    p.setBrush(QColor(0, 0, 0, 70));
    p.drawRoundedRect(crt.translated(3, 2), 5, 5);
    p.setBrush(beigeFill(crt));
    p.drawRoundedRect(crt, 5, 5);
    const QRectF screen(47, 14, 66, 42);
    QLinearGradient glass(screen.topLeft(), screen.bottomRight());
    glass.setColorAt(0, QColor(0, 150, 150));
    glass.setColorAt(1, QColor(0, 96, 96));
    p.setPen(QPen(QColor(60, 60, 60), 1.2));
    p.setBrush(glass);
    p.drawRoundedRect(screen, 4, 4);
    // A little desktop on the screen: icons and a window
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 3; ++i) {
        p.setBrush(QColor(255, 255, 0));
        p.drawRect(QRectF(51, 18 + i * 10, 5, 4));
        p.setBrush(QColor(255, 255, 255));
        p.drawRect(QRectF(50, 23 + i * 10, 7, 1.4));
    }
    p.setBrush(QColor(192, 192, 192));
    p.drawRect(QRectF(64, 20, 44, 28));
    p.setBrush(QColor(0, 0, 128));
    p.drawRect(QRectF(65, 21, 42, 4));
    p.setBrush(QColor(255, 255, 255));
    p.drawRect(QRectF(67, 28, 38, 10));
    p.setBrush(QColor(0, 0, 128));
    p.drawRect(QRectF(68, 41, 22, 3));
    p.setBrush(QColor(160, 160, 164));
    p.drawRect(QRectF(93, 41, 12, 4));
    // Glare
    QLinearGradient glare(screen.topLeft(), screen.center());
    glare.setColorAt(0, QColor(255, 255, 255, 90));
    glare.setColorAt(1, QColor(255, 255, 255, 0));
    p.setBrush(glare);
    p.drawRoundedRect(screen, 4, 4);
    // Monitor button and light
    p.setBrush(QColor(0, 200, 0));
    p.drawEllipse(QPointF(110, 60), 1.1, 1.1);
    p.setBrush(beige.darker(120));
    p.drawRect(QRectF(100, 58.5, 6, 3));

    // Keyboard in perspective
    const QPolygonF kb = {{34, 98}, {126, 98}, {134, 116}, {26, 116}};
    p.setPen(QPen(beigeDark.darker(150), 0.8));
    p.setBrush(QColor(0, 0, 0, 70));
    p.drawPolygon(kb.translated(2, 2));
    QLinearGradient kg(0, 98, 0, 116);
    kg.setColorAt(0, beigeLight);
    kg.setColorAt(1, beigeDark);
    p.setBrush(kg);
    p.drawPolygon(kb);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(120, 108, 80));
    for (int row = 0; row < 4; ++row) {
        const double t0 = (row * 4.0 + 1.5) / 18.0, t1 = t0 + 2.6 / 18.0;
        auto xAt = [](double t, double side) { return side < 0 ? 34 - 8 * t : 126 + 8 * t; };
        const double y0 = 98 + 18 * t0, y1 = 98 + 18 * t1;
        const double left = xAt(t0, -1) + 3, right = xAt(t0, 1) - 3;
        const int keys = 15;
        const double kw = (right - left) / keys;
        for (int k = 0; k < keys; ++k) {
            if (row == 3 && k > 3 && k < 11) {
                if (k == 4)
                    p.drawRect(QRectF(left + k * kw, y0, kw * 7 - 0.8, y1 - y0));
                continue;
            }
            p.drawRect(QRectF(left + k * kw + row * 0.3, y0, kw - 0.8, y1 - y0));
        }
    }
    // Cable from keyboard to the case
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(40, 40, 40), 1));
    QPainterPath cable;
    cable.moveTo(80, 98);
    cable.cubicTo(80, 94, 140, 96, 134, 90);
    p.drawPath(cable);
    return img;
}

QImage connectionPicture() {
    QImage img = canvas(160, 120);
    QPainter p(&img);
    prepare(p);
    teal(p, img.rect());
    p.translate(80, 60);
    p.rotate(-7);
    p.translate(-80, -60);

    // Shadow of the whole card
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 40, 40, 140));
    p.drawRect(QRectF(27, 27, 124, 70));

    // Gold edge connector, with the key gap
    const QColor gold(224, 176, 40), goldDark(150, 100, 10);
    for (double x = 46; x < 140; x += 3.2) {
        if (x > 96 && x < 103)
            continue;
        QLinearGradient g(0, 88, 0, 97);
        g.setColorAt(0, QColor(255, 220, 110));
        g.setColorAt(1, gold);
        p.setPen(QPen(goldDark, 0.4));
        p.setBrush(g);
        p.drawRect(QRectF(x, 88, 2.2, 9));
    }
    // The board
    QPainterPath board;
    board.moveTo(20, 24);
    board.lineTo(146, 24);
    board.lineTo(146, 80);
    board.lineTo(140, 88);
    board.lineTo(44, 88);
    board.lineTo(44, 80);
    board.lineTo(20, 80);
    board.closeSubpath();
    QLinearGradient pcb(24, 24, 146, 88);
    pcb.setColorAt(0, QColor(30, 150, 60));
    pcb.setColorAt(1, QColor(0, 100, 40));
    p.setPen(QPen(QColor(0, 60, 20), 0.8));
    p.setBrush(pcb);
    p.drawPath(board);
    // Traces
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(110, 200, 110, 170), 0.6));
    for (int i = 0; i < 14; ++i) {
        const double x = 50 + i * 6.4;
        QPainterPath t;
        t.moveTo(x + 1, 88);
        t.lineTo(x + 1, 80 - (i % 4) * 2);
        t.lineTo(x + 6, 74 - (i % 4) * 2);
        t.lineTo(x + 6, 66);
        p.drawPath(t);
    }
    for (int i = 0; i < 4; ++i)
        p.drawLine(QPointF(30, 32 + i * 3), QPointF(54, 32 + i * 3));

    auto chip = [&](QRectF r, const QString& text, bool pinsSides) {
        p.setPen(QPen(QColor(200, 200, 200), 0.6));
        const int pins = int(r.width() / 3);
        for (int i = 0; i < pins; ++i) {
            const double x = r.left() + 1.5 + i * (r.width() - 3) / std::max(1, pins - 1);
            p.drawLine(QPointF(x, r.top() - 1.6), QPointF(x, r.top()));
            p.drawLine(QPointF(x, r.bottom()), QPointF(x, r.bottom() + 1.6));
        }
        if (pinsSides) {
            const int side = int(r.height() / 3);
            for (int i = 0; i < side; ++i) {
                const double y = r.top() + 1.5 + i * (r.height() - 3) / std::max(1, side - 1);
                p.drawLine(QPointF(r.left() - 1.6, y), QPointF(r.left(), y));
                p.drawLine(QPointF(r.right(), y), QPointF(r.right() + 1.6, y));
            }
        }
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        g.setColorAt(0, QColor(70, 70, 70));
        g.setColorAt(1, QColor(20, 20, 20));
        p.setPen(QPen(QColor(0, 0, 0), 0.5));
        p.setBrush(g);
        p.drawRect(r);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(110, 110, 110));
        p.drawEllipse(QPointF(r.left() + 2.2, r.center().y()), 1.0, 1.0);
        if (!text.isEmpty()) {
            p.setPen(QColor(230, 230, 230));
            QFont f = boldFont(5.5);
            f.setBold(false);
            p.setFont(f);
            p.drawText(r.adjusted(3, 0, 0, 0), Qt::AlignCenter, text);
        }
    };
    chip(QRectF(62, 34, 34, 14), QStringLiteral("16550"), false);
    chip(QRectF(104, 30, 30, 24), QStringLiteral("ZEL"), true);
    chip(QRectF(62, 56, 22, 9), QString(), false);
    chip(QRectF(90, 60, 16, 8), QString(), false);
    chip(QRectF(112, 62, 18, 8), QString(), false);
    // Crystal
    p.setPen(QPen(QColor(90, 90, 90), 0.6));
    QLinearGradient xtal(0, 56, 0, 62);
    xtal.setColorAt(0, QColor(240, 240, 240));
    xtal.setColorAt(1, QColor(150, 150, 150));
    p.setBrush(xtal);
    p.drawRoundedRect(QRectF(36, 58, 14, 6), 3, 3);
    // Capacitors and resistors
    for (int i = 0; i < 4; ++i) {
        p.setPen(QPen(QColor(0, 0, 60), 0.5));
        p.setBrush(QColor(40, 80, 200));
        p.drawEllipse(QPointF(40 + i * 5, 72), 2, 2);
        p.setBrush(QColor(230, 200, 150));
        p.drawRoundedRect(QRectF(136, 30 + i * 6, 7, 3), 1.2, 1.2);
        p.setPen(QPen(QColor(160, 0, 0), 0.8));
        p.drawLine(QPointF(138, 30 + i * 6), QPointF(138, 33 + i * 6));
    }
    p.setPen(QPen(QColor(80, 50, 0), 0.5));
    p.setBrush(QColor(240, 200, 40));
    p.drawEllipse(QRectF(98, 72, 5, 5));
    p.drawEllipse(QRectF(106, 72, 5, 5));
    // Bracket on the left with the two telephone jacks
    QLinearGradient metal(8, 0, 20, 0);
    metal.setColorAt(0, QColor(240, 240, 240));
    metal.setColorAt(0.5, QColor(170, 170, 174));
    metal.setColorAt(1, QColor(120, 120, 124));
    p.setPen(QPen(QColor(70, 70, 70), 0.7));
    p.setBrush(metal);
    QPainterPath bracket;
    bracket.moveTo(12, 14);
    bracket.lineTo(24, 14);
    bracket.lineTo(24, 18);
    bracket.lineTo(20, 18);
    bracket.lineTo(20, 100);
    bracket.lineTo(16, 106);
    bracket.lineTo(12, 100);
    bracket.closeSubpath();
    p.drawPath(bracket);
    p.setBrush(QColor(30, 30, 30));
    p.drawRect(QRectF(14, 36, 5, 7));
    p.drawRect(QRectF(14, 50, 5, 7));
    p.setBrush(QColor(224, 176, 40));
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(15, 37, 3, 1));
    p.drawRect(QRectF(15, 51, 3, 1));
    // Mounting screw hole
    p.setBrush(QColor(0, 96, 96));
    p.drawEllipse(QPointF(18, 16), 1.4, 1.4);
    return img;
}

// A check mark, about 40 x 34, from top-left (0, 0).
void drawCheck(QPainter& p, QPointF at, qreal s) {
    QPainterPath check;
    check.moveTo(0, 18);
    check.lineTo(7, 12);
    check.lineTo(14, 21);
    check.lineTo(34, 0);
    check.lineTo(40, 5);
    check.lineTo(15, 33);
    check.closeSubpath();
    p.save();
    p.translate(at);
    p.scale(s, s);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 30, 110));
    p.drawPath(check.translated(2, 2));
    QLinearGradient g(0, 0, 0, 34);
    g.setColorAt(0, QColor(120, 255, 80));
    g.setColorAt(1, QColor(0, 150, 0));
    p.setPen(QPen(QColor(0, 60, 0), 1.2 / s, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(g);
    p.drawPath(check);
    p.restore();
}

QImage finishPicture() {
    QImage img = canvas(160, 120);
    QPainter p(&img);
    prepare(p);
    skyBackground(p, img.rect(), QColor(0, 0, 110), QColor(60, 120, 220));
    // Rays behind the globe
    p.save();
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 16; ++i) {
        p.setBrush(QColor(255, 255, 255, i % 2 ? 0 : 26));
        p.drawPie(QRectF(80 - 140, 52 - 140, 280, 280), i * 360 * 16 / 16, 360 * 16 / 16);
    }
    p.restore();
    drawGlobe(p, Globe{{80, 52}, 36, -45, 15});
    const QFont big = boldFont(30, true);
    const qreal w = textWidth(QStringLiteral("ZEL"), big);
    lettering(p, QStringLiteral("ZEL"), big, {80 - w / 2 - 2, 56}, QColor(255, 255, 160),
              QColor(255, 150, 0), QColor(100, 20, 0), 1.4);
    const QFont small = boldFont(17, true);
    const qreal w2 = textWidth(QStringLiteral("Internet"), small);
    lettering(p, QStringLiteral("Internet"), small, {80 - w2 / 2, 112}, QColor(255, 255, 255),
              QColor(170, 210, 255), QColor(0, 0, 80), 1.0);
    drawCheck(p, {112, 58}, 1.05);
    return img;
}

QImage appIcon() {
    QImage img = canvas(32, 32);
    QPainter p(&img);
    prepare(p);
    drawGlobe(p, Globe{{14.5, 17.5}, 13.5}, false);
    drawLightning(p, {25, 2}, 0.95, 15);
    p.end();
    return img;
}

// The directory chooser's small icons, drawn pixel by pixel without smoothing like the file
// dialogs of the time: a closed and an open folder (14 x 14, the list's line) and a hard disk
// (16 x 16, the drive box's icon size).
// Colours of the palette's cube, so they stay flat instead of dithered.
constexpr QRgb kFolderFace = qRgb(255, 255, 153);
constexpr QRgb kFolderShade = qRgb(204, 204, 102);
constexpr QRgb kOutline = qRgb(0, 0, 0);

QImage folderIcon(bool open) {
    QImage img = canvas(14, 14);
    QPainter p(&img);
    p.setPen(Qt::NoPen);
    const auto box = [&p](int x, int y, int w, int h, QRgb fill) {
        p.fillRect(x, y, w, h, QColor::fromRgb(kOutline));
        p.fillRect(x + 1, y + 1, w - 2, h - 2, QColor::fromRgb(fill));
    };
    box(1, 2, 6, 3, kFolderFace);   // the tab
    box(0, 3, 13, 10, kFolderFace); // the back
    p.fillRect(1, 4, 11, 1, Qt::white);
    if (open) {
        // The front flap, tilted towards the viewer.
        QPolygon flap;
        flap << QPoint(3, 6) << QPoint(13, 6) << QPoint(10, 12) << QPoint(0, 12);
        p.setBrush(QColor::fromRgb(kFolderShade));
        p.setPen(QColor::fromRgb(kOutline));
        p.drawPolygon(flap);
    }
    p.end();
    return img;
}

QImage driveIcon() {
    QImage img = canvas(16, 16);
    QPainter p(&img);
    p.fillRect(0, 5, 16, 7, QColor::fromRgb(kOutline));
    p.fillRect(1, 6, 14, 5, QColor(192, 192, 192));
    p.fillRect(1, 6, 14, 1, Qt::white);
    p.fillRect(3, 9, 7, 1, QColor(128, 128, 128)); // the slot
    p.fillRect(12, 8, 2, 2, QColor(0, 255, 0));    // the light
    p.end();
    return img;
}

// ---------------------------------------------------------------------------------------------
// The demo kit: icons, sponsor pictures, the sponsor's full-screen picture and the sound.

void put16(QByteArray& b, quint16 v) {
    b.append(char(v & 0xff));
    b.append(char(v >> 8));
}
void put32(QByteArray& b, quint32 v) {
    put16(b, quint16(v & 0xffff));
    put16(b, quint16(v >> 16));
}

// A Windows icon file with one 32 x 32 image: 32-bit colour with alpha plus the AND mask.
QByteArray icoFile(const QImage& picture) {
    const QImage img = picture.convertToFormat(QImage::Format_ARGB32);
    const int n = img.width();
    const int maskRow = ((n + 31) / 32) * 4;
    const quint32 xorSize = quint32(n * n * 4), andSize = quint32(maskRow * n);
    QByteArray b;
    put16(b, 0); // reserved
    put16(b, 1); // type: icon
    put16(b, 1); // one image
    b.append(char(n));
    b.append(char(n));
    b.append(char(0)); // no palette
    b.append(char(0));
    put16(b, 1);  // planes
    put16(b, 32); // bits per pixel
    put32(b, 40 + xorSize + andSize);
    put32(b, 6 + 16);
    // BITMAPINFOHEADER; the height counts the colour and the mask images together.
    put32(b, 40);
    put32(b, quint32(n));
    put32(b, quint32(2 * n));
    put16(b, 1);
    put16(b, 32);
    put32(b, 0);
    put32(b, xorSize + andSize);
    put32(b, 0);
    put32(b, 0);
    put32(b, 0);
    put32(b, 0);
    for (int y = n - 1; y >= 0; --y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < n; ++x) {
            const QRgb c = qAlpha(line[x]) < 128 ? 0 : (line[x] | 0xff000000u);
            b.append(char(qBlue(c)));
            b.append(char(qGreen(c)));
            b.append(char(qRed(c)));
            b.append(char(qAlpha(c)));
        }
    }
    for (int y = n - 1; y >= 0; --y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        QByteArray row(maskRow, '\0');
        for (int x = 0; x < n; ++x)
            if (qAlpha(line[x]) < 128)
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        b.append(row);
    }
    return b;
}

QImage groupIcon() {
    QImage img = canvas(32, 32);
    QPainter p(&img);
    prepare(p);
    // A Program Manager group: a window frame holding the globe.
    p.setPen(QPen(QColor(0, 0, 0), 1));
    p.setBrush(QColor(192, 192, 192));
    p.drawRect(QRectF(1.5, 3.5, 29, 26));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 128));
    p.drawRect(QRectF(2, 4, 28, 5));
    p.setBrush(QColor(255, 255, 255));
    p.drawRect(QRectF(3.5, 10.5, 25, 17.5));
    drawGlobe(p, Globe{{16, 19}, 7.5}, false);
    return img;
}

QImage bbsIcon() {
    QImage img = canvas(32, 32);
    QPainter p(&img);
    prepare(p);
    // A terminal screen with text, and a telephone in front.
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(QColor(214, 200, 164));
    p.drawRoundedRect(QRectF(2.5, 1.5, 24, 20), 2, 2);
    p.setBrush(QColor(0, 0, 0));
    p.drawRect(QRectF(5.5, 4.5, 18, 13));
    p.setPen(QPen(QColor(0, 255, 0), 1));
    for (int i = 0; i < 4; ++i)
        p.drawLine(QPointF(7, 6.5 + i * 3), QPointF(7 + (i % 2 ? 9 : 14), 6.5 + i * 3));
    drawTelephone(p, {10, 17}, 0.5);
    return img;
}

QImage bookPicture() {
    QImage img = canvas(64, 64);
    QPainter p(&img);
    prepare(p);
    skyBackground(p, img.rect(), QColor(255, 251, 240), QColor(240, 200, 120));
    // An open book
    p.setPen(QPen(QColor(80, 40, 0), 1));
    p.setBrush(QColor(150, 30, 20));
    QPainterPath cover;
    cover.moveTo(4, 22);
    cover.lineTo(32, 28);
    cover.lineTo(60, 22);
    cover.lineTo(60, 52);
    cover.lineTo(32, 58);
    cover.lineTo(4, 52);
    cover.closeSubpath();
    p.drawPath(cover);
    p.setBrush(QColor(255, 251, 240));
    QPainterPath left, right;
    left.moveTo(7, 18);
    left.quadTo(20, 16, 32, 24);
    left.lineTo(32, 54);
    left.quadTo(20, 46, 7, 48);
    left.closeSubpath();
    right.moveTo(57, 18);
    right.quadTo(44, 16, 32, 24);
    right.lineTo(32, 54);
    right.quadTo(44, 46, 57, 48);
    right.closeSubpath();
    p.drawPath(left);
    p.drawPath(right);
    p.setPen(QPen(QColor(120, 120, 140), 0.8));
    for (int i = 0; i < 6; ++i) {
        p.drawLine(QPointF(11, 24 + i * 4), QPointF(28, 28 + i * 4 - i * 0.3));
        p.drawLine(QPointF(36, 28 + i * 4 - i * 0.3), QPointF(53, 24 + i * 4));
    }
    p.setPen(QColor(0, 0, 128));
    p.setFont(boldFont(10));
    p.drawText(QRectF(0, 1, 64, 14), Qt::AlignCenter, QStringLiteral("SABER"));
    return img;
}

void drawCup(QPainter& p, QPointF at, qreal s) {
    p.save();
    p.translate(at);
    p.scale(s, s);
    // Saucer
    p.setPen(QPen(QColor(90, 60, 40), 1.0 / s * 0.8));
    p.setBrush(QColor(255, 251, 240));
    p.drawEllipse(QPointF(0, 20), 24, 5);
    // Cup
    QPainterPath cup;
    cup.moveTo(-16, -4);
    cup.lineTo(16, -4);
    cup.quadTo(15, 18, 0, 19);
    cup.quadTo(-15, 18, -16, -4);
    QLinearGradient g(-16, 0, 16, 0);
    g.setColorAt(0, QColor(255, 255, 255));
    g.setColorAt(1, QColor(200, 190, 170));
    p.setBrush(g);
    p.drawPath(cup);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(90, 60, 40), 2.6));
    p.drawArc(QRectF(12, 0, 11, 10), -90 * 16, 180 * 16);
    p.setPen(QPen(QColor(90, 60, 40), 1.0 / s * 0.8));
    p.setBrush(QColor(90, 50, 20));
    p.drawEllipse(QPointF(0, -4), 16, 3.5);
    // Steam
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 200), 1.6, Qt::SolidLine, Qt::RoundCap));
    for (int i = -1; i <= 1; ++i) {
        QPainterPath steam;
        steam.moveTo(i * 7, -9);
        steam.cubicTo(i * 7 - 5, -14, i * 7 + 5, -18, i * 7, -24);
        p.drawPath(steam);
    }
    p.restore();
}

QImage cafePicture() {
    QImage img = canvas(64, 64);
    QPainter p(&img);
    prepare(p);
    skyBackground(p, img.rect(), QColor(60, 120, 220), QColor(120, 176, 240));
    // Blue mountains
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 40, 120));
    p.drawPolygon(QPolygonF{{0, 44}, {16, 26}, {28, 38}, {42, 20}, {64, 42}, {64, 64}, {0, 64}});
    p.setBrush(QColor(255, 255, 255));
    p.drawPolygon(QPolygonF{{42, 20}, {37, 25}, {40, 24}, {43, 26}, {47, 25}});
    drawCup(p, {30, 42}, 0.85);
    return img;
}

QImage sunPicture() {
    QImage img = canvas(64, 64);
    QPainter p(&img);
    prepare(p);
    skyBackground(p, QRectF(0, 0, 64, 40), QColor(255, 200, 60), QColor(255, 120, 40));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 120));
    p.drawEllipse(QPointF(32, 38), 14, 14);
    QLinearGradient sea(0, 40, 0, 64);
    sea.setColorAt(0, QColor(0, 96, 160));
    sea.setColorAt(1, QColor(0, 40, 120));
    p.fillRect(QRectF(0, 40, 64, 24), sea);
    p.setPen(QPen(QColor(255, 220, 120), 1));
    for (int i = 0; i < 5; ++i)
        p.drawLine(QPointF(22 + i * 1.5, 44 + i * 4), QPointF(42 - i * 1.5, 44 + i * 4));
    p.setPen(QColor(128, 0, 0));
    p.setFont(boldFont(9));
    p.drawText(QRectF(0, 2, 64, 12), Qt::AlignCenter, QStringLiteral("VERÃO"));
    return img;
}

// The full-screen advertisement of the coffee sponsor, 640 x 480.
QImage cafeAdvert() {
    QImage img = canvas(640, 480);
    QPainter p(&img);
    prepare(p);
    skyBackground(p, img.rect(), QColor(60, 120, 220), QColor(255, 251, 240));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 40, 120));
    p.drawPolygon(QPolygonF{{0, 330},
                            {120, 200},
                            {210, 280},
                            {330, 150},
                            {470, 290},
                            {560, 220},
                            {640, 300},
                            {640, 480},
                            {0, 480}});
    p.setBrush(QColor(255, 255, 255));
    p.drawPolygon(QPolygonF{{330, 150}, {300, 182}, {318, 176}, {334, 188}, {352, 172}});
    QLinearGradient field(0, 330, 0, 480);
    field.setColorAt(0, QColor(20, 80, 30));
    field.setColorAt(1, QColor(0, 40, 10));
    p.setBrush(field);
    p.drawPolygon(QPolygonF{{0, 380}, {200, 340}, {420, 370}, {640, 340}, {640, 480}, {0, 480}});
    drawCup(p, {460, 360}, 3.2);
    const QFont title = boldFont(54, true);
    lettering(p, QStringLiteral("Café Serra Azul"), title, {40, 90}, QColor(255, 255, 255),
              QColor(255, 220, 120), QColor(90, 50, 20), 2.2);
    const QFont line = boldFont(26, true);
    lettering(p, QStringLiteral("O sabor das montanhas"), line, {60, 140}, QColor(255, 251, 240),
              QColor(255, 251, 240), QColor(0, 0, 60), 1.2);
    p.setPen(QColor(255, 255, 255));
    QFont hint = boldFont(16);
    hint.setBold(false);
    p.setFont(hint);
    p.drawText(QRectF(0, 440, 640, 30), Qt::AlignCenter,
               QStringLiteral("Clique na imagem para voltar à instalação"));
    return img;
}

// A short two-note chime, 8-bit mono PCM at 22050 Hz.
QByteArray chimeWav() {
    const int rate = 22050;
    const double seconds = 0.32;
    const int frames = int(rate * seconds);
    QByteArray samples;
    samples.reserve(frames);
    const double notes[2] = {1318.5, 1760.0}; // E6, then A6
    for (int i = 0; i < frames; ++i) {
        const double t = double(i) / rate;
        double v = 0;
        for (int n = 0; n < 2; ++n) {
            const double start = n * 0.09;
            if (t < start)
                continue;
            const double u = t - start;
            const double env = std::exp(-u * 11.0) * std::min(1.0, u * 400.0);
            v += env *
                 (std::sin(2 * M_PI * notes[n] * u) + 0.35 * std::sin(2 * M_PI * notes[n] * 2 * u) +
                  0.12 * std::sin(2 * M_PI * notes[n] * 3 * u));
        }
        const double fadeOut = std::min(1.0, (frames - i) / (rate * 0.02));
        const int s = int(std::lround(128 + 70 * v * fadeOut));
        samples.append(char(std::clamp(s, 0, 255)));
    }
    QByteArray b("RIFF");
    put32(b, quint32(36 + samples.size()));
    b.append("WAVEfmt ");
    put32(b, 16);
    put16(b, 1); // PCM
    put16(b, 1); // mono
    put32(b, rate);
    put32(b, rate); // bytes per second
    put16(b, 1);    // block align
    put16(b, 8);    // bits per sample
    b.append("data");
    put32(b, quint32(samples.size()));
    b.append(samples);
    return b;
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "zel-artgen: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

bool writeImage(const QString& path, const QImage& img, const char* format) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!img.save(path, format)) {
        std::fprintf(stderr, "zel-artgen: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// A page's picture: reduced to the palette, then stored with full pixels, which the wizard
// shows without converting them first.
QImage pagePicture(const QImage& img) {
    return to256Colours(img).convertToFormat(QImage::Format_RGB32);
}

int pictures(const QString& dir) {
    bool ok = true;
    ok = writeImage(dir + "/welcome.bmp", pagePicture(welcomePicture()), "BMP") && ok;
    ok = writeImage(dir + "/copy.bmp", pagePicture(copyPicture()), "BMP") && ok;
    ok = writeImage(dir + "/install_type.bmp", pagePicture(installTypePicture()), "BMP") && ok;
    ok = writeImage(dir + "/connection.bmp", pagePicture(connectionPicture()), "BMP") && ok;
    ok = writeImage(dir + "/finish.bmp", pagePicture(finishPicture()), "BMP") && ok;
    // The XPM writer keeps transparency only for pixels that carry their own alpha.
    const auto icon = [&dir](const char* name, const QImage& img) {
        return writeImage(dir + "/" + name,
                          to256Colours(img, true).convertToFormat(QImage::Format_ARGB32), "XPM");
    };
    ok = icon("app_icon.xpm", appIcon()) && ok;
    ok = icon("folder_closed.xpm", folderIcon(false)) && ok;
    ok = icon("folder_open.xpm", folderIcon(true)) && ok;
    ok = icon("drive.xpm", driveIcon()) && ok;
    return ok ? 0 : 1;
}

// The icons keep the palette's colours but carry full 32-bit pixels.
QImage iconColours(const QImage& img) {
    return to256Colours(img, true).convertToFormat(QImage::Format_ARGB32);
}

int kit(const QString& dir) {
    bool ok = true;
    ok = writeBytes(dir + "/UPDATE/ZELGRP.ICO", icoFile(iconColours(groupIcon()))) && ok;
    ok = writeBytes(dir + "/UPDATE/ZELNET.ICO", icoFile(iconColours(appIcon()))) && ok;
    ok = writeBytes(dir + "/UPDATE/ZELBBS.ICO", icoFile(iconColours(bbsIcon()))) && ok;
    ok = writeImage(dir + "/PATRO1/SABER.BMP", to256Colours(bookPicture()), "BMP") && ok;
    ok = writeImage(dir + "/PATRO2/CAFE.BMP", to256Colours(cafePicture()), "BMP") && ok;
    ok = writeImage(dir + "/PATRO2/CAFETELA.PNG", to256Colours(cafeAdvert()), "PNG") && ok;
    ok = writeImage(dir + "/PATRO3/VERAO.BMP", to256Colours(sunPicture()), "BMP") && ok;
    ok = writeBytes(dir + "/ZELSOM.WAV", chimeWav()) && ok;
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    // Lettering needs the font database, which needs a GUI application; no window is opened.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3 || (args[1] != "pictures" && args[1] != "kit")) {
        std::fprintf(stderr, "usage: zel-artgen pictures|kit DIRECTORY\n");
        return 2;
    }
    return args[1] == "pictures" ? pictures(args[2]) : kit(args[2]);
}
