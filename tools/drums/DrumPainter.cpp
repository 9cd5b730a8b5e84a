#include "DrumPainter.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <numbers>

namespace tamborel::tools {

namespace {

// The application's accent colours and the dark tones of its backdrop.
const QColor accent = QColor::fromRgbF(0.4f, 0.6f, 1.0f);
const QColor accentSoft = QColor::fromRgbF(0.55f, 0.72f, 1.0f);
const QColor good = QColor::fromRgbF(0.3f, 0.86f, 0.55f);
const QColor warn = QColor::fromRgbF(1.0f, 0.71f, 0.28f);
const QColor hot = QColor::fromRgbF(1.0f, 0.4f, 0.42f);
const QColor shellDark = QColor::fromRgbF(0.09f, 0.10f, 0.14f);
const QColor shellLight = QColor::fromRgbF(0.25f, 0.29f, 0.40f);
const QColor chrome = QColor::fromRgbF(0.78f, 0.82f, 0.90f);

QColor withAlpha(QColor c, float alpha) {
    c.setAlphaF(alpha);
    return c;
}

QImage canvas() {
    QImage image(drumArtSize, drumArtSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// A cylinder lit from the upper left: dark at both edges, a soft sheen left of centre.
QLinearGradient shellGradient(qreal left, qreal right) {
    QLinearGradient g(left, 0, right, 0);
    g.setColorAt(0.0, shellDark);
    g.setColorAt(0.32, shellLight);
    g.setColorAt(0.45, shellLight.darker(115));
    g.setColorAt(1.0, shellDark);
    return g;
}

QRadialGradient headGradient(const QRectF& ellipse) {
    QRadialGradient g(ellipse.center() - QPointF(ellipse.width() * 0.18, ellipse.height() * 0.2),
                      ellipse.width() * 0.7);
    g.setColorAt(0.0, QColor::fromRgbF(0.86f, 0.89f, 0.96f));
    g.setColorAt(1.0, QColor::fromRgbF(0.52f, 0.57f, 0.70f));
    return g;
}

void strokeHoop(QPainter& p, const QRectF& ellipse, const QColor& colour, qreal width) {
    QLinearGradient g(ellipse.topLeft(), ellipse.bottomRight());
    g.setColorAt(0.0, colour.lighter(130));
    g.setColorAt(1.0, colour.darker(140));
    p.setPen(QPen(QBrush(g), width));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(ellipse);
}

// An upright drum seen from a little above: top ellipse, shell, bottom rim, lugs and a
// coloured wrap band.
void uprightDrum(QPainter& p, QPointF topCentre, qreal rx, qreal ry, qreal depth,
                 const QColor& band, int lugs) {
    const QRectF top(topCentre.x() - rx, topCentre.y() - ry, 2 * rx, 2 * ry);
    const QRectF bottom = top.translated(0, depth);

    QPainterPath shell;
    shell.moveTo(top.left(), top.center().y());
    shell.lineTo(bottom.left(), bottom.center().y());
    shell.arcTo(bottom, 180, 180);
    shell.lineTo(top.right(), top.center().y());
    shell.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(shellGradient(top.left(), top.right()));
    p.drawPath(shell);

    // The wrap band follows the curve of the shell.
    QPainterPath bandPath;
    const qreal bandTop = depth * 0.42;
    const qreal bandHeight = std::max<qreal>(depth * 0.16, 4.0);
    bandPath.moveTo(top.left(), top.center().y() + bandTop);
    bandPath.arcTo(top.translated(0, bandTop), 180, 180);
    bandPath.lineTo(top.right(), top.center().y() + bandTop + bandHeight);
    bandPath.arcTo(top.translated(0, bandTop + bandHeight), 0, -180);
    bandPath.closeSubpath();
    QLinearGradient bandGradient(top.left(), 0, top.right(), 0);
    bandGradient.setColorAt(0.0, band.darker(220));
    bandGradient.setColorAt(0.32, band);
    bandGradient.setColorAt(1.0, band.darker(260));
    p.setBrush(bandGradient);
    p.drawPath(bandPath);

    // Lugs on the visible half, foreshortened towards the edges.
    for (int i = 0; i < lugs; ++i) {
        const qreal angle = std::numbers::pi * (i + 0.5) / lugs; // 0..pi across the front
        const qreal x = topCentre.x() - rx * std::cos(angle);
        const qreal y = top.center().y() + ry * std::sin(angle);
        const qreal w = 7.0 * std::sin(angle) + 2.0;
        const QRectF lug(x - w / 2, y + depth * 0.22, w, std::max<qreal>(depth * 0.3, 6.0));
        QLinearGradient g(lug.left(), 0, lug.right(), 0);
        g.setColorAt(0.0, chrome);
        g.setColorAt(1.0, chrome.darker(170));
        p.setBrush(g);
        p.drawRoundedRect(lug, 2.0, 2.0);
    }

    QPainterPath bottomRim;
    bottomRim.arcMoveTo(bottom, 180);
    bottomRim.arcTo(bottom, 180, 180);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(accentSoft.darker(130), 5.0, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(bottomRim);

    p.setPen(Qt::NoPen);
    p.setBrush(headGradient(top));
    p.drawEllipse(top);
    strokeHoop(p, top, accentSoft, 5.0);
}

void leg(QPainter& p, QPointF from, QPointF to) {
    p.setPen(QPen(chrome.darker(120), 4.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(from, to);
}

QImage kick() {
    QImage image = canvas();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // Lying on its side: the front head turned towards the viewer, the shell running back
    // to the right.
    const qreal r = 92.0;
    const QRectF front(40, 128 - r, 0.62 * r * 2, 2 * r);
    const QRectF back = front.translated(70, -18);

    p.setPen(Qt::NoPen);
    QPainterPath shell;
    shell.moveTo(front.center().x(), front.top());
    shell.lineTo(back.center().x(), back.top());
    shell.arcTo(back, 90, -180);
    shell.lineTo(front.center().x(), front.bottom());
    shell.closeSubpath();
    QLinearGradient sheen(0, back.top(), 0, front.bottom());
    sheen.setColorAt(0.0, shellDark);
    sheen.setColorAt(0.3, shellLight);
    sheen.setColorAt(1.0, shellDark);
    p.setBrush(sheen);
    p.drawPath(shell);

    // Spurs keep it from rolling away.
    leg(p, QPointF(front.center().x() + 30, front.bottom() - 30), QPointF(38, 236));
    leg(p, QPointF(back.center().x() + 20, back.bottom() - 20), QPointF(232, 226));

    p.setPen(Qt::NoPen);
    p.setBrush(headGradient(front));
    p.drawEllipse(front);
    // The port and the logo ring on the resonant head.
    p.setBrush(shellDark);
    p.drawEllipse(QRectF(front.center().x() - 8, front.center().y() + 36, 22, 30));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(hot, 6.0));
    p.drawEllipse(QRectF(front.center().x() - 30, front.center().y() - 52, 52, 70));
    p.setPen(QPen(withAlpha(hot, 0.5f), 2.0));
    p.drawEllipse(QRectF(front.center().x() - 20, front.center().y() - 38, 32, 44));
    strokeHoop(p, front, accentSoft, 8.0);
    p.setPen(QPen(hot, 3.0));
    p.drawEllipse(front.adjusted(5, 5, -5, -5));
    return image;
}

QImage snare() {
    QImage image = canvas();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    uprightDrum(p, QPointF(128, 100), 104, 42, 58, accent, 8);
    // The snare throw-off on the side.
    p.setPen(Qt::NoPen);
    p.setBrush(chrome);
    p.drawRoundedRect(QRectF(212, 130, 10, 26), 3, 3);
    p.setBrush(accent);
    p.drawEllipse(QRectF(211, 124, 12, 12));
    return image;
}

QImage tom() {
    QImage image = canvas();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // The mounting arm coming in from the upper right.
    p.setPen(QPen(chrome.darker(115), 7.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(250, 20), QPointF(196, 96));
    uprightDrum(p, QPointF(124, 82), 88, 36, 104, good, 6);
    p.setPen(Qt::NoPen);
    p.setBrush(chrome);
    p.drawRoundedRect(QRectF(186, 110, 18, 22), 4, 4);
    return image;
}

QImage floortom() {
    QImage image = canvas();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    leg(p, QPointF(52, 150), QPointF(30, 246));
    leg(p, QPointF(204, 150), QPointF(228, 246));
    uprightDrum(p, QPointF(128, 62), 98, 38, 140, good.darker(120), 7);
    leg(p, QPointF(128, 200), QPointF(128, 250));
    return image;
}

// A cymbal seen at a slant: a bronze-toned disc in the warm accent, lathe rings, a domed bell.
void cymbal(QPainter& p, QPointF centre, qreal rx, qreal ry, qreal bell, const QColor& tone) {
    const QRectF disc(centre.x() - rx, centre.y() - ry, 2 * rx, 2 * ry);
    QRadialGradient g(centre - QPointF(rx * 0.3, ry * 0.4), rx * 1.1);
    g.setColorAt(0.0, tone.lighter(135));
    g.setColorAt(0.55, tone);
    g.setColorAt(1.0, tone.darker(260));
    p.setPen(QPen(tone.darker(300), 1.5));
    p.setBrush(g);
    p.drawEllipse(disc);

    p.setBrush(Qt::NoBrush);
    for (int ring = 1; ring < 9; ++ring) {
        const qreal f = ring / 9.0;
        p.setPen(QPen(withAlpha(ring % 2 ? shellDark : tone.lighter(150), 0.18f), 1.0));
        p.drawEllipse(centre, rx * f, ry * f);
    }

    const QRectF cup(centre.x() - bell, centre.y() - bell * 0.62, 2 * bell, bell * 1.1);
    QRadialGradient cupGradient(cup.center() - QPointF(bell * 0.3, bell * 0.3), bell);
    cupGradient.setColorAt(0.0, tone.lighter(160));
    cupGradient.setColorAt(1.0, tone.darker(170));
    p.setPen(Qt::NoPen);
    p.setBrush(cupGradient);
    p.drawEllipse(cup);
    // The sheen of the stage lights across the bow.
    p.setPen(QPen(withAlpha(accentSoft, 0.45f), 2.0, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(disc.adjusted(rx * 0.15, ry * 0.15, -rx * 0.15, -ry * 0.15), 100 * 16, 60 * 16);
}

void stand(QPainter& p, qreal x, qreal fromY) {
    p.setPen(QPen(chrome.darker(130), 5.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(x, fromY), QPointF(x, 218));
    leg(p, QPointF(x, 212), QPointF(x - 52, 248));
    leg(p, QPointF(x, 212), QPointF(x + 52, 248));
    leg(p, QPointF(x, 212), QPointF(x + 6, 250));
}

QImage hihat() {
    QImage image = canvas();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    stand(p, 128, 90);
    cymbal(p, QPointF(128, 104), 96, 26, 20, warn.darker(125));
    cymbal(p, QPointF(128, 90), 96, 26, 20, warn);
    // The clutch rod above the top cymbal.
    p.setPen(QPen(chrome, 4.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(128, 84), QPointF(128, 30));
    return image;
}

QImage crash() {
    QImage image = canvas();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    stand(p, 128, 110);
    p.save();
    p.translate(128, 100);
    p.rotate(-12);
    cymbal(p, QPointF(0, 0), 112, 44, 20, warn);
    p.restore();
    return image;
}

QImage ride() {
    QImage image = canvas();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    stand(p, 128, 118);
    p.save();
    p.translate(128, 108);
    p.rotate(8);
    cymbal(p, QPointF(0, 0), 122, 52, 30, warn.darker(115));
    // The bell, where the ride bell is struck, picked out in the accent colour.
    p.setPen(QPen(withAlpha(accent, 0.8f), 2.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(-32, -21, 64, 36));
    p.restore();
    return image;
}

} // namespace

std::vector<DrumArtwork> paintDrumArt() {
    return {{"kick", kick()},   {"snare", snare()}, {"tom", tom()},  {"floortom", floortom()},
            {"hihat", hihat()}, {"crash", crash()}, {"ride", ride()}};
}

} // namespace tamborel::tools
