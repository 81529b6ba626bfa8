#pragma once

#include <QFrame>

namespace kv {

// A small area painted in one colour (0x00BBGGRR). It takes the keyboard focus, and a screen reader says
// its caption and its red, green and blue values. Space stands for a press of the mouse, Enter for a
// double-click; the arrow keys are passed on to whoever arranges the swatches.
class ColorSwatch : public QFrame {
    Q_OBJECT
public:
    explicit ColorSwatch(QWidget* parent = nullptr);

    void setColor(qint64 bgr);
    qint64 color() const { return color_; }
    // Said before the colour's values, e.g. "Back Color Odd:".
    void setCaption(const QString& caption);

signals:
    void pressed();
    void doubleClicked();
    void arrowPressed(int key);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void describe();

    qint64 color_ = 0;
    QString caption_;
};

} // namespace kv
