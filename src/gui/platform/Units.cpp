#include "platform/Units.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace kv {

namespace {
qreal logicalDpi(const QWidget* on) {
    if (on) return on->logicalDpiX();
    if (auto* screen = QGuiApplication::primaryScreen()) return screen->logicalDotsPerInchX();
    return 96.0;
}
} // namespace

int twipsToPixels(int twips, const QWidget* on) { return int(std::lround(twips * logicalDpi(on) / 1440.0)); }

int pixelsToTwips(int pixels, const QWidget* on) { return int(std::lround(pixels * 1440.0 / logicalDpi(on))); }

QColor colorFromBgr(qint64 bgr) {
    const auto v = quint32(bgr);
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

qint64 bgrFromColor(const QColor& color) {
    return qint64(color.red()) | (qint64(color.green()) << 8) | (qint64(color.blue()) << 16);
}

} // namespace kv
