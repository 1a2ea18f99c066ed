// The demo kit's binary files: the group's and programs' icons (as Windows icon files), the
// sponsors' pictures, the coffee sponsor's full-screen advertisement and the start-up sound.
#include "draw.h"
#include "pictures.h"

#include <QLinearGradient>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace art {

namespace {

void put16(QByteArray& b, quint16 v) {
    b.append(char(v & 0xff));
    b.append(char(v >> 8));
}
void put32(QByteArray& b, quint32 v) {
    put16(b, quint16(v & 0xffff));
    put16(b, quint16(v >> 16));
}

} // namespace

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

namespace {

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

} // namespace

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

} // namespace art
