// The pages' pictures (welcome, copy, installation type, connection, finish), the application's
// icon and the directory chooser's folder and drive icons.
#include "draw.h"
#include "pictures.h"

#include <QLinearGradient>
#include <QPainterPath>

#include <algorithm>

namespace art {

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

namespace {

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

} // namespace

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

namespace {

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

} // namespace

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
namespace {

// Colours of the palette's cube, so they stay flat instead of dithered.
constexpr QRgb kFolderFace = qRgb(255, 255, 153);
constexpr QRgb kFolderShade = qRgb(204, 204, 102);
constexpr QRgb kOutline = qRgb(0, 0, 0);

} // namespace

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

} // namespace art
