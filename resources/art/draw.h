// The drawing shared by the pages' and the kit's pictures: the reduction to the 256-colour
// palette, the canvas and lettering helpers, and the scenery both draw (the globe, sky and
// clouds, lightning, the telephone).
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QtMath>

#include <cmath>

namespace art {

// Floyd-Steinberg error diffusion onto the palette; see draw.cpp.
QImage to256Colours(const QImage& source, bool keepAlpha = false);

QImage canvas(int w, int h, QColor fill = Qt::transparent);
void prepare(QPainter& p);
QFont boldFont(qreal pixelSize, bool italic = false);
// Lettering with a dark outline and a drop shadow, filled with a vertical gradient.
void lettering(QPainter& p, const QString& text, const QFont& font, QPointF baseline, QColor top,
               QColor bottom, QColor outline, qreal outlineWidth = 1.2);
qreal textWidth(const QString& text, const QFont& font);

// The globe: an orthographic view of the Americas, with the Atlantic and the edge of Africa.

struct LonLat {
    double lon, lat;
};

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

void drawGlobe(QPainter& p, const Globe& globe, bool grid = true);

// A lightning bolt from top (0,0) down to about (0, length); scale sets its width.
void drawLightning(QPainter& p, QPointF at, qreal s, qreal angleDeg = 0);
void skyBackground(QPainter& p, QRectF rect, QColor top, QColor bottom);
void cloud(QPainter& p, QPointF at, qreal s);
// A desk telephone seen from the front, with the handset on its cradle.
void drawTelephone(QPainter& p, QPointF at, qreal s);

} // namespace art
