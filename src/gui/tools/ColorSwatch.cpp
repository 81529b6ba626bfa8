#include "tools/ColorSwatch.h"

#include "platform/Units.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace kv {

ColorSwatch::ColorSwatch(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setFocusPolicy(Qt::StrongFocus);
    describe();
}

void ColorSwatch::setColor(qint64 bgr) {
    color_ = bgr;
    describe();
    update();
}

void ColorSwatch::setCaption(const QString& caption) {
    caption_ = caption;
    describe();
}

void ColorSwatch::describe() {
    const QColor c = colorFromBgr(color_);
    const QString values = QStringLiteral("red %1, green %2, blue %3").arg(c.red()).arg(c.green()).arg(c.blue());
    setAccessibleName(caption_.isEmpty() ? values : caption_ + QLatin1Char(' ') + values);
    setToolTip(QStringLiteral("Red %1, green %2, blue %3").arg(c.red()).arg(c.green()).arg(c.blue()));
}

void ColorSwatch::paintEvent(QPaintEvent* event) {
    {
        QPainter painter(this);
        painter.fillRect(contentsRect(), colorFromBgr(color_));
    }
    QFrame::paintEvent(event);
    if (hasFocus()) {
        QPainter painter(this);
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect().adjusted(1, 1, -1, -1);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

void ColorSwatch::mousePressEvent(QMouseEvent* event) {
    QFrame::mousePressEvent(event);
    emit pressed();
}

void ColorSwatch::mouseDoubleClickEvent(QMouseEvent* event) {
    QFrame::mouseDoubleClickEvent(event);
    emit doubleClicked();
}

void ColorSwatch::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Space:
        emit pressed();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        emit pressed();
        emit doubleClicked();
        return;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        emit arrowPressed(event->key());
        return;
    default:
        QFrame::keyPressEvent(event);
    }
}

} // namespace kv
