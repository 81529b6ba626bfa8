// keyvale_gui
#include "platform/Artwork.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>

namespace kv {

namespace {

// Paints a picture at whatever size and scale the icon is asked for.
class PaintedIcon final : public QIconEngine {
public:
    using Painter = void (*)(QPainter&, const QRectF&);
    explicit PaintedIcon(Painter paint) : paint_(paint) {}
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        paint_(*painter, QRectF(rect));
        painter->restore();
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        QPixmap pm(size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paint(&p, QRect(QPoint(), size), mode, state);
        return pm;
    }
    QIconEngine* clone() const override { return new PaintedIcon(paint_); }

private:
    Painter paint_;
};

// A gold key on a dark blue tile.
void paintAppIcon(QPainter& p, const QRectF& r) {
    const qreal s = std::min(r.width(), r.height());
    const QRectF tile(r.center().x() - s / 2, r.center().y() - s / 2, s, s);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(24, 58, 110));
    p.drawRoundedRect(tile.adjusted(s * 0.04, s * 0.04, -s * 0.04, -s * 0.04), s * 0.18, s * 0.18);
    const QColor gold(240, 196, 64);
    p.setBrush(gold);
    const QPointF bow(tile.left() + s * 0.34, tile.top() + s * 0.5);
    p.drawEllipse(bow, s * 0.17, s * 0.17);
    p.setBrush(QColor(24, 58, 110));
    p.drawEllipse(bow, s * 0.07, s * 0.07);
    p.setBrush(gold);
    p.drawRect(QRectF(bow.x() + s * 0.14, bow.y() - s * 0.045, s * 0.40, s * 0.09));
    p.drawRect(QRectF(tile.left() + s * 0.72, bow.y(), s * 0.07, s * 0.16));
    p.drawRect(QRectF(tile.left() + s * 0.60, bow.y(), s * 0.07, s * 0.12));
}

} // namespace

QIcon appIcon() { return QIcon(new PaintedIcon(&paintAppIcon)); }

} // namespace kv
