#include "Glyphs.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

namespace Glyphs {

namespace {

// A transparent square pixmap with a painter whose coordinates run from 0 to `units`.
struct Canvas {
    QPixmap pixmap;
    QPainter painter;
    Canvas(int size, double units) : Canvas(size, size, units) {}
    Canvas(int width, int height, double units) : pixmap(width, height)
    {
        pixmap.fill(Qt::transparent);
        painter.begin(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(width / units, width / units);
    }
    QPixmap done()
    {
        painter.end();
        return pixmap;
    }
};

QPen pen(const QColor& c, double width, Qt::PenCapStyle cap = Qt::RoundCap)
{
    return QPen(c, width, Qt::SolidLine, cap, Qt::RoundJoin);
}

// A gear of `teeth` teeth centred on c, outer radius r, with a hole.
QPainterPath gearPath(QPointF c, double r, int teeth)
{
    QPainterPath path;
    const double inner = r * 0.72;
    const int steps = teeth * 4;
    for (int i = 0; i <= steps; ++i) {
        const double a = 2 * M_PI * i / steps;
        const double rad = (i % 4 == 1 || i % 4 == 2) ? r : inner;
        const QPointF p(c.x() + rad * std::cos(a), c.y() + rad * std::sin(a));
        if (i == 0)
            path.moveTo(p);
        else
            path.lineTo(p);
    }
    path.closeSubpath();
    path.addEllipse(c, r * 0.3, r * 0.3);
    path.setFillRule(Qt::OddEvenFill);
    return path;
}

void drawGear(QPainter& p, QPointF c, double r, int teeth, const QColor& fill, const QColor& edge)
{
    p.setPen(pen(edge, 0.6));
    p.setBrush(fill);
    p.drawPath(gearPath(c, r, teeth));
}

// The bands of a resistivity section from conductive (blue) to resistive (red).
const QColor sectionColours[] = {QColor(30, 60, 200), QColor(0, 170, 220), QColor(40, 190, 60),
                                 QColor(250, 220, 0), QColor(240, 120, 0), QColor(210, 20, 20)};

void drawMagnifier(QPainter& p, QPointF c, double r)
{
    p.setPen(pen(QColor(60, 60, 60), r * 0.55));
    p.drawLine(c + QPointF(r * 0.7, r * 0.7), c + QPointF(r * 1.7, r * 1.7));
    p.setPen(pen(QColor(40, 40, 40), r * 0.3));
    p.setBrush(QColor(200, 235, 255, 210));
    p.drawEllipse(c, r, r);
}

void drawPowerSymbol(QPainter& p, const QColor& colour)
{
    p.setPen(pen(colour, 3.2));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(8, 8.5, 16, 16), 60 * 16, -300 * 16); // open at the top
    p.drawLine(QPointF(16, 6), QPointF(16, 15));
}

QPixmap powerFace(int size, const QColor* symbol)
{
    Canvas c(size, 32);
    QRadialGradient face(QPointF(13, 11), 18);
    face.setColorAt(0, QColor(250, 250, 250));
    face.setColorAt(1, QColor(170, 170, 170));
    c.painter.setPen(pen(QColor(110, 110, 110), 1.2));
    c.painter.setBrush(face);
    c.painter.drawEllipse(QRectF(2, 2, 28, 28));
    if (symbol)
        drawPowerSymbol(c.painter, *symbol);
    return c.done();
}

QPixmap tick(int size, const QColor& colour)
{
    Canvas c(size, 16);
    c.painter.setPen(pen(colour.darker(140), 3.4));
    c.painter.drawPolyline(QPolygonF({QPointF(2.5, 8.5), QPointF(6.5, 12.5), QPointF(13.5, 3.5)}));
    c.painter.setPen(pen(colour, 2.2));
    c.painter.drawPolyline(QPolygonF({QPointF(2.5, 8.5), QPointF(6.5, 12.5), QPointF(13.5, 3.5)}));
    return c.done();
}

void drawScreen(QPainter& p, QRectF r)
{
    p.setPen(pen(QColor(70, 70, 70), 1));
    p.setBrush(QColor(215, 215, 205));
    p.drawRoundedRect(r, 1.5, 1.5);
    p.setBrush(QColor(40, 90, 160));
    p.drawRect(r.adjusted(2, 2, -2, -2));
    p.setBrush(QColor(180, 180, 170));
    p.drawRect(QRectF(r.center().x() - 3, r.bottom(), 6, 2));
    p.drawRect(QRectF(r.center().x() - 6, r.bottom() + 2, 12, 1.5));
}

} // namespace

QPixmap Emblem(int size)
{
    Canvas c(size, 32);
    QPainter& p = c.painter;
    // Water.
    QLinearGradient water(0, 0, 0, 32);
    water.setColorAt(0, QColor(120, 190, 240));
    water.setColorAt(1, QColor(20, 70, 150));
    p.setPen(pen(QColor(15, 45, 100), 1));
    p.setBrush(water);
    p.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
    // The section under the line: bands that narrow with depth.
    p.setPen(Qt::NoPen);
    for (int b = 0; b < 5; ++b) {
        const double top = 14 + b * 3.2, inset = 4 + b * 2.2;
        p.setBrush(sectionColours[5 - b]);
        p.drawPolygon(QPolygonF({QPointF(inset, top), QPointF(32 - inset, top),
                                 QPointF(32 - inset - 2.2, top + 3.2), QPointF(inset + 2.2, top + 3.2)}));
    }
    // The water surface and the towed cable with its electrodes.
    QPainterPath wave;
    wave.moveTo(2, 10);
    wave.cubicTo(7, 7, 10, 13, 16, 10);
    wave.cubicTo(22, 7, 25, 13, 30, 10);
    p.setPen(pen(Qt::white, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawPath(wave);
    p.setPen(pen(QColor(255, 240, 120), 1));
    p.drawLine(QPointF(5, 12.5), QPointF(28, 12.5));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 240, 120));
    for (int e = 0; e < 6; ++e)
        p.drawEllipse(QPointF(7 + e * 4, 12.5), 1.1, 1.1);
    // The boat.
    p.setBrush(QColor(250, 250, 250));
    p.setPen(pen(QColor(40, 40, 40), 0.8));
    p.drawPolygon(QPolygonF({QPointF(3, 5), QPointF(12, 5), QPointF(10, 8.5), QPointF(4.5, 8.5)}));
    return c.done();
}

QIcon ProgramIcon()
{
    QIcon icon;
    for (int s : {16, 32, 48})
        icon.addPixmap(Emblem(s));
    return icon;
}

QIcon PowerButton(int size)
{
    const QColor dark(128, 0, 0), bright(255, 30, 30);
    QIcon icon;
    icon.addPixmap(powerFace(size, &dark), QIcon::Normal, QIcon::Off);
    icon.addPixmap(powerFace(size, &dark), QIcon::Active, QIcon::Off);
    icon.addPixmap(powerFace(size, &bright), QIcon::Normal, QIcon::On);
    icon.addPixmap(powerFace(size, &bright), QIcon::Active, QIcon::On);
    icon.addPixmap(powerFace(size, nullptr), QIcon::Disabled, QIcon::Off);
    icon.addPixmap(powerFace(size, nullptr), QIcon::Disabled, QIcon::On);
    return icon;
}

QPixmap OpenFolder(int size)
{
    Canvas c(size, 22);
    QPainter& p = c.painter;
    p.setPen(pen(QColor(150, 110, 0), 1));
    p.setBrush(QColor(230, 180, 40));
    p.drawPolygon(QPolygonF({QPointF(1.5, 5), QPointF(7, 5), QPointF(8.5, 7), QPointF(17, 7),
                             QPointF(17, 18), QPointF(1.5, 18)}));
    p.setBrush(QColor(255, 215, 90));
    p.drawPolygon(QPolygonF({QPointF(4, 10), QPointF(20, 10), QPointF(17, 18), QPointF(1.5, 18)}));
    drawMagnifier(p, QPointF(14, 11), 3.6);
    return c.done();
}

QPixmap ModifyDocument(int size)
{
    Canvas c(size, 22);
    QPainter& p = c.painter;
    // Page with a folded corner and lines of text.
    p.setPen(pen(QColor(90, 90, 90), 1));
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygonF({QPointF(3, 1.5), QPointF(12, 1.5), QPointF(16, 5.5), QPointF(16, 20.5),
                             QPointF(3, 20.5)}));
    p.drawPolyline(QPolygonF({QPointF(12, 1.5), QPointF(12, 5.5), QPointF(16, 5.5)}));
    p.setPen(pen(QColor(150, 150, 190), 1, Qt::FlatCap));
    for (double y : {8.0, 11.0, 14.0, 17.0})
        p.drawLine(QPointF(5, y), QPointF(14, y));
    // Red cross.
    p.setPen(pen(QColor(220, 0, 0), 2.2));
    p.drawLine(QPointF(5, 4), QPointF(10.5, 9.5));
    p.drawLine(QPointF(10.5, 4), QPointF(5, 9.5));
    // Pointing hand: palm, folded fingers and the index finger reaching to the left.
    p.setPen(pen(QColor(120, 70, 30), 0.9));
    p.setBrush(QColor(255, 215, 170));
    QPainterPath hand;
    hand.addRoundedRect(QRectF(13, 12, 7, 7.5), 2, 2);
    hand.addRoundedRect(QRectF(6.5, 12.3, 8.5, 2.6), 1.3, 1.3);
    p.drawPath(hand.simplified());
    p.setPen(pen(QColor(120, 70, 30), 0.7));
    p.drawLine(QPointF(13.5, 16), QPointF(17, 16));
    p.drawLine(QPointF(13.5, 18), QPointF(17, 18));
    return c.done();
}

QPixmap GlobeSection(int size)
{
    Canvas c(size, 24);
    QPainter& p = c.painter;
    // The section: coloured bands in a small frame on the right.
    p.setPen(Qt::NoPen);
    for (int b = 0; b < 6; ++b) {
        p.setBrush(sectionColours[b]);
        p.drawRect(QRectF(14, 4 + b * 2.7, 9, 2.7));
    }
    p.setPen(pen(QColor(60, 60, 60), 0.8));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(14, 4, 9, 16.2));
    // The globe with its meridians and parallels.
    QRadialGradient sea(QPointF(6, 9), 11);
    sea.setColorAt(0, QColor(140, 200, 255));
    sea.setColorAt(1, QColor(20, 80, 180));
    p.setPen(pen(QColor(10, 40, 110), 1));
    p.setBrush(sea);
    const QRectF globe(1, 4, 15, 15);
    p.drawEllipse(globe);
    p.setPen(pen(QColor(230, 245, 255), 0.7));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(globe.adjusted(4.5, 0, -4.5, 0));
    p.drawLine(QPointF(8.5, 4), QPointF(8.5, 19));
    p.drawLine(QPointF(1, 11.5), QPointF(16, 11.5));
    p.drawArc(QRectF(2, 0.5, 13, 8), 200 * 16, 140 * 16);
    p.drawArc(QRectF(2, 15, 13, 8), 20 * 16, 140 * 16);
    return c.done();
}

QPixmap Lamp(bool on, int size)
{
    Canvas c(size, 16);
    const QColor base = on ? QColor(0, 200, 0) : QColor(220, 0, 0);
    QRadialGradient g(QPointF(6, 5.5), 8);
    g.setColorAt(0, base.lighter(190));
    g.setColorAt(0.5, base);
    g.setColorAt(1, base.darker(170));
    c.painter.setPen(pen(base.darker(250), 1));
    c.painter.setBrush(g);
    c.painter.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    return c.done();
}

std::vector<QPixmap> ConnectingFrames(int width, int height)
{
    std::vector<QPixmap> frames;
    const int count = 9;
    for (int f = 0; f < count; ++f) {
        Canvas c(width, height, 44);
        QPainter& p = c.painter;
        drawScreen(p, QRectF(24, 2, 18, 14));
        // The glass travels from the left to the screen and back.
        const double t = f < 5 ? f / 4.0 : (8 - f) / 4.0;
        drawMagnifier(p, QPointF(5 + t * 24, 8 + std::sin(t * M_PI) * -2.5), 4);
        frames.push_back(c.done());
    }
    return frames;
}

QPixmap Gear(int size)
{
    Canvas c(size, 16);
    drawGear(c.painter, QPointF(8, 8), 7.2, 8, QColor(235, 185, 40), QColor(140, 95, 0));
    return c.done();
}

QPixmap HelpMark(int size)
{
    Canvas c(size, 16);
    QPainter& p = c.painter;
    QRadialGradient g(QPointF(6, 5), 9);
    g.setColorAt(0, QColor(110, 170, 255));
    g.setColorAt(1, QColor(10, 60, 190));
    p.setPen(pen(QColor(0, 30, 120), 0.8));
    p.setBrush(g);
    p.drawEllipse(QRectF(1, 1, 14, 14));
    QPainterPath mark;
    mark.moveTo(5.6, 6);
    mark.cubicTo(5.6, 3.2, 10.4, 3.2, 10.4, 6);
    mark.cubicTo(10.4, 7.8, 8, 7.8, 8, 10);
    p.setPen(pen(Qt::white, 1.9));
    p.setBrush(Qt::NoBrush);
    p.drawPath(mark);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 12.6), 1.15, 1.15);
    return c.done();
}

QPixmap WrenchGear(int size)
{
    Canvas c(size, 16);
    QPainter& p = c.painter;
    drawGear(p, QPointF(10, 6), 5.4, 7, QColor(190, 190, 200), QColor(80, 80, 90));
    // The wrench lies across, from the lower left to the gear.
    p.setPen(pen(QColor(60, 60, 70), 3.6));
    p.drawLine(QPointF(2.5, 13.5), QPointF(8, 8));
    p.setPen(pen(QColor(170, 170, 180), 2.2));
    p.drawLine(QPointF(2.5, 13.5), QPointF(8, 8));
    p.setPen(pen(QColor(60, 60, 70), 1));
    p.setBrush(QColor(170, 170, 180));
    QPainterPath head;
    head.addEllipse(QPointF(8.5, 7.5), 3, 3);
    QPainterPath jaw;
    jaw.addRect(QRectF(8.2, 3.5, 2.2, 4.2));
    QTransform turn;
    turn.translate(8.5, 7.5);
    turn.rotate(45);
    turn.translate(-8.5, -7.5);
    p.drawPath(head.subtracted(turn.map(jaw)));
    return c.done();
}

QPixmap EyeRuler(int size)
{
    Canvas c(size, 16);
    QPainter& p = c.painter;
    // The eye.
    QPainterPath eye;
    eye.moveTo(1.5, 5);
    eye.quadTo(8, -1.5, 14.5, 5);
    eye.quadTo(8, 11.5, 1.5, 5);
    p.setPen(pen(QColor(40, 40, 40), 1));
    p.setBrush(Qt::white);
    p.drawPath(eye);
    p.setBrush(QColor(40, 110, 200));
    p.drawEllipse(QPointF(8, 5), 2.4, 2.4);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawEllipse(QPointF(8, 5), 1, 1);
    // The ruler.
    p.setPen(pen(QColor(120, 90, 0), 0.8));
    p.setBrush(QColor(250, 215, 80));
    p.drawRect(QRectF(0.5, 10.5, 15, 5));
    p.setPen(pen(QColor(80, 60, 0), 0.8, Qt::FlatCap));
    for (int i = 1; i < 8; ++i)
        p.drawLine(QPointF(0.5 + i * 1.875, 10.5), QPointF(0.5 + i * 1.875, i % 2 ? 12.5 : 13.8));
    return c.done();
}

QPixmap SteppedArrow(int size)
{
    Canvas c(size, 16);
    QPainter& p = c.painter;
    const QPolygonF arrow({QPointF(1, 13), QPointF(1, 10), QPointF(5, 10), QPointF(5, 6.5), QPointF(9, 6.5),
                           QPointF(9, 3), QPointF(15, 8), QPointF(9, 13)});
    p.setPen(pen(QColor(0, 90, 0), 1));
    p.setBrush(QColor(40, 180, 40));
    p.drawPolygon(arrow);
    return c.done();
}

QPixmap Play(int size)
{
    Canvas c(size, 16);
    c.painter.setPen(pen(QColor(0, 100, 0), 1));
    c.painter.setBrush(QColor(30, 190, 30));
    c.painter.drawPolygon(QPolygonF({QPointF(3.5, 2), QPointF(14, 8), QPointF(3.5, 14)}));
    return c.done();
}

QPixmap Pause(int size)
{
    Canvas c(size, 16);
    c.painter.setPen(pen(QColor(0, 40, 120), 1));
    c.painter.setBrush(QColor(40, 100, 210));
    c.painter.drawRect(QRectF(3, 2.5, 3.5, 11));
    c.painter.drawRect(QRectF(9.5, 2.5, 3.5, 11));
    return c.done();
}

QPixmap Stop(int size)
{
    Canvas c(size, 16);
    c.painter.setPen(pen(QColor(120, 0, 0), 1));
    c.painter.setBrush(QColor(220, 30, 30));
    c.painter.drawRect(QRectF(3, 3, 10, 10));
    return c.done();
}

QPixmap MarkButton(int size)
{
    Canvas c(size, 24);
    QPainter& p = c.painter;
    QRadialGradient g(QPointF(9, 8), 13);
    g.setColorAt(0, QColor(150, 200, 255));
    g.setColorAt(0.6, QColor(30, 90, 220));
    g.setColorAt(1, QColor(10, 40, 140));
    p.setPen(pen(QColor(0, 25, 100), 1.2));
    p.setBrush(g);
    p.drawEllipse(QRectF(2, 2, 20, 20));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 150));
    p.drawEllipse(QRectF(6, 4.5, 8, 5));
    return c.done();
}

QIcon Tick(int size)
{
    QIcon icon;
    icon.addPixmap(tick(size, QColor(20, 170, 20)), QIcon::Normal);
    icon.addPixmap(tick(size, QColor(160, 160, 160)), QIcon::Disabled);
    return icon;
}

QPixmap PortPicture(int index)
{
    // Drawn without smoothing so that every pixel is either ground or picture: the ground is
    // keyed out exactly when the picture is shown transparent.
    QPixmap pm(PortPictureWidth, PortPictureHeight);
    pm.fill(PortGround);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    QFont font("DejaVu Sans");
    font.setPixelSize(11);
    font.setBold(true);
    font.setStyleStrategy(QFont::NoAntialias);
    p.setFont(font);
    const QColor ink(0, 0, 0);
    if (index == 0 || index == 1) {
        // The plug: a grey body with its metal tip and the two contacts, then the letters.
        p.setPen(ink);
        p.setBrush(QColor(128, 128, 128));
        p.drawRect(1, 4, 7, 6);
        p.setBrush(QColor(192, 192, 192));
        p.drawRect(8, 3, 8, 8);
        p.setBrush(ink);
        p.drawRect(10, 5, 1, 1);
        p.drawRect(13, 5, 1, 1);
        p.drawText(QRect(17, 0, 30, 15), Qt::AlignCenter, "USB");
        if (index == 0) {
            p.setPen(QPen(QColor(255, 0, 0), 2));
            p.drawLine(2, 1, 44, 13);
            p.drawLine(2, 13, 44, 1);
        }
    } else if (index >= 2 && index <= 5) {
        p.setPen(ink);
        p.drawText(pm.rect(), Qt::AlignCenter, QString("COM%1").arg(index - 1));
    } else if (index == 6) {
        // The wireless serial link: the angular rune drawn in plain strokes, with waves.
        p.setPen(QPen(QColor(0, 0, 160), 1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        const int x = 20;
        p.drawPolyline(QPolygon({QPoint(x - 4, 4), QPoint(x + 4, 10), QPoint(x, 13), QPoint(x, 1),
                                 QPoint(x + 4, 4), QPoint(x - 4, 10)}));
        p.drawLine(x + 1, 1, x + 1, 13); // a double stroke keeps the stem clear at this size
        p.setPen(QPen(QColor(0, 0, 160), 1));
        p.drawArc(QRect(x + 6, 3, 6, 8), -60 * 16, 120 * 16);
        p.drawArc(QRect(x + 6, 0, 12, 14), -55 * 16, 110 * 16);
    }
    p.end();
    return pm;
}

} // namespace Glyphs
