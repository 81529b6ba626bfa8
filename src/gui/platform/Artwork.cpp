#include "platform/Artwork.h"

#include <QHash>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace kv {

namespace {

using Painter = void (*)(QPainter&, const QRectF&);

// Paints a picture at whatever size and scale the icon is asked for.
class PaintedIcon final : public QIconEngine {
public:
    explicit PaintedIcon(Painter paint) : paint_(paint) {}
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        if (mode == QIcon::Disabled) {
            // Grey, faded copy, drawn at the painter's resolution.
            const qreal scale = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
            painter->drawPixmap(rect, scaledPixmap(rect.size(), mode, QIcon::Off, scale));
            return;
        }
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        paint_(*painter, QRectF(rect));
        painter->restore();
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State, qreal scale) override {
        const QSize device = size * scale;
        QImage image(device, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            paint_(p, QRectF(QPointF(), QSizeF(device)));
        }
        if (mode == QIcon::Disabled) greyOut(image);
        QPixmap pm = QPixmap::fromImage(image);
        pm.setDevicePixelRatio(scale);
        return pm;
    }
    QIconEngine* clone() const override { return new PaintedIcon(paint_); }

private:
    static void greyOut(QImage& image) {
        image = image.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const int grey = 96 + qGray(line[x]) / 2;
                line[x] = qRgba(grey, grey, grey, qAlpha(line[x]) / 2);
            }
        }
    }

    Painter paint_;
};

// One palette for all pictures, so that they look like a set.
const QColor kInk(24, 58, 110);
const QColor kGold(240, 196, 64);
const QColor kBlue(52, 120, 200);
const QColor kGreen(40, 150, 64);
const QColor kPaper(252, 252, 248);

// The largest square centred in the rectangle.
QRectF square(const QRectF& r) {
    const qreal s = std::min(r.width(), r.height());
    return {r.center().x() - s / 2, r.center().y() - s / 2, s, s};
}

// A point of the square given in fractions of its side.
QPointF at(const QRectF& sq, qreal fx, qreal fy) {
    return {sq.left() + fx * sq.width(), sq.top() + fy * sq.height()};
}

// Outline width: thin enough for detail at 48 pixels, never thinner than a pixel at 16.
qreal stroke(const QRectF& sq) {
    return std::max<qreal>(1.25, sq.width() * 0.075);
}

QPen inkPen(const QRectF& sq, const QColor& colour = kInk) {
    return QPen(colour, stroke(sq), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// A gold key on a dark blue tile.
void paintAppIcon(QPainter& p, const QRectF& r) {
    const qreal s = std::min(r.width(), r.height());
    const QRectF tile(r.center().x() - s / 2, r.center().y() - s / 2, s, s);
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawRoundedRect(tile.adjusted(s * 0.04, s * 0.04, -s * 0.04, -s * 0.04), s * 0.18, s * 0.18);
    p.setBrush(kGold);
    const QPointF bow(tile.left() + s * 0.34, tile.top() + s * 0.5);
    p.drawEllipse(bow, s * 0.17, s * 0.17);
    p.setBrush(kInk);
    p.drawEllipse(bow, s * 0.07, s * 0.07);
    p.setBrush(kGold);
    p.drawRect(QRectF(bow.x() + s * 0.14, bow.y() - s * 0.045, s * 0.40, s * 0.09));
    p.drawRect(QRectF(tile.left() + s * 0.72, bow.y(), s * 0.07, s * 0.16));
    p.drawRect(QRectF(tile.left() + s * 0.60, bow.y(), s * 0.07, s * 0.12));
}

// An open eye: the password material is shown.
void paintOpenEye(QPainter& p, const QRectF& r) {
    const QRectF sq = square(r);
    const qreal s = sq.width();
    QPainterPath lids;
    lids.moveTo(at(sq, 0.06, 0.5));
    lids.quadTo(at(sq, 0.5, 0.06), at(sq, 0.94, 0.5));
    lids.quadTo(at(sq, 0.5, 0.94), at(sq, 0.06, 0.5));
    p.setPen(inkPen(sq));
    p.setBrush(kPaper);
    p.drawPath(lids);
    p.save();
    p.setClipPath(lids);
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawEllipse(at(sq, 0.5, 0.5), s * 0.2, s * 0.2);
    p.setBrush(kInk);
    p.drawEllipse(at(sq, 0.5, 0.5), s * 0.095, s * 0.095);
    if (s >= 20) {
        p.setBrush(Qt::white);
        p.drawEllipse(at(sq, 0.555, 0.445), s * 0.04, s * 0.04);
    }
    p.restore();
    // Draw the outline again over the iris so that the lids stay crisp.
    p.setPen(inkPen(sq));
    p.setBrush(Qt::NoBrush);
    p.drawPath(lids);
}

// A closed eye with lashes: the password material is hidden.
void paintClosedEye(QPainter& p, const QRectF& r) {
    const QRectF sq = square(r);
    const QPointF from = at(sq, 0.06, 0.42), control = at(sq, 0.5, 0.86), to = at(sq, 0.94, 0.42);
    QPainterPath lid;
    lid.moveTo(from);
    lid.quadTo(control, to);
    // A single line needs a little more weight than the open eye's outline to read as well.
    QPen pen = inkPen(sq);
    pen.setWidthF(pen.widthF() * 1.2);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawPath(lid);
    // Lashes stand out from the lid, at right angles to it.
    const qreal length = sq.width() * 0.16;
    for (const qreal t : {0.2, 0.5, 0.8}) {
        const QPointF point = (1 - t) * (1 - t) * from + 2 * (1 - t) * t * control + t * t * to;
        const QPointF tangent = 2 * (1 - t) * (control - from) + 2 * t * (to - control);
        const qreal norm = std::hypot(tangent.x(), tangent.y());
        const QPointF outward(-tangent.y() / norm, tangent.x() / norm);
        p.drawLine(point, point + outward * length);
    }
}

// A bar with an arrow pointing at it: the first record. The last record is its mirror image.
void paintFirstRecord(QPainter& p, const QRectF& r) {
    const QRectF sq = square(r);
    p.setPen(inkPen(sq));
    p.setBrush(kInk);
    p.drawRect(QRectF(at(sq, 0.16, 0.2), at(sq, 0.26, 0.8)));
    QPolygonF arrow;
    arrow << at(sq, 0.36, 0.5) << at(sq, 0.84, 0.18) << at(sq, 0.84, 0.82);
    p.setBrush(kBlue);
    p.drawPolygon(arrow);
}

void paintLastRecord(QPainter& p, const QRectF& r) {
    p.save();
    p.translate(r.center().x() * 2, 0);
    p.scale(-1, 1);
    paintFirstRecord(p, r);
    p.restore();
}

// A page with a folded corner and a green plus: a new record.
void paintNewRecord(QPainter& p, const QRectF& r) {
    const QRectF sq = square(r);
    const qreal s = sq.width();
    QPolygonF page;
    page << at(sq, 0.14, 0.06) << at(sq, 0.54, 0.06) << at(sq, 0.74, 0.26) << at(sq, 0.74, 0.9) << at(sq, 0.14, 0.9);
    p.setPen(inkPen(sq));
    p.setBrush(kPaper);
    p.drawPolygon(page);
    QPolygonF fold;
    fold << at(sq, 0.54, 0.06) << at(sq, 0.54, 0.26) << at(sq, 0.74, 0.26);
    p.setBrush(QColor(210, 218, 230));
    p.drawPolygon(fold);
    if (s >= 20) {
        p.setPen(QPen(QColor(150, 165, 185), std::max<qreal>(1.0, s * 0.045), Qt::SolidLine, Qt::RoundCap));
        for (const qreal y : {0.4, 0.52, 0.64})
            p.drawLine(at(sq, 0.26, y), at(sq, y < 0.5 ? 0.62 : 0.46, y));
    }
    const QPointF centre = at(sq, 0.7, 0.72);
    p.setPen(QPen(Qt::white, std::max<qreal>(1.0, s * 0.05)));
    p.setBrush(kGreen);
    p.drawEllipse(centre, s * 0.24, s * 0.24);
    p.setPen(QPen(Qt::white, std::max<qreal>(1.5, s * 0.09), Qt::SolidLine, Qt::FlatCap));
    const qreal arm = s * 0.13;
    p.drawLine(centre - QPointF(arm, 0), centre + QPointF(arm, 0));
    p.drawLine(centre - QPointF(0, arm), centre + QPointF(0, arm));
}

// An amber warning triangle with an exclamation mark.
void paintAlert(QPainter& p, const QRectF& r) {
    const QRectF sq = square(r);
    const qreal s = sq.width();
    QPolygonF triangle;
    triangle << at(sq, 0.5, 0.07) << at(sq, 0.95, 0.89) << at(sq, 0.05, 0.89);
    p.setPen(inkPen(sq, QColor(150, 80, 0)));
    p.setBrush(QColor(255, 190, 20));
    p.drawPolygon(triangle);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 30, 20));
    p.drawRoundedRect(QRectF(at(sq, 0.45, 0.32), at(sq, 0.55, 0.64)), s * 0.04, s * 0.04);
    p.drawEllipse(at(sq, 0.5, 0.76), s * 0.06, s * 0.06);
}

} // namespace

QIcon appIcon() {
    return QIcon(new PaintedIcon(&paintAppIcon));
}

QIcon toolbarIcon(const QString& key) {
    static const QHash<QString, Painter> painters{{QStringLiteral("HidePassword"), &paintClosedEye},
                                                  {QStringLiteral("ShowPassword"), &paintOpenEye},
                                                  {QStringLiteral("FirstRecord"), &paintFirstRecord},
                                                  {QStringLiteral("LastRecord"), &paintLastRecord},
                                                  {QStringLiteral("NewRecord"), &paintNewRecord}};
    const Painter paint = painters.value(key, nullptr);
    return paint ? QIcon(new PaintedIcon(paint)) : QIcon();
}

QIcon alertIcon() {
    return QIcon(new PaintedIcon(&paintAlert));
}

} // namespace kv
