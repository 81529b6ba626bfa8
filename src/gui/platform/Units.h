#pragma once

#include <QColor>

class QWidget;

namespace kv {

// Window and control sizes are kept in twips: 1440 to the inch, 15 to a pixel at 96 DPI.
int twipsToPixels(int twips, const QWidget* on = nullptr);
int pixelsToTwips(int pixels, const QWidget* on = nullptr);

// Colours are kept as 32-bit 0x00BBGGRR values.
QColor colorFromBgr(qint64 bgr);
qint64 bgrFromColor(const QColor& color);

} // namespace kv
