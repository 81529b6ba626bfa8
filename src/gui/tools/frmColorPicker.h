#pragma once

#include <QDialog>
#include <array>

class QFrame;
class QPushButton;

namespace kv {

class ColorSwatch;

// Picks one colour from a palette of 40. Pressing a swatch shows its colour as the current one; a
// double-click on a swatch or on the current colour, or "Choice", takes the current colour; "Return" leaves
// without a colour.
class frmColorPicker : public QDialog {
    Q_OBJECT
public:
    // One palette swatch: its index among the 40 and its place in the 5 rows of 8.
    struct PaletteEntry {
        int index;
        int row;
        int column;
        int red, green, blue;
    };
    static const std::array<PaletteEntry, 40> kPalette;

    // Opens on `color` (0x00BBGGRR), whether or not it is one of the palette's.
    explicit frmColorPicker(qint64 color, QWidget* parent = nullptr);

    // Whether the user took a colour, and which (the starting colour otherwise).
    bool colorChosen() const { return chosen_; }
    qint64 color() const { return color_; }

public slots:
    void MiniPicker_MouseDown(int index);
    void MiniPicker_DblClick(int index);
    void CurColor_DblClick();
    void btnPick_Click();
    void btnReturn_Click();

private:
    void acceptColor();
    void moveFocus(int index, int key);

    QFrame* Frame1_ = nullptr;
    std::array<ColorSwatch*, 40> MiniPicker_{};
    ColorSwatch* CurColor_ = nullptr;
    QPushButton* btnPick_ = nullptr;
    QPushButton* btnReturn_ = nullptr;
    qint64 color_ = 0;
    bool chosen_ = false;
};

} // namespace kv
